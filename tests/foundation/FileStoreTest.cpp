#include "foundation/FileStore.h"
#include "foundation/FileStoreException.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"
#include "tests/support/SystemText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace
{
    // What an expected failure raised: its code and text. The exception is
    // disposed of here.
    struct SFailure
    {
        bool raised;
        int code;
        std::string text;
    };

    template <class Action>
    SFailure Catch(Action action)
    {
        SFailure failure = {false, -1, std::string()};
        try
        {
            action();
        }
        catch (CFileStoreException* e)
        {
            failure.raised = true;
            failure.code = e->GetCode();
            failure.text = e->GetErrorText();
            e->Dispose();
        }
        return failure;
    }


    const char* const ShortRead = "File read failed to read the required size";
}

TEST(FileStore, OpenFailureNamesThePathAndTheSystemReason)
{
    CTempFolder temp;
    std::string path = temp / "missing.zip";
    int flags[] = {0, CFileStore::StoreRead, CFileStore::StoreRead | CFileStore::StoreWrite};
    for (size_t i = 0; i < sizeof(flags) / sizeof(flags[0]); ++i)
    {
        SCOPED_TRACE(flags[i]);
        SFailure failure = Catch([&] { CFileStore store(path.c_str(), flags[i]); });
        ASSERT_TRUE(failure.raised);
        EXPECT_EQ(CBaseException::OpenFailed, failure.code);
        EXPECT_EQ("Failed to open file '" + path + "': \r\nReason:\r\n(2) " + SystemText(2), failure.text);
    }
    EXPECT_FALSE(PathExists(path));
}

TEST(FileStore, OpenFailureMessageHoldsALongPathWhole)
{
    CTempFolder temp;
    // Beyond any fixed message buffer, and beyond what the platform opens.
    std::string path = temp.Path() + std::string(3000, 'x') + ".dat";
    SFailure failure = Catch([&] { CFileStore store(path.c_str(), CFileStore::StoreRead); });
    ASSERT_TRUE(failure.raised);
    EXPECT_EQ(CBaseException::OpenFailed, failure.code);
    EXPECT_EQ(0u, failure.text.find("Failed to open file '" + path + "': \r\nReason:\r\n("));
}

TEST(FileStore, FlagsWithoutAccessAreRefusedAndTouchNothing)
{
    CTempFolder temp;
    std::string path = temp / "text.txt";
    int flags[] = {CFileStore::StoreText, 0x04, 0x20 | 0x80};
    for (size_t i = 0; i < sizeof(flags) / sizeof(flags[0]); ++i)
    {
        SCOPED_TRACE(flags[i]);
        SFailure failure = Catch([&] { CFileStore store(path.c_str(), flags[i]); });
        ASSERT_TRUE(failure.raised);
        EXPECT_EQ(CBaseException::OpenFailed, failure.code);
        EXPECT_EQ("An error occurred trying to use file '" + path + "', no correct creation flags were defined",
            failure.text);
        EXPECT_FALSE(PathExists(path));
    }
}

TEST(FileStore, ReadsExactCountsAndRefusesShortReads)
{
    CTempFolder temp;
    std::string path = temp / "data.bin";
    WriteTextFile(path, std::string("abc\0\xff" "def", 8));

    CFileStore store(path.c_str(), CFileStore::StoreRead);
    char buffer[16] = {0};
    EXPECT_EQ(0, store.Read(buffer, 0));
    EXPECT_EQ(0, store.GetPosition());
    EXPECT_EQ(5, store.Read(buffer, 5));
    EXPECT_EQ(std::string("abc\0\xff", 5), std::string(buffer, 5));
    EXPECT_EQ(5, store.GetPosition());

    SFailure failure = Catch([&] { store.Read(buffer, 4); });
    ASSERT_TRUE(failure.raised);
    EXPECT_EQ(CBaseException::IoFailure, failure.code);
    EXPECT_EQ(ShortRead, failure.text);
    // The stream stays open after the failure.
    EXPECT_TRUE(store.IsOpen());
    EXPECT_EQ(8, store.GetLength());
}

TEST(FileStore, LengthAndEndKeepThePosition)
{
    CTempFolder temp;
    std::string empty = temp / "empty.bin";
    WriteTextFile(empty, "");
    {
        CFileStore store(empty.c_str(), 0);
        EXPECT_EQ(0, store.GetLength());
        EXPECT_TRUE(store.IsAtEnd());
    }

    std::string path = temp / "ten.bin";
    WriteTextFile(path, "0123456789");
    CFileStore store(path.c_str(), CFileStore::StoreRead);
    char buffer[10];
    EXPECT_EQ(3, store.Read(buffer, 3));
    EXPECT_EQ(10, store.GetLength());
    EXPECT_EQ(3, store.GetPosition());
    EXPECT_FALSE(store.IsAtEnd());
    EXPECT_EQ(3, store.GetPosition());
    // The next read continues where the length left off.
    EXPECT_EQ(7, store.Read(buffer + 3, 7));
    EXPECT_EQ("0123456789", std::string(buffer, 10));
    EXPECT_TRUE(store.IsAtEnd());
}

TEST(FileStore, FilesOfTwoGibibytesOrMoreAreRefusedNotMismeasured)
{
    CTempFolder temp;
    std::string path = temp / "large.bin";
    {
        // Sparse where the file system allows it: only the length matters.
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        LARGE_INTEGER size;
        size.QuadPart = 0x80000000LL + 16;
        BOOL sized = SetFilePointerEx(file, size, NULL, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (!sized)
            GTEST_SKIP() << "no room for a large file here";
    }

    CFileStore store(path.c_str(), CFileStore::StoreRead);
    char buffer[4];
    EXPECT_EQ(4, store.Read(buffer, 4));
    SFailure failure = Catch([&] { store.GetLength(); });
    ASSERT_TRUE(failure.raised);
    EXPECT_EQ(CBaseException::IoFailure, failure.code);
    EXPECT_EQ("Cannot get the position of the end of file", failure.text);
    EXPECT_EQ(4, store.GetPosition());

    failure = Catch([&] { store.IsAtEnd(); });
    EXPECT_TRUE(failure.raised);
}

TEST(FileStore, StoredLongIsRereadOnlyWhileZero)
{
    CTempFolder temp;
    std::string path = temp / "longs.bin";
    {
        CFileStore store(path.c_str(), CFileStore::StoreWrite);
        store.WriteStoredLong(0x01020304);
        store.WriteStoredLong(7);
        store.WriteStoredLong(0);
        store.WriteStoredLong(9);
    }
    EXPECT_EQ(std::string("\x04\x03\x02\x01\x07\0\0\0\0\0\0\0\x09\0\0\0", 16), ReadTextFile(path));

    CFileStore store(path.c_str(), CFileStore::StoreRead);
    EXPECT_EQ(0x01020304, store.ReadStoredLong(false));
    EXPECT_EQ(0x01020304, store.ReadStoredLong(false));
    EXPECT_EQ(4, store.GetPosition());
    EXPECT_EQ(7, store.ReadStoredLong(true));
    EXPECT_EQ(0, store.ReadStoredLong(true));
    // A remembered 0 makes the next call read again.
    EXPECT_EQ(9, store.ReadStoredLong(false));
    EXPECT_EQ(16, store.GetPosition());

    // A failed read leaves the remembered value alone.
    SFailure failure = Catch([&] { store.ReadStoredLong(true); });
    EXPECT_TRUE(failure.raised);
    EXPECT_EQ(ShortRead, failure.text);
    EXPECT_EQ(9, store.ReadStoredLong(false));
}

TEST(FileStore, WriteAppendAndUpdateModes)
{
    CTempFolder temp;
    std::string path = temp / "modes.bin";
    WriteTextFile(path, "old contents");

    {
        // Writing empties the file.
        CFileStore store(path.c_str(), CFileStore::StoreWrite);
        store.Write("abc", 3);
        store.Write("", 0);
    }
    EXPECT_EQ("abc", ReadTextFile(path));
    {
        CFileStore store(path.c_str(), CFileStore::StoreCreate | CFileStore::StoreRead);
        store.Write("xy", 2);
    }
    EXPECT_EQ("xy", ReadTextFile(path));
    {
        // Appending reads from the start and writes at the end.
        CFileStore store(path.c_str(), CFileStore::StoreAppend | CFileStore::StoreWrite);
        store.Write("z", 1);
        EXPECT_EQ(3, store.GetLength());
    }
    EXPECT_EQ("xyz", ReadTextFile(path));
    {
        // Reading with writing updates the existing file in place.
        CFileStore store(path.c_str(), CFileStore::StoreRead | CFileStore::StoreWrite);
        EXPECT_EQ(3, store.GetLength());
        store.Write("X", 1);
        EXPECT_EQ(1, store.GetPosition());
    }
    EXPECT_EQ("Xyz", ReadTextFile(path));
    {
        // Text mode turns line feeds into carriage return and line feed.
        CFileStore store(path.c_str(), CFileStore::StoreWrite | CFileStore::StoreText);
        store.Write("a\nb", 3);
    }
    EXPECT_EQ("a\r\nb", ReadTextFile(path));
}

TEST(FileStore, OpenAgainClosesThePreviousFileAndReadingAClosedStoreRaises)
{
    CTempFolder temp;
    std::string first = temp / "first.bin";
    std::string second = temp / "second.bin";
    WriteTextFile(first, "1");
    WriteTextFile(second, "22");

    CFileStore store(first.c_str(), CFileStore::StoreRead);
    store.Open(second.c_str(), CFileStore::StoreRead);
    EXPECT_EQ(2, store.GetLength());
    // The first file is no longer held: it can be deleted.
    EXPECT_TRUE(DeleteFileA(first.c_str()));

    SFailure failure = Catch([&] { store.Open(first.c_str(), CFileStore::StoreRead); });
    EXPECT_TRUE(failure.raised);
    EXPECT_FALSE(store.IsOpen());
    char c;
    failure = Catch([&] { store.Read(&c, 1); });
    ASSERT_TRUE(failure.raised);
    EXPECT_EQ("IO failure", failure.text);
    store.Close();
}
