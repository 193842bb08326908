// Tests of RWLocaleSnapshot in the "C" locale and, when they can be had, in named locales.
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "foundation/RWLocaleSnapshot.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLocales.h"

using testlocales::calendarTime;
using testlocales::localeInstalled;
using testlocales::referenceTime;
using testlocales::strftimeIn;

namespace {

// Named locales come from the system when installed; otherwise they are compiled once into a
// private folder with localedef (when the tool and the locale sources are there) and found
// through LOCPATH. All are made before the first look through LOCPATH, because the C library
// remembers a locale it failed to find. A test that still cannot have its locale is skipped.
bool ensureLocale(const char* name)
{
    static bool prepared = false;
    if (!prepared) {
        prepared = true;
        struct {
            const char* name;
            const char* source;
        } const wanted[] = {{"de_DE.UTF-8", "de_DE"}, {"en_US.UTF-8", "en_US"}};
        bool missing = false;
        for (const auto& w : wanted)
            missing = missing || !localeInstalled(w.name);
        if (missing) {
            static TempDir folder;
            for (const auto& w : wanted)
                testlocales::runLocaledef(w.source, folder.file(w.name));
            setenv("LOCPATH", folder.path().c_str(), 1);
        }
    }
    return localeInstalled(name);
}

TEST(RWLocaleSnapshotTest, CLocaleTexts)
{
    RWLocaleSnapshot c("C");
    RWZoneSimple eastern(5, 1);
    struct tm t = referenceTime();
    EXPECT_STREQ("C", c.localeName().data());
    EXPECT_STREQ("1234567", c.asString(1234567L).data());
    EXPECT_STREQ("-1234567", c.asString(-1234567L).data());
    EXPECT_STREQ("3.50", c.asString(3.5, 2, false).data());
    EXPECT_STREQ("3.", c.asString(3.0, 0, true).data());
    struct Case {
        char letter;
        const char* expected;
    } cases[] = {
        {'x', "11/30/90"}, {'X', "22:54:56"}, {'c', "Fri Nov 30 22:54:56 1990"}, {'A', "Friday"},
        {'a', "Fri"},      {'B', "November"}, {'b', "Nov"},  {'p', "PM"},  {'I', "10"},  {'j', "334"},
        {'U', "47"},       {'W', "48"},       {'w', "5"},    {'y', "90"},  {'Y', "1990"}, {'Z', "EST"},
        {'q', ""},
    };
    for (const Case& k : cases)
        EXPECT_STREQ(k.expected, c.asString(&t, k.letter, eastern).data()) << k.letter;
    // The holes are refilled for other times, the day of %c padded with a blank.
    struct tm other = calendarTime(101, 0, 5, 3, 4, 5);
    EXPECT_STREQ("01/05/01", c.asString(&other, 'x', eastern).data());
    EXPECT_STREQ("03:04:05", c.asString(&other, 'X', eastern).data());
    EXPECT_STREQ("Fri Jan  5 03:04:05 2001", c.asString(&other, 'c', eastern).data());
    EXPECT_STREQ("AM", c.asString(&other, 'p', eastern).data());
}

TEST(RWLocaleSnapshotTest, CLocaleTemplatesMatchTheCLibrary)
{
    RWLocaleSnapshot c("C");
    locale_t cloc = newlocale(LC_ALL_MASK, "C", nullptr);
    ASSERT_NE(nullptr, cloc);
    for (struct tm t : {calendarTime(70, 0, 1, 0, 0, 0), calendarTime(137, 1, 6, 6, 28, 15), calendarTime(99, 11, 31, 23, 59, 59),
                        calendarTime(100, 1, 29, 12, 0, 9)}) {
        for (const char* letter : {"x", "X", "c"}) {
            const std::string fmt = std::string("%") + letter;
            EXPECT_EQ(strftimeIn(cloc, fmt.c_str(), &t), c.asString(&t, letter[0], RWZone::utc()).data()) << fmt;
        }
    }
    freelocale(cloc);
}

TEST(RWLocaleSnapshotTest, CLocaleParsing)
{
    RWLocaleSnapshot c("C");
    struct tm t {};
    ASSERT_TRUE(c.stringToDate(RWCString("11/30/90"), &t));
    EXPECT_EQ(90, t.tm_year);
    EXPECT_EQ(10, t.tm_mon);
    EXPECT_EQ(30, t.tm_mday);
    ASSERT_TRUE(c.stringToDate(RWCString("Nov 30, 1990"), &t));
    EXPECT_EQ(10, t.tm_mon);
    EXPECT_EQ(30, t.tm_mday);
    EXPECT_FALSE(c.stringToDate(RWCString("2/29/1900"), &t));
    EXPECT_FALSE(c.stringToDate(RWCString("11/30/1990 4"), &t));
    EXPECT_FALSE(c.stringToDate(RWCString("11/30/19901"), &t));

    struct TimeCase {
        const char* text;
        bool ok;
        int hour, min, sec;
    } times[] = {
        {"PM 1:05", true, 13, 5, 0}, {"1:05 PM PM", false, 0, 0, 0}, {"25:00", false, 0, 0, 0},
        {"1230", true, 12, 30, 0},   {"123045", true, 12, 30, 45},   {"12:30:45", true, 12, 30, 45},
        {"12:00 am", true, 0, 0, 0}, {"0:30 PM", false, 0, 0, 0},    {"12:3045", false, 0, 0, 0},
        {"7", false, 0, 0, 0},       {" 9.15 ", true, 9, 15, 0},     {"13:00 PM", false, 0, 0, 0},
    };
    for (const TimeCase& k : times) {
        struct tm tt {};
        tt.tm_hour = -7;
        EXPECT_EQ(k.ok, c.stringToTime(RWCString(k.text), &tt)) << k.text;
        if (k.ok) {
            EXPECT_EQ(k.hour, tt.tm_hour) << k.text;
            EXPECT_EQ(k.min, tt.tm_min) << k.text;
            EXPECT_EQ(k.sec, tt.tm_sec) << k.text;
        } else {
            EXPECT_EQ(-7, tt.tm_hour) << k.text;
        }
    }

    long n = -99;
    EXPECT_TRUE(c.stringToNum(RWCString(" -0 "), &n));
    EXPECT_EQ(0, n);
    EXPECT_TRUE(c.stringToNum(RWCString("2147483647"), &n));
    EXPECT_EQ(2147483647L, n);
    EXPECT_FALSE(c.stringToNum(RWCString("2147483648"), &n));
    EXPECT_FALSE(c.stringToNum(RWCString("1,234"), &n));  // no grouping in "C"
    double d = 0;
    EXPECT_TRUE(c.stringToNum(RWCString("-1.5e2"), &d));
    EXPECT_EQ(-150.0, d);
    EXPECT_TRUE(c.stringToNum(RWCString(".5"), &d));
    EXPECT_EQ(0.5, d);
    EXPECT_FALSE(c.stringToNum(RWCString("."), &d));
    EXPECT_FALSE(c.stringToNum(RWCString("1e"), &d));
    EXPECT_FALSE(c.stringToNum(RWCString(std::string(300, '1').c_str()), &d));

    EXPECT_EQ(11, c.monthIndex(RWCString(" nov ")));
    EXPECT_EQ(5, c.weekdayIndex(RWCString("FRIDAY")));
    EXPECT_EQ(7, c.weekdayIndex(RWCString("Sun")));
    EXPECT_EQ(0, c.weekdayIndex(RWCString(" Sun")));
}

TEST(RWLocaleSnapshotTest, LeavesTheRuntimeLocaleAsItWas)
{
    const char* name = localeInstalled("C.UTF-8") ? "C.UTF-8" : "POSIX";
    ASSERT_NE(nullptr, std::setlocale(LC_ALL, name));
    const std::string before = std::setlocale(LC_ALL, nullptr);
    {
        RWLocaleSnapshot c("C");
        EXPECT_STREQ("C", c.localeName().data());
    }
    EXPECT_EQ(before, std::setlocale(LC_ALL, nullptr));
    RWLocaleSnapshot current(nullptr);
    EXPECT_STREQ(before.c_str(), current.localeName().data());
    std::setlocale(LC_ALL, "C");
}

TEST(RWLocaleSnapshotTest, GermanGroupingMoneyAndDates)
{
    if (!ensureLocale("de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not available";
    RWLocaleSnapshot de("de_DE.UTF-8");
    EXPECT_STREQ("1.234.567", de.asString(1234567L).data());
    EXPECT_STREQ("-1.234.567", de.asString(-1234567L).data());
    EXPECT_STREQ("123", de.asString(123UL).data());
    EXPECT_STREQ("1.234,50", de.asString(1234.5, 2, false).data());
    EXPECT_STREQ("1.234,56 \xE2\x82\xAC", de.moneyAsString(123456, RWLocale::LOCAL).data());
    EXPECT_STREQ("-1.234,56 \xE2\x82\xAC", de.moneyAsString(-123456, RWLocale::LOCAL).data());
    EXPECT_STREQ("EUR 1.234,56", de.moneyAsString(123456, RWLocale::INTL).data());
    // Without a symbol the blank that stood before it stays.
    EXPECT_STREQ("1.234,56 ", de.moneyAsString(123456, RWLocale::NONE).data());

    long n = 0;
    EXPECT_TRUE(de.stringToNum(RWCString("1.234.567"), &n));
    EXPECT_EQ(1234567, n);
    EXPECT_FALSE(de.stringToNum(RWCString("12.34"), &n));
    EXPECT_FALSE(de.stringToNum(RWCString("1234.567"), &n));
    double d = 0;
    EXPECT_TRUE(de.stringToNum(RWCString("1.234,5"), &d));
    EXPECT_EQ(1234.5, d);
    double money = 0;
    EXPECT_TRUE(de.stringToMoney(RWCString("-1.234,56 \xE2\x82\xAC"), &money, RWLocale::LOCAL));
    EXPECT_EQ(-123456, money);
    EXPECT_TRUE(de.stringToMoney(RWCString("EUR 12,00"), &money, RWLocale::INTL));
    EXPECT_EQ(1200, money);

    struct tm t {};
    ASSERT_TRUE(de.stringToDate(RWCString("30.11.1990"), &t));
    EXPECT_EQ(90, t.tm_year);
    EXPECT_EQ(10, t.tm_mon);
    EXPECT_EQ(30, t.tm_mday);
    ASSERT_TRUE(de.stringToDate(RWCString("5 Nov 1990"), &t));
    EXPECT_EQ(10, t.tm_mon);
    EXPECT_EQ(5, t.tm_mday);
    EXPECT_EQ(90, t.tm_year);
    EXPECT_EQ(1, de.weekdayIndex(RWCString("montag")));
    EXPECT_EQ(3, de.monthIndex(RWCString("M\xC3\xA4rz")));

    locale_t loc = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
    ASSERT_NE(nullptr, loc);
    for (struct tm s : {calendarTime(90, 10, 30, 22, 54, 56), calendarTime(101, 0, 5, 3, 4, 5)}) {
        EXPECT_EQ(strftimeIn(loc, "%x", &s), de.asString(&s, 'x', RWZone::utc()).data());
        EXPECT_EQ(strftimeIn(loc, "%X", &s), de.asString(&s, 'X', RWZone::utc()).data());
    }
    freelocale(loc);
}

TEST(RWLocaleSnapshotTest, AmericanMoneyAndDates)
{
    if (!ensureLocale("en_US.UTF-8"))
        GTEST_SKIP() << "locale en_US.UTF-8 is not available";
    RWLocaleSnapshot us("en_US.UTF-8");
    EXPECT_STREQ("1,234,567", us.asString(1234567L).data());
    EXPECT_STREQ("$1,234.56", us.moneyAsString(123456, RWLocale::LOCAL).data());
    EXPECT_STREQ("-$1,234.56", us.moneyAsString(-123456, RWLocale::LOCAL).data());
    double money = 0;
    EXPECT_TRUE(us.stringToMoney(RWCString("-$1,234.56"), &money, RWLocale::LOCAL));
    EXPECT_EQ(-123456, money);
    EXPECT_TRUE(us.stringToMoney(RWCString("$.50"), &money, RWLocale::LOCAL));
    EXPECT_EQ(50, money);
    EXPECT_TRUE(us.stringToMoney(RWCString("($1,000.00)"), &money, RWLocale::LOCAL));
    EXPECT_EQ(-100000, money);
    EXPECT_FALSE(us.stringToMoney(RWCString("$1,00.00"), &money, RWLocale::LOCAL));
    EXPECT_FALSE(us.stringToMoney(RWCString("$12.3"), &money, RWLocale::LOCAL));
    long n = 0;
    EXPECT_TRUE(us.stringToNum(RWCString("1,234,567"), &n));
    EXPECT_EQ(1234567, n);
    EXPECT_FALSE(us.stringToNum(RWCString("12,34"), &n));
    EXPECT_FALSE(us.stringToNum(RWCString("1234,567"), &n));

    struct tm t = referenceTime();
    EXPECT_STREQ("10:54:56 PM", us.asString(&t, 'X', RWZone::utc()).data());
    struct tm parsed {};
    ASSERT_TRUE(us.stringToDate(us.asString(&t, 'x', RWZone::utc()), &parsed));
    EXPECT_EQ(90, parsed.tm_year);
    EXPECT_EQ(10, parsed.tm_mon);
    EXPECT_EQ(30, parsed.tm_mday);
}

}  // namespace

// Tests of the snapshot's format templates for a locale whose date and time fields stand
// side by side without separators ("%d%m%Y", "%M%S"), built for the test with localedef.
using testlocales::calendarTime;
using testlocales::strftimeIn;

namespace {

const char kLocaleName[] = "xx_DMY.UTF-8";

const char kLocaleSource[] =
    "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
    "LC_NUMERIC\ncopy \"POSIX\"\nEND LC_NUMERIC\n"
    "LC_MONETARY\ncopy \"POSIX\"\nEND LC_MONETARY\n"
    "LC_COLLATE\ncopy \"POSIX\"\nEND LC_COLLATE\n"
    "LC_MESSAGES\ncopy \"POSIX\"\nEND LC_MESSAGES\n"
    "LC_TIME\n"
    "abday \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
    "day \"Sunday\";\"Monday\";\"Tuesday\";\"Wednesday\";\"Thursday\";\"Friday\";\"Saturday\"\n"
    "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";\"Oct\";\"Nov\";\"Dec\"\n"
    "mon \"January\";\"February\";\"March\";\"April\";\"May\";\"June\";\"July\";\"August\";"
    "\"September\";\"October\";\"November\";\"December\"\n"
    "d_t_fmt \"%a %d%m%Y %H%M%S\"\n"
    "d_fmt \"%d%m%Y\"\n"
    "t_fmt \"%M%S\"\n"
    "am_pm \"AM\";\"PM\"\n"
    "t_fmt_ampm \"%I:%M:%S %p\"\n"
    "END LC_TIME\n";

// Compiles the test locale into a private folder and points LOCPATH at it. localedef warns
// (and exits non-zero) about the categories the source leaves out; the locale is usable anyway.
bool prepareLocale()
{
    static TempDir folder;
    static int state = 0;  // 0 not tried, 1 ready, -1 unavailable
    if (state != 0)
        return state > 0;
    state = -1;
    const std::string source = folder.write("xx_DMY", kLocaleSource);
    const std::string out = folder.file(kLocaleName);
    if (testlocales::runLocaledef(source.c_str(), out) < 0 || !std::filesystem::exists(out + "/LC_TIME"))
        return false;
    setenv("LOCPATH", folder.path().c_str(), 1);
    if (!testlocales::localeInstalled(kLocaleName))
        return false;
    state = 1;
    return true;
}


TEST(RWLocaleTemplateTest, AdjacentFieldsKeepTheirOrder)
{
    if (!prepareLocale())
        GTEST_SKIP() << "localedef cannot build the test locale here";
    RWLocaleSnapshot snap(kLocaleName);
    locale_t loc = newlocale(LC_ALL_MASK, kLocaleName, nullptr);
    ASSERT_NE(nullptr, loc);
    const struct {
        char letter;
        const char* format;
    } directives[] = {{'x', "%x"}, {'X', "%X"}, {'c', "%c"}};
    for (struct tm t : {calendarTime(90, 10, 30, 22, 54, 56), calendarTime(101, 0, 5, 3, 4, 7)})
        for (const auto& d : directives)
            EXPECT_EQ(strftimeIn(loc, d.format, &t), snap.asString(&t, d.letter, RWZone::utc()).data())
                << d.format;
    freelocale(loc);
}

TEST(RWLocaleTemplateTest, DayMonthYearOrderComesFromTheTemplate)
{
    if (!prepareLocale())
        GTEST_SKIP() << "localedef cannot build the test locale here";
    RWLocaleSnapshot snap(kLocaleName);
    const struct {
        const char* text;
        int year, mon, mday;
    } cases[] = {{"30111990", 90, 10, 30}, {"05012001", 101, 0, 5}, {"5.1.2001", 101, 0, 5}};
    for (const auto& c : cases) {
        struct tm t {};
        ASSERT_TRUE(snap.stringToDate(RWCString(c.text), &t)) << c.text;
        EXPECT_EQ(c.year, t.tm_year) << c.text;
        EXPECT_EQ(c.mon, t.tm_mon) << c.text;
        EXPECT_EQ(c.mday, t.tm_mday) << c.text;
    }
}

}  // namespace
