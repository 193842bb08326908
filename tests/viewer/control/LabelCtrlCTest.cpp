// Tests of the dialog label: its look in the dialog model, flashing and link clicks.
#include "viewer/control/LabelCtrlC.h"

#include <gtest/gtest.h>

#include "platform/sys.h"

using platform::host::Dialog;
using platform::host::DialogControl;
using platform::host::DialogControlKind;

namespace {
Dialog oneLabel(const char* text)
{
    Dialog d;
    d.controls = {DialogControl{5, DialogControlKind::Label, text}};
    return d;
}
}  // namespace

TEST(LabelCtrlC, SettersShowInTheDialogControl)
{
    Dialog d = oneLabel("Title");
    LabelCtrlC label;
    label.Attach(&d, 5);
    const DialogControl& c = *d.find(5);
    EXPECT_EQ(c.textColor, kSystemWindowText);
    EXPECT_EQ(c.backColor, kSystemFace);

    label.SetTextColor(0x102030);
    label.SetBkColor(0x405060);
    label.SetBorder(true);
    label.SetSunken(true);
    label.SetFontBold(true);
    label.SetFontItalic(true);
    label.SetFontSize(14);
    label.SetFontName("DejaVu Sans");
    label.SetText("New");
    EXPECT_EQ(c.textColor, 0x102030u);
    EXPECT_EQ(c.backColor, 0x405060u);
    EXPECT_TRUE(c.border && c.sunken && c.bold && c.italic);
    EXPECT_EQ(c.fontHeight, 14);
    EXPECT_EQ(label.FontDesc.height, -14);
    EXPECT_EQ(c.fontName, "DejaVu Sans");
    EXPECT_EQ(c.text, "New");
    label.SetFontBold(false);
    label.SetBorder(false);
    EXPECT_EQ(label.Font.weight, 400);
    EXPECT_FALSE(c.bold || c.border);
    EXPECT_FALSE(label.OnSetCursor());
    label.SetLinkCursor(platform::host::Cursor::Hand);
    EXPECT_TRUE(label.OnSetCursor());
}

TEST(LabelCtrlC, FlashingBlinksTextOrBackgroundAndStoppingRestores)
{
    Dialog d = oneLabel("Blink");
    LabelCtrlC label;
    label.Attach(&d, 5);
    label.SetBkColor(0x112233);
    d.onTimer = [&](Dialog&, int, unsigned id) { label.OnTimer(id); };

    label.FlashText(true);
    ASSERT_EQ(d.timers.size(), 1u);
    EXPECT_EQ(d.timers[0].periodMs, 500u);
    const char* texts[] = {"", "Blink", ""};
    for (const char* want : texts) {
        EXPECT_TRUE(d.tick(5, 1));
        EXPECT_EQ(d.find(5)->text, want);
    }
    // Switching to a background flash in the dark phase gives the text back.
    label.FlashBackground(true);
    EXPECT_EQ(d.find(5)->text, "Blink");
    EXPECT_EQ(label.FlashMode, 2);
    EXPECT_EQ(d.find(5)->backColor, kSystemFace);  // the flash brush first
    d.tick(5, 1);
    EXPECT_EQ(d.find(5)->backColor, 0x112233u);
    d.tick(5, 1);
    EXPECT_EQ(d.find(5)->backColor, kSystemFace);
    label.FlashBackground(false);
    EXPECT_TRUE(d.timers.empty());
    EXPECT_FALSE(d.tick(5, 1));
    EXPECT_EQ(d.find(5)->backColor, 0x112233u);
    EXPECT_FALSE(label.Flashing);
}

TEST(LabelCtrlC, OnlyALinkTakesClicksAndOpensItsText)
{
    std::vector<std::string> opened;
    auto previous = platform::sys::setUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    Dialog d = oneLabel("http://example.invalid/page");
    LabelCtrlC label;
    label.Attach(&d, 5);
    d.onCommand = [&](Dialog&, int id) {
        if (id == 5)
            label.OnLButtonDown();
        return 0;
    };
    d.click(5);
    EXPECT_TRUE(opened.empty());
    label.SetLink(true);
    d.click(5);
    label.SetText("");
    d.click(5);  // nothing to open
    platform::sys::setUrlOpener(previous);
    EXPECT_EQ(opened, std::vector<std::string>{"http://example.invalid/page"});
}
