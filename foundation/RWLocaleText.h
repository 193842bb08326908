// Text helpers shared by the locale implementations (bounded printf, case-blind search).
#pragma once

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "foundation/RWCString.h"
#include "foundation/RWDate.h"

namespace rwlocale {

// printf into a string of whatever length the result needs.
__attribute__((format(printf, 1, 2))) inline std::string format(const char* fmt, ...)
{
    char small[128];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_start(args, fmt);
    std::vsnprintf(out.data(), out.size(), fmt, args);
    va_end(args);
    out.resize(static_cast<size_t>(n));
    return out;
}

inline RWCString toRW(std::string_view s) { return RWCString(s.data(), s.size()); }
inline std::string_view view(const RWCString& s) { return std::string_view(s.data(), s.length()); }

inline bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
inline bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
inline int upper(char c) { return std::toupper(static_cast<unsigned char>(c)); }

inline bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// First place of word in text, ignoring case; npos when absent or when word is empty.
inline size_t findIgnoringCase(std::string_view text, std::string_view word)
{
    if (word.empty() || word.size() > text.size())
        return std::string_view::npos;
    for (size_t i = 0; i + word.size() <= text.size(); ++i)
        if (equalsIgnoringCase(text.substr(i, word.size()), word))
            return i;
    return std::string_view::npos;
}

inline void skipSpaces(std::string_view text, size_t& pos)
{
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
}

// Stores a parsed date in t when it names a real day; a two-digit year is one of the 1900s.
// t is left untouched otherwise.
inline bool storeDate(unsigned month, unsigned day, unsigned year, struct tm* t)
{
    if (year < 100)
        year += 1900;
    if (month < 1 || month > 12 || !RWDate::dayWithinMonth(month, day, year))
        return false;
    t->tm_year = static_cast<int>(year) - 1900;
    t->tm_mon = static_cast<int>(month) - 1;
    t->tm_mday = static_cast<int>(day);
    return true;
}

// Stores a parsed time of day in t when it is a real one; meridian is 'A' or 'P' for a 12-hour
// clock time (1 to 12) and 0 for a 24-hour one. t is left untouched otherwise.
inline bool storeTime(unsigned hour, unsigned minute, unsigned second, char meridian, struct tm* t)
{
    if (meridian) {
        if (hour < 1 || hour > 12)
            return false;
        if (meridian == 'A' && hour == 12)
            hour = 0;
        else if (meridian == 'P' && hour != 12)
            hour += 12;
    } else if (hour > 23) {
        return false;
    }
    if (minute > 59 || second > 59)
        return false;
    t->tm_hour = static_cast<int>(hour);
    t->tm_min = static_cast<int>(minute);
    t->tm_sec = static_cast<int>(second);
    return true;
}

}  // namespace rwlocale
