// Tests of the control's OpenGL context, its re-entrant lock and the first OpenGL objects.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "platform/gl/GlyphRasterizer.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/PrivateFontconfig.h"
#include "tests/support/ScopedEnv.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {

// The check's result from a child process of its own; 1000 when the child died.
int runInChild(const std::function<int()>& check)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(check());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 1000;
    return WEXITSTATUS(status);
}

}  // namespace

// First in the file and in a child process: the glyphs are made once per process, and this
// process must not have made them yet.
TEST(CTavoplexCtrlOpenGL, WithoutAnyFontEachControlLogsItOnce)
{
    PrivateFontconfig fonts;  // knows no font at all
    const std::string missing = fonts.configFile() + ".none";
    const std::string line = "  No font found (DejaVu Sans or sans-serif through fontconfig, then " + missing +
                             "): texts are left out.\n";
    const int result = runInChild([&] {
        ScopedEnv config("FONTCONFIG_FILE", fonts.configFile().c_str());
        platform::gl::GlyphRasterizer::fixedFontFile() = missing;
        for (int control = 0; control < 2; ++control) {
            ViewerHarness v(64, 48);
            v.writeConfig("[COMMON]\nDEBUG=1\n");
            CTavoplexCtrl& c = v.open();
            c.InitOpenGL();  // the font built again: nothing more is said
            const std::string log = TempDir::read(v.userFile("tavoplex.log"));
            const size_t first = log.find(line);
            if (first == std::string::npos)
                return 1;
            if (log.find(line, first + 1) != std::string::npos)
                return 2;
            if (c.Font.TextWidth("Calculating parts...") != 0)
                return 3;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
}

namespace {

// In a child process with a context of its own: `first` runs (non-zero ends the check with
// it), then a font is made; 0 when it has every glyph as rasterized here and now.
int fontInChildAfter(const std::function<int(platform::gl::GlSurface&)>& first)
{
    return runInChild([&] {
        platform::gl::GlyphSet direct;
        if (platform::gl::GlyphRasterizer::rasterizeUserInterfaceFont(direct).empty())
            return 1;
        platform::gl::GlSurface surface(8, 8);
        const std::unique_ptr<platform::gl::GlContext> context = platform::gl::GlContext::create();
        if (context == nullptr || !context->makeCurrent(surface))
            return 2;
        if (const int failed = first(surface))
            return failed;
        BitmapFontC font;
        if (!font.Create(&surface))
            return 4;
        int result = font.CharHeight == direct.height ? 0 : 5;
        for (int code = 0; code < 256; ++code)
            if (font.CharWidths[code] != direct.glyphs[size_t(code)].advance)
                result = 6;
        font.Destroy();
        context->release();
        return result;
    });
}

}  // namespace

// In a child process too: its glyphs start on their thread just before the font is made.
TEST(CTavoplexCtrlOpenGL, FontMadeRightAfterItsGlyphsStartWaitsForThem)
{
    EXPECT_EQ(fontInChildAfter([](platform::gl::GlSurface&) {
                  BitmapFontC::PrepareGlyphs();
                  return 0;
              }),
              0);
}

// Glyphs that found no memory fail that one font: the next font made rasterizes them again.
TEST(CTavoplexCtrlOpenGL, FontAfterGlyphsFoundNoMemoryGetsThemAgain)
{
    EXPECT_EQ(fontInChildAfter([](platform::gl::GlSurface& surface) {
                  failingallocation::Scope noRoom(sizeof(platform::gl::GlyphSet));
                  BitmapFontC::PrepareGlyphs();
                  BitmapFontC first;
                  try {
                      first.Create(&surface);
                      return 3;  // the glyphs had no room: the font cannot have them
                  } catch (const std::bad_alloc&) {
                  }
                  first.Destroy();
                  return 0;
              }),
              0);
}

// A process may end while its glyphs are still being made (its window got no context, so no
// font waited for them): it ends cleanly, the thread done before what it uses is gone.
TEST(CTavoplexCtrlOpenGL, ProcessEndingWhileItsGlyphsAreMadeEndsCleanly)
{
    const int result = runInChild([] {
        BitmapFontC::PrepareGlyphs();
        std::exit(0);
        return 1;
    });
    EXPECT_EQ(result, 0);
}

TEST(CTavoplexCtrlOpenGL, WindowCreationMakesContextFontTextureAndTimer)
{
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.open();
    ASSERT_NE(c.GLContext, nullptr);
    EXPECT_EQ(c.GLLockCount, 0);
    EXPECT_FALSE(c.GLContext->isCurrent());
    EXPECT_NE(c.Font.ListBase, GLuint(-1));
    EXPECT_GT(c.Font.CharHeight, 0);
    // The glyphs were rasterized on a thread of their own while the context was made: the
    // font has every one of them, as rasterized here and now.
    platform::gl::GlyphSet direct;
    ASSERT_FALSE(platform::gl::GlyphRasterizer::rasterizeUserInterfaceFont(direct).empty());
    EXPECT_EQ(c.Font.CharHeight, direct.height);
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(c.Font.CharWidths[code], direct.glyphs[size_t(code)].advance) << "code " << code;
    EXPECT_NE(c.ShadowTexture, GLuint(-1));
    EXPECT_EQ(c.LastTick, 0xFFFFFFFFu);
    EXPECT_TRUE(c.Palette.isEmpty());  // an RGBA surface needs none
    ASSERT_EQ(v.host().timers().count(1u), 1u);
    EXPECT_EQ(v.host().timers().at(1), 25u);

    ASSERT_TRUE(c.LockOpenGL());
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    c.PresentFrame();
    c.UnlockOpenGL();
    EXPECT_EQ(v.frame().width, 64);
    EXPECT_EQ(v.frame().height, 48);
    EXPECT_TRUE(pixelNear(v.pixel(10, 10), {255, 0, 0}));
}

namespace {

// The log written since the given length.
std::string logSince(const ViewerHarness& v, size_t from) { return TempDir::read(v.userFile("tavoplex.log")).substr(from); }
size_t logLength(const ViewerHarness& v) { return TempDir::read(v.userFile("tavoplex.log")).size(); }
const char kLogicError[] = "------------------------- Lock/Unlock Logic Error!!! ---------------------------\n";
}  // namespace

TEST(CTavoplexCtrlOpenGL, CreationLogsTheLockAroundTheShadowSetUp)
{
    ViewerHarness v;
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    // Creation only: a size message after it renders a frame of its own.
    v.construct();
    v.send(platform::host::Message::create());
    EXPECT_EQ(logSince(v, 0), "Starting debugging session:\n<-- OpenGL Locked.\n  Init Shadow.\n--> OpenGL Unlocked.\n");
}

TEST(CTavoplexCtrlOpenGL, NestedLocksMakeTheContextCurrentOnceAndReleaseItOnce)
{
    ViewerHarness v;
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    const unsigned made = c.GLContext->makeCurrentCount(), released = c.GLContext->releaseCount();
    const size_t mark = logLength(v);

    EXPECT_TRUE(c.LockOpenGL());
    EXPECT_TRUE(c.LockOpenGL());
    EXPECT_TRUE(c.GLContext->isCurrent());
    EXPECT_EQ(c.GLLockCount, 2);
    EXPECT_FALSE(c.UnlockOpenGL());
    EXPECT_TRUE(c.GLContext->isCurrent());
    EXPECT_TRUE(c.UnlockOpenGL());
    EXPECT_FALSE(c.GLContext->isCurrent());
    EXPECT_EQ(c.GLContext->makeCurrentCount() - made, 1u);
    EXPECT_EQ(c.GLContext->releaseCount() - released, 1u);
    EXPECT_EQ(logSince(v, mark), "<-- OpenGL Locked.\n--> OpenGL Unlocked.\n");
}

TEST(CTavoplexCtrlOpenGL, UnbalancedUnlockLogsTheLogicErrorAndTheNextLockDoesNotBind)
{
    ViewerHarness v;
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    const unsigned made = c.GLContext->makeCurrentCount();
    const size_t mark = logLength(v);

    EXPECT_FALSE(c.UnlockOpenGL());
    EXPECT_EQ(c.GLLockCount, -1);
    EXPECT_TRUE(c.LockOpenGL());  // back to 0: not made current
    EXPECT_EQ(c.GLLockCount, 0);
    EXPECT_FALSE(c.GLContext->isCurrent());
    EXPECT_EQ(c.GLContext->makeCurrentCount(), made);
    EXPECT_TRUE(c.LockOpenGL());  // exactly 1: current again
    EXPECT_TRUE(c.GLContext->isCurrent());
    EXPECT_TRUE(c.UnlockOpenGL());
    EXPECT_EQ(logSince(v, mark), std::string(kLogicError) + "<-- OpenGL Locked.\n--> OpenGL Unlocked.\n");
}

TEST(CTavoplexCtrlOpenGL, WithoutContextLockFailsAndCountStays)
{
    ViewerHarness v;
    CTavoplexCtrl& c = v.construct();
    EXPECT_FALSE(c.LockOpenGL());
    EXPECT_EQ(c.GLLockCount, 0);
    // No context: no font, no texture, no timer.
    c.InitOpenGL();
    EXPECT_EQ(c.Font.ListBase, GLuint(-1));
    EXPECT_EQ(c.ShadowTexture, GLuint(-1));
    EXPECT_TRUE(v.host().timers().empty());
}

TEST(CTavoplexCtrlOpenGL, LockGuardGivesTheLockBackWhenAPassThrows)
{
    ViewerHarness v;
    CTavoplexCtrl& c = v.open();
    try {
        OpenGLLock outer(c);
        OpenGLLock inner(c);
        EXPECT_EQ(c.GLLockCount, 2);
        throw std::runtime_error("pass failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(c.GLLockCount, 0);
    EXPECT_FALSE(c.GLContext->isCurrent());
}

TEST(CTavoplexCtrlOpenGL, RestoringTheLockDepthReleasesTheContextOnce)
{
    ViewerHarness v;
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    c.LockOpenGL();
    c.LockOpenGL();
    c.LockOpenGL();
    const size_t mark = logLength(v);
    c.RestoreOpenGLLock(1);
    EXPECT_EQ(c.GLLockCount, 1);
    EXPECT_TRUE(c.GLContext->isCurrent());
    c.RestoreOpenGLLock(0);
    EXPECT_EQ(c.GLLockCount, 0);
    EXPECT_FALSE(c.GLContext->isCurrent());
    c.RestoreOpenGLLock(0);  // nothing held: no unbalanced unlock
    EXPECT_EQ(logSince(v, mark), "--> OpenGL Unlocked.\n");
}

TEST(CTavoplexCtrlOpenGL, InitTexturesReplacesTheShadowTexture)
{
    ViewerHarness v;
    CTavoplexCtrl& c = v.open();
    OpenGLLock lock(c);
    const GLuint first = c.ShadowTexture;
    ASSERT_TRUE(glIsTexture(first));
    c.ShadowTextureSize = 8;
    c.InitTextures();
    EXPECT_FALSE(glIsTexture(first) && first != c.ShadowTexture);
    ASSERT_TRUE(glIsTexture(c.ShadowTexture));
    GLint w = 0;
    glBindTexture(GL_TEXTURE_2D, c.ShadowTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 8);
}

TEST(CTavoplexCtrlOpenGL, ContextOutlivesTheWindowAndFollowsItsSize)
{
    ViewerHarness v(40, 30);
    CTavoplexCtrl& c = v.open();
    platform::gl::GlContext* context = c.GLContext;
    v.resize(80, 20);
    {
        OpenGLLock lock(c);
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        c.PresentFrame();
    }
    EXPECT_EQ(v.frame().width, 80);
    EXPECT_EQ(v.frame().height, 20);
    EXPECT_TRUE(pixelNear(v.pixel(79, 19), {0, 0, 255}));

    // A size the renderer cannot take is refused; the control goes on with the old one.
    EXPECT_EQ(v.send(platform::host::Message::size(100000, 20)), 0);
    {
        OpenGLLock lock(c);
        c.PresentFrame();
    }
    EXPECT_EQ(v.frame().width, 80);

    // The window goes: nothing draws; a new window gets the same context back, and its
    // lists and textures with it.
    v.send(platform::host::Message::destroy());
    EXPECT_EQ(c.GLContext, nullptr);
    EXPECT_FALSE(c.LockOpenGL());
    EXPECT_TRUE(v.host().timers().empty());
    v.send(platform::host::Message::create());
    EXPECT_EQ(c.GLContext, context);
    OpenGLLock lock(c);
    EXPECT_TRUE(glIsList(c.Font.ListBase + 'A'));
    EXPECT_TRUE(glIsTexture(c.ShadowTexture));
}
