// Tests of the quality settings and the quick-settings dialog run through a headless host.
#include "viewer/control/CTavoplexCtrl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>


#include "platform/sys.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/control/DlgQuickSettingsC.h"
#include "viewer/control/TavoplexResources.h"

using platform::host::Dialog;

namespace {

struct Quality {
    int shadow, gears, shading, antialiasing, metallic, displayMode;
};

Quality quality(const CTavoplexCtrl& c)
{
    return {c.ShadowQuality, c.GearsEnabled, c.Shading, c.Antialiasing, c.Metallic, c.DisplayMode};
}

bool operator==(const Quality& a, const Quality& b)
{
    return a.shadow == b.shadow && a.gears == b.gears && a.shading == b.shading &&
           a.antialiasing == b.antialiasing && a.metallic == b.metallic && a.displayMode == b.displayMode;
}

std::ostream& operator<<(std::ostream& os, const Quality& q)
{
    return os << q.shadow << "," << q.gears << "," << q.shading << "," << q.antialiasing << "," << q.metallic
              << " mode " << q.displayMode;
}

// What the dialog looked like when the host was asked to show it.
struct Seen {
    int checked = -1;  // id of the checked preset button
    bool cancelEnabled = false;
    std::string heading;
};

Seen look(const Dialog& d)
{
    Seen s;
    for (int id = IDC_RADIO_HIGH; id <= IDC_RADIO_USER; ++id)
        if (d.find(id)->checked)
            s.checked = id;
    s.cancelEnabled = d.find(IDCANCEL)->enabled;
    s.heading = d.find(IDC_TITLE)->text;
    return s;
}

}  // namespace

TEST(CTavoplexCtrlQuality, StoredItemsSetTheFieldsAndShadingPicksTheDisplayMode)
{
    const struct {
        const char* gfx;
        Quality want;
    } cases[] = {
        // Only SHADING: the others keep the control's defaults (the normal-detail values).
        {"SHADING=1\n", {1, 1, 1, 1, 0, 3}},
        {"SHADOW=2\nGEARS=0\nSHADING=0\nANTIALIASING=0\nMETALLIC=1\n", {2, 0, 0, 0, 1, 1}},
        {"SHADING=2\n", {1, 1, 2, 1, 0, 4}},
        // A shading without a display mode leaves the mode; text that is no number reads as 0.
        {"SHADING=7\nSHADOW=many\n", {0, 1, 7, 1, 0, 4}},
        {"", {1, 1, 2, 1, 0, 4}},
    };
    for (const auto& c : cases) {
        ViewerHarness v;
        v.writeConfig(std::string("[GFX]\n") + c.gfx);
        CTavoplexCtrl& control = v.open();
        const unsigned redraws = v.host().redrawRequests();
        control.ApplyQualitySettings();
        EXPECT_EQ(quality(control), c.want) << c.gfx;
        EXPECT_GT(v.host().redrawRequests(), redraws) << c.gfx;
    }
}

TEST(CTavoplexCtrlQuality, OkWithLowDetailWritesTheSixItemsSavesAndApplies)
{
    ViewerHarness v;
    CTavoplexCtrl& control = v.open();
    Seen seen;
    v.host().setDialogAnswer([&](Dialog& d) {
        seen = look(d);
        // OK with nothing chosen keeps the dialog open and writes nothing.
        EXPECT_EQ(d.click(IDOK), 0);
        EXPECT_EQ(control.Config.findItem("STANDARD_SETTING", "GFX"), nullptr);
        // Cancel is disabled at a first start.
        EXPECT_EQ(d.click(IDCANCEL), 0);
        d.click(IDC_RADIO_LOW);
        return d.click(IDOK);
    });
    control.OpenQuickSettings();

    EXPECT_EQ(seen.checked, -1);
    EXPECT_FALSE(seen.cancelEnabled);
    EXPECT_EQ(seen.heading, "First start: 3D Viewer Quick Settings");
    EXPECT_EQ(TempDir::read(v.userFile("tavoplex.cfg")),
              "[GFX]\nSTANDARD_SETTING=2\nSHADOW=0\nGEARS=0\nSHADING=1\nANTIALIASING=0\nMETALLIC=0\n\n");
    EXPECT_EQ(quality(control), (Quality{0, 0, 1, 0, 0, 3}));
}

TEST(CTavoplexCtrlQuality, AStoredChoiceIsCheckedWithCancelAndThePlainHeading)
{
    const struct {
        const char* stored;
        int checked;
    } cases[] = {
        {"0", IDC_RADIO_HIGH},
        {"1", IDC_RADIO_NORMAL},
        {"2", IDC_RADIO_LOW},
        // Values that name no preset check nothing (not even the hidden button).
        {"3", -1},
        {"-4", -1},
        {"x", IDC_RADIO_HIGH},  // no number reads as 0
    };
    for (const auto& c : cases) {
        ViewerHarness v;
        v.writeConfig(std::string("[GFX]\nSTANDARD_SETTING=") + c.stored + "\n");
        const std::string before = TempDir::read(v.userFile("tavoplex.cfg"));
        CTavoplexCtrl& control = v.open();
        Seen seen;
        v.host().setDialogAnswer([&](Dialog& d) {
            seen = look(d);
            return d.click(IDCANCEL);
        });
        control.OpenQuickSettings();
        EXPECT_EQ(seen.checked, c.checked) << c.stored;
        EXPECT_TRUE(seen.cancelEnabled) << c.stored;
        EXPECT_EQ(seen.heading, "3D Viewer Quick Settings") << c.stored;
        EXPECT_EQ(TempDir::read(v.userFile("tavoplex.cfg")), before) << c.stored;
    }
}

TEST(CTavoplexCtrlQuality, OutOfRangeStoredChoiceWritesOnlyThePresetChosen)
{
    ViewerHarness v;
    v.writeConfig("[GFX]\nSTANDARD_SETTING=9\nSHADOW=2\n");
    CTavoplexCtrl& control = v.open();
    v.host().setDialogAnswer([](Dialog& d) {
        EXPECT_EQ(d.click(IDOK), 0);              // nothing checked: stays open
        EXPECT_EQ(d.click(IDC_RADIO_USER), 0);    // the hidden button takes no click
        EXPECT_EQ(d.click(IDOK), 0);
        d.click(IDC_RADIO_HIGH);
        return d.click(IDOK);
    });
    control.OpenQuickSettings();
    EXPECT_EQ(TempDir::read(v.userFile("tavoplex.cfg")),
              "[GFX]\nSTANDARD_SETTING=0\nSHADOW=2\nGEARS=1\nSHADING=2\nANTIALIASING=1\nMETALLIC=1\n\n");
    EXPECT_EQ(quality(control), (Quality{2, 1, 2, 1, 1, 4}));
}

TEST(CTavoplexCtrlQuality, AFailedSaveKeepsTheOldFileAndTheChoiceHoldsForTheControl)
{
    ViewerHarness v;
    const std::string old = "[GFX]\nSTANDARD_SETTING=2\nSHADOW=0\nGEARS=0\nSHADING=1\nANTIALIASING=0\nMETALLIC=0\n";
    v.writeConfig(old);
    ASSERT_EQ(::chmod(v.userFile("tavoplex.cfg").c_str(), 0444), 0);
    CTavoplexCtrl& control = v.open();
    v.host().setDialogAnswer([](Dialog& d) {
        d.click(IDC_RADIO_HIGH);
        return d.click(IDOK);
    });
    control.OpenQuickSettings();
    EXPECT_EQ(TempDir::read(v.userFile("tavoplex.cfg")), old);
    EXPECT_EQ(quality(control), (Quality{2, 1, 2, 1, 1, 4}));
    ::chmod(v.userFile("tavoplex.cfg").c_str(), 0644);
}

TEST(CTavoplexCtrlQuality, TheDialogsLabelsAndLinkAreStyledAndTheLinkOpensTheAddress)
{
    ViewerHarness v;
    v.writeConfig("[GFX]\nSTANDARD_SETTING=1\n");
    CTavoplexCtrl& control = v.open();
    std::vector<std::string> opened;
    auto previous = platform::sys::setUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    Dialog shown;
    v.host().setDialogAnswer([&](Dialog& d) {
        EXPECT_EQ(d.click(IDC_PRODUCT), 0);  // plain labels take no click
        EXPECT_EQ(d.click(IDC_LINK), 0);     // the link opens and the dialog stays
        shown = d;
        return d.click(IDCANCEL);
    });
    control.OpenQuickSettings();
    platform::sys::setUrlOpener(previous);

    EXPECT_EQ(opened, std::vector<std::string>{kMakerWebAddress});
    for (int id : {IDC_PRODUCT, IDC_TITLE}) {
        const auto* c = shown.find(id);
        EXPECT_EQ(c->backColor, 0x9AB5CAu);
        EXPECT_EQ(c->textColor, 0x01304Du);
        EXPECT_TRUE(c->border);
        EXPECT_FALSE(c->notify);
    }
    const auto* link = shown.find(IDC_LINK);
    EXPECT_EQ(link->textColor, 0x0000FFu);
    EXPECT_TRUE(link->underline);
    EXPECT_TRUE(link->notify);
    EXPECT_EQ(link->cursor, platform::host::Cursor::Hand);
    EXPECT_FALSE(shown.find(IDC_RADIO_USER)->visible);
    EXPECT_FALSE(shown.find(IDC_BUTTON_ADVANCED)->visible);
    EXPECT_EQ(shown.find(IDC_RADIO_NORMAL)->checked, true);
}

TEST(CTavoplexCtrlQuality, FirstStartHookWritesNothingWhenTheDialogIsClosed)
{
    ViewerHarness v;
    CTavoplexCtrl& control = v.open();
    control.RunFirstStartSettings();  // the headless host cancels an unanswered dialog
    EXPECT_EQ(control.Config.findItem("STANDARD_SETTING", "GFX"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(v.userFile("tavoplex.cfg")));
    EXPECT_EQ(v.host().dialogsShown(), std::vector<std::string>{"3D Viewer Quick Settings"});
}
