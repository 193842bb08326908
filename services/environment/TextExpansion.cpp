// Expansion of "$(NAME)" references and folder tokens, and character-set trimming.
#include "services/environment/TextExpansion.h"

#include <string>

#include "platform/sys.h"
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
    return text;
}

RWCString expandAtDepth(const RWCString& text, int* status, bool useRegistry, int depth)
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
        if (found != 1 || (value.length() > 0 && depth >= maxExpansionDepth)) {
            // Unknown, or nested too deep (a variable that refers to itself): keep it as written.
            out += '$';
            out.append(reference.data(), reference.length());
        } else if (value.length() > 0) {
            RWCString expanded = expandAtDepth(value, status, useRegistry, depth + 1);
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
    return expandAtDepth(text, status ? status : &own, useRegistry, 0);
}

RWCString stripChars(RWCString text, int mode, RWCString chars)
{
    if (mode < 1 || mode > 3 || chars.length() == 0)
        return text;
    std::string s(text.data(), text.length());
    const char* set = chars.data();
    size_t setLen = chars.length();
    if (mode & 2) {
        size_t before;
        do {
            before = s.size();
            for (size_t k = 0; k < setLen; ++k)
                while (!s.empty() && s.back() == set[k])
                    s.pop_back();
        } while (s.size() != before);
    }
    if (mode & 1) {
        size_t before, b = 0;
        do {
            before = b;
            for (size_t k = 0; k < setLen; ++k)
                while (b < s.size() && s[b] == set[k])
                    ++b;
        } while (b != before);
        s.erase(0, b);
    }
    return toRW(s);
}
