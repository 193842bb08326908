// Joining and splitting with a separator and a quote character.
#include "services/QuotedSplit.h"

#include <cstdlib>
#include <string>

#include "math/NumberText.h"
#include "services/StringHelpers.h"

namespace {

RWCString toRW(const std::string& s) { return RWCString(s.c_str(), s.size()); }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

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
