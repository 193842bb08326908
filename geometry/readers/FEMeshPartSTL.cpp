// FEMeshPartC's STL entry points: the part is the importer of the STL reader.
#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

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
        // Batches: while the faces of one are built here, a helper thread prepares the next.
        // What the helper has not reached when the building is done, this thread prepares
        // itself, so that a busy machine never leaves the building waiting for long. Only the
        // hash's tolerance is read by the helper; nothing changes it during the import.
        const size_t batches = (count + kBatch - 1) / kBatch;
        const bool helped = platform::sys::workerCount() > 1 && batches > 1;
        // The batches' room is taken here, so that the helper allocates nothing.
        current.reserve(std::min(kBatch, count));
        following.reserve(std::min(kBatch, count));
        Batch first(records, bigEndian, 0, std::min(kBatch, count), current);
        platform::sys::runInPieces(first.pieces(), platform::sys::piecesFor(first.pieces(), 1),
                                   [&](size_t, size_t, size_t) { prepareShare(first); });
        for (size_t b = 0; b < batches; ++b) {
            const size_t next = (b + 1) * kBatch;
            Batch batch(records, bigEndian, next, next < count ? std::min(kBatch, count - next) : 0, following);
            Helper helper;
            if (helped && batch.count > 0) {
                try {
                    helper.thread = std::thread([&] { prepareShare(batch); });
                } catch (const std::system_error&) {
                }
            }
            build(current);
            prepareShare(batch);
            helper.join();
            current.swap(following);
        }
        return true;
    }

private:
    // Joined however the batch's building ends.
    struct Helper {
        std::thread thread;
        void join()
        {
            if (thread.joinable())
                thread.join();
        }
        ~Helper() { join(); }
    };

    static constexpr size_t kRecordSize = 50;
    static constexpr size_t kBatch = 16384;
    static constexpr size_t kPiece = 512;  // facets prepared at a time by one thread
    static constexpr size_t kLookAhead = 16;

    struct Facet {
        Point3Df corners[3];
        Point3Df normal;  // the face keeps the normal narrowed: nothing is lost
        FEMeshVertexHashC::Lookup lookups[3];
        bool kept = false;
    };

    // Facets to prepare, taken a piece at a time by whichever thread comes.
    struct Batch {
        Batch(const unsigned char* records, bool bigEndian, size_t first, size_t count, std::vector<Facet>& into)
            : records(records + first * kRecordSize), bigEndian(bigEndian), count(count), into(into)
        {
            into.resize(count);
        }
        size_t pieces() const { return (count + kPiece - 1) / kPiece; }

        const unsigned char* records;
        bool bigEndian;
        size_t count;
        std::vector<Facet>& into;
        std::atomic<size_t> nextPiece{0};
    };

    void prepareShare(Batch& batch) const
    {
        for (;;) {
            const size_t begin = batch.nextPiece.fetch_add(1) * kPiece;
            if (begin >= batch.count)
                return;
            const size_t end = std::min(begin + kPiece, batch.count);
            for (size_t i = begin; i < end; ++i)
                prepare(batch.records + i * kRecordSize, batch.bigEndian, batch.into[i]);
        }
    }

    // The faces of a prepared batch, in order.
    void build(const std::vector<Facet>& batch)
    {
        const size_t count = batch.size();
        for (size_t i = 0; i < count; ++i) {
            if (i + kLookAhead < count) {
                // The search for these corners misses the cache otherwise: start the loads now.
                for (const FEMeshVertexHashC::Lookup& l : batch[i + kLookAhead].lookups)
                    part.vertexHash.prefetch(l);
            }
            const Facet& f = batch[i];
            if (!f.kept)
                continue;
            part.addFaceFromPoints(f.corners, 3, Point3D(f.normal), nullptr, 15.0f, 0, f.lookups);
            part.endFace();
        }
    }

    void prepare(const unsigned char* record, bool bigEndian, Facet& f) const
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
            part.vertexHash.lookupOf(f.corners[k], f.lookups[k]);
        }
    }

    FEMeshPartC& part;
    std::vector<Facet> current;    // the batch being built
    std::vector<Facet> following;  // the next one, being prepared meanwhile
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
