#include "foundation/ResString.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(ResString, LoadsOnFirstUseIntoAnExactBlock)
{
    CResString caption(103);
    EXPECT_EQ(103u, caption.GetId());
    EXPECT_EQ(0, caption.GetLength());

    const char* text = caption.GetText();
    ASSERT_NE(static_cast<const char*>(NULL), text);
    EXPECT_STREQ("Vantelo Problem Reporter", text);
    EXPECT_EQ(24, caption.GetLength());
    EXPECT_EQ(static_cast<SIZE_T>(25), HeapSize(GetProcessHeap(), 0, text));

    // Loaded once: the same block is answered again.
    EXPECT_EQ(text, caption.GetText());
    EXPECT_EQ(text, caption.Load());

    CResString other(109);
    EXPECT_STREQ("Your report was sent", other.Load());
    EXPECT_EQ(20, other.GetLength());
}

TEST(ResString, MissingStringsAreNull)
{
    // 104 shares the block of 103 and 109 but is not in the table.
    CResString missingInBlock(104);
    EXPECT_EQ(static_cast<const char*>(NULL), missingInBlock.GetText());
    EXPECT_EQ(0, missingInBlock.GetLength());
    // And it stays missing on a second try.
    EXPECT_EQ(static_cast<const char*>(NULL), missingInBlock.GetText());

    CResString missingBlock(5000);
    EXPECT_EQ(static_cast<const char*>(NULL), missingBlock.GetText());
}
