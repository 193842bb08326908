// Tests of the mouse handlers and the page's script callback.
#include <cmath>
#include <gtest/gtest.h>

#include "platform/host/Message.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/render/DrawTestSupport.h"
#include "viewer/ui/PanelC.h"
#include "tests/viewer/ui/PickTestSupport.h"
#include "viewer/ui/ToolTipC.h"

using platform::host::ModShift;

namespace {

// Runs the animations the handlers started to their end.
void finishAnimations(CTavoplexCtrl& c, uint32_t& now)
{
    c.Animations.Update(now);
    c.Animations.Update(now += 2000);
}

}  // namespace

TEST(CTavoplexCtrlMouse, RightClickFadesThePartOrAllBackAndARightDragZoomsInstead)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    showModel(c, cubeModel({{0, 0, 0}, {4, 0, 0}}));
    c.ComputeBoundingBoxes(false);
    FEDisplayPartListC& m = *c.Parts;
    uint32_t now = 1000;

    // Press and release 1 pixel apart on instance 1: a click.
    const ControlPoint on1 = pixelOf(4, 0);
    c.OnRButtonDown(0, on1);
    EXPECT_TRUE(v.host().hasMouseCapture());
    EXPECT_TRUE(c.ToolTip->Busy);
    c.OnRButtonUp(0, ControlPoint{on1.x + 1, on1.y - 1});
    EXPECT_FALSE(v.host().hasMouseCapture());
    EXPECT_FALSE(c.ToolTip->Busy);
    finishAnimations(c, now);
    EXPECT_FLOAT_EQ(m.getInstance(1)->GetTransparency(), 0.75f);
    EXPECT_FLOAT_EQ(m.getInstance(0)->GetTransparency(), 0.0f);

    // The faded part is still found by a right click and fades again to the same value.
    c.OnRButtonDown(0, on1);
    c.OnRButtonUp(0, on1);
    finishAnimations(c, now);
    EXPECT_FLOAT_EQ(m.getInstance(1)->GetTransparency(), 0.75f);

    // A press moved 2 pixels is a drag: a zoom step, no fade.
    const ControlPoint on0 = pixelOf(0, 0);
    const double zoom = c.Zoom;
    c.OnRButtonDown(0, on0);
    c.OnMouseMove(0, ControlPoint{on0.x, on0.y + 2});
    c.OnRButtonUp(0, ControlPoint{on0.x, on0.y + 2});
    EXPECT_GT(c.Zoom, zoom);  // dragging down shrinks the model
    EXPECT_TRUE(c.Animations.IsEmpty());

    // A click on empty space fades everything back.
    c.OnRButtonDown(0, ControlPoint{5, 5});
    c.OnRButtonUp(0, ControlPoint{5, 5});
    finishAnimations(c, now);
    EXPECT_FLOAT_EQ(m.getInstance(1)->GetTransparency(), 0.0f);

    // A release the host made up when the focus went ends the press but is no click: the
    // part under it does not fade.
    using platform::host::Message;
    c.OnRButtonDown(0, on1);
    v.send(Message::madeUpRelease(platform::host::MessageKind::RightButtonUp, on1.x, on1.y));
    EXPECT_FALSE(c.RightButtonDown);
    EXPECT_FALSE(v.host().hasMouseCapture());
    EXPECT_FALSE(c.ToolTip->Busy);
    finishAnimations(c, now);
    EXPECT_FLOAT_EQ(m.getInstance(1)->GetTransparency(), 0.0f);
}

TEST(CTavoplexCtrlMouse, DragsRotatePanAndZoomByTheirButtonsAndTheWheelStepsAdditively)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    setUpFrameView(c, 300, 300);
    // A scene box whose unit is sqrt(3): the zoom threshold is 80 sqrt(3).
    c.SceneMin = Point3D(-80, -80, -80);
    c.SceneMax = Point3D(80, 80, 80);

    // Left drag 100 pixels to the right, delivered through the window procedure: 45 degrees
    // about the vertical axis.
    using platform::host::Message;
    using platform::host::MessageKind;
    v.send(Message::mouse(MessageKind::LeftButtonDown, 100, 100, platform::host::ModLeftButton));
    v.send(Message::mouse(MessageKind::MouseMove, 150, 100, platform::host::ModLeftButton));
    v.send(Message::mouse(MessageKind::MouseMove, 200, 100, platform::host::ModLeftButton));
    v.send(Message::mouse(MessageKind::LeftButtonUp, 200, 100));
    EXPECT_NEAR(c.Rotation.at(0, 0), std::cos(M_PI / 4), 1e-9);
    EXPECT_NEAR(std::fabs(c.Rotation.at(0, 2)), std::sin(M_PI / 4), 1e-9);
    EXPECT_NEAR(c.Rotation.at(1, 1), 1.0, 1e-9);

    // Both buttons: a pan; the capture stays until both are up; then the left one rotates again.
    const TransformMatrix turned = c.Rotation;
    c.OnLButtonDown(0, ControlPoint{100, 100});
    c.OnRButtonDown(0, ControlPoint{100, 100});
    c.OnMouseMove(0, ControlPoint{130, 100});
    EXPECT_NE(c.PanX, 0.0);
    EXPECT_TRUE(c.Rotation.isEqual(turned));
    c.OnRButtonUp(0, ControlPoint{130, 100});
    EXPECT_TRUE(v.host().hasMouseCapture());
    const double pan = c.PanX;
    c.OnMouseMove(0, ControlPoint{140, 100});
    EXPECT_EQ(c.PanX, pan);
    EXPECT_FALSE(c.Rotation.isEqual(turned));
    c.OnLButtonUp(0, ControlPoint{140, 100});
    EXPECT_FALSE(v.host().hasMouseCapture());

    // The wheel: 120 a notch is an amount of 10; far from the model the step is a s, near it
    // a s zoom / t.
    const double s = std::sqrt(3.0);
    const struct Case {
        double zoom;
        int delta;
        double expected;
    } cases[] = {
        {200.0, 120, 200.0 + 10 * s},
        {200.0, -240, 200.0 - 20 * s},
        {50.0, -240, 50.0 - 20 * s * 50.0 / (80 * s)},
    };
    for (const Case& k : cases) {
        c.Zoom = k.zoom;
        v.send(platform::host::Message::wheel(k.delta, 10, 10));
        EXPECT_NEAR(c.Zoom, k.expected, 1e-9) << k.zoom << " " << k.delta;
    }
}

TEST(CTavoplexCtrlMouse, DoubleClickZoomsToThePartOrWithShiftCallsThePageScript)
{
    ViewerHarness v(300, 300);
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    showModel(c, cubeModel({{0, 0, 0}, {4, 0, 0}}));
    FEDisplayPartListC& m = *c.Parts;
    v.host().addScriptFunction("TavoPlex_DoubleClickPart");

    c.OnLButtonDblClk(0, pixelOf(4, 0));
    EXPECT_TRUE(c.ZoomPending);
    EXPECT_EQ(c.ZoomPart, m.getInstance(1));
    EXPECT_EQ(c.ZoomDuration, 350);
    // The frame carries the zoom out: the camera moves to frame that part.
    c.RunPendingZoom();
    uint32_t now = 0;
    finishAnimations(c, now);
    setUpFrameView(c, 300, 300);
    EXPECT_EQ(c.PickPart(Point2D(150, 150), false), m.getInstance(1));
    EXPECT_LT(c.Zoom, 5.0);

    // Shift on empty space zooms to the whole model.
    c.OnLButtonDblClk(ModShift, ControlPoint{1, 1});
    EXPECT_TRUE(c.ZoomPending);
    EXPECT_EQ(c.ZoomPart, nullptr);
    EXPECT_TRUE(v.host().scriptCalls().empty());

    // Shift on a part: the script gets the part's name and MID text, and nothing zooms.
    c.ZoomPending = false;
    v.send(platform::host::Message::mouse(platform::host::MessageKind::LeftButtonDoubleClick, 150, 150, ModShift));
    EXPECT_FALSE(c.ZoomPending);
    ASSERT_EQ(v.host().scriptCalls().size(), 1u);
    EXPECT_EQ(v.host().scriptCalls()[0].name, "TavoPlex_DoubleClickPart");
    EXPECT_EQ(v.host().scriptCalls()[0].args, (std::vector<std::string>{"cube", "M-100"}));
    EXPECT_EQ(TempDir::read(v.userFile("tavoplex.log")).find("fail"), std::string::npos);

    // Exploded, the part is framed where its exploded placement puts it (10 further along x).
    showModel(c, cubeModel({{0, 0, 0}, {4, 0, 0}}));
    c.Exploded = true;
    c.OnLButtonDblClk(0, pixelOf(4, 0));
    ASSERT_EQ(c.ZoomPart, c.Parts->getInstance(1));
    c.RunPendingZoom();
    finishAnimations(c, now);
    EXPECT_NEAR(c.ViewOffset.x(), -14.0, 1e-6);
    EXPECT_NEAR(c.ViewOffset.y(), 0.0, 1e-6);
}

TEST(CTavoplexCtrlMouse, ScriptCallFailuresLeaveTheirLogLineAndReturnFalse)
{
    const struct Case {
        bool host, script, function, callFails;
        const char* line;
    } cases[] = {
        {true, true, false, false, "GetIDs fail!\n"},
        {true, false, false, false, "Cannot GetScript\n"},
        {true, true, true, true, "Invoke fail!\n"},
        {false, true, true, false, nullptr},
    };
    for (const Case& k : cases) {
        ViewerHarness v(300, 300);
        v.writeConfig("[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        v.host().setScriptAvailable(k.script);
        v.host().setScriptCallsFail(k.callFails);
        if (k.function)
            v.host().addScriptFunction("TavoPlex_DoubleClickPart");
        if (!k.host)
            c.AttachHost(nullptr);
        const std::string before = TempDir::read(v.userFile("tavoplex.log"));
        EXPECT_FALSE(c.CallDoubleClickScript("TavoPlex_DoubleClickPart", {"a", "b"}));
        // Exactly one line, without leading blanks, or none.
        EXPECT_EQ(TempDir::read(v.userFile("tavoplex.log")), before + (k.line ? k.line : "")) << k.line;
        EXPECT_TRUE(v.host().scriptCalls().empty());
        c.AttachHost(&v.host());
    }
}

TEST(CTavoplexCtrlMouse, PanelsAndToolTipFollowThePointer)
{
    ViewerHarness v(300, 300, 500);
    CTavoplexCtrl& c = v.open();
    showModel(c, cubeModel({{0, 0, 0}}));
    // A logo panel over the lower left quarter, which the part reaches into.
    c.LogoPanel = std::make_unique<PanelC>(nullptr, &c.Animations);
    c.LogoPanel->PanelWidth = 150;
    c.LogoPanel->PanelHeight = 150;
    c.LogoPanel->LaidOut = true;

    // Hovering: the hand over the logo, the arrow elsewhere; the tip's rest starts again.
    v.clock().advance(40);
    c.OnMouseMove(0, ControlPoint{20, 280});
    EXPECT_EQ(v.host().cursor(), platform::host::Cursor::Hand);
    EXPECT_EQ(c.ToolTip->RestTime, 540u);
    EXPECT_EQ(c.ToolTip->PointerX, 20);
    c.OnMouseMove(0, ControlPoint{280, 20});
    EXPECT_EQ(v.host().cursor(), platform::host::Cursor::Arrow);
    EXPECT_FALSE(c.LogoPanel->IsHovered());

    // A left release over the part where it covers the logo: the logo does not get the click.
    const ControlPoint overPart = pixelOf(-0.5, -0.5);
    c.OnLButtonDown(0, overPart);
    c.OnLButtonUp(0, overPart);
    EXPECT_FALSE(c.LogoPanel->IsHovered());
    // Over the logo beside the part it does.
    c.OnLButtonDown(0, ControlPoint{20, 280});
    c.OnLButtonUp(0, ControlPoint{20, 280});
    EXPECT_TRUE(c.LogoPanel->IsHovered());

    // (A panel that takes a click is hovered by it; moving away clears that.)
    auto awayFromTheLogo = [&] {
        c.OnMouseMove(0, ControlPoint{280, 20});
        ASSERT_FALSE(c.LogoPanel->IsHovered());
    };
    // A right click that fades the part over the logo keeps the click from the logo; on the
    // logo beside the part the logo gets it.
    awayFromTheLogo();
    c.OnRButtonDown(0, overPart);
    c.OnRButtonUp(0, overPart);
    EXPECT_FALSE(c.LogoPanel->IsHovered());
    awayFromTheLogo();
    c.OnRButtonDown(0, ControlPoint{20, 280});
    c.OnRButtonUp(0, ControlPoint{20, 280});
    EXPECT_TRUE(c.LogoPanel->IsHovered());

    // A left release while the right button is held goes to no panel; the right release then does.
    awayFromTheLogo();
    c.OnRButtonDown(0, ControlPoint{20, 280});
    c.OnLButtonDown(0, ControlPoint{20, 280});
    c.OnLButtonUp(0, ControlPoint{20, 280});
    EXPECT_FALSE(c.LogoPanel->IsHovered());
    c.OnRButtonUp(0, ControlPoint{20, 280});
    EXPECT_TRUE(c.LogoPanel->IsHovered());
}

// Tests of the mouse over drawn frames: picks through the matrices a frame leaves behind, a drag
// that changes the picture and a double click that zooms the frame onto a part.
using platform::host::Message;
using platform::host::MessageKind;

namespace {

// Pixels whose colour differs by more than the tolerance between two frames.
int changedPixels(const platform::gl::Frame& a, const platform::gl::Frame& b)
{
    int changed = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (!pixelNear(a.pixel(x, y), {b.pixel(x, y)[0], b.pixel(x, y)[1], b.pixel(x, y)[2]}))
                ++changed;
    return changed;
}

// Draws a frame (which starts what was asked for, a pending zoom), runs the animations to their
// end and draws the frame that follows.
void settle(ViewerHarness& v)
{
    v.control().RenderFrame();
    v.control().Animations.Update(v.clock().now());
    v.clock().advance(2000);
    v.control().Animations.Update(v.clock().now());
    v.control().RenderFrame();
}

}  // namespace

TEST(CTavoplexCtrlMouseFrame, PicksFollowTheDrawnViewAndADragTurnsThePicture)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(10, feColor(0.9f, 0.2f, 0.2f, 1)), {translation(-25, 0, 0), translation(25, 0, 0)}));
    renderSettled(v);
    FEDisplayPartListC& m = *c.Parts;

    // Left and right of the centre lie the two cubes; the centre itself is empty.
    EXPECT_EQ(c.PickPart(Point2D(150, 150), false), nullptr);
    FEDisplayPartRefC* left = c.PickPart(Point2D(100, 150), false);
    FEDisplayPartRefC* right = c.PickPart(Point2D(200, 150), false);
    EXPECT_EQ(left, m.getInstance(0));
    EXPECT_EQ(right, m.getInstance(1));

    // A left drag through the window procedure turns the model: the next frame differs.
    const platform::gl::Frame before = v.frame();
    v.send(Message::mouse(MessageKind::LeftButtonDown, 150, 150, platform::host::ModLeftButton));
    v.send(Message::mouse(MessageKind::MouseMove, 150, 250, platform::host::ModLeftButton));
    v.send(Message::mouse(MessageKind::LeftButtonUp, 150, 250));
    c.RenderFrame();
    EXPECT_GT(changedPixels(before, v.frame()), 500);

    // A double click on the right cube: the following frames zoom onto it.
    const platform::gl::Frame turned = v.frame();
    const Point2D onRight(200, 150);
    ASSERT_EQ(c.PickPart(onRight, false), m.getInstance(1));
    EXPECT_NE(c.PickPart(Point2D(80, 150), false), m.getInstance(1));
    v.send(Message::mouse(MessageKind::LeftButtonDoubleClick, int(onRight.x()), int(onRight.y())));
    settle(v);
    EXPECT_EQ(c.PickPart(Point2D(150, 150), false), m.getInstance(1));
    EXPECT_EQ(c.PickPart(Point2D(80, 150), false), m.getInstance(1));
    EXPECT_GT(changedPixels(turned, v.frame()), 5000);
    EXPECT_EQ(c.GLLockCount, 0);
}
