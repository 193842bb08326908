// The window's handlers: the host folder from the page address and how model names use it,
// the 25 ms timer, and the catch-all that keeps the control working after an exception.
#include "platform/sys.h"
#include "tests/viewer/loader/LoaderTestSupport.h"

TEST(CTavoplexCtrlWindow, HostFolderComesFromThePageAddress)
{
    struct Case {
        const char* address;
        const char* folder;
    };
    const Case cases[] = {
        {"http://server/shop/parts/page.html", "http://server/shop/parts/"},
        {"file://C:\\pages\\viewer\\index.htm", "C:\\pages\\viewer\\"},
        {"file:///home/user/page.html", "/home/user/"},
        {"http://server/a\\b/c.html", "http://server/a\\b/"},
        {"http://host/ok/index.html?next=/a/b/", "http://host/ok/"},  // the path's folder
        {"http://host/ok/index.html#to/part", "http://host/ok/"},
        {"page.html", "before/"},  // no separator: unchanged
        {"/page.html", "before/"},  // the only separator at position 0: unchanged
        {"", "before/"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.address);
        ViewerHarness v(32, 32);
        v.host().setPageAddress(k.address);
        CTavoplexCtrl& c = v.construct();
        c.HostFolder = "before/";
        v.send(platform::host::Message::create());
        EXPECT_EQ(std::string(c.HostFolder.data()), k.folder);
    }
}

TEST(CTavoplexCtrlWindow, ModelNamesAreJoinedToTheHostFolderUnlessAbsolute)
{
    struct Case {
        const char* folder;
        const char* name;
        const char* loaded;
    };
    const Case cases[] = {
        {"/pages/", "model.stl", "/pages/model.stl"},
        {"/pages/", "/models/model.stl", "/models/model.stl"},  // local page: from the root
        {"http://127.0.0.1:1/pages/", "/models/model.stl", "http://127.0.0.1:1/pages//models/model.stl"},
        {"http://127.0.0.1:1/pages/", "sub/model.stl", "http://127.0.0.1:1/pages/sub/model.stl"},
        {"/pages/", "C:model.stl", "C:model.stl"},
        {"/pages/", "http://127.0.0.1:1/model.stl", "http://127.0.0.1:1/model.stl"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ViewerHarness v(32, 32);
        CTavoplexCtrl& c = v.open();
        c.HostFolder = k.folder;
        c.FileName = k.name;
        c.RunLoader();
        EXPECT_EQ(std::string(c.FileName.data()), k.loaded);
        EXPECT_EQ(std::string(c.ArchivePath.data()), k.loaded);
    }
}

TEST(CTavoplexCtrlWindow, FirstTickOnlyRecordsTheTimeAndLoadingTurnsTheGears)
{
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.open();
    ASSERT_EQ(v.host().timers().at(1), 25u);
    EXPECT_EQ(c.LastTick, 0xFFFFFFFFu);
    const unsigned frames = v.host().frameSink().frameCount();
    v.advance(25);
    EXPECT_EQ(c.LastTick, v.clock().now());
    EXPECT_EQ(v.host().frameSink().frameCount(), frames);  // nothing drawn by the first tick
    v.advance(25);
    EXPECT_FLOAT_EQ(c.GearAngle, 0.5f);  // loading (though Start is 0): 25 ms / 50
    EXPECT_EQ(v.host().frameSink().frameCount(), frames + 1);
    c.Loading = false;
    v.advance(25);
    EXPECT_FLOAT_EQ(c.GearAngle, 0.5f);
    EXPECT_EQ(v.host().frameSink().frameCount(), frames + 1);  // idle: no frame
}

namespace {
class ThrowingAnimation : public AnimationC {
public:
    void Apply(float) override { throw std::runtime_error("bad step"); }
};
}  // namespace

TEST(CTavoplexCtrlWindow, ExceptionInAHandlerIsCaughtAndTheControlGoesOn)
{
    std::vector<std::pair<std::string, std::string>> boxes;
    auto previous = platform::sys::setMessageBoxSink([&](const std::string& text, const std::string& caption, unsigned) {
        boxes.emplace_back(text, caption);
        return 1;
    });
    {
        ViewerHarness v(64, 48);
        v.writeConfig("[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        v.advance(25);
        c.Animations.Add(new ThrowingAnimation, 1000, 0, false, false);
        EXPECT_EQ(v.send(platform::host::Message::timer(1)), 0);
        EXPECT_EQ(c.GLLockCount, 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].first, "We have encountered an instability in the Stellomar. You can still continue to work.");
        EXPECT_EQ(boxes[0].second, "Stellomar");
        const unsigned frames = v.host().frameSink().frameCount();
        v.paint();
        EXPECT_EQ(v.host().frameSink().frameCount(), frames + 1);  // still drawing
    }
    platform::sys::setMessageBoxSink(previous);
}
