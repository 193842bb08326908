// CTavoplexCtrl: the frame drawn while a model loads: the warm-up counts, the paced loader
// passes and the screen with the gears and the "Calculating parts..." label.
#include <GL/gl.h>

#include <algorithm>
#include <new>

#include "platform/host/Host.h"
#include "platform/sys.h"
#include "services/config/CSConfigItem.h"
#include "viewer/control/CTavoplexCtrl.h"

uint32_t CTavoplexCtrl::LastLoaderRun = 0;
bool CTavoplexCtrl::SettingsDialogOpen = false;

uint32_t CTavoplexCtrl::LoaderTick() const
{
    return HostSite != nullptr ? HostSite->clock().now() : platform::sys::tickCount();
}

void CTavoplexCtrl::EndLoadWithoutRoom()
{
    // Nothing more is drawn, gears and label included: the load ends failed.
    if (Loading) {
        Loading = false;
        LoaderCount = std::max(LoaderCount, 6);
        LogLoadFailure();
    }
}

void CTavoplexCtrl::DrawLoadingFrame()
{
    // A settings dialog opened by a loading frame runs modally; the frames that its message
    // loop delivers wait for it.
    if (SettingsDialogOpen)
        return;
    WriteLog("  Set ViewPort for Loading screen.\n");
    SetupViewport();
    LoaderCount += 1;

    switch (LoaderCount) {
    case 1:
        WriteLog("    Loader Count = 1.\n");
        SceneMin = Point3D(-50.0, -50.0, -50.0);
        SceneMax = Point3D(50.0, 50.0, 50.0);
        RenderFrame();
        if (Config.findItem("STANDARD_SETTING", "GFX") == nullptr) {
            SettingsDialogOpen = true;
            try {
                RunFirstStartSettings();
            } catch (...) {
                SettingsDialogOpen = false;
                throw;
            }
            SettingsDialogOpen = false;
        }
        ApplyQualitySettings();
        break;
    case 2:
        WriteLog("  Loader Count = 2.\n");
        break;
    case 3:
        WriteLog("  Loader Count = 3.\n");
        BuildPanels();
        break;
    default:
        break;
    }

    if (Loading && LoaderCount >= 5) {
        WriteLog("  Loader Count >= 5.\n");
        const uint32_t now = LoaderTick();
        if (LoaderCount == 5 || uint32_t(now - LastLoaderRun) > 750u) {
            LastLoaderRun = now;
            bool built = false;
            // A pass that throws can never be trusted to succeed on a retry (its list may be
            // half filled): the load fails, and the lock goes back to this frame's depth.
            const int lockDepth = GLLockCount;
            try {
                built = RunLoader();
            } catch (...) {
                RestoreOpenGLLock(lockDepth);
                FailLoadForCaughtException();
            }
            if (built) {
                Loading = false;
                SetStandardView(7, true, 750, true);
                return;
            }
            if (LoadFailed) {
                Loading = false;
                LoaderCount = 6;
                LogLoadFailure();
            }
        }
    }

    // The model's memory, read and built by now, may have taken the renderer's room: the gears
    // and labels are drawn under a lock of their own, which passes its gate.
    const OpenGLLock drawing(*this);
    if (!drawing) {
        EndLoadWithoutRoom();
        return;
    }

    if (LoaderCount == 6) {
        WriteLog("  Loader Count = 6.\n");
        Animations.Add(new ValueAnimationC(&GearFade), 750, 0, false, true);
    }

    WriteLog("  Draw Gears.\n");
    glClearColor(ColorFadeInValue.r(), ColorFadeInValue.g(), ColorFadeInValue.b(), 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (LoaderCount >= 6)
        DrawGears(GearFade);

    WriteLog("  Start Tool Tips.\n");
    BitmapFontC::PushOrtho2D(Viewport);
    // The label drawing breaks lines at a backslash followed by "n".
    RWCString text(DebugEnabled ? "-- Debugging active --\\n" : "");
    text += "Calculating parts...";
    feColor lineColor = ColorLabelTextValue;
    feColor fillColor = ColorLabelValue;
    lineColor.setAlpha(1.0f);
    fillColor.setAlpha(1.0f);
    Font.DrawLabel(text, true, true, true, 1, 1, 0, WindowHeight / 4, 1.0f, 40, 15, lineColor, fillColor, ModelViewMatrix,
                   ProjectionMatrix, Viewport);
    BitmapFontC::PopOrtho2D();
    WriteLog("  End Tool Tips.\n");
    WriteLog(" (- SwapBuffers -).\n");
    PresentFrame();
}
