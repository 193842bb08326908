// CTavoplexCtrl: the viewer control: every piece of state of one viewer placed on a page, and
// its operations grouped by concern (one source file per concern).
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/RWCString.h"
#include "foundation/RWTPtrSortedVector.h"
#include "math/Point3D.h"
#include "math/TransformMatrix.h"
#include "math/feColor.h"
#include "platform/Reason.h"
#include "geometry/mesh/FEMeshPickListEntryC.h"
#include "services/config/CSConfig.h"
#include "services/files/UTFilePath.h"
#include "services/objects/refHandle.h"
#include "viewer/control/BitmapTypes.h"
#include "viewer/control/ControlTypes.h"
#include "viewer/render/GearState.h"
#include "viewer/render/PartSurfaceBuffersC.h"
#include "viewer/render/ShadowTextureKey.h"
#include "viewer/ui/AnimationManagerC.h"
#include "viewer/ui/BitmapFontC.h"

namespace platform::gl {
class GlContext;
class GlSurface;
}  // namespace platform::gl
namespace platform::host {
class Host;
struct Message;
}  // namespace platform::host
namespace platform::net {
struct Limits;
}  // namespace platform::net
namespace platform::com {
struct Guid;
struct TypeLibrary;
class PropertyExchange;
struct PropertyInfo;
struct Variant;
}  // namespace platform::com

class ButtonCommandC;
class FEDisplayPartC;
class FetchFileI;
class FEDisplayPartListC;
class FEDisplayPartRefC;
class LineVisibilityC;
class PartListCompileC;
class MemoryBlockC;
class PanelC;
class TextureC;
class ToolTipC;
class ZJVReaderC;

class CTavoplexCtrl;

// What the OpenGL lock is taken for: a step that asks the renderer for memory (drawing, making
// lists or textures) passes the gate of the renderer's room first; one that only reads the
// view's matrices or gives objects back does not.
enum class GLStep { Draws, AsksNoMemory };

// Holds the control's OpenGL lock for one scope and gives it back on every path, exceptions
// included. locked() says whether the context could be made current.
class OpenGLLock {
public:
    explicit OpenGLLock(CTavoplexCtrl& control, GLStep step = GLStep::Draws);
    ~OpenGLLock();
    OpenGLLock(const OpenGLLock&) = delete;
    OpenGLLock& operator=(const OpenGLLock&) = delete;
    bool locked() const { return locked_; }
    explicit operator bool() const { return locked_; }

private:
    CTavoplexCtrl& control_;
    bool locked_;
};

// All fields are public: every part of the viewer (and its tests) reads them by name. Each
// concern's fields follow its functions. The destructor lets the owned objects go itself, with
// the context current, so nothing hangs on the order the members are declared in.
class CTavoplexCtrl {
public:
    // ================= construction, destruction and the debug log =================
    // (viewer/control/CTavoplexCtrl.cpp)
    CTavoplexCtrl();
    virtual ~CTavoplexCtrl();
    CTavoplexCtrl(const CTavoplexCtrl&) = delete;
    CTavoplexCtrl& operator=(const CTavoplexCtrl&) = delete;
    // A new control for the class factory.
    static CTavoplexCtrl* CreateObject();
    // Writes the text unchanged and flushes when debugging is on; the caller gives the line
    // break.
    void WriteLog(const char* text);
    void WriteLog(const RWCString& text) { WriteLog(text.data()); }
    // The container that holds the control (null detaches); messages arrive through WindowProc.
    void AttachHost(platform::host::Host* host) { HostSite = host; }
    platform::host::Host* GetHost() const { return HostSite; }
    // The container (null while detached), the per-user folder that holds the configuration,
    // the log and the panel images, and the debug log, open only while debugging is on.
    platform::host::Host* HostSite = nullptr;
    UTFilePath UserFolder;
    std::ofstream LogStream;
    bool DebugEnabled = false;

    // ================= OpenGL context, lock and texture set-up =================
    // (viewer/render/CTavoplexCtrlOpenGL.cpp; OpenGLLock, above, holds the lock for a scope)
    // Makes the window's drawing surface (at the host's client size) and the context.
    void SetupPixelFormat();
    void BuildPalette();
    // True when the caller may draw (the context is current); false when there is no context,
    // the renderer is lost, or (only under a memory limit) a step that draws finds the
    // renderer's room gone (RendererRoomLeft), the count then untouched.
    bool LockOpenGL(GLStep step = GLStep::Draws);
    bool UnlockOpenGL();
    // Unlocks until the lock is back at depth (after a failed pass left it raised).
    void RestoreOpenGLLock(int depth);
    void InitOpenGL();
    void InitTextures();
    // The window's surface follows a new client size.
    void ResizeSurface(int width, int height);
    // Shows the finished frame of the current surface in the host's frame sink ("swap").
    void PresentFrame();
    // The window's context stops drawing (the window goes); the context itself lives on so
    // that lists and textures survive a new window.
    void ReleaseWindowContext();
    // The context and surface drawn into now (the window's, or the bitmap's while CreateBMP
    // runs), the depth of the lock on them and the palette of a palette format.
    PaletteRecord Palette;
    platform::gl::GlContext* GLContext = nullptr;
    platform::gl::GlSurface* DeviceContext = nullptr;
    int GLLockCount = 0;
    // The one context of the control's life and the window's drawing surface.
    std::unique_ptr<platform::gl::GlContext> WindowContext;
    std::unique_ptr<platform::gl::GlSurface> WindowSurface;
    // Why no context was made: the process's memory limit leaves the renderer too little room
    // (one line naming the limit); empty otherwise.
    RWCString ContextFailure;

    // ================= frames and drawing (frame entry, scene frame, parts) =================
    // (viewer/render/CTavoplexCtrlFrame.cpp: the frame entry, the empty screen, the scene frame
    // and the two view set-ups; viewer/render/CTavoplexCtrlDisplayLists.cpp: the parts' display
    // lists; viewer/render/CTavoplexCtrlDrawParts.cpp: the parts' surfaces, lines and threads)
    // Draws one frame now: the empty screen while Start is 0, the loading frame while loading,
    // else the scene frame. A window without area shows nothing (only a load goes on).
    void RenderFrame();
    // The frame itself, the lock taken (what RenderFrame runs).
    void DrawFrameLocked();
    // The one gate before a step that asks the renderer for memory (platform::sys::
    // rendererRoomLeft), asked by the lock (LockOpenGL), by each step of a pass (DrawPacerC), by
    // each batch of the model's lists and before the picture's context: whether the renderer's
    // room is still there under the process's limits. Where it is not, the load or the picture
    // fails for want of memory to draw it (an earlier failure's reason kept; refused at the
    // outermost lock, a load still going ends) and the step is to be left out: the renderer
    // cannot fail gracefully where its memory runs out, it ends the process.
    bool RendererRoomLeft();
    // What it asks: the platform's gate when empty; a test puts one of its own, to run the
    // renderer's room out at a step of its choosing.
    std::function<bool()> RoomGate;
    // A frame or picture failed for want of memory (to draw it, or to hold the picture's
    // pixels): the load fails for want of memory to draw it, an earlier failure's reason kept.
    void FailDrawing();
    // Set by it; a picture clears it before its frames and writes no file once it is set.
    bool DrawingFailed = false;
    // Set once the renderer failed in a way it may not come back from: memory ran out inside
    // a frame (the renderer's compiler throws through it, leaving its locks held), or it did
    // not draw its work within DrawPacerC's bound (a thread of its own failed). From then on
    // the lock is refused, so the control makes no OpenGL call: frames draw nothing, and its
    // lists, textures and context are left to the process's end, since deleting them waits
    // inside the renderer without a bound.
    bool RendererLost = false;
    // Sets it, from a frame that failed so: the load or picture fails (FailDrawing), a load
    // still going ends.
    void LoseRenderer();
    void DrawEmptyScreen();
    void DrawSceneFrame();
    // Projection, lights, modelview of the current view (read back into ModelViewMatrix,
    // ProjectionMatrix and Viewport), materials and viewport of the scene.
    void SetupViewport();
    // The same for the loading gears (no read-back).
    void SetupGearViewport();
    // Compiles the part's display list and rebuilds its coloured-triangle records (OpenGL lock
    // held). The list's name is set at once; a large part's compile may go on behind, pending
    // until FinishPartLists (which every use of the lists calls first). A compile still pending
    // from before is finished first, and what it threw is thrown here.
    void MakeListFromMesh(const refHandle<FEDisplayPartC>& part);
    // Waits for the pending compile, taking part in it, with a context of the window's share
    // group current; throws what it threw (the part's lists then deleted).
    void FinishPartLists();
    // The same for a frame: a failed compile fails the load (LoadFailed, its reason) and gives
    // false; true when no compile was pending or it ended well.
    bool PartListsReady();
    // Set when a frame found the compile failed; a new load clears it.
    bool PartListsFailed = false;
    // Stops the pending compile and waits for its threads, leaving its lists half built (for
    // unloading, and for the contexts going).
    void AbandonPartLists();
    std::unique_ptr<PartListCompileC> PendingPartLists;
    // Off: every compile is finished before MakeListFromMesh returns (the same lists and
    // pictures, later).
    bool ListsBesideFrames = true;
    // Draws the part's display list, or its range of PartBuffers; a large list, while
    // FlushListGroups is set, as groups of its runs with a flush between them: the same
    // triangles in the same order either way. Nothing when the part has neither.
    void CallPartList(const FEDisplayPartC& part);
    bool FlushListGroups = true;
    // Whether CallPartList draws anything for the part.
    bool HasPartSurfaces(const FEDisplayPartC& part) const;
    // The surfaces of the model's parts beyond its first few thousand, in place of display
    // lists of their own; emptied with the model.
    PartSurfaceBuffersC PartBuffers;
    // Deletes the model's display lists (with the context current, when there is one) and the
    // model itself; Parts is null afterwards.
    void ReleaseModel();
    // Every instance of the model, once per scene frame.
    void DrawParts();
    void DrawPartLists(const FEDisplayPartRefC& instance, bool ghost);
    void DrawPartTriangles(const FEDisplayPartRefC& instance, bool ghost);
    void DrawPartLines(const FEDisplayPartRefC& instance);
    // While set, lines of one colour and width go to the renderer as one run; else one by
    // one. The same picture either way.
    bool LinesInOneRun = true;
    void DrawThreads(const FEDisplayPartRefC& instance, float visibleAlpha, float hiddenAlpha, float visibleWidth,
                     float hiddenWidth);
    // The shown edges of the scene frame being drawn, found while its first passes draw;
    // owned by that frame, null outside it.
    LineVisibilityC* PendingLineVisibility = nullptr;
    int32_t DisplayMode = 4;
    // The scene's first frame has been drawn; the fade from the loading screen into it.
    bool SceneShown = false;
    float IntroFade = 0.0f;
    BitmapFontC Font;
    bool FontMissingLogged = false;  // the log said once that no font was found
    // Helix vertices that the threads of all instances together draw in one frame: a few bytes
    // of text can ask for thousands of threads, each drawn every frame. Those beyond are left
    // out, and the debug log says so once per load.
    static constexpr long kDefaultThreadVertexLimit = 1000000;
    long ThreadVertexLimit = kDefaultThreadVertexLimit;
    long ThreadVerticesLeft = kDefaultThreadVertexLimit;  // of the frame being drawn
    bool ThreadLimitLogged = false;  // in the current load

    // ================= background, shadows and gears =================
    // (viewer/render/CTavoplexCtrlBackground.cpp, CTavoplexCtrlShadow.cpp, CTavoplexCtrlGears.cpp)
    // The four-corner gradient with the rising floor grid, first in every scene frame; it
    // leaves the fixed frame's projection and modelview in place.
    void DrawBackground();
    // The axis triad at the origin (nothing when Axes is 0), after the parts.
    void DrawAxes();
    // The fading frame along the window edge, after the tool tips.
    void DrawBorderTransition();
    // Renders the parts seen from above into the shadow texture (first in the scene frame).
    void GenerateShadowTexture();
    // While set, the texture's square goes from the colour buffer to the texture through
    // memory; else by a copy inside the renderer. The same texels either way.
    bool ShadowTexelsThroughMemory = true;
    void SetupShadowView();
    // Lays the shadow texture on the floor under the model.
    void DrawShadow();
    // The loading gears, faded by alpha (0..1); their lists are made at the first call.
    void DrawGears(float alpha);
    // The three gears of one set of lists (solids at GearLists, outlines at GearLists + 3).
    void DrawGearSet(GLuint base, float alpha, bool outline);
    // One gear's, or one square hub's, geometry into the list being compiled.
    void BuildGear(float innerRadius, float outerRadius, float width, int teeth, float toothDepth, bool outline);
    void BuildHub(float width, int shape, float halfSize, float length, bool outline);
    // Deletes the gear lists (the control's context current).
    void DeleteGearLists();
    // Quads laid by the last DrawShadow: the draw count that tests read.
    int ShadowQuadsDrawn = 0;
    GLuint ShadowTexture = GLuint(-1);
    // What the shadow texture was last drawn from; emptied whenever something the key does not
    // hold may have changed (new lists, a new texture, frames of another kind).
    ShadowTextureKey ShadowTextureDrawn;
    int32_t ShadowTextureSize = 2;
    float GearAngle = 0.0f;
    float GearFade = 0.0f;
    GLuint GearLists = GLuint(-1);
    GearState Gears;

    // ================= camera and views =================
    // (viewer/ui/CTavoplexCtrlCamera.cpp: view state and mouse moves; viewer/ui/CTavoplexCtrlViews.cpp:
    // standard views, fitting and their animations)
    // The view-space point under a window point (y from the top) at the far depth, through the
    // stored projection and viewport of the last frame. False when the context cannot be locked or
    // no frame has set a viewport yet; the one-argument form then gives the origin.
    bool WindowToView(const Point2D& windowPoint, Point3D& viewPoint);
    Point3D WindowToView(const Point2D& windowPoint);
    // Box of one instance (null: of all) under the exploded or assembled placements into min and
    // max; nothing is written without a model. ComputeBoundingBoxes measures the scene box.
    void ComputeBoundingBox(bool exploded, Point3D& min, Point3D& max, const FEDisplayPartRefC* instance);
    void ComputeBoundingBoxes(bool exploded);
    // The camera values that frame an instance (null: the scene box) seen through modelView16 and
    // the stored projection and viewport. Clears ZoomPending. False, and nothing written, when the
    // window has no area or nothing can be projected yet.
    bool ComputeFitCamera(const FEDisplayPartRefC* instance, double& offsetX, double& offsetY, double& offsetZ,
                          double& panX, double& panY, double& zoom, const double* modelView16);
    // The three mouse moves, with pointer deltas in window pixels. The zoom step's amount is the
    // drag's dy or a wheel delta / 12.0; it changes nothing while the scene box has no size. The
    // pan takes the last pointer position and changes nothing before the first frame.
    void ZoomStep(double amount);
    void RotateMove(int dx, int dy);
    void PanMove(const ControlPoint& last, int dx, int dy);
    // Standard view 0..8 (others: front), optionally fitted and cycling the oblique views' turn.
    void SetStandardView(int view, bool fit, int duration, bool cycle);
    // Animates the rotation to that of destination, with the scene fitted for it when fit is set.
    void AnimateToRotation(const TransformMatrix& destination, bool fit, int duration);
    // Asks the next scene frame to zoom to the instance (null: the whole model).
    void RequestZoom(FEDisplayPartRefC* instance, int duration);
    // Called by the scene frame when it reaches the parts, after the frame's matrices are read
    // back: carries out a pending zoom request as a camera animation.
    void RunPendingZoom();
    // Adds the camera animation to the fit of instance seen through modelView16; false (and no
    // animation) when no fit could be computed.
    bool AddFitAnimation(const FEDisplayPartRefC* instance, const double* modelView16, int duration);
    // A camera move asks for a repaint; the standard views and zoom requests redraw at once (a
    // paint delivered through the window procedure).
    void InvalidateView();
    void RedrawViewNow();
    // Identities until the first frame reads the real ones back (the viewport stays empty till then).
    double ModelViewMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double ProjectionMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    int Viewport[4] = {};
    int32_t WindowWidth = 0;
    int32_t WindowHeight = 0;
    float DrawScale = 1.0f;
    TransformMatrix Rotation;
    double Zoom = 80.0;
    double PanX = 0.0;
    double PanY = 0.0;
    Point3D ViewOffset{0.0, 0.0, -2.0};
    Point3D SceneMin;
    Point3D SceneMax;
    bool ZoomPending = false;
    int32_t ZoomDuration = 350;
    FEDisplayPartRefC* ZoomPart = nullptr;  // not owned: an instance of Parts
    int32_t ViewTurn = 0;

    // ================= picking, explode and mouse =================
    // (viewer/ui/CTavoplexCtrlPicking.cpp: picking; viewer/ui/CTavoplexCtrlExplode.cpp: explode,
    // fades and view toggles; viewer/ui/CTavoplexCtrlMouse.cpp: mouse messages and the script call)
    // The instance under a window point (y from the top), or null. Faded instances take part only
    // when includeTransparent is set.
    FEDisplayPartRefC* PickPart(const Point2D& windowPoint, bool includeTransparent);
    // The world-space ray under a window point through the matrices and viewport of the last
    // frame. False (near and far untouched) before a frame, for a viewport without area, for
    // matrices that cannot be inverted and when the context cannot be locked.
    bool MakePickRay(const Point2D& windowPoint, Point3D& nearPoint, Point3D& farPoint);
    // The model length of that many window pixels (0 before the first frame).
    double PixelsToWorld(int pixels);
    // Whether the line through near and far passes within the box's bounding sphere grown by
    // the tolerance (the line is not cut at its ends).
    static bool RayNearBox(const Point3D& nearPoint, const Point3D& farPoint, const Point3D& boxMin,
                           const Point3D& boxMax, double tolerance);
    // The instance hit by the world-space ray: opaque before faded, then the nearest hit, ties
    // to the earlier instance. Sets the pick flag and point of every instance hit.
    FEDisplayPartRefC* PickNearestInstance(const Point3D& nearPoint, const Point3D& farPoint, double tolerance,
                                           bool includeTransparent);
    // Picks the part's mesh with a part-space ray into PickList; on a hit stores the nearest
    // hit point on the part and returns true.
    bool PickMesh(FEDisplayPartC* part, const Point3D& nearPoint, const Point3D& farPoint, double tolerance);

    // Moves every instance to its exploded placement (or back) over a second, the camera
    // refitting the new scene box at the same time.
    void ToggleExplode();
    // Fades the instance (every instance) to the transparency over 250 ms.
    void FadePart(FEDisplayPartRefC* instance, float target);
    void FadeAllParts(float target);
    // Fades the help panel in or out and redraws.
    void ToggleHelpPanel();
    // 0 lines over ghost surfaces, 1 lines, 3 shaded, 4 shaded with lines; redraws.
    void SetDisplayMode(int mode);

    // Mouse messages: key flags (platform::host::ModifierFlag bits) and the point in window
    // pixels, y from the top.
    void OnLButtonDown(unsigned flags, ControlPoint point);
    // A release the host made up (madeUp: the window lost the focus with the button held)
    // ends the drag and forgets the panels' pressed buttons, but clicks no panel button and
    // fades no part.
    void OnLButtonUp(unsigned flags, ControlPoint point, bool madeUp = false);
    void OnRButtonDown(unsigned flags, ControlPoint point);
    void OnRButtonUp(unsigned flags, ControlPoint point, bool madeUp = false);
    void OnMouseMove(unsigned flags, ControlPoint point);
    // delta: multiples of 120 per notch, positive away from the user.
    long OnMouseWheel(unsigned flags, int delta, ControlPoint point);
    void OnLButtonDblClk(unsigned flags, ControlPoint point);
    // Hands a mouse message of the window procedure to its handler; false for other messages.
    bool OnMouseMessage(const platform::host::Message& message, long& result);
    // Calls the hosting page's script function with the texts as its arguments, in order. False
    // when there is no host, no script, no such function or the call fails (the last three leave
    // a line in the debug log).
    bool CallDoubleClickScript(const RWCString& name, const std::vector<RWCString>& arguments);
    RWTPtrSortedVector<FEMeshPickListEntryC> PickList{64};
    bool Exploded = false;
    ControlPoint LastMousePoint;
    ControlPoint PressPoint;
    bool LeftButtonDown = false;
    bool RightButtonDown = false;

    // ================= loader =================
    // (viewer/loader/CTavoplexCtrlLoadingFrame.cpp: the frame drawn while a model loads, which
    // runs the passes; viewer/loader/CTavoplexCtrlLoader.cpp: one pass over the phases)
    void DrawLoadingFrame();
    // Where the renderer's room is gone or the renderer lost: a load still going ends failed
    // (logged once), the frames after it drawing nothing of it.
    void EndLoadWithoutRoom();
    // True when this pass built the model; false with LoadFailed set when the load can never
    // succeed, else false with the work left for a later pass.
    bool RunLoader();
    // The loader's clock: the host's tick (a test's fake clock), else the system's.
    uint32_t LoaderTick() const;
    // A load whose passes keep failing for this long (fetches that are retried) fails.
    static constexpr uint32_t kLoadRetryLimitMs = 30000;
    // Keeps why the load failed (or why its last retried fetch did), for the container to tell
    // the user: `where` is the file or address, `what` what went wrong there, in lower case
    // without a full stop, with the place when it is known ("ASCII STL line 17: expected
    // 'vertex' but found 'x'", "HTTP 404", "no entry named 'a.zjv' in the archive"). The
    // reason reads "\"where\": what"; a later call replaces it, the init phase clears it.
    void SetFailureReason(const RWCString& where, const platform::ReasonText& what);
    // Called in a catch block: the load fails for what was thrown (out of memory, or anything
    // else as an unexpected failure): LoadFailed, and the reason given the file the load reads.
    void FailLoadForCaughtException();
    // The reason's text: "\"where\": what". Names are shown in one place, in one way.
    static RWCString FailureText(const RWCString& where, const platform::ReasonText& what);
    // A name as messages and the log show it: an address's password as "***".
    static RWCString Shown(const RWCString& name);
    // Writes why the load failed to the debug log, escaped as the container shows it; called
    // once, when the load ends failed (a retried fetch is not told until then).
    void LogLoadFailure();
    void LogLoadFailure(const RWCString& reason);
    // A load that never ran ends with the window that would have run it: one that could not
    // succeed (FailureBeforeLoad), which a container ends at once, is logged as failed, once.
    void LogFailureBeforeLoad();
    bool FailureBeforeLoadLogged = false;
    // The file or address a load of FileName reads: the page's folder in front of a relative
    // name, as the init phase puts it.
    RWCString ModelPath() const;
    // Why the load cannot succeed, told before it starts: no model named, a local file the
    // file system refuses, or a type the loader does not read (the reason, naming ModelPath);
    // empty otherwise.
    RWCString FailureBeforeLoad() const;
    static const std::string NoModelNamed;
    // Why the name cannot be a model at all (an extension the loader does not read): the
    // reason's `what`, or empty when the loader knows the type.
    static platform::ReasonText UnknownModelType(const RWCString& name);
    // Shared by every control of the process (they all run on the one user-interface thread):
    // the tick of the last pass, and whether a loading frame's settings dialog is open.
    static uint32_t LastLoaderRun;
    static bool SettingsDialogOpen;
    bool LoaderInitialized = false;
    std::unique_ptr<MemoryBlockC> DescriptorBlock;
    RWCString ArchivePath;
    bool IsDescriptor = false;
    RWCString ArchiveEntry;
    bool ZjvReady = false;
    bool StlReady = false;
    bool LoadFailed = false;
    RWCString FailureReason;  // why the load failed (SetFailureReason); empty while none did
    bool Loading = true;
    int32_t LoaderCount = 0;
    uint32_t LoadStartTick = 0;  // tick of the init phase of the current load
    // The loaded model, and the reader that fills it.
    std::unique_ptr<FEDisplayPartListC> Parts;
    std::unique_ptr<ZJVReaderC> Reader;

    // ================= fetching files =================
    // (viewer/loader/CTavoplexCtrlFetch.cpp) Results: 0 success, 1 (FetchFailed) failure;
    // a zipped fetch whose bytes came but gave no whole item 0 returns FetchNotUnpacked.
    static constexpr int FetchFailed = 1;
    static constexpr int FetchNotUnpacked = 2;
    // The fetch failed in a way no retry can heal: a scheme other than http (ftp://, file://), a
    // redirect loop or a redirect to another scheme, a local name that is no regular file (a
    // folder, a FIFO, a device), a file over LocalFileLimit, a download over its size or time.
    static constexpr int FetchRefused = 3;
    // The largest local file a fetch reads.
    static constexpr uint64_t kDefaultLocalFileLimit = uint64_t(4) << 30;
    uint64_t LocalFileLimit = kDefaultLocalFileLimit;
    // The most parts a ZJV model may hold: a part takes three bytes of text, and millions of them
    // would take more memory than the machine has. A model with more fails to load.
    static constexpr size_t kDefaultPartLimit = 1000000;
    size_t PartLimit = kDefaultPartLimit;
    // The most placed instances: four bytes of text place a part once more.
    static constexpr size_t kDefaultPlacementLimit = 1000000;
    size_t PlacementLimit = kDefaultPlacementLimit;
    // What the last failed fetch found wrong, as a failure reason's `what` ("not found",
    // "HTTP 404", "not a ZIP archive"); empty after a fetch that succeeded, but for a zipped
    // one whose item 0 came out empty: why that is no model (a folder, an empty entry).
    platform::ReasonText FetchFailure;
    // A name containing "http://" is downloaded, any other read as a local regular file; with
    // `unzip` and ".zip" or ".zjv" in the name, item 0 of the fetched archive is handed on.
    int FetchToMemory(const RWCString& name, FetchFileI& out, bool unzip);
    // The fetched bytes into `block`, with its NUL (empty after a failed fetch).
    int LoadFileInternal(const RWCString& name, MemoryBlockC& block, bool unzip);
    // Fetches into `target` unless it exists; the file appears whole or not at all.
    int LoadFileInternalToFile(const RWCString& name, const UTFilePath& target, bool unzip);
    // Fetches the missing panel images from BaseUrl into the per-user folder; all of them
    // again when the configuration's data version is below 2 (then set to 2 and saved).
    // Never freezes the control for long: the whole refresh ends within ImageRefreshLimitMs,
    // and once the server cannot be reached, stalls or times out, it is asked for no more.
    bool RefreshImageCache();
    uint32_t ImageRefreshLimitMs = 30000;
    // Bounds of the HTTP fetches made now (the image refresh narrows them to the time it has
    // left); null: the process-wide defaults.
    const platform::net::Limits* FetchLimits = nullptr;
    // The last HTTP fetch failed for want of the server: no connection, a stall, a time-out
    // or a connection cut short.
    bool LastFetchLostServer = false;

    // ================= properties and scripted methods =================
    // (viewer/control/CTavoplexCtrlProperties.cpp: the exchange, ApplyProperties, SetParam;
    // viewer/control/CTavoplexCtrlMethods.cpp: the scripted methods and their dispatch)
    // The 25 object parameters in exchange order, then ApplyProperties when Start is 1.
    void DoPropExchange(platform::com::PropertyExchange& exchange);
    // The same 25 in the same order, as a container learns them: name, kind, colour or not.
    static std::vector<platform::com::PropertyInfo> PropertyTable();
    // Every property back to its default (the exchange in reset mode).
    void OnResetState();
    void ApplyProperties();
    void SetParam(const RWCString& key, const RWCString& val);
    void SetFileName(const RWCString& filename);
    // Loads the model and renders it into a BMP file of xSize x ySize. False, with no file
    // written, when there is no context, Start is 0, the size is not positive, the load fails
    // or does not finish within waitLimitMs of real time, or the file cannot be written.
    bool LoadAndCreateBMP(const RWCString& filename3d, const RWCString& filenameBMP, int32_t xSize, int32_t ySize,
                          uint32_t waitLimitMs = 60000);
    void SetMatrix(double xx, double yx, double zx, double wx, double xy, double yy, double zy, double wy, double xz,
                   double yz, double zz, double wz);
    double GetZoom() const;
    void SetZoom(double zoom);
    // Dispatch ids of the scripted methods, and calls by id or by name with the arguments in
    // order. False for an unknown method or arguments that do not fit it.
    enum DispatchId : int {
        DispIdAboutBox = -552,
        DispIdSetFileName = 1,
        DispIdSetParam = 2,
        DispIdCreateBMP = 3,
        DispIdLoadAndCreateBMP = 4,
        DispIdSetMatrix = 5,
        DispIdGetZoom = 6,
        DispIdSetZoom = 7,
    };
    static int GetDispatchId(const std::string& name);
    bool Invoke(int dispatchId, const std::vector<platform::com::Variant>& args, platform::com::Variant* result);
    bool InvokeByName(const std::string& name, const std::vector<platform::com::Variant>& args,
                      platform::com::Variant* result);
    // The persistent properties, as the page gives them.
    RWCString FileName;
    RWCString BasePath;
    RWCString ColorTL;
    RWCString ColorTR;
    RWCString ColorBL;
    RWCString ColorBR;
    RWCString ColorGrid;
    RWCString ColorFadeIn;
    RWCString ColorPanelOut;
    RWCString ColorPanelIn;
    RWCString ColorPanelButtonsOut;
    RWCString ColorPanelButtonsIn1;
    RWCString ColorPanelButtonsIn2;
    RWCString ColorHelpPanel;
    RWCString ColorLabel;
    RWCString ColorLabelText;
    int32_t Grid = 1;
    int32_t Axes = 0;
    int32_t Border = 1;
    int32_t Logo = 1;
    int32_t BorderSize = 10;
    float BorderAlpha = 1.0f;
    int32_t Buttons = 0;
    int32_t ButtonSize = 32;
    int32_t Start = 0;
    // The colours parsed from them, and the folders that names are taken from.
    feColor ColorTLValue, ColorTRValue, ColorBLValue, ColorBRValue;
    feColor ColorGridValue;
    feColor ColorFadeInValue;
    feColor ColorPanelInValue, ColorPanelOutValue;
    feColor ColorPanelButtonsIn1Value, ColorPanelButtonsIn2Value, ColorPanelButtonsOutValue;
    feColor ColorHelpPanelValue;
    feColor ColorLabelValue, ColorLabelTextValue;
    RWCString HostFolder;
    RWCString BaseUrl;

    // ================= window, timer and messages =================
    // The window procedure: every message of the host arrives here (viewer/control/CTavoplexCtrlWindow.cpp).
    long WindowProc(const platform::host::Message& message);
    // Returns -1 when the window cannot be made.
    int OnCreate();
    void OnDestroy();
    void OnSize(int type, int width, int height);
    void OnPaint();
    void OnDraw();
    void OnTimer(unsigned id);
    // The per-tick step: gears and panels advance by elapsed ms; true when anything changed.
    bool TimerStep(uint32_t elapsed);
    // HostFolder from a page address: up to and including the last "/" or "\" (of an address,
    // the last of its path, before any query or fragment), without a leading "file://";
    // unchanged when the address has no separator past its first byte.
    void SetHostFolderFromAddress(const std::string& page);
    // Tick of the last timer step; the animations it moves on (every timed change).
    uint32_t LastTick = 0xFFFFFFFFu;
    AnimationManagerC Animations;

    // ================= quality settings and dialog =================
    // (viewer/control/CTavoplexCtrlQuality.cpp)
    void ApplyQualitySettings();
    // The first-start settings dialog, run modally by the host; an OK with a preset chosen
    // writes the preset into Config and saves it.
    void RunFirstStartSettings();
    // The quick-settings dialog from the options button; its choice applies at once.
    void OpenQuickSettings();
    // The per-user configuration ("tavoplex.cfg") and the settings taken from it.
    CSConfig Config{true};
    int32_t ShadowQuality = 1;
    int32_t GearsEnabled = 1;
    int32_t Shading = 2;
    int32_t Antialiasing = 1;
    int32_t Metallic = 0;

    // ---- the module: factory and registration facts (viewer/control/CTavoplexCtrlFactory.h,
    // viewer/control/CTavoplexCtrlRegistration.cpp) ----
    class CTavoplexCtrlFactory;
    uint32_t GetTypeInfoCount() const { return 1; }
    // The registered type library 1.0 (results as the module's entry points give them).
    int32_t GetTypeLib(uint32_t lcid, const platform::com::TypeLibrary** library) const;
    int32_t GetClassID(platform::com::Guid* clsid) const;
    // The property pages: one, the same list on every call.
    const std::vector<platform::com::Guid>& GetPropPageIDs() const;
    int GetUserTypeNameID() const;
    uint32_t GetMiscStatus() const;
    // The about box (dialog 1), modal; its OK closes it.
    void AboutBox();

    // ================= panels and tool tip =================
    // (viewer/ui/CTavoplexCtrlPanels.cpp; the tip's name lookup is given in the constructor)
    // The command object, the main and help panels (when
    // "Buttons" is non-zero), the logo panel (when "Logo" is non-zero) and the metal texture,
    // built once per control; true once built. False, nothing made, where the OpenGL lock is
    // refused (the renderer's room gone): a later call (the next load's) builds them.
    bool BuildPanels();
    // Deletes the panels with their buttons and textures, the command object and the metal
    // texture. The context that made the textures must be current.
    void DeletePanels();
    // The native path of a panel image in the per-user folder.
    RWCString PanelImagePath(const char* name) const;
    std::unique_ptr<ToolTipC> ToolTip;
    std::unique_ptr<ButtonCommandC> Commands;
    std::unique_ptr<PanelC> MainPanel;
    std::unique_ptr<PanelC> HelpPanel;
    std::unique_ptr<PanelC> LogoPanel;
    std::unique_ptr<TextureC> MetalTexture;
    bool PanelsActive = false;
    bool HelpShown = false;

    // ================= off-screen BMP =================
    // (viewer/control/CTavoplexCtrlBitmap.cpp: the picture and its context;
    // viewer/control/CTavoplexCtrlBitmapFile.cpp: BuildBitmapInfo and WriteBitmapFile, the file)
    // Renders the isometric view of the current model into a BMP file of xSize x ySize through
    // a second context that shares lists and textures with the window's. 0 when the file was
    // written; 1 for a size outside 1..kMaxBitmapEdge, no window context, a bitmap or context
    // that cannot be made, or a file that cannot be written (then no file is left). The
    // window's context, surface, lock depth and size come back on every path.
    int32_t CreateBMP(const RWCString& filename, int32_t xSize, int32_t ySize);
    static constexpr int32_t kMaxBitmapEdge = 16384;
    // The bitmap's pixel format on its surface, the palette when the format needs one, and the
    // bitmap's context in GLContext (null when it cannot be made).
    void SetupBitmapPixelFormat(platform::gl::GlSurface* memoryContext);
    // The regular colour cube of a palette format into BitmapPalette.
    void BuildBitmapPalette(const PixelFormatRecord& format);
    // Header and colour table for the bitmap; null when the bitmap cannot be described.
    std::unique_ptr<BitmapInfo> BuildBitmapInfo(const MemoryBitmap& bitmap);
    // Fetches the bitmap's bits in the block's format and writes the file under a temporary
    // name renamed into place; false, with no file made or changed, on any failure.
    bool WriteBitmapFile(const RWCString& filename, BitmapInfo& info, const MemoryBitmap& bitmap);
    // Why the last CreateBMP could not write its file ("is a folder, not a file", "no space left
    // on the device"); empty when it wrote it or failed before the file.
    platform::ReasonText BitmapFailure;
    void ReleaseBitmapContext();
    // The format asked of the bitmap and the one described back.
    PixelFormatRecord BitmapPixelFormat;
    // The bitmap's context and its drawing surface while CreateBMP runs.
    std::unique_ptr<platform::gl::GlContext> BitmapContext;
    std::unique_ptr<platform::gl::GlSurface> BitmapSurface;
    PaletteRecord BitmapPalette;
    bool RenderingToBitmap = false;
    // Set while the picture's frames before its last are drawn: the bitmap shows only the
    // last, which paints every pixel again, so those frames leave the model's geometry out
    // (its surfaces, lines and shadow) and keep everything else they do.
    bool ModelLeftOut = false;
    // While set, those frames also put no pixel down; their passes run all the same.
    bool DiscardFramesPaintedOver = true;
    // The window's context, surface and lock depth, given back when the picture is done.
    platform::gl::GlContext* SavedGLContext = nullptr;
    platform::gl::GlSurface* SavedDeviceContext = nullptr;
    int SavedGLLockCount = 0;

};
