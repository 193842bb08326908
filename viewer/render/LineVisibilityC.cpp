// LineVisibilityC: the edges shown as lines, found on a thread of their own.
#include "viewer/render/LineVisibilityC.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <unordered_map>

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

// A transform with the given depth row and nothing else: all that the edge tests read.
TransformMatrix depthRowOnly(const double* row)
{
    TransformMatrix m;
    for (int column = 0; column < 3; ++column)
        m.at(2, column) = row[column];
    return m;
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
    // A part placed many times alike is searched once: the same edges under the same row.
    struct Key {
        const FEMeshEdgeC* firstEdge;
        double row[3];
        bool operator==(const Key& o) const
        {
            return firstEdge == o.firstEdge && std::memcmp(row, o.row, sizeof row) == 0;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const
        {
            uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(k.firstEdge));
            for (double d : k.row) {
                uint64_t bits;
                std::memcpy(&bits, &d, sizeof bits);
                h = (h ^ bits) * 0x100000001b3ull;
            }
            return size_t(h ^ (h >> 29));
        }
    };
    std::unordered_map<Key, size_t, KeyHash> known;
    for (size_t i = 0; i < count; ++i) {
        Entry& entry = entries[i];
        entry.instance = instances[i];
        const FEDisplayPartC* part = instances[i] != nullptr ? instances[i]->GetPart() : nullptr;
        if (part == nullptr || part->getFirstEdge() == nullptr)
            continue;
        const TransformMatrix eye = viewMatrix * instances[i]->GetMatrix();
        Key key{part->getFirstEdge(), {eye.at(2, 0), eye.at(2, 1), eye.at(2, 2)}};
        const auto [at, added] = known.emplace(key, searches.size());
        if (added) {
            searches.emplace_back();
            Search& search = searches.back();
            search.firstEdge = key.firstEdge;
            std::memcpy(search.depthRow, key.row, sizeof key.row);
        }
        entry.search = at->second;
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
    for (Search& search : searches) {
        try {
            findShownEdges(search.firstEdge, depthRowOnly(search.depthRow), search.shown);
            search.found = true;
        } catch (...) {
            // Without room for the tables the lines pass finds the edges itself.
            search.shown.clear();
            search.shown.shrink_to_fit();
        }
    }
}

const std::vector<const FEMeshEdgeC*>* LineVisibilityC::shownEdges(const FEDisplayPartRefC& instance,
                                                                   const TransformMatrix& eye)
{
    wait();
    const double row[3] = {eye.at(2, 0), eye.at(2, 1), eye.at(2, 2)};
    auto found = [&](const Entry& entry) -> const Search* {
        if (entry.instance != &instance || entry.search == kNoSearch)
            return nullptr;
        const Search& search = searches[entry.search];
        if (!search.found || std::memcmp(search.depthRow, row, sizeof row) != 0)
            return nullptr;
        return &search;
    };
    // The lines pass asks for the instances in the order they were given: the entry after the
    // last one found is tried first, so that a frame of many instances does not search the
    // list for each of them.
    if (next < entries.size()) {
        if (const Search* search = found(entries[next])) {
            ++next;
            return &search->shown;
        }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (const Search* search = found(entries[i])) {
            next = i + 1;
            return &search->shown;
        }
    }
    return nullptr;
}
