#ifndef REPORTER_ZIPWRITER_H
#define REPORTER_ZIPWRITER_H

#include <zip.h>

// Packs files and folder trees into a new zip archive, one deflated entry per
// file named by the file's path without its drive ("\Temp\crash.1\dump.dmp"),
// with no date, time or attributes. The caller's flag, read between entries
// and between 16384-byte blocks, stops the packing; a stopped or failed
// packing answers false and leaves the archive as far as it was written, to
// be finished by Close.
class CZipWriter
{
public:
    // cancelFlag may be null: the packing is then never stopped.
    explicit CZipWriter(const volatile bool* cancelFlag);
    ~CZipWriter();

    // Closes any open archive first. append false creates the file anew,
    // replacing one that is there.
    bool Open(const char* path, bool append);
    // Finishes the archive; true when nothing is open.
    bool Close();

    // Adds every file that the folder holds, or that a pattern with "*"
    // matches, and with recurse the files of its sub-folders, depth first.
    // Links to folders are not followed. Ends at the first failure.
    bool AddFolder(const char* folder, int level, bool recurse);
    // True when the file was added whole and no stop was asked.
    bool AddFile(const char* path, int level);

    bool IsCancelled() const;

private:
    CZipWriter(const CZipWriter&);
    CZipWriter& operator=(const CZipWriter&);

    const volatile bool* m_cancelFlag;
    zipFile m_zip;
    bool m_zipOpen;
};

#endif
