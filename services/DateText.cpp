// Dates and times read from texts.
#include "services/DateText.h"

#include <cstdlib>

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
