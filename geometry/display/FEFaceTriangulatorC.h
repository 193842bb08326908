// FEFaceTriangulatorC: cuts the planar faces of a mesh part into triangles with the GLU tessellator.
#pragma once

#include <vector>

#include "foundation/RWTValSlist.h"
#include "geometry/display/FESweepTriangulatorC.h"
#include "geometry/math/Point3D.h"

struct GLUtesselator;
class FEMeshFaceC;
class FEMeshHalfEdgeC;
class FEMeshFaceInfoI;
class FEMeshPartC;
class FETriangleCollectorC;

// A vertex made by the tessellator where contours cross.
class FETessVertexC {
public:
    FETessVertexC(const Point3D& position, const Point3D& normal) : position(position), normal(normal) {}

    const Point3D& getPosition() const { return position; }
    const Point3D& getNormal() const { return normal; }

private:
    Point3D position;
    Point3D normal;
};

// A process-wide singleton that lives for one triangulation (instance, triangulate, release).
// Display mode hands the triangles to a FETriangleCollectorC; mesh mode adds them as triangle
// faces to another mesh part. The tessellator's callbacks reach it through process-wide state,
// so one triangulation runs at a time, on one thread.
class FEFaceTriangulatorC {
public:
    // The singleton, made when absent; null when it cannot be made.
    static FEFaceTriangulatorC* instance();
    // Destroys the singleton (and the vertices the tessellator made).
    static void release();

    // Every face of the list from firstFace on, into the collector (which is cleared first).
    void triangulateFaces(FEMeshFaceC* firstFace, FETriangleCollectorC* collector);
    // Every face of the list from firstFace on, as triangle faces of target; nothing when the
    // target is null.
    void retriangulateInto(FEMeshFaceC* firstFace, FEMeshPartC* target);
    // Registers the callbacks; with errorAndCombineOnly only the error and combine ones.
    static void setCallbacks(GLUtesselator* tess, bool errorAndCombineOnly);

    // Faces of one loop of up to 100 corners whose fan around the first corner turns one way
    // skip the tessellator's sweep and are emitted as the tessellator itself emits such a
    // contour: the same primitive, corners and order. On by default; off, every face goes
    // through the tessellator (for comparison).
    static void setFanShortcut(bool on);

    // The face being tessellated (its index and information); collected triangles take them.
    static int currentFaceNumber();
    static FEMeshFaceInfoI* currentFaceInfo();

    // The tessellator's callbacks.
    static void begin(unsigned int type);
    static void end();
    static void vertex(void* vertexData, void* polygonData);
    static void error(unsigned int errorCode);
    static void combine(double coords[3], void* vertexData[4], float weights[4], void** out, void* polygonData);

private:
    FEFaceTriangulatorC() = default;
    ~FEFaceTriangulatorC();
    FEFaceTriangulatorC(const FEFaceTriangulatorC&) = delete;
    FEFaceTriangulatorC& operator=(const FEFaceTriangulatorC&) = delete;

    void tessellate(FEMeshFaceC* firstFace);
    // Emits a face the shortcut serves (true, also when it yields nothing); false when the
    // face needs the tessellator.
    static bool emitFanFace(FEMeshFaceC* face);
    // Cuts a face of many corners with one normal by the sweep (the same picture, in far less
    // time than the tessellator takes on it); false when the face is not such a face or the sweep
    // refuses it, and nothing was emitted.
    bool sweepLargeFace(FEMeshFaceC* face, size_t corners);
    void deleteCombinedVertices();
    void meshVertex(const Point3Df& p, FEMeshFaceC* face);

    FETriangleCollectorC* collector = nullptr;
    RWTValSlist<FETessVertexC*> combinedVertices;
    // The coordinates handed to the tessellator for the face being tessellated; the
    // tessellator may read them until the polygon ends, so they are filled before it begins.
    std::vector<double> coordinates;
    // Scratch of the sweep.
    FESweepTriangulatorC sweeper;
    std::vector<Point2D> planePoints;
    std::vector<uint32_t> ringStarts;
    std::vector<FEMeshHalfEdgeC*> corners;
    std::vector<uint32_t> sweptTriangles;
};
