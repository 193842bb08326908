// Tests of ZipReaderC: archives of the zip tool, damaged archives, extraction to streams and files.
#include "services/archive/ZipReaderC.h"

#include "services/archive/ZipFileInfoC.h"
#include "services/archive/ZipWriterC.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipToolArchives.h"
#include "tests/services/archive/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

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

uint16_t getLe16(const std::string& bytes, size_t at) { return uint16_t(uint8_t(bytes[at]) | (uint8_t(bytes[at + 1]) << 8)); }

// Offset of the named entry's stored bytes, behind its local header.
size_t entryData(const std::string& bytes, const std::string& name)
{
    const size_t local = entryRecords(bytes, name).first;
    return local + 30 + getLe16(bytes, local + 26) + getLe16(bytes, local + 28);
}

// The result of reading every entry: the first failing code, or 1.
int readAll(const std::string& path)
{
    int failure = ZipOk;
    readArchive(path, &failure);
    return failure;
}

std::string le16(unsigned v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
std::string le64(uint64_t v) { return le32(uint32_t(v)) + le32(uint32_t(v >> 32)); }

// The CRC-32 of n zero bytes, from that of fewer by doubling.
uint32_t zerosCrc(uint64_t n)
{
    uLong crc = crc32(0, nullptr, 0), run = crc32(0, reinterpret_cast<const Bytef*>(""), 1);  // one zero
    for (uint64_t length = 1; n; n >>= 1, run = crc32_combine(run, run, z_off_t(length)), length *= 2)
        if (n & 1)
            crc = crc32_combine(crc, run, z_off_t(length));
    return uint32_t(crc);
}

// Counts what is written to it and keeps its first and last bytes, holding nothing else.
class CountingBuf : public std::streambuf {
public:
    uint64_t count = 0;
    std::string head, tail;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        const size_t take = size_t(n);
        if (head.size() < kKept)
            head.append(s, std::min(take, kKept - head.size()));
        tail = take >= kKept ? std::string(s + take - kKept, kKept) : (tail + std::string(s, take)).substr(0);
        if (tail.size() > kKept)
            tail.erase(0, tail.size() - kKept);
        count += take;
        return n;
    }
    int_type overflow(int_type c) override
    {
        const char b = char(c);
        xsputn(&b, 1);
        return c;
    }

private:
    static constexpr size_t kKept = 16;
};

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

TEST(ZipReader, ReadsEncryptedEntriesWithTheirPassword)
{
    if (!haveTool("zip"))
        GTEST_SKIP() << "no zip tool";
    TempDir dir;
    const std::vector<ZipItem> items = {{"stored.bin", noise(3000, 3), 0},
                                        {"packed.txt", std::string(20000, 'a') + noise(20000, 4)},
                                        {"empty", ""},
                                        {"sub/big.dat", noise(5u << 20, 6)}};
    const std::vector<ZipItem> two(items.begin(), items.begin() + 2);
    // The zip tool checks the header against the time (every entry it enciphers has a data
    // descriptor); a writer that knows the CRC first, against the CRC.
    ZipItem crcChecked{"crc.txt", noise(5000, 8)};
    crcChecked.password = "pw";
    const struct {
        const char* name;
        std::string bytes;
        std::vector<ZipItem> items;
        uint16_t flags;  // the general purpose flag of every entry
    } archives[] = {
        {"zip -P", zipToolArchive(items, "pw"), items, 9},
        {"zip -P to a pipe", zipToolArchive(two, "pw", true), two, 9},
        {"zip -fz -P (ZIP64 blocks)", zipToolArchive(two, "pw", false, "-fz"), two, 9},
        {"CRC-checked", buildZip({crcChecked}), {crcChecked}, 1},
        {"CRC-checked, sizes in ZIP64 blocks", withZip64Sizes(buildZip({crcChecked})), {crcChecked}, 1},
    };
    for (const auto& a : archives) {
        SCOPED_TRACE(a.name);
        ASSERT_FALSE(a.bytes.empty());
        const std::string path = dir.write("encrypted.zip", a.bytes);
        Listing want;
        for (const ZipItem& item : a.items) {
            const size_t local = entryRecords(a.bytes, item.name).first;
            ASSERT_NE(local, std::string::npos) << item.name;
            EXPECT_EQ(getLe16(a.bytes, local + 6) & 9, a.flags) << item.name;
            want.emplace_back(item.name, item.bytes);
        }
        if (haveTool("unzip")) {
            EXPECT_EQ(run("unzip -P pw -tq '" + path + "'"), 0);  // Info-ZIP reads it too
        }
        int failure = 0;
        EXPECT_TRUE(readArchive(path, &failure, "pw") == want);
        EXPECT_EQ(failure, ZipOk);

        // No password, or a wrong one, is refused at the open. The header's check byte lets a
        // wrong password through one time in 256; its data then fails, never passing as bytes.
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        int slipped = 0;
        for (int r = reader.goToFirstFile(); r == ZipOk; r = reader.goToNextFile()) {
            EXPECT_EQ(reader.openCurrentFile(), ZipFailed);
            EXPECT_EQ(reader.openCurrentFile(""), ZipFailed);
            for (const char* wrong : {"PW", "pw ", "p", "wp", "secret", "pw1", "x", "pwpw"}) {
                if (reader.openCurrentFile(wrong) == ZipFailed)
                    continue;
                ++slipped;
                std::ostringstream out;
                const int extracted = reader.extractCurrentFile(&out);
                const int result = extracted == ZipOk ? reader.closeCurrentFile() : extracted;
                // An empty entry has no data to fail: it comes out empty, as it is.
                EXPECT_TRUE(result != ZipOk || out.str().empty()) << wrong;
            }
        }
        EXPECT_LE(slipped, 3);
    }

    // A wrong password that the check byte lets through (one of about 256; the CRC-checked
    // archive's header is fixed) deciphers to bytes that fail as damage.
    {
        const std::string path = dir.write("encrypted.zip", archives[3].bytes);
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        ASSERT_EQ(reader.goToFirstFile(), ZipOk);
        std::string wrong;
        for (int i = 0; i < 4096 && wrong.empty(); ++i)
            if (reader.openCurrentFile(("w" + std::to_string(i)).c_str()) == ZipOk)
                wrong = "w" + std::to_string(i);
        ASSERT_FALSE(wrong.empty());
        std::ostringstream out;
        const int extracted = reader.extractCurrentFile(&out);
        EXPECT_TRUE(extracted == ZipFailed || extracted == ZipCrcError) << extracted;
        EXPECT_NE(out.str(), crcChecked.bytes);
    }

    // Piece by piece, in odd sizes, a deflated entry comes out the same.
    const std::string path = dir.write("encrypted.zip", archives[0].bytes);
    ZipReaderC reader;
    ASSERT_EQ(reader.open(path.c_str()), ZipOk);
    ASSERT_EQ(reader.locateAndOpen("PACKED.TXT", "pw"), ZipOk);
    std::string got;
    char piece[777];
    for (int n; (n = reader.readCurrentFile(piece, sizeof piece)) > 0;)
        got.append(piece, size_t(n));
    EXPECT_EQ(got, items[1].bytes);
    EXPECT_EQ(reader.closeCurrentFile(), ZipOk);

    // A password given for plain entries is ignored.
    const std::string plain = dir.file("plain.zip");
    ASSERT_EQ(writeArchive(plain, {{"a", "plain bytes", 6}, {"b", "stored bytes", 0}}), ZipOk);
    EXPECT_TRUE(readArchive(plain, nullptr, "pw") == Listing({{"a", "plain bytes"}, {"b", "stored bytes"}}));
}

TEST(ZipReader, DamagedEncryptedEntriesFailAsDamageNotAsAPassword)
{
    if (!haveTool("zip"))
        GTEST_SKIP() << "no zip tool";
    TempDir dir;
    const std::string good = zipToolArchive({{"stored.bin", noise(3000, 3), 0}, {"packed.txt", noise(40000, 4)}}, "pw");
    ASSERT_FALSE(good.empty());
    auto flipped = [&](const char* name, size_t at) {
        std::string b = good;
        b[entryData(good, name) + at] ^= 0x10;
        return b;
    };
    const struct {
        const char* name;
        std::string bytes;
        const char* entry;
        int open;     // with the right password
        int extract;  // the whole entry to a stream; 0: any failure
        int close;    // when extract is exact
    } cases[] = {
        {"stored data byte", flipped("stored.bin", 12 + 1500), "stored.bin", ZipOk, ZipCrcError, ZipCrcError},
        {"stored last byte", flipped("stored.bin", 12 + 2999), "stored.bin", ZipOk, ZipCrcError, ZipCrcError},
        // The cipher carries the damage into every later byte: inflate fails, or the size or
        // CRC does.
        {"deflated data byte", flipped("packed.txt", 12 + 100), "packed.txt", ZipOk, 0, 0},
        // AES names method 99: a cipher we cannot read is refused like a wrong password.
        {"AES method", withMethod(good, "packed.txt", 99), "packed.txt", ZipFailed, 0, 0},
        // A method we cannot read is no damage either.
        {"unknown method", withMethod(good, "packed.txt", 12), "packed.txt", ZipFailed, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("damaged.zip", c.bytes);
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        ASSERT_EQ(reader.locateFile(c.entry), ZipOk);
        ASSERT_EQ(reader.openCurrentFile("pw"), c.open);
        if (c.open != ZipOk)
            continue;
        std::ostringstream out;
        const int extracted = reader.extractCurrentFile(&out);
        const int closed = reader.closeCurrentFile();
        if (c.extract == 0) {
            EXPECT_TRUE(extracted == ZipFailed || extracted == ZipCrcError) << extracted;
            continue;
        }
        EXPECT_EQ(extracted, c.extract);
        EXPECT_EQ(closed, c.close);
    }
    // Read to exactly its size, without the read that finds its end, it still fails at its close.
    ZipReaderC exact;
    ASSERT_EQ(exact.open(dir.write("exact.zip", cases[0].bytes).c_str()), ZipOk);
    ASSERT_EQ(exact.locateAndOpen("stored.bin", "pw"), ZipOk);
    std::string bytes(3000, '\0');
    EXPECT_EQ(exact.readCurrentFile(bytes.data(), 3000), 3000);
    EXPECT_EQ(exact.closeCurrentFile(), ZipCrcError);

    // An entry left half read and then a failed open of an encrypted one: nothing of the first
    // entry, deciphered or not, may come out of the reads that follow.
    const std::string path = dir.write("mixed.zip", zipToolArchive({{"a.bin", noise(3000, 3), 0}, {"b.txt", noise(40000, 4)}}, "pw"));
    for (const char* none : {static_cast<const char*>(nullptr), ""}) {
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        ASSERT_EQ(reader.locateAndOpen("a.bin", "pw"), ZipOk);
        char piece[100];
        ASSERT_EQ(reader.readCurrentFile(piece, sizeof piece), int(sizeof piece));
        ASSERT_EQ(reader.locateFile("b.txt"), ZipOk);
        EXPECT_EQ(reader.openCurrentFile(none), ZipFailed);
        EXPECT_EQ(reader.readCurrentFile(piece, sizeof piece), -1);
        reader.closeCurrentFile();
    }
}

TEST(ZipReader, ReadsZip64ArchivesOfOtherWritersWithTheirTrueSizesAndOffsets)
{
    TempDir dir;
    // Python stores every second item; a stored empty one past the first has a ZIP64 block
    // holding its offset alone.
    const Listing files = {{"a.txt", "hello from another writer\n"}, {"sub/b.bin", noise(70000, 3)}, {"empty", ""},
                           {"stored-empty", ""}};
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

// What the writer makes of no entry and the remover of removing the last one: the end record
// alone, an archive that lists nothing (as every other reader has it), not a damaged one.
TEST(ZipReader, AnArchiveOfNoEntryOpensAndListsNothing)
{
    TempDir dir;
    const std::string written = dir.file("written.zip"), emptied = dir.file("emptied.zip");
    ASSERT_EQ(writeArchive(written, {}), ZipOk);
    ASSERT_EQ(writeArchive(emptied, {{"last", "the only entry", 6}}), ZipOk);
    ASSERT_EQ(removeEntry(emptied, "last"), ZipOk);
    for (const std::string& path : {written, emptied}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(TempDir::read(path).size(), 22u);
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        EXPECT_TRUE(reader.isOpen());
        EXPECT_EQ(reader.goToFirstFile(), ZipFailed);
        EXPECT_EQ(reader.goToNextFile(), ZipEndOfList);
        EXPECT_EQ(reader.locateFile("last"), ZipNotFound);
        ZipFileInfoC info;
        EXPECT_NE(reader.getCurrentFileInfo(info), ZipOk);
        EXPECT_NE(reader.openCurrentFile(), ZipOk);
        EXPECT_EQ(reader.close(), ZipOk);
        EXPECT_FALSE(reader.isOpen());
        // Removing from it again rewrites it as it is.
        EXPECT_EQ(removeEntry(path, "none"), ZipOk);
        EXPECT_EQ(TempDir::read(path).size(), 22u);
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
    // Sizes and offsets in ZIP64 blocks; the first entry's local header put at the directory's
    // own offset, which no entry can have (the block ends its record's extra field).
    const std::string zip64 = withZip64Sizes(good, true);
    std::string offsetAtDirectory = zip64;
    const size_t first = directoryStart(zip64);
    const size_t offsetValue = first + 46 + getLe16(zip64, first + 28) + getLe16(zip64, first + 30) - 8;
    putLe32(offsetAtDirectory, offsetValue, uint32_t(first));
    // All ones in the block (and the local header) is a size: 4 GiB - 1 bytes cannot lie here.
    std::string compressedAllOnes = zip64;
    putLe32(compressedAllOnes, offsetValue - 8, 0xFFFFFFFFu);
    putLe32(compressedAllOnes, packedLocal + 18, 0xFFFFFFFFu);
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
        {"sound, ZIP64 sizes and offsets", zip64, ZipOk, ZipOk},
        {"ZIP64 local header offset at the directory", offsetAtDirectory, ZipOk, ZipNotAnArchive},
        {"ZIP64 compressed size of 4 GiB - 1", compressedAllOnes, ZipOk, ZipNotAnArchive},
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

// An entry of a method the reader has not (bzip2, LZMA, ...) is refused, never read as another,
// even when its bytes happen to be plain; the entries beside it read, and a rewrite that would
// copy it fails and leaves the archive as it was.
TEST(ZipReader, EntriesOfMethodsItCannotReadAreRefusedNotReadAsAnother)
{
    TempDir dir;
    const std::string next = noise(5000, 1);
    ASSERT_EQ(writeArchive(dir.file("a.zip"), {{"plain.txt", "bytes that look stored", 0}, {"next.txt", next, 6}}), ZipOk);
    const std::string good = TempDir::read(dir.file("a.zip"));
    for (const uint16_t method : {1, 9, 12, 14, 93}) {
        SCOPED_TRACE(method);
        const std::string bytes = withMethod(good, "plain.txt", method);
        const std::string path = dir.write("method.zip", bytes);
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        ASSERT_EQ(reader.locateFile("plain.txt"), ZipOk);
        ZipFileInfoC info;
        ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
        EXPECT_EQ(info.info.compression_method, method);
        EXPECT_EQ(reader.openCurrentFile(), ZipFailed);
        char piece[64];
        EXPECT_EQ(reader.readCurrentFile(piece, sizeof piece), -1);
        reader.closeCurrentFile();
        std::ostringstream out;
        ASSERT_EQ(reader.locateAndOpen("next.txt"), ZipOk);
        EXPECT_EQ(reader.extractCurrentFile(&out), ZipOk);
        EXPECT_EQ(out.str(), next);
        EXPECT_EQ(reader.close(), ZipOk);
        EXPECT_EQ(removeEntry(path, "next.txt"), ZipFailed);
        EXPECT_EQ(TempDir::read(path), bytes);
    }
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

// Entries beyond minizip's 32-bit fields, laid out as zip makes them: a deflated entry of 4.5 GB
// (its sizes in its ZIP64 block), a stored one of 4.3 GB, and a small one behind them whose local
// header lies past 4 GiB. The stored entry is a hole in the file, so that the archive takes no
// room where files can be sparse. It has its own CTest time bound and the label "long"
// (ctest -LE long leaves it out).
TEST(ZipReader, EntriesOfFourGibibytesAndPastThemComeOutWhole)
{
    constexpr uint64_t kChunk = 1000000, kBig = 4500 * kChunk, kHole = 4300 * kChunk;
    TempDir dir;
    // Whether the folder keeps files sparse: a file of 1 GiB set by its length alone.
    const std::string probe = dir.file("probe");
    const int probeFd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    struct stat st {};
    const bool sparse = probeFd >= 0 && ::ftruncate(probeFd, off_t(1) << 30) == 0 && ::fstat(probeFd, &st) == 0 &&
                        uint64_t(st.st_blocks) * 512 < (uint64_t(1) << 20);
    if (probeFd >= 0)
        ::close(probeFd);
    ::unlink(probe.c_str());
    struct statvfs fs {};
    const uint64_t room = ::statvfs(dir.path().c_str(), &fs) == 0 ? uint64_t(fs.f_bavail) * fs.f_frsize : 0;
    const uint64_t need = (sparse ? 0 : kHole) + (uint64_t(64) << 20);
    if (room < need)
        GTEST_SKIP() << "the temporary folder has " << room << " bytes free; the archive needs " << need;

    // The big entry's deflate stream: chunks packed each on its own (a full flush ends each one
    // on a byte and lets the next refer to nothing before it), so that the middle one repeats.
    const std::string head = "first bytes of a", tail = "the last of them";
    const auto pack = [](const std::string& bytes, int flush) {
        z_stream z{};
        std::string out(compressBound(uLong(bytes.size())) + 64, '\0');
        deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        z.avail_in = uInt(bytes.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, flush);
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    };
    std::string zeros(kChunk, '\0');
    const std::string first = pack(head + zeros.substr(head.size()), Z_FULL_FLUSH);
    const std::string middle = pack(zeros, Z_FULL_FLUSH);
    const std::string last = pack(zeros.substr(tail.size()) + tail, Z_FINISH);
    const uint64_t bigPacked = first.size() + (kBig / kChunk - 2) * middle.size() + last.size();
    const auto crcOf = [](const std::string& b) { return crc32(0, reinterpret_cast<const Bytef*>(b.data()), uInt(b.size())); };
    const uint32_t bigCrc = uint32_t(crc32_combine(crc32_combine(crcOf(head), zerosCrc(kBig - head.size() - tail.size()),
                                                                 z_off_t(kBig - head.size() - tail.size())),
                                                   crcOf(tail), z_off_t(tail.size())));
    const std::string small = std::string(3000, 'x') + "past four GiB\n";
    const std::string smallPacked = pack(small, Z_FINISH);

    const auto localHeader = [](const std::string& name, unsigned method, uint32_t crc, uint32_t comp,
                                uint32_t uncomp, const std::string& extra) {
        return "PK\3\4" + le16(45) + le16(0) + le16(method) + le32(0x58a76000) + le32(crc) + le32(comp) +
               le32(uncomp) + le16(unsigned(name.size())) + le16(unsigned(extra.size())) + name + extra;
    };
    const auto record = [](const std::string& name, unsigned method, uint32_t crc, uint32_t comp, uint32_t uncomp,
                           uint32_t offset, const std::string& extra) {
        return "PK\1\2" + le16(45) + le16(45) + le16(0) + le16(method) + le32(0x58a76000) + le32(crc) + le32(comp) +
               le32(uncomp) + le16(unsigned(name.size())) + le16(unsigned(extra.size())) + le16(0) + le16(0) +
               le16(0) + le32(0) + le32(offset) + name + extra;
    };
    constexpr uint32_t kOnes = 0xFFFFFFFFu;
    const auto sizes = [](uint64_t uncomp, uint64_t comp) { return le16(1) + le16(16) + le64(uncomp) + le64(comp); };
    const std::string bigLocal = localHeader("big.bin", 8, bigCrc, kOnes, kOnes, sizes(kBig, bigPacked));
    const uint64_t holeAt = bigLocal.size() + bigPacked;
    const std::string holeLocal = localHeader("hole.bin", 0, zerosCrc(kHole), kOnes, kOnes, sizes(kHole, kHole));
    const uint64_t smallAt = holeAt + holeLocal.size() + kHole;
    const std::string smallLocal = localHeader("small.txt", 8, uint32_t(crcOf(small)), uint32_t(smallPacked.size()),
                                               uint32_t(small.size()), "");
    const std::string smallRecord = record("small.txt", 8, uint32_t(crcOf(small)), uint32_t(smallPacked.size()),
                                           uint32_t(small.size()), kOnes, le16(1) + le16(8) + le64(smallAt));
    const std::string directory =
        record("big.bin", 8, bigCrc, kOnes, kOnes, 0, sizes(kBig, bigPacked)) +
        record("hole.bin", 0, zerosCrc(kHole), kOnes, kOnes, uint32_t(holeAt), sizes(kHole, kHole)) + smallRecord;
    const uint64_t directoryAt = smallAt + smallLocal.size() + smallPacked.size();
    const uint64_t endAt = directoryAt + directory.size();
    const std::string ends = "PK\6\6" + le64(44) + le16(45) + le16(45) + le32(0) + le32(0) + le64(3) + le64(3) +
                             le64(directory.size()) + le64(directoryAt) + "PK\6\7" + le32(0) + le64(endAt) +
                             le32(1) + "PK\5\6" + le16(0) + le16(0) + le16(3) + le16(3) +
                             le32(uint32_t(directory.size())) + le32(kOnes) + le16(0);

    const std::string path = dir.file("big.zip");
    {
        std::string bigData = bigLocal + first;
        bigData.reserve(bigLocal.size() + bigPacked);
        for (uint64_t i = 2; i < kBig / kChunk; ++i)
            bigData += middle;
        bigData += last;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const auto put = [fd](uint64_t at, const std::string& bytes) {
            return ::pwrite(fd, bytes.data(), bytes.size(), off_t(at)) == ssize_t(bytes.size());
        };
        const bool written = put(0, bigData) && put(holeAt, holeLocal) &&
                             put(smallAt, smallLocal + smallPacked) && put(directoryAt, directory + ends);
        ::close(fd);
        ASSERT_TRUE(written) << "cannot write the archive";
    }

    // The big entry is read once; the small one again after its CRC was spoilt.
    const auto read = [&](bool big, int smallResult) {
        ZipReaderC reader;
        ASSERT_EQ(reader.open(path.c_str()), ZipOk);
        ZipFileInfoC info;
        ASSERT_EQ(reader.locateFile("big.bin"), ZipOk);
        ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
        EXPECT_EQ(info.info.uncompressed_size, kBig);
        EXPECT_EQ(info.info.compressed_size, bigPacked);
        if (big) {
            ASSERT_EQ(reader.openCurrentFile(), ZipOk);
            CountingBuf counted;
            std::ostream out(&counted);
            EXPECT_EQ(reader.extractCurrentFile(&out), ZipOk);
            EXPECT_EQ(reader.closeCurrentFile(), ZipOk);
            EXPECT_EQ(counted.count, kBig);
            EXPECT_EQ(counted.head, head);
            EXPECT_EQ(counted.tail, tail);
        }
        ASSERT_EQ(reader.locateFile("small.txt"), ZipOk);
        ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
        EXPECT_EQ(info.localHeaderOffset(), smallAt);
        ASSERT_EQ(reader.openCurrentFile(), ZipOk);
        std::ostringstream bytes;
        const int extracted = reader.extractCurrentFile(&bytes);
        EXPECT_EQ(reader.closeCurrentFile(), smallResult);
        if (smallResult == ZipOk) {
            EXPECT_EQ(extracted, ZipOk);
            EXPECT_EQ(bytes.str(), small);
        }
    };
    read(true, ZipOk);
    // Read past minizip, the entry is still held against its CRC.
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::string wrongCrc = le32(uint32_t(crcOf(small)) ^ 1);
    const off_t crcAt = off_t(directoryAt + directory.size() - smallRecord.size() + 16);
    const bool patched = ::pwrite(fd, wrongCrc.data(), 4, crcAt) == 4;
    ::close(fd);
    ASSERT_TRUE(patched);
    read(false, ZipCrcError);
}
