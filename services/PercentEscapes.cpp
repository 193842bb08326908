// Percent escapes: decoding and encoding.
#include "services/PercentEscapes.h"

#include <string>

#include "platform/HexDigit.h"

namespace {

RWCString toRW(const std::string& s) { return RWCString(s.c_str(), s.size()); }

}  // namespace

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
