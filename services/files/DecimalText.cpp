// Number texts with either decimal separator, and tolerant comparisons of doubles.
#include "services/files/DecimalText.h"

#include <cmath>
#include <cstring>
#include <string>

#include "math/NumberText.h"
#include "services/StringHelpers.h"

bool isNumberText(RWCString text)
{
    const RWCString t = stripChars(text, 3, " ");
    if (t.isNull())
        return false;
    bool dotSeen = false;
    for (size_t i = 0; i < t.length(); ++i) {
        const char c = t(i);
        if (c >= '0' && c <= '9')
            continue;
        if (c == '.' && !dotSeen) {
            dotSeen = true;
            continue;
        }
        if ((c == '-' || c == '+') && i == 0)
            continue;
        return false;
    }
    return true;
}

int compareRelative(double a, double b)
{
    double tolerance = a == 0.0 ? 1e-8 : std::fabs(1e-5 * a);
    if (tolerance > 0.001)
        tolerance = 0.001;
    return compareWithin(a, b, tolerance);
}

int compareWithin(double a, double b, double tolerance)
{
    return compareWithTolerance(a, b, tolerance, ToleranceEdge::Inside);
}

double parseNumberText(const char* text, const char* separators, bool* ok)
{
    if (ok)
        *ok = false;
    if (!text)
        return 0.0;
    if (!separators)
        separators = ".,";
    std::string copied;
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        if ((c >= '0' && c <= '9') || c == '-' || c == ' ' || c == '\t' || c == 'E' || c == 'e')
            copied += c;
        else if (std::strchr(separators, c))
            copied += '.';
        else
            break;
    }
    const double value = stringToDouble(copied.c_str());
    if (!copied.empty() && ok)
        *ok = true;
    return value;
}

RWCString formatNumberText(double value, int precision, char decimal)
{
    RWCString text = value > 1e60 ? formatString("%.*g", precision, value) : formatString("%.*f", precision, value);
    for (size_t i = 0; i < text.length(); ++i)
        if (text(i) == '.')
            text(i) = decimal;
    return text;
}
