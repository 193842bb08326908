// Reference-image support: reading BMP and PNG pictures, writing PNG, and comparing a picture
// with its baseline pixel by pixel (with a diff image for a failure).
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"

// RGBA8, rows from the top.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* at(int x, int y) const { return rgba.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
};

namespace reference_image {

inline uint32_t le(const std::string& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | uint8_t(b[at + size_t(i)]);
    return v;
}

}  // namespace reference_image

// An uncompressed 24- or 32-bit BMP (rows from the bottom); false with the reason otherwise.
inline bool ReadBmpImage(const std::string& path, RgbaImage& image, std::string& error)
{
    using reference_image::le;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    std::string b;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        b.append(chunk, n);
    std::fclose(f);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        error = path + " is no BMP file";
        return false;
    }
    const int32_t width = int32_t(le(b, 18, 4)), height = int32_t(le(b, 22, 4));
    const uint32_t bits = le(b, 28, 2), offset = le(b, 10, 4);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || (bits != 24 && bits != 32) ||
        le(b, 30, 4) != 0) {
        error = path + ": not an uncompressed bottom-up 24 or 32-bit BMP";
        return false;
    }
    const size_t row = ((size_t(bits) * size_t(width) + 31) / 32) * 4;
    if (offset > b.size() || (b.size() - offset) / row < size_t(height)) {
        error = path + " is short";
        return false;
    }
    image.width = width;
    image.height = height;
    image.rgba.assign(size_t(width) * size_t(height) * 4, 255);
    for (int y = 0; y < height; ++y) {
        const char* in = b.data() + offset + size_t(height - 1 - y) * row;
        uint8_t* out = image.rgba.data() + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x, in += bits / 8, out += 4) {
            out[0] = uint8_t(in[2]);
            out[1] = uint8_t(in[1]);
            out[2] = uint8_t(in[0]);
        }
    }
    return true;
}

inline bool ReadPngImage(const std::string& path, RgbaImage& image, std::string& error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = "cannot read " + path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    image.width = int(png.width);
    image.height = int(png.height);
    image.rgba.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) {
        error = "cannot read " + path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

inline bool WritePngImage(const std::string& path, const RgbaImage& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&png, path.c_str(), 0, image.rgba.data(), 0, nullptr) != 0;
}

// The outcome of comparing a picture with its baseline.
struct ImageComparison {
    bool sameSize = false;
    size_t differing = 0;  // pixels with a channel off by more than the tolerance
    size_t allowed = 0;
    int worstX = -1, worstY = -1, worstDelta = 0;
    bool passed() const { return sameSize && differing <= allowed; }
    std::string describe(const RgbaImage& actual, const RgbaImage& baseline) const
    {
        std::ostringstream s;
        s << "picture " << actual.width << "x" << actual.height << ", baseline " << baseline.width << "x"
          << baseline.height;
        if (sameSize)
            s << "; " << differing << " pixels differ (at most " << allowed << " may), the worst by " << worstDelta
              << "/255 at (" << worstX << ", " << worstY << ")";
        return s.str();
    }
};

// Per pixel, RGB: a pixel differs when a channel is off by more than tolerance/255; at most
// maxFraction of the pixels may differ. A size mismatch fails.
inline ImageComparison CompareImages(const RgbaImage& actual, const RgbaImage& baseline, int tolerance = 2,
                                     double maxFraction = 0.001)
{
    ImageComparison result;
    result.sameSize = actual.width == baseline.width && actual.height == baseline.height &&
                      actual.rgba.size() == baseline.rgba.size();
    if (!result.sameSize)
        return result;
    result.allowed = size_t(double(actual.width) * double(actual.height) * maxFraction);
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            const uint8_t* a = actual.at(x, y);
            const uint8_t* b = baseline.at(x, y);
            int delta = 0;
            for (int c = 0; c < 3; ++c)
                delta = std::max(delta, std::abs(int(a[c]) - int(b[c])));
            if (delta > tolerance)
                ++result.differing;
            if (delta > result.worstDelta) {
                result.worstDelta = delta;
                result.worstX = x;
                result.worstY = y;
            }
        }
    return result;
}

// Differing pixels in red over a faded copy of the baseline.
inline RgbaImage DiffImage(const RgbaImage& actual, const RgbaImage& baseline, int tolerance = 2)
{
    RgbaImage diff = baseline;
    for (int y = 0; y < diff.height && y < actual.height; ++y)
        for (int x = 0; x < diff.width && x < actual.width; ++x) {
            uint8_t* d = diff.rgba.data() + (size_t(y) * size_t(diff.width) + size_t(x)) * 4;
            const uint8_t* a = actual.at(x, y);
            int delta = 0;
            for (int c = 0; c < 3; ++c)
                delta = std::max(delta, std::abs(int(a[c]) - int(d[c])));
            if (delta > tolerance) {
                d[0] = 255, d[1] = 0, d[2] = 0;
            } else {
                for (int c = 0; c < 3; ++c)
                    d[c] = uint8_t(128 + d[c] / 4);
            }
            d[3] = 255;
        }
    return diff;
}

// GL_RENDERER and GL_VERSION of a fresh context, for failure reports.
inline std::string ReferenceRendererText()
{
    auto context = platform::gl::GlContext::create();
    platform::gl::GlSurface surface(1, 1);
    if (context == nullptr || !context->makeCurrent(surface))
        return "no renderer";
    std::string text = platform::gl::GlContext::rendererText();
    context->release();
    return text;
}

// Compares the picture with baselineFolder/NAME.png. The picture is always left in
// outFolder/NAME.png (with NAME-diff.png when it differs). Empty when it matches, else the
// report: a missing baseline fails too (look at the picture, then copy it in by name).
inline std::string CheckAgainstBaseline(const RgbaImage& picture, const std::string& name,
                                        const std::string& baselineFolder, const std::string& outFolder)
{
    std::error_code ec;
    std::filesystem::create_directories(outFolder, ec);
    const std::string output = outFolder + "/" + name + ".png";
    const std::string baselinePath = baselineFolder + "/" + name + ".png";
    if (!WritePngImage(output, picture))
        return name + ": cannot write " + output;
    if (!std::filesystem::exists(baselinePath))
        return name + ": no baseline " + baselinePath + "; the picture is " + output +
               " (look at it, then copy it in by name)";
    RgbaImage baseline;
    std::string error;
    if (!ReadPngImage(baselinePath, baseline, error))
        return name + ": " + error;
    const ImageComparison result = CompareImages(picture, baseline);
    if (result.passed())
        return "";
    const std::string diff = outFolder + "/" + name + "-diff.png";
    if (result.sameSize)
        WritePngImage(diff, DiffImage(picture, baseline));
    return name + ": " + result.describe(picture, baseline) + "\n  renderer " + ReferenceRendererText() +
           "\n  picture " + output + (result.sameSize ? "\n  differences " + diff : std::string());
}
