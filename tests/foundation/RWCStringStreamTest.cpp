// Tests of reading RWCString from streams and writing it to them.
#include "foundation/RWCString.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

TEST(RWCStringStream, ReadToDelimStopsAfterTheDelimiter)
{
    std::istringstream in("a,b");
    RWCString s;
    s.readToDelim(in, ',');
    EXPECT_EQ(s, "a");
    EXPECT_EQ(in.peek(), 'b');
    s.readToDelim(in, ',');
    EXPECT_EQ(s, "b");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());
    // The next read finds the end and fails, leaving the string empty.
    s.readToDelim(in, ',');
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(in.fail());
}

TEST(RWCStringStream, ReadToDelimAtACleanEnd)
{
    std::istringstream empty("");
    RWCString s("old");
    s.readToDelim(empty, '\n');
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(empty.eof());
    EXPECT_FALSE(empty.fail()); // eof only

    std::istringstream blank("\nx");
    s.readToDelim(blank, '\n');
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(blank.good());
    EXPECT_EQ(blank.peek(), 'x');

    // A delimiter byte above 0x7F is compared as a character, not as end of file.
    std::istringstream high("ab\xff" "cd");
    s.readToDelim(high, '\xff');
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(high.peek(), 'c');
}

TEST(RWCStringStream, LongLinesGrowAndTrim)
{
    std::string line(1000, 'q');
    std::istringstream in(line + "\r\nnext\n");
    RWCString s;
    s.readLine(in, false);
    EXPECT_EQ(s.length(), 1001u);
    EXPECT_EQ(s(1000), '\r'); // a CR before the LF is kept
    EXPECT_LE(s.capacity() - s.length(), 15u);
    s.readLine(in, false);
    EXPECT_EQ(s, "next");
}

TEST(RWCStringStream, ReadLineSkipsWhiteOnlyWhenAsked)
{
    std::istringstream in("  a\n\n\n  b\n");
    RWCString s;
    s.readLine(in, false);
    EXPECT_EQ(s, "  a");
    s.readLine(in, true);
    EXPECT_EQ(s, "b");

    std::istringstream nul(std::string("ab\0cd", 5));
    s.readString(nul);
    EXPECT_EQ(s, "ab");
    s.readString(nul);
    EXPECT_EQ(s, "cd");
}

TEST(RWCStringStream, ReadFileGrowsByDoublingAndTrims)
{
    TempDir dir;
    std::string bytes(100, 'x');
    bytes[50] = '\0';
    std::ifstream in(dir.write("f", bytes), std::ios::binary);
    RWCString s;
    s.readFile(in);
    EXPECT_EQ(s.length(), 100u);
    EXPECT_EQ(s.capacity(), 111u); // 15, 16, 32, 64, 128, then trimmed
    EXPECT_EQ(std::string(s.data(), s.length()), bytes);

    std::istringstream small("abc");
    s.readFile(small);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(s.capacity(), 15u);
}

TEST(RWCStringStream, ReadTokenHonoursWidthAndWhiteSpace)
{
    std::istringstream in("  abcdef ghi");
    RWCString s;
    in.width(3);
    in >> s;
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(in.width(), 0);
    in >> s;
    EXPECT_EQ(s, "def");
    in >> s;
    EXPECT_EQ(s, "ghi");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());

    std::string big(40, 'k');
    std::istringstream longToken(big + " ");
    longToken >> s;
    EXPECT_EQ(s, big.c_str());
    EXPECT_EQ(s.capacity(), 47u);

    std::istringstream white(" \t\n ");
    white >> s;
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(white.eof());
    EXPECT_TRUE(white.fail());
}

TEST(RWCStringStream, WriteHonoursWidthFillAndAdjustment)
{
    RWCString s("abc");
    std::ostringstream right;
    right.fill('*');
    right.width(6);
    right << s;
    EXPECT_EQ(right.str(), "***abc");
    EXPECT_EQ(right.width(), 0);

    std::ostringstream left;
    left.fill('*');
    left.width(6);
    left << std::left << s << "|";
    EXPECT_EQ(left.str(), "abc***|");

    std::ostringstream narrow;
    narrow.width(2);
    narrow << s << "|";
    EXPECT_EQ(narrow.str(), "abc|");

    std::ostringstream nul;
    nul << RWCString("a\0b", 3);
    EXPECT_EQ(nul.str(), std::string("a\0b", 3));
}
