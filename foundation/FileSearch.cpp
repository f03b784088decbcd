#include "foundation/FileSearch.h"
#include "foundation/FileSystem.h"

#include <string.h>

CFileSearch::CFileSearch()
    : m_handle(INVALID_HANDLE_VALUE), m_lastError(0)
{
    memset(&m_findData, 0, sizeof(m_findData));
    m_folder[0] = 0;
    m_fullPath[0] = 0;
}

CFileSearch::~CFileSearch()
{
    Close();
}

bool CFileSearch::IsEndCode(DWORD error)
{
    switch (error)
    {
    case ERROR_NO_MORE_FILES:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_DUP_NAME:
    case ERROR_INVALID_NAME:
        return true;
    }
    return false;
}

void CFileSearch::FindFirst(const char* pattern)
{
    Close();
    m_fullPath[0] = 0;
    m_folder[0] = 0;
    if (pattern == NULL || strlen(pattern) >= MAX_PATH)
    {
        Fail(ERROR_INVALID_NAME);
        return;
    }
    GetFolderOfPath(pattern, m_folder);
    m_handle = FindFirstFileA(pattern, &m_findData);
    if (m_handle == INVALID_HANDLE_VALUE)
    {
        Fail(::GetLastError());
        return;
    }
    m_lastError = 0;
}

void CFileSearch::Next()
{
    m_fullPath[0] = 0;
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    if (!FindNextFileA(m_handle, &m_findData))
        Fail(::GetLastError());
}

// Any failing find call ends the walk: the entry data is not to be trusted
// after it, and retrying could hand out the same entry for ever.
void CFileSearch::Fail(DWORD error)
{
    m_lastError = error ? error : ERROR_NO_MORE_FILES;
    Close();
}

void CFileSearch::Close()
{
    if (m_handle != INVALID_HANDLE_VALUE)
    {
        FindClose(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

bool CFileSearch::IsValid() const
{
    return m_handle != INVALID_HANDLE_VALUE && !IsEndCode(m_lastError);
}

bool CFileSearch::IsDotEntry() const
{
    const char* name = m_findData.cFileName;
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

const char* CFileSearch::GetFullPath()
{
    if (m_fullPath[0] == 0)
    {
        size_t folderLength = strlen(m_folder);
        size_t nameLength = strlen(m_findData.cFileName);
        if (folderLength + nameLength < sizeof(m_fullPath))
        {
            memcpy(m_fullPath, m_folder, folderLength);
            memcpy(m_fullPath + folderLength, m_findData.cFileName, nameLength + 1);
        }
    }
    return m_fullPath;
}
