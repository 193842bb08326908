// LineVisibilityC: which edges of each placed part show as lines in a frame, found on other
// threads while the frame's first passes draw.
#pragma once

#include <cstddef>
#include <thread>
#include <vector>

#include "math/TransformMatrix.h"

class FEDisplayPartRefC;
class FEMeshEdgeC;

// Border and crease edges always; a smooth edge only where one of its faces turns to the eye
// and the other away under the eye-space transform m (row-major, affine): on the silhouette.
bool EdgeShowsAsLine(const FEMeshEdgeC& edge, const TransformMatrix& m);

// The edges that show depend on nothing but the mesh and the depth row of the eye-space
// transform (how each face normal turns to the eye), so they can be found while the shadow
// and the surfaces are drawn, once the frame's view is known, and once for all instances of a
// part that are turned alike. The lines pass takes a result only when it was found under the
// depth row of exactly the transform that pass uses; otherwise it finds the edges itself. The
// meshes must not change while this lives.
class LineVisibilityC {
public:
    // Starts finding the shown edges of every instance, in order, under view (the scene's
    // modelview matrix, column-major) times the instance's placement.
    LineVisibilityC(const FEDisplayPartRefC* const* instances, size_t count, const double* view);
    ~LineVisibilityC();
    LineVisibilityC(const LineVisibilityC&) = delete;
    LineVisibilityC& operator=(const LineVisibilityC&) = delete;

    // The shown edges of the instance in edge-list order, when they were found under eye;
    // nullptr when not (another transform, or the search failed). Waits for the search.
    const std::vector<const FEMeshEdgeC*>* shownEdges(const FEDisplayPartRefC& instance, const TransformMatrix& eye);

    // Edges of a list handed to the threads at a time, and the fewest a thread takes.
    static constexpr size_t kEdgesPerRun = 65536;
    static constexpr size_t kEdgesPerPiece = 8192;
    // The shown edges of the list from first on under eye, in order, the tests in pieces on
    // all processors.
    static void findShownEdges(const FEMeshEdgeC* first, const TransformMatrix& eye,
                               std::vector<const FEMeshEdgeC*>& shown);

private:
    // The shown edges of a part under one depth row (row 2 of the eye transform, without its
    // translation).
    struct Search {
        const FEMeshEdgeC* firstEdge = nullptr;
        double depthRow[3] = {0, 0, 0};
        std::vector<const FEMeshEdgeC*> shown;
        bool found = false;
    };
    struct Entry {
        const FEDisplayPartRefC* instance = nullptr;
        size_t search = kNoSearch;
    };
    static constexpr size_t kNoSearch = size_t(-1);
    void run();
    void wait();

    std::vector<Entry> entries;
    std::vector<Search> searches;
    size_t next = 0;  // the entry after the one shownEdges found last
    std::thread worker;
};
