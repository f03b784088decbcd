#include "loader/UpdateInstaller.h"

#include "foundation/BaseException.h"
#include "foundation/FileSearch.h"
#include "foundation/FileSystem.h"
#include "loader/Paths.h"

#include <string.h>

namespace
{
    const char kMarkerName[] = "check.dat";
    const int kCopyAttempts = 30;
    const DWORD kRetryWaitMs = 500;

    // folder followed by name, refused when the path would not fit the platform's limit.
    bool JoinPath(const CSmallString& folder, const char* name, CSmallString& path)
    {
        if (static_cast<size_t>(folder.GetLength()) + strlen(name) >= MAX_PATH)
            return false;
        path = folder + name;
        return true;
    }

    bool IsMarker(const char* name)
    {
        return CSmallString(name).CompareNoCase(kMarkerName) == 0;
    }

    // Only the text after the last dot counts.
    bool IsCompressedDownload(const char* name)
    {
        const char* dot = strrchr(name, '.');
        return dot != NULL && CSmallString(dot + 1).CompareNoCase("cmp") == 0;
    }

    bool IsExistingFile(const char* path)
    {
        DWORD attributes = GetFileAttributesA(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    // Visits the files directly in the download folder, never its sub-folders.
    class CDownloadWalk
    {
    public:
        explicit CDownloadWalk(const CSmallString& downloadFolder) { m_search.FindFirst(downloadFolder + "*.*"); SkipFolders(); }

        bool IsValid() const { return m_search.IsValid(); }
        void Next() { m_search.Next(); SkipFolders(); }
        const char* Name() const { return m_search.GetName(); }
        // Empty when the full path does not fit: such a file is passed over.
        const char* FullPath() { return m_search.GetFullPath(); }

    private:
        CDownloadWalk(const CDownloadWalk&);
        CDownloadWalk& operator=(const CDownloadWalk&);

        void SkipFolders()
        {
            while (m_search.IsValid() && m_search.IsFolder())
                m_search.Next();
        }

        CFileSearch m_search;
    };

    void DeleteDownloads(const CSmallString& downloadFolder)
    {
        for (CDownloadWalk walk(downloadFolder); walk.IsValid(); walk.Next())
        {
            const char* path = walk.FullPath();
            if (path[0] != 0)
                DeleteFileA(path);
        }
    }

    // Drops the cmp files and backs up every installed file that a download replaces.
    void PrepareDownloads(const CSmallString& downloadFolder, const CSmallString& backupFolder,
        const CSmallString& moduleFolder)
    {
        for (CDownloadWalk walk(downloadFolder); walk.IsValid(); walk.Next())
        {
            const char* path = walk.FullPath();
            if (path[0] == 0)
                continue;
            if (IsCompressedDownload(walk.Name()))
            {
                DeleteFileA(path);
                continue;
            }
            CSmallString installed;
            CSmallString backup;
            if (JoinPath(moduleFolder, walk.Name(), installed) && JoinPath(backupFolder, walk.Name(), backup) &&
                IsExistingFile(installed))
                CopyFileWithRetry(installed, backup);
        }
    }

    // False when the file could not be copied into place: it stays in the download folder.
    bool InstallDownload(CPaths& paths, const char* downloadPath, const char* name)
    {
        CSmallString folder;
        paths.GetFolderForFile(name, folder);
        CSmallString destination;
        if (!JoinPath(folder, name, destination))
            return true;
        if (!CopyFileWithRetry(downloadPath, destination))
            return false;
        DeleteFileA(downloadPath);
        return true;
    }
}

bool CopyFileWithRetry(const char* source, const char* destination)
{
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt)
    {
        DWORD attributes = GetFileAttributesA(destination);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        {
            DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
            SetFileAttributesA(destination, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
        }
        if (CopyFileA(source, destination, FALSE))
            return true;
        Sleep(kRetryWaitMs);
    }
    return false;
}

void InstallDownloadedFiles(CPaths& paths, const char* moduleFolder)
{
    CSmallString downloadFolder(paths.GetFolder("new"));
    if (!FileExists(downloadFolder))
        return;

    CSmallString backupFolder(paths.GetFolder("backup-files-folder"));
    if (!FileExists(backupFolder) && !CreateDirectoryPath(backupFolder))
    {
        DWORD error = GetLastError();
        CSmallString text;
        text.Format("Failed to create the '%s' directory\nbecause '%s'\n\nSorry cannot install newly downloaded files.",
            static_cast<const char*>(backupFolder), static_cast<const char*>(GetSystemErrorText(error)));
        MessageBoxA(NULL, text, "Vantelo Error", MB_OK | MB_ICONERROR);
        return;
    }

    CSmallString marker;
    if (!JoinPath(downloadFolder, kMarkerName, marker) || !IsExistingFile(marker))
    {
        DeleteDownloads(downloadFolder);
        return;
    }

    PrepareDownloads(downloadFolder, backupFolder, CSmallString(moduleFolder));

    CSmallString channelImages(paths.GetFolder("channel-images-folder"));
    if (!FileExists(channelImages))
        CreateDirectoryPath(channelImages);

    bool allInstalled = true;
    CSmallString markerName;
    for (CDownloadWalk walk(downloadFolder); walk.IsValid(); walk.Next())
    {
        const char* path = walk.FullPath();
        if (path[0] == 0)
            continue;
        if (IsMarker(walk.Name()))
        {
            markerName = walk.Name();
            continue;
        }
        if (!InstallDownload(paths, path, walk.Name()))
            allInstalled = false;
    }
    if (allInstalled && !markerName.IsEmpty())
    {
        CSmallString markerPath;
        if (JoinPath(downloadFolder, markerName, markerPath))
            InstallDownload(paths, markerPath, markerName);
    }
}
