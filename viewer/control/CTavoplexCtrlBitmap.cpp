// CTavoplexCtrl: rendering the isometric view into a BMP file through a second context that
// shares display lists and textures with the window's (the file itself: CTavoplexCtrlBitmapFile.cpp).
#include <memory>
#include <new>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "viewer/control/CTavoplexCtrl.h"

int32_t CTavoplexCtrl::CreateBMP(const RWCString& filename, int32_t xSize, int32_t ySize)
{
    if (xSize < 1 || ySize < 1 || xSize > kMaxBitmapEdge || ySize > kMaxBitmapEdge || WindowContext == nullptr ||
        RendererLost)
        return 1;
    BitmapFailure = platform::ReasonText();
    // The picture's context and buffers are the renderer's memory too.
    if (!RendererRoomLeft())
        return 1;
    SavedGLContext = GLContext;
    SavedDeviceContext = DeviceContext;
    SavedGLLockCount = GLLockCount;
    const int32_t savedWidth = WindowWidth;
    const int32_t savedHeight = WindowHeight;
    // Called inside a drawing step, the window's context is current and must be again after.
    const bool windowWasCurrent = SavedGLContext != nullptr && SavedGLContext->isCurrent();

    // A load whose last step fails while the picture is drawn (its lists are compiled behind
    // the frames before the last) leaves no file, as a load that fails before the picture.
    const bool listsFailedBefore = PartListsFailed;
    // The same for a frame that found no room for the renderer: the picture would lack what
    // it left out.
    DrawingFailed = false;
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
            if ((!PartListsFailed || listsFailedBefore) && !DrawingFailed) {
                if (std::unique_ptr<BitmapInfo> info = BuildBitmapInfo(bitmap))
                    written = WriteBitmapFile(filename, *info, bitmap);
            }
        }
    } catch (...) {
        // A failed pass ends the picture; the window is put back below all the same.
        written = false;
        bool noMemory = RendererLost;
        try {
            throw;
        } catch (const std::bad_alloc&) {
            noMemory = true;
        } catch (...) {
        }
        if (noMemory)
            FailDrawing();
    }
    RenderingToBitmap = false;
    ModelLeftOut = false;
    ReleaseBitmapContext();
    GLContext = SavedGLContext;
    DeviceContext = SavedDeviceContext;
    GLLockCount = SavedGLLockCount;
    WindowWidth = savedWidth;
    WindowHeight = savedHeight;
    // A renderer lost meanwhile is never made current again.
    if (windowWasCurrent && !RendererLost && GLContext != nullptr && DeviceContext != nullptr)
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

void CTavoplexCtrl::ReleaseBitmapContext()
{
    if (BitmapContext != nullptr && BitmapContext->isCurrent())
        BitmapContext->release();
    // A renderer that failed keeps the picture's context and buffer as the window's.
    if (RendererLost && BitmapContext != nullptr)
        platform::gl::GlContext::keepToTheEnd(std::move(BitmapContext), std::move(BitmapSurface));
    BitmapContext.reset();
    BitmapSurface.reset();
    BitmapPalette.entries.clear();
}
