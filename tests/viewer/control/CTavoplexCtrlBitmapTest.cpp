// Rendering into a BMP file: the picture of a model and of the screens before one, the window's
// state and picture after it, and failures that leave no file.
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/support/BenchSupport.h"
#include "tests/support/FailingAllocation.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "tests/support/ReferenceImage.h"
#include "tests/viewer/control/BitmapTestSupport.h"
#include "tests/viewer/loader/LoaderTestSupport.h"
#include "tests/viewer/render/DrawTestSupport.h"
#include "viewer/render/PartListCompileC.h"

namespace {

// RGB of a 32-bit BMP's pixel, y counted from the top.
std::array<uint8_t, 4> bmpPixel(const std::string& b, int x, int y)
{
    const int width = int(le32(b, 18)), height = int(le32(b, 22));
    const size_t at = le32(b, 10) + (size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4;
    return {uint8_t(b[at + 2]), uint8_t(b[at + 1]), uint8_t(b[at]), 255};
}

std::array<int, 3> rgb(std::array<uint8_t, 4> p) { return {p[0], p[1], p[2]}; }

// A camera move that fails while the picture is drawn.
class FailingAnimation : public AnimationC {
public:
    void Apply(float) override { throw std::runtime_error("pass failed"); }
};

void expectWindowStateBack(const CTavoplexCtrl& c, int width, int height, int lockDepth)
{
    EXPECT_EQ(c.GLContext, c.WindowContext.get());
    EXPECT_EQ(c.DeviceContext, c.WindowSurface.get());
    EXPECT_EQ(c.GLLockCount, lockDepth);
    EXPECT_EQ(c.WindowWidth, width);
    EXPECT_EQ(c.WindowHeight, height);
    EXPECT_FALSE(c.RenderingToBitmap);
    EXPECT_EQ(c.BitmapContext, nullptr);
    EXPECT_EQ(c.BitmapSurface, nullptr);
}

}  // namespace

TEST(CTavoplexCtrlBitmap, PaletteIsTheRegularColourCubeOfItsFormat)
{
    ViewerHarness v(32, 32);
    CTavoplexCtrl& c = v.open();
    PixelFormatRecord format;
    format.colorBits = 8;
    format.redBits = 3, format.redShift = 0;
    format.greenBits = 3, format.greenShift = 3;
    format.blueBits = 2, format.blueShift = 6;
    c.BuildBitmapPalette(format);
    ASSERT_EQ(c.BitmapPalette.entries.size(), 256u);
    EXPECT_EQ(c.BitmapPalette.entries[0], 0u);
    EXPECT_EQ(c.BitmapPalette.entries[0x07], 0x0000FFu);  // red at full
    EXPECT_EQ(c.BitmapPalette.entries[0x38], 0x00FF00u);  // green
    EXPECT_EQ(c.BitmapPalette.entries[0xC0], 0xFF0000u);  // blue
    EXPECT_EQ(c.BitmapPalette.entries[0xFF], 0xFFFFFFu);
    EXPECT_EQ(c.BitmapPalette.entries[0x01], 255u / 7u);  // integer steps of the cube

    // The true-colour bitmap of this renderer never asks for one.
    EXPECT_EQ(c.CreateBMP(RWCString(v.folder().file("p.bmp").c_str()), 8, 8), 0);
    EXPECT_EQ(c.BitmapPixelFormat.flags & kPixelFormatNeedPalette, 0u);
    EXPECT_EQ(c.BitmapPixelFormat.flags, kPixelFormatDrawToBitmap | kPixelFormatSupportGdi | kPixelFormatSupportOpenGL);
    EXPECT_TRUE(c.BitmapPalette.isEmpty());
}

TEST(CTavoplexCtrlBitmap, CubePictureReplacesTheFileAndTheWindowComesBack)
{
    ViewerHarness v(160, 120);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    ASSERT_FALSE(c.Loading);
    ASSERT_FALSE(c.LoadFailed);
    v.advance(2000);  // the fade-in over the model ends

    const std::string bmp = v.folder().write("cube.bmp", "an older file");
    ASSERT_EQ(c.CreateBMP(RWCString(bmp.c_str()), 300, 200), 0);
    expectWindowStateBack(c, 160, 120, 0);
    const std::string b = TempDir::read(bmp);
    ASSERT_EQ(b.size(), 14u + 40u + 240000u);
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(le16(b, 28), 32u);
    // The model across the centre, the background in the corners (as the window shows them).
    const auto corner = bmpPixel(b, 1, 1);
    EXPECT_TRUE(pixelNear(corner, rgb(v.pixel(1, 1)), 6));
    EXPECT_FALSE(pixelNear(bmpPixel(b, 150, 100), rgb(corner), 30));
    EXPECT_EQ(filesIn(v.folder().path()), 3u);  // config folder, model, picture: no temporary left

    // Sizes out of range and a folder that does not exist fail with no file; the window's
    // state comes back also when the call is made inside a drawing step.
    ASSERT_TRUE(c.LockOpenGL());
    for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {16385, 10}, {10, 16385}})
        EXPECT_EQ(c.CreateBMP(RWCString(v.folder().file("big.bmp").c_str()), w, h), 1);
    EXPECT_EQ(c.CreateBMP(RWCString(v.folder().file("no/such/x.bmp").c_str()), 40, 30), 1);
    expectWindowStateBack(c, 160, 120, 1);
    EXPECT_TRUE(c.WindowContext->isCurrent());
    c.UnlockOpenGL();
    EXPECT_FALSE(std::filesystem::exists(v.folder().file("big.bmp")));
    EXPECT_EQ(filesIn(v.folder().path()), 3u);

    // Made inside a drawing step, the picture is still drawn in its own context, not into the
    // window's that is current there: the same picture as outside.
    const std::string inside = v.folder().file("inside.bmp");
    ASSERT_TRUE(c.LockOpenGL());
    EXPECT_EQ(c.CreateBMP(RWCString(inside.c_str()), 300, 200), 0);
    expectWindowStateBack(c, 160, 120, 1);
    c.UnlockOpenGL();
    const std::string again = TempDir::read(inside);
    ASSERT_EQ(again.size(), b.size());
    size_t differing = 0;
    for (size_t i = 54; i < b.size(); ++i)
        differing += std::abs(int(uint8_t(b[i])) - int(uint8_t(again[i]))) > 2 ? 1 : 0;
    EXPECT_EQ(differing, 0u);
    std::filesystem::remove(inside);

    // A pass that throws ends the picture with no file; the window is put back all the same.
    c.Animations.Add(new FailingAnimation, 0, 0, false, false);
    EXPECT_EQ(c.CreateBMP(RWCString(v.folder().file("thrown.bmp").c_str()), 40, 30), 1);
    expectWindowStateBack(c, 160, 120, 0);
    EXPECT_FALSE(std::filesystem::exists(v.folder().file("thrown.bmp")));
}

TEST(CTavoplexCtrlBitmap, WindowDrawsTheSamePictureBeforeAndAfter)
{
    // The axes' letters are text of the window's font: lists that were not shared, or names
    // of the bitmap's context, would lose them in the window.
    ViewerHarness v(200, 160);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.Axes = 1;
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    ASSERT_FALSE(c.Loading);
    // The window's font moves off the first list names, where a bitmap context of its own
    // would make its font by chance, so that only names both contexts share draw the letters.
    ASSERT_TRUE(c.LockOpenGL());
    c.Font.Destroy();
    const GLuint blocker = glGenLists(10);
    c.Font.Create(c.DeviceContext);
    glDeleteLists(blocker, 10);
    c.UnlockOpenGL();
    ASSERT_GT(c.Font.ListBase, blocker);
    auto settle = [&] {
        c.SetStandardView(7, true, 0, false);
        v.advance(2000);
        v.paint();
        return v.frame();
    };
    const platform::gl::Frame before = settle();
    ASSERT_EQ(c.CreateBMP(RWCString(v.folder().file("a.bmp").c_str()), 123, 77), 0);
    const platform::gl::Frame after = settle();
    ASSERT_EQ(before.width, after.width);
    ASSERT_EQ(before.rgba.size(), after.rgba.size());
    size_t differing = 0;
    for (size_t i = 0; i < before.rgba.size(); ++i)
        differing += std::abs(int(before.rgba[i]) - int(after.rgba[i])) > 2 ? 1 : 0;
    EXPECT_EQ(differing, 0u);
}

TEST(CTavoplexCtrlBitmap, BeforeAnyModelTheEmptyScreenOrTheLoadingFrame)
{
    ViewerHarness v(100, 80);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.ColorFadeIn = "#336699";
    c.ApplyProperties();
    ASSERT_EQ(c.Start, 0);
    const std::string empty = v.folder().file("empty.bmp");
    ASSERT_EQ(c.CreateBMP(RWCString(empty.c_str()), 60, 40), 0);
    const std::string e = TempDir::read(empty);
    for (auto [x, y] : {std::pair{0, 0}, {30, 20}, {59, 39}})
        EXPECT_TRUE(pixelNear(bmpPixel(e, x, y), {0x33, 0x66, 0x99}));

    c.Start = 1;  // loading, with no model to load yet
    const std::string loading = v.folder().file("loading.bmp");
    ASSERT_EQ(c.CreateBMP(RWCString(loading.c_str()), 60, 40), 0);
    const std::string l = TempDir::read(loading);
    ASSERT_EQ(l.size(), e.size());
    EXPECT_NE(l.substr(54), e.substr(54));
}

TEST(CTavoplexCtrlBitmap, LoadedModelFarFromTheOriginIsCentredWithItsMargin)
{
    // A box far from the origin, whatever the window's size (none, as the host program gives
    // it, or another shape than the picture's): the picture frames the box alone, centred, with
    // 4 pixels of background along its limiting side.
    struct Case {
        int windowWidth, windowHeight, width, height;
    };
    const Case cases[] = {{0, 0, 300, 200}, {0, 0, 120, 240}, {160, 120, 120, 240}, {90, 200, 300, 200}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.windowWidth) + " " + std::to_string(k.width) + "x" + std::to_string(k.height));
        ViewerHarness v(k.windowWidth, k.windowHeight);
        v.writeConfig(kChosenSettings);
        CTavoplexCtrl& c = v.open();
        const feColor white(1.0f, 1.0f, 1.0f, 1.0f);
        c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = white;
        c.Grid = 0;
        c.Border = 0;
        c.ShadowQuality = 0;
        c.Start = 1;
        const std::string model = v.folder().write("box.stl", boxStl({100, 50, -30}, {120, 60, 10}));
        const std::string bmp = v.folder().file("box.bmp");
        ASSERT_TRUE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), k.width, k.height));

        const std::string b = TempDir::read(bmp);
        int left = k.width, right = -1, top = k.height, bottom = -1;
        for (int y = 0; y < k.height; ++y)
            for (int x = 0; x < k.width; ++x)
                if (!pixelNear(bmpPixel(b, x, y), {255, 255, 255}, 16)) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, left);
        const int marginX[2] = {left, k.width - 1 - right}, marginY[2] = {top, k.height - 1 - bottom};
        EXPECT_NEAR(marginX[0], marginX[1], 1);
        EXPECT_NEAR(marginY[0], marginY[1], 1);
        // The limiting side keeps its 4 pixels (one more or less where an edge pixel is cut).
        EXPECT_NEAR(std::min(std::min(marginX[0], marginX[1]), std::min(marginY[0], marginY[1])), 4, 1);
        // The background shows in the middle of every edge.
        for (auto [x, y] : {std::pair{1, k.height / 2}, {k.width - 2, k.height / 2}, {k.width / 2, 1},
                            {k.width / 2, k.height - 2}})
            EXPECT_TRUE(pixelNear(bmpPixel(b, x, y), {255, 255, 255}, 16)) << x << ", " << y;
    }
}

TEST(CTavoplexCtrlBitmap, AWindowWithoutAreaGetsNoPaintsWhileThePictureIsDrawn)
{
    // As the host program places it: the window has no area, so only the picture's own frames
    // are drawn (the first, the timer step that lands the camera, the picture), not the paints
    // that the view change and the panels' fade-in ask of the window. A window with area gets
    // them, into the picture as before, beside its own frames in the window.
    struct Case {
        int width, height;
        size_t sceneFrames;  // at least
    } cases[] = {{0, 0, 3}, {160, 120, 5}};
    for (const Case& k : cases) {
        ViewerHarness v(k.width, k.height);
        v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        c.Start = 1;
        const std::string model = v.folder().write("cube.stl", cubeStl());
        const std::string bmp = v.folder().file("cube.bmp");
        ASSERT_TRUE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 120, 90));
        const std::string log = TempDir::read(v.userFile("tavoplex.log"));
        size_t frames = 0;
        for (size_t at = log.find("  Draw Scene.\n"); at != std::string::npos; at = log.find("  Draw Scene.\n", at + 1))
            ++frames;
        if (k.width == 0)
            EXPECT_EQ(frames, k.sceneFrames);
        else
            EXPECT_GE(frames, k.sceneFrames);
        const std::string b = TempDir::read(bmp);
        EXPECT_FALSE(pixelNear(bmpPixel(b, 60, 45), rgb(bmpPixel(b, 1, 1)), 30)) << k.width;
    }
}

TEST(CTavoplexCtrlBitmap, PictureIsTheWindowsOwnSettledFrameOfTheSameSize)
{
    // The picture's earlier frames leave the model out; the picture itself must still be what
    // a frame of the same view draws in full: the window's, once the view has settled there.
    // A torus, so that surfaces, shadow, silhouette lines and creases all show.
    ViewerHarness v(180, 140);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    ASSERT_FALSE(c.Loading);
    FEDisplayPartC* torus = new FEDisplayPartC();
    benchsupport::buildTorus(*torus, 60, 30);
    torus->finalize(-1.0);
    torus->smoothNormals();
    installParts(c, modelOf(torus));
    c.SetStandardView(7, true, 0, false);
    v.advance(2000);
    v.paint();
    const platform::gl::Frame window = v.frame();
    const std::string bmp = v.folder().file("torus.bmp");
    ASSERT_EQ(c.CreateBMP(RWCString(bmp.c_str()), 180, 140), 0);
    const std::string b = TempDir::read(bmp);
    size_t differing = 0, model = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 180; ++x) {
            const auto p = bmpPixel(b, x, y);
            const auto w = v.pixel(x, y);
            differing += pixelNear(p, rgb(w), 2) ? 0 : 1;
            model += pixelNear(p, rgb(bmpPixel(b, 1, 70)), 40) ? 0 : 1;
        }
    EXPECT_EQ(window.width, 180);
    EXPECT_GT(model, 180u * 140u / 10u);
    EXPECT_EQ(differing, 0u);
}

TEST(CTavoplexCtrlBitmap, FramesPaintedOverPutNoPixelDownAndChangeNothingElse)
{
    // The picture's frames before its last draw nothing: the file and the log must be what
    // they are when those frames draw in full. Right after the load (the fade still to run)
    // and with the window already settled in the picture's view, where only leaving the model
    // out tells the last frame's shadow texture from the one before.
    // Pictures of a pixel or two as well, whose shadow texture is as small.
    const struct {
        bool settled;
        int width, height;
    } cases[] = {{false, 160, 120}, {true, 160, 120}, {false, 1, 1}, {true, 3, 2}};
    for (const auto& [settled, width, height] : cases) {
        SCOPED_TRACE(testing::Message() << (settled ? "view settled " : "after the load ") << width << "x" << height);
        const bool large = width > 100;
        std::string files[2], logs[2];
        std::vector<uint8_t> windows[2][2];
        std::array<uint8_t, 4> shownCentre{}, shownCorner{};
        for (bool discard : {false, true}) {
            ViewerHarness v(160, 120);
            v.writeConfig(std::string("[COMMON]\nDEBUG=1\n") + kChosenSettings);
            CTavoplexCtrl& c = v.open();
            runLoad(v, v.folder().write("cube.stl", cubeStl()));
            ASSERT_FALSE(c.Loading);
            FEDisplayPartC* torus = new FEDisplayPartC();
            benchsupport::buildTorus(*torus, 40, 20);
            torus->finalize(-1.0);
            torus->smoothNormals();
            installParts(c, modelOf(torus));
            if (settled) {
                c.SetStandardView(7, true, 0, false);
                v.advance(2000);
                v.paint();
            }
            c.DiscardFramesPaintedOver = discard;
            const size_t logged = TempDir::read(v.userFile("tavoplex.log")).size();
            const std::string bmp = v.folder().file("torus.bmp");
            ASSERT_EQ(c.CreateBMP(RWCString(bmp.c_str()), width, height), 0);
            files[discard] = TempDir::read(bmp);
            logs[discard] = TempDir::read(v.userFile("tavoplex.log")).substr(logged);
            // The window's frames after the picture draw in full.
            windows[discard][0] = v.frame().rgba;
            v.advance(2000);
            v.paint();
            windows[discard][1] = v.frame().rgba;
            shownCentre = v.pixel(80, 60);
            shownCorner = v.pixel(1, 1);
        }
        EXPECT_TRUE(files[1] == files[0]);
        EXPECT_EQ(logs[1], logs[0]);
        EXPECT_TRUE(windows[1][0] == windows[0][0]);
        EXPECT_TRUE(windows[1][1] == windows[0][1]);
        EXPECT_NE(rgb(shownCentre), rgb(shownCorner));
        EXPECT_NE(logs[1].find("Draw Scene."), std::string::npos);
        // The model shows: not one colour over the whole picture.
        if (large) {
            EXPECT_NE(rgb(bmpPixel(files[1], 80, 60)), rgb(bmpPixel(files[1], 1, 1)));
        }
    }
}

TEST(CTavoplexCtrlBitmap, PartCompiledBesideTheFirstFramesGivesThePictureAndLogOfOneCompiledBefore)
{
    // A part of more faces than one thread compiles: its lists go on compiling after the load,
    // while the picture's first frames (which leave the model out) are drawn, and the last
    // frame waits for them. The file and the log must be those of a compile finished in the
    // load; so must the window's frame after. A failing compile leaves no file, as a failing
    // load does.
    std::string files[2], logs[2];
    std::vector<uint8_t> windows[2];
    for (bool beside : {false, true}) {
        ViewerHarness v(0, 0);
        v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        c.ListsBesideFrames = beside;
        const std::string model = v.folder().file("torus.stl");
        ASSERT_TRUE(benchsupport::writeBinaryStl(
            model, 2 * 200 * 180, [](auto&& add) { benchsupport::torusTriangles(200, 180, add); }));
        runLoad(v, model);
        ASSERT_FALSE(c.Loading);
        ASSERT_FALSE(c.LoadFailed);
        EXPECT_EQ(c.PendingPartLists != nullptr, beside);
        c.OnTimer(1);  // as the load-and-picture method does
        const std::string bmp = v.folder().file("torus.bmp");
        ASSERT_EQ(c.CreateBMP(RWCString(bmp.c_str()), 200, 150), 0);
        EXPECT_EQ(c.PendingPartLists, nullptr);
        files[beside] = TempDir::read(bmp);
        std::string log = TempDir::read(v.userFile("tavoplex.log"));
        for (size_t at; (at = log.find(model)) != std::string::npos;)
            log.erase(at, model.size());
        logs[beside] = log;
        v.resize(160, 120);
        v.paint();
        windows[beside] = v.frame().rgba;
    }
    EXPECT_TRUE(files[1] == files[0]);
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_TRUE(windows[1] == windows[0]);
    ASSERT_FALSE(files[1].empty());
    int model = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            model += pixelNear(bmpPixel(files[1], x, y), rgb(bmpPixel(files[1], 1, 1)), 30) ? 0 : 1;
    EXPECT_GT(model, 200 * 150 / 10);
    EXPECT_NE(logs[1].find("Make List from Mesh."), std::string::npos);

    for (bool beside : {false, true}) {
        ViewerHarness v(0, 0);
        v.writeConfig(kChosenSettings);
        CTavoplexCtrl& c = v.open();
        c.Start = 1;
        c.ListsBesideFrames = beside;
        const std::string model = v.folder().file("torus.stl");
        ASSERT_TRUE(benchsupport::writeBinaryStl(
            model, 2 * 200 * 180, [](auto&& add) { benchsupport::torusTriangles(200, 180, add); }));
        const std::string bmp = v.folder().file("failed.bmp");
        {
            // The file's bytes (3.6 MB), the mesh and the frames are granted; the corners of a
            // run of faces (590 kB) are not.
            failingallocation::Scope scope(400 * 1024, 1024 * 1024);
            EXPECT_FALSE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 200, 150));
        }
        EXPECT_TRUE(c.LoadFailed) << beside;
        EXPECT_NE(std::string(c.FailureReason.data()).find("not enough memory to load it"), std::string::npos)
            << c.FailureReason.data();
        ASSERT_NE(c.Parts, nullptr);  // read whole: only its lists failed
        ASSERT_EQ(c.Parts->partCount(), 1u);
        EXPECT_EQ(c.Parts->getPart(0)->getDisplayList(), -1);
        EXPECT_FALSE(std::filesystem::exists(bmp));
        EXPECT_EQ(c.PendingPartLists, nullptr);
    }
}

TEST(CTavoplexCtrlBitmap, LoadEndingInsideThePictureLeavesItsCompileToTheWindowsContext)
{
    // A picture asked for while a model loads draws loading frames of its own; the load may end
    // in its last one, the picture's context current. What still compiles then must not depend
    // on that context, which goes with the picture (the window, without area as the host
    // program's, draws no frame after it): a later frame of the window finishes it.
    ViewerHarness v(0, 0);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    const std::string model = v.folder().file("torus.stl");
    ASSERT_TRUE(benchsupport::writeBinaryStl(
        model, 2 * 200 * 180, [](auto&& add) { benchsupport::torusTriangles(200, 180, add); }));
    c.SetFileName(RWCString(model.c_str()));
    c.SetParam("Start", "1");
    while (c.LoaderCount < 2)
        c.RenderFrame();
    ASSERT_EQ(c.LoaderCount, 2);
    // The picture's frames: the third, one on its timer step, and the fifth, which loads.
    c.CreateBMP(RWCString(v.folder().file("loading.bmp").c_str()), 100, 80);
    ASSERT_FALSE(c.Loading);
    ASSERT_FALSE(c.LoadFailed);
    ASSERT_NE(c.Parts, nullptr);
    ASSERT_NE(c.PendingPartLists, nullptr);
    EXPECT_EQ(c.PendingPartLists->sharesWith(), c.WindowContext.get());
    v.resize(120, 120);
    v.advance(3000);
    v.paint();
    EXPECT_EQ(c.PendingPartLists, nullptr);
    EXPECT_FALSE(c.LoadFailed);
    EXPECT_GE(c.Parts->getPart(0)->getDisplayList(), 0);
    EXPECT_FALSE(pixelNear(v.pixel(60, 60), rgb(v.pixel(1, 1)), 30));
}

TEST(CTavoplexCtrlBitmap, LinesInOneRunDrawTheSamePictureAsLinesOneByOne)
{
    // A gear read from its file into a picture as the host program makes it: thousands of
    // crease lines, then the border over the picture's edges, which the renderer draws with
    // state that depends on how the lines before came. The file must be the one drawn with
    // the lines one by one, and show lines.
    std::string files[2];
    for (bool oneRun : {false, true}) {
        ViewerHarness v(0, 0);
        v.writeConfig(kChosenSettings);
        CTavoplexCtrl& c = v.open();
        c.Start = 1;
        c.LinesInOneRun = oneRun;
        const int points = 2000;
        const std::string model = v.folder().file("gear.stl");
        ASSERT_TRUE(benchsupport::writeBinaryStl(model, 4 * points,
                                                 [](auto&& add) { benchsupport::gearTriangles(points, add); }));
        const std::string bmp = v.folder().file("gear.bmp");
        ASSERT_TRUE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 200, 150));
        files[oneRun] = TempDir::read(bmp);
    }
    EXPECT_TRUE(files[1] == files[0]);
    int dark = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            dark += bmpPixel(files[1], x, y)[0] < 60;
    EXPECT_GT(dark, 100);
}

TEST(CTavoplexCtrlBitmap, AWindowGivenAreaLaterShowsTheViewAskedForMeanwhile)
{
    // A view change in a window without area paints nothing, but its redraw is still asked
    // for: once the window has area, its frames show the view.
    ViewerHarness v(0, 0);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(20.0, feColor(0.8f, 0.1f, 0.1f, 0.0f))));
    const unsigned asked = v.host().redrawRequests();
    c.SetStandardView(7, true, 0, false);
    EXPECT_TRUE(v.frame().empty());
    EXPECT_GT(v.host().redrawRequests(), asked);
    v.resize(120, 90);
    v.advance(2000);
    EXPECT_TRUE(v.host().deliverPendingPaint());
    ASSERT_EQ(v.frame().width, 120);
    EXPECT_FALSE(pixelNear(v.pixel(60, 45), rgb(v.pixel(1, 1)), 30));
}

// Reference images inside the library: a cube with its axes as the window shows it, and as
// CreateBMP writes it, compared pixel by pixel with tests/baselines.
namespace {

const std::string kBaselines = std::string(TAVO_SOURCE_DIR) + "/tests/baselines";

RgbaImage fromFrame(const platform::gl::Frame& frame)
{
    return RgbaImage{frame.width, frame.height, frame.rgba};
}

}  // namespace

TEST(CTavoplexCtrlReferenceImage, CubeInTheWindowAndInItsBitmap)
{
    ViewerHarness v(300, 300);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.Axes = 1;
    // The viewer's own images, as the host program gives them: the logo is in the picture.
    c.SetParam("BasePath", RWCString("file://") + TAVO_SOURCE_DIR + "/viewer/images");
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    ASSERT_FALSE(c.Loading);
    v.advance(3000);  // past every animation
    v.paint();
    EXPECT_EQ(CheckAgainstBaseline(fromFrame(v.frame()), "CubeWindow", kBaselines, TAVO_RENDER_OUTPUT_DIR), "");

    const std::string bmp = v.folder().file("cube.bmp");
    ASSERT_EQ(c.CreateBMP(RWCString(bmp.c_str()), 240, 160), 0);
    RgbaImage picture;
    std::string error;
    ASSERT_TRUE(ReadBmpImage(bmp, picture, error)) << error;
    EXPECT_EQ(CheckAgainstBaseline(picture, "CubeBitmap", kBaselines, TAVO_RENDER_OUTPUT_DIR), "");
}
