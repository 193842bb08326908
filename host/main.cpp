// The host program tavoplex: loads the viewer's module, places the control it makes on a
// "page" made of the command line, and either renders the model into a BMP file or shows it in
// an X11 window.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "host/HostOptions.h"
#include "host/ModuleLoader.h"
#include "platform/AddressSpace.h"
#include "platform/WebAddress.h"
#include "platform/com/OleControl.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "platform/host/X11Host.h"
#include "platform/sys.h"

using platform::Reason;
using platform::ReasonText;
using platform::reasonText;

namespace {

using platform::com::ControlState;
using platform::com::OleControl;
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

// Why the model cannot load, told before it is tried, as the control tells it: no model named,
// a local file that cannot be read (no window opens only to show that), a type it does not
// read. Empty otherwise.
std::string failureUpFront(const ControlState& state) { return state.failureReason; }

// The model's name as a message shows it: an address's password as "***".
std::string shownName(const ControlState& state) { return platform::address::withoutPassword(state.fileName); }

// Why the load failed, as the control tells it (the model's name alone when it tells nothing).
std::string reasonOf(const ControlState& state)
{
    return state.failureReason.empty() ? "\"" + shownName(state) + "\"" : state.failureReason;
}

// One line on standard error, escaped: the names in it may hold anything.
void tell(const ReasonText& reason)
{
    std::cerr << "tavoplex: " << platform::sys::escapeControlCharacters(reason.str()) << "\n";
}

void reportLoadFailure(const std::string& reason)
{
    tell(reasonText(Reason::CannotLoadModel, reason));
}

// The control tells why it made no context where it knows (a memory limit too small for the
// renderer, in one line of its own).
void reportNoContext(const ControlState& state)
{
    if (state.contextFailure.empty())
        tell(reasonText(Reason::CannotCreateContext));
    else
        tell(reasonText(Reason::ControlSays, platform::OutsideWords(state.contextFailure)));
}

std::string workingFolder()
{
    const std::string folder = platform::sys::currentFolder();
    return folder.empty() ? "." : folder;
}

ControlState stateOf(OleControl& control)
{
    ControlState state;
    control.GetState(&state);
    return state;
}

// Places the control made by the module in the host and hands it the page's parameters.
void placeControl(OleControl& control, platform::host::Host& host, const ModuleLoader& loader, HostOptions& options)
{
    control.SetClientSite(&host);
    // The host places the control running unless the line says otherwise, and the panels'
    // images come from the module's own unless the line names another place, so that a
    // picture does not depend on whether an earlier run had cached them.
    options.params.emplace("Start", "1");
    options.params.emplace("BasePath", loader.imagesAddress());
    control.LoadProperties(options.params);
}

// Loads the model and renders it into the picture through the control's scripted method, as a
// page's script would; true when the picture was written.
bool loadAndCreateBmp(OleControl& control, const std::string& model, const HostOptions& options)
{
    int32_t id = 0;
    std::string result;
    return control.GetIDOfName("LoadAndCreateBMP", &id) == platform::com::S_OK &&
           control.InvokeText(id, {model, options.output, std::to_string(options.width), std::to_string(options.height)},
                              &result) == platform::com::S_OK &&
           result == "0";
}

int renderToFile(const ModuleLoader& loader, ModuleLoader::ControlPtr made, HostOptions& options)
{
    // No window is shown: the control sits in one without area, so that only the picture,
    // drawn in its own context at the asked size, costs frames of the model.
    OffscreenHost host(0, 0);
    host.setPageAddress(options.page);
    host.setDialogAnswer(answerWithNormalDetail);
    // Released before the host it is placed in.
    ModuleLoader::ControlPtr control = std::move(made);
    placeControl(*control, host, loader, options);
    control->WindowMessage(Message::create());
    ControlState state = stateOf(*control);
    if (!state.hasContext) {
        reportNoContext(state);
        control->WindowMessage(Message::destroy());
        return 1;
    }
    control->WindowMessage(Message::size(0, 0));
    if (!state.running) {
        tell(reasonText(Reason::StartIsZero));
        control->WindowMessage(Message::destroy());
        return 2;
    }
    if (const std::string reason = failureUpFront(state); !reason.empty()) {
        reportLoadFailure(reason);
        control->WindowMessage(Message::destroy());
        return 1;
    }
    const bool written = loadAndCreateBmp(*control, state.fileName, options);
    state = stateOf(*control);
    control->WindowMessage(Message::destroy());
    if (!written) {
        if (state.loading)
            tell(reasonText(Reason::DidNotFinishLoading, shownName(state)));
        else if (state.loadFailed)
            reportLoadFailure(reasonOf(state));
        else
            tell(state.writeFailure.empty() ? reasonText(Reason::CannotWrite, options.output)
                                            : reasonText(Reason::CannotWriteBecause, options.output, state.writeFailure));
        return 1;
    }
    return 0;
}

int showWindow(const ModuleLoader& loader, ModuleLoader::ControlPtr made, HostOptions& options)
{
    ReasonText error;
    auto host = platform::host::X11Host::open(nullptr, options.width, options.height, "Tavoplex", error);
    if (!host) {
        // The display's name comes from the environment: shown escaped like every other name.
        tell(reasonText(Reason::GiveOutputInstead, error));
        return 1;
    }
    host->setPageAddress(options.page);
    host->setScript(kScriptFunction, printScriptCall);
    // Released before the host it is placed in.
    ModuleLoader::ControlPtr control = std::move(made);
    placeControl(*control, *host, loader, options);
    // A load that fails later (a server that refuses the model) is told when it fails; the
    // window stays, showing the failure, and the program's result says it once closed.
    bool failed = false;
    auto target = [&control, &failed](const Message& m) {
        const long result = control->WindowMessage(m);
        // Loads advance on the window's timer and paint messages only: pointer moves need no
        // look at the control's state.
        if (!failed && (m.kind == platform::host::MessageKind::Timer || m.kind == platform::host::MessageKind::Paint)) {
            const ControlState state = stateOf(*control);
            if (state.loadFailed) {
                failed = true;
                reportLoadFailure(reasonOf(state));
            }
        }
        return result;
    };
    if (target(Message::create()) != 0 || !stateOf(*control).hasContext) {
        reportNoContext(stateOf(*control));
        target(Message::destroy());
        return 1;
    }
    // What can be told before the load fails as the picture does, before the window shows
    // anything: the control would show a missing file's retries for half a minute. Only once
    // the window is made does the control know the page's folder, which relative names are
    // read against.
    if (const std::string reason = failureUpFront(stateOf(*control)); !reason.empty()) {
        reportLoadFailure(reason);
        target(Message::destroy());
        return 1;
    }
    target(Message::size(options.width, options.height));
    host->run(target);
    target(Message::destroy());
    return failed ? 1 : 0;
}

// One line says what is wrong with the command line; the usage is a command away, as the
// second line says.
int refuseCommandLine(const ReasonText& error)
{
    tell(error);
    tell(reasonText(Reason::HelpListsOptions));
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // Past the file-size limit (ulimit -f) a write fails with EFBIG, and the program says
    // "cannot write", instead of being ended by the signal without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    HostOptions options;
    ReasonText error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), workingFolder(), error))
        return refuseCommandLine(error);
    if (options.help) {
        std::cout << HostOptions::usage();
        return 0;
    }
    ModuleLoader loader;
    const std::string module = options.module.empty() ? ModuleLoader::defaultPath() : options.module;
    // Under a memory limit, what the module's libraries will take, read from their files before
    // they are tried: a load that fails leaves part of them mapped.
    const bool limited = platform::sys::addressSpaceLimit() != SIZE_MAX || platform::sys::dataSegmentLimit() != SIZE_MAX;
    const platform::sys::ProcessSize loaded = limited ? platform::sys::sizeOnceLoaded(module) : platform::sys::ProcessSize{};
    // Under a memory limit too small for the program, the module's libraries may find no room to
    // be mapped, and a library that runs out while it starts ends the process: the limit is said
    // before they are tried. Counted with what they will take, it is the figure the program says
    // once they are loaded.
    if (const ReasonText shortfall = platform::sys::memoryShortfallReason(loaded, true); limited && !shortfall.empty()) {
        tell(shortfall);
        return 1;
    }
    if (!loader.load(module, error)) {
        // What a load that failed left mapped may be what the limit was short of.
        if (const ReasonText shortfall = platform::sys::memoryShortfallReason(loaded, true); !shortfall.empty()) {
            tell(shortfall);
            return 1;
        }
        // Only the program's own place for it was tried: say how to name another.
        tell(options.module.empty() ? reasonText(Reason::GiveModule, error) : error);
        return 1;
    }
    // Under a limit of address space (ulimit -v) the renderer gets its room before it starts,
    // or the program ends at once: the renderer aborts where memory runs out.
    if (const ReasonText shortfall = platform::sys::fitToAddressSpace(); !shortfall.empty()) {
        tell(shortfall);
        return 1;
    }
    try {
        std::vector<platform::com::PropertyInfo> properties;
        ModuleLoader::ControlPtr control = loader.createControl(properties, error);
        if (!control) {
            tell(error);
            return 1;
        }
        // The parameters are checked against the control's own list of them: the control takes
        // a name it does not have, or a text it cannot read, without a word.
        if (!options.checkParams(properties, error))
            return refuseCommandLine(error);
        return options.output.empty() ? showWindow(loader, std::move(control), options)
                                       : renderToFile(loader, std::move(control), options);
    } catch (const std::exception& e) {
        tell(reasonText(Reason::Unforeseen, platform::OutsideWords(e.what())));
        return 1;
    }
}
