// Tests of RWDate: day numbers, the calendar rules and the date's links to the locale.
#include "foundation/RWDate.h"

#include <climits>
#include <ctime>

#include <gtest/gtest.h>

#include "foundation/RWLocale.h"

namespace {

TEST(RWDateTest, JulianDayNumbersOfKnownDates)
{
    struct Case {
        unsigned day, month, year;
        unsigned long jdn;
    } cases[] = {
        {1, 1, 1901, 2415386}, {31, 12, 1900, 2415385}, {1, 1, 1900, 2415021}, {1, 1, 0, 2415021},
        {1, 1, 2000, 2451545}, {29, 2, 2000, 2451604}, {1, 3, 2000, 2451605}, {5, 2, 2037, 2465095},
        {15, 10, 1582, 2299161}, {1, 1, 2100, 2488070},
    };
    for (const Case& c : cases) {
        RWDate d(c.day, c.month, c.year);
        EXPECT_EQ(c.jdn, d.julian()) << c.day << "." << c.month << "." << c.year;
        unsigned m, dd, y;
        d.mdy(m, dd, y);
        EXPECT_EQ(c.day, dd);
        EXPECT_EQ(c.month, m);
        EXPECT_EQ(c.year < 100 ? c.year + 1900 : c.year, y);
    }
}

TEST(RWDateTest, RoundTripsEveryDayAcrossCenturyYears)
{
    for (unsigned year : {1600u, 1700u, 1899u, 1900u, 1999u, 2000u, 2100u, 2400u}) {
        unsigned long expected = RWDate::jday(1, 1, year);
        for (unsigned month = 1; month <= 12; ++month) {
            for (unsigned day = 1; day <= RWDate::daysInMonthYear(month, year); ++day) {
                RWDate d(day, month, year);
                ASSERT_EQ(expected, d.julian()) << day << "." << month << "." << year;
                ASSERT_EQ(day, d.dayOfMonth());
                ASSERT_EQ(month, d.month());
                ASSERT_EQ(year, d.year());
                ++expected;
            }
        }
        EXPECT_EQ(RWDate::daysInYear(year), RWDate(31, 12, year).day());
    }
}

TEST(RWDateTest, InvalidDatesAreZero)
{
    struct Case {
        unsigned day, month, year;
        bool valid;
    } cases[] = {
        {29, 2, 2000, true}, {29, 2, 1996, true}, {29, 2, 1900, false}, {29, 2, 2001, false},
        {0, 1, 2001, false}, {1, 0, 2001, false}, {1, 13, 2001, false}, {31, 4, 2001, false},
        {31, 12, 2001, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.valid, RWDate(c.day, c.month, c.year).isValid()) << c.day << "." << c.month << "." << c.year;
}

TEST(RWDateTest, WeekdaysOfKnownDates)
{
    EXPECT_EQ(6u, RWDate(1, 1, 2000).weekDay());   // Saturday
    EXPECT_EQ(2u, RWDate(1, 1, 1901).weekDay());   // Tuesday
    EXPECT_EQ(5u, RWDate(30, 11, 1990).weekDay()); // Friday
    EXPECT_EQ(7u, RWDate(5, 4, 1987).weekDay());   // Sunday
    EXPECT_EQ(7u, RWDate(20, 7, 1969).weekDay());  // Sunday
    EXPECT_EQ(1u, RWDate(31, 12, 1900).weekDay()); // Monday
}

TEST(RWDateTest, DayOfYearConstructor)
{
    EXPECT_EQ(RWDate(1, 1, 1901).julian(), RWDate(0u, 0u).julian());
    EXPECT_EQ(RWDate(1, 1, 2001).julian(), RWDate(1u, 2001u).julian());
    EXPECT_EQ(RWDate(1, 1, 2002).julian(), RWDate(366u, 2001u).julian());
    EXPECT_EQ(RWDate(31, 12, 2000).julian(), RWDate(366u, 2000u).julian());
}

TEST(RWDateTest, CalendarQueries)
{
    EXPECT_EQ(366u, RWDate(31, 12, 2000).day());
    EXPECT_EQ(365u, RWDate(31, 12, 2001).day());
    EXPECT_EQ(61u, RWDate(5, 5, 2000).firstDayOfEachMonth(3));
    EXPECT_EQ(60u, RWDate(5, 5, 2001).firstDayOfEachMonth(3));
    EXPECT_EQ(32u, RWDate(5, 5, 2000).firstDayOfEachMonth(2));
    EXPECT_EQ(0u, RWDate(5, 5, 2000).firstDayOfEachMonth(13));
    EXPECT_TRUE(RWDate(1, 6, 2000).leap());
    EXPECT_FALSE(RWDate(1, 6, 1900).leap());
    EXPECT_EQ(0u, RWDate::daysInMonthYear(0, 2000));
    EXPECT_EQ(29u, RWDate::daysInMonthYear(2, 2000));
}

TEST(RWDateTest, NextAndPreviousWeekday)
{
    RWDate saturday(1, 1, 2000);
    EXPECT_EQ(RWDate(8, 1, 2000), saturday.next(6u));
    EXPECT_EQ(RWDate(25, 12, 1999), saturday.previous(6u));
    EXPECT_EQ(RWDate(3, 1, 2000), saturday.next(1u));
    EXPECT_EQ(RWDate(27, 12, 1999), saturday.previous(1u));
    EXPECT_EQ(RWDate(2, 1, 2000), saturday.next("Sunday", RWLocaleDefault()));
    EXPECT_EQ(RWDate(31, 12, 1999), saturday.previous("fri", RWLocaleDefault()));
}

TEST(RWDateTest, CompareMinMaxBetween)
{
    RWDate a(1, 1, 2000), b(2, 1, 2000);
    EXPECT_EQ(-1, a.compareTo(&b));
    EXPECT_EQ(1, b.compareTo(&a));
    EXPECT_EQ(0, a.compareTo(&a));
    EXPECT_EQ(b, a.max(b));
    EXPECT_EQ(a, a.min(b));
    EXPECT_TRUE(a.between(a, b));
    EXPECT_TRUE(b.between(a, b));
    EXPECT_FALSE(RWDate(3, 1, 2000).between(a, b));
    EXPECT_EQ(-1, a - b);
    RWDate c = b;
    --c;
    EXPECT_EQ(a, c);
}

TEST(RWDateTest, ExtractFillsDateFields)
{
    struct tm t {};
    RWDate(1, 3, 2000).extract(&t);
    EXPECT_EQ(100, t.tm_year);
    EXPECT_EQ(2, t.tm_mon);
    EXPECT_EQ(1, t.tm_mday);
    EXPECT_EQ(3, t.tm_wday);  // Wednesday
    EXPECT_EQ(60, t.tm_yday);
    EXPECT_EQ(0, t.tm_hour);
    EXPECT_EQ(0, t.tm_min);
    EXPECT_EQ(0, t.tm_sec);
    EXPECT_EQ(-1, t.tm_isdst);

    RWDate(0UL).extract(&t);
    for (int field : {t.tm_sec, t.tm_min, t.tm_hour, t.tm_mday, t.tm_mon, t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst})
        EXPECT_EQ(INT_MIN, field);

    RWDate(1, 3, 2000).extract(&t);
    EXPECT_EQ(RWDate(1, 3, 2000), RWDate(&t));
}

TEST(RWDateTest, NamesAndParsingThroughTheLocale)
{
    RWLocaleDefault english;
    EXPECT_STREQ("Monday", RWDate::nameOfDay(1, english).data());
    EXPECT_STREQ("Sunday", RWDate::nameOfDay(7, english).data());
    EXPECT_STREQ("November", RWDate::nameOfMonth(11, english).data());
    EXPECT_EQ(11u, RWDate::indexOfMonth("nov", english));
    EXPECT_EQ(0u, RWDate::indexOfMonth("Novembre", english));
    EXPECT_EQ(3u, RWDate::weekDayNumber("Wednesday", english));
    EXPECT_EQ(RWDate(30, 11, 1990), RWDate(30, "November", 1990, english));
    EXPECT_FALSE(RWDate(30, "Brumaire", 1990, english).isValid());
    EXPECT_EQ(RWDate(30, 11, 1990), RWDate(RWCString("Nov 30, 1990"), english));
    EXPECT_FALSE(RWDate(RWCString("2/29/1900"), english).isValid());
}

TEST(RWDateTest, TodayMatchesTheCLibrary)
{
    time_t now = time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);
    RWDate today;
    // Allow for midnight passing between the two reads.
    EXPECT_LE(RWDate(&t).julian(), today.julian());
    EXPECT_LE(today.julian(), RWDate(&t).julian() + 1);
    EXPECT_EQ(today.julian(), RWDate::currentDayNumber());
}

}  // namespace
