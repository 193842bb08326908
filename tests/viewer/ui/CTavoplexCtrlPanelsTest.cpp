// Tests of the control's panels: what BuildPanels makes from the properties and images, the
// seventeen button commands through the headless host, pointer messages reaching the built panels and
// the tool tip, and releasing the panels' textures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "platform/sys.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/loader/LoaderTestSupport.h"
#include "viewer/textures/TextureC.h"
#include "viewer/ui/ButtonCommandC.h"
#include "viewer/ui/CameraMath.h"
#include "viewer/ui/PanelButtonC.h"
#include "viewer/ui/PanelC.h"
#include "viewer/ui/ToolTipC.h"

namespace {

// The viewer's images in the source tree.
std::filesystem::path imageFolder() { return std::filesystem::path(TAVO_SOURCE_DIR) / "viewer/images"; }

// Points the control's image address at the images in the source tree: building the panels
// fetches them into the per-user folder.
void useSourceImages(CTavoplexCtrl& c) { c.BaseUrl = imageFolder().string().c_str(); }

bool build(CTavoplexCtrl& c)
{
    OpenGLLock lock(c);
    return lock.locked() && c.BuildPanels();
}

// Texture names of every button of a panel (0 for none).
std::vector<GLuint> textureNames(const PanelC* panel)
{
    std::vector<GLuint> names;
    for (size_t i = 0; panel != nullptr && i < panel->Buttons.entries(); ++i)
        names.push_back(panel->Buttons[i]->Texture != nullptr ? panel->Buttons[i]->Texture->Name : 0);
    return names;
}

}  // namespace

TEST(CTavoplexCtrlPanelsTest, BuildPanelsMakesTheMainHelpAndLogoPanelsOnceItHasTheLock)
{
    if (!std::filesystem::exists(imageFolder() / "front.png"))
        GTEST_SKIP() << "viewer images not found beside the sources";
    ViewerHarness v(800, 600);
    CTavoplexCtrl& c = v.open();
    useSourceImages(c);
    c.Buttons = 1;
    c.ButtonSize = 40;
    // A lock refused for want of the renderer's room uploads no texture and leaves the panels to
    // a later call.
    c.RoomGate = [] { return false; };
    EXPECT_FALSE(c.BuildPanels());
    EXPECT_EQ(c.Commands, nullptr);
    EXPECT_EQ(c.MainPanel, nullptr);
    EXPECT_EQ(c.LogoPanel, nullptr);
    EXPECT_EQ(c.MetalTexture, nullptr);
    EXPECT_EQ(c.GLLockCount, 0);
    c.RoomGate = nullptr;
    ASSERT_TRUE(build(c));
    ASSERT_NE(c.Commands, nullptr);
    ASSERT_NE(c.MainPanel, nullptr);
    ASSERT_NE(c.HelpPanel, nullptr);
    ASSERT_NE(c.LogoPanel, nullptr);
    ASSERT_NE(c.MetalTexture, nullptr);
    EXPECT_TRUE(std::filesystem::exists(v.userFile("korvane.png")));  // fetched into the cache

    const int ids[] = {11, 13, 14, -1, 10, -1, 1, 2, 3, 4, 5, 6, 7, -1, 9, 8, 17};
    ASSERT_EQ(c.MainPanel->Buttons.entries(), std::size(ids));
    for (size_t i = 0; i < std::size(ids); ++i) {
        const PanelButtonC* b = c.MainPanel->Buttons[i];
        EXPECT_EQ(b->GetCommandId(), ids[i]) << i;
        EXPECT_EQ(b->GetWidth(), ids[i] == -1 ? 15 : 40) << i;
        EXPECT_EQ(b->GetHeight(), 40) << i;
        EXPECT_EQ(b->Texture != nullptr, ids[i] != -1) << i;
    }
    EXPECT_EQ(c.MainPanel->AlignH, 1);
    EXPECT_EQ(c.MainPanel->AlignV, 0);
    EXPECT_EQ(c.MainPanel->OffsetY, 8.0f);
    EXPECT_TRUE(c.MainPanel->IsVisible());
    EXPECT_EQ(c.MainPanel->GetFade(), 0.0f);

    ASSERT_EQ(c.HelpPanel->Buttons.entries(), 1u);
    EXPECT_EQ(c.HelpPanel->Buttons[0]->GetCommandId(), 15);
    EXPECT_EQ(c.HelpPanel->Buttons[0]->GetWidth(), 256);
    EXPECT_NE(c.HelpPanel->Buttons[0]->Texture, nullptr);

    ASSERT_EQ(c.LogoPanel->Buttons.entries(), 1u);
    const PanelButtonC* logo = c.LogoPanel->Buttons[0];
    EXPECT_EQ(logo->GetCommandId(), 16);
    EXPECT_FALSE(logo->StretchTexture);
    ASSERT_NE(logo->Texture, nullptr);
    EXPECT_EQ(logo->Texture->Width, 256);
    EXPECT_EQ(logo->Texture->Height, 32);
    EXPECT_FLOAT_EQ(logo->ColorCurrent.alpha(), 0.9f);
    EXPECT_EQ(c.LogoPanel->AlignH, 2);
    EXPECT_EQ(c.LogoPanel->AlignV, 2);

    // A second call changes nothing.
    PanelC* main = c.MainPanel.get();
    TextureC* metal = c.MetalTexture.get();
    EXPECT_TRUE(build(c));
    EXPECT_EQ(c.MainPanel.get(), main);
    EXPECT_EQ(c.MetalTexture.get(), metal);
    EXPECT_EQ(c.MainPanel->Buttons.entries(), std::size(ids));
}

TEST(CTavoplexCtrlPanelsTest, PropertiesChooseThePanels)
{
    struct Case {
        int buttons, logo;
        bool main, help, logoPanel;
    };
    for (const Case& k : {Case{0, 1, false, false, true}, Case{0, 0, false, false, false},
                          Case{1, 0, true, true, false}}) {
        SCOPED_TRACE(std::to_string(k.buttons) + " " + std::to_string(k.logo));
        ViewerHarness v(300, 300);
        CTavoplexCtrl& c = v.open();
        useSourceImages(c);
        c.Buttons = k.buttons;
        c.Logo = k.logo;
        ASSERT_TRUE(build(c));
        EXPECT_NE(c.Commands, nullptr);
        EXPECT_EQ(c.MainPanel != nullptr, k.main);
        EXPECT_EQ(c.HelpPanel != nullptr, k.help);
        EXPECT_EQ(c.LogoPanel != nullptr, k.logoPanel);
        if (std::filesystem::exists(imageFolder() / "metal.png")) {
            EXPECT_NE(c.MetalTexture, nullptr);
        }
    }
    // Missing images: buttons without textures, no metal texture, nothing fails.
    ViewerHarness bare(300, 300);
    CTavoplexCtrl& c = bare.open();
    c.Buttons = 1;
    ASSERT_TRUE(build(c));
    EXPECT_EQ(c.MainPanel->Buttons[0]->Texture, nullptr);
    EXPECT_EQ(c.MetalTexture, nullptr);
}

TEST(CTavoplexCtrlPanelsTest, ButtonCommandsDoTheirJobs)
{
    ViewerHarness v(400, 300);
    CTavoplexCtrl& c = v.open();
    c.Buttons = 1;
    ASSERT_TRUE(build(c));
    std::vector<std::string> opened;
    platform::sys::setUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    ButtonCommandC& commands = *c.Commands;
    // Runs every animation to its end (the first update starts them).
    uint32_t now = 5000;
    auto settle = [&] {
        c.Animations.Update(now);
        now += 1100;
        c.Animations.Update(now);
    };

    // Views: front, back, left, right, top, bottom, then the isometric view with its turn cycle.
    for (int id = 1; id <= 6; ++id) {
        commands.OnPanelCommand(id);
        settle();
        EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(id - 1, 0))) << id;
    }
    commands.OnPanelCommand(7);
    settle();
    EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(7, 0)));
    EXPECT_EQ(c.ViewTurn, 1);

    // Help, from the main panel's button and from the help picture.
    for (int id : {8, 15}) {
        const bool before = c.HelpShown;
        commands.OnPanelCommand(id);
        settle();
        EXPECT_NE(c.HelpShown, before);
        EXPECT_EQ(c.HelpPanel->GetFade(), c.HelpShown ? 1.0f : 0.0f);
    }

    commands.OnPanelCommand(9);
    EXPECT_TRUE(c.Exploded);
    settle();

    c.ZoomPending = false;
    c.ZoomDuration = 0;
    commands.OnPanelCommand(10);
    EXPECT_EQ(c.ZoomDuration, 350);
    EXPECT_EQ(c.ZoomPart, nullptr);

    const int modes[][2] = {{11, 0}, {12, 1}, {13, 3}, {14, 4}};
    for (const auto& m : modes) {
        commands.OnPanelCommand(m[0]);
        EXPECT_EQ(c.DisplayMode, m[1]) << m[0];
    }

    commands.OnPanelCommand(16);
    EXPECT_EQ(opened, std::vector<std::string>{ButtonCommandC::LogoAddress});

    const size_t dialogs = v.host().dialogsShown().size();
    commands.OnPanelCommand(17);
    EXPECT_EQ(v.host().dialogsShown().size(), dialogs + 1);

    // Ids outside 1..17 (separators send -1) change nothing.
    const TransformMatrix rotation = c.Rotation;
    const size_t animations = c.Animations.Count();
    for (int id : {-1, 0, 18, 1000}) {
        commands.OnPanelCommand(id);
        EXPECT_EQ(c.DisplayMode, 4);
        EXPECT_EQ(c.Animations.Count(), animations);
        EXPECT_EQ(opened.size(), 1u);
        EXPECT_EQ(v.host().dialogsShown().size(), dialogs + 1);
    }
    EXPECT_TRUE(c.Rotation.isEqual(rotation));
    platform::sys::setUrlOpener(nullptr);
}

TEST(CTavoplexCtrlPanelsTest, PanelTexturesAreReleasedInTheirOwnContext)
{
    if (!std::filesystem::exists(imageFolder() / "front.png"))
        GTEST_SKIP() << "viewer images not found beside the sources";
    ViewerHarness a(300, 300), b(300, 300);
    CTavoplexCtrl& first = a.open();
    CTavoplexCtrl& second = b.open();
    useSourceImages(first);
    useSourceImages(second);
    first.Buttons = second.Buttons = 1;
    ASSERT_TRUE(build(first));
    ASSERT_TRUE(build(second));
    const std::vector<GLuint> names = textureNames(first.MainPanel.get());
    const std::vector<GLuint> kept = textureNames(second.MainPanel.get());
    // A tool tip fade still running when the control goes.
    first.ToolTip->SetNameLookup([](int, int) { return RWCString("Part"); });
    first.ToolTip->PointerMoved(0, 5, 5);
    first.ToolTip->Tick(1000);
    ASSERT_FALSE(first.Animations.IsEmpty());
    {
        OpenGLLock lock(first);
        first.DeletePanels();
        for (GLuint name : names) {
            if (name != 0) {
                EXPECT_FALSE(glIsTexture(name)) << name;
            }
        }
        EXPECT_EQ(first.MainPanel, nullptr);
        EXPECT_EQ(first.Commands, nullptr);
        EXPECT_EQ(first.MetalTexture, nullptr);
    }
    ASSERT_TRUE(build(first));
    a.close();  // the destructor releases the rebuilt panels in the first control's context
    OpenGLLock lock(second);
    for (GLuint name : kept) {
        if (name != 0) {
            EXPECT_TRUE(glIsTexture(name)) << name;
        }
    }
}

TEST(CTavoplexCtrlPanelsTest, LoadFadesThePanelsInAndTicksLightAHoveredButton)
{
    if (!std::filesystem::exists(imageFolder() / "front.png"))
        GTEST_SKIP() << "viewer images not found beside the sources";
    ViewerHarness v(600, 400);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.SetParam("Buttons", "1");
    c.SetParam("BasePath", RWCString("file://") + imageFolder().string().c_str());
    const std::string model = v.folder().write("cube.stl", cubeStl());
    runLoad(v, model);
    ASSERT_FALSE(c.Loading);
    ASSERT_NE(c.MainPanel, nullptr);
    ASSERT_NE(c.LogoPanel, nullptr);
    EXPECT_TRUE(c.PanelsActive);
    v.advance(1000);
    EXPECT_EQ(c.MainPanel->GetFade(), 1.0f);
    EXPECT_EQ(c.LogoPanel->GetFade(), 1.0f);
    EXPECT_EQ(c.HelpPanel->GetFade(), 0.0f);
    // The main panel: 531 x 38 centred 8 px above the bottom edge; "front" is its seventh
    // button. Window rows count from the top here.
    EXPECT_FLOAT_EQ(c.MainPanel->PanelX, 34.5f);
    EXPECT_FLOAT_EQ(c.MainPanel->PanelY, 10.0f);
    float x = c.MainPanel->PanelX + 3;
    for (int i = 0; i < 6; ++i)
        x += float(c.MainPanel->Buttons[size_t(i)]->GetWidth() + 2);
    const int left = int(x), top = 400 - (10 + 3 + 32);
    // Mean of red + green + blue over the button's pixels.
    auto brightness = [&] {
        long sum = 0;
        for (int y = top + 2; y < top + 30; ++y)
            for (int col = left + 2; col < left + 30; ++col) {
                const auto p = v.pixel(col, y);
                sum += p[0] + p[1] + p[2];
            }
        return double(sum) / (28.0 * 28.0);
    };
    const double idle = brightness();
    // The pointer over the button; the timer's ticks step the highlight and redraw.
    c.MainPanel->OnMouseMove(left + 16, 10 + 3 + 16);
    v.advance(300);
    EXPECT_GT(brightness(), idle + 60.0);
}

TEST(CTavoplexCtrlPanelsTest, PointerMessagesReachTheBuiltPanelsAndTheToolTip)
{
    if (!std::filesystem::exists(imageFolder() / "front.png"))
        GTEST_SKIP() << "viewer images not found beside the sources";
    using platform::host::Message;
    using platform::host::MessageKind;
    ViewerHarness v(600, 400);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.SetParam("Buttons", "1");
    c.SetParam("BasePath", RWCString("file://") + imageFolder().string().c_str());
    const std::string model = v.folder().write("cube.stl", cubeStl());
    std::vector<std::string> opened;
    platform::sys::setUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    // Early in the load the panels are built but not yet drawn: the bottom-left corner,
    // where their buttons would sit without a layout, clicks neither the logo nor "line".
    c.SetFileName(RWCString(model.c_str()));
    c.SetParam("Start", "1");
    for (int tick = 0; tick < 100 && c.LogoPanel == nullptr; ++tick)
        v.advance(25);
    ASSERT_TRUE(c.Loading);
    ASSERT_NE(c.MainPanel, nullptr);
    ASSERT_NE(c.LogoPanel, nullptr);
    for (const auto& [x, y] : {std::pair{20, 400 - 8}, {100, 400 - 3}}) {
        v.send(Message::mouse(MessageKind::MouseMove, x, y, 0));
        v.send(Message::mouse(MessageKind::LeftButtonDown, x, y, platform::host::ModLeftButton));
        v.send(Message::mouse(MessageKind::LeftButtonUp, x, y, 0));
        EXPECT_TRUE(opened.empty()) << x;
        EXPECT_EQ(c.DisplayMode, 4) << x;
    }
    platform::sys::setUrlOpener(nullptr);
    runLoad(v, model);
    ASSERT_FALSE(c.Loading);
    v.advance(1000);

    // A resting pointer over the part: the timer's ticks bring up its name.
    ASSERT_EQ(c.Parts->instanceCount(), 1u);
    c.Parts->getInstance(0)->GetPart()->setName("Cube");
    v.send(Message::mouse(MessageKind::MouseMove, 300, 200, 0));
    v.advance(500);
    EXPECT_EQ(c.ToolTip->Text, "Cube");
    EXPECT_EQ(c.ToolTip->Alpha, 1.0f);

    // The main panel's row centred at the bottom (531 pixels from x 34.5, 32-pixel buttons
    // from 13 pixels up): "line" first, "explode" 425 pixels further right.
    const int row = 400 - (10 + 3 + 16);
    const int line = 53, explode = 478;
    auto click = [&](int pressX, int releaseX) {
        v.send(Message::mouse(MessageKind::MouseMove, pressX, row, 0));
        v.send(Message::mouse(MessageKind::LeftButtonDown, pressX, row, platform::host::ModLeftButton));
        if (releaseX != pressX)
            v.send(Message::mouse(MessageKind::MouseMove, releaseX, row, platform::host::ModLeftButton));
        v.send(Message::mouse(MessageKind::LeftButtonUp, releaseX, row, 0));
    };
    // Pressed on one button and released on another: nothing.
    click(line, explode);
    EXPECT_EQ(c.DisplayMode, 4);
    EXPECT_FALSE(c.Exploded);
    click(line, line);
    EXPECT_EQ(c.DisplayMode, 0);
    click(explode, explode);
    EXPECT_TRUE(c.Exploded);

    // The focus goes while "explode" is held: the host's made-up release ends the press but
    // clicks nothing, and the press is forgotten, so a later press beside the panel and a
    // release on "explode" click nothing either.
    v.send(Message::mouse(MessageKind::LeftButtonDown, explode, row, platform::host::ModLeftButton));
    v.send(Message::madeUpRelease(MessageKind::LeftButtonUp, explode, row));
    EXPECT_TRUE(c.Exploded);
    EXPECT_FALSE(c.LeftButtonDown);
    EXPECT_FALSE(v.host().hasMouseCapture());
    click(10, explode);
    EXPECT_TRUE(c.Exploded);
}
