// Tests of building a mesh part: merged vertices, paired edges, smooth and sharp edges, holes, clearing.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/mesh/FEMeshPickListEntryC.h"
#include "tests/geometry/mesh/MeshTestShapes.h"
#include "tests/support/ThreadCpuClock.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A face information that counts how many of its kind are alive.
class CountedInfo : public FEMeshFaceInfoColorC {
public:
    static int alive;
    CountedInfo() : FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1) { ++alive; }
    ~CountedInfo() override { --alive; }
};
int CountedInfo::alive = 0;

FEMeshFaceC* addPolygon(FEMeshPartC& part, const std::vector<Point3D>& pts, const Point3D& normal, int group = 0,
                        FEMeshFaceInfoI* info = nullptr, float crease = 15.0f)
{
    RWTValSlist<Point3D> list;
    for (const Point3D& p : pts)
        list.append(p);
    RWTValOrderedVector<FEMeshEdgeInfoC> edgeInfos;
    return part.addFace(list, normal, info, edgeInfos, crease, group);
}

// The edge joining two given vertex positions (either direction).
FEMeshEdgeC* edgeBetween(const FEMeshPartC& part, const Point3Df& a, const Point3Df& b)
{
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        const Point3Df s = e->getStartPoint(), t = e->getEndPoint();
        if ((s == a && t == b) || (s == b && t == a))
            return e;
    }
    return nullptr;
}

// Two triangles on the edge (0,0,0)-(1,0,0), the second tilted by `degrees` about it.
void hinge(FEMeshPartC& part, double degrees)
{
    const double a = degrees * kPi / 180.0;
    part.addTriangle(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0.5, 1, 0));
    part.addTriangle(Point3D(1, 0, 0), Point3D(0, 0, 0), Point3D(0.5, -std::cos(a), std::sin(a)));
}

}  // namespace

TEST(FEMeshPart, NewPartIsEmpty)
{
    FEMeshPartC part;
    EXPECT_EQ(part.getMinPoint(), Point3D(1e15, 1e15, 1e15));
    EXPECT_EQ(part.getMaxPoint(), Point3D(-1e15, -1e15, -1e15));
    EXPECT_EQ(part.getNextVertexNumber(), 1);
    EXPECT_EQ(part.getNextEdgeNumber(), 1);
    EXPECT_EQ(part.getNextFaceNumber(), 1);
    EXPECT_TRUE(part.isManifold());
    EXPECT_FALSE(part.getMergeAcrossGroups());
    EXPECT_FALSE(part.isShared());
    EXPECT_EQ(part.getTolerance(), 1e-5);
    EXPECT_EQ(part.getVertexHash().getTolerance(), 1e-5);
    EXPECT_EQ(part.getCreaseThreshold(), 0.0f);
    EXPECT_EQ(part.getFirstFace(), nullptr);
    EXPECT_EQ(part.getFirstEdge(), nullptr);
    EXPECT_EQ(part.getThreads().entries(), 0u);
    EXPECT_EQ(part.referenceCount(), 0);
    double m[16];
    part.getPlacement(m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0);
}

TEST(FEMeshPart, EachPlacementReadsBackWhatWasSetAndTheOtherStaysIdentity)
{
    // The two matrices are made on first use: either may be the first one set.
    double a[16], b[16], got[16];
    for (int i = 0; i < 16; ++i) {
        a[i] = 1.0 + i;
        b[i] = 100.0 + i;
    }
    for (bool secondFirst : {false, true}) {
        SCOPED_TRACE(secondFirst);
        FEMeshPartC part;
        if (secondFirst) {
            part.setSecondPlacement(b);
            part.getPlacement(got);
        } else {
            part.setPlacement(a);
            part.getSecondPlacement(got);
        }
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(got[i], i % 5 == 0 ? 1.0 : 0.0) << i;
        part.setPlacement(a);
        part.setSecondPlacement(b);
        part.getPlacement(got);
        EXPECT_TRUE(std::equal(got, got + 16, a));
        part.getSecondPlacement(got);
        EXPECT_TRUE(std::equal(got, got + 16, b));
    }
}

TEST(FEMeshPart, FaceRingRunsFromThePreviousPointAndSharesVertices)
{
    FEMeshPartC part;
    FEMeshFaceC* f = addPolygon(part, {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}, {0, 0, 2}, 7);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(part.getCurrentFace(), f);
    EXPECT_EQ(f->getIndex(), 1);
    EXPECT_EQ(f->getGroupId(), 7);
    EXPECT_EQ(f->getNormal(), Point3Df(0, 0, 2));  // taken as given
    EXPECT_EQ(part.getGroupMode(), 7);
    FEMeshHalfEdgeC* h = f->getFirstLoop()->getFirstHalfEdge();
    EXPECT_EQ(h->getVertex()->getPosition(), Point3Df(0, 1, 0));  // from the last point to the first
    EXPECT_EQ(h->getNext()->getVertex()->getPosition(), Point3Df(0, 0, 0));
    EXPECT_EQ(f->getFirstLoop()->getHalfEdgeCount(), 4);
    EXPECT_EQ(h->getPrevious()->getNext(), h);
    EXPECT_EQ(part.getVertexCount(), 4u);
    EXPECT_EQ(part.getEdgeCount(), 4u);
    EXPECT_EQ(part.getMinPoint(), Point3D(0, 0, 0));
    EXPECT_EQ(part.getMaxPoint(), Point3D(2, 1, 0));
    EXPECT_TRUE(part.endFace());
    EXPECT_EQ(part.getCurrentFace(), nullptr);

    // A neighbour reuses the two vertices and pairs the shared edge.
    addPolygon(part, {{2, 0, 0}, {3, 0, 0}, {2, 1, 0}}, {0, 0, 1}, 7);
    EXPECT_EQ(part.getVertexCount(), 5u);
    EXPECT_EQ(part.getEdgeCount(), 6u);
    FEMeshEdgeC* shared = edgeBetween(part, Point3Df(2, 0, 0), Point3Df(2, 1, 0));
    ASSERT_NE(shared, nullptr);
    ASSERT_NE(shared->getSecondHalfEdge(), nullptr);
    EXPECT_EQ(shared->getFirstHalfEdge()->getPartner(), shared->getSecondHalfEdge());
    EXPECT_EQ(shared->getSecondHalfEdge()->getPartner(), shared->getFirstHalfEdge());
    EXPECT_TRUE(shared->isSmooth());  // same group decides in group mode
}

TEST(FEMeshPart, CreaseThresholdIsOneMinusSineOfTheAngle)
{
    struct Case {
        double degrees;
        bool smooth;
    } cases[] = {{0, true}, {30, true}, {41, true}, {43, false}, {45, false}, {90, false}};
    for (const Case& c : cases) {
        FEMeshPartC part;
        hinge(part, c.degrees);
        EXPECT_FLOAT_EQ(part.getCreaseThreshold(), float(1.0 - std::sin(15.0 * 0.017453292519943295)));
        FEMeshEdgeC* e = edgeBetween(part, Point3Df(0, 0, 0), Point3Df(1, 0, 0));
        ASSERT_NE(e, nullptr);
        ASSERT_NE(e->getSecondHalfEdge(), nullptr);
        EXPECT_EQ(e->isSmooth(), c.smooth) << c.degrees;
        EXPECT_EQ(e->isFeatureEdge(), !c.smooth);
        EXPECT_EQ(part.getEdgeCount(), 5u);
        EXPECT_TRUE(part.isManifold());
    }
    // The face being added brings its own angle: 50 degrees between normals is smooth under a
    // 60-degree crease (threshold 0.134), sharp under 15, whatever the faces before it took.
    {
        FEMeshPartC part;
        const double a = 50.0 * kPi / 180.0;
        const Point3D up(0, 0, 1), tilted(0, -std::sin(a), std::cos(a));
        const float angles[] = {60.0f, 15.0f, 60.0f, 15.0f};
        for (int k = 0; k < 4; ++k) {
            const double x = 2.0 * k;
            addPolygon(part, {{x, 0, 0}, {x + 1, 0, 0}, {x + 0.5, 1, 0}}, up, 0, nullptr, angles[k]);
            addPolygon(part, {{x + 1, 0, 0}, {x, 0, 0}, {x + 0.5, -std::cos(a), -std::sin(a)}}, tilted, 0, nullptr,
                       angles[k]);
            EXPECT_FLOAT_EQ(part.getCreaseThreshold(), float(1.0 - std::sin(double(angles[k]) * 0.017453292519943295)));
            FEMeshEdgeC* e = edgeBetween(part, Point3Df(float(x), 0, 0), Point3Df(float(x + 1), 0, 0));
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->isSmooth(), angles[k] == 60.0f) << k;
        }
    }
    // In group mode the groups decide, whatever the normals.
    FEMeshPartC part;
    addPolygon(part, {{0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}}, {0, 0, 1}, 3);
    addPolygon(part, {{1, 0, 0}, {0, 0, 0}, {0.5, -1, 0}}, {0, 0, -1}, 3);
    addPolygon(part, {{1, 0, 0}, {2, 0, 0}, {0.5, 1, 0}}, {0, 0, 1}, 4);
    EXPECT_TRUE(edgeBetween(part, Point3Df(0, 0, 0), Point3Df(1, 0, 0))->isSmooth());
    EXPECT_FALSE(edgeBetween(part, Point3Df(1, 0, 0), Point3Df(0.5f, 1, 0))->isSmooth());
}

TEST(FEMeshPart, ThirdFaceOnAnEdgeGetsItsOwnEdgeAndClearsManifold)
{
    FEMeshPartC part;
    hinge(part, 30);
    EXPECT_TRUE(part.isManifold());
    part.addTriangle(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0.5, 0, 1));
    EXPECT_FALSE(part.isManifold());
    EXPECT_EQ(part.getEdgeCount(), 8u);
    int onHinge = 0;
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        const Point3Df s = e->getStartPoint(), t = e->getEndPoint();
        if ((s == Point3Df(0, 0, 0) && t == Point3Df(1, 0, 0)) || (t == Point3Df(0, 0, 0) && s == Point3Df(1, 0, 0)))
            ++onHinge;
    }
    EXPECT_EQ(onHinge, 2);
}

TEST(FEMeshPart, PairingTakesTheLastQualifyingEdgeOfTheList)
{
    // Faces 1 and 2 fill the first hinge edge; face 3 gets a second one; face 4 finds both in the
    // incident list and pairs with the later, which still has room.
    FEMeshPartC part;
    hinge(part, 30);
    part.addTriangle(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0.5, 0, 1));
    FEMeshEdgeC* second = part.getLastEdge()->getPrevious();  // corner 1's edge
    ASSERT_EQ(second->getFirstHalfEdge()->getFace(), part.getLastFace());
    ASSERT_EQ(second->getSecondHalfEdge(), nullptr);
    part.addTriangle(Point3D(1, 0, 0), Point3D(0, 0, 0), Point3D(0.5, 0.2, -1));
    EXPECT_EQ(part.getEdgeCount(), 10u);
    ASSERT_NE(second->getSecondHalfEdge(), nullptr);
    EXPECT_EQ(second->getSecondHalfEdge()->getFace(), part.getLastFace());
    EXPECT_TRUE(second->isSmooth());  // faces 3 and 4 are about 11 degrees apart
    EXPECT_FALSE(part.isManifold());
}

TEST(FEMeshPart, AddLoopAddsAHoleToTheCurrentFace)
{
    FEMeshPartC part;
    const Point3D inner[] = {{1, 1, 0}, {1, 2, 0}, {2, 2, 0}, {2, 1, 0}};
    EXPECT_FALSE(part.addLoop(inner, 4));  // no current face
    FEMeshFaceC* f = addPolygon(part, {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}}, {0, 0, 1});
    EXPECT_FALSE(part.addLoop(inner, 2));
    RWTValSlist<Point3D> hole;
    for (const Point3D& p : inner)
        hole.append(p);
    EXPECT_TRUE(part.addLoop(hole, RWTValOrderedVector<FEMeshEdgeInfoC>()));
    EXPECT_EQ(f->getLoopCount(), 2);
    FEMeshLoopC* second = f->getFirstLoop()->getNext();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(f->getLastLoop(), second);
    EXPECT_EQ(second->getFace(), f);
    EXPECT_EQ(second->getHalfEdgeCount(), 4);
    EXPECT_EQ(second->getFirstHalfEdge()->getFace(), f);
    EXPECT_EQ(part.getEdgeCount(), 8u);
    EXPECT_EQ(part.getVertexCount(), 8u);
    EXPECT_EQ(part.getFaceCount(), 1u);
    part.endFace();
    EXPECT_FALSE(part.addLoop(inner, 4));
}

TEST(FEMeshPart, FewerThanThreePointsChangeNothing)
{
    FEMeshPartC part;
    addPolygon(part, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0, 1}, 5, nullptr, 30.0f);
    const float threshold = part.getCreaseThreshold();
    EXPECT_EQ(addPolygon(part, {{0, 0, 0}, {1, 0, 0}}, {0, 0, 1}, 9, nullptr, 60.0f), nullptr);
    EXPECT_EQ(part.getCreaseThreshold(), threshold);
    EXPECT_EQ(part.getGroupMode(), 5);
    EXPECT_EQ(part.getNextFaceNumber(), 2);
    EXPECT_EQ(part.getFaceCount(), 1u);
}

TEST(FEMeshPart, AddedFaceIsTheLastOfTheList)
{
    FEMeshPartC part;
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(part.addTriangle(Point3D(i, 0, 0), Point3D(i + 1, 0, 0), Point3D(i, 1, 0)));
        ASSERT_NE(part.getLastFace(), nullptr);
        EXPECT_EQ(part.getLastFace()->getIndex(), i + 1);
        EXPECT_EQ(part.getCurrentFace(), nullptr);
    }
    EXPECT_EQ(part.getFirstFace()->getIndex(), 1);
    // The triangle's normal is the normalised winding normal; a degenerate one stays zero.
    EXPECT_EQ(part.getLastFace()->getNormal(), Point3Df(0, 0, 1));
    part.addTriangle(Point3D(0, 0, 0), Point3D(1, 1, 1), Point3D(2, 2, 2));
    EXPECT_EQ(part.getLastFace()->getNormal(), Point3Df(0, 0, 0));
}

TEST(FEMeshPart, FaceInformationIsSharedAndReleasedWithTheFaces)
{
    CountedInfo::alive = 0;
    {
        FEMeshPartC part;
        CountedInfo* info = new CountedInfo;
        FEMeshFaceC* a = addPolygon(part, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0, 1}, 0, info);
        FEMeshFaceC* b = addPolygon(part, {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 1}, 0, info);
        EXPECT_EQ(info->referenceCount(), 2);
        EXPECT_EQ(a->getFaceInfo(), info);
        EXPECT_EQ(info->duplicate(), info);
        EXPECT_EQ(info->getFaceId(), -1);
        EXPECT_TRUE(info->getFaceText().isNull());
        b->setFaceInfo(info);  // the same object again: the count stays
        EXPECT_EQ(info->referenceCount(), 2);
        CountedInfo* other = new CountedInfo;
        b->setFaceInfo(other);
        EXPECT_EQ(info->referenceCount(), 1);
        EXPECT_EQ(other->referenceCount(), 1);
        part.clear();
        EXPECT_EQ(CountedInfo::alive, 0);

        // Rebuilt after clear: numbering restarts, the shared flag and name stay.
        part.setName("gear");
        part.setShared(true);
        part.addThread(new FEMeshThreadC(TransformMatrix(), 10, 4, 4, true, 0, 10, 1, 2, 2));
        part.addTriangle(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 1, 0));
        addPolygon(part, {{5, 0, 0}, {6, 0, 0}, {5, 1, 0}}, {0, 0, 1}, 0, new CountedInfo);
        EXPECT_EQ(part.getLastFace()->getIndex(), 2);
        EXPECT_EQ(CountedInfo::alive, 1);
    }  // destruction releases the last information and the thread
    EXPECT_EQ(CountedInfo::alive, 0);

    FEMeshPartC part;
    hinge(part, 10);
    part.clear();
    EXPECT_EQ(part.getFaceCount(), 0u);
    EXPECT_EQ(part.getEdgeCount(), 0u);
    EXPECT_EQ(part.getVertexCount(), 0u);
    EXPECT_EQ(part.getNextEdgeNumber(), 1);
    EXPECT_EQ(part.getMinPoint(), Point3D(1e15, 1e15, 1e15));
    EXPECT_TRUE(part.isManifold());
}

TEST(FEMeshPart, PointsMergeOnlyThroughTheSearchedBuckets)
{
    FEMeshPartC part;
    FEMeshVertexC* v = part.findOrCreateVertex(Point3Df(1, 2, 3));
    EXPECT_EQ(v->getIndex(), 1);
    EXPECT_EQ(part.findOrCreateVertex(Point3Df(1.000005f, 2, 3)), v);
    EXPECT_EQ(part.findOrCreateVertex(Point3Df(1, 2, 3.000001f)), v);
    FEMeshVertexC* far = part.findOrCreateVertex(Point3Df(1, 2, 3.000005f));
    EXPECT_NE(far, v);
    EXPECT_EQ(far->getIndex(), 2);
    EXPECT_NE(part.findOrCreateVertex(Point3Df(1.00002f, 2, 3)), v);
    EXPECT_EQ(part.getNextVertexNumber(), 4);
}

namespace {

// Everything pairing decides, in list order.
std::string signature(const FEMeshPartC& part)
{
    std::ostringstream out;
    out << part.isManifold() << ":";
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        const FEMeshHalfEdgeC* first = e->getFirstHalfEdge();  // none after its face was deleted
        out << e->getIndex() << "," << e->isSmooth() << "," << (first ? first->getFace()->getIndex() : -1);
        if (FEMeshHalfEdgeC* s = e->getSecondHalfEdge())
            out << "," << s->getFace()->getIndex() << "," << s->getVertex()->getIndex();
        out << ";";
    }
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        FEMeshHalfEdgeC* h = f->getFirstLoop()->getFirstHalfEdge();
        do {
            out << h->getVertex()->getIndex() << "/" << h->getEdge()->getIndex() << " ";
            h = h->getNext();
        } while (h != f->getFirstLoop()->getFirstHalfEdge());
    }
    return out.str();
}

void buildRandom(FEMeshPartC& part, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coord(-1.0, 1.0);
    std::uniform_real_distribution<double> jitter(-1.5e-5, 1.5e-5);
    std::vector<Point3D> bases;
    for (int i = 0; i < 40; ++i)
        bases.push_back(Point3D(coord(rng), coord(rng), coord(rng)));
    bases.push_back(Point3D(0, 0, 0));  // a fan centre
    auto pick = [&](int i) {
        Point3D p = bases[i];
        if (rng() % 3 == 0)
            p += Point3D(jitter(rng), jitter(rng), jitter(rng));  // near, maybe merged, maybe not
        return p;
    };
    for (int t = 0; t < 3000; ++t) {
        Point3D pts[4];
        const size_t n = rng() % 4 == 0 ? 4 : 3;
        for (size_t k = 0; k < n; ++k)
            pts[k] = pick(rng() % 5 == 0 ? 40 : int(rng() % 40));  // many faces share the centre
        const Point3D normal(coord(rng), coord(rng), coord(rng));
        const int group = rng() % 4 == 0 ? int(rng() % 3) : 0;
        part.addFace(pts, n, normal, nullptr, 15.0f, group);
        if (rng() % 10 == 0)
            part.addLoop(pts, n);
        part.endFace();
    }
}

// Few places, many faces on them: identical faces, faces on one edge, faces whose corners
// repeat, and corners a tolerance apart, so that many edges join the same two vertices and only
// some of them qualify.
void buildDegenerate(FEMeshPartC& part, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(-1.5e-5, 1.5e-5);
    const Point3D bases[4] = {Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 1, 0), Point3D(0.25, 0.25, 1)};
    for (int t = 0; t < 3000; ++t) {
        Point3D pts[4];
        size_t n = 3;
        switch (t % 4) {
        case 0:  // the same triangle again
            pts[0] = bases[0], pts[1] = bases[1], pts[2] = bases[2];
            break;
        case 1:  // on the edge between the first two places, the other corner anywhere
            pts[0] = bases[1], pts[1] = bases[0], pts[2] = bases[2 + rng() % 2] + Point3D(0, 0, double(rng() % 50));
            break;
        case 2:  // a corner twice
            pts[0] = bases[rng() % 4], pts[1] = pts[0], pts[2] = bases[rng() % 4];
            break;
        default:  // corners near the places, some merged and some not
            n = rng() % 2 == 0 ? 4 : 3;
            for (size_t k = 0; k < n; ++k)
                pts[k] = bases[rng() % 4] + Point3D(jitter(rng), jitter(rng), jitter(rng));
            break;
        }
        part.addFace(pts, n, Point3D(0, 0, rng() % 2 == 0 ? 1.0 : -1.0), nullptr, 15.0f, 0);
        part.endFace();
    }
}

// Faces deleted between two rounds of building: the index drops their edges as the lists do.
void buildDeleteAndBuild(FEMeshPartC& part, unsigned seed)
{
    buildDegenerate(part, seed);
    int k = 0;
    for (FEMeshFaceC* f = part.getFirstFace(); f;) {
        FEMeshFaceC* next = f->getNext();
        if (k++ % 3 == 0)
            part.deleteFace(f);
        f = next;
    }
    buildDegenerate(part, seed + 100);
}

// Fans of many triangles around one centre, added in shuffled order with corners jittered about
// the merge tolerance, some twice: the pair of a new edge lies anywhere in the centre's list,
// among its latest entries or far back, and only some candidates near the place qualify.
void buildShuffledFan(FEMeshPartC& part, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(-1.5e-5, 1.5e-5);
    constexpr int kRim = 700;
    std::vector<int> order;
    for (int k = 0; k < kRim; ++k)
        order.push_back(k);
    // Half in fan order (each pair the latest entry), half shuffled, and a few again.
    std::shuffle(order.begin() + kRim / 2, order.end(), rng);
    for (int k = 0; k < kRim / 10; ++k)
        order.push_back(int(rng() % kRim));
    auto rim = [&](int k) {
        const double a = 6.283185307179586 * (k % kRim) / kRim;
        Point3D p(std::cos(a), std::sin(a), 0.0);
        if (rng() % 3 == 0)
            p += Point3D(jitter(rng), jitter(rng), jitter(rng));
        return p;
    };
    for (int k : order) {
        const Point3D pts[3] = {Point3D(0, 0, rng() % 4 == 0 ? jitter(rng) : 0.0), rim(k), rim(k + 1)};
        part.addFace(pts, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
        part.endFace();
    }
}

}  // namespace

// Large fans are paired through an index; it must give exactly the walk's answer.
TEST(FEMeshPart, FanIndexPairsExactlyAsTheListWalk)
{
    for (auto build : {buildRandom, buildDegenerate, buildDeleteAndBuild, buildShuffledFan}) {
        for (unsigned seed : {1u, 2u, 3u, 4u}) {
            FEMeshPartC walk;
            walk.setFanIndexThreshold(UINT_MAX);
            walk.getVertexHash().setIndexEnabled(false);
            build(walk, seed);
            for (unsigned threshold : {1u, 8u, 64u}) {
                FEMeshPartC indexed;
                indexed.setFanIndexThreshold(threshold);
                build(indexed, seed);
                EXPECT_EQ(signature(indexed), signature(walk)) << "seed " << seed << " threshold " << threshold;
            }
            EXPECT_FALSE(walk.isManifold());
        }
    }
}

// Each new face on a crowded edge finds its pair at once: building stays linear in the faces.
TEST(FEMeshPart, ManyFacesOnOneEdgeBuildInLinearTime)
{
    constexpr int kFaces = 30000;
    const auto start = ThreadCpuClock::now();
    FEMeshPartC identical, sharing;
    for (int i = 0; i < kFaces; ++i) {
        const Point3D same[3] = {Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 1, 0)};
        identical.addFace(same, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
        identical.endFace();
        const Point3D onEdge[3] = {Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0.5, 1 + 0.001 * i, 0)};
        sharing.addFace(onEdge, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
        sharing.endFace();
    }
    const double seconds = std::chrono::duration<double>(ThreadCpuClock::now() - start).count();
    EXPECT_EQ(identical.getEdgeCount(), size_t(kFaces) * 3 / 2);
    EXPECT_EQ(sharing.getEdgeCount(), size_t(kFaces) * 5 / 2);
    EXPECT_LT(seconds, 5.0);  // 0.2 s, 0.6 s under the sanitizers; 11 s walking every face on the edge
}

TEST(FEMeshPart, IncidentListsDropTheEarlierLinkOfAnEdgeAtAnyLength)
{
    FEMeshPartC part;
    part.setFanIndexThreshold(~0u);
    FEMeshVertexC* v = part.findOrCreateVertex(Point3Df(0, 0, 0));
    FEMeshVertexC* w = part.findOrCreateVertex(Point3Df(1, 0, 0));
    FEMeshEdgeC* a = part.createEdge();
    FEMeshEdgeC* b = part.createEdge();
    FEMeshEdgeC* c = part.createEdge();
    auto listOf = [](const FEMeshVertexC* x) {
        std::vector<FEMeshEdgeC*> edges;
        for (FEMeshIncidenceC* n = x->getFirstIncidence(); n; n = n->getNext())
            edges.push_back(n->getEdge());
        return edges;
    };
    for (FEMeshEdgeC* e : {a, b, c, b})
        part.appendIncidentEdge(v, e);
    EXPECT_FALSE(part.removeIncidentEdge(w, b));
    EXPECT_TRUE(part.removeIncidentEdge(v, b));
    EXPECT_EQ(listOf(v), (std::vector<FEMeshEdgeC*>{a, c, b}));
    EXPECT_EQ(v->getLastIncidentEdge(), b);
    EXPECT_TRUE(part.removeIncidentEdge(v, b));
    EXPECT_EQ(listOf(v), (std::vector<FEMeshEdgeC*>{a, c}));
    EXPECT_EQ(b->getIncidentLinkCount(), 0u);
    part.appendIncidentEdge(w, b);
    EXPECT_FALSE(part.removeIncidentEdge(v, b));
    EXPECT_EQ(w->getFirstIncidentEdge(), b);
    part.clearIncidentEdges(v);
    EXPECT_EQ(a->getIncidentLinkCount() + c->getIncidentLinkCount(), 0u);

    // A list of a huge fan emptied from its tail: each removal takes constant time.
    constexpr int kEdges = 200000;
    std::vector<FEMeshEdgeC*> fan;
    for (int i = 0; i < kEdges; ++i) {
        fan.push_back(part.createEdge());
        part.appendIncidentEdge(v, fan.back());
    }
    const auto start = ThreadCpuClock::now();
    for (int i = kEdges - 1; i >= 0; --i)
        ASSERT_TRUE(part.removeIncidentEdge(v, fan[size_t(i)]));
    const double seconds = std::chrono::duration<double>(ThreadCpuClock::now() - start).count();
    EXPECT_EQ(v->getIncidentEdgeCount(), 0u);
    EXPECT_EQ(v->getFirstIncidence(), nullptr);
    EXPECT_LT(seconds, 2.0);  // milliseconds; searching from the head took about 20 s
}

// Faces that never held information or a mark go with their pool's chunks when the part is
// cleared; once any face held either, every face is let go of one by one. Either way the part
// ends empty with every information released, and builds the same mesh again in the same records.
TEST(FEMeshPart, FacesGoWithTheirChunksOnlyWhileNoneEverHeldAnything)
{
    const std::string built = [] {
        FEMeshPartC part;
        meshtest::buildTorus(part, 60, 90);  // chunks of every size up to the largest
        return meshtest::fingerprint(part);
    }();
    CountedInfo::alive = 0;
    // Once any face of the process held something, every later clear takes the slow way (other
    // tests of this program may have come first).
    const bool heldBefore = FEMeshFaceC::mayHoldAnything();
    enum Held { Nothing, Information, Mark };
    for (Held held : {Nothing, Nothing, Information, Mark}) {
        SCOPED_TRACE(held);
        FEMeshPartC part;
        meshtest::buildTorus(part, 60, 90);
        const FEMeshFaceC* first = part.getFirstFace();
        if (held == Information)  // every face its own
            for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
                f->setFaceInfo(new CountedInfo);
        if (held == Mark)
            part.getLastFace()->setMark(3);
        EXPECT_EQ(FEMeshFaceC::mayHoldAnything(), heldBefore || held != Nothing);
        part.clear();
        EXPECT_EQ(CountedInfo::alive, 0);
        EXPECT_EQ(part.getFaceCount() + part.getEdgeCount() + part.getVertexCount(), 0u);
        EXPECT_EQ(part.getFirstFace(), nullptr);
        meshtest::buildTorus(part, 60, 90);
        EXPECT_EQ(meshtest::fingerprint(part), built);
        EXPECT_EQ(part.getFirstFace(), first);  // the chunks given back are taken again
        EXPECT_EQ(part.getLastFace()->getMark(), 0);
    }
}

TEST(FEMeshPart, RecordsAndTheirHelpers)
{
    FEMeshPartC part;
    hinge(part, 0);
    FEMeshEdgeC* e = edgeBetween(part, Point3Df(0, 0, 0), Point3Df(1, 0, 0));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->getEntityType(), FEMeshPickableEntityC::EDGE);
    EXPECT_EQ(part.getFirstFace()->getEntityType(), FEMeshPickableEntityC::FACE);
    FEMeshVertexC* v = e->getFirstHalfEdge()->getVertex();
    EXPECT_EQ(v->getEntityType(), FEMeshPickableEntityC::VERTEX);
    EXPECT_TRUE(v->hasIncidentEdge(e));
    // Without a first half-edge the ends come from the second.
    FEMeshEdgeC bare;
    EXPECT_EQ(bare.getStartPoint(), Point3Df());
    EXPECT_EQ(bare.getEndPoint(), Point3Df());
    bare.setSecondHalfEdge(e->getFirstHalfEdge());
    EXPECT_EQ(bare.getStartPoint(), e->getEndPoint());
    EXPECT_EQ(bare.getEndPoint(), e->getStartPoint());

    FEMeshPickListEntryC near(e, Point3D(1, 2, 3), 2.0), far(v, Point3D(), 3.0), same(v, Point3D(), 2.0);
    EXPECT_TRUE(near < far);
    EXPECT_FALSE(far < near);
    EXPECT_TRUE(near == same);
    EXPECT_FALSE(near < same || same < near);
    EXPECT_EQ(near.getHitPoint(), Point3Df(1, 2, 3));

    TransformMatrix m;
    m.at(0, 3) = 5;  // translation x
    FEMeshThreadC thread(m, 20, 6, 6, true, 1, 20, 1, 3, 3);
    EXPECT_EQ(thread.getStartPoint(), Point3D(5, 0, 1));
    EXPECT_EQ(thread.getEndPoint(), Point3D(5, 0, 21));
    EXPECT_TRUE(thread.getFlag());
    EXPECT_EQ(thread.getParameter7(), 3.0);

    FEMeshFaceInfoColorC color(0.1f, 0.2f, 0.3f, 1.0f, 7.0f, 0.5f, 0.25f);
    EXPECT_EQ(color.getColor().hue(), 7.0f);  // stored, not recomputed
    EXPECT_EQ(color.getColor().g(), 0.2f);
    FEMeshEdgeInfoC info;
    EXPECT_FALSE(info == info);
}
