// HostClock: the monotonic tick.
#include "platform/host/HostClock.h"

#include "platform/sys.h"

namespace platform::host {

uint32_t MonotonicClock::now() const { return platform::sys::tickCount(); }

}  // namespace platform::host
