// Tests of joining and splitting with separators and quotes.
#include "services/QuotedSplit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(QuotedSplit, SplitFollowsTheQuotingRules)
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

TEST(QuotedSplit, JoinAndSplitRoundTrip)
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

TEST(QuotedSplit, SplitIntoArraysAndNumbers)
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
