// CTavoplexCtrl: the shadow texture (the parts seen from above) and the shadow laid under the
// model.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/DrawPacerC.h"
#include "viewer/render/SceneState.h"
#include "viewer/render/ShadowGeometry.h"
#include "viewer/render/ShadowTextureKey.h"

namespace {

// The shadow light stands straight above the screen; nothing changes its elevation.
constexpr double kShadowLightElevation = 90.0;
// The eye of both the scene and the shadow view sits this far along z.
constexpr double kEyeDistance = 80.0;
// Grey of a covered texel: a hard shadow darkens by 15 %, each soft copy by 1.5 %.
constexpr float kHardShadowGrey = 0.15f;
constexpr float kSoftShadowGrey = 0.015f;
// Ghost surfaces (display mode 0) cast as faint a shadow as they show.
constexpr float kGhostAlpha = 0.09f;

// The lower-left square of the colour buffer, size texels a side, into the bound texture.
// Through memory, the renderer's plain read and upload carry the same bytes as its copy, which
// in a fresh context first builds a blit (some 20 ms, paid again by every bitmap context).
void copyShadowSquare(int size, bool throughMemory)
{
    if (throughMemory) {
        try {
            std::vector<unsigned char> texels(size_t(size) * size_t(size) * 3);
            glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
            for (GLenum store : {GL_PACK_ALIGNMENT, GL_UNPACK_ALIGNMENT})
                glPixelStorei(store, 1);
            for (GLenum store : {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS, GL_UNPACK_ROW_LENGTH,
                                 GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS})
                glPixelStorei(store, 0);
            glReadPixels(0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
            glPopClientAttrib();
            return;
        } catch (const std::bad_alloc&) {
            // Without the room the renderer copies.
        }
    }
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
}

}  // namespace

void CTavoplexCtrl::GenerateShadowTexture()
{
    if (ShadowQuality == 0)
        return;
    WriteLog("  Generate shadow texture.\n");
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    SetupShadowView();

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    // A texture drawn from the same model, view, fade and settings is kept: drawing it again
    // would give the same texels (the frame's background then paints over the whole colour
    // buffer, so the corner the texture is copied from shows nothing either way). Texturing
    // left on by an earlier pass would colour the parts: then it is always drawn.
    ShadowTextureKey key;
    if (!glIsEnabled(GL_TEXTURE_2D)) {
        try {
            key = ShadowTextureKey::of(*this);
        } catch (const std::bad_alloc&) {
            key = ShadowTextureKey();  // drawn as if never drawn
        }
    }
    const bool kept = key.filled && key == ShadowTextureDrawn;
    ShadowTextureDrawn = ShadowTextureKey();

    // Without the renderer's room the rest of the pass is left out (the frame's load or
    // picture fails).
    if (Parts != nullptr) {
        const float grey = ShadowQuality == 2 ? kSoftShadowGrey : kHardShadowGrey;
        const RWTValOrderedVector<FEDisplayPartRefC*>& instances = Parts->getInstances();
        DrawPacerC pacer([this] { return RendererRoomLeft(); });
        for (size_t i = 0; i < instances.entries() && pacer.open(); ++i) {
            const FEDisplayPartRefC* instance = instances[i];
            const FEDisplayPartC* part = instance != nullptr ? instance->GetPart() : nullptr;
            if (part == nullptr)
                continue;
            glPushMatrix();
            float m[16];
            instance->GetGLMatrix(m);
            glMultMatrixf(m);
            const float alpha =
                DisplayMode != 0 ? (1.0f - instance->GetTransparency()) * IntroFade : IntroFade * kGhostAlpha;
            glColor4f(grey, grey, grey, alpha);
            if (HasPartSurfaces(*part) && !ModelLeftOut) {
                if (!kept) {
                    CallPartList(*part);
                } else {
                    // In place of the list, so that the renderer takes up this pass's state
                    // as it would for the list.
                    DrawEmptyTriangle();
                }
            }
            glPopMatrix();
            pacer.add(kept || ModelLeftOut ? 0 : part->getFaceCount());
        }
    }

    // The texture takes the lower-left square of the colour buffer, which the background
    // paints over afterwards.
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    if (ShadowTexture == GLuint(-1))
        return;  // no texture made yet: nothing to copy into
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, ShadowTexture);
    if (!kept) {
        // The copy waits for the shadow's drawing without a bound of its own.
        if (!DrawPacerC::caughtUp())
            throw DrawPacerC::Stalled();
        copyShadowSquare(ShadowTextureSize, ShadowTexelsThroughMemory);
    }
    glDisable(GL_TEXTURE_2D);
    ShadowTextureDrawn = std::move(key);
}

void CTavoplexCtrl::SetupShadowView()
{
    if (WindowWidth <= 0 || WindowHeight <= 0)
        return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    const double r = SceneDepthRange(SceneMin, SceneMax);

    // The current view turned to look down on the model from above the screen.
    TransformMatrix light = Rotation;
    rotationFromEuler(light.getData(), kShadowLightElevation, 0.0, 0.0);

    Point3D lo = SceneMin, hi = SceneMax;
    TransformBoxExtents(light.getData(), lo, hi);
    SquareExtents(lo, hi, 0, 1);
    // An empty box (no model, or everything at one point) gives no projection: the texture
    // then holds nothing but the cleared colour.
    if (hi.x() > lo.x() && r > 0.0)
        glOrtho(lo.x(), hi.x(), lo.y(), hi.y(), kEyeDistance - r, kEyeDistance + r);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, 0.0, -kEyeDistance);
    float m[16];
    light.getOpenGLMatrix(m);
    glMultMatrixf(m);

    glViewport(0, 0, ShadowTextureSize, ShadowTextureSize);
}

void CTavoplexCtrl::DrawShadow()
{
    ShadowQuadsDrawn = 0;
    if (ShadowQuality == 0)
        return;
    WriteLog("  Draw shadow.\n");
    glPushMatrix();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    // From view orientation back to model orientation.
    TransformMatrix inverse = Rotation;
    cleanRotationPart(inverse.getData());
    invertMatrix(inverse.getData());

    // The scene box in view orientation, its floor squared.
    Point3D lo = SceneMin, hi = SceneMax;
    TransformBoxExtents(Rotation.getData(), lo, hi);
    const double diag = (hi - lo).length();
    SquareExtents(lo, hi, 0, 2);

    // The floor tilts down towards the viewer.
    const double yBack = lo.y() + 0.05 * diag;
    const double yFront = yBack - (hi.z() - lo.z()) / 3.0;
    const Point3D floor[4] = {
        transformPoint(inverse.getData(), Point3D(lo.x(), yBack, lo.z())),
        transformPoint(inverse.getData(), Point3D(hi.x(), yBack, lo.z())),
        transformPoint(inverse.getData(), Point3D(hi.x(), yFront, hi.z())),
        transformPoint(inverse.getData(), Point3D(lo.x(), yFront, hi.z())),
    };

    // Centred horizontally, its centre 12 % of the window height above the bottom edge,
    // whatever the vertical pan.
    Point3D projected[4];
    Point3D centre(0.0, 0.0, 0.0);
    for (int i = 0; i < 4; ++i) {
        double x = 0.0, y = 0.0, z = 0.0;
        gluProject(floor[i].x(), floor[i].y(), floor[i].z(), ModelViewMatrix, ProjectionMatrix, Viewport, &x, &y, &z);
        projected[i] = Point3D(x, y, z);
        centre += projected[i];
    }
    centre /= 4.0;
    const double moveX = WindowWidth / 2.0 - centre.x();
    const double moveY = WindowHeight * 0.12 - centre.y();
    Point3D quad[4];
    for (int i = 0; i < 4; ++i) {
        double x = 0.0, y = 0.0, z = 0.0;
        gluUnProject(projected[i].x() + moveX, projected[i].y() + moveY, projected[i].z(), ModelViewMatrix,
                     ProjectionMatrix, Viewport, &x, &y, &z);
        quad[i] = Point3D(x, y, z);
    }

    // Each quad multiplies the frame by one minus the texel colour.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glBindTexture(GL_TEXTURE_2D, ShadowTexture);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glDepthMask(GL_FALSE);
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);

    // The shadow follows horizontal panning.
    glPushMatrix();
    const Point3D pan = transformPoint(inverse.getData(), Point3D(PanX, 0.0, 0.0));
    glTranslated(pan.x(), pan.y(), pan.z());

    static const GLfloat texCoords[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (const ShadowOffset& offset : ShadowQuadOffsets(ShadowQuality, diag)) {
        for (int i = 0; i < 4; ++i) {
            glTexCoord2f(texCoords[i][0], texCoords[i][1]);
            glVertex3f(float(quad[i].x() + offset.dx), float(quad[i].y()), float(quad[i].z() + offset.dz));
        }
        ++ShadowQuadsDrawn;
    }
    glEnd();
    glPopMatrix();

    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glPopMatrix();
}
