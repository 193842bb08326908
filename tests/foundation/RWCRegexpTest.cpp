// Tests of RWCRegexp: pattern syntax, status codes, greedy search and the string members.
#include "foundation/RWCRegexp.h"
#include "foundation/RWCString.h"
#include "foundation/RWxmsg.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

namespace {

struct Found {
    size_t pos;
    size_t len;
};

Found find(const char* pattern, const RWCString& text, size_t start = 0)
{
    RWCRegexp re(pattern);
    size_t len = 77;
    size_t pos = re.index(text, &len, start);
    return {pos, len};
}

} // namespace

TEST(RWCRegexp, EscapesAndClassesMatchTheirBytes)
{
    struct Case {
        const char* pattern;
        RWCString text;
        size_t pos;
        size_t len;
    } cases[] = {
        {"\\x41", "zA", 1, 1},
        {"\\101", "zA", 1, 1},
        {"\\x4", "a\x04", 1, 1},
        {"\\xg", "axg", 1, 2},       // \x without a hex digit is the letter itself
        {"\\t", "a\tb", 1, 1},
        {"\\T", "a\tb", 1, 1},       // escapes ignore case
        {"\\b\\e\\f", RWCString("\x08\x1b\x0c", 3), 0, 3},
        {"\\n\\r\\s", "x\n\r y", 1, 3},
        {"\\^a", RWCString("x\x01", 2), 1, 1}, // control character
        {"\\.", "ab.c", 2, 1},
        {"\\.", "abc", RW_NPOS, 0},
        {"\\[\\*\\\\", "x[*\\", 1, 3},
        {"\\0", RWCString("a\0b", 3), 1, 1},
        {"\\777", RWCString("a\xff", 2), 1, 1}, // octal value modulo 256
        {"a\\", "a\\", 0, 2},        // a trailing backslash stands for itself
        {"[a-c]+", "xxcab", 2, 3},
        {"[c-a]+", "xxcab", 2, 3},   // a backward range means the same
        {"[^a-c]", "abc", RW_NPOS, 0},
        {"[^a-c]", "ab\n", 2, 1},    // a negated class matches newline
        {"[\\x30-\\x32]+", "a0129", 1, 3},
        {"[a-]+", "x-a-", 1, 3},     // '-' before ']' is a member
        {"[\\]]", "a]", 1, 1},
        {"[.]", "a.b", 1, 1},
        {"a.c", "a\nc abc", 4, 3},   // '.' never matches newline
        {"x^", "ax^", 1, 2},         // '^' elsewhere is a literal
        {"$x", "a$x", 1, 2},         // '$' elsewhere is a literal
        {"a\\$", "a$b", 0, 2},
    };
    for (const Case& c : cases) {
        Found f = find(c.pattern, c.text);
        EXPECT_EQ(f.pos, c.pos) << c.pattern;
        EXPECT_EQ(f.len, c.len) << c.pattern;
    }
}

TEST(RWCRegexp, AnchorsAndClosuresAreGreedyWithBacktracking)
{
    struct Case {
        const char* pattern;
        const char* text;
        size_t pos;
        size_t len;
    } cases[] = {
        {"a*b", "xb", 1, 1},
        {"a*b", "aab", 0, 3},
        {"^ab", "cab", RW_NPOS, 0},
        {"^ab", "abab", 0, 2},
        {"ab$", "cab", 1, 2},
        {"ab$", "abc", RW_NPOS, 0},
        {"^$", "", 0, 0},
        {"^", "abc", 0, 0},
        {"$", "abc", 3, 0},
        {"x*", "abc", 0, 0},
        {"a*ab", "aaab", 0, 4},      // the star gives back one character
        {"x.*y", "xayby", 0, 5},
        {"x.*y", "xa\nby", RW_NPOS, 0},
        {"a+", "baaa", 1, 3},
        {"a+a", "aa", 0, 2},
        {"a+a", "a", RW_NPOS, 0},
        {"a?ab", "ab", 0, 2},
        {"a?b", "aab", 1, 2},
        {"[0-9]+\\.[0-9]+", "v 12.345.", 2, 6},
        {"a*b*c", "aabbbc", 0, 6},
        {"c.*", "abc\ndef", 2, 1},
    };
    for (const Case& c : cases) {
        Found f = find(c.pattern, c.text);
        EXPECT_EQ(f.pos, c.pos) << c.pattern << " in " << c.text;
        EXPECT_EQ(f.len, c.len) << c.pattern << " in " << c.text;
    }
}

TEST(RWCRegexp, SearchStartsAtStart)
{
    EXPECT_EQ(find("^b", "ab", 1).pos, 1u); // the searched text begins at start
    EXPECT_EQ(find("a", "aba", 1).pos, 2u);
    EXPECT_EQ(find("a*", "ab", 2).pos, 2u);  // empty match at the end
    Found beyond = find("a", "ab", 3);
    EXPECT_EQ(beyond.pos, RW_NPOS);
    EXPECT_EQ(beyond.len, 77u); // left as it was
}

TEST(RWCRegexp, BadPatternsReportTheirStatus)
{
    struct Case {
        std::string pattern;
        RWCRegexp::statVal status;
    } cases[] = {
        {"", RWCRegexp::ILLEGAL},
        {"*a", RWCRegexp::ILLEGAL},
        {"+a", RWCRegexp::ILLEGAL},
        {"?a", RWCRegexp::ILLEGAL},
        {"[]", RWCRegexp::ILLEGAL},
        {"[ab", RWCRegexp::ILLEGAL},
        {"[a\\", RWCRegexp::ILLEGAL},
        {"a**", RWCRegexp::TOOLONG},
        {"a+?", RWCRegexp::TOOLONG},
        {"^*", RWCRegexp::TOOLONG},
        {std::string(255, 'a'), RWCRegexp::OK},
        {std::string(256, 'a'), RWCRegexp::TOOLONG},
        {std::string(238, 'a') + "[x]", RWCRegexp::OK},     // 238 + 17 + END = 256
        {std::string(239, 'a') + "[x]", RWCRegexp::TOOLONG},
        {std::string(254, 'a') + "*", RWCRegexp::OK},
        {std::string(255, 'a') + "*", RWCRegexp::TOOLONG},
    };
    for (const Case& c : cases) {
        RWCRegexp re(c.pattern.c_str());
        RWCRegexp copy(re);
        EXPECT_EQ(re.status(), c.status) << c.pattern;
        EXPECT_EQ(re.status(), RWCRegexp::OK) << "status resets";
        if (c.status == RWCRegexp::OK)
            continue;
        // The copy still carries the failure; a search with it raises.
        EXPECT_THROW(copy.index(RWCString("aaa")), RWInternalErr) << c.pattern;
        // Once the status has been read, the unfinished pattern matches nothing.
        size_t len = 5;
        EXPECT_EQ(re.index(RWCString(c.pattern.c_str()), &len), RW_NPOS) << c.pattern;
        EXPECT_EQ(len, 0u);
    }
}

TEST(RWCRegexp, CompiledCodesHoldClosureBeforeAtom)
{
    RWCRegexp re("^a[b]*$");
    const uint16_t* c = re.codes();
    EXPECT_EQ(c[0], RWCRegexp::codeStartAnchor);
    EXPECT_EQ(c[1], 'a');
    EXPECT_EQ(c[2], RWCRegexp::codeStar);
    EXPECT_EQ(c[3], RWCRegexp::codeClass);
    EXPECT_EQ(c[3 + 1 + ('b' >> 4)], 1u << ('b' & 15));
    EXPECT_EQ(c[20], RWCRegexp::codeEndAnchor);
    EXPECT_EQ(c[21], RWCRegexp::codeEnd);
}

TEST(RWCRegexp, CopyAssignAndStringMembers)
{
    RWCRegexp re("b+");
    RWCRegexp other("x");
    other = re;
    RWCString s("abbbc");
    EXPECT_EQ(s.index(other), 1u);
    size_t len = 0;
    EXPECT_EQ(s.index(other, &len, 2), 2u);
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(RWCString(s(other)), "bbb");
    other = "c$";
    EXPECT_EQ(RWCString(s(other, 1)), "c");
    other = RWCString("z");
    EXPECT_TRUE(s(other).isNull());
    const RWCString cs("xyz");
    EXPECT_EQ(RWCString(cs(RWCRegexp("y."))), "yz");

    // Assigning through the view replaces the match.
    RWCRegexp digits("[0-9]+");
    RWCString t("ab123cd");
    t(digits) = "#";
    EXPECT_EQ(t, "ab#cd");
}

// The search must give the same leftmost, greedy-first answer as ECMAScript backtracking for
// patterns within the common syntax; this also checks the fast skip to the first literal.
TEST(RWCRegexp, AgreesWithStdRegexOnRandomTexts)
{
    const char* patterns[] = {"a",     "ab*c",  "a.*c",  "[ab]+c", "b?a+",   "^a*b",
                              "c$",    "a*b*",  "x[^a]*", ".a.",   "[a-c]*x", "ba*$",
                              "a+b",   "[bc]+$", "x+a?c"};
    std::mt19937 rng(12345);
    const char alphabet[] = "abcx\n";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        size_t n = rng() % 20;
        for (size_t i = 0; i < n; ++i)
            text += alphabet[rng() % 5];
        for (const char* p : patterns) {
            Found f = find(p, RWCString(text.c_str()));
            std::smatch m;
            std::regex re(p, std::regex::ECMAScript);
            bool hit = std::regex_search(text, m, re);
            if (!hit) {
                EXPECT_EQ(f.pos, RW_NPOS) << p << " in '" << text << "'";
            } else {
                EXPECT_EQ(f.pos, size_t(m.position(0))) << p << " in '" << text << "'";
                EXPECT_EQ(f.len, size_t(m.length(0))) << p << " in '" << text << "'";
            }
        }
    }
}
