// Tests of the mesh measurements (mass properties, principal axes), the graph text, the part
// group, the face walks and the text parsers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "math/TransformMatrix.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/mesh/FEMeshPartGroupC.h"
#include "geometry/mesh/FEMeshTextParsers.h"
#include "tests/geometry/mesh/MeshTestShapes.h"

using meshtest::kPi;

TEST(FEMeshPartAnalysisTest, MassPropertiesOfACubeAndATorus)
{
    FEMeshPartC cube;
    meshtest::buildBox(cube);
    cube.finalize(-1.0);
    double area = 0, volume = 0;
    Point3D centre, r1, r2, r3;
    cube.computeMassProperties(area, volume, centre, r1, r2, r3);
    EXPECT_NEAR(area, 6.0, 1e-12);
    EXPECT_NEAR(volume, 1.0, 1e-12);
    EXPECT_NEAR(centre.x(), 0.5, 1e-12);
    EXPECT_NEAR(centre.y(), 0.5, 1e-12);
    EXPECT_NEAR(centre.z(), 0.5, 1e-12);
    const double expected[3][3] = {{1.0 / 6, 0, 0}, {0, 1.0 / 6, 0}, {0, 0, 1.0 / 6}};
    const Point3D rows[3] = {r1, r2, r3};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(rows[i].component(j), expected[i][j], 1e-12) << i << "," << j;

    // A torus of radii 50 and 20 about the z axis, moved to (10, -5, 3): volume 2 pi^2 R r^2,
    // area 4 pi^2 R r, centre where it was moved; the facets lose a little of both.
    FEMeshPartC torus;
    meshtest::buildTorus(torus, 240, 120);
    const double shift[16] = {1, 0, 0, 10, 0, 1, 0, -5, 0, 0, 1, 3, 0, 0, 0, 1};
    torus.transform(shift);
    torus.computeMassProperties(area, volume, centre, r1, r2, r3);
    EXPECT_NEAR(volume / (2 * kPi * kPi * 50 * 400), 1.0, 1e-3);
    EXPECT_NEAR(area / (4 * kPi * kPi * 50 * 20), 1.0, 1e-3);
    EXPECT_NEAR(centre.x(), 10.0, 1e-6);
    EXPECT_NEAR(centre.y(), -5.0, 1e-6);
    EXPECT_NEAR(centre.z(), 3.0, 1e-6);
    // About the axis: m (R^2 + 3/4 r^2) for a solid torus.
    EXPECT_NEAR(r3.z() / (volume * (2500 + 0.75 * 400)), 1.0, 2e-3);
    EXPECT_NEAR(r1.y() / r3.z(), 0.0, 1e-9);

    // The corner (0, 0, 0), (-1, 0, 0), (0, 2, 0), (0, 0, 3) is symmetric about no axis: the
    // products of inertia differ in size and sign (Ixy = -a^2 b^2 c / 480 with a = -1 along x).
    FEMeshPartC corner;
    const Point3D o(0, 0, 0), a(-1, 0, 0), b(0, 2, 0), c(0, 0, 3), inside = (a + b + c) * 0.25;
    for (const auto& t : {std::array<Point3D, 3>{o, a, b}, {o, b, c}, {o, c, a}, {a, b, c}}) {
        const bool outward = crossProduct(t[1] - t[0], t[2] - t[0]).dot(t[0] - inside) > 0.0;
        corner.addTriangle(t[0], outward ? t[1] : t[2], outward ? t[2] : t[1]);
    }
    corner.finalize(-1.0);
    corner.computeMassProperties(area, volume, centre, r1, r2, r3);
    EXPECT_NEAR(volume, 1.0, 1e-12);
    EXPECT_NEAR(centre.x(), -0.25, 1e-12);
    EXPECT_NEAR(centre.y(), 0.5, 1e-12);
    EXPECT_NEAR(centre.z(), 0.75, 1e-12);
    const double tensor[3][3] = {{0.4875, -1.0 / 40, -3.0 / 80}, {-1.0 / 40, 0.375, 3.0 / 40}, {-3.0 / 80, 3.0 / 40, 0.1875}};
    const Point3D got[3] = {r1, r2, r3};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(got[i].component(j), tensor[i][j], 1e-12) << i << "," << j;
}

TEST(FEMeshPartAnalysisTest, PrincipalAxesOfABoxCloud)
{
    // The eight corners of a 4 x 2 x 1 box, turned and moved: variances 32/7, 8/7, 2/7 along
    // the turned axes.
    double m[16];
    rotationAboutAxis(Point3D(0, 0, 0), Point3D(1, 2, 3), m, 37.0);
    translateMatrix(m, 5, 6, 7);
    FEMeshPartC part;
    const Point3D axes[3] = {matrixAxisX(m), matrixAxisY(m), matrixAxisZ(m)};
    for (int c = 0; c < 8; ++c)
        part.findOrCreateVertex(Point3Df(transformPoint(m, Point3D(c & 1 ? 2 : -2, c & 2 ? 1 : -1, c & 4 ? 0.5 : -0.5))));
    double e[3], cx, cy, cz;
    Point3D a[3];
    ASSERT_TRUE(part.computePrincipalAxes(e[0], cx, a[0], e[1], cy, a[1], e[2], cz, a[2]));
    EXPECT_NEAR(cx, 5, 1e-5);
    EXPECT_NEAR(cy, 6, 1e-5);
    EXPECT_NEAR(cz, 7, 1e-5);
    const double variance[3] = {32.0 / 7, 8.0 / 7, 2.0 / 7};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(e[i], variance[i], 1e-5) << i;
        EXPECT_NEAR(a[i].length(), 1.0, 1e-12) << i;
        EXPECT_NEAR(std::fabs(a[i].dot(axes[i].normalized())), 1.0, 1e-6) << i;
    }

    // Fewer than two vertices: no axes, no division by zero.
    FEMeshPartC single;
    single.findOrCreateVertex(Point3Df(1, 2, 3));
    EXPECT_FALSE(single.computePrincipalAxes(e[0], cx, a[0], e[1], cy, a[1], e[2], cz, a[2]));
    EXPECT_EQ(cx, 1.0);
    EXPECT_EQ(e[0], 0.0);
    FEMeshPartC empty;
    EXPECT_FALSE(empty.computePrincipalAxes(e[0], cx, a[0], e[1], cy, a[1], e[2], cz, a[2]));

    // Another part's store in place of the part's own.
    EXPECT_TRUE(empty.computePrincipalAxes(e[0], cx, a[0], e[1], cy, a[1], e[2], cz, a[2], &part.getVertexHash()));
    EXPECT_NEAR(e[0], 32.0 / 7, 1e-5);
}

TEST(FEMeshPartAnalysisTest, GraphTextAndFaceWalks)
{
    FEMeshPartC part;
    const Point3D t[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    part.addFace(t, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part.endFace();
    RWCString graph;
    part.writeGraph(graph);
    EXPECT_EQ(graph, "digraph G {\nV0;\nV1;\nV2;\nV0->V1;\nV1->V2;\nV2->V0;\n}\n");
    RWCString none;
    part.writeGraph(none, nullptr);
    EXPECT_EQ(none, "digraph G {\n}\n");

    RWTValSlist<Point3D> positions;
    FEMeshLoopC* loop = part.getFirstFace()->getFirstLoop();
    part.loopPositions(loop, positions);
    ASSERT_EQ(positions.entries(), 3u);
    EXPECT_EQ(positions.first(), Point3D(0, 1, 0));  // the ring starts with the closing side
    EXPECT_EQ(positions.last(), Point3D(1, 0, 0));
    EXPECT_EQ(part.classifyPoint(loop, Point3D(0.2, 0.2, 0)), 0);
    EXPECT_EQ(part.classifyPoint(loop, Point3D(0.5, 0, 0)), 1);
    EXPECT_EQ(part.classifyPoint(loop, Point3D(2, 2, 0)), 2);

    part.getFirstFace()->setMark(5);
    part.clearFaceMarks();
    EXPECT_EQ(part.getFirstFace()->getMark(), 0);

    // A new face starts unmarked, also in the slot of a deleted face that had a mark.
    FEMeshFaceC* marked = part.createFace();
    part.appendFace(marked);
    marked->setMark(9);
    part.deleteFace(marked);
    EXPECT_EQ(part.createFace()->getMark(), 0);
}

TEST(FEMeshPartAnalysisTest, DeleteOpenFacesPeelsOpenSheetsOnly)
{
    FEMeshPartC part;
    meshtest::buildBox(part);
    part.finalize(-1.0);
    EXPECT_EQ(part.deleteOpenFaces(), 0);
    // A box without its top, beside the closed box: the sides go first, then the bottom.
    const double away[16] = {1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    FEMeshPartC open;
    meshtest::buildBox(open);
    open.finalize(-1.0);
    open.deleteFace(open.getFirstFace()->getNext());  // the top
    open.transform(away);
    part.copyFrom(open);
    EXPECT_EQ(part.getFaceCount(), 11u);
    EXPECT_EQ(part.deleteOpenFaces(), 5);
    EXPECT_EQ(part.getFaceCount(), 6u);
}

TEST(FEMeshPartAnalysisTest, PartGroupBoxHoldsThePlacedParts)
{
    FEMeshPartGroupC group;
    EXPECT_EQ(group.getMinPoint().x(), 1e300);
    refHandle<FEMeshPartC> a(new FEMeshPartC), b(new FEMeshPartC);
    meshtest::buildBox(a.get()[0], 1, 2, 3);
    meshtest::buildBox(b.get()[0]);
    double m16[16];
    rotationAboutAxis(Point3D(0, 0, 0), Point3D(0, 0, 1), m16, 90.0);
    translateMatrix(m16, 10, 0, 0);
    b->setPlacement(m16);
    group.addPart(a);
    group.addPart(b);
    group.addPart(refHandle<FEMeshPartC>());
    EXPECT_EQ(group.entries(), 2u);
    const Point3D lo = group.getMinPoint(), hi = group.getMaxPoint();
    EXPECT_NEAR(lo.x(), 0, 1e-12);
    EXPECT_NEAR(lo.y(), 0, 1e-12);
    EXPECT_NEAR(hi.x(), 10, 1e-12);
    EXPECT_NEAR(hi.y(), 2, 1e-12);
    EXPECT_NEAR(hi.z(), 3, 1e-12);
}

TEST(FEMeshTextParsersTest, DecimalsAndVertexLines)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {{"-12.5", -12.5}, {"3e2", 832.0}, {"1.-5", -1.5}, {" 7", 7.0}, {"0.000125", 0.000125}, {"", 0.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(parseDecimal(c.text, 0, std::strlen(c.text)), c.value) << c.text;
    // Digits far beyond 32 bits neither wrap nor overflow.
    const std::string huge(400, '9');
    const double h = parseDecimal(huge.c_str(), 0, huge.size());
    EXPECT_TRUE(std::isinf(h) || h > 1e300);
    const std::string fine = "1." + std::string(300, '5');
    EXPECT_NEAR(parseDecimal(fine.c_str(), 0, fine.size()), 1.5555555555555556, 1e-15);
    EXPECT_DOUBLE_EQ(parseDecimal("x12.5y", 1, 5), 12.5);

    double x = 9, y = 9, z = 9;
    EXPECT_TRUE(parseVertexLine("  vertex 1.5 -2 0.25", x, y, z));
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, -2.0);
    EXPECT_EQ(z, 0.25);
    for (const char* bad : {"no number", "endloop", "vertex 1 2", ""}) {
        x = y = z = 9;
        EXPECT_FALSE(parseVertexLine(bad, x, y, z)) << bad;
        EXPECT_EQ(x, 9.0) << bad;
    }
    EXPECT_FALSE(parseVertexLine(nullptr, x, y, z));
}
