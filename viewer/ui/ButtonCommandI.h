// ButtonCommandI: what a panel asks of whoever receives its clicks: a redraw, and a command id.
#pragma once

class ButtonCommandI {
public:
    virtual ~ButtonCommandI() = default;
    virtual void Redraw() = 0;
    // Ids outside the receiver's range are ignored (separators send -1).
    virtual void OnPanelCommand(int id) = 0;
};
