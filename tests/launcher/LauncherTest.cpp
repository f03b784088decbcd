#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

namespace
{
    struct Installation
    {
        CTempFolder folder;
        std::string launcher;
        std::string record;

        explicit Installation(const char* library = "vantelo.dll")
        {
            launcher = folder / "vantelo.exe";
            record = folder / "record.txt";
            CopyInto(BinFolder() + "vantelo.exe", launcher);
            if (library != NULL)
                CopyInto(BinFolder() + library, folder / "vantelo.dll");
        }

        std::vector<std::string> Environment() const { return std::vector<std::string>(1, "VANTELO_RECORD=" + record); }
    };

    unsigned long long Pointer(const std::string& text)
    {
        return strtoull(text.c_str(), NULL, 16);
    }

    void ExpectLoadFailureMessage(CProgramRun& run)
    {
        HWND box = run.WaitForWindow("#32770", "Vantelo failed to run", 10000);
        ASSERT_TRUE(box != NULL);
        EXPECT_EQ("Failed to load vantelo.dll", MessageBoxText(box));
        EXPECT_EQ(std::vector<int>(1, IDOK), DialogButtons(box));
        EXPECT_FALSE(MessageBoxHasIcon(box));
        EXPECT_TRUE(run.IsRunning()) << "the launcher waits for the user";
        PressButton(box, IDOK);
        ASSERT_TRUE(run.Wait(10000));
        EXPECT_EQ(0u, run.ExitCode());
    }
}

TEST(Launcher, CallsTheEntryWithItsOwnInstanceAndShowValue)
{
    const int showValues[] = {SW_SHOWMINNOACTIVE, SW_SHOWNORMAL, SW_HIDE};
    for (size_t i = 0; i < sizeof(showValues) / sizeof(showValues[0]); ++i)
    {
        SCOPED_TRACE(showValues[i]);
        Installation installation;
        CProgramRun run;
        ASSERT_TRUE(run.Start(installation.launcher, "\"" + installation.launcher + "\" -x \"a b\"", showValues[i],
                              std::string(), installation.Environment()));
        ASSERT_TRUE(run.Wait(20000));
        EXPECT_EQ(0u, run.ExitCode()) << "the entry's own result (7) is not passed on";

        std::string record = installation.record;
        ASSERT_TRUE(PathExists(record));
        EXPECT_EQ(Pointer(RecordValue(record, "program")), Pointer(RecordValue(record, "instance")));
        EXPECT_NE(Pointer(RecordValue(record, "library")), Pointer(RecordValue(record, "instance")));
        EXPECT_EQ(std::to_string(showValues[i]), RecordValue(record, "show"));
        EXPECT_EQ("\"" + installation.launcher + "\" -x \"a b\"", RecordValue(record, "commandline"));
        EXPECT_EQ(installation.folder / "vantelo.dll", RecordValue(record, "librarypath"));
    }
}

TEST(Launcher, MissingLibraryShowsTheLoadFailure)
{
    Installation installation(NULL);
    CProgramRun run;
    ASSERT_TRUE(run.Start(installation.launcher, "vantelo.exe", SW_SHOWNORMAL, std::string(), installation.Environment()));
    ExpectLoadFailureMessage(run);
}

TEST(Launcher, UnloadableLibraryShowsTheLoadFailure)
{
    Installation installation(NULL);
    WriteTextFile(installation.folder / "vantelo.dll", "MZ this is not a library");
    CProgramRun run;
    ASSERT_TRUE(run.Start(installation.launcher, "vantelo.exe", SW_SHOWNORMAL, std::string(), installation.Environment()));
    ExpectLoadFailureMessage(run);
}

TEST(Launcher, LibraryInTheCurrentFolderIsNeverLoaded)
{
    Installation installation(NULL);
    CTempFolder current;
    CopyInto(BinFolder() + "vantelo.dll", current / "vantelo.dll");
    CProgramRun run;
    ASSERT_TRUE(run.Start(installation.launcher, "vantelo.exe", SW_SHOWNORMAL, current.Path(), installation.Environment()));
    ExpectLoadFailureMessage(run);
    EXPECT_FALSE(PathExists(installation.record));
}

TEST(Launcher, LibraryWithoutTheEntryEndsSilently)
{
    Installation installation("noexport.dll");
    CProgramRun run;
    ASSERT_TRUE(run.Start(installation.launcher, "vantelo.exe", SW_SHOWNORMAL, std::string(), installation.Environment()));
    ASSERT_TRUE(run.Wait(10000));
    EXPECT_EQ(0u, run.ExitCode());
    EXPECT_TRUE(run.Windows().empty());
}
