#include "foundation/FileSearch.h"
#include "foundation/FileSystem.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <stdio.h>

#include <set>
#include <string>

namespace
{
    std::set<std::string> WalkNames(const std::string& pattern)
    {
        std::set<std::string> names;
        CFileSearch search;
        for (search.FindFirst(pattern.c_str()); search.IsValid(); search.Next())
            names.insert(search.GetName());
        return names;
    }
}

TEST(GetFolderOfPath, KeepsUpToTheLastSeparator)
{
    struct Case
    {
        const char* path;
        const char* folder;
    } cases[] = {
        {"name.txt", ""},
        {"C:\\a\\b.txt", "C:\\a\\"},
        {"C:\\a\\", "C:\\a\\"},
        {"C:/a/b.txt", "C:/a/"},
        {"C:\\a/b\\c", "C:\\a/b\\"},
        {"", ""},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].path);
        char folder[MAX_PATH];
        GetFolderOfPath(cases[i].path, folder);
        EXPECT_STREQ(cases[i].folder, folder);
    }
}

TEST(FileExists, TellsFilesAndFoldersFromNothing)
{
    CTempFolder temp;
    WriteTextFile(temp / "file.txt", "x");
    EXPECT_TRUE(FileExists((temp / "file.txt").c_str()));
    EXPECT_TRUE(FileExists(temp.Path().c_str()));
    EXPECT_FALSE(FileExists((temp / "missing").c_str()));
    EXPECT_FALSE(FileExists(NULL));
}

TEST(FileSearch, WalksEveryEntryAndFormsFullPaths)
{
    CTempFolder temp;
    WriteTextFile(temp / "a.txt", "a");
    MakeFolder(temp / "sub");
    std::set<std::string> expected = {".", "..", "a.txt", "sub"};
    EXPECT_EQ(expected, WalkNames(temp / "*.*"));

    CFileSearch search;
    search.FindFirst((temp / "a.*").c_str());
    ASSERT_TRUE(search.IsValid());
    const char* first = search.GetFullPath();
    EXPECT_EQ(temp / "a.txt", first);
    EXPECT_EQ(first, search.GetFullPath()) << "formed once for the same entry";
    EXPECT_EQ(0u, search.GetLastError());
    search.Next();
    EXPECT_FALSE(search.IsValid());
}

TEST(FileSearch, EndsAtOnceWhereThereIsNothingToWalk)
{
    CTempFolder temp;
    CFileSearch search;
    search.FindFirst((temp / "missing\\*.*").c_str());
    EXPECT_FALSE(search.IsValid());
    EXPECT_TRUE(search.GetLastError() == ERROR_PATH_NOT_FOUND || search.GetLastError() == ERROR_FILE_NOT_FOUND)
        << search.GetLastError();

    search.FindFirst((temp / "*.none").c_str());
    EXPECT_FALSE(search.IsValid());

    std::string longPattern = temp.Path() + std::string(300, 'x') + "\\*.*";
    search.FindFirst(longPattern.c_str());
    EXPECT_FALSE(search.IsValid()) << "an over-long pattern is refused, not cut";
}

TEST(DeleteDirectoryTree, DeletesTheWholeTreeWithOrWithoutTrailingSeparator)
{
    const char* tails[] = {"", "\\", "/"};
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(tails[i]);
        CTempFolder temp;
        std::string root = temp / "crash";
        MakeFolder(root);
        MakeFolder(root + "\\logs");
        MakeFolder(root + "\\logs\\deep");
        WriteTextFile(root + "\\a.txt", "a");
        WriteTextFile(root + "\\logs\\b.log", "b");
        WriteTextFile(root + "\\logs\\deep\\c.bin", "c");
        EXPECT_TRUE(DeleteDirectoryTree((root + tails[i]).c_str()));
        EXPECT_FALSE(PathExists(root));
    }
}

TEST(DeleteDirectoryTree, LeavesAReadOnlyFileAndDeletesEverythingElse)
{
    CTempFolder temp;
    std::string root = temp / "crash";
    MakeFolder(root);
    MakeFolder(root + "\\sub");
    WriteTextFile(root + "\\a.txt", "a");
    WriteTextFile(root + "\\sub\\locked.txt", "r");
    WriteTextFile(root + "\\sub\\z.txt", "z");
    WriteTextFile(root + "\\z.txt", "z");
    SetFileAttributesA((root + "\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_FALSE(DeleteDirectoryTree(root.c_str()));
    EXPECT_EQ(std::vector<std::string>(1, "sub"), ListFolder(root));
    EXPECT_EQ(std::vector<std::string>(1, "locked.txt"), ListFolder(root + "\\sub"));
}

TEST(DeleteDirectoryTree, PassesOverFoldersWhoseNamesBeginWithADot)
{
    CTempFolder temp;
    std::string root = temp / "crash";
    MakeFolder(root);
    MakeFolder(root + "\\.hidden");
    WriteTextFile(root + "\\.hidden\\kept.txt", "k");
    WriteTextFile(root + "\\gone.txt", "g");
    EXPECT_FALSE(DeleteDirectoryTree(root.c_str()));
    EXPECT_TRUE(PathExists(root + "\\.hidden\\kept.txt"));
    EXPECT_FALSE(PathExists(root + "\\gone.txt"));
}

TEST(DeleteDirectoryTree, RefusesAnEmptyName)
{
    EXPECT_FALSE(DeleteDirectoryTree(""));
    EXPECT_FALSE(DeleteDirectoryTree(NULL));
}

TEST(CreateDirectoryPath, CreatesEveryMissingLevel)
{
    CTempFolder temp;
    std::string path = temp / "one\\two\\three";
    EXPECT_TRUE(CreateDirectoryPath(path.c_str()));
    EXPECT_TRUE(IsFolder(path));

    std::string trailing = temp / "x\\y\\";
    EXPECT_TRUE(CreateDirectoryPath(trailing.c_str()));
    EXPECT_TRUE(IsFolder(temp / "x\\y"));

    EXPECT_TRUE(CreateDirectoryPath(path.c_str())) << "an existing path answers true";
}

TEST(CreateDirectoryPath, CreatesOutermostFirstAndStopsAtAFailure)
{
    CTempFolder temp;
    // The last level cannot be made: the outer ones were made before it.
    EXPECT_FALSE(CreateDirectoryPath((temp / "a\\b\\bad*name").c_str()));
    EXPECT_TRUE(IsFolder(temp / "a\\b"));

    // A file in the way of the middle level stops the walk there.
    MakeFolder(temp / "outer");
    WriteTextFile(temp / "outer\\middle", "in the way");
    EXPECT_FALSE(CreateDirectoryPath((temp / "outer\\middle\\inner\\leaf").c_str()));
    EXPECT_FALSE(PathExists(temp / "outer\\middle\\inner"));
}

TEST(CreateDirectoryPath, ExistingFileAnswersTrueAndCreatesNothing)
{
    CTempFolder temp;
    WriteTextFile(temp / "file", "x");
    EXPECT_TRUE(CreateDirectoryPath((temp / "file").c_str()));
    EXPECT_FALSE(IsFolder(temp / "file"));
}

TEST(CreateDirectoryPath, RefusesBadPaths)
{
    CTempFolder temp;
    EXPECT_FALSE(CreateDirectoryPath(""));
    EXPECT_FALSE(CreateDirectoryPath((temp / "name \\sub").c_str()));
    EXPECT_FALSE(PathExists(temp / "name "));
    EXPECT_FALSE(CreateDirectoryPath("\\\\server"));
}

TEST(CreateDirectoryPath, NeverCreatesTheServerOrShareOfANetworkPath)
{
    // Wine maps no network here, so a share can never be reached; what shows
    // is that nothing named after the server or share appears locally.
    CTempFolder temp;
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof(current), current);
    SetCurrentDirectoryA(temp.Path().c_str());
    EXPECT_FALSE(CreateDirectoryPath("\\\\vtserver\\vtshare\\folder"));
    SetCurrentDirectoryA(current);
    EXPECT_TRUE(ListFolder(temp.Path()).empty());
    EXPECT_FALSE(PathExists("C:\\vtserver"));
    EXPECT_FALSE(PathExists("C:\\vtshare"));
}

TEST(GetModuleFolder, GivesTheProgramsFolderWithItsBackslash)
{
    char buffer[MAX_PATH];
    int position = GetModuleFolder(NULL, buffer, sizeof(buffer));
    ASSERT_GT(position, 0);
    EXPECT_EQ('\\', buffer[position]);
    EXPECT_EQ(0, buffer[position + 1]);
    EXPECT_EQ(BinFolder(), buffer);

    char tiny[8];
    EXPECT_EQ(0, GetModuleFolder(NULL, tiny, sizeof(tiny))) << "a cut name gives no folder";
    EXPECT_STREQ("", tiny);
}

TEST(GetModuleFolder, ProgramInADriveRoot)
{
    CTempFolder temp;
    char program[MAX_PATH];
    snprintf(program, sizeof(program), "C:\\vt-probe-%lu.exe", GetCurrentProcessId());
    ASSERT_TRUE(CopyFileA((BinFolder() + "foundation_tests.exe").c_str(), program, FALSE));
    std::string output = temp / "folder.txt";
    SetEnvironmentVariableA("VANTELO_FOLDER_OUT", output.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    char line[] = "probe --gtest_filter=GetModuleFolder.PrintFolder";
    BOOL started = CreateProcessA(program, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info);
    SetEnvironmentVariableA("VANTELO_FOLDER_OUT", NULL);
    if (started)
    {
        WaitForSingleObject(info.hProcess, 60000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    DeleteFileA(program);
    ASSERT_TRUE(started);
    EXPECT_EQ("C:\\|2", ReadTextFile(output));
}

// Run by the test above from a drive root: writes what GetModuleFolder gives there.
TEST(GetModuleFolder, PrintFolder)
{
    char out[MAX_PATH];
    if (GetEnvironmentVariableA("VANTELO_FOLDER_OUT", out, sizeof(out)) == 0)
        GTEST_SKIP() << "only run from the drive-root test";
    char buffer[MAX_PATH];
    int position = GetModuleFolder(NULL, buffer, sizeof(buffer));
    WriteTextFile(out, std::string(buffer) + "|" + std::to_string(position));
}

TEST(GetSpecialFolderPath, EndsInABackslash)
{
    const int folders[] = {CSIDL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_MYVIDEO};
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(folders[i]);
        char path[MAX_PATH];
        if (GetSpecialFolderPath(path, folders[i]))
        {
            size_t length = strlen(path);
            ASSERT_GT(length, 0u);
            EXPECT_EQ('\\', path[length - 1]);
            EXPECT_TRUE(IsFolder(path));
        }
        else
            EXPECT_STREQ("", path);
    }
    char path[MAX_PATH];
    EXPECT_TRUE(GetSpecialFolderPath(path, CSIDL_APPDATA));
}
