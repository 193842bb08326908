// FEFaceTriangulatorC: cuts the planar faces of a mesh part into triangles with the GLU tessellator.
#pragma once

#include "geometry/display/FEFaceTessellatorC.h"

class FEMeshFaceC;
class FEMeshFaceInfoI;
class FEMeshPartC;
class FETriangleCollectorC;

// A process-wide singleton that lives for one triangulation (instance, triangulate, release).
// Display mode hands the triangles to a FETriangleCollectorC; mesh mode adds them as triangle
// faces to another mesh part. The collector learns the face being cut through process-wide
// state, so one triangulation runs at a time, on one thread.
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

    // Faces of one loop of up to 100 corners whose fan around the first corner turns one way
    // skip the tessellator's sweep and are emitted as the tessellator itself emits such a
    // contour: the same primitive, corners and order. On by default; off, every face goes
    // through the tessellator (for comparison). Set it while no triangulation runs.
    static void setFanShortcut(bool on);
    static bool fanShortcut();

    // The face being tessellated (its index and information); collected triangles take them.
    static int currentFaceNumber();
    static FEMeshFaceInfoI* currentFaceInfo();

private:
    FEFaceTriangulatorC() = default;
    ~FEFaceTriangulatorC() = default;
    FEFaceTriangulatorC(const FEFaceTriangulatorC&) = delete;
    FEFaceTriangulatorC& operator=(const FEFaceTriangulatorC&) = delete;

    void tessellate(FEMeshFaceC* firstFace, FETessSinkI& sink);
};
