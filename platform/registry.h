// The registry stand-in: an in-memory, process-wide tree of keys with string and number values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::registry {

// The four predefined roots.
enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users };

enum class ValueType { String, Number };

struct Value {
    ValueType type = ValueType::String;
    std::string text;     // String values
    uint32_t number = 0;  // Number values
};

// Key paths are relative to a root; "\" separates the levels and empty levels are ignored,
// so "" names the root itself. Key and value names compare ignoring ASCII case and keep the
// spelling they were created with. The empty value name is the key's default value.

bool keyExists(Root root, const std::string& keyPath);

// Creates the key and any missing keys above it; true when the key exists afterwards (false
// under a read-only key).
bool createKey(Root root, const std::string& keyPath);

// The value, or nothing when the key or the value is missing.
std::optional<Value> queryValue(Root root, const std::string& keyPath, const std::string& valueName);

// Sets a value of an existing key; false when the key is missing.
bool setValue(Root root, const std::string& keyPath, const std::string& valueName, const Value& value);

// Names of the direct subkeys, sorted ignoring case; nothing when the key is missing.
std::optional<std::vector<std::string>> subkeyNames(Root root, const std::string& keyPath);

// Removes a key with everything below it (false when missing; the root itself is emptied).
bool removeKey(Root root, const std::string& keyPath);
bool removeValue(Root root, const std::string& keyPath, const std::string& valueName);

// For tests: empty all four roots, and set values creating the keys on the way.
void reset();
void setString(Root root, const std::string& keyPath, const std::string& valueName, const std::string& text);
void setNumber(Root root, const std::string& keyPath, const std::string& valueName, uint32_t number);
// Makes a key (created when missing) refuse every write at or below it, as a key the process
// has no write access to would; reset() lifts it.
void setReadOnly(Root root, const std::string& keyPath, bool readOnly = true);

}  // namespace platform::registry
