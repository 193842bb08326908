// Test support for drawing: parts built from code, a control that holds them as a finished load
// would, and frames run past the scene's fade-in.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "tests/support/BenchSupport.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/textures/TextureC.h"

// A cube of half side h centred at the origin, one square face per side with outward normals,
// in the part colour; the front face (+z) carries frontInfo when given.
inline FEDisplayPartC* makeCube(double h, const feColor& colour, FEMeshFaceInfoI* frontInfo = nullptr)
{
    auto* part = new FEDisplayPartC();
    auto quad = [&](Point3D a, Point3D b, Point3D c, Point3D d, Point3D n, FEMeshFaceInfoI* info) {
        const Point3D pts[4] = {a, b, c, d};
        part->addFace(pts, 4, n, info, 15.0f, 0);
        part->endFace();
    };
    quad({-h, -h, -h}, {-h, h, -h}, {h, h, -h}, {h, -h, -h}, {0, 0, -1}, nullptr);
    quad({-h, -h, h}, {h, -h, h}, {h, h, h}, {-h, h, h}, {0, 0, 1}, frontInfo);
    quad({-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}, {0, -1, 0}, nullptr);
    quad({-h, h, -h}, {-h, h, h}, {h, h, h}, {h, h, -h}, {0, 1, 0}, nullptr);
    quad({-h, -h, -h}, {-h, -h, h}, {-h, h, h}, {-h, h, -h}, {-1, 0, 0}, nullptr);
    quad({h, -h, -h}, {h, h, -h}, {h, h, h}, {h, -h, h}, {1, 0, 0}, nullptr);
    part->finalize(-1.0);
    part->smoothNormals();
    part->setColor(colour);
    return part;
}

// A torus of rings x segments quadrilaterals (two triangles each) about the z axis, radii 50
// and 20, finalized with smooth normals.
inline FEDisplayPartC* makeTorus(int rings, int segments)
{
    auto* part = new FEDisplayPartC();
    benchsupport::buildTorus(*part, rings, segments);
    part->finalize(-1.0);
    part->smoothNormals();
    return part;
}

// A placement that only moves.
inline TransformMatrix translation(double x, double y, double z)
{
    TransformMatrix m;
    m.translate(x, y, z);
    return m;
}

// The seam in place of the loader: the control takes the model (replacing any earlier one),
// each part gets its display list, the scene box spans the placed parts' boxes (of the parts
// that have one), and the load
// counts as finished with Start set.
inline void installParts(CTavoplexCtrl& c, FEDisplayPartListC* parts)
{
    c.Parts.reset(parts);
    Point3D min(0, 0, 0), max(0, 0, 0);
    {
        OpenGLLock lock(c);
        for (size_t i = 0; i < parts->partCount(); ++i)
            c.MakeListFromMesh(parts->getParts()[i]);
    }
    for (size_t i = 0; i < parts->instanceCount(); ++i) {
        const FEDisplayPartRefC* instance = parts->getInstance(i);
        const Point3D lo = instance->GetPart()->getMinPoint(), hi = instance->GetPart()->getMaxPoint();
        if (lo.x() > hi.x())
            continue;  // an empty part: no box
        for (int corner = 0; corner < 8; ++corner) {
            const Point3D p = instance->GetMatrix().transform(
                Point3D(corner & 1 ? hi.x() : lo.x(), corner & 2 ? hi.y() : lo.y(), corner & 4 ? hi.z() : lo.z()));
            for (int k = 0; k < 3; ++k) {
                min.component(k) = std::min(min.component(k), p.component(k));
                max.component(k) = std::max(max.component(k), p.component(k));
            }
        }
    }
    c.SceneMin = min;
    c.SceneMax = max;
    c.Loading = false;
    c.Start = 1;
}

// A model of one part placed once per matrix.
inline FEDisplayPartListC* modelOf(FEDisplayPartC* part, std::initializer_list<TransformMatrix> placements = {TransformMatrix()})
{
    auto* list = new FEDisplayPartListC();
    list->addPart(part);
    for (const TransformMatrix& m : placements)
        list->addInstance(new FEDisplayPartRefC(0, part, m, m));
    return list;
}

// Draws the first scene frame and runs the intro fade to its end, then draws again: the frame
// then shows everything at full strength.
inline void renderSettled(ViewerHarness& v)
{
    CTavoplexCtrl& c = v.control();
    c.RenderFrame();
    const uint32_t now = v.clock().now();
    c.Animations.Update(now);
    c.Animations.Update(now + 2000);
    c.RenderFrame();
}

// A 2 x 2 texture of one colour (the context current), as the "metal" look would use.
inline std::unique_ptr<TextureC> makePlainTexture(uint8_t r, uint8_t g, uint8_t b)
{
    auto texture = std::make_unique<TextureC>(2, 2);
    const uint8_t texels[16] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
    glBindTexture(GL_TEXTURE_2D, texture->Name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return texture;
}

// Feedback mode into buffer (the context current) under a plain view of -10..10 on every
// axis; glRenderMode(GL_RENDER) then gives the count of values written.
inline void startFeedback(std::vector<GLfloat>& buffer)
{
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
