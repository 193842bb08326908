// HostClock: the millisecond tick a host gives its control: the monotonic clock, or a fake
// clock that tests advance by hand.
#pragma once

#include <cstdint>

namespace platform::host {

// A 32-bit millisecond tick that wraps after about 49.7 days; differences are taken as
// wrapping unsigned subtractions.
class HostClock {
public:
    virtual ~HostClock() = default;
    virtual uint32_t now() const = 0;
};

// The system's monotonic clock (through platform::sys::tickCount, so a test clock installed
// there applies too).
class MonotonicClock : public HostClock {
public:
    uint32_t now() const override;
};

// Stands still until advanced; wraps like the real tick.
class FakeClock : public HostClock {
public:
    explicit FakeClock(uint32_t start = 0) : now_(start) {}
    uint32_t now() const override { return now_; }
    void set(uint32_t tick) { now_ = tick; }
    void advance(uint32_t ms) { now_ += ms; }

private:
    uint32_t now_;
};

}  // namespace platform::host
