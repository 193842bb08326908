// Fuzz target: the STL reader (text or binary, decided by the reader) from memory, into a
// counting importer or into a mesh part, which then is finalised.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzCheck.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/readers/STLImport.h"

namespace {

// Counts what it is given and stops after a chosen number of triangles.
class CountingImporter : public stlImporterI {
public:
    explicit CountingImporter(int stopAfter) : stopAfter(stopAfter) {}
    void beginImport(int) override { ++begins; }
    bool addTriangle(const Point3D&, const Point3D&, const Point3D&) override
    {
        FUZZ_CHECK(begins == 1 && ends == 0);  // triangles come between begin and end
        return ++triangles != stopAfter;
    }
    void endImport() override { ++ends; }

    int stopAfter;
    int begins = 0;
    int ends = 0;
    int triangles = 0;
};

class Progress : public stlProgressI {
public:
    void reportProgress(float percent) override
    {
        FUZZ_CHECK(!std::isnan(percent) && percent >= 0.0f && percent <= 100.0f);
    }
};

} // namespace

// Input: a choice byte (bit 0: into a mesh part; bit 1: with a progress receiver; the rest: a
// triangle count to stop after, 0 for never), then the STL data.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    const char* stl = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    Progress progress;
    stlProgressI* receiver = (choice & 2) ? &progress : nullptr;

    if (choice & 1) {
        FEMeshPartC part;
        const bool read = part.readSTLFromString(stl, length, 15.0f, receiver);
        // The part's own read (in runs of facets, without a receiver) builds what the facet by
        // facet read builds.
        FEMeshPartC plain;
        const int result = importSTLString(stl, length, static_cast<stlImporterI*>(&plain), nullptr, nullptr);
        FUZZ_CHECK(read == (result == kSTLOk));
        FUZZ_CHECK(part.getNextVertexNumber() == plain.getNextVertexNumber() &&
                   part.getNextEdgeNumber() == plain.getNextEdgeNumber() &&
                   part.getNextFaceNumber() == plain.getNextFaceNumber() && part.isManifold() == plain.isManifold());
        for (FEMeshEdgeC *e = part.getFirstEdge(), *f = plain.getFirstEdge(); e || f; e = e->getNext(), f = f->getNext())
            FUZZ_CHECK(e && f && e->getIndex() == f->getIndex() && e->isSmooth() == f->isSmooth() &&
                       (e->getSecondHalfEdge() == nullptr) == (f->getSecondHalfEdge() == nullptr));
        if (read)
            part.finalize(-1.0);
        return 0;
    }
    CountingImporter importer(choice >> 2);
    const int result = importSTLString(stl, length, &importer, receiver);
    FUZZ_CHECK(result == kSTLOk || result == kSTLFormatError);
    // A run that reached the importer begins and ends once.
    FUZZ_CHECK(importer.begins == importer.ends && importer.begins <= 1);
    return 0;
}
