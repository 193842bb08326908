// Tests of UTDirectoryIterator and the file-system entry classes.
#include "services/files/UTDirectoryIterator.h"
#include "services/files/UTFileSystemEntry.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string str(const UTFilePath& p)
{
    return std::string(p.utf8Path().data(), p.utf8Path().length());
}

// Names handed out by a walk, sorted: the order on disk is arbitrary.
std::vector<std::string> walk(UTDirectoryIterator& it, bool (UTDirectoryIterator::*step)() = &UTDirectoryIterator::next)
{
    std::vector<std::string> names;
    while ((it.*step)())
        names.push_back(str(it.currentPath().baseName()));
    std::sort(names.begin(), names.end());
    return names;
}

struct Folder {
    TempDir dir;
    UTFilePath root{dir.path().c_str()};
    Folder()
    {
        dir.write("a.txt", "a");
        dir.write("b.dat", "b");
        dir.write("A.TXT", "A");
        root.join("sub").makeDirectories(false);
    }
};

using Names = std::vector<std::string>;

} // namespace

TEST(UTDirectoryIterator, WalksEveryEntryButDotAndDotDot)
{
    Folder f;
    UTDirectoryIterator it(f.root, ".*", ".*", false);
    ASSERT_TRUE(it.isOpen());
    bool sawSub = false;
    Names names;
    while (it.next()) {
        UTFilePath p = it.currentPath();
        names.push_back(str(p.baseName()));
        EXPECT_EQ(str(p.parentPath()), str(f.root));
        if (str(p.baseName()) == "sub") {
            sawSub = true;
            EXPECT_TRUE(p.flags() & UTFilePath::flagDirectory);
            EXPECT_EQ(it.currentEntry().getKind(), UTFileSystemEntry::directory);
        } else {
            EXPECT_TRUE(p.flags() & UTFilePath::flagFile);
            EXPECT_EQ(it.currentEntry().getKind(), UTFileSystemEntry::file);
        }
    }
    EXPECT_TRUE(sawSub);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"A.TXT", "a.txt", "b.dat", "sub"}));
    EXPECT_FALSE(it.next());
    EXPECT_TRUE(it.isOpen()); // running out does not close
    it.rewind();
    EXPECT_EQ(walk(it).size(), 4u);
}

TEST(UTDirectoryIterator, PatternsMatchWholeNames)
{
    Folder f;
    struct Case {
        const char* filePattern;
        const char* dirPattern;
        bool ignoreCase;
        Names expected;
    } cases[] = {
        {".*\\.txt", ".*", false, {"a.txt", "sub"}},
        {".*\\.txt", ".*", true, {"A.TXT", "a.txt", "sub"}},
        {".*\\.TXT", "x", true, {"A.TXT"}}, // the pattern itself is not lower-cased
        {"a", "su", false, {}},             // a match must cover the whole name
        {"b\\.dat", "sub", false, {"b.dat", "sub"}},
        {"[", ".*", false, {"sub"}},        // a bad pattern matches nothing
    };
    for (const Case& c : cases) {
        UTDirectoryIterator it(f.root, c.filePattern, c.dirPattern, c.ignoreCase);
        EXPECT_EQ(walk(it), c.expected) << c.filePattern;
    }

    UTDirectoryIterator it(f.root, ".*", ".*", false);
    EXPECT_EQ(walk(it, &UTDirectoryIterator::nextFile), (Names{"A.TXT", "a.txt", "b.dat"}));
    it.rewind();
    EXPECT_EQ(walk(it, &UTDirectoryIterator::nextDirectory), (Names{"sub"}));

    RWTValOrderedVector<RWCString> files;
    files.append("b.*");
    files.append("a\\.txt");
    RWTValOrderedVector<RWCString> dirs;
    UTDirectoryIterator lists(f.root, files, dirs, false);
    EXPECT_EQ(walk(lists), (Names{"a.txt", "b.dat"}));
    lists.setDirectoryRegexp(RWCRegexp("s.b"), false);
    lists.setFilePattern("x", false);
    lists.rewind();
    EXPECT_EQ(walk(lists), (Names{"sub"}));
    EXPECT_TRUE(lists.matchesDirectory("sub"));
    EXPECT_FALSE(lists.matchesDirectory("subs"));
}

TEST(UTDirectoryIterator, MissingDirectoryIsNotOpen)
{
    TempDir dir;
    UTDirectoryIterator it(UTFilePath(dir.file("missing").c_str()), ".*", ".*", false);
    EXPECT_FALSE(it.isOpen());
    EXPECT_FALSE(it.next());
}

TEST(UTFileSystemEntry, SplitsPathsAndActsByKind)
{
    UTFileSystemEntry e(UTFilePath("C:/x/y.txt"));
    EXPECT_EQ(str(e.getDirectory()), "C:/x");
    EXPECT_EQ(str(e.getName()), "y.txt");
    EXPECT_EQ(e.getKind(), UTFileSystemEntry::unspecified);
    UTFileSystemEntry bare(UTFilePath("y.txt"));
    EXPECT_TRUE(bare.getDirectory().isEmpty());
    EXPECT_EQ(str(bare.getPath()), "y.txt");
    EXPECT_EQ(str(UTFileSystemEntry(UTFilePath("/y")).getPath()), "/y");
    EXPECT_EQ(str(UTFileSystemEntry(UTFilePath("/d"), UTFilePath("/abs")).getPath()), "/abs");

    TempDir dir;
    UTFilePath root(dir.path().c_str());
    std::string existing = dir.write("f.txt", "content");
    UTFileEntry file(root, UTFilePath("f.txt"));
    EXPECT_TRUE(file.existsAsKind());
    EXPECT_TRUE(file.createAsKind()); // truncates
    EXPECT_EQ(TempDir::read(existing), "");
    UTDirectoryEntry asDir(root, UTFilePath("f.txt"));
    EXPECT_FALSE(asDir.existsAsKind());

    UTDirectoryEntry sub(root.join("sub"));
    EXPECT_FALSE(sub.existsAsKind());
    EXPECT_TRUE(sub.createAsKind());
    EXPECT_TRUE(sub.existsAsKind());
    EXPECT_FALSE(sub.createAsKind()); // already there
    UTDirectoryIterator it(sub);
    EXPECT_TRUE(it.isOpen());
    EXPECT_FALSE(it.next());
    EXPECT_TRUE(sub.removeEntry());
    EXPECT_TRUE(file.removeEntry());
    EXPECT_FALSE(file.existsAsKind());
    EXPECT_FALSE(UTFileSystemEntry(root).createAsKind());
}

TEST(UTFileSystemEntry, DirectoryEntryOfTheWorkingDirectory)
{
    TempDir dir;
    UTFilePath before = UTFilePath::currentDirectory();
    UTFilePath work = UTFilePath(dir.path().c_str()).join("work");
    ASSERT_TRUE(work.makeDirectories(false));
    ASSERT_TRUE(UTFilePath::setCurrentDirectory(work));
    UTDirectoryEntry here;
    UTFilePath cwd = UTFilePath::currentDirectory();
    EXPECT_EQ(str(here.getName()), "work");
    EXPECT_EQ(str(here.getDirectory()), str(cwd.parentPath()));
    EXPECT_EQ(str(here.getPath()), str(cwd));
    ASSERT_TRUE(UTFilePath::setCurrentDirectory(UTFilePath("/")));
    UTDirectoryEntry top;
    EXPECT_EQ(str(top.getPath()), "/");
    ASSERT_TRUE(UTFilePath::setCurrentDirectory(before));
}
