// Replacing a file's whole contents through a temporary file beside it and a rename.
#include "services/files/WholeFileWriter.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "services/files/RegularFile.h"

namespace {

std::atomic<WholeFileSyncFunction> syncFunction{nullptr};
std::atomic<WholeFileRenameFunction> renameFunction{nullptr};
std::atomic<unsigned> temporaryCounter{0};

int systemSync(int fd) { return ::fsync(fd); }
int systemRename(const char* from, const char* to) { return std::rename(from, to); }

// Names of temporaries in the making, for the signal handler to remove. A slot is taken by
// setting `taken`; its name is readable once `ready` is set. `owner` is the process that made
// the temporary: a child forked meanwhile inherits the slots, and its end must not remove the
// temporary its parent is still writing.
constexpr int kSlots = 32;
struct PendingTemporary {
    std::atomic<bool> taken{false};
    std::atomic<bool> ready{false};
    std::atomic<pid_t> owner{0};
    char path[PATH_MAX];
};
PendingTemporary pending[kSlots];
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler may only read what a signal cannot catch half written.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free);

extern "C" void removePendingAndEnd(int signal)
{
    const pid_t self = ::getpid();
    for (PendingTemporary& p : pending)
        if (p.ready.load(std::memory_order_acquire) && p.owner.load(std::memory_order_relaxed) == self)
            ::unlink(p.path);
    // The handler was reset on entry: once it returns, the signal (blocked meanwhile) ends the
    // process as it would have without us.
    ::raise(signal);
}

// Sets a signal's action, only where it is the default: a program that handles or ignores the
// signal keeps its choice.
void replaceDefaultAction(int signal, void (*action)(int), int flags)
{
    struct sigaction current;
    if (::sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
        current.sa_handler != SIG_DFL)
        return;
    struct sigaction ours {};
    ours.sa_handler = action;
    sigemptyset(&ours.sa_mask);
    ours.sa_flags = flags;
    ::sigaction(signal, &ours, nullptr);
}

// Takes over the signals that would end the process without a word, and only those (a
// temporary that a process ends with otherwise is removed later).
void watchEndingSignals()
{
    for (int signal : kEndingSignals)
        replaceDefaultAction(signal, removePendingAndEnd, SA_RESETHAND);
}

// A write past the process's file-size limit (ulimit -f) would end the process at once by
// SIGXFSZ, without a word and with its temporary left behind. Ignored, the write fails with
// EFBIG like any other failed write, and the target stays as it was. Never put back: the limit
// holds for every later write of the process too.
void letOversizedWritesFail() { replaceDefaultAction(SIGXFSZ, SIG_IGN, 0); }

int rememberPending(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!pending[i].taken.compare_exchange_strong(expected, true))
            continue;
        std::memcpy(pending[i].path, path.c_str(), path.size() + 1);
        pending[i].owner.store(::getpid(), std::memory_order_relaxed);
        pending[i].ready.store(true, std::memory_order_release);
        watchEndingSignals();
        return i;
    }
    return -1;  // all taken: a later write removes this one if it is left behind
}

void forgetPending(int& slot)
{
    if (slot < 0)
        return;
    pending[slot].ready.store(false, std::memory_order_release);
    pending[slot].taken.store(false, std::memory_order_release);
    slot = -1;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// ".<name>.tmp": the start of every temporary's name for a target, cut so that the whole name
// (with the process id and a number after it) stays within what the folder takes.
std::string temporaryPrefix(const std::string& folder, const std::string& base)
{
    constexpr size_t kRoomForTheRest = 1 + 4 + 10 + 1 + 10;  // ".", ".tmp", id, "-", number
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t longest = limit > long(kRoomForTheRest) ? size_t(limit) : size_t(NAME_MAX);
    const size_t keep = longest - kRoomForTheRest;
    std::string prefix(".");
    prefix.append(base, 0, base.size() < keep ? base.size() : keep).append(".tmp");
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

// A write ended before its rename (by SIGKILL, a crash, a handled signal) leaves its temporary
// behind; the next write of the same file removes those whose process is gone. A temporary of a
// live process (or of one this process cannot tell about) stays.
void removeStaleTemporaries(const std::string& folder, const std::string& prefix)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
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

// Opens the existing regular file itself, checking that it is still the file that was looked at.
int openInPlace(const std::string& path, const struct stat& seen)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino ||
        flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

WholeFileSyncFunction setWholeFileSyncFunction(WholeFileSyncFunction fn)
{
    const WholeFileSyncFunction previous = syncFunction.exchange(fn);
    return previous ? previous : systemSync;
}

WholeFileRenameFunction setWholeFileRenameFunction(WholeFileRenameFunction fn)
{
    const WholeFileRenameFunction previous = renameFunction.exchange(fn);
    return previous ? previous : systemRename;
}

WholeFileWriter::~WholeFileWriter() { abandon(); }

WholeFileStatus WholeFileWriter::open(const std::string& path)
{
    abandon();
    if (path.empty() || path.find('\0') != std::string::npos)
        return WholeFileStatus::Failed;
    letOversizedWritesFail();
    target_ = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr)
            return WholeFileStatus::Failed;
        target_ = resolved;
    }
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists) {
        // Renaming over a device or a FIFO would replace it with a plain file.
        if (!S_ISREG(st.st_mode))
            return WholeFileStatus::NotRegular;
        // The folder's permission alone would let the rename replace a file this process may
        // not write.
        if (::access(target_.c_str(), W_OK) != 0)
            return WholeFileStatus::Failed;
    } else if (errno != ENOENT) {
        return WholeFileStatus::Failed;
    }

    const std::string folder = folderOf(target_);
    const std::string base = target_.substr(target_.rfind('/') + 1);  // npos + 1 is 0
    const std::string prefix = temporaryPrefix(folder, base);
    removeStaleTemporaries(folder, prefix);
    // The temporary is made and remembered while the ending signals wait: one arriving between
    // the two would end the process with a temporary nobody removes.
    sigset_t ending, previous;
    sigemptyset(&ending);
    for (int signal : kEndingSignals)
        sigaddset(&ending, signal);
    ::pthread_sigmask(SIG_BLOCK, &ending, &previous);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = folder + "/" + prefix + std::to_string(::getpid()) + "-" + std::to_string(temporaryCounter++);
        // Never wider than the file it replaces, not even until the mode is set below.
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? st.st_mode & 0666 : 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    const int openError = errno;
    if (fd_ >= 0)
        slot_ = rememberPending(temporary_);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = openError;
    if (fd_ < 0) {
        temporary_.clear();
        // A folder that refuses new files, with a file that may be written. Any other failure
        // (a full disk, no descriptors left) would leave the file emptied and not rewritten.
        if (exists && (openError == EACCES || openError == EPERM))
            fd_ = openInPlace(target_, st);
        return fd_ >= 0 ? WholeFileStatus::Written : WholeFileStatus::Failed;
    }
    if (exists) {
        // The owner first: giving a file away clears its set-id bits, which the mode then puts back.
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd_, st.st_uid, st.st_gid) != 0)
            errno = 0;  // only a privileged process may give a file away; the copy stays ours
        if (::fchmod(fd_, st.st_mode & 07777) != 0) {
            abandon();
            return WholeFileStatus::Failed;
        }
    }
    return WholeFileStatus::Written;
}

bool WholeFileWriter::write(const char* data, size_t size)
{
    return fd_ >= 0 && writeAllBytes(fd_, data, size);
}

bool WholeFileWriter::commit()
{
    if (fd_ < 0)
        return false;
    const WholeFileSyncFunction sync = syncFunction.load();
    bool ok = (sync ? sync : systemSync)(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (temporary_.empty())
        return ok;
    if (ok) {
        const WholeFileRenameFunction rename = renameFunction.load();
        ok = (rename ? rename : systemRename)(temporary_.c_str(), target_.c_str()) == 0;
    }
    if (!ok) {
        abandon();
        return false;
    }
    forgetPending(slot_);
    temporary_.clear();
    // Make the new directory entry durable as well; a failure here loses nothing.
    const int dfd = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void WholeFileWriter::abandon()
{
    // errno keeps telling why the write failed, whatever the clean-up meets.
    const int error = errno;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    forgetPending(slot_);
    errno = error;
}

WholeFileStatus writeWholeFile(const std::string& path, const char* data, size_t size)
{
    WholeFileWriter writer;
    const WholeFileStatus opened = writer.open(path);
    if (opened != WholeFileStatus::Written)
        return opened;
    return writer.write(data, size) && writer.commit() ? WholeFileStatus::Written : WholeFileStatus::Failed;
}
