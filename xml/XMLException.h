#ifndef XML_XMLEXCEPTION_H
#define XML_XMLEXCEPTION_H

#include "foundation/BaseException.h"

namespace TQXML
{
    // Raised for a document that cannot be parsed, when the load was asked to
    // raise. The code is always DataFormatError; the text is the parser's
    // message with its position.
    class CException : public CBaseException
    {
    public:
        // The message is copied; null gives an empty one.
        explicit CException(const char* message);
        virtual ~CException();

        // The message, or the code's text when the message is empty.
        virtual const char* GetErrorText() const;

    private:
        CSmallString m_message;
    };
}

#endif
