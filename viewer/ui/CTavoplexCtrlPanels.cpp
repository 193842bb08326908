// CTavoplexCtrl: building the panels (main buttons, help picture, logo), their commands and
// the metal texture, once per control.
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/textures/TextureCacheC.h"
#include "viewer/ui/ButtonCommandC.h"
#include "viewer/ui/PanelButtonC.h"
#include "viewer/ui/PanelC.h"

#ifndef GL_CLAMP
#define GL_CLAMP 0x2900
#endif

namespace {

// The main panel's row, left to right; -1 marks a separator.
struct MainButton {
    int id;
    const char* image;
};
constexpr MainButton kMainButtons[] = {
    {11, "line.png"},  {13, "shade.png"}, {14, "shade_line.png"}, {-1, nullptr},    {10, "zoom.png"},
    {-1, nullptr},     {1, "front.png"},  {2, "back.png"},        {3, "left.png"},  {4, "right.png"},
    {5, "top.png"},    {6, "bottom.png"}, {7, "isometric.png"},   {-1, nullptr},    {9, "explode.png"},
    {8, "help.png"},   {17, "options.png"},
};

// A fully transparent colour: the panel's background (or a separator) never shows.
const feColor kInvisible(0.0f, 0.0f, 0.0f, 1.0f);

}  // namespace

RWCString CTavoplexCtrl::PanelImagePath(const char* name) const
{
    return UserFolder.join(UTFilePath(name)).nativePath();
}

bool CTavoplexCtrl::BuildPanels()
{
    if (Commands != nullptr)
        return true;
    RefreshImageCache();
    // The textures are made in the control's context (the lock is re-entrant). Refused for want
    // of the renderer's room, nothing is made, so that a later call builds them all.
    OpenGLLock lock(*this);
    if (!lock)
        return false;
    Commands = std::make_unique<ButtonCommandC>(this);
    const RWCString left = PanelImagePath("panel_left.png");
    const RWCString centre = PanelImagePath("panel_center.png");
    const RWCString right = PanelImagePath("panel_right.png");
    // A shown panel (still faded out) with the settings every panel gets.
    auto newPanel = [&](int alignH, int alignV, float offsetX, float offsetY, const feColor& out,
                        const feColor& in, float highlight) {
        auto panel = std::make_unique<PanelC>(Commands.get(), &Animations);
        panel->SetAlignment(alignH, alignV);
        panel->SetOffset(offsetX, offsetY);
        panel->SetColors(out, in);
        panel->SetPieceImages(left.data(), centre.data(), right.data());
        panel->SetFadeTimes(250.0f, highlight);
        panel->Show();
        return panel;
    };

    if (Buttons != 0) {
        MainPanel = newPanel(1, 0, 0.0f, 8.0f, ColorPanelOutValue, ColorPanelInValue, 25.0f);
        for (const MainButton& entry : kMainButtons) {
            PanelButtonC* button = MainPanel->AddButton(entry.id);
            if (entry.image == nullptr) {
                button->SetColors(kInvisible, kInvisible, kInvisible);
                button->SetSize(15, ButtonSize, true);
                continue;
            }
            button->SetSize(ButtonSize, ButtonSize, true);
            button->SetColors(ColorPanelButtonsOutValue, ColorPanelButtonsIn1Value, ColorPanelButtonsIn2Value);
            button->LoadTexture(PanelImagePath(entry.image).data());
        }

        // Shown only when the help command fades it in.
        HelpPanel = newPanel(1, 1, 0.0f, 0.0f, kInvisible, kInvisible, 25.0f);
        PanelButtonC* help = HelpPanel->AddButton(15);
        help->SetSize(256, 256, true);
        help->SetColors(ColorHelpPanelValue, ColorHelpPanelValue, ColorHelpPanelValue);
        help->LoadTexture(PanelImagePath("mouse_help.png").data());
    }

    if (Logo != 0) {
        LogoPanel = newPanel(2, 2, -5.0f, -5.0f, kInvisible, kInvisible, 250.0f);
        PanelButtonC* logo = LogoPanel->AddButton(16);
        logo->SetSize(142, 29, false);
        // Faint until the pointer is over the panel.
        logo->SetColors(feColor(1.0f, 1.0f, 1.0f, 0.9f), feColor(1.0f, 1.0f, 1.0f, 0.0f),
                        feColor(1.0f, 1.0f, 1.0f, 0.0f));
        logo->LoadTexture(PanelImagePath("korvane.png").data());
    }

    MetalTexture.reset(TextureCacheC::Instance()->LoadPng(PanelImagePath("metal.png").data(), 0, GL_CLAMP,
                                                          GL_LINEAR, GL_LINEAR));
    return true;
}

void CTavoplexCtrl::DeletePanels()
{
    MainPanel.reset();
    HelpPanel.reset();
    LogoPanel.reset();
    Commands.reset();
    MetalTexture.reset();
}
