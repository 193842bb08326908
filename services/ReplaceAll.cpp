// Replacing every occurrence of a text or a pattern, never searching inserted text.
#include "services/ReplaceAll.h"

#include <string>

#include "foundation/RWCRegexp.h"

namespace {

RWCString toRW(const std::string& s) { return RWCString(s.c_str(), s.size()); }

}  // namespace

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
