// Tests of csfilebuffer and its base: open modes, text mode, unbuffered use, attached handles,
// positions after mixed reads, writes and seeks; and the exceptions.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <vector>

#include "services/streams/Exception.h"
#include "services/streams/csfilebuffer.h"
#include "tests/support/TempDir.h"

namespace {

// Records the size of every raw call.
class CountingBuffer : public csfilebuffer {
public:
    int rawRead(char* p, int n) override
    {
        reads.push_back(n);
        return csfilebuffer::rawRead(p, n);
    }
    int rawWrite(const char* p, int n) override
    {
        writes.push_back(n);
        return csfilebuffer::rawWrite(p, n);
    }
    std::vector<int> reads, writes;
};

std::string readAll(std::streambuf& sb)
{
    return std::string(std::istreambuf_iterator<char>(&sb), std::istreambuf_iterator<char>());
}

constexpr int kBinaryOut = csopenmode::out | csopenmode::binary;
constexpr int kBinaryIn = csopenmode::in | csopenmode::binary;

}  // namespace

TEST(csopenmodeTest, ModesMapToOpenFlagsAndStandardModes)
{
    struct {
        int mode;
        int normalized;
        int flags;
    } cases[] = {
        {csopenmode::in, csopenmode::in, O_RDONLY},
        {csopenmode::out, csopenmode::out | csopenmode::trunc, O_WRONLY | O_CREAT | O_TRUNC},
        {csopenmode::app, csopenmode::app | csopenmode::out, O_WRONLY | O_CREAT | O_APPEND},
        {csopenmode::in | csopenmode::out, csopenmode::in | csopenmode::out, O_RDWR | O_CREAT},
        {csopenmode::out | csopenmode::ate, csopenmode::out | csopenmode::ate, O_WRONLY | O_CREAT},
    };
    for (auto& c : cases) {
        EXPECT_EQ(csopenmode::normalize(c.mode), c.normalized) << c.mode;
        EXPECT_EQ(csopenmode::toOpenFlags(c.normalized), c.flags | O_CLOEXEC) << c.mode;
    }
    const int all = csopenmode::in | csopenmode::out | csopenmode::ate | csopenmode::app | csopenmode::trunc | csopenmode::binary;
    EXPECT_EQ(csopenmode::toStd(all | csopenmode::compressFlag),
              std::ios_base::in | std::ios_base::out | std::ios_base::ate | std::ios_base::app |
                  std::ios_base::trunc | std::ios_base::binary);
    EXPECT_EQ(csopenmode::fromStd(csopenmode::toStd(all)), all);
}

TEST(csfilebufferTest, OpenModesCreateTruncateAppendAndReadOnly)
{
    TempDir dir;
    const std::string path = dir.write("f", "old contents");
    {
        csfilebuffer fb;
        ASSERT_NE(fb.open(path.c_str(), kBinaryOut), nullptr);
        EXPECT_EQ(fb.open(path.c_str(), kBinaryOut), nullptr);  // a second open fails...
        EXPECT_TRUE(fb.is_open());                               // ...and keeps the first
        fb.sputn("new", 3);
        EXPECT_EQ(fb.close(), &fb);
        EXPECT_EQ(fb.close(), nullptr);
    }
    EXPECT_EQ(TempDir::read(path), "new");
    {
        csfilebuffer fb;
        ASSERT_NE(fb.open(path.c_str(), csopenmode::app | csopenmode::binary), nullptr);
        EXPECT_EQ(fb.tell(), 3);
        fb.sputn("er", 2);
    }
    EXPECT_EQ(TempDir::read(path), "newer");
    csfilebuffer fb;
    ASSERT_NE(fb.open(path.c_str(), kBinaryIn), nullptr);
    EXPECT_EQ(fb.rawWrite("x", 1), -1);
    EXPECT_EQ(readAll(fb), "newer");
    EXPECT_EQ(fb.size(), 5);
    csfilebuffer missing;
    EXPECT_EQ(missing.open(dir.file("none").c_str(), kBinaryIn), nullptr);
    EXPECT_EQ(missing.pubsync(), -1);
    EXPECT_EQ(missing.open(dir.path().c_str(), kBinaryIn), nullptr);
}

TEST(csfilebufferTest, TextModeWritesCrLfAndReadsUntranslated)
{
    TempDir dir;
    const std::string path = dir.file("t");
    {
        csfilebuffer fb;
        ASSERT_NE(fb.open(path.c_str(), csopenmode::out), nullptr);
        EXPECT_TRUE(fb.isTextMode());
        fb.sputn("a\nb", 3);
        EXPECT_EQ(fb.setMode(csfilebuffer::binaryTranslation), csfilebuffer::binaryTranslation);
        EXPECT_EQ(fb.setMode(7), -1);
    }
    EXPECT_EQ(TempDir::read(path), "a\r\nb");
    csfilebuffer fb;
    ASSERT_NE(fb.open(path.c_str(), csopenmode::in), nullptr);
    EXPECT_EQ(readAll(fb), "a\r\nb");
}

TEST(csfilebufferTest, UnbufferedMovesEveryByteAlone)
{
    TempDir dir;
    const std::string path = dir.file("u");
    {
        CountingBuffer fb;
        ASSERT_NE(fb.pubsetbuf(nullptr, 0), nullptr);
        ASSERT_NE(fb.open(path.c_str(), kBinaryOut), nullptr);
        fb.sputn("abc", 3);
        EXPECT_EQ(fb.writes, (std::vector<int>{1, 1, 1}));
    }
    CountingBuffer fb;
    fb.pubsetbuf(nullptr, 0);
    ASSERT_NE(fb.open(path.c_str(), kBinaryIn), nullptr);
    EXPECT_EQ(fb.sbumpc(), 'a');
    EXPECT_EQ(fb.pubseekoff(0, std::ios_base::cur), 1);
    EXPECT_EQ(readAll(fb), "bc");
    EXPECT_EQ(fb.reads, (std::vector<int>{1, 1, 1, 1}));
}

TEST(csfilebufferTest, AttachedHandleStaysOpenAndGetsPendingOutput)
{
    TempDir dir;
    const std::string path = dir.file("a");
    const int h = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(h, 0);
    {
        csfilebuffer fb(h);
        EXPECT_TRUE(fb.is_open());
        EXPECT_EQ(fb.attach(h), nullptr);
        fb.sputn("kept", 4);
    }
    EXPECT_NE(::fcntl(h, F_GETFD), -1);
    EXPECT_EQ(TempDir::read(path), "kept");
    ::close(h);
}

TEST(csfilebufferTest, PositionsFollowMixedReadsWritesAndSeeks)
{
    TempDir dir;
    const std::string path = dir.write("p", "0123456789abcdefghij");
    csfilebuffer fb;
    ASSERT_NE(fb.open(path.c_str(), csopenmode::in | csopenmode::out | csopenmode::binary), nullptr);
    char got[4] = {};
    EXPECT_EQ(fb.sgetn(got, 3), 3);
    EXPECT_EQ(std::string(got, 3), "012");
    EXPECT_EQ(fb.pubseekoff(0, std::ios_base::cur), 3);
    EXPECT_EQ(fb.pubseekoff(4, std::ios_base::cur), 7);
    EXPECT_EQ(fb.sbumpc(), '7');
    EXPECT_EQ(fb.pubseekpos(15), 15);
    EXPECT_EQ(fb.sbumpc(), 'f');
    EXPECT_EQ(fb.pubseekoff(-2, std::ios_base::end), 18);
    EXPECT_EQ(fb.sbumpc(), 'i');
    // sync gives the read-ahead back, so the file and the stream agree.
    EXPECT_EQ(fb.pubseekoff(2, std::ios_base::beg), 2);
    EXPECT_EQ(fb.sbumpc(), '2');
    EXPECT_EQ(fb.pubsync(), 0);
    EXPECT_EQ(fb.tell(), 3);
    // Writing after a read lands at the read position.
    EXPECT_EQ(fb.sbumpc(), '3');
    fb.sputn("XY", 2);
    EXPECT_EQ(fb.pubseekoff(0, std::ios_base::cur), 6);
    EXPECT_EQ(fb.sbumpc(), '6');
    EXPECT_EQ(fb.close(), &fb);
    EXPECT_EQ(TempDir::read(path), "0123XY6789abcdefghij");
}

TEST(ExceptionTest, FileExceptionCopiesAndNewHandlerThrows)
{
    const FileException original("end of data", 6);
    FileException copy = original;
    EXPECT_EQ(copy.message(), "end of data");
    EXPECT_EQ(copy.code(), 6);
    try {
        throw copy;
    } catch (const Exception&) {
        SUCCEED();
    }

    installMemoryExceptionHandler();
    std::new_handler handler = std::get_new_handler();
    ASSERT_NE(handler, nullptr);
    EXPECT_THROW(handler(), MemoryException);
    removeMemoryExceptionHandler();
    EXPECT_EQ(std::get_new_handler(), nullptr);
}
