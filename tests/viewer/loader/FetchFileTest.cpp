// Tests of the in-memory files that fetches write into.
#include "viewer/loader/FetchFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

#include "geometry/display/MemoryBlockC.h"
#include "tests/support/TempDir.h"

TEST(MemFile, WritesGrowCutAndRefuseWhatCannotBeHeld)
{
    MemFileC f;
    ASSERT_TRUE(f.Write("abcdef", 6));
    ASSERT_TRUE(f.SetLength(3));
    ASSERT_TRUE(f.Write("XY", 2));  // the position was clamped to the new end
    ASSERT_TRUE(f.SetLength(7));    // zero-extended
    EXPECT_EQ(std::string(f.Data(), size_t(f.GetLength())), std::string("abcXY\0\0", 7));
    ASSERT_TRUE(f.SeekToBegin());
    ASSERT_TRUE(f.Write("Z", 1));
    EXPECT_EQ(std::string(f.Data(), size_t(f.GetLength())), std::string("ZbcXY\0\0", 7));
    // Lengths no memory can hold fail at once, leaving the file as it was.
    for (uint64_t huge : {UINT64_MAX, (uint64_t(1) << 63) + 1}) {
        EXPECT_FALSE(f.SetLength(huge)) << huge;
        EXPECT_EQ(f.GetLength(), 7u);
    }
}

// A block file ends with the same bytes as the in-memory file after the same writes, whether the
// bytes went straight into the block (room taken first) or were gathered and copied.
TEST(BlockFile, EndsWithTheBytesOfTheSameWritesIntoMemory)
{
    auto fill = [](FetchFileI& f, const char* text) {
        char* room = f.Extend(std::strlen(text));
        ASSERT_NE(room, nullptr);
        std::memcpy(room, text, std::strlen(text));
    };
    const std::function<void(FetchFileI&)> cases[] = {
        [&](FetchFileI& f) { fill(f, "whole file"); },
        [&](FetchFileI& f) { fill(f, "grew"), f.Write(" later", 6); },
        [&](FetchFileI& f) { fill(f, "shrank"), f.SetLength(3); },
        [&](FetchFileI& f) { fill(f, "failed"), f.SetLength(0); },
        [&](FetchFileI& f) { fill(f, "rewound"), f.SeekToBegin(), f.Write("R", 1); },
        [&](FetchFileI& f) { fill(f, "twice"), fill(f, " over"); },
        [&](FetchFileI& f) { f.Write("piece", 5), fill(f, " then room"); },
        [&](FetchFileI& f) { f.Write("", 0); },
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        MemFileC memory;
        cases[i](memory);
        MemoryBlockC block;
        ASSERT_TRUE(block.Allocate(4));  // what a block held before is replaced
        BlockFileC file(block);
        cases[i](file);
        EXPECT_EQ(file.GetLength(), memory.GetLength()) << i;
        ASSERT_TRUE(file.Finish()) << i;
        EXPECT_EQ(std::string(block.GetData(), block.GetSize()), std::string(memory.Data() ? memory.Data() : "", size_t(memory.GetLength())))
            << i;
        EXPECT_EQ(block.GetData()[block.GetSize()], '\0') << i;
    }
    // Room taken at once is the block itself: the bytes are not copied again.
    MemoryBlockC block;
    BlockFileC file(block);
    const char* room = file.Extend(100);
    ASSERT_TRUE(file.Finish());
    EXPECT_EQ(block.GetData(), room);
    EXPECT_EQ(block.GetSize(), 100u);
}

// The start of a file read in pieces side by side gives the file's bytes and leaves the position
// after them, whatever the pieces; a file shorter than it said gives what it holds, up to the
// first piece that came short.
TEST(ReadFileStart, GivesTheBytesThereAreFromTheBeginning)
{
    TempDir dir;
    std::string bytes(1000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 251);
    const std::string path = dir.write("data", bytes);
    struct Case {
        uint64_t asked, pieceBytes, got;
    } cases[] = {
        {1000, 0, 1000},   {1000, 1000, 1000}, {1000, 100, 1000}, {1000, 249, 1000},  // whole, in 1 to 4 pieces
        {600, 100, 600},                                                             // less than there is
        {1300, 100, 1000}, {4000, 1000, 1000}, {1001, 250, 1000},  // it shrank: the last piece or more came short
        {0, 100, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.asked) + " in pieces of " + std::to_string(c.pieceBytes));
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        std::string room(size_t(c.asked), '#');
        uint64_t got = 99;
        EXPECT_TRUE(ReadFileStart(fd, room.data(), c.asked, got, c.pieceBytes));
        EXPECT_EQ(got, c.got);
        EXPECT_TRUE(room.substr(0, size_t(got)) == bytes.substr(0, size_t(got)));
        char next = 0;
        EXPECT_EQ(::read(fd, &next, 1), got < bytes.size() ? 1 : 0);  // the position is after them
        if (got < bytes.size()) {
            EXPECT_EQ(next, bytes[size_t(got)]);
        }
        ::close(fd);
    }
    // Bytes still on the disk (dropped from memory, as far as the system lets us) are read by
    // one reader, to the same bytes.
    {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        std::string room(1000, '#');
        uint64_t got = 0;
        EXPECT_TRUE(ReadFileStart(fd, room.data(), 1000, got, 100));
        EXPECT_EQ(got, 1000u);
        EXPECT_TRUE(room == bytes);
        ::close(fd);
    }
    // A read that fails says so, with errno telling why.
    const int writeOnly = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(writeOnly, 0);
    std::string room(1000, '#');
    uint64_t got = 0;
    errno = 0;
    EXPECT_FALSE(ReadFileStart(writeOnly, room.data(), 1000, got, 100));
    EXPECT_EQ(errno, EBADF);
    ::close(writeOnly);
}
