// Tests of the number texts: padding that never cuts.
#include "services/NumberFormat.h"

#include <gtest/gtest.h>

#include <string>

TEST(NumberFormat, NumberTextsArePaddedAndNeverCut)
{
    EXPECT_STREQ(intToString(-42).data(), "-42");
    EXPECT_STREQ(formatInt(42, 5).data(), "00042");
    EXPECT_STREQ(formatInt(123456, 3).data(), "123456");
    EXPECT_STREQ(formatDouble(3.14159, 3, 2).data(), "003.14");
    EXPECT_STREQ(formatDouble(7.0, 2, 0).data(), "07");
    RWCString huge = formatDouble(1e300, 1, 2);
    EXPECT_EQ(huge.length(), 304u);  // 301 digits, the point and two decimals
    EXPECT_EQ(std::string(huge.data()).substr(0, 2), "10");
    EXPECT_EQ(formatInt(1, 600).length(), 600u);
}
