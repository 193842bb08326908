// FEFaceTessellatorC: the fan shortcut, the plane sweep and the GLU tessellator for one face.
#include "geometry/display/FEFaceTessellatorC.h"

#include <GL/glu.h>

#include <cmath>
#include <utility>

#include "geometry/mesh/FEMeshTopology.h"

namespace {

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

}  // namespace

FEFaceTessellatorC::FEFaceTessellatorC()
{
    tess = gluNewTess();
    if (!tess)
        return;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(&FEFaceTessellatorC::beginCallback));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&FEFaceTessellatorC::vertexCallback));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(&FEFaceTessellatorC::errorCallback));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA,
                    reinterpret_cast<_GLUfuncptr>(&FEFaceTessellatorC::combineCallback));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
}

FEFaceTessellatorC::~FEFaceTessellatorC()
{
    if (tess)
        gluDeleteTess(tess);
}

void FEFaceTessellatorC::tessellate(FEMeshFaceC* face, FETessSinkI& target, bool fanShortcut)
{
    if (!tess || !face)
        return;
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
    // Coordinates that are not finite would throw the tessellator's sweep off; such a face
    // yields no triangles.
    if (!finite)
        return;
    sink = &target;
    try {
        if ((fanShortcut && emitFanFace(face)) || (n >= kSweepCorners && sweepLargeFace(face, n))) {
            sink = nullptr;
            return;
        }
    } catch (...) {
        sink = nullptr;
        throw;
    }
    coordinates.resize(3 * n);

    gluTessBeginPolygon(tess, this);
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
    sink = nullptr;
    // The tessellator holds none of them once the polygon ends.
    combinedVertices.clear();
    if (failure)
        std::rethrow_exception(std::exchange(failure, nullptr));
}

bool FEFaceTessellatorC::emitFanFace(FEMeshFaceC* face)
{
    // The tessellator keeps a single contour of up to 100 points aside and, when the fan of
    // triangles around its first point turns one way only, emits that fan instead of sweeping;
    // this does the same without it.
    constexpr int kMaxCached = 100;
    FEMeshLoopC* loop = face->getFirstLoop();
    if (!loop || loop->getNext())
        return false;
    FEMeshHalfEdgeC* fan[kMaxCached];
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
            fan[n++] = h;
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
    sink->beginPrimitive(n > 3 ? GL_TRIANGLE_FAN : GL_TRIANGLES);
    emit(fan[0]);
    if (sign > 0)
        for (int k = 1; k < n; ++k)
            emit(fan[k]);
    else
        for (int k = n - 1; k > 0; --k)
            emit(fan[k]);
    return true;
}

bool FEFaceTessellatorC::sweepLargeFace(FEMeshFaceC* face, size_t n)
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
    sink->beginPrimitive(GL_TRIANGLES);
    for (size_t t = 0; t + 2 < sweptTriangles.size(); t += 3) {
        emit(corners[sweptTriangles[t]]);
        emit(corners[sweptTriangles[t + (flip ? 2 : 1)]]);
        emit(corners[sweptTriangles[t + (flip ? 1 : 2)]]);
    }
    return true;
}

void FEFaceTessellatorC::emit(void* vertexData)
{
    if (!vertexData)
        return;
    if (isCombined(vertexData)) {
        const FETessVertexC* v = untagCombined(vertexData);
        sink->addVertex(v->getPosition(), v->getNormal());
    } else {
        const FEMeshHalfEdgeC* h = static_cast<FEMeshHalfEdgeC*>(vertexData);
        sink->addVertex(Point3D(h->getVertex()->getPosition()), Point3D(h->getNormal()));
    }
}

void FEFaceTessellatorC::fail()
{
    if (!failure)
        failure = std::current_exception();
    sink = nullptr;
}

void FEFaceTessellatorC::beginCallback(unsigned int type, void* polygonData)
{
    auto* self = static_cast<FEFaceTessellatorC*>(polygonData);
    if (!self || !self->sink)
        return;
    try {
        self->sink->beginPrimitive(type);
    } catch (...) {
        self->fail();
    }
}

void FEFaceTessellatorC::vertexCallback(void* vertexData, void* polygonData)
{
    auto* self = static_cast<FEFaceTessellatorC*>(polygonData);
    if (!self || !self->sink)
        return;
    try {
        self->emit(vertexData);
    } catch (...) {
        self->fail();
    }
}

void FEFaceTessellatorC::errorCallback(unsigned int, void*) {}

void FEFaceTessellatorC::combineCallback(double coords[3], void* vertexData[4], float[4], void** out,
                                         void* polygonData)
{
    *out = nullptr;
    auto* self = static_cast<FEFaceTessellatorC*>(polygonData);
    if (!self)
        return;
    Point3D sum;
    int count = 0;
    for (int i = 0; i < 4 && vertexData[i]; ++i) {
        sum += normalOf(vertexData[i]);
        ++count;
    }
    // The tessellator always names at least two sources; without any the normal stays zero.
    // Without a vertex here the tessellator gives up on the face.
    try {
        self->combinedVertices.emplace_back(Point3D(coords[0], coords[1], coords[2]),
                                            count ? sum / double(count) : sum);
    } catch (...) {
        self->fail();
        return;
    }
    *out = tagCombined(&self->combinedVertices.back());
}
