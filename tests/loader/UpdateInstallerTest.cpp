#include "loader/UpdateInstaller.h"

#include "loader/Paths.h"
#include "tests/loader/PathsFile.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace
{
    // An installation folder ("module") with its configured folders beside it.
    struct Installation
    {
        CTempFolder root;
        std::string module;
        std::string downloads;
        std::string backup;
        std::string images;

        Installation()
        {
            module = root / "module\\";
            downloads = root / "new\\";
            backup = root / "backup\\";
            images = root / "images\\";
            MakeFolder(module);
            MakeFolder(downloads);
            WritePathsFile(root / "paths.dat", {FolderEntry("new", downloads), FolderEntry("backup-files-folder", backup),
                                                FolderEntry("channel-images-folder", images),
                                                RouteEntry(".jpg", "channel-images-folder")});
        }

        void Install()
        {
            CPaths paths(CSmallString(module.c_str()));
            ASSERT_TRUE(paths.Load((root / "paths.dat").c_str()));
            InstallDownloadedFiles(paths, module.c_str());
        }
    };

    typedef std::vector<std::string> List;

    bool IsReadOnly(const std::string& path)
    {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    }

    // True once the file cannot be opened for reading by this process.
    bool IsLocked(const std::string& path)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_SHARING_VIOLATION;
        CloseHandle(file);
        return false;
    }
}

TEST(UpdateInstaller, MarkedDownloadsAreBackedUpAndInstalled)
{
    Installation installation;
    const std::string& downloads = installation.downloads;
    WriteTextFile(downloads + "check.dat", "marker");
    WriteTextFile(downloads + "app.dll", "new app");
    WriteTextFile(downloads + "fresh.txt", "new fresh");
    WriteTextFile(downloads + "patch.CMP", "compressed");
    WriteTextFile(downloads + "notes.cmp.txt", "new notes");
    WriteTextFile(downloads + "photo.jpg", "new photo");
    MakeFolder(downloads + "sub");
    WriteTextFile(downloads + "sub\\inner.dll", "inner");
    WriteTextFile(installation.module + "app.dll", "old app");
    WriteTextFile(installation.module + "check.dat", "old marker");
    WriteTextFile(installation.module + "photo.jpg", "old photo beside the loader");
    MakeFolder(installation.images);
    WriteTextFile(installation.images + "photo.jpg", "old photo in images");

    installation.Install();

    EXPECT_EQ(List({"sub"}), ListFolder(downloads));
    EXPECT_EQ("inner", ReadTextFile(downloads + "sub\\inner.dll"));
    EXPECT_EQ(List({"app.dll", "check.dat", "fresh.txt", "notes.cmp.txt", "photo.jpg"}),
              ListFolder(installation.module));
    EXPECT_EQ("new app", ReadTextFile(installation.module + "app.dll"));
    EXPECT_EQ("marker", ReadTextFile(installation.module + "check.dat"));
    EXPECT_EQ("new fresh", ReadTextFile(installation.module + "fresh.txt"));
    EXPECT_EQ("new notes", ReadTextFile(installation.module + "notes.cmp.txt"));
    EXPECT_EQ("old photo beside the loader", ReadTextFile(installation.module + "photo.jpg"));
    EXPECT_EQ(List({"photo.jpg"}), ListFolder(installation.images));
    EXPECT_EQ("new photo", ReadTextFile(installation.images + "photo.jpg"));

    // Only files beside the loader are backed up, each with its old contents.
    EXPECT_EQ(List({"app.dll", "check.dat", "photo.jpg"}), ListFolder(installation.backup));
    EXPECT_EQ("old app", ReadTextFile(installation.backup + "app.dll"));
    EXPECT_EQ("old marker", ReadTextFile(installation.backup + "check.dat"));
    EXPECT_EQ("old photo beside the loader", ReadTextFile(installation.backup + "photo.jpg"));
}

TEST(UpdateInstaller, DownloadsWithoutTheMarkerAreDeleted)
{
    Installation installation;
    const std::string& downloads = installation.downloads;
    WriteTextFile(downloads + "app.dll", "new app");
    WriteTextFile(downloads + "patch.cmp", "compressed");
    WriteTextFile(downloads + "photo.jpg", "new photo");
    MakeFolder(downloads + "sub");
    WriteTextFile(downloads + "sub\\check.dat", "a marker one level down does not count");
    WriteTextFile(installation.module + "app.dll", "old app");

    installation.Install();

    EXPECT_EQ(List({"sub"}), ListFolder(downloads));
    EXPECT_EQ(List({"check.dat"}), ListFolder(downloads + "sub"));
    EXPECT_EQ(List({"app.dll"}), ListFolder(installation.module));
    EXPECT_EQ("old app", ReadTextFile(installation.module + "app.dll"));
    EXPECT_FALSE(PathExists(installation.images));
    EXPECT_TRUE(ListFolder(installation.backup).empty());
}

TEST(UpdateInstaller, UnconfiguredDownloadFolderInstallsNothing)
{
    CTempFolder module;
    WriteTextFile(module / "app.dll", "old app");
    CPaths paths(CSmallString(module.Path().c_str()));
    InstallDownloadedFiles(paths, module.Path().c_str());
    EXPECT_EQ(List({"app.dll"}), ListFolder(module.Path()));
}

TEST(UpdateInstaller, ReadOnlyDestinationIsMadeWritableAndReplaced)
{
    Installation installation;
    WriteTextFile(installation.downloads + "check.dat", "marker");
    WriteTextFile(installation.downloads + "app.dll", "new app");
    WriteTextFile(installation.module + "app.dll", "old app");
    SetFileAttributesA((installation.module + "app.dll").c_str(), FILE_ATTRIBUTE_READONLY);

    installation.Install();

    EXPECT_EQ("new app", ReadTextFile(installation.module + "app.dll"));
    EXPECT_FALSE(IsReadOnly(installation.module + "app.dll"));
    EXPECT_TRUE(ListFolder(installation.downloads).empty());
}

TEST(UpdateInstaller, CopyWithRetryClearsOnlyTheReadOnlyAttribute)
{
    CTempFolder folder;
    WriteTextFile(folder / "source", "new");
    WriteTextFile(folder / "destination", "old");
    SetFileAttributesA((folder / "destination").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CopyFileWithRetry((folder / "source").c_str(), (folder / "destination").c_str()));
    EXPECT_EQ("new", ReadTextFile(folder / "destination"));
    EXPECT_FALSE(IsReadOnly(folder / "destination"));
}

// Costs the full 30 attempts: 15 seconds.
TEST(UpdateInstaller, LockedDestinationStaysInTheDownloadFolderWithTheMarker)
{
    Installation installation;
    WriteTextFile(installation.downloads + "check.dat", "marker");
    WriteTextFile(installation.downloads + "photo.jpg", "new photo");
    WriteTextFile(installation.downloads + "other.txt", "new other");
    MakeFolder(installation.images);
    WriteTextFile(installation.images + "photo.jpg", "old photo");

    CProgramRun holder;
    ASSERT_TRUE(holder.Start(BinFolder() + "vtholdfile.exe", "vtholdfile \"" + installation.images + "photo.jpg\""));
    for (int i = 0; i < 100 && !IsLocked(installation.images + "photo.jpg"); ++i)
        Sleep(50);
    ASSERT_TRUE(IsLocked(installation.images + "photo.jpg"));

    installation.Install();
    holder.Kill();

    EXPECT_EQ(List({"check.dat", "photo.jpg"}), ListFolder(installation.downloads));
    EXPECT_EQ("new other", ReadTextFile(installation.module + "other.txt"));
    EXPECT_EQ("old photo", ReadTextFile(installation.images + "photo.jpg"));
    EXPECT_FALSE(PathExists(installation.module + "check.dat"));

    // The next run, with the file free, installs the rest.
    installation.Install();
    EXPECT_TRUE(ListFolder(installation.downloads).empty());
    EXPECT_EQ("new photo", ReadTextFile(installation.images + "photo.jpg"));
    EXPECT_EQ("marker", ReadTextFile(installation.module + "check.dat"));
}

TEST(UpdateInstaller, OverlongNamesAreSkippedNeverCut)
{
    Installation installation;
    // Fits in the download folder but not once joined to the longer module folder.
    std::string name(MAX_PATH - 2 - installation.downloads.size(), 'n');
    ASSERT_GT(installation.module.size(), installation.downloads.size());
    WriteTextFile(installation.downloads + "check.dat", "marker");
    WriteTextFile(installation.downloads + name, "long");
    installation.Install();
    EXPECT_EQ(List({"check.dat"}), ListFolder(installation.module));
    EXPECT_EQ(std::vector<std::string>(1, name), ListFolder(installation.downloads));
}
