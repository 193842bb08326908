// ButtonCommandC: what the panel buttons run on the control (for now only what the control's
// ownership needs).
#pragma once

class ButtonCommandC {
public:
    ButtonCommandC() = default;
    virtual ~ButtonCommandC() = default;
    ButtonCommandC(const ButtonCommandC&) = delete;
    ButtonCommandC& operator=(const ButtonCommandC&) = delete;
};
