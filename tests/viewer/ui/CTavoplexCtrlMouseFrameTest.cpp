// Tests of the mouse over drawn frames: picks through the matrices a frame leaves behind, a drag
// that changes the picture and a double click that zooms the frame onto a part.
#include <gtest/gtest.h>

#include "platform/host/Message.h"
#include "viewer/render/DrawTestSupport.h"

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
