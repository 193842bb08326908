// Tests of the substring view: reading, assigning through it, checked access and equality.
#include "foundation/RWCString.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "foundation/RWxmsg.h"

namespace {

std::string whyOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const RWBoundsErr& e) {
        return e.why();
    }
    return "(nothing raised)";
}

}  // namespace

TEST(RWCSubString, BuildsStringsFromViews)
{
    RWCString s("dir/sub/file.cfg");
    EXPECT_EQ(RWCString(s(0, s.last('/'))), "dir/sub");
    EXPECT_EQ(RWCString(s(s.last('/') + 1, s.length() - s.last('/') - 1)), "file.cfg");
    RWCString empty(s(3, 0));
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(RWCString(s(0, 3)).capacity(), 15u);
    const RWCString& cs = s;
    EXPECT_EQ(RWCString(cs(4, 3)), "sub");
}

TEST(RWCSubString, ViewPastTheEndRaisesSubstringError)
{
    RWCString s("no-slash");
    EXPECT_EQ(whyOf([&] { RWCString r(s(0, s.last('/'))); }),
              "[SUBSTRING] Illegal substring (0, 4294967295) from 8 element RWCString");
    EXPECT_EQ(whyOf([&] { s(5, 4); }), "[SUBSTRING] Illegal substring (5, 4) from 8 element RWCString");
    EXPECT_EQ(whyOf([&] { s(RW_NPOS, 2); }), "[SUBSTRING] Illegal substring (-1, 2) from 8 element RWCString");
    EXPECT_TRUE(s(RW_NPOS, 0).isNull());
    EXPECT_EQ(whyOf([&] { s(8, 0); }), "(nothing raised)");

    // A view left behind by a shortened string is refused instead of reading past it.
    RWCString t("abcdefgh");
    RWCSubString v = t(4, 4);
    t = "ab";
    EXPECT_EQ(whyOf([&] { RWCString r(v); }), "[SUBSTRING] Illegal substring (4, 4) from 2 element RWCString");
    EXPECT_EQ(whyOf([&] { v = "x"; }), "[SUBSTRING] Illegal substring (4, 4) from 2 element RWCString");
    EXPECT_EQ(t, "ab");
}

TEST(RWCSubString, AssignmentReplacesOnlyTheViewedCharacters)
{
    RWCString s("hello world");
    RWCSubString v = s(6, 5);
    v = "there, friend";
    EXPECT_EQ(s, "hello there, friend");
    EXPECT_EQ(v.length(), 13u);
    EXPECT_EQ(v, "there, friend");

    RWCString t("[abc]");
    t(1, 3) = RWCString("x");
    EXPECT_EQ(t, "[x]");

    RWCString u("0123456789");
    RWCString keep(u);
    u(2, 3) = u(7, 3);  // text from the same string
    EXPECT_EQ(u, "0178956789");
    EXPECT_EQ(keep, "0123456789");

    RWCString n("abc");
    RWCSubString nullView = n.subString("zz");
    nullView = "ignored";
    EXPECT_EQ(n, "abc");
}

TEST(RWCSubString, CheckedAccessAgainstExtent)
{
    RWCString s("abcdef");
    RWCSubString v = s(2, 3);
    EXPECT_EQ(v(0), 'c');
    v(1) = 'D';
    EXPECT_EQ(s, "abcDef");
    v[2] = 'E';
    EXPECT_EQ(s, "abcDEf");
    EXPECT_EQ(whyOf([&] { v(3); }), "[INDEXERR] Illegal Index (3) for collection or string with 3 elements");
    EXPECT_EQ(whyOf([&] { v(RW_NPOS); }), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");

    RWCString shared("xyz");
    RWCString other(shared);
    other(0, 2)(0) = 'X';
    EXPECT_EQ(shared, "xyz");
    EXPECT_EQ(other, "Xyz");
}

TEST(RWCSubString, Equality)
{
    RWCString s("abcabc");
    RWCString none;
    struct Case {
        bool got;
        bool expected;
    } cases[] = {
        {s(0, 3) == "abc", true},
        {s(0, 3) == "ab", false},
        {s(0, 3) == "abcd", false},
        {s(0, 3) == RWCString("abc"), true},
        {s(0, 3) == s(3, 3), true},
        {s(0, 3) == s(1, 3), false},
        {s.subString("zz") == "", true},
        {s.subString("zz") == none, true},
        {s.subString("zz") == s.subString("yy"), true},
        {s.subString("zz") == s(0, 0), false},
        {"abc" == s(3, 3), true},
        {s(0, 2) != "ab", false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(cases[i].got, cases[i].expected) << "case " << i;
}

TEST(RWCSubString, SubStringFindsPattern)
{
    RWCString s("Key=Value");
    RWCSubString v = s.subString("value", 0, RWCString::ignoreCase);
    EXPECT_EQ(v.start(), 4u);
    EXPECT_EQ(v.length(), 5u);
    EXPECT_STREQ(v.startData(), "Value");
    RWCSubString none = s.subString("value");
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(none.length(), 0u);
    EXPECT_STREQ(none.startData(), "");
}

TEST(RWCSubString, CaseConversionOfTheViewOnly)
{
    RWCString s("abc def ghi");
    RWCString other(s);
    s(4, 3).toUpper();
    EXPECT_EQ(s, "abc DEF ghi");
    EXPECT_EQ(other, "abc def ghi");
    s(0, 7).toLower();
    EXPECT_EQ(s, "abc def ghi");
}

TEST(RWCSubString, SubStringErrorRaises)
{
    RWCString s("abc");
    RWCSubString v = s(0, 1);
    EXPECT_EQ(whyOf([&] { v.subStringError(3, 2, 5); }),
              "[SUBSTRING] Illegal substring (2, 5) from 3 element RWCString");
}
