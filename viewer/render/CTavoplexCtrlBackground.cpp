// CTavoplexCtrl: the background gradient with its floor grid, the axis triad and the fading
// window border.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/SceneState.h"

namespace {

// The background and the border draw in one fixed frame in which the window spans -50..50 in
// x and y whatever its shape.
constexpr double kFrameHalf = 50.0;
constexpr double kFrameDepth = 150.0;
constexpr double kFrameEye = 80.0;
// The grid's lines reach this alpha at the bottom edge and fade out towards the horizon.
constexpr float kGridAlpha = 0.7f;

// Projection, modelview and viewport of the fixed frame.
void setupFixedFrame(int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kFrameHalf, kFrameHalf, -kFrameHalf, kFrameHalf, -kFrameDepth, kFrameDepth);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, 0.0, -kFrameEye);
    glViewport(0, 0, width, height);
}

// The fade-in colour moved towards the corner colour by fade (0..1), channel by channel.
void fadedColour(const feColor& from, const feColor& to, float fade)
{
    glColor3f(from.r() + (to.r() - from.r()) * fade, from.g() + (to.g() - from.g()) * fade,
              from.b() + (to.b() - from.b()) * fade);
}

void gridVertex(const feColor& colour, float alpha, float x, float y)
{
    glColor4f(colour.r(), colour.g(), colour.b(), alpha);
    glVertex2f(x, y);
}

// The floor grid, slid down by slide units: lines converging on the horizon (y = 0) and cross
// lines whose gaps shrink towards it. ratio is the window's height over its width.
void drawGrid(const feColor& colour, float ratio, float slide)
{
    const float step = std::max(ratio, 0.16f) * 2.5f;
    const float bottom = -float(kFrameHalf);
    for (float x = 0.0f; x <= float(kFrameHalf); x += step) {
        gridVertex(colour, 0.0f, x, -slide);
        gridVertex(colour, kGridAlpha, 3.0f * x, bottom - slide);
        if (x != 0.0f) {
            gridVertex(colour, 0.0f, -x, -slide);
            gridVertex(colour, kGridAlpha, -3.0f * x, bottom - slide);
        }
    }
    float gap = 7.5f;
    for (float y = bottom; y <= 0.0f; y += gap) {
        const float alpha = kGridAlpha * y / bottom;
        gridVertex(colour, alpha, -float(kFrameHalf), y - slide);
        gridVertex(colour, alpha, float(kFrameHalf), y - slide);
        gap *= 0.9f;
    }
}

// Axis colours: red x, green y, blue z.
const float kAxisColours[3][3] = {{0.61f, 0.16f, 0.16f}, {0.34f, 0.73f, 0.24f}, {0.0f, 0.52f, 0.72f}};

}  // namespace

void CTavoplexCtrl::DrawBackground()
{
    WriteLog("  Draw Background.\n");
    // A window without area shows nothing, and its ratio would divide by zero.
    if (WindowWidth <= 0 || WindowHeight <= 0)
        return;

    // Before the first scene frame the background is the fade-in colour; the corner colours
    // emerge from it during the intro fade.
    const float fade = !PanelsActive ? 0.0f : std::min(IntroFade, 1.0f);

    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    setupFixedFrame(WindowWidth, WindowHeight);

    // Without a shadow texture pass the gradient is the frame's first drawing, and came out
    // flat from the second frame on.
    DrawEmptyTriangle();
    glBegin(GL_POLYGON);
    fadedColour(ColorFadeInValue, ColorTLValue, fade);
    glVertex2d(-kFrameHalf, kFrameHalf);
    fadedColour(ColorFadeInValue, ColorTRValue, fade);
    glVertex2d(kFrameHalf, kFrameHalf);
    fadedColour(ColorFadeInValue, ColorBRValue, fade);
    glVertex2d(kFrameHalf, -kFrameHalf);
    fadedColour(ColorFadeInValue, ColorBLValue, fade);
    glVertex2d(-kFrameHalf, -kFrameHalf);
    glEnd();

    if (PanelsActive && Grid != 0) {
        if (Antialiasing == 1) {
            glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
            glEnable(GL_LINE_SMOOTH);
        }
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glLineWidth(1.0f);
        glBegin(GL_LINES);
        // The grid starts 50 units low and rises into place as the scene fades in.
        drawGrid(ColorGridValue, float(WindowHeight) / float(WindowWidth), (1.0f - IntroFade) * float(kFrameHalf));
        glEnd();
        glDisable(GL_BLEND);
        if (Antialiasing == 1)
            glDisable(GL_LINE_SMOOTH);
    }

    // The fixed frame's modelview and projection stay: the scene's lights are given in them.
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
}

void CTavoplexCtrl::DrawAxes()
{
    if (Axes == 0)
        return;

    // Each axis reaches past the scene box by a fifth of its largest extent; an axis the
    // scene does not reach in its positive direction keeps only that part.
    float length[3] = {float(SceneMax.x()), float(SceneMax.y()), float(SceneMax.z())};
    const float largest = std::max({std::fabs(length[0]), std::fabs(length[1]), std::fabs(length[2])});
    for (float& l : length)
        l = std::max(l, 0.0f) + 0.2f * largest;

    // The arrow heads are a fixed number of window pixels long.
    const int pixels = int(std::min(WindowWidth, WindowHeight) / 35);
    const double h = PixelsToWorld(pixels);
    const double b = h / 5.0;

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glEnable(GL_DEPTH_TEST);
    SetSceneMaterial();
    if (Antialiasing != 0) {
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }

    // One pass of the triad: the cones, the lines and the letters at alpha f.
    auto triad = [&](float f) {
        GLUquadric* quadric = gluNewQuadric();
        for (int axis = 0; axis < 3; ++axis) {
            glColor4f(kAxisColours[axis][0], kAxisColours[axis][1], kAxisColours[axis][2], f);
            glPushMatrix();
            if (axis == 0) {
                glTranslatef(length[0], 0.0f, 0.0f);
                glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
            } else if (axis == 1) {
                glTranslatef(0.0f, length[1], 0.0f);
                glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
            } else {
                glTranslatef(0.0f, 0.0f, length[2]);
            }
            if (quadric != nullptr) {
                gluCylinder(quadric, b, 0.0, h, 16, 2);
                glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
                gluDisk(quadric, 0.0, b, 16, 2);
            }
            glPopMatrix();
        }
        if (quadric != nullptr)
            gluDeleteQuadric(quadric);

        glDisable(GL_LIGHTING);
        glLineWidth(1.0f);
        glBegin(GL_LINES);
        for (int axis = 0; axis < 3; ++axis) {
            glColor4f(kAxisColours[axis][0], kAxisColours[axis][1], kAxisColours[axis][2], f);
            glVertex3f(0.0f, 0.0f, 0.0f);
            glVertex3f(axis == 0 ? length[0] : 0.0f, axis == 1 ? length[1] : 0.0f, axis == 2 ? length[2] : 0.0f);
        }
        glEnd();

        BitmapFontC::PushOrtho2D(Viewport);
        static const char* const letters[3] = {"X", "Y", "Z"};
        const float offset = float(2.0 * h);
        for (int axis = 0; axis < 3; ++axis)
            Font.DrawLabelAtPoint(letters[axis], true, false, false, axis == 0 ? length[0] + offset : 0.0f,
                                  axis == 1 ? length[1] + offset : 0.0f, axis == 2 ? length[2] + offset : 0.0f, 0, 0,
                                  feColor(0.0f, 0.0f, 0.0f, f), feColor(1.0f, 1.0f, 1.0f, f), ModelViewMatrix,
                                  ProjectionMatrix, Viewport);
        BitmapFontC::PopOrtho2D();
    };

    triad(IntroFade);

    // What lies behind the model shows faintly.
    glEnable(GL_LIGHTING);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    triad(IntroFade * 0.3f);

    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    if (Antialiasing != 0)
        glDisable(GL_LINE_SMOOTH);
}

void CTavoplexCtrl::DrawBorderTransition()
{
    WriteLog("  Draw Border Transition.\n");
    // A window without area has no border, and its widths would divide by zero.
    if (Border == 0 || WindowWidth <= 0 || WindowHeight <= 0)
        return;

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    setupFixedFrame(WindowWidth, WindowHeight);

    // BorderSize pixels on every side, in the frame's units.
    const double bx = 100.0 / WindowWidth * BorderSize;
    const double by = 100.0 / WindowHeight * BorderSize;
    const double e = kFrameHalf;
    const feColor& c = ColorFadeInValue;
    // Each strip: two outer corners at the border's alpha, two inner ones transparent.
    const double strips[4][4][2] = {
        {{-e, e}, {-e, -e}, {-e + bx, -e + by}, {-e + bx, e - by}},
        {{e, -e}, {e, e}, {e - bx, e - by}, {e - bx, -e + by}},
        {{e, e}, {-e, e}, {-e + bx, e - by}, {e - bx, e - by}},
        {{-e, -e}, {e, -e}, {e - bx, -e + by}, {-e + bx, -e + by}},
    };
    for (const auto& strip : strips) {
        glBegin(GL_POLYGON);
        for (int i = 0; i < 4; ++i) {
            glColor4f(c.r(), c.g(), c.b(), i < 2 ? BorderAlpha : 0.0f);
            glVertex2d(strip[i][0], strip[i][1]);
        }
        glEnd();
    }

    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
}
