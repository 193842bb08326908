// Tests of the browser command read from the registry and of opening addresses.
#include "viewer/control/UrlLauncherC.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sys.h"

using platform::registry::Root;

namespace {
const char kCommandKey[] = "http\\shell\\open\\command";

struct Launches {
    std::vector<std::string> log;
    platform::sys::UrlOpener oldOpener;
    platform::sys::ProgramLauncher oldLauncher;
    Launches()
    {
        oldOpener = platform::sys::setUrlOpener([this](const std::string& url) {
            log.push_back("open " + url);
            return true;
        });
        oldLauncher = platform::sys::setProgramLauncher([this](const std::string& p, const std::vector<std::string>& a) {
            std::string line = "run " + p;
            for (const auto& s : a)
                line += " [" + s + "]";
            log.push_back(line);
            return !p.empty();
        });
    }
    ~Launches()
    {
        platform::sys::setUrlOpener(oldOpener);
        platform::sys::setProgramLauncher(oldLauncher);
        platform::registry::reset();
    }
};
}  // namespace

TEST(UrlLauncherC, BrowserCommandIsTheProgramOfTheRegistryCommand)
{
    const struct {
        const char* value;
        const char* want;
    } cases[] = {
        {"\"C:\\Program Files\\Web\\browser.exe\" -nohome", "C:\\Program Files\\Web\\browser.exe"},
        {"C:\\PROGRA~1\\Web\\browser.exe -nohome %1", "C:\\PROGRA~1\\Web\\browser.exe"},
        {"/usr/bin/firefox --new-window %1", "/usr/bin/firefox"},
        // A quoted argument after the quoted program is not part of it.
        {"\"C:\\Web\\browser.exe\" -osint -url \"%1\"", "C:\\Web\\browser.exe"},
        {"\"C:\\Web\\browser.exe -nohome", "\"C:\\Web\\browser.exe -nohome"},  // a lone quote
        {"browser -nohome", "browser -nohome"},                                // no separator
        {"\\browser.exe", "\\browser.exe"},                                    // no blank
        {"", ""},
    };
    for (const auto& c : cases) {
        Launches launches;
        platform::registry::setString(Root::ClassesRoot, kCommandKey, "", c.value);
        UrlLauncherC launcher;
        EXPECT_EQ(launcher.GetBrowserCommand(), c.want) << c.value;
        // Kept for the launcher's life.
        platform::registry::setString(Root::ClassesRoot, kCommandKey, "", "/other");
        if (*c.want != '\0') {
            EXPECT_EQ(launcher.GetBrowserCommand(), c.want) << c.value;
        }
    }
}

TEST(UrlLauncherC, OpenRunsTheBrowserCommandOrLetsTheSystemOpen)
{
    Launches launches;
    UrlLauncherC withoutCommand;
    EXPECT_TRUE(withoutCommand.Open("http://a.invalid/", true));  // no command: the system opens
    platform::registry::setString(Root::ClassesRoot, kCommandKey, "", "\"/opt/web/browser\" %1");
    UrlLauncherC launcher;
    EXPECT_TRUE(launcher.Open("http://b.invalid/", true));
    EXPECT_TRUE(launcher.Open("http://c.invalid/", false));
    platform::registry::setNumber(Root::ClassesRoot, kCommandKey, "", 7);  // not a text: no command
    UrlLauncherC numeric;
    EXPECT_TRUE(numeric.Open("http://d.invalid/", true));
    EXPECT_EQ(launches.log, (std::vector<std::string>{"open http://a.invalid/", "run /opt/web/browser [http://b.invalid/]",
                                                      "open http://c.invalid/", "open http://d.invalid/"}));
}
