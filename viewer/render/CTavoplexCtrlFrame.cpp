// CTavoplexCtrl: one frame into the window (the empty screen, the loading frame or the scene
// frame with its passes in order) and the view set-ups of the scene and of the loading gears.
#include <GL/gl.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "geometry/display/FEDisplayPartListC.h"
#include "platform/AddressSpace.h"
#include "platform/gl/GlSurface.h"
#include "platform/host/Host.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/render/DrawPacerC.h"
#include "viewer/render/LineVisibilityC.h"
#include "viewer/render/SceneState.h"
#include "viewer/ui/PanelC.h"
#include "viewer/ui/ToolTipC.h"

namespace {

// The largest shadow texture, in texels per side.
constexpr int kMaxShadowTextureSize = 256;

// Directional lights: their directions follow the modelview matrix in force when they are
// given, which the caller chooses.
void setupLights()
{
    static const GLfloat position0[4] = {0.2f, 0.6f, 0.7f, 0.0f};
    static const GLfloat position1[4] = {-0.2f, -1.0f, -0.4f, 0.0f};
    static const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glLightfv(GL_LIGHT1, GL_POSITION, position1);
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT1, GL_SPECULAR, white);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
}

// Material of every surface (glColor gives the diffuse colour), winding and viewport.
void setupMaterial(int width, int height)
{
    SetSceneMaterial();
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glFrontFace(GL_CCW);
    glViewport(0, 0, width, height);
}

// An orthographic projection whose shorter window side spans halfExtent either way from the
// centre. False (and nothing set) for a window without area.
bool setupOrtho(int width, int height, double halfExtent, double zNear, double zFar)
{
    if (width <= 0 || height <= 0)
        return false;
    if (width > height) {
        const double aspect = double(width) / double(height);
        glOrtho(-halfExtent * aspect, halfExtent * aspect, -halfExtent, halfExtent, zNear, zFar);
    } else {
        const double aspect = double(height) / double(width);
        glOrtho(-halfExtent, halfExtent, -halfExtent * aspect, halfExtent * aspect, zNear, zFar);
    }
    return true;
}

void multiplyRotation(const TransformMatrix& rotation)
{
    float m[16];
    rotation.getOpenGLMatrix(m);
    glMultMatrixf(m);
}

// The scene's modelview matrix: the view's pan, the eye 80 units away, the turn, the offset.
void loadSceneModelview(const CTavoplexCtrl& c)
{
    glLoadIdentity();
    glTranslated(c.PanX, c.PanY, -80.0);
    multiplyRotation(c.Rotation);
    glTranslated(c.ViewOffset.x(), c.ViewOffset.y(), c.ViewOffset.z());
}

// Starts finding the edges the lines pass will draw, under the modelview matrix the scene's
// view set-up will make (made here the same way, and put back): they depend on nothing else,
// so they are found on other threads while the shadow and the surfaces draw. Null when the
// frame draws no lines, or no thread or memory is to be had.
std::unique_ptr<LineVisibilityC> startLineVisibility(const CTavoplexCtrl& c)
{
    const bool lines = c.DisplayMode == 0 || c.DisplayMode == 1 || c.DisplayMode == 2 || c.DisplayMode == 4;
    if (c.Parts == nullptr || c.ModelLeftOut || !lines)
        return nullptr;
    GLint depth = 0, most = 0, mode = GL_MODELVIEW;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &most);
    if (depth >= most)
        return nullptr;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    loadSceneModelview(c);
    double view[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, view);
    glPopMatrix();
    glMatrixMode(GLenum(mode));
    try {
        const RWTValOrderedVector<FEDisplayPartRefC*>& instances = c.Parts->getInstances();
        std::vector<const FEDisplayPartRefC*> placed(instances.entries());
        for (size_t i = 0; i < placed.size(); ++i)
            placed[i] = instances[i];
        return std::make_unique<LineVisibilityC>(placed.data(), placed.size(), view);
    } catch (const std::bad_alloc&) {
        return nullptr;  // the lines pass finds the edges itself
    }
}

// The frame's edge search, reachable by the lines pass while the frame draws.
class PendingLines {
public:
    PendingLines(CTavoplexCtrl& control, std::unique_ptr<LineVisibilityC> search)
        : control(control), search(std::move(search))
    {
        control.PendingLineVisibility = this->search.get();
    }
    ~PendingLines() { control.PendingLineVisibility = nullptr; }
    PendingLines(const PendingLines&) = delete;
    PendingLines& operator=(const PendingLines&) = delete;

private:
    CTavoplexCtrl& control;
    std::unique_ptr<LineVisibilityC> search;  // waits for its thread when it goes
};

// While it lives, the renderer runs every draw but discards the primitives before they reach
// a pixel, and skips clears (on a context too old for that, nothing changes).
class DiscardedFragments {
public:
    explicit DiscardedFragments(bool wanted) : on(wanted && discardAvailable())
    {
        if (on)
            glEnable(GL_RASTERIZER_DISCARD);
    }
    ~DiscardedFragments()
    {
        if (on)
            glDisable(GL_RASTERIZER_DISCARD);
    }
    DiscardedFragments(const DiscardedFragments&) = delete;
    DiscardedFragments& operator=(const DiscardedFragments&) = delete;

private:
    static bool discardAvailable()
    {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        return version != nullptr && version[0] >= '3' && version[0] <= '9';
    }
    bool on;
};

// While it lives, labels draw nothing (see BitmapFontC::LabelsLeftOut); a
// frame drawn inside another one puts back what the outer one chose.
class LabelsLeftOutScope {
public:
    LabelsLeftOutScope(BitmapFontC& font, bool wanted) : font(font), outer(font.LabelsLeftOut)
    {
        font.LabelsLeftOut = wanted;
    }
    ~LabelsLeftOutScope() { font.LabelsLeftOut = outer; }
    LabelsLeftOutScope(const LabelsLeftOutScope&) = delete;
    LabelsLeftOutScope& operator=(const LabelsLeftOutScope&) = delete;

private:
    BitmapFontC& font;
    bool outer;
};

RWCString centredText(bool debugging, const char* text)
{
    // The label drawing breaks lines at a backslash followed by "n".
    RWCString result(debugging ? "-- Debugging active --\\n" : "");
    result += text;
    return result;
}

}  // namespace

bool CTavoplexCtrl::RendererRoomLeft()
{
    if (RoomGate ? RoomGate() : platform::sys::rendererRoomLeft())
        return true;
    FailDrawing();
    // Refused a frame's own lock, a load has no loading frame left to end it.
    if (GLLockCount == 0)
        EndLoadWithoutRoom();
    return false;
}

void CTavoplexCtrl::FailDrawing()
{
    DrawingFailed = true;
    if (LoadFailed)
        return;
    LoadFailed = true;
    SetFailureReason(LoaderInitialized ? ArchivePath : FileName, platform::reasonText(platform::Reason::NoMemoryToDraw));
    if (!Loading)
        LogLoadFailure();  // a loading frame tells it as it ends the load
}

void CTavoplexCtrl::RenderFrame()
{
    if (!RenderingToBitmap)
        DeviceContext = WindowSurface.get();
    if (!LockOpenGL())
        return;
    try {
        DrawFrameLocked();
    } catch (const std::bad_alloc&) {
        LoseRenderer();
        throw;
    } catch (const DrawPacerC::Stalled&) {
        LoseRenderer();
        throw;
    }
}

void CTavoplexCtrl::LoseRenderer()
{
    RendererLost = true;
    // Nothing will be drawn any more: a load still going ends failed, for the want of memory
    // that makes the renderer fail.
    FailDrawing();
    EndLoadWithoutRoom();
}

void CTavoplexCtrl::DrawFrameLocked()
{
    if (!RenderingToBitmap && HostSite != nullptr) {
        const platform::host::ClientSize size = HostSite->clientSize();
        WindowWidth = size.width;
        WindowHeight = size.height;
    }
    const int shorter = std::max(0, std::min(WindowWidth, WindowHeight));
    DrawScale = float(shorter / 400.0);
    // A window without area has nothing to show, and its sizes would divide by zero; a load
    // still goes on, since its passes run in loading frames.
    const bool hasArea = shorter > 0;
    // Frames of another kind leave the context in states of their own: the shadow texture of
    // the next scene frame is drawn anew.
    if (Start == 0 || Loading || !hasArea)
        ShadowTextureDrawn = ShadowTextureKey();
    if (Start == 0) {
        if (hasArea)
            DrawEmptyScreen();
    } else if (Loading) {
        // A window without area shows nothing of it (the picture's own frames draw their
        // labels anew): the same passes, without labels.
        const LabelsLeftOutScope labels(Font, !hasArea);
        DrawLoadingFrame();
    } else if (hasArea) {
        // A frame of the picture that its last paints over entirely shows nothing of its own:
        // its passes run for all they do besides (log, animations, camera, the renderer's
        // state and compiled shaders, which the last frame then finds ready), but put no
        // pixel down.
        const bool paintedOver = RenderingToBitmap && ModelLeftOut && DiscardFramesPaintedOver;
        const DiscardedFragments discarded(paintedOver);
        const LabelsLeftOutScope labels(Font, paintedOver);
        DrawSceneFrame();
    }
    UnlockOpenGL();
}

void CTavoplexCtrl::DrawEmptyScreen()
{
    WriteLog("  Drawing empty screen.\n");
    glClearColor(ColorFadeInValue.r(), ColorFadeInValue.g(), ColorFadeInValue.b(), 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    WriteLog(" (- SwapBuffers -).\n");
    PresentFrame();
}

void CTavoplexCtrl::DrawSceneFrame()
{
    // A frame that draws the model waits for its lists; one whose compile failed shows the
    // failed load instead.
    if (!ModelLeftOut)
        PartListsReady();
    WriteLog("  Draw Scene.\n");
    if (!SceneShown) {
        if (Buttons != 0 && MainPanel != nullptr) {
            WriteLog("  Start Panel Animation.\n");
            SceneShown = true;
            LastTick = 0xFFFFFFFFu;
            MainPanel->StartAnimation(750.0f, false);
            if (LogoPanel != nullptr)
                LogoPanel->StartAnimation(750.0f, false);
        } else {
            WriteLog("  Start without panel.\n");
            SceneShown = true;
            LastTick = 0xFFFFFFFFu;
            if (LogoPanel != nullptr)
                LogoPanel->StartAnimation(750.0f, false);
        }
        Animations.Add(new ValueAnimationC(&IntroFade), 1000, 0, false, true);
        PanelsActive = true;
    }

    // The largest power of two not above the shorter window side, at most 256.
    const int shorter = std::min(WindowWidth, WindowHeight);
    if (shorter >= 1) {
        const int size = std::min(int(std::bit_floor(unsigned(shorter))), kMaxShadowTextureSize);
        if (size != ShadowTextureSize) {
            ShadowTextureSize = size;
            InitTextures();
        }
    }

    if (!LockOpenGL())
        return;
    const PendingLines lines(*this, startLineVisibility(*this));
    GenerateShadowTexture();

    glClearColor(ColorFadeInValue.r(), ColorFadeInValue.g(), ColorFadeInValue.b(), 0.5f);
    glClear(GL_DEPTH_BUFFER_BIT);
    DrawBackground();
    if (LogoPanel != nullptr)
        LogoPanel->DrawAnimated(WindowWidth, WindowHeight);
    SetupViewport();
    DrawShadow();
    if (LoaderCount > 5 && IntroFade < 1.0f) {
        // The gears set up a view and lights of their own; what follows is drawn in the
        // scene's view, lit as the scene was, or the model would jump when the fade ends.
        // Their depths belong to that other view: the parts must not be cut by them (by then
        // nearly invisible), so the depth buffer goes back to its cleared state.
        glPushAttrib(GL_LIGHTING_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        DrawGears((1.0f - IntroFade) * GearFade);
        glClear(GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
    }
    DrawParts();
    DrawAxes();

    WriteLog("  Start Tool Tips.\n");
    feColor label = ColorLabelValue;
    feColor text = ColorLabelTextValue;
    label.setAlpha(IntroFade);
    text.setAlpha(IntroFade);
    WriteLog("  Start Part Tool Tip.\n");
    if (ToolTip != nullptr)
        ToolTip->Draw(label, text, ModelViewMatrix, ProjectionMatrix, Viewport);
    WriteLog("  End Part Tool Tip.\n");

    // The intro text sits a quarter of the window height above the centre while the scene
    // fades in; a failed load says so in the same place.
    const int labelY = int(WindowHeight / 4.0);
    WriteLog("  Start Intro Tool Tip.\n");
    BitmapFontC::PushOrtho2D(Viewport);
    if (IntroFade < 1.0f) {
        label.setAlpha(1.0f - IntroFade);
        text.setAlpha(1.0f - IntroFade);
        WriteLog("  Draw Intro Tool Tip.\n");
        Font.DrawLabel(centredText(DebugEnabled, "Calculating parts..."), true, true, true, 1, 1, 0, labelY, 1.0f, 40,
                       15, text, label, ModelViewMatrix, ProjectionMatrix, Viewport);
    }
    BitmapFontC::PopOrtho2D();
    WriteLog("  End Intro Tool Tip.\n");
    WriteLog("  End Tool Tips.\n");

    if (LoadFailed) {
        BitmapFontC::PushOrtho2D(Viewport);
        Font.DrawLabel(centredText(DebugEnabled, "Loading of geometry failed"), true, true, true, 1, 1, 0, labelY,
                       1.0f, 40, 15, text, label, ModelViewMatrix, ProjectionMatrix, Viewport);
        BitmapFontC::PopOrtho2D();
    }

    DrawBorderTransition();

    WriteLog("  Panels.\n");
    if (MainPanel != nullptr)
        MainPanel->DrawAnimated(WindowWidth, WindowHeight);
    if (HelpPanel != nullptr)
        HelpPanel->DrawAnimated(WindowWidth, WindowHeight);

    WriteLog(" (- SwapBuffers -).\n");
    PresentFrame();
    UnlockOpenGL();
}

void CTavoplexCtrl::SetupViewport()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    // The depth range holds the scene box however the view turns.
    double range = SceneDepthRange(SceneMin, SceneMax);
    if (range <= 1e-5)
        range = 10.0;
    const double centre = 80.0 - std::max({ViewOffset.x(), ViewOffset.y(), ViewOffset.z()});
    if (!setupOrtho(WindowWidth, WindowHeight, Zoom, centre - range, centre + range))
        return;

    setupLights();

    glMatrixMode(GL_MODELVIEW);
    loadSceneModelview(*this);

    // Read before the viewport below is set: the one the earlier passes of the frame left.
    glGetDoublev(GL_MODELVIEW_MATRIX, ModelViewMatrix);
    glGetDoublev(GL_PROJECTION_MATRIX, ProjectionMatrix);
    glGetIntegerv(GL_VIEWPORT, Viewport);

    setupMaterial(WindowWidth, WindowHeight);
}

void CTavoplexCtrl::SetupGearViewport()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (!setupOrtho(WindowWidth, WindowHeight, 102.0, -290.0, 290.0))
        return;

    setupLights();

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, -37.0, -80.0);
    multiplyRotation(Rotation);

    setupMaterial(WindowWidth, WindowHeight);
}
