// Tests of opening named files as regular files only and reading them whole up to a cap.
#include "services/files/RegularFile.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

TEST(RegularFileTest, SpecialFilesAreRefusedWithoutBlocking)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(30);  // a FIFO without a writer would block a plain open: never wait for ever
    for (const std::string& name : {fifo, std::string("/dev/zero"), dir.path(), dir.file("missing"), std::string()}) {
        EXPECT_EQ(openRegularFile(name.c_str()), -1) << name;
        std::string bytes = "old";
        EXPECT_FALSE(readRegularFile(name.c_str(), bytes)) << name;
        EXPECT_TRUE(bytes.empty()) << name;
    }
    ::alarm(0);
    EXPECT_EQ(openRegularFile(nullptr), -1);
}

TEST(RegularFileTest, ReadsWholeUpToTheCap)
{
    TempDir dir;
    const std::string text(100, 'x');
    const std::string path = dir.write("f.txt", text);
    std::string bytes;
    EXPECT_TRUE(readRegularFile(path.c_str(), bytes, 100));
    EXPECT_EQ(bytes, text);
    EXPECT_FALSE(readRegularFile(path.c_str(), bytes, 99));
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(readRegularFile(dir.write("empty", "").c_str(), bytes, 0));

    uint64_t size = 0;
    const int fd = openRegularFile(path.c_str(), &size);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, 100u);
    ::close(fd);

    // A regular file whose stated size is 0 and whose bytes are made while it is read: the cap
    // holds while reading too.
    EXPECT_FALSE(readRegularFile("/proc/self/maps", bytes, 8));
}
