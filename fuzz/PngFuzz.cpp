// Fuzz target: reading a PNG file into memory (PngLoadRawStream) from arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz/FuzzCheck.h"
#include "viewer/textures/PngTexture.h"

// Input: a choice byte (bit 0: store rows bottom-up), then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    PngSetStandardOrientation((data[0] & 1) != 0);
    // fmemopen refuses a zero-sized buffer; one byte past a signature can never be a PNG.
    static const uint8_t nothing = 0;
    const bool empty = size == 1;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(empty ? &nothing : data + 1), empty ? 1 : size - 1, "rb");
    if (!file)
        return 0;
    PngRawInfo raw;
    const bool ok = PngLoadRawStream(file, &raw);
    std::fclose(file);
    if (!ok) {
        FUZZ_CHECK(raw.Width == 0 && raw.Data.empty());
        return 0;
    }
    FUZZ_CHECK(raw.Width >= 1 && raw.Width <= PNG_MAX_SIDE && raw.Height >= 1 && raw.Height <= PNG_MAX_SIDE);
    FUZZ_CHECK(raw.Components >= 1 && raw.Components <= 4);
    FUZZ_CHECK(raw.Data.size() == size_t(raw.Width) * raw.Height * raw.Components);
    FUZZ_CHECK(raw.Data.size() <= PNG_MAX_IMAGE_BYTES);
    FUZZ_CHECK(raw.Palette.size() % 3 == 0 && raw.Palette.size() <= 256 * 3);
    // A palette image's indices all name an entry of its palette.
    if (!raw.Palette.empty())
        for (uint8_t index : raw.Data)
            FUZZ_CHECK(size_t(index) * 3 < raw.Palette.size());
    FUZZ_CHECK(raw.Alpha == 0 || raw.Alpha == 8);
    return 0;
}
