// Reading PNG files into memory: every colour type, bit depth and interlacing, row order, the
// palette copy, the gamma rule and the refusal of damaged or oversized files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/ThreadCpuClock.h"
#include "tests/viewer/textures/PngTestFiles.h"
#include "viewer/textures/PngTexture.h"

namespace {

// Reads bytes through a memory stream.
bool readRaw(const std::string& bytes, PngRawInfo* raw)
{
    std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (!f)
        return false;
    const bool ok = PngLoadRawStream(f, raw);
    std::fclose(f);
    return ok;
}

// A 3 x 2 image of the given type with samples 0, step, 2 x step, ... (wrapping at 2^depth).
PngTestImage counting(int colorType, int depth, unsigned step, bool interlaced = false)
{
    PngTestImage image;
    image.Width = 3;
    image.Height = 2;
    image.ColorType = colorType;
    image.Depth = depth;
    image.Interlaced = interlaced;
    const int n = 6 * pngtest::channels(colorType);
    for (int i = 0; i < n; ++i)
        image.Samples.push_back((unsigned(i) * step) % (1u << depth));
    return image;
}

class PngRawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VIEWING_GAMMA");
        PngSetViewingGamma(0);
        PngSetStandardOrientation(false);
    }
    void TearDown() override { SetUp(); }
};

} // namespace

TEST_F(PngRawTest, EveryColourTypeReadsItsSamplesAsBytes)
{
    struct Case {
        const char* name;
        PngTestImage image;
        unsigned components, alpha;
        std::vector<uint8_t> expected;  // empty: the 8-bit samples as written
    };
    std::vector<Case> cases = {
        {"grey", counting(PNG_COLOR_TYPE_GRAY, 8, 40), 1, 0, {}},
        {"grey 2-bit widened", counting(PNG_COLOR_TYPE_GRAY, 2, 1), 1, 0, {0, 85, 170, 255, 0, 85}},
        {"grey with alpha", counting(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 20), 2, 8, {}},
        {"RGB", counting(PNG_COLOR_TYPE_RGB, 8, 13), 3, 0, {}},
        {"RGBA", counting(PNG_COLOR_TYPE_RGB_ALPHA, 8, 9), 4, 8, {}},
        {"RGB interlaced", counting(PNG_COLOR_TYPE_RGB, 8, 13, true), 3, 0, {}},
        {"16-bit grey keeps the high byte", counting(PNG_COLOR_TYPE_GRAY, 16, 0x1234), 1, 0,
         {0x00, 0x12, 0x24, 0x36, 0x48, 0x5B}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.expected.empty())
            for (unsigned v : c.image.Samples)
                c.expected.push_back(uint8_t(v));
        PngRawInfo raw;
        ASSERT_TRUE(readRaw(makePng(c.image), &raw));
        EXPECT_EQ(raw.Width, 3u);
        EXPECT_EQ(raw.Height, 2u);
        EXPECT_EQ(raw.Depth, unsigned(c.image.Depth));
        EXPECT_EQ(raw.Components, c.components);
        EXPECT_EQ(raw.Alpha, c.alpha);
        EXPECT_EQ(raw.Data, c.expected);
        EXPECT_TRUE(raw.Palette.empty());
    }
}

TEST_F(PngRawTest, PaletteImagesKeepIndicesAndACopyOfThePalette)
{
    for (int depth : {1, 4, 8}) {
        SCOPED_TRACE(depth);
        PngTestImage image = counting(PNG_COLOR_TYPE_PALETTE, depth, 1);
        for (int i = 0; i < (1 << depth) && i < 6; ++i)
            image.Palette.push_back({png_byte(10 * i), png_byte(20 * i), png_byte(30 * i)});
        if (depth == 1)
            image.Palette.resize(2);
        PngRawInfo raw;
        ASSERT_TRUE(readRaw(makePng(image), &raw));
        EXPECT_EQ(raw.Components, 1u);
        EXPECT_EQ(raw.Depth, unsigned(depth));
        std::vector<uint8_t> indices;
        for (unsigned v : image.Samples)
            indices.push_back(uint8_t(v));
        EXPECT_EQ(raw.Data, indices);
        ASSERT_EQ(raw.Palette.size(), image.Palette.size() * 3);
        EXPECT_EQ(raw.Palette[3], 10);
        EXPECT_EQ(raw.Palette[5], 30);
    }
}

TEST_F(PngRawTest, StandardOrientationStoresTheFirstRowLast)
{
    const std::string file = makePng(counting(PNG_COLOR_TYPE_GRAY, 8, 10));
    PngSetStandardOrientation(true);
    PngRawInfo raw;
    ASSERT_TRUE(readRaw(file, &raw));
    EXPECT_EQ(raw.Data, (std::vector<uint8_t>{30, 40, 50, 0, 10, 20}));
}

TEST_F(PngRawTest, ViewingGammaCountsOnlyAsAFiniteNumberAboveZero)
{
    PngTestImage image;
    image.ColorType = PNG_COLOR_TYPE_GRAY;
    image.Samples = {128};
    const std::string file = makePng(image);
    struct Case {
        const char* value;
        int expected;  // 2.2 / value as the screen gamma: 255 (128/255)^(value)
    } cases[] = {{"1.1", 120}, {"1.0", 128}, {"0", 128}, {"-2", 128}, {"abc", 128}, {"nan", 128}, {"inf", 128},
                 {"1e-320", 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        setenv("VIEWING_GAMMA", c.value, 1);
        PngRawInfo raw;
        ASSERT_TRUE(readRaw(file, &raw));
        EXPECT_NEAR(raw.Data.at(0), c.expected, 1);
    }
    // A gamma set by the program wins over the variable.
    setenv("VIEWING_GAMMA", "1.1", 1);
    PngSetViewingGamma(1.0);
    PngRawInfo raw;
    ASSERT_TRUE(readRaw(file, &raw));
    EXPECT_EQ(raw.Data.at(0), 128);
}

TEST_F(PngRawTest, DamagedAndOversizedFilesAreRefusedQuickly)
{
    const std::string good = makePng(counting(PNG_COLOR_TYPE_RGB, 8, 7));
    std::string badSignature = good;
    badSignature[1] = 'Q';
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"signature only", good.substr(0, 8)},
        {"bad signature", badSignature},
        {"truncated in the data", good.substr(0, good.size() - 20)},
        {"100000 x 100000", pngHeaderOnly(100000, 100000, 8, PNG_COLOR_TYPE_RGB_ALPHA)},
        {"16000 x 16000, within each side but too large", pngHeaderOnly(16000, 16000, 8, PNG_COLOR_TYPE_RGB_ALPHA)},
        {"zero width", pngHeaderOnly(0, 10, 8, PNG_COLOR_TYPE_RGB)},
        {"bad bit depth", pngHeaderOnly(10, 10, 7, PNG_COLOR_TYPE_RGB)},
        {"header without data", pngHeaderOnly(64, 64, 8, PNG_COLOR_TYPE_RGB)},
        {"text chunk claiming 1.4 GB", withChunkAfterHeader(good, pngChunk("zTXt", "VV", 0x56565656))},
        {"palette chunk claiming 1.4 GB", withChunkAfterHeader(good, pngChunk("PLTE", "VV", 0x56565656))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = ThreadCpuClock::now();
        PngRawInfo raw;
        raw.Width = 99;
        EXPECT_FALSE(readRaw(c.bytes, &raw));
        EXPECT_EQ(raw.Width, 0u);
        EXPECT_TRUE(raw.Data.empty());
        EXPECT_LT(ThreadCpuClock::now() - start, std::chrono::seconds(1));
    }
    EXPECT_FALSE(PngLoadRawStream(nullptr, nullptr));
}

TEST_F(PngRawTest, LargeChunksATextureNeverUsesAreSkipped)
{
    const std::string good = makePng(counting(PNG_COLOR_TYPE_RGB, 8, 7));
    const std::string text(3 << 20, 'x');
    for (const char* type : {"tEXt", "zTXt", "iCCP", "teXt"}) {
        SCOPED_TRACE(type);
        PngRawInfo raw;
        ASSERT_TRUE(readRaw(withChunkAfterHeader(good, pngChunk(type, text, uint32_t(text.size()))), &raw));
        EXPECT_EQ(raw.Data.size(), 18u);
    }
}

TEST_F(PngRawTest, FilesAreReadByPath)
{
    TempDir dir;
    const std::string path = dir.write("a.png", makePng(counting(PNG_COLOR_TYPE_RGB, 8, 5)));
    PngRawInfo raw;
    ASSERT_TRUE(PngLoadRawFile(path.c_str(), &raw));
    EXPECT_EQ(raw.Data.size(), 18u);
    EXPECT_FALSE(PngLoadRawFile(dir.file("missing.png").c_str(), &raw));
    EXPECT_FALSE(PngLoadRawFile(nullptr, &raw));
}
