// Tests of rc4cipher (published known answers, keys, saved states, hex texts) and rc4filebuf
// (the magic, enciphered reading and writing, positioning over the key stream).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/streams/rc4fstream.h"
#include "tests/support/TempDir.h"

namespace {

std::string crypt(const std::string& key, std::string text)
{
    rc4cipher c;
    EXPECT_TRUE(c.setKey(key.data(), key.size()));
    c.crypt(text.data(), text.size());
    return text;
}

std::string hex(const std::string& bytes)
{
    const RWCString h = hexEncode(RWCString(bytes.data(), bytes.size()));
    return std::string(h.data(), h.length());
}

std::string keyStream(const std::string& key, size_t n)
{
    return crypt(key, std::string(n, '\0'));
}

// Records the size of every raw read.
class CountingRc4 : public rc4filebuf {
public:
    int rawRead(char* p, int n) override
    {
        reads.push_back(n);
        return rc4filebuf::rawRead(p, n);
    }
    std::vector<int> reads;
};

std::string sample(size_t n)
{
    std::string s(n, ' ');
    for (size_t i = 0; i < n; ++i)
        s[i] = char('a' + (i * 7 + i / 13) % 26);
    return s;
}

}  // namespace

TEST(rc4cipherTest, MatchesPublishedKnownAnswers)
{
    struct {
        std::string key, plain, cipherHex;
    } cases[] = {
        {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
        {"Wiki", "pedia", "1021BF0420"},
        {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
        {std::string("\x01\x02\x03\x04\x05", 5), std::string(16, '\0'), "B2396305F03DC027CCC3524A0A1118A8"},
    };
    for (auto& c : cases)
        EXPECT_EQ(hex(crypt(c.key, c.plain)), c.cipherHex) << c.key;
}

TEST(rc4cipherTest, KeysStatesAndStrings)
{
    rc4cipher c;
    const std::string longest(512, 'k');
    EXPECT_FALSE(c.setKey("", 0));
    EXPECT_FALSE(c.setKey(std::string(513, 'k').data(), 513));
    EXPECT_EQ(c.keyLength(), 0u);
    char unkeyed[4] = {1, 2, 3, 4};
    c.crypt(unkeyed, 4);  // no key yet: defined, no fault
    EXPECT_TRUE(c.setKey(longest.data(), longest.size()));

    c.saveState(true);
    char first[8] = {}, second[8] = {};
    c.crypt(first, 8);
    c.restoreState();
    c.crypt(second, 8);
    EXPECT_EQ(std::string(first, 8), std::string(second, 8));
    c.restoreState();  // nothing saved: no change

    c.reset();
    const RWCString secret = c.cryptString("message");
    EXPECT_NE(secret, "message");
    c.reset();
    EXPECT_EQ(c.cryptString(secret), "message");
    EXPECT_EQ(c.cryptString(""), "");

    EXPECT_EQ(hexEncode("abc"), "616263");
    EXPECT_EQ(hexEncode(RWCString("\xff\x00", 2)), "FF00");
    EXPECT_EQ(hexDecode("61626"), "ab");
    EXPECT_EQ(hexDecode("4a4A"), "@J");  // lower-case digits count 0
}

TEST(rc4filebufTest, HeaderEnciphersWithCallerAndDefaultKey)
{
    TempDir dir;
    const std::string path = dir.file("e");
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(path.c_str(), csopenmode::out), nullptr);
        EXPECT_EQ(fb.writeHeader("pass"), 1);
        EXPECT_EQ(fb.writeHeader("other"), 1);
        fb.sputn("abc", 3);
        EXPECT_EQ(fb.close(), &fb);
    }
    const std::string bytes = TempDir::read(path);
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 9), "CSBINF001");
    const std::string ks = keyStream("pass" + std::string(rc4filebuf::defaultKey().data()), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(char(bytes[9 + i] ^ ks[i]), "abc"[i]);

    // A second open fails and leaves the first file enciphering.
    const std::string again = dir.file("again");
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(again.c_str(), csopenmode::out | csopenmode::binary), nullptr);
        ASSERT_EQ(fb.writeHeader("pass"), 1);
        EXPECT_EQ(fb.open(dir.file("second").c_str(), csopenmode::out), nullptr);
        EXPECT_TRUE(fb.isActive());
        fb.sputn("abc", 3);
        EXPECT_EQ(fb.close(), &fb);
    }
    EXPECT_EQ(TempDir::read(again), bytes);

    // The other accepted magic deciphers the same way.
    const std::string older = dir.write("o", "CRYPTIO01" + bytes.substr(9));
    for (const std::string& p : {path, older}) {
        rc4filebuf fb;
        ASSERT_NE(fb.open(p.c_str(), csopenmode::in), nullptr);
        EXPECT_EQ(fb.readHeader("pass"), 1);
        char got[8] = {};
        EXPECT_EQ(fb.sgetn(got, 8), 3);
        EXPECT_EQ(std::string(got, 3), "abc");
        EXPECT_EQ(fb.tell(), 3);
        EXPECT_EQ(fb.size(), 3);
    }
}

TEST(rc4filebufTest, HeaderOperationsOnPlainFilesAndBadPositions)
{
    TempDir dir;
    const std::string plain = dir.write("plain", "12345");
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(plain.c_str(), csopenmode::in), nullptr);
        EXPECT_EQ(fb.readHeader(nullptr), 0);
        EXPECT_FALSE(fb.isActive());
        char got[8] = {};
        EXPECT_EQ(fb.sgetn(got, 8), 5);
        EXPECT_EQ(std::string(got, 5), "12345");
        EXPECT_EQ(fb.readHeader(nullptr), -1);  // not at 0 any more
    }
    const std::string late = dir.file("late");
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(late.c_str(), csopenmode::out | csopenmode::binary), nullptr);
        EXPECT_EQ(fb.rawWrite("x", 1), 1);
        EXPECT_EQ(fb.writeHeader(nullptr), -1);
        EXPECT_TRUE(fb.isActive());  // enciphers from then on
        EXPECT_EQ(fb.tell(), -1);
        EXPECT_EQ(fb.rawWrite("y", 1), 1);
    }
    const std::string bytes = TempDir::read(late);
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'x');
    EXPECT_NE(bytes[1], 'y');
    // Bytes still in the buffer count as written: the magic never lands behind them, and a
    // peek at a file's first byte does not keep its magic from being read.
    const std::string buffered = dir.file("buffered");
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(buffered.c_str(), csopenmode::out | csopenmode::binary), nullptr);
        fb.sputc('x');
        EXPECT_EQ(fb.writeHeader(nullptr), -1);
        fb.sputc('y');
        EXPECT_EQ(fb.close(), &fb);
    }
    const std::string written = TempDir::read(buffered);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], 'x');
    EXPECT_NE(written[1], 'y');
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(dir.write("peeked", "CSBINF001" + crypt("k" + std::string(rc4filebuf::defaultKey().data()), "abc")).c_str(),
                          csopenmode::in | csopenmode::binary),
                  nullptr);
        EXPECT_EQ(fb.sgetc(), 'C');
        EXPECT_EQ(fb.readHeader("k"), 1);
        char got[4] = {};
        EXPECT_EQ(fb.sgetn(got, 4), 3);
        EXPECT_EQ(std::string(got, 3), "abc");
    }
    // A caller's key that makes the whole key longer than 512 bytes is refused visibly.
    rc4filebuf fb;
    ASSERT_NE(fb.open(dir.file("k").c_str(), csopenmode::out), nullptr);
    const std::string tooLong(512 - 104 + 1, 'k');
    EXPECT_EQ(fb.writeHeader(tooLong.c_str()), -1);
    EXPECT_FALSE(fb.isActive());
    EXPECT_EQ(fb.tell(), 0);
    EXPECT_EQ(fb.writeHeader(tooLong.substr(1).c_str()), 1);
}

TEST(rc4filebufTest, SeekingRestartsTheKeyStreamAndStopsAtTheEnd)
{
    TempDir dir;
    const std::string path = dir.file("s");
    const std::string data = sample(5000);
    {
        rc4filebuf fb;
        ASSERT_NE(fb.open(path.c_str(), csopenmode::out | csopenmode::binary), nullptr);
        ASSERT_EQ(fb.writeHeader("k"), 1);
        fb.sputn(data.data(), std::streamsize(data.size()));
    }
    CountingRc4 fb;
    ASSERT_NE(fb.open(path.c_str(), csopenmode::in | csopenmode::binary), nullptr);
    ASSERT_EQ(fb.readHeader("k"), 1);
    EXPECT_EQ(fb.seek(2000, std::ios_base::beg), 2000);
    EXPECT_EQ(fb.reads, (std::vector<int>{1024, 976}));
    EXPECT_EQ(fb.seek(6000, std::ios_base::beg), -1);  // past the end: stops
    EXPECT_EQ(fb.absolutePosition(5, std::ios_base::seekdir(7)), 0);

    // Through the stream: reads and seeks in any order agree with the plain data.
    rc4ifstream in(path.c_str(), csopenmode::in | csopenmode::binary);
    ASSERT_EQ(in.rdbuf()->readHeader("k"), 1);
    char got[100];
    struct {
        long target;  // -1: relative step of +50 from the current position
        std::ios_base::seekdir way;
    } steps[] = {{4000, std::ios_base::beg}, {-100, std::ios_base::end}, {-1, std::ios_base::cur}, {10, std::ios_base::beg}};
    long at = 0;
    in.read(got, 30);
    at = 30;
    EXPECT_EQ(in.tellg(), 30);
    for (auto& s : steps) {
        if (s.target == -1) {
            in.seekg(50, std::ios_base::cur);
            at += 50;
        } else {
            in.seekg(s.target, s.way);
            at = s.way == std::ios_base::end ? long(data.size()) + s.target : s.target;
        }
        EXPECT_EQ(in.tellg(), at);
        in.read(got, 20);
        ASSERT_TRUE(in.good());
        EXPECT_EQ(std::string(got, 20), data.substr(size_t(at), 20)) << at;
        at += 20;
        EXPECT_EQ(in.tellg(), at);
    }
    in.seekg(1234);
    in.read(got, 10);
    EXPECT_EQ(std::string(got, 10), data.substr(1234, 10));
}
