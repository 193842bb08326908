// Image steps of the texture loader that need no OpenGL.
#include "viewer/textures/TextureImage.h"

#include <algorithm>

#include "viewer/textures/PngTexture.h"

int textureTargetSize(int size, int border, int maxSize)
{
    for (int k = 0; k <= 23; ++k) {
        const int target = (1 << k) + 2 * border;
        if (target >= size)
            return (1 << k) > maxSize ? maxSize + 2 * border : target;
    }
    return maxSize + 2 * border;
}

TextureImage scaleNearest(const TextureImage& source, int width, int height)
{
    TextureImage out;
    out.Width = width;
    out.Height = height;
    out.Components = source.Components;
    if (width <= 0 || height <= 0 || source.Width <= 0 || source.Height <= 0)
        return out;
    const int comps = source.Components;
    out.Pixels.resize(size_t(width) * height * comps);
    const float sx = float(source.Width) / float(width);
    const float sy = float(source.Height) / float(height);
    // Single-precision products can round up to the source size on the last texel.
    std::vector<int> column(width);
    for (int x = 0; x < width; ++x)
        column[x] = std::min(int(float(x) * sx), source.Width - 1);
    for (int y = 0; y < height; ++y) {
        const int sourceRow = std::min(int(float(y) * sy), source.Height - 1);
        const uint8_t* from = &source.Pixels[size_t(sourceRow) * source.Width * comps];
        uint8_t* to = &out.Pixels[size_t(y) * width * comps];
        for (int x = 0; x < width; ++x)
            std::copy_n(from + size_t(column[x]) * comps, comps, to + size_t(x) * comps);
    }
    return out;
}

TextureImage addComputedAlpha(const TextureImage& rgb, int transparency)
{
    TextureImage out;
    out.Width = rgb.Width;
    out.Height = rgb.Height;
    out.Components = 4;
    const size_t texels = size_t(rgb.Width) * rgb.Height;
    out.Pixels.resize(texels * 4);
    for (size_t i = 0; i < texels; ++i) {
        const uint8_t* p = &rgb.Pixels[i * 3];
        uint8_t* q = &out.Pixels[i * 4];
        q[0] = p[0], q[1] = p[1], q[2] = p[2];
        q[3] = PngComputedAlpha(transparency, p[0], p[1], p[2]);
    }
    return out;
}

TextureImage nextMipmapLevel(const TextureImage& level, int border, bool average)
{
    TextureImage out;
    const int comps = level.Components;
    out.Components = comps;
    out.Width = std::max(1, (level.Width - 2 * border) / 2) + 2 * border;
    out.Height = std::max(1, (level.Height - 2 * border) / 2) + 2 * border;
    out.Pixels.resize(size_t(out.Width) * out.Height * comps);
    auto at = [&](int x, int y) {
        x = std::min(x, level.Width - 1);
        y = std::min(y, level.Height - 1);
        return &level.Pixels[(size_t(y) * level.Width + x) * comps];
    };
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x) {
            uint8_t* to = &out.Pixels[(size_t(y) * out.Width + x) * comps];
            const uint8_t* a = at(2 * x, 2 * y);
            if (!average) {
                std::copy_n(a, comps, to);
                continue;
            }
            // On a side of 1 the clamp takes the same texel twice, which averages the pair.
            const uint8_t* b = at(2 * x + 1, 2 * y);
            const uint8_t* c = at(2 * x, 2 * y + 1);
            const uint8_t* d = at(2 * x + 1, 2 * y + 1);
            for (int k = 0; k < comps; ++k)
                to[k] = uint8_t((a[k] + b[k] + c[k] + d[k]) / 4);
        }
    return out;
}
