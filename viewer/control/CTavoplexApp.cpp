// CTavoplexApp: the module object, its factories and its entry points.
#include "viewer/control/CTavoplexApp.h"

#include <dlfcn.h>

#include "platform/com/ObjectFactory.h"
#include "platform/com/Registration.h"
#include "platform/sys.h"
#include "viewer/control/CTavoplexCtrlFactory.h"
#include "viewer/control/CTavoplexPropPage.h"
#include "viewer/control/TavoplexTypeLib.h"

using namespace platform::com;

// Built at module start-up in this order and destroyed at unload in the reverse one.
CTavoplexApp theApp;
CTavoplexCtrl::CTavoplexCtrlFactory CTavoplexCtrl::CTavoplexCtrlFactory::factory;
CTavoplexPropPage::CTavoplexPropPageFactory CTavoplexPropPage::CTavoplexPropPageFactory::factory;

namespace {
// The module's entry: initialisation once the module's objects exist, clean-up at unload.
struct ModuleEntry {
    ModuleEntry() { theApp.InitInstance(); }
    ~ModuleEntry() { theApp.ExitInstance(); }
} g_moduleEntry;
}  // namespace

// Loading the module changes nothing in the program that loads it (its environment, its
// allocator): under a memory limit the program applies the plan (fitToAddressSpace) itself, and
// a control refuses to start the renderer where the room is short.
bool CTavoplexApp::InitInstance() { return true; }

int CTavoplexApp::ExitInstance() { return 0; }

std::string CTavoplexApp::ModulePath()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] == '/')
        return info.dli_fname;
    return platform::sys::moduleFileName();
}

extern "C" {

__attribute__((visibility("default"))) HResult DllRegisterServer()
{
    if (!registerTypeLib(TavoplexTypeLibrary(), CTavoplexApp::ModulePath()))
        return SELFREG_E_TYPELIB;
    if (!ObjectFactory::UpdateRegistryAll(true))
        return SELFREG_E_CLASS;
    return S_OK;
}

__attribute__((visibility("default"))) HResult DllUnregisterServer()
{
    if (!unregisterTypeLib(LIBID_TAVOPLEXLib, kTypeLibMajor, kTypeLibMinor, 0))
        return SELFREG_E_TYPELIB;
    if (!ObjectFactory::UpdateRegistryAll(false))
        return SELFREG_E_CLASS;
    return S_OK;
}

__attribute__((visibility("default"))) HResult DllGetClassObject(const Guid* clsid, const Guid* iid, void** out)
{
    if (clsid == nullptr || iid == nullptr)
        return E_INVALIDARG;
    return ObjectFactory::GetClassObject(*clsid, *iid, out);
}

__attribute__((visibility("default"))) HResult DllCanUnloadNow() { return ObjectFactory::CanUnloadNow(); }
}
