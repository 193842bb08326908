// CTavoplexCtrl: the placed instances drawn in every scene frame: shaded surfaces, face
// colours, the metallic look, the edge lines and the threads.
// For glMultiDrawArrays, which OpenGL 1.4 added and the libraries export.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/DrawPacerC.h"
#include "viewer/render/LineVisibilityC.h"
#include "viewer/render/SceneState.h"
#include "viewer/textures/TextureC.h"

namespace {

// Polygon offsets that push the surfaces behind the lines, the display lists further than the
// face-coloured triangles drawn over them.
constexpr GLfloat kListOffsetFactor = 2.0f, kListOffsetUnits = 2.0f;
constexpr GLfloat kColourOffsetFactor = 1.0f, kColourOffsetUnits = 1.0f;
// Degrees between two vertices of a thread's helix.
constexpr double kThreadStep = 15.0;
// A thread strip never has more vertices than this, whatever its length and radius.
constexpr long kMaxThreadVertices = 65536;
// Lines of a run handed to the renderer one by one at its end, as all of them once were.
constexpr size_t kLinesAlone = 64;
// Vertices of one draw of a run's multi-draw. Mesa's software renderer marks every vertex of
// the draw piece in hand as unused each time its own small vertex buffer fills (every score of
// antialiased lines or so): with pieces of a thousand vertices that bookkeeping took a sixth of
// the lines pass. Much smaller pieces cost more in draws than they save.
constexpr size_t kRunVerticesPerDraw = 128;
// Lines whose corners are gathered into the array at a time: the array stays small beside the
// model however many lines show.
constexpr size_t kRunLinesPerArray = 8192;
static_assert(2 * kRunLinesPerArray % kRunVerticesPerDraw == 0);
// Lines of a run drawn between two flushes. Mesa's software renderer bins all it is given until
// a flush, and an antialiased line is two triangles that cross many bins: the 144k lines of a
// gear took 35 MB of fresh pages over the surfaces' (the process's peak), and the kernel's
// clearing of those pages a fifth of the pass. A flush every 64k triangles or so keeps that
// memory small and reused, as for the surfaces.
constexpr size_t kRunLinesPerFlush = 32768;
static_assert(kRunLinesPerFlush % kRunLinesPerArray == 0);

void multiplyPlacement(const FEDisplayPartRefC& instance)
{
    float m[16];
    instance.GetGLMatrix(m);
    glMultMatrixf(m);
}

// About what a pass hands the renderer for an instance: the part's faces, its coloured
// triangles, its edges.
size_t facesOf(const FEDisplayPartRefC& instance)
{
    return instance.GetPart() != nullptr ? instance.GetPart()->getFaceCount() : 0;
}
size_t colouredOf(const FEDisplayPartRefC& instance)
{
    return instance.GetPart() != nullptr ? instance.GetPart()->triangleCount() : 0;
}
size_t edgesOf(const FEDisplayPartRefC& instance)
{
    return instance.GetPart() != nullptr ? instance.GetPart()->getEdgeCount() : 0;
}

void vertex(const Point3D& p) { glVertex3f(float(p.x()), float(p.y()), float(p.z())); }
void vertex(const Point3Df& p) { glVertex3f(p.x(), p.y(), p.z()); }
void normal(const Point3D& n) { glNormal3f(float(n.x()), float(n.y()), float(n.z())); }

// The segments of the first count edges as one colour's GL_LINES, the same lines in the same
// order as vertex by vertex, handed over from vertex arrays as draws of kRunVerticesPerDraw
// vertices. All its memory is taken before the renderer is given anything: without room it
// throws with nothing drawn and the client state untouched.
void drawRun(const std::vector<const FEMeshEdgeC*>& edges, size_t count)
{
    const size_t perArray = std::min(count, kRunLinesPerArray);
    std::vector<GLfloat> corners;
    corners.reserve(6 * perArray);
    std::vector<GLint> firsts;
    std::vector<GLsizei> counts;
    firsts.reserve((2 * perArray + kRunVerticesPerDraw - 1) / kRunVerticesPerDraw);
    counts.reserve(firsts.capacity());
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    for (size_t begin = 0; begin < count; begin += kRunLinesPerArray) {
        // A flush changes no pixel: the same lines in the same order under the same state.
        if (begin > 0 && begin % kRunLinesPerFlush == 0)
            glFlush();
        const size_t end = std::min(count, begin + kRunLinesPerArray);
        corners.clear();
        for (size_t i = begin; i < end; ++i) {
            const Point3Df a = edges[i]->getStartPoint();
            const Point3Df b = edges[i]->getEndPoint();
            corners.insert(corners.end(), {a.x(), a.y(), a.z(), b.x(), b.y(), b.z()});
        }
        const size_t vertices = 2 * (end - begin);
        firsts.clear();
        counts.clear();
        for (size_t first = 0; first < vertices; first += kRunVerticesPerDraw) {
            firsts.push_back(GLint(first));
            counts.push_back(GLsizei(std::min(kRunVerticesPerDraw, vertices - first)));
        }
        glInterleavedArrays(GL_V3F, 0, corners.data());
        glMultiDrawArrays(GL_LINES, firsts.data(), counts.data(), GLsizei(firsts.size()));
    }
    glPopClientAttrib();
}

}  // namespace

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
    // Each step of the passes asks the renderer for memory of its own: without its room, the
    // rest and the passes after it are left out (the frame's load or picture fails), the state
    // set up and put back as ever.
    DrawPacerC pacer([this] { return RendererRoomLeft(); });

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
            for (size_t i = 0; i < count && pacer.open(); ++i)
                if (instances[i]->GetTransparency() == 0.0f) {
                    DrawPartLists(*instances[i], false);
                    pacer.add(facesOf(*instances[i]));
                }
            glPolygonOffset(kColourOffsetFactor, kColourOffsetUnits);
            for (size_t i = 0; i < count && pacer.open(); ++i)
                if (instances[i]->GetTransparency() == 0.0f) {
                    DrawPartTriangles(*instances[i], false);
                    pacer.add(colouredOf(*instances[i]));
                }
        }
        // Then the see-through ones (every instance as a ghost in mode 0), both sides shown.
        glDisable(GL_CULL_FACE);
        auto seeThrough = [&](const FEDisplayPartRefC* instance) {
            return ghosts || instance->GetTransparency() > 0.0f;
        };
        glPolygonOffset(kListOffsetFactor, kListOffsetUnits);
        for (size_t i = 0; i < count && pacer.open(); ++i)
            if (seeThrough(instances[i])) {
                DrawPartLists(*instances[i], ghosts);
                pacer.add(facesOf(*instances[i]));
            }
        glPolygonOffset(kColourOffsetFactor, kColourOffsetUnits);
        for (size_t i = 0; i < count && pacer.open(); ++i)
            if (seeThrough(instances[i])) {
                DrawPartTriangles(*instances[i], ghosts);
                pacer.add(colouredOf(*instances[i]));
            }
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
        for (size_t i = 0; i < count && pacer.open(); ++i) {
            DrawPartLines(*instances[i]);
            pacer.add(edgesOf(*instances[i]));
        }
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
    if (!ModelLeftOut)
        CallPartList(*part);
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
    // Without hidden lines every line has the same colour and width, and the renderer takes
    // them as one run as it takes them one by one (the same lines in the same order), at a
    // fraction of the calls. The last few still go one by one: Mesa's software renderer
    // draws the frame's next polygons (the border) with state that depends on how the last
    // lines came, and the picture must stay what it was.
    auto lines = [&](const std::vector<const FEMeshEdgeC*>& edges) {
        size_t run = hidden || !LinesInOneRun || edges.size() < kLinesAlone ? 0 : edges.size() - kLinesAlone;
        if (run > 0) {
            glColor4f(0.0f, 0.0f, 0.0f, visibleAlpha);
            glLineWidth(visibleWidth);
            try {
                drawRun(edges, run);
            } catch (const std::bad_alloc&) {
                run = 0;  // without room for the run's arrays every line goes one by one
            }
        }
        for (size_t i = run; i < edges.size(); ++i)
            line(*edges[i]);
    };
    // The edges found while the frame's first passes drew, when found under this very
    // transform; else they are found now.
    const std::vector<const FEMeshEdgeC*>* shown =
        PendingLineVisibility != nullptr && !ModelLeftOut ? PendingLineVisibility->shownEdges(instance, eye) : nullptr;
    if (shown != nullptr) {
        lines(*shown);
    } else if (!ModelLeftOut) {
        const FEMeshEdgeC* first = part->getFirstEdge();
        std::vector<const FEMeshEdgeC*> found;
        bool listed = false;
        try {
            LineVisibilityC::findShownEdges(first, eye, found);
            listed = true;
        } catch (const std::bad_alloc&) {
            // Without room for the tables the edges are tested one by one on this thread: the
            // same lines in the same order.
        }
        if (listed) {
            lines(found);
        } else {
            for (const FEMeshEdgeC* edge = first; edge != nullptr; edge = edge->getNext())
                if (EdgeShowsAsLine(*edge, eye))
                    line(*edge);
        }
    }
    DrawThreads(instance, visibleAlpha, hiddenAlpha, visibleWidth, hiddenWidth);
    glPopMatrix();
    WriteLog("  End Draw Part Lines.\n");
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
