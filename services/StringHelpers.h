// Small string helpers: stripping characters off the ends, yes-words and C string copies.
#pragma once

#include "foundation/RWCString.h"

// Removes characters of chars from the leading end (mode 1), the trailing end (2) or both (3).
RWCString stripChars(RWCString text, int mode, RWCString chars);
// True for "YES", "JA" or "1", ignoring case.
bool isYes(const RWCString s);
// A new[] copy of s, or null for null.
char* copyCString(const char* s);
