// Path texts: separators, cleaning, normalisation, joining, parts, relative paths, the
// module's file name, list tests and command-line words.
#include "services/files/PathText.h"

#include <string>
#include <vector>

#include "platform/sys.h"
#include "services/StringHelpers.h"
#include "services/environment/TextExpansion.h"
#include "services/files/UTFilePath.h"
#include "services/files/UTPathComponentIterator.h"

// Texts are UTF-8 throughout, so the conversions between the ANSI code page and UTF-8 that
// the character-wise steps need change nothing here; the path object's texts go through them.

namespace {

const char* const stripSet = "\n\r\t /\\";

RWCString toRW(const std::string& s) { return RWCString(s.c_str(), s.size()); }
std::string toStd(const RWCString& s) { return std::string(s.data(), s.length()); }

bool isSep(char c) { return c == '/' || c == '\\'; }

std::vector<std::string> splitComponents(const std::string& s)
{
    std::vector<std::string> out;
    size_t i = 0, n = s.size();
    while (i < n) {
        if (!out.empty() && isSep(s[i])) {
            ++i;
            if (i >= n)
                break;
        }
        if (s[i] == '"') {
            std::string comp;
            size_t k = i + 1;
            for (; k < n; ++k) {
                if (s[k] == '"') {
                    if (k + 1 < n && s[k + 1] == '"') {
                        comp += '"';
                        ++k;
                        continue;
                    }
                    break;
                }
                comp += s[k];
            }
            i = k < n ? k + 1 : n;
            if (!comp.empty())
                out.push_back(comp);
            continue;
        }
        // One or two leading separators stay with the first component ("/a", "//server").
        size_t k = i;
        if (out.empty()) {
            if (k < n && isSep(s[k]))
                ++k;
            if (k < n && k == i + 1 && isSep(s[k]))
                ++k;
        }
        while (k < n && !isSep(s[k]))
            ++k;
        out.push_back(s.substr(i, k - i));
        i = k;
    }
    return out;
}

// The root of a path ("/", "//" or "\\" before the first name, or a lone drive "C:") is kept
// apart from the names, so that ".." can never climb over it: "/a/../b" stays absolute.
std::string normalizeComponents(std::vector<std::string> list)
{
    std::string root;
    if (!list.empty()) {
        std::string& first = list.front();
        size_t seps = 0;
        while (seps < first.size() && seps < 2 && isSep(first[seps]))
            ++seps;
        if (seps > 0) {
            root = first.substr(0, seps);
            first.erase(0, seps);
        } else if (first.size() == 2 && first[1] == ':') {
            root = first + "/";
            first.clear();
        }
    }
    std::vector<std::string> kept;
    for (std::string& c : list)
        if (!c.empty() && c != ".")
            kept.push_back(std::move(c));
    size_t i = 0;
    while (i < kept.size()) {
        if (kept[i] == ".." && i > 0 && kept[i - 1] != "..") {
            kept.erase(kept.begin() + static_cast<long>(i) - 1, kept.begin() + static_cast<long>(i) + 1);
            --i;
        } else if (kept[i] == ".." && i == 0 && !root.empty()) {
            kept.erase(kept.begin());  // nothing lies above the root
        } else {
            ++i;
        }
    }
    std::string out = root;
    for (size_t k = 0; k < kept.size(); ++k) {
        if (k > 0)
            out += '/';
        out += kept[k];
    }
    // A drive alone is written without its separator ("C:").
    if (kept.empty() && root.size() == 3 && root[1] == ':')
        out.pop_back();
    return out;
}

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return toRW(a).compareTo(toRW(b), RWCString::ignoreCase) == 0;
}

// The largest index of a '/', '\' or ':', or RW_NPOS.
size_t lastPartMark(const std::string& s)
{
    size_t k = s.find_last_of("/\\:");
    return k == std::string::npos ? RW_NPOS : k;
}

}  // namespace

RWCString toBackslashPath(RWCString path)
{
    std::string s = toStd(path);
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return stripChars(toRW(s), 2, stripSet);
}

RWCString cleanPathText(RWCString path) { return stripChars(UTFilePath(path).text(), 2, stripSet); }

RWCString normalizePath(RWCString path)
{
    std::string t = toStd(cleanPathText(path));
    if (t.empty())
        return RWCString();
    return toRW(normalizeComponents(splitComponents(t)));
}

RWCString combinePath(RWCString base, RWCString relative, bool expand)
{
    RWCString b = cleanPathText(base);
    RWCString r = expandString(relative);
    RWCString result;
    if ((r.length() > 0 && isSep(r.data()[0])) || (r.length() > 1 && r.data()[1] == ':')) {
        result = relative;
    } else {
        result = b;
        if (base.length() > 0)
            result += "/";
        result += relative;
    }
    result = normalizePath(result);
    if (expand)
        result = expandString(result);
    return UTFilePath(result).text();
}

RWTValSlist<RWCString> splitPath(const char* text)
{
    RWTValSlist<RWCString> out;
    if (!text)
        return out;
    for (const std::string& c : splitComponents(toStd(toUtf8(text))))
        out.append(fromUtf8(toRW(c)));
    return out;
}

RWCString directoryPart(RWCString path, bool useWorkingDirectory)
{
    std::string s = toStd(path);
    size_t k = lastPartMark(s);
    if (k != RW_NPOS && k > 0) {
        std::string dir = s.substr(0, k);
        if (dir.size() == 2 && dir[1] == ':')
            dir += '/';
        return toRW(dir);
    }
    return useWorkingDirectory ? UTFilePath::currentDirectory().text() : RWCString();
}

RWCString fileNamePart(RWCString path)
{
    std::string s = toStd(path);
    size_t k = lastPartMark(s);
    return k == RW_NPOS ? path : toRW(s.substr(k + 1));
}

RWCString fileExtensionPart(RWCString path)
{
    std::string s = toStd(path);
    size_t dot = s.rfind('.');
    if (dot == std::string::npos || dot + 1 >= s.size())
        return RWCString();
    RWCString ext = toRW(s.substr(dot + 1));
    ext.toLower();
    return ext;
}

namespace {

std::vector<std::string> componentTexts(const UTFilePath& path)
{
    std::vector<std::string> out;
    UTPathComponentIterator it(path);
    for (bool more = it.first(); more; more = it.next())
        out.push_back(toStd(it.current().text()));
    return out;
}

}  // namespace

RWCString relativePath(RWCString target, RWCString base)
{
    UTFilePath t(target), b(base);
    if ((t.hasDrive() || b.hasDrive()) && t.drive().compareTo(b.drive(), RWCString::ignoreCase) != 0)
        return target;
    std::vector<std::string> bl = componentTexts(b);
    std::vector<std::string> tl = bl;
    size_t n = t.isAbsolute() ? 0 : tl.size();
    for (const std::string& c : componentTexts(t)) {
        if (c == ".")
            continue;
        if (c == "..") {
            // Above the top: no relative path can say this.
            if (n == 0)
                return target;
            --n;
            continue;
        }
        if (n < tl.size())
            tl[n] = c;
        else
            tl.push_back(c);
        ++n;
    }
    size_t k = 0;
    while (k < bl.size() && equalIgnoringCase(bl[k], tl[k]))
        ++k;
    if (k > n)
        k = n;
    std::string out;
    for (size_t i = k; i < bl.size(); ++i)
        out += "../";
    for (size_t i = k; i < n; ++i)
        out += tl[i] + "/";
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    return toRW(out);
}

RWCString moduleFileName(CSModuleHandle module)
{
    // Only the running program is known here; every handle names it. The name is kept whole
    // however long it is.
    (void)module;
    std::string name = platform::sys::moduleFileName();
    if (name.compare(0, 8, "\\\\?\\UNC\\") == 0)
        name = "\\\\" + name.substr(8);
    else if (name.compare(0, 4, "\\\\?\\") == 0)
        name = name.substr(4);
    return toRW(name);
}

RWCString moduleDirectory(CSModuleHandle module) { return directoryPart(moduleFileName(module), true); }

RWCString moduleBaseName(CSModuleHandle module) { return fileNamePart(moduleFileName(module)); }

bool listContains(RWCString item, RWCString list, RWCString::caseCompare caseMode, RWCString sep)
{
    size_t start = 0;
    for (;;) {
        size_t end = list.index(sep, start, RWCString::exact);
        if (end == RW_NPOS)
            end = list.length();
        if (end <= start)
            return false;
        RWCString piece = stripChars(RWCString(list.data() + start, end - start), 2, " \t\r\n");
        if (piece.compareTo(item, caseMode) == 0)
            return true;
        start = end + 1;
    }
}

bool quotedListIntersects(RWCString list, const RWTValHashSet<RWCString>& set)
{
    const char* s = list.data();
    size_t n = list.length();
    std::string item;
    bool quoted = false;
    for (size_t i = 0; i <= n; ++i) {
        if (i == n || (!quoted && s[i] == ',')) {
            if (!item.empty() && set.contains(toRW(item)))
                return true;
            item.clear();
            continue;
        }
        char c = s[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < n && s[i + 1] == '"') {
                    item += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                item += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c != ' ' && c != '\t') {
            item += c;
        }
    }
    return false;
}

RWTValOrderedVector<RWCString> splitCommandLine(const char* text)
{
    RWTValOrderedVector<RWCString> words(0, false, 64);
    words.insert(RWCString());
    if (!text)
        return words;
    const char* p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        std::string word;
        if (*p == '"') {
            ++p;
            while (*p && *p != '"')
                word += *p++;
            if (*p == '"')
                ++p;
        }
        while (*p && *p != ' ' && *p != '\t')
            word += *p++;
        words.insert(toRW(word));
    }
    return words;
}

int countCommandLineWords(const char* text) { return static_cast<int>(splitCommandLine(text).entries()); }
