// XTestInput: finding a top-level window by its name, clicking on the screen with XTest and
// reading a window's pixels, for tests under a private X server.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

// A mapped top-level window and its place on the screen.
struct ShownWindow {
    Window id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Waits up to timeoutMs for a mapped child of the root named name; id 0 when none shows.
inline ShownWindow waitForWindowNamed(Display* display, const std::string& name, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
            ShownWindow found;
            for (unsigned i = 0; i < count && found.id == 0; ++i) {
                char* title = nullptr;
                XWindowAttributes a{};
                if (XFetchName(display, children[i], &title) != 0 && title != nullptr) {
                    if (name == title && XGetWindowAttributes(display, children[i], &a) != 0 &&
                        a.map_state == IsViewable)
                        found = ShownWindow{children[i], a.x, a.y, a.width, a.height};
                    XFree(title);
                }
            }
            if (children != nullptr)
                XFree(children);
            if (found.id != 0)
                return found;
        }
        usleep(20000);
    } while (std::chrono::steady_clock::now() < end);
    return ShownWindow{};
}

// A left click at a point of the screen.
inline void clickAt(Display* display, int x, int y)
{
    XTestFakeMotionEvent(display, 0, x, y, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
}

// The RGB of a window's pixel, read through the server.
inline unsigned long windowPixel(Display* display, Window window, int x, int y)
{
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return ~0ul;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
}

// Waits up to timeoutMs for a window's pixel to show a colour (the client draws after mapping).
inline bool waitForPixel(Display* display, Window window, int x, int y, unsigned long rgb, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (windowPixel(display, window, x, y) != rgb) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        usleep(20000);
    }
    return true;
}

// The longest horizontal run of one colour in a rectangle of a window (an underline, a rule).
inline int longestRun(Display* display, Window window, int x, int y, int width, int height, unsigned long rgb)
{
    int best = 0;
    for (int row = y; row < y + height; ++row)
        for (int px = x, run = 0; px < x + width; ++px) {
            run = windowPixel(display, window, px, row) == rgb ? run + 1 : 0;
            best = std::max(best, run);
        }
    return best;
}
