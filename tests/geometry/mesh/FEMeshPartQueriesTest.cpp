// Tests of the mesh part's box, picking, walks, transforms and copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/display/FETriangleCollectorC.h"
#include "math/TransformMatrix.h"
#include "math/VectorOps.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "tests/geometry/mesh/MeshTestShapes.h"

namespace {

void addQuad(FEMeshPartC& part, const Point3D& a, const Point3D& b, const Point3D& c, const Point3D& d,
             const Point3D& normal, FEMeshFaceInfoI* info = nullptr)
{
    const Point3D pts[4] = {a, b, c, d};
    part.addFace(pts, 4, normal, info, 15.0f, 0);
    part.endFace();
}

// The unit cube [0, 1]^3, one square face per side, normals outward.
void buildCube(FEMeshPartC& part, FEMeshFaceInfoI* topInfo = nullptr)
{
    addQuad(part, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, -1});
    addQuad(part, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0, 0, 1}, topInfo);
    addQuad(part, {0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, -1, 0});
    addQuad(part, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}, {0, 1, 0});
    addQuad(part, {0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {-1, 0, 0});
    addQuad(part, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}, {1, 0, 0});
}

struct Hit {
    int type;
    double distance;
};

std::vector<Hit> pickHits(FEMeshPartC& part, const Point3D& p1, const Point3D& p2, double width, int flags)
{
    RWTPtrSortedVector<FEMeshPickListEntryC> list = part.pick(p1, p2, width, flags);
    std::vector<Hit> out;
    for (size_t i = 0; i < list.entries(); ++i)
        out.push_back({list[i]->getEntity()->getEntityType(), list[i]->getDistance()});
    list.clearAndDestroy();
    return out;
}

std::vector<Point3Df> positionsOf(FEMeshPartC& part)
{
    std::vector<Point3Df> out;
    part.forEachVertex([](FEMeshVertexC* v, void* arg) { static_cast<std::vector<Point3Df>*>(arg)->push_back(v->getPosition()); },
                       &out);
    return out;
}

}  // namespace

TEST(FEMeshPartQueriesTest, BoundingBoxFallsBackWhenEmpty)
{
    FEMeshPartC empty;
    FEMeshPartC cube;
    buildCube(cube);
    FEMeshPartC far;
    far.findOrCreateVertex(Point3Df(2e10f, -5.0f, -5.0f));
    struct Case {
        FEMeshPartC* part;
        bool ok;
        Point3D min, max;
    } cases[] = {
        {&empty, false, {-50, -50, -50}, {50, 50, 50}},
        {&cube, true, {0, 0, 0}, {1, 1, 1}},
        {&far, false, {-50, -50, -50}, {2e10, -5, -5}},
    };
    for (const Case& k : cases) {
        Point3D min, max;
        EXPECT_EQ(k.part->getBoundingBox(min, max), k.ok);
        EXPECT_EQ(min, k.min);
        EXPECT_EQ(max, k.max);
    }
}

TEST(FEMeshPartQueriesTest, PickRaysThroughACubeHitNearestFaceFirst)
{
    FEMeshPartC cube;
    buildCube(cube);
    struct Case {
        Point3D p1, p2;
        std::vector<double> distances;
    } cases[] = {
        {{0.5, 0.5, 5}, {0.5, 0.5, -5}, {4, 5}},
        {{-5, 0.25, 0.75}, {5, 0.25, 0.75}, {5, 6}},
        {{0.5, 0.5, -3}, {0.5, 0.5, 3}, {3, 4}},  // from below: the bottom first
        {{1.5, 0.5, 5}, {1.5, 0.5, -5}, {}},      // beside the cube
    };
    for (const Case& k : cases) {
        RWTPtrSortedVector<FEMeshPickListEntryC> list = cube.pick(k.p1, k.p2, 0.01, FEMeshPickableEntityC::FACE);
        ASSERT_EQ(list.entries(), k.distances.size());
        for (size_t i = 0; i < list.entries(); ++i) {
            EXPECT_NEAR(list[i]->getDistance(), k.distances[i], 1e-9);
            const Point3D hit(list[i]->getHitPoint());
            const Point3D along = k.p1 + (k.distances[i] / (k.p2 - k.p1).length()) * (k.p2 - k.p1);
            EXPECT_NEAR((hit - along).length(), 0.0, 1e-6);
        }
        list.clearAndDestroy();
    }
    // The first hit from above is the top face.
    RWTPtrSortedVector<FEMeshPickListEntryC> list = cube.pick({0.5, 0.5, 5}, {0.5, 0.5, -5}, 0.01, 7);
    ASSERT_GE(list.entries(), 1u);
    ASSERT_EQ(list[0]->getEntity()->getEntityType(), FEMeshPickableEntityC::FACE);
    EXPECT_EQ(static_cast<FEMeshFaceC*>(list[0]->getEntity())->getNormal(), Point3Df(0, 0, 1));
    list.clearAndDestroy();
    EXPECT_TRUE(pickHits(cube, {0.5, 0.5, 5}, {0.5, 0.5, -5}, 0.01, 0).empty());
}

TEST(FEMeshPartQueriesTest, PickWidthIsARadiusForVerticesAndHalfOfItForEdges)
{
    FEMeshPartC part;
    const Point3D tri[3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
    part.addFace(tri, 3, {0, 0, 1}, nullptr, 15.0f, 0);
    part.endFace();
    struct Case {
        Point3D at;
        double width;
        int flags;
        std::vector<int> types;
    } cases[] = {
        {{-1.5, 0, 0}, 2, FEMeshPickableEntityC::VERTEX, {FEMeshPickableEntityC::VERTEX}},
        {{-1.5, 0, 0}, 2, FEMeshPickableEntityC::FACE, {}},
        {{-1.5, 1, 0}, 2, FEMeshPickableEntityC::EDGE, {}},
        {{-1.5, 1, 0}, 4, FEMeshPickableEntityC::EDGE, {FEMeshPickableEntityC::EDGE}},
        {{1, 1, 0}, 0.5, 7, {FEMeshPickableEntityC::FACE}},
    };
    for (const Case& k : cases) {
        std::vector<int> types;
        for (const Hit& h : pickHits(part, k.at + Point3D(0, 0, 5), k.at - Point3D(0, 0, 5), k.width, k.flags))
            types.push_back(h.type);
        EXPECT_EQ(types, k.types) << k.at.x() << " " << k.at.y() << " width " << k.width;
    }
    // The vertex entry carries the nearer point where the line meets the sphere.
    RWTPtrSortedVector<FEMeshPickListEntryC> list = part.pick({-1.5, 0, 5}, {-1.5, 0, -5}, 2, 4);
    ASSERT_EQ(list.entries(), 1u);
    EXPECT_NEAR(list[0]->getHitPoint().x(), -1.5, 1e-6);
    EXPECT_NEAR(list[0]->getHitPoint().z(), std::sqrt(4 - 2.25), 1e-6);
    EXPECT_NEAR(list[0]->getDistance(), 5 - std::sqrt(4 - 2.25), 1e-9);
    list.clearAndDestroy();
}

TEST(FEMeshPartQueriesTest, EqualDistancesKeepEdgeFaceVertexOrder)
{
    // The ray (0.5, 0.25, 4) -> (0.5, 0.25, -4) meets, each at distance 4 exactly: the face
    // z = 0, the edge y = 0.25, z = -1 (radius 1) and the vertex (0.5, 0.25, -2) (radius 2).
    FEMeshPartC part;
    const Point3D vertexTri[3] = {{10, 10, -2}, {11, 10, -2}, {0.5, 0.25, -2}};
    const Point3D faceTri[3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
    const Point3D edgeTri[3] = {{-5, 0.25, -1}, {5, 0.25, -1}, {0, 0.25, -3}};
    for (const Point3D* tri : {vertexTri, faceTri, edgeTri}) {
        const Point3D n = crossProduct(tri[1] - tri[0], tri[2] - tri[0]).normalized();
        part.addFace(tri, 3, n, nullptr, 15.0f, 0);
        part.endFace();
    }
    std::vector<int> types;
    for (const Hit& h : pickHits(part, {0.5, 0.25, 4}, {0.5, 0.25, -4}, 2, 7))
        if (h.distance == 4.0)
            types.push_back(h.type);
    EXPECT_EQ(types, (std::vector<int>{FEMeshPickableEntityC::EDGE, FEMeshPickableEntityC::FACE,
                                       FEMeshPickableEntityC::VERTEX}));
}

TEST(FEMeshPartQueriesTest, PickThroughAHoleMissesTheFaceButItsRimHits)
{
    FEMeshPartC part;
    const Point3D outer[4] = {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}};
    const Point3D hole[4] = {{1, 1, 0}, {1, 2, 0}, {2, 2, 0}, {2, 1, 0}};
    part.addFace(outer, 4, {0, 0, 1}, nullptr, 15.0f, 0);
    part.addLoop(hole, 4);
    part.endFace();
    struct Case {
        double x, y;
        bool hit;
    } cases[] = {{1.5, 1.5, false}, {1.0, 1.5, true}, {2.0, 2.0, true}, {0.5, 0.5, true},
                 {2.5, 1.5, true},  {3.5, 1.5, false}, {1.5, 1.99, false}};
    for (const Case& k : cases)
        EXPECT_EQ(pickHits(part, {k.x, k.y, 1}, {k.x, k.y, -1}, 0.001, 2).size(), k.hit ? 1u : 0u)
            << k.x << "," << k.y;
}

TEST(FEMeshPartQueriesTest, FacePickAgreesWithThePlainLoopTest)
{
    // A finished torus (quadrilaterals) and a plate with holes, against rays at many places.
    FEMeshPartC torus;
    const double pi = 3.14159265358979323846;
    auto at = [&](int i, int j) {
        const double u = 2 * pi * (i % 24) / 24, v = 2 * pi * (j % 12) / 12, r = 5 + 2 * std::cos(v);
        return Point3D(r * std::cos(u), r * std::sin(u), 2 * std::sin(v));
    };
    for (int i = 0; i < 24; ++i)
        for (int j = 0; j < 12; ++j) {
            torus.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            torus.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    torus.finalize(-1.0);
    FEMeshPartC plate;
    const Point3D outer[4] = {{-7, -7, 0}, {7, -7, 0}, {7, 7, 0}, {-7, 7, 0}};
    plate.addFace(outer, 4, {0, 0, 1}, nullptr, 15.0f, 0);
    for (int k = -6; k <= 4; k += 2) {
        const Point3D hole[4] = {{k + 0.5, -1, 0}, {k + 0.5, 1, 0}, {k + 1.5, 1, 0}, {k + 1.5, -1, 0}};
        plate.addLoop(hole, 4);
    }
    plate.endFace();

    for (FEMeshPartC* part : {&torus, &plate}) {
        int hits = 0;
        for (int ix = -30; ix <= 30; ++ix)
            for (int iy = -30; iy <= 30; iy += 3) {
                const Point3D p1(ix * 0.25 + 0.01, iy * 0.25 + 0.02, 10), p2(ix * 0.25 - 0.03, iy * 0.25, -10);
                std::vector<FEMeshFaceC*> expected;
                for (FEMeshFaceC* f = part->getFirstFace(); f; f = f->getNext()) {
                    const Point3Df n = f->getNormal();
                    Point3D q;
                    if (!linePlaneIntersection(p1, p2, Point3D(n),
                                               Point3D(f->getFirstLoop()->getFirstHalfEdge()->getVertex()->getPosition()), q))
                        continue;
                    if (part->pointInLoop(n.x(), n.y(), n.z(), f->getFirstLoop(), Point3Df(q)) == 2)
                        continue;
                    bool inHole = false;
                    for (FEMeshLoopC* l = f->getFirstLoop()->getNext(); l; l = l->getNext())
                        inHole = inHole || part->pointInLoop(n.x(), n.y(), n.z(), l, Point3Df(q)) == 0;
                    if (!inHole)
                        expected.push_back(f);
                }
                RWTPtrSortedVector<FEMeshPickListEntryC> list = part->pick(p1, p2, 0.01, FEMeshPickableEntityC::FACE);
                std::vector<FEMeshFaceC*> found;
                for (size_t i = 0; i < list.entries(); ++i)
                    found.push_back(static_cast<FEMeshFaceC*>(list[i]->getEntity()));
                list.clearAndDestroy();
                std::sort(expected.begin(), expected.end());
                std::sort(found.begin(), found.end());
                ASSERT_EQ(found, expected) << ix << "," << iy;
                hits += int(found.size());
            }
        EXPECT_GT(hits, 100);
    }
}

TEST(FEMeshPartQueriesTest, CopyIsIndependentOfItsSource)
{
    FEMeshFaceInfoColorC* info = new FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1);
    refHandle<FEMeshFaceInfoI> hold(info);
    refHandle<FEMeshPartC> source(new FEMeshPartC());
    buildCube(*source.get(), info);
    TransformMatrix threadPlacement;
    threadPlacement.translate(0, 0, 2);
    source->addThread(new FEMeshThreadC(threadPlacement, 3, 1, 1, true, 0, 3, 1, 0.5, 0.5));
    const std::vector<Point3Df> sourcePositions = positionsOf(*source.get());

    FEMeshPartC copy;
    copy.copyFrom(*source.get());
    EXPECT_EQ(copy.getFaceCount(), 6u);
    EXPECT_EQ(copy.getEdgeCount(), source->getEdgeCount());
    EXPECT_EQ(copy.getVertexCount(), 8u);
    EXPECT_EQ(positionsOf(copy), sourcePositions);
    EXPECT_EQ(info->referenceCount(), 3);  // the colour is shared by the copied face
    ASSERT_EQ(copy.getThreads().entries(), 1u);
    EXPECT_EQ(copy.getThreads()[0]->getEndPoint(), Point3D(0, 0, 5));
    EXPECT_EQ(meshtest::loopChainFaults(copy), 0);

    // Every copied half-edge belongs to its own part's edges and vertices.
    for (FEMeshFaceC* f = copy.getFirstFace(); f; f = f->getNext()) {
        FEMeshHalfEdgeC* first = f->getFirstLoop()->getFirstHalfEdge();
        FEMeshHalfEdgeC* h = first;
        int n = 0;
        do {
            ASSERT_NE(h->getEdge(), nullptr);
            EXPECT_TRUE(h->getEdge()->getFirstHalfEdge() == h || h->getEdge()->getSecondHalfEdge() == h);
            EXPECT_EQ(copy.getVertexHash().find(h->getVertex()->getPosition()), h->getVertex());
            EXPECT_EQ(h->getNext()->getPrevious(), h);
            h = h->getNext();
            ++n;
        } while (h != first);
        EXPECT_EQ(n, 4);
    }

    const double shift[16] = {1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    copy.transform(shift);
    EXPECT_EQ(positionsOf(*source.get()), sourcePositions);
    source = nullptr;  // the copy outlives its source
    Point3D min, max;
    copy.recomputeBoundingBox();
    EXPECT_TRUE(copy.getBoundingBox(min, max));
    EXPECT_EQ(min, Point3D(10, 0, 0));
    EXPECT_EQ(max, Point3D(11, 1, 1));
    FETriangleCollectorC collector(16384);
    copy.triangulate(&collector);
    EXPECT_EQ(collector.entries(), 12u);

    // A copy into itself doubles the faces and merges the vertices.
    FEMeshPartC twice;
    buildCube(twice);
    twice.copyFrom(twice);
    EXPECT_EQ(twice.getFaceCount(), 12u);
    EXPECT_EQ(twice.getVertexCount(), 8u);
    EXPECT_EQ(twice.getEdgeCount(), 2 * copy.getEdgeCount());
    EXPECT_EQ(meshtest::loopChainFaults(twice), 0);
}

TEST(FEMeshPartQueriesTest, TransformScaleRenumberAndWalks)
{
    FEMeshPartC cube;
    buildCube(cube);
    cube.getFirstFace()->getFirstLoop()->getFirstHalfEdge()->setNormal(Point3Df(1, 0, 0));
    // (x, y, z) -> (5 - y, x, z): a quarter turn and a shift; normals only turn.
    const double m[16] = {0, -1, 0, 5, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    cube.transform(m);
    EXPECT_EQ(cube.getFirstFace()->getFirstLoop()->getFirstHalfEdge()->getNormal(), Point3Df(0, 1, 0));
    std::vector<Point3Df> normals;
    for (FEMeshFaceC* f = cube.getFirstFace(); f; f = f->getNext())
        normals.push_back(f->getNormal());
    EXPECT_EQ(normals, (std::vector<Point3Df>{{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 1, 0}}));
    Point3D min, max;
    cube.getBoundingBox(min, max);
    EXPECT_EQ(max, Point3D(1, 1, 1));  // the stored box stays until recomputed
    cube.recomputeBoundingBox();
    cube.getBoundingBox(min, max);
    EXPECT_EQ(min, Point3D(4, 0, 0));
    EXPECT_EQ(max, Point3D(5, 1, 1));

    cube.scale(2.0f);
    cube.recomputeBoundingBox();
    cube.getBoundingBox(min, max);
    EXPECT_EQ(min, Point3D(8, 0, 0));
    EXPECT_EQ(max, Point3D(10, 2, 2));

    cube.renumber();
    std::vector<int> indices;
    cube.forEachFace([](FEMeshFaceC* f, void* a) { static_cast<std::vector<int>*>(a)->push_back(f->getIndex()); },
                     &indices);
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    indices.clear();
    cube.forEachEdge([](FEMeshEdgeC* e, void* a) { static_cast<std::vector<int>*>(a)->push_back(e->getIndex()); },
                     &indices);
    ASSERT_EQ(indices.size(), cube.getEdgeCount());
    for (size_t i = 0; i < indices.size(); ++i)
        EXPECT_EQ(indices[i], int(i));
    indices.clear();
    cube.forEachVertex([](FEMeshVertexC* v, void* a) { static_cast<std::vector<int>*>(a)->push_back(v->getIndex()); },
                       &indices);
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

    FEMeshPartC empty;
    empty.recomputeBoundingBox();
    EXPECT_FALSE(empty.getBoundingBox(min, max));
}

TEST(FEMeshPartQueriesTest, MakeUniqueCopiesOnlySharedParts)
{
    refHandle<FEMeshPartC> none;
    makeUnique(none);
    ASSERT_NE(none.get(), nullptr);
    EXPECT_EQ(none->getFaceCount(), 0u);

    refHandle<FEMeshPartC> part(new FEMeshPartC());
    buildCube(*part.get());
    FEMeshPartC* original = part.get();
    makeUnique(part);
    EXPECT_EQ(part.get(), original);

    refHandle<FEMeshPartC> other(original);
    original->setShared(true);
    makeUnique(part);
    EXPECT_NE(part.get(), original);
    EXPECT_EQ(part->getFaceCount(), 6u);
    EXPECT_FALSE(part->isShared());
    EXPECT_EQ(original->referenceCount(), 1);
}
