// Tests of RWTime: the 32-bit scale, conversions in zones with and without daylight time, formatting.
#include "foundation/RWTime.h"

#include <climits>
#include <ctime>
#include <sstream>

#include <gtest/gtest.h>

#include "foundation/RWFile.h"
#include "foundation/RWLocale.h"
#include "foundation/RWvstream.h"
#include "tests/support/TempDir.h"

namespace {

const RWZone& utc() { return RWZone::utc(); }

TEST(RWTimeTest, StartAndEndOfTheScale)
{
    RWZoneSimple eastOneHour(-3600L, RWCString("CET"));
    RWZoneSimple eastern(5, 0);
    struct Case {
        RWDate date;
        unsigned hour, minute, second;
        const RWZone* zone;
        unsigned long expected;
    } cases[] = {
        {RWDate(1, 1, 1901), 0, 0, 0, &utc(), 0},
        {RWDate(1, 1, 1901), 0, 0, 1, &utc(), 1},
        {RWDate(31, 12, 1900), 23, 0, 0, &eastOneHour, 0},
        {RWDate(31, 12, 1900), 23, 0, 0, &eastern, 4 * 3600},
        {RWDate(30, 12, 1900), 23, 0, 0, &eastern, 0},
        {RWDate(1, 1, 1901), 0, 30, 0, &eastOneHour, 0},
        {RWDate(1, 1, 1970), 0, 0, 0, &utc(), 2177452800UL},
        // The last second of the scale is 6 February 2037 06:28:15 GMT.
        {RWDate(6, 2, 2037), 6, 28, 15, &utc(), 4294967295UL},
        {RWDate(6, 2, 2037), 6, 28, 16, &utc(), 0},
        {RWDate(6, 2, 2037), 7, 28, 15, &eastOneHour, 4294967295UL},
        {RWDate(6, 2, 2037), 7, 28, 16, &eastOneHour, 0},
        {RWDate(7, 2, 2037), 0, 0, 0, &utc(), 0},
        {RWDate(1, 1, 2100), 0, 0, 0, &eastOneHour, 0},
        {RWDate(1, 1, 2000), 48, 0, 0, &utc(), RWTime(RWDate(3, 1, 2000), 0, 0, 0, utc()).seconds()},
        {RWDate(0UL), 0, 0, 0, &utc(), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, RWTime(c.date, c.hour, c.minute, c.second, *c.zone).seconds())
            << c.date.julian() << " " << c.hour << ":" << c.minute << ":" << c.second;
}

TEST(RWTimeTest, ExtractOnTheScalesLastDayEastOfGmt)
{
    RWZoneSimple eastTwoHours(-7200L, RWCString("EET"));
    struct tm t {};
    RWTime(4294967295UL).extract(&t, eastTwoHours);
    EXPECT_EQ(137, t.tm_year);
    EXPECT_EQ(1, t.tm_mon);
    EXPECT_EQ(6, t.tm_mday);
    EXPECT_EQ(8, t.tm_hour);
    EXPECT_EQ(28, t.tm_min);
    EXPECT_EQ(15, t.tm_sec);
    EXPECT_EQ(0, t.tm_isdst);

    // West of GMT before the start of the scale's first local day.
    RWZoneSimple eastern(5, 0);
    RWTime(3600UL).extract(&t, eastern);
    EXPECT_EQ(0, t.tm_year);
    EXPECT_EQ(11, t.tm_mon);
    EXPECT_EQ(31, t.tm_mday);
    EXPECT_EQ(20, t.tm_hour);

    RWTime(0UL).extract(&t, utc());
    for (int field : {t.tm_sec, t.tm_min, t.tm_hour, t.tm_mday, t.tm_mon, t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst})
        EXPECT_EQ(INT_MIN, field);
}

TEST(RWTimeTest, RoundTripThroughCalendarFields)
{
    RWZoneSimple central(-1, 2);
    RWZoneSimple eastern(5, 1);
    for (const RWZone* zone : {&utc(), static_cast<const RWZone*>(&central), static_cast<const RWZone*>(&eastern)}) {
        for (unsigned long s = 86400; s < 4294000000UL; s += 7777777UL) {
            RWTime t(s);
            struct tm fields {};
            t.extract(&fields, *zone);
            EXPECT_EQ(s, RWTime(&fields, *zone).seconds()) << s;
            EXPECT_EQ(RWDate(&fields), RWDate(t, *zone));
        }
    }
}

TEST(RWTimeTest, SkippedAndRepeatedHoursUnderDaylightRules)
{
    RWZoneSimple eastern(5, 1);
    const RWDate spring(5, 4, 1987), autumn(25, 10, 1987);
    const unsigned long springMidnightGmt = RWTime(spring, 0, 0, 0, utc()).seconds();
    const unsigned long autumnMidnightGmt = RWTime(autumn, 0, 0, 0, utc()).seconds();
    struct Case {
        RWDate date;
        unsigned hour, minute;
        unsigned long expected;
    } cases[] = {
        {spring, 1, 59, springMidnightGmt + 6 * 3600 + 59 * 60},
        {spring, 2, 0, 0},
        {spring, 2, 59, 0},
        {spring, 3, 0, springMidnightGmt + 7 * 3600},
        {autumn, 0, 59, autumnMidnightGmt + 4 * 3600 + 59 * 60},
        {autumn, 1, 30, autumnMidnightGmt + 5 * 3600 + 30 * 60},  // the repeated hour counts as daylight time
        {autumn, 2, 0, autumnMidnightGmt + 7 * 3600},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, RWTime(c.date, c.hour, c.minute, 0, eastern).seconds()) << c.hour << ":" << c.minute;

    struct tm t {};
    RWTime(autumnMidnightGmt + 5 * 3600 + 1800).extract(&t, eastern);
    EXPECT_EQ(1, t.tm_hour);
    EXPECT_EQ(1, t.tm_isdst);
    RWTime(autumnMidnightGmt + 6 * 3600 + 1800).extract(&t, eastern);
    EXPECT_EQ(1, t.tm_hour);
    EXPECT_EQ(0, t.tm_isdst);
    EXPECT_TRUE(RWTime(autumnMidnightGmt + 5 * 3600 + 1800).isDST(eastern));
    EXPECT_FALSE(RWTime(autumnMidnightGmt + 6 * 3600 + 1800).isDST(eastern));
    EXPECT_FALSE(RWTime(autumnMidnightGmt + 5 * 3600 + 1800).isDST(RWZoneSimple(5, 0)));
    EXPECT_EQ(1u, RWTime(autumnMidnightGmt + 5 * 3600 + 1800).hour(eastern));
    EXPECT_EQ(30u, RWTime(autumnMidnightGmt + 5 * 3600 + 1800).minute(eastern));
    EXPECT_EQ(5u, RWTime(autumnMidnightGmt + 5 * 3600 + 1800).hourGMT());
    EXPECT_EQ(30u, RWTime(autumnMidnightGmt + 5 * 3600 + 1800).minuteGMT());
}

TEST(RWTimeTest, DaylightLimitsOfAYear)
{
    RWZoneSimple eastern(5, 1);
    EXPECT_EQ(RWTime(RWDate(5, 4, 1987), 7, 0, 0, utc()), RWTime::beginDST(1987, eastern));
    EXPECT_EQ(RWTime(RWDate(25, 10, 1987), 6, 0, 0, utc()), RWTime::endDST(1987, eastern));
    RWZoneSimple central(-1, 2);
    // The boundaries are local times: 01:00 standard time and 01:00 daylight time.
    EXPECT_EQ(RWTime(RWDate(26, 3, 2000), 0, 0, 0, utc()), RWTime::beginDST(2000, central));
    EXPECT_EQ(RWTime(RWDate(28, 10, 2000), 23, 0, 0, utc()), RWTime::endDST(2000, central));
    // No rule for the year, or no daylight time at all: the zero time.
    EXPECT_EQ(0UL, RWTime::beginDST(1990, central).seconds());
    EXPECT_EQ(0UL, RWTime::endDST(1990, central).seconds());
    EXPECT_EQ(0UL, RWTime::beginDST(1990, utc()).seconds());
}

TEST(RWTimeTest, CurrentTimeIsOnThe1901Scale)
{
    const unsigned long before = static_cast<uint32_t>(static_cast<uint32_t>(time(nullptr)) + 2177452800u);
    const unsigned long now = RWTime::currentTime();
    const unsigned long after = static_cast<uint32_t>(static_cast<uint32_t>(time(nullptr)) + 2177452800u);
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
    EXPECT_LE(before, RWTime().seconds());
    EXPECT_LE(RWTime::now().seconds(), after + 1);
}

TEST(RWTimeTest, CompareAndArithmetic)
{
    RWTime a(100UL), b(200UL);
    EXPECT_EQ(-1, a.compareTo(&b));
    EXPECT_EQ(1, b.compareTo(&a));
    EXPECT_EQ(0, a.compareTo(&a));
    EXPECT_EQ(b, a.max(b));
    EXPECT_EQ(a, a.min(b));
    EXPECT_TRUE(a < b && b > a && b >= a && a != b);
    EXPECT_EQ(b, a + 100UL);
    EXPECT_EQ(a, b - 100UL);
    a += 50;
    EXPECT_EQ(150UL, a.seconds());
    EXPECT_EQ(150UL, a.hash());
    EXPECT_TRUE(RWTime::assertDate(RWDate(1, 1, 1901)));
    EXPECT_TRUE(RWTime::assertDate(RWDate(5, 2, 2037)));
    EXPECT_FALSE(RWTime::assertDate(RWDate(6, 2, 2037)));
    EXPECT_FALSE(RWTime::assertDate(RWDate(31, 12, 1900)));
}

TEST(RWTimeTest, FormattingAndParsingThroughTheLocale)
{
    RWLocaleDefault english;
    RWZoneSimple eastern(5, 1);
    RWTime t(RWDate(30, 11, 1990), 22, 54, 56, eastern);
    EXPECT_STREQ("11/30/90 22:54:56", t.asString('\0', eastern, english).data());
    EXPECT_STREQ("Fri Nov 30 22:54:56 EST 1990", t.asString('C', eastern, english).data());
    EXPECT_STREQ("30.11.1990 10:54 pm", t.asString("%d.%m.%Y %I:%M %p", eastern, english).data());
    RWTime summer(RWDate(4, 7, 1990), 12, 0, 0, eastern);
    EXPECT_STREQ("EDT", summer.asString('Z', eastern, english).data());

    EXPECT_EQ(t, RWTime(RWDate(30, 11, 1990), RWCString("10:54:56 PM"), eastern, english));
    EXPECT_FALSE(RWTime(RWDate(30, 11, 1990), RWCString("25:00"), eastern, english).isValid());
    EXPECT_FALSE(RWTime(RWDate(0UL), RWCString("10:00"), eastern, english).isValid());

    const RWLocale* previousLocale = RWLocale::global(&english);
    const RWZone* previousZone = RWZone::local(&eastern);
    std::ostringstream out;
    out << t;
    EXPECT_EQ("11/30/90 22:54:56", out.str());
    RWZone::local(previousZone);
    RWLocale::global(previousLocale);
}

class WordStream : public RWvostream, public RWvistream {
public:
    RWvostream& operator<<(unsigned long value) override
    {
        word_ = value;
        return *this;
    }
    RWvistream& operator>>(unsigned long& value) override
    {
        value = word_;
        return *this;
    }
    bool good() const override { return true; }

private:
    unsigned long word_ = 0;
};

TEST(RWTimeTest, SavesAndRestoresOneWord)
{
    RWTime t(RWDate(30, 11, 1990), 22, 54, 56, utc());
    WordStream stream;
    t.saveOn(static_cast<RWvostream&>(stream));
    RWTime back(0UL);
    back.restoreFrom(static_cast<RWvistream&>(stream));
    EXPECT_EQ(t, back);

    TempDir dir;
    const std::string path = dir.path() + "/time.bin";
    {
        RWFile file(path.c_str(), "wb+");
        t.saveOn(file);
    }
    RWFile file(path.c_str(), "rb");
    RWTime restored(0UL);
    restored.restoreFrom(file);
    EXPECT_EQ(t, restored);
}

}  // namespace
