// CTavoplexCtrl: one display list per display part, compiled from its faces cut into
// triangles, a large part on several threads, each with a context sharing the lists; and
// the model's lists deleted with the model.
#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "platform/Parallel.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "viewer/control/CTavoplexCtrl.h"

namespace {

// Faces whose triangles are cut and handed to a display list at a time.
constexpr size_t kFacesPerListRun = size_t(1) << 17;
// The same when runs are compiled on several threads at once: smaller, so that the runs in
// hand together hold no more than one of the above. Smaller still than that: Mesa's compile of
// a list takes working room in proportion to it on every thread, and keeps lists of fewer
// triangles in less memory each (a million of them in 34 MB as runs of 4,096 faces, in 42 MB
// as runs of 16,384), for the same time.
constexpr size_t kFacesPerParallelRun = size_t(1) << 12;
// The one thread's runs start where the parallel ones do.
static_assert(kFacesPerListRun % kFacesPerParallelRun == 0);
// Parts of more faces than this are compiled on several threads. Merged faces cut into many
// triangles each, so a part of far fewer faces than one run above can still take the one
// thread 100 ms (a gear of 72k faces is 400k triangles); below this, the helpers' contexts
// cost about what they save.
constexpr size_t kFacesForParallelCompile = size_t(1) << 15;
// Threads that compile runs at most: each holds about 8 MB of its own context's lists beside
// the data, and beyond four the compile hardly gets faster.
constexpr size_t kListThreads = 4;
// Run lists of a large part drawn between two flushes: about 64k triangles. Mesa's software
// renderer bins every triangle it is given before its rasterizer threads start, so a part
// handed over whole grows the process by its binned triangles and leaves those threads idle
// meanwhile. Smaller groups bound that memory no further and cost more flushes; larger ones
// overlap less.
constexpr size_t kRunsPerFlush = (size_t(1) << 16) / kFacesPerParallelRun;

// The corners of a run of faces handed to the list being compiled. The array state is the
// client's, not the list's: it is set for the compile only.
void compileCorners(const FEDisplayCornersC& triangles)
{
    if (triangles.triangles() == 0)
        return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glInterleavedArrays(GL_N3F_V3F, 0, triangles.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(3 * triangles.triangles()));
    glPopClientAttrib();
}

// One run of faces compiled into a list of its own, on whatever thread runs it.
struct ListRun {
    std::vector<FEDisplayCornersC::ColouredTriangle> coloured;
    bool done = false;
};

// Cuts faces into triangles and compiles them into list (when not 0); the coloured triangles
// go to run.
void compileRun(FEMeshFaceC* const* faces, size_t n, GLuint list, ListRun& run)
{
    FEDisplayCornersC triangles;
    // The runs are already spread over the threads.
    // Without a tessellator the faces would be missing from a list that looks whole.
    if (!triangles.fromFaces(faces, n, false))
        throw std::bad_alloc();
    run.coloured = triangles.colouredTriangles();
    if (list == 0) {
        run.done = true;
        return;
    }
    glNewList(list, GL_COMPILE);
    try {
        compileCorners(triangles);
    } catch (...) {
        glEndList();
        throw;
    }
    glEndList();
    run.done = true;
}

// The first face of every run of `per` faces of the list from first on, and how many faces the
// list holds. Only the runs' starts are kept: an array of every face would hold 8 bytes a face
// through the compile, beside the lists growing.
struct RunStarts {
    std::vector<FEMeshFaceC*> starts;
    size_t faces = 0;
};

RunStarts runStarts(FEMeshFaceC* first, size_t per)
{
    RunStarts r;
    for (FEMeshFaceC* face = first; face; face = face->getNext(), ++r.faces)
        if (r.faces % per == 0)
            r.starts.push_back(face);
    return r;
}

// The n faces from first on (fewer where the list ends), into faces.
void takeFaces(FEMeshFaceC* first, size_t n, std::vector<FEMeshFaceC*>& faces)
{
    faces.clear();
    for (FEMeshFaceC* face = first; face && faces.size() < n; face = face->getNext())
        faces.push_back(face);
}

// Records the triangles of coloured faces with the part, in order.
void addColoured(FEDisplayPartC& part, const std::vector<FEDisplayCornersC::ColouredTriangle>& coloured)
{
    for (const FEDisplayCornersC::ColouredTriangle& t : coloured)
        part.addTriangle(t.positions[0], t.positions[1], t.positions[2], t.normals[0], t.normals[1], t.normals[2],
                         t.color);
}

}  // namespace

void CTavoplexCtrl::MakeListFromMesh(const refHandle<FEDisplayPartC>& handle)
{
    FEDisplayPartC* part = handle.get();
    if (part == nullptr)
        return;
    // A list made again may take the name of the one the shadow texture was drawn from.
    ShadowTextureDrawn = ShadowTextureKey();
    part->clearTriangles();

    // The list needs only each triangle's corners in order, nothing shared between them: the
    // faces are cut straight into vertex arrays, on several threads. A run of faces at a time:
    // the list keeps a copy of what it is given, and the whole array beside that copy would
    // raise the peak of memory by as much again. Every triangle goes into the list with its
    // corner normals; the list sets no colour (the caller sets it). The corners are handed over
    // as vertex arrays: compiling a million triangles call by call would take seconds.
    const RunStarts runs = runStarts(part->getFirstFace(), kFacesPerParallelRun);
    platform::gl::GlContext* context = platform::gl::GlContext::current();
    const size_t runCount = runs.starts.size();
    // A piece a thread: each helper makes a context once.
    const size_t pieces = context != nullptr && runs.faces > kFacesForParallelCompile
                              ? std::min({runCount, size_t(platform::sys::workerCount()), kListThreads})
                              : 1;

    if (pieces <= 1) {
        const GLuint list = glGenLists(1);
        part->setDisplayList(list != 0 ? int(list) : -1);
        if (list != 0)
            glNewList(list, GL_COMPILE);
        try {
            FEDisplayCornersC triangles;
            std::vector<FEMeshFaceC*> faces;
            for (size_t r = 0; r < runCount; r += kFacesPerListRun / kFacesPerParallelRun) {
                takeFaces(runs.starts[r], kFacesPerListRun, faces);
                if (!triangles.fromFaces(faces.data(), faces.size()))
                    throw std::bad_alloc();  // no tessellator: the faces would be missing
                addColoured(*part, triangles.colouredTriangles());
                if (list != 0)
                    compileCorners(triangles);
            }
        } catch (...) {
            // A list left open would swallow every later drawing command of the context; a
            // half built one is dropped with its records.
            if (list != 0) {
                glEndList();
                glDeleteLists(list, 1);
            }
            part->setDisplayList(-1);
            part->clearTriangles();
            throw;
        }
        if (list != 0)
            glEndList();
        return;
    }

    // Mesa copies the corners into a list on one thread, which is most of the time a list of
    // a million triangles takes. Each run is compiled into a list of its own instead, on
    // several threads, each with a context sharing this one's lists; the part's list then
    // calls them in order, which draws the same triangles in the same order. The run lists
    // follow the part's list in numbering and live as long as the shared lists do.
    const GLuint list = glGenLists(GLsizei(runCount + 1));
    part->setDisplayList(list != 0 ? int(list) : -1, int(runCount + 1));
    std::vector<ListRun> compiled(runCount);
    auto runList = [&](size_t r) { return list != 0 ? GLuint(list + 1 + r) : GLuint(0); };
    auto compile = [&](size_t r, std::vector<FEMeshFaceC*>& faces) {
        takeFaces(runs.starts[r], kFacesPerParallelRun, faces);
        compileRun(faces.data(), faces.size(), runList(r), compiled[r]);
    };
    try {
        platform::sys::runInPieces(runCount, pieces, [&](size_t, size_t begin, size_t end) {
            // The caller's own piece compiles in its context; a helper thread brings one.
            std::unique_ptr<platform::gl::GlSurface> surface;
            std::unique_ptr<platform::gl::GlContext> helper;
            if (platform::gl::GlContext::current() != context) {
                surface = std::make_unique<platform::gl::GlSurface>(1, 1);
                helper = platform::gl::GlContext::create(context);
                if (helper == nullptr || !helper->makeCurrent(*surface))
                    return;  // left to the caller below
            }
            std::vector<FEMeshFaceC*> faces;
            try {
                for (size_t r = begin; r < end; ++r)
                    compile(r, faces);
            } catch (...) {
                if (helper) {
                    glFinish();
                    helper->release();
                }
                throw;
            }
            if (helper) {
                glFinish();
                helper->release();
            }
        });
        // Runs a helper could not take (no context to be had) are compiled here.
        std::vector<FEMeshFaceC*> faces;
        for (size_t r = 0; r < runCount; ++r)
            if (!compiled[r].done)
                compile(r, faces);
        for (const ListRun& run : compiled)
            addColoured(*part, run.coloured);
    } catch (...) {
        if (list != 0)
            glDeleteLists(list, GLsizei(runCount + 1));
        part->setDisplayList(-1);
        part->clearTriangles();
        throw;
    }
    if (list != 0) {
        glNewList(list, GL_COMPILE);
        for (size_t r = 0; r < runCount; ++r)
            glCallList(runList(r));
        glEndList();
    }
    // The helpers' contexts and the compile's working room went back to the allocator's heaps of
    // their threads, which would keep them (about 30 MB for a million triangles): the frames
    // after take memory of their own.
    platform::sys::returnFreedMemory();
}

void CTavoplexCtrl::CallPartList(const FEDisplayPartC& part)
{
    const int list = part.getDisplayList();
    if (list < 0)
        return;
    const size_t runs = size_t(part.getDisplayListCount() - 1);
    if (!FlushListGroups || runs <= kRunsPerFlush) {
        glCallList(GLuint(list));
        return;
    }
    // A flush changes no pixel: the same triangles in the same order under the same state.
    for (size_t begin = 0; begin < runs; begin += kRunsPerFlush) {
        if (begin > 0)
            glFlush();
        for (size_t r = begin; r < std::min(runs, begin + kRunsPerFlush); ++r)
            glCallList(GLuint(list) + 1 + GLuint(r));
    }
}

void CTavoplexCtrl::ReleaseModel()
{
    ShadowTextureDrawn = ShadowTextureKey();
    if (Parts == nullptr)
        return;
    // The lists live in the context, not in the parts: without this they would stay until the
    // window goes, one model's worth for every load.
    OpenGLLock lock(*this);
    if (lock) {
        auto& parts = Parts->getParts();
        for (size_t i = 0; i < parts.entries(); ++i) {
            FEDisplayPartC* part = parts[i].get();
            if (part != nullptr && part->getDisplayList() >= 0) {
                glDeleteLists(GLuint(part->getDisplayList()), GLsizei(part->getDisplayListCount()));
                part->setDisplayList(-1);
            }
        }
    }
    Parts.reset();
}
