// PartListCompileC: the runs of a large part's display list compiled on helper threads while the
// caller goes on, finished or abandoned by the caller.
#include "viewer/render/PartListCompileC.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "platform/sys.h"
#include "viewer/render/DrawPacerC.h"

void CompileCorners(const FEDisplayCornersC& triangles)
{
    if (triangles.triangles() == 0)
        return;
    // The array state is the client's, not the list's: it is set for the compile only.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glInterleavedArrays(GL_N3F_V3F, 0, triangles.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(3 * triangles.triangles()));
    glPopClientAttrib();
}

void AddColouredTriangles(FEDisplayPartC& part, const std::vector<FEDisplayCornersC::ColouredTriangle>& coloured)
{
    for (const FEDisplayCornersC::ColouredTriangle& t : coloured)
        part.addTriangle(t.positions[0], t.positions[1], t.positions[2], t.normals[0], t.normals[1], t.normals[2],
                         t.color);
}

void TakeFaces(FEMeshFaceC* first, size_t n, std::vector<FEMeshFaceC*>& faces)
{
    faces.clear();
    for (FEMeshFaceC* face = first; face && faces.size() < n; face = face->getNext())
        faces.push_back(face);
}

size_t CornersOfFaces(FEMeshFaceC* first, size_t n)
{
    size_t corners = 0;
    FEMeshFaceC* face = first;
    for (size_t i = 0; face && i < n; face = face->getNext(), ++i)
        for (const FEMeshLoopC* loop = face->getFirstLoop(); loop; loop = loop->getNext())
            corners += size_t(loop->getHalfEdgeCount());
    return corners;
}

void OrderRunsByCost(const std::vector<size_t>& costs, std::vector<uint32_t>& order)
{
    order.resize(costs.size());
    for (size_t r = 0; r < order.size(); ++r)
        order[r] = uint32_t(r);
    if (costs.empty())
        return;
    double mean = 0.0;
    for (size_t c : costs)
        mean += double(c) / double(costs.size());
    auto costly = [&](uint32_t r) { return double(costs[r]) > 2.0 * mean; };
    // In place when no room is to be had for the partition.
    const auto others = std::stable_partition(order.begin(), order.end(), costly);
    std::sort(order.begin(), others,
              [&](uint32_t a, uint32_t b) { return costs[a] != costs[b] ? costs[a] > costs[b] : a < b; });
}

PartListCompileC::PartListCompileC(refHandle<FEDisplayPartC> part, std::vector<FEMeshFaceC*> starts,
                                   size_t facesPerRun, GLuint list, const platform::gl::GlContext* shareWith,
                                   size_t helperCount)
    : part_(std::move(part)), starts(std::move(starts)), facesPerRun(facesPerRun), list(list), shareWith(shareWith),
      runs(this->starts.size()), costs(runs.size()), order(runs.size()),
      ordered(runs.empty())  // no run to cost: no thread would ever set it
{
    // No more threads to be had (none left, or no memory to start one): the ones running and
    // finish do the rest.
    try {
        helpers.reserve(helperCount);
        for (size_t i = 0; i < helperCount; ++i)
            helpers.emplace_back([this, i] { help(i); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

PartListCompileC::~PartListCompileC() { abandon(); }

void PartListCompileC::compile(size_t r, std::vector<FEMeshFaceC*>& faces)
{
    TakeFaces(starts[r], facesPerRun, faces);
    FEDisplayCornersC triangles;
    // Cut on this thread alone: the runs are spread over the threads already. Without a
    // tessellator the faces would be missing from a list that looks whole.
    if (!triangles.fromFaces(faces.data(), faces.size(), false))
        throw std::bad_alloc();
    Run& run = runs[r];
    run.coloured = triangles.colouredTriangles();
    if (list != 0) {
        const GLuint name = list + 1 + GLuint(r);
        glNewList(name, GL_COMPILE);
        try {
            CompileCorners(triangles);
        } catch (...) {
            // A list left open would swallow every later command of the context.
            glEndList();
            throw;
        }
        glEndList();
    }
    run.done = true;
}

void PartListCompileC::costRuns()
{
    for (size_t r; (r = nextToCost.fetch_add(1)) < runs.size();) {
        costs[r] = CornersOfFaces(starts[r], facesPerRun);
        if (costed.fetch_add(1) + 1 == runs.size()) {
            OrderRunsByCost(costs, order);  // the room for it was taken with the runs'
            std::lock_guard<std::mutex> guard(orderLock);
            ordered = true;
            orderSet.notify_all();
        }
    }
    // Every run is taken to cost by now: the threads costing the last ones finish without
    // waiting for anything.
    std::unique_lock<std::mutex> guard(orderLock);
    orderSet.wait(guard, [this] { return ordered; });
}

size_t PartListCompileC::runsLeft() const
{
    const uint64_t t = taken.load();
    return runs.size() - size_t(uint32_t(t)) - size_t(t >> 32);
}

bool PartListCompileC::take(bool fromBack, size_t& run)
{
    uint64_t t = taken.load();
    for (;;) {
        const size_t front = uint32_t(t), back = size_t(t >> 32);
        if (front + back >= runs.size())
            return false;
        if (taken.compare_exchange_weak(t, t + (fromBack ? uint64_t(1) << 32 : 1))) {
            run = order[fromBack ? runs.size() - 1 - back : front];
            return true;
        }
    }
}

void PartListCompileC::takeRuns(size_t helper)
{
    costRuns();
    std::vector<FEMeshFaceC*> faces;
    auto stays = [&] { return helper == kCaller || helper < staying.load(std::memory_order_relaxed); };
    for (size_t r; !stopped.load(std::memory_order_relaxed) && stays() && take(helper == kCaller, r);)
        compile(r, faces);
}

void PartListCompileC::shareUntil(double aheadMs, size_t stayingHelpers)
{
    costRuns();
    std::vector<FEMeshFaceC*> faces;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    size_t compiled = 0;
    try {
        for (size_t r; !stopped.load(std::memory_order_relaxed);) {
            if (compiled > 0) {
                const double msPerRun =
                    std::chrono::duration<double, std::milli>(Clock::now() - begin).count() / double(compiled);
                if (double(runsLeft()) * msPerRun <= aheadMs * double(stayingHelpers))
                    break;
            }
            if (!take(true, r))
                break;
            compile(r, faces);
            ++compiled;
        }
    } catch (...) {
        fail(std::current_exception());
    }
    staying = stayingHelpers;
    // Their contexts and memory are gone before the caller goes on to take its own.
    for (size_t i = stayingHelpers; i < helpers.size(); ++i)
        if (helpers[i].joinable())
            helpers[i].join();
}

void PartListCompileC::fail(std::exception_ptr thrown)
{
    std::lock_guard<std::mutex> guard(errorLock);
    if (!error)
        error = std::move(thrown);
    stopped = true;
}

void PartListCompileC::help(size_t helper)
{
    // Nothing may leave a thread's body: the failure is kept for finish.
    try {
        costRuns();
        auto surface = std::make_unique<platform::gl::GlSurface>(1, 1);
        std::unique_ptr<platform::gl::GlContext> context = platform::gl::GlContext::create(shareWith);
        if (context == nullptr || !context->makeCurrent(*surface))
            return;  // left to the others
        try {
            takeRuns(helper);
        } catch (...) {
            fail(std::current_exception());
        }
        // The lists are whole for every context of the group once the renderer is done. One
        // that is not done within the bound fails the compile, and keeps this context.
        if (!platform::gl::GlContext::finishWithin()) {
            fail(std::make_exception_ptr(DrawPacerC::Stalled()));
            platform::gl::GlContext::keepToTheEnd(std::move(context), std::move(surface));
            return;
        }
        context->release();
    } catch (...) {
        fail(std::current_exception());
    }
    // A helper let go early leaves its context's memory free in its own heap, which the
    // caller's frames cannot use: it goes back now, not when the compile ends.
    if (helper >= staying.load() && runsLeft() > 0)
        platform::sys::returnFreedMemory();
}

void PartListCompileC::join()
{
    for (std::thread& t : helpers)
        if (t.joinable())
            t.join();
    helpers.clear();
}

void PartListCompileC::abandon()
{
    stopped = true;
    join();
}

void PartListCompileC::finish()
{
    // The runs no helper has taken yet are compiled here too: the helpers may have no context
    // to be had, and the caller would wait for them idle meanwhile.
    if (platform::gl::GlContext::current() != nullptr) {
        try {
            takeRuns(kCaller);
        } catch (...) {
            fail(std::current_exception());
        }
    }
    join();
    try {
        if (error)
            std::rethrow_exception(error);
        for (const Run& run : runs)
            if (!run.done)
                throw std::runtime_error("no context to compile the part's lists in");
        for (const Run& run : runs)
            AddColouredTriangles(*part_, run.coloured);
    } catch (...) {
        if (list != 0 && platform::gl::GlContext::current() != nullptr)
            glDeleteLists(list, GLsizei(runs.size() + 1));
        part_->setDisplayList(-1);
        part_->clearTriangles();
        throw;
    }
    if (list != 0) {
        glNewList(list, GL_COMPILE);
        for (size_t r = 0; r < runs.size(); ++r)
            glCallList(list + 1 + GLuint(r));
        glEndList();
    }
    // The helpers' contexts and the compile's working room went back to the allocator's heaps of
    // their threads, which would keep them (about 30 MB for a million triangles): the frames
    // after take memory of their own.
    platform::sys::returnFreedMemory();
}
