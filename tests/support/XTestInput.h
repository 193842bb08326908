// XTestInput: a test's own connection to an X server, to find another program's window by
// its title, read it back and move, press and type on it with synthetic (XTest) events.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "platform/gl/FrameSink.h"
#include "platform/host/X11Host.h"

class XTestInput {
public:
    explicit XTestInput(const std::string& display) : display_(XOpenDisplay(display.c_str()))
    {
        // Another program's windows come and go between two requests about them: a request
        // about a window gone must not end the test, which Xlib's default handler does.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XTestInput()
    {
        if (display_ != nullptr)
            XCloseDisplay(display_);
    }
    XTestInput(const XTestInput&) = delete;
    XTestInput& operator=(const XTestInput&) = delete;

    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }

    // A mapped top-level window with the title, waiting for it up to timeoutMs; 0 if none.
    Window findWindow(const std::string& title, int timeoutMs) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            if (const Window w = findMapped(title); w != 0)
                return w;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < end);
        return 0;
    }

    // Waits up to timeoutMs until no mapped top-level window has the title; true when so.
    bool waitGone(const std::string& title, int timeoutMs) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (findMapped(title) != 0) {
            if (std::chrono::steady_clock::now() >= end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    platform::gl::Frame read(Window window) const
    {
        return platform::host::X11Host::readWindowOf(display_, window);
    }

    // Where a window sits on the screen (a dialog need not sit at the origin).
    std::pair<int, int> origin(Window window) const
    {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display_, window, &attributes) == 0)
            return {0, 0};
        return {attributes.x, attributes.y};
    }

    // Without a window manager windows sit at the origin: screen and window points agree.
    void moveTo(int x, int y) { XTestFakeMotionEvent(display_, 0, x, y, 0); }
    void button(unsigned number, bool down) { XTestFakeButtonEvent(display_, number, down, 0); }
    void key(KeySym sym, bool down) { XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), down, 0); }
    void flush() { XSync(display_, False); }
    void click(int x, int y)
    {
        moveTo(x, y);
        button(1, true);
        button(1, false);
        flush();
    }

private:
    Window findMapped(const std::string& title) const
    {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0)
            return 0;
        for (unsigned i = 0; i < count && found == 0; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(display_, children[i], &name) != 0 && name != nullptr) {
                if (title == name && XGetWindowAttributes(display_, children[i], &attributes) != 0 &&
                    attributes.map_state == IsViewable)
                    found = children[i];
                XFree(name);
            }
        }
        if (children != nullptr)
            XFree(children);
        return found;
    }

    Display* display_;
};

// The longest horizontal run of one colour (0xRRGGBB) in a rectangle of a picture: an
// underline, a rule.
inline int longestRun(const platform::gl::Frame& frame, int x, int y, int width, int height, uint32_t rgb)
{
    int best = 0;
    for (int row = std::max(0, y); row < std::min(frame.height, y + height); ++row)
        for (int px = std::max(0, x), run = 0; px < std::min(frame.width, x + width); ++px) {
            const auto p = frame.pixel(px, row);
            const uint32_t got = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
            run = got == rgb ? run + 1 : 0;
            best = std::max(best, run);
        }
    return best;
}
