// HeadlessHost: a host without a display: a client size set by hand, a fake clock that
// delivers the timer messages falling due as it is advanced, a frame sink that keeps the last
// frame, and records of redraws, timers, script calls and dialogs.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/gl/FrameSink.h"
#include "platform/host/Host.h"
#include "platform/host/Message.h"

namespace platform::host {

class HeadlessHost : public Host {
public:
    struct ScriptCall {
        std::string name;
        std::vector<std::string> args;
    };
    // Answers a modal dialog in place of a user: may change the controls, returns the result.
    using DialogAnswer = std::function<int(Dialog&)>;
    // The window procedure messages go to.
    using Window = std::function<long(const Message&)>;

    HeadlessHost(int width, int height, uint32_t startTick = 0);

    // ---- Host ----
    ClientSize clientSize() const override { return size_; }
    void requestRedraw() override
    {
        ++redraws_;
        paintPending_ = true;
    }
    bool startTimer(unsigned id, unsigned periodMs) override;
    void stopTimer(unsigned id) override;
    void captureMouse() override { capture_ = true; }
    void releaseMouse() override { capture_ = false; }
    bool hasMouseCapture() const override { return capture_; }
    void setCursor(Cursor cursor) override { cursor_ = cursor; }
    std::string pageAddress() const override { return page_; }
    bool hasScript() const override { return scriptAvailable_; }
    bool hasScriptFunction(const std::string& name) const override;
    bool invokeScriptFunction(const std::string& name, const std::vector<std::string>& args) override;
    int runModalDialog(Dialog& dialog) override;
    const HostClock& clock() const override { return clock_; }
    platform::gl::FrameSink& frameSink() override { return sink_; }

    // ---- messages ----
    void setWindow(Window window) { window_ = std::move(window); }
    // Hands the message to the window; 0 without one.
    long deliver(const Message& message);
    // A new client size, delivered as a Size message.
    void resize(int width, int height);
    // Moves the clock on by ms and delivers every timer message that falls due on the way, in
    // time order (timers due at the same tick by id); returns how many were delivered.
    unsigned advance(uint32_t ms);
    // Delivers one Paint message when a redraw was asked for since the last one.
    bool deliverPendingPaint();

    // ---- set-up and records ----
    void setClientSize(int width, int height) { size_ = ClientSize{width, height}; }
    FakeClock& fakeClock() { return clock_; }
    void setPageAddress(const std::string& address) { page_ = address; }
    void addScriptFunction(const std::string& name) { scriptFunctions_.push_back(name); }
    // A page without a script object (a script is there by default).
    void setScriptAvailable(bool available) { scriptAvailable_ = available; }
    // Calls of defined functions fail (the function throws, say) and are not recorded.
    void setScriptCallsFail(bool fail) { scriptCallsFail_ = fail; }
    // The answer given to every dialog; without one each dialog is cancelled.
    void setDialogAnswer(DialogAnswer answer) { answer_ = std::move(answer); }

    unsigned redrawRequests() const { return redraws_; }
    // Running timers by id, with their periods.
    const std::map<unsigned, unsigned>& timers() const { return timers_; }
    Cursor cursor() const { return cursor_; }
    const std::vector<ScriptCall>& scriptCalls() const { return scriptCalls_; }
    // Captions of the dialogs shown, in order.
    const std::vector<std::string>& dialogsShown() const { return dialogs_; }
    const platform::gl::Frame& lastFrame() const { return sink_.lastFrame(); }

private:
    ClientSize size_;
    FakeClock clock_;
    platform::gl::FrameSink sink_;
    unsigned redraws_ = 0;
    bool paintPending_ = false;
    Window window_;
    std::map<unsigned, unsigned> timers_;
    std::map<unsigned, uint32_t> sinceFired_;  // ms since each timer last fired (or started)
    bool capture_ = false;
    Cursor cursor_ = Cursor::Arrow;
    std::string page_;
    bool scriptAvailable_ = true;
    bool scriptCallsFail_ = false;
    std::vector<std::string> scriptFunctions_;
    std::vector<ScriptCall> scriptCalls_;
    DialogAnswer answer_;
    std::vector<std::string> dialogs_;
};

}  // namespace platform::host
