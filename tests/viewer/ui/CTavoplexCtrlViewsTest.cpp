// Tests of the standard views, the turn cycle, the animated fit-and-rotate and the zoom request.
#include <gtest/gtest.h>

#include "math/Quaternion.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/ui/CameraTestSupport.h"

namespace {

// Runs every animation to its end on the fake clock, as the timer ticks would.
void runAnimations(ViewerHarness& v, uint32_t duration)
{
    CTavoplexCtrl& c = v.control();
    c.Animations.Update(v.clock().now());
    for (uint32_t t = 0; t < duration && !c.Animations.IsEmpty(); t += 25) {
        v.clock().advance(25);
        c.Animations.Update(v.clock().now());
    }
    v.clock().advance(25);
    c.Animations.Update(v.clock().now());
    EXPECT_TRUE(c.Animations.IsEmpty());
}

// The rotation a view animation lands on: the destination's orientation.
TransformMatrix landed(const TransformMatrix& m) { return Quaternion(m).toMatrix(); }

}  // namespace

TEST(CTavoplexCtrlViews, IsometricButtonCyclesTheTurnsAndAFreeMoveStartsAgain)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.SceneMin = Point3D(-50, -50, -50);
    c.SceneMax = Point3D(50, 50, 50);
    setUpFrameView(c, 300, 300);

    // After a load: view 7 at turn 0, and the next press will show turn 1.
    c.SetStandardView(7, true, 750, true);
    EXPECT_EQ(c.ViewTurn, 1);
    runAnimations(v, 750);
    EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(7, 0)));

    const int shown[] = {1, 2, 3, 4, 5, 0, 1};
    for (int turn : shown) {
        c.SetStandardView(7, true, 350, true);
        EXPECT_EQ(c.ViewTurn, (turn + 1) % kViewTurnCount);
        runAnimations(v, 350);
        EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(7, turn))) << "turn " << turn;
    }

    // A free move between two presses: the next press shows turn 0 again.
    for (int move = 0; move < 3; ++move) {
        c.ViewTurn = 3;
        setUpFrameView(c, 300, 300);
        if (move == 0)
            c.RotateMove(4, 1);
        else if (move == 1)
            c.PanMove(ControlPoint{150, 150}, 3, 0);
        else
            c.ZoomStep(2.0);
        EXPECT_EQ(c.ViewTurn, 0) << move;
        c.SetStandardView(7, true, 350, true);
        EXPECT_EQ(c.ViewTurn, 1) << move;
        runAnimations(v, 350);
        EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(7, 0))) << move;
    }

    // Without the cycle the turn starts at 0 and stays there; views 0 to 5 leave the turn at 0 too.
    c.ViewTurn = 4;
    c.SetStandardView(7, true, 0, false);
    EXPECT_EQ(c.ViewTurn, 0);
    runAnimations(v, 0);
    EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(7, 0)));
    for (int view : {0, 1, 2, 3, 4, 5, 9, -1}) {
        c.ViewTurn = 2;
        c.SetStandardView(view, true, 350, false);
        EXPECT_EQ(c.ViewTurn, 0);
        runAnimations(v, 350);
        EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(view, 0))) << view;
    }
}

TEST(CTavoplexCtrlViews, CameraAnimationLandsExactlyOnItsTargetAfterItsDuration)
{
    ViewerHarness v(400, 300);
    CTavoplexCtrl& c = v.open();
    c.Parts.reset(twoInstanceModel());
    c.ComputeBoundingBoxes(false);
    setUpFrameView(c, 400, 300);

    const TransformMatrix destination = StandardViewMatrix(8, 0);
    double destinationMV[16];
    destination.getColumnMajor(destinationMV);
    double want[6];
    ASSERT_TRUE(c.ComputeFitCamera(nullptr, want[0], want[1], want[2], want[3], want[4], want[5], destinationMV));
    const double startZoom = c.Zoom;
    const Quaternion startTurn(c.Rotation);

    c.AnimateToRotation(destination, true, 350);
    EXPECT_EQ(c.Animations.Count(), 2u);
    const uint32_t t0 = v.clock().now();
    c.Animations.Update(t0);
    EXPECT_EQ(c.Zoom, startZoom);  // progress 0 on the first update
    // A fifth of the time in, the eased progress is 1 / (1 + e^3): camera and turn have barely begun.
    v.clock().set(t0 + 70);
    c.Animations.Update(v.clock().now());
    const double eased = 1.0 / (1.0 + std::exp(3.0));
    EXPECT_NEAR(c.Zoom, startZoom + (want[5] - startZoom) * eased, 1e-5 * std::fabs(want[5] - startZoom));
    const TransformMatrix turning = startTurn.slerp(Quaternion(destination), eased).toMatrix();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(c.Rotation.at(i, j), turning.at(i, j), 1e-5) << i << "," << j;
    v.clock().set(t0 + 175);
    c.Animations.Update(v.clock().now());
    EXPECT_NEAR(c.Zoom, (startZoom + want[5]) / 2.0, 1e-9);  // half way, eased or not
    v.clock().set(t0 + 350);
    EXPECT_TRUE(c.Animations.Update(v.clock().now()));
    EXPECT_TRUE(c.Animations.IsEmpty());
    EXPECT_EQ(c.ViewOffset.x(), want[0]);
    EXPECT_EQ(c.ViewOffset.y(), want[1]);
    EXPECT_EQ(c.ViewOffset.z(), want[2]);
    EXPECT_EQ(c.PanX, 0.0);
    EXPECT_EQ(c.PanY, 0.0);
    EXPECT_EQ(c.Zoom, want[5]);
    const TransformMatrix end = landed(destination);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(c.Rotation.getData()[i], end.getData()[i]) << i;

    // Drawn with the new camera (OpenGL's matrices are single precision, hence the tolerance), the
    // scene box fills the window but for the margin, centred.
    setUpFrameView(c, 400, 300);
    const ScreenBox b = screenBoxOf(c, c.SceneMin, c.SceneMax);
    EXPECT_TRUE(std::fabs(b.width() - 392.0) < 1e-4 || std::fabs(b.height() - 292.0) < 1e-4)
        << b.width() << " x " << b.height();
    EXPECT_LE(b.width(), 392.0 + 1e-4);
    EXPECT_LE(b.height(), 292.0 + 1e-4);
    EXPECT_NEAR((b.x0 + b.x1) / 2.0, 200.0, 1e-4);
    EXPECT_NEAR((b.y0 + b.y1) / 2.0, 150.0, 1e-4);
}

TEST(CTavoplexCtrlViews, ZoomRequestIsCarriedOutByTheNextFrame)
{
    ViewerHarness v(300, 400);
    CTavoplexCtrl& c = v.open();
    c.Parts.reset(twoInstanceModel());
    c.ComputeBoundingBoxes(false);
    c.Rotation = StandardViewMatrix(7, 0);
    setUpFrameView(c, 300, 400);

    const unsigned redraws = v.host().redrawRequests();
    FEDisplayPartRefC* second = c.Parts->getInstance(1);
    c.RequestZoom(second, 350);
    EXPECT_TRUE(c.ZoomPending);
    EXPECT_EQ(c.ZoomDuration, 350);
    EXPECT_EQ(c.ZoomPart, second);
    EXPECT_EQ(v.host().redrawRequests(), redraws + 1);
    EXPECT_TRUE(c.Animations.IsEmpty());

    c.RunPendingZoom();
    EXPECT_FALSE(c.ZoomPending);
    EXPECT_EQ(c.Animations.Count(), 1u);
    c.RunPendingZoom();  // nothing pending: nothing added
    EXPECT_EQ(c.Animations.Count(), 1u);
    runAnimations(v, 350);

    setUpFrameView(c, 300, 400);
    Point3D min, max;
    c.ComputeBoundingBox(false, min, max, second);
    const ScreenBox b = screenBoxOf(c, min, max);
    EXPECT_TRUE(std::fabs(b.width() - 292.0) < 1e-4 || std::fabs(b.height() - 392.0) < 1e-4)
        << b.width() << " x " << b.height();
    EXPECT_NEAR((b.x0 + b.x1) / 2.0, 150.0, 1e-4);
    EXPECT_NEAR((b.y0 + b.y1) / 2.0, 200.0, 1e-4);
}

TEST(CTavoplexCtrlViews, NoFitMeansNoCameraMove)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.SceneMin = Point3D(-50, -50, -50);
    c.SceneMax = Point3D(50, 50, 50);

    // No frame yet (empty viewport), then a window without area: only the rotation moves.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            setUpFrameView(c, 300, 300);
            c.WindowWidth = 0;
        }
        c.ViewOffset = Point3D(1, 2, 3);
        c.Zoom = 33.0;
        c.AnimateToRotation(StandardViewMatrix(4, 0), true, 0);
        EXPECT_EQ(c.Animations.Count(), 1u) << pass;
        runAnimations(v, 0);
        EXPECT_EQ(c.ViewOffset, Point3D(1, 2, 3)) << pass;
        EXPECT_EQ(c.Zoom, 33.0) << pass;
        EXPECT_TRUE(c.Rotation.isEqual(StandardViewMatrix(4, 0))) << pass;
        c.Rotation.setIdentity();
    }

    // A destination whose entries are no numbers is refused whole.
    TransformMatrix bad;
    bad.at(1, 1) = std::nan("");
    c.AnimateToRotation(bad, true, 0);
    EXPECT_TRUE(c.Animations.IsEmpty());
    EXPECT_TRUE(c.Rotation.isEqual(TransformMatrix()));
}

TEST(CTavoplexCtrlViews, FitIgnoresTheTranslationOfTheDestination)
{
    // What a host's matrix with an identity rotation does: the whole model in front view, at once.
    ViewerHarness v(320, 240);
    CTavoplexCtrl& c = v.open();
    c.Parts.reset(twoInstanceModel());
    c.ComputeBoundingBoxes(false);
    c.Rotation = StandardViewMatrix(7, 2);
    setUpFrameView(c, 320, 240);
    const TransformMatrix start = c.Rotation;

    TransformMatrix moved;
    moved.translate(500, -20, 7);
    Point3D offsets[2];
    double zooms[2];
    int k = 0;
    for (const TransformMatrix& m : {TransformMatrix(), moved}) {
        c.Rotation = start;
        c.ViewOffset = Point3D(0, 0, -2);
        c.Zoom = 80.0;
        c.AnimateToRotation(m, true, 0);
        runAnimations(v, 0);
        EXPECT_TRUE(c.Rotation.isEqual(TransformMatrix()));
        EXPECT_EQ(c.Rotation.getTranslation(), Point3D(0, 0, 0));
        offsets[k] = c.ViewOffset;
        zooms[k++] = c.Zoom;
    }
    EXPECT_NEAR(offsets[0].x(), offsets[1].x(), 1e-9);
    EXPECT_NEAR(offsets[0].y(), offsets[1].y(), 1e-9);
    EXPECT_NEAR(zooms[0], zooms[1], 1e-9);
    // Front view of the box (0, 0, 0)..(10, 70, 30): its centre comes to the middle.
    EXPECT_NEAR(offsets[0].x(), -5.0, 1e-6);
    EXPECT_NEAR(offsets[0].y(), -35.0, 1e-6);
}
