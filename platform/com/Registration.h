// Registration: the registry entries of a module's type library, control classes and property
// pages, kept in the registry stand-in under HKEY_CLASSES_ROOT, and loading a registered type
// library.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/Guid.h"
#include "platform/com/TypeLibrary.h"
#include "platform/com/Unknown.h"

namespace platform::com {

// Writes "TypeLib\{libid}\major.minor" (help string, the module under "0\linux64", flags and
// help folder) and each dispatch interface under "Interface\{iid}"; the library's data
// becomes loadable. False when a key cannot be written. The library must outlive its
// registration.
bool registerTypeLib(const TypeLibrary& library, const std::string& modulePath);
// Removes that version's entries (the library key too when no version is left) and the
// interfaces that name the library; false when it was not registered or cannot be removed.
bool unregisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid);
// The registered library of that version; TYPE_E_LIBNOTREGISTERED when there is none.
HResult loadRegTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid, const TypeLibrary** out);

// Flags of a control class.
inline constexpr unsigned RegInsertable = 1;
inline constexpr unsigned RegApartmentThreading = 2;

struct ControlClassInfo {
    std::string modulePath;
    Guid clsid;
    std::string progId;
    std::string typeName;
    int toolboxBitmapId = 1;
    unsigned flags = 0;
    uint32_t miscStatus = 0;
    Guid libid;
    uint16_t major = 1;
    uint16_t minor = 0;
};

// "CLSID\{clsid}" with the type name, ProgID, in-process server and threading model, the
// control, insertable, miscellaneous status, toolbox bitmap, type library and version keys,
// and the ProgID's key pointing back. False when a key cannot be written.
bool registerControlClass(const ControlClassInfo& info);
bool registerPropertyPageClass(const std::string& modulePath, const Guid& clsid, const std::string& typeName);
// Removes "CLSID\{clsid}" and the ProgID's key (when given); true when neither is left.
bool unregisterClass(const Guid& clsid, const std::string& progId);

}  // namespace platform::com
