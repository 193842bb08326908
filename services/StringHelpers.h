// String helpers shared by the services library and the mesh code: numbers, stripping,
// replace-all, quoted join and split, date parsing, percent escapes, a wildcard match and a
// seconds timer.
#pragma once

#include <cstddef>
#include <ctime>

#include "foundation/RWCString.h"
#include "foundation/RWDate.h"
#include "foundation/RWTValOrderedVector.h"
#include "foundation/RWTime.h"
#include "foundation/RWZone.h"

class RWCRegexp;

// Number texts. formatInt zero-pads to at least width digits; formatDouble zero-pads to
// intDigits + decimals (+1 for the point) characters with decimals digits after the point.
RWCString intToString(int n);
RWCString formatInt(int n, int width);
RWCString formatDouble(double v, int intDigits, int decimals);

// Removes characters of chars from the leading end (mode 1), the trailing end (2) or both (3).
RWCString stripChars(RWCString text, int mode, RWCString chars);
// True for "YES", "JA" or "1", ignoring case.
bool isYes(const RWCString s);
// A new[] copy of s, or null for null.
char* copyCString(const char* s);

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

// Joining and splitting with a separator and a quote character (NUL for none).
RWCString joinQuoted(RWTValOrderedVector<RWCString> items, char sep, char quote);
size_t splitInto(RWTValOrderedVector<RWCString>& out, RWCString text, char sep, char quote, bool skipEmpty);
RWTValOrderedVector<RWCString> splitString(RWCString text, char sep, char quote, bool skipEmpty);
size_t splitToArray(RWCString* out, size_t maxCount, RWCString text, char sep, char quote);
RWTValOrderedVector<int> splitToInts(RWCString text, char sep, char quote);
RWTValOrderedVector<double> splitToDoubles(RWCString text, char sep, char quote);

// day.month.year or month/day/year (two-digit years are 20xx); the invalid date otherwise.
RWDate parseDate(RWCString s);
// The same followed by hours:minutes:seconds, taken in zone.
RWTime parseDateTime(RWCString s, const RWZone& zone);
RWCString readUntil(const RWCString& s, size_t* pos, char stop);
bool hasTimePart(RWCString s);
RWCString firstWord(RWCString s);

// "%xx" escapes. A '%' not followed by two hexadecimal digits is copied unchanged.
RWCString percentDecode(RWCString s);
// Characters outside allowed become '%' and two upper-case hexadecimal digits.
RWCString percentEncode(RWCString s, RWCString allowed);

// Edits needed (at most maxErrors) for text to match pattern ('?' one character, '*' any run),
// ignoring case; 1024 when more are needed.
int fuzzyWildcardMatch(const char* text, const char* pattern, int maxErrors);

// A timer counting whole seconds of the wall clock.
class UTTimer {
public:
    UTTimer();
    void start();
    bool isElapsed(int milliseconds);

    time_t startTime;
    time_t lastTime;
};
