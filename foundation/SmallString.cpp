#include "foundation/SmallString.h"

#include <windows.h>

#include <limits.h>
#include <mbctype.h>
#include <mbstring.h>
#include <new>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

// The header sits right before the text, so stepping back sizeof(SRep) from
// the text pointer reaches it on both pointer widths.
struct CSmallString::SRep
{
    volatile LONG refCount;
    int length;
    int capacity;
    char* derived;

    char* Text() { return reinterpret_cast<char*>(this + 1); }
};

struct CSmallString::SEmptyRep
{
    SRep header;
    char text[1];
};

// Constant-initialised, so it exists before any constructor runs; read-only,
// so a stray write to it faults at once.
const CSmallString::SEmptyRep CSmallString::s_emptyRep = {{-1, 0, 0, NULL}, {0}};

namespace
{
    // Formatting stops here rather than doubling until memory runs out.
    const int MaxFormatSize = 64 * 1024 * 1024;

    class CStringLock
    {
    public:
        CStringLock() { InitializeCriticalSection(&m_section); }
        ~CStringLock() { DeleteCriticalSection(&m_section); }

        void Enter() { EnterCriticalSection(&m_section); }
        void Leave() { LeaveCriticalSection(&m_section); }

    private:
        CStringLock(const CStringLock&);
        CStringLock& operator=(const CStringLock&);

        CRITICAL_SECTION m_section;
    };

    // Built before, and destroyed after, every ordinary static object of the
    // program, whose strings may already need it.
    CStringLock g_stringLock __attribute__((init_priority(101)));

    class CStringLockGuard
    {
    public:
        CStringLockGuard() { g_stringLock.Enter(); }
        ~CStringLockGuard() { g_stringLock.Leave(); }

    private:
        CStringLockGuard(const CStringLockGuard&);
        CStringLockGuard& operator=(const CStringLockGuard&);
    };

    // The runtime's white-space test in the default locale, on the byte taken
    // as signed: nothing at or above 0x80 qualifies.
    bool IsWhiteSpace(char c)
    {
        signed char value = static_cast<signed char>(c);
        return value == ' ' || (value >= 0x09 && value <= 0x0D);
    }

    bool IsLeadByte(char c)
    {
        return _ismbblead(static_cast<unsigned char>(c)) != 0;
    }

    const unsigned char* AsBytes(const char* text)
    {
        return reinterpret_cast<const unsigned char*>(text != NULL ? text : "");
    }
}

char* CSmallString::EmptyText()
{
    static_assert(offsetof(SEmptyRep, text) == sizeof(SRep), "the empty text must follow its header directly");
    return const_cast<char*>(s_emptyRep.text);
}

CSmallString::SRep* CSmallString::GetRep() const
{
    return reinterpret_cast<SRep*>(m_text) - 1;
}

bool CSmallString::IsSharedEmpty() const
{
    return m_text == s_emptyRep.text;
}

CSmallString::CSmallString()
    : m_text(EmptyText())
{
}

CSmallString::CSmallString(const char* text)
    : m_text(EmptyText())
{
    if (reinterpret_cast<uintptr_t>(text) < 0x10000)
        return;
    size_t length = strlen(text);
    if (length > static_cast<size_t>(INT_MAX - sizeof(SRep) - 1))
        throw std::bad_alloc();
    AllocateRep(static_cast<int>(length));
    memcpy(m_text, text, length);
}

CSmallString::CSmallString(const char* text, int count)
    : m_text(EmptyText())
{
    if (count <= 0)
        return;
    AllocateRep(count);
    memcpy(m_text, text, count);
}

CSmallString::CSmallString(const CSmallString& other)
    : m_text(EmptyText())
{
    SRep* rep = other.GetRep();
    if (rep->refCount < 0)
        return;
    InterlockedIncrement(&rep->refCount);
    m_text = other.m_text;
}

CSmallString::~CSmallString()
{
    if (!IsSharedEmpty())
        Unref(GetRep());
}

CSmallString& CSmallString::operator=(const CSmallString& other)
{
    if (m_text == other.m_text)
        return *this;
    SRep* rep = other.GetRep();
    if (rep->refCount < 0)
    {
        AssignBytes(0, NULL);
        return *this;
    }
    ReleaseRep();
    InterlockedIncrement(&rep->refCount);
    m_text = other.m_text;
    return *this;
}

CSmallString& CSmallString::operator=(const char* text)
{
    if (text == NULL)
        Clear();
    else
        AssignBytes(static_cast<int>(strlen(text)), text);
    return *this;
}

CSmallString& CSmallString::operator+=(const char* text)
{
    if (text != NULL)
        AppendBytes(static_cast<int>(strlen(text)), text);
    return *this;
}

CSmallString& CSmallString::operator+=(char c)
{
    AppendBytes(1, &c);
    return *this;
}

CSmallString operator+(const CSmallString& left, const char* right)
{
    CSmallString result;
    result.ConcatBytes(left.GetLength(), left, right != NULL ? static_cast<int>(strlen(right)) : 0, right);
    return result;
}

int CSmallString::GetLength() const
{
    return GetRep()->length;
}

bool CSmallString::IsEmpty() const
{
    return GetLength() == 0;
}

int CSmallString::GetCapacity() const
{
    return GetRep()->capacity;
}

int CSmallString::GetRefCount() const
{
    return GetRep()->refCount;
}

int CSmallString::Compare(const char* text) const
{
    return _mbscmp(AsBytes(m_text), AsBytes(text));
}

int CSmallString::CompareNoCase(const char* text) const
{
    return _mbsicmp(AsBytes(m_text), AsBytes(text));
}

void CSmallString::Clear()
{
    CStringLockGuard lock;
    if (GetLength() != 0)
        ReleaseRep();
}

void CSmallString::Format(const char* format, ...)
{
    if (format == NULL)
    {
        Clear();
        return;
    }
    va_list args;
    va_start(args, format);
    try
    {
        int size = 1024;
        for (;;)
        {
            PrepareOverwrite(size);
            // The system runtime's formatter: it answers -1 both when the text
            // does not fit and when it refuses the format, and only the length
            // count tells the two apart. (The toolchain's own C99 formatter puts
            // the padding of a wide field on the stack, which a large width overflows.)
            va_list attempt;
            va_copy(attempt, args);
            int produced = _vsnprintf(m_text, size - 1, format, attempt);
            va_end(attempt);
            if (produced >= 0)
            {
                SetLength(produced);
                DropDerived();
                break;
            }
            va_copy(attempt, args);
            int needed = _vscprintf(format, attempt);
            va_end(attempt);
            int next = size;
            while (next <= needed && next < MaxFormatSize)
                next *= 2;
            // Refused, too long, or no longer than what just failed: give up.
            if (needed < size || next <= needed)
            {
                ReleaseRep();
                break;
            }
            size = next;
        }
    }
    catch (...)
    {
        va_end(args);
        throw;
    }
    va_end(args);
}

void CSmallString::TrimRight()
{
    MakeUnique();
    DropDerived();
    int length = GetLength();
    int runStart = -1;
    int i = 0;
    while (i < length)
    {
        if (IsWhiteSpace(m_text[i]))
        {
            if (runStart < 0)
                runStart = i;
        }
        else
        {
            runStart = -1;
        }
        i += IsLeadByte(m_text[i]) && m_text[i + 1] != 0 ? 2 : 1;
    }
    if (runStart >= 0)
        SetLength(runStart);
}

void CSmallString::TrimLeft()
{
    MakeUnique();
    DropDerived();
    int length = GetLength();
    int skipped = 0;
    // A white-space byte is never a lead byte, so bytes can be skipped one by one.
    while (skipped < length && IsWhiteSpace(m_text[skipped]))
        ++skipped;
    if (skipped == 0)
        return;
    memmove(m_text, m_text + skipped, length - skipped + 1);
    GetRep()->length = length - skipped;
}

void CSmallString::Trim()
{
    DropDerived();
    TrimRight();
    TrimLeft();
}

void CSmallString::AppendBytes(int count, const char* bytes)
{
    if (count <= 0)
        return;
    DropDerived();
    SRep* rep = GetRep();
    if (rep->refCount <= 1 && count <= rep->capacity - rep->length)
    {
        memmove(m_text + rep->length, bytes, count);
        SetLength(rep->length + count);
        return;
    }
    // The old block stays alive until the copy is made, so the bytes may be its own.
    ConcatBytes(rep->length, m_text, count, bytes);
    ReleaseRepLocked(rep);
}

void CSmallString::Erase(int index, int count)
{
    if (index < 0)
        index = 0;
    int length = GetLength();
    if (count <= 0 || index >= length)
        return;
    if (count > length - index)
        count = length - index;
    MakeUnique();
    memmove(m_text + index, m_text + index + count, length - index - count + 1);
    GetRep()->length = length - count;
}

char* CSmallString::PrepareBuffer(int length)
{
    DropDerived();
    ReserveBuffer(length);
    SetLength(length);
    return m_text;
}

void CSmallString::CommitBuffer(int length)
{
    MakeUnique();
    DropDerived();
    int capacity = GetCapacity();
    if (length == -1)
    {
        // The byte at the capacity is always zero, so the search is bounded.
        const void* end = memchr(m_text, 0, capacity);
        length = end != NULL ? static_cast<int>(static_cast<const char*>(end) - m_text) : capacity;
    }
    else if (length < 0 || length > capacity)
    {
        length = length < 0 ? 0 : capacity;
    }
    SetLength(length);
}

void CSmallString::AllocateRep(int length)
{
    if (length == 0)
    {
        m_text = EmptyText();
        return;
    }
    if (length < 0 || static_cast<size_t>(length) > INT_MAX - sizeof(SRep) - 1)
        throw std::bad_alloc();
    SRep* rep = static_cast<SRep*>(::operator new(sizeof(SRep) + length + 1));
    rep->refCount = 1;
    rep->length = length;
    rep->capacity = length;
    rep->derived = NULL;
    rep->Text()[length] = 0;
    m_text = rep->Text();
}

void CSmallString::Unref(SRep* rep)
{
    if (InterlockedDecrement(&rep->refCount) <= 0)
    {
        delete[] rep->derived;
        ::operator delete(rep);
    }
}

void CSmallString::ReleaseRep()
{
    if (IsSharedEmpty())
        return;
    SRep* rep = GetRep();
    m_text = EmptyText();
    Unref(rep);
}

void CSmallString::ReleaseRepLocked(SRep* rep)
{
    if (rep == &s_emptyRep.header)
        return;
    CStringLockGuard lock;
    Unref(rep);
}

void CSmallString::MakeUnique()
{
    CStringLockGuard lock;
    SRep* old = GetRep();
    if (old->refCount <= 1)
        return;
    // Copy first and give up the share afterwards: a sharer on another thread
    // may release its reference at any moment, and ours keeps the block alive.
    int length = old->length;
    AllocateRep(length);
    if (!IsSharedEmpty())
        memcpy(m_text, old->Text(), length + 1);
    Unref(old);
}

void CSmallString::PrepareOverwrite(int length)
{
    CStringLockGuard lock;
    SRep* rep = GetRep();
    if (rep->refCount > 1 || rep->capacity < length)
    {
        ReleaseRep();
        AllocateRep(length);
    }
}

void CSmallString::AssignBytes(int count, const char* text)
{
    PrepareOverwrite(count);
    DropDerived();
    if (IsSharedEmpty())
        return;
    if (count > 0)
        memmove(m_text, text, count);
    SetLength(count);
}

void CSmallString::ConcatBytes(int firstCount, const char* first, int secondCount, const char* second)
{
    if (firstCount + static_cast<long long>(secondCount) > INT_MAX)
        throw std::bad_alloc();
    int total = firstCount + secondCount;
    if (total == 0)
        return;
    AllocateRep(total);
    memcpy(m_text, first, firstCount);
    memcpy(m_text + firstCount, second, secondCount);
}

void CSmallString::ReserveBuffer(int length)
{
    SRep* old = GetRep();
    if (old->refCount <= 1 && old->capacity >= length)
        return;
    int oldLength = old->length;
    AllocateRep(length > oldLength ? length : oldLength);
    if (!IsSharedEmpty())
    {
        memcpy(m_text, old->Text(), oldLength + 1);
        SetLength(oldLength);
    }
    ReleaseRepLocked(old);
}

void CSmallString::DropDerived()
{
    SRep* rep = GetRep();
    if (rep->derived != NULL)
    {
        delete[] rep->derived;
        rep->derived = NULL;
    }
}

void CSmallString::SetLength(int length)
{
    if (IsSharedEmpty())
        return;
    GetRep()->length = length;
    m_text[length] = 0;
}
