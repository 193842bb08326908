// Number and text utilities: printf-style formatting, text-to-number conversion, the numeric-locale
// guard, tolerance compares, small equation solvers and grid stepping.
#pragma once

#include <cstdarg>

#include "foundation/RWCString.h"

// printf-style formatting into a text that is never cut. Numbers are written in the "C" locale
// whatever the process locale is. A format the C library cannot render (an encoding error) gives
// the empty text.
RWCString formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
RWCString formatStringV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Text to number, always in the "C" locale.
// atof: leading white space skipped, stops at the first unusable character, 0.0 when nothing converts.
double stringToDouble(RWCString text);
double stringToDouble(const char* text);
// strtod: *ok (when not null) is true exactly when the conversion consumed the whole text (an empty text
// gives 0.0 with ok true). The converted value is returned either way.
double stringToDoubleChecked(RWCString text, bool* ok);
// atoi: leading white space, one optional sign, decimal digits; 0 when there are none. Digits
// accumulate in 32 bits with wrap-around, so "4278190335" and "-16776961" give the same value.
int stringToInt(RWCString text);
int stringToInt(const char* text);

// Switches LC_NUMERIC to a named locale for a scope and restores the previous one. Process-wide:
// meant for one thread at a time.
class NumericLocaleGuard {
public:
    explicit NumericLocaleGuard(const char* name);
    ~NumericLocaleGuard();
    NumericLocaleGuard(const NumericLocaleGuard&) = delete;
    NumericLocaleGuard& operator=(const NumericLocaleGuard&) = delete;

private:
    char* saved_ = nullptr;
};

int sign(double x);                                        // 0, 1 or -1
int signWithTolerance(double x, double tol);               // 0 when -tol < x < tol
// The one tolerant compare: 0 when a and b lie within tol of each other, else -1 when a comes
// first, else 1. With the edge outside (the geometry's rule) that is |a - b| < tol, else -1 when
// a <= b; with the edge inside (the number texts' rule) |a - b| <= tol, else -1 when a < b.
enum class ToleranceEdge { Outside, Inside };
int compareWithTolerance(double a, double b, double tol, ToleranceEdge edge = ToleranceEdge::Outside);

int solveLinear(double a, double b, double* x);                           // roots of a x + b = 0
int solveQuadratic(double a, double b, double c, double* x1, double* x2);  // x1 is the root with +sqrt

// Advances *pos by one step on the grid of multiples of step; at (or within 0.01 of) limit it
// sets *pos = limit and returns true.
bool stepTowards(double step, double limit, double* pos);
