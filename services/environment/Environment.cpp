// The process-wide variable store: tables, registry prefixes, built-ins and the lookup order.
#include "services/environment/Environment.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/sys.h"
#include "services/environment/RegistryAccess.h"

extern char** environ;

_CSEnvironClass::_CSEnvironClass() : flagged(false) {}

_CSEnvironClass::_CSEnvironClass(RWCString n, RWCString v, bool f) : name(n), value(v), flagged(f) {}

namespace {

CSEnvironTable* g_variableTable = nullptr;
CSEnvironTable* g_defaultTable = nullptr;

// Registry prefixes: plain buffers, ready before any static constructor runs. The registry
// allows at most 255 characters.
constexpr size_t pathKeySize = 256;
char g_userPathKey[pathKeySize] = "HKEY_CURRENT_USER\\SOFTWARE\\KORVANE\\PATH\\";
char g_machinePathKey[pathKeySize] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVANE\\PATH\\";

// Built-in values, chosen for Linux: the processor family, no executable extension and
// shared objects for libraries.
#if defined(__x86_64__) || defined(__i386__)
const char* const g_osName = "x86";
#elif defined(__aarch64__) || defined(__arm__)
const char* const g_osName = "arm";
#else
const char* const g_osName = "unknown";
#endif
const char* const g_osExt = "";
const char* const g_osDllExt = "so";

CSEnvironTable* makeTable() { return new CSEnvironTable(0, false, 64); }

size_t findEntry(const CSEnvironTable& table, const RWCString& name)
{
    for (size_t i = 0; i < table.entries(); ++i)
        if (table[i].name == name)
            return i;
    return RW_NPOS;
}

void setIn(CSEnvironTable& table, const RWCString& name, const RWCString& value, bool flag)
{
    size_t i = findEntry(table, name);
    if (i != RW_NPOS)
        table[i].value = value;
    else
        table.insert(_CSEnvironClass(name, value, flag));
}

RWCString caseConverted(const RWCString& name, bool upper)
{
    std::string s(name.data(), name.length());
    for (char& c : s)
        c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                    : std::tolower(static_cast<unsigned char>(c)));
    return RWCString(s.c_str(), s.size());
}

bool environmentValue(const RWCString& name, RWCString& value)
{
    const char* v = std::getenv(name.data());
    if (!v)
        return false;
    value = RWCString(v);
    return true;
}

// Enters "name=value" texts; a text without '=' is skipped.
void addAssignment(CSEnvironDictionary& out, const char* text)
{
    const char* eq = std::strchr(text, '=');
    if (!eq)
        return;
    out[RWCString(text, static_cast<size_t>(eq - text))] = RWCString(eq + 1);
}

void addRegistryVariables(CSEnvironDictionary& out, const char* prefixText)
{
    RWCString prefix(prefixText);
    RWTValOrderedVector<RWCString> names = enumRegistryKeys(prefix);
    for (size_t i = 0; i < names.entries(); ++i) {
        RWCString value = readRegistryValue(prefix + names[i], "");
        if (!value.isNull())
            out[names[i]] = value;
    }
}

bool setPathKey(char* target, const RWCString& key)
{
    // A text with a NUL inside could not be kept whole either.
    if (key.length() >= pathKeySize || std::strlen(key.data()) != key.length())
        return false;
    std::memcpy(target, key.data(), key.length() + 1);
    return true;
}

}  // namespace

CSEnvironTable* variableTable()
{
    if (!g_variableTable)
        g_variableTable = makeTable();
    return g_variableTable;
}

CSEnvironTable* defaultTable()
{
    if (!g_defaultTable)
        g_defaultTable = makeTable();
    return g_defaultTable;
}

CSEnvironTableGuard::~CSEnvironTableGuard()
{
    delete g_variableTable;
    delete g_defaultTable;
    g_variableTable = nullptr;
    g_defaultTable = nullptr;
}

static CSEnvironTableGuard g_tableGuard;

RWCString getVariable(RWCString name, int* status, bool useRegistry)
{
    if (status)
        *status = 1;
    const CSEnvironTable& table = *variableTable();
    size_t i = findEntry(table, name);
    if (i != RW_NPOS)
        return table[i].value;

    if (useRegistry) {
        // An empty registry value does not count: the search goes on.
        RWCString value = readRegistryValue(RWCString(g_userPathKey) + name, "");
        if (!value.isNull())
            return value;
        value = readRegistryValue(RWCString(g_machinePathKey) + name, "");
        if (!value.isNull())
            return value;
    }

    // A variable present in the environment counts even when empty.
    RWCString value;
    if (environmentValue(name, value) || environmentValue(caseConverted(name, true), value) ||
        environmentValue(caseConverted(name, false), value))
        return value;

    if (name.compareTo("OSDLLEXT", RWCString::ignoreCase) == 0)
        return g_osDllExt;
    if (name.compareTo("OSNAME", RWCString::ignoreCase) == 0)
        return g_osName;
    if (name.compareTo("OSEXT", RWCString::ignoreCase) == 0)
        return g_osExt;

    const CSEnvironTable& defaults = *defaultTable();
    i = findEntry(defaults, name);
    if (i != RW_NPOS)
        return defaults[i].value;

    if (status)
        *status = -1;
    return RWCString();
}

bool variableExists(RWCString name)
{
    int status = 0;
    getVariable(name, &status, true);
    return status == 1;
}

void setVariable(RWCString name, RWCString value, bool flag) { setIn(*variableTable(), name, value, flag); }

void setDefaultVariable(RWCString name, RWCString value) { setIn(*defaultTable(), name, value, false); }

RWCString getTableVariable(RWCString name)
{
    const CSEnvironTable& table = *variableTable();
    size_t i = findEntry(table, name);
    return i != RW_NPOS ? table[i].value : RWCString();
}

void removeVariable(RWCString name)
{
    CSEnvironTable& table = *variableTable();
    size_t i = findEntry(table, name);
    if (i != RW_NPOS)
        table.removeAt(i);
}

void clearVariables() { variableTable()->clear(); }

void clearDefaultVariables() { defaultTable()->clear(); }

bool isVariableFlagged(RWCString name)
{
    const CSEnvironTable& table = *variableTable();
    size_t i = findEntry(table, name);
    return i != RW_NPOS && table[i].flagged;
}

void collectFlaggedVariables(RWTValOrderedVector<_CSEnvironClass>& out)
{
    const CSEnvironTable& table = *variableTable();
    for (size_t i = 0; i < table.entries(); ++i)
        if (table[i].flagged)
            out.insert(table[i]);
}

void collectVariables(CSEnvironDictionary& out)
{
    const CSEnvironTable& defaults = *defaultTable();
    for (size_t i = 0; i < defaults.entries(); ++i)
        out[defaults[i].name] = defaults[i].value;
    addProcessEnvironment(out);
    addRegistryVariables(out, g_machinePathKey);
    addRegistryVariables(out, g_userPathKey);
    const CSEnvironTable& table = *variableTable();
    for (size_t i = 0; i < table.entries(); ++i)
        out[table[i].name] = table[i].value;
}

void addProcessEnvironment(CSEnvironDictionary& out)
{
    if (!environ)
        return;
    for (char** p = environ; *p; ++p)
        addAssignment(out, *p);
}

void addEnvironmentBlock(CSEnvironDictionary& out, const char* block)
{
    if (!block)
        return;
    while (*block) {
        addAssignment(out, block);
        block += std::strlen(block) + 1;
    }
}

int writeEnvironmentBlock(const CSEnvironDictionary& vars, char* buffer, int size)
{
    size_t needed = 2;
    RWTValHashDictionaryIterator<RWCString, RWCString> it(vars);
    while (it())
        needed += it.key().length() + it.value().length() + 2;
    if (!buffer || size < 0 || needed > static_cast<size_t>(size))
        return -static_cast<int>(needed);
    char* p = buffer;
    it.reset();
    while (it()) {
        RWCString name = it.key(), value = it.value();
        std::memcpy(p, name.data(), name.length());
        p += name.length();
        *p++ = '=';
        std::memcpy(p, value.data(), value.length());
        p += value.length();
        *p++ = '\0';
    }
    *p++ = '\0';
    *p++ = '\0';
    return static_cast<int>(p - buffer);
}

char* makeEnvironmentBlock(const CSEnvironDictionary& vars)
{
    int needed = -writeEnvironmentBlock(vars, nullptr, 0);
    char* block = static_cast<char*>(std::malloc(static_cast<size_t>(needed)));
    if (block)
        writeEnvironmentBlock(vars, block, needed);
    return block;
}

bool setUserPathKey(RWCString key) { return setPathKey(g_userPathKey, key); }

bool setMachinePathKey(RWCString key) { return setPathKey(g_machinePathKey, key); }

RWCString userPathKey() { return RWCString(g_userPathKey); }

RWCString machinePathKey() { return RWCString(g_machinePathKey); }

void sleepMilliseconds(unsigned int ms) { platform::sys::sleepMilliseconds(ms); }
