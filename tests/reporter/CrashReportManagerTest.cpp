// The manager's clean-up, called directly on an object of the test's own.
#include "reporter/CrashReportManager.h"

#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

TEST(CrashReportManagerTest, DriveAndShareRootsAreNeverCrashFoldersToDelete)
{
    struct SCase
    {
        const char* path;
        bool root;
    };
    const SCase cases[] = {
        {"", true},
        {"C:", true},
        {"C:\\", true},
        {"C:/", true},
        {"C:\\\\", true},
        {"\\", true},
        {"/", true},
        {"\\\\server\\share", true},
        {"\\\\server\\share\\", true},
        {"//server/share/", true},
        {"\\\\server", true},
        {"C:\\crash.1", false},
        {"C:crash.1", false},
        {"\\crash.1", false},
        {"\\\\server\\share\\crash.1", false},
        {"crash.1", false},
        {".", false},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(test.root, CCrashReportManager::IsRootFolder(test.path));
    }
}

TEST(CrashReportManagerTest, TheDialogsEndDeletesTheArchiveAndOnlyACrashFolderWithItsDescription)
{
    CTempFolder temp;
    struct SCase
    {
        const char* name;
        bool crashInfo;
    };
    const SCase cases[] = {{"with crashinfo.dat", true}, {"without crashinfo.dat", false}};
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        std::string folder = temp / (std::string("crash-") + (test.crashInfo ? "a" : "b"));
        MakeFolder(folder);
        MakeFolder(folder + "\\logs");
        WriteTextFile(folder + "\\logs\\a.log", "log");
        if (test.crashInfo)
            WriteTextFile(folder + "\\crashinfo.dat", "<crash/>");
        WriteTextFile(folder + ".zip", "archive");

        CCrashReportManager manager;
        manager.m_crashFolder = folder.c_str();
        manager.m_archivePath = manager.m_crashFolder + ".zip";
        manager.m_busy = true;
        manager.OnDialogDestroyed();
        EXPECT_TRUE(manager.m_cancelRequested);
        EXPECT_FALSE(manager.m_busy);
        EXPECT_FALSE(PathExists(folder + ".zip"));
        EXPECT_EQ(!test.crashInfo, PathExists(folder + "\\logs\\a.log"));
    }
}
