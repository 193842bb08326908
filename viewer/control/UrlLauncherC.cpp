// UrlLauncherC: the browser command from the registry and opening addresses.
#include "viewer/control/UrlLauncherC.h"

#include <string>

#include "platform/registry.h"
#include "platform/sys.h"

bool UrlLauncherC::Open(const RWCString& address, bool useBrowserCommand)
{
    const std::string text(address.data(), address.length());
    if (useBrowserCommand) {
        const RWCString command = GetBrowserCommand();
        if (!command.isNull())
            return platform::sys::launchProgram(std::string(command.data(), command.length()), {text});
    }
    return platform::sys::openUrl(text);
}

RWCString UrlLauncherC::GetBrowserCommand()
{
    if (!BrowserCommand.isNull())
        return BrowserCommand;
    const auto value =
        platform::registry::queryValue(platform::registry::Root::ClassesRoot, "http\\shell\\open\\command", "");
    if (!value || value->type != platform::registry::ValueType::String || value->text.empty())
        return BrowserCommand;
    const std::string& command = value->text;
    std::string program = command;
    const size_t firstQuote = command.find('"');
    // The quoted program ends at the next quote: a quoted argument after it ("%1") is not
    // part of it. A lone quote leaves the text as it is.
    const size_t closingQuote = firstQuote == std::string::npos ? firstQuote : command.find('"', firstQuote + 1);
    if (closingQuote != std::string::npos) {
        program = command.substr(firstQuote + 1, closingQuote - firstQuote - 1);
    } else if (firstQuote == std::string::npos) {
        // An unquoted path ends at the first blank after its last separator (either kind: a
        // Linux path has "/").
        const size_t lastSeparator = command.find_last_of("\\/");
        if (lastSeparator != std::string::npos && lastSeparator > 0) {
            const size_t blank = command.find(' ', lastSeparator);
            if (blank != std::string::npos && blank > 0)
                program = command.substr(0, blank);
        }
    }
    BrowserCommand = RWCString(program.c_str());
    return BrowserCommand;
}
