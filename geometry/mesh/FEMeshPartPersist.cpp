// FEMeshPartC: saving the mesh as tagged records and loading it back.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry/mesh/FEMeshPartC.h"
#include "services/streams/csrecordfile.h"

namespace {

// The record tags of a saved mesh.
enum MeshTag : int {
    kEdges = 5001,
    kEdge = 5002,
    kEdgeSmooth = 5010,
    kEdgeIndex = 5011,
    kVertices = 5012,
    kVertex = 5013,
    kVertexX = 5014,
    kVertexY = 5015,
    kVertexZ = 5016,
    kVertexIndex = 5017,
    kIncidentEdges = 5018,
    kIncidentEdge = 5019,
    kFaces = 5020,
    kFace = 5021,
    kFaceGroup = 5025,
    kFaceNormalX = 5026,
    kFaceNormalY = 5027,
    kFaceNormalZ = 5028,
    kFaceIndex = 5029,
    kLoops = 5030,
    kLoop = 5031,
    kHalfEdge = 5032,
    kCornerNormalX = 5033,
    kCornerNormalY = 5034,
    kCornerNormalZ = 5035,
    kFirstOfEdge = 5036,
    kSecondOfEdge = 5037,
    kOutgoingOfVertex = 5038,
    kOfVertex = 5039,
    kNotManifold = 5041,
};

// ---- What a load reads before it changes the part ----

struct LoadedEdge {
    int savedIndex = 0;
    bool hasIndex = false;
    bool smooth = false;
};

struct LoadedVertex {
    float position[3] = {0, 0, 0};
    int savedIndex = 0;
    bool hasIndex = false;
    uint32_t firstIncident = 0;  // into LoadedMesh::incidents
    uint32_t incidentCount = 0;
};

struct LoadedHalfEdge {
    float normal[3] = {0, 0, 0};
    int edge = 0;
    int vertex = 0;
    uint8_t edgeSide = 0;  // 0 none, 1 first, 2 second
    bool hasVertex = false;
    bool outgoing = false;
};

struct LoadedLoop {
    uint32_t firstHalfEdge = 0;
    uint32_t halfEdgeCount = 0;
};

struct LoadedFace {
    int groupId = 0;
    float normal[3] = {0, 0, 0};
    uint32_t firstLoop = 0;
    uint32_t loopCount = 0;
};

struct LoadedMesh {
    bool sawManifold = false;
    int notManifold = 0;
    std::vector<LoadedEdge> edges;
    std::vector<LoadedVertex> vertices;
    std::vector<int> incidents;
    std::vector<LoadedFace> faces;
    std::vector<LoadedLoop> loops;
    std::vector<LoadedHalfEdge> halfEdges;
};

// Damaged records end the read.
struct LoadFailure {};

// Reads heads and values in file order; any failure of the record file becomes LoadFailure
// (its FileException included).
class RecordReader {
public:
    explicit RecordReader(csrecordfile& f) : file(f) {}

    // The next head; true for a value record.
    bool next()
    {
        try {
            isValue = file.readRecordHead(tag, count);
        } catch (const FileException&) {
            throw LoadFailure();
        }
        if (file.getStatus() != csrecordfile::statusOk)
            throw LoadFailure();
        return isValue;
    }
    int intValue()
    {
        int v = 0;
        if (!file.getInt(v))
            throw LoadFailure();
        return v;
    }
    float floatValue()
    {
        double v = 0.0;
        if (!file.getDouble(v))
            throw LoadFailure();
        // Positions and normals are stored as floats; a value that is none is damage.
        const float f = float(v);
        if (!std::isfinite(f))
            throw LoadFailure();
        return f;
    }
    // Passes the record just read (a group with all it holds).
    void skip()
    {
        if (isValue)
            return;
        try {
            file.skipRecord();
        } catch (const FileException&) {
            throw LoadFailure();
        }
        if (file.getStatus() != csrecordfile::statusOk)
            throw LoadFailure();
    }
    // The children of the group just read, as a number to count down.
    unsigned children() const { return isValue ? 0 : count; }

    unsigned tag = 0;
    unsigned count = 0;
    bool isValue = false;

private:
    csrecordfile& file;
};

void readEdge(RecordReader& in, LoadedMesh& mesh)
{
    LoadedEdge edge;
    for (unsigned n = in.children(); n > 0; --n) {
        const bool value = in.next();
        if (value && in.tag == kEdgeSmooth)
            edge.smooth = in.intValue() != 0;
        else if (value && in.tag == kEdgeIndex) {
            edge.savedIndex = in.intValue();
            edge.hasIndex = true;
        } else
            in.skip();
    }
    mesh.edges.push_back(edge);
}

void readVertex(RecordReader& in, LoadedMesh& mesh)
{
    LoadedVertex vertex;
    vertex.firstIncident = uint32_t(mesh.incidents.size());
    for (unsigned n = in.children(); n > 0; --n) {
        const bool value = in.next();
        if (value && in.tag >= kVertexX && in.tag <= kVertexZ)
            vertex.position[in.tag - kVertexX] = in.floatValue();
        else if (value && in.tag == kVertexIndex) {
            vertex.savedIndex = in.intValue();
            vertex.hasIndex = true;
        } else if (!value && in.tag == kIncidentEdges) {
            // A later list replaces an earlier one.
            mesh.incidents.resize(vertex.firstIncident);
            for (unsigned m = in.children(); m > 0; --m) {
                if (in.next() && in.tag == kIncidentEdge)
                    mesh.incidents.push_back(in.intValue());
                else
                    in.skip();
            }
        } else
            in.skip();
    }
    vertex.incidentCount = uint32_t(mesh.incidents.size() - vertex.firstIncident);
    mesh.vertices.push_back(vertex);
}

void readHalfEdge(RecordReader& in, LoadedMesh& mesh)
{
    LoadedHalfEdge h;
    for (unsigned n = in.children(); n > 0; --n) {
        const bool value = in.next();
        if (!value) {
            in.skip();
            continue;
        }
        switch (in.tag) {
        case kCornerNormalX:
        case kCornerNormalY:
        case kCornerNormalZ:
            h.normal[in.tag - kCornerNormalX] = in.floatValue();
            break;
        case kFirstOfEdge:
        case kSecondOfEdge:
            h.edge = in.intValue();
            h.edgeSide = in.tag == kFirstOfEdge ? 1 : 2;
            break;
        case kOutgoingOfVertex:
        case kOfVertex:
            h.vertex = in.intValue();
            h.hasVertex = true;
            h.outgoing = in.tag == kOutgoingOfVertex;
            break;
        default:
            break;
        }
    }
    mesh.halfEdges.push_back(h);
}

void readLoop(RecordReader& in, LoadedMesh& mesh)
{
    LoadedLoop loop;
    loop.firstHalfEdge = uint32_t(mesh.halfEdges.size());
    for (unsigned n = in.children(); n > 0; --n) {
        if (!in.next() && in.tag == kHalfEdge)
            readHalfEdge(in, mesh);
        else
            in.skip();
    }
    loop.halfEdgeCount = uint32_t(mesh.halfEdges.size() - loop.firstHalfEdge);
    mesh.loops.push_back(loop);
}

void readFace(RecordReader& in, LoadedMesh& mesh)
{
    LoadedFace face;
    face.firstLoop = uint32_t(mesh.loops.size());
    for (unsigned n = in.children(); n > 0; --n) {
        const bool value = in.next();
        if (value && in.tag == kFaceGroup)
            face.groupId = in.intValue();
        else if (value && in.tag >= kFaceNormalX && in.tag <= kFaceNormalZ)
            face.normal[in.tag - kFaceNormalX] = in.floatValue();
        else if (!value && in.tag == kLoops) {
            for (unsigned m = in.children(); m > 0; --m) {
                if (!in.next() && in.tag == kLoop)
                    readLoop(in, mesh);
                else
                    in.skip();
            }
        } else
            in.skip();
    }
    face.loopCount = uint32_t(mesh.loops.size() - face.firstLoop);
    mesh.faces.push_back(face);
}

// Reads `recordCount` records of a mesh; the structure is fixed, so nesting costs no recursion.
void readMesh(RecordReader& in, unsigned recordCount, LoadedMesh& mesh)
{
    for (unsigned n = recordCount; n > 0; --n) {
        const bool value = in.next();
        if (value && in.tag == kNotManifold) {
            mesh.sawManifold = true;
            mesh.notManifold = in.intValue();
            continue;
        }
        if (value) {
            continue;
        }
        const unsigned tag = in.tag;
        const int wanted = tag == kEdges ? kEdge : tag == kVertices ? kVertex : tag == kFaces ? kFace : 0;
        if (!wanted) {
            in.skip();
            continue;
        }
        for (unsigned m = in.children(); m > 0; --m) {
            if (in.next() || int(in.tag) != wanted) {
                in.skip();
                continue;
            }
            if (wanted == kEdge)
                readEdge(in, mesh);
            else if (wanted == kVertex)
                readVertex(in, mesh);
            else
                readFace(in, mesh);
        }
    }
}

// Saved numbers to positions in the loaded arrays (the last record of a number wins). Dense
// numbers, as saves write them, use a table; others a hash map.
class NumberMap {
public:
    template <class Records>
    void build(const Records& records)
    {
        int lo = 0, hi = -1;
        bool any = false;
        for (const auto& r : records)
            if (r.hasIndex) {
                lo = any ? std::min(lo, r.savedIndex) : r.savedIndex;
                hi = any ? std::max(hi, r.savedIndex) : r.savedIndex;
                any = true;
            }
        if (!any)
            return;
        const uint64_t span = uint64_t(int64_t(hi) - int64_t(lo)) + 1;
        dense = span <= 4 * uint64_t(records.size()) + 1024;
        base = lo;
        if (dense)
            table.assign(size_t(span), -1);
        for (size_t i = 0; i < records.size(); ++i) {
            if (!records[i].hasIndex)
                continue;
            if (dense)
                table[size_t(int64_t(records[i].savedIndex) - base)] = int(i);
            else
                sparse[records[i].savedIndex] = int(i);
        }
    }
    // The position of a saved number, or -1.
    int find(int number) const
    {
        if (dense) {
            const int64_t at = int64_t(number) - base;
            return at >= 0 && at < int64_t(table.size()) ? table[size_t(at)] : -1;
        }
        auto it = sparse.find(number);
        return it == sparse.end() ? -1 : it->second;
    }

private:
    bool dense = true;
    int64_t base = 0;
    std::vector<int> table;
    std::unordered_map<int, int> sparse;
};

}  // namespace

// ---- Save ----

bool FEMeshPartC::save(csrecordfile& file, int tag)
{
    // Room for the records at their longest (heads, "%.14g" numbers, ten-digit indices), so
    // that the text is not moved as it grows; pages of the room not used are never touched.
    size_t halfEdges = 0, loops = 0;
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            ++loops;
            halfEdges += size_t(l->getHalfEdgeCount());
        }
    file.reserve(64 + getEdgeCount() * 60 + getVertexCount() * 150 + getFaceCount() * 175 + loops * 12 +
                 halfEdges * 165);

    bool ok = file.beginRecord(tag);
    ok = ok && file.writeInt(kNotManifold, manifold ? 0 : 1);

    ok = ok && file.beginRecord(kEdges);
    for (FEMeshEdgeC* e = edgeHead; e && ok; e = e->getNext()) {
        ok = file.beginRecord(kEdge) && file.writeInt(kEdgeSmooth, e->isSmooth() ? 1 : 0) &&
             file.writeInt(kEdgeIndex, e->getIndex()) && file.endRecord();
    }
    ok = ok && file.endRecord();

    ok = ok && file.beginRecord(kVertices);
    for (int b = vertexHash().nextBucket(-1); b < FEMeshVertexHashC::kBucketCount && ok; b = vertexHash().nextBucket(b))
        for (FEMeshVertexC* v = vertexHash().getBucketHead(b); v && ok; v = v->getHashLink()) {
            const Point3Df& p = v->getPosition();
            ok = file.beginRecord(kVertex) && file.writeDouble(kVertexX, p.x()) && file.writeDouble(kVertexY, p.y()) &&
                 file.writeDouble(kVertexZ, p.z()) && file.writeInt(kVertexIndex, v->getIndex()) &&
                 file.beginRecord(kIncidentEdges);
            for (FEMeshIncidenceC* n = v->getFirstIncidence(); n && ok; n = n->getNext())
                ok = file.writeInt(kIncidentEdge, n->getEdge()->getIndex());
            ok = ok && file.endRecord() && file.endRecord();
        }
    ok = ok && file.endRecord();

    ok = ok && file.beginRecord(kFaces);
    for (FEMeshFaceC* f = faceHead; f && ok; f = f->getNext()) {
        const Point3Df& n = f->getNormal();
        ok = file.beginRecord(kFace) && file.writeInt(kFaceGroup, f->getGroupId()) &&
             file.writeDouble(kFaceNormalX, n.x()) && file.writeDouble(kFaceNormalY, n.y()) &&
             file.writeDouble(kFaceNormalZ, n.z()) && file.writeInt(kFaceIndex, f->getIndex()) &&
             file.beginRecord(kLoops);
        for (FEMeshLoopC* l = f->getFirstLoop(); l && ok; l = l->getNext()) {
            ok = file.beginRecord(kLoop);
            FEMeshHalfEdgeC* first = l->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = first; h && ok;) {
                const Point3Df& c = h->getNormal();
                ok = file.beginRecord(kHalfEdge) && file.writeDouble(kCornerNormalX, c.x()) &&
                     file.writeDouble(kCornerNormalY, c.y()) && file.writeDouble(kCornerNormalZ, c.z());
                if (FEMeshEdgeC* e = h->getEdge()) {
                    if (e->getFirstHalfEdge() == h)
                        ok = ok && file.writeInt(kFirstOfEdge, e->getIndex());
                    else if (e->getSecondHalfEdge() == h)
                        ok = ok && file.writeInt(kSecondOfEdge, e->getIndex());
                }
                if (FEMeshVertexC* v = h->getVertex())
                    ok = ok && file.writeInt(v->getOutgoingHalfEdge() == h ? kOutgoingOfVertex : kOfVertex, v->getIndex());
                ok = ok && file.endRecord();
                h = h->getNext();
                if (h == first)
                    break;
            }
            ok = ok && file.endRecord();
        }
        ok = ok && file.endRecord() && file.endRecord();
    }
    ok = ok && file.endRecord();
    return ok && file.endRecord();
}

// ---- Load ----

bool FEMeshPartC::load(csrecordfile& file, unsigned recordCount)
{
    if (file.getStatus() != csrecordfile::statusOk)
        return false;

    // Everything is read and checked first; the part changes only when nothing can fail.
    LoadedMesh mesh;
    // Room for what the remaining text can hold at the sizes a save writes (a guess from the
    // bytes, never from counts in the records; more records simply grow the arrays).
    const size_t rest = file.text().size() / 8;
    mesh.halfEdges.reserve(std::min<size_t>(rest / 24, size_t(1) << 26));
    mesh.loops.reserve(std::min<size_t>(rest / 80, size_t(1) << 26));
    mesh.faces.reserve(std::min<size_t>(rest / 80, size_t(1) << 26));
    mesh.edges.reserve(std::min<size_t>(rest / 40, size_t(1) << 26));
    mesh.vertices.reserve(std::min<size_t>(rest / 80, size_t(1) << 26));
    RecordReader in(file);
    try {
        readMesh(in, recordCount, mesh);
    } catch (const LoadFailure&) {
        return false;
    }

    NumberMap edgeNumbers, vertexNumbers;
    edgeNumbers.build(mesh.edges);
    vertexNumbers.build(mesh.vertices);

    // Every half-edge names an edge and a vertex that the records hold, and no side of an
    // edge is claimed twice.
    std::vector<uint8_t> sidesTaken(mesh.edges.size(), 0);
    std::vector<int> halfEdgeEdge(mesh.halfEdges.size()), halfEdgeVertex(mesh.halfEdges.size());
    for (size_t i = 0; i < mesh.halfEdges.size(); ++i) {
        const LoadedHalfEdge& h = mesh.halfEdges[i];
        const int e = h.edgeSide ? edgeNumbers.find(h.edge) : -1;
        const int v = h.hasVertex ? vertexNumbers.find(h.vertex) : -1;
        if (e < 0 || v < 0 || (sidesTaken[size_t(e)] & h.edgeSide))
            return false;
        sidesTaken[size_t(e)] |= h.edgeSide;
        halfEdgeEdge[i] = e;
        halfEdgeVertex[i] = v;
    }

    std::vector<FEMeshEdgeC*> edges(mesh.edges.size());
    for (size_t i = 0; i < mesh.edges.size(); ++i) {
        FEMeshEdgeC* e = createEdge();
        e->setIndex(takeEdgeNumber());
        e->setSmooth(mesh.edges[i].smooth);
        appendEdge(e);
        edges[i] = e;
    }

    std::vector<FEMeshVertexC*> vertices(mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const LoadedVertex& lv = mesh.vertices[i];
        FEMeshVertexC* v = findOrCreateVertex(Point3Df(lv.position[0], lv.position[1], lv.position[2]));
        vertices[i] = v;
        // A vertex the part already held keeps the edges it has: the read ones join them (a
        // new vertex has none, so its list is just the read one).
        for (uint32_t k = 0; k < lv.incidentCount; ++k) {
            const int e = edgeNumbers.find(mesh.incidents[lv.firstIncident + k]);
            if (e >= 0)
                appendIncidentEdge(v, edges[size_t(e)]);
        }
    }

    for (const LoadedFace& lf : mesh.faces) {
        FEMeshFaceC* f = createFace(nullptr);
        f->setIndex(takeFaceNumber());
        f->setGroupId(lf.groupId);
        f->setNormal(Point3Df(lf.normal[0], lf.normal[1], lf.normal[2]));
        f->setMark(0);
        appendFace(f);
        for (uint32_t li = lf.firstLoop; li < lf.firstLoop + lf.loopCount; ++li) {
            const LoadedLoop& ll = mesh.loops[li];
            FEMeshLoopC* loop = createLoop();
            attachLoop(loop, f);
            FEMeshHalfEdgeC* first = nullptr;
            FEMeshHalfEdgeC* last = nullptr;
            for (uint32_t hi = ll.firstHalfEdge; hi < ll.firstHalfEdge + ll.halfEdgeCount; ++hi) {
                const LoadedHalfEdge& lh = mesh.halfEdges[hi];
                FEMeshHalfEdgeC* h = createHalfEdge();
                h->setNormal(Point3Df(lh.normal[0], lh.normal[1], lh.normal[2]));
                h->setLoop(loop);
                if (!first)
                    first = h;
                h->setPrevious(last);
                if (last)
                    last->setNext(h);
                last = h;
                FEMeshEdgeC* e = edges[size_t(halfEdgeEdge[hi])];
                h->setEdge(e);
                if (lh.edgeSide == 1)
                    e->setFirstHalfEdge(h);
                else
                    e->setSecondHalfEdge(h);
                FEMeshVertexC* v = vertices[size_t(halfEdgeVertex[hi])];
                h->setVertex(v);
                if (lh.outgoing)
                    v->setOutgoingHalfEdge(h);
            }
            if (first) {
                first->setPrevious(last);
                last->setNext(first);
            }
            loop->setFirstHalfEdge(first);
        }
    }

    // The loaded mesh joins what the part holds: a part that was not manifold stays so.
    if (mesh.sawManifold && mesh.notManifold != 0)
        manifold = 0;
    // Half-edges were hooked to vertices: the search aids of building start afresh.
    verticesMoved();
    return true;
}
