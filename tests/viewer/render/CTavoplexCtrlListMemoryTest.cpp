// Tests of building a display list when memory runs out part way: the OpenGL state stays usable.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <new>

#include "tests/support/FailingAllocation.h"
#include "viewer/render/DrawTestSupport.h"

TEST(CTavoplexCtrlListMemory, ListThatRunsOutOfMemoryIsClosedAndDropped)
{
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    refHandle<FEDisplayPartC> part(makeTorus(40, 24));
    ASSERT_TRUE(c.LockOpenGL());
    // The list of faces (8 bytes a face) is still granted, their corners (72 bytes a triangle)
    // are not.
    {
        failingallocation::Scope scope(64 * 1024);
        EXPECT_THROW(c.MakeListFromMesh(part), std::bad_alloc);
    }
    GLint compiling = -1;
    glGetIntegerv(GL_LIST_INDEX, &compiling);
    EXPECT_EQ(compiling, 0);
    EXPECT_EQ(part->getDisplayList(), -1);
    // The context may have noted the shortage itself.
    while (glGetError() != GL_NO_ERROR) {
    }

    // Built again with memory enough, the list is whole.
    c.MakeListFromMesh(part);
    EXPECT_GE(part->getDisplayList(), 0);
    glGetIntegerv(GL_LIST_INDEX, &compiling);
    EXPECT_EQ(compiling, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    c.UnlockOpenGL();
}
