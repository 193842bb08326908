// FEMeshPartC: the boundary mesh of one part (faces, loops, half-edges, edges, vertices) and how it is built.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "foundation/RWCString.h"
#include "foundation/RWTPtrSortedVector.h"
#include "foundation/RWTValHashDictionary.h"
#include "foundation/RWTValOrderedVector.h"
#include "foundation/RWTValSlist.h"
#include "math/Point3D.h"
#include "math/feColor.h"
#include "geometry/mesh/FEMeshEdgeInfoC.h"
#include "geometry/mesh/FEMeshPickListEntryC.h"
#include "geometry/mesh/FEMeshPool.h"
#include "geometry/mesh/FEMeshThreadC.h"
#include "geometry/mesh/FEMeshTopology.h"
#include "geometry/mesh/FEMeshVertexHashC.h"
#include "geometry/mesh/stlImporterI.h"
#include "services/objects/ReferencableObject.h"
#include "services/objects/refHandle.h"

class FEMeshFaceInfoI;
class FEMeshFanIndexC;
class FEMeshVertexQueueC;
class FEMeshMergeMemoC;
class MemoryBlockC;
class stlProgressI;
struct ReadStop;
class FETriangleCollectorC;
class csrecordfile;

// The part owns its faces, edges, threads and (through the hash) its vertices; a face owns its
// loops and a loop its half-edges. All records come from pools owned by the part and go with it.
// Face informations are shared by reference count.
class FEMeshPartC : public ReferencableObject, public stlImporterI {
public:
    FEMeshPartC();
    ~FEMeshPartC() override;
    FEMeshPartC(const FEMeshPartC&) = delete;
    FEMeshPartC& operator=(const FEMeshPartC&) = delete;

    // Empties the part. Keeps the merge tolerance, name, colour, matrices, texts, attribute
    // dictionary, pick state, edge cursors and the shared flag.
    void clear();

    // ---- Building (faces are polygons given as point lists) ----

    // A face from at least three points, with the plane normal taken as given. The face stays
    // current (addLoop adds holes to it) until endFace. Null for fewer than three points.
    // The edge informations are not read.
    FEMeshFaceC* addFace(const RWTValSlist<Point3D>& points, const Point3D& normal, FEMeshFaceInfoI* faceInfo,
                         const RWTValOrderedVector<FEMeshEdgeInfoC>& edgeInfos, float creaseAngle, int groupId);
    // The same from an array of points.
    FEMeshFaceC* addFace(const Point3D* points, size_t count, const Point3D& normal, FEMeshFaceInfoI* faceInfo,
                         float creaseAngle, int groupId);
    // A further loop (a hole) of the current face; false without a current face or with fewer
    // than three points.
    bool addLoop(const RWTValSlist<Point3D>& points, const RWTValOrderedVector<FEMeshEdgeInfoC>& edgeInfos);
    bool addLoop(const Point3D* points, size_t count);
    bool endFace();
    // The vertex within the hash tolerance of p, or a new one (which grows the box).
    FEMeshVertexC* findOrCreateVertex(const Point3Df& p);

    // The importer side: a triangle is a face with the normalised winding normal, crease angle
    // 15 degrees, group 0. Always true.
    void beginImport(int estimatedFacetCount) override;
    bool addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3) override;
    void endImport() override;

    // Reads an STL model (text or binary, told apart by its content) into the part through the
    // importer side. True exactly when the whole model read without error. The crease angle is
    // not used: triangles always take 15 degrees. The progress receiver may be null.
    bool readSTLFromString(const MemoryBlockC& data, float creaseAngle, stlProgressI* progress);
    bool readSTLFromString(const char* data, size_t size, float creaseAngle, stlProgressI* progress);
    bool readSTLFromFile(const char* fileName, float creaseAngle, stlProgressI* progress);
    // The same, telling in *stop where and why a read that failed stopped.
    bool readSTLFromString(const MemoryBlockC& data, float creaseAngle, stlProgressI* progress, ReadStop* stop);
    // The same, giving the block's pages back to the system as the reading passes them, for a
    // block not needed after the read (its bytes read as zeros afterwards): the file's bytes and
    // the mesh made of them are not held whole at the same time.
    bool readSTLConsuming(MemoryBlockC& data, ReadStop* stop);

    // ---- Completing the mesh ----

    // Merges coplanar neighbours, removes spikes and straight vertices, purges unused vertices
    // and separates loops into faces. A tolerance other than -1.0 becomes the merge tolerance.
    void finalize(double tolerance);
    bool mergeCoplanarFaces();
    bool removeStraightVertices();
    void separateLoops();
    // 0 inside, 1 on the boundary, 2 outside, in the plane with the given normal.
    int pointInLoop(float nx, float ny, float nz, FEMeshLoopC* loop, const Point3Df& p);
    // Gives every corner the mean normal of the faces around its vertex up to crease edges.
    void smoothNormals();

    // ---- Queries and whole-part operations (FEMeshPartQueries.cpp) ----

    // The stored box. An empty side (minimum not below 1e10, maximum not above -1e10, compared
    // lexicographically) reports -50 / 50 on every axis and makes the result false.
    bool getBoundingBox(Point3D& min, Point3D& max) const;
    // Edges (flag 1), faces (2) and vertices (4) met by the line p1->p2 within the width, in
    // ascending distance from p1 (equal distances: edges, faces, vertices in walk order). The
    // caller owns the entries (clearAndDestroy).
    RWTPtrSortedVector<FEMeshPickListEntryC> pick(const Point3D& p1, const Point3D& p2, double width, int flags);
    // Every face into the collector through the face triangulator.
    void triangulate(FETriangleCollectorC* collector);
    // Every face as triangle faces of the target part.
    void triangulateInto(FEMeshPartC* target);
    void forEachFace(void (*fn)(FEMeshFaceC*, void*), void* arg);
    void forEachEdge(void (*fn)(FEMeshEdgeC*, void*), void* arg);
    void forEachVertex(void (*fn)(FEMeshVertexC*, void*), void* arg);
    // Positions := M p; face and corner normals := M n - M 0 (not re-normalised). Row-major M.
    void transform(const double* m16);
    void scale(float factor);
    void recomputeBoundingBox();
    // Vertex, edge and face indices 0, 1, ... in hash, edge-list and face-list order.
    void renumber();
    // Appends a copy of the source's mesh and threads (not its attributes).
    void copyFrom(const FEMeshPartC& source);

    // ---- Persistence, analysis and editing (FEMeshPartPersist.cpp, FEMeshPartAnalysis.cpp,
    // FEMeshPartEuler.cpp) ----

    // Writes the mesh as one record of the given tag (tags 5001 to 5041 inside); false when the
    // record file refuses a write.
    bool save(csrecordfile& file, int tag);
    // Reads the given number of records (the children of a saved mesh record) and adds their
    // mesh to the part: edges and faces are new and numbered from the part's counters, saved
    // vertices merge with existing ones within the hash tolerance (keeping their own incident
    // edges), and a part that was not manifold stays so. False, with the part left
    // exactly as it was, when the records end early or are damaged, or a half-edge names an
    // edge or vertex the records do not hold (or a side of an edge another half-edge took).
    bool load(csrecordfile& file, unsigned recordCount);

    // Surface area, enclosed volume, centre of mass and the rows of the inertia tensor (about
    // the centre) of the triangulated faces, taken as a closed, outward-facing solid.
    void computeMassProperties(double& area, double& volume, Point3D& centre, Point3D& row1, Point3D& row2,
                               Point3D& row3);
    // The principal axes of the vertex cloud (the vertices of `hash`, else of the part):
    // eigenvalues of its covariance, largest first, with unit axes and the centroid. False, with
    // zeros, for fewer than two vertices or when the solver does not settle.
    bool computePrincipalAxes(double& eigenvalue1, double& centroidX, Point3D& axis1, double& eigenvalue2,
                              double& centroidY, Point3D& axis2, double& eigenvalue3, double& centroidZ, Point3D& axis3,
                              FEMeshVertexHashC* hash = nullptr);
    // The mesh graph as a dot text: a node per vertex met walking the faces' rings, an arc per
    // half-edge. The second form takes one face (none when null).
    void writeGraph(RWCString& out);
    void writeGraph(RWCString& out, FEMeshFaceC* face);

    // Euler operators. Each gives null (and changes nothing) when its half-edges do not fit.
    // A new vertex at p joined to h1's vertex by a new edge; the corners from h1 up to (not
    // including) h2 around the vertex move to the new vertex. h1 and h2 start at one vertex.
    FEMeshVertexC* makeEdgeVertex(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2, const Point3D& p);
    // A new edge from h1's vertex to h2's vertex cutting their loop in two; the part from h2 up
    // to h1 goes to a new face (and loop), which is given.
    FEMeshFaceC* makeEdgeFace(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2);
    // A new edge joining the vertices of h1 and h2, two loops of one face; h2's loop joins h1's
    // and is deleted.
    FEMeshEdgeC* makeEdgeKillRing(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2);
    // Collapses an edge between two faces, one of them a triangle, moving its start vertex to p;
    // false (nothing done) unless the topology allows it. Smooths the normals afterwards.
    bool collapseEdge(FEMeshEdgeC* edge, const Point3D& p);
    // Deletes faces with a half-edge without partner until none is left; gives how many.
    int deleteOpenFaces();
    void loopPositions(FEMeshLoopC* loop, RWTValSlist<Point3D>& out) const;
    void clearFaceMarks();
    // pointInLoop of the loop with its face's normal: 0 inside, 1 on the boundary, 2 outside.
    int classifyPoint(FEMeshLoopC* loop, const Point3D& p);

    // ---- List and deletion operations ----

    void appendFace(FEMeshFaceC* face);
    void appendEdge(FEMeshEdgeC* edge);
    void insertFaceBefore(FEMeshFaceC* face, FEMeshFaceC* before);
    // Unlinks the edge from the edge list (moving a cursor that points at it on to its next).
    void removeEdge(FEMeshEdgeC* edge);
    void deleteHalfEdge(FEMeshHalfEdgeC* h, bool keepLoop);
    void deleteLoop(FEMeshLoopC* loop, bool keepFace);
    void deleteFace(FEMeshFaceC* face);
    bool joinAcrossEdge(FEMeshHalfEdgeC* a, FEMeshHalfEdgeC* b);
    bool removeSpike(FEMeshHalfEdgeC* a, FEMeshHalfEdgeC* b);
    // Takes a loop out of its face's chain / links it at the end of a face's chain.
    void detachLoop(FEMeshLoopC* loop);
    void attachLoop(FEMeshLoopC* loop, FEMeshFaceC* face);

    // ---- Records (for code that builds or copies a mesh record by record) ----

    FEMeshFaceC* createFace(FEMeshFaceInfoI* faceInfo = nullptr) { return facePool().create(faceInfo); }
    FEMeshLoopC* createLoop() { return loopPool().create(); }
    FEMeshHalfEdgeC* createHalfEdge() { return halfEdgePool().create(); }
    FEMeshEdgeC* createEdge() { return edgePool().create(); }
    // Numbered records: index := next number, then the counter grows.
    int takeVertexNumber() { return nextVertexNumber++; }
    int takeEdgeNumber() { return nextEdgeNumber++; }
    int takeFaceNumber() { return nextFaceNumber++; }

    // Incident-edge lists of vertices (append at the tail; remove drops the first link holding
    // the edge and gives false when there is none).
    void appendIncidentEdge(FEMeshVertexC* v, FEMeshEdgeC* e);
    bool removeIncidentEdge(FEMeshVertexC* v, FEMeshEdgeC* e);
    void clearIncidentEdges(FEMeshVertexC* v);

    // Code that moves vertices or hooks half-edges to other vertices calls this afterwards, so
    // that the search indexes of the hash and of large fans are rebuilt.
    void verticesMoved();
    // Incident lists of at least this many edges are searched through a fan index (tests set it).
    void setFanIndexThreshold(unsigned n) { fanIndexThreshold = n; }
    // Edge lists of at least this many edges are merged through a memo of what their faces
    // allow (tests set it, to compare with the plain walks).
    void setMergeMemoThreshold(size_t n) { mergeMemoThreshold = n; }
    // Walks over the vertex hash take this many chains side by side (from 1 to 8; tests set 1,
    // to compare with the walk of one chain after another).
    void setChainsAbreast(unsigned n) { chainsAbreast = n; }

    // ---- Tolerances and flags ----

    void setTolerance(double t);
    double getTolerance() const { return mergeTolerance; }
    // compareWithinTolerance with the merge tolerance.
    int compareWithTolerance(const Point3Df& a, const Point3Df& b) const
    {
        return compareWithinTolerance(a, b, mergeTolerance);
    }
    bool isManifold() const { return manifold != 0; }
    void setMergeAcrossGroups(bool m) { mergeAcrossGroups = m ? 1 : 0; }
    bool getMergeAcrossGroups() const { return mergeAcrossGroups != 0; }
    bool isShared() const { return shared != 0; }
    void setShared(bool s) { shared = s ? 1 : 0; }
    float getCreaseThreshold() const { return creaseThreshold; }
    int getGroupMode() const { return groupMode; }

    // ---- Contents ----

    FEMeshVertexHashC& getVertexHash() { return vertexHash(); }
    const FEMeshVertexHashC& getVertexHash() const { return vertexHash(); }
    FEMeshFaceC* getFirstFace() const { return faceHead; }
    FEMeshFaceC* getLastFace() const { return faceTail; }
    FEMeshEdgeC* getFirstEdge() const { return edgeHead; }
    FEMeshEdgeC* getLastEdge() const { return edgeTail; }
    FEMeshFaceC* getCurrentFace() const { return currentFace; }
    int getNextVertexNumber() const { return nextVertexNumber; }
    int getNextEdgeNumber() const { return nextEdgeNumber; }
    int getNextFaceNumber() const { return nextFaceNumber; }
    size_t getFaceCount() const { return facePool().live(); }
    size_t getEdgeCount() const { return edgePool().live(); }
    size_t getVertexCount() const { return vertexHash().entries(); }
    // Whether the part ever made a record (or was asked for its vertex hash): until then it keeps
    // no record storage, so that a part that holds nothing costs little.
    bool hasRecordStorage() const { return records != nullptr; }

    FEMeshEdgeC* getEdgeCursor() const { return edgeCursor; }
    FEMeshEdgeC* getNextEdgeCursor() const { return nextEdgeCursor; }
    void setEdgeCursors(FEMeshEdgeC* current, FEMeshEdgeC* next)
    {
        edgeCursor = current;
        nextEdgeCursor = next;
    }

    // ---- Attributes ----

    RWCString getName() const { return name; }
    void setName(const RWCString& n) { name = n; }
    feColor getColor() const { return color; }
    void setColor(const feColor& c) { color = c; }
    void getPlacement(double* m16) const;
    void setPlacement(const double* m16);
    void getSecondPlacement(double* m16) const;
    void setSecondPlacement(const double* m16);
    // Raw box values; a part without vertices has 1e15 / -1e15 on every axis.
    Point3D getMinPoint() const { return boxMin; }
    Point3D getMaxPoint() const { return boxMax; }

    RWTValOrderedVector<FEMeshThreadC*>& getThreads() { return threads; }
    // The part takes ownership of the thread.
    void addThread(FEMeshThreadC* t) { threads.append(t); }

    static constexpr int kTextCount = 7;
    RWCString getText(int i) const { return (i >= 0 && i < kTextCount) ? texts[i] : RWCString(); }
    void setText(int i, const RWCString& t)
    {
        if (i >= 0 && i < kTextCount)
            texts[i] = t;
    }
    // The identifier is the seventh text, the part's "MID" text of the model file; the other
    // six texts are kept but not used.
    static constexpr int kIdentifierText = 6;
    RWCString getIdentifier() const { return texts[kIdentifierText]; }
    void setIdentifier(const RWCString& t) { texts[kIdentifierText] = t; }
    RWCString getMID() const { return texts[kIdentifierText]; }
    void setMID(const RWCString& t) { texts[kIdentifierText] = t; }
    // Made with the first call: most parts never have attributes.
    RWTValHashDictionary<RWCString, RWCString>& getAttributes();

    // ---- Pick state ----

    void resetPickState();
    void setSelectedEdge(FEMeshEdgeC* e) { pickEdge[0] = e; }
    void setHighlightedEdge(FEMeshEdgeC* e) { pickEdge[1] = e; }
    void setSelectedFace(FEMeshFaceC* f) { pickFace[0] = f; }
    void setHighlightedFace(FEMeshFaceC* f) { pickFace[1] = f; }
    void setSelectedVertex(FEMeshVertexC* v) { pickVertex[0] = v; }
    void setHighlightedVertex(FEMeshVertexC* v) { pickVertex[1] = v; }
    void setSelectionKind(int k) { pickKind[0] = k; }
    void setHighlightKind(int k) { pickKind[1] = k; }
    FEMeshEdgeC* getSelectedEdge() const { return pickEdge[0]; }
    FEMeshEdgeC* getHighlightedEdge() const { return pickEdge[1]; }
    FEMeshFaceC* getSelectedFace() const { return pickFace[0]; }
    FEMeshFaceC* getHighlightedFace() const { return pickFace[1]; }
    FEMeshVertexC* getSelectedVertex() const { return pickVertex[0]; }
    FEMeshVertexC* getHighlightedVertex() const { return pickVertex[1]; }
    int getSelectionKind() const { return pickKind[0]; }
    int getHighlightKind() const { return pickKind[1]; }
    void setPickPoint(const Point3D& p) { pickPoint = p; }
    Point3D getPickPoint() const { return pickPoint; }

protected:
    // Builds the ring of one loop from narrowed points (at least one), with the hash lookups of
    // the points when given, and, when given, the vertices already known to be what the hash
    // finds for some of the points (null for the others).
    bool buildLoop(const Point3Df* points, size_t count, FEMeshLoopC* loop,
                   const FEMeshVertexHashC::Lookup* lookups = nullptr, FEMeshVertexC* const* known = nullptr);
    bool buildLoop(const RWTValSlist<Point3D>& points, FEMeshLoopC* loop);

private:
    // The part's own STL import, which prepares runs of binary facets in parallel (FEMeshPartSTL.cpp).
    class STLRunImporter;
    // The face normal addTriangle gives a triangle: its winding normal, normalised.
    static Point3D windingNormal(const Point3D& p1, const Point3D& p2, const Point3D& p3);

    FEMeshVertexC* createVertex(const Point3Df& p, const FEMeshVertexHashC::Lookup* lookup = nullptr);
    FEMeshEdgeC* findPairEdge(FEMeshVertexC* at, const Point3Df& pj, const Point3Df& pi);
    void appendIncidentEdge(FEMeshVertexC* v, FEMeshEdgeC* e, const FEMeshVertexC* farEnd);
    FEMeshFanIndexC* fanIndexOf(FEMeshVertexC* v);
    void dropFanIndexes();
    FEMeshFaceC* addFaceFromPoints(const Point3Df* points, size_t count, const Point3D& normal,
                                   FEMeshFaceInfoI* faceInfo, float creaseAngle, int groupId,
                                   const FEMeshVertexHashC::Lookup* lookups = nullptr,
                                   FEMeshVertexC* const* known = nullptr);
    bool addLoopFromPoints(const Point3Df* points, size_t count);
    bool processMergeEdge(int walk, FEMeshEdgeC* e);
    // One round of the three merge walks; bit w - 1 set when walk w changed something. The memo
    // carries what the walks found from one round to the next (empty at first).
    unsigned mergeWalks(FEMeshMergeMemoC& memo);
    unsigned mergeWalksPlain();
    void cutLoop(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2);
    void destroyUnlinkedPair(FEMeshHalfEdgeC* a, FEMeshHalfEdgeC* b);
    void deleteHalfEdgeTo(FEMeshHalfEdgeC* h, bool keepLoop, FEMeshVertexC* farEnd);
    void dropBareEdge(FEMeshEdgeC* e, FEMeshVertexC* end1, FEMeshVertexC* end2);
    void unlinkFace(FEMeshFaceC* face);
    void relabelRing(FEMeshHalfEdgeC* from, FEMeshHalfEdgeC* stop, FEMeshLoopC* loop);
    void replaceLoopInChain(FEMeshLoopC* old, FEMeshLoopC* replacement);
    void repairOutgoingHalfEdges();
    // The vertices a pass of removeStraightVertices can remove, by their place in the hash's walk;
    // false when the walk is not in that order.
    bool collectStraightCandidates(FEMeshVertexQueueC& candidates);
    bool straightVertexPass(FEMeshVertexQueueC* candidates);
    // Faces are cut into pieces of at least this many for parallel passes over their corners.
    static constexpr size_t kFacesPerPiece = 16384;
    // The last steps of finalize: unused vertices purged, loops separated, incident lists emptied.
    void purgeAndClearIncidentEdges();
    // The last step of finalize: when merging freed many records, the records left are copied
    // into new slots together, list by list, and the old slots go back (FEMeshPartCompact.cpp).
    void compactRecords();
    // Every record of the pools is met walking the lists (faces, their loops and rings; edges).
    // The rings are walked in pieces of the face list, in parallel; faceStarts receives where the
    // pieces start (as facePieces(kFacesPerPiece) gives them) when the answer is yes.
    bool recordsAllReachable(std::vector<FEMeshFaceC*>& faceStarts) const;
    // clear without the threads: the mesh records go, the counters, flags and box start again.
    void clearRecords();
    void getPlacementAt(size_t at, double* m16) const;
    void setPlacementAt(size_t at, const double* m16);
    // Empties a vertex's incident list (its fan index is left to the caller).
    void emptyIncidentList(FEMeshVertexC* v);
    void destroyFace(FEMeshFaceC* face);  // loops, half-edges and the face record, nothing else
    // The face list cut into pieces of consecutive faces for parallel work (at least minPerPiece
    // faces each, a single piece for short lists): the first face of each piece, in list order;
    // a piece ends where the next begins, the last one at the end of the list.
    std::vector<FEMeshFaceC*> facePieces(size_t minPerPiece) const;
    std::vector<FEMeshEdgeC*> edgePieces(size_t minPerPiece) const;  // the same for the edge list
    static void narrow(const RWTValSlist<Point3D>& points, std::vector<Point3Df>& out);

    // The records and the search aids of building, made when first needed (a part that holds
    // nothing, such as an empty part block of a model file, never makes them).
    struct Records {
        Records();
        ~Records();
        FEMeshVertexHashC vertexHash;
        FEMeshPoolC<FEMeshFaceC> facePool;
        FEMeshPoolC<FEMeshLoopC> loopPool;
        FEMeshPoolC<FEMeshHalfEdgeC> halfEdgePool;
        FEMeshPoolC<FEMeshEdgeC> edgePool;
        std::unordered_map<const FEMeshVertexC*, std::unique_ptr<FEMeshFanIndexC>> fanIndexes;
        std::vector<FEMeshVertexC*> scratchVertices;
        std::vector<unsigned char> scratchExisted;
        std::vector<Point3Df> scratchPoints;
    };
    // The records, made when missing; the const form reads an empty set in their place.
    Records& made();
    const Records& made() const;
    FEMeshVertexHashC& vertexHash() { return made().vertexHash; }
    const FEMeshVertexHashC& vertexHash() const { return made().vertexHash; }
    FEMeshPoolC<FEMeshFaceC>& facePool() { return made().facePool; }
    const FEMeshPoolC<FEMeshFaceC>& facePool() const { return made().facePool; }
    FEMeshPoolC<FEMeshLoopC>& loopPool() { return made().loopPool; }
    const FEMeshPoolC<FEMeshLoopC>& loopPool() const { return made().loopPool; }
    FEMeshPoolC<FEMeshHalfEdgeC>& halfEdgePool() { return made().halfEdgePool; }
    const FEMeshPoolC<FEMeshHalfEdgeC>& halfEdgePool() const { return made().halfEdgePool; }
    FEMeshPoolC<FEMeshEdgeC>& edgePool() { return made().edgePool; }
    const FEMeshPoolC<FEMeshEdgeC>& edgePool() const { return made().edgePool; }
    std::unordered_map<const FEMeshVertexC*, std::unique_ptr<FEMeshFanIndexC>>& fanIndexes() { return made().fanIndexes; }
    std::vector<FEMeshVertexC*>& scratchVertices() { return made().scratchVertices; }
    std::vector<unsigned char>& scratchExisted() { return made().scratchExisted; }
    std::vector<Point3Df>& scratchPoints() { return made().scratchPoints; }

    // Fields of the mesh part, in their declared order.
    FEMeshEdgeC* edgeCursor = nullptr;
    FEMeshEdgeC* nextEdgeCursor = nullptr;
    double mergeTolerance = 1e-5;
    std::unique_ptr<Records> records;
    double hashTolerance = 1e-5;  // what the hash takes when it is made
    FEMeshEdgeC* edgeHead = nullptr;
    FEMeshEdgeC* edgeTail = nullptr;
    FEMeshFaceC* faceHead = nullptr;
    FEMeshFaceC* faceTail = nullptr;
    int nextVertexNumber = 1;
    int nextEdgeNumber = 1;
    int nextFaceNumber = 1;
    FEMeshFaceC* currentFace = nullptr;
    float creaseThreshold = 0.0f;
    int groupMode = 0;
    unsigned char manifold = 1;
    unsigned char mergeAcrossGroups = 0;
    unsigned char shared = 0;
    RWCString name;
    feColor color;
    // The two placement matrices, one after the other; null while both are the identity.
    std::unique_ptr<double[]> placements;
    Point3D boxMin;
    Point3D boxMax;
    RWTValOrderedVector<FEMeshThreadC*> threads;
    FEMeshEdgeC* pickEdge[2] = {nullptr, nullptr};
    FEMeshFaceC* pickFace[2] = {nullptr, nullptr};
    FEMeshVertexC* pickVertex[2] = {nullptr, nullptr};
    int pickExtra = 0;
    Point3D pickPoint;
    int pickKind[2] = {0, 0};
    RWCString texts[kTextCount];
    std::unique_ptr<RWTValHashDictionary<RWCString, RWCString>> attributes;

    unsigned fanIndexThreshold = 64;
    size_t mergeMemoThreshold = 200000;
    unsigned chainsAbreast = 8;
    float thresholdAngle = std::numeric_limits<float>::quiet_NaN();  // the angle whose threshold was worked out last
    float thresholdOfAngle = 0.0f;
    // While the merge walks run through a memo: told of every edge and face deleted.
    FEMeshMergeMemoC* mergeMemo = nullptr;
};

// Copy on write: a null handle gets a new empty part; a shared part is replaced by a copy.
void makeUnique(refHandle<FEMeshPartC>& part);
