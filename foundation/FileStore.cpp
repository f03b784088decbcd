#include "foundation/FileStore.h"
#include "foundation/FileStoreException.h"
#include "foundation/SmallString.h"

#include <windows.h>

#include <errno.h>
#include <limits.h>
#include <share.h>
#include <string.h>

namespace
{
    void Raise(int code, const char* message)
    {
        throw new CFileStoreException(code, message);
    }
}

CFileStore::CFileStore(const char* path, int flags)
    : CStoreABC((flags & StoreRead) != 0), m_stream(0)
{
    Open(path, flags);
}

CFileStore::~CFileStore()
{
    Close();
}

void CFileStore::Open(const char* path, int flags)
{
    Close();
    m_reading = (flags & StoreRead) != 0;
    if (path == 0)
        path = "";

    const char* access = 0;
    if (flags == 0)
        access = "r";
    else
    {
        if (flags & StoreRead)
            access = "r";
        if (flags & (StoreWrite | StoreCreate))
            access = "w";
        // Reading with writing updates an existing file in place.
        if ((flags & StoreRead) && (flags & StoreWrite))
            access = "r+";
        if (flags & StoreAppend)
            access = "a+";
    }
    if (access == 0)
    {
        CSmallString message;
        message.Format("An error occurred trying to use file '%s', no correct creation flags were defined", path);
        Raise(CBaseException::OpenFailed, message);
    }

    char mode[4];
    strcpy(mode, access);
    strcat(mode, (flags & StoreText) ? "t" : "b");

    // Others may read and write the file while it is open here.
    m_stream = _fsopen(path, mode, _SH_DENYNO);
    if (m_stream == 0)
    {
        DWORD error = GetLastError();
        // Formatted without a fixed buffer, so no path is too long for the message.
        CSmallString message;
        message.Format("Failed to open file '%s': \r\nReason:\r\n%s", path,
            static_cast<const char*>(GetSystemErrorText(error)));
        Raise(CBaseException::OpenFailed, message);
    }
}

void CFileStore::Close()
{
    if (m_stream != 0)
    {
        fflush(m_stream);
        fclose(m_stream);
        m_stream = 0;
    }
}

void CFileStore::RequireOpen() const
{
    if (m_stream == 0)
        Raise(CBaseException::IoFailure, 0);
}

void CFileStore::RaiseStreamError() const
{
    Raise(CBaseException::IoFailure, strerror(errno));
}

int CFileStore::Read(void* buffer, int count)
{
    if (count == 0)
        return 0;
    RequireOpen();
    if (count < 0)
        Raise(CBaseException::IoFailure, "File read failed to read the required size");

    size_t got = fread(buffer, 1, static_cast<size_t>(count), m_stream);
    if (got < static_cast<size_t>(count))
        Raise(CBaseException::IoFailure, "File read failed to read the required size");
    if (ferror(m_stream))
        RaiseStreamError();
    return count;
}

void CFileStore::Write(const void* buffer, int count)
{
    if (count == 0)
        return;
    RequireOpen();
    if (count < 0)
        Raise(CBaseException::IoFailure, 0);

    errno = 0;
    size_t put = fwrite(buffer, 1, static_cast<size_t>(count), m_stream);
    if (put < static_cast<size_t>(count) || ferror(m_stream))
        RaiseStreamError();
}

int CFileStore::GetPosition()
{
    RequireOpen();
    fpos_t position;
    // A position past 2 GiB has no 32-bit answer.
    if (fgetpos(m_stream, &position) != 0 || position < 0 || position > INT_MAX)
        Raise(CBaseException::IoFailure, 0);
    return static_cast<int>(position);
}

int CFileStore::GetLength()
{
    RequireOpen();
    fpos_t saved;
    if (fgetpos(m_stream, &saved) != 0)
        Raise(CBaseException::IoFailure, "Cannot get current file position");
    if (fseek(m_stream, 0, SEEK_END) != 0)
        Raise(CBaseException::IoFailure, "Cannot move to the end of the file");
    fpos_t end;
    bool measured = fgetpos(m_stream, &end) == 0;
    // Put the position back before any failure, so that a refused length
    // leaves the store where it was.
    if (fsetpos(m_stream, &saved) != 0)
        Raise(CBaseException::IoFailure, "Cannot restore previously saved position");
    if (!measured || end < 0 || end > INT_MAX)
        Raise(CBaseException::IoFailure, "Cannot get the position of the end of file");
    return static_cast<int>(end);
}

bool CFileStore::IsAtEnd()
{
    int length = GetLength();
    if (length == 0)
        return true;
    return GetPosition() == length;
}
