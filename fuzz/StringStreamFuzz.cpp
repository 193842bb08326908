// Fuzz target: RWCString's stream readers (readToDelim, readLine, readString, readToken,
// readFile) on a string stream holding the input.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"

// Input: a reader choice byte, a delimiter byte, then the stream's bytes. Reading goes on
// until the stream fails; the bytes read never exceed the bytes there are.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t choice = data[0];
    const char delim = static_cast<char>(data[1]);
    const std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    std::istringstream in(bytes);

    RWCString s;
    size_t total = 0;
    size_t reads = 0;
    // The pieces read up to a delimiter, joined again by it, give the stream back.
    const int mode = choice % 6;
    const bool joinable = mode == 0 || mode == 2 || mode == 3;
    const char joiner = mode == 0 ? delim : mode == 2 ? '\n' : '\0';
    std::string joined;
    while (in.good()) {
        switch (mode) {
        case 0: s.readToDelim(in, delim); break;
        case 1: s.readLine(in, true); break;
        case 2: s.readLine(in, false); break;
        case 3: s.readString(in); break;
        case 4: s.readToken(in); break;
        default:
            // A token width limits the characters read.
            in.width(choice >> 3);
            s.readToken(in);
            break;
        }
        if (joinable) {
            if (reads > 0)
                joined += joiner;
            joined.append(s.data(), s.length());
        }
        total += s.length();
        // Never more read than there was, and progress on each read.
        FUZZ_CHECK(total <= bytes.size() && ++reads <= bytes.size() + 2, bytes);
    }
    if (joinable)
        FUZZ_CHECK(joined == bytes, bytes, joined);
    RWCString whole;
    std::istringstream again(bytes);
    whole.readFile(again);
    FUZZ_CHECK(whole == RWCString(bytes.data(), bytes.size()), bytes,
               std::string(whole.data(), whole.length()));
    return 0;
}
