// The records of the boundary mesh: pickable entities, faces, loops, half-edges, edges and vertices.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>

#include "math/Point3D.h"
#include "geometry/mesh/FEMeshPool.h"
#include "services/objects/refHandle.h"

class FEMeshFaceInfoI;
class FEMeshLoopC;
class FEMeshHalfEdgeC;
class FEMeshEdgeC;
class FEMeshVertexC;
class FEMeshFaceC;

// The records live in pools owned by their FEMeshPartC and are created and destroyed by the
// part only; none of them is deleted through a base pointer, so they carry no virtual table.

// Base of edges, faces and vertices. The type values are also the pick-filter bits.
class FEMeshPickableEntityC {
public:
    enum EntityType { EDGE = 1, FACE = 2, VERTEX = 4 };

    int getEntityType() const { return entityType; }

protected:
    explicit FEMeshPickableEntityC(int type) : entityType(uint8_t(type)) {}
    ~FEMeshPickableEntityC() = default;

private:
    uint8_t entityType;  // one byte, so that the records' own small fields pack behind it
};

// A face: a chain of loops (the first the outer boundary, later ones holes) and its plane normal.
class FEMeshFaceC : public FEMeshPickableEntityC {
public:
    static constexpr bool kLinkedByHandle = true;
    static constexpr bool kHasSideHalves = true;  // its mark
    // Under a limit of address space, the types' shares of the pools' ranges (see FEMeshArenaC)
    // follow what large meshes (an STL of grid triangles, a part of a million triangles) take:
    // per million triangles about 130 MB of faces and their side halves, 120 of edges, 110 of
    // half-edges, 95 of vertices and 35 of loops.
    static constexpr unsigned kRangeShare = 27;

    explicit FEMeshFaceC(FEMeshFaceInfoI* info = nullptr);
    ~FEMeshFaceC();
    FEMeshFaceC(const FEMeshFaceC&) = delete;
    FEMeshFaceC& operator=(const FEMeshFaceC&) = delete;

    FEMeshLoopC* getFirstLoop() const { return FEMeshArenaC<FEMeshLoopC>::fromHandle(firstLoop); }
    FEMeshLoopC* getLastLoop() const { return FEMeshArenaC<FEMeshLoopC>::fromHandle(lastLoop); }
    void setFirstLoop(FEMeshLoopC* l) { firstLoop = FEMeshArenaC<FEMeshLoopC>::handleOf(l); }
    void setLastLoop(FEMeshLoopC* l) { lastLoop = FEMeshArenaC<FEMeshLoopC>::handleOf(l); }
    FEMeshFaceC* getNext() const { return FEMeshArenaC<FEMeshFaceC>::fromHandle(next); }
    FEMeshFaceC* getPrevious() const { return FEMeshArenaC<FEMeshFaceC>::fromHandle(previous); }
    void setNext(FEMeshFaceC* f) { next = FEMeshArenaC<FEMeshFaceC>::handleOf(f); }
    void setPrevious(FEMeshFaceC* f) { previous = FEMeshArenaC<FEMeshFaceC>::handleOf(f); }

    const Point3Df& getNormal() const { return normal; }
    void setNormal(const Point3Df& n) { normal = n; }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }
    // The mark lives beside the face (few faces ever have one): its pages are touched only where
    // a mark differs from zero. A face made outside the pools has none.
    int getMark() const { return FEMeshArenaC<FEMeshFaceC>::holds(this) ? *markSlot() : 0; }
    void setMark(int m)
    {
        if (getMark() != m && FEMeshArenaC<FEMeshFaceC>::holds(this)) {
            if (m != 0)
                marksSet.store(true, std::memory_order_relaxed);
            *markSlot() = m;
        }
    }
    int getGroupId() const { return groupId; }
    void setGroupId(int g) { groupId = g; }

    FEMeshFaceInfoI* getFaceInfo() const { return faceInfo.get(); }
    const refHandle<FEMeshFaceInfoI>& getFaceInfoHandle() const { return faceInfo; }
    // Takes a reference to the new information before the old one is released.
    void setFaceInfo(FEMeshFaceInfoI* info);

    int getLoopCount() const;

    // Whether a face may hold what its destructor lets go of (information or a mark): false
    // while no face ever held either.
    static bool mayHoldAnything()
    {
        return marksSet.load(std::memory_order_relaxed) || infoSet.load(std::memory_order_relaxed);
    }

private:
    // Links as handles into the records' arenas.
    uint32_t firstLoop = 0;
    uint32_t lastLoop = 0;
    uint32_t next = 0;
    uint32_t previous = 0;
    Point3Df normal;
    int* markSlot() const { return static_cast<int*>(FEMeshArenaC<FEMeshFaceC>::sideOf(this, 0)); }
    // Whether any face ever had a mark: until one has, a face going need not clear its mark
    // (reading every face's mark as a mesh goes would touch all of their pages).
    inline static std::atomic<bool> marksSet{false};
    inline static std::atomic<bool> infoSet{false};  // the same for information

    int index = 0;
    int groupId = 0;
    refHandle<FEMeshFaceInfoI> faceInfo;
};

// A closed ring of half-edges bounding (part of) a face.
class FEMeshLoopC {
public:
    static constexpr bool kLinkedByHandle = true;
    static constexpr unsigned kRangeShare = 7;  // see FEMeshFaceC

    FEMeshLoopC() = default;
    FEMeshLoopC(const FEMeshLoopC&) = delete;
    FEMeshLoopC& operator=(const FEMeshLoopC&) = delete;

    FEMeshHalfEdgeC* getFirstHalfEdge() const { return FEMeshArenaC<FEMeshHalfEdgeC>::fromHandle(firstHalfEdge); }
    void setFirstHalfEdge(FEMeshHalfEdgeC* h) { firstHalfEdge = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(h); }
    FEMeshFaceC* getFace() const { return FEMeshArenaC<FEMeshFaceC>::fromHandle(face); }
    void setFace(FEMeshFaceC* f) { face = FEMeshArenaC<FEMeshFaceC>::handleOf(f); }
    FEMeshLoopC* getNext() const { return FEMeshArenaC<FEMeshLoopC>::fromHandle(next); }
    void setNext(FEMeshLoopC* l) { next = FEMeshArenaC<FEMeshLoopC>::handleOf(l); }
    // The loop before this one in its face's chain: a face with thousands of holes gives one up
    // without walking the chain.
    FEMeshLoopC* getPrevious() const { return FEMeshArenaC<FEMeshLoopC>::fromHandle(previous); }
    void setPrevious(FEMeshLoopC* l) { previous = FEMeshArenaC<FEMeshLoopC>::handleOf(l); }

    int getHalfEdgeCount() const;

private:
    uint32_t firstHalfEdge = 0;  // handles, as in the half-edge
    uint32_t next = 0;
    uint32_t previous = 0;
    uint32_t face = 0;
};

// One side of an edge within a loop; it starts at its vertex and ends at its next's vertex.
// Its links are handles, so the records it points to must come from a part's pools.
class FEMeshHalfEdgeC {
public:
    static constexpr bool kLinkedByHandle = true;
    static constexpr unsigned kRangeShare = 23;  // see FEMeshFaceC

    FEMeshHalfEdgeC() = default;
    FEMeshHalfEdgeC(const FEMeshHalfEdgeC&) = delete;
    FEMeshHalfEdgeC& operator=(const FEMeshHalfEdgeC&) = delete;

    FEMeshHalfEdgeC* getNext() const { return FEMeshArenaC<FEMeshHalfEdgeC>::fromHandle(next); }
    FEMeshHalfEdgeC* getPrevious() const { return FEMeshArenaC<FEMeshHalfEdgeC>::fromHandle(previous); }
    void setNext(FEMeshHalfEdgeC* h) { next = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(h); }
    void setPrevious(FEMeshHalfEdgeC* h) { previous = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(h); }
    FEMeshVertexC* getVertex() const { return FEMeshArenaC<FEMeshVertexC>::fromHandle(vertex); }
    void setVertex(FEMeshVertexC* v) { vertex = FEMeshArenaC<FEMeshVertexC>::handleOf(v); }
    FEMeshLoopC* getLoop() const { return FEMeshArenaC<FEMeshLoopC>::fromHandle(loop); }
    void setLoop(FEMeshLoopC* l) { loop = FEMeshArenaC<FEMeshLoopC>::handleOf(l); }
    FEMeshEdgeC* getEdge() const { return FEMeshArenaC<FEMeshEdgeC>::fromHandle(edge); }
    void setEdge(FEMeshEdgeC* e) { edge = FEMeshArenaC<FEMeshEdgeC>::handleOf(e); }
    // The shading normal of the face at this corner (written by smoothNormals).
    const Point3Df& getNormal() const { return cornerNormal; }
    void setNormal(const Point3Df& n) { cornerNormal = n; }

    // The other half-edge of this half-edge's edge, or null.
    FEMeshHalfEdgeC* getPartner() const;
    FEMeshFaceC* getFace() const;

private:
    // Links as 32-bit handles into the records' arenas (half the size of pointers; there are
    // three half-edges per triangle). Scratch of a single pass lives beside the records, not in
    // them.
    uint32_t next = 0;
    uint32_t previous = 0;
    uint32_t vertex = 0;
    uint32_t loop = 0;
    uint32_t edge = 0;
    Point3Df cornerNormal;
};

// One link of a vertex's incident-edge list. The two links an edge can be in belong to the edge
// (no allocation per link) but live beside it, in its arena's side halves: they are needed only
// while the mesh is built and finalized, and their pages go back afterwards. Change a list only
// through FEMeshPartC (appendIncidentEdge, removeIncidentEdge, clearIncidentEdges). The list is
// doubly linked and a link names the vertex whose list holds it, so that an edge leaves a list of
// any length at once.
class FEMeshIncidenceC {
public:
    FEMeshIncidenceC() = default;
    FEMeshIncidenceC(const FEMeshIncidenceC&) = delete;
    FEMeshIncidenceC& operator=(const FEMeshIncidenceC&) = delete;

    FEMeshEdgeC* getEdge() const;
    FEMeshIncidenceC* getNext() const { return fromHandle(next); }
    FEMeshIncidenceC* getPrevious() const { return fromHandle(previous); }
    // The vertex whose list holds this link, or null.
    FEMeshVertexC* getHolder() const;

private:
    friend class FEMeshPartC;
    friend class FEMeshEdgeC;
    friend class FEMeshVertexC;

    // Links live in the side halves of the edges' arena; a handle is a place there.
    static uint32_t handleOf(const FEMeshIncidenceC* link);
    static FEMeshIncidenceC* fromHandle(uint32_t handle);

    bool inUse() const { return holder != 0; }
    uint32_t holderHandle() const { return holder; }
    void setHolder(uint32_t vertexHandle) { holder = vertexHandle; }

    uint32_t next = 0;      // link handles (0 is none)
    uint32_t previous = 0;
    uint32_t holder = 0;    // handle of the holding vertex (0 in no list)
};

// An edge shared by at most two half-edges (the second is null on a border).
class FEMeshEdgeC : public FEMeshPickableEntityC {
public:
    static constexpr bool kLinkedByHandle = true;
    static constexpr bool kHasSideHalves = true;  // its two incident-list links
    static constexpr bool kSideFilledAlongside = true;  // set up as the edge is made
    static constexpr unsigned kRangeShare = 24;  // see FEMeshFaceC

    FEMeshEdgeC();
    FEMeshEdgeC(const FEMeshEdgeC&) = delete;
    FEMeshEdgeC& operator=(const FEMeshEdgeC&) = delete;

    FEMeshHalfEdgeC* getFirstHalfEdge() const { return FEMeshArenaC<FEMeshHalfEdgeC>::fromHandle(first); }
    FEMeshHalfEdgeC* getSecondHalfEdge() const { return FEMeshArenaC<FEMeshHalfEdgeC>::fromHandle(second); }
    void setFirstHalfEdge(FEMeshHalfEdgeC* h) { first = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(h); }
    void setSecondHalfEdge(FEMeshHalfEdgeC* h) { second = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(h); }
    FEMeshEdgeC* getNext() const { return FEMeshArenaC<FEMeshEdgeC>::fromHandle(next); }
    FEMeshEdgeC* getPrevious() const { return FEMeshArenaC<FEMeshEdgeC>::fromHandle(previous); }
    void setNext(FEMeshEdgeC* e) { next = FEMeshArenaC<FEMeshEdgeC>::handleOf(e); }
    void setPrevious(FEMeshEdgeC* e) { previous = FEMeshArenaC<FEMeshEdgeC>::handleOf(e); }
    bool isSmooth() const { return smooth != 0; }
    void setSmooth(bool s) { smooth = s ? 1 : 0; }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }

    // The first half-edge's start; without one, the end of the second; else (0, 0, 0).
    Point3Df getStartPoint() const;
    // The first half-edge's end; without one, the start of the second; else (0, 0, 0).
    Point3Df getEndPoint() const;
    // A border (either half-edge missing) or a crease.
    bool isFeatureEdge() const { return !first || !second || !smooth; }

    // How many incident-edge lists hold this edge (counting repeats); at most two.
    unsigned getIncidentLinkCount() const { return unsigned(link(0).inUse()) + unsigned(link(1).inUse()); }

private:
    friend class FEMeshPartC;
    friend class FEMeshIncidenceC;

    // Its places in the incident lists of (normally) its two ends.
    FEMeshIncidenceC& link(unsigned i) const
    {
        return *static_cast<FEMeshIncidenceC*>(FEMeshArenaC<FEMeshEdgeC>::sideOf(this, i));
    }

    uint8_t smooth = 0;
    int index = 0;
    uint32_t first = 0;  // half-edge handles (0 is none)
    uint32_t second = 0;
    uint32_t next = 0;  // edge handles of the part's edge list
    uint32_t previous = 0;
};

inline FEMeshEdgeC::FEMeshEdgeC() : FEMeshPickableEntityC(EDGE)
{
    // A slot used before may have left its links behind. An edge made outside the pools (a
    // value for its point helpers) has no links and must not join an incident list.
    if (FEMeshArenaC<FEMeshEdgeC>::holds(this))
        for (unsigned i = 0; i < 2; ++i)
            new (FEMeshArenaC<FEMeshEdgeC>::sideOf(this, i)) FEMeshIncidenceC();
}

inline FEMeshEdgeC* FEMeshIncidenceC::getEdge() const { return FEMeshArenaC<FEMeshEdgeC>::recordOfSide(this); }

// A position shared by the faces that meet there, found again through the part's vertex hash.
class FEMeshVertexC : public FEMeshPickableEntityC {
public:
    static constexpr bool kLinkedByHandle = true;
    static constexpr unsigned kRangeShare = 19;  // see FEMeshFaceC

    explicit FEMeshVertexC(const Point3Df& p) : FEMeshPickableEntityC(VERTEX), position(p) {}
    FEMeshVertexC(const FEMeshVertexC&) = delete;
    FEMeshVertexC& operator=(const FEMeshVertexC&) = delete;

    const Point3Df& getPosition() const { return position; }
    // Code that moves vertices tells the part afterwards (FEMeshPartC::verticesMoved).
    void setPosition(const Point3Df& p) { position = p; }

    // Incident edges in list order: every edge that starts or ends here, while the mesh is built.
    FEMeshIncidenceC* getFirstIncidence() const { return FEMeshIncidenceC::fromHandle(incidentHead); }
    unsigned getIncidentEdgeCount() const { return incidentCount; }
    FEMeshEdgeC* getFirstIncidentEdge() const { return incidentHead ? getFirstIncidence()->getEdge() : nullptr; }
    FEMeshEdgeC* getLastIncidentEdge() const
    {
        return incidentTail ? FEMeshIncidenceC::fromHandle(incidentTail)->getEdge() : nullptr;
    }
    bool hasIncidentEdge(const FEMeshEdgeC* e) const;

    FEMeshHalfEdgeC* getOutgoingHalfEdge() const { return FEMeshArenaC<FEMeshHalfEdgeC>::fromHandle(outgoing); }
    void setOutgoingHalfEdge(FEMeshHalfEdgeC* h) { outgoing = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(h); }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }
    FEMeshVertexC* getHashLink() const { return FEMeshArenaC<FEMeshVertexC>::fromHandle(hashLink); }

private:
    friend class FEMeshPartC;
    friend class FEMeshVertexHashC;

    void setHashLink(FEMeshVertexC* v) { hashLink = FEMeshArenaC<FEMeshVertexC>::handleOf(v); }
    FEMeshVertexC* getGridLink() const { return FEMeshArenaC<FEMeshVertexC>::fromHandle(gridLink); }
    void setGridLink(FEMeshVertexC* v) { gridLink = FEMeshArenaC<FEMeshVertexC>::handleOf(v); }

    uint16_t hashBucket = 0;  // the chain it was stored in (a moved vertex stays there)
    Point3Df position;
    unsigned incidentCount = 0;
    uint32_t outgoing = 0;  // half-edge handle
    uint32_t incidentHead = 0;  // link handles
    uint32_t incidentTail = 0;
    int index = 0;
    uint32_t hashSequence = 0;  // insertion order, the order of the hash chains
    // Vertex handles: the next vertex of the hash chain, and of the same cell of the hash's
    // position index.
    uint32_t hashLink = 0;
    uint32_t gridLink = 0;
};

// Inline members that need more than one complete record.
inline uint32_t FEMeshIncidenceC::handleOf(const FEMeshIncidenceC* link)
{
    return FEMeshArenaC<FEMeshEdgeC>::sideHandleOf(link);
}

inline FEMeshIncidenceC* FEMeshIncidenceC::fromHandle(uint32_t handle)
{
    return static_cast<FEMeshIncidenceC*>(FEMeshArenaC<FEMeshEdgeC>::sideAddressOf(handle));
}

inline FEMeshVertexC* FEMeshIncidenceC::getHolder() const { return FEMeshArenaC<FEMeshVertexC>::fromHandle(holderHandle()); }
static_assert(sizeof(FEMeshIncidenceC) * 2 <= sizeof(FEMeshEdgeC), "a link lives in half an edge's side room");

inline FEMeshHalfEdgeC* FEMeshHalfEdgeC::getPartner() const
{
    const FEMeshEdgeC* e = getEdge();
    if (!e)
        return nullptr;
    if (e->getFirstHalfEdge() == this)
        return e->getSecondHalfEdge();
    if (e->getSecondHalfEdge() == this)
        return e->getFirstHalfEdge();
    return nullptr;
}

inline FEMeshFaceC* FEMeshHalfEdgeC::getFace() const
{
    const FEMeshLoopC* l = getLoop();
    return l ? l->getFace() : nullptr;
}
static_assert(sizeof(void*) != 8 || (sizeof(FEMeshHalfEdgeC) == 32 && sizeof(FEMeshEdgeC) == 24 && sizeof(FEMeshLoopC) == 16 &&
                                     sizeof(FEMeshVertexC) == 48 && sizeof(FEMeshFaceC) == 48),
              "millions of these make a large mesh: keep them compact");
