// Reference images inside the library: a cube with its axes as the window shows it, and as
// CreateBMP writes it, compared pixel by pixel with tests/baselines.
#include "support/ReferenceImage.h"
#include "viewer/loader/LoaderTestSupport.h"

namespace {

const std::string kBaselines = std::string(TAVO_SOURCE_DIR) + "/tests/baselines";

RgbaImage fromFrame(const platform::gl::Frame& frame)
{
    return RgbaImage{frame.width, frame.height, frame.rgba};
}

}  // namespace

TEST(CTavoplexCtrlReferenceImage, CubeInTheWindowAndInItsBitmap)
{
    ViewerHarness v(300, 300);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.Axes = 1;
    // The viewer's own images, as the host program gives them: the logo is in the picture.
    c.SetParam("BasePath", RWCString("file://") + TAVO_SOURCE_DIR + "/viewer/images");
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    ASSERT_FALSE(c.Loading);
    v.advance(3000);  // past every animation
    v.paint();
    EXPECT_EQ(CheckAgainstBaseline(fromFrame(v.frame()), "CubeWindow", kBaselines, TAVO_RENDER_OUTPUT_DIR), "");

    const std::string bmp = v.folder().file("cube.bmp");
    ASSERT_EQ(c.CreateBMP(RWCString(bmp.c_str()), 240, 160), 0);
    RgbaImage picture;
    std::string error;
    ASSERT_TRUE(ReadBmpImage(bmp, picture, error)) << error;
    EXPECT_EQ(CheckAgainstBaseline(picture, "CubeBitmap", kBaselines, TAVO_RENDER_OUTPUT_DIR), "");
}
