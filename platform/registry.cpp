// The registry stand-in: keys in ordered maps, one lock around the whole tree.
#include "platform/registry.h"

#include <map>
#include <memory>
#include <mutex>

namespace platform::registry {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

struct IgnoreCaseLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            unsigned char x = (unsigned char)lowerAscii(a[i]), y = (unsigned char)lowerAscii(b[i]);
            if (x != y)
                return x < y;
        }
        return a.size() < b.size();
    }
};

struct Key {
    std::string name;  // spelling at creation
    std::map<std::string, std::unique_ptr<Key>, IgnoreCaseLess> subkeys;
    std::map<std::string, Value, IgnoreCaseLess> values;
    bool readOnly = false;  // writes at or below this key are refused
};

std::mutex g_lock;
Key g_roots[4];

Key& rootKey(Root root) { return g_roots[static_cast<int>(root)]; }

std::vector<std::string> levels(const std::string& keyPath)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= keyPath.size()) {
        size_t end = keyPath.find('\\', start);
        if (end == std::string::npos)
            end = keyPath.size();
        if (end > start)
            out.push_back(keyPath.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

Key* find(Root root, const std::string& keyPath)
{
    Key* k = &rootKey(root);
    for (const std::string& level : levels(keyPath)) {
        auto it = k->subkeys.find(level);
        if (it == k->subkeys.end())
            return nullptr;
        k = it->second.get();
    }
    return k;
}

// False when the key or one above it is read-only (for this process, as access rights would).
bool writable(Root root, const std::string& keyPath)
{
    const Key* k = &rootKey(root);
    if (k->readOnly)
        return false;
    for (const std::string& level : levels(keyPath)) {
        auto it = k->subkeys.find(level);
        if (it == k->subkeys.end())
            return true;
        k = it->second.get();
        if (k->readOnly)
            return false;
    }
    return true;
}

bool holdsReadOnly(const Key& key)
{
    if (key.readOnly)
        return true;
    for (const auto& entry : key.subkeys)
        if (holdsReadOnly(*entry.second))
            return true;
    return false;
}

Key& make(Root root, const std::string& keyPath)
{
    Key* k = &rootKey(root);
    for (const std::string& level : levels(keyPath)) {
        std::unique_ptr<Key>& slot = k->subkeys[level];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = level;
        }
        k = slot.get();
    }
    return *k;
}

}  // namespace

bool keyExists(Root root, const std::string& keyPath)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return find(root, keyPath) != nullptr;
}

bool createKey(Root root, const std::string& keyPath)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (!writable(root, keyPath))
        return false;
    make(root, keyPath);
    return true;
}

std::optional<Value> queryValue(Root root, const std::string& keyPath, const std::string& valueName)
{
    std::lock_guard<std::mutex> guard(g_lock);
    const Key* k = find(root, keyPath);
    if (!k)
        return std::nullopt;
    auto it = k->values.find(valueName);
    if (it == k->values.end())
        return std::nullopt;
    return it->second;
}

bool setValue(Root root, const std::string& keyPath, const std::string& valueName, const Value& value)
{
    std::lock_guard<std::mutex> guard(g_lock);
    Key* k = find(root, keyPath);
    if (!k || !writable(root, keyPath))
        return false;
    auto it = k->values.find(valueName);
    if (it != k->values.end())
        it->second = value;
    else
        k->values.emplace(valueName, value);
    return true;
}

std::optional<std::vector<std::string>> subkeyNames(Root root, const std::string& keyPath)
{
    std::lock_guard<std::mutex> guard(g_lock);
    const Key* k = find(root, keyPath);
    if (!k)
        return std::nullopt;
    std::vector<std::string> names;
    names.reserve(k->subkeys.size());
    for (const auto& entry : k->subkeys)
        names.push_back(entry.second->name);
    return names;
}

bool removeKey(Root root, const std::string& keyPath)
{
    std::lock_guard<std::mutex> guard(g_lock);
    // A key goes with its subtree, so a read-only key below it keeps it too.
    const Key* target = find(root, keyPath);
    if (!writable(root, keyPath) || (target != nullptr && holdsReadOnly(*target)))
        return false;
    std::vector<std::string> path = levels(keyPath);
    if (path.empty()) {
        Key& r = rootKey(root);
        r.subkeys.clear();
        r.values.clear();
        return true;
    }
    Key* parent = &rootKey(root);
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        auto it = parent->subkeys.find(path[i]);
        if (it == parent->subkeys.end())
            return false;
        parent = it->second.get();
    }
    return parent->subkeys.erase(path.back()) > 0;
}

bool removeValue(Root root, const std::string& keyPath, const std::string& valueName)
{
    std::lock_guard<std::mutex> guard(g_lock);
    Key* k = find(root, keyPath);
    return k && writable(root, keyPath) && k->values.erase(valueName) > 0;
}

void reset()
{
    std::lock_guard<std::mutex> guard(g_lock);
    for (Key& r : g_roots) {
        r.subkeys.clear();
        r.values.clear();
        r.readOnly = false;
    }
}

void setReadOnly(Root root, const std::string& keyPath, bool readOnly)
{
    std::lock_guard<std::mutex> guard(g_lock);
    make(root, keyPath).readOnly = readOnly;
}

void setString(Root root, const std::string& keyPath, const std::string& valueName, const std::string& text)
{
    Value v;
    v.type = ValueType::String;
    v.text = text;
    createKey(root, keyPath);
    setValue(root, keyPath, valueName, v);
}

void setNumber(Root root, const std::string& keyPath, const std::string& valueName, uint32_t number)
{
    Value v;
    v.type = ValueType::Number;
    v.number = number;
    createKey(root, keyPath);
    setValue(root, keyPath, valueName, v);
}

}  // namespace platform::registry
