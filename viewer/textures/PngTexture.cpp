// The PNG texture loader: process-wide settings, the loads into OpenGL textures and the raw
// reads.
#include "viewer/textures/PngTexture.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "math/NumberText.h"
#include "viewer/textures/PngDecode.h"
#include "viewer/textures/TextureImage.h"

namespace {

unsigned char standardAlpha(unsigned char, unsigned char, unsigned char)
{
    return 255;
}

// Process-wide, touched only on the user-interface thread.
struct LoaderSettings {
    int maxTextureSize = 0;  // 0 until the first load with a current context
    int32_t screenGamma = PNG_DEFAULT_SCREEN_GAMMA;  // fixed point
    bool gammaExplicit = false;
    bool bottomUp = false;
    unsigned char stencil[3] = {0, 0, 0};
    PngAlphaCallback alphaCallback = standardAlpha;
};

LoaderSettings& settings()
{
    static LoaderSettings s;
    return s;
}

// Asks the current context once for its largest texture. False without a current context.
bool knowMaxTextureSize()
{
    LoaderSettings& s = settings();
    if (s.maxTextureSize > 0)
        return true;
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    if (size <= 0)
        return false;
    s.maxTextureSize = size;
    // Paletted textures would need glColorTableEXT, which our OpenGL (Mesa's off-screen
    // renderer) does not offer: palettes always expand to RGB or RGBA, so nothing is decided
    // beyond this.
    return true;
}

bool validOptions(int mipmap, int transparency, int border)
{
    return mipmap >= PNG_SIMPLEMIPMAPS && transparency >= PNG_CALLBACK && transparency <= 7 && border >= 0 &&
           border <= 1;
}

// Uploads one level; false when OpenGL refuses it.
bool uploadLevel(int level, const TextureImage& image, int border)
{
    // Earlier errors are not ours; a lost context would report one forever, so the count is bounded.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
    const GLenum format = image.Components == 4 ? GL_RGBA : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, level, image.Components, image.Width, image.Height, border, format, GL_UNSIGNED_BYTE,
                 image.Pixels.data());
    return glGetError() == GL_NO_ERROR;
}

bool upload(TextureImage image, int mipmap, int border)
{
    if (mipmap >= 0)
        return uploadLevel(mipmap, image, border);
    for (int level = 0;; ++level) {
        if (!uploadLevel(level, image, border))
            return false;
        if (image.Width - 2 * border <= 1 && image.Height - 2 * border <= 1)
            return true;
        image = nextMipmapLevel(image, border, mipmap == PNG_BUILDMIPMAPS);
    }
}

} // namespace

int32_t pngScreenGamma()
{
    const LoaderSettings& s = settings();
    if (s.gammaExplicit)
        return s.screenGamma;
    if (const char* text = std::getenv("VIEWING_GAMMA"))
        if (const int32_t screen = pngScreenGammaFor(stringToDouble(text)))
            return screen;
    return s.screenGamma;
}

bool pngStandardOrientation()
{
    return settings().bottomUp;
}

unsigned char PngComputedAlpha(int transparency, unsigned char red, unsigned char green, unsigned char blue)
{
    const int s = red + green + blue;
    const int q = red * red + green * green + blue * blue;
    switch (transparency) {
    case PNG_STENCIL: {
        const LoaderSettings& st = settings();
        return red == st.stencil[0] && green == st.stencil[1] && blue == st.stencil[2] ? 0 : 255;
    }
    case 1: return s < 256 ? s : 255;
    case 2: return s < 511 ? s / 2 : 255;
    case 3: return s / 3;
    case 4: return q < 256 ? q : 255;
    case 5: return q < 511 ? q / 2 : 255;
    case 6: return q < 766 ? q / 3 : 255;
    case 7: return q < 65026 ? (unsigned char)(std::sqrt(double(q))) : 255;
    case PNG_CALLBACK: return settings().alphaCallback(red, green, blue);
    default: return 255;
    }
}

bool PngLoadStream(std::FILE* file, int mipmap, int transparency, PngInfo* info, int* finalWidth,
                   int* finalHeight, int border)
{
    if (!file || !validOptions(mipmap, transparency, border))
        return false;
    PngDecodeRequest request;
    request.ForTexture = true;
    request.KeepAlpha = transparency == PNG_ALPHA;
    request.BottomUp = pngStandardOrientation();
    request.ScreenGamma = pngScreenGamma();
    PngDecoded decoded;
    if (!decodePng(file, request, decoded))
        return false;
    if (info) {
        info->Width = decoded.Width;
        info->Height = decoded.Height;
        info->Depth = decoded.Depth;
        info->Alpha = 0;
    }
    if (!knowMaxTextureSize())
        return false;

    const int maxSize = settings().maxTextureSize;
    const int width = textureTargetSize(decoded.Image.Width, border, maxSize);
    const int height = textureTargetSize(decoded.Image.Height, border, maxSize);
    TextureImage image = width != decoded.Image.Width || height != decoded.Image.Height
                             ? scaleNearest(decoded.Image, width, height)
                             : std::move(decoded.Image);
    if (transparency != PNG_ALPHA && transparency != PNG_SOLID)
        image = addComputedAlpha(image, transparency);
    const bool alpha = image.Components == 4;

    GLint pack = 4, unpack = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const bool uploaded = upload(std::move(image), mipmap, border);
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpack);
    if (!uploaded)
        return false;

    if (info)
        info->Alpha = alpha ? 8 : 0;
    if (finalWidth)
        *finalWidth = width;
    if (finalHeight)
        *finalHeight = height;
    return true;
}

bool PngLoadFile(const char* path, int mipmap, int transparency, PngInfo* info, int* finalWidth, int* finalHeight,
                 int border)
{
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file)
        return false;
    const bool loaded = PngLoadStream(file, mipmap, transparency, info, finalWidth, finalHeight, border);
    return std::fclose(file) == 0 && loaded;
}

GLuint PngBindStream(std::FILE* file, int mipmap, int transparency, PngInfo* info, GLint wrap, GLint minFilter,
                     GLint magFilter, int* finalWidth, int* finalHeight, int border)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0)
        return 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    if (!PngLoadStream(file, mipmap, transparency, info, finalWidth, finalHeight, border)) {
        glDeleteTextures(1, &name);
        return 0;
    }
    return name;
}

GLuint PngBindFile(const char* path, int mipmap, int transparency, PngInfo* info, GLint wrap, GLint minFilter,
                   GLint magFilter, int* finalWidth, int* finalHeight, int border)
{
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file)
        return 0;
    GLuint name =
        PngBindStream(file, mipmap, transparency, info, wrap, minFilter, magFilter, finalWidth, finalHeight, border);
    if (std::fclose(file) != 0 && name != 0) {
        glDeleteTextures(1, &name);
        name = 0;
    }
    return name;
}

bool PngLoadRawStream(std::FILE* file, PngRawInfo* raw)
{
    if (!raw)
        return false;
    *raw = PngRawInfo();
    PngDecodeRequest request;
    request.ForTexture = false;
    request.KeepAlpha = true;
    request.BottomUp = pngStandardOrientation();
    request.ScreenGamma = pngScreenGamma();
    PngDecoded decoded;
    if (!decodePng(file, request, decoded))
        return false;
    raw->Width = decoded.Width;
    raw->Height = decoded.Height;
    raw->Depth = decoded.Depth;
    raw->Alpha = decoded.AlphaChannel ? 8 : 0;
    raw->Components = unsigned(decoded.Image.Components);
    raw->Data = std::move(decoded.Image.Pixels);
    raw->Palette = std::move(decoded.Palette);
    return true;
}

bool PngLoadRawFile(const char* path, PngRawInfo* raw)
{
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file)
        return false;
    const bool loaded = PngLoadRawStream(file, raw);
    if (std::fclose(file) != 0) {
        if (raw)
            *raw = PngRawInfo();
        return false;
    }
    return loaded;
}

void PngSetStencil(unsigned char red, unsigned char green, unsigned char blue)
{
    LoaderSettings& s = settings();
    s.stencil[0] = red, s.stencil[1] = green, s.stencil[2] = blue;
}

void PngSetAlphaCallback(PngAlphaCallback callback)
{
    settings().alphaCallback = callback ? callback : standardAlpha;
}

void PngSetViewingGamma(double viewingGamma)
{
    LoaderSettings& s = settings();
    const int32_t screen = pngScreenGammaFor(viewingGamma);
    s.screenGamma = screen ? screen : PNG_DEFAULT_SCREEN_GAMMA;
    s.gammaExplicit = screen != 0;
}

void PngSetStandardOrientation(bool bottomUp)
{
    settings().bottomUp = bottomUp;
}
