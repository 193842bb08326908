// Tests of explode, transparency fades and the view toggles.
#include <gtest/gtest.h>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/ui/PanelC.h"
#include "tests/viewer/ui/PickTestSupport.h"

namespace {

void expectTranslation(const FEDisplayPartRefC& instance, const Point3D& want)
{
    const Point3D t = instance.GetMatrix().getTranslation();
    EXPECT_NEAR((t - want).length(), 0.0, 1e-9) << t.x() << " " << t.y() << " " << t.z();
}

}  // namespace

TEST(CTavoplexCtrlExplode, ExplodeMovesEveryInstanceThereAndBackKeepingItsRotationAndRefitsTheCamera)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    FEDisplayPartListC* model = cubeModel({{0, 0, 0}, {0, 4, 0}});
    // A turned instance: base rotated 30 degrees about z at (3, 0, 0), exploded at (3, 0, -20)
    // with a different rotation, which the explode must not take over.
    TransformMatrix base, exploded;
    base.rotate(0, 0, 30);
    base.translate(3, 0, 0);
    exploded.rotate(90, 0, 0);
    exploded.translate(3, 0, -20);
    model->addInstance(new FEDisplayPartRefC(0, model->getPart(0), base, exploded));
    showModel(c, model);
    c.ComputeBoundingBoxes(false);
    const double zoomBefore = c.Zoom;

    uint32_t now = 5000;
    c.ToggleExplode();
    EXPECT_TRUE(c.Exploded);
    // One move per instance and the camera's.
    EXPECT_EQ(c.Animations.Count(), 4u);
    c.Animations.Update(now);
    expectTranslation(*model->getInstance(0), {0, 0, 0});
    c.Animations.Update(now += 500);
    const double halfway = model->getInstance(0)->GetMatrix().getTranslation().x();
    EXPECT_GT(halfway, 0.5);
    EXPECT_LT(halfway, 9.5);
    c.Animations.Update(now += 500);
    EXPECT_TRUE(c.Animations.IsEmpty());
    expectTranslation(*model->getInstance(0), {10, 0, 0});
    expectTranslation(*model->getInstance(1), {10, 4, 0});
    expectTranslation(*model->getInstance(2), {3, 0, -20});
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(model->getInstance(2)->GetMatrix().at(i, j), base.at(i, j), 1e-12);
    // The scene box is that of the exploded placements, and the camera fits it.
    EXPECT_NEAR(c.SceneMax.x(), 11.0, 1e-9);
    EXPECT_NEAR(c.SceneMin.z(), -21.0, 1e-6);
    EXPECT_NE(c.Zoom, zoomBefore);
    EXPECT_EQ(c.PanX, 0.0);

    c.ToggleExplode();
    EXPECT_FALSE(c.Exploded);
    c.Animations.Update(now += 25);
    c.Animations.Update(now += 1000);
    expectTranslation(*model->getInstance(0), {0, 0, 0});
    expectTranslation(*model->getInstance(2), {3, 0, 0});
    EXPECT_NEAR(c.SceneMax.x(), 4.0, 0.5);
}

TEST(CTavoplexCtrlExplode, ExplodeWithoutModelOnlyFlipsTheStateAndFadesRunFromTheCurrentValue)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.ToggleExplode();
    EXPECT_TRUE(c.Exploded);
    // No frame yet: nothing to fit, nothing to move.
    EXPECT_TRUE(c.Animations.IsEmpty());
    c.FadeAllParts(0.5f);
    EXPECT_TRUE(c.Animations.IsEmpty());

    showModel(c, cubeModel({{0, 0, 0}, {3, 0, 0}}));
    FEDisplayPartListC& m = *c.Parts;
    uint32_t now = 100;
    c.FadePart(m.getInstance(0), 0.75f);
    c.Animations.Update(now);
    c.Animations.Update(now += 250);
    EXPECT_FLOAT_EQ(m.getInstance(0)->GetTransparency(), 0.75f);
    EXPECT_FLOAT_EQ(m.getInstance(1)->GetTransparency(), 0.0f);
    // Fading all back to 0 starts each from where it is.
    m.getInstance(1)->SetTransparency(0.25f);
    c.FadeAllParts(0.0f);
    EXPECT_EQ(c.Animations.Count(), 2u);
    c.Animations.Update(now += 1);
    EXPECT_NEAR(m.getInstance(0)->GetTransparency(), 0.75f, 0.01f);
    EXPECT_NEAR(m.getInstance(1)->GetTransparency(), 0.25f, 0.01f);
    c.Animations.Update(now += 250);
    EXPECT_FLOAT_EQ(m.getInstance(0)->GetTransparency(), 0.0f);
    EXPECT_FLOAT_EQ(m.getInstance(1)->GetTransparency(), 0.0f);
}

TEST(CTavoplexCtrlExplode, AnimationsIntoAReleasedModelAreDroppedUnapplied)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    showModel(c, cubeModel({{0, 0, 0}, {3, 0, 0}}));
    c.ComputeBoundingBoxes(false);
    c.FadeAllParts(0.75f);
    c.ToggleExplode();
    ASSERT_EQ(c.Animations.Count(), 5u);
    c.Animations.Update(1000);
    // What a new load does before it lets the old model go: only the camera's move stays.
    c.Animations.RemoveModelAnimations();
    EXPECT_EQ(c.Animations.Count(), 1u);
    c.Parts.reset();
    c.Animations.Update(3000);  // would write into freed instances (caught by the sanitizer build)
    EXPECT_TRUE(c.Animations.IsEmpty());
    // The control goes with running instance animations: its destruction applies none.
    showModel(c, cubeModel({{0, 0, 0}}));
    c.FadeAllParts(0.75f);
    v.close();
}

TEST(CTavoplexCtrlExplode, HelpPanelAndDisplayModeTogglesRedrawAtOnce)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.HelpPanel = std::make_unique<PanelC>(nullptr, &c.Animations);
    const unsigned redraws = v.host().redrawRequests();
    c.ToggleHelpPanel();
    EXPECT_TRUE(c.HelpShown);
    c.Animations.Update(0);
    c.Animations.Update(350);
    EXPECT_FLOAT_EQ(c.HelpPanel->GetFade(), 1.0f);
    c.ToggleHelpPanel();
    EXPECT_FALSE(c.HelpShown);
    c.Animations.Update(400);
    c.Animations.Update(750);
    EXPECT_FLOAT_EQ(c.HelpPanel->GetFade(), 0.0f);
    c.SetDisplayMode(1);
    EXPECT_EQ(c.DisplayMode, 1);
    EXPECT_EQ(v.host().redrawRequests(), redraws + 3);
}
