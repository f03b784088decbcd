#include "foundation/ExtraInfoException.h"

CExtraInfoException::CExtraInfoException(int code, const char* message)
    : CBaseException(code), m_message(message)
{
}

CExtraInfoException::~CExtraInfoException()
{
}

const char* CExtraInfoException::GetErrorText() const
{
    if (m_message.GetLength() != 0)
        return m_message;
    return CBaseException::GetErrorText();
}
