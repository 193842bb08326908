// Guards the results of the model pipeline against speed work: fingerprints of finalized and smoothed
// meshes, taken before the speed work, must stay the same. So must those of their display triangles,
// except for flat faces of many corners, which the sweep cuts into other triangles of the same face.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "tests/support/ScopedEnv.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class Fingerprint {
public:
    template <class T>
    void add(const T& value)
    {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (unsigned char b : bytes)
            h = (h ^ b) * 1099511628211ull;
    }
    void add(const Point3Df& p) { add(p.x()), add(p.y()), add(p.z()); }
    void add(const Point3D& p) { add(p.x()), add(p.y()), add(p.z()); }
    uint64_t value() const { return h; }

private:
    uint64_t h = 1469598103934665603ull;
};

// Everything finalize and smoothNormals decide: vertices in hash order, edges in list order with
// their smooth flags, faces in list order with their loops, corners and corner normals.
uint64_t meshFingerprint(FEMeshPartC& part)
{
    Fingerprint f;
    part.renumber();
    for (FEMeshVertexC* v = part.getVertexHash().first(); v; v = part.getVertexHash().next()) {
        f.add(v->getPosition());
        f.add(v->getOutgoingHalfEdge() != nullptr);
    }
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        f.add(e->isSmooth());
        f.add(e->getStartPoint());
        f.add(e->getEndPoint());
        f.add(e->getSecondHalfEdge() != nullptr);
    }
    for (FEMeshFaceC* face = part.getFirstFace(); face; face = face->getNext()) {
        f.add(face->getNormal());
        f.add(face->getGroupId());
        for (FEMeshLoopC* l = face->getFirstLoop(); l; l = l->getNext()) {
            f.add(-1);
            FEMeshHalfEdgeC* h = l->getFirstHalfEdge();
            if (!h)
                continue;
            do {
                f.add(h->getVertex()->getIndex());
                f.add(h->getNormal());
                f.add(h->getEdge() ? h->getEdge()->getIndex() : -1);
                h = h->getNext();
            } while (h != l->getFirstHalfEdge());
        }
    }
    return f.value();
}

// The display triangles in emission order: corner positions, normals and face numbers.
uint64_t triangleFingerprint(FEMeshPartC& part)
{
    FETriangleCollectorC collector(4096);
    part.triangulate(&collector);
    collector.numberAll();
    Fingerprint f;
    f.add(collector.entries());
    f.add(collector.getPositionHash().entries());
    f.add(collector.getNormalHash().entries());
    for (auto it = collector.getTriangleIterator(); ++it;) {
        const FETessTriangleC* t = it.key();
        for (int c = 0; c < 3; ++c) {
            f.add(t->getPosition(c));
            f.add(t->getNormal(c));
            f.add(t->getPositionNode(c)->getIndex());
            f.add(t->getNormalNode(c)->getIndex());
        }
        f.add(t->getFaceNumber());
    }
    return f.value();
}

void torus(FEMeshPartC& part, int rings, int segments)
{
    auto point = [&](int i, int j) {
        const double u = 2.0 * kPi * (i % rings) / rings, v = 2.0 * kPi * (j % segments) / segments;
        const double r = 50.0 + 20.0 * std::cos(v);
        return Point3D(r * std::cos(u), r * std::sin(u), 20.0 * std::sin(v));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            part.addTriangle(point(i, j), point(i + 1, j), point(i + 1, j + 1));
            part.addTriangle(point(i, j), point(i + 1, j + 1), point(i, j + 1));
        }
}

// Top and bottom fanned from their centres (one big flat face each after finalize), teeth walls.
void gear(FEMeshPartC& part, int points)
{
    auto rim = [&](int k, double z) {
        const double a = 2.0 * kPi * (k % points) / points;
        const double r = std::fmod(a * 20 / (2.0 * kPi), 1.0) < 0.5 ? 40.0 : 44.0;
        return Point3D(r * std::cos(a), r * std::sin(a), z);
    };
    for (int k = 0; k < points; ++k) {
        part.addTriangle(Point3D(0, 0, 10), rim(k, 10), rim(k + 1, 10));
        part.addTriangle(rim(k, 0), rim(k + 1, 0), rim(k + 1, 10));
        part.addTriangle(rim(k, 0), rim(k + 1, 10), rim(k, 10));
        part.addTriangle(Point3D(0, 0, 0), rim(k + 1, 0), rim(k, 0));
    }
}

// The gear with some wall triangles flipped and some doubled: straight vertices next to broken
// rings.
void brokenGear(FEMeshPartC& part, int points)
{
    auto rim = [&](int k, double z) {
        const double a = 2.0 * kPi * (k % points) / points;
        const double r = std::fmod(a * 20 / (2.0 * kPi), 1.0) < 0.5 ? 40.0 : 44.0;
        return Point3D(r * std::cos(a), r * std::sin(a), z);
    };
    for (int k = 0; k < points; ++k) {
        part.addTriangle(Point3D(0, 0, 10), rim(k, 10), rim(k + 1, 10));
        if (k % 97 == 5)
            part.addTriangle(rim(k, 0), rim(k + 1, 10), rim(k + 1, 0));
        else
            part.addTriangle(rim(k, 0), rim(k + 1, 0), rim(k + 1, 10));
        part.addTriangle(rim(k, 0), rim(k + 1, 10), rim(k, 10));
        if (k % 89 == 3)
            part.addTriangle(rim(k, 0), rim(k + 1, 10), rim(k, 10));
        part.addTriangle(Point3D(0, 0, 0), rim(k + 1, 0), rim(k, 0));
    }
}

// A flat cone: its mantle triangles merge with their neighbours under a coarse tolerance, its base
// around the centre; both hubs have the valence of the rim.
void flatCone(FEMeshPartC& part, int n)
{
    auto rim = [&](int k) {
        const double a = 2.0 * kPi * (k % n) / n;
        return Point3D(30.0 * std::cos(a), 30.0 * std::sin(a), 0.0);
    };
    for (int k = 0; k < n; ++k)
        part.addTriangle(Point3D(0, 0, 5), rim(k), rim(k + 1));
    for (int k = 0; k < n; ++k)
        part.addTriangle(Point3D(0, 0, 0), rim(k + 1), rim(k));
}

// Two smooth cones base to base, each apex a closed fan of n faces, their triangles given in turn
// so that both fans run through the whole face list.
void bicone(FEMeshPartC& part, int n)
{
    auto rim = [&](int k) {
        const double a = 2.0 * kPi * (k % n) / n;
        return Point3D(30.0 * std::cos(a), 30.0 * std::sin(a), 0.0);
    };
    for (int k = 0; k < n; ++k) {
        part.addTriangle(Point3D(0, 0, 40), rim(k), rim(k + 1));
        part.addTriangle(Point3D(0, 0, -40), rim(k + 1), rim(k));
    }
}

// A flat fan around a hub whose rim zigzags in and out: it merges into one star-shaped face.
void zigzagFan(FEMeshPartC& part, int n)
{
    auto rim = [&](int k) {
        const double a = kPi * k / n, r = (k % 2) ? 103.0 : 100.0;
        return Point3D(r * std::cos(a), r * std::sin(a), 0);
    };
    for (int k = 0; k < n; ++k)
        part.addTriangle(Point3D(0, 0, 0), rim(k), rim(k + 1));
}

// A plate of cells each cut into two triangles with a hole cell every third: holes, islands and
// straight vertices along the sides.
void perforatedPlate(FEMeshPartC& part, int cols, int rows)
{
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j) {
            if ((i * 7 + j * 3) % 5 == 0)
                continue;
            const Point3D a(i, j, 0), b(i + 1, j, 0), c(i + 1, j + 1, 0), d(i, j + 1, 0);
            part.addTriangle(a, b, c);
            part.addTriangle(a, c, d);
        }
}

// Closed tetrahedra with one edge split at its middle (a straight vertex once the halves of the
// two faces beside it merge) among loose triangles (three corners that fail the straight test):
// `loose` loose triangles for each tetrahedron, all over the hash's order.
void splitTetrahedraAmongLooseTriangles(FEMeshPartC& part, int n, int loose)
{
    for (int k = 0; k < n; ++k) {
        const double x = (k % 100) * 4.0, y = (k / 100) * 4.0;
        const Point3D p0(x, y, 0), p1(x + 2, y, 0), p2(x + 1, y + 2, 0), p3(x + 1, y + 1, 2), m(x + 1, y, 0);
        part.addTriangle(p0, m, p2);
        part.addTriangle(m, p1, p2);
        part.addTriangle(p0, p3, m);
        part.addTriangle(p3, p1, m);
        part.addTriangle(p1, p3, p2);
        part.addTriangle(p2, p3, p0);
        for (int t = 0; t < loose; ++t) {
            const double z = 5.0 + 2.0 * t;
            part.addTriangle(Point3D(x, y, z), Point3D(x + 1, y, z), Point3D(x, y + 1, z + 0.5));
        }
    }
}

// Closed tetrahedra whose edge p0-p1 is bent through two vertices m1 and m2, among loose
// triangles as above. m1 is straight, m2 is not until m1 is gone: the line from p0 then runs
// straight through m2. Whether the walk comes to m2 before or after m1 depends on the hash.
void bentTetrahedraAmongLooseTriangles(FEMeshPartC& part, int n, int loose)
{
    // Angles against the tolerance of about 0.00447: m1 bends by 0.001, m2 by 0.0048 at first
    // and by 0.0043 once m1 is gone.
    const double b = 0.0043 / 1.5, a = (b - 0.001) / 2;
    auto face = [&](std::initializer_list<Point3D> ring) {
        const std::vector<Point3D> corners(ring);
        const Point3D normal = crossProduct(corners[1] - corners[0], corners.back() - corners[0]).normalized();
        part.addFace(corners.data(), int(corners.size()), normal, nullptr, 15.0f, 0);
        part.endFace();
    };
    for (int k = 0; k < n; ++k) {
        // Packed in three directions, so that the coordinates stay small against the bends.
        const double x = (k % 20) * 4.0, y = (k / 20 % 20) * 4.0, z = (k / 400) * 4.0;
        const Point3D p0(x, y, z), p1(x + 3, y, z), p2(x + 1.5, y + 3, z), p3(x + 1.5, y + 1, z + 3);
        const Point3D m1(x + 1, y + a, z), m2(x + 2, y + b, z);
        face({p0, p2, p1, m2, m1});
        face({p0, m1, m2, p1, p3});
        face({p1, p2, p3});
        face({p0, p3, p2});
        for (int t = 0; t < loose; ++t) {
            const double h = z + 0.5 + 0.6 * t;
            part.addTriangle(Point3D(x + 3.5, y, h), Point3D(x + 3.9, y, h), Point3D(x + 3.5, y + 0.4, h + 0.2));
        }
    }
}

// A flat plate of cells in two groups, all in one plane, so that merging makes large faces: cells
// left out (holes the merged faces ring round, cut off as loops of their own), squares with a
// hole, fins, flipped and half-covered cells, cells of four triangles round a middle vertex.
void patchworkPlate(FEMeshPartC& part, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, 13), group(0, 1);
    auto at = [](double i, double j) { return Point3D(i, j, 0); };
    auto triangle = [&](const Point3D& a, const Point3D& b, const Point3D& c) {
        const Point3D corners[] = {a, b, c};
        part.addFace(corners, 3, Point3D(0, 0, 1), nullptr, 15.0f, group(rng));
        part.endFace();
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const Point3D a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            const Point3D m = at(i + .5, j + .5);
            switch (pick(rng)) {
            case 0: {
                const Point3D outer[] = {a, b, c, d};
                const Point3D hole[] = {at(i + .3, j + .3), at(i + .3, j + .7), at(i + .7, j + .7), at(i + .7, j + .3)};
                part.addFace(outer, 4, Point3D(0, 0, 1), nullptr, 15.0f, 0);
                part.addLoop(hole, 4);
                part.endFace();
                break;
            }
            case 1:
            case 2:
                break;  // left out
            case 3:
                triangle(a, c, Point3D(i + .5, j + .5, 1));  // a fin on the diagonal
                triangle(a, b, c);
                triangle(a, c, d);
                break;
            case 4:
                triangle(a, c, b);  // flipped
                triangle(a, c, d);
                break;
            case 5:
                triangle(a, b, c);  // twice
                triangle(a, b, c);
                triangle(a, c, d);
                break;
            case 6:
                triangle(a, b, m);
                triangle(b, c, m);
                triangle(c, d, m);
                triangle(d, a, m);
                break;
            case 7:
                triangle(a, b, c);  // half covered
                break;
            default:
                triangle(a, b, c);
                triangle(a, c, d);
            }
        }
}

// Hostile input: a rumpled grid with duplicated, flipped, sliver and collapsed triangles.
void soup(FEMeshPartC& part, int n)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, 99);
    auto height = [](int i, int j) { return ((i * 31 + j * 17) % 7 == 0) ? 0.5 : 0.0; };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const Point3D a(i, j, height(i, j)), b(i + 1, j, height(i + 1, j)), c(i + 1, j + 1, height(i + 1, j + 1)),
                d(i, j + 1, height(i, j + 1));
            const int r = pick(rng);
            if (r < 5)
                part.addTriangle(a, c, b);  // flipped
            else
                part.addTriangle(a, b, c);
            if (r >= 5 && r < 9)
                part.addTriangle(a, b, c);  // duplicate
            if (r == 10)
                part.addTriangle(a, a, c);  // collapsed
            if (r == 11)
                part.addTriangle(a, b, Point3D(i + 2, j, height(i + 2, j)));  // sliver along the row
            part.addTriangle(a, c, d);
        }
}

// Cells of three groups in a slightly rumpled plane (normals apart by about the tolerance, so
// which pairs compare equal depends on the order of merging), some of them squares with a hole,
// some with a fin on their diagonal (an edge of three faces) or a duplicated or flipped triangle.
void mixedPlate(FEMeshPartC& part, int n, double rumple)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, 9), group(0, 2);
    std::uniform_real_distribution<double> dz(-rumple, rumple);
    std::vector<double> z(size_t(n + 1) * (n + 1));
    for (double& v : z)
        v = dz(rng);
    auto at = [&](int i, int j) { return Point3D(i, j, z[size_t(i) * (n + 1) + j]); };
    auto triangle = [&](const Point3D& a, const Point3D& b, const Point3D& c) {
        const Point3D corners[] = {a, b, c};
        part.addFace(corners, 3, crossProduct(b - a, c - a).normalized(), nullptr, 15.0f, group(rng));
        part.endFace();
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int kind = pick(rng);
            if (kind == 0) {
                const Point3D outer[] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
                const Point3D hole[] = {Point3D(i + .3, j + .3, 0), Point3D(i + .3, j + .7, 0),
                                        Point3D(i + .7, j + .7, 0), Point3D(i + .7, j + .3, 0)};
                part.addFace(outer, 4, Point3D(0, 0, 1), nullptr, 15.0f, group(rng));
                part.addLoop(hole, 4);
                part.endFace();
                continue;
            }
            if (kind == 1)
                triangle(at(i, j), at(i + 1, j + 1), Point3D(i + .5, j + .5, 1));
            else if (kind == 2)
                triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            else if (kind == 3)
                triangle(at(i, j), at(i + 1, j + 1), at(i + 1, j));
            triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
}

struct Case {
    const char* name;
    void (*build)(FEMeshPartC&);
    double tolerance;
    unsigned fanThreshold;
    uint64_t mesh;
    uint64_t triangles;
};

TEST(FEMeshPipelineResults, FinalizedSmoothedAndTriangulatedMeshesKeepTheirFingerprints)
{
    const Case cases[] = {
        {"torus", [](FEMeshPartC& p) { torus(p, 60, 30); }, -1.0, 64, 6941730745032456885ull, 1043007157333320251ull},
        {"gear", [](FEMeshPartC& p) { gear(p, 2000); }, -1.0, 64, 2083923735983395048ull, 5907170239290963299ull},
        {"flat cone", [](FEMeshPartC& p) { flatCone(p, 6000); }, 1e-3, 64, 1052842630834457430ull, 10539046649992485119ull},
        {"flat cone, small fan indexes", [](FEMeshPartC& p) { flatCone(p, 3000); }, 1e-3, 4, 11164638690091661710ull, 14832273527500065415ull},
        {"zigzag fan", [](FEMeshPartC& p) { zigzagFan(p, 3000); }, -1.0, 64, 15795588589979244473ull, 15080330161675855218ull},
        {"fine gear, walls merged", [](FEMeshPartC& p) { gear(p, 40000); }, 2e-4, 64, 5780531601294227271ull, 17042630566452841600ull},
        {"broken fine gear", [](FEMeshPartC& p) { brokenGear(p, 30000); }, 2e-4, 64, 11296590980561515068ull, 17240920476720582287ull},
        {"perforated plate", [](FEMeshPartC& p) { perforatedPlate(p, 40, 30); }, -1.0, 64, 40033418572030147ull, 3737057170545360834ull},
        {"soup", [](FEMeshPartC& p) { soup(p, 40); }, -1.0, 64, 10775597082093914474ull, 15468243788859916201ull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FEMeshPartC part;
        part.setFanIndexThreshold(c.fanThreshold);
        c.build(part);
        part.finalize(c.tolerance);
        part.smoothNormals();
        EXPECT_EQ(meshFingerprint(part), c.mesh);
        EXPECT_EQ(triangleFingerprint(part), c.triangles);
    }
}

// The shortcuts of finalize and smoothing (a memo of the merge walks, work cut into pieces for
// several threads) must give what the plain serial passes give, on meshes large enough to be cut.
TEST(FEMeshPipelineResults, ShortcutsAndThreadsGiveThePlainResults)
{
    struct Big {
        const char* name;
        void (*build)(FEMeshPartC&);
        double tolerance;
    };
    // The merge memo gives up when the records of a part lie far apart, as they may once parts
    // before it have been freed: the cases that exercise it come first.
    const Big cases[] = {
        // Walks that drop entries of edges deleted in earlier walks before the next walk starts.
        {"patchwork plate, across groups",
         [](FEMeshPartC& p) {
             p.setMergeAcrossGroups(true);
             patchworkPlate(p, 100, 8);
         },
         -1.0},
        {"torus", [](FEMeshPartC& p) { torus(p, 400, 200); }, -1.0},
        {"fine gear, walls merged", [](FEMeshPartC& p) { gear(p, 40000); }, 2e-4},
        {"flat cone", [](FEMeshPartC& p) { flatCone(p, 80000); }, 1e-3},
        {"zigzag fan", [](FEMeshPartC& p) { zigzagFan(p, 60000); }, -1.0},
        {"smooth bicone", [](FEMeshPartC& p) { bicone(p, 20000); }, -1.0},
        {"perforated plate", [](FEMeshPartC& p) { perforatedPlate(p, 240, 160); }, -1.0},
        {"soup", [](FEMeshPartC& p) { soup(p, 260); }, -1.0},
        // Long passes of the straight walk in which most candidates fail.
        {"split tetrahedra among loose triangles",
         [](FEMeshPartC& p) { splitTetrahedraAmongLooseTriangles(p, 12000, 2); }, 1e-4},
        // Candidates tested ahead that a removal on the way makes straight.
        {"bent tetrahedra among loose triangles",
         [](FEMeshPartC& p) { bentTetrahedraAmongLooseTriangles(p, 12000, 2); }, 1e-4},
        {"mixed plate, rumpled", [](FEMeshPartC& p) { mixedPlate(p, 130, 2e-4); }, 1e-4},
        {"mixed plate, flat, across groups",
         [](FEMeshPartC& p) {
             p.setMergeAcrossGroups(true);
             mixedPlate(p, 130, 0.0);
         },
         -1.0},
    };
    struct Way {
        const char* threads;
        size_t memoThreshold;
        unsigned chainsAbreast;
    };
    const Way plain{"1", SIZE_MAX, 1};
    const Way ways[] = {{"8", 0, 8}, {"1", SIZE_MAX, 3}};
    auto run = [](const Big& c, const Way& w) {
        ScopedEnv threads("TAVOPLEX_THREADS", w.threads);
        FEMeshPartC part;
        part.setMergeMemoThreshold(w.memoThreshold);
        part.setChainsAbreast(w.chainsAbreast);
        c.build(part);
        part.finalize(c.tolerance);
        part.smoothNormals();
        part.smoothNormals();  // a second pass gives the same normals
        return meshFingerprint(part);
    };
    for (const Big& c : cases) {
        SCOPED_TRACE(c.name);
        const uint64_t expected = run(c, plain);
        for (const Way& w : ways) {
            SCOPED_TRACE(testing::Message() << w.threads << " threads, " << w.chainsAbreast << " chains abreast");
            EXPECT_EQ(run(c, w), expected);
        }
    }
}

}  // namespace
