// FETriangleCollectorC: the triangles of tessellated faces with shared position and normal nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/RWTValHashDictionary.h"
#include "math/Point3D.h"
#include "geometry/mesh/FEMeshPool.h"
#include "services/objects/refHandle.h"

class FEMeshFaceC;
class FEMeshFaceInfoI;

// One distinct position (or normal) of a collector; numbered by FETriangleCollectorC::numberAll.
class FETessVertexNodeC {
public:
    // The grid links nodes by 32-bit handles (see FEMeshArenaC).
    static constexpr bool kLinkedByHandle = true;

    explicit FETessVertexNodeC(const Point3D& p) : point(p) {}
    FETessVertexNodeC(const FETessVertexNodeC&) = delete;
    FETessVertexNodeC& operator=(const FETessVertexNodeC&) = delete;

    const Point3D& getPoint() const { return point; }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }
    FETessVertexNodeC* getNext() const { return next; }

private:
    friend class FETessVertexHashC;

    Point3D point;
    FETessVertexNodeC* next = nullptr;  // next node of the same bucket
    int index = 0;
    // Search aids of the hash: the node's bucket, its insertion order and the next node of
    // the same grid cell.
    int bucket = 0;
    uint32_t sequence = 0;
    uint32_t cellNext = 0;
};

// Points merged within 1e-7 per axis. A point's bucket is (int) fmod(|100 x + 10000 y +
// 1000000 z|, n); a search looks at its bucket, then the one before and the one after
// (wrapping), each chain in insertion order, and the first match wins; a miss appends a new
// node to the point's own bucket.
//
// Once a store holds many points, a grid of small cells over the points finds the same node
// as that walk without walking the chains.
class FETessVertexHashC {
public:
    static constexpr double kTolerance = 1e-7;

    explicit FETessVertexHashC(size_t buckets);
    ~FETessVertexHashC();
    FETessVertexHashC(const FETessVertexHashC&) = delete;
    FETessVertexHashC& operator=(const FETessVertexHashC&) = delete;

    // The bucket of a point; a point whose key is not finite goes to bucket 0.
    int bucketOf(const Point3D& p) const;

    FETessVertexNodeC* findOrInsert(const Point3D& p);
    // The node findOrInsert would give, or null; the first by walking the chains, the second
    // as the search does.
    FETessVertexNodeC* findByScan(const Point3D& p) const;
    FETessVertexNodeC* find(const Point3D& p);

    // Deletes every node.
    void clear();
    // Numbers the nodes 0, 1, ... bucket by bucket, each chain in order; gives the count.
    int numberAll();

    size_t buckets() const { return heads.size(); }
    size_t entries() const { return count; }
    double getTolerance() const { return kTolerance; }
    FETessVertexNodeC* getBucketHead(size_t b) const { return heads[b]; }
    // Tests compare the grid search with the walk; a disabled grid is never built.
    void setIndexEnabled(bool enabled);

private:
    // A grid cell in use: the high half of the hash of its coordinates (cells whose tags
    // collide share a slot, and their nodes are simply all tested) and the handle of its
    // newest node, the others following by cellNext. Eight bytes: the grid outgrows the
    // caches, and every search that misses them waits for its slot.
    struct CellSlot {
        uint32_t tag = 0;
        uint32_t head = 0;  // 0: free
    };
    struct RecentEntry {
        Point3D point;
        FETessVertexNodeC* node = nullptr;
    };

    static bool matches(const FETessVertexNodeC* node, const Point3D& p);
    FETessVertexNodeC* find(const Point3D& p, int bucket);
    bool gridUsable(const Point3D& p) const;
    void buildGrid();
    void gridAdd(FETessVertexNodeC* node);
    // Links a node into its cell (or the side list) without growing the grid.
    void gridPlace(FETessVertexNodeC* node);
    void growGrid();
    CellSlot* cellSlot(uint64_t key, bool create);
    FETessVertexNodeC* findInGrid(const Point3D& p, int bucket);

    std::vector<FETessVertexNodeC*> heads;
    std::vector<FETessVertexNodeC*> tails;
    size_t count = 0;
    uint32_t nextSequence = 0;
    FEMeshPoolC<FETessVertexNodeC> pool;

    bool indexEnabled = true;
    bool gridBuilt = false;
    std::vector<CellSlot> grid;  // open addressing by the hash's low bits, at most half full
    size_t gridUsed = 0;
    uint32_t oddNodes = 0;  // points the grid cannot place, linked through cellNext
    // Answers to recent searches, by the exact query. Only answers from the query's own bucket
    // are kept: no node added later can come before them in the walk.
    std::vector<RecentEntry> recent;
};

// One collected triangle: corner position and normal nodes, the triangle's number and its
// face's number and information.
class FETessTriangleC {
public:
    FETessTriangleC(FETessVertexNodeC* const positions[3], FETessVertexNodeC* const normals[3], int faceNumber,
                    FEMeshFaceInfoI* faceInfo);
    FETessTriangleC(const FETessTriangleC&) = delete;
    FETessTriangleC& operator=(const FETessTriangleC&) = delete;

    FETessVertexNodeC* getPositionNode(int corner) const { return FEMeshArenaC<FETessVertexNodeC>::fromHandle(positions[corner]); }
    FETessVertexNodeC* getNormalNode(int corner) const { return FEMeshArenaC<FETessVertexNodeC>::fromHandle(normals[corner]); }
    const Point3D& getPosition(int corner) const { return getPositionNode(corner)->getPoint(); }
    const Point3D& getNormal(int corner) const { return getNormalNode(corner)->getPoint(); }
    int getTriangleNumber() const { return triangleNumber; }
    void setTriangleNumber(int n) { triangleNumber = n; }
    int getFaceNumber() const { return faceNumber; }
    FEMeshFaceInfoI* getFaceInfo() const { return faceInfo.get(); }

private:
    // Handles of the nodes: a collector holds a triangle for every two corners or so.
    uint32_t positions[3];
    uint32_t normals[3];
    int triangleNumber = -1;
    int faceNumber;
    refHandle<FEMeshFaceInfoI> faceInfo;
};

class FETriangleCollectorC;

// Walks a collector's triangles in emission order: operator() and ++ step to the next one
// (null or false past the last); key() is the current one.
class FETessTriangleIteratorC {
public:
    explicit FETessTriangleIteratorC(const FETriangleCollectorC& collector) : collector(&collector) {}

    inline FETessTriangleC* operator()();
    bool operator++() { return (*this)() != nullptr; }
    FETessTriangleC* key() const { return current; }
    void reset()
    {
        next = 0;
        current = nullptr;
    }

private:
    const FETriangleCollectorC* collector;
    size_t next = 0;
    FETessTriangleC* current = nullptr;
};

// Gathers the primitives of the tessellator (triangles, strips, fans) as triangles. Not
// copyable: it owns its triangles and nodes.
class FETriangleCollectorC {
public:
    enum Mode { IGNORE = 0, TRIANGLES = 1, STRIP = 2, FAN = 3 };

    explicit FETriangleCollectorC(size_t buckets);
    ~FETriangleCollectorC();
    FETriangleCollectorC(const FETriangleCollectorC&) = delete;
    FETriangleCollectorC& operator=(const FETriangleCollectorC&) = delete;

    // Empties the face map, both hashes and the triangle list; the mode becomes triangles.
    void clear();
    // Starts a primitive of the given mode (0 ignores its vertices).
    void beginPrimitive(int mode);
    // One vertex of the current primitive; false when the mode is 0 or three vertices are
    // held. The third vertex emits a triangle unless its area is (nearly) zero. The triangle
    // takes the face number and information of the running triangulation.
    bool addVertex(const Point3D& position, const Point3D& normal);

    // The triangles in emission order.
    FETessTriangleIteratorC getTriangleIterator() const { return FETessTriangleIteratorC(*this); }
    size_t entries() const { return count; }
    // The triangle of the given emission number (below entries()).
    FETessTriangleC* triangleAt(size_t i) const { return blocks[i >> kBlockShift] + (i & (kBlockSize - 1)); }

    // Clears, then adds each triangle of the other collector by positions and normals; the
    // copies keep their source's face number and face information.
    void copyFrom(const FETriangleCollectorC& other);
    // Numbers the nodes of both hashes and the triangles; maps each face to its last triangle.
    void numberAll();
    // The triangle number of a face after numberAll, -1 when the face has none.
    int triangleIndexOfFace(int faceNumber) const;
    // Clears, then triangulates a face list into this collector; false when the triangulator
    // cannot be made.
    bool fromFaces(FEMeshFaceC* firstFace);

    FETessVertexHashC& getPositionHash() { return positionHash; }
    FETessVertexHashC& getNormalHash() { return normalHash; }

private:
    // Triangles lie in blocks that never move: no node per triangle, and the walk is in
    // memory order.
    static constexpr size_t kBlockShift = 12;
    static constexpr size_t kBlockSize = size_t(1) << kBlockShift;

    void emitTriangle();
    void addTriangle(int face, FEMeshFaceInfoI* info);

    std::vector<FETessTriangleC*> blocks;
    size_t count = 0;
    RWTValHashDictionary<int, int> faceMap;
    FETessVertexHashC positionHash;
    FETessVertexHashC normalHash;
    FETessVertexNodeC* slotPositions[3] = {nullptr, nullptr, nullptr};
    FETessVertexNodeC* slotNormals[3] = {nullptr, nullptr, nullptr};
    int held = 0;
    int mode = TRIANGLES;
    bool parity = true;
    // While copyFrom runs: the triangle whose face data the next emitted triangle takes.
    const FETessTriangleC* copying = nullptr;
};

FETessTriangleC* FETessTriangleIteratorC::operator()()
{
    current = next < collector->entries() ? collector->triangleAt(next++) : nullptr;
    return current;
}
