// CTavoplexCtrl: the scripted methods (load a model, load and render it into a BMP file,
// camera matrix and zoom, the about box) and their dispatch by id and by name.
#include <cmath>
#include <strings.h>

#include "geometry/display/MemoryBlockC.h"
#include "platform/com/Variant.h"
#include "platform/host/Host.h"
#include "platform/sys.h"
#include "viewer/control/CTavoplexCtrl.h"

void CTavoplexCtrl::SetFileName(const RWCString& filename)
{
    FileName = filename;
    LoaderInitialized = false;
    FailureBeforeLoadLogged = false;
    LoaderCount = 0;
    Loading = true;
    DescriptorBlock.reset();
    // A zoom asked for the old model has nothing left to aim at.
    ZoomPending = false;
    ZoomPart = nullptr;
    RenderFrame();
}

bool CTavoplexCtrl::LoadAndCreateBMP(const RWCString& filename3d, const RWCString& filenameBMP, int32_t xSize,
                                     int32_t ySize, uint32_t waitLimitMs)
{
    // Without a context nothing can be drawn, and while Start is 0 no load moves on: both
    // would wait for ever.
    if (GLContext == nullptr || Start == 0 || xSize <= 0 || ySize <= 0)
        return false;
    Animations.SetEnabled(false);
    // Animations run again however the picture ends, a throw included.
    struct AnimationsBack {
        AnimationManagerC& animations;
        ~AnimationsBack() { animations.SetEnabled(true); }
    } animationsBack{Animations};
    SetFileName(filename3d);
    // The wait is bounded by real time, whatever clock the host gives the loader.
    const uint32_t begin = platform::sys::tickCount();
    while (Loading && uint32_t(platform::sys::tickCount() - begin) <= waitLimitMs) {
        RenderFrame();
        // Between the paced retries of a failing fetch there is nothing to do but wait.
        if (Loading && LoaderCount >= 6)
            platform::sys::sleepMilliseconds(5);
    }
    // The picture itself is drawn in the bitmap; a frame in the window first would cost a
    // whole scene for nothing, so only the timer step runs.
    bool written = false;
    if (!Loading && !LoadFailed) {
        OnTimer(1);
        written = CreateBMP(filenameBMP, xSize, ySize) == 0;
    }
    return written;
}

void CTavoplexCtrl::SetMatrix(double xx, double yx, double zx, double wx, double xy, double yy, double zy, double wy,
                              double xz, double yz, double zz, double wz)
{
    const double values[12] = {xx, yx, zx, wx, xy, yy, zy, wy, xz, yz, zz, wz};
    for (double v : values)
        if (!std::isfinite(v))
            return;
    TransformMatrix m;
    m.set(xx, yx, zx, wx, xy, yy, zy, wy, xz, yz, zz, wz, 0.0, 0.0, 0.0, 1.0);
    AnimateToRotation(m, true, 0);
}

double CTavoplexCtrl::GetZoom() const { return Zoom; }

void CTavoplexCtrl::SetZoom(double zoom)
{
    // A zero or endless zoom would make every later projection degenerate.
    if (!std::isfinite(zoom) || zoom == 0.0)
        return;
    Zoom = zoom;
    RedrawViewNow();
}

int CTavoplexCtrl::GetDispatchId(const std::string& name)
{
    static const struct {
        const char* name;
        int id;
    } kNames[] = {
        {"AboutBox", DispIdAboutBox},   {"SetFileName", DispIdSetFileName},
        {"SetParam", DispIdSetParam},   {"CreateBMP", DispIdCreateBMP},
        {"LoadAndCreateBMP", DispIdLoadAndCreateBMP}, {"SetMatrix", DispIdSetMatrix},
        {"GetZoom", DispIdGetZoom},     {"SetZoom", DispIdSetZoom},
    };
    // Script engines look names up ignoring case.
    for (const auto& entry : kNames)
        if (strcasecmp(entry.name, name.c_str()) == 0)
            return entry.id;
    return 0;
}

namespace {

bool textArg(const platform::com::Variant& v, RWCString& out)
{
    std::string text;
    if (!v.toText(text))
        return false;
    out = RWCString(text.data(), text.size());
    return true;
}

}  // namespace

bool CTavoplexCtrl::Invoke(int dispatchId, const std::vector<platform::com::Variant>& args,
                           platform::com::Variant* result)
{
    using platform::com::Variant;
    RWCString a, b;
    int32_t x = 0, y = 0;
    switch (dispatchId) {
    case DispIdAboutBox:
        if (!args.empty())
            return false;
        AboutBox();
        return true;
    case DispIdSetFileName:
        if (args.size() != 1 || !textArg(args[0], a))
            return false;
        SetFileName(a);
        return true;
    case DispIdSetParam:
        if (args.size() != 2 || !textArg(args[0], a) || !textArg(args[1], b))
            return false;
        SetParam(a, b);
        return true;
    case DispIdCreateBMP:
        if (args.size() != 3 || !textArg(args[0], a) || !args[1].toLong(x) || !args[2].toLong(y))
            return false;
        x = CreateBMP(a, x, y);
        if (result != nullptr)
            *result = Variant::fromLong(x);
        return true;
    case DispIdLoadAndCreateBMP:
        if (args.size() != 4 || !textArg(args[0], a) || !textArg(args[1], b) || !args[2].toLong(x) ||
            !args[3].toLong(y))
            return false;
    {
        // Scripts see a method without a result; a container that renders through it learns
        // whether the picture was written, as CreateBMP tells it (0: written).
        const bool written = LoadAndCreateBMP(a, b, x, y);
        if (result != nullptr)
            *result = Variant::fromLong(written ? 0 : 1);
        return true;
    }
    case DispIdSetMatrix: {
        double m[12];
        if (args.size() != 12)
            return false;
        for (size_t i = 0; i < 12; ++i)
            if (!args[i].toDouble(m[i]))
                return false;
        SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11]);
        return true;
    }
    case DispIdGetZoom:
        if (!args.empty())
            return false;
        if (result != nullptr)
            *result = Variant::fromDouble(GetZoom());
        return true;
    case DispIdSetZoom: {
        double zoom = 0.0;
        if (args.size() != 1 || !args[0].toDouble(zoom))
            return false;
        SetZoom(zoom);
        return true;
    }
    default:
        return false;
    }
}

bool CTavoplexCtrl::InvokeByName(const std::string& name, const std::vector<platform::com::Variant>& args,
                                 platform::com::Variant* result)
{
    const int id = GetDispatchId(name);
    return id != 0 && Invoke(id, args, result);
}
