// FEMeshMergeMemoC: what the merge walks of finalize know about each edge's two faces, kept between walks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

class FEMeshEdgeC;
class FEMeshFaceC;

// A merge walk looks at every edge of the list, and mostly finds that its two faces do not fit
// (normals apart, one face, another group), which depends on nothing but which two faces they
// are. While faces are merged, a half-edge only ever changes face when its old face is deleted,
// and no edge or face is made. So that finding, once made, holds until one of the two faces is
// deleted; the memo keeps it for every edge, in list order, with the faces it was made for, and
// a later walk passes over the edge without looking at it again.
class FEMeshMergeMemoC {
public:
    struct Entry {
        uint32_t edge;   // handle of the edge
        uint32_t face1;  // handles of the faces the flags were found for
        uint32_t face2;
        uint32_t flags;
    };
    // Entries are made in parallel pieces: the array is not cleared first, so that the fresh
    // pages it takes are first touched by the pieces that fill them, not all on one thread.
    struct Uninitialized : std::allocator<Entry> {
        template <class U>
        struct rebind {
            using other = std::conditional_t<std::is_same_v<U, Entry>, Uninitialized, std::allocator<U>>;
        };
        void construct(Entry* p) { ::new (static_cast<void*>(p)) Entry; }
    };
    using Entries = std::vector<Entry, Uninitialized>;
    enum Flag : uint32_t {
        kKnown = 1,          // both half-edges in loops of faces: the other flags hold
        kNormalsApart = 2,   // the faces' normals differ beyond the tolerance
        kOneFace = 4,        // both sides in one face
        kOneGroup = 8,       // the faces' group ids are equal
        kLone = 16,          // a half-edge is missing (and will stay so): no walk takes the edge
    };

    // Takes the edges of the list from head on (about edgeCount of them), in order, and describes
    // each; in parallel for long lists. False (and the memo is left empty) when the records lie
    // too far apart in memory for the deletion marks.
    bool build(FEMeshEdgeC* head, size_t edgeCount, double tolerance);
    // The description of one edge as its faces stand.
    static Entry describe(FEMeshEdgeC* e, double tolerance);
    // Whether a walk (1 to 3) surely leaves the edge of this entry alone, as far as its faces tell.
    bool passesOver(const Entry& entry, int walk, bool mergeAcrossGroups) const
    {
        if (entry.flags & kLone)
            return true;
        if (!(entry.flags & kKnown) || isFaceGone(entry.face1) || isFaceGone(entry.face2))
            return false;
        if (entry.flags & kNormalsApart)
            return true;
        if (walk == 1)
            return (entry.flags & kOneFace) || (!(entry.flags & kOneGroup) && !mergeAcrossGroups);
        return !(entry.flags & kOneFace);
    }
    // Before a walk: describes again, in parallel, the entries whose faces were deleted since,
    // and gives the first entry the walk has to look at (the number of entries when none).
    size_t prepare(int walk, bool mergeAcrossGroups, double tolerance);

    // Deletions since the memo was built (records outside its range are of no entry's concern).
    void edgeGone(const FEMeshEdgeC* e)
    {
        ++deletions;
        mark(gone[0], handleOfEdge(e));
    }
    void faceGone(const FEMeshFaceC* f)
    {
        ++deletions;
        mark(gone[1], handleOfFace(f));
    }
    bool isEdgeGone(uint32_t edge) const { return test(gone[0], edge); }
    bool isFaceGone(uint32_t face) const { return test(gone[1], face); }

    Entries& getEntries() { return entries; }

private:
    struct Marks {
        uint32_t low = 1;
        uint32_t high = 0;  // inclusive; no range when high < low
        std::vector<uint64_t> bits;
    };
    static void mark(Marks& m, uint32_t handle)
    {
        if (handle >= m.low && handle <= m.high) {
            const uint32_t i = handle - m.low;
            m.bits[i >> 6] |= uint64_t(1) << (i & 63);
        }
    }
    static bool test(const Marks& m, uint32_t handle)
    {
        if (handle < m.low || handle > m.high)
            return false;
        const uint32_t i = handle - m.low;
        return (m.bits[i >> 6] >> (i & 63)) & 1;
    }
    static uint32_t handleOfEdge(const FEMeshEdgeC* e);
    static uint32_t handleOfFace(const FEMeshFaceC* f);

    // What the last look over the entries found, for each walk: it holds until something is
    // deleted, since the entries and their descriptions change only then, or until a walk drops
    // entries, which moves those after them.
    struct Scan {
        bool valid = false;
        uint64_t deletions = 0;
        size_t count = 0;  // entries when looked over
        bool mergeAcrossGroups = false;
        double tolerance = 0.0;
        size_t firstToLook[3] = {0, 0, 0};
    };

    Entries entries;
    Marks gone[2];  // edges, faces
    uint64_t deletions = 0;  // edges and faces deleted since the memo was built
    Scan scan;
};
