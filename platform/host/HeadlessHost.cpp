// HeadlessHost: records what the control asks of its container.
#include "platform/host/HeadlessHost.h"

#include <algorithm>
#include <vector>

namespace platform::host {

HeadlessHost::HeadlessHost(int width, int height, uint32_t startTick)
    : size_{width, height}, clock_(startTick)
{
}

bool HeadlessHost::startTimer(unsigned id, unsigned periodMs)
{
    timers_[id] = periodMs;
    sinceFired_[id] = 0;
    return true;
}

void HeadlessHost::stopTimer(unsigned id)
{
    timers_.erase(id);
    sinceFired_.erase(id);
}

long HeadlessHost::deliver(const Message& message) { return window_ ? window_(message) : 0; }

void HeadlessHost::resize(int width, int height)
{
    setClientSize(width, height);
    deliver(Message::size(width, height));
}

unsigned HeadlessHost::advance(uint32_t ms)
{
    unsigned delivered = 0;
    uint32_t remaining = ms;
    for (;;) {
        // The next timer to fall due; a period of 0 counts as 1 ms, so time always moves on.
        uint32_t step = remaining;
        for (const auto& [id, period] : timers_)
            step = std::min(step, std::max(period, 1u) - std::min(sinceFired_[id], std::max(period, 1u)));
        clock_.advance(step);
        remaining -= step;
        std::vector<unsigned> due;
        for (const auto& [id, period] : timers_) {
            sinceFired_[id] += step;
            if (sinceFired_[id] >= std::max(period, 1u))
                due.push_back(id);
        }
        for (unsigned id : due) {
            // An earlier message may have stopped or restarted this timer.
            if (timers_.count(id) == 0 || sinceFired_[id] < std::max(timers_[id], 1u))
                continue;
            sinceFired_[id] = 0;
            deliver(Message::timer(id));
            ++delivered;
        }
        if (remaining == 0)
            return delivered;
    }
}

bool HeadlessHost::deliverPendingPaint()
{
    if (!paintPending_)
        return false;
    paintPending_ = false;
    deliver(Message::paint());
    return true;
}

bool HeadlessHost::hasScriptFunction(const std::string& name) const
{
    return std::find(scriptFunctions_.begin(), scriptFunctions_.end(), name) != scriptFunctions_.end();
}

bool HeadlessHost::invokeScriptFunction(const std::string& name, const std::vector<std::string>& args)
{
    if (!hasScriptFunction(name) || scriptCallsFail_)
        return false;
    scriptCalls_.push_back(ScriptCall{name, args});
    return true;
}

int HeadlessHost::runModalDialog(Dialog& dialog)
{
    dialogs_.push_back(dialog.caption);
    return answer_ ? answer_(dialog) : DialogCancel;
}

}  // namespace platform::host
