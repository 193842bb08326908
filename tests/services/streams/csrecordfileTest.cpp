// Tests of csrecordfile: the exact text, round trips of nested records and every value kind,
// long forms, damaged data, writer misuse, bookmarks, compression, close, the hex byte texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "services/streams/csrecordfile.h"
#include "tests/support/TempDir.h"

namespace {

// Reads a file whose text is given, expecting the first head read to throw code 6.
void expectRefused(const TempDir& dir, const std::string& records, const char* what)
{
    const std::string path = dir.write("bad", "a\nb\n" + records);
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots)) << what;
    try {
        in.readRecordHead(tag, count);
        ADD_FAILURE() << what << ": no exception";
    } catch (const FileException& e) {
        EXPECT_EQ(e.code(), 6) << what;
    }
    EXPECT_EQ(in.getStatus(), 6) << what;
    int v = 0;
    EXPECT_FALSE(in.getInt(v)) << what;
    EXPECT_FALSE(in.skipRecord()) << what;
}

}  // namespace

TEST(csrecordfileTest, OneValueRecordHasTheDocumentedText)
{
    TempDir dir;
    const std::string path = dir.file("one.dat");
    {
        csrecordfile out(path.c_str(), true);
        ASSERT_EQ(out.getStatus(), 0);
        ASSERT_TRUE(out.writeHeader("a", "b"));
        ASSERT_TRUE(out.writeInt(5, 42));
        ASSERT_TRUE(out.finishFile());
    }
    EXPECT_EQ(TempDir::read(path), "a\nb\n0001" "0001" "0005" "0002" "42");
}

TEST(csrecordfileTest, NestedRecordsAndEveryValueKindReadBack)
{
    TempDir dir;
    const std::string path = dir.file("tree.dat");
    const std::string long65534(65534, 'x'), long65535(65535, 'y');
    {
        csrecordfile out(path.c_str(), true);
        ASSERT_TRUE(out.writeHeader("first line", "second"));
        ASSERT_TRUE(out.beginRecord(100));
        ASSERT_TRUE(out.writeInt(1, -7));
        ASSERT_TRUE(out.writeDouble(2, 0.1));
        ASSERT_TRUE(out.writeValue(3, ""));
        ASSERT_TRUE(out.beginRecord(0xFFFF));
        ASSERT_TRUE(out.writeValue(4, long65534.c_str()));
        ASSERT_TRUE(out.writeValue(5, long65535.c_str()));
        ASSERT_TRUE(out.endRecord());
        ASSERT_TRUE(out.endRecord());
        ASSERT_TRUE(out.beginRecord(200));
        for (int i = 0; i < 70000; ++i)
            ASSERT_TRUE(out.writeInt(9, i));
        ASSERT_TRUE(out.endRecord());
        ASSERT_TRUE(out.writeDouble(7, 1.0 / 3.0));
        ASSERT_TRUE(out.finishFile());
        EXPECT_TRUE(out.close());
    }
    const std::string text = TempDir::read(path);
    EXPECT_NE(text.find("0001" "0002" "0003" "0.1"), std::string::npos);
    EXPECT_NE(text.find("0001" "0004" "\?\?\?>" + long65534), std::string::npos);
    EXPECT_NE(text.find("0001" "0005" "FFFF0000FFFF" + long65535), std::string::npos);
    // 70000 children: kind (140000 >> 16) + 2 = 4 and field 140000 & 0xFFFF = 8928.
    EXPECT_NE(text.find("0004" "00<8" "22>0"), std::string::npos);
    EXPECT_NE(text.find("0001" "0007" "0010" "0.33333333333333"), std::string::npos);

    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots));
    EXPECT_EQ(first, "first line");
    EXPECT_EQ(second, "second");
    EXPECT_EQ(roots, 3u);
    EXPECT_FALSE(in.readRecordHead(tag, count));
    EXPECT_EQ(tag, 100u);
    EXPECT_EQ(count, 4u);
    int i = 0;
    double d = 0;
    const char* s = nullptr;
    EXPECT_TRUE(in.readRecordHead(tag, count));
    EXPECT_TRUE(in.getInt(i));
    EXPECT_EQ(i, -7);
    EXPECT_TRUE(in.skipRecord());  // nothing to skip after a value
    EXPECT_TRUE(in.readRecordHead(tag, count));
    EXPECT_TRUE(in.getDouble(d));
    EXPECT_EQ(d, 0.1);
    EXPECT_TRUE(in.readRecordHead(tag, count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(in.getString(s));
    EXPECT_STREQ(s, "");
    EXPECT_FALSE(in.readRecordHead(tag, count));
    EXPECT_EQ(tag, 0xFFFFu);
    EXPECT_TRUE(in.readRecordHead(tag, count));
    EXPECT_EQ(count, 65534u);
    EXPECT_TRUE(in.readRecordHead(tag, count));
    EXPECT_EQ(count, 65535u);
    ASSERT_TRUE(in.getString(s));
    EXPECT_EQ(std::string(s), long65535);
    EXPECT_FALSE(in.readRecordHead(tag, count));
    EXPECT_EQ(count, 70000u);
    EXPECT_FALSE(in.getString(s));  // a group head has no text
    EXPECT_TRUE(in.skipRecord());
    EXPECT_TRUE(in.readRecordHead(tag, count));
    EXPECT_EQ(tag, 7u);
    EXPECT_TRUE(in.getDouble(d));
    EXPECT_NEAR(d, 1.0 / 3.0, 1e-14);  // fourteen digits
    try {
        in.readRecordHead(tag, count);
        ADD_FAILURE() << "read past the end";
    } catch (const FileException& e) {
        EXPECT_EQ(e.code(), 6);
        EXPECT_TRUE(e.message().isNull());
    }
    EXPECT_EQ(in.getStatus(), 6);
    EXPECT_FALSE(in.getDouble(d));
}

TEST(csrecordfileTest, DamagedDataIsRefusedWithTheEndStatus)
{
    TempDir dir;
    const struct {
        std::string records;
        const char* what;
    } cases[] = {
        {"0001" "0001" "0001" "FFFFFFFFFFFF" "x", "length 0xFFFFFFFF"},
        {"0001" "0001" "0001" "0009" "short", "value longer than the data"},
        {"0001" "0001" "00x1" "0001" "1", "bad digit in the tag"},
        {"0001" "0001" "00", "head cut short"},
        {"0001" "0001" "0001" "FFFF00", "long length cut short"},
        {"0001" "FFFFFFFFFFFF" "0001" "0001", "split count out of range"},
    };
    for (const auto& c : cases)
        expectRefused(dir, c.records, c.what);

    // Skipping a group whose children are missing ends the same way.
    const std::string path = dir.write("cut", "a\nb\n0001" "0000" "0001" "0005" "0001" "0001" "0001" "1");
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots));
    EXPECT_FALSE(in.readRecordHead(tag, count));
    EXPECT_THROW(in.skipRecord(), FileException);
    EXPECT_EQ(in.getStatus(), 6);
}

TEST(csrecordfileTest, SkippingDeepNestingNeedsNoRecursion)
{
    TempDir dir;
    const std::string path = dir.file("deep.dat");
    const int depth = 200000;
    {
        csrecordfile out(path.c_str(), true);
        ASSERT_TRUE(out.writeHeader("", ""));
        for (int i = 0; i < depth; ++i)
            ASSERT_TRUE(out.beginRecord(i & 0xFFFF));
        ASSERT_TRUE(out.writeInt(1, 5));
        for (int i = 0; i < depth; ++i)
            ASSERT_TRUE(out.endRecord());
        ASSERT_TRUE(out.writeInt(2, 6));
        ASSERT_TRUE(out.finishFile());
    }
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots));
    EXPECT_FALSE(in.readRecordHead(tag, count));
    EXPECT_TRUE(in.skipRecord());
    EXPECT_TRUE(in.readRecordHead(tag, count));
    int v = 0;
    EXPECT_TRUE(in.getInt(v));
    EXPECT_EQ(tag, 2u);
    EXPECT_EQ(v, 6);
}

TEST(csrecordfileTest, WriterMisuseReturnsFalseAndWritesNothing)
{
    TempDir dir;
    csrecordfile out(dir.file("misuse.dat").c_str(), true);
    EXPECT_FALSE(out.beginRecord(1));
    EXPECT_FALSE(out.writeInt(1, 1));
    EXPECT_FALSE(out.endRecord());
    EXPECT_FALSE(out.finishFile());
    EXPECT_TRUE(out.text().empty());
    EXPECT_FALSE(out.writeHeader("two\nlines", ""));
    ASSERT_TRUE(out.writeHeader("a", "b"));
    EXPECT_FALSE(out.writeHeader("a", "b"));
    EXPECT_FALSE(out.endRecord());  // the root is closed by finishFile only
    EXPECT_FALSE(out.beginRecord(0x10000));
    EXPECT_FALSE(out.beginRecord(-1));
    EXPECT_FALSE(out.writeInt(0x10000, 1));
    EXPECT_EQ(out.text(), "a\nb\n0000");
    ASSERT_TRUE(out.beginRecord(1));
    EXPECT_FALSE(out.finishFile());  // a record is still open
    ASSERT_TRUE(out.endRecord());
    for (int i = 1; i < 0xFFFF; ++i)
        ASSERT_TRUE(out.writeInt(2, i));
    EXPECT_FALSE(out.writeInt(2, 0));  // a 65536th top-level record cannot be counted
    EXPECT_TRUE(out.finishFile());
    EXPECT_EQ(out.text().substr(4, 4), "\?\?\?\?");
    // A finished file takes no second header: it would land after the records.
    const size_t finished = out.text().size();
    EXPECT_FALSE(out.writeHeader("c", "d"));
    EXPECT_EQ(out.text().size(), finished);
}

TEST(csrecordfileTest, BookmarksRestorePositionsAndValue)
{
    TempDir dir;
    const std::string path = dir.file("marks.dat");
    {
        csrecordfile out(path.c_str(), true);
        ASSERT_TRUE(out.writeHeader("a", "b"));
        ASSERT_TRUE(out.writeInt(1, 10));
        ASSERT_TRUE(out.writeInt(2, 20));
        ASSERT_TRUE(out.finishFile());
    }
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots));
    ASSERT_TRUE(in.readRecordHead(tag, count));
    csrecordbookmark mark;
    in.mark(mark);
    EXPECT_TRUE(mark.isSet());
    ASSERT_TRUE(in.readRecordHead(tag, count));
    int v = 0;
    in.getInt(v);
    EXPECT_EQ(v, 20);
    in.restore(mark);
    EXPECT_FALSE(mark.isSet());
    EXPECT_TRUE(in.getInt(v));
    EXPECT_EQ(v, 10);
    ASSERT_TRUE(in.readRecordHead(tag, count));  // reading goes on after the marked record
    EXPECT_EQ(tag, 2u);

    in.rewind();
    EXPECT_FALSE(in.getInt(v));
    EXPECT_TRUE(in.readHeader(first, second, roots));
    EXPECT_EQ(roots, 2u);
}

TEST(csrecordfileTest, CompressedFilesAndTheGzName)
{
    TempDir dir;
    const std::string path = dir.file("part.dat");
    {
        csrecordfile out((path + ".gz").c_str(), true, 2);
        ASSERT_TRUE(out.writeHeader("a", "b"));
        ASSERT_TRUE(out.writeValue(3, "compressed"));
        ASSERT_TRUE(out.finishFile());
    }
    EXPECT_EQ(TempDir::read(path + ".gz").substr(0, 2), "\x1f\x8b");
    csrecordfile in(path.c_str(), false);
    ASSERT_EQ(in.getStatus(), 0);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots));
    ASSERT_TRUE(in.readRecordHead(tag, count));
    const char* s = nullptr;
    ASSERT_TRUE(in.getString(s));
    EXPECT_STREQ(s, "compressed");

    // Damaged compressed data (a first block of the reserved type) is a failed read, not a
    // shorter file.
    std::string damaged = TempDir::read(path + ".gz");
    ASSERT_EQ(damaged[3], 0);  // no optional header fields: the data start after 10 bytes
    damaged[10] = 0x07;
    dir.write("damaged.dat", damaged);
    csrecordfile broken(dir.file("damaged.dat").c_str(), false);
    EXPECT_EQ(broken.getStatus(), 2);

    csrecordfile missing(dir.file("none.dat").c_str(), false);
    EXPECT_EQ(missing.getStatus(), 2);
    EXPECT_FALSE(missing.readHeader(first, second, roots));
}

TEST(csrecordfileTest, CloseReportsAFailedWrite)
{
    csrecordfile full("/dev/full", true);
    if (full.getStatus() != 0)
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(full.writeHeader("a", "b"));
    ASSERT_TRUE(full.writeValue(1, std::string(100000, 'z').c_str()));
    ASSERT_TRUE(full.finishFile());
    EXPECT_FALSE(full.close());

    TempDir dir;
    csrecordfile ok(dir.file("ok.dat").c_str(), true);
    ASSERT_TRUE(ok.writeHeader("a", "b"));
    ASSERT_TRUE(ok.finishFile());
    EXPECT_TRUE(ok.close());
    EXPECT_FALSE(ok.close());
    EXPECT_EQ(TempDir::read(dir.file("ok.dat")), "a\nb\n0000");
}

TEST(csrecordfileTest, HexByteTexts)
{
    EXPECT_EQ(hexEncodeBytes("A"), "1004");
    EXPECT_EQ(hexDecodeBytes("1004"), "A");
    EXPECT_EQ(hexDecodeBytes("1004F00"), "A");  // the part group is ignored
    // A character that is no digit counts as its code less 55, whatever it is: a lower-case
    // 'a' as 42, so "a00a" is 42 * 16 + 42 cut to a byte, and 'G' as 16.
    EXPECT_EQ(hexDecodeBytes("a00a"), "\xCA");
    EXPECT_EQ(hexDecodeBytes("G001"), "\x20");
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const RWCString bytes(all.data(), all.size());
    const RWCString encoded = hexEncodeBytes(bytes);
    EXPECT_EQ(encoded.length(), 1024u);
    const RWCString decoded = hexDecodeBytes(encoded);
    EXPECT_EQ(std::string(decoded.data(), decoded.length()), all);
}

TEST(csrecordfileTest, DoublesAreWrittenAsPrintfWritesThem)
{
    // Every kind of value: floats (the fast path) of every magnitude and sign, exact ties at
    // the fourteenth digit (2^-21), powers of ten, doubles that are no floats, zero, infinity.
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 1e10, 1e-5, 1e-4, 0.0001234, 1e13, 1e14, 1e15,
                                  std::ldexp(1.0, -21), std::ldexp(1.0, -60), std::ldexp(1.0, 100), 1.0 / 3.0,
                                  123456789012345.0, 9.99999999999995, 99999999999999.5, 1e300, 5e-324,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  double(std::numeric_limits<float>::max()), double(std::numeric_limits<float>::min()),
                                  double(std::numeric_limits<float>::denorm_min())};
    uint32_t bits = 12345;
    for (int i = 0; i < 200000; ++i) {
        bits = bits * 1664525u + 1013904223u;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f))
            values.push_back(double(f));
        values.push_back(double(float(int(bits % 20001) - 10000) / 64.0f));
    }
    TempDir dir;
    const std::string path = dir.file("doubles.dat");
    {
        csrecordfile out(path.c_str(), true);
        ASSERT_TRUE(out.writeHeader("", ""));
        ASSERT_TRUE(out.beginRecord(1));
        for (double v : values)
            ASSERT_TRUE(out.writeDouble(2, v));
        ASSERT_TRUE(out.endRecord());
        ASSERT_TRUE(out.finishFile());
    }
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    ASSERT_TRUE(in.readHeader(first, second, roots));
    ASSERT_FALSE(in.readRecordHead(tag, count));
    ASSERT_EQ(count, values.size());
    int mismatches = 0;
    for (double v : values) {
        ASSERT_TRUE(in.readRecordHead(tag, count));
        const char* text = nullptr;
        ASSERT_TRUE(in.getString(text));
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.*g", 14, v);
        if (std::string(text) != expected && ++mismatches < 10)
            ADD_FAILURE() << text << " for " << expected;
        double back = 0;
        ASSERT_TRUE(in.getDouble(back));
        if (std::isfinite(v) && std::string(text) == expected) {
            EXPECT_EQ(float(back), float(v)) << text;
        }
    }
    EXPECT_EQ(mismatches, 0);
}
