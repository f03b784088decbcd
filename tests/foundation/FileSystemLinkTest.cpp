#include "foundation/FileSystem.h"
#include "tests/support/LinuxProgram.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(DeleteDirectoryTree, RemovesFolderLinksWithoutTouchingWhatTheyPointAt)
{
    CTempFolder temp;
    std::string outside = temp / "outside";
    MakeFolder(outside);
    MakeFolder(outside + "\\deeper");
    WriteTextFile(outside + "\\keep.txt", "keep");
    WriteTextFile(outside + "\\deeper\\keep too.txt", "keep");
    std::string doomed = temp / "crash.1";
    MakeFolder(doomed);
    MakeFolder(doomed + "\\logs");
    WriteTextFile(doomed + "\\crashinfo.dat", "info");
    CLinuxLink elsewhere(outside, doomed + "\\logs\\elsewhere");
    CLinuxLink loop(doomed, doomed + "\\loop");
    if (!elsewhere.Made() || !loop.Made())
        GTEST_SKIP() << "no folder link could be made here";
    DWORD attributes = GetFileAttributesA((doomed + "\\logs\\elsewhere").c_str());
    ASSERT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
        attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    bool deleted = DeleteDirectoryTree(doomed.c_str());

    // Nothing behind a link is deleted, and everything else of the tree is.
    EXPECT_EQ("keep", ReadTextFile(outside + "\\keep.txt"));
    EXPECT_EQ("keep", ReadTextFile(outside + "\\deeper\\keep too.txt"));
    EXPECT_FALSE(PathExists(doomed + "\\crashinfo.dat"));
    // Windows removes a link as a folder. Wine cannot remove a Linux link to
    // a folder that holds something: the tree then stays, and says so.
    if (PathExists(doomed + "\\logs\\elsewhere"))
    {
        EXPECT_FALSE(deleted);
        EXPECT_TRUE(PathExists(doomed));
    }
    else
    {
        EXPECT_TRUE(deleted);
        EXPECT_FALSE(PathExists(doomed));
    }
}
