// Tests of saving: the old file survives every failure, and a failed save can be retried.
#include <cerrno>
#include <climits>
#include <filesystem>
#include <sstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "services/config/CSConfig.h"
#include "services/config/CSConfigSafeFile.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const char oldText[] = "[GFX]\nSHADOW=1\n";

mode_t modeOf(const std::string& path)
{
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

size_t entriesIn(const std::string& dir)
{
    size_t n = 0;
    for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it)
        ++n;
    return n;
}

int failingRename(const char*, const char*)
{
    errno = EIO;
    return -1;
}

// Restores the real rename when a test ends, also when it fails.
struct RenameHook {
    explicit RenameHook(CSConfigRenameFunction fn) { setConfigRenameFunction(fn); }
    ~RenameHook() { setConfigRenameFunction(nullptr); }
};

}  // namespace

TEST(CSConfigSaveTest, FailedSavesLeaveTheOldFileWholeAndCanBeRetried)
{
    TempDir dir;
    const std::string sub = dir.path() + "/user";
    fs::create_directory(sub);
    const std::string file = sub + "/tavoplex.cfg";
    { std::ofstream(file) << oldText; }

    CSConfig cfg(file.c_str(), true);
    cfg.getValue("SHADOW", "GFX", "")->setInt(0);
    ASSERT_TRUE(cfg.isModified());

    // The folder is read-only by its mode bits (this holds for root as well).
    ::chmod(sub.c_str(), 0555);
    EXPECT_EQ(modeOf(sub), 0555u);
    EXPECT_EQ(cfg.save(), -2);
    ::chmod(sub.c_str(), 0755);
    EXPECT_EQ(TempDir::read(file), oldText);
    EXPECT_TRUE(cfg.isModified());

    // The file itself is read-only.
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(cfg.save(), -2);
    EXPECT_EQ(modeOf(file), 0444u);
    ::chmod(file.c_str(), 0640);
    EXPECT_EQ(TempDir::read(file), oldText);

    // A crash between writing and renaming: the rename fails.
    {
        RenameHook hook(failingRename);
        EXPECT_EQ(cfg.save(), -2);
    }
    EXPECT_EQ(TempDir::read(file), oldText);
    EXPECT_EQ(entriesIn(sub), 1u);  // the temporary file is gone
    EXPECT_TRUE(cfg.isModified());

    // The retry writes everything, keeps the file's mode and clears the marks.
    EXPECT_EQ(cfg.save(), 1);
    EXPECT_EQ(TempDir::read(file), "[GFX]\nSHADOW=0\n\n");
    EXPECT_EQ(modeOf(file), 0640u);
    EXPECT_FALSE(cfg.isModified());
    EXPECT_EQ(entriesIn(sub), 1u);
}

TEST(CSConfigSaveTest, MissingFolderFailsAndCreatesNothing)
{
    TempDir dir;
    CSConfig cfg(true);
    cfg.getValue("a", "x", "1");
    const std::string target = dir.path() + "/missing/c.cfg";
    EXPECT_EQ(cfg.saveFile(target.c_str()), -2);
    EXPECT_FALSE(fs::exists(dir.path() + "/missing"));
    EXPECT_FALSE(cfg.fileTimeRef().isValid());
    EXPECT_TRUE(cfg.isModified());
    // A plain file standing where the folder should be.
    const std::string blocker = dir.write("plain", "x");
    EXPECT_EQ(cfg.writeFile((blocker + "/c.cfg").c_str()), -2);
    EXPECT_EQ(TempDir::read(blocker), "x");
    // A pipe standing where the file should be is neither written nor replaced.
    ASSERT_EQ(::mkfifo(dir.file("pipe.cfg").c_str(), 0666), 0);
    EXPECT_EQ(cfg.writeFile(dir.file("pipe.cfg").c_str()), -2);
    EXPECT_TRUE(fs::is_fifo(dir.file("pipe.cfg")));
    // A folder standing where the file should be.
    fs::create_directory(dir.path() + "/asdir");
    EXPECT_EQ(cfg.writeFile((dir.path() + "/asdir").c_str()), -2);
    EXPECT_TRUE(fs::is_directory(dir.path() + "/asdir"));
}

TEST(CSConfigSaveTest, SaveFollowsASymbolicLinkAndRemembersTheFileTime)
{
    TempDir dir;
    const std::string real = dir.write("real.cfg", oldText);
    const std::string link = dir.file("link.cfg");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    CSConfig cfg(link.c_str(), true);
    ASSERT_NE(cfg.findItem("SHADOW", "GFX"), nullptr);  // read through the link
    cfg.getValue("SHADOW", "GFX", "")->setInt(2);
    cfg.fileTimeRef() = RWTime(0UL);
    EXPECT_EQ(cfg.save(), 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(TempDir::read(real), "[GFX]\nSHADOW=2\n\n");
    EXPECT_TRUE(cfg.fileTimeRef().isValid());
    EXPECT_FALSE(cfg.fileChanged());
}

TEST(CSConfigSaveTest, StreamSavesRewriteFromTheStartAndKeepMarksOnFailure)
{
    std::stringstream io;
    io << "a=1\n";
    CSConfig cfg(&io, &io, true);
    cfg.getValue("a", "<default>", "")->setInt(2);
    io.seekp(0, std::ios::end);
    EXPECT_EQ(cfg.save(), 1);
    EXPECT_EQ(io.str(), "a=2\n\n");
    EXPECT_FALSE(cfg.isModified());

    std::ostringstream broken;
    CSConfig failing(true);
    failing.attachOutStream(&broken);
    failing.getValue("a", "x", "1");
    struct FailingBuf : std::streambuf {
        int overflow(int) override { return traits_type::eof(); }
    } sink;
    std::ostream bad(&sink);
    failing.attachOutStream(&bad);
    EXPECT_EQ(failing.save(), -2);
    EXPECT_TRUE(failing.isModified());
    EXPECT_EQ(failing.saveNow(), -1);
}

TEST(CSConfigSaveTest, ReloadAndSaveKeepsOtherWritersChangesAndRevertRereads)
{
    TempDir dir;
    const std::string file = dir.write("s.cfg", "[x]\nmine=1\ntheirs=1\n");
    CSConfig cfg(file.c_str(), true);
    cfg.getValue("mine", "x", "")->setInt(5);
    dir.write("s.cfg", "[x]\nmine=1\ntheirs=7\n[y]\nnew=1\n");
    EXPECT_EQ(cfg.reloadAndSave(), 1);
    EXPECT_EQ(TempDir::read(file), "[x]\nmine=5\ntheirs=7\n\n[y]\nnew=1\n\n");

    cfg.getValue("mine", "x", "")->setInt(9);
    cfg.getValue("extra", "z", "1");
    EXPECT_EQ(cfg.revert(), 0);
    EXPECT_STREQ(cfg.findItem("mine", "x")->getValue()->getString(), "5");
    EXPECT_FALSE(cfg.hasBlock("z"));
    cfg.setFileName("");
    EXPECT_EQ(cfg.revert(), -1);
    EXPECT_EQ(cfg.blockCount(), 0u);
}

TEST(CSConfigSaveTest, ASaveKeepsTheFilesOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only an administrator can hand a file to another account";
    TempDir dir;
    const std::string file = dir.write("owned.cfg", oldText);
    ASSERT_EQ(::chown(file.c_str(), 4242, 4343), 0);
    CSConfig cfg(file.c_str(), true);
    cfg.getValue("SHADOW", "GFX", "")->setInt(3);
    EXPECT_EQ(cfg.save(), 1);
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u);
    EXPECT_EQ(st.st_gid, 4343u);
    EXPECT_EQ(TempDir::read(file), "[GFX]\nSHADOW=3\n\n");
}

namespace {

// A configuration whose reading fails part way while a flag is set, as a failing disk would.
struct FailingReadConfig : CSConfig {
    explicit FailingReadConfig(bool ignoreCase) : CSConfig(ignoreCase) {}
    bool failReading = true;
    int readStream(std::istream& in, bool merge) override
    {
        if (!failReading)
            return CSConfig::readStream(in, merge);
        RWCString line;
        line.readLine(in, false);  // the first line only, then the "disk" fails
        std::istringstream part(std::string(line.data(), line.length()) + "\n");
        CSConfig::readStream(part, merge);
        return -2;
    }
};

}  // namespace

TEST(CSConfigSaveTest, AFileNotReadWholeIsNotSavedOver)
{
    TempDir dir;
    const std::string file = dir.write("partial.cfg", "a=1\nb=2\nc=3\n");
    refHandle<CSConfig> cfg(new FailingReadConfig(true));
    FailingReadConfig& f = static_cast<FailingReadConfig&>(*cfg);
    EXPECT_EQ(cfg->open(file.c_str()), -2);
    EXPECT_EQ(cfg->findItem("b", "<default>"), nullptr);
    cfg->getValue("a", "<default>", "")->setInt(5);
    EXPECT_EQ(cfg->save(), -2);
    EXPECT_EQ(TempDir::read(file), "a=1\nb=2\nc=3\n");
    EXPECT_TRUE(cfg->isModified());
    // Nor under another spelling of its path, nor through a link to it.
    ASSERT_EQ(::symlink(file.c_str(), dir.file("link.cfg").c_str()), 0);
    for (const std::string& other : {dir.path() + "/./partial.cfg", dir.path() + "//partial.cfg", dir.file("link.cfg")}) {
        EXPECT_EQ(cfg->saveFile(other.c_str()), -2) << other;
        EXPECT_EQ(TempDir::read(file), "a=1\nb=2\nc=3\n") << other;
    }
    // Another file may still be written; a whole reading lifts the refusal.
    EXPECT_EQ(cfg->saveFile(dir.file("other.cfg").c_str()), 1);
    f.failReading = false;
    EXPECT_EQ(cfg->reload(), 1);
    cfg->getValue("a", "<default>", "")->setInt(6);
    EXPECT_EQ(cfg->save(), 1);
    EXPECT_EQ(TempDir::read(file), "a=6\nb=2\nc=3\n\n");
}

namespace {

// Ends the process where a kill between writing the temporary and renaming it would.
int dyingRename(const char*, const char*)
{
    ::_exit(0);
}

}  // namespace

TEST(CSConfigSaveTest, TemporariesOfKilledSavesAreRemovedByTheNextSave)
{
    TempDir dir;
    const std::string file = dir.write("t.cfg", oldText);
    for (int kill = 0; kill < 3; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            setConfigRenameFunction(dyingRename);
            CSConfig cfg(file.c_str(), true);
            cfg.getValue("SHADOW", "GFX", "")->setInt(2);
            cfg.save();
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        // The file and the last killed save's temporary: each save removed the one before.
        EXPECT_EQ(entriesIn(dir.path()), 2u) << kill;
    }
    EXPECT_EQ(TempDir::read(file), oldText);

    // A temporary of a live process and one of another file stay.
    const std::string live = dir.write(".t.cfg.tmp" + std::to_string(::getppid()) + "-0", "x");
    const std::string other = dir.write(".u.cfg.tmp999999999-0", "x");
    CSConfig cfg(file.c_str(), true);
    cfg.getValue("SHADOW", "GFX", "")->setInt(3);
    EXPECT_EQ(cfg.save(), 1);
    EXPECT_EQ(TempDir::read(file), "[GFX]\nSHADOW=3\n\n");
    EXPECT_EQ(entriesIn(dir.path()), 3u);  // the file and the two kept
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
}

TEST(CSConfigSaveTest, AFileWithTheLongestNameCanBeSaved)
{
    TempDir dir;
    const std::string name(NAME_MAX, 'n');
    const std::string file = dir.write(name, oldText);
    CSConfig cfg(file.c_str(), true);
    cfg.getValue("SHADOW", "GFX", "")->setInt(4);
    EXPECT_EQ(cfg.save(), 1);  // its temporary's name once exceeded the limit and the save failed
    EXPECT_EQ(TempDir::read(file), "[GFX]\nSHADOW=4\n\n");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}
