// DestroyingWindowManager: a stand-in window manager on a connection and a thread of its own.
// It holds the root's SubstructureRedirect, as every window manager does, so that each map
// request of a top-level window comes to it; it destroys the window instead of mapping it: a
// window that never shows.
#pragma once

#include <X11/Xlib.h>
#include <poll.h>

#include <atomic>
#include <string>
#include <thread>

class DestroyingWindowManager {
public:
    explicit DestroyingWindowManager(const std::string& display) : display_(XOpenDisplay(display.c_str()))
    {
        if (display_ == nullptr)
            return;
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureRedirectMask);
        // The redirection holds before the test goes on to map a window.
        XSync(display_, False);
        thread_ = std::thread([this] { serve(); });
    }
    ~DestroyingWindowManager()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (display_ != nullptr)
            XCloseDisplay(display_);
    }
    DestroyingWindowManager(const DestroyingWindowManager&) = delete;
    DestroyingWindowManager& operator=(const DestroyingWindowManager&) = delete;

    bool ok() const { return display_ != nullptr; }
    // The windows destroyed at their map requests so far.
    int destroyed() const { return destroyed_; }

private:
    void serve()
    {
        const int fd = ConnectionNumber(display_);
        while (!stop_) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapRequest) {
                    // Counted first: the window's owner may ask as soon as it sees it gone.
                    ++destroyed_;
                    XDestroyWindow(display_, event.xmaprequest.window);
                    XFlush(display_);
                }
            }
            // Wakes for the next request, or to see whether the test is done with it.
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 50);
        }
    }

    Display* display_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> destroyed_ = 0;
    std::thread thread_;
};
