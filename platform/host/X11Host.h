// X11Host: a host that shows its control in an X11 window: it presents each frame with
// XPutImage and turns X events (expose, resize, buttons, wheel, motion, focus, close) and the
// control's timers into messages for one target.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Reason.h"
#include "platform/gl/FrameSink.h"
#include "platform/host/Host.h"
#include "platform/host/Message.h"

namespace platform::host {

class X11FrameSink;

class X11Host : public Host {
public:
    // Receives every message (the control's window procedure).
    using Target = std::function<long(const Message&)>;
    using ScriptHandler = std::function<bool(const std::string& name, const std::vector<std::string>& args)>;
    using DialogAnswer = std::function<int(Dialog&)>;

    // Opens the display (null: $DISPLAY) and maps a window of the size. Null, with a one-line
    // reason in error, when the display cannot be opened or the size is not positive. A window
    // destroyed before it shows (a window manager may do so at its map request) is a window
    // closed at once: every run ends at once and no dialog shows.
    static std::unique_ptr<X11Host> open(const char* displayName, int width, int height, const std::string& title,
                                         ReasonText& error);
    ~X11Host() override;
    X11Host(const X11Host&) = delete;
    X11Host& operator=(const X11Host&) = delete;

    // ---- Host ----
    ClientSize clientSize() const override { return size_; }
    void requestRedraw() override { redrawPending_ = true; }
    bool startTimer(unsigned id, unsigned periodMs) override;
    void stopTimer(unsigned id) override { timers_.erase(id); }
    void captureMouse() override { capture_ = true; }
    void releaseMouse() override { capture_ = false; }
    bool hasMouseCapture() const override { return capture_; }
    void setCursor(Cursor cursor) override;
    std::string pageAddress() const override { return page_; }
    bool hasScriptFunction(const std::string& name) const override;
    bool invokeScriptFunction(const std::string& name, const std::vector<std::string>& args) override;
    // Shows the dialog in its own window (X11Dialog) until a click or key ends it; its window or
    // the control's destroyed ends it as Cancel, and without the control's window it is not shown.
    int runModalDialog(Dialog& dialog) override;
    const HostClock& clock() const override { return clock_; }
    platform::gl::FrameSink& frameSink() override;

    // ---- set-up ----
    void setPageAddress(const std::string& address) { page_ = address; }
    // The page's script: one function name and what a call does.
    void setScript(const std::string& functionName, ScriptHandler handler);
    // Modal dialogs are answered in code instead of being shown in their own window.
    void setDialogAnswer(DialogAnswer answer) { answer_ = std::move(answer); }

    // Delivers messages to target until the window is closed (the window manager's close,
    // Escape or q, or another client destroying it, after which every run ends at once) or,
    // when limitMs is not negative, until that many milliseconds passed.
    // Sleeps between events and ticks. Returns 0 after a close, 1 when the time ran out.
    int run(const Target& target, int limitMs = -1);
    void requestClose() { closeRequested_ = true; }

    // The window's current contents as RGBA rows from the top (a read-back through the X
    // server, as a screen grab would see it); empty when it cannot be read.
    platform::gl::Frame readWindow() const;
    // The same read-back of any window on an open display (an Xlib Display*), another
    // program's too: for tests that drive a window from outside.
    static platform::gl::Frame readWindowOf(void* display, unsigned long window);
    // The X window id, for tests that send synthetic input.
    unsigned long windowId() const;

private:
    friend class X11FrameSink;
    struct Impl;
    X11Host();
    void processEvent(const Target& target, void* event);
    void deliverDueTimers(const Target& target);
    long send(const Target& target, const Message& message);

    std::unique_ptr<Impl> impl_;
    ClientSize size_;
    MonotonicClock clock_;
    bool redrawPending_ = true;
    bool closeRequested_ = false;
    bool capture_ = false;
    unsigned heldButtons_ = 0;
    struct TimerState {
        unsigned period = 25;
        uint32_t due = 0;
    };
    std::map<unsigned, TimerState> timers_;
    std::string page_;
    std::string scriptName_;
    ScriptHandler script_;
    DialogAnswer answer_;
    const Target* running_ = nullptr;  // the target of the run going on
    uint32_t lastPressTick_ = 0;  // the X server's time of the last single press
    int lastPressX_ = -100;
    int lastPressY_ = -100;
};

}  // namespace platform::host
