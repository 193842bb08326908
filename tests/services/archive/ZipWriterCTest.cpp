// Tests of ZipWriterC with ZipReaderC: round trips, dates, appending, raw copies, odd sizes.
#include "services/archive/ZipWriterC.h"

#include "services/archive/ZipFileInfoC.h"
#include "services/archive/ZipReaderC.h"
#include "tests/support/TempDir.h"
#include "tests/services/archive/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <minizip/unzip.h>

#include <ctime>
#include <sstream>

using namespace ziptest;

TEST(ZipWriter, WrittenEntriesReadBackWithTheirBytesMethodsAndDates)
{
    TempDir dir;
    const std::string path = dir.file("out.zip");
    const std::vector<Entry> entries = {
        {"stored.txt", "plain stored bytes", 0},
        {"deep/deflated.txt", noise(300000, 7), 6},
        {"empty", "", 9},
    };
    // 2021-06-15 13:45:30 local time; DOS dates keep even seconds.
    struct tm when = {};
    when.tm_year = 121, when.tm_mon = 5, when.tm_mday = 15, when.tm_hour = 13, when.tm_min = 45, when.tm_sec = 30;
    when.tm_isdst = -1;
    const time_t modified = std::mktime(&when);
    ASSERT_EQ(writeArchive(path, entries, modified), ZipOk);
    const std::string source = dir.write("source.bin", noise(70000, 3));
    {
        ZipWriterC writer;
        ASSERT_EQ(writer.openForWrite(path.c_str(), true), ZipOk);
        ASSERT_EQ(writer.addFile(source.c_str(), "added.bin", 4096, 1), ZipOk);
        EXPECT_EQ(writer.bufferSize(), 4096u);
    }

    std::vector<Entry> expected = entries;
    expected.push_back({"added.bin", TempDir::read(source), 1});
    EXPECT_EQ(readArchive(path), listing(expected));

    const std::string bytes = TempDir::read(path);
    ZipReaderC reader;
    ASSERT_EQ(reader.open(path.c_str()), ZipOk);
    ASSERT_EQ(reader.goToFirstFile(), ZipOk);
    for (size_t i = 0; i < expected.size(); ++i) {
        ZipFileInfoC info;
        ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
        EXPECT_EQ(info.info.compression_method, expected[i].level > 0 ? 8u : 0u) << expected[i].name;
        EXPECT_EQ(info.info.uncompressed_size, expected[i].bytes.size());
        EXPECT_EQ(bytes.compare(info.localHeaderOffset(), 4, "PK\3\4"), 0);
        uLong sourceDate = 0;
        if (i == entries.size()) {
            ASSERT_TRUE(getFileDosDate(source.c_str(), &sourceDate));
            EXPECT_EQ(info.info.dosDate, sourceDate);  // addFile dates the entry as its source
        }
        if (i < entries.size()) {
            const tm_unz& d = info.info.tmu_date;
            EXPECT_EQ(std::vector<unsigned>({d.tm_year, d.tm_mon, d.tm_mday, d.tm_hour, d.tm_min, d.tm_sec}),
                      std::vector<unsigned>({2021, 5, 15, 13, 45, 30}));
        }
        EXPECT_EQ(reader.goToNextFile(), i + 1 < expected.size() ? ZipOk : ZipEndOfList);
    }
    if (haveTool("unzip")) {
        EXPECT_EQ(run("unzip -tq '" + path + "'"), 0);
    }
    uLong none = 0;
    EXPECT_FALSE(getFileDosDate(dir.file("missing").c_str(), &none));
}

TEST(ZipWriter, AppendingKeepsTheOldEntriesAndRefusesOtherFiles)
{
    TempDir dir;
    const std::string path = dir.file("a.zip");
    const std::vector<Entry> first = {{"one", "first entry", 6}, {"two", noise(5000, 1), 0}};
    ASSERT_EQ(writeArchive(path, first), ZipOk);
    const std::string before = TempDir::read(path);
    const size_t oldDirectory = directoryStart(before);
    ASSERT_EQ(writeArchive(path, {{"three", "appended", 6}}, 0, true), ZipOk);

    const std::string after = TempDir::read(path);
    // The old entries' bytes stand where they stood; the new entry's header took the place of
    // the old directory.
    EXPECT_EQ(after.compare(0, oldDirectory, before, 0, oldDirectory), 0);
    EXPECT_EQ(after.compare(oldDirectory, 4, "PK\3\4"), 0);
    std::vector<Entry> all = first;
    all.push_back({"three", "appended", 6});
    EXPECT_EQ(readArchive(path), listing(all));
    if (haveTool("unzip")) {
        EXPECT_EQ(run("unzip -tq '" + path + "'"), 0);
    }

    // Appending to a missing file creates it.
    const std::string fresh = dir.file("fresh.zip");
    ASSERT_EQ(writeArchive(fresh, {{"only", "x", 6}}, 0, true), ZipOk);
    EXPECT_EQ(readArchive(fresh), listing({{"only", "x", 6}}));

    // Files that are no archive, or name a directory outside themselves, stay untouched.
    std::string outside = after;
    putLe32(outside, endRecord(outside) + 16, uint32_t(outside.size()));
    const struct {
        const char* name;
        std::string bytes;
    } refused[] = {
        {"text.zip", "just some text, no archive at all"},
        {"empty.zip", ""},
        {"outside.zip", outside},
    };
    for (const auto& c : refused) {
        const std::string file = dir.write(c.name, c.bytes);
        ZipWriterC writer;
        EXPECT_EQ(writer.openForWrite(file.c_str(), true), ZipNotAnArchive) << c.name;
        EXPECT_EQ(writer.close(), ZipBadParameter);
        EXPECT_EQ(TempDir::read(file), c.bytes) << c.name;
    }
    ZipWriterC writer;
    zlib_filefunc_def funcs;
    fill_fopen_filefunc(&funcs);
    EXPECT_EQ(writer.openForWrite(path.c_str(), true, &funcs), ZipFailed);
    EXPECT_EQ(writer.openForWrite(dir.file("no/such/folder.zip").c_str(), false), ZipFailed);
}

TEST(ZipWriter, RawEntriesCopyCompressedDataUnchanged)
{
    TempDir dir;
    const std::string from = dir.file("from.zip"), to = dir.file("to.zip");
    const std::string text = noise(100000, 11);
    ASSERT_EQ(writeArchive(from, {{"packed.txt", text, 9}, {"stored.txt", "raw stored", 0}}), ZipOk);

    unzFile unz = unzOpen(from.c_str());
    ASSERT_NE(unz, nullptr);
    ZipReaderC reader;
    ASSERT_EQ(reader.open(from.c_str()), ZipOk);
    ASSERT_EQ(reader.goToFirstFile(), ZipOk);
    ASSERT_EQ(unzGoToFirstFile(unz), UNZ_OK);
    ZipWriterC writer;
    ASSERT_EQ(writer.openForWrite(to.c_str(), false), ZipOk);
    do {
        ZipFileInfoC info;
        ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
        int method = 0, level = 0;
        ASSERT_EQ(unzOpenCurrentFile2(unz, &method, &level, 1), UNZ_OK);
        std::string raw(info.info.compressed_size, '\0');
        ASSERT_EQ(unzReadCurrentFile(unz, raw.data(), unsigned(raw.size())), int(raw.size()));
        unzCloseCurrentFile(unz);
        ASSERT_EQ(writer.openNewFileRaw(info.name(), info), ZipOk);
        ASSERT_EQ(writer.write(raw.data(), unsigned(raw.size())), ZipOk);
        ASSERT_EQ(writer.closeFileInZip(), ZipOk);
    } while (reader.goToNextFile() == ZipOk && unzGoToNextFile(unz) == UNZ_OK);
    unzClose(unz);
    ASSERT_EQ(writer.close(), ZipOk);
    EXPECT_EQ(readArchive(to), listing({{"packed.txt", text, 9}, {"stored.txt", "raw stored", 0}}));
}

TEST(ZipWriter, AddFileFailsWithoutAddingAnEntry)
{
    TempDir dir;
    const std::string path = dir.file("a.zip");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ZipWriterC writer;
    ASSERT_EQ(writer.openForWrite(path.c_str(), false), ZipOk);
    EXPECT_EQ(writer.addFile(dir.file("missing").c_str(), "missing", 0, 6), ZipFailed);
    EXPECT_EQ(writer.addFile(dir.path().c_str(), "folder", 0, 6), ZipFailed);
    EXPECT_EQ(writer.addFile(fifo.c_str(), "fifo", 0, 6), ZipFailed);
    EXPECT_EQ(writer.addFile(dir.write("ok", "fine").c_str(), nullptr, 0, 6), ZipBadParameter);
    EXPECT_EQ(writer.addFile(dir.file("ok").c_str(), "ok", 0, 6), ZipOk);
    EXPECT_EQ(writer.openNewFile("dated", dir.file("missing").c_str(), 6), ZipFailed);
    ASSERT_EQ(writer.close(), ZipOk);
    EXPECT_EQ(readArchive(path), listing({{"ok", "fine", 6}}));
    // A closed writer reports minizip's parameter error.
    EXPECT_EQ(writer.openNewFile("x", time_t(0), 6), ZipBadParameter);
    EXPECT_EQ(writer.write("x", 1), ZipBadParameter);
    EXPECT_EQ(writer.closeFileInZip(), ZipBadParameter);
}

TEST(ZipWriter, LongNamesAndLargeExtraFieldsAreKeptWhole)
{
    TempDir dir;
    const std::string path = dir.file("big.zip");
    const std::string longName = std::string(290, 'n') + "/Long.TXT";
    const std::string extra = [] {
        // One extra block of id 0xCAFE filling the whole 16-bit length.
        std::string e(65535, '\0');
        e[0] = char(0xFE), e[1] = char(0xCA), e[2] = char(0xFB), e[3] = char(0xFF);
        for (size_t i = 4; i < e.size(); ++i)
            e[i] = char(i * 7);
        return e;
    }();
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(zipOpenNewFileInZip(zip, "first", nullptr, nullptr, 0, extra.data(), uInt(extra.size()), "a comment",
                                  Z_DEFLATED, 6), ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, "1", 1), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
    ASSERT_EQ(writeArchive(path, {{longName, "long", 6}}, 0, true), ZipOk);

    ZipReaderC reader;
    ASSERT_EQ(reader.open(path.c_str()), ZipOk);
    ZipFileInfoC info;
    ASSERT_EQ(reader.goToFirstFile(), ZipOk);
    ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.extra()), info.extraSize()), extra);
    EXPECT_EQ(std::string(info.comment()), "a comment");
    // Found ignoring case, whatever the length.
    std::string asked = longName;
    asked[0] = 'N';
    ASSERT_EQ(reader.locateFile(asked.c_str()), ZipOk);
    ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
    EXPECT_EQ(std::string(info.name()), longName);
    EXPECT_EQ(info.nameSize(), 299u);
    EXPECT_EQ(reader.locateFile("absent"), ZipNotFound);
    ASSERT_EQ(reader.getCurrentFileInfo(info), ZipOk);
    EXPECT_EQ(std::string(info.name()), longName);
    ASSERT_EQ(reader.openCurrentFile(), ZipOk);
    std::ostringstream out;
    EXPECT_EQ(reader.extractCurrentFile(&out), ZipOk);
    EXPECT_EQ(out.str(), "long");
    EXPECT_EQ(reader.closeCurrentFile(), ZipOk);

    ZipWriterC writer;
    ASSERT_EQ(writer.openForWrite(dir.file("names.zip").c_str(), false), ZipOk);
    EXPECT_EQ(writer.openNewFile(std::string(65536, 'x').c_str(), time_t(0), 6), ZipBadParameter);
    EXPECT_EQ(writer.openNewFile(std::string(65535, 'x').c_str(), time_t(0), 6), ZipOk);
}
