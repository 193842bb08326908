// FEMeshPartC's STL entry points: the part is the importer of the STL reader.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
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
//
// Most corners repeat a position a facet or two before them. The preparing threads tell each
// corner the first corner of its piece with the very same position; when the vertex the hash
// gave that corner stays the hash's answer (see FEMeshVertexHashC::staysAnswer), the building
// takes it without searching.
class FEMeshPartC::STLRunImporter final : public stlFacetRunImporterI {
public:
    // Passed, when given, is the block the records lie in: what the import has passed is
    // given back run by run.
    explicit STLRunImporter(FEMeshPartC& part, MemoryBlockC* passed = nullptr) : part(part), passed(passed) {}

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
        // A closed mesh has about half as many vertices as triangles: the position grid is
        // made that large at once rather than rehashed at every doubling.
        part.vertexHash().reserve(part.vertexHash().entries() + count / 2);
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
        // Nothing reads these records again.
        if (passed)
            passed->DiscardBefore(reinterpret_cast<const char*>(records + count * kRecordSize));
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
        // The first corner of the piece with the same position as each corner, the corner
        // itself when there is none (numbered 3 facet + corner within the batch).
        uint16_t sameAs[3] = {0, 0, 0};
        bool kept = false;
    };
    static_assert(3 * kBatch <= 65535, "corners of a batch are numbered in 16 bits");

    // The corners of one piece by position: the first corner of each position met.
    struct PieceCorners {
        static constexpr size_t kSlots = 4096;  // a power of two, above the corners of a piece
        static_assert(kSlots > 3 * kPiece, "room for every corner of a piece");
        uint16_t slot[kSlots];  // corner + 1; 0 is free
        void clear() { std::fill(std::begin(slot), std::end(slot), uint16_t(0)); }
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
        PieceCorners seen;
        for (;;) {
            const size_t begin = batch.nextPiece.fetch_add(1) * kPiece;
            if (begin >= batch.count)
                return;
            const size_t end = std::min(begin + kPiece, batch.count);
            seen.clear();
            for (size_t i = begin; i < end; ++i)
                prepare(batch.records + i * kRecordSize, batch.bigEndian, batch.into, i, seen);
        }
    }

    // The faces of a prepared batch, in order.
    void build(const std::vector<Facet>& batch)
    {
        const size_t count = batch.size();
        cornerVertices.resize(3 * count);
        for (size_t i = 0; i < count; ++i) {
            if (i + kLookAhead < count) {
                // The search for these corners misses the cache otherwise: start the loads now
                // (for the corners that will search).
                const Facet& ahead = batch[i + kLookAhead];
                for (size_t k = 0; k < 3; ++k)
                    if (ahead.sameAs[k] == 3 * (i + kLookAhead) + k)
                        part.vertexHash().prefetch(ahead.lookups[k]);
            }
            const Facet& f = batch[i];
            if (!f.kept)
                continue;
            FEMeshVertexC* known[3] = {nullptr, nullptr, nullptr};
            for (size_t k = 0; k < 3; ++k) {
                // Only corners of earlier facets have their vertex yet.
                const size_t same = f.sameAs[k];
                if (same < 3 * i && FEMeshVertexHashC::staysAnswer(cornerVertices[same], f.lookups[k]))
                    known[k] = cornerVertices[same];
            }
            const bool built =
                part.addFaceFromPoints(f.corners, 3, Point3D(f.normal), nullptr, 15.0f, 0, f.lookups, known);
            for (size_t k = 0; k < 3; ++k)
                cornerVertices[3 * i + k] = built ? part.scratchVertices()[k] : nullptr;
            part.endFace();
        }
    }

    // Facet i of the batch `into`; the piece's corners met so far are in `seen`.
    void prepare(const unsigned char* record, bool bigEndian, std::vector<Facet>& into, size_t i,
                 PieceCorners& seen) const
    {
        Facet& f = into[i];
        Point3D c[3];
        f.kept = facetFromRecord(record, bigEndian, c);
        if (!f.kept) {
            f = Facet{};
            return;
        }
        f.normal = Point3Df(windingNormal(c[0], c[1], c[2]));
        for (size_t k = 0; k < 3; ++k) {
            f.corners[k] = Point3Df(c[k]);
            const size_t corner = 3 * i + k;
            uint32_t bits[3];
            FEMeshVertexHashC::bitsOf(f.corners[k], bits);
            const uint64_t h = FEMeshVertexHashC::hashOfBits(bits);
            for (size_t s = size_t(h >> 40) & (PieceCorners::kSlots - 1);; s = (s + 1) & (PieceCorners::kSlots - 1)) {
                if (seen.slot[s] == 0) {
                    // The first corner of its position in the piece: it searches.
                    seen.slot[s] = uint16_t(corner + 1);
                    f.sameAs[k] = uint16_t(corner);
                    part.vertexHash().lookupOf(f.corners[k], f.lookups[k]);
                    break;
                }
                const size_t earlier = seen.slot[s] - 1;
                const Facet& e = into[earlier / 3];
                uint32_t earlierBits[3];
                FEMeshVertexHashC::bitsOf(e.corners[earlier % 3], earlierBits);
                if (std::memcmp(earlierBits, bits, sizeof bits) == 0) {
                    f.sameAs[k] = uint16_t(earlier);
                    f.lookups[k] = e.lookups[earlier % 3];
                    break;
                }
            }
        }
    }

    FEMeshPartC& part;
    MemoryBlockC* passed;
    std::vector<Facet> current;    // the batch being built
    std::vector<Facet> following;  // the next one, being prepared meanwhile
    std::vector<FEMeshVertexC*> cornerVertices;  // of the batch being built, by corner
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

bool FEMeshPartC::readSTLConsuming(MemoryBlockC& data, ReadStop* stop)
{
    STLRunImporter importer(*this, &data);
    return importSTLString(data.GetData(), data.GetSize(), &importer, nullptr, stop) == kSTLOk;
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
