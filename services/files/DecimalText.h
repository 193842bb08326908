// Number texts with either decimal separator, and tolerant comparisons of doubles.
#pragma once

#include "foundation/RWCString.h"

// True for an optional sign, digits and at most one '.', blanks around it allowed; no exponent.
bool isNumberText(RWCString text);
// 0 when b lies within a relative tolerance of a (1e-5 of |a|, at most 0.001; 1e-8 when a is 0),
// else -1 when a < b, else 1.
int compareRelative(double a, double b);
// 0 when |a - b| <= tolerance, else -1 when a < b, else 1.
int compareWithin(double a, double b, double tolerance);
// The number at the start of text, read with any character of separators (null means ".,") as
// the decimal point. Digits, '-', blanks, tabs and exponent letters are taken; '+' or any other
// character ends the number. *ok (when given) is true when any character was taken.
double parseNumberText(const char* text, const char* separators, bool* ok);
// The value with precision digits after the decimal character (a value above 1e60 in the
// shortest form of that many digits).
RWCString formatNumberText(double value, int precision, char decimal);
