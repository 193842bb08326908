// Tests of the tessellation quality level and its angle table.
#include "geometry/display/TessellationQuality.h"

#include <gtest/gtest.h>

TEST(TessellationQuality, AngleTableByLevel)
{
    // size 1 with references 100, 10 and 5 gives ratios 0.02, 0.2 (not below 0.2) and 0.4; 6.0 gives 0.33.
    struct Case {
        int level;
        double coarse, medium, fine;
    } cases[] = {{0, 45, 45, 30}, {1, 45, 30, 15}, {2, 30, 30, 15}, {3, 30, 15, 7.5}, {4, 15, 15, 7.5}, {9, 45, 30, 15},
                 {-1, 45, 30, 15}};
    for (const Case& c : cases) {
        EXPECT_EQ(setTessellationQuality(c.level), c.level);
        EXPECT_EQ(tessellationAngle(1.0, 100.0), c.coarse) << c.level;
        EXPECT_EQ(tessellationAngle(1.0, 20.0), c.medium) << c.level;  // ratio 0.1
        EXPECT_EQ(tessellationAngle(1.0, 10.0), c.fine) << c.level;    // ratio 0.2
        EXPECT_EQ(tessellationAngle(1.0, 5.0), c.fine) << c.level;
        EXPECT_EQ(tessellationAngle(1.0, 0.0), c.fine) << c.level;
    }
    setTessellationQuality(1);
    EXPECT_EQ(tessellationQuality(), 1);
}
