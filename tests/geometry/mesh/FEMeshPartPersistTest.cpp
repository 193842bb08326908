// Tests of saving and loading a mesh through the record file: equal round trips, a load that
// adds to a part, and damaged records that leave the part as it was.
#include <gtest/gtest.h>

#include <string>

#include "geometry/mesh/FEMeshPartC.h"
#include "services/streams/csrecordfile.h"
#include "tests/geometry/mesh/MeshTestShapes.h"
#include "tests/support/TempDir.h"

using meshtest::fingerprint;

namespace {

constexpr int kMeshTag = 7;

std::string saveToFile(FEMeshPartC& part, const std::string& path)
{
    csrecordfile out(path.c_str(), true);
    EXPECT_TRUE(out.writeHeader("mesh", "test"));
    EXPECT_TRUE(part.save(out, kMeshTag));
    EXPECT_TRUE(out.finishFile());
    EXPECT_TRUE(out.close());
    return TempDir::read(path);
}

// Reads the one mesh record of a file into the part.
bool loadFromFile(FEMeshPartC& part, const std::string& path)
{
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    try {
        if (!in.readHeader(first, second, roots) || in.readRecordHead(tag, count))
            return false;
    } catch (const FileException&) {
        return false;
    }
    return part.load(in, count);
}

// A finalized, smoothed part with sharp and smooth edges, several groups, a hole and a
// non-manifold flag to carry.
void buildSample(FEMeshPartC& part)
{
    meshtest::buildBox(part, 3, 2, 1, true);
    meshtest::buildTorus(part, 12, 8);
    // A square plate with a square hole, away from the rest.
    const Point3D outer[4] = {{200, 0, 0}, {210, 0, 0}, {210, 10, 0}, {200, 10, 0}};
    const Point3D hole[4] = {{203, 3, 0}, {203, 7, 0}, {207, 7, 0}, {207, 3, 0}};
    part.addFace(outer, 4, Point3D(0, 0, 1), nullptr, 15.0f, 9);
    part.addLoop(hole, 4);
    part.endFace();
    part.finalize(-1.0);
    part.smoothNormals();
}

}  // namespace

TEST(FEMeshPartPersistTest, SavedMeshLoadsBackEqual)
{
    TempDir dir;
    FEMeshPartC part;
    buildSample(part);
    const std::string path = dir.file("mesh.rec");
    const std::string text = saveToFile(part, path);
    EXPECT_EQ(text.substr(0, 10), "mesh\ntest\n");

    FEMeshPartC loaded;
    ASSERT_TRUE(loadFromFile(loaded, path));
    EXPECT_EQ(loaded.getFaceCount(), part.getFaceCount());
    EXPECT_EQ(loaded.getEdgeCount(), part.getEdgeCount());
    EXPECT_EQ(loaded.getVertexCount(), part.getVertexCount());
    EXPECT_EQ(part.getFaceCount(), 103u);  // the torus quads merged, six box sides, the plate
    EXPECT_EQ(fingerprint(loaded), fingerprint(part));
    EXPECT_EQ(meshtest::loopChainFaults(loaded), 0);
    EXPECT_TRUE(loaded.isManifold());
    // Numbers come from the loading part's counters.
    EXPECT_EQ(loaded.getFirstFace()->getIndex(), 1);
    EXPECT_EQ(loaded.getNextFaceNumber(), int(part.getFaceCount()) + 1);

    // Saving the loaded part gives the same records but for the renumbered indices; loading
    // it again gives the same mesh.
    const std::string again = dir.file("again.rec");
    saveToFile(loaded, again);
    FEMeshPartC third;
    ASSERT_TRUE(loadFromFile(third, again));
    EXPECT_EQ(fingerprint(third), fingerprint(part));
}

TEST(FEMeshPartPersistTest, LoadAddsToAPartAndCarriesTheManifoldFlag)
{
    TempDir dir;
    FEMeshPartC box;
    meshtest::buildBox(box);
    box.finalize(-1.0);
    const std::string path = dir.file("box.rec");
    saveToFile(box, path);

    // Loading the same box twice: the vertices merge, faces and edges are added.
    FEMeshPartC part;
    ASSERT_TRUE(loadFromFile(part, path));
    ASSERT_TRUE(loadFromFile(part, path));
    EXPECT_EQ(part.getFaceCount(), 12u);
    EXPECT_EQ(part.getEdgeCount(), 24u);
    EXPECT_EQ(part.getVertexCount(), 8u);

    // A part still being built keeps the edges it has at a vertex the load shares: a face
    // added after the load pairs with them as it would without the load in between.
    FEMeshPartC open;
    meshtest::buildBox(open);
    saveToFile(open, path);
    for (bool viaLoad : {false, true}) {
        FEMeshPartC building;
        meshtest::addQuad(building, {1, 2, 1}, {2, 2, 1}, {2, 1, 1}, {1, 1, 1}, {0, 0, -1});
        if (viaLoad)
            ASSERT_TRUE(loadFromFile(building, path));
        else
            meshtest::buildBox(building);
        meshtest::addQuad(building, {1, 2, 1}, {1, 1, 1}, {1, 1, 2}, {1, 2, 2}, {-1, 0, 0});
        EXPECT_EQ(building.getEdgeCount(), 19u) << viaLoad;  // 12 of the box, 4 + 3 of the quads
    }

    // A non-manifold part says so after a round trip.
    FEMeshPartC fins;
    const Point3D a[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const Point3D b[3] = {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
    const Point3D c[3] = {{1, 0, 0}, {0, 0, 0}, {0, -1, 0}};
    for (const Point3D* t : {a, b, c}) {
        fins.addFace(t, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
        fins.endFace();
    }
    ASSERT_FALSE(fins.isManifold());
    saveToFile(fins, path);
    FEMeshPartC loaded;
    ASSERT_TRUE(loadFromFile(loaded, path));
    EXPECT_FALSE(loaded.isManifold());
    // A manifold mesh added to it does not make the whole part manifold.
    saveToFile(box, path);
    ASSERT_TRUE(loadFromFile(loaded, path));
    EXPECT_EQ(loaded.getFaceCount(), 9u);
    EXPECT_FALSE(loaded.isManifold());
}

TEST(FEMeshPartPersistTest, TruncatedRecordsLeaveThePartAsItWas)
{
    TempDir dir;
    FEMeshPartC source;
    buildSample(source);
    const std::string text = saveToFile(source, dir.file("full.rec"));

    FEMeshPartC part;
    meshtest::buildBox(part);
    part.finalize(-1.0);
    const std::string before = fingerprint(part);
    const int faceNumber = part.getNextFaceNumber(), edgeNumber = part.getNextEdgeNumber();
    const int vertexNumber = part.getNextVertexNumber();
    int refused = 0;
    for (size_t cut = 10; cut < text.size(); cut += text.size() / 53 + 1) {
        const std::string path = dir.write("cut.rec", text.substr(0, cut));
        EXPECT_FALSE(loadFromFile(part, path)) << cut;
        ++refused;
    }
    EXPECT_GT(refused, 50);
    EXPECT_EQ(fingerprint(part), before);
    EXPECT_EQ(part.getNextFaceNumber(), faceNumber);
    EXPECT_EQ(part.getNextEdgeNumber(), edgeNumber);
    EXPECT_EQ(part.getNextVertexNumber(), vertexNumber);
}

TEST(FEMeshPartPersistTest, LinksToMissingRecordsAreRefused)
{
    TempDir dir;
    // One triangle whose half-edges name edge `edgeOf` and vertex `vertexOf` for their first corner.
    auto write = [&](int edgeOf, int vertexOf, int side) {
        const std::string path = dir.file("hand.rec");
        csrecordfile out(path.c_str(), true);
        out.writeHeader("", "");
        out.beginRecord(kMeshTag);
        out.beginRecord(5001);
        for (int e = 1; e <= 3; ++e) {
            out.beginRecord(5002);
            out.writeInt(5010, 0);
            out.writeInt(5011, e);
            out.endRecord();
        }
        out.endRecord();
        out.beginRecord(5012);
        for (int v = 1; v <= 3; ++v) {
            out.beginRecord(5013);
            out.writeDouble(5014, v == 2 ? 1.0 : 0.0);
            out.writeDouble(5015, v == 3 ? 1.0 : 0.0);
            out.writeDouble(5016, 0.0);
            out.writeInt(5017, v);
            out.beginRecord(5018);
            out.endRecord();
            out.endRecord();
        }
        out.endRecord();
        out.beginRecord(5020);
        out.beginRecord(5021);
        out.beginRecord(5030);
        out.beginRecord(5031);
        for (int h = 1; h <= 3; ++h) {
            out.beginRecord(5032);
            out.writeInt(h == 1 ? side : 5036, h == 1 ? edgeOf : h);
            out.writeInt(5038, h == 1 ? vertexOf : h);
            out.endRecord();
        }
        out.endRecord();
        out.endRecord();
        out.endRecord();
        out.endRecord();
        out.writeValue(4999, "an unknown record is skipped");
        out.endRecord();
        out.finishFile();
        return path;
    };
    FEMeshPartC part;
    ASSERT_TRUE(loadFromFile(part, write(1, 1, 5036)));
    EXPECT_EQ(part.getFaceCount(), 1u);
    const std::string before = fingerprint(part);
    const struct {
        int edge, vertex, side;
        const char* what;
    } bad[] = {{99, 1, 5036, "missing edge"}, {1, 99, 5036, "missing vertex"}, {2, 1, 5036, "edge side taken twice"}};
    for (const auto& b : bad) {
        EXPECT_FALSE(loadFromFile(part, write(b.edge, b.vertex, b.side))) << b.what;
        EXPECT_EQ(fingerprint(part), before) << b.what;
    }
    EXPECT_TRUE(loadFromFile(part, write(2, 1, 5037)));  // the second side of edge 2 is free
}
