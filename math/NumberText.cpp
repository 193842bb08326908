// Number and text utilities: formatting, conversion, tolerance compares and solvers.
#include "math/NumberText.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>

namespace {

// The "C" locale, made once and kept for the life of the process.
locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Puts this thread in the "C" locale for a scope, so that the process locale cannot change the
// decimal point of what we write.
class CLocaleScope {
public:
    CLocaleScope() : previous_(cLocale() ? uselocale(cLocale()) : static_cast<locale_t>(nullptr)) {}
    ~CLocaleScope() {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

double toDouble(const char* text, const char** end) {
    char* stop = nullptr;
    const double v = cLocale() ? strtod_l(text, &stop, cLocale()) : std::strtod(text, &stop);
    if (end) *end = stop;
    return v;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

RWCString formatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    RWCString result = formatStringV(format, args);
    va_end(args);
    return result;
}

RWCString formatStringV(const char* format, va_list args) {
    CLocaleScope inC;
    // The formatter may print at most size - 1 characters and must stay below that, so 510
    // characters fit the first buffer of 512 bytes and 511 need a larger one.
    size_t size = 512;
    char first[512];
    std::unique_ptr<char[]> heap;
    for (;;) {
        char* buffer = first;
        if (size > sizeof first) {
            heap.reset(new char[size]);
            buffer = heap.get();
        }
        // Each attempt consumes its own copy: a va_list used once is spent.
        va_list attempt;
        va_copy(attempt, args);
        const int n = std::vsnprintf(buffer, size - 1, format, attempt);
        va_end(attempt);
        if (n < 0) return RWCString();  // encoding error: retrying could never succeed
        if (static_cast<size_t>(n) < size - 1) return RWCString(buffer);
        // The length is known now: double until it fits instead of formatting at every size.
        do {
            size *= 2;
        } while (static_cast<size_t>(n) >= size - 1);
    }
}

double stringToDouble(RWCString text) { return stringToDouble(text.data()); }

double stringToDouble(const char* text) {
    if (!text) return 0.0;
    return toDouble(text, nullptr);
}

double stringToDoubleChecked(RWCString text, bool* ok) {
    const char* begin = text.data();
    const char* end = begin;
    const double v = toDouble(begin, &end);
    if (ok) *ok = end == begin + text.length();
    return v;
}

int stringToInt(RWCString text) { return stringToInt(text.data()); }

int stringToInt(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (isBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Unsigned arithmetic: an overlong digit run wraps around modulo 2^32 instead of overflowing.
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

NumericLocaleGuard::NumericLocaleGuard(const char* name) {
    if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) {
        const size_t n = std::strlen(current);
        saved_ = new char[n + 1];
        std::memcpy(saved_, current, n + 1);
    }
    std::setlocale(LC_NUMERIC, "");
    if (name) std::setlocale(LC_NUMERIC, name);
}

NumericLocaleGuard::~NumericLocaleGuard() {
    std::setlocale(LC_NUMERIC, "");
    if (saved_) std::setlocale(LC_NUMERIC, saved_);
    delete[] saved_;
}

int sign(double x) {
    if (x == 0.0) return 0;
    return x > 0.0 ? 1 : -1;
}

int signWithTolerance(double x, double tol) {
    if (-tol < x && x < tol) return 0;
    return x > 0.0 ? 1 : -1;
}

int compareWithTolerance(double a, double b, double tol, ToleranceEdge edge) {
    const double gap = std::fabs(a - b);
    if (edge == ToleranceEdge::Inside) {
        if (gap <= tol) return 0;
        return a < b ? -1 : 1;
    }
    if (gap < tol) return 0;
    return a <= b ? -1 : 1;
}

int solveLinear(double a, double b, double* x) {
    if (a != 0.0) {
        *x = -b / a;
        return 1;
    }
    if (b == 0.0) {
        *x = 0.0;
        return 1;
    }
    return 0;
}

int solveQuadratic(double a, double b, double c, double* x1, double* x2) {
    if (a == 0.0) return solveLinear(b, c, x1);
    const double d = b * b - 4.0 * a * c;
    if (d < 0.0) return 0;
    if (d == 0.0) {
        *x1 = -b / (2.0 * a);
        return 1;
    }
    const double root = std::sqrt(d);
    *x1 = (root - b) / (2.0 * a);
    *x2 = (-b - root) / (2.0 * a);
    return 2;
}

bool stepTowards(double step, double limit, double* pos) {
    const double next = step + *pos;
    if (limit - 0.01 <= next) {
        *pos = limit;
        return true;
    }
    const double r = std::fmod(next, step);
    if (r <= step - 0.01)
        *pos = *pos - r + step;
    else
        *pos = *pos + r;
    return false;
}
