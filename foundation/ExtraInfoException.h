#ifndef FOUNDATION_EXTRAINFOEXCEPTION_H
#define FOUNDATION_EXTRAINFOEXCEPTION_H

#include "foundation/BaseException.h"

// Raised by the loader's folder lookup. Its message, when not empty, replaces the text of
// the code.
class CExtraInfoException : public CBaseException
{
public:
    // The message is copied; null gives an empty one.
    CExtraInfoException(int code, const char* message);
    virtual ~CExtraInfoException();

    virtual const char* GetErrorText() const;

private:
    CSmallString m_message;
};

#endif
