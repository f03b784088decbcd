#include "foundation/FileStoreException.h"

CFileStoreException::CFileStoreException(int code, const char* message)
    : CBaseException(code), m_message(message)
{
}

CFileStoreException::~CFileStoreException()
{
}

const char* CFileStoreException::GetErrorText() const
{
    if (m_message.GetLength() != 0)
        return m_message;
    return CBaseException::GetErrorText();
}
