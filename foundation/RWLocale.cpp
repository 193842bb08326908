// RWLocale's shared members and RWLocaleDefault: English names and fixed formats.
#include "foundation/RWLocale.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/RWLocaleSnapshot.h"
#include "foundation/RWLocaleText.h"

namespace {

const char* const kWeekdays[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
const char* const kWeekAbbs[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
const char* const kMonthAbbs[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const long kMaxLong32 = 2147483647L;

using rwlocale::equalsIgnoringCase;
using rwlocale::findIgnoringCase;
using rwlocale::format;
using rwlocale::isDigit;
using rwlocale::toRW;
using rwlocale::upper;
using rwlocale::view;

void skipBlanks(std::string_view text, size_t& pos) { rwlocale::skipSpaces(text, pos); }

// Reads a decimal number at pos; false when no digit is there. Saturates far above any
// valid date field so that long digit runs cannot overflow.
bool readNumber(std::string_view text, size_t& pos, unsigned& value)
{
    if (pos >= text.size() || !isDigit(text[pos]))
        return false;
    unsigned long long v = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        v = v * 10 + static_cast<unsigned>(text[pos] - '0');
        if (v > 1000000000ULL)
            v = 1000000000ULL;
        ++pos;
    }
    value = static_cast<unsigned>(v);
    return true;
}

// Skips blanks, an optional '+' or '-' and the blanks after it; true when the sign was '-'.
bool readSign(std::string_view text, size_t& pos)
{
    skipBlanks(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
        skipBlanks(text, pos);
    }
    return negative;
}

void skipNonDigits(std::string_view text, size_t& pos)
{
    while (pos < text.size() && !isDigit(text[pos]))
        ++pos;
}


const char* weekdayOf(const struct tm* t, const char* const* names)
{
    if (t->tm_wday < 0 || t->tm_wday > 6)
        return "";
    return names[(t->tm_wday + 6) % 7];
}

const char* monthOf(const struct tm* t, const char* const* names)
{
    if (t->tm_mon < 0 || t->tm_mon > 11)
        return "";
    return names[t->tm_mon];
}

RWCString zoneName(const struct tm* t, const RWZone& zone)
{
    if (t->tm_isdst == 0)
        return zone.timeZoneName();
    if (t->tm_isdst == 1)
        return zone.altZoneName();
    return RWCString();
}

const RWLocale* g_global = nullptr;
bool g_cleanupRegistered = false;

void deleteGlobalLocale()
{
    delete g_global;
    g_global = nullptr;
}

}  // namespace

RWLocale::~RWLocale() = default;

RWCString RWLocale::asString(const struct tm* t, const char* fmt, const RWZone& zone) const
{
    std::string out;
    if (!fmt)
        return RWCString();
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == '\0')
            break;
        if (*p == '%') {
            out += '%';
            continue;
        }
        RWCString piece = asString(t, *p, zone);
        out.append(piece.data(), piece.length());
    }
    return toRW(out);
}

const RWLocale& RWLocale::global()
{
    if (!g_global) {
        g_global = new RWLocaleSnapshot("C");
        if (!g_cleanupRegistered) {
            g_cleanupRegistered = true;
            std::atexit(deleteGlobalLocale);
        }
    }
    return *g_global;
}

const RWLocale* RWLocale::global(const RWLocale* loc)
{
    const RWLocale* previous = g_global;
    g_global = loc;
    return previous;
}

const RWLocale& RWLocale::of(std::ios_base&)
{
    return global();
}

RWCString RWLocaleDefault::asString(const struct tm* t, char letter, const RWZone& zone) const
{
    switch (letter) {
    case 'A':
        return RWCString(weekdayOf(t, kWeekdays));
    case 'a':
        return RWCString(weekdayOf(t, kWeekAbbs));
    case 'B':
        return RWCString(monthOf(t, kMonths));
    case 'b':
        return RWCString(monthOf(t, kMonthAbbs));
    case 'C': {
        RWCString zname = zoneName(t, zone);
        return toRW(format("%3s %3s %2d %02d:%02d:%02d %s %4d", weekdayOf(t, kWeekAbbs), monthOf(t, kMonthAbbs),
                           t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec, zname.data(), t->tm_year + 1900));
    }
    case 'c': {
        RWCString text = asString(t, 'x', zone);
        text.append(" ");
        text.append(asString(t, 'X', zone));
        return text;
    }
    case 'd':
        return toRW(format("%02d", t->tm_mday));
    case 'H':
        return toRW(format("%02d", t->tm_hour));
    case 'I': {
        int h = t->tm_hour % 12;
        return toRW(format("%02d", h == 0 ? 12 : h));
    }
    case 'j':
        return toRW(format("%03d", t->tm_yday + 1));
    case 'M':
        return toRW(format("%02d", t->tm_min));
    case 'm':
        return toRW(format("%02d", t->tm_mon + 1));
    case 'p':
        return RWCString(t->tm_hour < 12 ? "am" : "pm");
    case 'S':
        return toRW(format("%02d", t->tm_sec));
    case 'U':
        return toRW(format("%02d", (t->tm_yday - t->tm_wday + 7) / 7));
    case 'W':
        return toRW(format("%02d", (t->tm_yday - (t->tm_wday + 6) % 7 + 7) / 7));
    case 'w':
        return toRW(format("%1d", t->tm_wday));
    case 'X':
        return toRW(format("%02d:%02d:%02d", t->tm_hour, t->tm_min, t->tm_sec));
    case 'x':
        if (t->tm_year >= 1 && t->tm_year <= 99)
            return toRW(format("%02d/%02d/%02d", t->tm_mon + 1, t->tm_mday, t->tm_year));
        return toRW(format("%02d/%02d/%04d", t->tm_mon + 1, t->tm_mday, t->tm_year + 1900));
    case 'Y':
        return toRW(format("%04d", t->tm_year + 1900));
    case 'y':
        return toRW(format("%02d", (t->tm_year + 1900) % 100));
    case 'Z':
        return zoneName(t, zone);
    default:
        return RWCString();
    }
}

RWCString RWLocaleDefault::asString(double value, int precision, bool showpoint) const
{
    return toRW(format(showpoint ? "%#.*f" : "%.*f", precision, value));
}

RWCString RWLocaleDefault::asString(unsigned long value) const
{
    return toRW(format("%lu", value));
}

RWCString RWLocaleDefault::asString(long value) const
{
    return toRW(format("%ld", value));
}

RWCString RWLocaleDefault::moneyAsString(double amount, CurrSymbol symbol) const
{
    std::string out;
    const bool negative = amount < 0;
    if (negative) {
        out += '(';
        amount = -amount;
    }
    if (symbol == LOCAL)
        out += '$';
    else if (symbol == INTL)
        out += "USD ";
    out += amount < 1e18 ? format("%.2f", amount / 100) : format("%.5e", amount / 100);
    if (negative)
        out += ')';
    return toRW(out);
}

bool RWLocaleDefault::stringToNum(const RWCString& str, long* out) const
{
    std::string_view text = view(str);
    size_t pos = 0;
    const bool negative = readSign(text, pos);
    if (pos >= text.size() || !isDigit(text[pos]))
        return false;
    // Numbers keep their 32-bit meaning: a magnitude beyond 2147483647 fails.
    long magnitude = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > kMaxLong32)
            return false;
        ++pos;
    }
    skipBlanks(text, pos);
    if (pos != text.size())
        return false;
    *out = negative ? -magnitude : magnitude;
    return true;
}

bool RWLocaleDefault::stringToNum(const RWCString& str, double* out) const
{
    std::string_view text = view(str);
    size_t pos = 0;
    const bool negative = readSign(text, pos);
    if (pos >= text.size() || !(isDigit(text[pos]) || text[pos] == '.'))
        return false;
    // strtod needs a terminated text; the string's own buffer is NUL-terminated.
    const char* start = str.data() + pos;
    char* end = nullptr;
    double value = std::strtod(start, &end);
    if (end == start)
        return false;
    pos += static_cast<size_t>(end - start);
    skipBlanks(text, pos);
    if (pos != text.size())
        return false;
    *out = negative ? -value : value;
    return true;
}

bool RWLocaleDefault::stringToDate(const RWCString& str, struct tm* t) const
{
    std::string_view text = view(str);
    unsigned month = 0;
    for (int i = 11; i >= 0 && month == 0; --i) {
        if (findIgnoringCase(text, kMonths[i]) != std::string_view::npos ||
            findIgnoringCase(text, kMonthAbbs[i]) != std::string_view::npos)
            month = static_cast<unsigned>(i + 1);
    }
    size_t pos = 0;
    skipNonDigits(text, pos);
    if (month == 0) {
        if (!readNumber(text, pos, month))
            return false;
        skipNonDigits(text, pos);
    }
    unsigned day = 0;
    unsigned year = 0;
    if (!readNumber(text, pos, day))
        return false;
    skipNonDigits(text, pos);
    if (!readNumber(text, pos, year))
        return false;
    skipNonDigits(text, pos);
    if (pos != text.size())
        return false;
    return rwlocale::storeDate(month, day, year, t);
}

bool RWLocaleDefault::stringToTime(const RWCString& str, struct tm* t) const
{
    std::string_view text = view(str);
    size_t pos = 0;
    skipBlanks(text, pos);
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    if (!readNumber(text, pos, hour))
        return false;
    if (pos < text.size() && (text[pos] == ':' || text[pos] == '.'))
        ++pos;
    readNumber(text, pos, minute);
    if (pos < text.size() && (text[pos] == ':' || text[pos] == '.'))
        ++pos;
    readNumber(text, pos, second);
    skipBlanks(text, pos);
    // Whatever follows the time and its "AM" or "PM" is not looked at.
    const int c = pos < text.size() ? upper(text[pos]) : 0;
    const int c2 = pos + 1 < text.size() ? upper(text[pos + 1]) : 0;
    const char meridian = ((c == 'A' || c == 'P') && c2 == 'M') ? static_cast<char>(c) : 0;
    return rwlocale::storeTime(hour, minute, second, meridian, t);
}

bool RWLocaleDefault::stringToMoney(const RWCString& str, double* out, CurrSymbol symbol) const
{
    if (symbol == NONE)
        return false;
    std::string_view text = view(str);
    size_t pos = 0;
    char sign = 0;
    skipBlanks(text, pos);
    if (symbol == LOCAL) {
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '(')) {
            sign = text[pos++];
            skipBlanks(text, pos);
        }
        if (pos < text.size() && text[pos] == '$') {
            ++pos;
            skipBlanks(text, pos);
        }
    } else if (text.substr(pos, 3) == "USD") {
        pos += 3;
        skipBlanks(text, pos);
    }
    if (!sign && pos < text.size() && (text[pos] == '-' || text[pos] == '('))
        sign = text[pos++];
    double units = 0;
    bool any = false;
    while (pos < text.size() && isDigit(text[pos])) {
        units = units * 10 + (text[pos++] - '0');
        any = true;
    }
    double cents = 0;
    if (pos + 2 < text.size() && text[pos] == '.' && isDigit(text[pos + 1]) && isDigit(text[pos + 2])) {
        cents = (text[pos + 1] - '0') * 10 + (text[pos + 2] - '0');
        pos += 3;
        any = true;
    }
    if (!any)
        return false;
    skipBlanks(text, pos);
    if (sign == '(') {
        if (pos < text.size() && text[pos] == ')')
            ++pos;
    } else if (symbol == LOCAL && !sign && pos < text.size() && text[pos] == '-') {
        sign = '-';
        ++pos;
    }
    if (pos != text.size())
        return false;
    double value = units * 100 + cents;
    *out = sign ? -value : value;
    return true;
}

int RWLocaleDefault::monthIndex(const RWCString& name) const
{
    std::string_view n = view(name);
    for (int i = 11; i >= 0; --i)
        if (equalsIgnoringCase(n, kMonths[i]) || equalsIgnoringCase(n, kMonthAbbs[i]))
            return i + 1;
    return 0;
}

int RWLocaleDefault::weekdayIndex(const RWCString& name) const
{
    std::string_view n = view(name);
    for (int i = 6; i >= 0; --i)
        if (equalsIgnoringCase(n, kWeekdays[i]) || equalsIgnoringCase(n, kWeekAbbs[i]))
            return i + 1;
    return 0;
}
