// String helpers: number texts, replace-all, quoted join and split, date parsing, percent
// escapes, the approximate wildcard match and the seconds timer.
#include "services/StringHelpers.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/RWCRegexp.h"
#include "math/NumberText.h"
#include "platform/HexDigit.h"

namespace {

RWCString toRW(const std::string& s) { return RWCString(s.c_str(), s.size()); }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

RWCString intToString(int n) { return formatString("%d", n); }

// Both number texts are formatted into a text that grows as needed, so a wide field or a
// huge value (1e300 has 301 digits) cannot run past a fixed buffer.
RWCString formatInt(int n, int width) { return formatString("%0*d", width, n); }

RWCString formatDouble(double v, int intDigits, int decimals)
{
    int total = intDigits + decimals + (decimals > 0 ? 1 : 0);
    return formatString("%0*.*f", total, decimals, v);
}

RWCString stripChars(RWCString text, int mode, RWCString chars)
{
    if (mode < 1 || mode > 3 || chars.length() == 0)
        return text;
    std::string s(text.data(), text.length());
    const char* set = chars.data();
    size_t setLen = chars.length();
    if (mode & 2) {
        size_t before;
        do {
            before = s.size();
            for (size_t k = 0; k < setLen; ++k)
                while (!s.empty() && s.back() == set[k])
                    s.pop_back();
        } while (s.size() != before);
    }
    if (mode & 1) {
        size_t before, b = 0;
        do {
            before = b;
            for (size_t k = 0; k < setLen; ++k)
                while (b < s.size() && s[b] == set[k])
                    ++b;
        } while (b != before);
        s.erase(0, b);
    }
    return RWCString(s.data(), s.size());
}


bool isYes(const RWCString s)
{
    return s.compareTo("YES", RWCString::ignoreCase) == 0 || s.compareTo("JA", RWCString::ignoreCase) == 0 ||
           s.compareTo("1", RWCString::ignoreCase) == 0;
}

char* copyCString(const char* s)
{
    if (!s)
        return nullptr;
    size_t n = std::strlen(s) + 1;
    char* copy = new char[n];
    std::memcpy(copy, s, n);
    return copy;
}

RWCString replaceAll(RWCString s, RWCString from, RWCString to, RWCString::caseCompare cmp, size_t start)
{
    // An empty search text would match everywhere without moving on.
    if (from.length() == 0)
        return s;
    // Searching the original text after each match is the same as searching the result after
    // the inserted text; building a new text keeps the work linear.
    const size_t length = s.length();
    size_t pos = start, copied = 0;
    std::string out;
    while (pos < length) {
        pos = s.index(from, pos, cmp);
        if (pos == RW_NPOS)
            break;
        out.append(s.data() + copied, pos - copied);
        out.append(to.data(), to.length());
        pos += from.length();
        copied = pos;
    }
    if (copied == 0)
        return s;
    out.append(s.data() + copied, length - copied);
    return toRW(out);
}

RWCString replaceAll(RWCString s, const RWCRegexp& re, RWCString to, size_t start)
{
    size_t pos = start;
    while (pos < s.length()) {
        size_t len = 0;
        size_t at = re.index(s, &len, pos);
        if (at == RW_NPOS)
            break;
        s.replace(at, len, to);
        pos = at + to.length();
        if (len == 0)
            break;
    }
    return s;
}

RWCString joinQuoted(RWTValOrderedVector<RWCString> items, char sep, char quote)
{
    std::string out;
    for (size_t i = 0; i < items.entries(); ++i) {
        if (i > 0)
            out += sep;
        if (quote)
            out += quote;
        const RWCString& item = items[i];
        for (size_t k = 0; k < item.length(); ++k) {
            char c = item.data()[k];
            out += c;
            if (quote && c == quote)
                out += c;
        }
        if (quote)
            out += quote;
    }
    return toRW(out);
}

size_t splitInto(RWTValOrderedVector<RWCString>& out, RWCString text, char sep, char quote, bool skipEmpty)
{
    const char* s = text.data();
    std::string cur;
    bool atStart = true, outside = true, quoted = false;
    auto finishField = [&]() {
        RWCString field = toRW(cur);
        if (!quoted)
            field = stripChars(field, 3, " \t");
        out.insert(field);
    };
    // The text is counted: a NUL byte is a character like any other.
    const size_t n = text.length();
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (atStart && quote && c == quote) {
            outside = false;
            atStart = false;
            quoted = true;
        } else if (quote && c == quote && !outside) {
            if (i + 1 < n && s[i + 1] == quote) {
                cur += quote;
                ++i;
            } else {
                outside = true;
            }
        } else if (c == sep && outside) {
            if (!skipEmpty || !atStart) {
                finishField();
                cur.clear();
                atStart = true;
                quoted = false;
            }
        } else if (outside && isBlank(c) && (atStart || quoted)) {
            // leading blanks, or blanks after the closing quote
        } else {
            cur += c;
            atStart = false;
        }
    }
    if (!quoted) {
        RWCString trimmed = stripChars(toRW(cur), 3, " \t");
        cur.assign(trimmed.data(), trimmed.length());
    }
    if (!cur.empty() || quoted)
        out.insert(toRW(cur));
    return out.entries();
}

RWTValOrderedVector<RWCString> splitString(RWCString text, char sep, char quote, bool skipEmpty)
{
    RWTValOrderedVector<RWCString> out(0, false, 64);
    splitInto(out, text, sep, quote, skipEmpty);
    return out;
}

size_t splitToArray(RWCString* out, size_t maxCount, RWCString text, char sep, char quote)
{
    RWTValOrderedVector<RWCString> fields = splitString(text, sep, quote, false);
    size_t n = 0;
    for (; n < fields.entries() && n < maxCount; ++n)
        out[n] = fields[n];
    return n;
}

RWTValOrderedVector<int> splitToInts(RWCString text, char sep, char quote)
{
    RWTValOrderedVector<RWCString> fields = splitString(text, sep, quote, false);
    RWTValOrderedVector<int> out(0, false, 64);
    for (size_t i = 0; i < fields.entries(); ++i)
        out.insert(std::atoi(fields[i].data()));
    return out;
}

RWTValOrderedVector<double> splitToDoubles(RWCString text, char sep, char quote)
{
    RWTValOrderedVector<RWCString> fields = splitString(text, sep, quote, false);
    RWTValOrderedVector<double> out(0, false, 64);
    for (size_t i = 0; i < fields.entries(); ++i)
        out.insert(stringToDouble(fields[i]));
    return out;
}

namespace {

// Splits "a<stop>b<stop>c" into three fields; false when the text does not have that shape.
bool splitDateFields(const RWCString& s, char stop, RWCString& a, RWCString& b, RWCString& c)
{
    size_t len = s.length();
    size_t p = s.first(stop);
    if (p == RW_NPOS || p + 1 >= len)
        return false;
    const char* d = s.data();
    size_t q = RW_NPOS;
    for (size_t i = p + 1; i < len; ++i)
        if (d[i] == stop) {
            q = i;
            break;
        }
    if (q == RW_NPOS || q + 1 >= len)
        return false;
    a = RWCString(d, p);
    b = RWCString(d + p + 1, q - p - 1);
    c = RWCString(d + q + 1, len - q - 1);
    return true;
}

bool hasInnerChar(const RWCString& s, char c)
{
    size_t p = s.first(c);
    return p != RW_NPOS && p + 1 < s.length();
}

RWDate makeDate(const RWCString& day, const RWCString& month, const RWCString& year)
{
    if (day.length() == 0 || month.length() == 0 || year.length() == 0)
        return RWDate(0UL);
    int y = std::atoi(year.data());
    if (y < 100)
        y += 2000;
    return RWDate(static_cast<unsigned>(std::atoi(day.data())), static_cast<unsigned>(std::atoi(month.data())),
                  static_cast<unsigned>(y));
}

}  // namespace

RWDate parseDate(RWCString s)
{
    RWCString a, b, c;
    if (hasInnerChar(s, '.')) {
        if (splitDateFields(s, '.', a, b, c))
            return makeDate(a, b, c);
        return RWDate(0UL);
    }
    if (hasInnerChar(s, '/') && splitDateFields(s, '/', a, b, c))
        return makeDate(b, a, c);
    return RWDate(0UL);
}

RWTime parseDateTime(RWCString s, const RWZone& zone)
{
    bool dotted = hasInnerChar(s, '.');
    const char dateStop = dotted ? '.' : '/';
    const char stops[6] = {dateStop, dateStop, ' ', ':', ':', '\0'};
    RWCString fields[6];
    size_t pos = 0;
    for (int k = 0; k < 6; ++k) {
        fields[k] = readUntil(s, &pos, stops[k]);
        if (pos < s.length())
            ++pos;
    }
    RWDate date = dotted ? makeDate(fields[0], fields[1], fields[2]) : makeDate(fields[1], fields[0], fields[2]);
    if (!date.isValid())
        return RWTime(0UL);
    return RWTime(date, static_cast<unsigned>(std::atol(fields[3].data())),
                  static_cast<unsigned>(std::atol(fields[4].data())), static_cast<unsigned>(std::atol(fields[5].data())),
                  zone);
}

RWCString readUntil(const RWCString& s, size_t* pos, char stop)
{
    size_t start = *pos < s.length() ? *pos : s.length();
    size_t end = start;
    const char* d = s.data();
    // A NUL stop reads to the end.
    while (end < s.length() && (stop == '\0' || d[end] != stop))
        ++end;
    *pos = end;
    return RWCString(d + start, end - start);
}

bool hasTimePart(RWCString s) { return s.first(':') != RW_NPOS; }

RWCString firstWord(RWCString s)
{
    const char* d = s.data();
    size_t n = s.length(), b = 0;
    while (b < n && d[b] == ' ')
        ++b;
    size_t e = b;
    while (e < n && d[e] != ' ')
        ++e;
    return RWCString(d + b, e - b);
}

RWCString percentDecode(RWCString s)
{
    const char* d = s.data();
    size_t n = s.length();
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (d[i] == '%' && i + 2 < n) {
            int hi = platform::hexDigitValue(d[i + 1]), lo = platform::hexDigitValue(d[i + 2]);
            // Not an escape: keep the '%' and read on after it.
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(16 * hi + lo);
                i += 2;
                continue;
            }
        }
        out += d[i];
    }
    return toRW(out);
}

RWCString percentEncode(RWCString s, RWCString allowed)
{
    static const char digits[] = "0123456789ABCDEF";
    const char* d = s.data();
    std::string out;
    out.reserve(s.length());
    for (size_t i = 0; i < s.length(); ++i) {
        char c = d[i];
        if (std::memchr(allowed.data(), c, allowed.length())) {
            out += c;
        } else {
            unsigned char b = static_cast<unsigned char>(c);
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    }
    return toRW(out);
}

int fuzzyWildcardMatch(const char* text, const char* pattern, int maxErrors)
{
    const int noMatch = 1024;
    const size_t limit = 1023;
    if (!text)
        text = "";
    if (!pattern)
        pattern = "";
    size_t n = std::strlen(text), m = std::strlen(pattern);
    if (n > limit)
        n = limit;
    if (m > limit)
        m = limit;
    char t[limit + 1], p[limit + 1];
    for (size_t i = 0; i < n; ++i)
        t[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    for (size_t i = 0; i < m; ++i)
        p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(pattern[i])));

    std::vector<int> row(n + 1), prev(n + 1);
    char first = m > 0 ? p[0] : '\0';
    if (first == '*') {
        for (size_t i = 0; i <= n; ++i)
            row[i] = 0;
    } else {
        row[0] = m > 0 ? 1 : 0;
        bool seen = false;
        for (size_t i = 1; i <= n; ++i) {
            if (m > 0 && (first == '?' || t[i - 1] == first))
                seen = true;
            row[i] = seen ? int(i) - 1 : int(i);
        }
    }
    int minimum = (row[0] != 0 && n > 0) ? row[1] : row[0];
    if (minimum > maxErrors)
        return noMatch;

    for (size_t j = 1; j < m; ++j) {
        char c = p[j];
        int sub = (c == '*' || c == '?') ? 0 : 1;
        int step = c == '*' ? 0 : 1;
        row.swap(prev);
        row[0] = prev[0] + step;
        minimum = row[0];
        for (size_t i = 1; i <= n; ++i) {
            int v = prev[i - 1] + (c == t[i - 1] ? 0 : sub);
            if (prev[i] + step < v)
                v = prev[i] + step;
            if (row[i - 1] + step < v)
                v = row[i - 1] + step;
            row[i] = v;
            if (v < minimum)
                minimum = v;
        }
        if (minimum > maxErrors)
            return noMatch;
    }
    return row[n] > maxErrors ? noMatch : row[n];
}

UTTimer::UTTimer() : startTime(std::time(nullptr)), lastTime(0) {}

void UTTimer::start() { startTime = std::time(nullptr); }

bool UTTimer::isElapsed(int milliseconds)
{
    lastTime = std::time(nullptr);
    long elapsed = static_cast<long>(std::difftime(lastTime, startTime));
    return elapsed >= milliseconds / 1000;
}
