// Message: what a host delivers to its control's window procedure (creation, size, paint,
// timer, mouse), with the mouse's modifier flags and a mark on button releases that the host
// made up itself.
#pragma once

#include <cstdint>

namespace platform::host {

enum class MessageKind {
    Create,
    Destroy,
    Size,
    Paint,
    Timer,
    MouseMove,
    LeftButtonDown,
    LeftButtonUp,
    LeftButtonDoubleClick,
    RightButtonDown,
    RightButtonUp,
    RightButtonDoubleClick,
    MiddleButtonDown,
    MiddleButtonUp,
    MouseWheel,
};

// Modifier flags of mouse messages: the buttons held and the Shift and Control keys.
enum ModifierFlag : unsigned {
    ModLeftButton = 0x01,
    ModRightButton = 0x02,
    ModShift = 0x04,
    ModControl = 0x08,
    ModMiddleButton = 0x10,
};

struct Message {
    MessageKind kind = MessageKind::Paint;
    int x = 0;               // pointer position in client pixels, y from the top
    int y = 0;
    int width = 0;           // Size: the new client size
    int height = 0;
    unsigned timerId = 0;    // Timer
    unsigned modifiers = 0;  // mouse messages: ModifierFlag bits
    int wheelDelta = 0;      // MouseWheel: multiples of 120, positive away from the user
    // Button releases: made up by the host (the window lost the focus while the button was
    // held), not made by the user. Such a release ends a drag but is no click.
    bool madeUp = false;

    static Message create() { return Message{MessageKind::Create}; }
    static Message destroy() { return Message{MessageKind::Destroy}; }
    static Message paint() { return Message{MessageKind::Paint}; }
    static Message size(int width, int height)
    {
        Message m{MessageKind::Size};
        m.width = width;
        m.height = height;
        return m;
    }
    static Message timer(unsigned id)
    {
        Message m{MessageKind::Timer};
        m.timerId = id;
        return m;
    }
    static Message mouse(MessageKind kind, int x, int y, unsigned modifiers = 0)
    {
        Message m{kind};
        m.x = x;
        m.y = y;
        m.modifiers = modifiers;
        return m;
    }
    static Message madeUpRelease(MessageKind kind, int x, int y)
    {
        Message m = mouse(kind, x, y);
        m.madeUp = true;
        return m;
    }
    static Message wheel(int delta, int x, int y, unsigned modifiers = 0)
    {
        Message m = mouse(MessageKind::MouseWheel, x, y, modifiers);
        m.wheelDelta = delta;
        return m;
    }
};

}  // namespace platform::host
