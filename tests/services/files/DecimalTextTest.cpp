// Tests of number texts with either decimal separator and the tolerant comparisons.
#include "services/files/DecimalText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

TEST(DecimalText, NumberTextTest)
{
    struct Case {
        const char* text;
        bool number;
    } cases[] = {
        {"-1.5", true}, {" 42 ", true}, {"+7", true},  {".5", true},   {"5.", true},   {"1.2.3", false},
        {"1-2", false}, {"1e5", false}, {"", false},   {"   ", false}, {"1,5", false}, {"- 1", false},
        {"--1", false}, {"\t1", false}, {"0x10", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isNumberText(c.text), c.number) << c.text;
}

TEST(DecimalText, TolerantComparisons)
{
    struct Case {
        double a, b;
        int result;
    } relative[] = {
        {1000, 1000.0005, 0}, {1000, 1000.005, -1}, {0, 1e-9, 0},  {0, 1e-7, -1},   {1000.005, 1000, 1},
        {1, 1.000009, 0},     {1, 1.00002, -1},     {-5, -5.00004, 0}, {-5, -5.0001, 1},
    };
    for (const Case& c : relative)
        EXPECT_EQ(compareRelative(c.a, c.b), c.result) << c.a << " " << c.b;
    EXPECT_EQ(compareWithin(1.0, 1.25, 0.25), 0);
    EXPECT_EQ(compareWithin(1.0, 1.5, 0.25), -1);
    EXPECT_EQ(compareWithin(2.0, 1.5, 0.25), 1);
}

TEST(DecimalText, ParseTakesEitherSeparator)
{
    struct Case {
        const char* text;
        const char* separators;
        double value;
        bool ok;
    } cases[] = {
        {"3,25", nullptr, 3.25, true}, {"3.25", nullptr, 3.25, true}, {"3,25", ".", 3.0, true},
        {"3;25", ";", 3.25, true},     {"-1,5e2", nullptr, -150.0, true}, {"+3", nullptr, 0.0, false},
        {"", nullptr, 0.0, false},     {"12 kg", nullptr, 12.0, true}, {"x1", nullptr, 0.0, false},
        {"  7,5", nullptr, 7.5, true}, {"1,5,7", nullptr, 1.5, true},
    };
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_DOUBLE_EQ(parseNumberText(c.text, c.separators, &ok), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    EXPECT_DOUBLE_EQ(parseNumberText("2,5", nullptr, nullptr), 2.5);
    bool ok = true;
    EXPECT_EQ(parseNumberText(nullptr, nullptr, &ok), 0.0);
    EXPECT_FALSE(ok);
}

TEST(DecimalText, FormatWritesTheChosenSeparator)
{
    struct Case {
        double value;
        int precision;
        char decimal;
        const char* text;
    } cases[] = {
        {2.5, 2, ',', "2,50"}, {2.5, 2, '.', "2.50"}, {-0.125, 3, ',', "-0,125"}, {7, 0, ',', "7"},
        {1e61, 3, ',', "1e+61"}, {1.5e61, 2, ',', "1,5e+61"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(formatNumberText(c.value, c.precision, c.decimal).data(), c.text) << c.value;
    // Negative values of any size are written in full.
    const RWCString big = formatNumberText(-1e61, 1, ',');
    EXPECT_GT(big.length(), 60u);
    EXPECT_EQ(big(0), '-');
    EXPECT_EQ(std::string(big.data() + big.length() - 2), ",0");
    // Round trip through either separator.
    for (char sep : {',', '.'}) {
        const RWCString text = formatNumberText(-1234.5678, 4, sep);
        EXPECT_DOUBLE_EQ(parseNumberText(text.data(), nullptr, nullptr), -1234.5678);
    }
}
