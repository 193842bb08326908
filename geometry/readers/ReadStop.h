// ReadStop: where a model reader stopped on bad data and why, for the reason a failed load gives.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "platform/Reason.h"

// Filled by a reader that stops on data it cannot read; untouched by one that reads to the end.
// The reason says where: "ASCII STL line 17: expected 'vertex' but found 'x'", "binary STL
// declares 2,000 triangles but holds 12 (reading stopped at byte 684)".
struct ReadStop {
    platform::ReasonText reason;  // empty while nothing was wrong

    bool stopped() const { return !reason.empty(); }
    std::string text() const { return reason.str(); }
    // `why` is checked against the values as reasonText() checks it.
    template <class... Values>
    void set(std::type_identity_t<platform::ReasonFor<Values...>> why, const Values&... values)
    {
        reason = platform::reasonText(why, values...);
    }
};

// 2000 as "2,000": counts in reasons are read by people.
std::string groupedNumber(uint64_t n);
