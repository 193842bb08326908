// CTavoplexCtrl: one display list per display part, compiled from its faces cut into
// triangles, a large part on several threads, each with a context sharing the lists, going on
// behind the frames until the lists are first used; and the model's lists deleted with the
// model.
#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "platform/Parallel.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/PartListCompileC.h"

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
// Threads that compile runs at most, the caller counted. Beyond four, a part of some hundred
// thousand faces hardly compiles faster: a face of many corners sets the pace, and each further
// helper's context costs what it saves (a cone of 111k faces took 5 % longer with eight).
constexpr size_t kListThreads = 4;
// A part of more faces than this keeps more threads busy, up to kListThreadsForLargeParts: the
// list step of a torus of four million triangles (2.6M faces) fell from about 220 to 160 ms with
// eight. The lists take about the same memory however many threads compile them; a further
// helper costs its context and working room. A torus of a million triangles (573k faces) stays
// at four: with eight its whole job was from 2 % faster to 4 % slower from one run to the next,
// for about 3 MB more at the peak.
constexpr size_t kFacesForMoreListThreads = size_t(1) << 20;
constexpr size_t kListThreadsForLargeParts = 8;
// Helper threads of a compile left to go on beside the frames after it. Each helper's context
// and working room (about 4 MB for a million triangles) are then held beside the picture's
// context and the first frames' memory, which used to come after the compile: with three or
// more the process's peak of memory rises (1M triangles: 2.5 MB with three, 8 MB with four).
constexpr size_t kHelpersBesideFrames = 2;
// The work left to those helpers, in milliseconds of each: about what the frames of a picture
// before its last take (30-40 ms). The rest is compiled first by all threads, the caller
// among them, as before; more left would be finished by fewer threads than that.
constexpr double kCompileBesideFramesMs = 30.0;
// Run lists of a large part drawn between two flushes: about 64k triangles. Mesa's software
// renderer bins every triangle it is given before its rasterizer threads start, so a part
// handed over whole grows the process by its binned triangles and leaves those threads idle
// meanwhile. Smaller groups bound that memory no further and cost more flushes; larger ones
// overlap less.
constexpr size_t kRunsPerFlush = (size_t(1) << 16) / kFacesPerParallelRun;

// The first face of every run of `per` faces of the list from first on, and how many faces the
// list holds. Only the runs' starts are kept: an array of every face would hold 8 bytes a face
// through the compile, beside the lists growing.
struct RunStarts {
    std::vector<FEMeshFaceC*> starts;
    size_t faces = 0;
    // Whether a face carries information (a colour, say): only then can the part have
    // coloured-triangle records.
    bool faceInfo = false;
};

RunStarts runStarts(FEMeshFaceC* first, size_t per)
{
    RunStarts r;
    for (FEMeshFaceC* face = first; face; face = face->getNext(), ++r.faces) {
        if (r.faces % per == 0)
            r.starts.push_back(face);
        r.faceInfo = r.faceInfo || face->getFaceInfo() != nullptr;
    }
    return r;
}

}  // namespace

void CTavoplexCtrl::MakeListFromMesh(const refHandle<FEDisplayPartC>& handle)
{
    FEDisplayPartC* part = handle.get();
    if (part == nullptr)
        return;
    // A compile still running may be this very part's; what it threw is thrown here, where the
    // loader would have met it had it been finished in its turn.
    FinishPartLists();
    // A list made again may take the name of the one the shadow texture was drawn from.
    ShadowTextureDrawn = ShadowTextureKey();
    part->clearTriangles();
    PartBuffers.forget(*part);

    // The list needs only each triangle's corners in order, nothing shared between them: the
    // faces are cut straight into vertex arrays, on several threads. A run of faces at a time:
    // the list keeps a copy of what it is given, and the whole array beside that copy would
    // raise the peak of memory by as much again. Every triangle goes into the list with its
    // corner normals; the list sets no colour (the caller sets it). The corners are handed over
    // as vertex arrays: compiling a million triangles call by call would take seconds.
    RunStarts runs = runStarts(part->getFirstFace(), kFacesPerParallelRun);
    platform::gl::GlContext* context = platform::gl::GlContext::current();
    const size_t runCount = runs.starts.size();
    // Threads, the caller counted: each helper makes a context once.
    const size_t threads = runs.faces > kFacesForMoreListThreads ? kListThreadsForLargeParts : kListThreads;
    const size_t pieces = context != nullptr && runs.faces > kFacesForParallelCompile
                              ? std::min({runCount, size_t(platform::sys::workerCount()), threads})
                              : 1;

    if (pieces <= 1) {
        // A part cut in one run, beyond the model's first few thousand, goes to the shared
        // buffers: a list of its own would cost in proportion to the lists before it.
        const bool buffered =
            context != nullptr && runs.faces <= kFacesPerListRun && PartBuffers.takesNextPart();
        const GLuint list = buffered ? 0 : glGenLists(1);
        part->setDisplayList(list != 0 ? int(list) : -1);
        if (list != 0)
            glNewList(list, GL_COMPILE);
        try {
            FEDisplayCornersC triangles;
            std::vector<FEMeshFaceC*> faces;
            for (size_t r = 0; r < runCount; r += kFacesPerListRun / kFacesPerParallelRun) {
                TakeFaces(runs.starts[r], kFacesPerListRun, faces);
                if (!triangles.fromFaces(faces.data(), faces.size()))
                    throw std::bad_alloc();  // no tessellator: the faces would be missing
                AddColouredTriangles(*part, triangles.colouredTriangles());
                if (list != 0)
                    CompileCorners(triangles);
            }
            if (buffered)
                PartBuffers.add(handle, triangles);  // an empty part too: it has surfaces, none
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
    // All threads compile until what is left would keep two helpers busy through the frames
    // that draw no model yet (those of a picture before its last); those two go on beside the
    // frames, and the first use of the lists finishes the compile, taking part. Coloured-
    // triangle records are drawn by every frame, so a part that may have them is finished here.
    const bool pending = ListsBesideFrames && !runs.faceInfo;
    // The helpers share the lists with the window's context, whichever of its group is current:
    // a picture's goes with the picture, maybe before the compile ends, the window's only with
    // the control, which stops the compile first.
    const platform::gl::GlContext* shareWith = WindowContext != nullptr ? WindowContext.get() : context;
    std::unique_ptr<PartListCompileC> compile;
    try {
        compile = std::make_unique<PartListCompileC>(handle, std::move(runs.starts), kFacesPerParallelRun, list,
                                                     shareWith, pieces - 1);
    } catch (...) {
        if (list != 0)
            glDeleteLists(list, GLsizei(runCount + 1));
        part->setDisplayList(-1);
        throw;
    }
    if (pending) {
        compile->shareUntil(kCompileBesideFramesMs, kHelpersBesideFrames);
        PendingPartLists = std::move(compile);
    } else {
        compile->finish();
    }
}

void CTavoplexCtrl::FinishPartLists()
{
    if (PendingPartLists == nullptr)
        return;
    // Finished or failed, it is no longer pending.
    const std::unique_ptr<PartListCompileC> compile = std::move(PendingPartLists);
    compile->finish();
}

bool CTavoplexCtrl::PartListsReady()
{
    if (PendingPartLists == nullptr)
        return true;
    // The load already counted as done; its last step fails now, as it would have in the
    // loading frame.
    try {
        FinishPartLists();
        return true;
    } catch (...) {
        FailLoadForCaughtException();
    }
    PartListsFailed = true;
    return false;
}

void CTavoplexCtrl::AbandonPartLists()
{
    if (PendingPartLists != nullptr)
        PendingPartLists->abandon();
    PendingPartLists.reset();
}

bool CTavoplexCtrl::HasPartSurfaces(const FEDisplayPartC& part) const
{
    return part.getDisplayList() >= 0 || PartBuffers.holds(part);
}

void CTavoplexCtrl::CallPartList(const FEDisplayPartC& part)
{
    if (!PartListsReady())
        return;
    // A part drawn from the shared buffers has no list: the list, which most parts have, is
    // asked first, and only a part without one is looked up among the buffers' ranges.
    const int list = part.getDisplayList();
    if (list < 0) {
        PartBuffers.draw(part);
        return;
    }
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
    // A compile still running reads the model's faces; its lists go with the others below.
    AbandonPartLists();
    if (Parts == nullptr && PartBuffers.empty())
        return;
    // The lists and buffers live in the context, not in the parts: without this they would
    // stay until the window goes, one model's worth for every load.
    OpenGLLock lock(*this, GLStep::AsksNoMemory);
    PartBuffers.release(bool(lock));
    if (Parts == nullptr)
        return;
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
