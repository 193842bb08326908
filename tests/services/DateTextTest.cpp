// Tests of dates and times read from texts.
#include "services/DateText.h"

#include <gtest/gtest.h>

TEST(DateText, ParseDateInBothOrders)
{
    struct Case {
        const char* text;
        unsigned day, month, year;  // 0 for the invalid date
    } cases[] = {
        {"12.05.07", 12, 5, 2007}, {"05/12/2007", 12, 5, 2007}, {"1.2.1999", 1, 2, 1999},
        {"12.05", 0, 0, 0},        {"12.05.", 0, 0, 0},         {"..2007", 0, 0, 0},
        {"nothing", 0, 0, 0},      {"31.02.2007", 0, 0, 0},
    };
    for (const Case& c : cases) {
        RWDate d = parseDate(c.text);
        if (c.day == 0) {
            EXPECT_FALSE(d.isValid()) << c.text;
        } else {
            ASSERT_TRUE(d.isValid()) << c.text;
            EXPECT_EQ(d.dayOfMonth(), c.day) << c.text;
            EXPECT_EQ(d.month(), c.month) << c.text;
            EXPECT_EQ(d.year(), c.year) << c.text;
        }
    }
}

TEST(DateText, ParseDateTimeInTheGivenZone)
{
    const RWZone& utc = RWZone::utc();
    RWTime t = parseDateTime("01.02.2007 10:20:30", utc);
    ASSERT_TRUE(t.isValid());
    EXPECT_EQ(t.seconds(), RWTime(RWDate(1, 2, 2007), 10, 20, 30, utc).seconds());
    EXPECT_EQ(parseDateTime("02/01/07 10:20", utc).seconds(), RWTime(RWDate(1, 2, 2007), 10, 20, 0, utc).seconds());
    EXPECT_FALSE(parseDateTime("01.02 10:20:30", utc).isValid());
    EXPECT_TRUE(hasTimePart("1.2.2007 10:00"));
    EXPECT_FALSE(hasTimePart("1.2.2007"));
    size_t pos = 0;
    EXPECT_STREQ(readUntil("ab:cd", &pos, ':').data(), "ab");
    EXPECT_EQ(pos, 2u);
    EXPECT_STREQ(firstWord("   two words").data(), "two");
}
