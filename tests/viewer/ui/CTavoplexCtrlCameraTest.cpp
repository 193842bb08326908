// Tests of the control's view state: unprojection, the three mouse moves, scene boxes and the fit.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/ui/CameraTestSupport.h"

TEST(CTavoplexCtrlCamera, PanFollowsThePointerAtTheZoomsScale)
{
    // A 400 x 200 window at zoom 10 shows 40 x 20 units, so 10 pixels are 1.0.
    ViewerHarness v(400, 200);
    CTavoplexCtrl& c = v.open();
    c.Zoom = 10.0;
    c.ViewTurn = 3;
    setUpFrameView(c, 400, 200);
    const unsigned redraws = v.host().redrawRequests();

    const struct Case {
        int dx, dy;
        double panX, panY;
    } cases[] = {{10, 0, 1.0, 0.0}, {0, 10, 1.0, -1.0}, {-25, -5, -1.5, -0.5}};
    // OpenGL keeps its matrices in single precision, so the read-back copies carry float rounding.
    for (const Case& m : cases) {
        c.PanMove(ControlPoint{123, 45}, m.dx, m.dy);
        EXPECT_NEAR(c.PanX, m.panX, 1e-6) << m.dx << " " << m.dy;
        EXPECT_NEAR(c.PanY, m.panY, 1e-6) << m.dx << " " << m.dy;
    }
    EXPECT_EQ(c.ViewTurn, 0);
    EXPECT_EQ(v.host().redrawRequests(), redraws + 3);

    // The view point under the centre of the window is the view's centre, at the far depth.
    const Point3D centre = c.WindowToView(Point2D(200, 100));
    EXPECT_NEAR(centre.x(), 0.0, 1e-6);
    EXPECT_NEAR(centre.y(), 0.0, 1e-6);
    EXPECT_EQ(c.GLLockCount, 0);
}

TEST(CTavoplexCtrlCamera, MovesBeforeTheFirstFrameLeaveNoNumbersThatAreNot)
{
    ViewerHarness v(400, 200);
    CTavoplexCtrl& c = v.open();
    // No frame yet: identity matrices and an empty viewport.
    EXPECT_EQ(c.Viewport[2], 0);
    EXPECT_EQ(c.ProjectionMatrix[0], 1.0);
    EXPECT_EQ(c.ModelViewMatrix[15], 1.0);
    c.PanMove(ControlPoint{10, 10}, 5, 7);
    EXPECT_EQ(c.PanX, 0.0);
    EXPECT_EQ(c.PanY, 0.0);
    Point3D p(1, 2, 3);
    EXPECT_FALSE(c.WindowToView(Point2D(10, 10), p));
    EXPECT_EQ(c.WindowToView(Point2D(10, 10)), Point3D(0, 0, 0));

    // The scene box is still empty: the zoom step has no unit and leaves the zoom, yet like
    // every mouse move of the camera it ends the view turn and redraws.
    c.ViewTurn = 3;
    const unsigned redraws = v.host().redrawRequests();
    c.ZoomStep(10.0);
    EXPECT_EQ(c.Zoom, 80.0);
    EXPECT_EQ(c.ViewTurn, 0);
    EXPECT_EQ(v.host().redrawRequests(), redraws + 1);

    // Rotating needs no frame: 0.45 degrees a pixel.
    c.ViewTurn = 2;
    c.RotateMove(200, 0);
    TransformMatrix quarter;
    quarter.rotate(0, 90, 0);
    EXPECT_TRUE(c.Rotation.isEqual(quarter));
    EXPECT_EQ(c.ViewTurn, 0);

    // Without a window there is no context to unproject with.
    ViewerHarness bare(400, 200);
    EXPECT_FALSE(bare.construct().WindowToView(Point2D(1, 1), p));
}

TEST(CTavoplexCtrlCamera, ZoomStepScalesWithTheSceneBox)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.SceneMin = Point3D(-50, -50, -50);
    c.SceneMax = Point3D(50, 50, 50);
    const double s = std::sqrt(3.0) * 100.0 / 160.0;
    c.ViewTurn = 4;
    c.Zoom = 1e6;  // as SetZoom may leave it
    c.ZoomStep(120 / 12.0);
    EXPECT_NEAR(c.Zoom, 300000.0 + 10.0 * s, 1e-6);
    EXPECT_EQ(c.ViewTurn, 0);
    c.Zoom = 40.0;
    c.ZoomStep(-120 / 12.0);
    EXPECT_NEAR(c.Zoom, 40.0 - 10.0 * s * 40.0 / (80.0 * s), 1e-9);
    c.ZoomStep(-100000.0);
    EXPECT_NEAR(c.Zoom, s / 10000.0, 1e-15);
}

TEST(CTavoplexCtrlCamera, SceneBoxesFollowTheExplodeState)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.ComputeBoundingBoxes(false);  // no model: nothing written
    EXPECT_EQ(c.SceneMin, Point3D(0, 0, 0));
    EXPECT_EQ(c.SceneMax, Point3D(0, 0, 0));

    c.Parts.reset(twoInstanceModel());
    c.ComputeBoundingBoxes(false);
    EXPECT_EQ(c.SceneMin, Point3D(0, 0, 0));
    EXPECT_EQ(c.SceneMax, Point3D(10, 70, 30));
    c.ComputeBoundingBoxes(true);
    EXPECT_EQ(c.SceneMin, Point3D(0, 0, 0));
    EXPECT_EQ(c.SceneMax, Point3D(110, 120, 30));
    Point3D min, max;
    c.ComputeBoundingBox(true, min, max, c.Parts->getInstance(1));
    EXPECT_EQ(min, Point3D(0, 100, 0));
    EXPECT_EQ(max, Point3D(10, 120, 30));
}

TEST(CTavoplexCtrlCamera, FitWritesNothingWithoutWindowArea)
{
    ViewerHarness v(300, 200);
    CTavoplexCtrl& c = v.open();
    c.SceneMin = Point3D(-50, -50, -50);
    c.SceneMax = Point3D(50, 50, 50);
    setUpFrameView(c, 300, 200);
    double o[6] = {1, 2, 3, 4, 5, 6};
    const struct Case {
        int width, height;
        bool written;
    } cases[] = {{0, 200, false}, {300, 0, false}, {-5, -5, false}, {300, 200, true}};
    for (const Case& w : cases) {
        c.WindowWidth = w.width;
        c.WindowHeight = w.height;
        c.ZoomPending = true;
        EXPECT_EQ(c.ComputeFitCamera(nullptr, o[0], o[1], o[2], o[3], o[4], o[5], c.ModelViewMatrix), w.written);
        EXPECT_FALSE(c.ZoomPending);
        if (!w.written) {
            EXPECT_EQ(o[5], 6.0);
        }
    }
    // The fit of the default box in a 300 x 200 window: its screen height limits.
    EXPECT_EQ(o[3], 0.0);
    EXPECT_EQ(o[4], 0.0);
    EXPECT_GT(o[5], 0.0);
}
