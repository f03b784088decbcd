#ifndef FOUNDATION_BASEEXCEPTION_H
#define FOUNDATION_BASEEXCEPTION_H

#include "foundation/SmallString.h"

// Root of the exception family. An exception is allocated with new, thrown
// and caught by pointer, and freed only with Dispose():
//
//     try { ... }
//     catch (CBaseException* e) { report(e->GetErrorText()); e->Dispose(); }
//
// Slot order is shared with the outside libraries that throw members of this
// family: Dispose, GetErrorText, the destructor.
class CBaseException
{
public:
    // The program-wide error codes; 4 and 5 have no entry of their own.
    enum ErrorCode
    {
        OutOfMemory = 0,
        OpenFailed = 1,
        IoFailure = 2,
        DataFormatError = 3,
        ConnectionFailure = 6,
        RequestFailure = 7,
        UnknownUser = 8,
        InternalError = 9,
        InitialisationFailure = 10,
        InvalidFunctionCall = 11,
        OperationCancelled = 12,
        DataAccessError = 13,
        NotFound = 14
    };

    explicit CBaseException(int code);

    // Destroys the object and frees its memory.
    virtual void Dispose();
    // Never null; a code without a text of its own gives "Unknown error".
    virtual const char* GetErrorText() const;
    virtual ~CBaseException();

    // Disposes of the exception when it is not null.
    static void Dispose(CBaseException* exception);

    int GetCode() const { return m_code; }

    // The table's text for the code, looked up as an unsigned value.
    static const char* GetCodeText(int code);

private:
    CBaseException(const CBaseException&);
    CBaseException& operator=(const CBaseException&);

    const int m_code;
};

// "(code) text" for a Windows error code, the system's text without its line
// break; code 0 takes the calling thread's last error. When the system has no
// text for the code, "Unknown error" follows the number.
CSmallString GetSystemErrorText(unsigned int code = 0);

#endif
