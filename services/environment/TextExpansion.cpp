// Expansion of "$(NAME)" references and folder tokens, and character-set trimming.
#include "services/environment/TextExpansion.h"

#include <string>
#include <vector>

#include "platform/sys.h"
#include "services/ReplaceAll.h"
#include "services/StringHelpers.h"
#include "services/environment/Environment.h"
#include "services/environment/RegistryAccess.h"

namespace {

ExpansionFunction g_expansionFunction = expandVariables;

RWCString toRW(const std::string& s) { return RWCString(s.c_str(), s.size()); }

bool isNameEnd(char c) { return c == '/' || c == '\\' || c == '-' || c == ')'; }

RWCString userAppData()
{
    RWCString path = toRW(platform::sys::userAppDataFolder());
    if (path.length() == 0)
        path = readRegistryValue("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                 "AppData");
    if (path.length() == 0)
        path = "/tmp";
    return stripChars(path, 2, "\\/");
}

// One left-to-right pass per token: a folder whose name holds the token is not searched again.
RWCString replaceFolderTokens(RWCString text)
{
    if (text.index("%SystemRoot%", 0, RWCString::ignoreCase) != RW_NPOS)
        text = replaceAll(text, "%SystemRoot%", toRW(platform::sys::systemFolder()), RWCString::ignoreCase, 0);
    if (text.index("%SystemTemp%", 0, RWCString::ignoreCase) != RW_NPOS)
        text = replaceAll(text, "%SystemTemp%", stripChars(toRW(platform::sys::tempFolder()), 2, "\\/"),
                          RWCString::ignoreCase, 0);
    if (text.index("%UserAppData%", 0, RWCString::ignoreCase) != RW_NPOS)
        text = replaceAll(text, "%UserAppData%", userAppData(), RWCString::ignoreCase, 0);
    // The viewer falls back on "%TEMP%" for its per-user folder: the same temporary folder.
    if (text.index("%TEMP%", 0, RWCString::ignoreCase) != RW_NPOS)
        text = replaceAll(text, "%TEMP%", stripChars(toRW(platform::sys::tempFolder()), 2, "\\/"),
                          RWCString::ignoreCase, 0);
    return text;
}

// What one expansion may still do: the names being expanded right now (a name met again
// inside its own value is a cycle) and the number of values it may still expand, so that
// values referring to each other many times over cannot make the work grow without end.
struct ExpansionState {
    std::vector<RWCString> chain;
    size_t budget = maxExpandedValues;
};

bool inChain(const ExpansionState& state, const RWCString& name)
{
    for (const RWCString& n : state.chain)
        if (n == name)
            return true;
    return false;
}

RWCString expandAtDepth(const RWCString& text, int* status, bool useRegistry, ExpansionState& state)
{
    *status = 1;
    const char* s = text.data();
    size_t n = text.length();
    std::string out;
    out.reserve(n);
    size_t pos = 0;
    while (pos < n && *status > 0) {
        if (s[pos] != '$') {
            out += s[pos++];
            continue;
        }
        size_t start = pos + 1, end = start;
        while (end < n && !isNameEnd(s[end]))
            ++end;
        if (end < n && s[end] == ')')
            ++end;
        RWCString reference(s + start, end - start);
        pos = end;

        RWCString name = stripChars(stripChars(reference, 1, "("), 2, ")");
        int found = 0;
        RWCString value = getVariable(name, &found, useRegistry);
        bool tooDeep = state.chain.size() >= size_t(maxExpansionDepth) || state.budget == 0 || inChain(state, name);
        if (found != 1 || (value.length() > 0 && tooDeep)) {
            // Unknown, or a variable that refers to itself or nests too deep: keep it as written.
            out += '$';
            out.append(reference.data(), reference.length());
        } else if (value.length() > 0) {
            --state.budget;
            state.chain.push_back(name);
            RWCString expanded = expandAtDepth(value, status, useRegistry, state);
            state.chain.pop_back();
            out.append(expanded.data(), expanded.length());
        }
    }
    return replaceFolderTokens(toRW(out));
}

}  // namespace

ExpansionFunction setExpansionFunction(ExpansionFunction fn)
{
    ExpansionFunction previous = g_expansionFunction;
    g_expansionFunction = fn;
    return previous;
}

RWCString callExpansionFunction(RWCString text, int* status, bool useRegistry)
{
    return g_expansionFunction(text, status, useRegistry);
}

RWCString expandText(RWCString text, int* status) { return callExpansionFunction(text, status, false); }

RWCString expandString(RWCString text)
{
    int status = 0;
    RWCString result = callExpansionFunction(text, &status, true);
    return status == 1 ? result : text;
}

RWCString expandVariables(RWCString text, int* status, bool useRegistry)
{
    int own = 0;
    ExpansionState state;
    return expandAtDepth(text, status ? status : &own, useRegistry, state);
}
