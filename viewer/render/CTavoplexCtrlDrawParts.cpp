// CTavoplexCtrl: one display list per display part, and the placed instances drawn in every
// scene frame: shaded surfaces, face colours, the metallic look and the edge lines.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "platform/Parallel.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/SceneState.h"
#include "viewer/textures/TextureC.h"

namespace {

// Faces whose triangles are cut and handed to a display list at a time.
constexpr size_t kFacesPerListRun = size_t(1) << 17;
// The same when runs are compiled on several threads at once: smaller, so that the runs in
// hand together hold no more than one of the above.
constexpr size_t kFacesPerParallelRun = size_t(1) << 14;
// Threads that compile runs at most: each holds about 8 MB of its own context's lists beside
// the data, and beyond four the compile hardly gets faster.
constexpr size_t kListThreads = 4;
// Polygon offsets that push the surfaces behind the lines, the display lists further than the
// face-coloured triangles drawn over them.
constexpr GLfloat kListOffsetFactor = 2.0f, kListOffsetUnits = 2.0f;
constexpr GLfloat kColourOffsetFactor = 1.0f, kColourOffsetUnits = 1.0f;
// Degrees between two vertices of a thread's helix.
constexpr double kThreadStep = 15.0;
// A thread strip never has more vertices than this, whatever its length and radius.
constexpr long kMaxThreadVertices = 65536;
// Edges the line pass takes at a time, and the fewest a piece of its visibility test takes
// (fewer are not worth a thread).
constexpr size_t kEdgesPerRun = 65536;
constexpr size_t kEdgesPerPiece = 8192;

void multiplyPlacement(const FEDisplayPartRefC& instance)
{
    float m[16];
    instance.GetGLMatrix(m);
    glMultMatrixf(m);
}

void vertex(const Point3D& p) { glVertex3f(float(p.x()), float(p.y()), float(p.z())); }
void vertex(const Point3Df& p) { glVertex3f(p.x(), p.y(), p.z()); }
void normal(const Point3D& n) { glNormal3f(float(n.x()), float(n.y()), float(n.z())); }

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
    part->clearTriangles();

    // The list needs only each triangle's corners in order, nothing shared between them: the
    // faces are cut straight into vertex arrays, on several threads. A run of faces at a time:
    // the list keeps a copy of what it is given, and the whole array beside that copy would
    // raise the peak of memory by as much again. Every triangle goes into the list with its
    // corner normals; the list sets no colour (the caller sets it). The corners are handed over
    // as vertex arrays: compiling a million triangles call by call would take seconds.
    const std::vector<FEMeshFaceC*> faces = FEDisplayCornersC::faceList(part->getFirstFace());
    platform::gl::GlContext* context = platform::gl::GlContext::current();
    const size_t runCount = (faces.size() + kFacesPerParallelRun - 1) / kFacesPerParallelRun;
    // A piece a thread: each helper makes a context once.
    const size_t pieces = context != nullptr && faces.size() > kFacesPerListRun
                              ? std::min({runCount, size_t(platform::sys::workerCount()), kListThreads})
                              : 1;

    if (pieces <= 1) {
        const GLuint list = glGenLists(1);
        part->setDisplayList(list != 0 ? int(list) : -1);
        if (list != 0)
            glNewList(list, GL_COMPILE);
        try {
            FEDisplayCornersC triangles;
            for (size_t begin = 0; begin < faces.size(); begin += kFacesPerListRun) {
                if (!triangles.fromFaces(faces.data() + begin, std::min(kFacesPerListRun, faces.size() - begin)))
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
    std::vector<ListRun> runs(runCount);
    auto runList = [&](size_t r) { return list != 0 ? GLuint(list + 1 + r) : GLuint(0); };
    auto compile = [&](size_t r) {
        const size_t first = r * kFacesPerParallelRun;
        compileRun(faces.data() + first, std::min(kFacesPerParallelRun, faces.size() - first), runList(r), runs[r]);
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
            try {
                for (size_t r = begin; r < end; ++r)
                    compile(r);
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
        for (size_t r = 0; r < runCount; ++r)
            if (!runs[r].done)
                compile(r);
        for (const ListRun& run : runs)
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
}

void CTavoplexCtrl::ReleaseModel()
{
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
    delete Parts;
    Parts = nullptr;
}

void CTavoplexCtrl::DrawParts()
{
    // A zoom asked for since the last frame starts from this frame's matrices; that clears
    // the request, so the parts are then drawn as usual.
    if (ZoomPending)
        RunPendingZoom();

    WriteLog("  Begin Draw Parts.\n");
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    if (Parts == nullptr) {
        glDisable(GL_BLEND);
        WriteLog("  End Draw Parts.\n");
        return;
    }
    const RWTValOrderedVector<FEDisplayPartRefC*>& instances = Parts->getInstances();
    const size_t count = instances.entries();
    ThreadVerticesLeft = ThreadVertexLimit;
    const bool ghosts = DisplayMode == 0;

    if (DisplayMode == 0 || DisplayMode == 3 || DisplayMode == 4) {
        const bool metallic = MetalTexture != nullptr && Metallic == 1;
        if (metallic)
            BeginMetallicLook(MetalTexture->Name);
        else
            glDisable(GL_TEXTURE_2D);
        glEnable(GL_POLYGON_OFFSET_FILL);

        // Opaque instances first; the face colours lie just in front of their own triangles
        // of the list, so they show over the part colour. The smaller factor alone separates
        // them only on faces that slope in depth; the smaller units do it on faces seen
        // head-on too.
        if (!ghosts) {
            glPolygonOffset(kListOffsetFactor, kListOffsetUnits);
            for (size_t i = 0; i < count; ++i)
                if (instances[i]->GetTransparency() == 0.0f)
                    DrawPartLists(*instances[i], false);
            glPolygonOffset(kColourOffsetFactor, kColourOffsetUnits);
            for (size_t i = 0; i < count; ++i)
                if (instances[i]->GetTransparency() == 0.0f)
                    DrawPartTriangles(*instances[i], false);
        }
        // Then the see-through ones (every instance as a ghost in mode 0), both sides shown.
        glDisable(GL_CULL_FACE);
        auto seeThrough = [&](const FEDisplayPartRefC* instance) {
            return ghosts || instance->GetTransparency() > 0.0f;
        };
        glPolygonOffset(kListOffsetFactor, kListOffsetUnits);
        for (size_t i = 0; i < count; ++i)
            if (seeThrough(instances[i]))
                DrawPartLists(*instances[i], ghosts);
        glPolygonOffset(kColourOffsetFactor, kColourOffsetUnits);
        for (size_t i = 0; i < count; ++i)
            if (seeThrough(instances[i]))
                DrawPartTriangles(*instances[i], ghosts);
        glEnable(GL_CULL_FACE);
        if (metallic) {
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
            glDisable(GL_TEXTURE_2D);
        }
    }

    if (DisplayMode == 0 || DisplayMode == 1 || DisplayMode == 2 || DisplayMode == 4) {
        const bool smooth = Antialiasing == 1;
        if (smooth) {
            glEnable(GL_LINE_SMOOTH);
            glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        }
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glShadeModel(GL_FLAT);
        glDisable(GL_LIGHTING);
        glDepthMask(GL_FALSE);
        for (size_t i = 0; i < count; ++i)
            DrawPartLines(*instances[i]);
        glDepthMask(GL_TRUE);
        if (smooth)
            glDisable(GL_LINE_SMOOTH);
    }

    glDisable(GL_BLEND);
    WriteLog("  End Draw Parts.\n");
}

void CTavoplexCtrl::DrawPartLists(const FEDisplayPartRefC& instance, bool ghost)
{
    const FEDisplayPartC* part = instance.GetPart();
    if (part == nullptr)
        return;
    glPushMatrix();
    multiplyPlacement(instance);
    const float alpha = ghost ? IntroFade * 0.09f : (1.0f - instance.GetTransparency()) * IntroFade;
    const feColor colour = part->getColor();
    glColor4f(colour.r(), colour.g(), colour.b(), alpha);
    if (part->getDisplayList() >= 0 && !ModelLeftOut)
        glCallList(GLuint(part->getDisplayList()));
    glPopMatrix();
}

void CTavoplexCtrl::DrawPartTriangles(const FEDisplayPartRefC& instance, bool ghost)
{
    FEDisplayPartC* part = instance.GetPart();
    if (part == nullptr)
        return;
    glPushMatrix();
    multiplyPlacement(instance);
    const float alpha = ghost ? IntroFade * 0.09f : (1.0f - instance.GetTransparency()) * IntroFade;
    for (RWTPtrSlistIterator<FEDisplayTriangleC> it = part->triangleIterator(); it();) {
        const FEDisplayTriangleC& triangle = *it.key();
        const feColor& colour = triangle.getColor();
        glColor4f(colour.r(), colour.g(), colour.b(), alpha);
        glBegin(GL_TRIANGLES);
        for (int corner = 0; corner < 3; ++corner) {
            normal(triangle.getNormal(corner));
            vertex(triangle.getPosition(corner));
        }
        glEnd();
    }
    glPopMatrix();
}

void CTavoplexCtrl::DrawPartLines(const FEDisplayPartRefC& instance)
{
    FEDisplayPartC* part = instance.GetPart();
    if (part == nullptr)
        return;
    WriteLog("  Begin Draw Part Lines.\n");
    const float t = instance.GetTransparency();
    const float visibleWidth = DrawScale / 1.25f;
    const float hiddenWidth = DrawScale / 2.0f;
    float visibleAlpha, hiddenAlpha;
    if (DisplayMode != 0) {
        visibleAlpha = (0.75f - t / 4.0f) * IntroFade;
        hiddenAlpha = t / 2.0f * IntroFade;
    } else {
        visibleAlpha = 0.75f * IntroFade;
        hiddenAlpha = 0.43f * IntroFade;
    }
    // Hidden lines show through see-through instances, and through everything as ghosts.
    const bool hidden = !(t <= 0.0f && DisplayMode != 0);

    TransformMatrix view;
    view.setFromColumnMajor(ModelViewMatrix);
    const TransformMatrix eye = view * instance.GetMatrix();

    glPushMatrix();
    multiplyPlacement(instance);
    auto line = [&](const FEMeshEdgeC& edge) {
        const Point3Df start = edge.getStartPoint();
        const Point3Df end = edge.getEndPoint();
        glColor4f(0.0f, 0.0f, 0.0f, visibleAlpha);
        glLineWidth(visibleWidth);
        glBegin(GL_LINES);
        vertex(start);
        vertex(end);
        glEnd();
        if (hidden) {
            glDepthFunc(GL_GREATER);
            glColor4f(0.29f, 0.29f, 0.29f, hiddenAlpha);
            glLineWidth(hiddenWidth);
            glBegin(GL_LINES);
            vertex(start);
            vertex(end);
            glEnd();
            glDepthFunc(GL_LESS);
        }
    };
    // Which edges show depends on nothing but the edge and the matrix, so it is found for a
    // run of them at a time, in pieces on all processors; the run's lines then go out in the
    // list's order. Runs keep the edge table small beside the model.
    const FEMeshEdgeC* next = ModelLeftOut ? nullptr : part->getFirstEdge();
    try {
        std::vector<const FEMeshEdgeC*> edges;
        std::vector<uint8_t> shown;
        while (next != nullptr) {
            edges.clear();
            const FEMeshEdgeC* after = next;
            for (; after != nullptr && edges.size() < kEdgesPerRun; after = after->getNext())
                edges.push_back(after);
            shown.assign(edges.size(), 0);
            platform::sys::runInPieces(edges.size(), platform::sys::piecesFor(edges.size(), kEdgesPerPiece),
                                       [&](size_t, size_t begin, size_t end) {
                                           for (size_t i = begin; i < end; ++i)
                                               shown[i] = IsEdgeVisible(*edges[i], eye) ? 1 : 0;
                                       });
            for (size_t i = 0; i < edges.size(); ++i)
                if (shown[i] != 0)
                    line(*edges[i]);
            next = after;
        }
    } catch (const std::bad_alloc&) {
        // Without room for a run's tables, the rest is tested edge by edge on this thread: the
        // same lines in the same order, and the matrix pushed above is popped below.
        for (; next != nullptr; next = next->getNext())
            if (IsEdgeVisible(*next, eye))
                line(*next);
    }
    DrawThreads(instance, visibleAlpha, hiddenAlpha, visibleWidth, hiddenWidth);
    glPopMatrix();
    WriteLog("  End Draw Part Lines.\n");
}

bool CTavoplexCtrl::IsEdgeVisible(const FEMeshEdgeC& edge, const TransformMatrix& m)
{
    const FEMeshHalfEdgeC* first = edge.getFirstHalfEdge();
    const FEMeshHalfEdgeC* second = edge.getSecondHalfEdge();
    if (first == nullptr || second == nullptr || !edge.isSmooth())
        return true;
    // A smooth edge is drawn only where one of its faces turns to the viewer and the other
    // away: on the silhouette.
    const double d1 = facing(m, first);
    const double d2 = facing(m, second);
    return (d1 < 0.0 && d2 > 0.0) || (d1 > 0.0 && d2 < 0.0);
}

void CTavoplexCtrl::DrawThreads(const FEDisplayPartRefC& instance, float visibleAlpha, float hiddenAlpha,
                                float visibleWidth, float hiddenWidth)
{
    FEDisplayPartC* part = instance.GetPart();
    if (part == nullptr)
        return;
    WriteLog("  Begin Draw Threads.\n");
    const bool hidden = !(instance.GetTransparency() <= 0.0f && DisplayMode != 0);
    RWTValOrderedVector<FEMeshThreadC*>& threads = part->getThreads();
    for (size_t i = 0; i < threads.entries(); ++i) {
        const FEMeshThreadC* thread = threads[i];
        const double radius = thread->getParameter7();
        const double length = (thread->getEndPoint() - thread->getStartPoint()).length();
        // Three turns per radius of length: a radius that is not positive (or a length or
        // radius that is no number) has no finite helix.
        if (!(radius > 0.0) || !std::isfinite(radius) || !std::isfinite(length))
            continue;
        const double total = length / radius * 3.0 * 24.0 * kThreadStep;
        const double rise = length / total * kThreadStep;
        if (!std::isfinite(total) || !std::isfinite(rise))
            continue;
        // One vertex for every angle k x step below the total, counted without walking them
        // (the division may round either way by one).
        long vertices = 0;
        if (total > 0.0) {
            const double steps = std::ceil(total / kThreadStep);
            vertices = steps >= double(kMaxThreadVertices) ? kMaxThreadVertices : long(steps);
            while (vertices > 0 && double(vertices - 1) * kThreadStep >= total)
                --vertices;
            while (vertices < kMaxThreadVertices && double(vertices) * kThreadStep < total)
                ++vertices;
        }
        if (vertices > ThreadVerticesLeft) {
            if (!ThreadLimitLogged) {
                ThreadLimitLogged = true;
                WriteLog("  Threads beyond " + RWCString(std::to_string(ThreadVertexLimit).c_str()) +
                         " helix vertices a frame are left out.\n");
            }
            vertices = std::max(ThreadVerticesLeft, 0L);
        }
        ThreadVerticesLeft -= vertices;
        if (vertices == 0)
            continue;

        glPushMatrix();
        float m[16];
        thread->getMatrix().getOpenGLMatrix(m);
        glMultMatrixf(m);
        auto strip = [&]() {
            glBegin(GL_LINE_STRIP);
            double z = 0.0;
            for (long k = 0; k < vertices; ++k) {
                const double a = double(k) * kThreadStep * M_PI / 180.0;
                glVertex3f(float(std::cos(a) * radius), float(std::sin(a) * radius), float(z));
                z += rise;
            }
            glEnd();
        };
        glColor4f(0.3f, 0.3f, 0.3f, visibleAlpha);
        glLineWidth(visibleWidth);
        strip();
        if (hidden) {
            glDepthFunc(GL_GREATER);
            glColor4f(0.5f, 0.5f, 0.5f, hiddenAlpha);
            glLineWidth(hiddenWidth);
            strip();
            glDepthFunc(GL_LESS);
        }
        glPopMatrix();
    }
    WriteLog("  End Draw Threads.\n");
}
