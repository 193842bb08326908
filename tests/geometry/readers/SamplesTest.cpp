// The demo models in samples/ read cleanly: the bracket as STL, the gear and the assembly as ZJV in ZIP.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/readers/ZJVReaderC.h"
#include "services/objects/refHandle.h"

namespace {

std::string samplePath(const char* name)
{
    return (std::filesystem::path(__FILE__).parent_path() / "../../../samples" / name).lexically_normal().string();
}

}  // namespace

TEST(Samples, BracketReadsAsClosedBinarySTL)
{
    const std::string path = samplePath("bracket.stl");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "samples not found beside the sources";
    refHandle<FEDisplayPartC> part(new FEDisplayPartC);
    ASSERT_TRUE(part->readSTLFromFile(path.c_str(), 15.0f, nullptr));
    part->finalize(-1.0);
    part->smoothNormals();
    EXPECT_GT(part->getFaceCount(), 10u);
    Point3D lo, hi;
    EXPECT_TRUE(part->getBoundingBox(lo, hi));
    EXPECT_NEAR(lo.y(), -6.0, 1e-4);
    EXPECT_NEAR(hi.x(), 80.0, 1e-4);
    EXPECT_NEAR(hi.z(), 40.0, 1e-4);
}

TEST(Samples, GearAndAssemblyReadFromTheirArchives)
{
    struct Case {
        const char* file;
        size_t parts;
        size_t instances;
        size_t threads;  // over all parts
    };
    const Case cases[] = {{"gear.zip", 1, 1, 0}, {"assembly.zip", 4, 5, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = samplePath(c.file);
        if (!std::filesystem::exists(path))
            GTEST_SKIP() << "samples not found beside the sources";
        ZJVReaderC reader;
        ASSERT_TRUE(reader.loadFile(path.c_str()));
        FEDisplayPartListC list;
        reader.parse(&list);
        EXPECT_EQ(list.partCount(), c.parts);
        EXPECT_EQ(list.instanceCount(), c.instances);
        size_t threads = 0;
        for (size_t i = 0; i < list.partCount(); ++i) {
            FEDisplayPartC* part = list.getPart(i);
            EXPECT_GT(part->getFaceCount(), 0u) << part->getName().data();
            EXPECT_FALSE(part->getMID().isNull());
            threads += part->getThreads().entries();
        }
        EXPECT_EQ(threads, c.threads);
        // Gears carry coloured tooth tips.
        bool coloured = false;
        for (FEMeshFaceC* f = list.getPart(c.parts - 1)->getFirstFace(); f; f = f->getNext())
            coloured = coloured || f->getFaceInfo() != nullptr;
        EXPECT_TRUE(coloured);
    }
}
