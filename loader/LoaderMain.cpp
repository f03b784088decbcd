#include "foundation/BaseException.h"
#include "foundation/DllSearchPath.h"
#include "foundation/ExtraInfoException.h"
#include "foundation/FileSystem.h"
#include "loader/InstallLock.h"
#include "loader/Paths.h"
#include "loader/UpdateInstaller.h"

#include <string.h>

namespace
{
    const char kLauncherName[] = "vantelo.exe";
    const char kLiteName[] = "VanteloLite.exe";
    // A second loader started meanwhile waits this long for the first one's installation.
    const DWORD kInstallWaitMs = 60000;

    // An unconfigured folder answers an empty path: the file name alone would
    // be read from whatever the current directory is, so nothing is read then.
    bool LoadUserPaths(CPaths& paths, const char* folderName)
    {
        CSmallString folder(paths.GetFolder(folderName));
        if (folder.IsEmpty())
            return false;
        return paths.Load(folder + "user-paths.dat");
    }

    void LoadConfiguration(CPaths& paths, const CSmallString& moduleFolder)
    {
        if (!paths.Load(moduleFolder + "paths.dat"))
            paths.Load(moduleFolder + "\\new\\paths.dat");
        if (!LoadUserPaths(paths, "user-settings-folder"))
            LoadUserPaths(paths, "vantelo-folder");
    }

    // A loader that waited in vain for another one's installation launches without installing.
    void InstallUnderLock(CPaths& paths, const char* moduleFolder)
    {
        CInstallLock lock(moduleFolder);
        if (lock.Acquire(kInstallWaitMs))
            InstallDownloadedFiles(paths, moduleFolder);
    }

    // Starts the program with this process's own command line; answers 0, or
    // the error of the failed start.
    DWORD StartProgram(const char* program, int showCommand)
    {
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof(startup));
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
        startup.wShowWindow = static_cast<WORD>(showCommand);
        PROCESS_INFORMATION info;
        memset(&info, 0, sizeof(info));

        // The call may write into the command line: it gets a copy.
        CSmallString commandLine(GetCommandLineA());
        int length = commandLine.GetLength();
        char* line = commandLine.PrepareBuffer(length);
        BOOL started = CreateProcessA(program, line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info);
        DWORD error = started ? 0 : GetLastError();
        commandLine.CommitBuffer(length);
        if (!started)
            return error != 0 ? error : ERROR_GEN_FAILURE;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return 0;
    }

    void ShowStartupError(DWORD error)
    {
        CSmallString text;
        text.Format("Failed to start main programme, please re-install and try again.\n\n%s",
            static_cast<const char*>(GetSystemErrorText(error)));
        MessageBoxA(NULL, text, "Startup Error", MB_OK | MB_ICONERROR);
    }

    void Launch(const CSmallString& moduleFolder, int showCommand)
    {
        if (StartProgram(moduleFolder + kLauncherName, showCommand) == 0)
            return;
        DWORD error = StartProgram(moduleFolder + kLiteName, showCommand);
        if (error != 0)
            ShowStartupError(error);
    }

    int RunLoader(HINSTANCE instance, int showCommand)
    {
        char folderBuffer[260];
        if (GetModuleFolder(instance, folderBuffer, sizeof(folderBuffer)) == 0)
        {
            // Without its own folder every name would be relative to the current directory.
            DWORD error = GetLastError();
            ShowStartupError(error != 0 ? error : ERROR_BAD_PATHNAME);
            return 0;
        }
        CSmallString moduleFolder(folderBuffer);

        CPaths paths(moduleFolder);
        LoadConfiguration(paths, moduleFolder);
        InstallUnderLock(paths, moduleFolder);
        Launch(moduleFolder, showCommand);
        return 0;
    }

    // A configured folder that cannot be made to exist: the loader stops
    // before starting anything, and says why.
    int ReportStartupFailure(CBaseException* e)
    {
        MessageBoxA(NULL, e->GetErrorText(), "Vantelo Error", MB_OK | MB_ICONERROR);
        e->Dispose();
        return 1;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RemoveCurrentDirectoryFromDllSearchPath();
    try
    {
        return RunLoader(instance, showCommand);
    }
    catch (CExtraInfoException* e)
    {
        return ReportStartupFailure(e);
    }
    catch (CBaseException* e)
    {
        return ReportStartupFailure(e);
    }
}
