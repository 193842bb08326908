// Tests of the parts' display lists: every triangle in the list, the coloured ones recorded,
// the same picture whether built on one thread or several or drawn in flushed groups, and a
// build that runs out of memory.
// For the buffer objects of OpenGL 1.5, which the libraries export.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cmath>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "geometry/display/FETriangleCollectorC.h"
#include "platform/gl/GlContext.h"
#include "platform/sys.h"
#include "tests/support/BenchSupport.h"
#include "tests/support/FailingAllocation.h"
#include "tests/viewer/loader/LoaderTestSupport.h"
#include "tests/viewer/render/DrawTestSupport.h"
#include "viewer/render/PartListCompileC.h"

namespace {

using Pixel = std::array<uint8_t, 4>;

feColor grey() { return feColor(0.6f, 0.6f, 0.6f, 1.0f); }

// Runs body; a body that has not returned within a minute hangs, and the process (whose threads
// would hold it for good) ends failing.
template <class Body>
void withinAMinute(Body&& body)
{
    std::mutex lock;
    std::condition_variable returned;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock<std::mutex> guard(lock);
        if (!returned.wait_for(guard, std::chrono::minutes(1), [&] { return done; })) {
            std::fprintf(stderr, "hangs\n");
            std::_Exit(1);
        }
    });
    body();
    {
        std::lock_guard<std::mutex> guard(lock);
        done = true;
    }
    returned.notify_all();
    watch.join();
}

}  // namespace

TEST(CTavoplexCtrlDisplayLists, ListHoldsEveryTriangleAndRecordsOnlyColouredFaces)
{
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    auto* red = new FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1);
    refHandle<FEDisplayPartC> part(makeCube(5, grey(), red));
    ASSERT_TRUE(c.LockOpenGL());
    c.MakeListFromMesh(part);
    const int first = part->getDisplayList();
    EXPECT_GE(first, 0);
    EXPECT_TRUE(glIsList(GLuint(first)));
    EXPECT_EQ(part->triangleCount(), 2u);
    // Building again empties the records first.
    c.MakeListFromMesh(part);
    EXPECT_EQ(part->triangleCount(), 2u);
    EXPECT_NE(part->getDisplayList(), first);
    for (auto it = part->triangleIterator(); it();)
        EXPECT_EQ(it.key()->getColor(), feColor(1, 0, 0, 1));

    // Every triangle of the part is in the list: drawn through feedback, twelve of them.
    std::vector<GLfloat> feedback(4096);
    startFeedback(feedback);
    glDisable(GL_CULL_FACE);
    glCallList(GLuint(part->getDisplayList()));
    const GLint values = glRenderMode(GL_RENDER);
    int polygons = 0;
    for (GLint i = 0; i < values;) {
        ASSERT_EQ(feedback[size_t(i)], GLfloat(GL_POLYGON_TOKEN));
        const int n = int(feedback[size_t(i) + 1]);
        EXPECT_EQ(n, 3);
        i += 2 + 3 * n;
        ++polygons;
    }
    EXPECT_EQ(polygons, 12);
    c.UnlockOpenGL();
}

namespace {

// The part's list against its collected triangles sent one by one: the same picture.
void expectListDrawsItsTriangles(int rings, int segments)
{
    ViewerHarness v(160, 160);
    CTavoplexCtrl& c = v.open();
    FEDisplayPartC* torus = makeTorus(rings, segments);
    refHandle<FEDisplayPartC> part(torus);
    c.SceneMin = Point3D(-70, -70, -20);
    c.SceneMax = Point3D(70, 70, 20);
    c.WindowWidth = c.WindowHeight = 160;
    c.Rotation.rotate(-50.0, 0.0, 20.0);

    ASSERT_TRUE(c.LockOpenGL());
    c.MakeListFromMesh(part);
    c.FinishPartLists();
    // The reference: the same triangles, each in its own begin and end.
    FETriangleCollectorC collector(16384);
    torus->triangulate(&collector);
    const GLuint reference = glGenLists(1);
    glNewList(reference, GL_COMPILE);
    for (auto it = collector.getTriangleIterator(); it();) {
        glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; ++k) {
            const Point3D& n = it.key()->getNormal(k);
            const Point3D& p = it.key()->getPosition(k);
            glNormal3f(float(n.x()), float(n.y()), float(n.z()));
            glVertex3f(float(p.x()), float(p.y()), float(p.z()));
        }
        glEnd();
    }
    glEndList();
    std::vector<uint8_t> pictures[2];
    const GLuint lists[2] = {GLuint(part->getDisplayList()), reference};
    for (int i = 0; i < 2; ++i) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // The lights follow the modelview matrix in force: the same for both pictures.
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        c.SetupViewport();
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glColor4f(0.8f, 0.5f, 0.3f, 1.0f);
        glCallList(lists[i]);
        pictures[i].resize(160 * 160 * 4);
        glReadPixels(0, 0, 160, 160, GL_RGBA, GL_UNSIGNED_BYTE, pictures[i].data());
    }
    glDeleteLists(reference, 1);
    c.UnlockOpenGL();
    int covered = 0, different = 0;
    for (size_t i = 0; i < pictures[0].size(); i += 4) {
        covered += pictures[0][i] != 0;
        for (size_t ch = 0; ch < 3; ++ch)
            if (std::abs(int(pictures[0][i + ch]) - int(pictures[1][i + ch])) > 2) {
                ++different;
                break;
            }
    }
    EXPECT_GT(covered, 160 * 160 / 5);
    EXPECT_EQ(different, 0);
}

}  // namespace

TEST(CTavoplexCtrlDisplayLists, ListDrawsTheSamePictureAsTrianglesSentOneByOne)
{
    // A small torus, and one of more faces (its quadrilaterals) than the list is given at a
    // time (131072).
    const std::pair<int, int> sizes[] = {{40, 24}, {400, 360}};
    for (auto [rings, segments] : sizes) {
        SCOPED_TRACE(rings);
        expectListDrawsItsTriangles(rings, segments);
    }
}

TEST(CTavoplexCtrlDisplayLists, ListCompiledOnManyThreadsDrawsTheSamePixelsAsOnOne)
{
    // A smoothed torus of more faces than one thread's list is given, shaded with lines and
    // shadow, then as a ghost: the list built on several threads (runs in lists of their own)
    // and on one; the runs drawn in groups with flushes between them and in one call. A cone
    // too, whose base (one face of 100,000 corners, the last) is compiled before the runs in
    // front of it.
    auto picture = [](const char* threads, bool grouped, bool cone) {
        setenv("TAVOPLEX_THREADS", threads, 1);
        FEDisplayPartC* part = new FEDisplayPartC();
        if (cone)
            benchsupport::buildCone(*part, 200000);
        else
            benchsupport::buildTorus(*part, 400, 360);
        part->finalize(-1.0);
        part->smoothNormals();
        ViewerHarness v(200, 200);
        CTavoplexCtrl& c = v.open();
        c.Grid = 0;
        c.FlushListGroups = grouped;
        installParts(c, modelOf(part));
        c.Rotation.rotate(-50.0, 0.0, 20.0);
        std::vector<uint8_t> bytes;
        for (int mode : {4, 0}) {
            c.DisplayMode = mode;
            renderSettled(v);
            EXPECT_EQ(v.frame().width, 200);
            EXPECT_EQ(v.frame().height, 200);
            bytes.insert(bytes.end(), v.frame().rgba.begin(), v.frame().rgba.end());
        }
        // Only a list built in runs has lists of its own after the part's: without them the
        // pictures would come from the same one-thread build. Enough runs for several groups.
        OpenGLLock lock(c);
        EXPECT_EQ(glIsList(GLuint(part->getDisplayList()) + 1) == GL_TRUE, std::string(threads) != "1")
            << threads << " threads";
        if (std::string(threads) != "1") {
            EXPECT_GE(part->getDisplayListCount(), 9);
        }
        return bytes;
    };
    for (bool cone : {false, true}) {
        SCOPED_TRACE(cone ? "cone" : "torus");
        const std::vector<uint8_t> serial = picture("1", true, cone);
        const std::vector<uint8_t> grouped = picture("8", true, cone);
        const std::vector<uint8_t> whole = picture("8", false, cone);
        unsetenv("TAVOPLEX_THREADS");
        int shaded = 0;
        for (size_t i = 0; i < serial.size() / 2; i += 4)
            shaded += !std::equal(serial.begin() + long(i), serial.begin() + long(i) + 3, serial.begin());
        EXPECT_GT(shaded, 200 * 200 / (cone ? 20 : 5));
        EXPECT_TRUE(serial == whole);
        EXPECT_TRUE(grouped == whole);
    }
}

// The runs are taken costly first, the rest in their own order, each once; the cost is the
// corners of the run's faces.
TEST(CTavoplexCtrlDisplayLists, CostlyRunsAreTakenFirst)
{
    const struct {
        std::vector<size_t> costs;
        std::vector<uint32_t> order;
    } cases[] = {
        {{}, {}},
        {{7}, {0}},
        {{5, 5, 5, 4}, {0, 1, 2, 3}},
        {{1, 1, 1, 1, 9, 1, 1, 8}, {4, 7, 0, 1, 2, 3, 5, 6}},
        {{9, 1, 9, 1, 1, 1, 1, 1}, {0, 2, 1, 3, 4, 5, 6, 7}},  // a tie keeps the runs' order
        {{2, 2, 7, 2}, {2, 0, 1, 3}},                         // more than twice the mean (7 > 6.5)
        {{2, 2, 6, 2}, {0, 1, 2, 3}},                         // not more (6 = 6)
    };
    for (const auto& k : cases) {
        std::vector<uint32_t> order = {42};
        OrderRunsByCost(k.costs, order);
        EXPECT_EQ(order, k.order) << ::testing::PrintToString(k.costs);
    }
    // A cone's faces: the mantle's (three corners each, or a few more where flat neighbours
    // merged) and the base's, one face of a corner per rim point.
    FEDisplayPartC cone;
    benchsupport::buildCone(cone, 2000);
    cone.finalize(-1.0);
    size_t faces = 0;
    for (FEMeshFaceC* f = cone.getFirstFace(); f; f = f->getNext())
        ++faces;
    FEMeshFaceC* last = cone.getFirstFace();
    for (size_t i = 1; i < faces; ++i)
        last = last->getNext();
    EXPECT_EQ(CornersOfFaces(last, 5), size_t(1000));
    EXPECT_GE(CornersOfFaces(cone.getFirstFace(), faces - 1), 3 * (faces - 1));
    EXPECT_EQ(CornersOfFaces(cone.getFirstFace(), faces) - CornersOfFaces(cone.getFirstFace(), faces - 1), size_t(1000));

    // The caller takes from the back of the order, away from the costly runs: given the time of
    // one run, it compiles the last run but the base's (the last, costly, first in the order).
    FEDisplayPartC* coned = new FEDisplayPartC();
    benchsupport::buildCone(*coned, 2000);
    coned->finalize(-1.0);
    refHandle<FEDisplayPartC> part(coned);
    std::vector<FEMeshFaceC*> starts;
    size_t i = 0;
    for (FEMeshFaceC* f = coned->getFirstFace(); f; f = f->getNext(), ++i)
        if (i % 64 == 0)
            starts.push_back(f);
    const size_t runs = starts.size();
    ASSERT_GE(runs, size_t(4));
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    OpenGLLock lock(c);
    // The runs' names are let go again: only the runs compiled are lists then.
    const GLuint list = glGenLists(GLsizei(runs + 1));
    glDeleteLists(list + 1, GLsizei(runs));
    withinAMinute([&] {
        PartListCompileC compile(part, starts, 64, list, platform::gl::GlContext::current(), 0);
        compile.shareUntil(1e9, 1);
    });
    for (size_t r = 0; r < runs; ++r)
        EXPECT_EQ(glIsList(list + 1 + GLuint(r)) == GL_TRUE, r == runs - 2) << r;
    glDeleteLists(list, GLsizei(runs + 1));
    // Dropped at once, before its helpers have costed the runs (a face each) or started: the
    // caller costs none, they cost them all and go, a run later at most.
    std::vector<FEMeshFaceC*> each;
    TakeFaces(coned->getFirstFace(), SIZE_MAX, each);
    withinAMinute([&] { PartListCompileC dropped(part, each, 1, 0, platform::gl::GlContext::current(), 3); });
    // A part of no runs leaves nothing to cost: no thread waits for an order, with a context
    // current or without.
    for (bool current : {true, false}) {
        withinAMinute([&] {
            PartListCompileC none(part, {}, 64, 0, nullptr, 2);
            if (!current)
                c.UnlockOpenGL();
            none.finish();
            if (!current)
                c.LockOpenGL();
        });
        withinAMinute([&] { PartListCompileC none(part, {}, 64, 0, nullptr, 2); });
    }
}

// A part with coloured faces compiled in runs on several threads records their triangles in
// face order, as one thread does, whatever order the runs were taken in: a cone whose base
// (coloured too, costly and last) is taken first.
TEST(CTavoplexCtrlDisplayLists, ColouredTrianglesOfRunsAreRecordedInFaceOrder)
{
    auto records = [](const std::string& threads) {
        setenv("TAVOPLEX_THREADS", threads.c_str(), 1);
        FEDisplayPartC* cone = new FEDisplayPartC();
        benchsupport::buildCone(*cone, 200000);
        cone->finalize(-1.0);
        int i = 0;
        for (FEMeshFaceC* f = cone->getFirstFace(); f; f = f->getNext(), ++i)
            if (i % 7 == 0 || f->getNext() == nullptr)
                f->setFaceInfo(new FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1));
        refHandle<FEDisplayPartC> part(cone);
        ViewerHarness v(64, 64);
        CTavoplexCtrl& c = v.open();
        OpenGLLock lock(c);
        c.MakeListFromMesh(part);
        c.FinishPartLists();
        unsetenv("TAVOPLEX_THREADS");
        EXPECT_EQ(part->getDisplayListCount() > 1, threads != "1") << threads << " threads";
        std::vector<double> corners;
        for (auto it = part->triangleIterator(); it();)
            for (int k = 0; k < 3; ++k)
                corners.insert(corners.end(), {it.key()->getPosition(k).x(), it.key()->getPosition(k).y(),
                                               it.key()->getPosition(k).z()});
        return corners;
    };
    const std::vector<double> serial = records("1");
    // The base's triangles (66,090 of them) among them.
    EXPECT_GT(serial.size(), size_t(9 * 70000));
    EXPECT_TRUE(records("8") == serial);
}

// A list compiled on several threads leaves no freed memory backed behind it: the helpers'
// contexts and the compile's working room go back to the system, not only to the allocator.
TEST(CTavoplexCtrlDisplayLists, ListCompiledOnManyThreadsLeavesNoFreedMemoryBehind)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory its own way";
#else
    setenv("TAVOPLEX_THREADS", "4", 1);
    FEDisplayPartC* torus = new FEDisplayPartC();
    benchsupport::buildTorus(*torus, 400, 360);
    torus->finalize(-1.0);
    refHandle<FEDisplayPartC> part(torus);
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    ASSERT_TRUE(c.LockOpenGL());
    platform::sys::returnFreedMemory();
    c.MakeListFromMesh(part);
    c.FinishPartLists();
    unsetenv("TAVOPLEX_THREADS");
    EXPECT_TRUE(glIsList(GLuint(part->getDisplayList()) + 1));  // built in runs, on threads
    // What is still there to give back: a handful of pages at most. Without the giving back,
    // 10 MB and more.
    const size_t left = benchsupport::residentBytes();
    platform::sys::returnFreedMemory();
    const size_t after = benchsupport::residentBytes();
    EXPECT_LT(left - std::min(left, after), size_t(2) << 20);
    c.UnlockOpenGL();
#endif
}

// A part of more faces than one thread compiles leaves its compile running after
// MakeListFromMesh. A frame waits for it and draws what a compile finished at once draws; a
// model unloaded or loaded anew meanwhile stops it and deletes its lists; so does the control
// going; the context stays usable.
TEST(CTavoplexCtrlDisplayLists, ListsStillCompilingAreWaitedForOrDroppedWithTheirModel)
{
    auto torus = [] {
        FEDisplayPartC* t = new FEDisplayPartC();
        benchsupport::buildTorus(*t, 200, 180);
        t->finalize(-1.0);
        t->smoothNormals();
        return t;
    };
    std::vector<uint8_t> frames[2];
    for (bool beside : {false, true}) {
        ViewerHarness v(120, 120);
        CTavoplexCtrl& c = v.open();
        c.Grid = 0;
        c.ListsBesideFrames = beside;
        installParts(c, modelOf(torus()));
        EXPECT_EQ(c.PendingPartLists != nullptr, beside);
        renderSettled(v);
        EXPECT_EQ(c.PendingPartLists, nullptr);
        frames[beside] = v.frame().rgba;
    }
    EXPECT_TRUE(frames[1] == frames[0]);

    ViewerHarness v(120, 120);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    auto expectListsGone = [&](GLuint first, int count) {
        OpenGLLock lock(c);
        for (int i = 0; i < count; ++i)
            EXPECT_FALSE(glIsList(first + GLuint(i))) << i;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    };
    {
        // Whatever the set-up left noted is not the lists'.
        OpenGLLock lock(c);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    // A compile that failed and was never waited for belongs to the model it was for: a new
    // load drops it with that model and does not fail for it.
    const struct {
        bool reload, failed;
    } cases[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& k : cases) {
        const bool reload = k.reload;
        SCOPED_TRACE(testing::Message() << (reload ? "loaded anew" : "unloaded") << (k.failed ? ", failed" : ""));
        FEDisplayPartListC* model = modelOf(torus());
        if (k.failed) {
            // The corners of a run (590 kB) are not granted: the compile fails before it returns.
            failingallocation::Scope scope(64 * 1024);
            installParts(c, model);
        } else {
            installParts(c, model);
        }
        ASSERT_NE(c.PendingPartLists, nullptr);
        const FEDisplayPartC& part = *c.Parts->getPart(0);
        const GLuint first = GLuint(part.getDisplayList());
        const int count = part.getDisplayListCount();
        EXPECT_GT(count, 2);
        if (reload)
            runLoad(v, v.folder().write("cube.stl", cubeStl(40.0f)));
        else
            c.ReleaseModel();
        EXPECT_EQ(c.PendingPartLists, nullptr);
        expectListsGone(first, count);
    }
    ASSERT_FALSE(c.LoadFailed);
    EXPECT_FALSE(c.PartListsFailed);
    v.advance(3000);
    v.paint();
    EXPECT_FALSE(pixelNear(v.pixel(60, 60), {v.pixel(1, 1)[0], v.pixel(1, 1)[1], v.pixel(1, 1)[2]}, 30));
    // The control goes with a compile running, a failed one too: its threads and contexts with
    // it, and nothing thrown.
    installParts(c, modelOf(torus()));
    EXPECT_NE(c.PendingPartLists, nullptr);
    ViewerHarness failing(120, 120);
    CTavoplexCtrl& other = failing.open();
    FEDisplayPartListC* model = modelOf(torus());
    {
        failingallocation::Scope scope(64 * 1024);
        installParts(other, model);
    }
    EXPECT_NE(failing.control().PendingPartLists, nullptr);
}

// A build that runs out of memory part way leaves the OpenGL state usable: a small part's in
// MakeListFromMesh (with a list or in the shared buffers), a large one's where it is finished
// (throwing), or in a frame (failing the load).
TEST(CTavoplexCtrlDisplayLists, ListThatRunsOutOfMemoryIsClosedAndDropped)
{
    const struct {
        int rings, segments;
        bool inFrame;
        bool buffered;
    } cases[] = {{40, 24, false, false}, {40, 24, false, true}, {200, 180, false, false}, {200, 180, true, false}};
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.rings << (k.inFrame ? " in a frame" : "")
                                        << (k.buffered ? " in the buffers" : ""));
        ViewerHarness v(64, 64);
        CTavoplexCtrl& c = v.open();
        if (k.buffered)
            c.PartBuffers.OwnLists = 0;
        refHandle<FEDisplayPartC> part(makeTorus(k.rings, k.segments));
        const bool large = k.rings > 100;
        ASSERT_TRUE(c.LockOpenGL());
        // The list of faces (8 bytes a face) is still granted, their corners (72 bytes a
        // triangle) are not.
        {
            failingallocation::Scope scope(64 * 1024);
            if (!large) {
                EXPECT_THROW(c.MakeListFromMesh(part), std::bad_alloc);
            } else {
                c.MakeListFromMesh(part);
                ASSERT_NE(c.PendingPartLists, nullptr);
                if (k.inFrame)
                    EXPECT_FALSE(c.PartListsReady());
                else
                    EXPECT_THROW(c.FinishPartLists(), std::bad_alloc);
            }
        }
        EXPECT_EQ(c.PendingPartLists, nullptr);
        EXPECT_EQ(c.LoadFailed, k.inFrame);
        if (k.inFrame) {
            EXPECT_NE(std::string(c.FailureReason.data()).find("not enough memory to load it"), std::string::npos);
        }
        GLint compiling = -1;
        glGetIntegerv(GL_LIST_INDEX, &compiling);
        EXPECT_EQ(compiling, 0);
        EXPECT_EQ(part->getDisplayList(), -1);
        EXPECT_FALSE(c.HasPartSurfaces(*part));
        EXPECT_EQ(part->triangleCount(), 0u);
        // The context may have noted the shortage itself.
        while (glGetError() != GL_NO_ERROR) {
        }

        // Built again with memory enough, the list is whole.
        c.MakeListFromMesh(part);
        c.FinishPartLists();
        EXPECT_EQ(part->getDisplayList() >= 0, !k.buffered);
        EXPECT_TRUE(c.HasPartSurfaces(*part));
        EXPECT_EQ(part->getDisplayListCount() > 1, large);
        glGetIntegerv(GL_LIST_INDEX, &compiling);
        EXPECT_EQ(compiling, 0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        c.UnlockOpenGL();
    }
}

// A compile that fails behind the frames fails the load in the window's first frame that draws
// the model: the failure and its reason are shown, the lists are gone, and the frame draws on.
TEST(CTavoplexCtrlDisplayLists, CompileFailingBehindTheFramesFailsTheLoadInTheWindowsFrame)
{
    ViewerHarness v(96, 96);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    FEDisplayPartListC* model = modelOf(makeTorus(200, 180));
    {
        // The corners of a run (590 kB) are not granted: the failure is kept for the frame.
        failingallocation::Scope scope(64 * 1024);
        installParts(c, model);
    }
    ASSERT_NE(c.PendingPartLists, nullptr);
    const FEDisplayPartC& part = *c.Parts->getPart(0);
    const GLuint first = GLuint(part.getDisplayList());
    const int count = part.getDisplayListCount();
    EXPECT_FALSE(c.LoadFailed);
    v.paint();
    EXPECT_EQ(c.PendingPartLists, nullptr);
    EXPECT_TRUE(c.LoadFailed);
    EXPECT_TRUE(c.PartListsFailed);
    EXPECT_NE(std::string(c.FailureReason.data()).find("not enough memory to load it"), std::string::npos)
        << c.FailureReason.data();
    EXPECT_EQ(part.getDisplayList(), -1);
    {
        OpenGLLock lock(c);
        GLint compiling = -1;
        glGetIntegerv(GL_LIST_INDEX, &compiling);
        EXPECT_EQ(compiling, 0);
        for (int i = 0; i < count; ++i)
            EXPECT_FALSE(glIsList(first + GLuint(i))) << i;
    }
    // Later frames draw the failed load as any other, and a new load starts afresh.
    v.advance(2000);
    v.paint();
    runLoad(v, v.folder().write("cube.stl", cubeStl(40.0f)));
    EXPECT_FALSE(c.LoadFailed);
    EXPECT_FALSE(c.PartListsFailed);
}

namespace {

// One triangle in the z = 0 plane, facing +z, as a part of its own.
FEDisplayPartC* makeTriangle(const feColor& colour)
{
    auto* part = new FEDisplayPartC();
    const Point3D pts[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    part->addFace(pts, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part->endFace();
    part->setColor(colour);
    return part;
}

// n parts of one triangle each, placed in a square grid.
FEDisplayPartListC* gridOfTriangles(size_t n)
{
    auto* model = new FEDisplayPartListC();
    const size_t side = size_t(std::ceil(std::sqrt(double(n))));
    for (size_t i = 0; i < n; ++i) {
        FEDisplayPartC* part = makeTriangle(feColor(float(i % 7) / 7.0f, float(i % 5) / 5.0f, 0.5f, 1.0f));
        model->addPart(part);
        const TransformMatrix m = translation(1.5 * double(i % side), 1.5 * double(i / side), 0);
        model->addInstance(new FEDisplayPartRefC(int(i), part, m, m));
    }
    return model;
}

}  // namespace

// Parts beyond a model's own lists are drawn from the shared buffers with the pixels their own
// lists give: each in its colour and placement, coloured faces over it, see-through ones in the
// later passes, those of negative transparency left out; shaded, ghosted and with lines, with
// the shadow; a part placed twice and an empty part among them.
TEST(CTavoplexCtrlDisplayLists, PartsInTheSharedBuffersDrawTheSamePixelsAsWithListsOfTheirOwn)
{
    auto pictures = [](size_t ownLists) {
        ViewerHarness v(240, 240);
        CTavoplexCtrl& c = v.open();
        // A white background, on which the shadow shows.
        const feColor white(1.0f, 1.0f, 1.0f, 1.0f);
        c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = white;
        c.Grid = c.Border = c.Axes = 0;
        c.PartBuffers.OwnLists = ownLists;
        auto* model = new FEDisplayPartListC();
        const int kParts = 30;
        for (int i = 0; i < kParts; ++i) {
            const feColor colour(float(i % 5) / 5.0f, float(i % 3) / 3.0f, float(i % 7) / 7.0f, 1.0f);
            FEMeshFaceInfoI* front = i % 4 == 0 ? new FEMeshFaceInfoColorC(1, 0.2f, 0, 1, 0, 0.5f, 1) : nullptr;
            FEDisplayPartC* part = i == 7 ? new FEDisplayPartC() : makeCube(5.0 + 0.5 * (i % 4), colour, front);
            model->addPart(part);
            const TransformMatrix m = translation(17.5 * (i % 6) - 45, 3.5 * (i % 3), 17.5 * (i / 6) - 35);
            auto* instance = new FEDisplayPartRefC(i, part, m, m);
            instance->SetTransparency(i % 5 == 1 ? 0.5f : i % 9 == 4 ? -0.25f : 0.0f);
            model->addInstance(instance);
        }
        // The first part a second time, further on.
        const TransformMatrix again = translation(-5, 5, -50);
        model->addInstance(new FEDisplayPartRefC(0, model->getParts()[0].get(), again, again));
        installParts(c, model);
        c.Rotation.rotate(20.0, 30.0, 0.0);
        size_t withLists = 0;
        for (int i = 0; i < kParts; ++i)
            withLists += c.Parts->getPart(size_t(i))->getDisplayList() >= 0 ? 1 : 0;
        EXPECT_EQ(withLists, std::min<size_t>(ownLists, kParts)) << ownLists;
        std::vector<uint8_t> bytes;
        for (int mode : {4, 3, 0, 1}) {
            c.DisplayMode = mode;
            renderSettled(v);
            bytes.insert(bytes.end(), v.frame().rgba.begin(), v.frame().rgba.end());
        }
        // The buffers go with the model.
        c.ReleaseModel();
        EXPECT_TRUE(c.PartBuffers.empty());
        return bytes;
    };
    const std::vector<uint8_t> own = pictures(SIZE_MAX);
    // Pictures that show the parts: many pixels differ from the first one's.
    int drawn = 0;
    for (size_t i = 0; i < own.size() / 4; i += 4)
        drawn += !std::equal(own.begin() + long(i), own.begin() + long(i) + 3, own.begin());
    EXPECT_GT(drawn, 240 * 240 / 20);
    EXPECT_TRUE(pictures(0) == own);
    EXPECT_TRUE(pictures(11) == own);
}

// A shared buffer holds 2^17 corners. The first torus (80,400 corners) leaves too little room
// for the second (54,000), which starts the next buffer, and the cube follows it there: either
// drawn from the first buffer would show a piece of the first torus.
TEST(CTavoplexCtrlDisplayLists, PartsBeyondTheFirstSharedBufferDrawFromTheirOwnBuffer)
{
    auto picture = [](size_t ownLists, size_t buffers) {
        ViewerHarness v(160, 160);
        CTavoplexCtrl& c = v.open();
        c.Grid = c.Border = c.Axes = 0;
        c.PartBuffers.OwnLists = ownLists;
        auto* model = new FEDisplayPartListC();
        FEDisplayPartC* parts[] = {makeTorus(134, 100), makeTorus(90, 100), makeCube(15, grey())};
        const TransformMatrix places[] = {translation(-75, -40, 0), translation(75, -40, 0), translation(0, 60, 0)};
        for (int i = 0; i < 3; ++i) {
            parts[i]->setColor(feColor(0.3f * float(i), 0.5f, 0.9f - 0.3f * float(i), 1.0f));
            model->addPart(parts[i]);
            model->addInstance(new FEDisplayPartRefC(i, parts[i], places[i], places[i]));
        }
        installParts(c, model);
        c.Rotation.rotate(-40.0, 0.0, 10.0);
        renderSettled(v);
        OpenGLLock lock(c);
        size_t named = 0;
        for (GLuint name = 1; name < 64; ++name)
            named += glIsBuffer(name) ? 1 : 0;
        EXPECT_EQ(named, buffers);
        return v.frame().rgba;
    };
    const std::vector<uint8_t> own = picture(SIZE_MAX, 0);
    int drawn = 0;
    for (size_t i = 0; i < own.size(); i += 4)
        drawn += !std::equal(own.begin() + long(i), own.begin() + long(i) + 3, own.begin());
    EXPECT_GT(drawn, 160 * 160 / 10);
    EXPECT_TRUE(picture(0, 2) == own);
}

// The lists of a model and a frame that draws it cost the same per part for many parts as for
// fewer: per-part times at two sizes are compared, not absolute times. Mesa's store of small
// lists once made each list cost in proportion to the lists before it, and a frame looked up
// each instance's lines among all the instances.
TEST(CTavoplexCtrlDisplayLists, ListsAndFramesCostTheSamePerPartForManyParts)
{
    using Clock = std::chrono::steady_clock;
    struct Cost {
        double lists = 0, frame = 0;  // seconds per part
    };
    auto cost = [](size_t n) {
        ViewerHarness v(64, 64);
        CTavoplexCtrl& c = v.open();
        c.Grid = 0;
        FEDisplayPartListC* model = gridOfTriangles(n);
        // The first frames set up what every frame after them reuses (the first with the model
        // too); a frame without a model gives what a frame costs whatever it shows.
        renderSettled(v);
        const Clock::time_point empty = Clock::now();
        c.RenderFrame();
        const Clock::time_point start = Clock::now();
        installParts(c, model);
        const Clock::time_point built = Clock::now();
        c.RenderFrame();
        const Clock::time_point second = Clock::now();
        c.RenderFrame();
        const Clock::time_point drawn = Clock::now();
        auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
        Cost k;
        k.lists = seconds(built - start) / double(n);
        k.frame = std::max(seconds(drawn - second) - seconds(start - empty), 0.0) / double(n);
        return k;
    };
    // The better of two tries at each size: a loaded machine may slow any one of them. Per
    // part, the larger model's lists cost less (fewer of its parts have lists of their own,
    // which cost more than a range of the buffers); its frame about the same.
    const size_t few = 8000, many = 64000;
    Cost small = cost(few), large = cost(many);
    const Cost small2 = cost(few), large2 = cost(many);
    small.lists = std::min(small.lists, small2.lists);
    small.frame = std::min(small.frame, small2.frame);
    large.lists = std::min(large.lists, large2.lists);
    large.frame = std::min(large.frame, large2.frame);
    std::printf("per part: lists %.2f / %.2f us, frame %.2f / %.2f us\n", 1e6 * small.lists, 1e6 * large.lists,
                1e6 * small.frame, 1e6 * large.frame);
    EXPECT_LT(large.lists, 2.0 * small.lists);
    EXPECT_LT(large.frame, 2.0 * small.frame);
}
