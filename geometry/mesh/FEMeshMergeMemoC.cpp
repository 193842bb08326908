// FEMeshMergeMemoC: describing the edges of a part in parallel and marking deleted records.
#include "geometry/mesh/FEMeshMergeMemoC.h"

#include <algorithm>
#include <array>

#include "geometry/mesh/FEMeshTopology.h"
#include "geometry/mesh/FEMeshVertexHashC.h"
#include "platform/Parallel.h"

namespace {

// Edges are described in pieces of at least this many; so are the entries looked over before a
// walk, since after a walk that merged much most of them are described again.
constexpr size_t kEdgesPerPiece = 16384;
// The deletion marks take a bit per 4 bytes of the records' range; a range wider than this many
// bytes per record (records of other parts in between) is not worth it.
constexpr uint64_t kMaxSpreadPerRecord = 256;

}  // namespace

uint32_t FEMeshMergeMemoC::handleOfEdge(const FEMeshEdgeC* e) { return FEMeshArenaC<FEMeshEdgeC>::handleOf(e); }
uint32_t FEMeshMergeMemoC::handleOfFace(const FEMeshFaceC* f) { return FEMeshArenaC<FEMeshFaceC>::handleOf(f); }

FEMeshMergeMemoC::Entry FEMeshMergeMemoC::describe(FEMeshEdgeC* e, double tolerance)
{
    Entry entry{handleOfEdge(e), 0, 0, 0};
    const FEMeshHalfEdgeC* h1 = e->getFirstHalfEdge();
    const FEMeshHalfEdgeC* h2 = e->getSecondHalfEdge();
    if (!h1 || !h2) {
        entry.flags = kLone;  // merging never gives an edge a half-edge
        return entry;
    }
    if (!h1->getLoop() || !h2->getLoop())
        return entry;
    const FEMeshFaceC* f1 = h1->getLoop()->getFace();
    const FEMeshFaceC* f2 = h2->getLoop()->getFace();
    if (!f1 || !f2)
        return entry;
    entry.face1 = handleOfFace(f1);
    entry.face2 = handleOfFace(f2);
    entry.flags = kKnown;
    if (compareWithinTolerance(f1->getNormal(), f2->getNormal(), tolerance) != 0)
        entry.flags |= kNormalsApart;
    if (f1 == f2)
        entry.flags |= kOneFace;
    if (f1->getGroupId() == f2->getGroupId())
        entry.flags |= kOneGroup;
    return entry;
}

size_t FEMeshMergeMemoC::prepare(int walk, bool mergeAcrossGroups, double tolerance)
{
    // A walk that deleted nothing left the entries as they were looked over last: so does the
    // next walk, since the look notes where each of the three walks would start. Unless the walk
    // dropped entries of edges deleted before it: the places noted then lie further on.
    if (scan.valid && scan.deletions == deletions && scan.count == entries.size() &&
        scan.mergeAcrossGroups == mergeAcrossGroups && scan.tolerance == tolerance)
        return scan.firstToLook[walk - 1];
    const size_t count = entries.size();
    const size_t pieces = platform::sys::piecesFor(count, kEdgesPerPiece);
    std::vector<std::array<size_t, 3>> firstToLook(pieces, {count, count, count});
    platform::sys::runInPieces(count, pieces, [&](size_t piece, size_t begin, size_t end) {
        std::array<size_t, 3>& first = firstToLook[piece];
        for (size_t i = begin; i < end; ++i) {
            Entry& entry = entries[i];
            if (isEdgeGone(entry.edge))
                continue;
            if ((entry.flags & kKnown) && (isFaceGone(entry.face1) || isFaceGone(entry.face2)))
                entry = describe(FEMeshArenaC<FEMeshEdgeC>::fromHandle(entry.edge), tolerance);
            for (int w = 1; w <= 3; ++w)
                if (first[w - 1] == count && !passesOver(entry, w, mergeAcrossGroups))
                    first[w - 1] = i;
        }
    });
    scan.valid = true;
    scan.deletions = deletions;
    scan.count = count;
    scan.mergeAcrossGroups = mergeAcrossGroups;
    scan.tolerance = tolerance;
    for (int w = 0; w < 3; ++w) {
        scan.firstToLook[w] = count;
        for (const std::array<size_t, 3>& first : firstToLook)
            scan.firstToLook[w] = std::min(scan.firstToLook[w], first[w]);
    }
    return scan.firstToLook[walk - 1];
}

bool FEMeshMergeMemoC::build(FEMeshEdgeC* head, size_t edgeCount, double tolerance)
{
    // One walk along the list finds where each piece starts (reading a link a record, writing
    // nothing); the pieces then walk their own stretch and describe it, in parallel.
    entries.clear();
    scan.valid = false;
    const size_t wanted = platform::sys::piecesFor(edgeCount, kEdgesPerPiece);
    const size_t perPiece = std::max<size_t>(1, (edgeCount + wanted - 1) / wanted);
    std::vector<FEMeshEdgeC*> starts;
    starts.reserve(wanted + 1);
    size_t count = 0;
    for (FEMeshEdgeC* e = head; e; e = e->getNext(), ++count)
        if (count == starts.size() * perPiece)
            starts.push_back(e);
    entries.resize(count);
    const size_t pieces = starts.size();
    struct Range {
        uint32_t low[2] = {UINT32_MAX, UINT32_MAX};
        uint32_t high[2] = {0, 0};
    };
    std::vector<Range> ranges(pieces);
    platform::sys::runInPieces(pieces, pieces, [&](size_t piece, size_t, size_t) {
        Range& r = ranges[piece];
        FEMeshEdgeC* e = starts[piece];
        for (size_t i = piece * perPiece, end = std::min(count, i + perPiece); i < end; ++i, e = e->getNext()) {
            Entry& entry = entries[i];
            entry = describe(e, tolerance);
            r.low[0] = std::min(r.low[0], entry.edge);
            r.high[0] = std::max(r.high[0], entry.edge);
            if (entry.flags & kKnown)
                for (uint32_t f : {entry.face1, entry.face2}) {
                    r.low[1] = std::min(r.low[1], f);
                    r.high[1] = std::max(r.high[1], f);
                }
        }
    });
    for (int kind = 0; kind < 2; ++kind) {
        Marks& m = gone[kind];
        m.low = UINT32_MAX;
        m.high = 0;
        for (const Range& r : ranges) {
            m.low = std::min(m.low, r.low[kind]);
            m.high = std::max(m.high, r.high[kind]);
        }
        m.bits.clear();
        if (m.high < m.low) {
            m.low = 1;
            m.high = 0;
            continue;
        }
        const uint64_t span = uint64_t(m.high) - m.low + 1;
        if (span * 4 > kMaxSpreadPerRecord * (count + 1)) {
            entries.clear();
            for (Marks& unused : gone)
                unused = Marks();
            return false;
        }
        m.bits.assign(size_t(span / 64 + 1), 0);
    }
    return true;
}
