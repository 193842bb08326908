// RWZone and RWZoneSimple: daylight rule chains, the standard zone table and the process-wide zones.
#include "foundation/RWZone.h"

#include <climits>

#include "foundation/RWDate.h"
#include "foundation/RWLocale.h"
#include "platform/sys.h"

namespace {

// The North American chain, newest rule first.
RWDaylightRule g_naRules[] = {
    {nullptr, 1987, true, {3, 0, 0, 120}, {9, 4, 0, 120}},
    {nullptr, 1976, true, {3, 4, 0, 120}, {9, 4, 0, 120}},
    {nullptr, 1975, true, {1, 4, 0, 120}, {9, 4, 0, 120}},
    {nullptr, 1974, true, {0, 0, 0, 120}, {9, 4, 0, 120}},
    {nullptr, 1967, true, {3, 0, 0, 120}, {9, 4, 0, 120}},
    {nullptr, 0, true, {3, 4, 0, 120}, {9, 4, 0, 120}},
};
// Western Europe: one rule, so earlier years have no daylight time.
RWDaylightRule g_weRules[] = {
    {nullptr, 1998, true, {2, 4, 0, 60}, {9, 4, 0, 60}},
};
bool g_rulesLinked = false;

struct ZoneNames {
    const char* name;
    const char* altName;
};
// Indexed by whole hours west of GMT + 12.
const ZoneNames kZoneTable[24] = {
    {"GMT+12", "GMT+11"}, {"GMT+11", "GMT+10"}, {"GMT+10", "GMT+9"}, {"GMT+9", "GMT+8"},
    {"GMT+8", "GMT+7"},   {"GMT+7", "GMT+6"},   {"GMT+6", "GMT+5"},  {"GMT+5", "GMT+4"},
    {"GMT+4", "GMT+3"},   {"GMT+3", "GMT+2"},   {"EET", "EET DST"},  {"MET", "MET DST"},
    {"GMT", "WET DST"},   {"GMT-1", "GMT-2"},   {"GMT-2", "GMT-3"},  {"GMT-3", "GMT-4"},
    {"GMT-4", "GMT-5"},   {"EST", "EDT"},       {"CST", "CDT"},      {"MST", "MDT"},
    {"PST", "PDT"},       {"YST", "YDT"},       {"GMT-10", "GMT-11"}, {"GMT-11", "GMT-12"},
};

// A zone outside the table gets empty names rather than a read past its end.
const ZoneNames& namesOf(int zone)
{
    static const ZoneNames unknown = {"", ""};
    if (zone < -12 || zone > 11)
        return unknown;
    return kZoneTable[zone + 12];
}

void markUnusable(struct tm* t)
{
    t->tm_sec = t->tm_min = t->tm_hour = INT_MIN;
    t->tm_mday = t->tm_mon = t->tm_year = INT_MIN;
    t->tm_wday = t->tm_yday = t->tm_isdst = INT_MIN;
}

const RWZone* g_local = nullptr;
const RWZone* g_standard = nullptr;
const RWZone* g_system = nullptr;
const RWZone* g_utc = nullptr;

const RWZone* makeFromRuntime()
{
    platform::sys::ZoneFacts facts = platform::sys::localZoneFacts();
    const RWDaylightRule* rule = facts.observesDaylight ? RWZoneSimple::dstRules(RWZoneSimple::NoAm) : nullptr;
    return new RWZoneSimple(rule, facts.secondsWestOfGmt, RWCString(facts.standardName.c_str()),
                            facts.secondsWestOfGmt - 3600, RWCString(facts.daylightName.c_str()));
}

}  // namespace

int RWDaylightBoundary::dayOfMonth(const struct tm* t) const
{
    if (week < 0)
        return weekday;
    if (week >= 4) {
        int last = static_cast<int>(RWDate::daysInMonthYear(static_cast<unsigned>(t->tm_mon + 1),
                                                            static_cast<unsigned>(t->tm_year + 1900)));
        return last - (t->tm_wday - weekday - (t->tm_mday - last) + 7) % 7;
    }
    return week * 7 + (weekday - t->tm_wday + t->tm_mday + 6) % 7 + 1;
}

bool RWDaylightBoundary::isBefore(const struct tm* t) const
{
    if (t->tm_mon != month)
        return t->tm_mon < month;
    int day = dayOfMonth(t);
    if (t->tm_mday == day)
        return t->tm_hour * 60 + t->tm_min < minute;
    return t->tm_mday < day;
}

bool RWDaylightRule::isDaylight(const struct tm* t) const
{
    if (!observed)
        return false;
    bool beforeBegin = begin.isBefore(t);
    bool beforeEnd = end.isBefore(t);
    return (beforeBegin == beforeEnd) != (begin.month < end.month);
}

RWZone::~RWZone() = default;

const RWZone& RWZone::local()
{
    if (!g_local)
        g_local = makeFromRuntime();
    return *g_local;
}

const RWZone& RWZone::system()
{
    if (!g_system)
        g_system = makeFromRuntime();
    return *g_system;
}

const RWZone& RWZone::standard()
{
    if (!g_standard) {
        const RWZone& loc = local();
        g_standard = new RWZoneSimple(loc.timeZoneOffset(), loc.timeZoneName());
    }
    return *g_standard;
}

const RWZone& RWZone::utc()
{
    if (!g_utc)
        g_utc = new RWZoneSimple(0, 0);
    return *g_utc;
}

const RWZone* RWZone::local(const RWZone* z)
{
    const RWZone* previous = g_local;
    g_local = z;
    return previous;
}

const RWZone* RWZone::standard(const RWZone* z)
{
    const RWZone* previous = g_standard;
    g_standard = z;
    return previous;
}

const RWZone* RWZone::system(const RWZone* z)
{
    const RWZone* previous = g_system;
    g_system = z;
    return previous;
}

void RWZone::releaseTimeStatics()
{
    delete local(nullptr);
    delete standard(nullptr);
    delete system(nullptr);
    delete g_utc;
    g_utc = nullptr;
    delete RWLocale::global(nullptr);
}

RWZoneSimple::RWZoneSimple(const RWDaylightRule* rule, long offset, const RWCString& name, long altOffset,
                           const RWCString& altName)
    : rule_(rule),
      daylightObs_(rule != nullptr),
      offset_(static_cast<int32_t>(offset)),
      name_(name),
      altOffset_(static_cast<int32_t>(altOffset)),
      altName_(altName)
{
}

RWZoneSimple::RWZoneSimple(long offset, const RWCString& name)
    : rule_(nullptr),
      daylightObs_(false),
      offset_(static_cast<int32_t>(offset)),
      name_(name),
      altOffset_(static_cast<int32_t>(offset)),
      altName_(name)
{
}

RWZoneSimple::RWZoneSimple(int zone, const RWDaylightRule* rule)
    : rule_(rule),
      daylightObs_(rule != nullptr),
      offset_(zone * 3600),
      name_(namesOf(zone).name),
      altOffset_(rule ? (zone - 1) * 3600 : zone * 3600),
      altName_(rule ? namesOf(zone).altName : namesOf(zone).name)
{
}

RWZoneSimple::RWZoneSimple(int zone, int ruleKind) : RWZoneSimple(zone, dstRules(ruleKind))
{
    daylightObs_ = ruleKind != 0;
}

RWZoneSimple::~RWZoneSimple() = default;

const RWDaylightRule* RWZoneSimple::dstRules(int kind)
{
    if (!g_rulesLinked) {
        const size_t count = sizeof g_naRules / sizeof g_naRules[0];
        for (size_t i = 0; i + 1 < count; ++i)
            g_naRules[i].next = &g_naRules[i + 1];
        g_rulesLinked = true;
    }
    switch (kind) {
    case NoAm:
        return g_naRules;
    case WeEu:
        return g_weRules;
    default:
        return nullptr;
    }
}

const RWDaylightRule* RWZoneSimple::ruleFor(int year) const
{
    const int16_t y = static_cast<int16_t>(year);
    for (const RWDaylightRule* r = rule_; r; r = r->next)
        if (r->firstYear <= y)
            return r;
    return nullptr;
}

bool RWZoneSimple::isDaylight(const struct tm* t) const
{
    if (!daylightObs_)
        return false;
    const RWDaylightRule* r = ruleFor(t->tm_year + 1900);
    return r && r->isDaylight(t);
}

namespace {

void fillFromBoundary(struct tm* t, const RWDaylightBoundary& b)
{
    const int year = t->tm_year + 1900;
    t->tm_mon = b.month;
    t->tm_mday = 1;
    t->tm_wday = static_cast<int>(RWDate(1, static_cast<unsigned>(b.month + 1), static_cast<unsigned>(year)).weekDay() % 7);
    t->tm_mday = b.dayOfMonth(t);
    t->tm_wday = b.weekday;
    t->tm_hour = b.minute / 60;
    t->tm_min = b.minute % 60;
    t->tm_sec = 0;
    t->tm_isdst = -1;
}

}  // namespace

void RWZoneSimple::getBeginDaylight(struct tm* t) const
{
    const RWDaylightRule* r = daylightObs_ ? ruleFor(t->tm_year + 1900) : nullptr;
    if (r && r->observed)
        fillFromBoundary(t, r->begin);
    else
        markUnusable(t);
}

void RWZoneSimple::getEndDaylight(struct tm* t) const
{
    const RWDaylightRule* r = daylightObs_ ? ruleFor(t->tm_year + 1900) : nullptr;
    if (r && r->observed)
        fillFromBoundary(t, r->end);
    else
        markUnusable(t);
}
