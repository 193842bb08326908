// Number texts formatted into a text that grows as needed.
#include "services/NumberFormat.h"

#include "math/NumberText.h"

RWCString intToString(int n) { return formatString("%d", n); }

// Both number texts are formatted into a text that grows as needed, so a wide field or a
// huge value (1e300 has 301 digits) cannot run past a fixed buffer.
RWCString formatInt(int n, int width) { return formatString("%0*d", width, n); }

RWCString formatDouble(double v, int intDigits, int decimals)
{
    int total = intDigits + decimals + (decimals > 0 ? 1 : 0);
    return formatString("%0*.*f", total, decimals, v);
}
