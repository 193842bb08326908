// RWDate: a calendar date of the proleptic Gregorian calendar held as a Julian day number.
#pragma once

#include <ctime>

#include "foundation/RWCString.h"
#include "foundation/RWLocale.h"
#include "foundation/RWZone.h"

class RWTime;

class RWDate {
public:
    // Today in local time.
    RWDate();
    // The Julian day number, unchecked.
    RWDate(unsigned long jdn) : julianDay(static_cast<unsigned>(jdn)) {}
    RWDate(unsigned day, unsigned month, unsigned year);
    // Day of the year (year 0: days after 1 January 1901).
    RWDate(unsigned dayOfYear, unsigned year);
    RWDate(unsigned day, const char* monthName, unsigned year, const RWLocale& locale = RWLocale::global());
    RWDate(const struct tm* t);
    RWDate(const RWCString& text, const RWLocale& locale = RWLocale::global());
    RWDate(const RWTime& time, const RWZone& zone = RWZone::local());

    unsigned long julian() const { return julianDay; }
    unsigned long hash() const { return julianDay; }
    bool isValid() const { return julianDay > 0; }

    void mdy(unsigned& month, unsigned& day, unsigned& year) const;
    unsigned month() const;
    unsigned dayOfMonth() const;
    unsigned year() const;
    unsigned weekDay() const { return julianDay % 7 + 1; }  // 1 = Monday ... 7 = Sunday
    unsigned day() const;                                  // day of the year, 1 to 366
    bool leap() const { return leapYear(year()); }
    unsigned firstDayOfEachMonth(unsigned month) const;

    RWDate previous(unsigned weekday) const;
    RWDate next(unsigned weekday) const;
    RWDate previous(const char* dayName, const RWLocale& locale = RWLocale::global()) const;
    RWDate next(const char* dayName, const RWLocale& locale = RWLocale::global()) const;

    int compareTo(const RWDate* other) const;
    RWDate max(const RWDate& other) const;
    RWDate min(const RWDate& other) const;
    bool between(const RWDate& a, const RWDate& b) const;

    // Fills the date fields of t; the invalid date marks every field with INT_MIN.
    void extract(struct tm* t) const;

    RWDate& operator--()
    {
        --julianDay;
        return *this;
    }
    RWDate operator--(int)
    {
        RWDate old = *this;
        --julianDay;
        return old;
    }

    static unsigned long jday(unsigned month, unsigned day, unsigned year);
    static bool dayWithinMonth(unsigned month, unsigned day, unsigned year);
    static unsigned daysInMonthYear(unsigned month, unsigned year);
    static unsigned daysInYear(unsigned year);
    static bool leapYear(unsigned year);
    static bool assertIndexOfMonth(unsigned month) { return month >= 1 && month <= 12; }
    static unsigned indexOfMonth(const char* name, const RWLocale& locale = RWLocale::global());
    static unsigned weekDayNumber(const char* name, const RWLocale& locale = RWLocale::global());
    static RWCString nameOfDay(unsigned weekday, const RWLocale& locale = RWLocale::global());
    static RWCString nameOfMonth(unsigned month, const RWLocale& locale = RWLocale::global());
    static unsigned long currentDayNumber();

private:
    unsigned julianDay;
};

inline bool operator<(const RWDate& a, const RWDate& b) { return a.julian() < b.julian(); }
inline bool operator<=(const RWDate& a, const RWDate& b) { return a.julian() <= b.julian(); }
inline bool operator>(const RWDate& a, const RWDate& b) { return a.julian() > b.julian(); }
inline bool operator>=(const RWDate& a, const RWDate& b) { return a.julian() >= b.julian(); }
inline bool operator==(const RWDate& a, const RWDate& b) { return a.julian() == b.julian(); }
inline bool operator!=(const RWDate& a, const RWDate& b) { return a.julian() != b.julian(); }
// The signed difference in days.
inline long operator-(const RWDate& a, const RWDate& b)
{
    return static_cast<long>(a.julian()) - static_cast<long>(b.julian());
}
inline RWDate operator+(const RWDate& d, unsigned long days) { return RWDate(d.julian() + days); }
inline RWDate operator-(const RWDate& d, unsigned long days) { return RWDate(d.julian() - days); }
