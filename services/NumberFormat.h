// Number texts: an int as text, and ints and doubles zero-padded to a width.
#pragma once

#include "foundation/RWCString.h"

// Number texts. formatInt zero-pads to at least width digits; formatDouble zero-pads to
// intDigits + decimals (+1 for the point) characters with decimals digits after the point.
RWCString intToString(int n);
RWCString formatInt(int n, int width);
RWCString formatDouble(double v, int intDigits, int decimals);
