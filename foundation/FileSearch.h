#ifndef FOUNDATION_FILESEARCH_H
#define FOUNDATION_FILESEARCH_H

#include <windows.h>

// Walks the entries of one folder: FindFirst, then while IsValid handle the
// current entry and call Next, then Close. Reports "." and ".." like any entry.
class CFileSearch
{
public:
    CFileSearch();
    ~CFileSearch();

    // Starts a new walk; the pattern's folder part (up to its last separator)
    // becomes the folder that GetFullPath joins to entry names. A pattern of
    // MAX_PATH characters or more is refused: the walk is then over at once.
    void FindFirst(const char* pattern);
    void Next();
    void Close();

    // False once the platform reported the end of the walk or any failure.
    bool IsValid() const;

    // The folder followed by the current entry's name. Empty when the two do
    // not fit in MAX_PATH characters: callers must not use an empty answer as a path.
    const char* GetFullPath();

    const WIN32_FIND_DATAA& GetFindData() const { return m_findData; }
    const char* GetName() const { return m_findData.cFileName; }
    bool IsFolder() const { return (m_findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // A junction or symbolic link: never to be followed by a walk of a tree.
    bool IsLink() const { return (m_findData.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // "." or "..".
    bool IsDotEntry() const;
    DWORD GetLastError() const { return m_lastError; }

    static bool IsEndCode(DWORD error);

private:
    CFileSearch(const CFileSearch&);
    CFileSearch& operator=(const CFileSearch&);

    void Fail(DWORD error);

    WIN32_FIND_DATAA m_findData;
    HANDLE m_handle;
    DWORD m_lastError;
    char m_folder[MAX_PATH];
    char m_fullPath[MAX_PATH];
};

#endif
