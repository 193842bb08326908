// The records of the boundary mesh: pickable entities, faces, loops, half-edges, edges and vertices.
#pragma once

#include <cstdint>

#include "geometry/math/Point3D.h"
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
    explicit FEMeshFaceC(FEMeshFaceInfoI* info = nullptr);
    ~FEMeshFaceC();
    FEMeshFaceC(const FEMeshFaceC&) = delete;
    FEMeshFaceC& operator=(const FEMeshFaceC&) = delete;

    FEMeshLoopC* getFirstLoop() const { return firstLoop; }
    FEMeshLoopC* getLastLoop() const { return lastLoop; }
    void setFirstLoop(FEMeshLoopC* l) { firstLoop = l; }
    void setLastLoop(FEMeshLoopC* l) { lastLoop = l; }
    FEMeshFaceC* getNext() const { return next; }
    FEMeshFaceC* getPrevious() const { return previous; }
    void setNext(FEMeshFaceC* f) { next = f; }
    void setPrevious(FEMeshFaceC* f) { previous = f; }

    const Point3Df& getNormal() const { return normal; }
    void setNormal(const Point3Df& n) { normal = n; }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }
    int getMark() const { return mark; }
    void setMark(int m) { mark = m; }
    int getGroupId() const { return groupId; }
    void setGroupId(int g) { groupId = g; }

    FEMeshFaceInfoI* getFaceInfo() const { return faceInfo.get(); }
    const refHandle<FEMeshFaceInfoI>& getFaceInfoHandle() const { return faceInfo; }
    // Takes a reference to the new information before the old one is released.
    void setFaceInfo(FEMeshFaceInfoI* info);

    int getLoopCount() const;

private:
    FEMeshLoopC* firstLoop = nullptr;
    FEMeshLoopC* lastLoop = nullptr;
    FEMeshFaceC* next = nullptr;
    FEMeshFaceC* previous = nullptr;
    Point3Df normal;
    int index = 0;
    int mark = 0;  // scratch word of the persistence code
    int groupId = 0;
    refHandle<FEMeshFaceInfoI> faceInfo;
};

// A closed ring of half-edges bounding (part of) a face.
class FEMeshLoopC {
public:
    FEMeshLoopC() = default;
    FEMeshLoopC(const FEMeshLoopC&) = delete;
    FEMeshLoopC& operator=(const FEMeshLoopC&) = delete;

    FEMeshHalfEdgeC* getFirstHalfEdge() const { return firstHalfEdge; }
    void setFirstHalfEdge(FEMeshHalfEdgeC* h) { firstHalfEdge = h; }
    FEMeshFaceC* getFace() const { return face; }
    void setFace(FEMeshFaceC* f) { face = f; }
    FEMeshLoopC* getNext() const { return next; }
    void setNext(FEMeshLoopC* l) { next = l; }

    int getHalfEdgeCount() const;

private:
    FEMeshHalfEdgeC* firstHalfEdge = nullptr;
    FEMeshFaceC* face = nullptr;
    FEMeshLoopC* next = nullptr;
};

// One side of an edge within a loop; it starts at its vertex and ends at its next's vertex.
class FEMeshHalfEdgeC {
public:
    FEMeshHalfEdgeC() = default;
    FEMeshHalfEdgeC(const FEMeshHalfEdgeC&) = delete;
    FEMeshHalfEdgeC& operator=(const FEMeshHalfEdgeC&) = delete;

    FEMeshHalfEdgeC* getNext() const { return next; }
    FEMeshHalfEdgeC* getPrevious() const { return previous; }
    void setNext(FEMeshHalfEdgeC* h) { next = h; }
    void setPrevious(FEMeshHalfEdgeC* h) { previous = h; }
    FEMeshVertexC* getVertex() const { return vertex; }
    void setVertex(FEMeshVertexC* v) { vertex = v; }
    FEMeshLoopC* getLoop() const { return loop; }
    void setLoop(FEMeshLoopC* l) { loop = l; }
    FEMeshEdgeC* getEdge() const { return edge; }
    void setEdge(FEMeshEdgeC* e) { edge = e; }
    // The shading normal of the face at this corner (written by smoothNormals).
    const Point3Df& getNormal() const { return cornerNormal; }
    void setNormal(const Point3Df& n) { cornerNormal = n; }

    // The other half-edge of this half-edge's edge, or null.
    FEMeshHalfEdgeC* getPartner() const;
    FEMeshFaceC* getFace() const;

private:
    friend class FEMeshPartC;

    FEMeshHalfEdgeC* next = nullptr;
    FEMeshHalfEdgeC* previous = nullptr;
    FEMeshVertexC* vertex = nullptr;
    FEMeshLoopC* loop = nullptr;
    FEMeshEdgeC* edge = nullptr;
    Point3Df cornerNormal;
    uint32_t passMark = 0;  // scratch of the part's passes (fills what would be padding)
};

// One link of a vertex's incident-edge list. The two links an edge can be in are part of the
// edge record itself (no allocation per link); change a list only through FEMeshPartC
// (appendIncidentEdge, removeIncidentEdge, clearIncidentEdges).
class FEMeshIncidenceC {
public:
    FEMeshIncidenceC() = default;
    FEMeshIncidenceC(const FEMeshIncidenceC&) = delete;
    FEMeshIncidenceC& operator=(const FEMeshIncidenceC&) = delete;

    FEMeshEdgeC* getEdge() const;
    FEMeshIncidenceC* getNext() const { return reinterpret_cast<FEMeshIncidenceC*>(bits & ~kFlags); }

private:
    friend class FEMeshPartC;
    friend class FEMeshEdgeC;
    friend struct FEMeshEdgeLinksC;

    static constexpr uintptr_t kUnused = 1;  // in no list
    static constexpr uintptr_t kSecond = 2;  // the edge's second link
    static constexpr uintptr_t kFlags = kUnused | kSecond;

    bool inUse() const { return (bits & kUnused) == 0; }
    bool isSecond() const { return (bits & kSecond) != 0; }
    // Joins a list with next as its successor (null at the end).
    void setNext(FEMeshIncidenceC* next) { bits = reinterpret_cast<uintptr_t>(next) | (bits & kSecond); }
    void markUnused() { bits = kUnused | (bits & kSecond); }

    // The next link (links are 8-byte aligned) with the two flags in its low bits.
    uintptr_t bits = kUnused;
};
static_assert(alignof(FEMeshIncidenceC) >= 4, "the flags live in the low bits of a link's address");

// The two list links of an edge. They come first in the edge record, so that a link finds its
// edge from its own address and which of the two it is.
struct FEMeshEdgeLinksC {
    FEMeshEdgeLinksC() { links[1].bits = FEMeshIncidenceC::kUnused | FEMeshIncidenceC::kSecond; }
    FEMeshIncidenceC links[2];  // its places in the incident lists of (normally) its two ends
};

// An edge shared by at most two half-edges (the second is null on a border).
class FEMeshEdgeC : private FEMeshEdgeLinksC, public FEMeshPickableEntityC {
public:
    FEMeshEdgeC() : FEMeshPickableEntityC(EDGE) {}
    FEMeshEdgeC(const FEMeshEdgeC&) = delete;
    FEMeshEdgeC& operator=(const FEMeshEdgeC&) = delete;

    FEMeshHalfEdgeC* getFirstHalfEdge() const { return first; }
    FEMeshHalfEdgeC* getSecondHalfEdge() const { return second; }
    void setFirstHalfEdge(FEMeshHalfEdgeC* h) { first = h; }
    void setSecondHalfEdge(FEMeshHalfEdgeC* h) { second = h; }
    FEMeshEdgeC* getNext() const { return next; }
    FEMeshEdgeC* getPrevious() const { return previous; }
    void setNext(FEMeshEdgeC* e) { next = e; }
    void setPrevious(FEMeshEdgeC* e) { previous = e; }
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
    unsigned getIncidentLinkCount() const { return unsigned(links[0].inUse()) + unsigned(links[1].inUse()); }

private:
    friend class FEMeshPartC;
    friend class FEMeshIncidenceC;

    uint8_t smooth = 0;
    int index = 0;
    FEMeshHalfEdgeC* first = nullptr;
    FEMeshHalfEdgeC* second = nullptr;
    FEMeshEdgeC* next = nullptr;
    FEMeshEdgeC* previous = nullptr;
};

inline FEMeshEdgeC* FEMeshIncidenceC::getEdge() const
{
    // links[0] is the first member of the links record, which is the edge's first base.
    const FEMeshIncidenceC* first = isSecond() ? this - 1 : this;
    auto* links = reinterpret_cast<FEMeshEdgeLinksC*>(const_cast<FEMeshIncidenceC*>(first));
    return static_cast<FEMeshEdgeC*>(links);
}

// A position shared by the faces that meet there, found again through the part's vertex hash.
class FEMeshVertexC : public FEMeshPickableEntityC {
public:
    explicit FEMeshVertexC(const Point3Df& p) : FEMeshPickableEntityC(VERTEX), position(p) {}
    FEMeshVertexC(const FEMeshVertexC&) = delete;
    FEMeshVertexC& operator=(const FEMeshVertexC&) = delete;

    const Point3Df& getPosition() const { return position; }
    // Code that moves vertices tells the part afterwards (FEMeshPartC::verticesMoved).
    void setPosition(const Point3Df& p) { position = p; }

    // Incident edges in list order: every edge that starts or ends here, while the mesh is built.
    FEMeshIncidenceC* getFirstIncidence() const { return incidentHead; }
    unsigned getIncidentEdgeCount() const { return incidentCount; }
    FEMeshEdgeC* getFirstIncidentEdge() const { return incidentHead ? incidentHead->getEdge() : nullptr; }
    FEMeshEdgeC* getLastIncidentEdge() const { return incidentTail ? incidentTail->getEdge() : nullptr; }
    bool hasIncidentEdge(const FEMeshEdgeC* e) const;

    FEMeshHalfEdgeC* getOutgoingHalfEdge() const { return outgoing; }
    void setOutgoingHalfEdge(FEMeshHalfEdgeC* h) { outgoing = h; }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }
    FEMeshVertexC* getHashLink() const { return hashLink; }

private:
    friend class FEMeshPartC;
    friend class FEMeshVertexHashC;

    Point3Df position;
    unsigned incidentCount = 0;
    uint16_t hashBucket = 0;  // the chain it was stored in (a moved vertex stays there)
    FEMeshIncidenceC* incidentHead = nullptr;
    FEMeshIncidenceC* incidentTail = nullptr;
    FEMeshHalfEdgeC* outgoing = nullptr;
    int index = 0;
    uint32_t hashSequence = 0;  // insertion order, the order of the hash chains
    FEMeshVertexC* hashLink = nullptr;
    FEMeshVertexC* gridLink = nullptr;  // next vertex in the same cell of the hash's position index
};

// Inline members that need more than one complete record.
inline FEMeshHalfEdgeC* FEMeshHalfEdgeC::getPartner() const
{
    if (!edge)
        return nullptr;
    if (edge->getFirstHalfEdge() == this)
        return edge->getSecondHalfEdge();
    if (edge->getSecondHalfEdge() == this)
        return edge->getFirstHalfEdge();
    return nullptr;
}

inline FEMeshFaceC* FEMeshHalfEdgeC::getFace() const { return loop ? loop->getFace() : nullptr; }
static_assert(sizeof(void*) != 8 || (sizeof(FEMeshHalfEdgeC) == 56 && sizeof(FEMeshEdgeC) == 56 &&
                                     sizeof(FEMeshVertexC) == 72),
              "millions of these make a large mesh: keep them compact");
