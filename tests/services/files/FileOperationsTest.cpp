// Tests of the file operations: working folder, writability, folder search, folder chains,
// stream copy, sizes, times and path comparisons.
#include "services/files/FileOperations.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "services/environment/Environment.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string realPath(const std::string& p)
{
    char buffer[PATH_MAX];
    return ::realpath(p.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::set<std::string> tree(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        out.insert(e.path().lexically_relative(folder).string());
    return out;
}

// Restores the working folder when a test ends.
class WorkingFolderGuard {
public:
    WorkingFolderGuard() : saved_(fs::current_path()) {}
    ~WorkingFolderGuard() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

}  // namespace

TEST(FileOperations, WorkingFolderChangesAndAbsoluteFormsLeaveItAlone)
{
    WorkingFolderGuard guard;
    TempDir dir;
    fs::create_directories(dir.file("a/b"));
    const std::string root = realPath(dir.path());
    clearVariables();
    setVariable("TVX_TOP", dir.path().c_str());

    EXPECT_EQ(changeDirectory(RWCString((dir.file("a/b") + "//").c_str())), 1);
    EXPECT_STREQ(currentDirectory().data(), (root + "/a/b").c_str());
    EXPECT_EQ(changeDirectory("$(TVX_TOP)\\a"), 1);
    EXPECT_STREQ(currentDirectory().data(), (root + "/a").c_str());
    EXPECT_EQ(changeDirectory(RWCString(dir.file("missing").c_str())), -1);
    EXPECT_EQ(changeDirectory(""), -1);
    EXPECT_STREQ(currentDirectory().data(), (root + "/a").c_str());

    struct Case {
        const char* path;
        std::string expected;
        int status;
    } cases[] = {
        {"b/..", root + "/a", 1},
        {"b\\", root + "/a/b", 1},
        {"..", root, 1},
        {"$(TVX_TOP)/a/b/../b", root + "/a/b", 1},
        {"nothing", "", -3},
        {"", "", -3},
    };
    for (const Case& c : cases) {
        int status = 0;
        EXPECT_STREQ(absoluteDirectory(c.path, status).data(), c.expected.c_str()) << c.path;
        EXPECT_EQ(status, c.status) << c.path;
    }
    EXPECT_STREQ(currentDirectory().data(), (root + "/a").c_str());
    clearVariables();
}

TEST(FileOperations, WritablePathClimbsToTheFirstExistingFolderAndEnds)
{
    WorkingFolderGuard guard;
    TempDir dir;
    const std::string file = dir.write("present.txt", "x");
    fs::current_path(dir.path());
    struct Case {
        std::string path;
        int writable;
    } cases[] = {
        {file, 1},
        {dir.file("new.txt"), 1},
        {dir.file("deep/er/new.txt"), 1},
        {"relative/new.txt", 1},
        {"", 0},
        // A missing drive or root: the climb ends instead of going round for ever.
        {"Q:/nothing/here.txt", 0},
        {"Q:", 0},
        {"Q:\\", 0},
        {"/proc/nothing/here.txt", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isWritablePath(RWCString(c.path.c_str())), c.writable) << c.path;
    // The test files are gone again.
    EXPECT_EQ(tree(dir.path()), std::set<std::string>{"present.txt"});
}

TEST(FileOperations, FindFileWalksTheListInOrder)
{
    TempDir dir;
    fs::create_directories(dir.file("one"));
    fs::create_directories(dir.file("two/sub"));
    fs::create_directories(dir.file("three"));
    dir.write("two/sub/x.cfg", "2");
    dir.write("three/sub/x.cfg", "3");
    dir.write("three/x.cfg", "3");
    clearVariables();
    setVariable("TVX_TWO", dir.file("two").c_str());
    const std::string list = dir.file("one") + ";$(TVX_TWO)/;" + dir.file("three");
    struct Case {
        const char* name;
        std::string list;
        int useExpanded;
        std::string root;
        std::string expected;
    } cases[] = {
        {"sub/x.cfg", list, 1, "", dir.file("two") + "/sub/x.cfg"},
        {"sub/x.cfg ", list, 0, "", "$(TVX_TWO)/sub/x.cfg"},
        {"x.cfg", list, 1, "", dir.file("three") + "/x.cfg"},
        {"x.cfg", "one;two;three", 1, dir.path(), dir.path() + "/three/x.cfg"},
        {"y.cfg", list, 1, "", ""},
        {"/abs/y.cfg", list, 1, "", "/abs/y.cfg"},
        {"C:/y.cfg", list, 1, "", "C:/y.cfg"},
        {"", dir.file("one") + ";" + dir.file("two"), 1, "", dir.file("one")},
        // An empty entry names no folder; it must not search the root folder.
        {"etc", ";;" + dir.file("one"), 1, "", ""},
        {"x.cfg", "", 1, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(findFileInDirectories(c.name, RWCString(c.list.c_str()), c.useExpanded, RWCString(c.root.c_str())).data(),
                     c.expected.c_str())
            << c.name << " in " << c.list;
    clearVariables();
}

TEST(FileOperations, EnsureDirectoryMakesTheChain)
{
    TempDir dir;
    const std::string file = dir.write("file", "x");
    EXPECT_EQ(ensureDirectory(dir.file("a/b/c").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir.file("a/b/c")));
    EXPECT_EQ(ensureDirectory(dir.file("a/b").c_str()), 1);
    EXPECT_EQ(ensureDirectory((file + "/below").c_str()), 0);
    EXPECT_EQ(ensureDirectory(file.c_str()), 0);
    EXPECT_EQ(ensureDirectory(""), 0);
    EXPECT_EQ(ensureDirectory(nullptr), 0);
}

TEST(FileOperations, CopyStreamCopiesToTheEndOrReportsTheFailingSide)
{
    std::string bytes(10007, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    for (int size : {0, 1, 4000, 100000}) {
        std::istringstream in(bytes);
        std::ostringstream out;
        EXPECT_EQ(copyStream(out, in, size), 1) << size;
        EXPECT_EQ(out.str(), bytes) << size;
    }
    std::istringstream empty;
    std::ostringstream untouched;
    EXPECT_EQ(copyStream(untouched, empty, 0), 1);
    EXPECT_TRUE(untouched.str().empty());

    std::istringstream broken(bytes);
    broken.setstate(std::ios::badbit);
    std::ostringstream out;
    EXPECT_EQ(copyStream(out, broken, 0), -4);
    std::istringstream in(bytes);
    std::ostringstream full;
    full.setstate(std::ios::badbit);
    EXPECT_EQ(copyStream(full, in, 0), -5);
    std::istringstream any(bytes);
    EXPECT_EQ(copyStream(out, any, -1), -1);
}

TEST(FileOperations, SizesAndModificationTimes)
{
    TempDir dir;
    const std::string a = dir.write("a.bin", std::string(1234, 'a'));
    const std::string b = dir.write("b.bin", "");
    EXPECT_EQ(fileSize(a.c_str()), 1234);
    EXPECT_EQ(fileSize(b.c_str()), 0);
    EXPECT_EQ(fileSize(dir.file("missing").c_str()), -1);
    EXPECT_EQ(fileSize(dir.path().c_str()), -1);
    EXPECT_EQ(fileSize(nullptr), -1);
    // Measuring a pipe without a writer must not wait for one.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    ::alarm(30);
    EXPECT_EQ(fileSize(dir.file("pipe").c_str()), -1);
    ::alarm(0);
    EXPECT_EQ(fileSize("/dev/null"), 0);

    auto setTime = [](const std::string& p, time_t t) {
        struct timespec times[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, p.c_str(), times, 0);
    };
    setTime(a, 1000);
    setTime(b, 2000);
    int status = 0;
    EXPECT_EQ(compareFileTimes(a.c_str(), b.c_str(), &status), -1);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(compareFileTimes(b.c_str(), a.c_str(), nullptr), 1);
    EXPECT_EQ(compareFileTimes(a.c_str(), a.c_str(), &status), 0);
    EXPECT_EQ(compareFileTimes(a.c_str(), dir.file("missing").c_str(), &status), 0);
    EXPECT_EQ(status, -1);

    EXPECT_STREQ(universalName("C:\\a\\b", &status).data(), "C:/a/b");
    EXPECT_EQ(status, -1);
}

TEST(FileOperations, PathComparisonsIgnoreCaseAndRespectComponentBounds)
{
    struct Case {
        const char* a;
        const char* b;
        int result;
    } cases[] = {
        {"C:/a/b", "c:/A", 1},  {"c:/A", "C:/a/b", 2}, {"C:/ab", "C:/a", -1},    {"C:\\A\\", "c:/a", 0},
        {"/x/./y", "/X/y/", 0}, {"", "/a", -1},        {"", "", 0},              {"C:/a", "C:", 1},     {"a/b/../c", "a", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(comparePaths(c.a, c.b), c.result) << c.a << " | " << c.b;

    struct Below {
        const char* base;
        const char* path;
        const char* rest;
        int status;
    } below[] = {
        {"C:/a", "C:/a/b/c", "b/c", 1}, {"c:\\A", "C:/a/B/c/", "B/c", 1}, {"C:/a", "C:/a", "", 1},
        {"C:/a/b", "C:/a", "", -1},     {"C:/a", "C:/ab/c", "", -1},      {"/srv/x", "/srv/x/./y/../z", "z", 1},
    };
    for (const Below& c : below) {
        int status = 0;
        EXPECT_STREQ(pathBelow(c.base, c.path, &status).data(), c.rest) << c.base << " | " << c.path;
        EXPECT_EQ(status, c.status) << c.base << " | " << c.path;
    }
    EXPECT_STREQ(pathBelow("/a", "/a/b", nullptr).data(), "b");
}
