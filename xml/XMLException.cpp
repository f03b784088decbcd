#include "xml/XMLException.h"

namespace TQXML
{
    CException::CException(const char* message)
        : CBaseException(DataFormatError), m_message(message)
    {
    }

    CException::~CException()
    {
    }

    const char* CException::GetErrorText() const
    {
        if (m_message.GetLength() != 0)
            return m_message;
        return CBaseException::GetErrorText();
    }
}
