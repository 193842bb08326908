// Percent escapes ("%xx") in texts: decoding and encoding.
#pragma once

#include "foundation/RWCString.h"

// "%xx" escapes. A '%' not followed by two hexadecimal digits is copied unchanged.
RWCString percentDecode(RWCString s);
// Characters outside allowed become '%' and two upper-case hexadecimal digits.
RWCString percentEncode(RWCString s, RWCString allowed);
