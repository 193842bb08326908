// Tests of FEDisplayCornersC: the display corners are the collector's triangles, on any number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/BenchSupport.h"
#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/readers/ZJVReaderC.h"
#include "services/objects/refHandle.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/ScopedEnv.h"

namespace {

std::string samplePath(const char* name)
{
    return (std::filesystem::path(TAVO_SOURCE_DIR) / "samples" / name).string();
}

// Many small faces side by side: squares with a square hole, bow ties whose edges cross (the
// tessellator makes a vertex there), concave L shapes, stars drawn in one stroke with a hole in
// a point (more triangles than corners), and every seventh face coloured.
void holesAndCrossings(FEMeshPartC& part, int count)
{
    refHandle<FEMeshFaceInfoI> red(new FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1));
    for (int k = 0; k < count; ++k) {
        const double x = 3.0 * (k % 100), y = 3.0 * (k / 100);
        auto at = [&](double u, double v) { return Point3D(x + u, y + v, 0.01 * (k % 5)); };
        FEMeshFaceInfoI* info = k % 7 == 3 ? red.get() : nullptr;
        switch (k % 4) {
        case 0: {
            const Point3D outer[] = {at(0, 0), at(2, 0), at(2, 2), at(0, 2)};
            const Point3D hole[] = {at(0.5, 0.5), at(0.5, 1.5), at(1.5, 1.5), at(1.5, 0.5)};
            part.addFace(outer, 4, Point3D(0, 0, 1), info, 15.0f, 0);
            part.addLoop(hole, 4);
            break;
        }
        case 1: {
            const Point3D bowTie[] = {at(0, 0), at(2, 2), at(2, 0), at(0, 2)};
            part.addFace(bowTie, 4, Point3D(0, 0, 1), info, 15.0f, 0);
            break;
        }
        case 2: {
            // A five-pointed star drawn in one stroke, a hole in its top point.
            Point3D star[5];
            for (int i = 0; i < 5; ++i) {
                const double a = 1.5707963267948966 + i * 2.5132741228718345;
                star[i] = at(1 + std::cos(a), 1 + std::sin(a));
            }
            const Point3D hole[] = {at(0.97, 1.55), at(1.03, 1.55), at(1.03, 1.61), at(0.97, 1.61)};
            part.addFace(star, 5, Point3D(0, 0, 1), info, 15.0f, 0);
            part.addLoop(hole, 4);
            break;
        }
        default: {
            const Point3D ell[] = {at(0, 0), at(2, 0), at(2, 1), at(1, 1), at(1, 2), at(0, 2)};
            part.addFace(ell, 6, Point3D(0, 0, 1), info, 15.0f, 0);
            break;
        }
        }
        part.endFace();
    }
}

// Each corner of the display array against the collector's triangle of the same number: the
// collector merges positions and normals within 1e-7, so its corners may be such a distance
// away, and a float may then round the other way.
struct Triangles {
    std::vector<float> corners;
    std::vector<FEDisplayCornersC::ColouredTriangle> coloured;

    void append(const FEDisplayCornersC& c)
    {
        corners.insert(corners.end(), c.data(), c.data() + c.triangles() * FEDisplayCornersC::kFloatsPerTriangle);
        coloured.insert(coloured.end(), c.colouredTriangles().begin(), c.colouredTriangles().end());
    }
};

void expectSameTriangles(const FETriangleCollectorC& collector, const Triangles& corners)
{
    ASSERT_EQ(corners.corners.size(), collector.entries() * FEDisplayCornersC::kFloatsPerTriangle);
    auto close = [](float ours, double theirs) {
        return std::fabs(double(ours) - theirs) <= 1e-7 + 1.2e-7 * std::fabs(theirs);
    };
    size_t coloured = 0;
    for (size_t t = 0; t < collector.entries(); ++t) {
        const FETessTriangleC* tri = collector.triangleAt(t);
        for (int c = 0; c < 3; ++c) {
            const float* f = corners.corners.data() + t * FEDisplayCornersC::kFloatsPerTriangle + c * 6;
            const Point3D& n = tri->getNormal(c);
            const Point3D& p = tri->getPosition(c);
            ASSERT_TRUE(close(f[0], n.x()) && close(f[1], n.y()) && close(f[2], n.z())) << "normal of " << t;
            ASSERT_TRUE(close(f[3], p.x()) && close(f[4], p.y()) && close(f[5], p.z())) << "position of " << t;
        }
        if (const auto* info = dynamic_cast<const FEMeshFaceInfoColorC*>(tri->getFaceInfo())) {
            ASSERT_LT(coloured, corners.coloured.size());
            const FEDisplayCornersC::ColouredTriangle& ct = corners.coloured[coloured++];
            EXPECT_TRUE(ct.color == info->getColor());
            for (int c = 0; c < 3; ++c) {
                EXPECT_LE((ct.positions[c] - tri->getPosition(c)).length(), 2e-7);
                EXPECT_LE((ct.normals[c] - tri->getNormal(c)).length(), 2e-7);
            }
        }
    }
    EXPECT_EQ(coloured, corners.coloured.size());
}

}  // namespace

TEST(FEDisplayCornersCTest, CornersAreTheCollectorsTrianglesOnOneThreadAndOnMany)
{
    struct Case {
        const char* name;
        std::function<void(FEMeshPartC&)> build;
    };
    const Case cases[] = {
        {"torus", [](FEMeshPartC& p) { benchsupport::buildTorus(p, 160, 80); }},
        {"gear", [](FEMeshPartC& p) { benchsupport::buildGear(p, 6000); }},
        {"holes and crossings", [](FEMeshPartC& p) { holesAndCrossings(p, 9000); }},
        {"bracket sample",
         [](FEMeshPartC& p) { ASSERT_TRUE(p.readSTLFromFile(samplePath("bracket.stl").c_str(), 15.0f, nullptr)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FEMeshPartC part;
        c.build(part);
        part.finalize(-1.0);
        part.smoothNormals();
        FETriangleCollectorC collector(16384);
        part.triangulate(&collector);
        ASSERT_GT(collector.entries(), 0u);
        for (const char* threads : {"1", "3", "16"}) {
            SCOPED_TRACE(threads);
            ScopedEnv env("TAVOPLEX_THREADS", threads);
            FEDisplayCornersC corners;
            ASSERT_TRUE(corners.fromFaces(part.getFirstFace()));
            Triangles whole;
            whole.append(corners);
            expectSameTriangles(collector, whole);
        }
        // Runs of faces one after the other give the triangles of the whole list.
        const std::vector<FEMeshFaceC*> faces = FEDisplayCornersC::faceList(part.getFirstFace());
        Triangles runs;
        for (size_t begin = 0; begin < faces.size(); begin += 5000) {
            FEDisplayCornersC corners;
            ASSERT_TRUE(corners.fromFaces(faces.data() + begin, std::min<size_t>(5000, faces.size() - begin)));
            runs.append(corners);
        }
        expectSameTriangles(collector, runs);
    }
}

TEST(FEDisplayCornersCTest, GearSampleKeepsItsColouredTriangles)
{
    const std::string path = samplePath("gear.zip");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "samples not found beside the sources";
    ZJVReaderC reader;
    ASSERT_TRUE(reader.loadFile(path.c_str()));
    FEDisplayPartListC list;
    reader.parse(&list);
    ASSERT_EQ(list.partCount(), 1u);
    FEDisplayPartC* part = list.getPart(0);
    FETriangleCollectorC collector(16384);
    part->triangulate(&collector);
    FEDisplayCornersC corners;
    ASSERT_TRUE(corners.fromFaces(part->getFirstFace()));
    EXPECT_GT(corners.colouredTriangles().size(), 0u);
    Triangles whole;
    whole.append(corners);
    expectSameTriangles(collector, whole);
    // Nothing stays from an earlier list of faces.
    ASSERT_TRUE(corners.fromFaces(nullptr));
    EXPECT_EQ(corners.triangles(), 0u);
    EXPECT_TRUE(corners.colouredTriangles().empty());
}

TEST(FEDisplayCornersCTest, RunningOutOfMemoryInsideTheTessellatorLeavesNothingBehind)
{
    // Stars with a hole in a point give more triangles than the array first holds, so the
    // tessellator's own output asks for more room, which is refused.
    FEMeshPartC part;
    for (int k = 0; k < 100; ++k) {
        Point3D star[5];
        for (int i = 0; i < 5; ++i) {
            const double a = 1.5707963267948966 + i * 2.5132741228718345;
            star[i] = Point3D(3.0 * k + 1 + std::cos(a), 1 + std::sin(a), 0);
        }
        const Point3D hole[] = {Point3D(3.0 * k + 0.97, 1.55, 0), Point3D(3.0 * k + 1.03, 1.55, 0),
                                Point3D(3.0 * k + 1.03, 1.61, 0), Point3D(3.0 * k + 0.97, 1.61, 0)};
        part.addFace(star, 5, Point3D(0, 0, 1), nullptr, 15.0f, 0);
        part.addLoop(hole, 4);
        part.endFace();
    }
    part.finalize(-1.0);
    FETriangleCollectorC collector(16384);
    part.triangulate(&collector);
    ASSERT_EQ(collector.entries(), 1100u);

    ScopedEnv env("TAVOPLEX_THREADS", "1");
    FEDisplayCornersC corners;
    {
        // The first array (9 triangles a star, 648 bytes) is granted, twice as much is not.
        failingallocation::Scope scope(100 * 1024);
        EXPECT_THROW(corners.fromFaces(part.getFirstFace()), std::bad_alloc);
    }
    EXPECT_EQ(corners.triangles(), 0u);
    ASSERT_TRUE(corners.fromFaces(part.getFirstFace()));
    Triangles whole;
    whole.append(corners);
    expectSameTriangles(collector, whole);
}
