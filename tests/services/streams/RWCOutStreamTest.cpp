// Tests of RWCOutStream: blockwise delivery into the string, overwriting and gap filling.
#include <gtest/gtest.h>

#include "services/streams/RWCOutStream.h"

TEST(RWCOutStreamTest, BytesReachTheStringAtFlushAndOverwriteFromTheStart)
{
    RWCString s;
    {
        RWCOutStream out(s);
        out << "abc";
        EXPECT_EQ(s, "");
        out.flush();
        EXPECT_EQ(s, "abc");
        s = "";  // the caller shortens the string: blanks fill the gap
        out << 'd';
        out.flush();
        EXPECT_EQ(s, "   d");
        out << "ef";
    }
    EXPECT_EQ(s, "   def");

    RWCString t("xyz12");
    {
        RWCOutStream out(t);
        out << "ab";
        out.flush();
        EXPECT_EQ(t, "abz12");
        out << "cdefg";  // runs past the end
    }
    EXPECT_EQ(t, "abcdefg");
}

TEST(RWCOutStreamTest, FullBufferDeliversBlocksAndInputIsAlwaysAtItsEnd)
{
    RWCString s;
    RWCOutStream out(s);
    const std::string big(40000, 'q');
    out.write(big.data(), std::streamsize(big.size()));
    EXPECT_EQ(s.length(), 32768u);
    out.flush();
    EXPECT_EQ(std::string(s.data(), s.length()), big);
    EXPECT_EQ(out.rdbuf()->sgetc(), EOF);

    RWCString u;
    RWCOutStreamBuf unbuffered(u);
    unbuffered.pubsetbuf(nullptr, 0);
    unbuffered.sputn("now", 3);
    EXPECT_EQ(u, "now");
}
