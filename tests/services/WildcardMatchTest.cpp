// Tests of the approximate wildcard match.
#include "services/WildcardMatch.h"

#include <gtest/gtest.h>

#include <string>

TEST(WildcardMatch, FuzzyWildcardMatchCountsEdits)
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
