// CTavoplexApp: the module object, and the module's four entry points with C linkage.
#pragma once

#include <string>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

class CTavoplexApp {
public:
    // The module's own initialisation and clean-up at load and unload: nothing of its own.
    bool InitInstance();
    int ExitInstance();
    // The file the module was loaded from (the program's own when linked into it).
    static std::string ModulePath();
};

extern CTavoplexApp theApp;

extern "C" {
// Registers the type library, then every class (with its categories): 0, or 0x80040200 when
// the type library step fails, 0x80040201 when a class step fails.
platform::com::HResult DllRegisterServer();
// The reverse, with the same results.
platform::com::HResult DllUnregisterServer();
// The class factory of a class of the module asked for an interface.
platform::com::HResult DllGetClassObject(const platform::com::Guid* clsid, const platform::com::Guid* iid, void** out);
// 0 when no object and no lock of the module is left, else 1.
platform::com::HResult DllCanUnloadNow();
}
