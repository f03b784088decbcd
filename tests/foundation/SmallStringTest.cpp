#include "foundation/SmallString.h"
#include "tests/foundation/AllocationCounter.h"

#include <gtest/gtest.h>

#include <mbctype.h>
#include <string.h>

#include <string>

namespace
{
    std::string Text(const CSmallString& s)
    {
        return std::string(static_cast<const char*>(s), s.GetLength());
    }

    // A unique block of exactly the text's length.
    CSmallString Unique(const char* text)
    {
        CSmallString s(text);
        return s;
    }
}

TEST(SmallString, EmptyValuesAllocateNothing)
{
    CAllocationCounter counter;
    CSmallString byDefault;
    CSmallString fromNull(static_cast<const char*>(NULL));
    CSmallString fromEmpty("");
    CSmallString fromResourceId(reinterpret_cast<const char*>(static_cast<size_t>(0x1234)));
    CSmallString fromZeroCount("abc", 0);
    CSmallString copyOfEmpty(fromEmpty);
    fromNull = byDefault;
    fromEmpty.Clear();
    CSmallString sum = byDefault + "";
    long allocations = counter.Allocations();

    EXPECT_EQ(0, allocations);
    const CSmallString* all[] = {&byDefault, &fromNull, &fromEmpty, &fromResourceId, &fromZeroCount, &copyOfEmpty, &sum};
    for (size_t i = 0; i < sizeof(all) / sizeof(all[0]); ++i)
    {
        SCOPED_TRACE(i);
        const char* text = *all[i];
        ASSERT_TRUE(text != NULL);
        EXPECT_EQ(0, text[0]);
        EXPECT_EQ(0, all[i]->GetLength());
        EXPECT_TRUE(all[i]->IsEmpty());
        EXPECT_EQ(-1, all[i]->GetRefCount());
        // Every empty value is the one shared representation.
        EXPECT_EQ(static_cast<const char*>(byDefault), text);
    }
}

TEST(SmallString, ConstructionCopiesExactly)
{
    CAllocationCounter counter;
    CSmallString s("hello");
    long allocations = counter.Allocations();
    EXPECT_EQ(1, allocations);
    EXPECT_EQ("hello", Text(s));
    EXPECT_EQ(5, s.GetCapacity());
    EXPECT_EQ(1, s.GetRefCount());

    CSmallString counted("a\0b\xff", 4);
    EXPECT_EQ(4, counted.GetLength());
    EXPECT_EQ(std::string("a\0b\xff", 4), Text(counted));
    EXPECT_EQ(0, static_cast<const char*>(counted)[4]);
}

TEST(SmallString, CopiesShareUntilOneWrites)
{
    CSmallString a("abc");
    CAllocationCounter counter;
    CSmallString b(a);
    CSmallString c;
    c = a;
    long allocations = counter.Allocations();
    EXPECT_EQ(0, allocations);
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    EXPECT_EQ(3, a.GetRefCount());

    c = b;  // already the same representation
    EXPECT_EQ(3, a.GetRefCount());

    b += "d";
    EXPECT_EQ("abcd", Text(b));
    EXPECT_EQ("abc", Text(a));
    EXPECT_EQ(2, a.GetRefCount());
    EXPECT_EQ(1, b.GetRefCount());

    c.Clear();
    EXPECT_EQ(1, a.GetRefCount());
    EXPECT_EQ(-1, c.GetRefCount());
}

TEST(SmallString, AssigningEmptyReleasesAShareButKeepsAnOwnBlock)
{
    CSmallString a("abc");
    CSmallString shared(a);
    shared = CSmallString();
    EXPECT_TRUE(shared.IsEmpty());
    EXPECT_EQ(-1, shared.GetRefCount());
    EXPECT_EQ(1, a.GetRefCount());
    EXPECT_EQ("abc", Text(a));

    CSmallString own("abc");
    const char* block = own;
    CAllocationCounter counter;
    own = "";
    EXPECT_EQ(0, own.GetLength());
    EXPECT_EQ(3, own.GetCapacity());
    EXPECT_EQ(block, static_cast<const char*>(own));
    own.Clear();  // length already 0: the block stays
    EXPECT_EQ(block, static_cast<const char*>(own));
    EXPECT_EQ(3, own.GetCapacity());
    long frees = counter.Frees();
    EXPECT_EQ(0, frees);

    CSmallString other("abc");
    counter.Restart();
    other.Clear();
    frees = counter.Frees();
    EXPECT_EQ(1, frees);
    EXPECT_EQ(-1, other.GetRefCount());

    CSmallString fromNull("abc");
    fromNull = static_cast<const char*>(NULL);
    EXPECT_EQ(-1, fromNull.GetRefCount());
}

TEST(SmallString, ASharedZeroLengthBlockIsLeftWithoutWritingTheEmptyOne)
{
    CSmallString own("abc");
    own = "";
    CSmallString sharer(own);
    ASSERT_EQ(2, own.GetRefCount());

    CSmallString trimmed(own);
    trimmed.TrimRight();
    CSmallString buffered(own);
    buffered.PrepareBuffer(0);
    buffered.CommitBuffer();
    CSmallString assigned(own);
    assigned = CSmallString();
    const CSmallString* all[] = {&trimmed, &buffered, &assigned};
    for (size_t i = 0; i < sizeof(all) / sizeof(all[0]); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_TRUE(all[i]->IsEmpty());
        EXPECT_EQ(-1, all[i]->GetRefCount());
    }
    EXPECT_EQ(2, own.GetRefCount());
    EXPECT_EQ(3, own.GetCapacity());
}

TEST(SmallString, AssigningTextReusesAnOwnBlockThatIsBigEnough)
{
    CSmallString s("abcdef");
    const char* block = s;
    CAllocationCounter counter;
    s = "xy";
    s = static_cast<const char*>(s);
    long allocations = counter.Allocations();
    EXPECT_EQ(0, allocations);
    EXPECT_EQ(block, static_cast<const char*>(s));
    EXPECT_EQ("xy", Text(s));
    EXPECT_EQ(6, s.GetCapacity());

    s = "longer text";
    EXPECT_EQ("longer text", Text(s));
    EXPECT_EQ(11, s.GetCapacity());
}

TEST(SmallString, AppendingItselfWorksOnBothPaths)
{
    CSmallString s = Unique("ab");
    ASSERT_EQ(2, s.GetCapacity());
    CAllocationCounter counter;
    s += s;
    long allocations = counter.Allocations();
    long frees = counter.Frees();
    EXPECT_EQ("abab", Text(s));
    EXPECT_EQ(4, s.GetCapacity());
    EXPECT_EQ(1, allocations);
    EXPECT_EQ(1, frees);

    s.Erase(0, 2);
    EXPECT_EQ("ab", Text(s));
    const char* block = s;
    counter.Restart();
    s += s;
    allocations = counter.Allocations();
    EXPECT_EQ(0, allocations);
    EXPECT_EQ(block, static_cast<const char*>(s));
    EXPECT_EQ("abab", Text(s));
    EXPECT_EQ(0, static_cast<const char*>(s)[4]);
}

TEST(SmallString, AppendingBytesAndCharacters)
{
    CSmallString s("ab");
    s += '\0';
    EXPECT_EQ(3, s.GetLength());
    EXPECT_EQ(std::string("ab\0", 3), Text(s));
    EXPECT_EQ(0, static_cast<const char*>(s)[3]);

    s += static_cast<const char*>(NULL);
    s.AppendBytes(0, "zz");
    EXPECT_EQ(3, s.GetLength());

    s.AppendBytes(2, "\xff\x01");
    EXPECT_EQ(std::string("ab\0\xff\x01", 5), Text(s));
    EXPECT_EQ(5, s.GetCapacity());  // every append reallocates exactly

    CSmallString empty;
    empty += "x";
    EXPECT_EQ("x", Text(empty));
}

TEST(SmallString, ConcatenationAllocatesOnce)
{
    CSmallString left("ab");
    CAllocationCounter counter;
    CSmallString sum = left + "cd";
    long allocations = counter.Allocations();
    EXPECT_EQ(1, allocations);
    EXPECT_EQ("abcd", Text(sum));
    EXPECT_EQ(4, sum.GetCapacity());
    EXPECT_EQ("ab", Text(left));
    EXPECT_EQ("ab", Text(left + static_cast<const char*>(NULL)));
    EXPECT_EQ("cd", Text(CSmallString() + "cd"));
}

TEST(SmallString, FormatCapacityStartsAt1024AndDoubles)
{
    struct Case
    {
        int length;
        int capacity;
    } cases[] = {
        {0, 1024}, {5, 1024}, {1023, 1024}, {1024, 2048}, {2047, 2048}, {2048, 4096}, {5000, 8192},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].length);
        std::string expected(cases[i].length, 'x');
        CSmallString s;
        s.Format("%s", expected.c_str());
        EXPECT_EQ(cases[i].length, s.GetLength());
        EXPECT_EQ(cases[i].capacity, s.GetCapacity());
        EXPECT_EQ(expected, Text(s));
        EXPECT_EQ(0, static_cast<const char*>(s)[cases[i].length]);
    }
}

TEST(SmallString, FormatProducesTheRuntimeText)
{
    CSmallString s;
    s.Format("(%d) %s|%5.2f|%c|%x", -12, "text", 3.14159, 'q', 255u);
    EXPECT_EQ("(-12) text| 3.14|q|ff", Text(s));
}

TEST(SmallString, FormatKeepsABiggerOwnBlockAndLeavesSharersAlone)
{
    CSmallString s;
    s.Format("%s", std::string(3000, 'y').c_str());
    ASSERT_EQ(4096, s.GetCapacity());
    const char* block = s;
    s.Format("%s", "short");
    EXPECT_EQ(block, static_cast<const char*>(s));
    EXPECT_EQ(4096, s.GetCapacity());
    EXPECT_EQ("short", Text(s));

    CSmallString sharer(s);
    s.Format("%d", 7);
    EXPECT_EQ("7", Text(s));
    EXPECT_EQ("short", Text(sharer));
    EXPECT_EQ(1, sharer.GetRefCount());
}

TEST(SmallString, FormatThatNeverFitsStopsWithAnEmptyString)
{
    CSmallString s("before");
    CAllocationCounter counter;
    // 64 MiB of padding: beyond what Format will hold.
    s.Format("%67108864d", 1);
    long live = counter.Live();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(0, static_cast<const char*>(s)[0]);
    EXPECT_LE(live, 0);  // the old block went, nothing was left behind

    s.Format("%s", "after");
    EXPECT_EQ("after", Text(s));

    // A wide character that code page 1252 cannot hold: the runtime refuses it.
    s.Format("%ls", L"\x4e00");
    EXPECT_TRUE(s.IsEmpty());
    s = "before";
    s.Format(NULL);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(SmallString, EraseTable)
{
    struct Case
    {
        int index;
        int count;
        const char* expected;
    } cases[] = {
        {-3, 2, "cdef"}, {4, 10, "abcd"}, {6, 1, "abcdef"}, {1, 0, "abcdef"}, {1, -2, "abcdef"},
        {2, 2, "abef"}, {0, 6, ""}, {5, 1, "abcde"}, {100, 1, "abcdef"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(i);
        CSmallString s("abcdef");
        CSmallString sharer(s);
        s.Erase(cases[i].index, cases[i].count);
        EXPECT_EQ(cases[i].expected, Text(s));
        EXPECT_EQ(0, static_cast<const char*>(s)[s.GetLength()]);
        EXPECT_EQ("abcdef", Text(sharer));
        if (s.GetLength() != 6)
        {
            EXPECT_EQ(6, s.GetCapacity());
        }
    }
}

TEST(SmallString, TrimTable)
{
    struct Case
    {
        const char* text;
        const char* left;
        const char* right;
        const char* both;
    } cases[] = {
        {" \t a b\r\n", "a b\r\n", " \t a b", "a b"},
        {"\x0b\x0c" "x" "\x0b\x0c", "x\x0b\x0c", "\x0b\x0cx", "x"},
        {"\xa0x\xa0", "\xa0x\xa0", "\xa0x\xa0", "\xa0x\xa0"},
        {"plain", "plain", "plain", "plain"},
        {" a  b ", "a  b ", " a  b", "a  b"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(i);
        CSmallString left(cases[i].text);
        CSmallString right(cases[i].text);
        CSmallString both(cases[i].text);
        left.TrimLeft();
        right.TrimRight();
        both.Trim();
        EXPECT_EQ(cases[i].left, Text(left));
        EXPECT_EQ(cases[i].right, Text(right));
        EXPECT_EQ(cases[i].both, Text(both));
        EXPECT_EQ(static_cast<int>(strlen(cases[i].text)), both.GetCapacity());
    }
}

TEST(SmallString, TrimmingOnlyWhiteSpaceKeepsTheBlock)
{
    CSmallString s(" \t\r\n ");
    const char* block = s;
    s.Trim();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(block, static_cast<const char*>(s));
    EXPECT_EQ(5, s.GetCapacity());
    EXPECT_EQ(0, block[0]);
}

TEST(SmallString, TrimmingASharedStringLeavesTheOtherAlone)
{
    CSmallString a("  x  ");
    CSmallString b(a);
    b.Trim();
    EXPECT_EQ("x", Text(b));
    EXPECT_EQ("  x  ", Text(a));
    EXPECT_EQ(1, a.GetRefCount());
}

TEST(SmallString, TrimNeverSplitsADoubleByteCharacter)
{
    // With a double-byte code page, 0x81 leads a character whose trail byte
    // may be 0x20: that space belongs to the character.
    ASSERT_EQ(0, _setmbcp(932));
    CSmallString trail("x\x81 ");
    trail.TrimRight();
    CSmallString spaceAfter("x\x81  ");
    spaceAfter.TrimRight();
    CSmallString leadAtEnd("x \x81");
    leadAtEnd.TrimRight();
    _setmbcp(_MB_CP_ANSI);

    EXPECT_EQ("x\x81 ", Text(trail));
    EXPECT_EQ("x\x81 ", Text(spaceAfter));
    EXPECT_EQ("x \x81", Text(leadAtEnd));

    // The same bytes under the single-byte code page are plain characters.
    CSmallString single("x\x81 ");
    single.TrimRight();
    EXPECT_EQ("x\x81", Text(single));
}

TEST(SmallString, BufferRequestAndCommit)
{
    CSmallString s;
    char* buffer = s.PrepareBuffer(10);
    EXPECT_EQ(10, s.GetLength());
    EXPECT_EQ(10, s.GetCapacity());
    memcpy(buffer, "xyz", 4);
    s.CommitBuffer();
    EXPECT_EQ("xyz", Text(s));

    buffer = s.PrepareBuffer(8);  // fits: the block is kept
    EXPECT_EQ(static_cast<const char*>(s), buffer);
    memcpy(buffer, "a\0b\0cdef", 8);
    s.CommitBuffer(8);
    EXPECT_EQ(std::string("a\0b\0cdef", 8), Text(s));
    EXPECT_EQ(0, buffer[8]);

    // The current text stays at the start of a new buffer; sharers keep theirs.
    CSmallString a("ab");
    CSmallString b(a);
    buffer = b.PrepareBuffer(6);
    EXPECT_EQ(0, memcmp(buffer, "ab", 2));
    memcpy(buffer + 2, "cdef", 4);
    b.CommitBuffer(6);
    EXPECT_EQ("abcdef", Text(b));
    EXPECT_EQ("ab", Text(a));

    // A length beyond the capacity is cut to it.
    b.CommitBuffer(100);
    EXPECT_EQ(6, b.GetLength());

    CSmallString empty;
    empty.PrepareBuffer(0);
    empty.CommitBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(SmallString, CompareInTheCodePage)
{
    CSmallString s("Apple");
    EXPECT_EQ(0, s.Compare("Apple"));
    EXPECT_NE(0, s.Compare("apple"));
    EXPECT_LT(s.Compare("Banana"), 0);
    EXPECT_GT(s.Compare("Ap"), 0);
    EXPECT_EQ(0, s.CompareNoCase("aPPLE"));
    EXPECT_NE(0, s.CompareNoCase("apples"));
    EXPECT_GT(s.Compare(NULL), 0);
    EXPECT_EQ(0, CSmallString().Compare(NULL));
    // Code page 1252 folds only the ASCII letters here.
    EXPECT_NE(0, CSmallString("\xe9").CompareNoCase("\xc9"));
}
