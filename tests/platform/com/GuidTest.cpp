// Tests of identifiers in their registry text form.
#include "platform/com/Guid.h"

#include <gtest/gtest.h>

using platform::com::Guid;

TEST(Guid, TextFormRoundTripsAndBadTextIsRefused)
{
    const Guid g{0x0123ABCD, 0x4567, 0x89EF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(g.toString(), "{0123ABCD-4567-89EF-0123-456789ABCDEF}");
    EXPECT_EQ(Guid::parse(g.toString()), g);
    EXPECT_EQ(Guid::parse("0123abcd-4567-89ef-0123-456789abcdef"), g);
    for (const char* bad : {"", "{0123ABCD-4567-89EF-0123-456789ABCDEF", "0123ABCD+4567-89EF-0123-456789ABCDEF",
                            "0123ABCG-4567-89EF-0123-456789ABCDEF", "{0123ABCD-4567-89EF-0123-456789ABCDE}"})
        EXPECT_FALSE(Guid::parse(bad).has_value()) << bad;
}
