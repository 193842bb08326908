// Tests of zfilebuf and the stream classes: round trips through each layer, the gzip framing
// against the system's gzip tool, format probing, destruction without close, printf.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <string>

#include "services/streams/rc4fstream.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kIn = csopenmode::in | csopenmode::binary;
constexpr int kOut = csopenmode::out | csopenmode::binary;

// Lines of words, compressible like real text.
std::string text(size_t n)
{
    static const char* words[] = {"mesh", "vertex", "edge", "face", "loop", "part", "normal", "crease"};
    std::string s;
    unsigned x = 12345;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 16) % 8];
        s += (x >> 8) % 9 == 0 ? '\n' : ' ';
    }
    s.resize(n);
    return s;
}

std::string readAll(std::istream& in)
{
    std::string s;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        s.append(block, size_t(in.gcount()));
    return s;
}

std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

bool haveGzip()
{
    return std::system("gzip --version > /dev/null 2>&1") == 0;
}

enum class Layer { plain, rc4, gzip };

void writeThrough(Layer layer, const std::string& path, const std::string& data)
{
    rc4ofstream out(path.c_str(), kOut | (layer == Layer::gzip ? csopenmode::compressFlag : 0));
    ASSERT_TRUE(out.is_open());
    if (layer == Layer::rc4) {
        ASSERT_EQ(out.rdbuf()->writeHeader("key"), 1);
    }
    out.write(data.data(), std::streamsize(data.size()));
    EXPECT_TRUE(out.close());
}

std::string readThrough(Layer layer, const std::string& path)
{
    rc4ifstream in(path.c_str(), kIn);
    EXPECT_TRUE(in.is_open());
    if (layer == Layer::rc4) {
        EXPECT_EQ(in.rdbuf()->readHeader("key"), 1);
    }
    std::string got = readAll(in);
    EXPECT_EQ(in.rdbuf()->isCompressed(), layer == Layer::gzip);
    return got;
}

}  // namespace

TEST(zfilebufTest, EveryLayerReadsBackWhatItWrote)
{
    TempDir dir;
    for (Layer layer : {Layer::plain, Layer::rc4, Layer::gzip})
        for (size_t n : {0, 1, 2, 32767, 32768, 100000}) {
            const std::string path = dir.file("r" + std::to_string(int(layer)) + "_" + std::to_string(n));
            const std::string data = text(n);
            writeThrough(layer, path, data);
            EXPECT_EQ(readThrough(layer, path), data) << int(layer) << " " << n;
            const size_t stored = TempDir::read(path).size();
            if (layer == Layer::plain) {
                EXPECT_EQ(stored, n);
            }
            if (layer == Layer::rc4) {
                EXPECT_EQ(stored, n + 9);
            }
        }
}

TEST(zfilebufTest, GzipFilesAreStandardBothWays)
{
    if (!haveGzip())
        GTEST_SKIP() << "no gzip tool";
    TempDir dir;
    const std::string data = text(100000) + "\n";
    const std::string ours = dir.file("ours.gz");
    writeThrough(Layer::gzip, ours, data);
    const std::string bytes = TempDir::read(ours);
    EXPECT_EQ(bytes.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x05", 10));
    // The tool checks the trailer (CRC-32 and length) and finds the data whole.
    ASSERT_EQ(std::system(("gzip -t " + quoted(ours)).c_str()), 0);
    ASSERT_EQ(std::system(("gzip -dc " + quoted(ours) + " > " + quoted(dir.file("ours.txt"))).c_str()), 0);
    EXPECT_EQ(TempDir::read(dir.file("ours.txt")), data);

    // The tool's file carries a name field and a trailer.
    const std::string theirs = dir.write("theirs.txt", data);
    ASSERT_EQ(std::system(("gzip -9 -k " + quoted(theirs)).c_str()), 0);
    EXPECT_EQ(readThrough(Layer::gzip, theirs + ".gz"), data);

    // A file without a trailer (as older writers made them) still reads.
    const std::string bare = dir.write("bare.gz", bytes.substr(0, bytes.size() - 8));
    EXPECT_EQ(readThrough(Layer::gzip, bare), data);
}

TEST(zfilebufTest, ProbingKeepsPlainDataWhole)
{
    TempDir dir;
    for (const std::string& data : {std::string(""), std::string("x"), std::string("xy"), std::string("BZh91AY&SY plain"),
                                    std::string("\x1f", 1)}) {
        const std::string path = dir.write("p", data);
        // Buffered, unbuffered (reads of one byte) and with the compress flag on reading.
        EXPECT_EQ(readThrough(Layer::plain, path), data);
        zfilebuf fb;
        fb.pubsetbuf(nullptr, 0);
        ASSERT_NE(fb.open(path.c_str(), kIn | csopenmode::compressFlag), nullptr);
        std::string got;
        for (int c; (c = fb.sbumpc()) != EOF;) {
            got += char(c);
            EXPECT_EQ(fb.pubseekoff(0, std::ios_base::cur), std::streamoff(got.size()));
        }
        EXPECT_EQ(got, data);
        EXPECT_FALSE(fb.isEncrypted());
    }
    rc4ifstream in(dir.write("q", "0123456789").c_str());
    in.seekg(4);  // positioning before the first read: plain from there
    EXPECT_EQ(readAll(in), "456789");
}

TEST(zfilebufTest, CompressedStreamsHaveNoPositionsAndBadFilesFail)
{
    TempDir dir;
    const std::string path = dir.file("c.gz");
    {
        rc4fstream out(path.c_str(), kOut | csopenmode::compressFlag | csopenmode::encryptFlag);
        EXPECT_TRUE(out.rdbuf()->isCompressed());
        EXPECT_EQ(out.rdbuf()->tell(), -1);
        EXPECT_EQ(out.tellp(), -1);
        EXPECT_EQ(out.rdbuf()->rawRead(nullptr, 0), -1);
        out << "compressed, not enciphered";
        // Destroyed without close: the stream is still finished with its trailer.
    }
    EXPECT_EQ(readThrough(Layer::gzip, path), "compressed, not enciphered");
    {
        // sync on a compressed reader cannot give read-ahead back, and must not fail.
        rc4ifstream in(path.c_str(), kIn);
        EXPECT_EQ(in.get(), 'c');
        EXPECT_EQ(in.rdbuf()->pubsync(), 0);
        EXPECT_EQ(in.tellg(), -1);
        EXPECT_EQ(in.rdbuf()->rawWrite("x", 1), -1);
    }
    {
        // Once finished, the deflate stream takes no more data.
        zfilebuf fb;
        ASSERT_NE(fb.open(dir.file("fin.gz").c_str(), kOut | csopenmode::compressFlag), nullptr);
        EXPECT_EQ(fb.rawWrite("abc", 3), 3);
        EXPECT_GT(fb.rawWrite(nullptr, 0), 0);
        EXPECT_EQ(fb.rawWrite("abc", 3), -1);
        EXPECT_EQ(fb.close(), &fb);
    }
    if (haveGzip()) {
        EXPECT_EQ(std::system(("gzip -t " + quoted(path)).c_str()), 0);
    }

    {
        rc4ofstream marked(dir.file("m").c_str(), kOut | csopenmode::encryptFlag);
        EXPECT_TRUE(marked.rdbuf()->isEncrypted());
        marked << "x";
        marked.flush();
        EXPECT_TRUE(marked.fail());  // no enciphered body exists
    }

    const std::string good = TempDir::read(path);
    struct {
        const char* name;
        std::string bytes;
    } bad[] = {
        {"method", std::string("\x1f\x8b\x07\0\0\0\0\0\0\x05", 10) + good.substr(10)},
        {"flags", std::string("\x1f\x8b\x08\x20\0\0\0\0\0\x05", 10) + good.substr(10)},
        {"header", std::string("\x1f\x8b\x08\x08\0\0\0\0\0\x05name", 14)},
        {"deflate", std::string("\x1f\x8b\x08\0\0\0\0\0\0\x05\xff\xff\xff\xff", 14)},
    };
    for (auto& b : bad) {
        rc4ifstream in(dir.write("bad", b.bytes).c_str(), kIn);
        EXPECT_EQ(readAll(in), "") << b.name;
    }
    // Truncated inside the deflate data: what came through is a prefix, and reading ends.
    const std::string long_ = dir.file("long.gz");
    const std::string data = text(50000);
    writeThrough(Layer::gzip, long_, data);
    const std::string cut = dir.write("cut.gz", TempDir::read(long_).substr(0, 3000));
    const std::string got = readThrough(Layer::gzip, cut);
    EXPECT_LT(got.size(), data.size());
    EXPECT_EQ(got, data.substr(0, got.size()));
}

TEST(zfilebufTest, DestroyingOpenStreamsLeavesReadableFiles)
{
    TempDir dir;
    const std::string data = text(40000);
    for (Layer layer : {Layer::plain, Layer::rc4, Layer::gzip}) {
        const std::string path = dir.file("d" + std::to_string(int(layer)));
        {
            rc4ofstream out(path.c_str(), kOut | (layer == Layer::gzip ? csopenmode::compressFlag : 0));
            if (layer == Layer::rc4) {
                ASSERT_EQ(out.rdbuf()->writeHeader("key"), 1);
            }
            out.write(data.data(), std::streamsize(data.size()));
        }
        EXPECT_EQ(readThrough(layer, path), data) << int(layer);
    }
}

TEST(zfilebufTest, StreamClassesOpenPrintfAndReportFailures)
{
    TempDir dir;
    const std::string path = dir.file("f");
    {
        rc4fstream f;
        EXPECT_FALSE(f.is_open());
        f.open(path.c_str(), csopenmode::out | csopenmode::binary);
        ASSERT_TRUE(f.good());
        const std::string longText(5000, 'z');
        EXPECT_EQ(f.printf("%d-%s", 42, longText.c_str()), 5003);
        EXPECT_EQ(f.printf("%s", ""), 0);
        EXPECT_FALSE(f.setbuf(nullptr, 0));  // only while closed
        f.clear();
        EXPECT_TRUE(f.close());
        EXPECT_EQ(TempDir::read(path), "42-" + longText);
        EXPECT_FALSE(f.close());
        EXPECT_TRUE(f.fail());
    }
    rc4ifstream missing(dir.file("none").c_str());
    EXPECT_TRUE(missing.fail());
    rc4ifstream in;
    in.open(path.c_str(), csopenmode::binary);  // in is added
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.rdbuf()->tell(), 0);
    in.seekg(3);
    EXPECT_EQ(in.get(), 'z');
    const int h = ::open(path.c_str(), O_RDONLY);
    {
        char small[5];
        rc4ifstream attached(h, small, 5);
        EXPECT_EQ(readAll(attached), "42-" + std::string(5000, 'z'));
        EXPECT_EQ(attached.rdbuf()->bufferLength(), 5u);
    }
    EXPECT_EQ(::close(h), 0);  // the stream left the handle open
    rc4ofstream text(dir.file("t").c_str());  // text mode
    text << "a\nb";
    text.close();
    EXPECT_EQ(TempDir::read(dir.file("t")), "a\r\nb");
}
