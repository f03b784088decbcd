#ifndef FOUNDATION_FILESTOREEXCEPTION_H
#define FOUNDATION_FILESTOREEXCEPTION_H

#include "foundation/BaseException.h"

// Raised by the file store. Its message, when not empty, replaces the text of
// the code.
class CFileStoreException : public CBaseException
{
public:
    // The message is copied; null gives an empty one.
    CFileStoreException(int code, const char* message);
    virtual ~CFileStoreException();

    virtual const char* GetErrorText() const;

private:
    CSmallString m_message;
};

#endif
