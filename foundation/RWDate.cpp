// RWDate: Julian day numbers, calendar arithmetic and the date's links to the locale.
#include "foundation/RWDate.h"

#include <climits>
#include <cstring>

#include "foundation/RWTime.h"

namespace {

const unsigned kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
const unsigned kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Day number of 1 January 1901, day 0 of a year-0 day count.
const unsigned long kJan1st1901 = 2415386;

void markUnusable(struct tm* t)
{
    t->tm_sec = t->tm_min = t->tm_hour = INT_MIN;
    t->tm_mday = t->tm_mon = t->tm_year = INT_MIN;
    t->tm_wday = t->tm_yday = t->tm_isdst = INT_MIN;
}

void mdyOf(unsigned jdn, unsigned& month, unsigned& day, unsigned& year)
{
    // Unsigned 32-bit arithmetic throughout, as the day numbers were always computed.
    uint32_t j = jdn - 1721119u;
    uint32_t y = (4u * j - 1u) / 146097u;
    uint32_t d = (4u * j - 1u - 146097u * y) / 4u;
    uint32_t j2 = (4u * d + 3u) / 1461u;
    d = ((4u * d + 3u) % 1461u + 4u) / 4u;
    uint32_t m = (5u * d - 3u) / 153u;
    day = (5u * d - 3u - 153u * m + 5u) / 5u;
    year = 100u * y + j2;
    if (m < 10u) {
        month = m + 3u;
    } else {
        month = m - 9u;
        ++year;
    }
}

unsigned todayJulian()
{
    time_t now = time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);
    return static_cast<unsigned>(RWDate::jday(t.tm_mon + 1, t.tm_mday, t.tm_year + 1900));
}

}  // namespace

RWDate::RWDate() : julianDay(todayJulian()) {}

RWDate::RWDate(unsigned day, unsigned month, unsigned year)
    : julianDay(static_cast<unsigned>(jday(month, day, year)))
{
}

RWDate::RWDate(unsigned dayOfYear, unsigned year)
{
    if (year == 0) {
        julianDay = static_cast<unsigned>(dayOfYear + kJan1st1901);
        return;
    }
    julianDay = static_cast<unsigned>(jday(12, 31, year - 1));
    if (julianDay != 0)
        julianDay += dayOfYear;
}

RWDate::RWDate(unsigned day, const char* monthName, unsigned year, const RWLocale& locale)
    : julianDay(static_cast<unsigned>(jday(indexOfMonth(monthName, locale), day, year)))
{
}

RWDate::RWDate(const struct tm* t)
    : julianDay(static_cast<unsigned>(jday(t->tm_mon + 1, t->tm_mday, t->tm_year + 1900)))
{
}

RWDate::RWDate(const RWCString& text, const RWLocale& locale) : julianDay(0)
{
    struct tm t {};
    if (locale.stringToDate(text, &t))
        julianDay = static_cast<unsigned>(jday(t.tm_mon + 1, t.tm_mday, t.tm_year + 1900));
}

RWDate::RWDate(const RWTime& time, const RWZone& zone) : julianDay(0)
{
    if (!time.isValid())
        return;
    struct tm t {};
    time.extract(&t, zone);
    julianDay = static_cast<unsigned>(jday(t.tm_mon + 1, t.tm_mday, t.tm_year + 1900));
}

void RWDate::mdy(unsigned& month, unsigned& day, unsigned& year) const
{
    mdyOf(julianDay, month, day, year);
}

unsigned RWDate::month() const
{
    unsigned m, d, y;
    mdy(m, d, y);
    return m;
}

unsigned RWDate::dayOfMonth() const
{
    unsigned m, d, y;
    mdy(m, d, y);
    return d;
}

unsigned RWDate::year() const
{
    unsigned m, d, y;
    mdy(m, d, y);
    return y;
}

unsigned RWDate::day() const
{
    return static_cast<unsigned>(julianDay - jday(12, 31, year() - 1));
}

unsigned RWDate::firstDayOfEachMonth(unsigned month) const
{
    if (!assertIndexOfMonth(month))
        return 0;
    unsigned first = kDaysBeforeMonth[month - 1] + 1;
    if (month >= 3 && leap())
        ++first;
    return first;
}

RWDate RWDate::previous(unsigned weekday) const
{
    return RWDate(static_cast<unsigned long>(julianDay - ((weekDay() + 6 - weekday) % 7 + 1)));
}

RWDate RWDate::next(unsigned weekday) const
{
    return RWDate(static_cast<unsigned long>(julianDay + ((weekday + 6 - weekDay()) % 7 + 1)));
}

RWDate RWDate::previous(const char* dayName, const RWLocale& locale) const
{
    return previous(weekDayNumber(dayName, locale));
}

RWDate RWDate::next(const char* dayName, const RWLocale& locale) const
{
    return next(weekDayNumber(dayName, locale));
}

int RWDate::compareTo(const RWDate* other) const
{
    if (julianDay == other->julianDay)
        return 0;
    return julianDay > other->julianDay ? 1 : -1;
}

RWDate RWDate::max(const RWDate& other) const
{
    return other.julianDay > julianDay ? other : *this;
}

RWDate RWDate::min(const RWDate& other) const
{
    return other.julianDay < julianDay ? other : *this;
}

bool RWDate::between(const RWDate& a, const RWDate& b) const
{
    return a.julianDay <= julianDay && julianDay <= b.julianDay;
}

void RWDate::extract(struct tm* t) const
{
    if (!isValid()) {
        markUnusable(t);
        return;
    }
    unsigned m, d, y;
    mdy(m, d, y);
    t->tm_year = static_cast<int>(y) - 1900;
    t->tm_mon = static_cast<int>(m) - 1;
    t->tm_mday = static_cast<int>(d);
    t->tm_wday = static_cast<int>(weekDay() % 7);
    t->tm_yday = static_cast<int>(kDaysBeforeMonth[m - 1] + d - 1);
    if (m > 2 && leapYear(y))
        ++t->tm_yday;
    t->tm_sec = t->tm_min = t->tm_hour = 0;
    t->tm_isdst = -1;
}

unsigned long RWDate::jday(unsigned month, unsigned day, unsigned year)
{
    if (year < 100)
        year += 1900;
    if (!dayWithinMonth(month, day, year))
        return 0;
    uint32_t m, y;
    if (month > 2) {
        m = month - 3;
        y = year;
    } else {
        m = month + 9;
        y = year - 1;
    }
    uint32_t c = y / 100;
    uint32_t ya = y - 100 * c;
    uint32_t jdn = (146097u * c) / 4u + (1461u * ya) / 4u + (153u * m + 2u) / 5u + day + 1721119u;
    unsigned rm, rd, ry;
    mdyOf(jdn, rm, rd, ry);
    if (ry != year)
        return 0;
    return jdn;
}

bool RWDate::dayWithinMonth(unsigned month, unsigned day, unsigned year)
{
    return day != 0 && day <= daysInMonthYear(month, year);
}

unsigned RWDate::daysInMonthYear(unsigned month, unsigned year)
{
    if (!assertIndexOfMonth(month))
        return 0;
    unsigned days = kDaysInMonth[month - 1];
    if (month == 2 && leapYear(year))
        ++days;
    return days;
}

unsigned RWDate::daysInYear(unsigned year)
{
    return leapYear(year) ? 366 : 365;
}

bool RWDate::leapYear(unsigned year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

unsigned RWDate::indexOfMonth(const char* name, const RWLocale& locale)
{
    return static_cast<unsigned>(locale.monthIndex(RWCString(name ? name : "")));
}

unsigned RWDate::weekDayNumber(const char* name, const RWLocale& locale)
{
    return static_cast<unsigned>(locale.weekdayIndex(RWCString(name ? name : "")));
}

RWCString RWDate::nameOfDay(unsigned weekday, const RWLocale& locale)
{
    struct tm t {};
    t.tm_wday = static_cast<int>(weekday % 7);
    return locale.asString(&t, 'A', RWZone::local());
}

RWCString RWDate::nameOfMonth(unsigned month, const RWLocale& locale)
{
    struct tm t {};
    t.tm_mon = static_cast<int>(month) - 1;
    return locale.asString(&t, 'B', RWZone::local());
}

unsigned long RWDate::currentDayNumber()
{
    return todayJulian();
}
