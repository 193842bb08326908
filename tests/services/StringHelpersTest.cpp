// Tests of the string helpers: numbers, replace-all, quoted split and join, dates, percent
// escapes and the wildcard match.
#include "services/StringHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/RWCRegexp.h"

namespace {

std::vector<std::string> fields(const RWTValOrderedVector<RWCString>& v)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < v.entries(); ++i)
        out.emplace_back(v[i].data(), v[i].length());
    return out;
}

using Fields = std::vector<std::string>;

}  // namespace

TEST(StringHelpers, NumberTextsArePaddedAndNeverCut)
{
    EXPECT_STREQ(intToString(-42).data(), "-42");
    EXPECT_STREQ(formatInt(42, 5).data(), "00042");
    EXPECT_STREQ(formatInt(123456, 3).data(), "123456");
    EXPECT_STREQ(formatDouble(3.14159, 3, 2).data(), "003.14");
    EXPECT_STREQ(formatDouble(7.0, 2, 0).data(), "07");
    RWCString huge = formatDouble(1e300, 1, 2);
    EXPECT_EQ(huge.length(), 304u);  // 301 digits, the point and two decimals
    EXPECT_EQ(std::string(huge.data()).substr(0, 2), "10");
    EXPECT_EQ(formatInt(1, 600).length(), 600u);
}

TEST(StringHelpers, IsYesAcceptsThreeWordsIgnoringCase)
{
    for (const char* yes : {"yes", "YES", "Ja", "1"})
        EXPECT_TRUE(isYes(yes)) << yes;
    for (const char* no : {"y", "0", "", "yess", "nein"})
        EXPECT_FALSE(isYes(no)) << no;
}

TEST(StringHelpers, ReplaceAllNeverSearchesInsertedText)
{
    EXPECT_STREQ(replaceAll("aaa", "a", "aa").data(), "aaaaaa");
    EXPECT_STREQ(replaceAll("aXbxc", "x", "-", RWCString::ignoreCase).data(), "a-b-c");
    EXPECT_STREQ(replaceAll("aXbxc", "x", "-", RWCString::exact).data(), "aXb-c");
    EXPECT_STREQ(replaceAll("abab", "ab", "", RWCString::exact).data(), "");
    EXPECT_STREQ(replaceAll("a.b.c", ".", "/", RWCString::exact, 2).data(), "a.b/c");
    // An empty search text leaves the text as it is instead of looping forever.
    EXPECT_STREQ(replaceAll("abc", "", "x").data(), "abc");
}

TEST(StringHelpers, ReplaceAllByPattern)
{
    EXPECT_STREQ(replaceAll(RWCString("a1b22c"), RWCRegexp("[0-9]+"), "#").data(), "a#b#c");
    EXPECT_STREQ(replaceAll(RWCString("aaa"), RWCRegexp("a"), "aa").data(), "aaaaaa");
}

TEST(StringHelpers, SplitFollowsTheQuotingRules)
{
    struct Case {
        const char* text;
        bool skipEmpty;
        Fields expected;
    } cases[] = {
        {"a,\"b,c\",,d", false, {"a", "b,c", "", "d"}},
        {"a,\"b,c\",,d", true, {"a", "b,c", "d"}},
        {",,a,,", true, {"a"}},
        {",a", false, {"", "a"}},
        {"a,", false, {"a"}},
        {"", false, {}},
        {"\"\"", false, {""}},
        {"\"a\"\"b\"", false, {"a\"b"}},
        {"  a b  , \" c \" ,d", false, {"a b", " c ", "d"}},
        {"x\"y", false, {"x\"y"}},
        {"\"open,still", false, {"open,still"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fields(splitString(c.text, ',', '"', c.skipEmpty)), c.expected) << c.text;
}

TEST(StringHelpers, JoinAndSplitRoundTrip)
{
    RWTValOrderedVector<RWCString> items;
    items.insert("a");
    items.insert("b,\"c");
    items.insert("");
    RWCString joined = joinQuoted(items, ',', '"');
    EXPECT_STREQ(joined.data(), "\"a\",\"b,\"\"c\",\"\"");
    EXPECT_EQ(fields(splitString(joined, ',', '"', false)), (Fields{"a", "b,\"c", ""}));
    EXPECT_STREQ(joinQuoted(items, ';', '\0').data(), "a;b,\"c;");
    EXPECT_STREQ(joinQuoted(RWTValOrderedVector<RWCString>(), ',', '"').data(), "");
}

TEST(StringHelpers, SplitIntoArraysAndNumbers)
{
    RWCString out[2];
    EXPECT_EQ(splitToArray(out, 2, "x,y,z", ',', '"'), 2u);
    EXPECT_STREQ(out[1].data(), "y");
    RWTValOrderedVector<int> ints = splitToInts("1, 2,x,-4", ',', '"');
    ASSERT_EQ(ints.entries(), 4u);
    EXPECT_EQ(ints[1], 2);
    EXPECT_EQ(ints[2], 0);
    EXPECT_EQ(ints[3], -4);
    RWTValOrderedVector<double> ds = splitToDoubles("1.5;2e3", ';', '\0');
    ASSERT_EQ(ds.entries(), 2u);
    EXPECT_DOUBLE_EQ(ds[1], 2000.0);
    RWTValOrderedVector<RWCString> acc;
    acc.insert("first");
    EXPECT_EQ(splitInto(acc, "a|b", '|', '\0', false), 3u);
    // Texts are counted: a NUL byte inside is kept, and so is everything after it.
    RWTValOrderedVector<RWCString> withNul = splitString(RWCString("a\0b|c", 5), '|', '"', false);
    ASSERT_EQ(withNul.entries(), 2u);
    EXPECT_EQ(withNul[0], RWCString("a\0b", 3));
    EXPECT_EQ(withNul[1], "c");
}

TEST(StringHelpers, ParseDateInBothOrders)
{
    struct Case {
        const char* text;
        unsigned day, month, year;  // 0 for the invalid date
    } cases[] = {
        {"12.05.07", 12, 5, 2007}, {"05/12/2007", 12, 5, 2007}, {"1.2.1999", 1, 2, 1999},
        {"12.05", 0, 0, 0},        {"12.05.", 0, 0, 0},         {"..2007", 0, 0, 0},
        {"nothing", 0, 0, 0},      {"31.02.2007", 0, 0, 0},
    };
    for (const Case& c : cases) {
        RWDate d = parseDate(c.text);
        if (c.day == 0) {
            EXPECT_FALSE(d.isValid()) << c.text;
        } else {
            ASSERT_TRUE(d.isValid()) << c.text;
            EXPECT_EQ(d.dayOfMonth(), c.day) << c.text;
            EXPECT_EQ(d.month(), c.month) << c.text;
            EXPECT_EQ(d.year(), c.year) << c.text;
        }
    }
}

TEST(StringHelpers, ParseDateTimeInTheGivenZone)
{
    const RWZone& utc = RWZone::utc();
    RWTime t = parseDateTime("01.02.2007 10:20:30", utc);
    ASSERT_TRUE(t.isValid());
    EXPECT_EQ(t.seconds(), RWTime(RWDate(1, 2, 2007), 10, 20, 30, utc).seconds());
    EXPECT_EQ(parseDateTime("02/01/07 10:20", utc).seconds(), RWTime(RWDate(1, 2, 2007), 10, 20, 0, utc).seconds());
    EXPECT_FALSE(parseDateTime("01.02 10:20:30", utc).isValid());
    EXPECT_TRUE(hasTimePart("1.2.2007 10:00"));
    EXPECT_FALSE(hasTimePart("1.2.2007"));
    size_t pos = 0;
    EXPECT_STREQ(readUntil("ab:cd", &pos, ':').data(), "ab");
    EXPECT_EQ(pos, 2u);
    EXPECT_STREQ(firstWord("   two words").data(), "two");
}

TEST(StringHelpers, PercentEscapes)
{
    EXPECT_STREQ(percentDecode("a%20b").data(), "a b");
    EXPECT_STREQ(percentDecode("%4a%4A").data(), "JJ");
    EXPECT_STREQ(percentDecode("ab%2").data(), "ab%2");
    EXPECT_STREQ(percentDecode("ab%").data(), "ab%");
    // A '%' without two hexadecimal digits is copied and the text after it read on.
    EXPECT_STREQ(percentDecode("100%zz%41").data(), "100%zzA");
    EXPECT_STREQ(percentEncode("a b/\x01", "ab").data(), "a%20b%2F%01");
    EXPECT_STREQ(percentDecode(percentEncode("x y%z", "xyz")).data(), "x y%z");
}

TEST(StringHelpers, FuzzyWildcardMatchCountsEdits)
{
    struct Case {
        const char* text;
        const char* pattern;
        int maxErrors;
        int expected;
    } cases[] = {
        {"ABC", "a?c", 0, 0}, {"abd", "abc", 0, 1024}, {"abd", "abc", 1, 1}, {"abcdef", "a*f", 0, 0},
        {"abcdef", "*", 0, 0}, {"abc", "abc", 0, 0},  {"", "", 0, 0},       {"abc", "", 3, 3},
        {"ab", "abc", 1, 1},  {"xyz", "abc", 2, 1024},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fuzzyWildcardMatch(c.text, c.pattern, c.maxErrors), c.expected) << c.text << " ~ " << c.pattern;
    std::string longText(5000, 'a');
    EXPECT_EQ(fuzzyWildcardMatch(longText.c_str(), "a*", 0), 0);
}

TEST(StringHelpers, CopyAndTimer)
{
    char* copy = copyCString("abc");
    EXPECT_STREQ(copy, "abc");
    delete[] copy;
    EXPECT_EQ(copyCString(nullptr), nullptr);
    UTTimer timer;
    EXPECT_TRUE(timer.isElapsed(0));
    EXPECT_TRUE(timer.isElapsed(999));
    EXPECT_FALSE(timer.isElapsed(3600 * 1000));
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
