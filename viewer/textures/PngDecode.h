// Reading a PNG file into memory with libpng, shared by the texture and the raw loads.
#pragma once

#include <cstdio>
#include <vector>

#include "viewer/textures/TextureImage.h"

struct PngDecodeRequest {
    bool ForTexture = true;  // expand grey and palettes to RGB; else keep the file's channels
    bool KeepAlpha = true;   // keep the alpha channel (and turn a transparent colour into alpha)
    bool BottomUp = false;   // store the first image row last
    double ScreenGamma = 2.2;
};

struct PngDecoded {
    unsigned Width = 0;
    unsigned Height = 0;
    unsigned Depth = 0;  // the file's bit depth
    bool AlphaChannel = false;  // the file's colour type has an alpha channel
    TextureImage Image;
    std::vector<uint8_t> Palette;  // red, green, blue per entry, for palette images kept as indices
};

// Reads the signature, the header and every row from the file's current position. False on a
// bad signature, any libpng error, or an image above PNG_MAX_SIDE or PNG_MAX_IMAGE_BYTES.
bool decodePng(std::FILE* file, const PngDecodeRequest& request, PngDecoded& out);

// The screen gamma for the next load: the value set explicitly, else 2.2 / "VIEWING_GAMMA"
// when that is a finite number above 0, else 2.2.
double pngScreenGamma();
// Whether rows are stored bottom-up.
bool pngStandardOrientation();
