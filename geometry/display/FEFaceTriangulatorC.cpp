// FEFaceTriangulatorC: the GLU tessellator's driver and callbacks, in display and mesh mode.
#include "geometry/display/FEFaceTriangulatorC.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdint>
#include <new>

#include "foundation/RWTValOrderedVector.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/mesh/FEMeshTopology.h"

namespace {

// The process-wide state through which the callbacks reach the running triangulation.
FEFaceTriangulatorC* theInstance = nullptr;
bool meshMode = false;
FEMeshPartC* targetPart = nullptr;
int faceNumber = 0;
refHandle<FEMeshFaceInfoI> faceInfo;
unsigned int primitiveType = 0;
bool stripParity = true;
RWTValOrderedVector<Point3Df> pendingVertices(0, false, 64);

// The tessellator hands back the data pointers it was given: half-edges of the face, or the
// vertices its combine step made. Those carry a set low bit (objects are at least 2-aligned),
// so the two kinds are told apart without searching.
void* tagCombined(FETessVertexC* v) { return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(v) | 1u); }
bool isCombined(const void* data) { return (reinterpret_cast<uintptr_t>(data) & 1u) != 0; }
FETessVertexC* untagCombined(void* data)
{
    return reinterpret_cast<FETessVertexC*>(reinterpret_cast<uintptr_t>(data) & ~uintptr_t(1));
}

Point3D normalOf(void* data)
{
    if (isCombined(data))
        return untagCombined(data)->getNormal();
    return Point3D(static_cast<FEMeshHalfEdgeC*>(data)->getNormal());
}

// Faces of at least this many corners go to the sweep, on whose time the corner count weighs
// far less; the tessellator keeps the smaller ones, whose triangles stay exactly as they were.
constexpr size_t kSweepCorners = 1024;

bool isFinite(const Point3Df& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

bool fanShortcut = true;

}  // namespace

FEFaceTriangulatorC* FEFaceTriangulatorC::instance()
{
    if (!theInstance)
        theInstance = new (std::nothrow) FEFaceTriangulatorC();
    return theInstance;
}

void FEFaceTriangulatorC::release()
{
    delete theInstance;
    theInstance = nullptr;
}

FEFaceTriangulatorC::~FEFaceTriangulatorC() { deleteCombinedVertices(); }

void FEFaceTriangulatorC::deleteCombinedVertices()
{
    RWTValSlistIterator<FETessVertexC*> it(combinedVertices);
    while (++it)
        delete it.key();
    combinedVertices.clear();
}

int FEFaceTriangulatorC::currentFaceNumber() { return faceNumber; }
FEMeshFaceInfoI* FEFaceTriangulatorC::currentFaceInfo() { return faceInfo.get(); }

void FEFaceTriangulatorC::triangulateFaces(FEMeshFaceC* firstFace, FETriangleCollectorC* target)
{
    meshMode = false;
    collector = target;
    if (!collector)
        return;
    collector->clear();
    tessellate(firstFace);
    collector = nullptr;
}

void FEFaceTriangulatorC::retriangulateInto(FEMeshFaceC* firstFace, FEMeshPartC* target)
{
    if (!target)
        return;
    meshMode = true;
    targetPart = target;
    tessellate(firstFace);
    targetPart = nullptr;
    meshMode = false;
}

void FEFaceTriangulatorC::setFanShortcut(bool on) { fanShortcut = on; }

bool FEFaceTriangulatorC::emitFanFace(FEMeshFaceC* face)
{
    // The tessellator keeps a single contour of up to 100 points aside and, when the fan of
    // triangles around its first point turns one way only, emits that fan instead of sweeping;
    // this does the same without it.
    constexpr int kMaxCached = 100;
    FEMeshLoopC* loop = face->getFirstLoop();
    if (!loop || loop->getNext())
        return false;
    FEMeshHalfEdgeC* corners[kMaxCached];
    double p[kMaxCached][3];
    int n = 0;
    FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
    for (FEMeshHalfEdgeC* h = first; h;) {
        if (h->getVertex()) {
            if (n == kMaxCached)
                return false;
            const Point3Df& v = h->getVertex()->getPosition();
            p[n][0] = v.x();
            p[n][1] = v.y();
            p[n][2] = v.z();
            corners[n++] = h;
        }
        h = h->getNext();
        if (h == first)
            break;
    }
    if (n < 3)
        return true;  // a contour of fewer than three points gives nothing

    // The fan's turns (p[k-1] - p0) x (p[k] - p0) against the face normal; a zero normal is
    // first made from the turns themselves, each added or taken off to agree with the sum.
    const Point3Df& faceNormal = face->getNormal();
    double norm[3] = {faceNormal.x(), faceNormal.y(), faceNormal.z()};
    const bool computeNormal = norm[0] == 0 && norm[1] == 0 && norm[2] == 0;
    auto turn = [&](int k, double out[3]) {
        const double xp = p[k - 1][0] - p[0][0], yp = p[k - 1][1] - p[0][1], zp = p[k - 1][2] - p[0][2];
        const double xc = p[k][0] - p[0][0], yc = p[k][1] - p[0][1], zc = p[k][2] - p[0][2];
        out[0] = yp * zc - zp * yc;
        out[1] = zp * xc - xp * zc;
        out[2] = xp * yc - yp * xc;
    };
    if (computeNormal) {
        for (int k = 2; k < n; ++k) {
            double t[3];
            turn(k, t);
            const double dot = t[0] * norm[0] + t[1] * norm[1] + t[2] * norm[2];
            const double s = dot >= 0 ? 1.0 : -1.0;
            norm[0] += s * t[0];
            norm[1] += s * t[1];
            norm[2] += s * t[2];
        }
    }
    int sign = 0;
    for (int k = 2; k < n; ++k) {
        double t[3];
        turn(k, t);
        const double dot = t[0] * norm[0] + t[1] * norm[1] + t[2] * norm[2];
        if (dot > 0) {
            if (sign < 0)
                return false;  // turns both ways: the tessellator sweeps
            sign = 1;
        } else if (dot < 0) {
            if (sign > 0)
                return false;
            sign = -1;
        }
    }
    if (sign == 0)
        return true;  // every turn degenerate: nothing
    begin(n > 3 ? GL_TRIANGLE_FAN : GL_TRIANGLES);
    vertex(corners[0], face);
    if (sign > 0)
        for (int k = 1; k < n; ++k)
            vertex(corners[k], face);
    else
        for (int k = n - 1; k > 0; --k)
            vertex(corners[k], face);
    end();
    return true;
}

void FEFaceTriangulatorC::setCallbacks(GLUtesselator* tess, bool errorAndCombineOnly)
{
    if (!errorAndCombineOnly) {
        gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&FEFaceTriangulatorC::begin));
        gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&FEFaceTriangulatorC::end));
        gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&FEFaceTriangulatorC::vertex));
    }
    gluTessCallback(tess, GLU_TESS_ERROR, reinterpret_cast<_GLUfuncptr>(&FEFaceTriangulatorC::error));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&FEFaceTriangulatorC::combine));
}

void FEFaceTriangulatorC::tessellate(FEMeshFaceC* firstFace)
{
    GLUtesselator* tess = gluNewTess();
    if (!tess)
        return;
    setCallbacks(tess, false);
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);

    // The faces present now: in mesh mode the target may be the part whose faces are walked,
    // and the faces it gains must not be tessellated again.
    FEMeshFaceC* lastFace = firstFace;
    while (lastFace && lastFace->getNext())
        lastFace = lastFace->getNext();

    for (FEMeshFaceC* face = firstFace, *after = nullptr; face; face = after) {
        after = face == lastFace ? nullptr : face->getNext();
        // Gather the face's coordinates first: the array must not move while the tessellator
        // holds pointers into it.
        size_t n = 0;
        bool finite = true;
        for (FEMeshLoopC* loop = face->getFirstLoop(); loop; loop = loop->getNext()) {
            FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = first; h;) {
                if (h->getVertex()) {
                    finite = finite && isFinite(h->getVertex()->getPosition());
                    ++n;
                }
                h = h->getNext();
                if (h == first)
                    break;
            }
        }
        // Coordinates that are not finite would throw the tessellator's sweep off; such a
        // face yields no triangles.
        if (!finite)
            continue;
        faceNumber = face->getIndex();
        faceInfo = face->getFaceInfo();
        if (fanShortcut && emitFanFace(face))
            continue;
        if (n >= kSweepCorners && sweepLargeFace(face, n))
            continue;
        coordinates.resize(3 * n);

        gluTessBeginPolygon(tess, face);
        const Point3Df& normal = face->getNormal();
        gluTessNormal(tess, normal.x(), normal.y(), normal.z());
        size_t k = 0;
        for (FEMeshLoopC* loop = face->getFirstLoop(); loop; loop = loop->getNext()) {
            gluTessBeginContour(tess);
            FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = first; h;) {
                if (h->getVertex()) {
                    const Point3Df& p = h->getVertex()->getPosition();
                    double* c = &coordinates[3 * k++];
                    c[0] = p.x();
                    c[1] = p.y();
                    c[2] = p.z();
                    gluTessVertex(tess, c, h);
                }
                h = h->getNext();
                if (h == first)
                    break;
            }
            gluTessEndContour(tess);
        }
        gluTessEndPolygon(tess);
    }

    gluDeleteTess(tess);
    deleteCombinedVertices();
    faceInfo = nullptr;
}

bool FEFaceTriangulatorC::sweepLargeFace(FEMeshFaceC* face, size_t n)
{
    // One normal at every corner: then any cut of the face into triangles shades alike.
    planePoints.clear();
    ringStarts.clear();
    corners.clear();
    const Point3Df& normal = face->getNormal();
    const float ax = std::fabs(normal.x()), ay = std::fabs(normal.y()), az = std::fabs(normal.z());
    const int axis = ax >= ay && ax >= az ? 0 : (ay >= az ? 1 : 2);
    const float along = axis == 0 ? normal.x() : (axis == 1 ? normal.y() : normal.z());
    if (!(along != 0.0f))
        return false;
    const Point3Df* cornerNormal = nullptr;
    for (FEMeshLoopC* loop = face->getFirstLoop(); loop; loop = loop->getNext()) {
        ringStarts.push_back(uint32_t(planePoints.size()));
        FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
        for (FEMeshHalfEdgeC* h = first; h;) {
            if (!h->getVertex())
                return false;
            if (!cornerNormal)
                cornerNormal = &h->getNormal();
            else if (!(h->getNormal() == *cornerNormal))
                return false;
            // The plane of the two other axes, in the order that keeps turns counter-clockwise
            // when seen along the dominant axis.
            const Point3Df& p = h->getVertex()->getPosition();
            const double c[3] = {p.x(), p.y(), p.z()};
            planePoints.emplace_back(c[(axis + 1) % 3], c[(axis + 2) % 3]);
            corners.push_back(h);
            h = h->getNext();
            if (h == first)
                break;
        }
    }
    if (corners.size() != n || !sweeper.triangulate(planePoints, ringStarts, sweptTriangles))
        return false;
    // The triangles turn counter-clockwise about the face normal, as the tessellator's do.
    const bool flip = along < 0.0f;
    begin(GL_TRIANGLES);
    for (size_t t = 0; t + 2 < sweptTriangles.size(); t += 3) {
        vertex(corners[sweptTriangles[t]], face);
        vertex(corners[sweptTriangles[t + (flip ? 2 : 1)]], face);
        vertex(corners[sweptTriangles[t + (flip ? 1 : 2)]], face);
    }
    end();
    return true;
}

void FEFaceTriangulatorC::begin(unsigned int type)
{
    if (!meshMode) {
        int mode = FETriangleCollectorC::IGNORE;
        if (type == GL_TRIANGLES)
            mode = FETriangleCollectorC::TRIANGLES;
        else if (type == GL_TRIANGLE_STRIP)
            mode = FETriangleCollectorC::STRIP;
        else if (type == GL_TRIANGLE_FAN)
            mode = FETriangleCollectorC::FAN;
        if (theInstance && theInstance->collector)
            theInstance->collector->beginPrimitive(mode);
    } else {
        while (!pendingVertices.isEmpty())
            pendingVertices.removeLast();
        primitiveType = type;
    }
    stripParity = true;
}

void FEFaceTriangulatorC::end() {}

void FEFaceTriangulatorC::error(unsigned int) {}

void FEFaceTriangulatorC::vertex(void* vertexData, void* polygonData)
{
    if (!theInstance || !vertexData)
        return;
    Point3D position;
    Point3D normal;
    if (isCombined(vertexData)) {
        const FETessVertexC* v = untagCombined(vertexData);
        position = v->getPosition();
        normal = v->getNormal();
    } else {
        const FEMeshHalfEdgeC* h = static_cast<FEMeshHalfEdgeC*>(vertexData);
        position = Point3D(h->getVertex()->getPosition());
        normal = Point3D(h->getNormal());
    }
    if (!meshMode) {
        if (theInstance->collector)
            theInstance->collector->addVertex(position, normal);
    } else {
        theInstance->meshVertex(Point3Df(position), static_cast<FEMeshFaceC*>(polygonData));
    }
}

void FEFaceTriangulatorC::combine(double coords[3], void* vertexData[4], float[4], void** out, void*)
{
    *out = nullptr;
    if (!theInstance)
        return;
    Point3D sum;
    int count = 0;
    for (int i = 0; i < 4 && vertexData[i]; ++i) {
        sum += normalOf(vertexData[i]);
        ++count;
    }
    // The tessellator always names at least two sources; without any the normal stays zero.
    FETessVertexC* v = new FETessVertexC(Point3D(coords[0], coords[1], coords[2]), count ? sum / double(count) : sum);
    theInstance->combinedVertices.append(v);
    *out = tagCombined(v);
}

void FEFaceTriangulatorC::meshVertex(const Point3Df& p, FEMeshFaceC* face)
{
    pendingVertices.append(p);
    if (pendingVertices.entries() < 3)
        return;
    const Point3Df c = pendingVertices.removeLast();
    const Point3Df b = pendingVertices.removeLast();
    const Point3Df a = pendingVertices.removeLast();
    if (primitiveType == GL_TRIANGLE_STRIP) {
        if (stripParity) {
            pendingVertices.append(c);
            pendingVertices.append(b);
        } else {
            pendingVertices.append(a);
            pendingVertices.append(c);
        }
        stripParity = !stripParity;
    } else if (primitiveType == GL_TRIANGLE_FAN) {
        pendingVertices.append(a);
        pendingVertices.append(c);
    }
    if (!targetPart || !face)
        return;
    const Point3D points[3] = {Point3D(a), Point3D(b), Point3D(c)};
    targetPart->addFace(points, 3, Point3D(face->getNormal()), face->getFaceInfo(), 15.0f, 0);
    targetPart->endFace();
}
