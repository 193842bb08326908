// ButtonCommandC: the control's receiver of panel clicks: runs the seventeen button commands.
#pragma once

#include "viewer/ui/ButtonCommandI.h"

class CTavoplexCtrl;

class ButtonCommandC : public ButtonCommandI {
public:
    // The web address the logo button opens (the maker's site).
    static constexpr const char* LogoAddress = "https://www.example.org/";

    explicit ButtonCommandC(CTavoplexCtrl* control) : Control(control) {}
    ButtonCommandC(const ButtonCommandC&) = delete;
    ButtonCommandC& operator=(const ButtonCommandC&) = delete;

    // Redraws the control's window at once.
    void Redraw() override;
    // 1-7 views, 8 and 15 help, 9 explode, 10 zoom to all, 11-14 display modes, 16 the
    // maker's site, 17 the quality settings; any other id does nothing.
    void OnPanelCommand(int id) override;

private:
    CTavoplexCtrl* Control;  // not owned
};
