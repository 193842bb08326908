// Dates and times read from texts: day.month.year, month/day/year and a time of day.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"
#include "foundation/RWDate.h"
#include "foundation/RWTime.h"
#include "foundation/RWZone.h"

// day.month.year or month/day/year (two-digit years are 20xx); the invalid date otherwise.
RWDate parseDate(RWCString s);
// The same followed by hours:minutes:seconds, taken in zone.
RWTime parseDateTime(RWCString s, const RWZone& zone);
RWCString readUntil(const RWCString& s, size_t* pos, char stop);
bool hasTimePart(RWCString s);
RWCString firstWord(RWCString s);
