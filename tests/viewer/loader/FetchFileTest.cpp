// Tests of the in-memory file that fetches write into.
#include "viewer/loader/FetchFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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
