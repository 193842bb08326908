// ModuleLoader: the module's path, loading and registration, and the control's creation.
#include "host/ModuleLoader.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/sys.h"
#include "viewer/control/TavoplexTypeLib.h"

namespace {

const char kModuleName[] = "libtavoplex.so";

#if defined(__SANITIZE_ADDRESS__)
// The module's renderer keeps the buffer records of make-current until the process ends; the
// leak checker reads only the program's own list, so the program names them for the module.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
// The checker would list the suppressions it used on standard error, where the program
// promises one line of its own on failure and none on success.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

std::string programFolder()
{
    const std::string program = platform::sys::moduleFileName();
    return program.empty() ? "." : std::filesystem::path(program).parent_path().string();
}

}  // namespace

std::string ModuleLoader::defaultPath()
{
    const std::filesystem::path folder = programFolder();
    const std::filesystem::path beside = folder / kModuleName;
    std::error_code ignored;
    if (std::filesystem::exists(beside, ignored))
        return beside.string();
    return (folder.parent_path() / "module" / kModuleName).string();
}

bool ModuleLoader::load(const std::string& path, platform::ReasonText& error)
{
    path_ = path;
    if (!module_.load(path)) {
        error = platform::reasonText(platform::Reason::CannotLoadModule, path, platform::OutsideWords(module_.error()));
        return false;
    }
    // The module is unloaded as a container does when the control is gone, but its code stays
    // mapped until the program ends: what it left behind (the renderer's records above) is then
    // still named by the leak checker, and the program ends right after anyway.
    ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    if (!platform::com::succeeded(module_.registerServer())) {
        error = platform::reasonText(platform::Reason::ModuleCannotRegister, path);
        return false;
    }
    return true;
}

std::string ModuleLoader::imagesAddress() const
{
    std::error_code ignored;
    std::filesystem::path module = std::filesystem::absolute(path_, ignored);
    if (module.empty())
        module = path_;
    return "file://" + (module.parent_path() / "images").string();
}

ModuleLoader::ControlPtr ModuleLoader::createControl(std::vector<platform::com::PropertyInfo>& properties,
                                                     platform::ReasonText& error)
{
    platform::com::OleControl* made = nullptr;
    if (!platform::com::succeeded(module_.createInstance(CLSID_Tavoplex, platform::com::IID_OleControl,
                                                          reinterpret_cast<void**>(&made))) ||
        made == nullptr) {
        error = platform::reasonText(platform::Reason::ModuleCannotMakeControl, path_);
        return nullptr;
    }
    ControlPtr control(made);
    // A control that cannot say which parameters it takes is no control of this host's.
    if (!platform::com::succeeded(control->GetProperties(&properties))) {
        error = platform::reasonText(platform::Reason::ModuleCannotMakeControl, path_);
        return nullptr;
    }
    return control;
}
