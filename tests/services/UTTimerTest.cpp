// Tests of the seconds timer.
#include "services/UTTimer.h"

#include <gtest/gtest.h>

TEST(UTTimer, ElapsedInWholeSeconds)
{
    UTTimer timer;
    EXPECT_TRUE(timer.isElapsed(0));
    EXPECT_TRUE(timer.isElapsed(999));
    EXPECT_FALSE(timer.isElapsed(3600 * 1000));
}
