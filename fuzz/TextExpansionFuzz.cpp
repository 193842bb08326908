// Fuzz target: "$(NAME)" and folder-token expansion, and character-set trimming.
#include <cstddef>
#include <cstdint>

#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"
#include "services/StringHelpers.h"
#include "services/environment/TextExpansion.h"

// Input: the text to expand; its first byte also picks the trimming mode and its first few
// bytes the characters trimmed.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const RWCString text(reinterpret_cast<const char*>(data), size);
    int status = 0;
    expandText(text, &status);
    expandString(text);

    const int mode = size ? data[0] % 4 : 0;
    const RWCString chars(reinterpret_cast<const char*>(data), size < 4 ? size : 4);
    const RWCString stripped = stripChars(text, mode, chars);
    FUZZ_CHECK(stripped.length() <= text.length());
    return 0;
}
