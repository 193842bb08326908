// LineVisibilityC: the edges shown as lines, found on a thread of their own.
#include "viewer/render/LineVisibilityC.h"

#include <cstdint>
#include <new>
#include <system_error>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/mesh/FEMeshTopology.h"
#include "platform/Parallel.h"

namespace {

// How far the normal of the face on a half-edge's side points towards the eye under m
// (row-major, affine): the depth change of m along the normal, z of m (p + n) - z of m p,
// which does not depend on p.
double facing(const TransformMatrix& m, const FEMeshHalfEdgeC* side)
{
    const FEMeshFaceC* face = side->getFace();
    if (face == nullptr)
        return 0.0;
    const Point3Df& n = face->getNormal();
    const double* row = m.getData() + 8;
    return row[0] * double(n.x()) + row[1] * double(n.y()) + row[2] * double(n.z());
}

}  // namespace

bool EdgeShowsAsLine(const FEMeshEdgeC& edge, const TransformMatrix& m)
{
    const FEMeshHalfEdgeC* first = edge.getFirstHalfEdge();
    const FEMeshHalfEdgeC* second = edge.getSecondHalfEdge();
    if (first == nullptr || second == nullptr || !edge.isSmooth())
        return true;
    const double d1 = facing(m, first);
    const double d2 = facing(m, second);
    return (d1 < 0.0 && d2 > 0.0) || (d1 > 0.0 && d2 < 0.0);
}

void LineVisibilityC::findShownEdges(const FEMeshEdgeC* first, const TransformMatrix& eye,
                                     std::vector<const FEMeshEdgeC*>& shown)
{
    // A run of the list at a time keeps the tables small beside the model.
    std::vector<const FEMeshEdgeC*> edges;
    std::vector<uint8_t> shows;
    for (const FEMeshEdgeC* next = first; next != nullptr;) {
        edges.clear();
        for (; next != nullptr && edges.size() < kEdgesPerRun; next = next->getNext())
            edges.push_back(next);
        shows.assign(edges.size(), 0);
        platform::sys::runInPieces(edges.size(), platform::sys::piecesFor(edges.size(), kEdgesPerPiece),
                                   [&](size_t, size_t begin, size_t end) {
                                       for (size_t i = begin; i < end; ++i)
                                           shows[i] = EdgeShowsAsLine(*edges[i], eye) ? 1 : 0;
                                   });
        for (size_t i = 0; i < edges.size(); ++i)
            if (shows[i] != 0)
                shown.push_back(edges[i]);
    }
}

LineVisibilityC::LineVisibilityC(const FEDisplayPartRefC* const* instances, size_t count, const double* view)
{
    TransformMatrix viewMatrix;
    viewMatrix.setFromColumnMajor(view);
    entries.resize(count);
    for (size_t i = 0; i < count; ++i) {
        Entry& entry = entries[i];
        entry.instance = instances[i];
        const FEDisplayPartC* part = instances[i] != nullptr ? instances[i]->GetPart() : nullptr;
        if (part == nullptr)
            continue;
        entry.firstEdge = part->getFirstEdge();
        entry.eye = viewMatrix * instances[i]->GetMatrix();
    }
    try {
        worker = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the lines pass finds its edges itself.
    }
}

LineVisibilityC::~LineVisibilityC() { wait(); }

void LineVisibilityC::wait()
{
    if (worker.joinable())
        worker.join();
}

void LineVisibilityC::run()
{
    for (Entry& entry : entries) {
        if (entry.firstEdge == nullptr)
            continue;
        try {
            findShownEdges(entry.firstEdge, entry.eye, entry.shown);
            entry.found = true;
        } catch (...) {
            // Without room for the tables the lines pass finds the edges itself.
            entry.shown.clear();
            entry.shown.shrink_to_fit();
        }
    }
}

const std::vector<const FEMeshEdgeC*>* LineVisibilityC::shownEdges(const FEDisplayPartRefC& instance,
                                                                   const TransformMatrix& eye)
{
    wait();
    auto matches = [&](const Entry& entry) {
        if (entry.instance != &instance || !entry.found)
            return false;
        const double* a = entry.eye.getData();
        const double* b = eye.getData();
        for (int k = 0; k < 16; ++k)
            if (a[k] != b[k])
                return false;
        return true;
    };
    // The lines pass asks for the instances in the order they were given: the entry after the
    // last one found is tried first, so that a frame of many instances does not search the
    // list for each of them.
    if (next < entries.size() && matches(entries[next]))
        return &entries[next++].shown;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (matches(entries[i])) {
            next = i + 1;
            return &entries[i].shown;
        }
    }
    return nullptr;
}
