// FEDisplayCornersC: the triangles of a face list as the display draws them, cut in parallel.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "math/Point3D.h"
#include "math/feColor.h"

class FEMeshFaceC;

// Per corner its normal then its position as floats (the layout of GL_N3F_V3F), three corners a
// triangle, the faces in list order and each face's triangles in the order the face tessellator
// emits them; triangles of twice the area at most 1e-8 are left out. No corner is shared or
// merged with another: the display needs none of that.
class FEDisplayCornersC {
public:
    static constexpr size_t kFloatsPerCorner = 6;
    static constexpr size_t kFloatsPerTriangle = 3 * kFloatsPerCorner;

    // A triangle of a face whose information carries a colour.
    struct ColouredTriangle {
        Point3D positions[3];
        Point3D normals[3];
        feColor color;
    };

    FEDisplayCornersC() = default;
    FEDisplayCornersC(const FEDisplayCornersC&) = delete;
    FEDisplayCornersC& operator=(const FEDisplayCornersC&) = delete;

    // Replaces the contents by the triangles of every face from firstFace on. Runs of
    // consecutive faces are cut on several threads; the result is the same for any number of
    // them. False (and nothing) when a tessellator cannot be made.
    bool fromFaces(FEMeshFaceC* firstFace);
    // The same for the faces [faces, faces + n): a long list may be cut a run at a time, each
    // run giving the triangles the whole list gives for its faces. onThreads false keeps the
    // work on the caller's thread (for callers that already run several runs at once).
    bool fromFaces(FEMeshFaceC* const* faces, size_t n, bool onThreads = true);
    // The faces of the list from firstFace on, in order.
    static std::vector<FEMeshFaceC*> faceList(FEMeshFaceC* firstFace);
    // Frees everything.
    void clear();

    size_t triangles() const { return count; }
    // triangles() * kFloatsPerTriangle floats.
    const float* data() const { return corners.get(); }
    // The triangles of coloured faces, in the order of the triangles.
    const std::vector<ColouredTriangle>& colouredTriangles() const { return coloured; }

private:
    std::unique_ptr<float[]> corners;
    size_t count = 0;
    std::vector<ColouredTriangle> coloured;
};
