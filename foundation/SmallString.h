#ifndef FOUNDATION_SMALLSTRING_H
#define FOUNDATION_SMALLSTRING_H

// A reference-counted, copy-on-write, zero-terminated byte string in the
// process's ANSI code page. Copies share one representation and cost one
// atomic increment; the text is copied only when a sharer changes it.
// Storage is exact (no growth reserve), except that Format starts at 1024
// bytes and buffer requests keep what they asked for. An empty string costs
// no allocation: it points at one static representation shared by the whole
// program.
//
// One representation may be shared by strings used on different threads: the
// copy-on-write decisions run under one process-wide string lock. A single
// CSmallString object must not be used by two threads at the same moment.
//
// Allocation failure raises the standard out-of-memory exception; the string
// is left valid (see the individual operations). Nothing else is reported:
// negative counts, committed lengths beyond the capacity and format arguments
// that point into the same string are the caller's to avoid.
class CSmallString
{
public:
    CSmallString();
    // A null pointer, or any value below 0x10000 (a resource identifier, not a
    // text), gives the empty string.
    CSmallString(const char* text);
    // Exactly count bytes, whatever their values, then a zero byte; count >= 0.
    CSmallString(const char* text, int count);
    CSmallString(const CSmallString& other);
    ~CSmallString();

    CSmallString& operator=(const CSmallString& other);
    // A null pointer empties the string as Clear does.
    CSmallString& operator=(const char* text);
    // A null pointer appends nothing.
    CSmallString& operator+=(const char* text);
    // Appends exactly one byte, a zero byte included.
    CSmallString& operator+=(char c);

    int GetLength() const;
    bool IsEmpty() const;
    // Valid until this string is changed or destroyed; never null.
    operator const char*() const { return m_text; }

    // Character by character in the process's multibyte code page; the answer
    // is negative, zero or positive. A null text compares as an empty one.
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;

    // Releases the text; a string whose length is already 0 keeps its block.
    void Clear();

    // printf-style formatting of the arguments by the system runtime
    // (msvcrt), starting with 1024 bytes and doubling until the text fits, so
    // the capacity afterwards is at least 1024. No argument may point into this
    // same string's text. A null format, a format or argument that the
    // runtime refuses, or a text of 64 MiB or more leaves the string empty.
    void Format(const char* format, ...);

    // White space is tab, line feed, vertical tab, form feed, carriage return
    // and space; a double-byte character is never split. The block is kept.
    void TrimRight();
    void TrimLeft();
    void Trim();

    // Appends exactly count bytes, whatever their values; the bytes may be
    // this string's own text. On allocation failure the string is unchanged.
    void AppendBytes(int count, const char* bytes);

    // Removes count bytes from index on; a negative index counts as 0, and
    // count is cut to what is there. The block keeps its capacity.
    void Erase(int index, int count);

    // Gives a writable buffer of length bytes (plus the terminator) that keeps
    // the current text; the length becomes length until CommitBuffer.
    char* PrepareBuffer(int length);
    // Ends direct writing: with -1 the text ends at its first zero byte,
    // otherwise it has the given length, which must not exceed the capacity.
    void CommitBuffer(int length = -1);

    // Read-only views of the representation, for diagnostics and tests: bytes
    // the block can hold without the terminator, and its reference count
    // (-1 for the shared empty representation).
    int GetCapacity() const;
    int GetRefCount() const;

private:
    struct SRep;
    struct SEmptyRep;

    static const SEmptyRep s_emptyRep;
    static char* EmptyText();
    static void Unref(SRep* rep);

    SRep* GetRep() const;
    bool IsSharedEmpty() const;

    void AllocateRep(int length);
    void ReleaseRep();
    static void ReleaseRepLocked(SRep* rep);
    void MakeUnique();
    void PrepareOverwrite(int length);
    void AssignBytes(int count, const char* text);
    void ConcatBytes(int firstCount, const char* first, int secondCount, const char* second);
    void ReserveBuffer(int length);
    void DropDerived();
    void SetLength(int length);

    friend CSmallString operator+(const CSmallString& left, const char* right);

    char* m_text;
};

// The string's text followed by the text (null counts as empty), in one exact
// allocation.
CSmallString operator+(const CSmallString& left, const char* right);

#endif
