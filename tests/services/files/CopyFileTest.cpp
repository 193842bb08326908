// Tests of the file copy: same-file detection, bytes, times, modes and progress, failure codes
// that leave the destination alone, and the copy-error handler stack.
#include "services/files/CopyFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace fs = std::filesystem;

namespace {

std::string pattern(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return s;
}

std::set<std::string> names(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.insert(e.path().filename().string());
    return out;
}

void setModificationTime(const std::string& path, time_t seconds, long nanoseconds)
{
    struct timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = 0;
    times[1].tv_sec = seconds;
    times[1].tv_nsec = nanoseconds;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct timespec modificationTime(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mtim;
}

class RecordingProgress : public CSCopyProgress {
public:
    void begin() override { calls.push_back("begin"); }
    void end() override { calls.push_back("end"); }
    void setPercent(float p) override { percents.push_back(p); }
    void setFiles(RWCString s, RWCString d) override { calls.push_back(std::string("files ") + s.data() + " " + d.data()); }

    std::vector<std::string> calls;
    std::vector<float> percents;
};

class ScriptedHandler : public CSCopyErrorHandling {
public:
    explicit ScriptedHandler(std::function<int(int*)> answer) : answer_(std::move(answer)) {}
    int handleCopyError(const char* destination, const char* source, int* code) override
    {
        seen.push_back(*code);
        lastNames = std::string(source) + " -> " + destination;
        return answer_(code);
    }

    std::vector<int> seen;
    std::string lastNames;

private:
    std::function<int(int*)> answer_;
};

}  // namespace

TEST(CopyFile, SameFileUnderAnotherNameAnswersZeroAndLeavesItWhole)
{
    TempDir dir;
    const std::string bytes = pattern(5000);
    const std::string file = dir.write("model.zjv", bytes);
    fs::create_symlink(file, dir.file("link.zjv"));
    fs::create_hard_link(file, dir.file("hard.zjv"));
    fs::create_directory(dir.file("sub"));

    const fs::path saved = fs::current_path();
    fs::current_path(dir.path());
    const std::string others[] = {
        "model.zjv",                    // relative against absolute
        "./sub/../model.zjv",           // another spelling
        dir.file("model.zjv") + "/",    // a trailing separator
        dir.file("sub\\..\\model.zjv"), // backslashes
        dir.file("link.zjv"),           // a symbolic link to it
        dir.file("hard.zjv"),           // a hard link to it
    };
    ScriptedHandler handler([](int*) { return 0; });
    for (const std::string& other : others) {
        EXPECT_EQ(copyFile(file.c_str(), other.c_str(), 0, nullptr), 0) << other;
        EXPECT_EQ(copyFile(other.c_str(), file.c_str(), 0, nullptr), 0) << other;
        EXPECT_EQ(TempDir::read(file), bytes) << other;
    }
    fs::current_path(saved);
    // The handler is still asked about a copy onto itself.
    EXPECT_EQ(handler.seen, std::vector<int>(12, 0));
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"model.zjv", "link.zjv", "hard.zjv", "sub"}));

    // Names that differ only in case are two files; the longest name a folder takes is fine.
    const std::string longest = std::string(251, 'n') + ".zjv";
    for (const std::string& name : {std::string("MODEL.zjv"), longest}) {
        EXPECT_EQ(copyFile(file.c_str(), dir.file(name).c_str(), 0, nullptr), 1) << name;
        EXPECT_EQ(TempDir::read(dir.file(name)), bytes) << name;
    }
}

TEST(CopyFile, CopiesBytesModificationTimeAndModeWithProgressFrom0To100)
{
    TempDir dir;
    struct Case {
        size_t size;
        int bufferSize;
        bool destinationExists;
    } cases[] = {{0, 0, false}, {1, 0, false}, {300001, 0, false}, {300001, 4096, true}, {12345, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string bytes = pattern(c.size);
        const std::string source = dir.write("source.bin", bytes);
        setModificationTime(source, 1000000000, 123456789);
        const std::string destination = dir.file("copy.bin");
        fs::remove(destination);
        if (c.destinationExists) {
            dir.write("copy.bin", "an older and longer destination text " + std::string(20000, 'x'));
            ::chmod(destination.c_str(), 0640);
        }
        RecordingProgress progress;
        EXPECT_EQ(copyFile(source.c_str(), destination.c_str(), c.bufferSize, &progress), 1);
        EXPECT_EQ(TempDir::read(destination), bytes);
        const struct timespec t = modificationTime(destination);
        EXPECT_EQ(t.tv_sec, 1000000000);
        EXPECT_EQ(t.tv_nsec, 123456789);
        struct stat st {};
        ::stat(destination.c_str(), &st);
        if (c.destinationExists) {
            EXPECT_EQ(st.st_mode & 07777, 0640u);
        }

        EXPECT_EQ(progress.calls, (std::vector<std::string>{"begin", "files " + source + " " + destination, "end"}));
        ASSERT_GE(progress.percents.size(), 2u);
        EXPECT_EQ(progress.percents.front(), 0.0f);
        EXPECT_EQ(progress.percents.back(), 100.0f);
        for (size_t i = 1; i < progress.percents.size(); ++i)
            EXPECT_LE(progress.percents[i - 1], progress.percents[i]);
        if (c.size == 0) {
            EXPECT_EQ(progress.percents, (std::vector<float>{0.0f, 100.0f}));
        }
        if (c.bufferSize == 4096) {
            EXPECT_GE(progress.percents.size(), c.size / 4096);
        }
        EXPECT_EQ(names(dir.path()), (std::set<std::string>{"source.bin", "copy.bin"}));
    }
}

TEST(CopyFile, FailuresGiveTheirCodesAndCreateNothing)
{
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    const std::string source = dir.write("source.bin", pattern(3000));
    fs::create_directory(dir.file("folder"));
    const std::string fresh = dir.file("fresh.bin");
    struct Case {
        std::string source;
        std::string destination;
        int code;
    } cases[] = {
        {dir.file("missing.bin"), fresh, -2},
        {dir.file("folder"), fresh, -2},
        {"", fresh, -2},
        {source, dir.file("no/such/folder/copy.bin"), -3},
        {source, dir.file("folder"), -3},
        {source, "", -3},
    };
    for (const Case& c : cases) {
        RecordingProgress progress;
        EXPECT_EQ(copyFile(c.source.c_str(), c.destination.c_str(), 0, &progress), c.code) << c.source << " " << c.destination;
        EXPECT_EQ(progress.calls.back(), "end");
        EXPECT_EQ(progress.percents.back(), 100.0f);
    }
    EXPECT_EQ(copyFile(nullptr, fresh.c_str(), 0, nullptr), -2);

    // A pipe nobody writes to or reads from, and a device without end, neither hang nor copy
    // for ever: only a regular file is a source, and a pipe is written only while it is read.
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ::alarm(30);
    EXPECT_EQ(copyFile(pipe.c_str(), fresh.c_str(), 0, nullptr), -2);
    EXPECT_EQ(copyFile("/dev/zero", fresh.c_str(), 0, nullptr), -2);
    EXPECT_EQ(copyFile(source.c_str(), pipe.c_str(), 0, nullptr), -3);
    ::alarm(0);
    // A pipe that is read, a device and a link to one are written as they are, never replaced
    // by a plain file. The device is made here (the suite runs as root): never the machine's.
    {
        // The read end is open before the copy starts, so the copy finds its reader; the reader
        // takes what comes until the whole source arrived or a generous deadline passed.
        const int readEnd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(readEnd, 0);
        const std::string expected = TempDir::read(source);
        std::string got;
        std::thread reader([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            char buffer[4096];
            while (got.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
                const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, size_t(n));
                else
                    ::usleep(1000);
            }
        });
        EXPECT_EQ(copyFile(source.c_str(), pipe.c_str(), 0, nullptr), 1);
        reader.join();
        ::close(readEnd);
        EXPECT_EQ(got, expected);
        EXPECT_TRUE(fs::is_fifo(pipe));
    }
    const std::string device = dir.file("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        ASSERT_EQ(::symlink("null", dir.file("to-null").c_str()), 0);
        for (const std::string& name : {device, dir.file("to-null")}) {
            EXPECT_EQ(copyFile(source.c_str(), name.c_str(), 0, nullptr), 1) << name;
            EXPECT_TRUE(fs::is_character_file(device)) << name;
        }
        EXPECT_TRUE(fs::is_symlink(dir.file("to-null")));
        fs::remove(device);
        fs::remove(dir.file("to-null"));
    }
    fs::remove(pipe);
    EXPECT_EQ(copyFile(source.c_str(), fresh.c_str(), -5, nullptr), -1);
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"source.bin", "folder"}));

    // An unreadable source and an existing destination that may not be written.
    const std::string locked = dir.write("locked.bin", "secret");
    ::chmod(locked.c_str(), 0);
    const std::string readOnly = dir.write("readonly.bin", "keep me");
    ::chmod(readOnly.c_str(), 0444);
    ::chmod(source.c_str(), 0644);
    EXPECT_EQ(runUnprivileged([&] { return copyFile(locked.c_str(), dir.file("x.bin").c_str(), 0, nullptr); }), -2);
    EXPECT_EQ(runUnprivileged([&] { return copyFile(source.c_str(), readOnly.c_str(), 0, nullptr); }), -3);
    EXPECT_EQ(TempDir::read(readOnly), "keep me");
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"source.bin", "folder", "locked.bin", "readonly.bin"}));
}

TEST(CopyFile, WriteFailureLeavesTheOldDestinationByteForByte)
{
    TempDir dir;
    const std::string source = dir.write("big.bin", pattern(400000));
    const std::string old = "the destination as it was\n" + pattern(1000);
    const std::string destination = dir.write("target.bin", old);

    // A file-size limit stands in for a full disk: writes past it fail with EFBIG.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int code = copyFile(source.c_str(), destination.c_str(), 0, nullptr);
    ScriptedHandler handler([](int*) { return 0; });
    const int codeWithHandler = copyFile(source.c_str(), destination.c_str(), 0, nullptr);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(code, -5);
    EXPECT_EQ(codeWithHandler, -5);
    EXPECT_EQ(handler.seen, std::vector<int>{-5});
    EXPECT_EQ(TempDir::read(destination), old);
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"big.bin", "target.bin"}));
}

TEST(CopyFile, NewestHandlerDecidesAndItsAnswerIsKept)
{
    TempDir dir;
    const std::string missing = dir.file("later.bin");
    const std::string destination = dir.file("copy.bin");
    EXPECT_EQ(currentCopyErrorHandler(), nullptr);
    {
        ScriptedHandler older([](int*) { return 1; });
        {
            int calls = 0;
            // Try again after making the missing source.
            ScriptedHandler newer([&](int*) {
                if (++calls == 1) {
                    dir.write("later.bin", "made late");
                    return 2;
                }
                return 0;
            });
            EXPECT_EQ(currentCopyErrorHandler(), &newer);
            EXPECT_EQ(copyFile(missing.c_str(), destination.c_str(), 0, nullptr), 1);
            EXPECT_EQ(TempDir::read(destination), "made late");
            EXPECT_EQ(newer.seen, std::vector<int>{-2});
            EXPECT_EQ(newer.lastNames, missing + " -> " + destination);
            EXPECT_TRUE(older.seen.empty());
        }
        // The older handler is asked again once the newer one is gone: it reports success.
        EXPECT_EQ(currentCopyErrorHandler(), &older);
        EXPECT_EQ(copyFile(dir.file("none.bin").c_str(), destination.c_str(), 0, nullptr), 1);
        EXPECT_EQ(older.seen, std::vector<int>{-2});
    }
    struct Case {
        int answer;
        int changedCode;
        int result;
    } cases[] = {{0, 0, -2}, {0, -4, -4}, {7, 0, -2}, {-1, -3, -3}, {1, -5, 1}};
    for (const Case& c : cases) {
        ScriptedHandler handler([&](int* code) {
            if (c.changedCode)
                *code = c.changedCode;
            return c.answer;
        });
        EXPECT_EQ(copyFile(dir.file("none.bin").c_str(), destination.c_str(), 0, nullptr), c.result) << c.answer;
    }
    EXPECT_EQ(currentCopyErrorHandler(), nullptr);
}
