// CTavoplexCtrl: construction with its defaults, the per-user folder, settings and debug log,
// and destruction.
#include "viewer/control/CTavoplexCtrl.h"

#include <memory>
#include <utility>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/display/MemoryBlockC.h"
#include "geometry/readers/ZJVReaderC.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "platform/sys.h"
#include "services/config/CSConfigItem.h"
#include "services/config/CSConfigVal.h"
#include "services/environment/RegistryAccess.h"
#include "services/environment/TextExpansion.h"
#include "viewer/render/DrawPacerC.h"
#include "viewer/render/PartListCompileC.h"
#include "viewer/textures/TextureC.h"
#include "viewer/ui/ButtonCommandC.h"
#include "viewer/ui/PanelC.h"
#include "viewer/ui/ToolTipC.h"

namespace {

const char kShellFoldersKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The per-user application-data folder, else the registry's note of it, else the temporary
// folder; without trailing separators.
RWCString applicationDataFolder()
{
    RWCString folder(platform::sys::userAppDataFolder().c_str());
    if (folder.isNull())
        folder = readRegistryValue(kShellFoldersKey, "AppData");
    if (folder.isNull())
        folder = expandString("%TEMP%");
    size_t n = folder.length();
    while (n > 0 && (folder.data()[n - 1] == '\\' || folder.data()[n - 1] == '/'))
        --n;
    return RWCString(folder.data(), n);
}

}  // namespace

CTavoplexCtrl::CTavoplexCtrl()
{
    // The tip names the part under the pointer through the control's picking (faded parts
    // left out).
    auto partNameAt = [this](int x, int y) {
        const FEDisplayPartRefC* hit = PickPart(Point2D(x, y), false);
        return hit != nullptr && hit->GetPart() != nullptr ? RWCString(hit->GetPart()->getName()) : RWCString("");
    };
    ToolTip = std::make_unique<ToolTipC>(partNameAt, &Animations, &Font, 225, 175);

    ColorTL = "#85C7E9";
    ColorTR = "#FFFFFF";
    ColorBL = "#51A1C4";
    ColorBR = "#85C7E9";
    ColorGrid = "#000000";
    ColorFadeIn = "#FFFFFF";
    ColorPanelOut = "#FFFFFF";
    ColorPanelIn = "#FFFFFF";
    ColorPanelButtonsOut = "#AAAAAA";
    ColorPanelButtonsIn1 = "#AAAAAA";
    ColorPanelButtonsIn2 = "#85C7E9";
    ColorHelpPanel = "#85C7E9";
    ColorLabel = "#FFFFCC";
    ColorLabelText = "#000000";

    // Creation never fails towards the container: whatever goes wrong with the folder, the
    // settings or the log leaves the control with what it has got so far.
    try {
        UserFolder = UTFilePath(applicationDataFolder()).join(UTFilePath("korvane/tavoplex"));
        UserFolder.makeDirectories(true);
        ShadowQuality = 1;
        GearsEnabled = 1;
        Shading = 2;
        Antialiasing = 1;
        Metallic = 0;
        DebugEnabled = false;
        Config.open(UserFolder.join(UTFilePath("tavoplex.cfg")).nativePath());
        CSConfigItem* debug = Config.findItem("DEBUG", "COMMON");
        if (debug != nullptr && debug->getValue()->getInt() != 0) {
            LogStream.open(UserFolder.join(UTFilePath("tavoplex.log")).nativePath().data(),
                           std::ios::out | std::ios::trunc | std::ios::binary);
            LogStream << "Starting debugging session:\n";
            LogStream.flush();
            DebugEnabled = LogStream.is_open() && LogStream.good();
        }
    } catch (...) {
        DebugEnabled = LogStream.is_open() && LogStream.good();
    }
}

CTavoplexCtrl::~CTavoplexCtrl()
{
    // A compile still running reads the model and has contexts sharing the window's.
    AbandonPartLists();
    // Whatever the owned objects hold in OpenGL goes while the control's context is current,
    // once the renderer has drawn all it was given: deleting waits for that without a bound.
    // A renderer that failed keeps them, and the context, to the process's end; with no context
    // current, what the owned objects delete below is no call at all.
    bool current = !RendererLost && WindowContext != nullptr && WindowSurface != nullptr &&
                   WindowContext->makeCurrent(*WindowSurface);
    if (current && !DrawPacerC::caughtUp()) {
        RendererLost = true;
        WindowContext->release();
        current = false;
    }
    // The hits of the last pick are owned by the list. The owned objects are let go here, in
    // this order and with the context current, not left to the members' own destruction,
    // which would come after the context is released.
    PickList.clearAndDestroy();
    Parts.reset();
    Reader.reset();
    // The tool tip first: its fades still listed with the animations are cut loose.
    ToolTip.reset();
    DeletePanels();
    DescriptorBlock.reset();
    if (current) {
        Font.Destroy();
        if (ShadowTexture != GLuint(-1))
            glDeleteTextures(1, &ShadowTexture);
        DeleteGearLists();
        WindowContext->release();
    }
    if (RendererLost) {
        // Destroying the context would wait inside the renderer too; the surface is its buffer.
        platform::gl::GlContext::keepToTheEnd(std::move(WindowContext), std::move(WindowSurface));
    }
    WindowContext.reset();
    WindowSurface.reset();
}

CTavoplexCtrl* CTavoplexCtrl::CreateObject() { return new CTavoplexCtrl(); }

void CTavoplexCtrl::WriteLog(const char* text)
{
    if (!DebugEnabled || text == nullptr)
        return;
    LogStream << text;
    LogStream.flush();
}
