// Tests of the control's OpenGL context, its re-entrant lock and the first OpenGL objects.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "platform/gl/GlContext.h"
#include "viewer/ViewerTestSupport.h"

TEST(CTavoplexCtrlOpenGL, WindowCreationMakesContextFontTextureAndTimer)
{
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.open();
    ASSERT_NE(c.GLContext, nullptr);
    EXPECT_EQ(c.GLLockCount, 0);
    EXPECT_FALSE(c.GLContext->isCurrent());
    EXPECT_NE(c.Font.ListBase, GLuint(-1));
    EXPECT_GT(c.Font.CharHeight, 0);
    EXPECT_NE(c.ShadowTexture, GLuint(-1));
    EXPECT_EQ(c.LastTick, 0xFFFFFFFFu);
    ASSERT_EQ(v.host().timers().count(1u), 1u);
    EXPECT_EQ(v.host().timers().at(1), 25u);

    ASSERT_TRUE(c.LockOpenGL());
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    c.PresentFrame();
    c.UnlockOpenGL();
    EXPECT_EQ(v.frame().width, 64);
    EXPECT_EQ(v.frame().height, 48);
    EXPECT_TRUE(pixelNear(v.pixel(10, 10), {255, 0, 0}));
}
