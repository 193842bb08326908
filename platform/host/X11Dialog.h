// X11Dialog: a dialog given as data shown in its own X11 window: its controls drawn with a
// core font, clicks and keys turned into the dialog's clicks.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "platform/host/Cursor.h"
#include "platform/host/Dialog.h"

// Xlib's types, named without its header: its macros (Status, None, Bool...) would change the
// meaning of any file that includes this one, so they stay inside the X11 sources.
struct _XDisplay;
struct _XGC;
union _XEvent;

namespace platform::host {

// A control's rectangle in pixels inside its dialog's window.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

// The X cursor shape (cursorfont.h) that stands for a cursor.
unsigned x11CursorShape(Cursor cursor);

// How the wait for a new window to show ended.
enum class MapWait { Mapped, Destroyed, TimedOut };
// Waits until a window that selected StructureNotifyMask is mapped, or destroyed before that (a
// window manager may destroy it at its map request, another client at any time); a window
// manager that holds it back for 10 s is not waited for longer. Takes only the window's
// MapNotify or DestroyNotify from the queue; every other event stays for the event loop.
MapWait waitUntilMapped(_XDisplay* display, unsigned long window);

class X11Dialog {
public:
    // Dialog units to pixels: the dialog font's average character is 6 by 13 pixels, a
    // horizontal unit a quarter of its width and a vertical one an eighth of its height.
    static DialogRect pixelRect(int x, int y, int width, int height);
    static DialogRect pixelRect(const DialogControl& c) { return pixelRect(c.x, c.y, c.width, c.height); }

    // Maps the dialog's window centred over owner (kept on the screen) and takes the focus.
    X11Dialog(_XDisplay* display, unsigned long owner, Dialog& dialog);
    ~X11Dialog();
    X11Dialog(const X11Dialog&) = delete;
    X11Dialog& operator=(const X11Dialog&) = delete;

    // False when the window could not be made or was destroyed before it showed.
    bool ok() const { return window_ != 0; }
    // The dialog's X window (an XID).
    unsigned long window() const { return window_; }

    // An event of the dialog's window; the result that ends the dialog, or 0. The window
    // destroyed by another client ends it as Cancel would, even where Cancel is disabled.
    int handle(const _XEvent& event);
    // Ticks the dialog's timers that are due; the milliseconds until the next one (at most
    // limitMs).
    int tickTimers(uint32_t now, int limitMs);
    // Redraws the whole window (after the dialog's state may have changed).
    void draw();

private:
    // The visible control under a point, or null.
    const DialogControl* hit(int px, int py) const;
    int pressKey(bool enter);
    unsigned long pixel(uint32_t rgb) const;
    void drawText(const DialogControl& c, const DialogRect& r, uint32_t colour, int textX, bool centred);
    void drawControl(const DialogControl& c);
    void setCursorFor(const DialogControl* c);

    _XDisplay* display_;
    Dialog& dialog_;
    unsigned long window_ = 0;
    _XGC* gc_ = nullptr;
    void* font_ = nullptr;  // Xlib's XFontStruct: a typedef of an unnamed struct, not declarable here
    unsigned long deleteAtom_ = 0;
    int pressed_ = 0;  // the control a left button went down on (0: none)
    bool pressing_ = false;
    std::map<Cursor, unsigned long> cursors_;  // X cursors (XIDs) made for our cursors
    bool cursorShown_ = false;
    std::map<std::pair<int, unsigned>, uint32_t> timerDue_;
};

}  // namespace platform::host
