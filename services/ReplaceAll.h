// Replacing every occurrence of a text or a pattern.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"

class RWCRegexp;

// Replaces every occurrence from start on; inserted text is never searched again. An empty
// search text leaves s unchanged.
RWCString replaceAll(RWCString s, RWCString from, RWCString to,
                     RWCString::caseCompare cmp = RWCString::exact, size_t start = 0);
RWCString replaceAll(RWCString s, const RWCRegexp& re, RWCString to, size_t start = 0);
// A plain text to search for (chooses the text search over the pattern search).
inline RWCString replaceAll(RWCString s, const char* from, RWCString to,
                            RWCString::caseCompare cmp = RWCString::exact, size_t start = 0)
{
    return replaceAll(s, RWCString(from), to, cmp, start);
}
