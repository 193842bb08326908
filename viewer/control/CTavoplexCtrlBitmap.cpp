// CTavoplexCtrl: rendering the isometric view into a BMP file through a second context that
// shares display lists and textures with the window's, and the BMP file itself.
#include <string>
#include <vector>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "services/files/WholeFileWriter.h"
#include "viewer/control/CTavoplexCtrl.h"

int RoundedBitCount(int planesTimesBits)
{
    if (planesTimesBits == 1)
        return 1;
    if (planesTimesBits < 5)
        return 4;
    if (planesTimesBits < 9)
        return 8;
    if (planesTimesBits < 17)
        return 16;
    if (planesTimesBits <= 24)
        return 24;
    return 32;
}

uint64_t BitmapRowBytes(int roundedBits, int width)
{
    return ((uint64_t(roundedBits) * uint64_t(width) + 31u) & ~uint64_t(31)) / 8u;
}

namespace {

void put16(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

void put32(uint8_t* at, uint32_t v)
{
    put16(at, v & 0xFFFFu);
    put16(at + 2, v >> 16);
}

// The bitmap's bits in the block's layout: rows from the bottom, blue, green, red (and a
// zero byte at 32 bits), each row padded to 4 bytes. False for a layout the bitmap cannot
// give (the true-colour surface has no palette indices) or sizes that do not match.
bool fetchBits(const MemoryBitmap& bitmap, const BitmapInfo& info, std::vector<uint8_t>& bits)
{
    const platform::gl::GlSurface* surface = bitmap.surface;
    if (surface == nullptr || info.width != surface->width() || info.height != surface->height() ||
        (info.bitCount != 24 && info.bitCount != 32))
        return false;
    const uint64_t rowBytes = BitmapRowBytes(info.bitCount, info.width);
    if (rowBytes * uint64_t(info.height) != info.sizeImage)
        return false;
    bits.assign(size_t(info.sizeImage), 0);
    const size_t step = info.bitCount / 8u;
    const uint8_t* rgba = surface->pixels();
    for (size_t y = 0; y < size_t(info.height); ++y) {
        uint8_t* out = bits.data() + y * rowBytes;
        const uint8_t* in = rgba + y * size_t(info.width) * 4u;
        for (size_t x = 0; x < size_t(info.width); ++x, out += step, in += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return true;
}

}  // namespace

int32_t CTavoplexCtrl::CreateBMP(const RWCString& filename, int32_t xSize, int32_t ySize)
{
    if (xSize < 1 || ySize < 1 || xSize > kMaxBitmapEdge || ySize > kMaxBitmapEdge || WindowContext == nullptr)
        return 1;
    SavedGLContext = GLContext;
    SavedDeviceContext = DeviceContext;
    SavedGLLockCount = GLLockCount;
    const int32_t savedWidth = WindowWidth;
    const int32_t savedHeight = WindowHeight;
    // Called inside a drawing step, the window's context is current and must be again after.
    const bool windowWasCurrent = SavedGLContext != nullptr && SavedGLContext->isCurrent();

    bool written = false;
    try {
        BitmapSurface = std::make_unique<platform::gl::GlSurface>(xSize, ySize);
        SetupBitmapPixelFormat(BitmapSurface.get());
        if (GLContext != nullptr) {
            // The bitmap's context has its own lock, taken from nothing.
            GLLockCount = 0;
            WindowWidth = xSize;
            WindowHeight = ySize;
            RenderingToBitmap = true;
            // The font and shadow texture are made again in the shared name space, so the
            // window draws with the new names afterwards. The parts' display lists are shared
            // as they stand: compiling the model a second time would draw the same picture.
            InitOpenGL();
            ModelLeftOut = true;
            RenderFrame();
            SetStandardView(7, true, 0, false);
            OnTimer(1);  // only records the time (InitOpenGL cleared it)
            OnTimer(1);  // the camera move lands
            ModelLeftOut = false;
            RenderFrame();
            RenderingToBitmap = false;
            const MemoryBitmap bitmap{xSize, ySize, 1, 32, BitmapSurface.get()};
            if (std::unique_ptr<BitmapInfo> info = BuildBitmapInfo(bitmap))
                written = WriteBitmapFile(filename, *info, bitmap);
        }
    } catch (...) {
        // A failed pass ends the picture; the window is put back below all the same.
        written = false;
    }
    RenderingToBitmap = false;
    ModelLeftOut = false;
    ReleaseBitmapContext();
    GLContext = SavedGLContext;
    DeviceContext = SavedDeviceContext;
    GLLockCount = SavedGLLockCount;
    WindowWidth = savedWidth;
    WindowHeight = savedHeight;
    if (windowWasCurrent && GLContext != nullptr && DeviceContext != nullptr)
        GLContext->makeCurrent(*DeviceContext);

    try {
        RenderFrame();
        SetStandardView(7, true, 0, false);
        OnTimer(1);
    } catch (...) {
        // The window's own frames fail as they would on a paint; the file is written.
        RestoreOpenGLLock(SavedGLLockCount);
    }
    return written ? 0 : 1;
}

void CTavoplexCtrl::SetupBitmapPixelFormat(platform::gl::GlSurface* memoryContext)
{
    DeviceContext = memoryContext;
    PixelFormatRecord asked;
    asked.flags = kPixelFormatDrawToBitmap | kPixelFormatSupportGdi | kPixelFormatSupportOpenGL;
    asked.colorBits = 24;
    asked.depthBits = 32;
    BitmapPixelFormat = asked;
    BitmapContext = platform::gl::GlContext::create(WindowContext.get(), asked.depthBits);
    // What the renderer gives: 8 bits per channel in RGBA order, never a palette.
    BitmapPixelFormat.colorBits = 24;
    BitmapPixelFormat.redBits = BitmapPixelFormat.greenBits = BitmapPixelFormat.blueBits = 8;
    BitmapPixelFormat.redShift = 0;
    BitmapPixelFormat.greenShift = 8;
    BitmapPixelFormat.blueShift = 16;
    if (BitmapContext != nullptr)
        BitmapPixelFormat.depthBits = BitmapContext->depthBits();
    if ((BitmapPixelFormat.flags & kPixelFormatNeedPalette) != 0)
        BuildBitmapPalette(BitmapPixelFormat);
    GLContext = BitmapContext.get();
}

void CTavoplexCtrl::BuildBitmapPalette(const PixelFormatRecord& format)
{
    BitmapPalette.entries.clear();
    if (format.colorBits < 1 || format.colorBits > 16)
        return;
    const uint32_t n = 1u << format.colorBits;
    auto channel = [](uint32_t i, int shift, int bits) -> uint32_t {
        if (bits <= 0)
            return 0;
        const uint32_t mask = (1u << bits) - 1u;
        return ((i >> shift) & mask) * 255u / mask;
    };
    BitmapPalette.entries.resize(n);
    for (uint32_t i = 0; i < n; ++i)
        BitmapPalette.entries[i] = channel(i, format.redShift, format.redBits) |
                                   channel(i, format.greenShift, format.greenBits) << 8 |
                                   channel(i, format.blueShift, format.blueBits) << 16;
}

std::unique_ptr<BitmapInfo> CTavoplexCtrl::BuildBitmapInfo(const MemoryBitmap& bitmap)
{
    if (bitmap.width < 1 || bitmap.height < 1 || bitmap.width > kMaxBitmapEdge || bitmap.height > kMaxBitmapEdge ||
        bitmap.planes < 1 || bitmap.bitsPerPixel < 1 || bitmap.planes * bitmap.bitsPerPixel > 32)
        return nullptr;
    const int bits = RoundedBitCount(bitmap.planes * bitmap.bitsPerPixel);
    auto info = std::make_unique<BitmapInfo>();
    info->width = bitmap.width;
    info->height = bitmap.height;
    info->planes = uint16_t(bitmap.planes);
    info->bitCount = uint16_t(bitmap.bitsPerPixel);
    info->compression = 0;
    const uint64_t imageSize = BitmapRowBytes(bits, bitmap.width) * uint64_t(bitmap.height);
    if (imageSize > 0xFFFFFFFFu - 4096u)
        return nullptr;
    info->sizeImage = uint32_t(imageSize);
    if (bits < 24) {
        info->colorsUsed = 1u << bits;
        info->colors.assign(info->colorsUsed, 0);
    }
    return info;
}

bool CTavoplexCtrl::WriteBitmapFile(const RWCString& filename, BitmapInfo& info, const MemoryBitmap& bitmap)
{
    std::vector<uint8_t> bits;
    try {
        if (!fetchBits(bitmap, info, bits))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }

    uint8_t header[BitmapInfo::kFileHeaderSize + BitmapInfo::kHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, uint32_t(info.fileSize()));
    put32(header + 10, uint32_t(info.bitsOffset()));
    uint8_t* h = header + BitmapInfo::kFileHeaderSize;
    put32(h + 0, BitmapInfo::kHeaderSize);
    put32(h + 4, uint32_t(info.width));
    put32(h + 8, uint32_t(info.height));  // positive: the bottom row comes first
    put16(h + 12, info.planes);
    put16(h + 14, info.bitCount);
    put32(h + 16, info.compression);
    put32(h + 20, info.sizeImage);
    put32(h + 32, info.colorsUsed);
    std::vector<uint8_t> table(info.colors.size() * 4u);
    for (size_t i = 0; i < info.colors.size(); ++i)
        put32(table.data() + 4 * i, info.colors[i] & 0x00FFFFFFu);

    // Written whole or not at all; a device, a FIFO or a folder by that name is refused, never
    // replaced by a plain file.
    WholeFileWriter writer;
    if (writer.open(std::string(filename.data(), filename.length())) != WholeFileStatus::Written)
        return false;
    return writer.write(reinterpret_cast<const char*>(header), sizeof header) &&
           writer.write(reinterpret_cast<const char*>(table.data()), table.size()) &&
           writer.write(reinterpret_cast<const char*>(bits.data()), bits.size()) && writer.commit();
}

void CTavoplexCtrl::ReleaseBitmapContext()
{
    if (BitmapContext != nullptr && BitmapContext->isCurrent())
        BitmapContext->release();
    BitmapContext.reset();
    BitmapSurface.reset();
    BitmapPalette.entries.clear();
}
