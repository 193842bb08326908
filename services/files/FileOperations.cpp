// File operations through path texts: the working folder, writability, search in a folder list,
// folder chains, stream copy, file sizes and times, network names and path comparisons.
#include "services/files/FileOperations.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/RWTValSlist.h"
#include "platform/sys.h"
#include "services/StringHelpers.h"
#include "services/environment/TextExpansion.h"
#include "services/files/PathText.h"
#include "services/files/UTFilePath.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The native text of the folder that changeDirectory enters for a path. There are no drives
// here, so a leading "X:" asks for no drive change of its own.
RWCString directoryTarget(RWCString path)
{
    RWCString p = expandString(path);
    if (p.length() > 1)
        p = stripChars(p, 2, "/\\");
    return UTFilePath(p).nativePath();
}

bool existsOnDisk(const RWCString& native) { return !native.isNull() && ::access(native.data(), F_OK) == 0; }

// Two leading separators mark a network path.
bool isNetworkPath(const RWCString& p) { return p.length() >= 2 && isSeparator(p(0)) && isSeparator(p(1)); }

// a lies inside b: b is a proper prefix of a followed by a separator or drive mark.
bool liesInside(const RWCString& a, const RWCString& b)
{
    const size_t n = b.length();
    return n > 0 && a.length() > n && std::memcmp(a.data(), b.data(), n) == 0 && (isSeparator(a(n)) || a(n) == ':');
}

// The argument expanded with the registry, or empty when its expansion failed.
RWCString expandedOrEmpty(const char* text)
{
    int status = 0;
    RWCString x = callExpansionFunction(RWCString(text ? text : ""), &status, true);
    return status == 1 ? x : RWCString();
}

}  // namespace

RWCString currentDirectory() { return RWCString(platform::sys::currentFolder().c_str()); }

int changeDirectory(RWCString path)
{
    const RWCString target = directoryTarget(path);
    if (target.isNull())
        return -1;
    return ::chdir(target.data()) == 0 ? 1 : -1;
}

RWCString absoluteDirectory(RWCString path, int& status)
{
    status = 1;
    const RWCString target = directoryTarget(cleanPathText(expandString(path)));
    // Resolved as entering the folder and reading the working folder back would resolve it,
    // without changing the process's working folder on the way.
    struct stat st;
    char resolved[PATH_MAX];
    if (target.isNull() || ::stat(target.data(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access(target.data(), X_OK) != 0 || !::realpath(target.data(), resolved)) {
        status = -3;
        return RWCString();
    }
    return RWCString(resolved);
}

int isWritablePath(RWCString path)
{
    RWCString p = UTFilePath(path).nativePath();
    // Climbs towards the first existing ancestor; every step shortens the text, and a step
    // that would not (a missing drive or root) ends the climb.
    while (!p.isNull()) {
        if (existsOnDisk(p))
            return ::access(p.data(), W_OK) == 0 ? 1 : 0;
        const RWCString d = directoryPart(p, true);
        if (d.isNull() || fileNamePart(p).isNull())
            return 0;
        const RWCString dn = UTFilePath(d).nativePath();
        if (existsOnDisk(dn)) {
            // Made only when nothing is there, so that nobody else's file is ever removed.
            const int fd = ::open(p.data(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0)
                return 0;
            ::close(fd);
            ::unlink(p.data());
            return 1;
        }
        if (dn.length() >= p.length())
            return 0;
        p = dn;
    }
    return 0;
}

RWCString findFileInDirectories(RWCString name, RWCString list, int useExpanded, RWCString root)
{
    const RWCString e = expandString(name);
    if ((e.length() > 0 && isSeparator(e(0))) || (e.length() > 1 && e(1) == ':'))
        return name;
    const RWCString n = stripChars(name, 3, "/\\ ");
    size_t start = 0;
    while (start < list.length()) {
        size_t end = list.index(";", start);
        if (end == RW_NPOS)
            end = list.length();
        const RWCString piece(list.data() + start, end - start);
        start = end + 1;
        // An empty entry names no folder (it must not become the root folder).
        if (piece.isNull())
            continue;
        RWCString candidate = piece;
        if (!n.isNull()) {
            candidate = stripChars(piece, 2, "/\\") + "/" + n;
            if (!root.isNull())
                candidate = root + "/" + candidate;
        }
        const RWCString expanded = expandedOrEmpty(candidate.data());
        if (!expanded.isNull() && UTFilePath(expanded).exists())
            return useExpanded != 0 ? expanded : candidate;
    }
    return RWCString();
}

int ensureDirectory(const char* path)
{
    if (!path || !*path)
        return 0;
    UTFilePath dir(path);
    if (dir.isDirectory(true))
        return 1;
    return dir.makeDirectories(true) ? 1 : 0;
}

int copyStream(std::ostream& out, std::istream& in, int size)
{
    if (size < 0)
        return -1;
    const size_t n = size == 0 ? 4000 : static_cast<size_t>(size);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[n]);
    if (!buffer)
        return -1;
    for (;;) {
        in.read(buffer.get(), static_cast<std::streamsize>(n));
        if (!in.eof() && in.fail())
            return -4;
        const std::streamsize got = in.gcount();
        if (got > 0) {
            out.write(buffer.get(), got);
            if (out.fail())
                return -5;
        }
        if (in.eof())
            return 1;
    }
}

long fileSize(const char* name)
{
    if (!name || !*name)
        return -1;
    // Nothing is read, so a pipe without a writer need not be waited for.
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    long size = -1;
    struct stat st;
    if (::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode)) {
        if (S_ISREG(st.st_mode)) {
            size = static_cast<long>(st.st_size);
        } else {
            const off_t end = ::lseek(fd, 0, SEEK_END);
            size = end < 0 ? -1 : static_cast<long>(end);
        }
    }
    ::close(fd);
    return size;
}

RWCString universalName(RWCString path, int* status)
{
    if (status)
        *status = -1;
    return UTFilePath(path).nativePath();
}

int comparePaths(RWCString a, RWCString b)
{
    RWCString x = normalizePath(expandString(a));
    RWCString y = normalizePath(expandString(b));
    if (isNetworkPath(x) != isNetworkPath(y)) {
        x = universalName(x, nullptr);
        y = universalName(y, nullptr);
    }
    x.toLower();
    y.toLower();
    if (x == y)
        return 0;
    if (x.isNull() || y.isNull())
        return -1;
    if (liesInside(x, y))
        return 1;
    if (liesInside(y, x))
        return 2;
    return -1;
}

RWCString pathBelow(const char* base, const char* path, int* status)
{
    RWCString b = normalizePath(expandedOrEmpty(base));
    RWCString p = normalizePath(expandedOrEmpty(path));
    if (isNetworkPath(b) != isNetworkPath(p)) {
        b = universalName(b, nullptr);
        p = universalName(p, nullptr);
    }
    RWTValSlist<RWCString> baseParts = splitPath(cleanPathText(b).data());
    RWTValSlist<RWCString> pathParts = splitPath(cleanPathText(p).data());
    const size_t count = baseParts.entries();
    bool below = count <= pathParts.entries();
    RWCString rest;
    size_t i = 0;
    for (; below && !pathParts.isEmpty(); ++i) {
        const RWCString part = pathParts.removeFirst();
        if (i < count) {
            below = baseParts.removeFirst().compareTo(part, RWCString::ignoreCase) == 0;
            continue;
        }
        if (i > count)
            rest += "/";
        rest += part;
    }
    if (status)
        *status = below ? 1 : -1;
    return below ? rest : RWCString();
}

int compareFileTimes(const char* a, const char* b, int* status)
{
    if (status)
        *status = 1;
    struct stat sa, sb;
    const RWCString na = UTFilePath(a ? a : "").nativePath();
    const RWCString nb = UTFilePath(b ? b : "").nativePath();
    if (na.isNull() || nb.isNull() || ::stat(na.data(), &sa) != 0 || ::stat(nb.data(), &sb) != 0) {
        if (status)
            *status = -1;
        return 0;
    }
    if (sa.st_mtime == sb.st_mtime)
        return 0;
    return sa.st_mtime < sb.st_mtime ? -1 : 1;
}
