// CSConfigVal: one configuration value, a text with typed conversions and a modified flag.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"

// The text is stored exactly as given (no quoting or escaping). Every setter marks the value
// modified; the reader and the writer clear the mark.
class CSConfigVal {
public:
    CSConfigVal() = default;
    CSConfigVal(const CSConfigVal& other) : text(other.text), modified(other.modified) {}
    CSConfigVal& operator=(const CSConfigVal& other);

    // Setters.
    void setString(const char* p);  // null gives an empty, modified value
    void setString(const RWCString& s) { store(s); }  // the whole text, NUL bytes included
    void append(const char* p);
    void clear() { text = RWCString(); }  // the modified mark stays as it was
    void setInt(int v);
    void setDouble(double v, int precision);
    void setBool(bool b);
    void setIntArray(const int* a, int n);
    void setDoubleArray(const double* a, int n, int precision);
    void setFloatArray(const float* a, int n, int precision);
    void setIntVector(const RWTValOrderedVector<int>& v, char sep);
    void setDoubleVector(const RWTValOrderedVector<double>& v, char sep, int precision);
    void setStringVector(const RWTValOrderedVector<RWCString>& v, char sep, char quote);

    CSConfigVal& operator=(const char* p)
    {
        setString(p);
        return *this;
    }
    CSConfigVal& operator=(int v)
    {
        setInt(v);
        return *this;
    }
    CSConfigVal& operator=(double v)
    {
        setDouble(v, 2);
        return *this;
    }
    CSConfigVal& operator+=(const char* p)
    {
        append(p);
        return *this;
    }

    // Getters. Conversions never fail: a text that is no number gives 0.
    const char* getString() const { return text.data(); }
    int getInt() const;
    double getDouble() const;
    bool getBool() const;
    int getIntClamped(int min, int max);  // stores the clamped value when it clamps
    double getDoubleClamped(double min, double max, int precision);
    RWCString getPath() const;  // expanded and normalised
    int getIntArray(int* out, int max) const;
    int getDoubleArray(double* out, int max) const;
    int getFloatArray(float* out, int max) const;
    RWTValOrderedVector<int> getIntVector(char sep) const;
    RWTValOrderedVector<double> getDoubleVector(char sep) const;
    RWTValOrderedVector<RWCString> getStringVector(char sep, char quote) const;

    operator const char*() const { return getString(); }
    operator int() const { return getInt(); }
    operator double() const { return getDouble(); }

    const RWCString& getText() const { return text; }
    // Values are equal when their texts are.
    bool operator==(const CSConfigVal& other) const { return text == other.text; }
    bool isEmpty() const { return text.isNull(); }
    bool isModified() const { return modified; }
    void setModified(bool m) { modified = m; }

private:
    void store(RWCString t);

    RWCString text;
    bool modified = false;
};
