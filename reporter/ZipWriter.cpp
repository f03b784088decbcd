#include "reporter/ZipWriter.h"
#include "foundation/FileSearch.h"

#include <stdio.h>
#include <string.h>

namespace
{
    const size_t BlockSize = 16384;

    // A scoped runtime stream: closed on every path unless closed earlier.
    class CInputFile
    {
    public:
        explicit CInputFile(const char* path) : m_file(fopen(path, "rb")) {}
        ~CInputFile() { Close(); }
        FILE* Get() const { return m_file; }
        bool Close()
        {
            if (m_file == 0)
                return true;
            bool closed = fclose(m_file) == 0;
            m_file = 0;
            return closed;
        }

    private:
        CInputFile(const CInputFile&);
        CInputFile& operator=(const CInputFile&);

        FILE* m_file;
    };

    // The path after its drive letter and colon, so that it begins with a backslash.
    const char* EntryName(const char* path)
    {
        if (path[0] != 0 && path[1] == ':')
            return path + 2;
        return path;
    }
}

CZipWriter::CZipWriter(const volatile bool* cancelFlag)
    : m_cancelFlag(cancelFlag), m_zip(0), m_zipOpen(false)
{
}

CZipWriter::~CZipWriter()
{
    Close();
}

bool CZipWriter::Open(const char* path, bool append)
{
    Close();
    m_zip = zipOpen(path, append ? APPEND_STATUS_CREATEAFTER : APPEND_STATUS_CREATE);
    m_zipOpen = m_zip != 0;
    return m_zipOpen;
}

bool CZipWriter::Close()
{
    if (m_zip == 0 || !m_zipOpen)
        return true;
    m_zipOpen = false;
    int result = zipClose(m_zip, 0);
    m_zip = 0;
    return result == ZIP_OK;
}

bool CZipWriter::IsCancelled() const
{
    return m_cancelFlag != 0 && *m_cancelFlag;
}

bool CZipWriter::AddFolder(const char* folder, int level, bool recurse)
{
    if (folder == 0 || folder[0] == 0)
        return false;
    char pattern[MAX_PATH];
    size_t length = strlen(folder);
    const char* tail = "\\*.*";
    if (strchr(folder, '*') != 0)
        tail = "";
    else if (folder[length - 1] == '\\' || folder[length - 1] == '/')
        tail = "*.*";
    if (length + strlen(tail) >= sizeof(pattern))
        return false;
    memcpy(pattern, folder, length);
    strcpy(pattern + length, tail);

    bool result = true;
    CFileSearch search;
    for (search.FindFirst(pattern); search.IsValid() && !IsCancelled() && result; search.Next())
    {
        const char* path = search.GetFullPath();
        if (search.IsFolder())
        {
            // A link may lead out of the tree, or back up into it.
            if (search.IsDotEntry() || search.IsLink() || !recurse)
                continue;
            result = path[0] != 0 && AddFolder(path, level, recurse);
        }
        else
            result = path[0] != 0 && AddFile(path, level);
    }
    // A walk cut short by anything but its normal end has not added everything.
    if (result && !search.IsValid() && !CFileSearch::IsEndCode(search.GetLastError()))
        result = false;
    if (IsCancelled())
        result = false;
    search.Close();
    return result;
}

bool CZipWriter::AddFile(const char* path, int level)
{
    if (m_zip == 0 || !m_zipOpen || path == 0)
        return false;

    zip_fileinfo info;
    memset(&info, 0, sizeof(info));
    if (zipOpenNewFileInZip3(m_zip, EntryName(path), &info, 0, 0, 0, 0, 0, Z_DEFLATED, level, 0, 15, 9,
            Z_DEFAULT_STRATEGY, 0, 0) != ZIP_OK)
        return false;

    // An entry begun for a file that cannot be opened is closed by the next
    // entry or by zipClose.
    CInputFile file(path);
    if (file.Get() == 0)
        return false;

    bool result = true;
    unsigned char block[BlockSize];
    while (!feof(file.Get()) && result && !IsCancelled())
    {
        size_t got = fread(block, 1, sizeof(block), file.Get());
        if (got > 0 && zipWriteInFileInZip(m_zip, block, static_cast<unsigned>(got)) != ZIP_OK)
            result = false;
        // A read error would otherwise end the entry short and unnoticed.
        if (ferror(file.Get()))
            result = false;
    }

    if (zipCloseFileInZip(m_zip) != ZIP_OK)
        result = false;
    if (!file.Close())
        result = false;
    if (IsCancelled())
        result = false;
    return result;
}
