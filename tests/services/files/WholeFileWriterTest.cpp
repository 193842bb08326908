// Tests of the whole-file writer: where the bytes go, what the file keeps, what is never
// replaced, and that a failed or ended write leaves the target as it was and no temporary.
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "services/files/WholeFileWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> names(const std::string& folder)
{
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(folder))
        found.insert(e.path().filename().string());
    return found;
}

mode_t modeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

WholeFileStatus write(const std::string& path, const std::string& bytes)
{
    return writeWholeFile(path, bytes.data(), bytes.size());
}

// The order of the sync and rename steps, and a way to fail either.
std::string steps;
bool failSync = false;
int watchedSync(int fd)
{
    steps += "sync ";
    if (failSync) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}
int watchedRename(const char* from, const char* to)
{
    steps += "rename ";
    return std::rename(from, to);
}
int failingRename(const char*, const char*)
{
    errno = EIO;
    return -1;
}

struct Hooks {
    Hooks(WholeFileSyncFunction sync, WholeFileRenameFunction rename)
    {
        steps.clear();
        failSync = false;
        setWholeFileSyncFunction(sync);
        setWholeFileRenameFunction(rename);
    }
    ~Hooks()
    {
        setWholeFileSyncFunction(nullptr);
        setWholeFileRenameFunction(nullptr);
    }
};

// The ending signals at their default action while it lives. Under nohup, or as a background job
// of a shell, a test starts with SIGHUP or SIGINT ignored; the writer leaves an ignored signal
// alone, so the test would wait for an end that never comes. Only ignored ones are touched: a
// handler the writer installed stays.
class EndingSignalsAtDefault {
public:
    EndingSignalsAtDefault()
    {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current;
            if (::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
                current.sa_handler == SIG_IGN) {
                std::signal(signal, SIG_DFL);
                ignored_.push_back(signal);
            }
        }
    }
    ~EndingSignalsAtDefault()
    {
        for (int signal : ignored_)
            std::signal(signal, SIG_IGN);
    }

private:
    std::vector<int> ignored_;
};

}  // namespace

TEST(WholeFileWriter, WritesBesideTheTargetKeepingItsModeAndFollowingLinks)
{
    TempDir dir;
    const mode_t savedMask = ::umask(027);
    // A new file: its mode from the umask.
    EXPECT_EQ(write(dir.file("new.bin"), "fresh"), WholeFileStatus::Written);
    ::umask(savedMask);
    EXPECT_EQ(TempDir::read(dir.file("new.bin")), "fresh");
    EXPECT_EQ(modeOf(dir.file("new.bin")), 0640u);

    // An existing one keeps its mode; a link to it stays a link, its file gets the bytes.
    const std::string old = dir.write("old.bin", "a longer older content");
    ::chmod(old.c_str(), 0604);
    ASSERT_EQ(::symlink("old.bin", dir.file("link.bin").c_str()), 0);
    EXPECT_EQ(write(dir.file("link.bin"), "short"), WholeFileStatus::Written);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.bin")));
    EXPECT_EQ(TempDir::read(old), "short");
    EXPECT_EQ(modeOf(old), 0604u);

    // Set-id bits and another owner are kept too: the owner is given back before the mode,
    // since giving a file away clears those bits. Only root may give it away.
    const std::string setId = dir.write("setid.bin", "old");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(setId.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(setId.c_str(), 06755), 0);
    EXPECT_EQ(write(setId, "new"), WholeFileStatus::Written);
    EXPECT_EQ(modeOf(setId), 06755u);
    struct stat st;
    ASSERT_EQ(::stat(setId.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());

    // Names up to the longest a folder takes: the temporary's name is cut to fit.
    for (size_t length : {size_t(200), size_t(252), size_t(NAME_MAX)}) {
        const std::string name(length, 'n');
        EXPECT_EQ(write(dir.file(name), "long"), WholeFileStatus::Written) << length;
        EXPECT_EQ(TempDir::read(dir.file(name)), "long") << length;
        fs::remove(dir.file(name));
    }

    // The bytes are synced before the rename puts them in place.
    {
        Hooks hooks(watchedSync, watchedRename);
        EXPECT_EQ(write(old, "synced"), WholeFileStatus::Written);
        EXPECT_EQ(steps, "sync rename ");
    }
    EXPECT_EQ(TempDir::read(old), "synced");
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"new.bin", "old.bin", "link.bin", "setid.bin"}));
}

TEST(WholeFileWriter, FailuresLeaveTheTargetAndNoTemporary)
{
    TempDir dir;
    const std::string target = dir.write("t.bin", "as it was");
    {
        Hooks hooks(watchedSync, failingRename);
        EXPECT_EQ(write(target, "new"), WholeFileStatus::Failed);
        EXPECT_EQ(write(dir.file("fresh.bin"), "new"), WholeFileStatus::Failed);
    }
    {
        Hooks hooks(watchedSync, watchedRename);
        failSync = true;
        EXPECT_EQ(write(target, "new"), WholeFileStatus::Failed);
        EXPECT_EQ(steps, "sync ");  // never renamed unsynced
    }
    EXPECT_EQ(write(dir.file("no/such/folder/x.bin"), "new"), WholeFileStatus::Failed);
    EXPECT_EQ(write("", "new"), WholeFileStatus::Failed);
    ASSERT_EQ(::symlink("nothing", dir.file("dangling").c_str()), 0);
    EXPECT_EQ(write(dir.file("dangling"), "new"), WholeFileStatus::Failed);
    {
        // Abandoned (or dropped) before the commit.
        WholeFileWriter writer;
        ASSERT_EQ(writer.open(target), WholeFileStatus::Written);
        EXPECT_TRUE(writer.write("new", 3));
    }
    EXPECT_EQ(TempDir::read(target), "as it was");
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"t.bin", "dangling"}));
}

TEST(WholeFileWriter, AWritePastTheFileSizeLimitFailsAndLeavesTheTarget)
{
    TempDir dir;
    const std::string target = dir.write("t.bin", "as it was");
    // In a child of its own, with the signal at the action a program starts with: past the
    // limit, SIGXFSZ would end it with the temporary left behind.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(2);
        ::_exit(write(target, std::string(10000, 'x')) == WholeFileStatus::Failed ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TempDir::read(target), "as it was");
    EXPECT_EQ(names(dir.path()), std::set<std::string>{"t.bin"});
}

TEST(WholeFileWriter, NoFolderDeviceFifoOrSocketIsReplaced)
{
    TempDir dir;
    fs::create_directory(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0666), 0);
    const bool device = ::mknod(dir.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::symlink("folder", dir.file("to-folder").c_str()), 0);
    ASSERT_EQ(::symlink("fifo", dir.file("to-fifo").c_str()), 0);

    // A device of our own (the suite runs as root), never the machine's: a broken writer
    // would replace it.
    std::set<std::string> expected = {"folder", "fifo", "socket", "to-folder", "to-fifo"};
    if (device) {
        ASSERT_EQ(::symlink("null", dir.file("to-null").c_str()), 0);
        expected.insert({"null", "to-null"});
    }
    for (const std::string& name : expected) {
        const auto before = fs::symlink_status(dir.file(name)).type();
        EXPECT_EQ(write(dir.file(name), "bytes"), WholeFileStatus::NotRegular) << name;
        EXPECT_EQ(fs::symlink_status(dir.file(name)).type(), before) << name;
    }
    EXPECT_EQ(names(dir.path()), expected);
    ::close(sock);
}

TEST(WholeFileWriter, AFolderThatTakesNoTemporaryGetsTheFileWrittenInPlace)
{
    TempDir dir;
    // Root may add to any folder, so the folder's refusal is seen by an unprivileged process.
    ::chmod(dir.path().c_str(), 0755);
    const std::string folder = dir.file("locked");
    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    const std::string writable = folder + "/open.bin";
    { std::ofstream(writable) << "an older and longer content"; }
    ::chmod(writable.c_str(), 0646);
    const std::string readOnly = folder + "/closed.bin";
    { std::ofstream(readOnly) << "kept"; }
    ::chmod(readOnly.c_str(), 0644);

    EXPECT_EQ(runUnprivileged([&] { return int(write(writable, "in place")); }), int(WholeFileStatus::Written));
    EXPECT_EQ(TempDir::read(writable), "in place");
    EXPECT_EQ(modeOf(writable), 0646u);
    EXPECT_EQ(runUnprivileged([&] { return int(write(readOnly, "new")); }), int(WholeFileStatus::Failed));
    EXPECT_EQ(runUnprivileged([&] { return int(write(folder + "/fresh.bin", "new")); }), int(WholeFileStatus::Failed));
    EXPECT_EQ(TempDir::read(readOnly), "kept");
    EXPECT_EQ(names(folder), (std::set<std::string>{"open.bin", "closed.bin"}));
}

TEST(WholeFileWriter, AnEndedWriteLeavesTheTargetAndNoTemporaryBehind)
{
    TempDir dir;
    const std::string target = dir.write("t.bin", "as it was");
    const EndingSignalsAtDefault ending;
    // Ended by a signal while writing: the handler removes the temporary. Ended without a word
    // (_exit stands in for SIGKILL): the next write removes it once the process is gone. Each
    // child first commits more writes than the handler has room for names, and keeps their
    // writers: each commit must give its room back at once, and the committed file stays.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, 0}) {
        SCOPED_TRACE(signal);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WholeFileWriter committed[40];
            for (int i = 0; i < 40; ++i) {
                const std::string bytes = std::to_string(i);
                if (committed[i].open(dir.file("done.bin")) != WholeFileStatus::Written ||
                    !committed[i].write(bytes.data(), bytes.size()) || !committed[i].commit())
                    ::_exit(4);
            }
            WholeFileWriter writer;
            if (writer.open(target) != WholeFileStatus::Written || !writer.write("half", 4))
                ::_exit(2);
            if (signal == 0)
                ::_exit(0);
            const char mark = 'w';
            if (::write(ready[1], &mark, 1) != 1)
                ::_exit(3);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char mark = 0;
        if (signal != 0) {
            ASSERT_EQ(::read(ready[0], &mark, 1), 1);
            EXPECT_EQ(names(dir.path()).size(), 3u);  // the temporary is there mid-write
            ::kill(child, signal);
        }
        ::close(ready[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (signal != 0) {
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), signal);
            EXPECT_EQ(names(dir.path()), (std::set<std::string>{"t.bin", "done.bin"}));
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_EQ(names(dir.path()).size(), 3u);
            EXPECT_EQ(write(target, "later"), WholeFileStatus::Written);
            EXPECT_EQ(names(dir.path()), (std::set<std::string>{"t.bin", "done.bin"}));
            EXPECT_EQ(TempDir::read(target), "later");
            continue;
        }
        EXPECT_EQ(TempDir::read(target), "as it was");
        EXPECT_EQ(TempDir::read(dir.file("done.bin")), "39");
    }
}

TEST(WholeFileWriter, AForkedChildEndedBySignalLeavesItsParentsTemporary)
{
    TempDir dir;
    const std::string target = dir.write("t.bin", "as it was");
    const EndingSignalsAtDefault ending;
    WholeFileWriter writer;
    ASSERT_EQ(writer.open(target), WholeFileStatus::Written);
    ASSERT_TRUE(writer.write("new", 3));
    // The child inherits the names of the temporaries in the making; they are not its own.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::raise(signal);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(names(dir.path()).size(), 2u);
    }
    EXPECT_TRUE(writer.commit());
    EXPECT_EQ(TempDir::read(target), "new");
    EXPECT_EQ(names(dir.path()), std::set<std::string>{"t.bin"});
}

TEST(WholeFileWriter, ThreadsWritingAtOnceEachGetAWholeFileAndLeaveNoTemporary)
{
    TempDir dir;
    const std::string shared = dir.write("shared.bin", "as it was");
    // More writers than the signal handler has room for: those beyond it still write.
    constexpr int kThreads = 40;
    std::vector<std::thread> threads;
    std::atomic<int> written{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const std::string bytes(1000 + size_t(t), char('a' + t % 26));
            for (int round = 0; round < 20; ++round) {
                written += write(shared, bytes) == WholeFileStatus::Written;
                written += write(dir.file("own" + std::to_string(t)), bytes) == WholeFileStatus::Written;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(written.load(), kThreads * 40);
    // The shared file is one thread's bytes, whole.
    const std::string got = TempDir::read(shared);
    ASSERT_GE(got.size(), 1000u);
    EXPECT_EQ(got, std::string(got.size(), char('a' + (got.size() - 1000) % 26)));
    EXPECT_EQ(names(dir.path()).size(), size_t(kThreads) + 1);
}
