// Tests of FEFaceTriangulatorC: faces with holes, concave and self-crossing faces, both modes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "geometry/display/FEFaceTriangulatorC.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "math/Geometry2D.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

const Point3D kUp(0, 0, 1);

std::vector<Point3D> xy(std::initializer_list<std::pair<double, double>> pts)
{
    std::vector<Point3D> out;
    for (const auto& p : pts)
        out.emplace_back(p.first, p.second, 0.0);
    return out;
}

FEMeshFaceC* addFace(FEMeshPartC& part, const std::vector<Point3D>& outer,
                     const std::vector<std::vector<Point3D>>& holes = {}, FEMeshFaceInfoI* info = nullptr)
{
    FEMeshFaceC* face = part.addFace(outer.data(), outer.size(), kUp, info, 15.0f, 0);
    for (const auto& hole : holes)
        part.addLoop(hole.data(), hole.size());
    part.endFace();
    return face;
}

double area(const FETessTriangleC* t)
{
    return 0.5 * crossProduct(t->getPosition(1) - t->getPosition(0), t->getPosition(2) - t->getPosition(0)).length();
}

Point3D centroid(const FETessTriangleC* t)
{
    return (t->getPosition(0) + t->getPosition(1) + t->getPosition(2)) / 3.0;
}

std::vector<FETessTriangleC*> trianglesOf(FETriangleCollectorC& c)
{
    std::vector<FETessTriangleC*> out;
    auto it = c.getTriangleIterator();
    while (++it)
        out.push_back(it.key());
    return out;
}

}  // namespace

TEST(FEFaceTriangulatorCTest, SquareWithHoleCoversExactlyTheRing)
{
    const auto outer = xy({{0, 0}, {3, 0}, {3, 3}, {0, 3}});
    const std::vector<Point3D> holes[] = {xy({{1, 1}, {1, 2}, {2, 2}, {2, 1}}), xy({{1, 1}, {2, 1}, {2, 2}, {1, 2}})};
    for (const auto& hole : holes) {  // the odd winding rule ignores the hole's orientation
        FEMeshPartC part;
        addFace(part, outer, {hole});
        FETriangleCollectorC collector(16384);
        part.triangulate(&collector);
        const auto tris = trianglesOf(collector);
        ASSERT_EQ(tris.size(), 8u);
        double sum = 0.0;
        for (const FETessTriangleC* t : tris) {
            sum += area(t);
            const Point3D c = centroid(t);
            EXPECT_FALSE(c.x() > 1 && c.x() < 2 && c.y() > 1 && c.y() < 2) << c.x() << "," << c.y();
            // Every triangle faces along the face normal.
            EXPECT_GT(crossProduct(t->getPosition(1) - t->getPosition(0), t->getPosition(2) - t->getPosition(0)).z(),
                      0.0);
        }
        EXPECT_NEAR(sum, 8.0, 1e-9);
        EXPECT_EQ(collector.getPositionHash().entries(), 8u);
    }
}

TEST(FEFaceTriangulatorCTest, ConcaveAndConvexFacesKeepTheirAreaAndFaceData)
{
    struct Case {
        std::vector<Point3D> outline;
        size_t triangles;
        double area;
    } cases[] = {
        {xy({{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {0, 2}}), 4, 4.0},  // an L
        {xy({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 2, 1.0},                  // a quadrilateral
        {xy({{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}}), 3, 10.0},         // an arrow head
    };
    for (const Case& k : cases) {
        FEMeshPartC part;
        FEMeshFaceInfoColorC* info = new FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1);
        refHandle<FEMeshFaceInfoI> hold(info);
        FEMeshFaceC* face = addFace(part, k.outline, {}, info);
        std::vector<Point2D> outline2D;
        for (const Point3D& p : k.outline)
            outline2D.emplace_back(p.x(), p.y());
        FETriangleCollectorC collector(16384);
        part.triangulate(&collector);
        const auto tris = trianglesOf(collector);
        ASSERT_EQ(tris.size(), k.triangles);
        double sum = 0.0;
        for (const FETessTriangleC* t : tris) {
            sum += area(t);
            const Point3D c = centroid(t);
            EXPECT_EQ(pointInPolygon(outline2D.data(), int(outline2D.size()), Point2D(c.x(), c.y()), nullptr, nullptr,
                                     1e-9),
                      0);
            EXPECT_EQ(t->getFaceNumber(), face->getIndex());
            EXPECT_EQ(t->getFaceInfo(), info);
        }
        EXPECT_NEAR(sum, k.area, 1e-9);
        // The corners reuse the outline's nodes.
        EXPECT_EQ(collector.getPositionHash().entries(), k.outline.size());
        EXPECT_EQ(info->referenceCount(), 2 + int(k.triangles));
        collector.clear();
        EXPECT_EQ(info->referenceCount(), 2);
    }
}

TEST(FEFaceTriangulatorCTest, CrossingContoursGetCombinedVerticesWithAveragedNormals)
{
    FEMeshPartC part;
    // A bow tie: its two edges cross at (1, 1).
    FEMeshFaceC* face = addFace(part, xy({{0, 0}, {2, 2}, {2, 0}, {0, 2}}));
    FEMeshHalfEdgeC* h = face->getFirstLoop()->getFirstHalfEdge();
    const Point3Df normals[] = {{1, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    for (const Point3Df& n : normals) {
        h->setNormal(n);
        h = h->getNext();
    }
    FETriangleCollectorC collector(16384);
    part.triangulate(&collector);
    const auto tris = trianglesOf(collector);
    ASSERT_EQ(tris.size(), 2u);
    int combined = 0;
    for (const FETessTriangleC* t : tris) {
        EXPECT_NEAR(area(t), 1.0, 1e-9);
        for (int corner = 0; corner < 3; ++corner) {
            if ((t->getPosition(corner) - Point3D(1, 1, 0)).length() < 1e-9) {
                ++combined;
                EXPECT_EQ(t->getNormal(corner), Point3D(0.25, 0, 1));
            }
        }
    }
    EXPECT_EQ(combined, 2);
}

TEST(FEFaceTriangulatorCTest, FacesAreTriangulatedInListOrderAndBadFacesYieldNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    FEMeshPartC part;
    FEMeshFaceC* a = addFace(part, xy({{0, 0}, {1, 0}, {0, 1}}));
    addFace(part, {Point3D(5, 5, 0), Point3D(nan, 6, 0), Point3D(5, 6, 0)});
    addFace(part, xy({{0, 0}, {1, 0}, {2, 0}}));  // collinear: the tessellator gives nothing
    FEMeshFaceC* d = addFace(part, xy({{10, 0}, {11, 0}, {11, 1}, {10, 1}}));
    FETriangleCollectorC collector(16384);
    EXPECT_TRUE(collector.fromFaces(part.getFirstFace()));
    const auto tris = trianglesOf(collector);
    ASSERT_EQ(tris.size(), 3u);
    EXPECT_EQ(tris[0]->getFaceNumber(), a->getIndex());
    EXPECT_EQ(tris[1]->getFaceNumber(), d->getIndex());
    EXPECT_EQ(tris[2]->getFaceNumber(), d->getIndex());
    collector.numberAll();
    EXPECT_EQ(collector.triangleIndexOfFace(d->getIndex()), 2);
    // Triangulating again replaces the earlier triangles.
    part.triangulate(&collector);
    EXPECT_EQ(collector.entries(), 3u);
}

TEST(FEFaceTriangulatorCTest, MeshModeAddsTriangleFacesToTheTarget)
{
    FEMeshPartC source;
    FEMeshFaceInfoColorC* info = new FEMeshFaceInfoColorC(0, 1, 0, 1, 0, 0.5f, 1);
    refHandle<FEMeshFaceInfoI> hold(info);
    addFace(source, xy({{0, 0}, {3, 0}, {3, 3}, {0, 3}}), {xy({{1, 1}, {1, 2}, {2, 2}, {2, 1}})}, info);
    addFace(source, xy({{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {0, 2}}));

    FEMeshPartC target;
    source.triangulateInto(&target);
    EXPECT_EQ(target.getFaceCount(), 12u);
    double sum = 0.0;
    int withInfo = 0;
    for (FEMeshFaceC* f = target.getFirstFace(); f; f = f->getNext()) {
        ASSERT_EQ(f->getFirstLoop()->getHalfEdgeCount(), 3);
        const FEMeshHalfEdgeC* h = f->getFirstLoop()->getFirstHalfEdge();
        const Point3D p0(h->getVertex()->getPosition()), p1(h->getNext()->getVertex()->getPosition()),
            p2(h->getNext()->getNext()->getVertex()->getPosition());
        sum += 0.5 * crossProduct(p1 - p0, p2 - p0).length();
        EXPECT_EQ(f->getNormal(), Point3Df(0, 0, 1));
        withInfo += f->getFaceInfo() == info;
    }
    EXPECT_NEAR(sum, 12.0, 1e-6);
    EXPECT_EQ(withInfo, 8);

    // Into the part itself: only the faces it had are cut.
    const size_t before = source.getFaceCount();
    source.triangulateInto(&source);
    EXPECT_EQ(source.getFaceCount(), before + 12u);
}

TEST(FEFaceTriangulatorCTest, CopiedTrianglesKeepTheirFaces)
{
    FEMeshPartC part;
    FEMeshFaceInfoColorC* info = new FEMeshFaceInfoColorC(0, 0, 1, 1, 240, 0.5f, 1);
    refHandle<FEMeshFaceInfoI> hold(info);
    FEMeshFaceC* a = addFace(part, xy({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), {}, info);
    FEMeshFaceC* b = addFace(part, xy({{5, 0}, {6, 0}, {5, 1}}));
    FETriangleCollectorC source(16384);
    part.triangulate(&source);
    ASSERT_EQ(source.entries(), 3u);

    // A triangulation of another part runs in between: its face must not leak into the copy.
    FEMeshPartC other;
    for (int i = 0; i < 5; ++i)
        addFace(other, xy({{0, 0}, {1, 0}, {0, 1}}));
    FETriangleCollectorC unrelated(64);
    other.triangulate(&unrelated);

    FETriangleCollectorC copy(16);
    copy.copyFrom(source);
    const auto from = trianglesOf(source);
    const auto to = trianglesOf(copy);
    ASSERT_EQ(to.size(), from.size());
    for (size_t i = 0; i < to.size(); ++i) {
        EXPECT_EQ(to[i]->getFaceNumber(), from[i]->getFaceNumber()) << i;
        EXPECT_EQ(to[i]->getFaceInfo(), from[i]->getFaceInfo()) << i;
        for (int corner = 0; corner < 3; ++corner)
            EXPECT_EQ(to[i]->getPosition(corner), from[i]->getPosition(corner));
    }
    source.numberAll();
    copy.numberAll();
    for (const FEMeshFaceC* f : {a, b})
        EXPECT_EQ(copy.triangleIndexOfFace(f->getIndex()), source.triangleIndexOfFace(f->getIndex()));
    EXPECT_EQ(info->referenceCount(), 2 + 2 + 2);  // the hold, the face, two triangles in each collector
}

TEST(FEFaceTriangulatorCTest, FanShortcutGivesWhatTheTessellatorGives)
{
    // Triangles turning either way about the face normal, a degenerate one, a zero normal,
    // faces with more corners, and a smoothed closed surface read as separate triangles.
    FEMeshPartC part;
    part.addFace(xy({{0, 0}, {1, 0}, {0, 1}}).data(), 3, kUp, nullptr, 15.0f, 0);
    part.endFace();
    part.addFace(xy({{2, 0}, {2, 1}, {3, 0}}).data(), 3, kUp, nullptr, 15.0f, 0);
    part.endFace();
    part.addFace(xy({{0, 5}, {1, 5}, {2, 5}}).data(), 3, kUp, nullptr, 15.0f, 0);
    part.endFace();
    part.addFace(xy({{4, 4}, {5, 4}, {4, 5}}).data(), 3, Point3D(0, 0, 0), nullptr, 15.0f, 0);
    part.endFace();
    addFace(part, xy({{10, 0}, {11, 0}, {11, 1}, {10, 1}}));  // convex, either way round
    addFace(part, xy({{20, 0}, {20, 1}, {21, 1}, {21, 0}}));
    addFace(part, xy({{30, 0}, {34, 0}, {34, 4}, {32, 1}, {30, 4}}));  // concave: swept
    addFace(part, xy({{40, 0}, {44, 0}, {44, 4}, {40, 4}, {42, 2}}));  // fan turns both ways
    part.addFace(xy({{50, 0}, {52, 0}, {53, 1}, {52, 2}, {50, 2}}).data(), 5, Point3D(0, 0, 0), nullptr, 15.0f, 0);
    part.endFace();
    addFace(part, xy({{60, 0}, {61, 0}, {62, 0}, {62, 1}}));  // a degenerate first turn
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 8; ++j) {
            auto at = [&](int a, int b) {
                const double u = 2 * pi * (a % 12) / 12, v = 2 * pi * (b % 8) / 8, r = 5 + 2 * std::cos(v);
                return Point3D(r * std::cos(u), r * std::sin(u), 2 * std::sin(v));
            };
            part.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            part.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    part.smoothNormals();

    FETriangleCollectorC direct(16384), tessellated(16384);
    part.triangulate(&direct);
    FEFaceTriangulatorC::setFanShortcut(false);
    part.triangulate(&tessellated);
    FEFaceTriangulatorC::setFanShortcut(true);
    const auto a = trianglesOf(direct), b = trianglesOf(tessellated);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_GE(a.size(), 1u + 1u + 1u + 2u + 2u + 3u + 3u + 3u + 1u + 192u);  // the degenerate face gives nothing
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->getFaceNumber(), b[i]->getFaceNumber()) << i;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(a[i]->getPosition(k), b[i]->getPosition(k)) << i << " corner " << k;
            EXPECT_EQ(a[i]->getNormal(k), b[i]->getNormal(k)) << i << " corner " << k;
        }
    }
}
