// Dialog: a modal dialog given as data (a table of controls in dialog units) and the state its
// logic works on; hosts show it, or answer it in code.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/Cursor.h"

namespace platform::host {

// Results of a modal dialog.
inline constexpr int DialogOk = 1;
inline constexpr int DialogCancel = 2;

enum class DialogControlKind { Label, GroupBox, RadioButton, CheckBox, PushButton, DefaultPushButton, Link };

struct DialogControl {
    int id = 0;
    DialogControlKind kind = DialogControlKind::Label;
    std::string text;
    int x = 0;  // position and size in dialog units
    int y = 0;
    int width = 0;
    int height = 0;
    bool checked = false;   // radio buttons and check boxes
    bool groupStart = false;  // a radio button that starts a new group
    // A disabled or hidden control takes no clicks; a hidden one is not drawn.
    bool enabled = true;
    bool visible = true;
    // How a host draws the control. Colours are 0xRRGGBB; without one the system's colours
    // for window text and dialog faces apply. A label takes clicks only with notify set.
    bool centred = false;
    std::optional<uint32_t> textColor{};
    std::optional<uint32_t> backColor{};
    bool border = false;
    bool sunken = false;
    bool notify = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int fontHeight = 0;    // character height in pixels; 0: the dialog's font size
    std::string fontName{};  // empty: the dialog's font
    std::optional<Cursor> cursor{};  // shown while the pointer is over the control
};

// A timer of one control of a dialog (a label's flashing); the host calls the dialog's onTimer
// every periodMs while the dialog runs.
struct DialogTimer {
    int controlId = 0;
    unsigned id = 0;
    unsigned periodMs = 0;
};

struct Dialog {
    std::string caption;
    int width = 0;  // dialog units
    int height = 0;
    std::string fontName;  // the dialog's font and its size in points
    int fontSize = 8;
    std::vector<DialogControl> controls;
    std::vector<DialogTimer> timers;
    // Runs for each timer tick; may change the controls.
    std::function<void(Dialog&, int controlId, unsigned timerId)> onTimer;
    // Runs when a control is clicked or a key picks it; the host has already updated the
    // check marks. Returning a non-zero value ends the dialog with that result.
    std::function<int(Dialog&, int id)> onCommand;

    DialogControl* find(int id);
    const DialogControl* find(int id) const;
    // Checks id and unchecks the other radio buttons of its group.
    void checkRadio(int id);
    // What a click on a control does: radio and check marks, then the dialog's logic; the
    // result that ends the dialog, or 0. Push buttons without logic end with their id. A
    // disabled or hidden control, and a label without notify, takes no click (links do).
    int click(int id);
    // Starts (or restarts) a control's timer, and stops it.
    void startTimer(int controlId, unsigned id, unsigned periodMs);
    void stopTimer(int controlId, unsigned id);
    // One tick of a running timer (what a host calls as time passes); false when it is not
    // running.
    bool tick(int controlId, unsigned id);
};

}  // namespace platform::host
