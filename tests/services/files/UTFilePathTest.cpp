// Tests of UTFilePath: normal form, derived paths, component walking and disk operations.
#include "services/files/UTFilePath.h"
#include "services/files/UTPathComponentIterator.h"
#include "services/files/UTFileSystemEntry.h"

#include "foundation/RWTime.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace {

std::string str(const RWCString& s)
{
    return std::string(s.data(), s.length());
}

std::string str(const UTFilePath& p)
{
    return str(p.utf8Path());
}

} // namespace

TEST(UTFilePath, NormalFormAndAbsoluteBit)
{
    struct Case {
        const char* text;
        const char* stored;
        bool absolute;
    } cases[] = {
        {"C:\\Users\\x\\", "C:/Users/x", true},
        {"C:", "C:", true},
        {"C:/", "C:", true},
        {"C:/x", "C:/x", true},
        {"C:x", "C:x", false},
        {"/", "/", true},
        {"a/b/", "a/b", false},
        {"a", "a", false},
        {"", "", false},
        {"//srv/share/", "//srv/share", true},
    };
    for (const Case& c : cases) {
        UTFilePath p(c.text);
        EXPECT_EQ(str(p), c.stored) << c.text;
        EXPECT_EQ(p.isAbsolute(), c.absolute) << c.text;
    }
    EXPECT_TRUE(UTFilePath("C:/Data") == UTFilePath("c:/data"));
    EXPECT_FALSE(UTFilePath("C:/Data") == UTFilePath("c:/dat"));
}

TEST(UTFilePath, TextsInANamedEncodingBecomeUtf8OrSayWhyNot)
{
    const struct Case {
        const char* text;
        const char* encoding;
        bool known, read;
        const char* utf8;
    } cases[] = {
        {"Z\xfcrich", "ISO-8859-1", true, true, "Z\xc3\xbcrich"},
        {"Z\xfcrich", "latin1", true, true, "Z\xc3\xbcrich"},
        {"\x80", "windows-1252", true, true, "\xe2\x82\xac"},
        {"Z\xfcrich", "US-ASCII", true, false, ""},
        {"Z\xfcrich", "KOI8-Q", false, false, ""},
        // Only a name: iconv would take a suffix as an order to drop what it cannot convert.
        {"Z\xfcrich", "US-ASCII//IGNORE", false, false, ""},
        {"x", "", false, false, ""},
    };
    for (const Case& c : cases) {
        RWCString utf8;
        bool known = !c.known;
        EXPECT_EQ(encodingToUtf8(c.text, c.encoding, utf8, &known), c.read) << c.encoding;
        EXPECT_EQ(known, c.known) << c.encoding;
        EXPECT_EQ(str(utf8), c.utf8) << c.encoding;
    }
}

TEST(UTFilePath, ExtensionStemAndBaseName)
{
    struct Case {
        const char* text;
        const char* extension;
        const char* stem;
        const char* base;
    } cases[] = {
        {"dir.old/file", "", "file", "file"},
        {"dir/file.tar.gz", "gz", "file.tar", "file.tar.gz"},
        {"file.", "", "file", "file."},
        {"/a/B.ZJV", "ZJV", "B", "B.ZJV"},
        {"/", "", "/", "/"},
    };
    for (const Case& c : cases) {
        UTFilePath p(c.text);
        EXPECT_EQ(str(p.extension()), c.extension) << c.text;
        EXPECT_EQ(str(p.stem()), c.stem) << c.text;
        EXPECT_EQ(str(p.baseName()), c.base) << c.text;
    }
    UTFilePath p("dir.x/model.stl");
    p.replaceExtension("zjv");
    EXPECT_EQ(str(p), "dir.x/model.zjv");
    p.replaceExtension("");
    EXPECT_EQ(str(p), "dir.x/model");
    p.replaceExtension("a");
    EXPECT_EQ(str(p), "dir.x/model.a");
}

TEST(UTFilePath, JoinParentAndRelative)
{
    struct Join {
        const char* a;
        const char* b;
        const char* joined;
    } joins[] = {
        {"a", "/b", "/b"}, {"", "b", "b"}, {"a", "", "a"}, {"/", "b", "/b"},
        {"a", "b", "a/b"}, {"C:", "x", "C:/x"}, {"a", "C:/x", "C:/x"},
    };
    for (const Join& j : joins)
        EXPECT_EQ(str(UTFilePath(j.a).join(UTFilePath(j.b))), j.joined) << j.a << " + " << j.b;

    UTFilePath grow("/base");
    grow.append("sub").append("file.txt");
    EXPECT_EQ(str(grow), "/base/sub/file.txt");

    struct Parent {
        const char* text;
        const char* parent;
    } parents[] = {{"C:/a", "C:"}, {"/a", "/"}, {"/", ""}, {"a", ""}, {"a/b", "a"}, {"/a/b/c", "/a/b"}};
    for (const Parent& p : parents)
        EXPECT_EQ(str(UTFilePath(p.text).parentPath()), p.parent) << p.text;

    UTFilePath model("C:/Data/Models/x.zjv");
    EXPECT_EQ(str(model.relativeTo(UTFilePath("c:/data"))), "Models/x.zjv");
    EXPECT_EQ(str(model.relativeTo(UTFilePath("C:/Dat"))), "C:/Data/Models/x.zjv");
    EXPECT_EQ(str(model.relativeTo(model)), "");
    EXPECT_EQ(str(model.relativeTo(UTFilePath("rel"))), "C:/Data/Models/x.zjv");
    EXPECT_EQ(str(UTFilePath("/a/b").relativeTo(UTFilePath("/"))), "a/b");
}

TEST(UTFilePath, NormalizedKeepsTheRoot)
{
    struct Case {
        const char* text;
        const char* normal;
    } cases[] = {
        {"/a/../b", "/b"},
        {"C:/a/../b", "C:/b"},
        {"a/./b//c", "a/b/c"},
        {"a/../../b", "../b"},
        {"../x", "../x"},
        {"/../x", "/x"},
        {"/a/..", "/"},
        {"a/..", ""},
        {"//srv/share/x/../y", "//srv/share/y"},
    };
    for (const Case& c : cases) {
        UTFilePath p(c.text);
        p.normalized();
        EXPECT_EQ(str(p), c.normal) << c.text;
    }
    UTFilePath abs("/a/../b");
    EXPECT_TRUE(abs.normalized().isAbsolute());
}

TEST(UTFilePath, NormalizedIsStableWithQuotedComponents)
{
    // A quoted component is one component for the pass that drops its quotes; what it held is
    // resolved as well, so a second normalising changes nothing.
    struct Case {
        const char* text;
        const char* normal;
    } cases[] = {
        {"\"a b\"/c", "a b/c"},
        {"/x/\"y/../z\"", "/x/z"},
        {"\"a/b\"/..", ""},
        {"a/\"b/./c", "a/b/c"},
        {"\\\\/../../..//c/\"quod\xff/a/b/../\xff", "//c/quod\xff/a/\xff"},
        {"x\"y/\"../z\"", "z"},
    };
    for (const Case& c : cases) {
        UTFilePath p(c.text);
        p.normalized();
        EXPECT_EQ(str(p), c.normal) << c.text;
        UTFilePath again(p);
        again.normalized();
        EXPECT_EQ(str(again), str(p)) << c.text;
    }
}

TEST(UTFilePath, DrivesAndNetworkPaths)
{
    UTFilePath unc("//srv/share/dir");
    EXPECT_TRUE(unc.isUNC());
    EXPECT_TRUE(unc.hasUNCShare());
    EXPECT_FALSE(unc.isUNCShareRoot());
    EXPECT_EQ(str(unc.uncServer()), "srv");
    EXPECT_EQ(str(unc.uncShare()), "share");
    EXPECT_EQ(str(unc.text()), "\\\\srv\\share/dir");
    EXPECT_EQ(str(unc.nativePath()), "//srv/share/dir");
    EXPECT_TRUE(UTFilePath("//srv/share").isUNCShareRoot());
    EXPECT_TRUE(UTFilePath("//srv").isUNCServerOnly());
    EXPECT_EQ(str(UTFilePath("//srv").text()), "\\\\srv");
    EXPECT_FALSE(UTFilePath("/srv").isUNC());

    UTFilePath d("C:/x");
    EXPECT_TRUE(d.hasDrive());
    EXPECT_EQ(str(d.drive()), "C");
    EXPECT_FALSE(d.isDriveRoot());
    EXPECT_TRUE(UTFilePath("C:").isDriveRoot());
    EXPECT_TRUE(d.replaceDrive("e:\\"));
    EXPECT_EQ(str(d), "e:/x");
    UTFilePath rooted("/x");
    EXPECT_TRUE(rooted.replaceDrive("D"));
    EXPECT_EQ(str(rooted), "D:/x");
    UTFilePath rel("x");
    EXPECT_FALSE(rel.replaceDrive("D"));
}

TEST(UTFilePath, ComponentIterator)
{
    UTPathComponentIterator it(RWCString("/a//b/c"));
    EXPECT_EQ(it.count(), 3u);
    EXPECT_EQ(str(it.current()), "a");
    EXPECT_FALSE(it.prev());
    EXPECT_TRUE(it.seek(2));
    EXPECT_EQ(str(it.current()), "c");
    EXPECT_FALSE(it.seek(3));
    EXPECT_FALSE(it.seek(-1));
    EXPECT_FALSE(it.next());
    EXPECT_EQ(str(it.head()), "/a//b/c");
    EXPECT_EQ(str(it.headBefore()), "/a//b");
    EXPECT_EQ(str(it.current()), "c");
    EXPECT_TRUE(it.prev());
    EXPECT_EQ(str(it.current()), "b");
    EXPECT_EQ(str(it.tailAfter()), "c");
    EXPECT_EQ(str(it.current()), "b");
    EXPECT_TRUE(it.last());
    EXPECT_EQ(str(it.current()), "c");

    UTPathComponentIterator unc(RWCString("//srv/share/x"));
    EXPECT_EQ(unc.count(), 3u);
    UTPathComponentIterator empty(RWCString(""));
    EXPECT_EQ(empty.count(), 0u);
    EXPECT_FALSE(empty.first());
    EXPECT_TRUE(empty.current().isEmpty());
}

TEST(UTFilePath, MakeAndRemoveNestedDirectories)
{
    TempDir dir;
    UTFilePath root(dir.path().c_str());
    UTFilePath deep = root.join("t/a/b");
    EXPECT_TRUE(deep.makeDirectories(true));
    EXPECT_TRUE(deep.isDirectory(true));
    EXPECT_TRUE(deep.makeDirectories(true)); // already there

    UTFilePath file = deep.join("f.txt");
    EXPECT_TRUE(file.createFile(false));
    EXPECT_TRUE(file.isFile(true));
    EXPECT_EQ(file.getFileSize(), 0u);
    EXPECT_EQ(deep.getFileSize(), ~uint64_t(0));

    // An existing file is never truncated by createFile.
    std::ofstream(file.nativePath().data()) << "12345";
    UTFilePath again = deep.join("f.txt");
    EXPECT_TRUE(again.createFile(true));
    EXPECT_EQ(again.getFileSize(), 5u);

    // A file that appears after the path was looked at keeps its contents as well.
    UTFilePath late = deep.join("late.txt");
    EXPECT_FALSE(late.exists(true));
    std::ofstream(late.nativePath().data()) << "abc";
    EXPECT_TRUE(late.createFile(false));
    EXPECT_EQ(late.getFileSize(), 3u);

    EXPECT_FALSE(deep.isEmptyDirectory());
    EXPECT_FALSE(deep.removeTree(false)); // not empty: both stay
    EXPECT_TRUE(file.exists(true));
    UTFilePath top = root.join("t");
    EXPECT_TRUE(top.removeTree(true));
    EXPECT_FALSE(top.exists(true));

    // Without parents a missing parent makes it fail.
    EXPECT_FALSE(root.join("x/y").makeDirectories(false));
    EXPECT_FALSE(UTFilePath().makeDirectories(true));
}

TEST(UTFilePath, RemoveTreeNeverFollowsALinkOutOfTheTree)
{
    TempDir dir;
    UTFilePath root(dir.path().c_str());
    UTFilePath outside = root.join("outside");
    ASSERT_TRUE(outside.makeDirectories(true));
    UTFilePath keep = outside.join("keep.txt");
    ASSERT_TRUE(keep.createFile(false));

    UTFilePath tree = root.join("tree");
    ASSERT_TRUE(tree.join("sub").makeDirectories(true));
    ASSERT_EQ(::symlink(outside.nativePath().data(), tree.join("link").nativePath().data()), 0);
    ASSERT_EQ(::symlink(keep.nativePath().data(), tree.join("sub/filelink").nativePath().data()), 0);

    EXPECT_TRUE(tree.removeTree(true));
    EXPECT_FALSE(tree.exists(true));
    EXPECT_TRUE(keep.exists(true));

    // removeFiles and removeContents leave the target of a link alone as well.
    ASSERT_TRUE(tree.join("sub").makeDirectories(true));
    tree.stat(); // the cached look still says the tree is gone
    ASSERT_EQ(::symlink(outside.nativePath().data(), tree.join("sub/link").nativePath().data()), 0);
    tree.removeFiles(true);
    EXPECT_TRUE(keep.exists(true));
    EXPECT_TRUE(tree.join("sub").isDirectory(true));
    EXPECT_TRUE(tree.join("sub").isEmptyDirectory());
    ASSERT_EQ(::symlink(outside.nativePath().data(), tree.join("sub/link2").nativePath().data()), 0);
    EXPECT_TRUE(tree.removeContents());
    EXPECT_TRUE(tree.isEmptyDirectory());
    EXPECT_TRUE(keep.exists(true));
}

TEST(UTFilePath, FileTimesRoundTrip)
{
    TempDir dir;
    UTFilePath f(dir.write("t.txt", "x").c_str());
    RWTime when(RWDate(15, 6, 2020), 12, 34, 56);
    ASSERT_TRUE(when.isValid());
    EXPECT_TRUE(f.setModificationTime(when, false));
    EXPECT_TRUE(f.setAccessTime(RWTime(when.seconds() + 60), false));
    RWTime m, a;
    EXPECT_TRUE(f.getModificationTime(m, false));
    EXPECT_TRUE(f.getAccessTime(a, false));
    EXPECT_EQ(m.seconds(), when.seconds());
    EXPECT_EQ(a.seconds(), when.seconds() + 60);
    // utc reads the stored time's Greenwich clock fields; setting with utc takes them back.
    RWTime mu;
    EXPECT_TRUE(f.getModificationTime(mu, true));
    EXPECT_TRUE(f.setModificationTime(mu, true));
    EXPECT_TRUE(f.getModificationTime(m, false));
    EXPECT_EQ(m.seconds(), when.seconds());

    RWTime created;
    if (f.getCreationTime(created, false)) {
        EXPECT_TRUE(created.isValid());
    }
    EXPECT_FALSE(UTFilePath(dir.file("missing").c_str()).getModificationTime(m, false));
}

TEST(UTFilePath, RenameNeverReplaces)
{
    TempDir dir;
    UTFilePath a(dir.write("a", "1").c_str());
    UTFilePath b(dir.write("b", "2").c_str());
    EXPECT_FALSE(a.renamePath(b));
    EXPECT_EQ(TempDir::read(dir.file("b")), "2");
    UTFilePath c(dir.file("c").c_str());
    EXPECT_TRUE(a.renamePath(c));
    EXPECT_EQ(TempDir::read(dir.file("c")), "1");
}

TEST(UTFilePath, SetWritableChangesModeBits)
{
    TempDir dir;
    UTFilePath f(dir.write("w", "x").c_str());
    struct stat st;
    EXPECT_TRUE(f.setWritable(false));
    ASSERT_EQ(::stat(dir.file("w").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    if (::geteuid() != 0) {
        EXPECT_FALSE(f.isWritable(true));
    }
    EXPECT_TRUE(f.setWritable(true));
    ASSERT_EQ(::stat(dir.file("w").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, unsigned(S_IWUSR | S_IWGRP));
    EXPECT_TRUE(f.isWritable(true));
}

static RWCString replacement;

static RWCString replaceCallback(RWCString)
{
    return replacement;
}

TEST(UTFilePath, ResolveCaseFindsTheNamesOnDisk)
{
    TempDir dir;
    UTFilePath root(dir.path().c_str());
    ASSERT_TRUE(root.join("Models/Sub").makeDirectories(true));
    ASSERT_TRUE(root.join("Models/Sub/Part.ZJV").createFile(false));

    UTFilePath wrong = root.join("models/sub/part.zjv");
    EXPECT_EQ(wrong.resolveCase(), 1);
    EXPECT_EQ(str(wrong), str(root.join("Models/Sub/Part.ZJV")));
    EXPECT_EQ(wrong.resolveCase(), 0);

    UTFilePath missing = root.join("models/none.zjv");
    EXPECT_EQ(missing.resolveCase(), 2);
    EXPECT_EQ(UTFilePath().resolveCase(), 4);

    ASSERT_TRUE(root.join("UP").createFile(false));
    replacement = root.join("UP").text();
    UTFilePath viaCallback = root.join("nothere");
    EXPECT_EQ(viaCallback.resolveCase(replaceCallback), 1);
    EXPECT_EQ(str(viaCallback), str(root.join("UP")));

    EXPECT_EQ(str(root.join("Models/Sub/part.zjv").fileNameOnDisk()), "Part.ZJV");
    EXPECT_EQ(root.join("UP/x").resolveCase(), 2);
}

TEST(UTFilePath, CurrentDirectoryRoundTrip)
{
    TempDir dir;
    UTFilePath before = UTFilePath::currentDirectory();
    EXPECT_FALSE(before.isEmpty());
    EXPECT_TRUE(before.isAbsolute());
    ASSERT_TRUE(UTFilePath::setCurrentDirectory(UTFilePath(dir.path().c_str())));
    char real[4096];
    ASSERT_NE(::realpath(dir.path().c_str(), real), nullptr);
    EXPECT_EQ(str(UTFilePath::currentDirectory()), real);
    // A relative path resolves against the working directory.
    ASSERT_TRUE(UTFilePath("Abc").createFile(false));
    UTFilePath rel("abc");
    EXPECT_EQ(rel.resolveCase(), 1);
    EXPECT_EQ(str(rel), "Abc");
    // A working folder longer than any fixed buffer is read whole.
    std::string name(200, 'd');
    for (int i = 0; i < 14; ++i) {
        ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(::chdir(name.c_str()), 0);
    }
    UTFilePath deep = UTFilePath::currentDirectory();
    EXPECT_GT(deep.utf8Path().length(), 2800u);
    EXPECT_EQ(str(deep.baseName()), name);
    EXPECT_TRUE(deep.isDirectory(true));
    UTDirectoryEntry here;
    EXPECT_EQ(str(here.getPath()), str(deep));
    EXPECT_TRUE(UTFilePath::setCurrentDirectory(before));
    EXPECT_FALSE(UTFilePath::setCurrentDirectory(UTFilePath(dir.file("none").c_str())));
}
