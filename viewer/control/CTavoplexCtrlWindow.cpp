// CTavoplexCtrl: the window procedure through which the host delivers its messages, and the
// handlers of creation, destruction, size, paint and the 25 ms timer.
#include "platform/AddressSpace.h"
#include "platform/WebAddress.h"
#include "platform/host/Host.h"
#include "platform/host/Message.h"
#include "platform/sys.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/PanelC.h"
#include "viewer/ui/ToolTipC.h"

using platform::host::Message;
using platform::host::MessageKind;

long CTavoplexCtrl::WindowProc(const Message& message)
{
    const int lockDepth = GLLockCount;
    try {
        switch (message.kind) {
        case MessageKind::Create:
            return OnCreate();
        case MessageKind::Size:
            OnSize(0, message.width, message.height);
            return 0;
        case MessageKind::Paint:
            OnPaint();
            return 0;
        case MessageKind::Timer:
            OnTimer(message.timerId);
            return 0;
        case MessageKind::Destroy:
            OnDestroy();
            return 0;
        default: {
            long result = 0;
            OnMouseMessage(message, result);
            return result;
        }
        }
    } catch (...) {
        // Whatever a handler throws ends with that message and the control goes on working,
        // so a frame that failed while holding the OpenGL lock must not leave it raised.
        RestoreOpenGLLock(lockDepth);
        if (DebugEnabled)
            platform::sys::messageBox(
                "We have encountered an instability in the Stellomar. You can still continue to work.", "Stellomar",
                0);
        return 0;
    }
}

void CTavoplexCtrl::SetHostFolderFromAddress(const std::string& page)
{
    // An address's folder is that of its path: a query or a fragment may hold "/" too.
    const std::string address = page.substr(0, platform::address::pathEnd(page));
    const size_t slash = address.rfind('/');
    const size_t backslash = address.rfind('\\');
    size_t last = std::string::npos;
    if (slash != std::string::npos && backslash != std::string::npos)
        last = slash > backslash ? slash : backslash;
    else
        last = slash != std::string::npos ? slash : backslash;
    if (last == std::string::npos || last == 0)
        return;
    RWCString folder(address.data(), last + 1);
    if (folder.length() >= 7 && RWCString(folder.data(), 7) == "file://")
        folder = RWCString(folder.data() + 7, folder.length() - 7);
    HostFolder = folder;
}

int CTavoplexCtrl::OnCreate()
{
    if (HostSite != nullptr)
        SetHostFolderFromAddress(HostSite->pageAddress());
    // Under a memory limit too small for the renderer, it is not started: its compiler would
    // abort the whole program, which may be a host's page. The control stays without a context.
    // Asked before anything is made, so that it says what the program said once it had loaded
    // the module; at the figure the program named it starts, whatever its host made since.
    if (WindowContext == nullptr) {
        const platform::ReasonText shortfall = platform::sys::rendererStartShortfall();
        ContextFailure = RWCString(shortfall.data(), shortfall.length());
        if (!shortfall.empty())
            return 0;
    }
    // The font's glyphs are rasterized while the renderer starts up.
    BitmapFontC::PrepareGlyphs();
    SetupPixelFormat();
    InitOpenGL();
    return 0;
}

void CTavoplexCtrl::OnDestroy()
{
    LogFailureBeforeLoad();
    if (HostSite != nullptr)
        HostSite->stopTimer(1);
    ReleaseWindowContext();
}

void CTavoplexCtrl::OnSize(int, int width, int height)
{
    ResizeSurface(width, height);
    RenderFrame();
}

void CTavoplexCtrl::OnPaint() { RenderFrame(); }

void CTavoplexCtrl::OnDraw() { RenderFrame(); }

void CTavoplexCtrl::OnTimer(unsigned)
{
    const uint32_t now = LoaderTick();
    if (LastTick == 0xFFFFFFFFu) {
        LastTick = now;
        return;
    }
    const uint32_t elapsed = now - LastTick;
    // A tip that starts shows through its fade animation's updates.
    if (ToolTip != nullptr)
        ToolTip->Tick(now);
    const bool animated = Animations.Update(now);
    const bool stepped = TimerStep(elapsed);
    if (animated || stepped || Loading)
        RenderFrame();
    // The frame may have asked for the next tick to only record the time.
    if (LastTick != 0xFFFFFFFFu)
        LastTick = now;
}

bool CTavoplexCtrl::TimerStep(uint32_t elapsed)
{
    bool changed = false;
    if (Loading) {
        GearAngle = float(GearAngle + float(elapsed) / 50.0f);
        changed = true;
    }
    if (!PanelsActive)
        return changed;
    for (PanelC* panel : {MainPanel.get(), HelpPanel.get(), LogoPanel.get()})
        if (panel != nullptr && panel->Step(float(elapsed)))
            changed = true;
    return changed;
}
