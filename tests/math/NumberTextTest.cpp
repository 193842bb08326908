// Tests of the number and text utilities: formatting, conversions, tolerance compares, solvers.
#include "math/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/TempDir.h"
#include "tests/support/TestLocales.h"

namespace {

std::string str(const RWCString& s) { return std::string(s.data(), s.length()); }

RWCString viaV(const char* format, ...) {
    va_list args;
    va_start(args, format);
    RWCString r = formatStringV(format, args);
    va_end(args);
    return r;
}

}  // namespace

TEST(NumberTextTest, FormatsCommonConversions) {
    EXPECT_EQ(str(formatString("%d", -42)), "-42");
    EXPECT_EQ(str(formatString("%i", 7)), "7");
    EXPECT_EQ(str(formatString("%.*f", 3, 2.5)), "2.500");
    EXPECT_EQ(str(formatString("%.*g", 14, 0.1)), "0.1");
    EXPECT_EQ(str(formatString("%X", 3054)), "BEE");
    const char* empty = "";
    EXPECT_EQ(str(formatString(empty)), "");
}

TEST(NumberTextTest, LongTextsAreNeverCut) {
    // Around the first buffer's limit (510 characters fit at once, 511 do not) and far beyond it.
    for (size_t n : {509u, 510u, 511u, 512u, 600u, 1022u, 1023u, 5000u, 70000u}) {
        const std::string text(n, 'x');
        EXPECT_EQ(str(formatString("%s", text.c_str())), text) << n;
        // The argument list must survive the retries: the number after the long text comes out right.
        EXPECT_EQ(str(viaV("%s|%d|%.*f", text.c_str(), 12345, 2, 1.5)), text + "|12345|1.50") << n;
    }
}

TEST(NumberTextTest, EncodingErrorGivesEmptyTextInsteadOfLooping) {
    const wchar_t notAscii[] = {0x20AC, 0};  // the "C" locale cannot write the euro sign
    EXPECT_EQ(str(formatString("%ls", notAscii)), "");
}

TEST(NumberTextTest, NumbersUseCLocaleWhateverTheProcessLocale) {
    // A locale with a decimal comma, compiled into a private folder when the system has none.
    TempDir dir;
    if (testlocales::runLocaledef("de_DE", dir.file("de_DE.UTF-8")) == 0) setenv("LOCPATH", dir.path().c_str(), 1);
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no locale with a decimal comma";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(str(formatString("%.*f", 2, 1.5)), "1.50");
    EXPECT_EQ(stringToDouble("2.75"), 2.75);
    bool ok = false;
    EXPECT_EQ(stringToDoubleChecked("2.75", &ok), 2.75);
    EXPECT_TRUE(ok);
    {
        // The guard switches the process locale, yet our conversions stay in "C".
        NumericLocaleGuard guard("de_DE.UTF-8");
        EXPECT_EQ(str(formatString("%g", 0.5)), "0.5");
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
    unsetenv("LOCPATH");
}

TEST(NumberTextTest, StringToDoubleReadsLikeAtof) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"1.5", 1.5}, {"  -2.5e3abc", -2500.0}, {"abc", 0.0}, {"", 0.0}, {"\t7", 7.0}, {"1,5", 1.0}};
    for (const Case& c : cases) {
        EXPECT_EQ(stringToDouble(RWCString(c.text)), c.value) << c.text;
        EXPECT_EQ(stringToDouble(c.text), c.value) << c.text;
    }
}

TEST(NumberTextTest, StringToDoubleCheckedReportsUnconvertedText) {
    struct Case {
        const char* text;
        double value;
        bool ok;
    } cases[] = {{"1.5x", 1.5, false}, {"1.5", 1.5, true}, {"", 0.0, true},  {" 1.5", 1.5, true},
                 {"1.5 ", 1.5, false}, {"x", 0.0, false}, {"-1e2", -100.0, true}};
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(stringToDoubleChecked(RWCString(c.text), &ok), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    // Bytes after an embedded NUL were not converted either.
    bool ok = true;
    EXPECT_EQ(stringToDoubleChecked(RWCString("2\0x", 3), &ok), 2.0);
    EXPECT_FALSE(ok);
}

TEST(NumberTextTest, StringToIntWrapsAround32Bits) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"42", 42},
        {"  -17xyz", -17},
        {"+5", 5},
        {"4278190335", -16776961},  // 0xFF0000FF written unsigned
        {"-16776961", -16776961},   // the same bits written signed
        {"2147483648", INT_MIN},
        {"99999999999", 1215752191},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"\t\n 12", 12},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stringToInt(RWCString(c.text)), c.value) << c.text;
        EXPECT_EQ(stringToInt(c.text), c.value) << c.text;
    }
}

TEST(NumberTextTest, NumericLocaleGuardRestoresPreviousLocale) {
    const std::string original = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "C.UTF-8"), nullptr);
    {
        NumericLocaleGuard guard("C");
        EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    }
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C.UTF-8");
    std::setlocale(LC_NUMERIC, original.c_str());
}

TEST(NumberTextTest, SignsAndTolerantCompares) {
    EXPECT_EQ(sign(0.0), 0);
    EXPECT_EQ(sign(-0.0), 0);
    EXPECT_EQ(sign(3.0), 1);
    EXPECT_EQ(sign(-1e-300), -1);
    EXPECT_EQ(signWithTolerance(1e-7, 1e-6), 0);
    EXPECT_EQ(signWithTolerance(-1e-6, 1e-6), -1);
    EXPECT_EQ(signWithTolerance(1e-6, 1e-6), 1);
    EXPECT_EQ(compareWithTolerance(1.0, 1.00005, 0.0001), 0);
    EXPECT_EQ(compareWithTolerance(1.0, 1.0002, 0.0001), -1);
    EXPECT_EQ(compareWithTolerance(2.0, 1.0, 0.5), 1);
    EXPECT_EQ(compareWithTolerance(1.0, 1.5, 0.5), -1);  // strict: a difference equal to tol is not equal
}

TEST(NumberTextTest, Solvers) {
    double x1 = -99, x2 = -99;
    EXPECT_EQ(solveQuadratic(1, -3, 2, &x1, &x2), 2);
    EXPECT_EQ(x1, 2.0);
    EXPECT_EQ(x2, 1.0);
    x1 = -99;
    EXPECT_EQ(solveQuadratic(0, 2, -4, &x1, &x2), 1);
    EXPECT_EQ(x1, 2.0);
    EXPECT_EQ(solveQuadratic(1, 0, 1, &x1, &x2), 0);
    EXPECT_EQ(solveQuadratic(1, -2, 1, &x1, &x2), 1);
    EXPECT_EQ(x1, 1.0);
    EXPECT_EQ(solveLinear(0, 0, &x1), 1);
    EXPECT_EQ(x1, 0.0);
    EXPECT_EQ(solveLinear(0, 1, &x1), 0);
    EXPECT_EQ(solveLinear(4, 2, &x1), 1);
    EXPECT_EQ(x1, -0.5);
}

TEST(NumberTextTest, StepTowardsFollowsTheGrid) {
    struct Case {
        double step, limit, pos, expected;
        bool done;
    } cases[] = {
        {0.5, 2.0, 1.0, 1.5, false},
        {0.5, 2.0, 1.5, 2.0, true},
        {0.5, 2.0, 1.2, 1.5, false},   // off the grid: back onto it
        {0.5, 2.0, 1.995, 2.0, true},  // within 0.01 of the limit
        {1.0, 10.0, 0.0, 1.0, false},
    };
    for (const Case& c : cases) {
        double pos = c.pos;
        EXPECT_EQ(stepTowards(c.step, c.limit, &pos), c.done) << c.pos;
        EXPECT_NEAR(pos, c.expected, 1e-12) << c.pos;
    }
}
