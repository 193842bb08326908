// PartListCompileC: a large part's display list compiled as runs of faces, each into a list of
// its own, on helper threads with contexts sharing the lists, while the thread that started it
// goes on with other work; that thread finishes it before anything uses the lists.
#pragma once

#include <GL/gl.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FEDisplayPartC.h"
#include "services/objects/refHandle.h"

namespace platform::gl {
class GlContext;
}

// The corners of a run of faces handed to the list being compiled in the current context.
void CompileCorners(const FEDisplayCornersC& triangles);
// Records the triangles of coloured faces with the part, in order.
void AddColouredTriangles(FEDisplayPartC& part, const std::vector<FEDisplayCornersC::ColouredTriangle>& coloured);
// The n faces from first on (fewer where the list ends), into faces.
void TakeFaces(FEMeshFaceC* first, size_t n, std::vector<FEMeshFaceC*>& faces);
// The corners of the loops of the n faces from first on: what cutting them costs, near enough.
size_t CornersOfFaces(FEMeshFaceC* first, size_t n);
// The order in which runs of these costs are taken, into order (which holds every run once):
// runs of more than twice the mean cost first, the most costly first, then the others in
// their own order. A run holding a face of many thousand corners takes tens of milliseconds to
// cut where the others take a few; taken last, it would keep the other threads waiting for it
// at the end. Takes no memory it cannot do without.
void OrderRunsByCost(const std::vector<size_t>& costs, std::vector<uint32_t>& order);

// Run r holds facesPerRun faces from starts[r] on (fewer in the last run) and goes into the
// list list + 1 + r; the part's own list, list, calls the runs in order once finished. With list
// 0 (no names to be had) only the coloured triangles are gathered.
//
// Until finish or abandon returns, the part's mesh must not change, and the context that shares
// its lists with the helpers must live. The helpers read the mesh only.
class PartListCompileC {
public:
    // Starts up to `helpers` threads, each making a context that shares shareWith's lists; a
    // helper that gets no context (or no thread) leaves its runs to the others and to finish.
    PartListCompileC(refHandle<FEDisplayPartC> part, std::vector<FEMeshFaceC*> starts, size_t facesPerRun, GLuint list,
                     const platform::gl::GlContext* shareWith, size_t helpers);
    // Abandons the compile when it was neither finished nor abandoned.
    ~PartListCompileC();
    PartListCompileC(const PartListCompileC&) = delete;
    PartListCompileC& operator=(const PartListCompileC&) = delete;

    const FEDisplayPartC* part() const { return part_.get(); }
    const platform::gl::GlContext* sharesWith() const { return shareWith; }

    // Takes part in the compile on the calling thread (its context current) until the runs left
    // would keep `stayingHelpers` helpers busy for about `aheadMs` milliseconds, judged by how
    // long its own runs took; then every other helper stops after its run, lets its context go
    // and gives its memory back, and this returns once they have.
    void shareUntil(double aheadMs, size_t stayingHelpers);
    // With a context of the same share group current: compiles the runs no helper has taken
    // yet, waits for the helpers, records the coloured triangles with the part in face order
    // and compiles the part's list. What a run threw (the first of them) is thrown again, after
    // the part's lists are deleted (in the current context) and its records emptied; so is
    // std::runtime_error when runs are left and no context is current to take them.
    void finish();
    // Takes no more runs and waits for the helpers (each at most one run away); the part's
    // lists are left half built, for the caller to delete.
    void abandon();

private:
    struct Run {
        std::vector<FEDisplayCornersC::ColouredTriangle> coloured;
        bool done = false;
    };
    // The calling thread's number where a helper's is asked for.
    static constexpr size_t kCaller = SIZE_MAX;
    void help(size_t helper);
    // Takes part in costing the runs until every run is costed and their order is set; costing
    // needs no context, so every thread starts with it.
    void costRuns();
    // Takes runs until none is left, the compile stops, or (helpers only) this helper is no
    // longer among those staying.
    void takeRuns(size_t helper);
    // Takes the next run from the front or the back of the order; false when none is left.
    bool take(bool fromBack, size_t& run);
    size_t runsLeft() const;
    void compile(size_t r, std::vector<FEMeshFaceC*>& faces);
    void fail(std::exception_ptr error);
    void join();

    refHandle<FEDisplayPartC> part_;
    const std::vector<FEMeshFaceC*> starts;
    const size_t facesPerRun;
    const GLuint list;
    const platform::gl::GlContext* const shareWith;
    // Each run is written by the one thread that took it, and read once the helpers are joined.
    std::vector<Run> runs;
    // Each cost is written by the thread that took the run to cost, the order by the thread
    // that costed the last; both are read once the order is set.
    std::vector<size_t> costs;
    std::vector<uint32_t> order;
    std::atomic<size_t> nextToCost{0};
    std::atomic<size_t> costed{0};
    std::mutex orderLock;
    std::condition_variable orderSet;
    bool ordered = false;  // under orderLock
    // Runs are taken from both ends of the order: the helpers from its front, where the costly
    // runs are, the caller from its back, so that a costly run does not hold it on its way to
    // the frames. The runs taken from the front in the low half, from the back in the high.
    std::atomic<uint64_t> taken{0};
    std::atomic<bool> stopped{false};
    std::atomic<size_t> staying{SIZE_MAX};  // helpers numbered from this on stop taking runs
    std::mutex errorLock;
    std::exception_ptr error;  // under errorLock
    std::vector<std::thread> helpers;
};
