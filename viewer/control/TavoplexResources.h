// The module's resources as data: its strings and its dialog templates (controls with id,
// kind, text, position and size in dialog units).
#pragma once

#include "platform/host/Dialog.h"

// String resources.
inline constexpr int IDS_TAVOPLEX = 1;           // the control's type name
inline constexpr int IDS_TAVOPLEX_PPG = 2;       // the property page's type name
inline constexpr int IDS_TAVOPLEX_PPG_CAPTION = 200;

// Dialog resources and their controls.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDD_ABOUTBOX_TAVOPLEX = 1;
inline constexpr int IDD_PROPPAGE_TAVOPLEX = 200;
inline constexpr int IDD_ADVANCED_SETTINGS = 206;
inline constexpr int IDD_QUICK_SETTINGS = 208;
inline constexpr int IDC_RADIO_HIGH = 210;  // starts the preset group: 210 to 213
inline constexpr int IDC_RADIO_NORMAL = 211;
inline constexpr int IDC_RADIO_LOW = 212;
inline constexpr int IDC_RADIO_USER = 213;
inline constexpr int IDC_ADVANCED_HEADING = 214;
inline constexpr int IDC_BUTTON_ADVANCED = 215;
inline constexpr int IDC_PRODUCT = 216;
inline constexpr int IDC_VERSION = 217;
inline constexpr int IDC_MAKER = 218;
inline constexpr int IDC_TITLE = 219;
inline constexpr int IDC_LINK = 220;

// The maker's web address: the quick-settings dialog's link and the panel's logo button.
inline constexpr const char* kMakerWebAddress = "http://www.korvane.example/";

// The text of a string resource; "" for an id the module does not have.
const char* LoadResourceString(int id);

// A fresh copy of a dialog template; a dialog without controls for an id the module does not
// have.
platform::host::Dialog LoadDialogResource(int id);
