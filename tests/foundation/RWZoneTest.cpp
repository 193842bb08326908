// Tests of RWZoneSimple: the zone table, the daylight rule chains and the process-wide zones.
#include "foundation/RWZone.h"

#include <climits>
#include <ctime>

#include <gtest/gtest.h>

#include "foundation/RWDate.h"
#include "platform/sys.h"

namespace {

struct tm localTime(unsigned day, unsigned month, unsigned year, int hour, int minute)
{
    struct tm t {};
    RWDate(day, month, year).extract(&t);
    t.tm_hour = hour;
    t.tm_min = minute;
    return t;
}

TEST(RWZoneTest, ZonesFromTheTable)
{
    struct Case {
        int zone, rules;
        const char *name, *altName;
        long offset, altOffset;
    } cases[] = {
        {5, 1, "EST", "EDT", 18000, 14400},      {-1, 0, "MET", "MET", -3600, -3600},
        {-1, 2, "MET", "MET DST", -3600, -7200}, {0, 2, "GMT", "WET DST", 0, -3600},
        {-12, 0, "GMT+12", "GMT+12", -43200, -43200}, {11, 1, "GMT-11", "GMT-12", 39600, 36000},
        {8, 1, "PST", "PDT", 28800, 25200},
    };
    for (const Case& c : cases) {
        RWZoneSimple z(c.zone, c.rules);
        EXPECT_STREQ(c.name, z.timeZoneName().data()) << c.zone;
        EXPECT_STREQ(c.altName, z.altZoneName().data()) << c.zone;
        EXPECT_EQ(c.offset, z.timeZoneOffset()) << c.zone;
        EXPECT_EQ(c.altOffset, z.altZoneOffset()) << c.zone;
        EXPECT_EQ(c.rules != 0, z.daylightObserved()) << c.zone;
    }
    // Outside the table: no read past its end.
    RWZoneSimple outside(13, 0);
    EXPECT_STREQ("", outside.timeZoneName().data());
    EXPECT_STREQ("GMT", RWZone::utc().timeZoneName().data());
    EXPECT_STREQ("GMT", RWZone::utc().altZoneName().data());
    EXPECT_EQ(0, RWZone::utc().timeZoneOffset());
    EXPECT_FALSE(RWZone::utc().daylightObserved());
}

TEST(RWZoneTest, NorthAmericanBoundaries)
{
    RWZoneSimple eastern(5, 1);
    struct Case {
        unsigned day, month, year;
        int hour, minute;
        bool daylight;
    } cases[] = {
        {5, 4, 1987, 1, 59, false},  {5, 4, 1987, 2, 0, true},    {25, 10, 1987, 1, 59, true},
        {25, 10, 1987, 2, 0, false}, {1, 7, 1987, 12, 0, true},   {1, 1, 1987, 12, 0, false},
        {22, 2, 1975, 12, 0, false}, {23, 2, 1975, 2, 0, true},   {5, 1, 1974, 12, 0, false},
        {6, 1, 1974, 2, 0, true},    {26, 4, 1986, 12, 0, false}, {27, 4, 1986, 2, 0, true},
        {30, 4, 1960, 12, 0, true},  {23, 4, 1960, 12, 0, false}, {1, 4, 2001, 2, 0, true},
        {28, 10, 2001, 2, 0, false},
    };
    for (const Case& c : cases) {
        struct tm t = localTime(c.day, c.month, c.year, c.hour, c.minute);
        EXPECT_EQ(c.daylight, eastern.isDaylight(&t))
            << c.day << "." << c.month << "." << c.year << " " << c.hour << ":" << c.minute;
    }
}

TEST(RWZoneTest, BeginAndEndOfDaylightTime)
{
    RWZoneSimple eastern(5, 1);
    struct Case {
        int year;
        bool begin;
        int mon, mday, hour;
    } cases[] = {
        {1987, true, 3, 5, 2}, {1987, false, 9, 25, 2}, {1975, true, 1, 23, 2},
        {1974, true, 0, 6, 2}, {1986, true, 3, 27, 2},  {1968, true, 3, 7, 2},
    };
    for (const Case& c : cases) {
        struct tm t {};
        t.tm_year = c.year - 1900;
        if (c.begin)
            eastern.getBeginDaylight(&t);
        else
            eastern.getEndDaylight(&t);
        EXPECT_EQ(c.mon, t.tm_mon) << c.year;
        EXPECT_EQ(c.mday, t.tm_mday) << c.year;
        EXPECT_EQ(c.hour, t.tm_hour) << c.year;
        EXPECT_EQ(0, t.tm_min);
        EXPECT_EQ(0, t.tm_wday);
        EXPECT_EQ(-1, t.tm_isdst);
    }
}

TEST(RWZoneTest, WesternEuropeHasNoRuleBefore1998)
{
    RWZoneSimple central(-1, 2);
    struct tm summer = localTime(1, 7, 1997, 12, 0);
    EXPECT_FALSE(central.isDaylight(&summer));
    struct tm t {};
    t.tm_year = 97;
    central.getBeginDaylight(&t);
    for (int field : {t.tm_sec, t.tm_min, t.tm_hour, t.tm_mday, t.tm_mon, t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst})
        EXPECT_EQ(INT_MIN, field);

    t = {};
    t.tm_year = 100;
    central.getBeginDaylight(&t);
    EXPECT_EQ(2, t.tm_mon);
    EXPECT_EQ(26, t.tm_mday);
    EXPECT_EQ(1, t.tm_hour);
    struct tm before = localTime(26, 3, 2000, 0, 59), after = localTime(26, 3, 2000, 1, 0);
    EXPECT_FALSE(central.isDaylight(&before));
    EXPECT_TRUE(central.isDaylight(&after));
    struct tm lastHour = localTime(29, 10, 2000, 0, 59), standard = localTime(29, 10, 2000, 1, 0);
    EXPECT_TRUE(central.isDaylight(&lastHour));
    EXPECT_FALSE(central.isDaylight(&standard));
}

TEST(RWZoneTest, RuleChainsAreLinked)
{
    EXPECT_EQ(nullptr, RWZoneSimple::dstRules(0));
    int count = 0;
    int previousYear = 32767;
    for (const RWDaylightRule* r = RWZoneSimple::dstRules(1); r; r = r->next) {
        EXPECT_LT(r->firstYear, previousYear);
        previousYear = r->firstYear;
        ++count;
    }
    EXPECT_EQ(6, count);
    EXPECT_EQ(nullptr, RWZoneSimple::dstRules(2)->next);
}

TEST(RWZoneTest, LocalZoneComesFromTheZoneFacts)
{
    RWZone::releaseTimeStatics();
    platform::sys::setZoneFactsProvider([] {
        platform::sys::ZoneFacts f;
        f.secondsWestOfGmt = 28800;
        f.observesDaylight = true;
        f.standardName = "PST";
        f.daylightName = "PDT";
        return f;
    });
    const RWZone& local = RWZone::local();
    EXPECT_EQ(28800, local.timeZoneOffset());
    EXPECT_EQ(25200, local.altZoneOffset());
    EXPECT_TRUE(local.daylightObserved());
    EXPECT_STREQ("PST", local.timeZoneName().data());
    EXPECT_STREQ("PDT", local.altZoneName().data());
    // Cached: a later change of the facts does not reach the zone made already.
    platform::sys::setZoneFactsProvider([] { return platform::sys::ZoneFacts{}; });
    EXPECT_EQ(&local, &RWZone::local());
    EXPECT_EQ(28800, RWZone::standard().timeZoneOffset());
    EXPECT_FALSE(RWZone::standard().daylightObserved());
    EXPECT_EQ(0, RWZone::system().timeZoneOffset());
    EXPECT_FALSE(RWZone::system().daylightObserved());

    RWZoneSimple mine(-1, 2);
    const RWZone* previous = RWZone::local(&mine);
    EXPECT_EQ(&local, previous);
    EXPECT_EQ(&mine, &RWZone::local());
    EXPECT_EQ(&mine, RWZone::local(previous));
    platform::sys::setZoneFactsProvider(nullptr);
    RWZone::releaseTimeStatics();
}

}  // namespace
