// Fuzz target: RWCRegexp compilation and search.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/RWCRegexp.h"
#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"

// Input: pattern, a NUL, then the text searched (the whole input is the pattern when there
// is no NUL, and is then searched in itself).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(bytes, 0, size) : nullptr;
    const size_t patternLength = nul ? size_t(static_cast<const char*>(nul) - bytes) : size;
    RWCString pattern(bytes, patternLength);
    RWCString text = nul ? RWCString(bytes + patternLength + 1, size - patternLength - 1) : pattern;

    auto bytesOf = [](const RWCString& s) { return std::string(s.data(), s.length()); };

    RWCRegexp re(pattern);
    const RWCRegexp::statVal status = re.status();
    if (status != RWCRegexp::OK) {
        // A failed pattern matches nothing once its status has been read.
        size_t len = 7;
        FUZZ_CHECK(re.index(text, &len) == RW_NPOS && len == 0,
                   bytesOf(pattern), bytesOf(text));
        return 0;
    }
    // The matcher backtracks: its work grows like the text length to the power of the
    // number of closures plus one. Keep each run short so the fuzzer explores rather than
    // waits (a hostile pattern against a long text is slow by design of the matcher).
    size_t closures = 0;
    for (size_t i = 0; i < RWCRegexp::maxCodes && re.codes()[i] != RWCRegexp::codeEnd; ++i) {
        const uint16_t code = re.codes()[i];
        if (code == RWCRegexp::codeStar || code == RWCRegexp::codePlus ||
            code == RWCRegexp::codeQuestion)
            ++closures;
        else if (code == RWCRegexp::codeClass)
            i += 16;
    }
    const size_t textLimit = closures <= 1 ? 1024 : closures == 2 ? 128 : closures <= 6 ? 16 : 0;
    if (text.length() > textLimit)
        text = RWCString(text.data(), textLimit);

    // Every match lies inside the text, and the search from its position finds it again.
    size_t matches = 0;
    for (size_t start = 0; start <= text.length(); ++start) {
        size_t len = 0;
        const size_t pos = re.index(text, &len, start);
        if (pos == RW_NPOS) {
            FUZZ_CHECK(len == 0,
                   bytesOf(pattern), bytesOf(text));
            break;
        }
        FUZZ_CHECK(pos >= start && pos <= text.length() && len <= text.length() - pos,
                   bytesOf(pattern), bytesOf(text));
        size_t againLen = 0;
        FUZZ_CHECK(re.index(text, &againLen, pos) == pos && againLen == len,
                   bytesOf(pattern), bytesOf(text));
        start = pos;
        if (++matches >= 8)
            break;
    }
    // Past the end finds nothing.
    size_t len = 0;
    FUZZ_CHECK(re.index(text, &len, text.length() + 1) == RW_NPOS);
    // Copies compile to the same codes.
    RWCRegexp copy(re);
    FUZZ_CHECK(std::memcmp(copy.codes(), re.codes(), RWCRegexp::maxCodes * sizeof(uint16_t)) == 0);
    return 0;
}
