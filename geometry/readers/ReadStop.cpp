// ReadStop: the text of where and why a reader stopped.
#include "geometry/readers/ReadStop.h"

#include <utility>

std::string ReadStop::text() const
{
    std::string out = format;
    if (line > 0)
        out += " line " + std::to_string(line) + ":";
    return out + " " + what;
}

void ReadStop::set(const char* inFormat, uint64_t atLine, std::string why)
{
    format = inFormat;
    line = atLine;
    what = std::move(why);
}

std::string groupedNumber(uint64_t n)
{
    std::string digits = std::to_string(n);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}
