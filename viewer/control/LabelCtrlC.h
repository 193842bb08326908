// LabelCtrlC: a static text of a dialog with its own colours, font, border, link behaviour and
// flashing.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/RWCString.h"
#include "platform/host/Cursor.h"
#include "platform/host/Dialog.h"

// Colours are 0xRRGGBB.
inline constexpr uint32_t kSystemWindowText = 0x000000;  // the system's window text colour
inline constexpr uint32_t kSystemFace = 0xF0F0F0;        // the system's dialog face colour

// What a label is drawn with: the answer to the colour request a dialog makes before drawing
// its static controls.
struct LabelPaint {
    uint32_t textColor = kSystemWindowText;
    bool transparentText = true;
    uint32_t brushColor = kSystemFace;
};

// A logical font: height in pixels (negative: character height), weight, style and face.
struct LabelFontDesc {
    int height = -11;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    RWCString faceName = "MS Shell Dlg";
};

class LabelCtrlC {
public:
    LabelCtrlC();

    // Binds the label to a control of a dialog (the window it stands for) and shows its look
    // there. Setters on an unbound label only change the label's own state.
    void Attach(platform::host::Dialog* dialog, int id);

    // Colours, styles and font; each redraws the label except SetBkColor, whose brush shows at
    // the next drawing.
    void SetText(const RWCString& text);
    RWCString GetText() const;
    void SetTextColor(uint32_t color);
    void SetBkColor(uint32_t color);
    void SetBorder(bool on);
    void SetSunken(bool on);
    // A link label takes clicks (and opens its text).
    void SetLink(bool on);
    void SetLinkCursor(std::optional<platform::host::Cursor> cursor);
    void SetFontBold(bool on);
    void SetFontItalic(bool on);
    void SetFontUnderline(bool on);
    void SetFontSize(int size);
    void SetFontName(const RWCString& name);
    // Flashing every 500 ms: the text blinks, or the background turns to the face colour.
    void FlashText(bool on);
    void FlashBackground(bool on);

    // ---- message handlers ----
    LabelPaint OnCtlColor() const;
    void OnTimer(unsigned id);
    // A click: opens the label's text with the system (a web address in the browser).
    void OnLButtonDown();
    // True when the label shows its own cursor.
    bool OnSetCursor() const;

    uint32_t TextColor = kSystemWindowText;
    uint32_t BackBrush = kSystemFace;
    uint32_t FlashBrush = kSystemFace;
    LabelFontDesc FontDesc;
    LabelFontDesc Font;  // the font in use, remade from FontDesc after each change
    RWCString SavedText;
    bool FlashPhase = false;
    bool Flashing = false;
    int FlashMode = 0;  // 0 none, 1 text, 2 background
    std::optional<platform::host::Cursor> LinkCursor;

private:
    static constexpr unsigned kFlashTimer = 1;
    platform::host::DialogControl* control() const;
    void RemakeFont();
    // Shows the label's current look in its dialog control (the redraw).
    void Redraw();
    void StopFlash();

    platform::host::Dialog* dialog_ = nullptr;
    int id_ = 0;
    // Window styles.
    bool border_ = false;
    bool sunken_ = false;
    bool notify_ = false;
    RWCString text_;  // the text of an unbound label
};
