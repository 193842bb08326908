// X11Host: the window, its event translation, the timers and the presentation of frames.
#include "platform/host/X11Host.h"

#include "platform/host/X11Dialog.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform::host {

namespace {

// X errors of a request (a window gone between two calls) must not end the process, which
// Xlib's default handler does. A window that another client destroyed needs no error to be
// noticed: the server sends its DestroyNotify to every client that selected StructureNotifyMask.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

unsigned modifiersOf(unsigned state)
{
    unsigned m = 0;
    if (state & ShiftMask)
        m |= ModShift;
    if (state & ControlMask)
        m |= ModControl;
    if (state & Button1Mask)
        m |= ModLeftButton;
    if (state & Button2Mask)
        m |= ModMiddleButton;
    if (state & Button3Mask)
        m |= ModRightButton;
    return m;
}

// A double click: a second left press within this time and distance of the first.
constexpr uint32_t kDoubleClickMs = 500;
constexpr int kDoubleClickPixels = 4;

}  // namespace

// Shows each presented frame in the window as well as keeping it.
class X11FrameSink : public platform::gl::FrameSink {
public:
    explicit X11FrameSink(X11Host::Impl& impl) : impl_(impl) {}
    void present(int width, int height, const uint8_t* rgba, bool bottomUp) override;

private:
    X11Host::Impl& impl_;
};

struct X11Host::Impl {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteAtom = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    int redShift = 0, greenShift = 0, blueShift = 0;
    std::map<Cursor, ::Cursor> cursors;
    std::vector<uint32_t> pixels;
    std::unique_ptr<X11FrameSink> sink;
    XErrorHandler previousHandler = nullptr;
    bool windowGone = false;  // destroyed by another client

    ~Impl()
    {
        if (display == nullptr)
            return;
        for (auto& [kind, cursor] : cursors)
            XFreeCursor(display, cursor);
        if (gc != nullptr)
            XFreeGC(display, gc);
        if (window != 0)
            XDestroyWindow(display, window);
        XCloseDisplay(display);
        XSetErrorHandler(previousHandler);
    }
};

void X11FrameSink::present(int width, int height, const uint8_t* rgba, bool bottomUp)
{
    FrameSink::present(width, height, rgba, bottomUp);
    if (width <= 0 || height <= 0 || rgba == nullptr || impl_.display == nullptr)
        return;
    impl_.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rgba + size_t(bottomUp ? height - 1 - y : y) * size_t(width) * 4;
        uint32_t* out = impl_.pixels.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = (uint32_t(row[4 * x]) << impl_.redShift) | (uint32_t(row[4 * x + 1]) << impl_.greenShift) |
                     (uint32_t(row[4 * x + 2]) << impl_.blueShift);
    }
    XImage* image = XCreateImage(impl_.display, impl_.visual, unsigned(impl_.depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(impl_.pixels.data()), unsigned(width), unsigned(height), 32, 0);
    if (image == nullptr)
        return;
    // The words were written in this machine's order; Xlib converts for the server.
    const uint32_t probe = 1;
    image->byte_order = *reinterpret_cast<const uint8_t*>(&probe) == 1 ? LSBFirst : MSBFirst;
    XPutImage(impl_.display, impl_.window, impl_.gc, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
    image->data = nullptr;  // the buffer is ours
    XDestroyImage(image);
    XFlush(impl_.display);
}

X11Host::X11Host() : impl_(std::make_unique<Impl>()) {}

X11Host::~X11Host() = default;

std::unique_ptr<X11Host> X11Host::open(const char* displayName, int width, int height, const std::string& title,
                                       ReasonText& error)
{
    if (width <= 0 || height <= 0) {
        error = reasonText(Reason::WindowNeedsSize);
        return nullptr;
    }
    std::unique_ptr<X11Host> host(new X11Host());
    Impl& impl = *host->impl_;
    impl.display = XOpenDisplay(displayName);
    if (impl.display == nullptr) {
        const char* name = displayName != nullptr ? displayName : std::getenv("DISPLAY");
        error = reasonText(Reason::CannotOpenDisplay, name != nullptr ? name : "");
        return nullptr;
    }
    impl.previousHandler = XSetErrorHandler(ignoreXError);
    const int screen = DefaultScreen(impl.display);
    impl.visual = DefaultVisual(impl.display, screen);
    impl.depth = DefaultDepth(impl.display, screen);
    if (impl.visual->c_class != TrueColor || impl.depth < 24) {
        error = reasonText(Reason::NoTrueColourVisual);
        return nullptr;
    }
    impl.redShift = shiftOf(impl.visual->red_mask);
    impl.greenShift = shiftOf(impl.visual->green_mask);
    impl.blueShift = shiftOf(impl.visual->blue_mask);
    impl.window = XCreateSimpleWindow(impl.display, RootWindow(impl.display, screen), 0, 0, unsigned(width),
                                      unsigned(height), 0, BlackPixel(impl.display, screen),
                                      BlackPixel(impl.display, screen));
    XSelectInput(impl.display, impl.window,
                 ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     KeyPressMask | FocusChangeMask);
    XStoreName(impl.display, impl.window, title.c_str());
    impl.deleteAtom = XInternAtom(impl.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(impl.display, impl.window, &impl.deleteAtom, 1);
    impl.gc = XCreateGC(impl.display, impl.window, 0, nullptr);
    impl.sink = std::make_unique<X11FrameSink>(impl);
    XMapWindow(impl.display, impl.window);
    host->size_ = ClientSize{width, height};
    // Wait until the window is on screen, so that the first frame is not drawn into nothing. A
    // window destroyed before it shows (by a window manager at its map request, or by another
    // client) is a window closed at once: every run ends at once.
    if (waitUntilMapped(impl.display, impl.window) == MapWait::Destroyed) {
        impl.windowGone = true;
        host->closeRequested_ = true;
    }
    return host;
}

platform::gl::FrameSink& X11Host::frameSink() { return *impl_->sink; }

unsigned long X11Host::windowId() const { return impl_->window; }

bool X11Host::startTimer(unsigned id, unsigned periodMs)
{
    timers_[id] = TimerState{std::max(1u, periodMs), clock_.now() + std::max(1u, periodMs)};
    return true;
}

void X11Host::setCursor(Cursor cursor)
{
    auto it = impl_->cursors.find(cursor);
    if (it == impl_->cursors.end())
        it = impl_->cursors.emplace(cursor, XCreateFontCursor(impl_->display, x11CursorShape(cursor))).first;
    XDefineCursor(impl_->display, impl_->window, it->second);
}

bool X11Host::hasScriptFunction(const std::string& name) const { return script_ && name == scriptName_; }

bool X11Host::invokeScriptFunction(const std::string& name, const std::vector<std::string>& args)
{
    return hasScriptFunction(name) && script_(name, args);
}

int X11Host::runModalDialog(Dialog& dialog)
{
    if (answer_)
        return answer_(dialog);
    // Without its owner a dialog has nothing to ask for: the program ends.
    if (impl_->windowGone)
        return DialogCancel;
    X11Dialog shown(impl_->display, impl_->window, dialog);
    if (!shown.ok())
        return DialogCancel;
    // The control's window goes on with its timers and paints behind the dialog (when a run
    // delivers them); its input waits until the dialog ends.
    const Target target = running_ != nullptr ? *running_ : Target{};
    Display* display = impl_->display;
    const int fd = ConnectionNumber(display);
    int result = 0;
    while (result == 0) {
        while (result == 0 && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.xany.window == shown.window()) {
                result = shown.handle(event);
            } else if (event.xany.window == impl_->window) {
                if (event.type == Expose || event.type == ConfigureNotify || event.type == DestroyNotify)
                    processEvent(target, &event);
                else if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == impl_->deleteAtom)
                    closeRequested_ = true;
            }
        }
        // Closing the control's window ends the dialog as Escape would not: the program quits.
        if (result == 0 && closeRequested_)
            result = DialogCancel;
        if (result != 0)
            break;
        if (target) {
            deliverDueTimers(target);
            if (redrawPending_) {
                redrawPending_ = false;
                send(target, Message::paint());
            }
        }
        const uint32_t now = clock_.now();
        int timeout = shown.tickTimers(now, 100);
        if (target)
            for (const auto& [id, timer] : timers_)
                timeout = std::min(timeout, std::max(0, int32_t(timer.due - now)));
        if (XPending(display) == 0) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, std::max(0, timeout));
        }
    }
    return result;
}

void X11Host::setScript(const std::string& functionName, ScriptHandler handler)
{
    scriptName_ = functionName;
    script_ = std::move(handler);
}

long X11Host::send(const Target& target, const Message& message) { return target ? target(message) : 0; }

void X11Host::deliverDueTimers(const Target& target)
{
    const uint32_t now = clock_.now();
    std::vector<unsigned> due;
    for (const auto& [id, timer] : timers_)
        if (int32_t(now - timer.due) >= 0)
            due.push_back(id);
    for (unsigned id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end())
            continue;
        // Missed periods are not made up: the next tick comes one period from now.
        it->second.due = now + it->second.period;
        send(target, Message::timer(id));
    }
}

void X11Host::processEvent(const Target& target, void* raw)
{
    XEvent& event = *static_cast<XEvent*>(raw);
    if (event.xany.window != impl_->window)
        return;
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0)
            redrawPending_ = true;
        break;
    case ConfigureNotify:
        if (event.xconfigure.width != size_.width || event.xconfigure.height != size_.height) {
            size_ = ClientSize{event.xconfigure.width, event.xconfigure.height};
            send(target, Message::size(size_.width, size_.height));
            redrawPending_ = true;
        }
        break;
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        unsigned mods = modifiersOf(b.state);
        switch (b.button) {
        case Button1: {
            mods |= ModLeftButton;
            heldButtons_ |= ModLeftButton;
            // The server's time of the press, not the time it is read: a slow frame drawn
            // between two quick presses must not split them into two single clicks.
            const uint32_t now = uint32_t(b.time);
            const bool twice = uint32_t(now - lastPressTick_) <= kDoubleClickMs &&
                               std::abs(b.x - lastPressX_) <= kDoubleClickPixels &&
                               std::abs(b.y - lastPressY_) <= kDoubleClickPixels;
            if (twice) {
                send(target, Message::mouse(MessageKind::LeftButtonDoubleClick, b.x, b.y, mods));
                lastPressX_ = lastPressY_ = -100;
            } else {
                send(target, Message::mouse(MessageKind::LeftButtonDown, b.x, b.y, mods));
                lastPressTick_ = now;
                lastPressX_ = b.x;
                lastPressY_ = b.y;
            }
            break;
        }
        case Button2:
            heldButtons_ |= ModMiddleButton;
            send(target, Message::mouse(MessageKind::MiddleButtonDown, b.x, b.y, mods | ModMiddleButton));
            break;
        case Button3:
            heldButtons_ |= ModRightButton;
            send(target, Message::mouse(MessageKind::RightButtonDown, b.x, b.y, mods | ModRightButton));
            break;
        case Button4:
            send(target, Message::wheel(120, b.x, b.y, mods));
            break;
        case Button5:
            send(target, Message::wheel(-120, b.x, b.y, mods));
            break;
        default:  // 6 and 7 turn a wheel sideways
            break;
        }
        break;
    }
    case ButtonRelease: {
        const XButtonEvent& b = event.xbutton;
        const unsigned mods = modifiersOf(b.state);
        // A button released already (made up when the focus went) is not released twice:
        // the late real release would count as a click of its own.
        const unsigned flag = b.button == Button1   ? unsigned(ModLeftButton)
                              : b.button == Button2 ? unsigned(ModMiddleButton)
                              : b.button == Button3 ? unsigned(ModRightButton)
                                                    : 0u;
        if ((heldButtons_ & flag) == 0)
            break;
        if (b.button == Button1) {
            heldButtons_ &= ~unsigned(ModLeftButton);
            send(target, Message::mouse(MessageKind::LeftButtonUp, b.x, b.y, mods & ~unsigned(ModLeftButton)));
        } else if (b.button == Button2) {
            heldButtons_ &= ~unsigned(ModMiddleButton);
            send(target, Message::mouse(MessageKind::MiddleButtonUp, b.x, b.y, mods & ~unsigned(ModMiddleButton)));
        } else if (b.button == Button3) {
            heldButtons_ &= ~unsigned(ModRightButton);
            send(target, Message::mouse(MessageKind::RightButtonUp, b.x, b.y, mods & ~unsigned(ModRightButton)));
        }
        break;
    }
    case MotionNotify:
        send(target, Message::mouse(MessageKind::MouseMove, event.xmotion.x, event.xmotion.y,
                                    modifiersOf(event.xmotion.state)));
        break;
    case FocusOut:
        // Buttons held when the focus goes would otherwise stay down for ever. The releases
        // are marked as made up: they end drags, but the user clicked nothing.
        if (heldButtons_ & ModLeftButton)
            send(target, Message::madeUpRelease(MessageKind::LeftButtonUp, lastPressX_, lastPressY_));
        if (heldButtons_ & ModMiddleButton)
            send(target, Message::madeUpRelease(MessageKind::MiddleButtonUp, lastPressX_, lastPressY_));
        if (heldButtons_ & ModRightButton)
            send(target, Message::madeUpRelease(MessageKind::RightButtonUp, lastPressX_, lastPressY_));
        heldButtons_ = 0;
        break;
    case KeyPress: {
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        if (key == XK_Escape || key == XK_q)
            closeRequested_ = true;
        break;
    }
    case ClientMessage:
        if (Atom(event.xclient.data.l[0]) == impl_->deleteAtom)
            closeRequested_ = true;
        break;
    case DestroyNotify:
        // Another client destroyed the window (xdotool windowclose): nothing is left to show.
        impl_->windowGone = true;
        closeRequested_ = true;
        break;
    default:
        break;
    }
}

int X11Host::run(const Target& target, int limitMs)
{
    Display* display = impl_->display;
    const uint32_t start = clock_.now();
    const int fd = ConnectionNumber(display);
    // Modal dialogs opened by the target deliver to it while they run.
    const Target* outer = running_;
    running_ = &target;
    struct Restore {
        const Target*& slot;
        const Target* value;
        ~Restore() { slot = value; }
    } restore{running_, outer};
    while (!closeRequested_) {
        while (!closeRequested_ && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            processEvent(target, &event);
        }
        if (closeRequested_)
            break;
        deliverDueTimers(target);
        if (redrawPending_) {
            redrawPending_ = false;
            send(target, Message::paint());
        }
        const uint32_t now = clock_.now();
        if (limitMs >= 0 && uint32_t(now - start) >= uint32_t(limitMs))
            return 1;
        // Sleep until the next tick, an event, or the end of the time given.
        int timeout = 100;
        for (const auto& [id, timer] : timers_)
            timeout = std::min(timeout, std::max(0, int32_t(timer.due - now)));
        if (limitMs >= 0)
            timeout = std::min(timeout, int(uint32_t(limitMs) - uint32_t(now - start)));
        if (XPending(display) == 0) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, std::max(0, timeout));
        }
    }
    // A later run starts afresh, unless nothing is left to show.
    closeRequested_ = impl_->windowGone;
    return 0;
}

platform::gl::Frame X11Host::readWindow() const { return readWindowOf(impl_->display, impl_->window); }

platform::gl::Frame X11Host::readWindowOf(void* display, unsigned long window)
{
    platform::gl::Frame frame;
    Display* d = static_cast<Display*>(display);
    XSync(d, False);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(d, Window(window), &attributes) == 0 || attributes.visual == nullptr)
        return frame;
    const Visual& visual = *attributes.visual;
    const int redShift = shiftOf(visual.red_mask), greenShift = shiftOf(visual.green_mask),
              blueShift = shiftOf(visual.blue_mask);
    XImage* image = XGetImage(d, Window(window), 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                              AllPlanes, ZPixmap);
    if (image == nullptr)
        return frame;
    frame.width = attributes.width;
    frame.height = attributes.height;
    frame.rgba.resize(size_t(frame.width) * size_t(frame.height) * 4);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            uint8_t* out = frame.rgba.data() + (size_t(y) * size_t(frame.width) + size_t(x)) * 4;
            out[0] = uint8_t((p & visual.red_mask) >> redShift);
            out[1] = uint8_t((p & visual.green_mask) >> greenShift);
            out[2] = uint8_t((p & visual.blue_mask) >> blueShift);
            out[3] = 255;
        }
    XDestroyImage(image);
    return frame;
}

}  // namespace platform::host
