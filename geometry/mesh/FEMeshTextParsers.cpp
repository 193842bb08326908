// parseDecimal and parseVertexLine.
#include "geometry/mesh/FEMeshTextParsers.h"

#include <cmath>
#include <cstring>

double parseDecimal(const char* text, size_t begin, size_t end)
{
    if (!text)
        return 0.0;
    double integer = 0.0;
    double fraction = 0.0;
    int fractionDigits = 0;
    bool inFraction = false;
    bool negative = false;
    for (size_t i = begin; i < end; ++i) {
        // Bytes above 127 count as below '0', as they do in a signed char.
        const int c = static_cast<signed char>(text[i]);
        if (c == '.') {
            inFraction = true;
        } else if (c == '-') {
            negative = true;
        } else if (c < '0') {
            continue;
        } else if (!inFraction) {
            integer = integer * 10.0 + (c - '0');
        } else if (fractionDigits < 18) {
            fraction = fraction * 10.0 + (c - '0');
            ++fractionDigits;
        }
    }
    const double result = integer + fraction / std::pow(10.0, fractionDigits);
    return negative ? -result : result;
}

bool parseVertexLine(const char* text, double& x, double& y, double& z)
{
    const char* p = text ? std::strchr(text, 'x') : nullptr;
    if (!p)
        return false;
    const size_t length = std::strlen(text);
    size_t at = size_t(p - text) + 1;
    double values[3];
    for (double& value : values) {
        while (at < length && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        const size_t start = at;
        while (at < length && text[at] != ' ' && text[at] != '\t' && text[at] != '\r' && text[at] != '\n')
            ++at;
        if (at == start)
            return false;
        value = parseDecimal(text, start, at);
    }
    x = values[0];
    y = values[1];
    z = values[2];
    return true;
}
