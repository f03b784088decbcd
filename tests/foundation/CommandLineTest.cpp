#include "foundation/CommandLine.h"
#include "foundation/ParseCommandLineABC.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace
{
    // Writes each option down as "[/]name" or "[/]name=value", so that a
    // missing value and an empty one can be told apart.
    class CRecorder : public CParseCommandLineABC
    {
    public:
        virtual bool OnOption(bool isSwitch, const char* name, int nameLength, const char* value, int valueLength)
        {
            std::string option = isSwitch ? "/" : "";
            option.append(name, nameLength);
            if (value != 0)
                option += "=" + std::string(value, valueLength);
            else
                EXPECT_EQ(0, valueLength);
            m_options.push_back(option);
            return true;
        }

        std::vector<std::string> m_options;
    };

    std::vector<std::string> Tokens(const char* text, bool skipFirst = true)
    {
        CRecorder recorder;
        recorder.Parse(text, static_cast<int>(strlen(text)), skipFirst);
        return recorder.m_options;
    }
}

TEST(CommandLine, CrashFolderTable)
{
    struct Case
    {
        const char* arguments;
        const char* folder;
    } cases[] = {
        {"-F=\"C:\\My Crash\\\"", "C:\\My Crash"},
        {"/f=C:\\x", "C:\\x"},
        {"-F=C:\\x\\\\", "C:\\x\\"},
        {"-F=C:\\", "C:"},
        {"-Folder=C:\\x", ""},
        {"-F C:\\x", ""},
        {"-F=a=b", ""},
        {"-F=\"a=b\"", "a=b"},
        {"\"-F=C:\\x\"", ""},
        {"-F=C:\\x -F", ""},
        {"-F=C:\\x -G=y", "C:\\x"},
        {"F=C:\\x", ""},
        {"-F=", ""},
        {"-F=C:\\x    /F=D:\\y\\", "D:\\y"},
        {"   -F=C:\\x   ", "C:\\x"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        std::string commandLine = std::string("C:\\Program Files\\reporter.exe ") + cases[i].arguments;
        SCOPED_TRACE(commandLine);
        CCommandLine parsed(commandLine.c_str());
        EXPECT_STREQ(cases[i].folder, parsed.m_crashFolder);
    }
}

TEST(CommandLine, BlanksAndTabsBetweenTokens)
{
    CCommandLine twoBlanks("reporter.exe  -F=C:\\x");
    EXPECT_STREQ("C:\\x", twoBlanks.m_crashFolder);

    // A tab does not end a token, so the option is part of the skipped program path.
    CCommandLine tab("reporter.exe\t-F=C:\\x");
    EXPECT_STREQ("", tab.m_crashFolder);

    // Leading white space of any kind, and blanks between tokens, are skipped.
    EXPECT_EQ(std::vector<std::string>({"/a", "/F=C:\\x", "b\tc"}), Tokens(" \t\r\n prog   -a \t -F=C:\\x  b\tc "));
}

TEST(CommandLine, ProgramPathAloneReportsNothing)
{
    EXPECT_TRUE(Tokens("\"C:\\Program Files\\Vantelo\\reporter.exe\"").empty());
    EXPECT_TRUE(Tokens("reporter.exe   ").empty());
    EXPECT_TRUE(Tokens("").empty());

    CRecorder recorder;
    recorder.Parse(NULL, 10, false);
    EXPECT_TRUE(recorder.m_options.empty());
}

TEST(CommandLine, TokenizerKeepsInnerQuotesAndDropsOuterOnes)
{
    struct Case
    {
        const char* text;
        std::vector<std::string> options;
    } cases[] = {
        {"-F=\"C:\\My Crash\\\"", {"/F=C:\\My Crash\\"}},
        {"\"-F=C:\\x\"", {"-F=C:\\x"}},
        {"/\"name\"=\"value\"", {"/name\"=value"}},
        {"a\"b\"c", {"a\"b\"c"}},
        {"\"", {""}},
        {"-F=\"", {"/F="}},
        {"=x", {"=x"}},
        {"-", {"/"}},
        {"a b=\"c d\" /e", {"a", "b=c d", "/e"}},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].text);
        EXPECT_EQ(cases[i].options, Tokens(cases[i].text, false));
    }
}

TEST(CommandLine, ScanStopsAtTheGivenLength)
{
    const char* text = "prog -a=bcd -e";
    CRecorder recorder;
    recorder.Parse(text, 10, true);
    EXPECT_EQ(std::vector<std::string>({"/a=bc"}), recorder.m_options);
}
