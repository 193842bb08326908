// Tests of percent escapes.
#include "services/PercentEscapes.h"

#include <gtest/gtest.h>

TEST(PercentEscapes, PercentEscapes)
{
    EXPECT_STREQ(percentDecode("a%20b").data(), "a b");
    EXPECT_STREQ(percentDecode("%4a%4A").data(), "JJ");
    EXPECT_STREQ(percentDecode("ab%2").data(), "ab%2");
    EXPECT_STREQ(percentDecode("ab%").data(), "ab%");
    // A '%' without two hexadecimal digits is copied and the text after it read on.
    EXPECT_STREQ(percentDecode("100%zz%41").data(), "100%zzA");
    EXPECT_STREQ(percentEncode("a b/\x01", "ab").data(), "a%20b%2F%01");
    EXPECT_STREQ(percentDecode(percentEncode("x y%z", "xyz")).data(), "x y%z");
}
