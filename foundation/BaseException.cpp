#include "foundation/BaseException.h"

#include <windows.h>

namespace
{
    const char* const UnknownErrorText = "Unknown error";

    // Owns a buffer that the system allocated for FormatMessage.
    class CLocalBuffer
    {
    public:
        CLocalBuffer() : m_text(NULL) {}
        ~CLocalBuffer() { LocalFree(m_text); }

        char** Receive() { return &m_text; }
        const char* Get() const { return m_text; }

    private:
        CLocalBuffer(const CLocalBuffer&);
        CLocalBuffer& operator=(const CLocalBuffer&);

        char* m_text;
    };

    const char* const CodeTexts[] = {
        "Out of memory",
        "Open failed",
        "IO failure",
        "Data format error",
        UnknownErrorText,
        UnknownErrorText,
        "Connection failure",
        "Request Failure",
        "Unknown user identification code",
        "Internal Error",
        "Initialisation Failure",
        "Invalid function call",
        "Operation Cancelled",
        "Data access error",
        "Not found",
    };
}

CBaseException::CBaseException(int code)
    : m_code(code)
{
}

void CBaseException::Dispose()
{
    delete this;
}

const char* CBaseException::GetErrorText() const
{
    return GetCodeText(m_code);
}

CBaseException::~CBaseException()
{
}

void CBaseException::Dispose(CBaseException* exception)
{
    if (exception != NULL)
        exception->Dispose();
}

const char* CBaseException::GetCodeText(int code)
{
    unsigned int index = static_cast<unsigned int>(code);
    if (index >= sizeof(CodeTexts) / sizeof(CodeTexts[0]))
        return UnknownErrorText;
    return CodeTexts[index];
}

CSmallString GetSystemErrorText(unsigned int code)
{
    if (code == 0)
        code = GetLastError();

    CLocalBuffer systemText;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, code,
        0x400, reinterpret_cast<char*>(systemText.Receive()), 0, NULL);

    CSmallString text;
    text.Format("(%d) %s", static_cast<int>(code),
        length != 0 && systemText.Get() != NULL ? systemText.Get() : UnknownErrorText);
    text.Trim();
    return text;
}
