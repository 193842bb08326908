// Replacing a file's whole contents through a temporary file and a rename.
#include "services/config/CSConfigSafeFile.h"
#include "services/files/RegularFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CSConfigRenameFunction renameFunction = nullptr;
std::atomic<unsigned> tempCounter{0};

int systemRename(const char* from, const char* to)
{
    return std::rename(from, to);
}

bool anyWriteBit(mode_t mode)
{
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Temporaries are named ".<target's name>.tmp<process id>-<number>", next to the target. A long
// name is shortened so that the temporary's name stays within the longest a folder takes.
std::string temporaryPrefix(const std::string& base)
{
    constexpr size_t kRoomForTheRest = 1 + 4 + 10 + 1 + 10;  // ".", ".tmp", id, "-", number
    const size_t keep = base.size() < NAME_MAX - kRoomForTheRest ? base.size() : NAME_MAX - kRoomForTheRest;
    std::string prefix(".");
    prefix.append(base, 0, keep).append(".tmp");
    return prefix;
}

// The process id in a temporary's name after its prefix; 0 when the rest is not "<digits>-<digits>".
pid_t ownerOfTemporary(const char* rest)
{
    pid_t pid = 0;
    const char* p = rest;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (pid > (INT_MAX - 9) / 10)
            return 0;
        pid = pid * 10 + (*p - '0');
    }
    if (p == rest || *p != '-' || p[1] == '\0')
        return 0;
    for (++p; *p; ++p)
        if (*p < '0' || *p > '9')
            return 0;
    return pid;
}

// A save killed before its rename leaves its temporary behind; the next save of the same file
// removes those whose process is gone. A temporary of a live process (or of one this process
// cannot tell about) stays.
void removeStaleTemporaries(const std::string& folder, const std::string& base)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = temporaryPrefix(base);
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0)
            continue;
        const pid_t owner = ownerOfTemporary(entry->d_name + prefix.size());
        if (owner <= 0 || owner == self || ::kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

}  // namespace

CSConfigRenameFunction setConfigRenameFunction(CSConfigRenameFunction fn)
{
    CSConfigRenameFunction previous = renameFunction ? renameFunction : systemRename;
    renameFunction = fn;
    return previous;
}

bool replaceFileContents(const RWCString& pathText, const char* bytes, size_t length)
{
    std::string target(pathText.data(), pathText.length());
    if (target.empty())
        return false;

    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(target.c_str(), resolved) == nullptr)
            return false;
        target = resolved;
    }

    const bool exists = ::stat(target.c_str(), &st) == 0;
    mode_t mode = 0666;
    if (exists) {
        // Refused as opening it for writing would be: by its mode bits, and by the access
        // this process has (the folder's permission alone would let the rename replace a
        // file that belongs to someone else).
        if (!S_ISREG(st.st_mode) || !anyWriteBit(st.st_mode) || ::access(target.c_str(), W_OK) != 0)
            return false;
        mode = st.st_mode & 07777;
    }

    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    struct stat fst;
    if (::stat(folder.c_str(), &fst) != 0 || !S_ISDIR(fst.st_mode) || !anyWriteBit(fst.st_mode))
        return false;

    removeStaleTemporaries(folder, base);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/" + temporaryPrefix(base) + std::to_string(::getpid()) + "-" + std::to_string(tempCounter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = writeAllBytes(fd, bytes, length);
    if (ok && exists) {
        // The replacement keeps the file's owner, so that a save made under another account
        // (an administrator's) does not take the file away from its user. Without the right
        // to do so the file becomes ours, as a file written in place would stay its owner's.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            const int kept = ::fchown(fd, st.st_uid, st.st_gid);
            (void)kept;
        }
        ok = ::fchmod(fd, mode) == 0;
    }
    if (ok)
        ok = ::fsync(fd) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (ok) {
        CSConfigRenameFunction doRename = renameFunction ? renameFunction : systemRename;
        ok = doRename(temp.c_str(), target.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the new directory entry durable as well; a failure here loses nothing.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}
