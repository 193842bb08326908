// Tests of panels: layout and alignment, shrinking, clicks, hover transitions, fades and the
// pixels of hovered buttons.
#include "viewer/ui/PanelC.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/textures/PngTestFiles.h"
#include "viewer/ui/ButtonCommandI.h"
#include "viewer/ui/PanelButtonC.h"

namespace {

class RecordingCommands : public ButtonCommandI {
public:
    void Redraw() override { ++redraws; }
    void OnPanelCommand(int id) override { ids.push_back(id); }
    int redraws = 0;
    std::vector<int> ids;
};

// The main panel's row at a button size of 32: 14 buttons and separators at 4, 6 and 14.
void fillMainRow(PanelC& panel)
{
    for (int i = 1; i <= 17; ++i) {
        const bool separator = i == 4 || i == 6 || i == 14;
        PanelButtonC* b = panel.AddButton(separator ? -1 : i);
        b->SetSize(separator ? 15 : 32, 32, true);
        b->SetColors(feColor(0.67f, 0.67f, 0.67f, 0.85f), feColor(0.67f, 0.67f, 0.67f, 0.35f),
                     feColor(0.52f, 0.78f, 0.91f, 0.35f));
    }
}

class PanelTest : public ::testing::Test {
protected:
    PanelTest() : control(v.open()) {}

    // Draws the panel into a w x h window over black and presents the frame.
    void draw(PanelC& panel, int w, int h)
    {
        v.resize(w, h);
        OpenGLLock lock(control);
        ASSERT_TRUE(lock.locked());
        glViewport(0, 0, w, h);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        panel.DrawAnimated(w, h);
        control.PresentFrame();
    }
    // Pixel at window coordinates with y upward.
    std::array<uint8_t, 4> at(int x, int y) const { return v.pixel(x, v.frame().height - 1 - y); }

    ViewerHarness v{800, 600};
    CTavoplexCtrl& control;
    RecordingCommands commands;
    AnimationManagerC animations;
};

}  // namespace

TEST_F(PanelTest, LayoutAlignsAndShrinksToTheWindow)
{
    struct Case {
        const char* name;
        bool mainRow;  // else one 142 x 29 button
        int alignH, alignV;
        float offsetX, offsetY;
        int w, h;
        float x, y, width, height, scale;
    };
    const Case cases[] = {
        {"main row, centred at the bottom", true, 1, 0, 0, 8, 800, 600, 134.5f, 10.0f, 531, 38, 1.0f},
        {"main row in a narrow window", true, 1, 0, 0, 8, 400, 300, 0.0f, 10.0f, 400, 38.0f * 400 / 531,
         400.0f / 531},
        {"logo, right and top", false, 2, 2, -5, -5, 800, 600, 648.0f, 561.0f, 148, 35, 1.0f},
        {"logo, left and centre", false, 0, 1, 0, 0, 800, 600, 2.0f, 282.5f, 148, 35, 1.0f},
        {"unknown alignment", false, 7, 7, 10, 10, 800, 600, 0.0f, 0.0f, 148, 35, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelC panel(&commands, &animations);
        if (c.mainRow) {
            fillMainRow(panel);
        } else {
            panel.AddButton(16)->SetSize(142, 29, false);
        }
        panel.SetAlignment(c.alignH, c.alignV);
        panel.SetOffset(c.offsetX, c.offsetY);
        panel.Show();
        panel.Fade = 1.0f;
        draw(panel, c.w, c.h);
        EXPECT_FLOAT_EQ(panel.PanelX, c.x);
        EXPECT_FLOAT_EQ(panel.PanelY, c.y);
        EXPECT_FLOAT_EQ(panel.PanelWidth, c.width);
        EXPECT_FLOAT_EQ(panel.PanelHeight, c.height);
        EXPECT_FLOAT_EQ(panel.Scale, c.scale);
        EXPECT_EQ(panel.ViewportWidth, c.w);
        EXPECT_EQ(panel.ViewportHeight, c.h);
    }
}

TEST_F(PanelTest, ClickNeedsPressAndReleaseOnTheSameButton)
{
    PanelC panel(&commands, &animations);
    fillMainRow(panel);
    panel.Show();
    panel.Fade = 1.0f;
    draw(panel, 800, 600);
    // Centres of the buttons at index i (each 32 wide after 3 px margin, spacing 2).
    auto centreX = [&](int index) {
        float x = panel.PanelX + 3;
        for (int i = 0; i < index; ++i)
            x += float(panel.Buttons[size_t(i)]->GetWidth() + 2);
        return int(x + float(panel.Buttons[size_t(index)]->GetWidth()) / 2);
    };
    const int y = 10 + 19;

    // Press on button 3, move to button 4 (the separator after it), release: nothing.
    panel.OnMouseMove(centreX(2), y);
    panel.OnMouseDown(0, centreX(2), y);
    panel.OnMouseMove(centreX(4), y);
    panel.OnClick(0, centreX(4), y);
    EXPECT_TRUE(commands.ids.empty());
    // Press and release on one button: exactly one command.
    panel.OnMouseMove(centreX(1), y);
    panel.OnMouseDown(0, centreX(1), y);
    panel.OnClick(0, centreX(1), y);
    EXPECT_EQ(commands.ids, std::vector<int>{2});
    // The pressed button is forgotten after a release: a second release sends nothing.
    panel.OnClick(0, centreX(1), y);
    // The right button neither presses nor clicks.
    panel.OnMouseDown(2, centreX(0), y);
    panel.OnClick(2, centreX(0), y);
    EXPECT_EQ(commands.ids, std::vector<int>{2});
    // A separator's click reaches the receiver as -1.
    panel.OnMouseMove(centreX(3), y);
    panel.OnMouseDown(0, centreX(3), y);
    panel.OnClick(0, centreX(3), y);
    EXPECT_EQ(commands.ids, (std::vector<int>{2, -1}));
    // Outside every button a press keeps the earlier pressed index, and the release misses.
    panel.OnMouseMove(centreX(0), y);
    panel.OnMouseDown(0, centreX(0), y);
    panel.OnMouseMove(5, 500);
    panel.OnMouseDown(0, 5, 500);
    EXPECT_EQ(panel.PressedIndex, 0);
    panel.OnClick(0, 5, 500);
    EXPECT_EQ(commands.ids.size(), 2u);
    EXPECT_FALSE(panel.IsHovered());
}

TEST_F(PanelTest, FadedOutPanelDrawsNothingYetTakesHoverAndClicks)
{
    PanelC panel(&commands, &animations);
    PanelButtonC* b = panel.AddButton(5);
    b->SetSize(100, 100, true);
    b->SetColors(feColor(1, 1, 1, 0), feColor(1, 1, 1, 0), feColor(1, 1, 1, 0));
    panel.SetColors(feColor(1, 1, 1, 0), feColor(1, 1, 1, 0));
    panel.SetAlignment(1, 1);
    panel.Show();
    // Never drawn (a draw at fade 0 lays nothing out): the button has no place yet, not even
    // the window's corner where its unset layout would put it.
    draw(panel, 800, 600);
    for (int x : {10, 400}) {
        const int y = x == 10 ? 10 : 300;
        panel.OnMouseMove(x, y);
        EXPECT_FALSE(panel.IsHovered()) << x;
        EXPECT_FALSE(b->IsHovered()) << x;
        panel.OnMouseDown(0, x, y);
        panel.OnClick(0, x, y);
        EXPECT_TRUE(commands.ids.empty()) << x;
    }
    panel.Fade = 1.0f;
    draw(panel, 800, 600);
    EXPECT_TRUE(pixelNear(at(400, 300), {255, 255, 255}));

    panel.Fade = 0.0f;
    draw(panel, 800, 600);
    EXPECT_TRUE(pixelNear(at(400, 300), {0, 0, 0}));
    panel.OnMouseMove(400, 300);
    EXPECT_TRUE(panel.IsHovered());
    EXPECT_TRUE(b->IsHovered());
    panel.OnMouseDown(0, 400, 300);
    panel.OnClick(0, 400, 300);
    EXPECT_EQ(commands.ids, std::vector<int>{5});
    // A hidden panel draws nothing either, and does not step.
    panel.Fade = 1.0f;
    panel.Hide();
    draw(panel, 800, 600);
    EXPECT_TRUE(pixelNear(at(400, 300), {0, 0, 0}));
    EXPECT_FALSE(panel.Step(10.0f));

    // A button lower than the row sits centred in the row's height, and so does its hover zone:
    // the panel at (2, 2), the buttons from (5, 5), the low one from x 39 and y 5 + 8.
    PanelC row(&commands, &animations);
    row.AddButton(1)->SetSize(32, 32, true);
    PanelButtonC* low = row.AddButton(2);
    low->SetSize(32, 16, true);
    row.SetAlignment(0, 0);
    row.Show();
    row.Fade = 1.0f;
    draw(row, 800, 600);
    row.OnMouseMove(50, 9);
    EXPECT_FALSE(low->IsHovered());
    row.OnMouseMove(50, 20);
    EXPECT_TRUE(low->IsHovered());
}

TEST_F(PanelTest, HoverLightsAButtonAndItsReturnTakesTheFadeTime)
{
    const feColor out(0.2f, 0.2f, 0.2f, 0.5f), in1(0.4f, 0.4f, 0.4f, 0.5f), in2(1.0f, 0.0f, 0.0f, 0.0f);
    for (bool overPanel : {false, true}) {
        SCOPED_TRACE(overPanel ? "pointer stays over the panel" : "pointer leaves the panel");
        PanelC panel(&commands, &animations);
        PanelButtonC* b = panel.AddButton(1);
        b->SetSize(32, 32, true);
        b->SetColors(out, in1, in2);
        panel.AddButton(2)->SetSize(32, 32, true);
        panel.Show();
        panel.Fade = 1.0f;
        draw(panel, 800, 600);
        const int y = int(panel.PanelY) + 19;
        const int x0 = int(panel.PanelX) + 19;

        panel.OnMouseMove(x0, y);
        ASSERT_TRUE(b->IsHovered());
        EXPECT_TRUE(panel.Step(10.0f));
        EXPECT_FLOAT_EQ(b->Progress, 0.4f);
        EXPECT_TRUE(b->ColorCurrent == PanelButtonC::Lerp(out, in2, 0.4f));

        panel.OnMouseMove(overPanel ? x0 + 34 : 0, overPanel ? y : 0);
        ASSERT_FALSE(b->IsHovered());
        // Let the panel's own hover transition end first when the pointer left it.
        int steps = 0;
        while (b->Running && steps < 100) {
            panel.Step(10.0f);
            ++steps;
        }
        EXPECT_EQ(steps, 10);  // 0.4 x 250 ms
        EXPECT_FLOAT_EQ(b->Progress, 0.0f);
        EXPECT_TRUE(b->ColorCurrent == (overPanel ? in1 : out));
    }
}

TEST_F(PanelTest, PanelHoverBlendsBackgroundAndIdleButtons)
{
    PanelC panel(&commands, &animations);
    panel.SetColors(feColor(1, 1, 1, 0.85f), feColor(1, 1, 1, 0.35f));
    PanelButtonC* b = panel.AddButton(1);
    b->SetSize(32, 32, true);
    b->SetColors(feColor(0.5f, 0.5f, 0.5f, 0.85f), feColor(0.5f, 0.5f, 0.5f, 0.35f), feColor(1, 0, 0, 0));
    PanelButtonC* other = panel.AddButton(2);
    other->SetSize(32, 32, true);
    other->SetColors(feColor(0.5f, 0.5f, 0.5f, 0.85f), feColor(0.5f, 0.5f, 0.5f, 0.35f), feColor(1, 0, 0, 0));
    panel.Show();
    panel.Fade = 1.0f;
    draw(panel, 800, 600);

    // Over the margin: the panel is hovered, no button is.
    panel.OnMouseMove(int(panel.PanelX) + 1, int(panel.PanelY) + 1);
    ASSERT_TRUE(panel.IsHovered());
    // The buttons step before the panel's progress moves, so they follow one step behind.
    panel.Step(125.0f);
    EXPECT_FLOAT_EQ(panel.GetHoverProgress(), 0.5f);
    EXPECT_NEAR(panel.ColorCurrent.alpha(), 0.6f, 1e-6);
    EXPECT_NEAR(b->ColorCurrent.alpha(), 0.85f, 1e-6);
    panel.Step(125.0f);
    EXPECT_FALSE(panel.HasHoverChanged());
    EXPECT_NEAR(panel.ColorCurrent.alpha(), 0.35f, 1e-6);
    EXPECT_NEAR(other->ColorCurrent.alpha(), 0.6f, 1e-6);
    // The transition has ended: nothing moves any more.
    EXPECT_FALSE(panel.Step(10.0f));
    // Leaving runs it back from where the buttons stood.
    panel.OnMouseMove(0, 0);
    panel.Step(125.0f);
    panel.Step(125.0f);
    EXPECT_NEAR(panel.ColorCurrent.alpha(), 0.85f, 1e-6);
    EXPECT_NEAR(b->ColorCurrent.alpha(), 0.6f + (0.85f - 0.6f) * 0.5f, 1e-6);
}

TEST_F(PanelTest, HoveredButtonDrawsLighterThanAnIdleOne)
{
    PanelC panel(&commands, &animations);
    panel.SetColors(feColor(1, 1, 1, 0.85f), feColor(1, 1, 1, 0.35f));
    for (int id : {1, 2}) {
        PanelButtonC* b = panel.AddButton(id);
        b->SetSize(32, 32, true);
        b->SetColors(feColor(0.67f, 0.67f, 0.67f, 0.85f), feColor(0.67f, 0.67f, 0.67f, 0.35f),
                     feColor(0.52f, 0.78f, 0.91f, 0.35f));
    }
    panel.Show();
    panel.Fade = 1.0f;
    draw(panel, 800, 600);
    const int y = int(panel.PanelY) + 19;
    const int x0 = int(panel.PanelX) + 19;
    const auto idle = at(x0, y);
    panel.OnMouseMove(x0, y);
    for (int i = 0; i < 30; ++i)
        panel.Step(10.0f);
    draw(panel, 800, 600);
    const auto hovered = at(x0, y);
    const auto neighbour = at(x0 + 34, y);
    auto sum = [](std::array<uint8_t, 4> p) { return int(p[0]) + p[1] + p[2]; };
    EXPECT_GT(sum(hovered), sum(idle) + 200);
    EXPECT_GT(sum(hovered), sum(neighbour));
    EXPECT_GT(sum(neighbour), sum(idle) + 200);  // the panel lights up as a whole
    EXPECT_GT(hovered[2], hovered[0] + 20);      // tinted blue
}

TEST_F(PanelTest, StartAnimationFadesTheWholePanel)
{
    PanelC panel(&commands, &animations);
    panel.StartAnimation(250.9f, false);
    EXPECT_EQ(commands.redraws, 1);
    animations.Update(1000);
    EXPECT_EQ(panel.GetFade(), 0.0f);
    animations.Update(1050);
    EXPECT_NEAR(panel.GetFade(), 0.2f, 0.001f);  // linear: eased it would be 1 / (1 + e^3)
    animations.Update(1125);
    EXPECT_NEAR(panel.GetFade(), 0.5f, 0.01f);  // not eased; 250 ms whole
    animations.Update(1250);
    EXPECT_EQ(panel.GetFade(), 1.0f);
    EXPECT_TRUE(animations.IsEmpty());
    panel.StartAnimation(100.0f, true);
    animations.Update(2000);
    EXPECT_EQ(panel.GetFade(), 1.0f);
    animations.Update(2100);
    EXPECT_EQ(panel.GetFade(), 0.0f);
}

TEST_F(PanelTest, FadeThatOutlivesItsPanelWritesNothing)
{
    auto panel = std::make_unique<PanelC>(&commands, &animations);
    panel->StartAnimation(250.0f, false);
    animations.Update(0);
    animations.Update(100);
    panel.reset();
    EXPECT_TRUE(animations.Update(200));
    animations.Update(300);
    EXPECT_TRUE(animations.IsEmpty());
}

TEST_F(PanelTest, ButtonsShowTheirImageStretchedOrItsTopLeftCorner)
{
    // 64 x 64: a red 16 x 16 corner at the top left, green elsewhere.
    PngTestImage image;
    image.Width = image.Height = 64;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool corner = x < 16 && y < 16;
            image.Samples.insert(image.Samples.end(), {corner ? 255u : 0u, corner ? 0u : 255u, 0u});
        }
    const std::string path = v.folder().path() + "/corner.png";
    std::ofstream(path, std::ios::binary) << makePng(image);

    PanelC panel(&commands, &animations);
    panel.SetColors(feColor(0, 0, 0, 1), feColor(0, 0, 0, 1));
    panel.SetAlignment(0, 0);
    PanelButtonC* stretched = panel.AddButton(1);
    stretched->SetSize(64, 64, true);
    PanelButtonC* corner = panel.AddButton(2);
    corner->SetSize(16, 16, false);
    PanelButtonC* plain = panel.AddButton(3);
    plain->SetSize(16, 16, true);
    const feColor white(1, 1, 1, 0);
    for (PanelButtonC* b : {stretched, corner, plain})
        b->SetColors(white, white, white);
    {
        OpenGLLock lock(control);
        stretched->LoadTexture(path.c_str());
        corner->LoadTexture(path.c_str());
        plain->LoadTexture((v.folder().path() + "/missing.png").c_str());
    }
    ASSERT_NE(stretched->Texture, nullptr);
    EXPECT_EQ(plain->Texture, nullptr);
    panel.Show();
    panel.Fade = 1.0f;
    draw(panel, 800, 600);
    // The row starts at (2 + 3, 2 + 3); the short buttons sit centred in its height.
    const int x0 = 5, y0 = 5;
    EXPECT_TRUE(pixelNear(at(x0 + 4, y0 + 59), {255, 0, 0}));   // the image's top left, stretched
    EXPECT_TRUE(pixelNear(at(x0 + 40, y0 + 20), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(x0 + 66 + 8, y0 + 32), {255, 0, 0}));  // the corner only
    EXPECT_TRUE(pixelNear(at(x0 + 66 + 18 + 8, y0 + 32), {255, 255, 255}));  // plain quad
}
