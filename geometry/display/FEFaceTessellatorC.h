// FEFaceTessellatorC: cuts one planar face into triangle primitives (fan, sweep or GLU tessellator).
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <vector>

#include "geometry/display/FESweepTriangulatorC.h"
#include "math/Point3D.h"

struct GLUtesselator;
class FEMeshFaceC;
class FEMeshHalfEdgeC;

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

// Receives the primitives of the faces a FEFaceTessellatorC cuts, as the tessellator emits them.
class FETessSinkI {
public:
    virtual ~FETessSinkI() = default;
    // The face whose primitives follow (told before it is cut, also when it yields nothing).
    virtual void beginFace(FEMeshFaceC*) {}
    // A new primitive: GL_TRIANGLES, GL_TRIANGLE_STRIP or GL_TRIANGLE_FAN (any other type's
    // vertices are to be ignored).
    virtual void beginPrimitive(unsigned int type) = 0;
    // The next vertex of the current primitive.
    virtual void addVertex(const Point3D& position, const Point3D& normal) = 0;
};

// After a triangle of a strip or a fan, the corner slots that carry over to the next one: a
// strip replaces its first and its second slot with the third by turns, a fan its second; plain
// triangles start afresh. Gives the number of slots still held.
template <class Slot>
int carryPrimitiveSlots(bool strip, bool fan, bool& parity, Slot* positions, Slot* normals)
{
    if (strip) {
        const int keep = parity ? 0 : 1;
        positions[keep] = positions[2];
        normals[keep] = normals[2];
        parity = !parity;
        return 2;
    }
    if (fan) {
        positions[1] = positions[2];
        normals[1] = normals[2];
        return 2;
    }
    return 0;
}

// One GLU tessellator and the scratch of the other cuts. Everything the tessellator's callbacks
// need travels in its polygon data, so tessellators on different threads do not meet; one
// tessellator serves one thread at a time.
class FEFaceTessellatorC {
public:
    FEFaceTessellatorC();
    ~FEFaceTessellatorC();
    FEFaceTessellatorC(const FEFaceTessellatorC&) = delete;
    FEFaceTessellatorC& operator=(const FEFaceTessellatorC&) = delete;

    // False when the GLU tessellator could not be made (then nothing is cut).
    bool isValid() const { return tess != nullptr; }

    // Cuts the face into primitives for the sink. A face with a corner that is not finite
    // yields nothing. With the fan shortcut, faces of one loop of up to 100 corners whose fan
    // around the first corner turns one way skip the tessellator's sweep and are emitted as
    // the tessellator itself emits such a contour; faces of many corners with one normal go
    // to the plane sweep.
    void tessellate(FEMeshFaceC* face, FETessSinkI& sink, bool fanShortcut);

private:
    // Emits a face the shortcut serves (true, also when it yields nothing); false when the
    // face needs the tessellator.
    bool emitFanFace(FEMeshFaceC* face);
    // Cuts a face of many corners with one normal by the sweep (the same picture, in far less
    // time than the tessellator takes on it); false when the face is not such a face or the
    // sweep refuses it, and nothing was emitted.
    bool sweepLargeFace(FEMeshFaceC* face, size_t corners);
    // A half-edge of the face, or a tagged vertex made at a crossing, to the sink.
    void emit(void* vertexData);
    // Keeps what a callback threw (it must not unwind through the tessellator, which would
    // keep the polygon's mesh for ever) and drops the rest of the face's output.
    void fail();

    static void beginCallback(unsigned int type, void* polygonData);
    static void vertexCallback(void* vertexData, void* polygonData);
    static void errorCallback(unsigned int errorCode, void* polygonData);
    static void combineCallback(double coords[3], void* vertexData[4], float weights[4], void** out,
                                void* polygonData);

    GLUtesselator* tess = nullptr;
    FETessSinkI* sink = nullptr;  // while a face is cut
    std::exception_ptr failure;   // thrown by a callback, thrown again once the polygon ends
    // The vertices made at crossings of the face being cut; addresses stay put as it grows.
    std::deque<FETessVertexC> combinedVertices;
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
