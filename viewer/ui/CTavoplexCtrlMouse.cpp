// CTavoplexCtrl, mouse handling: rotate, pan and zoom drags, the wheel, right-click fades, the
// double-click zoom, the panels and tool tip fed with the pointer, and the page's script call.
#include <cstdlib>
#include <string>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "platform/host/Host.h"
#include "platform/host/Message.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/PanelC.h"
#include "viewer/ui/ToolTipC.h"

namespace {

constexpr int kLeftButtonCode = 0;
constexpr int kRightButtonCode = 2;
constexpr int kDoubleClickZoomMs = 350;
constexpr float kRightClickFade = 0.75f;
// A right release within this many pixels of its press is a click, not a zoom drag.
constexpr int kClickSlack = 1;
// Wheel delta per zoom unit: 120 a notch gives 10.
constexpr double kWheelDivisor = 12.0;

Point2D toPoint2D(ControlPoint p) { return Point2D(p.x, p.y); }

// Hands a pointer event to the panels: the main panel, the help panel while it is shown, and the
// logo panel when withLogo is set. Missing panels are skipped.
template <typename Call>
void forEachPanel(CTavoplexCtrl& c, bool withLogo, Call call)
{
    if (c.MainPanel != nullptr)
        call(*c.MainPanel);
    if (c.HelpPanel != nullptr && c.HelpShown)
        call(*c.HelpPanel);
    if (c.LogoPanel != nullptr && withLogo)
        call(*c.LogoPanel);
}

// A press of either button: the capture, the drag's start, the tool tip held back and the
// panels told which button went down.
void buttonDown(CTavoplexCtrl& c, bool& buttonFlag, int code, ControlPoint point)
{
    if (c.HostSite != nullptr)
        c.HostSite->captureMouse();
    buttonFlag = true;
    c.LastMousePoint = point;
    c.PressPoint = point;
    if (c.ToolTip != nullptr)
        c.ToolTip->Suppress();
    const int y = c.WindowHeight - point.y;
    forEachPanel(c, true, [&](PanelC& panel) { panel.OnMouseDown(code, point.x, y); });
}

}  // namespace

void CTavoplexCtrl::OnLButtonDown(unsigned, ControlPoint point)
{
    buttonDown(*this, LeftButtonDown, kLeftButtonCode, point);
}

void CTavoplexCtrl::OnRButtonDown(unsigned, ControlPoint point)
{
    buttonDown(*this, RightButtonDown, kRightButtonCode, point);
}

void CTavoplexCtrl::OnLButtonUp(unsigned, ControlPoint point, bool madeUp)
{
    // With the right button still held the drag goes on: the capture stays.
    if (!RightButtonDown) {
        if (HostSite != nullptr)
            HostSite->releaseMouse();
        if (ToolTip != nullptr)
            ToolTip->Rearm(LoaderTick(), point.x, point.y);
    }
    LeftButtonDown = false;
    if (madeUp) {
        // No click happened: a press left on a button must not complete a later click.
        forEachPanel(*this, true, [](PanelC& panel) { panel.CancelPress(); });
        return;
    }
    FEDisplayPartRefC* hit = PickPart(toPoint2D(point), false);
    if (RightButtonDown)
        return;
    const int y = WindowHeight - point.y;
    // A part drawn over the logo takes the click.
    forEachPanel(*this, hit == nullptr, [&](PanelC& panel) { panel.OnClick(kLeftButtonCode, point.x, y); });
}

void CTavoplexCtrl::OnRButtonUp(unsigned, ControlPoint point, bool madeUp)
{
    bool fadedHit = false;
    if (!LeftButtonDown) {
        if (HostSite != nullptr)
            HostSite->releaseMouse();
        if (ToolTip != nullptr)
            ToolTip->Rearm(LoaderTick(), point.x, point.y);
        const bool click = !madeUp && std::abs(point.x - PressPoint.x) <= kClickSlack &&
                           std::abs(point.y - PressPoint.y) <= kClickSlack;
        if (click) {
            FEDisplayPartRefC* hit = PickPart(toPoint2D(point), true);
            if (hit != nullptr) {
                FadePart(hit, kRightClickFade);
                fadedHit = true;
            } else {
                FadeAllParts(0.0f);
            }
        }
    }
    RightButtonDown = false;
    if (madeUp)
        return;
    const int y = WindowHeight - point.y;
    forEachPanel(*this, !fadedHit, [&](PanelC& panel) { panel.OnClick(kRightButtonCode, point.x, y); });
}

void CTavoplexCtrl::OnMouseMove(unsigned, ControlPoint point)
{
    const int dx = point.x - LastMousePoint.x;
    const int dy = point.y - LastMousePoint.y;
    if (dx == 0 && dy == 0)
        return;
    if (LeftButtonDown && RightButtonDown) {
        PanMove(LastMousePoint, dx, dy);
    } else if (RightButtonDown) {
        // Dragging down shrinks the model, up enlarges it.
        ZoomStep(dy);
    } else if (LeftButtonDown) {
        RotateMove(dx, dy);
    } else {
        const int y = WindowHeight - point.y;
        forEachPanel(*this, true, [&](PanelC& panel) { panel.OnMouseMove(point.x, y); });
        if (LogoPanel != nullptr && HostSite != nullptr)
            HostSite->setCursor(LogoPanel->IsHovered() ? platform::host::Cursor::Hand
                                                       : platform::host::Cursor::Arrow);
        if (ToolTip != nullptr)
            ToolTip->PointerMoved(LoaderTick(), point.x, point.y);
    }
    LastMousePoint = point;
}

long CTavoplexCtrl::OnMouseWheel(unsigned, int delta, ControlPoint)
{
    ZoomStep(delta / kWheelDivisor);
    return 0;
}

void CTavoplexCtrl::OnLButtonDblClk(unsigned flags, ControlPoint point)
{
    FEDisplayPartRefC* hit = PickPart(toPoint2D(point), false);
    if (hit != nullptr && (flags & platform::host::ModShift) != 0 && hit->GetPart() != nullptr) {
        const FEDisplayPartC* part = hit->GetPart();
        CallDoubleClickScript("TavoPlex_DoubleClickPart", {part->getName(), part->getMID()});
        return;
    }
    RequestZoom(hit, kDoubleClickZoomMs);
}

bool CTavoplexCtrl::OnMouseMessage(const platform::host::Message& message, long& result)
{
    using platform::host::MessageKind;
    const ControlPoint point{message.x, message.y};
    result = 0;
    switch (message.kind) {
    case MessageKind::MouseMove:
        OnMouseMove(message.modifiers, point);
        return true;
    case MessageKind::LeftButtonDown:
        OnLButtonDown(message.modifiers, point);
        return true;
    case MessageKind::LeftButtonUp:
        OnLButtonUp(message.modifiers, point, message.madeUp);
        return true;
    case MessageKind::LeftButtonDoubleClick:
        OnLButtonDblClk(message.modifiers, point);
        return true;
    case MessageKind::RightButtonDown:
        OnRButtonDown(message.modifiers, point);
        return true;
    case MessageKind::RightButtonUp:
        OnRButtonUp(message.modifiers, point, message.madeUp);
        return true;
    case MessageKind::MouseWheel:
        result = OnMouseWheel(message.modifiers, message.wheelDelta, point);
        return true;
    default:
        return false;
    }
}

bool CTavoplexCtrl::CallDoubleClickScript(const RWCString& name, const std::vector<RWCString>& arguments)
{
    if (HostSite == nullptr)
        return false;
    if (!HostSite->hasScript()) {
        WriteLog("Cannot GetScript\n");
        return false;
    }
    const std::string function(name.data(), name.length());
    if (!HostSite->hasScriptFunction(function)) {
        WriteLog("GetIDs fail!\n");
        return false;
    }
    std::vector<std::string> texts;
    texts.reserve(arguments.size());
    for (const RWCString& a : arguments)
        texts.emplace_back(a.data(), a.length());
    if (!HostSite->invokeScriptFunction(function, texts)) {
        WriteLog("Invoke fail!\n");
        return false;
    }
    return true;
}
