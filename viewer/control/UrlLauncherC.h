// UrlLauncherC: opens a web address, in the browser the registry names or through the system.
#pragma once

#include "foundation/RWCString.h"

class UrlLauncherC {
public:
    // With useBrowserCommand, runs the browser command with the address as its argument (the
    // system's opener when there is no command); otherwise the system opens the address.
    // False when nothing could be started.
    bool Open(const RWCString& address, bool useBrowserCommand);
    // The program of the registry's command for opening web addresses, read once and kept;
    // empty when the registry has none.
    RWCString GetBrowserCommand();

    RWCString BrowserCommand;
};
