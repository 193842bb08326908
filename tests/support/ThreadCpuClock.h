// ThreadCpuClock: the processor time of the calling thread as a std::chrono clock. Bounds on
// how long a piece of work may take are measured with it: other processes loading the machine
// stretch the wall clock, not the time the work itself needs.
#pragma once

#include <time.h>

#include <chrono>

struct ThreadCpuClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<ThreadCpuClock>;
    static constexpr bool is_steady = true;

    static time_point now() noexcept
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec));
    }
};
