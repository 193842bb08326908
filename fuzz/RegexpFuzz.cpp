// Fuzz target: RWCRegexp compilation and search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/RWCRegexp.h"
#include "foundation/RWCString.h"
#include "foundation/RWxmsg.h"

// Input: pattern, a NUL, then the text searched (the whole input is the pattern when there
// is no NUL, and is then searched in itself).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(bytes, 0, size) : nullptr;
    const size_t patternLength = nul ? size_t(static_cast<const char*>(nul) - bytes) : size;
    RWCString pattern(bytes, patternLength);
    RWCString text = nul ? RWCString(bytes + patternLength + 1, size - patternLength - 1) : pattern;

    RWCRegexp re(pattern);
    const RWCRegexp::statVal status = re.status();
    if (status != RWCRegexp::OK) {
        // A failed pattern matches nothing once its status has been read.
        size_t len = 7;
        if (re.index(text, &len) != RW_NPOS || len != 0)
            std::abort();
        return 0;
    }
    // Every match lies inside the text, and the search from its position finds it again.
    for (size_t start = 0; start <= text.length(); ++start) {
        size_t len = 0;
        const size_t pos = re.index(text, &len, start);
        if (pos == RW_NPOS) {
            if (len != 0)
                std::abort();
            break;
        }
        if (pos < start || pos > text.length() || len > text.length() - pos)
            std::abort();
        size_t againLen = 0;
        if (re.index(text, &againLen, pos) != pos || againLen != len)
            std::abort();
        start = pos;
        if (start >= 64)
            break;
    }
    // Past the end finds nothing.
    size_t len = 0;
    if (re.index(text, &len, text.length() + 1) != RW_NPOS)
        std::abort();
    // Copies compile to the same codes.
    RWCRegexp copy(re);
    if (std::memcmp(copy.codes(), re.codes(), RWCRegexp::maxCodes * sizeof(uint16_t)) != 0)
        std::abort();
    return 0;
}
