// The PNG texture loader: reads PNG files with libpng, scales them to sizes OpenGL 1.1 accepts
// and uploads them into texture objects; also reads images into memory without an upload.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <vector>

// Mipmap modes: 0 or more uploads that single level; these build every level down to 1 x 1.
inline constexpr int PNG_BUILDMIPMAPS = -1;  // each level averages 2 x 2 blocks of the one above
inline constexpr int PNG_SIMPLEMIPMAPS = -2;  // each level takes the top-left texel of each block

// Transparency modes; 1 to 7 compute alpha from the colour (see PngComputedAlpha).
inline constexpr int PNG_ALPHA = -2;     // the file's alpha channel (or its transparent colour)
inline constexpr int PNG_SOLID = -1;     // no alpha
inline constexpr int PNG_STENCIL = 0;    // the stencil colour transparent, all else opaque
inline constexpr int PNG_CALLBACK = -3;  // alpha from the alpha callback

// What a load tells about the file: its size and bit depth, and 8 when the upload carries an
// alpha channel, else 0.
struct PngInfo {
    unsigned Width = 0;
    unsigned Height = 0;
    unsigned Depth = 0;
    unsigned Alpha = 0;
};

// An image read into memory. Rows hold one byte per component (16-bit channels reduced to 8,
// grey below 8 bits widened to 8, palette indices one byte each); Depth is the file's bit depth.
struct PngRawInfo {
    unsigned Width = 0;
    unsigned Height = 0;
    unsigned Depth = 0;
    unsigned Alpha = 0;       // 8 for colour types with an alpha channel, else 0
    unsigned Components = 0;  // grey 1, grey with alpha 2, RGB 3, palette 1, RGBA 4
    std::vector<uint8_t> Data;     // Height rows of Width x Components bytes
    std::vector<uint8_t> Palette;  // palette images: red, green, blue per entry; else empty
};

// Files larger than these are refused before any image memory is allocated.
inline constexpr unsigned PNG_MAX_SIDE = 16384;
inline constexpr uint64_t PNG_MAX_IMAGE_BYTES = uint64_t(64) << 20;

// Creates a texture name, binds it, sets wrap and filters and loads the file into it. Returns
// the name, or 0 on failure (the name is released again then).
GLuint PngBindFile(const char* path, int mipmap, int transparency, PngInfo* info, GLint wrap, GLint minFilter,
                   GLint magFilter, int* finalWidth, int* finalHeight, int border);
GLuint PngBindStream(std::FILE* file, int mipmap, int transparency, PngInfo* info, GLint wrap, GLint minFilter,
                     GLint magFilter, int* finalWidth, int* finalHeight, int border);

// Loads into the texture bound to GL_TEXTURE_2D; the final (power-of-two plus border) size
// goes to the out arguments (either may be null). Needs a current OpenGL context.
bool PngLoadFile(const char* path, int mipmap, int transparency, PngInfo* info, int* finalWidth, int* finalHeight,
                 int border);
bool PngLoadStream(std::FILE* file, int mipmap, int transparency, PngInfo* info, int* finalWidth,
                   int* finalHeight, int border);

// Reads the image into memory without converting, scaling or uploading it. The samples and a
// palette image's palette are gamma-corrected as a texture's are; every index in the rows lies
// within the palette (black entries stand for indices past the file's palette).
bool PngLoadRawFile(const char* path, PngRawInfo* raw);
bool PngLoadRawStream(std::FILE* file, PngRawInfo* raw);

// Process-wide loader settings.
using PngAlphaCallback = unsigned char (*)(unsigned char red, unsigned char green, unsigned char blue);
void PngSetStencil(unsigned char red, unsigned char green, unsigned char blue);
void PngSetAlphaCallback(PngAlphaCallback callback);  // null restores the standard one (255)
// A finite value above 0 whose screen gamma 2.2 / value libpng can apply (a value of about
// 0.000102 to 440000) fixes the screen gamma and stops the loader reading "VIEWING_GAMMA";
// anything else restores 2.2 and lets the variable count again.
void PngSetViewingGamma(double viewingGamma);
void PngSetStandardOrientation(bool bottomUp);  // true stores the first image row last

// The alpha that a computed transparency mode (0 to 7, or PNG_CALLBACK) gives a colour.
unsigned char PngComputedAlpha(int transparency, unsigned char red, unsigned char green, unsigned char blue);
