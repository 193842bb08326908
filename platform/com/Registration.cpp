// Registration: class and type library entries in the registry stand-in.
#include "platform/com/Registration.h"

#include <map>
#include <mutex>

#include "platform/registry.h"

namespace platform::com {
namespace {

using platform::registry::Root;
constexpr Root kRoot = Root::ClassesRoot;

std::mutex g_lock;
// The data of each registered library version, by "{libid}\major.minor".
std::map<std::string, const TypeLibrary*> g_libraries;

std::string versionText(uint16_t major, uint16_t minor)
{
    return std::to_string(major) + "." + std::to_string(minor);
}

std::string hexText(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", unsigned(value));
    return text;
}

bool setString(const std::string& key, const std::string& name, const std::string& text)
{
    return platform::registry::createKey(kRoot, key) &&
           platform::registry::setValue(kRoot, key, name, {platform::registry::ValueType::String, text, 0});
}

bool removeIfPresent(const std::string& key)
{
    return !platform::registry::keyExists(kRoot, key) || platform::registry::removeKey(kRoot, key);
}

}  // namespace

bool registerTypeLib(const TypeLibrary& library, const std::string& modulePath)
{
    const std::string lib = library.libid.toString();
    const std::string key = "TypeLib\\" + lib + "\\" + versionText(library.majorVersion, library.minorVersion);
    bool ok = setString(key, "", library.helpString) &&
              setString(key + "\\" + hexText(library.lcid) + "\\linux64", "", modulePath) &&
              setString(key + "\\FLAGS", "", "0") && setString(key + "\\HELPDIR", "", "");
    for (const TypeInfo& type : library.types) {
        if (!ok || type.kind != TypeKind::Dispatch)
            continue;
        const std::string iface = "Interface\\" + type.guid.toString();
        ok = setString(iface, "", type.name) &&
             setString(iface + "\\TypeLib", "", lib) &&
             setString(iface + "\\TypeLib", "Version", versionText(library.majorVersion, library.minorVersion));
    }
    if (ok) {
        std::lock_guard<std::mutex> guard(g_lock);
        g_libraries[lib + "\\" + versionText(library.majorVersion, library.minorVersion)] = &library;
    }
    return ok;
}

bool unregisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid)
{
    (void)lcid;  // one entry serves every locale
    const std::string lib = libid.toString();
    const std::string libKey = "TypeLib\\" + lib;
    const std::string key = libKey + "\\" + versionText(major, minor);
    if (!platform::registry::keyExists(kRoot, key))
        return false;
    const TypeLibrary* data = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        auto it = g_libraries.find(lib + "\\" + versionText(major, minor));
        if (it != g_libraries.end()) {
            data = it->second;
            g_libraries.erase(it);
        }
    }
    bool ok = platform::registry::removeKey(kRoot, key);
    if (data != nullptr)
        for (const TypeInfo& type : data->types)
            if (type.kind == TypeKind::Dispatch)
                ok = removeIfPresent("Interface\\" + type.guid.toString()) && ok;
    auto left = platform::registry::subkeyNames(kRoot, libKey);
    if (left && left->empty())
        ok = platform::registry::removeKey(kRoot, libKey) && ok;
    return ok;
}

HResult loadRegTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid, const TypeLibrary** out)
{
    (void)lcid;
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    const std::string lib = libid.toString();
    if (!platform::registry::keyExists(kRoot, "TypeLib\\" + lib + "\\" + versionText(major, minor)))
        return TYPE_E_LIBNOTREGISTERED;
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = g_libraries.find(lib + "\\" + versionText(major, minor));
    if (it == g_libraries.end())
        return TYPE_E_LIBNOTREGISTERED;
    *out = it->second;
    return S_OK;
}

bool registerControlClass(const ControlClassInfo& info)
{
    const std::string clsid = info.clsid.toString();
    const std::string key = "CLSID\\" + clsid;
    bool ok = setString(key, "", info.typeName) && setString(key + "\\ProgID", "", info.progId) &&
              setString(key + "\\InprocServer32", "", info.modulePath) &&
              setString(key + "\\Control", "", "") && setString(key + "\\MiscStatus", "", "0") &&
              setString(key + "\\MiscStatus\\1", "", std::to_string(info.miscStatus)) &&
              setString(key + "\\ToolboxBitmap32", "", info.modulePath + ", " + std::to_string(info.toolboxBitmapId)) &&
              setString(key + "\\TypeLib", "", info.libid.toString()) &&
              setString(key + "\\Version", "", versionText(info.major, info.minor));
    if (ok && (info.flags & RegApartmentThreading) != 0)
        ok = setString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    if (ok && (info.flags & RegInsertable) != 0)
        ok = setString(key + "\\Insertable", "", "");
    if (ok && !info.progId.empty()) {
        ok = setString(info.progId, "", info.typeName) && setString(info.progId + "\\CLSID", "", clsid);
        if (ok && (info.flags & RegInsertable) != 0)
            ok = setString(info.progId + "\\Insertable", "", "");
    }
    return ok;
}

bool registerPropertyPageClass(const std::string& modulePath, const Guid& clsid, const std::string& typeName)
{
    const std::string key = "CLSID\\" + clsid.toString();
    return setString(key, "", typeName) && setString(key + "\\InprocServer32", "", modulePath) &&
           setString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
}

bool unregisterClass(const Guid& clsid, const std::string& progId)
{
    bool ok = removeIfPresent("CLSID\\" + clsid.toString());
    if (!progId.empty())
        ok = removeIfPresent(progId) && ok;
    return ok;
}

}  // namespace platform::com
