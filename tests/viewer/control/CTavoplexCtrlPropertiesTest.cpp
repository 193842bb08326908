// The object parameters: the exchange with the page, SetParam by exact name, colours applied
// only with Start; the scripted methods and their dispatch by id and by name.
#include <chrono>
#include <cmath>
#include <limits>

#include "platform/com/PropertyExchange.h"
#include "platform/com/Variant.h"
#include "tests/viewer/loader/LoaderTestSupport.h"

namespace {

void load(CTavoplexCtrl& c, platform::com::PropertyBag bag)
{
    platform::com::PropertyExchange exchange(platform::com::PropertyExchange::Mode::Load, bag);
    c.DoPropExchange(exchange);
}

uint32_t le32(const std::string& bytes, size_t at)
{
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

}  // namespace

TEST(CTavoplexCtrlProperties, PageParametersApplyTheirColoursOnlyWithStartOne)
{
    struct Case {
        const char* start;
        bool applied;
    };
    for (const Case& k : {Case{"1", true}, Case{"2", false}}) {
        SCOPED_TRACE(k.start);
        ViewerHarness v(64, 48);
        CTavoplexCtrl& c = v.construct();
        load(c, {{"ColorTL", "#102030"}, {"ColorPanelOut", "10FFFFFF"}, {"Grid", "0"}, {"BorderAlpha", "0.5"},
                 {"BasePath", "file:///srv/images"}, {"Start", k.start}, {"Unknown", "7"}, {"Axes", "many"}});
        EXPECT_EQ(std::string(c.ColorTL.data()), "#102030");
        EXPECT_EQ(c.Grid, 0);
        EXPECT_EQ(c.Axes, 0);  // a text that is no number keeps the default
        EXPECT_FLOAT_EQ(c.BorderAlpha, 0.5f);
        if (k.applied) {
            EXPECT_NEAR(c.ColorTLValue.r(), 16 / 255.0f, 1e-6f);
            EXPECT_NEAR(c.ColorTLValue.b(), 48 / 255.0f, 1e-6f);
            EXPECT_NEAR(c.ColorPanelOutValue.alpha(), 16 / 255.0f, 1e-6f);  // eight digits set the alpha
            EXPECT_NEAR(c.ColorPanelInValue.alpha(), 0.35f, 1e-6f);
            EXPECT_EQ(std::string(c.BaseUrl.data()), "/srv/images");
        } else {
            EXPECT_EQ(c.ColorTLValue.r(), 0.0f);
            EXPECT_TRUE(c.BaseUrl.isNull());
        }
    }
}

TEST(CTavoplexCtrlProperties, SetParamMatchesExactNamesAndAppliesOnlyThroughStart)
{
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.construct();
    c.SetParam("colortl", "#FF0000");  // case matters
    EXPECT_EQ(std::string(c.ColorTL.data()), "#85C7E9");
    c.SetParam("ColorTL ", "#FF0000");  // no trimming
    EXPECT_EQ(std::string(c.ColorTL.data()), "#85C7E9");

    c.SetParam("ColorTL", "#FF0000");
    EXPECT_EQ(std::string(c.ColorTL.data()), "#FF0000");
    EXPECT_EQ(c.ColorTLValue.r(), 0.0f);  // not yet applied

    struct NumberCase {
        const char* key;
        const char* text;
        int32_t want;
    };
    for (const NumberCase& k : {NumberCase{"Grid", "  12abc", 12}, NumberCase{"BorderSize", "-3", -3},
                                NumberCase{"Buttons", "x", 0}, NumberCase{"ButtonSize", "99999999999", INT32_MAX}}) {
        c.SetParam(k.key, k.text);
        const int32_t got = std::string(k.key) == "Grid"         ? c.Grid
                            : std::string(k.key) == "BorderSize" ? c.BorderSize
                            : std::string(k.key) == "Buttons"    ? c.Buttons
                                                                 : c.ButtonSize;
        EXPECT_EQ(got, k.want) << k.key << "=" << k.text;
    }
    c.SetParam("BorderAlpha", "0.25xyz");
    EXPECT_FLOAT_EQ(c.BorderAlpha, 0.25f);
    c.SetParam("FileName", "model.stl");
    EXPECT_EQ(c.LoaderCount, 0);  // a new name starts no load of its own

    c.SetParam("Start", "0");  // applies even with 0
    EXPECT_EQ(c.Start, 0);
    EXPECT_NEAR(c.ColorTLValue.r(), 1.0f, 1e-6f);
}

TEST(CTavoplexCtrlMethods, ZoomAndMatrixIgnoreValuesThatCannotBeShown)
{
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.open();
    EXPECT_EQ(c.GetZoom(), 80.0);
    c.SetZoom(12.5);
    EXPECT_EQ(c.GetZoom(), 12.5);
    for (double bad : {0.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        c.SetZoom(bad);
        EXPECT_EQ(c.GetZoom(), 12.5) << bad;
    }
    c.SetZoom(-4.0);  // a negative zoom mirrors the view, as it always did
    EXPECT_EQ(c.GetZoom(), -4.0);

    const TransformMatrix before = c.Rotation;
    c.SetMatrix(1, 0, 0, std::nan(""), 0, 1, 0, 0, 0, 0, 1, 0);
    c.SetMatrix(std::numeric_limits<double>::infinity(), 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0);
    EXPECT_TRUE(c.Rotation.isEqual(before));

    // A quarter turn about z, with a translation in the fourth column: the view lands on it at
    // the next tick (no duration).
    c.SetMatrix(0, -1, 0, 1, 1, 0, 0, 2, 0, 0, 1, 3);
    v.advance(25);
    v.advance(25);
    EXPECT_NEAR(c.Rotation.at(0, 1), -1.0, 1e-6);
    EXPECT_NEAR(c.Rotation.at(1, 0), 1.0, 1e-6);
    EXPECT_NEAR(c.Rotation.at(2, 2), 1.0, 1e-6);
}

TEST(CTavoplexCtrlMethods, DispatchByIdAndByName)
{
    using platform::com::Variant;
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.open();
    Variant result;
    ASSERT_TRUE(c.InvokeByName("GetZoom", {}, &result));
    EXPECT_EQ(result.type, Variant::Type::Double);
    EXPECT_EQ(result.doubleValue, 80.0);
    EXPECT_TRUE(c.InvokeByName("setzoom", {Variant::fromText("12.5")}, nullptr));
    EXPECT_EQ(c.GetZoom(), 12.5);
    EXPECT_TRUE(c.Invoke(CTavoplexCtrl::DispIdSetParam, {Variant::fromText("Grid"), Variant::fromLong(3)}, nullptr));
    EXPECT_EQ(c.Grid, 3);

    EXPECT_EQ(CTavoplexCtrl::GetDispatchId("LoadAndCreateBMP"), 4);
    EXPECT_EQ(CTavoplexCtrl::GetDispatchId("AboutBox"), -552);
    EXPECT_FALSE(c.InvokeByName("Explode", {}, nullptr));
    EXPECT_FALSE(c.Invoke(CTavoplexCtrl::DispIdSetZoom, {}, nullptr));
    EXPECT_FALSE(c.Invoke(CTavoplexCtrl::DispIdSetZoom, {Variant::fromText("wide")}, nullptr));
    EXPECT_FALSE(c.Invoke(CTavoplexCtrl::DispIdSetMatrix, std::vector<Variant>(11, Variant::fromLong(0)), nullptr));

    EXPECT_TRUE(c.Invoke(CTavoplexCtrl::DispIdAboutBox, {}, nullptr));
    ASSERT_EQ(v.host().dialogsShown().size(), 1u);
    EXPECT_EQ(v.host().dialogsShown()[0], "About Tavoplex Control");
}

TEST(CTavoplexCtrlMethods, LoadAndCreateBmpWritesThePictureOfAFinishedLoad)
{
    ViewerHarness v(160, 120);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.SetParam("Start", "1");
    const std::string model = v.folder().write("cube.stl", cubeStl());
    const std::string bmp = v.folder().file("cube.bmp");
    ASSERT_TRUE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 301, 200));
    EXPECT_TRUE(c.Animations.IsEnabled());
    EXPECT_EQ(c.WindowWidth, 160);  // the window's size is back

    const std::string bytes = TempDir::read(bmp);
    ASSERT_EQ(bytes.size(), 54u + 301u * 200u * 4u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), 54u);
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 301u);
    EXPECT_EQ(le32(bytes, 22), 200u);
    EXPECT_EQ(le32(bytes, 28) & 0xFFFFu, 32u);
    EXPECT_EQ(le32(bytes, 34), 301u * 200u * 4u);
}

TEST(CTavoplexCtrlMethods, LoadAndCreateBmpFailsAtOnceOrInBoundedTimeAndWritesNoImage)
{
    ViewerHarness v(160, 120);
    v.writeConfig(kChosenSettings);
    const std::string model = v.folder().write("cube.stl", cubeStl());
    const std::string bmp = v.folder().file("out.bmp");
    CTavoplexCtrl& c = v.construct();
    c.Start = 1;
    EXPECT_FALSE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 50, 50));  // no context
    v.open();
    c.Start = 0;
    EXPECT_FALSE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 50, 50));  // Start 0
    c.SetParam("Start", "1");
    EXPECT_FALSE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(bmp.c_str()), 0, 50));

    // A fetch that keeps failing (a local name fails at once; a server that refuses the
    // connection is tried again): the wait ends by real time, whatever the host's clock does.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.LoadAndCreateBMP("http://127.0.0.1:1/missing.stl", RWCString(bmp.c_str()), 50, 50, 300));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(60));
    EXPECT_TRUE(c.Loading);
    EXPECT_FALSE(std::filesystem::exists(bmp));

    // A failed load, and an output that cannot be written.
    EXPECT_FALSE(c.LoadAndCreateBMP(RWCString(v.folder().write("m.obj", "x").c_str()), RWCString(bmp.c_str()), 50, 50));
    EXPECT_FALSE(std::filesystem::exists(bmp));
    EXPECT_FALSE(c.LoadAndCreateBMP(RWCString(model.c_str()), RWCString(v.folder().file("no/such/x.bmp").c_str()), 50,
                                    50));
    EXPECT_EQ(c.BitmapFailure, "its folder is not there");
}
