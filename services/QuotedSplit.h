// Joining and splitting texts with a separator and a quote character.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"

// Joining and splitting with a separator and a quote character (NUL for none).
RWCString joinQuoted(RWTValOrderedVector<RWCString> items, char sep, char quote);
size_t splitInto(RWTValOrderedVector<RWCString>& out, RWCString text, char sep, char quote, bool skipEmpty);
RWTValOrderedVector<RWCString> splitString(RWCString text, char sep, char quote, bool skipEmpty);
size_t splitToArray(RWCString* out, size_t maxCount, RWCString text, char sep, char quote);
RWTValOrderedVector<int> splitToInts(RWCString text, char sep, char quote);
RWTValOrderedVector<double> splitToDoubles(RWCString text, char sep, char quote);
