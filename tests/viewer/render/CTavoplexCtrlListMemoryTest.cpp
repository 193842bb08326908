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

TEST(CTavoplexCtrlListMemory, LinePassWithoutRoomForItsEdgeTableDrawsTheSameLines)
{
    // A torus with creases (flat normals) and more edges than one run of the line pass; lines
    // over ghosts, so that hidden lines show too. The pass is recorded into lists, so that
    // nothing but the pass itself asks for memory while the edge table's room is not granted.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    c.Grid = 0;
    FEDisplayPartC* torus = new FEDisplayPartC();
    benchsupport::buildTorus(*torus, 240, 160);
    torus->finalize(-1.0);
    installParts(c, modelOf(torus));
    c.Rotation.rotate(-50.0, 0.0, 20.0);
    c.DisplayMode = 0;
    renderSettled(v);
    ASSERT_TRUE(c.LockOpenGL());
    const FEDisplayPartRefC& instance = *c.Parts->getInstance(0);
    auto record = [&](size_t failFrom) {
        const GLuint list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        {
            failingallocation::Scope scope(failFrom);
            EXPECT_NO_THROW(c.DrawPartLines(instance)) << failFrom;
        }
        glEndList();
        return list;
    };
    auto picture = [&](GLuint list) {
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(c.ProjectionMatrix);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(c.ModelViewMatrix);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glCallList(list);
        std::vector<uint8_t> rgba(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glDeleteLists(list, 1);
        return rgba;
    };
    const std::vector<uint8_t> roomy = picture(record(0));
    const std::vector<uint8_t> starved = picture(record(128 * 1024));
    c.UnlockOpenGL();
    size_t dark = 0;
    for (size_t i = 0; i < roomy.size(); i += 4)
        dark += roomy[i] < 128;
    EXPECT_GT(dark, 100u);
    EXPECT_TRUE(starved == roomy);
}
