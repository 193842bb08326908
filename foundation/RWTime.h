// RWTime: a point in time as 32-bit seconds since 1 January 1901 00:00:00 GMT.
#pragma once

#include <cstdint>
#include <ctime>
#include <iosfwd>

#include "foundation/RWCString.h"
#include "foundation/RWDate.h"
#include "foundation/RWLocale.h"
#include "foundation/RWZone.h"

class RWFile;
class RWvistream;
class RWvostream;

class RWTime {
public:
    // The current time.
    RWTime();
    // The count, unchanged (0 is the invalid time).
    RWTime(unsigned long s) : sec(static_cast<uint32_t>(s)) {}
    // Today (local calendar) at that clock time in zone.
    RWTime(unsigned hour, unsigned minute, unsigned second = 0, const RWZone& zone = RWZone::local());
    RWTime(const RWDate& date, unsigned hour = 0, unsigned minute = 0, unsigned second = 0,
           const RWZone& zone = RWZone::local());
    RWTime(const struct tm* t, const RWZone& zone = RWZone::local());
    RWTime(const RWDate& date, const RWCString& text, const RWZone& zone = RWZone::local(),
           const RWLocale& locale = RWLocale::global());

    unsigned long seconds() const { return sec; }
    unsigned long hash() const { return sec; }
    bool isValid() const { return sec != 0; }

    // The broken-down local time in zone; the invalid time marks every field with INT_MIN.
    void extract(struct tm* t, const RWZone& zone = RWZone::local()) const;
    unsigned hour(const RWZone& zone = RWZone::local()) const;
    unsigned minute(const RWZone& zone = RWZone::local()) const;
    unsigned hourGMT() const { return sec % 86400 / 3600; }
    unsigned minuteGMT() const { return sec % 86400 % 3600 / 60; }
    unsigned second() const { return sec % 60; }
    bool isDST(const RWZone& zone = RWZone::local()) const;

    int compareTo(const RWTime* other) const;
    RWTime max(const RWTime& other) const;
    RWTime min(const RWTime& other) const;

    RWTime& operator+=(unsigned long s)
    {
        sec += static_cast<uint32_t>(s);
        return *this;
    }
    RWTime& operator-=(unsigned long s)
    {
        sec -= static_cast<uint32_t>(s);
        return *this;
    }

    RWCString asString(const char* format, const RWZone& zone = RWZone::local(),
                       const RWLocale& locale = RWLocale::global()) const;
    // letter 0 gives the date ('x'), one blank and the time ('X').
    RWCString asString(char letter = 0, const RWZone& zone = RWZone::local(),
                       const RWLocale& locale = RWLocale::global()) const;

    void saveOn(RWvostream& stream) const;
    void saveOn(RWFile& file) const;
    void restoreFrom(RWvistream& stream);
    void restoreFrom(RWFile& file);

    static RWTime now() { return RWTime(currentTime()); }
    static unsigned long currentTime();
    // Whether d lies within the scale: 1 January 1901 to 5 February 2037.
    static bool assertDate(const RWDate& d);
    // GMT instants at which daylight time begins and ends in year; 0 when zone has no rule for it.
    static RWTime beginDST(unsigned year, const RWZone& zone = RWZone::local());
    static RWTime endDST(unsigned year, const RWZone& zone = RWZone::local());

private:
    static uint32_t buildFrom(const RWDate& date, unsigned hour, unsigned minute, unsigned second,
                              const RWZone& zone);

    uint32_t sec;
};

inline bool operator==(const RWTime& a, const RWTime& b) { return a.seconds() == b.seconds(); }
inline bool operator!=(const RWTime& a, const RWTime& b) { return a.seconds() != b.seconds(); }
inline bool operator<(const RWTime& a, const RWTime& b) { return a.seconds() < b.seconds(); }
inline bool operator<=(const RWTime& a, const RWTime& b) { return a.seconds() <= b.seconds(); }
inline bool operator>(const RWTime& a, const RWTime& b) { return a.seconds() > b.seconds(); }
inline bool operator>=(const RWTime& a, const RWTime& b) { return a.seconds() >= b.seconds(); }
inline RWTime operator+(const RWTime& t, unsigned long s) { return RWTime(t.seconds() + s); }
inline RWTime operator+(unsigned long s, const RWTime& t) { return RWTime(t.seconds() + s); }
inline RWTime operator-(const RWTime& t, unsigned long s) { return RWTime(t.seconds() - s); }

// Writes asString(0, RWZone::local(), RWLocale::of(stream)).
std::ostream& operator<<(std::ostream& stream, const RWTime& time);
