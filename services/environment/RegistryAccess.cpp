// Registry access by one path text, over the registry stand-in of the platform layer.
#include "services/environment/RegistryAccess.h"

#include <cstring>
#include <string>

#include "platform/registry.h"
#include "services/environment/Environment.h"

namespace reg = platform::registry;

namespace {

// Values are read into a buffer of this many bytes, the terminating NUL included.
constexpr size_t valueBufferSize = 1024;

struct RootWord {
    const char* word;
    reg::Root root;
};

const RootWord rootWords[] = {
    {"HKEY_CLASSES_ROOT", reg::Root::ClassesRoot},
    {"HKEY_CURRENT_USER", reg::Root::CurrentUser},
    {"HKEY_LOCAL_MACHINE", reg::Root::LocalMachine},
    {"HKEY_USERS", reg::Root::Users},
};

// Splits "ROOT\key\path" (or "ROOT/key\path") at its first separator; the root word is
// compared exactly and the rest goes to the registry unchanged.
bool splitKeyPath(const RWCString& path, reg::Root& root, std::string& keyPath)
{
    std::string text(path.data(), path.length());
    size_t sep = text.find_first_of("/\\");
    if (sep == std::string::npos)
        return false;
    std::string word = text.substr(0, sep);
    for (const RootWord& r : rootWords) {
        if (word == r.word) {
            root = r.root;
            keyPath = text.substr(sep + 1);
            return true;
        }
    }
    return false;
}

std::string std_(const RWCString& s) { return std::string(s.data(), s.length()); }

}  // namespace

RWCString readRegistryValue(RWCString keyPath, RWCString valueName, bool* found)
{
    if (found)
        *found = false;
    reg::Root root;
    std::string key;
    if (!splitKeyPath(keyPath, root, key))
        return RWCString();
    std::optional<reg::Value> v = reg::queryValue(root, key, std_(valueName));
    if (!v || v->type != reg::ValueType::String || v->text.size() + 1 > valueBufferSize)
        return RWCString();
    if (found)
        *found = true;
    // The value is a C text: it ends at its first NUL.
    return RWCString(v->text.c_str());
}

RWTValOrderedVector<RWCString> enumRegistryKeys(RWCString keyPath)
{
    RWTValOrderedVector<RWCString> names(0, false, 64);
    size_t n = keyPath.length();
    if (n > 0 && (keyPath[n - 1] == '/' || keyPath[n - 1] == '\\'))
        keyPath = RWCString(keyPath.data(), n - 1);
    reg::Root root;
    std::string key;
    if (keyPath.length() == 0 || !splitKeyPath(keyPath, root, key))
        return names;
    std::optional<std::vector<std::string>> found = reg::subkeyNames(root, key);
    if (found)
        for (const std::string& name : *found)
            names.insert(RWCString(name.c_str(), name.size()));
    return names;
}

int writeRegistryValue(RWCString keyPath, RWCString valueName, RWCString value, bool create)
{
    reg::Root root;
    std::string key;
    if (!splitKeyPath(keyPath, root, key))
        return -1;
    if (create ? !reg::createKey(root, key) : !reg::keyExists(root, key))
        return -1;
    reg::Value v;
    v.type = reg::ValueType::String;
    v.text = std::string(value.data());  // stored as a C text, up to its first NUL
    return reg::setValue(root, key, std_(valueName), v) ? 1 : -1;
}

int storeVariable(RWCString name, RWCString value)
{
    RWCString userKey = userPathKey() + name;
    RWCString machineKey = machinePathKey() + name;
    bool inUser = false, inMachine = false;
    readRegistryValue(userKey, "", &inUser);
    readRegistryValue(machineKey, "", &inMachine);
    if (inUser)
        return writeRegistryValue(userKey, "", value, false);
    if (inMachine)
        return writeRegistryValue(machineKey, "", value, false);
    return writeRegistryValue("HKEY_CURRENT_USER\\Environment", name, value, false);
}
