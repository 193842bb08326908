// CSConfigVal: setters, typed getters and conversions of one configuration value.
#include "services/config/CSConfigVal.h"

#include "math/NumberText.h"
#include "services/QuotedSplit.h"
#include "services/environment/TextExpansion.h"
#include "services/files/PathText.h"

CSConfigVal& CSConfigVal::operator=(const CSConfigVal& other)
{
    const bool m = other.modified;
    store(other.text);  // sharing the buffer is safe for self-assignment too
    modified = m;
    return *this;
}

void CSConfigVal::store(RWCString t)
{
    text = std::move(t);
    modified = true;
}

void CSConfigVal::setString(const char* p)
{
    // p may point into our own text: copy it before the old text goes.
    store(p ? RWCString(p) : RWCString());
}

void CSConfigVal::append(const char* p)
{
    if (p) {
        RWCString tail(p);
        text.append(tail);
    }
    modified = true;
}

void CSConfigVal::setInt(int v)
{
    store(formatString("%d", v));
}

void CSConfigVal::setDouble(double v, int precision)
{
    store(formatString("%.*f", precision, v));
}

void CSConfigVal::setBool(bool b)
{
    store(RWCString(b ? "YES" : "NO"));
}

void CSConfigVal::setIntArray(const int* a, int n)
{
    RWCString t;
    for (int i = 0; i < n; ++i) {
        if (i)
            t.append(",", 1);
        t.append(formatString("%d", a[i]));
    }
    store(t);
}

void CSConfigVal::setDoubleArray(const double* a, int n, int precision)
{
    RWCString t;
    for (int i = 0; i < n; ++i) {
        if (i)
            t.append(",", 1);
        t.append(formatString("%.*f", precision, a[i]));
    }
    store(t);
}

void CSConfigVal::setFloatArray(const float* a, int n, int precision)
{
    RWCString t;
    for (int i = 0; i < n; ++i) {
        if (i)
            t.append(",", 1);
        t.append(formatString("%.*f", precision, double(a[i])));
    }
    store(t);
}

void CSConfigVal::setIntVector(const RWTValOrderedVector<int>& v, char sep)
{
    RWCString t;
    for (size_t i = 0; i < v.entries(); ++i) {
        if (i)
            t.append(sep);
        t.append(formatString("%d", v[i]));
    }
    store(t);
}

void CSConfigVal::setDoubleVector(const RWTValOrderedVector<double>& v, char sep, int precision)
{
    RWCString t;
    for (size_t i = 0; i < v.entries(); ++i) {
        if (i)
            t.append(sep);
        t.append(formatString("%.*f", precision, v[i]));
    }
    store(t);
}

void CSConfigVal::setStringVector(const RWTValOrderedVector<RWCString>& v, char sep, char quote)
{
    store(joinQuoted(v, sep, quote));
}

int CSConfigVal::getInt() const
{
    return stringToInt(text);
}

double CSConfigVal::getDouble() const
{
    return stringToDouble(text);
}

bool CSConfigVal::getBool() const
{
    if (text.compareTo("yes", RWCString::ignoreCase) == 0 || text.compareTo("ja", RWCString::ignoreCase) == 0 ||
        text.compareTo("true", RWCString::ignoreCase) == 0)
        return true;
    return stringToInt(text) == 1;
}

int CSConfigVal::getIntClamped(int min, int max)
{
    const int v = stringToInt(text);
    if (v < min) {
        setInt(min);
        return min;
    }
    if (v > max) {
        setInt(max);
        return max;
    }
    return v;
}

double CSConfigVal::getDoubleClamped(double min, double max, int precision)
{
    const double v = stringToDouble(text);
    double r;
    if (v < min)
        r = min;
    else if (v > max)
        r = max;
    else
        return v;
    setDouble(r, precision);
    return r;
}

RWCString CSConfigVal::getPath() const
{
    return normalizePath(expandString(text));
}

int CSConfigVal::getIntArray(int* out, int max) const
{
    RWTValOrderedVector<RWCString> pieces = splitString(text, ',', '\0', false);
    int n = 0;
    for (; n < max && size_t(n) < pieces.entries(); ++n)
        out[n] = stringToInt(pieces[size_t(n)]);
    return n;
}

int CSConfigVal::getDoubleArray(double* out, int max) const
{
    RWTValOrderedVector<RWCString> pieces = splitString(text, ',', '\0', false);
    int n = 0;
    for (; n < max && size_t(n) < pieces.entries(); ++n)
        out[n] = stringToDouble(pieces[size_t(n)]);
    return n;
}

int CSConfigVal::getFloatArray(float* out, int max) const
{
    RWTValOrderedVector<RWCString> pieces = splitString(text, ',', '\0', false);
    int n = 0;
    for (; n < max && size_t(n) < pieces.entries(); ++n)
        out[n] = float(stringToDouble(pieces[size_t(n)]));
    return n;
}

RWTValOrderedVector<int> CSConfigVal::getIntVector(char sep) const
{
    return splitToInts(text, sep, '"');
}

RWTValOrderedVector<double> CSConfigVal::getDoubleVector(char sep) const
{
    return splitToDoubles(text, sep, '"');
}

RWTValOrderedVector<RWCString> CSConfigVal::getStringVector(char sep, char quote) const
{
    return splitString(text, sep, quote, false);
}
