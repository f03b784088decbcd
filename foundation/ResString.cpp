#include "foundation/ResString.h"

#include <windows.h>

namespace
{
    // Taken once before the program entry runs; every string loads from the
    // program's own module and lives in the process heap.
    const HMODULE s_module = GetModuleHandleA(NULL);
    const HANDLE s_heap = GetProcessHeap();
}

CResString::CResString(unsigned int id)
    : m_id(id), m_text(0), m_length(0)
{
}

CResString::~CResString()
{
    if (m_text != 0)
    {
        // Serialised: a network-library thread may use the process heap meanwhile.
        HeapFree(s_heap, 0, m_text);
        m_text = 0;
    }
}

const char* CResString::GetText()
{
    if (m_text == 0)
        Load();
    return m_text;
}

const char* CResString::Load()
{
    if (m_text != 0)
        return m_text;

    // Strings are kept sixteen to a block, block n holding identifiers 16(n-1) to 16n-1.
    HRSRC block = FindResourceA(s_module, MAKEINTRESOURCEA(static_cast<WORD>(m_id / 16 + 1)), MAKEINTRESOURCEA(6));
    if (block == NULL)
        return 0;
    // The block holds its strings in 16-bit characters, so its size bounds the
    // ANSI length of any one of them, double-byte characters included.
    DWORD size = SizeofResource(s_module, block);
    if (size == 0 || size > 0x7FFFFFFF)
        return 0;

    char* text = static_cast<char*>(HeapAlloc(s_heap, HEAP_ZERO_MEMORY, size));
    if (text == NULL)
        return 0;
    if (LoadStringA(s_module, m_id, text, static_cast<int>(size)) <= 0)
    {
        HeapFree(s_heap, 0, text);
        return 0;
    }

    m_length = lstrlenA(text);
    char* shrunk = static_cast<char*>(HeapReAlloc(s_heap, HEAP_ZERO_MEMORY, text, m_length + 1));
    m_text = shrunk != NULL ? shrunk : text;
    return m_text;
}
