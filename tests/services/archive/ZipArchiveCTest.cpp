// Tests of ZipArchiveC and ZipRemoverC: modes, switching, removal with backup, the entry tree.
#include "services/archive/ZipArchiveC.h"

#include "tests/support/TempDir.h"
#include "tests/support/ZipToolArchives.h"
#include "tests/services/archive/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace ziptest;

namespace {

int writeEntry(ZipArchiveC& archive, const std::string& name, const std::string& bytes)
{
    int r = archive.openEntry(name.c_str(), ZipArchiveC::Write);
    if (r == ZipOk && !bytes.empty())
        r = archive.write(bytes.data(), unsigned(bytes.size()));
    return r == ZipOk ? archive.closeEntry() : r;
}

std::string readEntry(ZipArchiveC& archive, const std::string& name)
{
    if (archive.openEntry(name.c_str(), ZipArchiveC::Read) != ZipOk)
        return "<missing>";
    std::string out;
    char buf[1000];
    int n;
    while ((n = archive.read(buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    return archive.closeEntry() == ZipOk && n == 0 ? out : "<damaged>";
}

}  // namespace

TEST(ZipArchive, ModesSwitchWithoutLosingEntries)
{
    TempDir dir;
    const std::string path = dir.file("a.zip");
    ZipArchiveC archive;
    char buf[4];
    EXPECT_EQ(archive.openEntry("x", ZipArchiveC::Read), ZipBadParameter);
    EXPECT_EQ(archive.read(buf, 4), ZipBadParameter);
    EXPECT_EQ(archive.closeEntry(), ZipBadParameter);

    ASSERT_EQ(archive.open(path.c_str(), ZipArchiveC::Write), ZipOk);
    ASSERT_EQ(writeEntry(archive, "first.txt", "one"), ZipOk);
    ASSERT_EQ(writeEntry(archive, "Dir/second.txt", std::string(10000, 's')), ZipOk);
    EXPECT_EQ(archive.read(buf, 4), ZipBadParameter);
    // Reading closes the writer; writing again appends.
    EXPECT_EQ(readEntry(archive, "FIRST.TXT"), "one");
    EXPECT_EQ(archive.write("x", 1), ZipBadParameter);
    EXPECT_EQ(archive.openEntry("absent", ZipArchiveC::Read), ZipNotFound);
    ASSERT_EQ(writeEntry(archive, "third.txt", "three"), ZipOk);
    EXPECT_EQ(archive.mode(), ZipArchiveC::Write);
    EXPECT_EQ(archive.openEntry("any", ZipArchiveC::Remove), ZipBadParameter);
    EXPECT_EQ(archive.close(), ZipOk);
    EXPECT_EQ(archive.mode(), ZipArchiveC::Closed);

    EXPECT_EQ(readArchive(path), (Listing{{"first.txt", "one"}, {"Dir/second.txt", std::string(10000, 's')},
                                          {"third.txt", "three"}}));
    if (haveTool("unzip")) {
        EXPECT_EQ(run("unzip -tq '" + path + "'"), 0);
    }
    // Opening again finishes what was open: the entry written so far is kept.
    ASSERT_EQ(archive.open(path.c_str(), ZipArchiveC::Write), ZipOk);
    ASSERT_EQ(writeEntry(archive, "fourth.txt", "four"), ZipOk);
    ASSERT_EQ(archive.open(path.c_str(), ZipArchiveC::Read), ZipOk);
    EXPECT_EQ(readEntry(archive, "fourth.txt"), "four");
    EXPECT_EQ(archive.open(dir.file("missing.zip").c_str(), ZipArchiveC::Read), ZipFailed);
}

TEST(ZipArchive, RemovingRewritesTheArchiveAndKeepsABackup)
{
    TempDir dir;
    const std::string path = dir.file("r.zip");
    const std::vector<Entry> entries = {{"keep.txt", "kept", 6}, {"gone.txt", "removed", 6},
                                        {"sub/also.txt", std::string(5000, 'a'), 9}};
    ASSERT_EQ(writeArchive(path, entries), ZipOk);
    const std::string before = TempDir::read(path);
    dir.write("r.zip.bak", "an older backup");

    ZipArchiveC archive;
    ASSERT_EQ(archive.open(path.c_str(), ZipArchiveC::Read), ZipOk);
    archive.addPath("gone.txt", false);
    EXPECT_EQ(archive.removeEntry("gone.txt"), ZipOk);
    EXPECT_EQ(archive.mode(), ZipArchiveC::Remove);
    EXPECT_EQ(archive.findNode("gone.txt", false), nullptr);
    EXPECT_EQ(archive.close(), ZipOk);

    EXPECT_EQ(readArchive(path), (Listing{{"keep.txt", "kept"}, {"sub/also.txt", std::string(5000, 'a')}}));
    EXPECT_EQ(TempDir::read(path + ".bak"), before);
    // The kept entries are stored unpacked.
    ZipReaderC reader;
    ASSERT_EQ(reader.open(path.c_str()), ZipOk);
    ASSERT_EQ(reader.goToFirstFile(), ZipOk);
    ZipFileInfoC info;
    ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
    EXPECT_EQ(info.info.compression_method, 0u);
    reader.close();

    // A name that is not there rewrites the archive with all its entries; a set backup name is used.
    ASSERT_EQ(archive.open(path.c_str(), ZipArchiveC::Remove), ZipOk);
    archive.remover().setTempName(dir.file("other.bak").c_str());
    EXPECT_EQ(archive.removeEntry("not-there"), ZipOk);
    EXPECT_EQ(archive.close(), ZipOk);
    EXPECT_EQ(readArchive(path).size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(dir.file("other.bak")));
}

TEST(ZipArchive, RemovingRewritesZip64ArchivesOfOtherWriters)
{
    TempDir dir;
    for (const ToolArchive& a : makeToolArchives(dir, {{"a.txt", "first"}, {"b.bin", noise(30000, 4)}}, 3000)) {
        const std::string path = dir.write("r.zip", a.bytes);
        ZipRemoverC remover;
        remover.setArchive(path.c_str());
        remover.addRemoval(a.items.front().first.c_str());
        EXPECT_EQ(remover.apply(), ZipOk) << a.what;
        EXPECT_TRUE(readArchive(path) == Listing(a.items.begin() + 1, a.items.end())) << a.what;
    }
}

TEST(ZipArchive, AFailedRewriteLeavesTheArchiveAsItWas)
{
    TempDir dir;
    const std::string path = dir.file("d.zip");
    ASSERT_EQ(writeArchive(path, {{"a.txt", "first entry", 0}, {"b.txt", "second entry", 0}}), ZipOk);
    // The second entry's stored data no longer matches its checksum.
    std::string bytes = TempDir::read(path);
    const size_t data = bytes.find("second entry");
    ASSERT_NE(data, std::string::npos);
    bytes[data] = 'S';
    dir.write("d.zip", bytes);

    ZipRemoverC remover;
    remover.setArchive(path.c_str());
    remover.addRemoval("a.txt");
    EXPECT_EQ(remover.apply(), ZipCrcError);
    EXPECT_EQ(TempDir::read(path), bytes);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    // A backup named as the archive itself is refused before anything is deleted.
    remover.setTempName(path.c_str());
    EXPECT_EQ(remover.apply(), ZipBadParameter);
    EXPECT_EQ(TempDir::read(path), bytes);
    // So is one that names it by another path.
    const std::string spelled = dir.file(".") + "/d.zip";
    remover.setTempName(spelled.c_str());
    EXPECT_EQ(remover.apply(), ZipBadParameter);
    EXPECT_EQ(TempDir::read(path), bytes);

    // A missing archive cannot be renamed away: nothing happens, and a backup of that name
    // (perhaps the only copy left) stays.
    ZipRemoverC missing;
    missing.setArchive(dir.file("missing.zip").c_str());
    EXPECT_EQ(missing.apply(), ZipFailed);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.zip.bak")));
    dir.write("missing.zip.bak", "the only copy");
    EXPECT_EQ(missing.apply(), ZipFailed);
    EXPECT_EQ(TempDir::read(dir.file("missing.zip.bak")), "the only copy");
}

TEST(ZipArchive, EntryTreeFindsAndRemovesDirectories)
{
    TempDir dir;
    ZipArchiveC archive;
    for (const char* p : {"c:\\top\\a.txt", "/top/sub/b.txt", "top/sub/C.txt", "top//sub/deeper/", "other.txt",
                          "#ignored", ""})
        archive.addPath(p, false);
    const struct {
        const char* path;
        bool caseSensitive;
        const char* fullPath;  // null: not found
        int isDirectory;
    } finds[] = {
        {"top/sub/c.txt", false, "top/sub/C.txt", 0},
        {"top/sub/c.txt", true, nullptr, 0},
        {"\\TOP\\SUB\\", false, "top/sub", 1},
        {"top/sub/deeper", false, "top/sub/deeper", 1},
        {"top/missing/b.txt", false, nullptr, 0},
        {"", false, "", 1},
        {"#anything", false, "", 1},
    };
    for (const auto& f : finds) {
        ZipTreeNodeC* node = archive.findNode(f.path, f.caseSensitive);
        if (!f.fullPath) {
            EXPECT_EQ(node, nullptr) << f.path;
            continue;
        }
        ASSERT_NE(node, nullptr) << f.path;
        EXPECT_EQ(std::string(ZipArchiveC::fullPath(node).data()), f.fullPath) << f.path;
        EXPECT_EQ(node->isDirectory, f.isDirectory) << f.path;
    }
    // Opened for removal on an archive name, the directory's files are listed for removal.
    ASSERT_EQ(archive.open(dir.file("t.zip").c_str(), ZipArchiveC::Remove), ZipOk);
    EXPECT_EQ(archive.removeDirectory("top/sub/b.txt"), ZipNotFound);
    EXPECT_EQ(archive.removeDirectory("nowhere"), ZipNotFound);
    EXPECT_EQ(archive.removeDirectory("TOP"), ZipOk);
    const auto& removals = archive.remover().removals();
    ASSERT_EQ(removals.entries(), 3u);
    EXPECT_EQ(std::string(removals[0].data()), "top/a.txt");
    EXPECT_EQ(std::string(removals[1].data()), "top/sub/b.txt");
    EXPECT_EQ(std::string(removals[2].data()), "top/sub/C.txt");
    EXPECT_EQ(archive.findNode("top", false), nullptr);
    EXPECT_NE(archive.findNode("other.txt", false), nullptr);
    // Removing the root leaves an empty root.
    archive.removeNode(archive.root());
    EXPECT_EQ(archive.root()->firstChild, nullptr);
    EXPECT_EQ(std::string(archive.root()->name.data()), "/");
    // A very deep path is freed without recursion.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "d/";
    archive.addPath((deep + "leaf").c_str(), true);
}
