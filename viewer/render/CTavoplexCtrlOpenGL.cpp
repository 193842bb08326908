// CTavoplexCtrl: the window's drawing surface and OpenGL context, the re-entrant OpenGL lock,
// and the first OpenGL objects (font, shadow texture) with the start of the timer.
#include <vector>

#include "platform/gl/FrameSink.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "platform/gl/GlyphRasterizer.h"
#include "platform/host/Host.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/DrawPacerC.h"

OpenGLLock::OpenGLLock(CTavoplexCtrl& control, GLStep step) : control_(control), locked_(control.LockOpenGL(step)) {}

OpenGLLock::~OpenGLLock()
{
    if (locked_)
        control_.UnlockOpenGL();
}

void CTavoplexCtrl::SetupPixelFormat()
{
    // The surface stands in for the window's device context: RGBA colour and a depth buffer
    // at the window's size. One context serves the control's whole life, so lists and
    // textures survive a new window.
    const platform::host::ClientSize size =
        HostSite != nullptr ? HostSite->clientSize() : platform::host::ClientSize{WindowWidth, WindowHeight};
    if (WindowSurface == nullptr)
        WindowSurface = std::make_unique<platform::gl::GlSurface>(size.width, size.height);
    else if (!RendererLost)  // a lost renderer may still write into the buffer it has
        WindowSurface->resize(size.width, size.height);
    DeviceContext = WindowSurface.get();
    if (WindowContext == nullptr) {
        WindowContext = platform::gl::GlContext::create(nullptr, 32);
        // The renderer says why it made none where it knows (its drawing threads missing).
        if (WindowContext == nullptr) {
            const platform::ReasonText why = platform::gl::GlContext::failureReason();
            ContextFailure = RWCString(why.data(), why.length());
        }
    }
    // An RGBA surface never needs a palette, so BuildPalette is not called.
    GLContext = WindowContext.get();
}

void CTavoplexCtrl::BuildPalette()
{
    // The regular colour cube of an 8-bit format: 3 bits red, 3 green, 2 blue.
    const int redBits = 3, greenBits = 3, blueBits = 2;
    const int redShift = 0, greenShift = 3, blueShift = 6;
    const unsigned n = 1u << (redBits + greenBits + blueBits);
    const unsigned redMask = (1u << redBits) - 1, greenMask = (1u << greenBits) - 1, blueMask = (1u << blueBits) - 1;
    Palette.entries.assign(n, 0);
    for (unsigned i = 0; i < n; ++i) {
        const unsigned r = ((i >> redShift) & redMask) * 255 / redMask;
        const unsigned g = ((i >> greenShift) & greenMask) * 255 / greenMask;
        const unsigned b = ((i >> blueShift) & blueMask) * 255 / blueMask;
        Palette.entries[i] = r | (g << 8) | (b << 16);
    }
}

bool CTavoplexCtrl::LockOpenGL(GLStep step)
{
    if (GLContext == nullptr || RendererLost)
        return false;
    if (step == GLStep::Draws && !RendererRoomLeft())
        return false;
    GLLockCount += 1;
    if (GLLockCount == 1) {
        if (DeviceContext != nullptr)
            GLContext->makeCurrent(*DeviceContext);
        WriteLog("<-- OpenGL Locked.\n");
    }
    return true;
}

bool CTavoplexCtrl::UnlockOpenGL()
{
    GLLockCount -= 1;
    if (GLContext != nullptr && GLLockCount == 0) {
        GLContext->release();
        WriteLog("--> OpenGL Unlocked.\n");
        return true;
    }
    if (GLLockCount < 0)
        WriteLog("------------------------- Lock/Unlock Logic Error!!! ---------------------------\n");
    return false;
}

void CTavoplexCtrl::RestoreOpenGLLock(int depth)
{
    while (GLLockCount > depth && GLLockCount > 0)
        UnlockOpenGL();
}

void CTavoplexCtrl::InitOpenGL()
{
    if (!RenderingToBitmap)
        DeviceContext = WindowSurface.get();
    bool locked = false;
    {
        OpenGLLock lock(*this);
        if (lock) {
            locked = true;
            // Said once per control: without a font every label, tool tip and loading text
            // is left out, and nothing else would say why.
            if (!Font.Create(DeviceContext) && !FontMissingLogged) {
                FontMissingLogged = true;
                WriteLog(RWCString("  No font found (DejaVu Sans or sans-serif through fontconfig, then ") +
                         platform::gl::GlyphRasterizer::fixedFontFile().c_str() + "): texts are left out.\n");
            }
            InitTextures();
        }
    }
    if (locked) {
        LastTick = 0xFFFFFFFFu;
        if (HostSite != nullptr)
            HostSite->startTimer(1, 25);
    }
}

void CTavoplexCtrl::InitTextures()
{
    WriteLog("  Init Shadow.\n");
    ShadowTextureDrawn = ShadowTextureKey();
    if (ShadowTexture != GLuint(-1)) {
        glDeleteTextures(1, &ShadowTexture);
        ShadowTexture = GLuint(-1);
    }
    glGenTextures(1, &ShadowTexture);
    glBindTexture(GL_TEXTURE_2D, ShadowTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // The shadow pass overwrites the texels before they are used.
    const int size = ShadowTextureSize > 0 ? ShadowTextureSize : 1;
    std::vector<unsigned char> scratch(size_t(size) * size_t(size) * 3, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, scratch.data());
}

void CTavoplexCtrl::ResizeSurface(int width, int height)
{
    // A lost renderer may still write into the buffer its context was last given: it stays.
    if (WindowSurface != nullptr && !RendererLost)
        WindowSurface->resize(width, height);
}

void CTavoplexCtrl::PresentFrame()
{
    // A bitmap's frame stays in the bitmap; the window shows only its own.
    // Waited for within the pacer's bound: a renderer thread that failed never draws its
    // work, and glFinish would wait for it for ever. The frame then fails, the renderer lost.
    if (RenderingToBitmap) {
        if (!DrawPacerC::caughtUp())
            throw DrawPacerC::Stalled();
        return;
    }
    if (DeviceContext != nullptr && HostSite != nullptr && !DeviceContext->present(HostSite->frameSink()))
        throw DrawPacerC::Stalled();
}

void CTavoplexCtrl::ReleaseWindowContext()
{
    if (GLContext != nullptr && GLContext->isCurrent())
        GLContext->release();
    GLContext = nullptr;
    DeviceContext = nullptr;
}
