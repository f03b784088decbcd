#ifndef FOUNDATION_FILESTORE_H
#define FOUNDATION_FILESTORE_H

#include "foundation/StoreABC.h"

#include <stdio.h>

// A byte store over a buffered runtime stream. Every failure raises a new
// CFileStoreException (thrown by pointer, freed with Dispose) whose message
// names the failing step; after a failed read or write the stream stays open.
// Positions and lengths are 32-bit: a file of 2 GiB or more is refused by
// GetLength and GetPosition rather than measured wrongly.
class CFileStore : public CStoreABC
{
public:
    enum OpenFlags
    {
        // Binary reading; the value 0 means the same.
        StoreRead = 0x01,
        // Creates the file or empties it. With StoreRead (and without
        // StoreAppend) an existing file is opened for update instead.
        StoreWrite = 0x02,
        // Reading and appending; wins over every other flag.
        StoreAppend = 0x08,
        // Like StoreWrite, also together with StoreRead.
        StoreCreate = 0x10,
        // Text translation instead of binary; selects no access on its own.
        StoreText = 0x40
    };

    // Opens at once; when the open raises, the exception propagates.
    CFileStore(const char* path, int flags);
    virtual int Read(void* buffer, int count);
    virtual void Write(const void* buffer, int count);
    // True for an empty file, or when the position is at the end.
    virtual bool IsAtEnd();
    virtual ~CFileStore();
    // The file's length; the position is left where it was.
    virtual int GetLength();

    // Closes any open stream first. On failure the store stays closed.
    void Open(const char* path, int flags);
    // Flushes and closes; nothing to do when closed.
    void Close();
    int GetPosition();
    bool IsOpen() const { return m_stream != 0; }

private:
    void RequireOpen() const;
    void RaiseStreamError() const;

    FILE* m_stream;
};

#endif
