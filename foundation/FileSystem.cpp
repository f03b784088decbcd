#include "foundation/FileSystem.h"
#include "foundation/FileSearch.h"

#include <shlobj.h>
#include <string.h>

namespace
{
    bool IsSeparator(char c) { return c == '\\' || c == '/'; }

    bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

    // Steps over one character: a lead byte and its trail byte count as one.
    const char* NextChar(const char* p)
    {
        if (IsLeadByte(*p) && p[1] != 0)
            return p + 2;
        return p + 1;
    }
}

bool FileExists(const char* path)
{
    return path != NULL && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void GetFolderOfPath(const char* path, char* folder)
{
    size_t end = 0;
    for (const char* p = path; *p != 0; p = NextChar(p))
    {
        if (IsSeparator(*p))
            end = static_cast<size_t>(p - path) + 1;
    }
    memcpy(folder, path, end);
    folder[end] = 0;
}

bool DeleteDirectoryTree(const char* folder)
{
    if (folder == NULL || folder[0] == 0)
        return false;

    char pattern[MAX_PATH];
    size_t length = strlen(folder);
    const char* tail = IsSeparator(folder[length - 1]) ? "*.*" : "\\*.*";
    if (length + strlen(tail) >= sizeof(pattern))
        return false;
    memcpy(pattern, folder, length);
    strcpy(pattern + length, tail);

    bool result = true;
    CFileSearch search;
    for (search.FindFirst(pattern); search.IsValid(); search.Next())
    {
        const char* path = search.GetFullPath();
        if (search.IsFolder())
        {
            if (search.GetName()[0] == '.')
                continue;
            if (path[0] == 0)
                result = false;
            else if (search.IsLink())
            {
                // Removing the link itself leaves what it points at alone.
                if (!RemoveDirectoryA(path))
                    result = false;
            }
            else if (!DeleteDirectoryTree(path))
                result = false;
        }
        else if (path[0] == 0 || !DeleteFileA(path))
            result = false;
    }
    search.Close();

    if (!result)
        return false;
    return RemoveDirectoryA(folder) != FALSE;
}

bool CreateDirectoryPath(const char* path)
{
    if (path == NULL || path[0] == 0)
        return false;
    for (const char* p = path; *p != 0; p = NextChar(p))
    {
        if (p[0] == ' ' && p[1] == '\\')
            return false;
    }

    size_t length = strlen(path);
    char* work = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    if (work == NULL)
        return false;
    memcpy(work, path, length + 1);

    const char* p = work;
    if (length >= 2 && work[0] == '\\' && work[1] == '\\')
    {
        // A share is the server's business: never tested or created here.
        p = work + 2;
        while (*p != 0 && *p != '\\')
            p = NextChar(p);
        if (*p == 0)
        {
            HeapFree(GetProcessHeap(), 0, work);
            return false;
        }
        p = NextChar(p);
        while (*p != 0 && *p != '\\')
            p = NextChar(p);
        if (*p == 0)
        {
            HeapFree(GetProcessHeap(), 0, work);
            return true;
        }
        ++p;
    }

    bool result = true;
    for (;;)
    {
        while (*p != 0 && *p != '\\')
            p = NextChar(p);
        char* end = work + (p - work);
        char saved = *end;
        *end = 0;
        if (work[0] != 0 && !FileExists(work) && !CreateDirectoryA(work, NULL))
            result = false;
        *end = saved;
        if (!result || *p == 0)
            break;
        ++p;
        if (*p == 0)
            break;
    }
    HeapFree(GetProcessHeap(), 0, work);
    return result;
}

int GetModuleFolder(HINSTANCE instance, char* buffer, DWORD size)
{
    if (buffer == NULL || size == 0)
        return 0;
    DWORD length = GetModuleFileNameA(instance, buffer, size);
    if (length == 0 || length >= size)
    {
        // A cut name would give the wrong folder.
        buffer[0] = 0;
        return 0;
    }
    buffer[length] = 0;

    int found = 0;
    for (const char* p = NextChar(buffer); *p != 0; p = NextChar(p))
    {
        if (*p == '\\')
            found = static_cast<int>(p - buffer);
    }
    if (found != 0)
        buffer[found + 1] = 0;
    return found;
}

bool GetSpecialFolderPath(char* path, int folderId)
{
    path[0] = 0;
    LPITEMIDLIST list = NULL;
    if (FAILED(SHGetSpecialFolderLocation(NULL, folderId, &list)) || list == NULL)
        return false;

    bool result = false;
    if (SHGetPathFromIDListA(list, path) && path[0] != 0)
    {
        size_t length = strlen(path);
        if (path[length - 1] != '\\')
        {
            if (length + 1 < MAX_PATH)
            {
                path[length] = '\\';
                path[length + 1] = 0;
                result = true;
            }
        }
        else
            result = true;
    }
    if (!result)
        path[0] = 0;

    IMalloc* allocator = NULL;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != NULL)
    {
        allocator->Free(list);
        allocator->Release();
    }
    else
        result = false;
    return result;
}
