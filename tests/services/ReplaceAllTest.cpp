// Tests of replacing every occurrence of a text or a pattern.
#include "services/ReplaceAll.h"

#include <gtest/gtest.h>

#include "foundation/RWCRegexp.h"

TEST(ReplaceAll, ReplaceAllNeverSearchesInsertedText)
{
    EXPECT_STREQ(replaceAll("aaa", "a", "aa").data(), "aaaaaa");
    EXPECT_STREQ(replaceAll("aXbxc", "x", "-", RWCString::ignoreCase).data(), "a-b-c");
    EXPECT_STREQ(replaceAll("aXbxc", "x", "-", RWCString::exact).data(), "aXb-c");
    EXPECT_STREQ(replaceAll("abab", "ab", "", RWCString::exact).data(), "");
    EXPECT_STREQ(replaceAll("a.b.c", ".", "/", RWCString::exact, 2).data(), "a.b/c");
    // An empty search text leaves the text as it is instead of looping forever.
    EXPECT_STREQ(replaceAll("abc", "", "x").data(), "abc");
}

TEST(ReplaceAll, ReplaceAllByPattern)
{
    EXPECT_STREQ(replaceAll(RWCString("a1b22c"), RWCRegexp("[0-9]+"), "#").data(), "a#b#c");
    EXPECT_STREQ(replaceAll(RWCString("aaa"), RWCRegexp("a"), "aa").data(), "aaaaaa");
}
