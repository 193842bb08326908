// Image steps of the texture loader that need no OpenGL: target sizes, nearest-sample
// scaling, alpha by transparency mode and the mipmap reductions.
#pragma once

#include <cstdint>
#include <vector>

// An 8-bit image in memory, rows top to bottom (or as the loader stored them), no padding.
struct TextureImage {
    int Width = 0;
    int Height = 0;
    int Components = 0;
    std::vector<uint8_t> Pixels;
};

// The smallest 2^k + 2 x border (k from 0 to 23) not below size; a larger one, or none, gives
// the largest texture OpenGL takes: maxSize (a power of two) + 2 x border.
int textureTargetSize(int size, int border, int maxSize);

// Target texel (x, y) takes source texel (trunc(x * sx), trunc(y * sy)), sx = width / target
// width in single precision (clamped inside the source).
TextureImage scaleNearest(const TextureImage& source, int width, int height);

// RGB to RGBA with the alpha of a computed transparency mode.
TextureImage addComputedAlpha(const TextureImage& rgb, int transparency);

// The next mipmap level: half the size inside the border (a side of 1 stays 1), each texel the
// average (or the top-left texel) of its 2 x 2 block, or of its pair when one side is 1.
TextureImage nextMipmapLevel(const TextureImage& level, int border, bool average);
