#include "foundation/BaseException.h"
#include "foundation/FileSystem.h"
#include "loader/InstallLock.h"
#include "tests/loader/PathsFile.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
    typedef std::vector<std::string> List;

    // A scratch installation: the loader with the launcher and the stand-in
    // application beside it, as chosen.
    struct Installation
    {
        CTempFolder folder;
        std::string loader;
        std::string record;

        explicit Installation(bool launcher = true, bool lite = false)
        {
            loader = folder / "VanteloLoader.exe";
            record = folder / "record.txt";
            CopyInto(BinFolder() + "VanteloLoader.exe", loader);
            if (launcher)
            {
                CopyInto(BinFolder() + "vantelo.exe", folder / "vantelo.exe");
                CopyInto(BinFolder() + "vantelo.dll", folder / "vantelo.dll");
            }
            if (lite)
                CopyInto(BinFolder() + "VanteloLite.exe", folder / "VanteloLite.exe");
        }

        std::string CommandLine() const { return "\"" + loader + "\""; }

        bool Start(CProgramRun& run, const std::string& recordFile = std::string(), int show = SW_SHOWNORMAL,
                   const std::string& current = std::string()) const
        {
            std::vector<std::string> environment(1, "VANTELO_RECORD=" + (recordFile.empty() ? record : recordFile));
            return run.Start(loader, CommandLine(), show, current, environment);
        }

        // Runs the loader to its end; answers its exit status.
        DWORD Run(const std::string& current = std::string()) const
        {
            CProgramRun run;
            if (!Start(run, std::string(), SW_SHOWNORMAL, current) || !run.Wait(30000))
                return 0xDEAD;
            return run.ExitCode();
        }
    };

    // The started program runs on after the loader: its record comes a moment later.
    bool WaitForFile(const std::string& path, DWORD timeoutMs = 20000)
    {
        for (DWORD waited = 0; !PathExists(path); waited += 50)
        {
            if (waited >= timeoutMs)
                return false;
            Sleep(50);
        }
        Sleep(100);
        return true;
    }

    std::string ShellFolder(int id, const std::string& fallback)
    {
        char path[MAX_PATH];
        return GetSpecialFolderPath(path, id) ? std::string(path) : fallback;
    }

    void ExpectPublishedFolders(const std::string& record, const std::string& base)
    {
        EXPECT_EQ(base, RecordValue(record, "env.VTDIR"));
        EXPECT_EQ(base, RecordValue(record, "env.APP"));
        EXPECT_EQ(ShellFolder(26, base), RecordValue(record, "env.USER_APPDATA"));
        EXPECT_EQ(ShellFolder(35, base), RecordValue(record, "env.APPDATA"));
        EXPECT_EQ(ShellFolder(14, base + "\\My Videos"), RecordValue(record, "env.CSIDL_MYVIDEO"));
    }

    bool IsLocked(const std::string& path)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_SHARING_VIOLATION;
        CloseHandle(file);
        return false;
    }

    // Holds the file open with no sharing in another Wine process until killed.
    bool HoldLocked(CProgramRun& holder, const std::string& path)
    {
        if (!holder.Start(BinFolder() + "vtholdfile.exe", "vtholdfile \"" + path + "\""))
            return false;
        for (int i = 0; i < 200 && !IsLocked(path); ++i)
            Sleep(50);
        return IsLocked(path);
    }

    std::string FolderErrorText(const std::string& name, const std::string& path)
    {
        return "Sorry, Vantelo was unable to find folder [" + name + "]->'" + path +
               "', cannot continue.\nPlease ensure that the folder drive is accessible or contact support at "
               "https://support.vantelo.com.";
    }

    // An installation whose "new" folder holds the marker, a routed picture and a plain file.
    struct UpdateInstallation : Installation
    {
        std::string downloads;
        std::string backup;
        std::string images;

        UpdateInstallation()
        {
            downloads = folder / "new\\";
            backup = folder / "backup\\";
            images = folder / "images\\";
            MakeFolder(downloads);
            MakeFolder(images);
            WritePathsFile(folder / "paths.dat", {FolderEntry("new", downloads), FolderEntry("backup-files-folder", backup),
                                                  FolderEntry("channel-images-folder", images),
                                                  RouteEntry(".jpg", "channel-images-folder")});
            WriteTextFile(downloads + "check.dat", "new marker");
            WriteTextFile(downloads + "app.txt", "new app");
            WriteTextFile(downloads + "picture.jpg", "new picture");
            WriteTextFile(folder / "check.dat", "old marker");
            WriteTextFile(folder / "app.txt", "old app");
            WriteTextFile(images + "picture.jpg", "old picture");
        }

        void ExpectInstalled() const
        {
            EXPECT_TRUE(ListFolder(downloads).empty());
            EXPECT_EQ("new marker", ReadTextFile(folder / "check.dat"));
            EXPECT_EQ("new app", ReadTextFile(folder / "app.txt"));
            EXPECT_EQ("new picture", ReadTextFile(images + "picture.jpg"));
            EXPECT_EQ(List({"app.txt", "check.dat"}), ListFolder(backup));
            EXPECT_EQ("old marker", ReadTextFile(backup + "check.dat"));
            EXPECT_EQ("old app", ReadTextFile(backup + "app.txt"));
        }
    };
}

TEST(LoaderProgram, StartsTheLauncherWithItsOwnCommandLineShowValueAndFolders)
{
    struct Case
    {
        int show;
        const char* arguments;
    } cases[] = {
        {SW_SHOWMINNOACTIVE, " -x \"a b\"  /F=c:\\some where"},
        {SW_SHOWNORMAL, ""},
        {SW_HIDE, " \"\" tail\t "},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].arguments);
        Installation installation;
        std::string commandLine = installation.CommandLine() + cases[i].arguments;
        CProgramRun run;
        ASSERT_TRUE(run.Start(installation.loader, commandLine, cases[i].show, std::string(),
                              std::vector<std::string>(1, "VANTELO_RECORD=" + installation.record)));
        ASSERT_TRUE(run.Wait(30000));
        EXPECT_EQ(0u, run.ExitCode());
        ASSERT_TRUE(WaitForFile(installation.record));
        EXPECT_EQ(commandLine, RecordValue(installation.record, "commandline"));
        EXPECT_EQ(std::to_string(cases[i].show), RecordValue(installation.record, "show"));
        EXPECT_EQ(installation.folder / "vantelo.dll", RecordValue(installation.record, "librarypath"));
        ExpectPublishedFolders(installation.record, installation.folder.Path());
    }
}

TEST(LoaderProgram, FallsBackToTheLiteProgramWithTheSameStart)
{
    Installation installation(false, true);
    std::string commandLine = installation.CommandLine() + " --open \"my file.vt\"";
    CProgramRun run;
    ASSERT_TRUE(run.Start(installation.loader, commandLine, SW_SHOWMAXIMIZED, std::string(),
                          std::vector<std::string>(1, "VANTELO_RECORD=" + installation.record)));
    ASSERT_TRUE(run.Wait(30000));
    EXPECT_EQ(0u, run.ExitCode());
    ASSERT_TRUE(WaitForFile(installation.record));
    EXPECT_EQ("VanteloLite", RecordValue(installation.record, "name"));
    EXPECT_EQ(commandLine, RecordValue(installation.record, "commandline"));
    EXPECT_EQ(std::to_string(SW_SHOWMAXIMIZED), RecordValue(installation.record, "show"));
    EXPECT_EQ(std::to_string(STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK), RecordValue(installation.record, "startflags"));
    ExpectPublishedFolders(installation.record, installation.folder.Path());
    EXPECT_TRUE(run.Windows().empty());
}

TEST(LoaderProgram, NeitherProgramStartedShowsTheStartupError)
{
    Installation installation(false, false);
    CProgramRun run;
    ASSERT_TRUE(installation.Start(run));
    HWND box = run.WaitForWindow("#32770", "Startup Error", 20000);
    ASSERT_TRUE(box != NULL);
    EXPECT_EQ("Failed to start main programme, please re-install and try again.\n\n" +
                  std::string(GetSystemErrorText(ERROR_FILE_NOT_FOUND)),
              MessageBoxText(box));
    EXPECT_EQ(std::vector<int>(1, IDOK), DialogButtons(box));
    EXPECT_TRUE(MessageBoxHasIcon(box));
    EXPECT_TRUE(run.IsRunning());
    PressButton(box, IDOK);
    ASSERT_TRUE(run.Wait(20000));
    EXPECT_EQ(0u, run.ExitCode());
}

TEST(LoaderProgram, NewPathsDatIsReadOnlyWhenTheFirstDoesNotLoad)
{
    struct Case
    {
        const char* what;
        const char* first;
        bool firstUsed;
        bool fallbackUsed;
    } cases[] = {
        {"missing", NULL, false, true},
        {"not well-formed", "<paths><a name=\"x\" path=\"y\"></paths>", false, true},
        {"top-level element in capitals", "<PATHS/>", false, true},
        {"loaded with an entry", "", true, false},
        {"loaded without entries", "<paths/>", false, false},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].what);
        Installation installation;
        // The user-settings folder is looked up, and so created, at every start.
        if (cases[i].first != NULL && cases[i].first[0] == 0)
            WritePathsFile(installation.folder / "paths.dat", {FolderEntry("user-settings-folder", "%APP%from-first")});
        else if (cases[i].first != NULL)
            WriteTextFile(installation.folder / "paths.dat", cases[i].first);
        MakeFolder(installation.folder / "new");
        WritePathsFile(installation.folder / "new\\paths.dat", {FolderEntry("user-settings-folder", "%VTDIR%from-fallback")});

        EXPECT_EQ(0u, installation.Run());
        EXPECT_EQ(cases[i].firstUsed, IsFolder(installation.folder / "from-first"));
        EXPECT_EQ(cases[i].fallbackUsed, IsFolder(installation.folder / "from-fallback"));
        EXPECT_TRUE(WaitForFile(installation.record));
    }
}

TEST(LoaderProgram, UserPathsOverrideThePathsEntryByEntry)
{
    for (int userSettingsFileThere = 1; userSettingsFileThere >= 0; --userSettingsFileThere)
    {
        SCOPED_TRACE(userSettingsFileThere ? "user-settings folder's file" : "vantelo-folder's file");
        Installation installation;
        const CTempFolder& folder = installation.folder;
        WritePathsFile(folder / "paths.dat", {FolderEntry("user-settings-folder", folder / "settings"),
                                              FolderEntry("vantelo-folder", folder / "vantelo"),
                                              FolderEntry("new", folder / "new-installation"),
                                              FolderEntry("backup-files-folder", folder / "backup")});
        MakeFolder(folder / "settings");
        MakeFolder(folder / "vantelo");
        if (userSettingsFileThere)
            WritePathsFile(folder / "settings\\user-paths.dat", {FolderEntry("new", folder / "new-settings")});
        WritePathsFile(folder / "vantelo\\user-paths.dat", {FolderEntry("new", folder / "new-vantelo")});
        const char* downloads[] = {"new-installation", "new-settings", "new-vantelo"};
        for (size_t i = 0; i < 3; ++i)
        {
            MakeFolder(folder / downloads[i]);
            WriteTextFile(folder / (std::string(downloads[i]) + "\\check.dat"), "marker");
            WriteTextFile(folder / (std::string(downloads[i]) + "\\" + downloads[i] + ".txt"), "file");
        }

        EXPECT_EQ(0u, installation.Run());
        std::string installed = userSettingsFileThere ? "new-settings" : "new-vantelo";
        std::string unused = userSettingsFileThere ? "new-vantelo" : "new-settings";
        EXPECT_TRUE(ListFolder(folder / installed).empty());
        EXPECT_TRUE(PathExists(folder / (installed + ".txt")));
        EXPECT_EQ(List({"check.dat", "new-installation.txt"}), ListFolder(folder / "new-installation"));
        EXPECT_EQ(List({"check.dat", unused + ".txt"}), ListFolder(folder / unused));
        // The backup folder of the installation's file still holds.
        EXPECT_TRUE(IsFolder(folder / "backup"));
        EXPECT_TRUE(WaitForFile(installation.record));
    }
}

TEST(LoaderProgram, UserPathsInTheCurrentFolderAreNotReadWhenNoFolderIsConfigured)
{
    Installation installation;
    CTempFolder current;
    MakeFolder(current / "planted-new");
    WriteTextFile(current / "planted-new\\check.dat", "marker");
    WriteTextFile(current / "planted-new\\planted.txt", "planted");
    WritePathsFile(current / "user-paths.dat", {FolderEntry("new", current / "planted-new"),
                                                FolderEntry("backup-files-folder", current / "planted-backup")});

    EXPECT_EQ(0u, installation.Run(current.Path()));
    EXPECT_TRUE(WaitForFile(installation.record));
    EXPECT_EQ(List({"check.dat", "planted.txt"}), ListFolder(current / "planted-new"));
    EXPECT_FALSE(PathExists(installation.folder / "planted.txt"));
    EXPECT_FALSE(PathExists(current / "planted-backup"));
}

TEST(LoaderProgram, FolderThatCannotBeMadeStopsTheLoaderWithItsMessage)
{
    CTempFolder scratch;
    struct Case
    {
        std::string name;
        std::string path;
    } cases[] = {
        {"user-settings-folder", "B:\\x"},
        {"new", scratch / "name \\sub"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].name);
        Installation installation(true, true);
        WritePathsFile(installation.folder / "paths.dat", {FolderEntry(cases[i].name, cases[i].path),
                                                           FolderEntry("backup-files-folder", installation.folder / "backup")});
        CProgramRun run;
        ASSERT_TRUE(installation.Start(run));
        HWND box = run.WaitForWindow("#32770", "Vantelo Error", 20000);
        ASSERT_TRUE(box != NULL);
        EXPECT_EQ(FolderErrorText(cases[i].name, cases[i].path + "\\"), MessageBoxText(box));
        EXPECT_EQ(std::vector<int>(1, IDOK), DialogButtons(box));
        EXPECT_TRUE(MessageBoxHasIcon(box));
        PressButton(box, IDOK);
        ASSERT_TRUE(run.Wait(20000));
        EXPECT_EQ(1u, run.ExitCode());
        Sleep(500);
        EXPECT_FALSE(PathExists(installation.record)) << "nothing is started";
        EXPECT_FALSE(PathExists(installation.folder / "backup"));
    }
}

TEST(LoaderProgram, BackupFolderThatCannotBeMadeSkipsTheInstallationOnly)
{
    Installation installation;
    std::string downloads = installation.folder / "new\\";
    WritePathsFile(installation.folder / "paths.dat", {FolderEntry("new", downloads)});
    MakeFolder(downloads);
    WriteTextFile(downloads + "check.dat", "marker");
    WriteTextFile(downloads + "app.txt", "new app");

    CProgramRun run;
    ASSERT_TRUE(installation.Start(run));
    HWND box = run.WaitForWindow("#32770", "Vantelo Error", 20000);
    ASSERT_TRUE(box != NULL);
    std::string text = MessageBoxText(box);
    const std::string head = "Failed to create the '' directory\nbecause '(";
    const std::string tail = "'\n\nSorry cannot install newly downloaded files.";
    EXPECT_EQ(head, text.substr(0, head.size())) << text;
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;
    EXPECT_TRUE(MessageBoxHasIcon(box));
    PressButton(box, IDOK);
    ASSERT_TRUE(run.Wait(20000));
    EXPECT_EQ(0u, run.ExitCode());
    EXPECT_TRUE(WaitForFile(installation.record));
    EXPECT_EQ(List({"app.txt", "check.dat"}), ListFolder(downloads));
    EXPECT_FALSE(PathExists(installation.folder / "app.txt"));
}

TEST(LoaderProgram, InstallationEndedPartWayResumesAtTheNextStart)
{
    UpdateInstallation installation;
    CProgramRun holder;
    ASSERT_TRUE(HoldLocked(holder, installation.images + "picture.jpg"));

    // The backup of the old marker shows that the copies have begun; the
    // locked picture then keeps the loader retrying until it is ended.
    CProgramRun first;
    ASSERT_TRUE(installation.Start(first));
    ASSERT_TRUE(WaitForFile(installation.backup + "check.dat"));
    Sleep(1000);
    ASSERT_TRUE(first.IsRunning());
    first.Kill();
    holder.Kill();

    EXPECT_FALSE(PathExists(installation.record));
    List left = ListFolder(installation.downloads);
    EXPECT_TRUE(std::find(left.begin(), left.end(), "check.dat") != left.end()) << "the marker waits for the rest";
    EXPECT_TRUE(std::find(left.begin(), left.end(), "picture.jpg") != left.end());
    EXPECT_EQ("old marker", ReadTextFile(installation.folder / "check.dat"));

    EXPECT_EQ(0u, installation.Run());
    installation.ExpectInstalled();
    EXPECT_TRUE(WaitForFile(installation.record));
}

TEST(LoaderProgram, TwoLoadersStartedTogetherInstallOnceAndBothLaunch)
{
    UpdateInstallation installation;
    for (int i = 0; i < 20; ++i)
        WriteTextFile(installation.downloads + "part" + std::to_string(i) + ".dat", std::string(200000, 'p'));
    std::string secondRecord = installation.folder / "second-record.txt";
    CProgramRun first;
    CProgramRun second;
    ASSERT_TRUE(installation.Start(first));
    ASSERT_TRUE(installation.Start(second, secondRecord));
    ASSERT_TRUE(first.Wait(60000));
    ASSERT_TRUE(second.Wait(60000));
    EXPECT_EQ(0u, first.ExitCode());
    EXPECT_EQ(0u, second.ExitCode());
    EXPECT_TRUE(WaitForFile(installation.record));
    EXPECT_TRUE(WaitForFile(secondRecord));
    installation.ExpectInstalled();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(200000u, ReadTextFile(installation.folder / ("part" + std::to_string(i) + ".dat")).size());
}

// Waits out the loader's 60 seconds.
TEST(LoaderProgram, InstallationHeldElsewhereIsSkippedAfterTheWait)
{
    UpdateInstallation installation;
    CInstallLock lock(installation.folder.Path().c_str());
    ASSERT_TRUE(lock.Acquire(0));

    CProgramRun run;
    ASSERT_TRUE(installation.Start(run));
    ASSERT_TRUE(run.Wait(120000));
    EXPECT_EQ(0u, run.ExitCode());
    EXPECT_TRUE(WaitForFile(installation.record));
    EXPECT_EQ(List({"app.txt", "check.dat", "picture.jpg"}), ListFolder(installation.downloads));
    EXPECT_EQ("old app", ReadTextFile(installation.folder / "app.txt"));

    lock.Release();
    DeleteFileA(installation.record.c_str());
    EXPECT_EQ(0u, installation.Run());
    installation.ExpectInstalled();
    EXPECT_TRUE(WaitForFile(installation.record));
}

TEST(LoaderProgram, LibrariesPlantedInTheCurrentFolderAreNotLoaded)
{
    // The start-up error path loads the most libraries by name: the message
    // box's. Wine takes its own builtins for the system names whatever the
    // search path, so only the names of no system library (which it would take
    // from the current folder) can show a fault of the loader here.
    Installation installation(false, false);
    CTempFolder current;
    const char* names[] = {"vantelo.dll", "Network.dll", "uxtheme.dll", "imm32.dll", "version.dll", "comctl32.dll",
                           "winex11.drv", "dwmapi.dll"};
    for (size_t i = 0; i < sizeof(names) / sizeof(names[0]); ++i)
        CopyInto(BinFolder() + "vtplanted.dll", current / names[i]);
    std::string planted = current / "planted.txt";
    CProgramRun run;
    std::vector<std::string> environment;
    environment.push_back("VANTELO_RECORD=" + installation.record);
    environment.push_back("VANTELO_PLANTED_RECORD=" + planted);
    ASSERT_TRUE(run.Start(installation.loader, installation.CommandLine(), SW_SHOWNORMAL, current.Path(), environment));
    HWND box = run.WaitForWindow("#32770", "Startup Error", 20000);
    ASSERT_TRUE(box != NULL);
    PressButton(box, IDOK);
    ASSERT_TRUE(run.Wait(20000));
    EXPECT_FALSE(PathExists(planted)) << ReadTextFile(planted);
}

TEST(LoaderProgram, InstallLockNameIsPerFolderWithoutBackslashes)
{
    std::string name = std::string(CInstallLock::NameFor("C:\\Program Files\\Vantelo\\"));
    EXPECT_EQ(0u, name.find("VanteloLoaderInstall-"));
    EXPECT_EQ(std::string::npos, name.find('\\'));
    EXPECT_EQ(name, std::string(CInstallLock::NameFor("c:\\PROGRAM FILES\\vantelo\\")));
    EXPECT_NE(name, std::string(CInstallLock::NameFor("C:\\Program Files\\Vantelo2\\")));
}
