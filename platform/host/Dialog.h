// Dialog: a modal dialog given as data (a table of controls in dialog units) and the state its
// logic works on; hosts show it, or answer it in code.
#pragma once

#include <functional>
#include <string>
#include <vector>

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
};

struct Dialog {
    std::string caption;
    int width = 0;  // dialog units
    int height = 0;
    std::vector<DialogControl> controls;
    // Runs when a control is clicked or a key picks it; the host has already updated the
    // check marks. Returning a non-zero value ends the dialog with that result.
    std::function<int(Dialog&, int id)> onCommand;

    DialogControl* find(int id);
    const DialogControl* find(int id) const;
    // Checks id and unchecks the other radio buttons of its group.
    void checkRadio(int id);
    // What a click on a control does: radio and check marks, then the dialog's logic; the
    // result that ends the dialog, or 0. Push buttons without logic end with their id.
    int click(int id);
};

}  // namespace platform::host
