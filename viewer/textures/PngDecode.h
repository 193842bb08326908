// Reading a PNG file into memory with libpng, shared by the texture and the raw loads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "viewer/textures/TextureImage.h"

// Gammas travel in libpng's fixed point, the gamma times 100000: its double calls take any
// value of 128 or more as already scaled.
inline constexpr int32_t PNG_DEFAULT_SCREEN_GAMMA = 220000;  // 2.2

struct PngDecodeRequest {
    bool ForTexture = true;  // expand grey and palettes to RGB; else keep the file's channels
    bool KeepAlpha = true;   // keep the alpha channel (and turn a transparent colour into alpha)
    bool BottomUp = false;   // store the first image row last
    int32_t ScreenGamma = PNG_DEFAULT_SCREEN_GAMMA;  // fixed point, 1 or more
};

struct PngDecoded {
    unsigned Width = 0;
    unsigned Height = 0;
    unsigned Depth = 0;  // the file's bit depth
    bool AlphaChannel = false;  // the file's colour type has an alpha channel
    TextureImage Image;
    // Palette images kept as indices: red, green, blue per entry, gamma-corrected like the
    // texels of an expanded palette, and black entries added up to the largest index in the rows.
    std::vector<uint8_t> Palette;
};

// Reads the signature, the header and every row from the file's current position. False on a
// bad signature, any libpng error, or an image above PNG_MAX_SIDE or PNG_MAX_IMAGE_BYTES.
bool decodePng(std::FILE* file, const PngDecodeRequest& request, PngDecoded& out);

// The screen gamma 2.2 / viewingGamma in fixed point, or 0 when libpng cannot take it: a viewing
// gamma that is not a finite number above 0, or one whose screen gamma rounds outside 1 to
// 2^31 - 1 (0.00001 to about 21474.8; a viewing gamma of about 0.000102 to 440000).
int32_t pngScreenGammaFor(double viewingGamma);
// The screen gamma for the next load, in fixed point: the value set explicitly, else the one
// "VIEWING_GAMMA" gives when pngScreenGammaFor takes it, else 2.2.
int32_t pngScreenGamma();
// Whether rows are stored bottom-up.
bool pngStandardOrientation();
