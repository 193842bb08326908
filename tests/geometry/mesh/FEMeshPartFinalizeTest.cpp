// Tests of finalizing a mesh part and of its smooth corner normals: merging, holes, islands, hostile input.
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/mesh/FEMeshPartC.h"
#include "tests/geometry/mesh/MeshTestShapes.h"
#include "tests/support/ScopedEnv.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

FEMeshFaceC* polygon(FEMeshPartC& part, const std::vector<Point3D>& pts, const Point3D& normal, int group = 0)
{
    FEMeshFaceC* f = part.addFace(pts.data(), pts.size(), normal, nullptr, 15.0f, group);
    part.endFace();
    return f;
}

void quad(FEMeshPartC& part, const Point3D& a, const Point3D& b, const Point3D& c, const Point3D& d)
{
    part.addTriangle(a, b, c);
    part.addTriangle(a, c, d);
}

void cube(FEMeshPartC& part)
{
    const Point3D p[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    quad(part, p[0], p[3], p[2], p[1]);  // bottom, outward -z
    quad(part, p[4], p[5], p[6], p[7]);  // top
    quad(part, p[0], p[1], p[5], p[4]);  // front -y
    quad(part, p[1], p[2], p[6], p[5]);  // right +x
    quad(part, p[2], p[3], p[7], p[6]);  // back +y
    quad(part, p[3], p[0], p[4], p[7]);  // left -x
}

template <class F>
void forEachHalfEdge(const FEMeshPartC& part, F f)
{
    for (FEMeshFaceC* face = part.getFirstFace(); face; face = face->getNext())
        for (FEMeshLoopC* l = face->getFirstLoop(); l; l = l->getNext()) {
            FEMeshHalfEdgeC* h = l->getFirstHalfEdge();
            if (!h)
                continue;
            do {
                f(face, l, h);
                h = h->getNext();
            } while (h != l->getFirstHalfEdge());
        }
}

// The invariants a finalized mesh keeps; counts every violation.
int invariantViolations(FEMeshPartC& part)
{
    int bad = 0;
    std::set<const FEMeshEdgeC*> edges;
    size_t edgeCount = 0;
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        edges.insert(e);
        ++edgeCount;
        if (!e->getFirstHalfEdge() && !e->getSecondHalfEdge())
            ++bad;
        bad += e->getIncidentLinkCount() != 0;  // every incident list is empty
        if (e->getNext() && e->getNext()->getPrevious() != e)
            ++bad;
    }
    bad += edgeCount != part.getEdgeCount();
    std::set<const FEMeshVertexC*> vertices;
    for (FEMeshVertexC* v = part.getVertexHash().first(); v; v = part.getVertexHash().next()) {
        vertices.insert(v);
        bad += v->getIncidentEdgeCount() != 0;
        bad += v->getOutgoingHalfEdge() && v->getOutgoingHalfEdge()->getVertex() != v;
    }
    size_t faces = 0;
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        ++faces;
        if (!f->getFirstLoop())
            ++bad;
    }
    bad += faces != part.getFaceCount();
    bad += meshtest::loopChainFaults(part);
    forEachHalfEdge(part, [&](FEMeshFaceC*, FEMeshLoopC* l, FEMeshHalfEdgeC* h) {
        bad += h->getLoop() != l;
        bad += h->getNext()->getPrevious() != h;
        bad += !edges.count(h->getEdge());
        if (edges.count(h->getEdge()))
            bad += h->getEdge()->getFirstHalfEdge() != h && h->getEdge()->getSecondHalfEdge() != h;
        bad += !vertices.count(h->getVertex());
    });
    return bad;
}

Point3D dir(const Point3Df& p) { return Point3D(p).normalized(); }

}  // namespace

TEST(FEMeshFinalize, CubeOfTwelveTrianglesBecomesSixSharpSquares)
{
    FEMeshPartC part;
    cube(part);
    EXPECT_EQ(part.getFaceCount(), 12u);
    EXPECT_EQ(part.getEdgeCount(), 18u);
    part.finalize(-1.0);
    EXPECT_EQ(part.getFaceCount(), 6u);
    EXPECT_EQ(part.getEdgeCount(), 12u);
    EXPECT_EQ(part.getVertexCount(), 8u);
    EXPECT_EQ(invariantViolations(part), 0);
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        EXPECT_EQ(f->getLoopCount(), 1);
        EXPECT_EQ(f->getFirstLoop()->getHalfEdgeCount(), 4);
    }
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        EXPECT_FALSE(e->isSmooth());
        EXPECT_NE(e->getSecondHalfEdge(), nullptr);
    }
    EXPECT_EQ(part.getEdgeCursor(), nullptr);
    part.smoothNormals();
    forEachHalfEdge(part, [&](FEMeshFaceC* f, FEMeshLoopC*, FEMeshHalfEdgeC* h) { EXPECT_EQ(h->getNormal(), f->getNormal()); });
}

TEST(FEMeshFinalize, CoplanarPairBecomesAQuadAndToleranceIsKeptOrSet)
{
    FEMeshPartC part;
    quad(part, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
    part.finalize(-1.0);
    EXPECT_EQ(part.getTolerance(), 1e-5);
    EXPECT_EQ(part.getFaceCount(), 1u);
    EXPECT_EQ(part.getEdgeCount(), 4u);
    EXPECT_EQ(part.getVertexCount(), 4u);  // the diagonal's ends stay
    EXPECT_EQ(part.getFirstFace()->getFirstLoop()->getHalfEdgeCount(), 4);
    EXPECT_EQ(invariantViolations(part), 0);
    part.finalize(0.0001);
    EXPECT_EQ(part.getTolerance(), 0.0001);
    EXPECT_EQ(part.getVertexHash().getTolerance(), 1e-5);

    // Different groups are not merged unless asked.
    FEMeshPartC groups;
    polygon(groups, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {0, 0, 1}, 1);
    polygon(groups, {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 1}, 2);
    groups.finalize(-1.0);
    EXPECT_EQ(groups.getFaceCount(), 2u);
    groups.setMergeAcrossGroups(true);
    groups.finalize(-1.0);
    EXPECT_EQ(groups.getFaceCount(), 1u);
}

TEST(FEMeshFinalize, PlateWithARoundHoleKeepsTheHoleAsSecondLoop)
{
    // An annulus triangulated between an outer square and an inner 24-gon, all coplanar.
    FEMeshPartC part;
    const int n = 24;
    std::vector<Point3D> inner, outer;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * kPi * i / n;
        inner.push_back(Point3D(std::cos(a), std::sin(a), 0));
        const double s = 3.0 / std::max(std::fabs(std::cos(a)), std::fabs(std::sin(a)));
        outer.push_back(Point3D(s * std::cos(a), s * std::sin(a), 0));
    }
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        part.addTriangle(outer[i], outer[j], inner[j]);
        part.addTriangle(outer[i], inner[j], inner[i]);
    }
    part.finalize(-1.0);
    EXPECT_EQ(invariantViolations(part), 0);
    ASSERT_EQ(part.getFaceCount(), 1u);
    FEMeshFaceC* f = part.getFirstFace();
    ASSERT_EQ(f->getLoopCount(), 2);
    // The outer boundary first: the hole lies inside it, not the other way round.
    const Point3Df n0 = f->getNormal();
    FEMeshLoopC* first = f->getFirstLoop();
    FEMeshLoopC* second = first->getNext();
    EXPECT_EQ(part.pointInLoop(n0.x(), n0.y(), n0.z(), first, Point3Df(0, 0, 0)), 0);
    EXPECT_EQ(part.pointInLoop(n0.x(), n0.y(), n0.z(), second, Point3Df(0, 0, 0)), 0);
    EXPECT_EQ(part.pointInLoop(n0.x(), n0.y(), n0.z(), second, Point3Df(2, 0, 0)), 2);
    EXPECT_EQ(part.pointInLoop(n0.x(), n0.y(), n0.z(), first, Point3Df(2, 0, 0)), 0);
    const Point3Df onEdge(float((1 + std::cos(kPi / 12)) / 2), float(std::sin(kPi / 12) / 2), 0);
    EXPECT_EQ(part.pointInLoop(n0.x(), n0.y(), n0.z(), second, onEdge), 1);
    EXPECT_EQ(part.pointInLoop(n0.x(), n0.y(), n0.z(), nullptr, onEdge), 2);
}

TEST(FEMeshFinalize, IslandInsideAHoleBecomesAFaceOfItsOwn)
{
    FEMeshPartC part;
    const Point3D outer[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const Point3D island[] = {{4, 4, 0}, {6, 4, 0}, {6, 6, 0}, {4, 6, 0}};
    const Point3D hole[] = {{2, 2, 0}, {2, 8, 0}, {8, 8, 0}, {8, 2, 0}};
    FEMeshFaceC* f = part.addFace(outer, 4, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part.addLoop(island, 4);  // given before the hole that holds it
    part.addLoop(hole, 4);
    part.endFace();
    part.finalize(-1.0);
    EXPECT_EQ(invariantViolations(part), 0);
    ASSERT_EQ(part.getFaceCount(), 2u);
    EXPECT_EQ(part.getFirstFace(), f);
    EXPECT_EQ(f->getLoopCount(), 2);
    EXPECT_EQ(f->getFirstLoop()->getFirstHalfEdge()->getVertex()->getPosition(), Point3Df(0, 10, 0));
    EXPECT_EQ(f->getLastLoop()->getFirstHalfEdge()->getVertex()->getPosition(), Point3Df(8, 2, 0));
    FEMeshFaceC* second = f->getNext();
    EXPECT_EQ(second->getLoopCount(), 1);
    EXPECT_EQ(second->getIndex(), 0);
    EXPECT_EQ(second->getNormal(), f->getNormal());
    EXPECT_EQ(second->getFirstLoop()->getFirstHalfEdge()->getVertex()->getPosition(), Point3Df(4, 6, 0));
}

TEST(FEMeshFinalize, PlateWithHundredsOfHolesKeepsEveryHoleInItsOneFace)
{
    // A grid of unit squares with every other square of every other row left out: the merge
    // grows one face around hundreds of holes, giving up and taking over loops deep in its
    // chain, and the loop separation sorts hundreds of loops.
    FEMeshPartC part;
    const int n = 41;  // the holes at odd rows and columns stay clear of the border
    int holes = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (i % 2 == 1 && j % 2 == 1) {
                ++holes;
                continue;
            }
            quad(part, {double(i), double(j), 0}, {i + 1.0, double(j), 0}, {i + 1.0, j + 1.0, 0},
                 {double(i), j + 1.0, 0});
        }
    part.finalize(-1.0);
    EXPECT_EQ(invariantViolations(part), 0);
    ASSERT_EQ(part.getFaceCount(), 1u);
    FEMeshFaceC* f = part.getFirstFace();
    EXPECT_EQ(f->getLoopCount(), 1 + holes);
    // The outer boundary leads: every hole's corners lie inside it.
    const Point3Df normal = f->getNormal();
    for (FEMeshLoopC* l = f->getFirstLoop()->getNext(); l; l = l->getNext()) {
        const Point3Df corner = l->getFirstHalfEdge()->getVertex()->getPosition();
        ASSERT_EQ(part.pointInLoop(normal.x(), normal.y(), normal.z(), f->getFirstLoop(), corner), 0);
    }
}

TEST(FEMeshFinalize, ALongerRingTakingAHoledFacesOuterPlaceLeadsItsHoles)
{
    // A square with a hole, and beside it a ring of many corners sharing its right side: joined
    // across that side, the longer ring's loop takes the square's outer loop's place, in front
    // of the hole.
    FEMeshPartC part;
    const Point3D square[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const Point3D hole[] = {{4, 4, 0}, {4, 6, 0}, {6, 6, 0}, {6, 4, 0}};
    FEMeshFaceC* holed = part.addFace(square, 4, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part.addLoop(hole, 4);
    part.endFace();
    std::vector<Point3D> ring = {{10, 10, 0}, {10, 0, 0}};
    for (int k = 0; k <= 10; ++k)
        ring.push_back(Point3D(12 + std::sin(kPi * k / 10), k, 0));
    FEMeshFaceC* beside = part.addFace(ring.data(), ring.size(), Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part.endFace();
    FEMeshHalfEdgeC* a = beside->getFirstLoop()->getFirstHalfEdge();
    while (a->getVertex()->getPosition() != Point3Df(10, 10, 0))
        a = a->getNext();
    ASSERT_NE(a->getPartner(), nullptr);
    ASSERT_TRUE(part.joinAcrossEdge(a, a->getPartner()));
    ASSERT_EQ(part.getFaceCount(), 1u);
    EXPECT_EQ(part.getFirstFace(), holed);
    ASSERT_EQ(holed->getLoopCount(), 2);
    EXPECT_EQ(holed->getLastLoop()->getPrevious(), holed->getFirstLoop());
}

TEST(FEMeshFinalize, StraightVertexOnAFoldDisappears)
{
    // An L of two planes, each made of two squares: the middle of the fold line is straight.
    FEMeshPartC part;
    quad(part, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
    quad(part, {0, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0});
    quad(part, {0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1});
    quad(part, {0, 1, 0}, {0, 2, 0}, {0, 2, 1}, {0, 1, 1});
    part.finalize(-1.0);
    EXPECT_EQ(invariantViolations(part), 0);
    EXPECT_EQ(part.getFaceCount(), 2u);
    // (0,1,0) is gone and the fold is one edge; (1,1,0) and (0,1,1) lie on borders and stay.
    EXPECT_EQ(part.getVertexCount(), 8u);
    EXPECT_EQ(part.getEdgeCount(), 9u);
    for (FEMeshVertexC* v = part.getVertexHash().first(); v; v = part.getVertexHash().next())
        EXPECT_FALSE(v->getPosition() == Point3Df(0, 1, 0));
}

TEST(FEMeshFinalize, CylinderSideIsSmoothAndCapsAreFlatAndSharp)
{
    FEMeshPartC part;
    const int n = 32;
    auto rim = [&](int i, double z) {
        const double a = 2 * kPi * (i % n) / n;
        return Point3D(std::cos(a), std::sin(a), z);
    };
    for (int i = 0; i < n; ++i) {
        part.addTriangle(Point3D(0, 0, 1), rim(i, 1), rim(i + 1, 1));
        part.addTriangle(Point3D(0, 0, 0), rim(i + 1, 0), rim(i, 0));
        quad(part, rim(i, 0), rim(i + 1, 0), rim(i + 1, 1), rim(i, 1));
    }
    part.finalize(-1.0);
    part.smoothNormals();
    EXPECT_EQ(invariantViolations(part), 0);
    EXPECT_EQ(part.getFaceCount(), size_t(n + 2));
    int caps = 0;
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        const bool cap = std::fabs(f->getNormal().z()) > 0.5;
        caps += cap;
        FEMeshHalfEdgeC* first = f->getFirstLoop()->getFirstHalfEdge();
        FEMeshHalfEdgeC* h = first;
        do {
            const Point3Df p = h->getVertex()->getPosition();
            if (cap) {
                EXPECT_EQ(h->getNormal(), f->getNormal());  // flat, bounded by sharp rims
                EXPECT_FALSE(h->getEdge()->isSmooth());
            } else {
                // the mean of the two side faces at this corner: radial
                const Point3D d = dir(h->getNormal());
                EXPECT_NEAR(d.x(), p.x(), 1e-5);
                EXPECT_NEAR(d.y(), p.y(), 1e-5);
                EXPECT_NEAR(d.z(), 0.0, 1e-6);
            }
            h = h->getNext();
        } while (h != first);
    }
    EXPECT_EQ(caps, 2);
}

TEST(FEMeshFinalize, SmoothTorusNormalsFollowTheSurface)
{
    FEMeshPartC part;
    const int rings = 48, segments = 24;
    auto point = [&](int i, int j) {
        const double u = 2 * kPi * (i % rings) / rings, v = 2 * kPi * (j % segments) / segments;
        return Point3D((5 + 2 * std::cos(v)) * std::cos(u), (5 + 2 * std::cos(v)) * std::sin(u), 2 * std::sin(v));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j)
            quad(part, point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1));
    part.finalize(-1.0);
    part.smoothNormals();
    EXPECT_EQ(invariantViolations(part), 0);
    std::vector<Point3Df> first;
    double worst = 1.0;
    forEachHalfEdge(part, [&](FEMeshFaceC*, FEMeshLoopC*, FEMeshHalfEdgeC* h) {
        const Point3D p(h->getVertex()->getPosition());
        const double u = std::atan2(p.y(), p.x());
        const Point3D centre(5 * std::cos(u), 5 * std::sin(u), 0);
        const Point3D analytic = (p - centre).normalized();
        worst = std::min(worst, dotProduct(dir(h->getNormal()), analytic));
        EXPECT_LT(Point3D(h->getNormal()).length(), 1.0);
        first.push_back(h->getNormal());
    });
    EXPECT_GT(worst, std::cos(2.0 * kPi / 180.0));
    // A second run gives the same normals.
    part.smoothNormals();
    size_t k = 0, same = 0;
    forEachHalfEdge(part, [&](FEMeshFaceC*, FEMeshLoopC*, FEMeshHalfEdgeC* h) { same += h->getNormal() == first[k++]; });
    EXPECT_EQ(same, first.size());
}

TEST(FEMeshFinalize, IsolatedTriangleAndBorderCornersKeepTheirFaceNormal)
{
    FEMeshPartC part;
    part.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    part.smoothNormals();
    forEachHalfEdge(part, [&](FEMeshFaceC* f, FEMeshLoopC*, FEMeshHalfEdgeC* h) { EXPECT_EQ(h->getNormal(), f->getNormal()); });

    // Two faces 30 degrees apart: the corners on the shared edge get the mean.
    FEMeshPartC hinge;
    const double a = 30 * kPi / 180;
    hinge.addTriangle({0, 0, 0}, {1, 0, 0}, {0.5, 1, 0});
    hinge.addTriangle({1, 0, 0}, {0, 0, 0}, {0.5, -std::cos(a), std::sin(a)});
    hinge.smoothNormals();
    forEachHalfEdge(hinge, [&](FEMeshFaceC* f, FEMeshLoopC*, FEMeshHalfEdgeC* h) {
        const Point3Df p = h->getVertex()->getPosition();
        if (p.y() == 0.0f) {
            EXPECT_NEAR(h->getNormal().y(), 0.5 * std::sin(a), 1e-6);
            EXPECT_NEAR(h->getNormal().z(), 0.5 * (1 + std::cos(a)), 1e-6);
        } else {
            EXPECT_EQ(h->getNormal(), f->getNormal());
        }
    });
}

// Inputs that real files contain; the sanitizer build checks that nothing reads freed records.
TEST(FEMeshFinalize, HostileInputsFinalizeSafely)
{
    struct Case {
        const char* name;
        void (*build)(FEMeshPartC&);
    } cases[] = {
        {"duplicate triangles",
         [](FEMeshPartC& p) {
             quad(p, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
             quad(p, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
             p.addTriangle({0, 0, 0}, {1, 1, 0}, {1, 0, 0});  // reversed
         }},
        {"zero-area slivers",
         [](FEMeshPartC& p) {
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {2, 0, 0});
             p.addTriangle({0, 0, 0}, {2, 0, 0}, {1, 1, 0});
             p.addTriangle({2, 0, 0}, {1, 0, 0}, {0, 0, 0});
         }},
        {"corners merging into one point",
         [](FEMeshPartC& p) {
             p.addTriangle({0, 0, 0}, {0.000001, 0, 0}, {0, 0.000001, 0});
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
             p.addTriangle({5, 5, 5}, {5, 5, 5}, {5, 5, 5});
         }},
        {"three faces on one edge",
         [](FEMeshPartC& p) {
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {0.5, 1, 0});
             p.addTriangle({1, 0, 0}, {0, 0, 0}, {0.5, -1, 0});
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {0.5, -1, 0.0});
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {0.5, 0, 1});
         }},
        {"fan from one vertex",
         [](FEMeshPartC& p) {
             for (int i = 0; i < 200; ++i) {
                 const double a = 2 * kPi * i / 200, b = 2 * kPi * (i + 1) / 200;
                 p.addTriangle({0, 0, 0}, {std::cos(a), std::sin(a), 0}, {std::cos(b), std::sin(b), 0});
             }
             for (int i = 0; i < 50; ++i)  // and a bent half-fan on the same centre
                 p.addTriangle({0, 0, 0}, {0, std::cos(i * 0.03), 1}, {0, std::cos((i + 1) * 0.03), 1});
         }},
        {"coordinates that are not numbers",
         [](FEMeshPartC& p) {
             const double nan = std::nan(""), inf = HUGE_VAL;
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
             p.addTriangle({nan, 0, 0}, {1, 0, 0}, {0, 1, 0});
             p.addTriangle({0, inf, 0}, {1, -inf, 0}, {0, 1, nan});
             p.addTriangle({1e39, 0, 0}, {0, 1e39, 0}, {0, 0, 1e39});  // beyond single precision
             p.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
         }},
        {"random soup",
         [](FEMeshPartC& p) {
             std::mt19937 rng(7);
             std::uniform_int_distribution<int> c(0, 3);
             for (int i = 0; i < 3000; ++i)
                 p.addTriangle(Point3D(c(rng), c(rng), 0), Point3D(c(rng), c(rng), 0), Point3D(c(rng), c(rng), c(rng) / 3));
         }},
    };
    for (const Case& c : cases) {
        FEMeshPartC part;
        c.build(part);
        part.finalize(-1.0);
        part.smoothNormals();
        EXPECT_EQ(invariantViolations(part), 0) << c.name;
        part.finalize(-1.0);  // a second run finds the mesh as the first left it
        part.smoothNormals();
        EXPECT_EQ(invariantViolations(part), 0) << c.name;
    }
}

TEST(FEMeshFinalize, RandomSoupsKeepTheInvariants)
{
    for (unsigned seed = 1; seed <= 30; ++seed) {
        std::mt19937 rng(seed);
        const int span = 2 + int(seed % 3);
        std::uniform_int_distribution<int> c(0, span);
        FEMeshPartC part;
        const int triangles = 200 + int(rng() % 400);
        for (int i = 0; i < triangles; ++i) {
            // Mostly flat, so that many faces are coplanar and merge; some folded.
            const double z = rng() % 5 == 0 ? c(rng) : 0;
            part.addTriangle(Point3D(c(rng), c(rng), 0), Point3D(c(rng), c(rng), 0), Point3D(c(rng), c(rng), z));
        }
        if (seed % 2)
            part.setMergeAcrossGroups(true);
        part.finalize(seed % 3 == 0 ? 0.001 : -1.0);
        part.smoothNormals();
        EXPECT_EQ(invariantViolations(part), 0) << "seed " << seed;
    }
}

// Finalize gives back the room of the incident lists, moves the records of a mesh that merged
// much into fresh slots, and the freed slots are taken again by faces added later: those must
// pair with each other as in a part of their own, and the moved records keep every link.
TEST(FEMeshFinalize, FacesAddedAfterFinalizePairAsInAFreshPart)
{
    auto borders = [](const FEMeshPartC& part) {
        size_t n = 0;
        for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext())
            n += !e->getSecondHalfEdge();
        return n;
    };
    // A flat plate merges into one face: most of its records are deleted, the rest move.
    auto plate = [](FEMeshPartC& part) {
        for (int i = 0; i < 150; ++i)
            for (int j = 0; j < 150; ++j)
                quad(part, Point3D(i, j, -30), Point3D(i + 1, j, -30), Point3D(i + 1, j + 1, -30), Point3D(i, j + 1, -30));
    };
    FEMeshPartC plateAlone, torusAlone;
    plate(plateAlone);
    plateAlone.finalize(-1.0);
    meshtest::buildTorus(torusAlone, 160, 80, 10.0, 4.0);
    torusAlone.finalize(-1.0);
    FEMeshPartC part;
    plate(part);
    // The face the others merge into, selected: the selection follows it to its new place.
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
        if (f->getIndex() == plateAlone.getFirstFace()->getIndex()) {
            part.setSelectedFace(f);
            f->setMark(7);
        }
    part.setHighlightedFace(part.getLastFace());  // merges away: nothing is highlighted after
    // The position index of building goes before the merges, and no step after searches
    // positions (a search would build it again, all its memory with it).
    EXPECT_TRUE(part.getVertexHash().hasIndex());
    part.finalize(-1.0);
    EXPECT_FALSE(part.getVertexHash().hasIndex());
    EXPECT_EQ(invariantViolations(part), 0);
    EXPECT_EQ(part.getFaceCount(), 1u);
    EXPECT_EQ(part.getSelectedFace(), part.getFirstFace());
    EXPECT_EQ(part.getFirstFace()->getMark(), 7);
    EXPECT_EQ(part.getHighlightedFace(), nullptr);
    meshtest::buildTorus(part, 400, 200);  // large enough for whole pages of incident links
    part.finalize(-1.0);
    const size_t edges = part.getEdgeCount(), faces = part.getFaceCount();
    meshtest::buildTorus(part, 160, 80, 10.0, 4.0);  // inside the first one's hole
    EXPECT_TRUE(part.getVertexHash().hasIndex());
    part.finalize(-1.0);
    EXPECT_FALSE(part.getVertexHash().hasIndex());
    part.smoothNormals();
    EXPECT_EQ(invariantViolations(part), 0);
    EXPECT_EQ(borders(part), borders(plateAlone));
    EXPECT_EQ(part.getEdgeCount(), edges + torusAlone.getEdgeCount());
    EXPECT_EQ(part.getFaceCount(), faces + torusAlone.getFaceCount());
}

// Records are moved only when every one of them is met walking the lists: a face made but never
// put in the list (a caller's own) keeps its slot, and the slot its contents.
TEST(FEMeshFinalize, RecordsOutsideTheListsKeepTheMeshFromMoving)
{
    FEMeshPartC part;
    for (int i = 0; i < 150; ++i)
        for (int j = 0; j < 150; ++j)
            quad(part, Point3D(i, j, 0), Point3D(i + 1, j, 0), Point3D(i + 1, j + 1, 0), Point3D(i, j + 1, 0));
    FEMeshFaceC* stray = part.createFace();
    stray->setGroupId(4321);
    stray->setNormal(Point3Df(0.25f, 0.5f, 0.75f));
    part.finalize(-1.0);
    ASSERT_NE(part.getFirstFace(), nullptr);
    EXPECT_EQ(part.getFirstFace(), part.getLastFace());  // the plate merged into one face
    EXPECT_EQ(stray->getGroupId(), 4321);
    EXPECT_EQ(stray->getNormal().y(), 0.5f);
}

// The same on threads, with faces enough for the rings to be walked in several pieces: a loop or
// a half-edge outside the lists keeps every face in its slot; without one, the faces move.
TEST(FEMeshFinalize, RecordsOutsideTheListsOfAMeshCutInPiecesKeepItFromMoving)
{
    ScopedEnv threads("TAVOPLEX_THREADS", "8");
    enum { kLoop, kHalfEdge, kNone };
    for (int stray : {kLoop, kHalfEdge, kNone}) {
        SCOPED_TRACE(stray);
        FEMeshPartC part;
        // Squares apart, of four triangles each: they merge into one face each, which frees
        // most of the records.
        for (int i = 0; i < 200; ++i)
            for (int j = 0; j < 200; ++j) {
                const Point3D a(2 * i, 2 * j, 0), b(2 * i + 1, 2 * j, 0), c(2 * i + 1, 2 * j + 1, 0),
                    d(2 * i, 2 * j + 1, 0), m(2 * i + 0.5, 2 * j + 0.5, 0);
                for (const auto& [p, q] : {std::pair{a, b}, {b, c}, {c, d}, {d, a}})
                    part.addTriangle(p, q, m);
            }
        if (stray == kLoop)
            part.createLoop();
        else if (stray == kHalfEdge)
            part.createHalfEdge();
        std::set<const FEMeshFaceC*> slots;
        for (const FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
            slots.insert(f);
        part.finalize(-1.0);
        ASSERT_EQ(part.getFaceCount(), 40000u);
        size_t kept = 0;
        for (const FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
            kept += slots.count(f);
        EXPECT_EQ(kept, stray == kNone ? 0u : 40000u);
    }
}

TEST(FEMeshFinalize, ListOperationsKeepListsAndCursorsConsistent)
{
    FEMeshPartC part;
    part.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    part.addTriangle({5, 0, 0}, {6, 0, 0}, {5, 1, 0});
    FEMeshEdgeC* e1 = part.getFirstEdge();
    FEMeshEdgeC* e2 = e1->getNext();
    FEMeshEdgeC* e3 = e2->getNext();
    // Removing the edge a cursor stands on moves the cursor to the edge's next.
    part.setEdgeCursors(e2, e2);
    part.removeEdge(e2);
    EXPECT_EQ(part.getEdgeCursor(), e3);
    EXPECT_EQ(part.getNextEdgeCursor(), e3);
    EXPECT_EQ(e1->getNext(), e3);
    EXPECT_EQ(e3->getPrevious(), e1);
    part.appendEdge(e2);  // back, at the tail
    EXPECT_EQ(part.getLastEdge(), e2);
    part.setEdgeCursors(nullptr, nullptr);

    // A face inserted before the first one becomes the first.
    FEMeshFaceC* first = part.getFirstFace();
    FEMeshFaceC* extra = part.createFace();
    part.insertFaceBefore(extra, first);
    EXPECT_EQ(part.getFirstFace(), extra);
    EXPECT_EQ(first->getPrevious(), extra);
    part.deleteFace(extra);  // a face without loops
    EXPECT_EQ(part.getFirstFace(), first);

    // Deleting a face takes its loops, half-edges and now bare edges.
    part.deleteFace(first);
    EXPECT_EQ(part.getFaceCount(), 1u);
    EXPECT_EQ(part.getEdgeCount(), 3u);
    part.finalize(-1.0);
    EXPECT_EQ(invariantViolations(part), 0);
}

TEST(FEMeshFinalize, NeighboursRunningTheSameWayAreNotMerged)
{
    // Both faces run (0,0,0) -> (1,0,0): inconsistent orientation, same plane.
    FEMeshPartC part;
    polygon(part, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0, 1});
    polygon(part, {{0, 0, 0}, {1, 0, 0}, {1, -1, 0}}, {0, 0, 1});
    FEMeshEdgeC* shared = part.getFirstEdge()->getNext();
    ASSERT_NE(shared->getSecondHalfEdge(), nullptr);
    part.finalize(-1.0);
    EXPECT_EQ(part.getFaceCount(), 2u);
    EXPECT_EQ(invariantViolations(part), 0);
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
        EXPECT_EQ(f->getFirstLoop()->getHalfEdgeCount(), 3);
}

TEST(FEMeshFinalize, StraightVerticesInARowAllDisappear)
{
    // Two faces at an angle share a side cut into three by (1,0,0) and (2,0,0). Removing one of
    // them hands its kept edge to the other, which must then be straight too.
    //
    // With hand-made lists, the edge that removing (1,0,0) drops is first taken out of its far
    // end's list and, when that end is not (2,0,0), put into the list of (2,0,0). Then only
    // (1,0,0) has two edges at first; the removal itself gives (2,0,0) its two (the kept edge,
    // or the foreign edge gone), so the walk must look at (2,0,0) again with its list as the
    // removal left it.
    const std::vector<Point3D> flat = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {3, 1, 0}, {0, 1, 0}};
    const std::vector<Point3D> tilted = {{3, 0, 0}, {2, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, -1, 1}, {3, -1, 1}};
    for (int row = 0; row < 4; ++row) {
        const bool flatFirst = row % 2 == 0, handMade = row >= 2;
        SCOPED_TRACE(flatFirst ? "flat face first" : "tilted face first");
        SCOPED_TRACE(handMade ? "hand-made list" : "lists as built");
        FEMeshPartC part;
        const Point3D up(0, 0, 1), slope(0, std::sqrt(0.5), std::sqrt(0.5));
        if (flatFirst) {
            polygon(part, flat, up);
            polygon(part, tilted, slope);
        } else {
            polygon(part, tilted, slope);
            polygon(part, flat, up);
        }
        ASSERT_EQ(part.getEdgeCount(), 9u);
        if (handMade) {
            FEMeshVertexC* v = part.getVertexHash().find(Point3Df(1, 0, 0));
            FEMeshVertexC* m = part.getVertexHash().find(Point3Df(2, 0, 0));
            ASSERT_TRUE(v && m && v->getOutgoingHalfEdge());
            FEMeshEdgeC* dropped = v->getOutgoingHalfEdge()->getEdge();
            FEMeshVertexC* far = v->getOutgoingHalfEdge()->getNext()->getVertex();
            ASSERT_TRUE(part.removeIncidentEdge(far, dropped));
            if (far != m)
                part.appendIncidentEdge(m, dropped);
            ASSERT_NE(m->getIncidentEdgeCount(), 2u);
        }
        part.finalize(-1.0);
        EXPECT_EQ(invariantViolations(part), 0);
        EXPECT_EQ(part.getFaceCount(), 2u);
        EXPECT_EQ(part.getVertexCount(), 6u);
        EXPECT_EQ(part.getEdgeCount(), 7u);
        for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
            EXPECT_EQ(f->getFirstLoop()->getHalfEdgeCount(), 4);
        FEMeshEdgeC* fold = nullptr;
        for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext())
            if (e->getSecondHalfEdge())
                fold = e;
        ASSERT_NE(fold, nullptr);
        EXPECT_EQ(std::fabs(fold->getEndPoint().x() - fold->getStartPoint().x()), 3.0f);
    }
}

TEST(FEMeshFinalize, CoplanarFanLosesItsSpikeAndItsCentre)
{
    // Six coplanar triangles around a centre: merging leaves the last inner edge as a spike to
    // the centre, which goes, and the centre is purged.
    FEMeshPartC part;
    const int n = 6;
    auto rim = [&](int i) { return Point3D(std::cos(2 * kPi * i / n), std::sin(2 * kPi * i / n), 0); };
    for (int i = 0; i < n; ++i)
        part.addTriangle({0, 0, 0}, rim(i), rim(i + 1));
    EXPECT_EQ(part.getEdgeCount(), 12u);
    part.finalize(-1.0);
    EXPECT_EQ(invariantViolations(part), 0);
    ASSERT_EQ(part.getFaceCount(), 1u);
    EXPECT_EQ(part.getEdgeCount(), size_t(n));
    EXPECT_EQ(part.getVertexCount(), size_t(n));
    FEMeshFaceC* f = part.getFirstFace();
    EXPECT_EQ(f->getLoopCount(), 1);
    EXPECT_EQ(f->getFirstLoop()->getHalfEdgeCount(), n);
    for (FEMeshVertexC* v = part.getVertexHash().first(); v; v = part.getVertexHash().next())
        EXPECT_FALSE(v->getPosition() == Point3Df(0, 0, 0));
    // The ring runs around the rim counter-clockwise, as the triangles did.
    FEMeshHalfEdgeC* h = f->getFirstLoop()->getFirstHalfEdge();
    for (int k = 0; k < n; ++k, h = h->getNext()) {
        const Point3Df a = h->getVertex()->getPosition(), b = h->getNext()->getVertex()->getPosition();
        EXPECT_GT(double(a.x()) * b.y() - double(a.y()) * b.x(), 0.0);
    }
}

namespace {

// The corner normal exactly as the fan rule states it, evaluated corner by corner.
Point3Df referenceCornerNormal(FEMeshHalfEdgeC* c)
{
    auto smooth = [](FEMeshHalfEdgeC* h) { return h->getEdge() && h->getEdge()->isSmooth(); };
    FEMeshHalfEdgeC* w = c;
    for (;;) {
        FEMeshHalfEdgeC* p = w->getPrevious();
        if (!smooth(p) || !p->getPartner() || p->getPartner() == c)
            break;
        w = p->getPartner();
    }
    FEMeshHalfEdgeC* const s = w;
    double x = 0, y = 0, z = 0;
    int count = 0;
    bool go = true;
    do {
        const Point3Df n = w->getFace()->getNormal();
        x += n.x();
        y += n.y();
        z += n.z();
        ++count;
        if (!smooth(w))
            go = false;
        if (w->getPartner())
            w = w->getPartner()->getNext();
        else
            go = false;
    } while (w != s && go);
    return Point3Df(float(x / count), float(y / count), float(z / count));
}

}  // namespace

TEST(FEMeshFinalize, SmoothNormalsFollowTheFanRuleAtEveryCorner)
{
    struct Case {
        const char* name;
        void (*build)(FEMeshPartC&);
        bool exact;  // fans small enough to be summed corner by corner
    } cases[] = {
        {"bumpy grid with creases",
         [](FEMeshPartC& p) {
             std::mt19937 rng(3);
             std::uniform_real_distribution<double> h(-0.4, 0.4);
             double z[9][9];
             for (auto& row : z)
                 for (double& v : row)
                     v = h(rng);
             for (int i = 0; i < 8; ++i)
                 for (int j = 0; j < 8; ++j)
                     quad(p, {double(i), double(j), z[i][j]}, {i + 1.0, double(j), z[i + 1][j]},
                          {i + 1.0, j + 1.0, z[i + 1][j + 1]}, {double(i), j + 1.0, z[i][j + 1]});
         },
         true},
        {"closed smooth cone of 100 faces",
         [](FEMeshPartC& p) {
             for (int i = 0; i < 100; ++i) {
                 const double a = 2 * kPi * i / 100, b = 2 * kPi * (i + 1) / 100;
                 p.addTriangle({0, 0, 0.1}, {std::cos(a), std::sin(a), 0}, {std::cos(b), std::sin(b), 0});
             }
         },
         false},
        {"random soup",
         [](FEMeshPartC& p) {
             std::mt19937 rng(11);
             std::uniform_int_distribution<int> c(0, 3);
             for (int i = 0; i < 2000; ++i)
                 p.addTriangle(Point3D(c(rng), c(rng), c(rng) / 2.0), Point3D(c(rng), c(rng), 0),
                               Point3D(c(rng), c(rng), c(rng) / 3.0));
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FEMeshPartC part;
        c.build(part);
        part.finalize(-1.0);
        part.smoothNormals();
        int corners = 0, differing = 0;
        double worst = 0.0;
        forEachHalfEdge(part, [&](FEMeshFaceC*, FEMeshLoopC*, FEMeshHalfEdgeC* h) {
            const Point3Df want = referenceCornerNormal(h);
            ++corners;
            differing += !(h->getNormal() == want);
            worst = std::max(worst, Point3D(h->getNormal() - want).length());
        });
        EXPECT_GT(corners, 0);
        if (c.exact) {
            EXPECT_EQ(differing, 0);
        }
        EXPECT_LT(worst, 1e-6);
    }
}

// An empty loop ends the walk over a face's loops, so the corners of the loops after it are given
// no normal, even where they lie in the fan of corners that are given one, small or large, open
// or closed.
TEST(FEMeshFinalize, CornersAfterAnEmptyLoopKeepTheirNormal)
{
    struct Case {
        const char* name;
        int faces;
        bool closed;
    } cases[] = {{"small open fan", 10, false},
                 {"large open fan", 60, false},
                 {"small closed fan", 10, true},
                 {"large closed fan", 60, true}};
    const Point3Df untouched(7.0f, 8.0f, 9.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FEMeshPartC part;
        // A low cone around the hub, smooth across every edge: all the way round when closed, a
        // half turn when open.
        const double turn = c.closed ? 2 * kPi : kPi;
        for (int i = 0; i < c.faces; ++i) {
            const double a = turn * i / c.faces, b = turn * (i + 1) / c.faces;
            part.addTriangle({0, 0, 0.1}, {std::cos(a), std::sin(a), 0}, {std::cos(b), std::sin(b), 0});
        }
        // A face in the middle of the fan: its ring goes behind an empty loop.
        FEMeshFaceC* hidden = part.getFirstFace();
        for (int i = 0; i < c.faces / 2; ++i)
            hidden = hidden->getNext();
        FEMeshLoopC* ring = hidden->getFirstLoop();
        part.detachLoop(ring);
        part.attachLoop(part.createLoop(), hidden);
        part.attachLoop(ring, hidden);
        std::vector<FEMeshHalfEdgeC*> behind;
        FEMeshHalfEdgeC* h = ring->getFirstHalfEdge();
        do {
            h->setNormal(untouched);
            behind.push_back(h);
            h = h->getNext();
        } while (h != ring->getFirstHalfEdge());

        part.smoothNormals();
        for (FEMeshHalfEdgeC* b : behind)
            EXPECT_TRUE(b->getNormal() == untouched);
        int reached = 0;
        for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
            if (f != hidden) {
                FEMeshHalfEdgeC* first = f->getFirstLoop()->getFirstHalfEdge();
                FEMeshHalfEdgeC* x = first;
                do {
                    ++reached;
                    EXPECT_LT(Point3D(x->getNormal() - referenceCornerNormal(x)).length(), 1e-6);
                    x = x->getNext();
                } while (x != first);
            }
        EXPECT_EQ(reached, 3 * (c.faces - 1));
    }
}
