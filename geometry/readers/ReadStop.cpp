// ReadStop: counts as reasons write them.
#include "geometry/readers/ReadStop.h"

std::string groupedNumber(uint64_t n)
{
    std::string digits = std::to_string(n);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}
