// PartListCompileC: the runs of a large part's display list compiled on helper threads while the
// caller goes on, finished or abandoned by the caller.
#include "viewer/render/PartListCompileC.h"

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

PartListCompileC::PartListCompileC(refHandle<FEDisplayPartC> part, std::vector<FEMeshFaceC*> starts,
                                   size_t facesPerRun, GLuint list, const platform::gl::GlContext* shareWith,
                                   size_t helperCount)
    : part_(std::move(part)), starts(std::move(starts)), facesPerRun(facesPerRun), list(list), shareWith(shareWith),
      runs(this->starts.size())
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

void PartListCompileC::takeRuns(size_t helper)
{
    std::vector<FEMeshFaceC*> faces;
    auto stays = [&] { return helper == kCaller || helper < staying.load(std::memory_order_relaxed); };
    for (size_t r; !stopped.load(std::memory_order_relaxed) && stays() && (r = nextRun.fetch_add(1)) < runs.size();)
        compile(r, faces);
}

void PartListCompileC::shareUntil(double aheadMs, size_t stayingHelpers)
{
    std::vector<FEMeshFaceC*> faces;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    size_t taken = 0;
    try {
        for (;;) {
            size_t r = nextRun.load();
            if (r >= runs.size() || stopped.load(std::memory_order_relaxed))
                break;
            if (taken > 0) {
                const double msPerRun =
                    std::chrono::duration<double, std::milli>(Clock::now() - begin).count() / double(taken);
                if (double(runs.size() - r) * msPerRun <= aheadMs * double(stayingHelpers))
                    break;
            }
            if (!nextRun.compare_exchange_weak(r, r + 1))
                continue;
            compile(r, faces);
            ++taken;
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
        platform::gl::GlSurface surface(1, 1);
        const std::unique_ptr<platform::gl::GlContext> context = platform::gl::GlContext::create(shareWith);
        if (context == nullptr || !context->makeCurrent(surface))
            return;  // left to the others
        try {
            takeRuns(helper);
        } catch (...) {
            fail(std::current_exception());
        }
        // The lists are whole for every context of the group once the renderer is done.
        glFinish();
        context->release();
    } catch (...) {
        fail(std::current_exception());
    }
    // A helper let go early leaves its context's memory free in its own heap, which the
    // caller's frames cannot use: it goes back now, not when the compile ends.
    if (helper >= staying.load() && nextRun.load() < runs.size())
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
