// Tests of the in-memory ZIP reader: records, lookup, pieces, damaged archives and the caps.
#include "viewer/loader/UnzipArchiveC.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "tests/services/archive/ZipTestSupport.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "tests/support/ZipToolArchives.h"
#include "viewer/loader/UnzipSourceC.h"
#include "viewer/loader/UnzipToBlock.h"
#include "viewer/loader/ZipHandle.h"

namespace {

std::string blockText(const MemoryBlockC& b) { return std::string(b.GetData(), b.GetSize()); }

// Unzips item 0 piece by piece; the last result (or the open's), 0 when it came out whole.
uint32_t piecesResult(const std::string& zip)
{
    ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), "");
    if (!h)
        return LastZipResult;
    std::vector<char> piece(16384);
    uint32_t result;
    while ((result = UnzipZipItemToMemory(h, 0, piece.data(), uint32_t(piece.size()))) == 0x600u) {
    }
    CloseZipHandle(h);
    return result;
}

// The result of unzipping one item into a block through a handle opened with the password.
uint32_t itemResult(const std::string& zip, int index, const char* password)
{
    ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), password);
    if (!h)
        return LastZipResult;
    MemoryBlockC block;
    const bool done = UnzipItemToBlock(h, zip.data(), uint32_t(zip.size()), index, password, block);
    const uint32_t result = LastZipResult;
    CloseZipHandle(h);
    EXPECT_EQ(done, result == 0);
    if (!done) {
        EXPECT_EQ(block.GetSize(), 0u);
    }
    return result;
}

// FILETIME of a UTC calendar time.
uint64_t fileTime(int y, int mo, int d, int h, int mi, int s)
{
    struct tm t {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return uint64_t(timegm(&t)) * 10000000ull + 116444736000000000ull;
}

std::string le16(unsigned v) { return {char(v & 0xff), char(v >> 8)}; }
std::string le32(uint32_t v) { return le16(v & 0xffff) + le16(v >> 16); }

class ZipReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Archive times are local; a fixed zone makes them exact.
        const char* tz = std::getenv("TZ");
        savedTz = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (hadTz)
            setenv("TZ", savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        SetMaxUnzipBytes(kDefaultMaxUnzipBytes);
    }
    std::string savedTz;
    bool hadTz = false;
};

}  // namespace

TEST_F(ZipReader, ItemsComeOutWholeFoundIgnoringCase)
{
    const std::string big = noiseBytes(40000);
    // Names not flagged as UTF-8 in CP437 (0x81 u-umlaut) and as Windows writes them (0xFC);
    // a flagged name is UTF-8 whatever its bytes.
    ZipItem flagged{"\x9a" "ber", "flagged"};
    flagged.flags = 0x800;
    const std::string zip = buildZip({{"Model.ZJV", "zjv text"}, {"dir/Second.bin", big}, {"empty.txt", ""},
                                      {"stored.txt", "kept as is", 0}, {"Gr\x81n.zjv", "cp437"},
                                      {"Z\xfcrich.txt", "windows"}, flagged});
    struct Case {
        const char* name;
        bool found;
        std::string bytes;
    } cases[] = {
        {"model.zjv", true, "zjv text"}, {"MODEL.ZJV", true, "zjv text"}, {"DIR/second.BIN", true, big},
        {"empty.txt", true, ""},         {"stored.TXT", true, "kept as is"}, {"missing", false, ""},
        {"Model", false, ""},            {"GR\xc3\xbcN.zjv", true, "cp437"}, {"Z\xc3\xbcrich.txt", true, "windows"},
        {"\xc3\x9c" "ber", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryBlockC block;
        EXPECT_EQ(UnzipNamedFromMemory(zip.data(), uint32_t(zip.size()), c.name, "", block), c.found);
        EXPECT_TRUE(blockText(block) == c.bytes) << LastZipResult;
        ASSERT_NE(block.GetData(), nullptr);
        EXPECT_EQ(block.GetData()[block.GetSize()], '\0');
    }
    MemoryBlockC block;
    EXPECT_TRUE(UnzipIndexFromMemory(zip.data(), uint32_t(zip.size()), 1, "", block));
    EXPECT_EQ(block.GetSize(), 40000u);
    EXPECT_TRUE(blockText(block) == big);
    EXPECT_FALSE(UnzipIndexFromMemory(zip.data(), uint32_t(zip.size()), 7, "", block));
    EXPECT_FALSE(UnzipIndexFromMemory(zip.data(), uint32_t(zip.size()), -1, "", block));
}

TEST_F(ZipReader, RecordsCarryIndexSizesAttributesAndTimes)
{
    const uint32_t unixFile = 0100644u << 16, unixReadOnly = 0100444u << 16, unixDir = 040755u << 16;
    // "UT" with modify, access and create times; another with its access and create times cut off.
    const std::string ut = std::string("XX") + le16(2) + "zz" + "UT" + le16(13) + char(7) + le32(1000000000) +
                           le32(1100000000) + le32(1200000000);
    const std::string cutUt = std::string("UT") + le16(5) + char(7) + le32(1300000000) + le32(1400000000);
    const std::string zip = buildZip({
        {"dos.txt", "a", 6, 0x58a76000, 0x21, 0},
        {"unix.txt", "b", 6, 0x58a76000, unixFile, 3u << 8},
        {"ro.txt", "c", 6, 0x58a76000, unixReadOnly, 3u << 8},
        {"folder/", "", 6, 0x58a76000, unixDir, 3u << 8},
        {"ntfs.txt", "d", 6, 0x58a76000, 0x16, 11u << 8},
        {"ut.txt", "e", 6, 0x58a76000, 0x20, 0, ut},
        {"cut.txt", "f", 6, 0x58a76000, 0x20, 0, cutUt},
    });
    ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), nullptr);
    ASSERT_NE(h, nullptr);
    const uint64_t dosTime = fileTime(2024, 5, 7, 12, 0, 0);
    struct Case {
        int index;
        uint32_t attributes;
        uint64_t modify, access, create;
    } cases[] = {
        {0, 0x21, dosTime, dosTime, dosTime},
        {1, 0x20, dosTime, dosTime, dosTime},
        {2, 0x21, dosTime, dosTime, dosTime},
        {3, 0x30, dosTime, dosTime, dosTime},
        {4, 0x16, dosTime, dosTime, dosTime},
        {5, 0x20, fileTime(2001, 9, 9, 1, 46, 40), fileTime(2004, 11, 9, 11, 33, 20), fileTime(2008, 1, 10, 21, 20, 0)},
        {6, 0x20, fileTime(2011, 3, 13, 7, 6, 40), dosTime, dosTime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        ZipEntryInfo r;
        ASSERT_EQ(GetZipItem(h, c.index, &r), 0u);
        EXPECT_EQ(r.index, c.index);
        EXPECT_EQ(r.attributes, c.attributes);
        EXPECT_EQ(r.modifyTime, c.modify);
        EXPECT_EQ(r.accessTime, c.access);
        EXPECT_EQ(r.createTime, c.create);
        EXPECT_EQ(r.uncompressedSize, c.index == 3 ? 0u : 1u);
    }
    ZipEntryInfo r;
    ASSERT_EQ(GetZipItem(h, -1, &r), 0u);
    EXPECT_EQ(r.index, 7);
    EXPECT_STREQ(r.name, "");
    // Out of range: the record stays as it was.
    for (int bad : {7, 100, -2}) {
        ZipEntryInfo untouched;
        untouched.index = 1234;
        EXPECT_EQ(GetZipItem(h, bad, &untouched), 0x10000u);
        EXPECT_EQ(untouched.index, 1234);
        EXPECT_EQ(LastZipResult, 0x10000u);
    }
    int index = 99;
    EXPECT_EQ(FindZipItem(h, "UT.TXT", true, &index, &r), 0u);
    EXPECT_EQ(index, 5);
    EXPECT_STREQ(r.name, "ut.txt");
    EXPECT_EQ(FindZipItem(h, "UT.TXT", false, &index, &r), 0x500u);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(r.index, -1);
    EXPECT_EQ(CloseZipHandle(h), 0u);
}

TEST_F(ZipReader, PiecesReportTheirBytesAndTheEnd)
{
    const std::string big = noiseBytes(40000);
    const std::string zip = buildZip({{"big", big}, {"empty", ""}});
    ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), "");
    ASSERT_NE(h, nullptr);
    std::vector<char> piece(16384);
    std::vector<uint32_t> sizes;
    std::string out;
    uint32_t result, n;
    while ((result = UnzipZipItemToMemory(h, 0, piece.data(), uint32_t(piece.size()), &n)) == 0x600u) {
        sizes.push_back(n);
        out.append(piece.data(), n);
    }
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(sizes, (std::vector<uint32_t>{16384, 16384, 7232}));
    EXPECT_TRUE(out == big);
    EXPECT_EQ(UnzipZipItemToMemory(h, 1, piece.data(), uint32_t(piece.size()), &n), 0u);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(UnzipZipItemToMemory(h, 2, piece.data(), uint32_t(piece.size()), &n), 0x10000u);
    CloseZipHandle(h);
}

TEST_F(ZipReader, Zip64ArchivesOfOtherWritersComeOutWholeAndInPieces)
{
    TempDir dir;
    // Python stores every second item; a stored empty one past the first has a ZIP64 block
    // holding its offset alone.
    const ToolItems files = {{"Model.zjv", "zjv text\n"}, {"dir/big.bin", noiseBytes(70000)}, {"empty", ""},
                             {"stored-empty", ""}};
    for (const ToolArchive& a : makeToolArchives(dir, files, 20000)) {
        const std::string path = dir.write("tool.zip", a.bytes);
        for (ZipHandle* h : {OpenZipHandleFromMemory(a.bytes.data(), uint32_t(a.bytes.size()), ""),
                             OpenZipHandleFromFile(path.c_str(), "")}) {
            SCOPED_TRACE(a.what);
            ASSERT_NE(h, nullptr) << LastZipResult;
            ZipEntryInfo r;
            EXPECT_EQ(GetZipItem(h, -1, &r), 0u);
            EXPECT_EQ(r.index, int(a.items.size()));
            for (int i = 0; i < int(a.items.size()); ++i) {
                ASSERT_EQ(GetZipItem(h, i, &r), 0u);
                EXPECT_EQ(r.name + std::to_string(r.uncompressedSize), a.items[i].first + std::to_string(a.items[i].second.size()));
                std::string pieces, piece(16384, '\0');
                uint32_t n, result;
                while ((result = UnzipZipItemToMemory(h, i, piece.data(), 16384, &n)) == 0x600u)
                    pieces.append(piece.data(), n);
                EXPECT_EQ(result, 0u);
                EXPECT_TRUE(pieces == a.items[i].second);
                MemoryBlockC block;
                EXPECT_TRUE(UnzipNamedFromMemory(a.bytes.data(), uint32_t(a.bytes.size()), r.name, "", block));
                EXPECT_TRUE(blockText(block) == a.items[i].second);
            }
            CloseZipHandle(h);
        }
    }
}

TEST_F(ZipReader, DamagedLyingAndOversizedArchivesAreRefused)
{
    const std::string big = noiseBytes(40000);
    const std::string zip = buildZip({{"item", big}});
    std::string flipped = zip;
    flipped[zipRecordOffsets(zip, 0x04034b50)[0] + 30 + 4 + 20000] ^= 0x40;
    std::string storedFlip = buildZip({{"item", big, 0}});
    storedFlip[30 + 4 + 100] ^= 0x01;

    // ZIP64 values that cannot be, or that are missing: the reason names the entry and the field.
    const size_t record = zipRecordOffsets(zip, 0x02014b50)[0];
    const auto with = [](std::string bytes, size_t at, uint64_t value, int width) {
        for (int i = 0; i < width; ++i)
            bytes[at + size_t(i)] = char(value >> (8 * i));
        return bytes;
    };
    const std::string zip64 = withZip64Sizes(zip);
    const size_t block = record + 46 + 4;  // behind the name "item"
    const std::string unnamed = buildZip({{"", big}});
    std::string unnamedFlip = buildZip({{"", big, 0}});
    unnamedFlip[30 + 100] ^= 0x01;
    // The offset too in the block: a local header at the directory's own offset cannot be.
    const std::string zip64Offset = withZip64Sizes(zip, true);
    const auto offsetAt = [&](uint64_t offset) { return with(zip64Offset, block + 20, offset, 8); };
    std::string localSize = zip;
    putLe32(localSize, 22, 40001);
    // A sound 4.5 GB item: deflate makes about 4.4 MB of it, and its sizes are all ones but in
    // the ZIP64 block.
    const std::string huge = withZip64Sizes(withRecordedSize(buildZip({{"huge.stl", noiseBytes(4400000)}}), 0xFFFFFFFFu));
    const size_t hugeSize = zipRecordOffsets(huge, 0x02014b50)[0] + 46 + 8 + 4;  // the record's field: 34 before

    SetMaxUnzipBytes(1 << 20);
    const std::string bomb = buildZip({{"zeros", std::string(2 << 20, '\0')}});
    const std::string nested = buildZip({{"inner.zip", bomb, 0}});
    // `why`: what the failure's reason says; only a CRC that does not match is called one.
    struct Case {
        const char* what;
        std::string bytes;
        std::string why;
    } cases[] = {
        // The flipped bit still inflates to the recorded size: only the CRC tells.
        {"flipped deflated byte", flipped, "damaged ZIP archive (CRC mismatch in 'item')"},
        {"flipped stored byte", storedFlip, "damaged ZIP archive (CRC mismatch in 'item')"},
        {"recorded size one more", withRecordedSize(zip, 40001),
         "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
        {"recorded size one less", withRecordedSize(zip, 39999),
         "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
        {"recorded size far beyond the data", withRecordedSize(zip, 400000000),
         "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
        {"cut in half", zip.substr(0, zip.size() / 2), "not a ZIP archive"},
        {"cut inside the directory", zip.substr(0, zip.size() - 25), "not a ZIP archive"},
        {"no archive", "just some text that is no archive", "not a ZIP archive"},
        {"empty", "", "not a ZIP archive"},
        // Items that may well be what they say are too large, not damaged.
        {"bomb over the cap", bomb,
         "entry 'zeros' is larger than the in-memory ZIP reader can take (2097152 bytes unpacked)"},
        {"ZIP64 item of 4.5 GB", with(huge, hugeSize, 4500000000ull, 8),
         "entry 'huge.stl' is larger than the in-memory ZIP reader can take (4500000000 bytes unpacked)"},
        {"ZIP64 compressed size of 2^63", with(zip64, block + 12, 1ull << 63, 8),
         "damaged ZIP archive (entry 'item': its ZIP64 extra field gives a compressed size of 9223372036854775808)"},
        {"ZIP64 size of 2^63", with(zip64, block + 4, 1ull << 63, 8),
         "damaged ZIP archive (entry 'item': its ZIP64 extra field gives a size of 9223372036854775808)"},
        {"ZIP64 block without the compressed size", with(zip64, block + 2, 8, 2),
         "damaged ZIP archive (entry 'item': its ZIP64 extra field does not hold its compressed size)"},
        {"compressed size all ones, no ZIP64 block", with(zip, record + 20, 0xFFFFFFFFu, 4),
         "damaged ZIP archive (entry 'item': its compressed size is marked as in a ZIP64 extra field, and it has none)"},
        {"offset all ones, no ZIP64 block", with(zip, record + 42, 0xFFFFFFFFu, 4),
         "damaged ZIP archive (entry 'item': its local header offset is marked as in a ZIP64 extra field, and it "
         "has none)"},
        {"local header gone", "XX" + zip.substr(2), "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
        {"no name, size all ones", with(unnamed, zipRecordOffsets(unnamed, 0x02014b50)[0] + 24, 0xFFFFFFFFu, 4),
         "damaged ZIP archive (entry number 1: its size is marked as in a ZIP64 extra field, and it has none)"},
        // What the local header says against the directory names the entry by its name, or
        // by its place when it has none.
        {"ZIP64 size too small", with(zip64, block + 4, 39999, 8),
         "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
        {"local header's size wrong", localSize, "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
        {"no name, local header gone", "XX" + unnamed.substr(2),
         "damaged ZIP archive (entry number 1 fails its size or CRC check)"},
        {"no name, flipped stored byte", unnamedFlip, "damaged ZIP archive (CRC mismatch in entry number 1)"},
        // The boundaries of the ZIP64 rules. A value the block holds may itself be all ones.
        {"ZIP64 block holding only a size of 4 GiB - 1", with(with(zip64, block + 4, 0xFFFFFFFFu, 8), block + 2, 8, 2),
         "damaged ZIP archive (entry 'item': its ZIP64 extra field does not hold its compressed size)"},
        {"ZIP64 size of 4 GiB - 1", with(huge, hugeSize, 0xFFFFFFFFu, 8),
         "entry 'huge.stl' is larger than the in-memory ZIP reader can take (4294967295 bytes unpacked)"},
        // A size one below all ones is the size: the block's first value is the compressed size's.
        {"size field of 4 GiB - 2 before a ZIP64 block", with(huge, hugeSize - 34, 0xFFFFFFFEu, 4),
         "damaged ZIP archive (entry 'huge.stl': its ZIP64 extra field gives a compressed size of 4294967295)"},
        {"ZIP64 local header offset at the directory", offsetAt(record),
         "damaged ZIP archive (entry 'item': its ZIP64 extra field gives a local header offset of " +
             std::to_string(record) + ")"},
        {"ZIP64 local header offset just before the directory", offsetAt(record - 1),
         "damaged ZIP archive (entry 'item' fails its size or CRC check)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryBlockC block;
        EXPECT_FALSE(UnzipIndexFromMemory(c.bytes.data(), uint32_t(c.bytes.size()), 0, "", block));
        EXPECT_EQ(block.GetSize(), 0u);
        platform::ReasonText why;
        EXPECT_FALSE(UnzipIndexFromMemory(c.bytes.data(), uint32_t(c.bytes.size()), 0, "", block, &why, nullptr));
        EXPECT_EQ(why, c.why);
        if (c.bytes != bomb) {
            EXPECT_NE(piecesResult(c.bytes), 0u);
        }
    }
    EXPECT_EQ(piecesResult(zip), 0u);
    EXPECT_EQ(piecesResult(zip64Offset), 0u);
    EXPECT_EQ(itemResult(zip64Offset, 0, ""), 0u);
    // Zip in zip: the outer level fits, the inner one is refused by the same cap.
    MemoryBlockC outer, inner;
    ASSERT_TRUE(UnzipIndexFromMemory(nested.data(), uint32_t(nested.size()), 0, "", outer));
    EXPECT_FALSE(UnzipIndexFromMemory(outer.GetData(), outer.GetSize(), 0, "", inner));
    SetMaxUnzipBytes(4 << 20);
    EXPECT_TRUE(UnzipIndexFromMemory(outer.GetData(), outer.GetSize(), 0, "", inner));
    EXPECT_EQ(inner.GetSize(), 2u << 20);
}

// An item compressed with a method the reader has not (bzip2, LZMA, ...) is listed, but never
// read, not even when its bytes happen to be plain: the reason names the entry and its method.
TEST_F(ZipReader, ItemsOfMethodsThatCannotBeReadAreListedAndNeverReadAsAnother)
{
    const std::string plain = buildZip({{"plain.stl", "solid a\nendsolid a\n", 0}, {"next.txt", "readable"}});
    const struct {
        uint16_t method;
        const char* text;
    } methods[] = {{1, "method 1 (shrink)"}, {6, "method 6 (implode)"},   {9, "method 9 (deflate64)"},
                   {12, "method 12 (bzip2)"}, {14, "method 14 (LZMA)"},   {93, "method 93 (Zstandard)"},
                   {95, "method 95 (XZ)"},    {98, "method 98 (PPMd)"},   {77, "method 77"}};
    TempDir dir;
    for (const auto& m : methods) {
        SCOPED_TRACE(m.text);
        const std::string zip = withMethod(plain, "plain.stl", m.method);
        MemoryBlockC block;
        platform::ReasonText why;
        EXPECT_FALSE(UnzipIndexFromMemory(zip.data(), uint32_t(zip.size()), 0, "", block, &why, nullptr));
        EXPECT_EQ(why, std::string("entry 'plain.stl' is compressed with ") + m.text +
                           ", which cannot be read (only stored and deflate can)");
        EXPECT_EQ(LastZipResult, 0x700u);
        EXPECT_EQ(piecesResult(zip), 0x700u);
        ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), "");
        ASSERT_NE(h, nullptr);
        ZipEntryInfo record;
        ASSERT_EQ(GetZipItem(h, 0, &record), 0u);
        EXPECT_STREQ(record.name, "plain.stl");
        EXPECT_EQ(record.uncompressedSize, 19u);
        const int fd = ::open(dir.file("out").c_str(), O_CREAT | O_RDWR | O_TRUNC, 0600);
        EXPECT_EQ(UnzipZipItemToHandle(h, 0, fd), 0x700u);
        EXPECT_EQ(::lseek(fd, 0, SEEK_END), 0);
        ::close(fd);
        // The items beside it read.
        EXPECT_TRUE(UnzipItemToBlock(h, zip.data(), uint32_t(zip.size()), 1, "", block));
        EXPECT_EQ(blockText(block), "readable");
        CloseZipHandle(h);
    }
    // bzip2 packs a run of zeros far tighter than deflate can: the item is named for its method
    // rather than called damaged for its sizes.
    if (!ziptest::haveTool("zip"))
        GTEST_SKIP() << "no zip tool";
    std::ofstream(dir.file("zeros.bin"), std::ios::binary) << std::string(1 << 20, '\0');
    if (ziptest::run("cd '" + dir.path() + "' && zip -q -Z bzip2 bz.zip zeros.bin") != 0)
        GTEST_SKIP() << "zip cannot compress with bzip2";
    const std::string bz = TempDir::read(dir.file("bz.zip"));
    MemoryBlockC block;
    platform::ReasonText why;
    EXPECT_FALSE(UnzipIndexFromMemory(bz.data(), uint32_t(bz.size()), 0, "", block, &why, nullptr));
    EXPECT_EQ(why, "entry 'zeros.bin' is compressed with method 12 (bzip2), which cannot be read (only stored and "
                   "deflate can)");
}

// An item whose record gives its size as all ones while its ZIP64 block gives a small one (an
// archive the fuzzer made): the small size passes every check, but the record's would be what
// is allocated and unpacked. It is damage, told before a 4 GiB block is asked for.
TEST_F(ZipReader, AnItemWhoseRecordAndZip64SizesDisagreeIsDamagedBeforeAnyLargeBlock)
{
    const std::string bytes = TempDir::read(std::string(TAVO_SOURCE_DIR) + "/fuzz/corpus/ZipReaderFuzz/zip64-sizes-at-odds.zip");
    ASSERT_FALSE(bytes.empty());
    const failingallocation::Scope noLargeBlocks(size_t(1) << 30);
    ZipHandle* handle = OpenZipHandleFromMemory(bytes.data(), uint32_t(bytes.size()), nullptr);
    ASSERT_NE(handle, nullptr);
    ZipEntryInfo count;
    ASSERT_EQ(GetZipItem(handle, -1, &count), 0u);
    int damaged = 0;
    for (int i = 0; i < count.index; ++i) {
        SCOPED_TRACE(i);
        MemoryBlockC block;
        platform::ReasonText why;
        if (!UnzipItemToBlock(handle, bytes.data(), uint32_t(bytes.size()), i, nullptr, block, &why, nullptr)) {
            EXPECT_EQ(why.str().find("not enough memory"), std::string::npos) << why;
            damaged += why.str().rfind("damaged ZIP archive (", 0) == 0;
        }
    }
    EXPECT_GT(damaged, 0);
    CloseZipHandle(handle);
}

// The end record alone (the services writer's archive of no entry, the remover's of removing
// the last one) opens with no item; asked for item 0 it holds none, which is no damage.
TEST_F(ZipReader, AnArchiveOfNoEntryOpensWithNoItem)
{
    TempDir dir;
    const std::string written = dir.file("written.zip"), emptied = dir.file("emptied.zip");
    ZipWriterC writer;
    ASSERT_EQ(writer.openForWrite(written.c_str(), false), ZipOk);
    ASSERT_EQ(writer.close(), ZipOk);
    std::ofstream(emptied, std::ios::binary) << buildZip({{"last", "the only item"}});
    ASSERT_EQ(ziptest::removeEntry(emptied, "last"), ZipOk);
    for (const std::string& path : {written, emptied}) {
        SCOPED_TRACE(path);
        const std::string zip = TempDir::read(path);
        ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), "");
        ASSERT_NE(h, nullptr);
        ZipEntryInfo record;
        EXPECT_EQ(GetZipItem(h, -1, &record), 0u);
        EXPECT_EQ(record.index, 0);
        EXPECT_EQ(GetZipItem(h, 0, &record), 0x10000u);
        int index = 7;
        EXPECT_EQ(FindZipItem(h, "last", true, &index, nullptr), 0x500u);
        EXPECT_EQ(index, -1);
        char piece[16];
        EXPECT_EQ(UnzipZipItemToMemory(h, 0, piece, sizeof piece), 0x10000u);
        EXPECT_EQ(CloseZipHandle(h), 0u);
        MemoryBlockC block;
        platform::ReasonText why;
        EXPECT_FALSE(UnzipIndexFromMemory(zip.data(), uint32_t(zip.size()), 0, "", block, &why, nullptr));
        EXPECT_EQ(why, "the ZIP archive holds no entry");
        EXPECT_FALSE(UnzipIndexFromMemory(zip.data(), uint32_t(zip.size()), 0, "", block, &why, "item 0"));
        EXPECT_EQ(why, "the ZIP archive holds no entry");
        EXPECT_FALSE(UnzipNamedFromMemory(zip.data(), uint32_t(zip.size()), "last", "", block, &why));
        EXPECT_EQ(why, "no entry named 'last' in the archive");
    }
}

TEST_F(ZipReader, HandlesResultsAndMessages)
{
    EXPECT_EQ(OpenZipHandleFromMemory("no zip", 6, nullptr), nullptr);
    EXPECT_EQ(LastZipResult, 0x200u);
    char buf[64];
    EXPECT_EQ(FormatZipMessage(1, buf, sizeof buf), 25u);
    EXPECT_STREQ(buf, "Couldn't create/open file");
    char small[8];
    EXPECT_EQ(FormatZipMessage(1, small, sizeof small), 25u);
    EXPECT_STREQ(small, "Couldn'");
    EXPECT_EQ(FormatZipMessage(0x5000000, nullptr, 0), 41u);
    FormatZipMessage(0x123, buf, sizeof buf);
    EXPECT_STREQ(buf, "unknown zip result code");
    EXPECT_EQ(OpenZipHandle("x", 1, 4, nullptr), nullptr);
    EXPECT_EQ(LastZipResult, 0x10000u);
    EXPECT_EQ(OpenZipHandleFromFile("/nonexistent/archive.zip", nullptr), nullptr);
    EXPECT_EQ(LastZipResult, 0x200u);

    EXPECT_TRUE(IsUnzipHandle(nullptr));
    ZipEntryInfo r;
    EXPECT_EQ(GetZipItem(nullptr, 0, &r), 0x10000u);
    ZipHandle other;
    other.kind = 2;
    EXPECT_FALSE(IsUnzipHandle(&other));
    EXPECT_EQ(GetZipItem(&other, 0, &r), 0x80000u);
    EXPECT_EQ(CloseZipHandle(&other), 0x80000u);
    EXPECT_EQ(LastZipResult, 0x80000u);

    // Only a regular file is opened by name: a FIFO without a writer fails at once instead of
    // blocking, a directory or a device is no archive file.
    TempDir dir;
    const std::string fifo = dir.file("pipe.zip");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(30);  // a blocking open fails the test here rather than hanging the suite
    for (const std::string& name : {fifo, dir.path(), std::string("/dev/zero")}) {
        EXPECT_EQ(OpenZipHandleFromFile(name.c_str(), nullptr), nullptr) << name;
        EXPECT_EQ(LastZipResult, 0x200u) << name;
    }
    ::alarm(0);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_EQ(OpenZipHandleFromFileHandle(pipeEnds[0], nullptr), nullptr);
    EXPECT_EQ(LastZipResult, 0x2000000u);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST_F(ZipReader, EncryptedItemsComeOutWithTheirPassword)
{
    if (std::system("command -v zip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no zip tool";
    const std::vector<ZipItem> items = {{"stored.bin", noiseBytes(3000, 3), 0},
                                        {"packed.txt", std::string(20000, 'a') + noiseBytes(20000, 4)},
                                        {"empty", ""},
                                        {"sub/big.dat", std::string(2u << 20, 'z') + noiseBytes(3u << 20, 6)}};
    const std::vector<ZipItem> two(items.begin(), items.begin() + 2);
    // The zip tool checks the header against the time; a writer that knows the CRC first,
    // against the CRC.
    ZipItem crcChecked{"crc.txt", noiseBytes(5000, 8)};
    crcChecked.password = "pw";
    const struct {
        const char* name;
        std::string zip;
        std::vector<ZipItem> items;
    } archives[] = {
        {"zip -P", zipToolArchive(items, "pw"), items},
        {"zip -P to a pipe", zipToolArchive(two, "pw", true), two},
        {"zip -fz -P (ZIP64 blocks)", zipToolArchive(two, "pw", false, "-fz"), two},
        {"CRC-checked, beside a plain item", buildZip({{"plain", "open"}, crcChecked}), {{"plain", "open"}, crcChecked}},
        {"CRC-checked, sizes in ZIP64 blocks", withZip64Sizes(buildZip({{"plain", "open"}, crcChecked})),
         {{"plain", "open"}, crcChecked}},
    };
    for (const auto& a : archives) {
        SCOPED_TRACE(a.name);
        ASSERT_FALSE(a.zip.empty());
        const uint32_t length = uint32_t(a.zip.size());
        int slipped = 0;
        for (size_t i = 0; i < a.items.size(); ++i) {
            const ZipItem& item = a.items[i];
            SCOPED_TRACE(item.name);
            MemoryBlockC block;
            ASSERT_TRUE(UnzipIndexFromMemory(a.zip.data(), length, int(i), "pw", block));
            EXPECT_EQ(blockText(block), item.bytes);
            MemoryBlockC named;
            ASSERT_TRUE(UnzipNamedFromMemory(a.zip.data(), length, item.name.c_str(), "pw", named));
            EXPECT_EQ(blockText(named), item.bytes);
            if (!item.password)
                continue;  // the plain item: any password is ignored
            // No password and a wrong one ask for the correct one; the check byte lets a wrong
            // password through one time in 256, and its data then fails as damage.
            for (const char* none : {static_cast<const char*>(nullptr), ""}) {
                EXPECT_FALSE(UnzipIndexFromMemory(a.zip.data(), length, int(i), none, block));
                EXPECT_EQ(itemResult(a.zip, int(i), none), 0x1000u);
            }
            for (const char* wrong : {"PW", "pw ", "p", "wp", "secret", "pw1", "x", "pwpw"}) {
                const bool done = UnzipNamedFromMemory(a.zip.data(), length, item.name.c_str(), wrong, block);
                EXPECT_TRUE(!done || (item.bytes.empty() && block.GetSize() == 0)) << wrong;
                const uint32_t result = itemResult(a.zip, int(i), wrong);
                if (result != 0x1000u) {
                    ++slipped;
                    // An empty item has no data to fail: it comes out empty, as it is.
                    EXPECT_EQ(result, item.bytes.empty() ? 0u : 0x5000000u) << wrong;
                }
            }
        }
        EXPECT_LE(slipped, 3);
    }

    // A wrong password that the check byte lets through (one of about 256; the CRC-checked
    // archive's header is fixed) deciphers to bytes that fail as damage.
    uint32_t slipResult = 0x1000u;
    for (int i = 0; i < 4096 && slipResult == 0x1000u; ++i)
        slipResult = itemResult(archives[3].zip, 1, ("w" + std::to_string(i)).c_str());
    EXPECT_EQ(slipResult, 0x5000000u);

    // Piece by piece, the first piece already asks for the password.
    const std::string& zip = archives[0].zip;
    ZipHandle* h = OpenZipHandleFromMemory(zip.data(), uint32_t(zip.size()), nullptr);
    ASSERT_NE(h, nullptr);
    std::vector<char> piece(16384);
    EXPECT_EQ(UnzipZipItemToMemory(h, 1, piece.data(), uint32_t(piece.size())), 0x1000u);
    CloseZipHandle(h);
}

TEST_F(ZipReader, DamagedEncryptedItemsAreNotAPasswordError)
{
    if (std::system("command -v zip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no zip tool";
    const std::string stored = noiseBytes(3000, 3), packed = noiseBytes(40000, 4);
    const std::string good = zipToolArchive({{"stored.bin", stored, 0}, {"packed.txt", packed}}, "pw");
    ASSERT_FALSE(good.empty());
    const std::vector<size_t> locals = zipRecordOffsets(good, 0x04034b50);
    const std::vector<size_t> centrals = zipRecordOffsets(good, 0x02014b50);
    ASSERT_EQ(locals.size(), 2u);
    ASSERT_EQ(centrals.size(), 2u);
    const auto u16 = [&](size_t at) { return size_t(uint8_t(good[at])) | size_t(uint8_t(good[at + 1])) << 8; };
    auto flipped = [&](int item, size_t at) {
        std::string b = good;
        b[locals[item] + 30 + u16(locals[item] + 26) + u16(locals[item] + 28) + at] ^= 0x10;
        return b;
    };
    // The record claims only the first `size` bytes (with their CRC): the data runs on past it.
    auto runsLong = [&](int item, uint32_t size) {
        std::string b = good;
        const std::string& bytes = item ? packed : stored;
        putLe32(b, centrals[item] + 16, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), size)));
        putLe32(b, centrals[item] + 24, size);
        return b;
    };
    auto method = [&](int item, unsigned m) {
        std::string b = good;
        b[locals[item] + 8] = b[centrals[item] + 10] = char(m);
        return b;
    };
    const struct {
        const char* name;
        std::string zip;
        int item;
        uint32_t result;
    } cases[] = {
        {"stored data byte", flipped(0, 12 + 1500), 0, 0x5000000u},
        {"stored last byte", flipped(0, 12 + 2999), 0, 0x5000000u},
        {"deflated data byte", flipped(1, 12 + 100), 1, 0x5000000u},
        {"AES method", method(1, 99), 1, 0x1000u},
        {"unknown method", method(1, 12), 1, 0x700u},
        {"stored data past the recorded size", runsLong(0, 1500), 0, 0x5000000u},
        {"deflated data past the recorded size", runsLong(1, 20000), 1, 0x5000000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(itemResult(c.zip, c.item, "pw"), c.result);
        EXPECT_EQ(itemResult(c.zip, 1 - c.item, "pw"), 0u);  // the other item still comes out
    }
}

TEST_F(ZipReader, MemorySourceSeeksClampAndReadNothingPastTheEnd)
{
    const char bytes[] = "0123456789";
    uint32_t result = 99;
    UnzipSourceC* s = UnzipSourceC::Open(bytes, 10, UnzipFromMemory, &result);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(result, 0u);
    char buf[16] = {};
    struct Step {
        uint64_t offset;
        int origin;
        uint64_t tell;
        size_t read;  // bytes read by a 4-byte read afterwards
        char first;
    } steps[] = {
        {3, 0, 3, 4, '3'},
        {uint64_t(-2), 1, 5, 4, '5'},        // back by two from 7
        {uint64_t(-3), 2, 7, 3, '7'},
        {1000, 0, 10, 0, 0},                 // past the end: clamped, nothing read
        {uint64_t(-1000), 1, 10, 0, 0},      // wraps below zero: clamped to the end
        {0, 0, 0, 4, '0'},
        {~uint64_t(0), 2, 9, 1, '9'},      // one back from the end
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.tell);
        EXPECT_EQ(s->Seek(st.offset, st.origin), 0);
        EXPECT_EQ(s->Tell(), st.tell);
        buf[0] = 0;
        EXPECT_EQ(s->Read(buf, 1, 4), st.read);
        if (st.read) {
            EXPECT_EQ(buf[0], st.first);
        }
    }
    EXPECT_EQ(s->Seek(0, 0), 0);
    EXPECT_EQ(s->Read(buf, 4, 3), 2u);  // whole items of 4 bytes: 8 of the 10 bytes
    EXPECT_FALSE(s->Error());
    EXPECT_EQ(UnzipSourceC::Close(s), 0);
    EXPECT_EQ(UnzipSourceC::Close(nullptr), -1);
}

TEST_F(ZipReader, UnzipToFilesStaysBelowTheBaseFolder)
{
    TempDir dir;
    const std::string zip = buildZip({{"a.txt", "alpha", 6, 0x58a76000, 0x21, 0, ""}, {"sub/", "", 6, 0x58a76000, 0x10, 0}});
    const std::string path = dir.write("arch.zip", zip);
    ZipHandle* h = OpenZipHandleFromFile(path.c_str(), nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(SetUnzipBaseDir(h, dir.path().c_str()), 0u);
    for (const char* bad : {"/etc/x", "../x", "a/../../x", "..", "a\\..\\x", ""})
        EXPECT_EQ(UnzipZipItemToFile(h, 0, bad), 0x10000u) << bad;
    EXPECT_EQ(UnzipZipItemToFile(h, 0, "deep/er/a.txt"), 0u);
    EXPECT_EQ(TempDir::read(dir.file("deep/er/a.txt")), "alpha");
    struct stat st {};
    ASSERT_EQ(stat(dir.file("deep/er/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, time_t(1715083200));  // 2024-05-07 12:00:00 UTC
    EXPECT_EQ(st.st_mode & 0222, 0u);            // read-only item
    EXPECT_EQ(UnzipZipItemToFile(h, 1, "made"), 0u);
    EXPECT_TRUE(S_ISDIR((stat(dir.file("made").c_str(), &st), st.st_mode)));

    const int fd = open(dir.file("to-handle").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(UnzipZipItemToHandle(h, 0, fd), 0u);
    close(fd);
    EXPECT_EQ(TempDir::read(dir.file("to-handle")), "alpha");
    CloseZipHandle(h);
}
