// UTFilePath: path texts in normal form, cached file-system bits, and the disk operations
// made by path; the code-page conversions of path texts.
#include "services/files/UTFilePath.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <iconv.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "foundation/RWTime.h"
#include "foundation/RWZone.h"
#include "services/files/UTDirectoryIterator.h"

namespace {

// Seconds from 1901-01-01 (the start of RWTime) to 1970-01-01 (the start of time_t).
constexpr long long rwTimeToUnix = 2177452800LL;

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Index of the first '/' at or after from, RW_NPOS when there is none.
size_t slashFrom(const RWCString& s, size_t from)
{
    for (size_t i = from; i < s.length(); ++i)
        if (s(i) == '/')
            return i;
    return RW_NPOS;
}

size_t lastSlash(const RWCString& s)
{
    return s.last('/', s.length());
}

RWCString slice(const RWCString& s, size_t start, size_t end)
{
    return RWCString(s.data() + start, end - start);
}

const char* iconvName(unsigned codePage, std::string& buffer)
{
    if (codePage == CP_ANSI_CODE_PAGE || codePage == CP_UTF8_CODE_PAGE)
        return "UTF-8";
    buffer = "CP" + std::to_string(codePage);
    return buffer.c_str();
}

// The text converted by iconv; false when iconv does not know an encoding (`known` false) or
// the text is none in `from`.
bool iconvText(const RWCString& text, const char* from, const char* to, RWCString& out, bool* known = nullptr)
{
    iconv_t cd = ::iconv_open(to, from);
    if (known)
        *known = cd != reinterpret_cast<iconv_t>(-1);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::vector<char> buf(text.length() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.length();
    char* dst = buf.data();
    size_t outLeft = buf.size();
    // The second call ends a shifting encoding's last sequence.
    const bool done = ::iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1) &&
                      ::iconv(cd, nullptr, nullptr, &dst, &outLeft) != size_t(-1);
    ::iconv_close(cd);
    if (done)
        out = RWCString(buf.data(), buf.size() - outLeft);
    return done;
}

bool isSymbolicLink(const RWCString& native)
{
    struct stat st;
    return ::lstat(native.data(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The working directory, read into a buffer that grows until the path fits.
RWCString workingDirectory()
{
    std::vector<char> buf(512);
    for (;;) {
        if (::getcwd(buf.data(), buf.size()))
            return RWCString(buf.data());
        if (errno != ERANGE || buf.size() > (1u << 20))
            return RWCString();
        buf.resize(buf.size() * 2);
    }
}

// Makes the folders above path. An empty parent is the working directory, which is there.
bool makeParentDirectories(const UTFilePath& path)
{
    UTFilePath parent = path.parentPath();
    return parent.isEmpty() || parent.makeDirectories(true);
}

// A file time as RWTime: as it is (an absolute time) unless utc asks for the clock fields
// of Greenwich time taken as local time, which is how the stored time reads in UTC.
bool toRWTime(time_t t, bool utc, RWTime& out)
{
    if (!utc) {
        long long s = static_cast<long long>(t) + rwTimeToUnix;
        if (s <= 0 || s > 0xFFFFFFFFLL)
            return false;
        out = RWTime(static_cast<unsigned long>(s));
        return true;
    }
    struct tm fields {};
    if (!::gmtime_r(&t, &fields))
        return false;
    RWTime r(&fields, RWZone::local());
    if (!r.isValid())
        return false;
    out = r;
    return true;
}

bool fromRWTime(const RWTime& t, bool utc, time_t& out)
{
    if (!t.isValid())
        return false;
    if (!utc) {
        out = static_cast<time_t>(static_cast<long long>(t.seconds()) - rwTimeToUnix);
        return true;
    }
    struct tm fields {};
    t.extract(&fields, RWZone::local());
    fields.tm_isdst = 0;
    out = ::timegm(&fields);
    return true;
}

enum class TimeKind { access, modification };

bool setFileTime(const RWCString& native, const RWTime& t, bool utc, TimeKind kind)
{
    time_t when;
    if (!fromRWTime(t, utc, when))
        return false;
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    struct timespec& slot = times[kind == TimeKind::access ? 0 : 1];
    slot.tv_sec = when;
    slot.tv_nsec = 0;
    return ::utimensat(AT_FDCWD, native.data(), times, 0) == 0;
}

} // namespace

// ---- code pages ----

RWCString convertCodePage(RWCString text, unsigned fromCodePage, unsigned toCodePage)
{
    std::string fromBuf, toBuf;
    const char* from = iconvName(fromCodePage, fromBuf);
    const char* to = iconvName(toCodePage, toBuf);
    if (std::string(from) == to || text.isNull())
        return text;
    RWCString out;
    return iconvText(text, from, to, out) ? out : text;
}

bool encodingToUtf8(const RWCString& text, const RWCString& encoding, RWCString& utf8, bool* known)
{
    // Only a name as XML declares one (a letter, then letters, digits, '.', '_', '-'): iconv
    // would take more, such as "//IGNORE", as orders.
    bool name = encoding.length() > 0 && std::isalpha(static_cast<unsigned char>(encoding(0)));
    for (size_t i = 0; name && i < encoding.length(); ++i) {
        const unsigned char c = static_cast<unsigned char>(encoding(i));
        name = std::isalnum(c) || c == '.' || c == '_' || c == '-';
    }
    if (!name) {
        if (known)
            *known = false;
        return false;
    }
    return iconvText(text, encoding.data(), "UTF-8", utf8, known);
}

RWCString toUtf8(RWCString text)
{
    return convertCodePage(text, CP_ANSI_CODE_PAGE, CP_UTF8_CODE_PAGE);
}

RWCString fromUtf8(RWCString text)
{
    return convertCodePage(text, CP_UTF8_CODE_PAGE, CP_ANSI_CODE_PAGE);
}

// ---- construction and normal form ----

UTFilePath::UTFilePath() = default;

UTFilePath::UTFilePath(const char* text) : UTFilePath(RWCString(text ? text : ""))
{
}

UTFilePath::UTFilePath(const RWCString& text) : path_(toUtf8(text))
{
    for (size_t i = 0; i < path_.length(); ++i)
        if (path_(i) == '\\')
            path_(i) = '/';
    applyNormalForm();
}

UTFilePath::UTFilePath(const RWCString& text, bool isUtf8) : path_(isUtf8 ? text : toUtf8(text))
{
    applyNormalForm();
}

void UTFilePath::applyNormalForm()
{
    size_t n = path_.length();
    while (n >= 2 && path_(n - 1) == '/')
        --n;
    if (n != path_.length())
        path_.remove(n);
    bool absolute = (n >= 1 && path_(0) == '/') ||
                    (n >= 2 && path_(1) == ':' && (n == 2 || path_(2) == '/'));
    flags_ = absolute ? uint32_t(flagAbsolute) : 0u;
}

// ---- texts ----

RWCString UTFilePath::text() const
{
    if (!isUNC())
        return fromUtf8(path_);
    size_t serverEnd = slashFrom(path_, 2);
    if (serverEnd == RW_NPOS)
        return fromUtf8(RWCString("\\\\") + slice(path_, 2, path_.length()));
    RWCString out("\\\\");
    out += slice(path_, 2, serverEnd);
    size_t shareEnd = slashFrom(path_, serverEnd + 1);
    if (shareEnd == RW_NPOS)
        shareEnd = path_.length();
    out += "\\";
    out += slice(path_, serverEnd + 1, shareEnd);
    out += slice(path_, shareEnd, path_.length());
    return fromUtf8(out);
}

RWCString UTFilePath::nativePath() const
{
    return fromUtf8(path_);
}

size_t UTFilePath::extensionDot() const
{
    size_t dot = path_.last('.', path_.length());
    if (dot == RW_NPOS)
        return RW_NPOS;
    size_t slash = lastSlash(path_);
    if (slash != RW_NPOS && dot < slash)
        return RW_NPOS;
    return dot;
}

RWCString UTFilePath::extension() const
{
    size_t dot = extensionDot();
    if (dot == RW_NPOS)
        return RWCString();
    return fromUtf8(slice(path_, dot + 1, path_.length()));
}

RWCString UTFilePath::stem() const
{
    UTFilePath b = baseName();
    b.replaceExtension(RWCString());
    return b.nativePath();
}

bool UTFilePath::operator==(const UTFilePath& other) const
{
    return path_.compareTo(other.path_, RWCString::ignoreCase) == 0;
}

bool UTFilePath::hasDrive() const
{
    return path_.length() >= 2 && path_(1) == ':';
}

RWCString UTFilePath::drive() const
{
    return hasDrive() ? RWCString(path_.data(), 1) : RWCString();
}

bool UTFilePath::isDriveRoot() const
{
    return path_.length() == 2 && path_(1) == ':';
}

bool UTFilePath::isUNC() const
{
    return path_.length() >= 3 && path_(0) == '/' && path_(1) == '/';
}

bool UTFilePath::hasUNCShare() const
{
    if (!isUNC())
        return false;
    size_t i = slashFrom(path_, 2);
    return i != RW_NPOS && i < path_.length() - 1;
}

bool UTFilePath::isUNCServerOnly() const
{
    return isUNC() && slashFrom(path_, 2) == RW_NPOS;
}

bool UTFilePath::isUNCShareRoot() const
{
    if (!isUNC())
        return false;
    size_t i = slashFrom(path_, 2);
    return i != RW_NPOS && path_.length() > i + 2 && slashFrom(path_, i + 1) == RW_NPOS;
}

RWCString UTFilePath::uncServer(bool keepUtf8) const
{
    if (!isUNC())
        return RWCString();
    size_t end = slashFrom(path_, 2);
    RWCString server = slice(path_, 2, end == RW_NPOS ? path_.length() : end);
    return keepUtf8 ? server : fromUtf8(server);
}

RWCString UTFilePath::uncShare(bool keepUtf8) const
{
    if (!hasUNCShare())
        return RWCString();
    size_t start = slashFrom(path_, 2) + 1;
    size_t end = slashFrom(path_, start);
    RWCString share = slice(path_, start, end == RW_NPOS ? path_.length() : end);
    return keepUtf8 ? share : fromUtf8(share);
}

// ---- derived paths ----

UTFilePath UTFilePath::join(const UTFilePath& other) const
{
    if (other.isAbsolute() || path_.isNull())
        return UTFilePath(other.path_, true);
    if (other.path_.isNull())
        return UTFilePath(path_, true);
    if (path_ == "/")
        return UTFilePath(RWCString("/") + other.path_, true);
    return UTFilePath(path_ + "/" + other.path_, true);
}

UTFilePath& UTFilePath::append(const UTFilePath& other)
{
    *this = join(other);
    return *this;
}

UTFilePath UTFilePath::parentPath() const
{
    size_t slash = lastSlash(path_);
    if (slash == RW_NPOS || slash == path_.length() - 1)
        return UTFilePath();
    return UTFilePath(slice(path_, 0, slash + 1), true);
}

UTFilePath UTFilePath::baseName() const
{
    size_t slash = lastSlash(path_);
    if (slash == RW_NPOS || slash == path_.length() - 1)
        return UTFilePath(path_, true);
    return UTFilePath(slice(path_, slash + 1, path_.length()), true);
}

UTFilePath UTFilePath::fileNameOnDisk() const
{
    UTFilePath base = baseName();
    struct stat st;
    if (::lstat(nativePath().data(), &st) == 0 || base.isEmpty())
        return base;
    // The name as the directory holds it when it differs only in letter case.
    UTFilePath dir = parentPath();
    if (dir.isEmpty() && isAbsolute())
        return base;
    UTDirectoryIterator it(dir, ".*", ".*", false);
    while (it.next()) {
        UTFilePath found = it.currentPath().baseName();
        if (found == base)
            return found;
    }
    return base;
}

UTFilePath UTFilePath::relativeTo(const UTFilePath& base) const
{
    if (isAbsolute() != base.isAbsolute())
        return *this;
    RWCString mine = path_ + "/";
    // The root "/" already ends in its separator.
    RWCString prefix = base.path_ == "/" ? base.path_ : base.path_ + "/";
    if (mine.length() < prefix.length())
        return *this;
    if (RWCString(mine.data(), prefix.length()).compareTo(prefix, RWCString::ignoreCase) != 0)
        return *this;
    return UTFilePath(slice(mine, prefix.length(), mine.length()), true);
}

RWTValSlist<RWCString> UTFilePath::splitComponents(const RWCString& text, bool keepUtf8)
{
    RWTValSlist<RWCString> parts;
    const size_t n = text.length();
    size_t i = 0;
    bool first = true;
    while (i < n) {
        if (!first && isSeparator(text(i))) {
            if (++i >= n)
                break;
        }
        RWCString part;
        if (text(i) == '"') {
            size_t close = i + 1;
            while (close < n && text(close) != '"')
                ++close;
            part = slice(text, i + 1, close);
            i = close < n ? close + 1 : n;
            if (!part.isNull())
                parts.append(keepUtf8 ? part : fromUtf8(part));
        } else {
            size_t j = i;
            // A leading "/" or "//" stays part of the first component.
            if (first)
                while (j < n && j < i + 2 && isSeparator(text(j)))
                    ++j;
            while (j < n && !isSeparator(text(j)))
                ++j;
            part = slice(text, i, j);
            i = j;
            parts.append(keepUtf8 ? part : fromUtf8(part));
        }
        first = false;
    }
    return parts;
}

namespace {

// One normalising pass over a path text.
RWCString normalizeOnce(const RWCString& path)
{
    // The root ("/", "//" or a drive with its '/') is kept apart, so that ".." can never
    // climb over it and an absolute path stays absolute.
    size_t rootLen = 0;
    if (path.length() >= 2 && isSeparator(path(0)) && isSeparator(path(1)))
        rootLen = 2;
    else if (path.length() >= 1 && isSeparator(path(0)))
        rootLen = 1;
    else if (path.length() >= 3 && path(1) == ':' && isSeparator(path(2)))
        rootLen = 3;
    RWCString root = slice(path, 0, rootLen);
    for (size_t i = 0; i < root.length(); ++i)
        if (root(i) == '\\')
            root(i) = '/';
    size_t restStart = rootLen;
    while (restStart < path.length() && isSeparator(path(restStart)))
        ++restStart;

    RWTValSlist<RWCString> parts =
        UTFilePath::splitComponents(slice(path, restStart, path.length()), true);
    std::vector<RWCString> kept;
    while (!parts.isEmpty()) {
        RWCString part = parts.removeFirst();
        if (part.isNull() || part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty() && kept.back() != "..") {
                kept.pop_back();
                continue;
            }
            if (rootLen > 0)
                continue; // nothing lies above the root
        }
        kept.push_back(part);
    }
    RWCString out = root;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            out += "/";
        out += kept[i];
    }
    size_t n = out.length();
    while (n >= 2 && out(n - 1) == '/')
        --n;
    return RWCString(out.data(), n);
}

} // namespace

UTFilePath& UTFilePath::normalized()
{
    // A quoted component loses its quotes but keeps the separators and ".." inside it, which
    // a further pass would then resolve. Passes repeat while a quote was there and the text
    // still changes, so that normalising a normalised path leaves it as it is. A pass never
    // lengthens the text, so the passes end; the bound only guards against a slip.
    bool quoted = true;
    for (size_t pass = 0; quoted && pass <= path_.length(); ++pass) {
        quoted = path_.first('"', path_.length()) != RW_NPOS;
        RWCString next = normalizeOnce(path_);
        if (next == path_)
            break;
        path_ = next;
    }
    return *this;
}

void UTFilePath::replaceExtension(RWCString extension)
{
    size_t dot = extensionDot();
    if (dot != RW_NPOS)
        path_.remove(dot);
    if (!extension.isNull()) {
        path_ += ".";
        path_ += toUtf8(extension);
    }
    applyNormalForm(); // recomputes the absolute bit and clears the cache bits
}

bool UTFilePath::replaceDrive(RWCString reference)
{
    RWCString ref = toUtf8(reference);
    if (ref.isNull() || path_.isNull())
        return false;
    if (path_(0) == '/') {
        path_.prepend(":");
        path_.prepend(ref.data(), 1);
    } else if (hasDrive()) {
        path_(0) = ref(0);
    } else {
        return false;
    }
    applyNormalForm();
    return true;
}

void UTFilePath::toLower()
{
    path_.toLower();
}

// ---- file-system state ----

void UTFilePath::stat()
{
    RWCString n = nativePath();
    flags_ &= ~uint32_t(flagFile | flagDirectory | flagReadable | flagWritable | flagExists);
    if (n.length() == 2 && n(1) == ':') {
        // A bare drive is taken to be there.
        flags_ |= flagDirectory | flagReadable | flagWritable | flagExists | flagAccessValid |
                  flagTypeValid;
        return;
    }
    struct stat st;
    bool r = !n.isNull() && ::stat(n.data(), &st) == 0;
    bool exists = r || (!n.isNull() && ::access(n.data(), F_OK) == 0);
    bool file = r && S_ISREG(st.st_mode);
    bool dir = r && S_ISDIR(st.st_mode);
    bool readable = r && ::access(n.data(), R_OK) == 0;
    bool writable = r && ::access(n.data(), W_OK) == 0;
    if (!r) {
        dir = isUNC() && hasUNCShare() &&
              path_ == RWCString("//") + uncServer(true) + "/" + uncShare(true) && exists;
        file = exists && !dir;
    }
    if (exists)
        flags_ |= flagExists;
    if (file)
        flags_ |= flagFile;
    if (dir)
        flags_ |= flagDirectory;
    if (readable)
        flags_ |= flagReadable;
    if (writable)
        flags_ |= flagWritable;
    flags_ |= flagAccessValid | flagTypeValid;
}

bool UTFilePath::ensureAccess(bool recheck)
{
    if (recheck || !(flags_ & flagAccessValid))
        stat();
    return true;
}

bool UTFilePath::ensureType(bool recheck)
{
    if (recheck || !(flags_ & flagTypeValid))
        stat();
    return true;
}

bool UTFilePath::isFile(bool recheck)
{
    ensureType(recheck);
    return (flags_ & flagFile) != 0;
}

bool UTFilePath::isDirectory(bool recheck)
{
    ensureType(recheck);
    return (flags_ & flagDirectory) != 0;
}

bool UTFilePath::exists(bool recheck)
{
    ensureAccess(recheck);
    return (flags_ & flagExists) != 0;
}

bool UTFilePath::isReadable(bool recheck)
{
    ensureAccess(recheck);
    return (flags_ & flagReadable) != 0;
}

bool UTFilePath::isWritable(bool recheck)
{
    ensureAccess(recheck);
    return (flags_ & flagWritable) != 0;
}

void UTFilePath::markFile()
{
    flags_ = (flags_ | flagTypeValid | flagFile) & ~uint32_t(flagDirectory);
}

void UTFilePath::markDirectory()
{
    flags_ = (flags_ | flagTypeValid | flagDirectory) & ~uint32_t(flagFile);
}

// ---- file-system operations ----

bool UTFilePath::makeDirectories(bool withParents)
{
    if (path_.isNull())
        return false;
    stat();
    if ((flags_ & flagExists) && (flags_ & flagDirectory))
        return true;
    if (isDriveRoot() || isUNCShareRoot())
        return true;
    if (withParents && !makeParentDirectories(*this))
        return false;
    clearCache();
    RWCString n = nativePath();
    if (::mkdir(n.data(), 0777) == 0)
        return true;
    // Made by someone else meanwhile: the directory is there all the same.
    struct stat st;
    return errno == EEXIST && ::stat(n.data(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool UTFilePath::createFile(bool withParents)
{
    if (path_.isNull())
        return false;
    ensureAccess(false);
    if ((flags_ & flagExists) && isFile(false))
        return true;
    if (withParents && !makeParentDirectories(*this))
        return false;
    clearCache();
    // Never truncates: a file that appeared since the look above keeps its contents.
    int fd = ::open(nativePath().data(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool UTFilePath::removeTree(bool recursive)
{
    RWCString n = nativePath();
    if (n.isNull())
        return false;
    // A link is removed itself; following it could empty a folder outside the tree.
    if (isSymbolicLink(n))
        return ::unlink(n.data()) == 0;
    bool ok = true;
    if (recursive && isDirectory(false)) {
        UTDirectoryIterator it(*this, ".*", ".*", false);
        while (it.next()) {
            UTFilePath entry = it.currentPath();
            if (!entry.removeTree(recursive))
                ok = false;
        }
    }
    if (!ok)
        return false;
    if (!isDirectory(false)) {
        if (!isFile(false)) {
            flags_ &= ~uint32_t(flagAccessValid);
            return false;
        }
        return ::unlink(n.data()) == 0;
    }
    return ::rmdir(n.data()) == 0;
}

void UTFilePath::removeFiles(bool recursive)
{
    RWCString n = nativePath();
    if (n.isNull())
        return;
    if (isSymbolicLink(n)) {
        ::unlink(n.data());
        return;
    }
    if (!isDirectory(false)) {
        if (isFile(false))
            removeTree(false);
        return;
    }
    UTDirectoryIterator it(*this, ".*", ".*", false);
    while (it.next()) {
        UTFilePath entry = it.currentPath();
        RWCString en = entry.nativePath();
        if (isSymbolicLink(en))
            ::unlink(en.data());
        else if (entry.isFile(false))
            entry.removeTree(false);
        else if (recursive && entry.isDirectory(false))
            entry.removeFiles(true);
    }
}

bool UTFilePath::removeContents()
{
    if (!isDirectory(false))
        return false;
    bool ok = true;
    UTDirectoryIterator it(*this, ".*", ".*", false);
    while (it.next()) {
        UTFilePath entry = it.currentPath();
        if (!entry.removeTree(true))
            ok = false;
    }
    return ok;
}

bool UTFilePath::isEmptyDirectory()
{
    if (!isDirectory(false))
        return false;
    UTDirectoryIterator it(*this, ".*", ".*", false);
    while (it.next()) {
        UTFilePath entry = it.currentPath();
        if (entry.isFile(false))
            return false;
        RWCString name = entry.baseName().utf8Path();
        if (name != "." && name != "..")
            return false;
    }
    return true;
}

bool UTFilePath::renamePath(const UTFilePath& target) const
{
    RWCString from = nativePath();
    RWCString to = target.nativePath();
    if (::renameat2(AT_FDCWD, from.data(), AT_FDCWD, to.data(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: look first, then rename.
    struct stat st;
    if (::lstat(to.data(), &st) == 0)
        return false;
    return std::rename(from.data(), to.data()) == 0;
}

bool UTFilePath::setWritable(bool writable)
{
    // Decided by the owner's write bit rather than by access(), which is always true for
    // the super-user and would leave the mode unchanged.
    RWCString n = nativePath();
    struct stat st;
    if (::stat(n.data(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    // Made writable for the owner and the group; made read-only for everyone.
    mode_t wanted = writable ? (mode | S_IWUSR | S_IWGRP) : (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
    if (writable ? (mode & S_IWUSR) != 0 : (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    if (::chmod(n.data(), wanted) != 0)
        return false;
    stat();
    return true;
}

uint64_t UTFilePath::getFileSize()
{
    const uint64_t none = ~uint64_t(0);
    if (!isFile(false))
        return none;
    struct stat st;
    if (::stat(nativePath().data(), &st) != 0 || !S_ISREG(st.st_mode))
        return none;
    return static_cast<uint64_t>(st.st_size);
}

bool UTFilePath::getAccessTime(RWTime& out, bool utc) const
{
    struct stat st;
    if (path_.isNull() || ::stat(nativePath().data(), &st) != 0)
        return false;
    return toRWTime(st.st_atim.tv_sec, utc, out);
}

bool UTFilePath::getModificationTime(RWTime& out, bool utc) const
{
    struct stat st;
    if (path_.isNull() || ::stat(nativePath().data(), &st) != 0)
        return false;
    return toRWTime(st.st_mtim.tv_sec, utc, out);
}

bool UTFilePath::getCreationTime(RWTime& out, bool utc) const
{
    // Only a file system that records the birth time can answer; the change time is no
    // creation time.
    struct statx sx;
    if (path_.isNull() || ::statx(AT_FDCWD, nativePath().data(), 0, STATX_BTIME, &sx) != 0)
        return false;
    if (!(sx.stx_mask & STATX_BTIME))
        return false;
    return toRWTime(static_cast<time_t>(sx.stx_btime.tv_sec), utc, out);
}

bool UTFilePath::setAccessTime(const RWTime& t, bool utc) const
{
    return !path_.isNull() && setFileTime(nativePath(), t, utc, TimeKind::access);
}

bool UTFilePath::setModificationTime(const RWTime& t, bool utc) const
{
    return !path_.isNull() && setFileTime(nativePath(), t, utc, TimeKind::modification);
}

int UTFilePath::resolveCase(CaseCallback callback)
{
    if (path_.isNull())
        return 4;
    if (exists(false))
        return 0;
    if (callback) {
        RWCString original = text();
        RWCString replaced = callback(original);
        if (replaced != original) {
            *this = UTFilePath(replaced);
            if (exists(true))
                return 1;
        }
    }
    // The deepest part of the path that exists; an empty path is the working directory.
    UTFilePath p = *this;
    while (!p.isEmpty() && !p.exists(true)) {
        UTFilePath up = p.parentPath();
        if (up == p)
            return 2;
        p = up;
    }
    if (p.isEmpty() && isAbsolute())
        return 2;

    RWTValSlist<RWCString> parts = splitComponents(relativeTo(p).utf8Path(), true);
    bool lastMatched = true;
    while (!parts.isEmpty()) {
        RWCString part = parts.removeFirst();
        size_t skip = 0;
        while (skip < part.length() && part(skip) == '/')
            ++skip;
        part = slice(part, skip, part.length());
        lastMatched = false;
        UTDirectoryIterator it(p, ".*", ".*", false);
        while (it.next()) {
            UTFilePath name = it.currentPath().baseName();
            if (name.utf8Path().compareTo(part, RWCString::ignoreCase) == 0) {
                p = p.join(name);
                lastMatched = true;
                break;
            }
        }
        if (!lastMatched)
            break;
    }
    if (!p.isEmpty() && p.exists(true) && lastMatched) {
        *this = p;
        return 1;
    }
    return 2;
}

UTFilePath UTFilePath::currentDirectory()
{
    return UTFilePath(workingDirectory());
}

bool UTFilePath::setCurrentDirectory(const UTFilePath& dir)
{
    return !dir.isEmpty() && ::chdir(dir.nativePath().data()) == 0;
}
