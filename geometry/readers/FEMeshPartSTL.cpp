// FEMeshPartC's STL entry points: the part is the importer of the STL reader.
#include "geometry/display/MemoryBlockC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/readers/STLImport.h"
#include "platform/Parallel.h"

// Takes the triangles for the part. Runs of binary records are decoded, wound, given their
// normals and narrowed on several threads; the faces are then built one by one in file order,
// exactly as addTriangle builds them, so the mesh is the one the facet by facet read gives.
class FEMeshPartC::STLRunImporter final : public stlFacetRunImporterI {
public:
    explicit STLRunImporter(FEMeshPartC& part) : part(part) {}

    void beginImport(int estimatedFacetCount) override { part.beginImport(estimatedFacetCount); }
    bool addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3) override
    {
        return part.addTriangle(p1, p2, p3);
    }
    void endImport() override { part.endImport(); }

    bool addFacetRecords(const unsigned char* records, size_t count, bool bigEndian) override
    {
        prepared.resize(count);
        // Only the tolerance is read on the other threads; nothing changes it during the import.
        const FEMeshVertexHashC& hash = part.vertexHash;
        platform::sys::runInPieces(count, platform::sys::piecesFor(count, kFacetsPerPiece),
                                   [&](size_t, size_t begin, size_t end) {
                                       for (size_t i = begin; i < end; ++i)
                                           prepare(records + i * kRecordSize, bigEndian, hash, prepared[i]);
                                   });
        for (size_t i = 0; i < count; ++i) {
            if (i + kLookAhead < count) {
                // The search for these corners misses the cache otherwise: start the loads now.
                for (const FEMeshVertexHashC::Lookup& l : prepared[i + kLookAhead].lookups)
                    part.vertexHash.prefetch(l);
            }
            const Facet& f = prepared[i];
            if (!f.kept)
                continue;
            part.addFaceFromPoints(f.corners, 3, Point3D(f.normal), nullptr, 15.0f, 0, f.lookups);
            part.endFace();
        }
        return true;
    }

private:
    static constexpr size_t kRecordSize = 50;
    static constexpr size_t kFacetsPerPiece = 4096;
    static constexpr size_t kLookAhead = 16;

    struct Facet {
        Point3Df corners[3];
        Point3Df normal;  // the face keeps the normal narrowed: nothing is lost
        FEMeshVertexHashC::Lookup lookups[3];
        bool kept = false;
    };

    static void prepare(const unsigned char* record, bool bigEndian, const FEMeshVertexHashC& hash, Facet& f)
    {
        Point3D c[3];
        f.kept = facetFromRecord(record, bigEndian, c);
        if (!f.kept) {
            f = Facet{};
            return;
        }
        f.normal = Point3Df(windingNormal(c[0], c[1], c[2]));
        for (int k = 0; k < 3; ++k) {
            f.corners[k] = Point3Df(c[k]);
            f.lookups[k] = hash.lookupOf(f.corners[k]);
        }
    }

    FEMeshPartC& part;
    std::vector<Facet> prepared;
};

// A format error (-2) is a failure like any other non-zero result: the caller discards the part.
bool FEMeshPartC::readSTLFromString(const MemoryBlockC& data, float creaseAngle, stlProgressI* progress)
{
    return readSTLFromString(data, creaseAngle, progress, nullptr);
}

bool FEMeshPartC::readSTLFromString(const char* data, size_t size, float /*creaseAngle*/, stlProgressI* progress)
{
    STLRunImporter importer(*this);
    return importSTLString(data, size, &importer, progress, nullptr) == kSTLOk;
}

bool FEMeshPartC::readSTLFromFile(const char* fileName, float /*creaseAngle*/, stlProgressI* progress)
{
    STLRunImporter importer(*this);
    return importSTLFile(fileName, &importer, progress, nullptr) == kSTLOk;
}

bool FEMeshPartC::readSTLFromString(const MemoryBlockC& data, float /*creaseAngle*/, stlProgressI* progress,
                                    ReadStop* stop)
{
    STLRunImporter importer(*this);
    return importSTLString(data.GetData(), data.GetSize(), &importer, progress, stop) == kSTLOk;
}
