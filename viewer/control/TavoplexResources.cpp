// The module's strings and dialog templates.
#include "viewer/control/TavoplexResources.h"

using platform::host::Dialog;
using platform::host::DialogControl;
using platform::host::DialogControlKind;

namespace {

DialogControl label(int id, const char* text, int x, int y, int w, int h, bool centred)
{
    DialogControl c{id, DialogControlKind::Label, text, x, y, w, h};
    c.centred = centred;
    return c;
}

DialogControl button(int id, const char* text, int x, int y, int w, int h, bool isDefault = false)
{
    return DialogControl{id, isDefault ? DialogControlKind::DefaultPushButton : DialogControlKind::PushButton,
                         text, x, y, w, h};
}

DialogControl radio(int id, const char* text, int x, int y, int w, int h, bool groupStart)
{
    DialogControl c{id, DialogControlKind::RadioButton, text, x, y, w, h};
    c.groupStart = groupStart;
    return c;
}

Dialog dialog(const char* caption, int w, int h, const char* font)
{
    Dialog d;
    d.caption = caption;
    d.width = w;
    d.height = h;
    d.fontName = font;
    d.fontSize = 8;
    return d;
}

Dialog aboutBox()
{
    Dialog d = dialog("About Tavoplex Control", 260, 55, "MS Sans Serif");
    d.controls = {
        label(-1, "Tavoplex Control, Version 1.0", 40, 10, 119, 8, false),
        label(-1, "Made by Korvane", 40, 25, 119, 8, false),
        button(IDOK, "OK", 221, 7, 32, 14, true),
    };
    return d;
}

Dialog propertyPage()
{
    Dialog d = dialog("Settings", 285, 111, "MS Sans Serif");
    d.controls = {button(IDOK, "OK", 88, 90, 50, 14, true), button(IDCANCEL, "Cancel", 147, 90, 50, 14)};
    return d;
}

Dialog advancedSettings()
{
    Dialog d = dialog("", 285, 130, "MS Shell Dlg");
    d.controls = {
        label(IDC_ADVANCED_HEADING, "Advanced Settings", 7, 7, 271, 11, true),
        button(IDOK, "OK", 88, 109, 50, 14, true),
        button(IDCANCEL, "Cancel", 147, 109, 50, 14),
    };
    return d;
}

Dialog quickSettings()
{
    // No caption bar: the caption only names the window to the window manager.
    Dialog d = dialog("3D Viewer Quick Settings", 285, 185, "MS Shell Dlg");
    DialogControl user = radio(IDC_RADIO_USER, "User settings (For advanced users)...", 7, 145, 165, 10, false);
    user.visible = false;
    DialogControl advanced = button(IDC_BUTTON_ADVANCED, "Advanced...", 177, 143, 101, 14);
    advanced.visible = false;
    d.controls = {
        label(IDC_PRODUCT, "Stellomar", 7, 7, 271, 11, true),
        label(IDC_VERSION, "Version: 1.0.0.32", 7, 23, 271, 11, true),
        label(IDC_MAKER, "Made by Korvane", 7, 36, 271, 11, true),
        label(IDC_LINK, kMakerWebAddress, 104, 49, 78, 11, true),
        label(IDC_TITLE, "3D Viewer Quick Settings", 7, 66, 271, 11, true),
        radio(IDC_RADIO_HIGH, "High detail (Fast processor, fast graphic adapter)", 7, 85, 271, 10, true),
        radio(IDC_RADIO_NORMAL, "Normal detail (Medium processor, medium graphic adapter)", 7, 105, 271, 10, false),
        radio(IDC_RADIO_LOW, "Low detail (Slow processor, slow graphic adapter)", 7, 125, 271, 10, false),
        user,
        advanced,
        button(IDOK, "OK", 88, 164, 50, 14, true),
        button(IDCANCEL, "Cancel", 147, 164, 50, 14),
    };
    return d;
}

}  // namespace

const char* LoadResourceString(int id)
{
    switch (id) {
    case IDS_TAVOPLEX:
        return "Tavoplex Control";
    case IDS_TAVOPLEX_PPG:
        return "Tavoplex Property Page";
    case IDS_TAVOPLEX_PPG_CAPTION:
        return "General";
    default:
        return "";
    }
}

Dialog LoadDialogResource(int id)
{
    switch (id) {
    case IDD_ABOUTBOX_TAVOPLEX:
        return aboutBox();
    case IDD_PROPPAGE_TAVOPLEX:
        return propertyPage();
    case IDD_ADVANCED_SETTINGS:
        return advancedSettings();
    case IDD_QUICK_SETTINGS:
        return quickSettings();
    default:
        return Dialog{};
    }
}
