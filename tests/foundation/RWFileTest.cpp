// Tests of RWFile's record format and the bit-set and binary-search helpers.
#include "foundation/RWBitHelpers.h"
#include "foundation/RWFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

TEST(RWFile, OpensWithoutModeCreatingOrUpdating)
{
    TempDir dir;
    std::string path = dir.file("f.bin");
    {
        RWFile f(path.c_str());
        ASSERT_NE(f.stream(), nullptr);
        EXPECT_STREQ(f.mode(), "wb+");
        EXPECT_TRUE(f.exists());
        EXPECT_TRUE(f.isEmpty());
        EXPECT_TRUE(f.write(7));
        EXPECT_FALSE(f.isEmpty());
    }
    RWFile f(path.c_str());
    EXPECT_STREQ(f.mode(), "rb+");
    int v = 0;
    EXPECT_TRUE(f.read(v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(RWFile::exists(path.c_str()));
    EXPECT_FALSE(RWFile::exists(dir.file("missing").c_str()));

    RWFile missing(dir.file("nodir/x").c_str(), "rb");
    EXPECT_EQ(missing.stream(), nullptr);
    EXPECT_FALSE(missing.isValid());
    int w = 0;
    EXPECT_FALSE(missing.read(w));
}

TEST(RWFile, EveryTypeRoundTripsWithExactLittleEndianBytes)
{
    TempDir dir;
    std::string path = dir.file("types.bin");
    {
        RWFile f(path.c_str(), "wb");
        EXPECT_TRUE(f.write(true));
        EXPECT_TRUE(f.write(false));
        EXPECT_TRUE(f.write('A'));
        EXPECT_TRUE(f.write(static_cast<unsigned char>(0xFE)));
        EXPECT_TRUE(f.write(static_cast<short>(-2)));
        EXPECT_TRUE(f.write(static_cast<unsigned short>(0x1234)));
        EXPECT_TRUE(f.write(-5));
        EXPECT_TRUE(f.write(0x89ABCDEFu));
        EXPECT_TRUE(f.write(-70000L));
        EXPECT_TRUE(f.write(0xDEADBEEFUL));
        EXPECT_TRUE(f.write(1.5f));
        EXPECT_TRUE(f.write(-2.25));
        EXPECT_TRUE(f.write("ab"));
    }
    const unsigned char expected[] = {
        '1', '0', 'A', 0xFE,
        0xFE, 0xFF,                                  // short -2
        0x34, 0x12,                                  // unsigned short
        0xFB, 0xFF, 0xFF, 0xFF,                      // int -5
        0xEF, 0xCD, 0xAB, 0x89,                      // unsigned
        0x90, 0xEE, 0xFE, 0xFF,                      // long -70000 in 4 bytes
        0xEF, 0xBE, 0xAD, 0xDE,                      // unsigned long in 4 bytes
        0x00, 0x00, 0xC0, 0x3F,                      // float 1.5
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xC0, // double -2.25
        'a', 'b', 0};
    std::string bytes = TempDir::read(path);
    ASSERT_EQ(bytes.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof expected), 0);

    RWFile f(path.c_str(), "rb");
    bool b1 = false, b2 = true;
    char c = 0;
    unsigned char uc = 0;
    short s = 0;
    unsigned short us = 0;
    int i = 0;
    unsigned u = 0;
    long l = 0;
    unsigned long ul = 0;
    float fl = 0;
    double d = 0;
    char text[8];
    EXPECT_TRUE(f.read(b1) && f.read(b2) && f.read(c) && f.read(uc) && f.read(s) && f.read(us) &&
                f.read(i) && f.read(u) && f.read(l) && f.read(ul) && f.read(fl) && f.read(d) &&
                f.read(text));
    EXPECT_TRUE(b1);
    EXPECT_FALSE(b2);
    EXPECT_EQ(c, 'A');
    EXPECT_EQ(uc, 0xFE);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(us, 0x1234);
    EXPECT_EQ(i, -5);
    EXPECT_EQ(u, 0x89ABCDEFu);
    EXPECT_EQ(l, -70000L);
    EXPECT_EQ(ul, 0xDEADBEEFUL);
    EXPECT_EQ(fl, 1.5f);
    EXPECT_EQ(d, -2.25);
    EXPECT_STREQ(text, "ab");
    EXPECT_FALSE(f.read(c));
    EXPECT_TRUE(f.eof());
}

TEST(RWFile, ArraysAndBoolDecoding)
{
    TempDir dir;
    std::string path = dir.write("arr.bin", std::string("120", 3));
    RWFile f(path.c_str());
    bool flags[3] = {};
    EXPECT_TRUE(f.read(flags, 3));
    EXPECT_TRUE(flags[0]); // '1'
    EXPECT_TRUE(flags[1]); // any byte but '0' is true
    EXPECT_FALSE(flags[2]);

    ASSERT_TRUE(f.erase());
    EXPECT_TRUE(f.isEmpty());
    const bool two[2] = {true, false};
    EXPECT_TRUE(f.write(two, 2));
    const long longs[3] = {1, -1, 0x7FFFFFFF};
    EXPECT_TRUE(f.write(longs, 3));
    EXPECT_TRUE(f.seekTo(2));
    long back[3] = {};
    EXPECT_TRUE(f.read(back, 3));
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[1], -1);
    EXPECT_EQ(back[2], 0x7FFFFFFF);

    // A file of 2 bools read as 3 reports the short read.
    bool three[3];
    RWFile shortFile(dir.write("two.bin", "10").c_str(), "rb");
    EXPECT_FALSE(shortFile.read(three, 3));

    // The extraction allocates a new value.
    EXPECT_TRUE(f.seekTo(2));
    long* p = nullptr;
    f >> p;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, 1);
    delete p;
}

TEST(RWFile, BoundedStringReadNeverOverflows)
{
    TempDir dir;
    std::string path = dir.write("s.bin", std::string("hello\0x", 7));
    RWFile f(path.c_str(), "rb");
    char small[4];
    EXPECT_FALSE(f.readString(small, sizeof small)); // cut, but consumed to the NUL
    EXPECT_STREQ(small, "hel");
    char rest[4];
    EXPECT_TRUE(f.readString(rest, sizeof rest));
    EXPECT_STREQ(rest, "x");
}

TEST(RWFile, EraseTwiceAndDestroyIsSafe)
{
    TempDir dir;
    std::string path = dir.write("e.bin", "data");
    RWFile f(path.c_str());
    EXPECT_TRUE(f.erase());
    EXPECT_STREQ(f.mode(), "wb+");
    EXPECT_TRUE(f.erase());
    EXPECT_EQ(TempDir::read(path), "");
}

TEST(RWBitHelpers, FirstSetAndClearBit)
{
    const unsigned char bytes[] = {0x00, 0x04};
    EXPECT_EQ(firstSetBit(bytes, 16), 10u);
    EXPECT_EQ(firstSetBit(bytes, 10), std::numeric_limits<size_t>::max());
    EXPECT_EQ(firstSetBit(bytes, 11), 10u);
    const unsigned char full[] = {0xFF, 0xF7};
    EXPECT_EQ(firstClearBit(full, 16), 11u);
    EXPECT_EQ(firstClearBit(full, 11), std::numeric_limits<size_t>::max());

    unsigned char a[2] = {0x0F, 0xF0};
    const unsigned char b[2] = {0x3C, 0x3C};
    bitOr(a, b, 2);
    EXPECT_EQ(a[0], 0x3F);
    EXPECT_EQ(a[1], 0xFC);
    bitXor(a, b, 2);
    EXPECT_EQ(a[0], 0x03);
    EXPECT_EQ(a[1], 0xC0);
    bitAnd(a, b, 2);
    EXPECT_EQ(a[0], 0x00);
    EXPECT_EQ(a[1], 0x00);
}

static int compareInt(const void* element, const void* key)
{
    int e = *static_cast<const int*>(element);
    int k = *static_cast<const int*>(key);
    return (e > k) - (e < k);
}

TEST(RWBitHelpers, BinarySearch)
{
    const int v[] = {2, 4, 6, 8, 10};
    struct Case {
        int key;
        bool found;
        size_t index;
    } cases[] = {{2, true, 0}, {6, true, 2}, {10, true, 4}, {8, true, 3},
                 {1, false, 0}, {11, false, 4}};
    for (const Case& c : cases) {
        size_t index = 99;
        EXPECT_EQ(binarySearch(&c.key, v, 5, sizeof(int), compareInt, index), c.found) << c.key;
        EXPECT_EQ(index, c.index) << c.key;
    }
    size_t index = 99;
    EXPECT_FALSE(binarySearch(&v[0], v, 0, sizeof(int), compareInt, index));
    EXPECT_EQ(index, 0u);
}
