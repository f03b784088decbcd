#include "foundation/BaseException.h"
#include "foundation/ExtraInfoException.h"
#include "foundation/FileStoreException.h"
#include "tests/foundation/AllocationCounter.h"
#include "tests/support/SystemText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <limits.h>

#include <string>

TEST(BaseException, ErrorTextTable)
{
    struct Case
    {
        int code;
        const char* text;
    } cases[] = {
        {CBaseException::OutOfMemory, "Out of memory"},
        {CBaseException::OpenFailed, "Open failed"},
        {CBaseException::IoFailure, "IO failure"},
        {CBaseException::DataFormatError, "Data format error"},
        {4, "Unknown error"},
        {5, "Unknown error"},
        {CBaseException::ConnectionFailure, "Connection failure"},
        {CBaseException::RequestFailure, "Request Failure"},
        {CBaseException::UnknownUser, "Unknown user identification code"},
        {CBaseException::InternalError, "Internal Error"},
        {CBaseException::InitialisationFailure, "Initialisation Failure"},
        {CBaseException::InvalidFunctionCall, "Invalid function call"},
        {CBaseException::OperationCancelled, "Operation Cancelled"},
        {CBaseException::DataAccessError, "Data access error"},
        {CBaseException::NotFound, "Not found"},
        {15, "Unknown error"},
        {-1, "Unknown error"},
        {INT_MIN, "Unknown error"},
    };
    EXPECT_EQ(14, CBaseException::NotFound);
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].code);
        CBaseException* e = new CBaseException(cases[i].code);
        EXPECT_STREQ(cases[i].text, e->GetErrorText());
        EXPECT_EQ(cases[i].code, e->GetCode());
        e->Dispose();
    }
}

TEST(BaseException, MessageReplacesTheCodeTextWhenNotEmpty)
{
    CFileStoreException empty(CBaseException::IoFailure, "");
    CFileStoreException none(CBaseException::IoFailure, NULL);
    CFileStoreException message(CBaseException::IoFailure, "Cannot get current file position");
    CExtraInfoException extraEmpty(CBaseException::IoFailure, "");
    CExtraInfoException extraMessage(CBaseException::NotFound, "No folder");
    EXPECT_STREQ("IO failure", empty.GetErrorText());
    EXPECT_STREQ("IO failure", none.GetErrorText());
    EXPECT_STREQ("Cannot get current file position", message.GetErrorText());
    EXPECT_STREQ("IO failure", extraEmpty.GetErrorText());
    EXPECT_STREQ("No folder", extraMessage.GetErrorText());
}

TEST(BaseException, HandlerOfTheBaseReceivesDerivedOnes)
{
    CSmallString local("Cannot open x");
    for (int kind = 0; kind < 2; ++kind)
    {
        SCOPED_TRACE(kind);
        bool caught = false;
        try
        {
            if (kind == 0)
                throw new CFileStoreException(CBaseException::OpenFailed, local);
            throw new CExtraInfoException(CBaseException::IoFailure, local);
        }
        catch (CBaseException* e)
        {
            caught = true;
            EXPECT_STREQ("Cannot open x", e->GetErrorText());
            EXPECT_EQ(kind == 0 ? CBaseException::OpenFailed : CBaseException::IoFailure, e->GetCode());
            EXPECT_EQ(kind == 0, dynamic_cast<CFileStoreException*>(e) != NULL);
            EXPECT_EQ(kind == 1, dynamic_cast<CExtraInfoException*>(e) != NULL);
            e->Dispose();
        }
        EXPECT_TRUE(caught);
    }
    // The message was copied, not shared with the raiser's text.
    EXPECT_EQ(1, local.GetRefCount());
}

TEST(BaseException, DisposeFreesObjectAndMessageOnce)
{
    CAllocationCounter counter;
    CBaseException* e = new CFileStoreException(CBaseException::IoFailure, "message");
    long allocations = counter.Allocations();
    e->Dispose();
    long frees = counter.Frees();
    EXPECT_EQ(2, allocations);
    EXPECT_EQ(2, frees);

    counter.Restart();
    CBaseException::Dispose(NULL);
    CBaseException::Dispose(new CBaseException(CBaseException::NotFound));
    allocations = counter.Allocations();
    frees = counter.Frees();
    EXPECT_EQ(1, allocations);
    EXPECT_EQ(1, frees);
}

TEST(SystemErrorText, LastErrorAfterAFailedOpen)
{
    HANDLE file = CreateFileA("C:\\no such folder here\\..\\missing-file.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_EQ(INVALID_HANDLE_VALUE, file);
    ASSERT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    CSmallString text = GetSystemErrorText();

    std::string expected = "(2) " + SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_GT(expected.size(), 4u);
    EXPECT_EQ(expected, std::string(static_cast<const char*>(text)));
    char last = static_cast<const char*>(text)[text.GetLength() - 1];
    EXPECT_NE('\n', last);
    EXPECT_NE('\r', last);
}

TEST(SystemErrorText, GivenCodesPrintSigned)
{
    CSmallString denied = GetSystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_EQ("(5) " + SystemText(ERROR_ACCESS_DENIED), std::string(static_cast<const char*>(denied)));

    // A code with no system text still starts with its number.
    CSmallString unknown = GetSystemErrorText(0xDEADBEEF);
    EXPECT_STREQ("(-559038737) Unknown error", unknown);
}
