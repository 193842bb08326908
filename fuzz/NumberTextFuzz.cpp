// Fuzz target: number and colour texts: stringToDouble, stringToInt and feColor's hex form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"
#include "math/NumberText.h"
#include "math/feColor.h"

// Input: the text (read up to its first NUL by the C-string parsers).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    stringToDouble(text.c_str());
    stringToInt(text.c_str());

    feColor color;
    if (color.setFromString(RWCString(text.data(), text.size()))) {
        // An accepted colour prints back to a text that reads as the same colour.
        feColor back;
        const RWCString hex = color.toHexARGB();
        FUZZ_CHECK(back.setFromString(hex) && back == color, text, std::string(hex.data(), hex.length()));
    }
    return 0;
}
