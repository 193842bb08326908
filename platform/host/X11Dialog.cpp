// X11Dialog: the dialog's window, its drawing, and clicks, keys and timers on it.
#include "platform/host/X11Dialog.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>

namespace platform::host {

namespace {

constexpr uint32_t kFace = 0xD4D0C8;       // dialog faces
constexpr uint32_t kText = 0x000000;       // window text
constexpr uint32_t kGrey = 0x808080;       // disabled text and shadows
constexpr uint32_t kLight = 0xFFFFFF;      // highlights
constexpr int kRadioSize = 11;             // the radio circle and the check box, in pixels

// A window manager maps a new window at once; one that holds it back longer is not waited
// for: the window is drawn when it shows (its Expose).
constexpr int kMapPatienceMs = 10000;

XFontStruct* asFont(void* font) { return static_cast<XFontStruct*>(font); }

Bool isMapOrDestroyOf(Display*, XEvent* event, XPointer window)
{
    const Window w = *reinterpret_cast<const Window*>(window);
    return (event->type == MapNotify && event->xmap.window == w) ||
           (event->type == DestroyNotify && event->xdestroywindow.window == w);
}

}  // namespace

MapWait waitUntilMapped(Display* display, Window window)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMapPatienceMs);
    for (;;) {
        XEvent event;
        // Looks through the queue, then reads what the server has sent, without blocking.
        if (XCheckIfEvent(display, &event, isMapOrDestroyOf, reinterpret_cast<XPointer>(&window)))
            return event.type == MapNotify ? MapWait::Mapped : MapWait::Destroyed;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return MapWait::TimedOut;
        pollfd p{ConnectionNumber(display), POLLIN, 0};
        poll(&p, 1, int(left));
    }
}

unsigned x11CursorShape(Cursor cursor)
{
    switch (cursor) {
    case Cursor::Hand:
        return XC_hand2;
    case Cursor::Wait:
        return XC_watch;
    case Cursor::SizeAll:
        return XC_fleur;
    case Cursor::Cross:
        return XC_crosshair;
    case Cursor::Arrow:
    default:
        return XC_left_ptr;
    }
}

DialogRect X11Dialog::pixelRect(int x, int y, int width, int height)
{
    return DialogRect{x * 6 / 4, y * 13 / 8, width * 6 / 4, height * 13 / 8};
}

X11Dialog::X11Dialog(Display* display, Window owner, Dialog& dialog) : display_(display), dialog_(dialog)
{
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const DialogRect size = pixelRect(0, 0, std::max(1, dialog.width), std::max(1, dialog.height));
    // Centred over the owner, kept on the screen.
    int ox = 0, oy = 0;
    XWindowAttributes owned{};
    if (owner != 0 && XGetWindowAttributes(display, owner, &owned) != 0) {
        Window child = 0;
        XTranslateCoordinates(display, owner, root, 0, 0, &ox, &oy, &child);
        ox += (owned.width - size.width) / 2;
        oy += (owned.height - size.height) / 2;
    }
    ox = std::clamp(ox, 0, std::max(0, DisplayWidth(display, screen) - size.width));
    oy = std::clamp(oy, 0, std::max(0, DisplayHeight(display, screen) - size.height));
    window_ = XCreateSimpleWindow(display, root, ox, oy, unsigned(size.width), unsigned(size.height), 0,
                                  BlackPixel(display, screen), pixel(kFace));
    if (window_ == 0)
        return;
    XSelectInput(display, window_,
                 ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     KeyPressMask);
    XStoreName(display, window_, dialog.caption.c_str());
    if (owner != 0)
        XSetTransientForHint(display, window_, owner);
    // A modal dialog keeps its size.
    XSizeHints hints{};
    hints.flags = PPosition | PMinSize | PMaxSize;
    hints.x = ox;
    hints.y = oy;
    hints.min_width = hints.max_width = size.width;
    hints.min_height = hints.max_height = size.height;
    XSetWMNormalHints(display, window_, &hints);
    deleteAtom_ = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window_, &deleteAtom_, 1);
    gc_ = XCreateGC(display, window_, 0, nullptr);
    font_ = XLoadQueryFont(display, "fixed");
    if (font_ != nullptr)
        XSetFont(display, gc_, asFont(font_)->fid);
    XMapRaised(display, window_);
    if (waitUntilMapped(display, window_) == MapWait::Destroyed) {
        window_ = 0;  // nothing to show, nothing to destroy
        return;
    }
    XSetInputFocus(display, window_, RevertToParent, CurrentTime);
    draw();
}

X11Dialog::~X11Dialog()
{
    for (auto& [kind, cursor] : cursors_)
        XFreeCursor(display_, cursor);
    if (font_ != nullptr)
        XFreeFont(display_, asFont(font_));
    if (gc_ != nullptr)
        XFreeGC(display_, gc_);
    if (window_ != 0)
        XDestroyWindow(display_, window_);
    XFlush(display_);
}

unsigned long X11Dialog::pixel(uint32_t rgb) const
{
    XColor colour{};
    colour.red = uint16_t(((rgb >> 16) & 0xFF) * 257);
    colour.green = uint16_t(((rgb >> 8) & 0xFF) * 257);
    colour.blue = uint16_t((rgb & 0xFF) * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    // A true-colour visual always has the colour; elsewhere black stands in.
    if (XAllocColor(display_, DefaultColormap(display_, DefaultScreen(display_)), &colour) == 0)
        return BlackPixel(display_, DefaultScreen(display_));
    return colour.pixel;
}

const DialogControl* X11Dialog::hit(int px, int py) const
{
    // The last control drawn is the one on top.
    for (auto it = dialog_.controls.rbegin(); it != dialog_.controls.rend(); ++it)
        if (it->visible && it->kind != DialogControlKind::GroupBox && pixelRect(*it).contains(px, py))
            return &*it;
    return nullptr;
}

void X11Dialog::drawText(const DialogControl& c, const DialogRect& r, uint32_t colour, int textX, bool centred)
{
    if (c.text.empty())
        return;
    const int length = int(c.text.size());
    const int width = font_ != nullptr ? XTextWidth(asFont(font_), c.text.data(), length) : length * 6;
    const int ascent = font_ != nullptr ? asFont(font_)->ascent : 10;
    const int descent = font_ != nullptr ? asFont(font_)->descent : 3;
    const int x = centred ? r.x + (r.width - width) / 2 : textX;
    const int baseline = r.y + (r.height - ascent - descent) / 2 + ascent;
    XSetForeground(display_, gc_, pixel(colour));
    XDrawString(display_, window_, gc_, x, baseline, c.text.data(), length);
    if (c.bold)  // the core font has one weight: bold text is struck twice
        XDrawString(display_, window_, gc_, x + 1, baseline, c.text.data(), length);
    if (c.underline)
        XDrawLine(display_, window_, gc_, x, baseline + 1, x + width - 1, baseline + 1);
}

void X11Dialog::drawControl(const DialogControl& c)
{
    const DialogRect r = pixelRect(c);
    const uint32_t text = !c.enabled ? kGrey : c.textColor.value_or(kText);
    switch (c.kind) {
    case DialogControlKind::Label:
    case DialogControlKind::Link:
        if (c.backColor) {
            XSetForeground(display_, gc_, pixel(*c.backColor));
            XFillRectangle(display_, window_, gc_, r.x, r.y, unsigned(r.width), unsigned(r.height));
        }
        if (c.border || c.sunken) {
            XSetForeground(display_, gc_, pixel(c.sunken ? kGrey : kText));
            XDrawRectangle(display_, window_, gc_, r.x, r.y, unsigned(std::max(0, r.width - 1)),
                           unsigned(std::max(0, r.height - 1)));
        }
        drawText(c, r, text, r.x + 1, c.centred);
        break;
    case DialogControlKind::GroupBox:
        XSetForeground(display_, gc_, pixel(kGrey));
        XDrawRectangle(display_, window_, gc_, r.x, r.y + 6, unsigned(std::max(0, r.width - 1)),
                       unsigned(std::max(0, r.height - 7)));
        drawText(c, DialogRect{r.x, r.y, r.width, 13}, text, r.x + 8, false);
        break;
    case DialogControlKind::RadioButton:
    case DialogControlKind::CheckBox: {
        const int top = r.y + (r.height - kRadioSize) / 2;
        XSetForeground(display_, gc_, pixel(kLight));
        if (c.kind == DialogControlKind::RadioButton) {
            XFillArc(display_, window_, gc_, r.x, top, kRadioSize, kRadioSize, 0, 360 * 64);
            XSetForeground(display_, gc_, pixel(kText));
            XDrawArc(display_, window_, gc_, r.x, top, kRadioSize, kRadioSize, 0, 360 * 64);
            if (c.checked)
                XFillArc(display_, window_, gc_, r.x + 3, top + 3, kRadioSize - 5, kRadioSize - 5, 0, 360 * 64);
        } else {
            XFillRectangle(display_, window_, gc_, r.x, top, kRadioSize, kRadioSize);
            XSetForeground(display_, gc_, pixel(kText));
            XDrawRectangle(display_, window_, gc_, r.x, top, kRadioSize, kRadioSize);
            if (c.checked) {
                XDrawLine(display_, window_, gc_, r.x + 2, top + 2, r.x + kRadioSize - 2, top + kRadioSize - 2);
                XDrawLine(display_, window_, gc_, r.x + 2, top + kRadioSize - 2, r.x + kRadioSize - 2, top + 2);
            }
        }
        drawText(c, r, text, r.x + kRadioSize + 5, false);
        break;
    }
    case DialogControlKind::PushButton:
    case DialogControlKind::DefaultPushButton: {
        const unsigned w = unsigned(std::max(1, r.width - 1)), h = unsigned(std::max(1, r.height - 1));
        XSetForeground(display_, gc_, pixel(kFace));
        XFillRectangle(display_, window_, gc_, r.x, r.y, unsigned(r.width), unsigned(r.height));
        XSetForeground(display_, gc_, pixel(kLight));
        XDrawLine(display_, window_, gc_, r.x + 1, r.y + 1, r.x + int(w) - 1, r.y + 1);
        XDrawLine(display_, window_, gc_, r.x + 1, r.y + 1, r.x + 1, r.y + int(h) - 1);
        XSetForeground(display_, gc_, pixel(kGrey));
        XDrawLine(display_, window_, gc_, r.x + 1, r.y + int(h) - 1, r.x + int(w) - 1, r.y + int(h) - 1);
        XDrawLine(display_, window_, gc_, r.x + int(w) - 1, r.y + 1, r.x + int(w) - 1, r.y + int(h) - 1);
        XSetForeground(display_, gc_, pixel(kText));
        XDrawRectangle(display_, window_, gc_, r.x, r.y, w, h);
        // The default button (what Enter presses) carries a second frame.
        if (c.kind == DialogControlKind::DefaultPushButton && w > 4 && h > 4)
            XDrawRectangle(display_, window_, gc_, r.x + 1, r.y + 1, w - 2, h - 2);
        drawText(c, r, text, r.x, true);
        break;
    }
    }
}

void X11Dialog::draw()
{
    if (window_ == 0)
        return;
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window_, &attributes);
    XSetForeground(display_, gc_, pixel(kFace));
    XFillRectangle(display_, window_, gc_, 0, 0, unsigned(std::max(1, attributes.width)),
                   unsigned(std::max(1, attributes.height)));
    for (const DialogControl& c : dialog_.controls)
        if (c.visible)
            drawControl(c);
    XFlush(display_);
}

void X11Dialog::setCursorFor(const DialogControl* c)
{
    if (c == nullptr || !c->cursor) {
        if (cursorShown_)
            XUndefineCursor(display_, window_);
        cursorShown_ = false;
        return;
    }
    auto it = cursors_.find(*c->cursor);
    if (it == cursors_.end())
        it = cursors_.emplace(*c->cursor, XCreateFontCursor(display_, x11CursorShape(*c->cursor))).first;
    XDefineCursor(display_, window_, it->second);
    cursorShown_ = true;
}

int X11Dialog::pressKey(bool enter)
{
    if (enter) {
        for (const DialogControl& c : dialog_.controls)
            if (c.kind == DialogControlKind::DefaultPushButton && c.visible)
                return dialog_.click(c.id);
        return 0;
    }
    // Escape is the Cancel button when there is one (a disabled one keeps the dialog open).
    if (dialog_.find(DialogCancel) != nullptr)
        return dialog_.click(DialogCancel);
    return DialogCancel;
}

int X11Dialog::handle(const XEvent& event)
{
    if (event.xany.window != window_)
        return 0;
    int result = 0;
    switch (event.type) {
    case DestroyNotify:
        // Nothing is left to click: the dialog ends, with no choice made.
        window_ = 0;
        return DialogCancel;
    case Expose:
        if (event.xexpose.count == 0)
            draw();
        return 0;
    case ButtonPress:
        if (event.xbutton.button == Button1) {
            const DialogControl* c = hit(event.xbutton.x, event.xbutton.y);
            pressing_ = c != nullptr;
            pressed_ = c != nullptr ? c->id : 0;
        }
        return 0;
    case ButtonRelease: {
        if (event.xbutton.button != Button1 || !pressing_)
            return 0;
        pressing_ = false;
        // A click is a press and a release on the same control.
        const DialogControl* c = hit(event.xbutton.x, event.xbutton.y);
        if (c == nullptr || c->id != pressed_)
            return 0;
        result = dialog_.click(pressed_);
        break;
    }
    case MotionNotify:
        setCursorFor(hit(event.xmotion.x, event.xmotion.y));
        return 0;
    case KeyPress: {
        const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
        if (key == XK_Return || key == XK_KP_Enter)
            result = pressKey(true);
        else if (key == XK_Escape)
            result = pressKey(false);
        else
            return 0;
        break;
    }
    case ClientMessage:
        if (Atom(event.xclient.data.l[0]) != deleteAtom_)
            return 0;
        result = pressKey(false);
        break;
    default:
        return 0;
    }
    // The click or key may have changed check marks, texts or enabled states.
    draw();
    return result;
}

int X11Dialog::tickTimers(uint32_t now, int limitMs)
{
    // Timers started or stopped by the dialog's logic join or leave here.
    std::map<std::pair<int, unsigned>, uint32_t> due;
    for (const DialogTimer& t : dialog_.timers) {
        const auto key = std::make_pair(t.controlId, t.id);
        auto it = timerDue_.find(key);
        due[key] = it != timerDue_.end() ? it->second : now + std::max(1u, t.periodMs);
    }
    timerDue_ = std::move(due);
    bool ticked = false;
    for (auto& [key, when] : timerDue_) {
        if (int32_t(now - when) < 0)
            continue;
        unsigned period = 1;
        for (const DialogTimer& t : dialog_.timers)
            if (t.controlId == key.first && t.id == key.second)
                period = std::max(1u, t.periodMs);
        when = now + period;
        ticked = dialog_.tick(key.first, key.second) || ticked;
    }
    if (ticked)
        draw();
    int wait = limitMs;
    for (const auto& [key, when] : timerDue_)
        wait = std::min(wait, std::max(0, int32_t(when - now)));
    return wait;
}

}  // namespace platform::host
