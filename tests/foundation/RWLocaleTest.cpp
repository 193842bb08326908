// Tests of RWLocaleDefault's fixed texts and parsers and of the shared RWLocale members.
#include "foundation/RWLocale.h"

#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "foundation/RWLocaleSnapshot.h"
#include "tests/support/TestLocales.h"

using testlocales::referenceTime;

namespace {

TEST(RWLocaleTest, DefaultDirectives)
{
    RWLocaleDefault english;
    RWZoneSimple eastern(5, 1);
    struct tm t = referenceTime();
    struct Case {
        char letter;
        const char* expected;
    } cases[] = {
        {'A', "Friday"}, {'a', "Fri"}, {'B', "November"}, {'b', "Nov"},
        {'C', "Fri Nov 30 22:54:56 EST 1990"}, {'c', "11/30/90 22:54:56"}, {'d', "30"}, {'H', "22"},
        {'I', "10"}, {'j', "334"}, {'M', "54"}, {'m', "11"}, {'p', "pm"}, {'S', "56"}, {'U', "47"},
        {'W', "48"}, {'w', "5"}, {'X', "22:54:56"}, {'x', "11/30/90"}, {'Y', "1990"}, {'y', "90"},
        {'Z', "EST"}, {'q', ""}, {'z', ""}, {'%', ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, english.asString(&t, c.letter, eastern).data()) << c.letter;
}

TEST(RWLocaleTest, DefaultEdgeTexts)
{
    RWLocaleDefault english;
    RWZoneSimple eastern(5, 1);
    struct tm t = referenceTime();
    EXPECT_STREQ("%30", english.asString(&t, "%%%d", eastern).data());
    EXPECT_STREQ("<>", english.asString(&t, "<%q>", eastern).data());
    EXPECT_STREQ("30", english.asString(&t, "%d%", eastern).data());
    t.tm_year = 100;
    EXPECT_STREQ("11/30/2000", english.asString(&t, 'x', eastern).data());
    t.tm_year = 0;
    EXPECT_STREQ("11/30/1900", english.asString(&t, 'x', eastern).data());
    t.tm_hour = 0;
    EXPECT_STREQ("12", english.asString(&t, 'I', eastern).data());
    EXPECT_STREQ("am", english.asString(&t, 'p', eastern).data());
    t.tm_hour = 12;
    EXPECT_STREQ("12", english.asString(&t, 'I', eastern).data());
    EXPECT_STREQ("pm", english.asString(&t, 'p', eastern).data());
    t.tm_isdst = 1;
    EXPECT_STREQ("EDT", english.asString(&t, 'Z', eastern).data());
    t.tm_isdst = -1;
    EXPECT_STREQ("", english.asString(&t, 'Z', eastern).data());
    t.tm_wday = 9;
    t.tm_mon = -3;
    EXPECT_STREQ("", english.asString(&t, 'A', eastern).data());
    EXPECT_STREQ("", english.asString(&t, 'b', eastern).data());
}

TEST(RWLocaleTest, DefaultNumbersAndMoney)
{
    RWLocaleDefault english;
    EXPECT_STREQ("3.14", english.asString(3.14159, 2, false).data());
    EXPECT_STREQ("3.", english.asString(3.0, 0, true).data());
    EXPECT_STREQ("3", english.asString(3.0, 0, false).data());
    EXPECT_STREQ("1234567", english.asString(1234567L).data());
    EXPECT_STREQ("-42", english.asString(-42L).data());
    EXPECT_STREQ("4294967295", english.asString(4294967295UL).data());
    // Far beyond any fixed buffer.
    const RWCString huge = english.asString(1e300, 2, false);
    EXPECT_EQ(304u, huge.length());
    EXPECT_EQ(0, std::string(huge.data()).compare(0, 4, "1000"));

    EXPECT_STREQ("($12.34)", english.moneyAsString(-1234, RWLocale::LOCAL).data());
    EXPECT_STREQ("USD 12.34", english.moneyAsString(1234, RWLocale::INTL).data());
    EXPECT_STREQ("12.34", english.moneyAsString(1234, RWLocale::NONE).data());
    EXPECT_STREQ("$0.05", english.moneyAsString(5, RWLocale::LOCAL).data());
    EXPECT_STREQ("$1.00000e+16", english.moneyAsString(1e18, RWLocale::LOCAL).data());
    EXPECT_STREQ("$1234567.89", english.moneyAsString(123456789, RWLocale::LOCAL).data());
}

TEST(RWLocaleTest, DefaultParsesNumbers)
{
    RWLocaleDefault english;
    struct Case {
        const char* text;
        bool ok;
        long value;
    } longs[] = {
        {"42", true, 42},        {"  -42  ", true, -42},  {"- 42", true, -42},    {"+7", true, 7},
        {"-0", true, 0},         {"2147483647", true, 2147483647L},               {"2147483648", false, 0},
        {"99999999999999999999", false, 0},               {"12a", false, 0},      {"", false, 0},
        {"-", false, 0},         {"1 2", false, 0},       {"--1", false, 0},
    };
    for (const Case& c : longs) {
        long out = -99;
        EXPECT_EQ(c.ok, english.stringToNum(RWCString(c.text), &out)) << c.text;
        EXPECT_EQ(c.ok ? c.value : -99, out) << c.text;
    }
    struct DoubleCase {
        const char* text;
        bool ok;
        double value;
    } doubles[] = {
        {".5", true, 0.5}, {" - 2.5 ", true, -2.5}, {"1e3", true, 1000}, {"abc", false, 0}, {"1.5x", false, 0},
    };
    for (const DoubleCase& c : doubles) {
        double out = -99;
        EXPECT_EQ(c.ok, english.stringToNum(RWCString(c.text), &out)) << c.text;
        EXPECT_EQ(c.ok ? c.value : -99, out) << c.text;
    }
}

TEST(RWLocaleTest, DefaultParsesMoney)
{
    RWLocaleDefault english;
    struct Case {
        const char* text;
        RWLocale::CurrSymbol symbol;
        bool ok;
        double value;
    } cases[] = {
        {"-$12.34", RWLocale::LOCAL, true, -1234}, {"$12.34", RWLocale::LOCAL, true, 1234},
        {"($ 12.34)", RWLocale::LOCAL, true, -1234}, {"$12.34-", RWLocale::LOCAL, true, -1234},
        {"12", RWLocale::LOCAL, true, 1200},       {"$.50", RWLocale::LOCAL, true, 50},
        {"12.3", RWLocale::LOCAL, false, 0},       {"USD 5", RWLocale::INTL, true, 500},
        {"USD -5.25", RWLocale::INTL, true, -525},  {"(USD 5)", RWLocale::INTL, false, 0},
        {"$12.34", RWLocale::NONE, false, 0},      {"$", RWLocale::LOCAL, false, 0},
        {"$12.345", RWLocale::LOCAL, false, 0},
    };
    for (const Case& c : cases) {
        double out = -99;
        EXPECT_EQ(c.ok, english.stringToMoney(RWCString(c.text), &out, c.symbol)) << c.text;
        EXPECT_EQ(c.ok ? c.value : -99, out) << c.text;
    }
}

TEST(RWLocaleTest, DefaultParsesDates)
{
    RWLocaleDefault english;
    struct Case {
        const char* text;
        bool ok;
        int year, mon, mday;
    } cases[] = {
        {"11/30/1990", true, 90, 10, 30},     {"11/30/90", true, 90, 10, 30},
        {"30 November 1990", true, 90, 10, 30}, {"Nov 30, 1990", true, 90, 10, 30},
        {"nOvEmBeR 30 1990", true, 90, 10, 30}, {"2/29/1900", false, 0, 0, 0},
        {"2/29/2000", true, 100, 1, 29},      {"29.2.2000", false, 0, 0, 0},
        {"11/30/1990/4", false, 0, 0, 0},     {"13/1/1990", false, 0, 0, 0},
        {"11/31/1990", false, 0, 0, 0},       {"Nov 30", false, 0, 0, 0},
        {"", false, 0, 0, 0},                 {"1/1/0", true, 0, 0, 1},
    };
    for (const Case& c : cases) {
        struct tm t {};
        t.tm_year = t.tm_mon = t.tm_mday = -7;
        EXPECT_EQ(c.ok, english.stringToDate(RWCString(c.text), &t)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.year, t.tm_year) << c.text;
            EXPECT_EQ(c.mon, t.tm_mon) << c.text;
            EXPECT_EQ(c.mday, t.tm_mday) << c.text;
        } else {
            EXPECT_EQ(-7, t.tm_year) << c.text;
        }
    }
}

TEST(RWLocaleTest, DefaultParsesTimes)
{
    RWLocaleDefault english;
    struct Case {
        const char* text;
        bool ok;
        int hour, min, sec;
    } cases[] = {
        {"12:30 AM", true, 0, 30, 0}, {"12:30 pm", true, 12, 30, 0}, {"1:05:09 PM", true, 13, 5, 9},
        {"7", true, 7, 0, 0},         {"23.59.59", true, 23, 59, 59}, {"13:00 PM", false, 0, 0, 0},
        {"0:00 AM", false, 0, 0, 0},  {"24:00", false, 0, 0, 0},      {"10:60", false, 0, 0, 0},
        {"", false, 0, 0, 0},         {"  8:15 tomorrow", true, 8, 15, 0},
    };
    for (const Case& c : cases) {
        struct tm t {};
        t.tm_hour = -7;
        EXPECT_EQ(c.ok, english.stringToTime(RWCString(c.text), &t)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.hour, t.tm_hour) << c.text;
            EXPECT_EQ(c.min, t.tm_min) << c.text;
            EXPECT_EQ(c.sec, t.tm_sec) << c.text;
        } else {
            EXPECT_EQ(-7, t.tm_hour) << c.text;
        }
    }
}

TEST(RWLocaleTest, DefaultNameIndexes)
{
    RWLocaleDefault english;
    EXPECT_EQ(11, english.monthIndex(RWCString("NOV")));
    EXPECT_EQ(5, english.monthIndex(RWCString("may")));
    EXPECT_EQ(1, english.monthIndex(RWCString("January")));
    EXPECT_EQ(0, english.monthIndex(RWCString("Janu")));
    EXPECT_EQ(7, english.weekdayIndex(RWCString("sun")));
    EXPECT_EQ(1, english.weekdayIndex(RWCString("Monday")));
    EXPECT_EQ(0, english.weekdayIndex(RWCString("Funday")));
}

TEST(RWLocaleTest, GlobalIsASnapshotOfTheCLocale)
{
    const RWLocale& global = RWLocale::global();
    const auto* snapshot = dynamic_cast<const RWLocaleSnapshot*>(&global);
    ASSERT_NE(nullptr, snapshot);
    EXPECT_STREQ("C", snapshot->localeName().data());
    EXPECT_EQ(&global, &RWLocale::global());

    RWLocaleDefault english;
    const RWLocale* previous = RWLocale::global(&english);
    EXPECT_EQ(&global, previous);
    EXPECT_EQ(&english, &RWLocale::global());
    EXPECT_EQ(&english, RWLocale::global(previous));
}

}  // namespace
