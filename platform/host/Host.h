// Host: what a container offers the control it holds: the window's client size, redraws,
// timers, mouse capture, the cursor, the page's address and script, modal dialogs, the clock
// and the place where finished frames are shown.
#pragma once

#include <string>
#include <vector>

#include "platform/host/Dialog.h"
#include "platform/host/HostClock.h"

namespace platform::gl {
class FrameSink;
}

namespace platform::host {

struct ClientSize {
    int width = 0;
    int height = 0;
};

class Host {
public:
    virtual ~Host() = default;

    virtual ClientSize clientSize() const = 0;
    // Asks for a paint message soon (the control's window is invalidated).
    virtual void requestRedraw() = 0;

    // A periodic timer message with the id; starting an id that runs restarts it.
    virtual bool startTimer(unsigned id, unsigned periodMs) = 0;
    virtual void stopTimer(unsigned id) = 0;

    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    virtual bool hasMouseCapture() const = 0;
    virtual void setCursor(Cursor cursor) = 0;

    // The address of the hosting page ("" when there is none).
    virtual std::string pageAddress() const = 0;
    // Whether the page offers a script object at all (a host without a page may not).
    virtual bool hasScript() const { return true; }
    // The page's script: whether it defines a function, and a call with text arguments
    // (false when the function is missing or the call fails).
    virtual bool hasScriptFunction(const std::string& name) const = 0;
    virtual bool invokeScriptFunction(const std::string& name, const std::vector<std::string>& args) = 0;

    // Shows the dialog modally and returns its result (DialogOk, DialogCancel or the id of
    // the control that ended it); the dialog's controls keep their final state.
    virtual int runModalDialog(Dialog& dialog) = 0;

    virtual const HostClock& clock() const = 0;
    // Where presented frames go.
    virtual platform::gl::FrameSink& frameSink() = 0;
};

}  // namespace platform::host
