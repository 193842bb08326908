// parseDecimal and parseVertexLine: the small number parsers of text mesh lines.
#pragma once

#include <cstddef>

// The characters text[begin..end) as a decimal: "." starts the fraction, "-" anywhere makes the
// result negative, characters below '0' are skipped and every other character counts as a
// digit worth (c - '0'); no exponent ("3e2" is not 300). Digits accumulate in doubles, so no
// length of text overflows; fraction digits past the eighteenth are ignored.
double parseDecimal(const char* text, size_t begin, size_t end);

// After the first 'x' of the line (the end of "vertex"), three numbers separated by blanks.
// False, with x, y and z untouched, when the line has no 'x' or fewer than three numbers.
bool parseVertexLine(const char* text, double& x, double& y, double& z);
