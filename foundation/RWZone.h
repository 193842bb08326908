// RWZone and RWZoneSimple: time zones with fixed offsets, two names and chains of daylight-saving rules.
#pragma once

#include <cstdint>
#include <ctime>

#include "foundation/RWCString.h"

// One end of a daylight period: month 0 to 11; week 0 to 3 for the first to fourth given weekday,
// 4 or more for the last one, negative when weekday is the day of the month itself; weekday 0 =
// Sunday; minute after local midnight.
struct RWDaylightBoundary {
    int32_t month;
    int32_t week;
    int32_t weekday;
    int32_t minute;

    // Day of the month of this boundary in the month of t (t's tm_mday and tm_wday must agree).
    int dayOfMonth(const struct tm* t) const;
    // Whether t lies before this boundary (seconds are ignored).
    bool isBefore(const struct tm* t) const;
};

// A daylight rule for the years from firstYear on, up to the next rule in the chain.
struct RWDaylightRule {
    RWDaylightRule* next;
    int16_t firstYear;
    bool observed;
    RWDaylightBoundary begin;
    RWDaylightBoundary end;

    bool isDaylight(const struct tm* t) const;
};

class RWZone {
public:
    virtual ~RWZone();
    // Offsets are in seconds WEST of GMT: local = GMT - offset.
    virtual long timeZoneOffset() const = 0;
    virtual long altZoneOffset() const = 0;
    virtual bool daylightObserved() const = 0;
    virtual RWCString timeZoneName() const = 0;
    virtual RWCString altZoneName() const = 0;
    virtual bool isDaylight(const struct tm* t) const = 0;
    virtual void getBeginDaylight(struct tm* t) const = 0;
    virtual void getEndDaylight(struct tm* t) const = 0;

    // Process-wide zones, made on first use.
    static const RWZone& local();
    static const RWZone& standard();
    static const RWZone& system();
    static const RWZone& utc();
    // Install z (not copied; it must outlive its use) and hand back the previous zone to the caller.
    static const RWZone* local(const RWZone* z);
    static const RWZone* standard(const RWZone* z);
    static const RWZone* system(const RWZone* z);
    // Deletes the process-wide zones and the global locale. Nothing in the system calls it.
    static void releaseTimeStatics();
};

class RWZoneSimple : public RWZone {
public:
    // rule kinds for dstRules
    enum { NoDST = 0, NoAm = 1, WeEu = 2 };

    RWZoneSimple(const RWDaylightRule* rule, long offset, const RWCString& name, long altOffset,
                 const RWCString& altName);
    RWZoneSimple(long offset, const RWCString& name);
    // zone: whole hours west of GMT, -12 to 11, named from the standard table.
    RWZoneSimple(int zone, const RWDaylightRule* rule);
    RWZoneSimple(int zone, int ruleKind);
    ~RWZoneSimple() override;

    long timeZoneOffset() const override { return offset_; }
    long altZoneOffset() const override { return altOffset_; }
    bool daylightObserved() const override { return daylightObs_; }
    RWCString timeZoneName() const override { return name_; }
    RWCString altZoneName() const override { return altName_; }
    bool isDaylight(const struct tm* t) const override;
    void getBeginDaylight(struct tm* t) const override;
    void getEndDaylight(struct tm* t) const override;

    // The built-in chains: 0 none (null), 1 North America, 2 Western Europe.
    static const RWDaylightRule* dstRules(int kind);

private:
    const RWDaylightRule* ruleFor(int year) const;

    const RWDaylightRule* rule_;
    bool daylightObs_;
    int32_t offset_;
    RWCString name_;
    int32_t altOffset_;
    RWCString altName_;
};
