// HeadlessHost: records what the control asks of its container.
#include "platform/host/HeadlessHost.h"

#include <algorithm>

namespace platform::host {

HeadlessHost::HeadlessHost(int width, int height, uint32_t startTick)
    : size_{width, height}, clock_(startTick)
{
}

bool HeadlessHost::startTimer(unsigned id, unsigned periodMs)
{
    timers_[id] = periodMs;
    return true;
}

void HeadlessHost::stopTimer(unsigned id) { timers_.erase(id); }

bool HeadlessHost::hasScriptFunction(const std::string& name) const
{
    return std::find(scriptFunctions_.begin(), scriptFunctions_.end(), name) != scriptFunctions_.end();
}

bool HeadlessHost::invokeScriptFunction(const std::string& name, const std::vector<std::string>& args)
{
    if (!hasScriptFunction(name))
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
