// CTavoplexCtrl: the three meshing gears that turn while a model loads, their display lists
// and their geometry.
#include <GL/gl.h>

#include <cmath>

#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/SceneState.h"
#include "viewer/textures/TextureC.h"

namespace {

constexpr GLuint kNoLists = GLuint(-1);
// Lists GearLists + 0..2 hold the solids, + 3..5 the outlines.
constexpr GLsizei kGearListCount = 6;
constexpr GLuint kOutlineLists = 3;
// Greys of the three solid gears.
constexpr float kGreyG1 = 0.35f, kGreyG2 = 0.49f, kGreyG3 = 0.69f;

// The "metal" texture's name; 0 while the texture store has none.
GLuint metalTextureName(const TextureC* texture) { return texture != nullptr ? texture->Name : 0; }

double radians(double degrees) { return degrees * M_PI / 180.0; }

// A point given by radius, angle (radians) and z.
void polarVertex(double r, double angle, double z)
{
    glVertex3f(float(r * std::cos(angle)), float(r * std::sin(angle)), float(z));
}

void colour(float grey, float alpha, bool outline)
{
    if (outline)
        glColor4f(0.0f, 0.0f, 0.0f, alpha);
    else
        glColor4f(grey, grey, grey, alpha);
}

// The square outline of the hub at height z.
void hubSquare(float s, float z)
{
    glBegin(GL_LINE_STRIP);
    glVertex3f(s, s, z);
    glVertex3f(-s, s, z);
    glVertex3f(-s, -s, z);
    glVertex3f(s, -s, z);
    glVertex3f(s, s, z);
    glEnd();
}

}  // namespace

void CTavoplexCtrl::DrawGears(float alpha)
{
    if (GearsEnabled == 0)
        return;
    WriteLog("  Set Gear Viewport.\n");
    SetupGearViewport();

    if (GearLists == kNoLists) {
        WriteLog("  Creat Gear Lists.\n");
        // The sizes are drawn once: later loads (and a list build that failed) keep them.
        if (Gears.G1.OuterRadius == 0.0f) {
            Gears.Seed();
            Gears.DrawSizes();
        }
        const GLuint lists = glGenLists(kGearListCount);
        if (lists == 0)
            return;
        GearLists = lists;
        const GearRecord* gears[3] = {&Gears.G1, &Gears.G2, &Gears.G3};
        for (GLuint i = 0; i < 3; ++i) {
            const GearRecord& g = *gears[i];
            const int shape = int(Gears.RandomRange(0.0f, 3.99f));
            const float hubSize = std::trunc(Gears.RandomRange(5.0f, g.OuterRadius / 3.0f));
            const float hubLength = std::trunc(Gears.RandomRange(1.4f * g.GearWidth, 90.0f));
            for (const bool outline : {false, true}) {
                glNewList(GearLists + i + (outline ? kOutlineLists : 0), GL_COMPILE);
                if (g.InnerRadius == 0.0f)
                    BuildHub(g.GearWidth, shape, hubSize, hubLength, outline);
                BuildGear(g.InnerRadius, g.OuterRadius, g.GearWidth, int(g.Teeth), Gears.ToothDepth, outline);
                glEndList();
            }
        }
    }

    WriteLog("  Draw shaded gears.\n");
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(2.0f, 2.0f);

    const GLuint metal = metalTextureName(MetalTexture.get());
    const bool metallic = metal != 0 && Metallic == 1;
    if (metallic)
        BeginMetallicLook(metal);
    else
        glDisable(GL_TEXTURE_2D);

    DrawGearSet(GearLists, alpha, false);

    glDisable(GL_POLYGON_OFFSET_FILL);
    if (metallic)
        glDisable(GL_TEXTURE_2D);

    WriteLog("  Draw gear lines.\n");
    glDisable(GL_LIGHTING);
    glColor4f(0.0f, 0.0f, 0.0f, alpha);
    if (DrawScale > 0.0f)
        glLineWidth(DrawScale / 1.5f);
    const bool smooth = Antialiasing == 1;
    if (smooth) {
        glEnable(GL_LINE_SMOOTH);
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    }

    DrawGearSet(GearLists + kOutlineLists, alpha, true);

    if (smooth)
        glDisable(GL_LINE_SMOOTH);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

void CTavoplexCtrl::DrawGearSet(GLuint base, float alpha, bool outline)
{
    const GearRecord& g1 = Gears.G1;
    const GearRecord& g2 = Gears.G2;
    const GearRecord& g3 = Gears.G3;
    const double h = GearAngle / 2.0;

    glPushMatrix();
    glRotatef(-45.0f, 1.0f, 0.0f, 0.0f);

    // G2 on the left of G1, turned so that its teeth fall into G1's gaps.
    const int teeth1 = int(g1.Teeth);
    double t = std::floor(g1.Teeth / 8.0);
    if (teeth1 % 2 != 0)
        t += 0.5;
    const double phi = 360.0 / g1.Teeth * t + 270.0;
    const double d = Gears.ToothDepth / 5.0 + g1.OuterRadius + g2.OuterRadius;
    glPushMatrix();
    glTranslated(std::sin(radians(phi)) * d, std::cos(radians(phi)) * d, 0.0);
    glRotated(h - phi - 90.0 - 360.0 / g2.Teeth * 0.3, 0.0, 0.0, 1.0);
    colour(kGreyG2, alpha, outline);
    glCallList(base + 1);
    glPopMatrix();

    // G1 at the origin; the speeds go inversely with the radii, so the gears mesh.
    const double q1 = -h * g2.OuterRadius / g1.OuterRadius;
    glPushMatrix();
    glRotated(q1, 0.0, 0.0, 1.0);
    colour(kGreyG1, alpha, outline);
    glCallList(base + 0);
    glPopMatrix();

    // G3 on the right of G1.
    const double d3 = Gears.ToothDepth / 5.0 + g1.OuterRadius + g3.OuterRadius;
    glPushMatrix();
    glTranslated(std::sin(radians(90.0)) * d3, std::cos(radians(90.0)) * d3, 0.0);
    glRotated(-q1 * g1.OuterRadius / g3.OuterRadius + 180.0 - 360.0 / g3.Teeth * 0.3, 0.0, 0.0, 1.0);
    colour(kGreyG3, alpha, outline);
    glCallList(base + 2);
    glPopMatrix();

    glPopMatrix();
}

void CTavoplexCtrl::BuildGear(float innerRadius, float outerRadius, float width, int teeth, float toothDepth,
                              bool outline)
{
    if (teeth <= 0)
        return;
    const double r0 = innerRadius;
    const double r1 = outerRadius - toothDepth / 2.0;
    const double r2 = outerRadius + toothDepth / 2.0;
    const double w = width / 2.0;
    const double da = 2.0 * M_PI / teeth / 4.0;
    auto angle = [&](int i) { return i * 2.0 * M_PI / teeth; };

    glShadeModel(GL_FLAT);
    if (!outline) {
        // Front face.
        glNormal3f(0.0f, 0.0f, 1.0f);
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= teeth; ++i) {
            const double a = angle(i);
            polarVertex(r0, a, w);
            polarVertex(r1, a, w);
            if (i < teeth) {
                polarVertex(r0, a, w);
                polarVertex(r1, a + 3 * da, w);
            }
        }
        glEnd();

        // Front sides of the teeth.
        glBegin(GL_QUADS);
        for (int i = 0; i < teeth; ++i) {
            const double a = angle(i);
            polarVertex(r1, a, w);
            polarVertex(r2, a + da, w);
            polarVertex(r2, a + 2 * da, w);
            polarVertex(r1, a + 3 * da, w);
        }
        glEnd();

        // Back face.
        glNormal3f(0.0f, 0.0f, -1.0f);
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= teeth; ++i) {
            const double a = angle(i);
            polarVertex(r1, a, -w);
            polarVertex(r0, a, -w);
            if (i < teeth) {
                polarVertex(r1, a + 3 * da, -w);
                polarVertex(r0, a, -w);
            }
        }
        glEnd();

        // Back sides of the teeth.
        glBegin(GL_QUADS);
        for (int i = 0; i < teeth; ++i) {
            const double a = angle(i);
            polarVertex(r1, a + 3 * da, -w);
            polarVertex(r2, a + 2 * da, -w);
            polarVertex(r2, a + da, -w);
            polarVertex(r1, a, -w);
        }
        glEnd();

        // Outer faces of the teeth, each pair front before back.
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i < teeth; ++i) {
            const double a = angle(i);
            polarVertex(r1, a, w);
            polarVertex(r1, a, -w);
            double u = r2 * std::cos(a + da) - r1 * std::cos(a);
            double v = r2 * std::sin(a + da) - r1 * std::sin(a);
            const double len = std::sqrt(u * u + v * v);
            u /= len;
            v /= len;
            glNormal3f(float(v), float(-u), 0.0f);
            polarVertex(r2, a + da, w);
            polarVertex(r2, a + da, -w);
            glNormal3f(float(std::cos(a)), float(std::sin(a)), 0.0f);
            polarVertex(r2, a + 2 * da, w);
            polarVertex(r2, a + 2 * da, -w);
            // The falling flank's normal is scaled by the rising flank's length.
            glNormal3f(float((r1 * std::sin(a + 3 * da) - r2 * std::sin(a + 2 * da)) / len),
                       float(-(r1 * std::cos(a + 3 * da) - r2 * std::cos(a + 2 * da)) / len), 0.0f);
            polarVertex(r1, a + 3 * da, w);
            polarVertex(r1, a + 3 * da, -w);
            glNormal3f(float(std::cos(a)), float(std::sin(a)), 0.0f);
        }
        polarVertex(r1, 0.0, w);
        polarVertex(r1, 0.0, -w);
        glEnd();

        // Inner bore.
        glShadeModel(GL_SMOOTH);
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= teeth; ++i) {
            const double a = angle(i);
            glNormal3f(float(-std::cos(a)), float(-std::sin(a)), 0.0f);
            polarVertex(r0, a, -w);
            polarVertex(r0, a, w);
        }
        glEnd();
        return;
    }

    // Tooth profiles on both faces.
    for (const double z : {-w, w}) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i < teeth; ++i) {
            const double a = angle(i);
            polarVertex(r1, a, z);
            polarVertex(r2, a + da, z);
            polarVertex(r2, a + 2 * da, z);
            polarVertex(r1, a + 3 * da, z);
        }
        polarVertex(r1, 0.0, z);
        glEnd();
    }

    // The teeth's edges across the gear's width.
    glNormal3f(0.0f, 0.0f, -1.0f);
    for (int i = 0; i < teeth; ++i) {
        const double a = angle(i);
        const double corners[4][2] = {{r1, a}, {r2, a + da}, {r2, a + 2 * da}, {r1, a + 3 * da}};
        glBegin(GL_LINES);
        for (const auto& corner : corners) {
            polarVertex(corner[0], corner[1], w);
            polarVertex(corner[0], corner[1], -w);
        }
        glEnd();
    }

    // The bore's circles.
    glShadeModel(GL_SMOOTH);
    for (const double z : {-w, w}) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i <= teeth; ++i)
            polarVertex(r0, angle(i), z);
        glEnd();
    }
}

void CTavoplexCtrl::BuildHub(float width, int shape, float halfSize, float length, bool outline)
{
    // Only the square hub has a shape; the other draws give none.
    if (shape != 2 && shape != 4)
        return;
    const float s = halfSize, l = length;
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -l / 2.0f);
    if (!outline) {
        glBegin(GL_QUADS);
        glNormal3f(1.0f, 0.0f, 0.0f);
        glVertex3f(s, -s, 0.0f);
        glVertex3f(s, s, 0.0f);
        glVertex3f(s, s, l);
        glVertex3f(s, -s, l);
        glNormal3f(-1.0f, 0.0f, 0.0f);
        glVertex3f(-s, -s, 0.0f);
        glVertex3f(-s, -s, l);
        glVertex3f(-s, s, l);
        glVertex3f(-s, s, 0.0f);
        glNormal3f(0.0f, -1.0f, 0.0f);
        glVertex3f(-s, -s, 0.0f);
        glVertex3f(s, -s, 0.0f);
        glVertex3f(s, -s, l);
        glVertex3f(-s, -s, l);
        glNormal3f(0.0f, 1.0f, 0.0f);
        glVertex3f(-s, s, 0.0f);
        glVertex3f(-s, s, l);
        glVertex3f(s, s, l);
        glVertex3f(s, s, 0.0f);
        glNormal3f(0.0f, 0.0f, 1.0f);
        glVertex3f(-s, -s, l);
        glVertex3f(s, -s, l);
        glVertex3f(s, s, l);
        glVertex3f(-s, s, l);
        glNormal3f(0.0f, 0.0f, -1.0f);
        glVertex3f(-s, -s, 0.0f);
        glVertex3f(-s, s, 0.0f);
        glVertex3f(s, s, 0.0f);
        glVertex3f(s, -s, 0.0f);
        glEnd();
    } else {
        // The hub's ends, then the gear's two faces on it, then the long edges.
        hubSquare(s, 0.0f);
        hubSquare(s, l);
        hubSquare(s, l / 2.0f + width / 2.0f);
        hubSquare(s, l / 2.0f - width / 2.0f);
        glBegin(GL_LINES);
        for (const float x : {s, -s})
            for (const float y : {s, -s}) {
                glVertex3f(x, y, 0.0f);
                glVertex3f(x, y, l);
            }
        glEnd();
    }
    glPopMatrix();
}

void CTavoplexCtrl::DeleteGearLists()
{
    if (GearLists == kNoLists)
        return;
    glDeleteLists(GearLists, kGearListCount);
    GearLists = kNoLists;
}
