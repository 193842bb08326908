// ReadStop: where a model reader stopped on bad data and why, for the reason a failed load gives.
#pragma once

#include <cstdint>
#include <string>

// Filled by a reader that stops on data it cannot read; untouched by one that reads to the end.
// Wording of `what`: lower case, no full stop, the system's own words ("expected 'vertex' but
// found 'vertx'"); the place goes in `line` (text data) or into `what` as "byte N" (binary).
struct ReadStop {
    const char* format = "";  // the data's form as the user knows it: "ASCII STL", "ZJV"
    uint64_t line = 0;        // 1-based line of text data where reading stopped; 0 when none
    std::string what;         // why it stopped; empty while nothing was wrong

    bool stopped() const { return !what.empty(); }
    // One line for a failure's reason: "ASCII STL line 17: expected 'vertex' but found 'x'",
    // "binary STL declares 2,000 triangles but holds 12 (the data ends at byte 684)".
    std::string text() const;
    void set(const char* inFormat, uint64_t atLine, std::string why);
};

// 2000 as "2,000": counts in reasons are read by people.
std::string groupedNumber(uint64_t n);
