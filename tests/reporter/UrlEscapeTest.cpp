#include "reporter/CrashReportManager.h"

#include <gtest/gtest.h>

#include <ctype.h>
#include <string.h>

#include <string>

TEST(UrlEscapeTest, KeepsAsciiLettersAndDigitsAndEscapesEveryOtherByteInLowerCase)
{
    struct SCase
    {
        const char* text;
        int length;
        const char* escaped;
    };
    const SCase cases[] = {
        {"", 0, ""},
        {"AZaz09", 6, "AZaz09"},
        {"It froze\r\nwhen I clicked", 24, "It%20froze%0d%0awhen%20I%20clicked"},
        {"a-b.c_d~e+f", 11, "a%2db%2ec%5fd%7ee%2bf"},
        {"%&=?/#", 6, "%25%26%3d%3f%2f%23"},
        {"caf\xe9 \xff\x80\x7f\x01", 9, "caf%e9%20%ff%80%7f%01"},
        // A zero byte inside the text is escaped like any other, and what follows it kept.
        {"a\0b", 3, "a%00b"},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.escaped);
        CSmallString text(test.text, test.length);
        CCrashReportManager::UrlEscape(text);
        EXPECT_STREQ(test.escaped, text);
        EXPECT_EQ(static_cast<int>(strlen(test.escaped)), text.GetLength());
    }
}

TEST(UrlEscapeTest, EveryByteValueRoundTrips)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    CSmallString text(all.c_str());
    CCrashReportManager::UrlEscape(text);
    std::string escaped = static_cast<const char*>(text);
    std::string decoded;
    for (size_t i = 0; i < escaped.size(); ++i)
    {
        if (escaped[i] == '%')
        {
            ASSERT_LE(i + 2, escaped.size() - 1);
            decoded += static_cast<char>(std::stoi(escaped.substr(i + 1, 2), NULL, 16));
            EXPECT_EQ(escaped.substr(i + 1, 2).find_first_of("ABCDEF"), std::string::npos);
            i += 2;
        }
        else
        {
            EXPECT_TRUE(isalnum(static_cast<unsigned char>(escaped[i]))) << escaped[i];
            decoded += escaped[i];
        }
    }
    EXPECT_EQ(all, decoded);
}
