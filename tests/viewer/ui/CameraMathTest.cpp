// Tests of the camera arithmetic: standard view table, zoom step, drag rotation, unprojection, fitting.
#include "viewer/ui/CameraMath.h"

#include "geometry/display/FEDisplayPartListC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// The projection the renderer sets: orthographic, zoom the half extent of the shorter side.
void orthoProjection(double zoom, int width, int height, double* m) {
    double halfX = zoom, halfY = zoom;
    if (height < width)
        halfX = zoom * width / height;
    else
        halfY = zoom * height / width;
    const double zNear = -1000.0, zFar = 1000.0;
    for (int i = 0; i < 16; ++i) m[i] = 0.0;
    m[0] = 1.0 / halfX;
    m[5] = 1.0 / halfY;
    m[10] = -2.0 / (zFar - zNear);
    m[14] = -(zFar + zNear) / (zFar - zNear);
    m[15] = 1.0;
}

// Column-major T(panX, panY, -80) Rotation T(offset), the modelview of the scene.
void sceneModelView(const TransformMatrix& rotation, const FitCamera& c, double* m) {
    TransformMatrix offset;
    offset.translate(c.OffsetX, c.OffsetY, c.OffsetZ);
    TransformMatrix mv = rotation * offset;
    mv.translate(c.PanX, c.PanY, -80.0);
    mv.getColumnMajor(m);
}

struct Row {
    double x, y, z;
};

void expectRow(const TransformMatrix& m, int row, const Row& want, const char* what) {
    // The table is given to four places, so the value lies within half a unit of the fourth place.
    const double tol = 0.5e-4 + 1e-9;
    EXPECT_NEAR(m.at(row, 0), want.x, tol) << what << " row " << row;
    EXPECT_NEAR(m.at(row, 1), want.y, tol) << what << " row " << row;
    EXPECT_NEAR(m.at(row, 2), want.z, tol) << what << " row " << row;
}

const Point3D kBoxMin(-50, -50, -50);
const Point3D kBoxMax(50, 50, 50);

}  // namespace

TEST(CameraMathTest, StandardViewsMatchTheTableForEveryViewAndTurn) {
    const struct Case {
        int view, turn;
        Row right, up, towards;
    } cases[] = {
        {0, 0, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {0, 3, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  // the turn only counts for the oblique views
        {1, 0, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
        {2, 0, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},
        {3, 0, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
        {4, 0, {1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
        {5, 0, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {9, 0, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {-1, 2, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {6, 0, {0.7071, 0, -0.7071}, {-0.4082, 0.8165, -0.4082}, {0.5774, 0.5773, 0.5774}},
        {7, 0, {0.7071, 0, -0.7071}, {-0.1894, 0.9634, -0.1894}, {0.6813, 0.2679, 0.6813}},
        {7, 1, {-0.7071, 0, -0.7071}, {-0.1894, 0.9634, 0.1894}, {0.6813, 0.2679, -0.6813}},
        {7, 2, {-0.7071, 0, 0.7071}, {0.1894, 0.9634, 0.1894}, {-0.6813, 0.2679, -0.6813}},
        {7, 3, {0.7071, 0, 0.7071}, {0.1894, 0.9634, -0.1894}, {-0.6813, 0.2679, 0.6813}},
        {7, 4, {0.7071, -0.7071, 0}, {-0.1894, -0.1894, -0.9634}, {0.6813, 0.6813, -0.2679}},
        {7, 5, {0.7071, 0.7071, 0}, {-0.1894, 0.1894, 0.9634}, {0.6813, -0.6813, 0.2679}},
        {8, 0, {0.8896, 0, -0.4568}, {-0.2353, 0.8572, -0.4582}, {0.3915, 0.5150, 0.7625}},
    };
    for (const Case& c : cases) {
        const TransformMatrix m = StandardViewMatrix(c.view, c.turn);
        const std::string what = "view " + std::to_string(c.view) + " turn " + std::to_string(c.turn);
        expectRow(m, 0, c.right, what.c_str());
        expectRow(m, 1, c.up, what.c_str());
        expectRow(m, 2, c.towards, what.c_str());
        EXPECT_EQ(m.getTranslation(), Point3D(0, 0, 0)) << what;
    }
}

TEST(CameraMathTest, ZoomStepNearFarAndAtBothBounds) {
    const double s = ZoomBoxUnit(kBoxMin, kBoxMax);  // diagonal / 160
    ASSERT_NEAR(s, std::sqrt(3.0) * 100.0 / 160.0, 1e-12);
    const double t = 80.0 * s;
    const struct Case {
        double zoom, amount, want;
    } cases[] = {
        {200.0, 10.0, 200.0 + 10.0 * s},                // a wheel notch far from the model
        {40.0, 10.0, 40.0 + 10.0 * s * 40.0 / t},       // near the model the step shrinks with the zoom
        {t, 10.0, t + 10.0 * s},                        // exactly at the threshold counts as near
        {1e6, 10.0, 300000.0 + 10.0 * s},               // capped before the step is added
        {300001.0, 10.0, 300000.0 + 10.0 * s},          // ... from just above the cap too
        {1.0, -1000.0, s / 10000.0},                    // a drag past zero stops at the lower bound
        {std::nan(""), 5.0, s / 10000.0},               // a zoom that is no number comes back in range
    };
    for (const Case& c : cases) {
        double zoom = c.zoom;
        EXPECT_TRUE(ApplyZoomStep(zoom, c.amount, kBoxMin, kBoxMax));
        EXPECT_NEAR(zoom, c.want, 1e-9) << "zoom " << c.zoom << " amount " << c.amount;
    }
    // A scene box without size has no unit: the step leaves the zoom alone instead of dividing 0 by 0.
    for (double start : {0.0, 5.0, -1.0}) {
        double zoom = start;
        EXPECT_FALSE(ApplyZoomStep(zoom, 10.0, Point3D(1, 2, 3), Point3D(1, 2, 3)));
        EXPECT_EQ(zoom, start);
    }
}

TEST(CameraMathTest, DragRotationTurnsTheFrontRightAndTheTopTowardsTheViewer) {
    // 200 pixels right = 90 degrees: the model's front (+z) now points right (+x in view space).
    const TransformMatrix right = RotatedByDrag(TransformMatrix(), 200.0, 0.0);
    const Point3D front = right.transform(Point3D(0, 0, 1));
    EXPECT_NEAR(front.x(), 1.0, 1e-12);
    EXPECT_NEAR(front.z(), 0.0, 1e-12);
    // 200 pixels down: the model's top (+y) comes towards the viewer (+z).
    const TransformMatrix down = RotatedByDrag(TransformMatrix(), 0.0, 200.0);
    const Point3D top = down.transform(Point3D(0, 1, 0));
    EXPECT_NEAR(top.z(), 1.0, 1e-12);
    EXPECT_NEAR(top.y(), 0.0, 1e-12);
    // The drag turns the view as it stands (pre-multiplied).
    const TransformMatrix both = RotatedByDrag(right, 0.0, 200.0);
    EXPECT_TRUE(both.isEqual(down * right));
}

TEST(CameraMathTest, UnprojectGivesViewUnitsPerPixelAndFailsOnAnEmptyViewport) {
    // A 400 x 200 window at zoom 10 shows 40 x 20 units: 10 pixels are 1.0.
    double projection[16];
    orthoProjection(10.0, 400, 200, projection);
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int viewport[4] = {0, 0, 400, 200};
    Point3D a, b;
    ASSERT_TRUE(UnprojectPoint(Point3D(200, 100, 1.0), identity, projection, viewport, a));
    ASSERT_TRUE(UnprojectPoint(Point3D(210, 100, 1.0), identity, projection, viewport, b));
    EXPECT_NEAR(a.x(), 0.0, 1e-12);
    EXPECT_NEAR(b.x() - a.x(), 1.0, 1e-12);
    Point3D w;
    ASSERT_TRUE(ProjectPoint(b, identity, projection, viewport, w));
    EXPECT_NEAR(w.x(), 210.0, 1e-9);

    // Before the first frame the stored copies are identities and the viewport is empty.
    const int empty[4] = {0, 0, 0, 0};
    Point3D untouched(7, 8, 9);
    EXPECT_FALSE(UnprojectPoint(Point3D(10, 10, 1.0), identity, identity, empty, untouched));
    EXPECT_FALSE(ProjectPoint(Point3D(10, 10, 1.0), identity, identity, empty, untouched));
    EXPECT_EQ(untouched, Point3D(7, 8, 9));
    // A singular projection cannot be undone.
    const double zero[16] = {};
    EXPECT_FALSE(UnprojectPoint(Point3D(10, 10, 1.0), identity, zero, viewport, untouched));
}

TEST(CameraMathTest, FitLeavesTheBoxCentredWithAFourPixelMargin) {
    const struct Case {
        int width, height, view, turn;
        Point3D boxMin, boxMax;
        bool byWidth;  // which side limits
    } cases[] = {
        {400, 200, 0, 0, Point3D(-10, -10, -10), Point3D(30, 10, 5), false},
        {200, 400, 0, 0, Point3D(0, 0, 0), Point3D(60, 20, 5), true},  // wider than tall in a tall window
        {300, 300, 7, 0, Point3D(-5, 2, 100), Point3D(15, 40, 130), false},
        {640, 480, 7, 4, Point3D(-50, -50, -50), Point3D(50, 50, 50), false},
        {500, 120, 4, 0, Point3D(1000, 0, 0), Point3D(1010, 300, 3), false},
    };
    for (const Case& c : cases) {
        const TransformMatrix rotation = StandardViewMatrix(c.view, c.turn);
        const int viewport[4] = {0, 0, c.width, c.height};
        const double zoom = 80.0;
        double projection[16];
        orthoProjection(zoom, c.width, c.height, projection);
        double modelView[16];
        rotation.getColumnMajor(modelView);

        FitCamera fit;
        ASSERT_TRUE(ComputeFitCameraValues(c.boxMin, c.boxMax, modelView, projection, viewport, c.width, c.height,
                                           zoom, fit));
        EXPECT_EQ(fit.PanX, 0.0);
        EXPECT_EQ(fit.PanY, 0.0);

        // Draw the box with the fitted camera, as the scene frame would.
        double fittedProjection[16], fittedModelView[16];
        orthoProjection(fit.Zoom, c.width, c.height, fittedProjection);
        sceneModelView(rotation, fit, fittedModelView);
        double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
        for (int corner = 0; corner < 8; ++corner) {
            const Point3D p((corner & 1) ? c.boxMax.x() : c.boxMin.x(), (corner & 2) ? c.boxMax.y() : c.boxMin.y(),
                            (corner & 4) ? c.boxMax.z() : c.boxMin.z());
            Point3D w;
            ASSERT_TRUE(ProjectPoint(p, fittedModelView, fittedProjection, viewport, w));
            minX = std::min(minX, w.x()), maxX = std::max(maxX, w.x());
            minY = std::min(minY, w.y()), maxY = std::max(maxY, w.y());
        }
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " view " +
                                 std::to_string(c.view);
        if (c.byWidth) {
            EXPECT_NEAR(maxX - minX, c.width - 8.0, 1e-6) << what;
            EXPECT_LE(maxY - minY, c.height - 8.0 + 1e-6) << what;
        } else {
            EXPECT_NEAR(maxY - minY, c.height - 8.0, 1e-6) << what;
            EXPECT_LE(maxX - minX, c.width - 8.0 + 1e-6) << what;
        }
        EXPECT_NEAR((minX + maxX) / 2.0, c.width / 2.0, 1e-6) << what;
        EXPECT_NEAR((minY + maxY) / 2.0, c.height / 2.0, 1e-6) << what;
    }
}

TEST(CameraMathTest, FitOfDegenerateBoxesAndWindows) {
    double projection[16];
    orthoProjection(80.0, 400, 200, projection);
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int viewport[4] = {0, 0, 400, 200};

    // A box seen end-on as one point: zoom 1.0, that point at the centre.
    FitCamera fit;
    ASSERT_TRUE(ComputeFitCameraValues(Point3D(3, 4, -5), Point3D(3, 4, 5), identity, projection, viewport, 400, 200,
                                       80.0, fit));
    EXPECT_EQ(fit.Zoom, 1.0);
    EXPECT_NEAR(fit.OffsetX, -3.0, 1e-9);
    EXPECT_NEAR(fit.OffsetY, -4.0, 1e-9);

    // A flat line across the window is fitted by its width, an upright one by its height.
    ASSERT_TRUE(ComputeFitCameraValues(Point3D(-40, 0, 0), Point3D(40, 0, 0), identity, projection, viewport, 400, 200,
                                       80.0, fit));
    EXPECT_NEAR(fit.Zoom, 80.0 * 100.0 / 392.0, 1e-9);  // 100 pixels wide, 392 available
    ASSERT_TRUE(ComputeFitCameraValues(Point3D(0, -40, 0), Point3D(0, 40, 0), identity, projection, viewport, 400, 200,
                                       80.0, fit));
    EXPECT_NEAR(fit.Zoom, 80.0 * 100.0 / 192.0, 1e-9);  // 100 pixels tall, 192 available

    // Nothing is written for a window without area, an empty viewport or a singular projection.
    FitCamera untouched;
    untouched.Zoom = 123.0;
    const int empty[4] = {0, 0, 0, 0};
    const double zero[16] = {};
    EXPECT_FALSE(ComputeFitCameraValues(kBoxMin, kBoxMax, identity, projection, viewport, 0, 200, 80.0, untouched));
    EXPECT_FALSE(ComputeFitCameraValues(kBoxMin, kBoxMax, identity, projection, viewport, 400, -1, 80.0, untouched));
    EXPECT_FALSE(ComputeFitCameraValues(kBoxMin, kBoxMax, identity, identity, empty, 400, 200, 80.0, untouched));
    EXPECT_FALSE(ComputeFitCameraValues(kBoxMin, kBoxMax, identity, zero, viewport, 400, 200, 80.0, untouched));
    EXPECT_EQ(untouched.Zoom, 123.0);
}

namespace {

// A part holding one triangle spanning the given box corners.
FEDisplayPartC* boxPart(const Point3D& a, const Point3D& b) {
    FEDisplayPartC* part = new FEDisplayPartC();
    part->addTriangle(a, Point3D(b.x(), a.y(), a.z()), b);
    return part;
}

TransformMatrix moved(double x, double y, double z) {
    TransformMatrix m;
    m.translate(x, y, z);
    return m;
}

}  // namespace

TEST(CameraMathTest, InstanceBoxesUseTheAssembledOrExplodedPlacement) {
    FEDisplayPartListC list;
    list.addPart(boxPart(Point3D(0, 0, 0), Point3D(1, 2, 3)));
    list.addPart(new FEDisplayPartC());  // nothing measurable
    list.addInstance(new FEDisplayPartRefC(0, list.getPart(0), moved(10, 0, 0), moved(20, 0, 0)));
    TransformMatrix turned;
    turned.rotate(0, 0, -90);  // x -> y
    list.addInstance(new FEDisplayPartRefC(0, list.getPart(0), turned, turned));
    list.addInstance(new FEDisplayPartRefC(1, list.getPart(1), moved(500, 0, 0), moved(500, 0, 0)));
    list.addInstance(new FEDisplayPartRefC(7, nullptr, moved(900, 0, 0), moved(900, 0, 0)));  // no such part
    list.getInstance(0)->SetMatrix(moved(-300, 0, 0));  // the animated placement never counts

    const struct Case {
        bool exploded;
        int only;  // -1 all
        Point3D min, max;
    } cases[] = {
        {false, -1, Point3D(-2, 0, 0), Point3D(11, 2, 3)},
        {true, -1, Point3D(-2, 0, 0), Point3D(21, 2, 3)},
        {false, 0, Point3D(10, 0, 0), Point3D(11, 2, 3)},
        {true, 0, Point3D(20, 0, 0), Point3D(21, 2, 3)},
        {false, 1, Point3D(-2, 0, 0), Point3D(0, 1, 3)},
        {false, 2, Point3D(-50, -50, -50), Point3D(50, 50, 50)},  // only an empty part
        {false, 3, Point3D(-50, -50, -50), Point3D(50, 50, 50)},  // a part index out of range
    };
    for (const Case& c : cases) {
        Point3D min, max;
        MeasureInstances(list, c.exploded, c.only < 0 ? nullptr : list.getInstance(size_t(c.only)), min, max);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(min.component(k), c.min.component(k), 1e-12) << c.only << " " << c.exploded;
            EXPECT_NEAR(max.component(k), c.max.component(k), 1e-12) << c.only << " " << c.exploded;
        }
    }

    // A model with no part, a flat point and a placement that is no number all give the default box.
    FEDisplayPartListC empty;
    Point3D min(1, 1, 1), max(2, 2, 2);
    MeasureInstances(empty, false, nullptr, min, max);
    EXPECT_EQ(min, Point3D(-50, -50, -50));
    EXPECT_EQ(max, Point3D(50, 50, 50));
    FEDisplayPartListC bad;
    bad.addPart(boxPart(Point3D(0, 0, 0), Point3D(1, 1, 1)));
    TransformMatrix nan;
    nan.set(std::nan(""), 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    bad.addInstance(new FEDisplayPartRefC(0, bad.getPart(0), nan, nan));
    MeasureInstances(bad, false, nullptr, min, max);
    EXPECT_EQ(min, Point3D(-50, -50, -50));
    EXPECT_EQ(max, Point3D(50, 50, 50));
}
