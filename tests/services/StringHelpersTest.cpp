// Tests of the small string helpers: yes-words, C string copies and stripping.
#include "services/StringHelpers.h"

#include <gtest/gtest.h>

TEST(StringHelpers, IsYesAcceptsThreeWordsIgnoringCase)
{
    for (const char* yes : {"yes", "YES", "Ja", "1"})
        EXPECT_TRUE(isYes(yes)) << yes;
    for (const char* no : {"y", "0", "", "yess", "nein"})
        EXPECT_FALSE(isYes(no)) << no;
}

TEST(StringHelpers, StripCharsByMode)
{
    struct Case {
        const char* text;
        int mode;
        const char* chars;
        const char* expected;
    } cases[] = {
        {"//name//", 3, "/", "name"},   {"//name//", 1, "/", "name//"}, {"//name//", 2, "/", "//name"},
        {"a/\\/\\", 2, "\\/", "a"},     {"x  ", 2, "", "x  "},           {"//x", 4, "/", "//x"},
        {"////", 3, "/", ""},           {" \t a \t", 3, " \t", "a"},    {"ab", 3, "ab", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(stripChars(c.text, c.mode, c.chars).data(), c.expected) << c.text << " mode " << c.mode;
}

TEST(StringHelpers, CopyCStringCopiesAndKeepsNull)
{
    char* copy = copyCString("abc");
    EXPECT_STREQ(copy, "abc");
    delete[] copy;
    EXPECT_EQ(copyCString(nullptr), nullptr);
}
