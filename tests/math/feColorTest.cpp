// Tests of feColor: hex parsing and writing, byte channels and the HLS triple kept in step.
#include "math/feColor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void expectHLS(const feColor& c, float h, float l, float s) {
    EXPECT_NEAR(c.hue(), h, 1e-4);
    EXPECT_NEAR(c.lightness(), l, 1e-6);
    EXPECT_NEAR(c.saturation(), s, 1e-6);
}

}  // namespace

TEST(feColorTest, DefaultIsBlackTransparentWithZeroHLS) {
    const feColor c;
    EXPECT_EQ(c.r(), 0.0f);
    EXPECT_EQ(c.alpha(), 0.0f);
    expectHLS(c, 0, 0, 0);
}

TEST(feColorTest, ParsesEveryAcceptedForm) {
    struct Case {
        const char* text;
        int a, r, g, b;
    } cases[] = {
        {"FF0000", 77, 255, 0, 0},     // alpha untouched (77 is the start value)
        {"#00ff80", 77, 0, 255, 128},  // '#' and lower case
        {"ff8000", 77, 255, 128, 0},
        {"80FF0000", 128, 255, 0, 0},
        {"#80FF0000", 128, 255, 0, 0},
        {"#0a0B0c0D", 10, 11, 12, 13},
    };
    for (const Case& t : cases) {
        feColor c;
        c.setAlphaByte(77);
        ASSERT_TRUE(c.setFromString(t.text)) << t.text;
        EXPECT_FLOAT_EQ(c.alpha(), t.a / 255.0f) << t.text;
        EXPECT_FLOAT_EQ(c.r(), t.r / 255.0f) << t.text;
        EXPECT_FLOAT_EQ(c.g(), t.g / 255.0f) << t.text;
        EXPECT_FLOAT_EQ(c.b(), t.b / 255.0f) << t.text;
    }
}

TEST(feColorTest, RejectsMalformedTextWithoutChangingColour) {
    const char* bad[] = {"#12345", "1234567", "#1234567", "GG0000", "", "FFF", "0xFF0000", " FF0000",
                         "FF00 0", "##FF0000", "FF0000#", "123456789"};
    for (const char* text : bad) {
        feColor c(0.25f, 0.5f, 0.75f, 1.0f);
        EXPECT_FALSE(c.setFromString(text)) << text;
        EXPECT_TRUE(c == feColor(0.25f, 0.5f, 0.75f, 1.0f)) << text;
    }
}

TEST(feColorTest, BadColourDigitInAlphaFormKeepsStoredAlpha) {
    feColor c(0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_FALSE(c.setFromString("80GG0000"));
    EXPECT_EQ(c.alphaByte(), 128);
    EXPECT_FLOAT_EQ(c.r(), 0.25f);
    EXPECT_FLOAT_EQ(c.g(), 0.5f);
}

TEST(feColorTest, HLSFollowsEverySetter) {
    feColor c;
    ASSERT_TRUE(c.setFromString("FF0000"));
    expectHLS(c, 0, 0.5f, 1);
    c.setGreenByte(255);  // yellow
    expectHLS(c, 60, 0.5f, 1);
    c.setRedByte(0);  // green
    expectHLS(c, 120, 0.5f, 1);
    c.setBlueByte(255);  // cyan
    expectHLS(c, 180, 0.5f, 1);
    c.set(0, 0, 1, 1);
    expectHLS(c, 240, 0.5f, 1);
    c.set(1, 0, 1, 1);  // magenta: negative hue wrapped
    expectHLS(c, 300, 0.5f, 1);
    c.set(0.5f, 0.5f, 0.5f, 1);
    expectHLS(c, 0, 0.5f, 0);
    c.set(1.0f, 0.75f, 0.75f, 1);  // light: the l > 0.5 saturation formula
    expectHLS(c, 0, 0.875f, 1);
    c.setAlpha(0.5f);
    expectHLS(c, 0, 0.875f, 1);
}

TEST(feColorTest, HLSRoundTripsToRGB) {
    const float colours[][3] = {{1, 0, 0}, {0.2f, 0.4f, 0.6f}, {0.9f, 0.8f, 0.1f}, {0.3f, 0.3f, 0.3f}, {1, 0, 1}};
    for (const auto& rgb : colours) {
        feColor c(rgb[0], rgb[1], rgb[2], 0.5f);
        feColor d;
        d.setAlpha(0.5f);
        d.setHLS(c.hue(), c.lightness(), c.saturation());
        EXPECT_NEAR(d.r(), rgb[0], 1e-5);
        EXPECT_NEAR(d.g(), rgb[1], 1e-5);
        EXPECT_NEAR(d.b(), rgb[2], 1e-5);
        EXPECT_EQ(d.alpha(), 0.5f);
    }
}

TEST(feColorTest, BytesTruncateAndHexIsUpperCase) {
    feColor c(0.5f, 1.0f, 0.999f, 0.0f);
    EXPECT_EQ(c.redByte(), 127);
    EXPECT_EQ(c.greenByte(), 255);
    EXPECT_EQ(c.blueByte(), 254);
    const feColor d(1.0f, 0.5f, 0.0f, 1.0f);
    EXPECT_EQ(std::string(d.toHexARGB().data()), "FFFF7F00");
    EXPECT_EQ(std::string(d.toHexRGB().data()), "FF7F00");
    feColor e;
    ASSERT_TRUE(e.setFromString("#0a1b2c3d"));
    EXPECT_EQ(std::string(e.toHexARGB().data()), "0A1B2C3D");
}

TEST(feColorTest, EqualityIgnoresHLSAndToleratesTinyDifferences) {
    const feColor a(0.5f, 0.5f, 0.5f, 1.0f);
    EXPECT_TRUE(a == feColor(0.5001f, 0.5001f, 0.5f, 1.0f));
    EXPECT_FALSE(a == feColor(0.5003f, 0.5003f, 0.5f, 1.0f));
    EXPECT_FALSE(a == feColor(0.5f, 0.5f, 0.5f, 0.0f));
}
