// Tests of ZipReaderC: archives of the zip tool, damaged archives, extraction to streams and files.
#include "services/archive/ZipReaderC.h"

#include "services/archive/ZipFileInfoC.h"
#include "services/archive/ZipWriterC.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipToolArchives.h"
#include "tests/services/archive/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace ziptest;

namespace {


// Offsets of the named entry's local header and central directory record.
std::pair<size_t, size_t> entryRecords(const std::string& bytes, const std::string& name)
{
    for (size_t at = directoryStart(bytes); at != std::string::npos; at = bytes.find(std::string("PK\1\2", 4), at + 4)) {
        const size_t len = uint8_t(bytes[at + 28]) | (uint8_t(bytes[at + 29]) << 8);
        if (bytes.compare(at + 46, len, name) == 0)
            return {getLe32(bytes, at + 42), at};
    }
    return {std::string::npos, std::string::npos};
}

// The result of reading every entry: the first failing code, or 1.
int readAll(const std::string& path)
{
    int failure = ZipOk;
    readArchive(path, &failure);
    return failure;
}

}  // namespace

TEST(ZipReader, ReadsArchivesOfTheZipTool)
{
    if (!haveTool("zip"))
        GTEST_SKIP() << "no zip tool";
    TempDir dir;
    const std::string src = dir.file("src");
    std::filesystem::create_directories(src + "/sub/deeper");
    const Listing files = {{"a.txt", "hello from the zip tool\n"},
                           {"sub/b.bin", noise(200000, 5)},
                           {"sub/deeper/empty", ""}};
    for (const auto& [name, bytes] : files)
        dir.write("src/" + name, bytes);
    for (const char* options : {"-q", "-q -0", "-q -9", "-q -fz"}) {
        const std::string archive = dir.file("tool.zip");
        std::filesystem::remove(archive);
        if (run("cd '" + src + "' && zip -r -D " + options + " ../tool.zip .") != 0) {
            ADD_FAILURE() << "zip " << options;
            continue;
        }
        int failure = 0;
        Listing got = readArchive(archive, &failure);
        EXPECT_EQ(failure, ZipOk) << options;
        std::sort(got.begin(), got.end());
        EXPECT_TRUE(got == files) << options;

        ZipReaderC reader;
        ASSERT_EQ(reader.open(archive.c_str()), ZipOk);
        ASSERT_EQ(reader.locateAndOpen("SUB/B.BIN"), ZipOk) << options;
        const std::string out = dir.file("b.out");
        EXPECT_EQ(reader.extractCurrentFileTo(out.c_str(), 0), ZipOk);
        EXPECT_EQ(reader.closeCurrentFile(), ZipOk);
        EXPECT_EQ(TempDir::read(out), files[1].second) << options;
        ZipFileInfoC info;
        ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
        EXPECT_EQ(TempDir::read(archive).compare(info.localHeaderOffset(), 4, "PK\3\4"), 0) << options;
    }
}

TEST(ZipReader, ReadsZip64ArchivesOfOtherWritersWithTheirTrueSizesAndOffsets)
{
    TempDir dir;
    const Listing files = {{"a.txt", "hello from another writer\n"}, {"sub/b.bin", noise(70000, 3)}, {"empty", ""}};
    for (const ToolArchive& a : makeToolArchives(dir, files, 20000)) {
        SCOPED_TRACE(a.what);
        const std::string path = dir.write("tool.zip", a.bytes);
        EXPECT_TRUE(readArchive(path) == a.items);
        // Offsets count from the archive proper, which begins with the first local header.
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        ZipFileInfoC info;
        for (const auto& [name, bytes] : a.items) {
            ASSERT_EQ(reader.locateFile(name.c_str()), ZipOk);
            ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
            EXPECT_EQ(info.info.uncompressed_size, bytes.size());
            EXPECT_EQ(a.bytes.compare(a.bytes.find("PK\3\4") + info.localHeaderOffset(), 4, "PK\3\4"), 0);
        }
    }
}

TEST(ZipReader, DamagedArchivesGiveTheirCodesAndStayUntouched)
{
    TempDir dir;
    const std::string text = noise(50000, 9);
    const std::string path = dir.file("good.zip");
    ASSERT_EQ(writeArchive(path, {{"packed", text, 6}, {"stored", "stored bytes here", 0}}), ZipOk);
    const std::string good = TempDir::read(path);
    ASSERT_EQ(readAll(path), ZipOk);

    const auto [packedLocal, packedCentral] = entryRecords(good, "packed");
    const auto [storedLocal, storedCentral] = entryRecords(good, "stored");
    ASSERT_NE(packedCentral, std::string::npos);
    ASSERT_NE(storedCentral, std::string::npos);
    auto flip = [&](size_t at) {
        std::string b = good;
        b[at] ^= 0x20;
        return b;
    };
    // Declared uncompressed size, in the local header and the directory record alike.
    auto sized = [&](size_t local, size_t central, int64_t delta) {
        std::string b = good;
        putLe32(b, local + 22, uint32_t(int64_t(getLe32(b, local + 22)) + delta));
        putLe32(b, central + 24, uint32_t(int64_t(getLe32(b, central + 24)) + delta));
        return b;
    };
    std::string outside = good;
    putLe32(outside, endRecord(outside) + 16, uint32_t(good.size()));
    const struct {
        const char* name;
        std::string bytes;
        int open;   // result of open
        int read;   // first failure reading every entry
    } cases[] = {
        {"stored byte flipped", flip(storedLocal + 30 + 6 + 3), ZipOk, ZipCrcError},
        {"stored size larger", sized(storedLocal, storedCentral, 5), ZipOk, ZipCrcError},
        {"stored size smaller", sized(storedLocal, storedCentral, -5), ZipOk, ZipCrcError},
        {"packed size larger", sized(packedLocal, packedCentral, 1000), ZipOk, ZipCrcError},
        {"packed size smaller", sized(packedLocal, packedCentral, -1000), ZipOk, ZipCrcError},
        {"local header signature", flip(storedLocal + 1), ZipOk, ZipNotAnArchive},
        {"tail cut", good.substr(0, good.size() - 10), ZipFailed, 0},
        {"directory outside", outside, ZipFailed, 0},
        {"no archive", "plain text", ZipFailed, 0},
        {"empty", "", ZipFailed, 0},
    };
    // Other kinds of file fail at once: a pipe without a writer does not hang the reader.
    const std::string fifo = dir.file("fifo.zip");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& special : {fifo, dir.path()}) {
        ZipReaderC reader;
        EXPECT_EQ(reader.open(special.c_str()), ZipFailed) << special;
    }
    for (const auto& c : cases) {
        const std::string file = dir.write("damaged.zip", c.bytes);
        ZipReaderC reader;
        EXPECT_EQ(reader.open(file.c_str()), c.open) << c.name;
        if (c.open == ZipOk) {
            EXPECT_EQ(readAll(file), c.read) << c.name;
        }
        EXPECT_EQ(TempDir::read(file), c.bytes) << c.name;
    }
    // A damaged entry extracted to a file leaves no file behind.
    const std::string file = dir.write("damaged.zip", flip(storedLocal + 30 + 6 + 3));
    ZipReaderC reader;
    ASSERT_EQ(reader.open(file.c_str()), ZipOk);
    ASSERT_EQ(reader.locateAndOpen("stored"), ZipOk);
    EXPECT_EQ(reader.extractCurrentFileTo(dir.file("out").c_str(), 0), ZipCrcError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
    EXPECT_EQ(reader.closeCurrentFile(), ZipCrcError);
}

TEST(ZipReader, ExtractionChecksItsOutputAndKeepsTheBufferSize)
{
    TempDir dir;
    const std::string path = dir.file("a.zip");
    const std::string big = noise(300000, 2);
    ASSERT_EQ(writeArchive(path, {{"big", big, 6}}), ZipOk);
    ZipReaderC reader;
    ASSERT_EQ(reader.open(path.c_str()), ZipOk);
    ASSERT_EQ(reader.goToFirstFile(), ZipOk);
    ASSERT_EQ(reader.openCurrentFile(), ZipOk);
    std::ostringstream bad;
    bad.setstate(std::ios::badbit);
    EXPECT_EQ(reader.extractCurrentFile(&bad), ZipFailed);
    EXPECT_EQ(reader.extractCurrentFile(nullptr), ZipFailed);
    std::ofstream full("/dev/full", std::ios::binary);
    const bool haveFull = bool(full);
    if (haveFull) {
        EXPECT_EQ(reader.extractCurrentFile(&full, 4096, true), ZipFailed);
        EXPECT_EQ(reader.bufferSize(), 4096u);
    }
    // Reopening the entry starts it again; a size of 0 keeps the last one.
    ASSERT_EQ(reader.openCurrentFile(), ZipOk);
    std::ostringstream out;
    EXPECT_EQ(reader.extractCurrentFile(&out, 0, true), ZipOk);
    EXPECT_EQ(reader.bufferSize(), haveFull ? 4096u : ZipReaderC::kDefaultBufferSize);
    EXPECT_EQ(out.str(), big);
    EXPECT_EQ(reader.closeCurrentFile(), ZipOk);
    EXPECT_EQ(reader.close(), ZipOk);
    EXPECT_EQ(reader.close(), ZipBadParameter);
    EXPECT_EQ(reader.goToFirstFile(), ZipFailed);
    EXPECT_EQ(reader.openCurrentFile(), ZipBadParameter);
    EXPECT_EQ(reader.readCurrentFile(nullptr, 0), -1);
}

TEST(ZipReader, ExtractingByEntryNameRefusesPathsOutsideTheFolder)
{
    TempDir dir;
    const std::string path = dir.file("names.zip");
    const std::vector<std::string> refused = {"/etc/absolute", "../up", "sub/../../up2", "..", "sub/", "c:\\x",
                                              "sub\\..\\..\\up3", ""};
    std::vector<Entry> entries = {{"plain.txt", "fine", 6}};
    for (const std::string& name : refused)
        entries.push_back({name, "evil", 6});
    ASSERT_EQ(writeArchive(path, entries), ZipOk);
    std::filesystem::create_directories(dir.file("work/sub"));
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.file("work"));
    ZipReaderC reader;
    ASSERT_EQ(reader.open(path.c_str()), ZipOk);
    int r = reader.goToFirstFile();
    for (size_t i = 0; r == ZipOk; ++i, r = reader.goToNextFile()) {
        ASSERT_EQ(reader.openCurrentFile(), ZipOk);
        EXPECT_EQ(reader.extractCurrentFileTo(nullptr, 0), i == 0 ? ZipOk : ZipBadParameter) << entries[i].name;
        reader.closeCurrentFile();
    }
    std::filesystem::current_path(saved);
    EXPECT_EQ(TempDir::read(dir.file("work/plain.txt")), "fine");
    size_t count = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        count += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(count, 2u);  // the archive and plain.txt
}
