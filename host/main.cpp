// The host program tavoplex: places the viewer control on a "page" made of its command line
// and either renders the model into a BMP file or shows it in an X11 window.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "host/HostOptions.h"
#include "platform/com/PropertyExchange.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "platform/host/X11Host.h"
#include "viewer/control/CTavoplexCtrl.h"

namespace {

using platform::host::Message;

const char kScriptFunction[] = "TavoPlex_DoubleClickPart";

// The page's script: each call becomes one line on standard output.
bool printScriptCall(const std::string& name, const std::vector<std::string>& args)
{
    std::string line = name + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            line += ", ";
        line += '"';
        for (char c : args[i]) {
            if (c == '"' || c == '\\')
                line += '\\';
            line += (c == '\n' || c == '\r') ? ' ' : c;
        }
        line += '"';
    }
    line += ")";
    std::cout << line << std::endl;
    return true;
}

// Without a window nobody can answer the settings dialog: the "Normal detail" preset stands in.
int answerWithNormalDetail(platform::host::Dialog& dialog)
{
    constexpr int kNormalDetail = 211;
    if (dialog.find(kNormalDetail) == nullptr)
        return platform::host::DialogCancel;
    dialog.click(kNormalDetail);
    const int result = dialog.click(platform::host::DialogOk);
    return result != 0 ? result : platform::host::DialogOk;
}

// Headless: the control's clock is the real one, so that paced retries move on.
class OffscreenHost : public platform::host::HeadlessHost {
public:
    OffscreenHost(int width, int height) : HeadlessHost(width, height) {}
    const platform::host::HostClock& clock() const override { return clock_; }
    bool hasScriptFunction(const std::string& name) const override { return name == kScriptFunction; }
    bool invokeScriptFunction(const std::string& name, const std::vector<std::string>& args) override
    {
        return hasScriptFunction(name) && printScriptCall(name, args);
    }

private:
    platform::host::MonotonicClock clock_;
};

// The file a local model name reads, resolved against the page's folder as the control does;
// empty for names the control fetches over the network.
std::string localModelPath(const CTavoplexCtrl& control)
{
    const std::string name(control.FileName.data(), control.FileName.length());
    const std::string folder(control.HostFolder.data(), control.HostFolder.length());
    if (name.find("://") != std::string::npos || folder.find("://") != std::string::npos)
        return "";
    if (name.find(':') != std::string::npos || (!name.empty() && name[0] == '/'))
        return name;
    return folder + name;
}

// A folder or a missing file never becomes a model while the program waits.
bool isReadableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

std::string workingFolder()
{
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) == nullptr)
        return ".";
    return buffer.data();
}

void loadParameters(CTavoplexCtrl& control, HostOptions& options)
{
    // The host places the control running unless the line says otherwise.
    options.params.emplace("Start", "1");
    platform::com::PropertyExchange exchange(platform::com::PropertyExchange::Mode::Load, options.params);
    control.DoPropExchange(exchange);
}

int renderToFile(HostOptions& options)
{
    // No window is shown: the control sits in one without area, so that only the picture,
    // drawn in its own context at the asked size, costs frames of the model.
    OffscreenHost host(0, 0);
    host.setPageAddress(options.page);
    host.setDialogAnswer(answerWithNormalDetail);
    CTavoplexCtrl control;
    control.AttachHost(&host);
    loadParameters(control, options);
    control.WindowProc(Message::create());
    if (control.GLContext == nullptr) {
        std::cerr << "tavoplex: cannot create an OpenGL context\n";
        return 1;
    }
    control.WindowProc(Message::size(0, 0));
    if (control.Start == 0) {
        std::cerr << "tavoplex: Start is 0, so the control draws nothing; give Start=1\n";
        return 2;
    }
    const RWCString model = control.FileName;
    // The control would retry a missing local file for half a minute (it may yet appear);
    // on a command line a name that names nothing is an error at once.
    if (const std::string local = localModelPath(control); !local.empty() && !isReadableFile(local)) {
        std::cerr << "tavoplex: cannot read the model \"" << local << "\"\n";
        control.WindowProc(Message::destroy());
        return 1;
    }
    const bool written = control.LoadAndCreateBMP(model, RWCString(options.output.c_str()), options.width,
                                                  options.height);
    const std::string shown(control.FileName.data(), control.FileName.length());
    control.WindowProc(Message::destroy());
    if (!written) {
        if (control.Loading)
            std::cerr << "tavoplex: the model \"" << shown << "\" did not finish loading\n";
        else if (control.LoadFailed)
            std::cerr << "tavoplex: cannot load the model \"" << shown << "\"\n";
        else
            std::cerr << "tavoplex: cannot write \"" << options.output << "\"\n";
        return 1;
    }
    return 0;
}

int showWindow(HostOptions& options)
{
    std::string error;
    auto host = platform::host::X11Host::open(nullptr, options.width, options.height, "Tavoplex", error);
    if (!host) {
        std::cerr << "tavoplex: " << error << "; give --output FILE.bmp to render without a display\n";
        return 1;
    }
    host->setPageAddress(options.page);
    host->setScript(kScriptFunction, printScriptCall);
    CTavoplexCtrl control;
    control.AttachHost(host.get());
    loadParameters(control, options);
    auto target = [&control](const Message& m) { return control.WindowProc(m); };
    if (control.WindowProc(Message::create()) != 0 || control.GLContext == nullptr) {
        std::cerr << "tavoplex: cannot create an OpenGL context\n";
        return 1;
    }
    control.WindowProc(Message::size(options.width, options.height));
    host->run(target);
    control.WindowProc(Message::destroy());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    HostOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), workingFolder(), error)) {
        std::cerr << "tavoplex: " << error << "\n" << HostOptions::usage();
        return 2;
    }
    if (options.help) {
        std::cout << HostOptions::usage();
        return 0;
    }
    try {
        return options.output.empty() ? showWindow(options) : renderToFile(options);
    } catch (const std::exception& e) {
        std::cerr << "tavoplex: " << e.what() << "\n";
        return 1;
    }
}
