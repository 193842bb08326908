// RWTime: conversions between the 32-bit second count and calendar time in a zone.
#include "foundation/RWTime.h"

#include <climits>
#include <ostream>

#include "foundation/RWFile.h"
#include "foundation/RWvstream.h"

namespace {

const unsigned long kJan1st1901 = 2415386;      // day 0 of the scale
const unsigned long kDec31st1900 = 2415385;  // the earliest date a zone west of GMT can use
const unsigned long kLastWholeDay = 2465095;    // 5 February 2037
const uint32_t kSecondsFrom1901To1970 = 2177452800u;
const int64_t kSecondsPerDay = 86400;
const int64_t kMaxCount = 0xFFFFFFFFLL;

void markUnusable(struct tm* t)
{
    t->tm_sec = t->tm_min = t->tm_hour = INT_MIN;
    t->tm_mday = t->tm_mon = t->tm_year = INT_MIN;
    t->tm_wday = t->tm_yday = t->tm_isdst = INT_MIN;
}

bool inScale(int64_t v) { return v >= 0 && v <= kMaxCount; }

// The seconds of a local clock time on date turned into a count, local = GMT - offset. The sum is
// formed in 64 bits, so only a true count outside the scale gives 0 (never a wrapped one).
uint32_t applyOffset(const RWDate& date, int64_t localSeconds, int64_t offset)
{
    const int64_t days = static_cast<int64_t>(date.julian()) - static_cast<int64_t>(kJan1st1901);
    const int64_t v = localSeconds + offset + days * kSecondsPerDay;
    return inScale(v) ? static_cast<uint32_t>(v) : 0;
}

// Splits a count into local calendar fields with offset seconds west of GMT. Done in 64 bits
// so that zones east of GMT do not wrap on the scale's last day.
void split(uint32_t sec, long offset, struct tm* t)
{
    const int64_t local = static_cast<int64_t>(sec) - static_cast<int64_t>(offset);
    int64_t days = local / kSecondsPerDay;
    int64_t rest = local % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    RWDate(static_cast<unsigned long>(static_cast<int64_t>(kJan1st1901) + days)).extract(t);
    t->tm_hour = static_cast<int>(rest / 3600);
    t->tm_min = static_cast<int>(rest % 3600 / 60);
    t->tm_sec = static_cast<int>(rest % 60);
    t->tm_isdst = 0;
}

// Whether the daylight reading of sec applies: both the standard and the daylight readings
// of the count must lie in daylight time.
bool daylightReading(uint32_t sec, const RWZone& zone, struct tm* daylight)
{
    struct tm standard {};
    split(sec, zone.timeZoneOffset(), &standard);
    if (!zone.isDaylight(&standard))
        return false;
    split(sec, zone.altZoneOffset(), daylight);
    return zone.isDaylight(daylight);
}

// Shifts a GMT count by a signed number of seconds; leaving the scale gives 0.
RWTime shifted(const RWTime& t, long seconds)
{
    const int64_t v = static_cast<int64_t>(t.seconds()) + seconds;
    return RWTime(static_cast<unsigned long>(inScale(v) ? v : 0));
}

}  // namespace

RWTime::RWTime() : sec(static_cast<uint32_t>(currentTime())) {}

RWTime::RWTime(unsigned hour, unsigned minute, unsigned second, const RWZone& zone)
    : sec(buildFrom(RWDate(), hour, minute, second, zone))
{
}

RWTime::RWTime(const RWDate& date, unsigned hour, unsigned minute, unsigned second, const RWZone& zone)
    : sec(buildFrom(date, hour, minute, second, zone))
{
}

RWTime::RWTime(const struct tm* t, const RWZone& zone)
    : sec(buildFrom(RWDate(t), static_cast<unsigned>(t->tm_hour), static_cast<unsigned>(t->tm_min),
                    static_cast<unsigned>(t->tm_sec), zone))
{
}

RWTime::RWTime(const RWDate& date, const RWCString& text, const RWZone& zone, const RWLocale& locale) : sec(0)
{
    struct tm t {};
    if (date.isValid() && locale.stringToTime(text, &t))
        sec = buildFrom(date, static_cast<unsigned>(t.tm_hour), static_cast<unsigned>(t.tm_min),
                        static_cast<unsigned>(t.tm_sec), zone);
}

uint32_t RWTime::buildFrom(const RWDate& date, unsigned hour, unsigned minute, unsigned second, const RWZone& zone)
{
    if (!date.isValid() || date.julian() < kDec31st1900)
        return 0;
    const int64_t s = static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + second;
    if (zone.daylightObserved()) {
        struct tm t {};
        date.extract(&t);
        t.tm_hour = static_cast<int>(hour);
        t.tm_min = static_cast<int>(minute);
        t.tm_sec = static_cast<int>(second);
        if (zone.isDaylight(&t)) {
            const uint32_t count = applyOffset(date, s, zone.altZoneOffset());
            if (count == 0)
                return 0;
            // A clock time in the hour skipped when daylight time begins does not exist.
            return RWTime(static_cast<unsigned long>(count)).isDST(zone) ? count : 0;
        }
    }
    return applyOffset(date, s, zone.timeZoneOffset());
}

void RWTime::extract(struct tm* t, const RWZone& zone) const
{
    if (sec == 0) {
        markUnusable(t);
        return;
    }
    split(sec, zone.timeZoneOffset(), t);
    if (!zone.daylightObserved() || !zone.isDaylight(t))
        return;
    struct tm daylight {};
    split(sec, zone.altZoneOffset(), &daylight);
    if (zone.isDaylight(&daylight)) {
        *t = daylight;
        t->tm_isdst = 1;
    }
}

unsigned RWTime::hour(const RWZone& zone) const
{
    struct tm t {};
    extract(&t, zone);
    return static_cast<unsigned>(t.tm_hour);
}

unsigned RWTime::minute(const RWZone& zone) const
{
    struct tm t {};
    extract(&t, zone);
    return static_cast<unsigned>(t.tm_min);
}

bool RWTime::isDST(const RWZone& zone) const
{
    if (!zone.daylightObserved() || sec == 0)
        return false;
    struct tm daylight {};
    return daylightReading(sec, zone, &daylight);
}

int RWTime::compareTo(const RWTime* other) const
{
    if (sec == other->sec)
        return 0;
    return sec > other->sec ? 1 : -1;
}

RWTime RWTime::max(const RWTime& other) const
{
    return other.sec < sec ? *this : other;
}

RWTime RWTime::min(const RWTime& other) const
{
    return sec < other.sec ? *this : other;
}

RWCString RWTime::asString(const char* format, const RWZone& zone, const RWLocale& locale) const
{
    struct tm t {};
    extract(&t, zone);
    return locale.asString(&t, format, zone);
}

RWCString RWTime::asString(char letter, const RWZone& zone, const RWLocale& locale) const
{
    struct tm t {};
    extract(&t, zone);
    if (letter == 0) {
        RWCString text = locale.asString(&t, 'x', zone);
        text.append(" ");
        text.append(locale.asString(&t, 'X', zone));
        return text;
    }
    return locale.asString(&t, letter, zone);
}

void RWTime::saveOn(RWvostream& stream) const
{
    stream << static_cast<unsigned long>(sec);
}

void RWTime::saveOn(RWFile& file) const
{
    file.write(static_cast<unsigned long>(sec));
}

void RWTime::restoreFrom(RWvistream& stream)
{
    unsigned long value = 0;
    stream >> value;
    sec = static_cast<uint32_t>(value);
}

void RWTime::restoreFrom(RWFile& file)
{
    unsigned long value = 0;
    if (file.read(value))
        sec = static_cast<uint32_t>(value);
}

unsigned long RWTime::currentTime()
{
    return static_cast<uint32_t>(static_cast<uint32_t>(time(nullptr)) + kSecondsFrom1901To1970);
}

bool RWTime::assertDate(const RWDate& d)
{
    return d.julian() >= kJan1st1901 && d.julian() <= kLastWholeDay;
}

RWTime RWTime::beginDST(unsigned year, const RWZone& zone)
{
    if (!zone.daylightObserved())
        return RWTime(0UL);
    struct tm t {};
    t.tm_year = static_cast<int>(year) - 1900;
    zone.getBeginDaylight(&t);
    RWTime boundary(&t, RWZone::utc());
    // No rule for the year: the zero time, not the zero time shifted by the offset.
    if (!boundary.isValid())
        return boundary;
    return shifted(boundary, zone.timeZoneOffset());
}

RWTime RWTime::endDST(unsigned year, const RWZone& zone)
{
    if (!zone.daylightObserved())
        return RWTime(0UL);
    struct tm t {};
    t.tm_year = static_cast<int>(year) - 1900;
    zone.getEndDaylight(&t);
    RWTime boundary(&t, RWZone::utc());
    if (!boundary.isValid())
        return boundary;
    return shifted(boundary, zone.altZoneOffset());
}

std::ostream& operator<<(std::ostream& stream, const RWTime& time)
{
    return stream << time.asString('\0', RWZone::local(), RWLocale::of(stream)).data();
}
