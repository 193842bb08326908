// Tests of picking: the ray under a window point, the choice among instances, tolerance and the
// cases where nothing can be picked.
#include <gtest/gtest.h>

#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/ui/PickTestSupport.h"

namespace {

Point2D at(ControlPoint p) { return Point2D(p.x, p.y); }

}  // namespace

TEST(CTavoplexCtrlPicking, NearestOpaqueInstanceWinsAndFadedOnesOnlyWhenAskedFor)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    // 0 at the origin; 1 in front of it (nearer the viewer); 2 to the right; 3 on 2's place
    // (equal distance, later in the list); 4 far up, faded later.
    showModel(c, cubeModel({{0, 0, 0}, {0, 0, 5}, {5, 0, 0}, {5, 0, 0}, {0, 6, 0}}));
    FEDisplayPartListC& m = *c.Parts;
    m.getInstance(4)->SetTransparency(0.75f);

    const struct Case {
        ControlPoint p;
        bool includeTransparent;
        int expected;  // instance index, -1 for none
    } cases[] = {
        {pixelOf(0, 0), false, 1},       // the nearer of two overlapping parts
        {pixelOf(5, 0), false, 2},       // a tie keeps the earlier instance
        {pixelOf(-6, -6), false, -1},    // empty space
        {pixelOf(0, 6), false, -1},      // only a faded part there
        {pixelOf(0, 6), true, 4},        // ... which a right click finds
        {{166, 142}, false, 1},          // 1 pixel beside the silhouette: its edge is hit
        {{168, 142}, false, -1},         // 3 pixels beside it: beyond the mesh's half tolerance
    };
    for (const Case& k : cases) {
        FEDisplayPartRefC* hit = c.PickPart(at(k.p), k.includeTransparent);
        EXPECT_EQ(hit, k.expected < 0 ? nullptr : m.getInstance(size_t(k.expected)))
            << k.p.x << "," << k.p.y << " " << k.includeTransparent;
    }
    // The hit instance carries its flag and the world point of the hit (the front face of 1).
    c.PickPart(at(pixelOf(0.5, 0.5)), false);
    EXPECT_TRUE(m.getInstance(1)->GetPickFlag());
    EXPECT_TRUE(m.getInstance(0)->GetPickFlag());
    EXPECT_FALSE(m.getInstance(2)->GetPickFlag());
    const Point3D p = m.getInstance(1)->GetPickPoint();
    EXPECT_NEAR(p.x(), 0.5, 0.05);
    EXPECT_NEAR(p.y(), 0.5, 0.05);
    EXPECT_NEAR(p.z(), 6.0, 1e-6);

    // A faded part in front of an opaque one: both clicks take the opaque one behind.
    m.getInstance(1)->SetTransparency(0.75f);
    EXPECT_EQ(c.PickPart(at(pixelOf(0, 0)), false), m.getInstance(0));
    EXPECT_EQ(c.PickPart(at(pixelOf(0, 0)), true), m.getInstance(0));
    EXPECT_EQ(c.GLLockCount, 0);

    // The faded part first in the list and nearer: the opaque one behind still replaces it.
    showModel(c, cubeModel({{0, 0, 5}, {0, 0, 0}}));
    c.Parts->getInstance(0)->SetTransparency(0.75f);
    EXPECT_EQ(c.PickPart(at(pixelOf(0, 0)), true), c.Parts->getInstance(1));
}

TEST(CTavoplexCtrlPicking, DamagedInstancesAndMissingViewsPickNothing)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    // No model, and a model without a frame yet (empty viewport): nothing, no crash.
    EXPECT_EQ(c.PickPart(Point2D(150, 150), true), nullptr);
    c.Parts.reset(cubeModel({{0, 0, 0}}));
    Point3D n(7, 7, 7), f(7, 7, 7);
    EXPECT_FALSE(c.MakePickRay(Point2D(150, 150), n, f));
    EXPECT_EQ(n, Point3D(7, 7, 7));
    EXPECT_EQ(c.PickPart(Point2D(150, 150), true), nullptr);

    // Singular projection: the ray cannot be made.
    showModel(c, cubeModel({{0, 0, 0}}));
    double saved[16];
    std::copy(c.ProjectionMatrix, c.ProjectionMatrix + 16, saved);
    std::fill(c.ProjectionMatrix, c.ProjectionMatrix + 16, 0.0);
    EXPECT_FALSE(c.MakePickRay(Point2D(150, 150), n, f));
    EXPECT_EQ(c.PickPart(Point2D(150, 150), true), nullptr);
    std::copy(saved, saved + 16, c.ProjectionMatrix);

    // A flattened placement and a part index beyond the part list are skipped; the sound
    // instance behind them is found.
    FEDisplayPartListC& m = *c.Parts;
    TransformMatrix flat = translation(0, 0, 5);
    flat.scale(1, 0, 1);
    m.addInstance(new FEDisplayPartRefC(0, m.getPart(0), flat, flat));
    m.addInstance(new FEDisplayPartRefC(3, m.getPart(0), translation(0, 0, 8), translation(0, 0, 8)));
    m.addInstance(new FEDisplayPartRefC(-1, m.getPart(0), translation(0, 0, 9), translation(0, 0, 9)));
    EXPECT_EQ(c.PickPart(at(pixelOf(0, 0.5)), false), m.getInstance(0));
    EXPECT_FALSE(m.getInstance(1)->GetPickFlag());
    EXPECT_FALSE(m.getInstance(2)->GetPickFlag());
}

TEST(CTavoplexCtrlPicking, RayNearBoxTestsTheBoundingSphereOfTheWholeLine)
{
    const Point3D mn(-1, -1, -1), mx(1, 1, 1);  // sphere radius sqrt(3)
    const struct Case {
        Point3D n, f;
        double tolerance;
        bool near;
    } cases[] = {
        {{0, 0, 10}, {0, 0, -10}, 0.0, true},
        {{1.7, 0, 10}, {1.7, 0, -10}, 0.0, true},
        {{1.8, 0, 10}, {1.8, 0, -10}, 0.0, false},
        {{1.8, 0, 10}, {1.8, 0, -10}, 0.1, true},
        {{0, 0, 10}, {0, 0, 20}, 0.0, true},  // the segment ends before the box: the line still counts
        {{0, 0, 10}, {0, 0, 10}, 5.0, false}, // no direction
    };
    for (const Case& k : cases)
        EXPECT_EQ(CTavoplexCtrl::RayNearBox(k.n, k.f, mn, mx, k.tolerance), k.near) << k.n.x() << " " << k.tolerance;
}
