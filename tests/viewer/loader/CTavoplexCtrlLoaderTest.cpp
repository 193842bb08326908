// Loads through the loading frames: models built by the first pass, descriptors walked, loads
// that can never succeed failing at once, paced retries bounded in time, the settings dialog.
// For the buffer objects of OpenGL 1.5, which the libraries export.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/stat.h>

#include <stdexcept>

#include "geometry/display/FEDisplayPartListC.h"
#include "services/xml/XMLDocumentC.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ZipBuilder.h"
#include "tests/viewer/loader/LoaderTestSupport.h"
#include "viewer/loader/DescriptorNames.h"
#include "viewer/loader/HTTPDownloadC.h"
#include "viewer/loader/UnzipToBlock.h"
#include "viewer/ui/PanelImages.h"

TEST(CTavoplexCtrlLoader, LocalStlIsFetchedParsedAndBuiltByTheFifthFrameInOnePass)
{
    ViewerHarness v(200, 150);
    v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    const std::string model = v.folder().write("cube.stl", cubeStl());
    runLoad(v, model);

    EXPECT_FALSE(c.Loading);
    EXPECT_FALSE(c.LoadFailed);
    EXPECT_EQ(c.LoaderCount, 5);
    ASSERT_NE(c.Parts, nullptr);
    ASSERT_EQ(c.Parts->partCount(), 1u);
    EXPECT_EQ(c.Parts->instanceCount(), 1u);
    EXPECT_NEAR(c.Parts->getPart(0)->getColor().r(), 0.69f, 1e-6f);
    EXPECT_EQ(c.GearFade, 0.0f);  // the gears never faded in
    EXPECT_EQ(c.GLLockCount, 0);
    const std::string log = TempDir::read(v.userFile("tavoplex.log"));
    EXPECT_EQ(countOf(log, "    Initializing loader.\n"), 1u);
    EXPECT_EQ(countOf(log, "    Start loading STL geometry.\n"), 1u);
    EXPECT_EQ(countOf(log, "    Parsing STL in Memory.\n"), 1u);
}

TEST(CTavoplexCtrlLoader, EveryNewLoadDeletesThePreviousModelsListsAndBuffers)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    const std::string model = v.folder().write("cube.stl", cubeStl());
    auto objectsInContext = [&](GLboolean (*is)(GLuint)) {
        EXPECT_TRUE(c.LockOpenGL());
        size_t n = 0;
        for (GLuint name = 1; name < 20000; ++name)
            n += is(name) ? 1 : 0;
        c.UnlockOpenGL();
        return n;
    };
    // The part with a list of its own, then drawn from the shared buffers: either stays in the
    // context until the window goes unless the next load deletes it. Each model has its own
    // count of lists: with one list a model, every load's part has it.
    for (const bool buffered : {false, true}) {
        SCOPED_TRACE(buffered ? "buffered" : "own list");
        c.PartBuffers.OwnLists = buffered ? 0 : 1;
        runLoad(v, model);
        ASSERT_FALSE(c.LoadFailed);
        const size_t lists = objectsInContext(glIsList), buffers = objectsInContext(glIsBuffer);
        ASSERT_EQ(c.Parts->getPart(0)->getDisplayList() >= 0, !buffered);
        ASSERT_EQ(c.PartBuffers.holds(*c.Parts->getPart(0)), buffered);
        for (int i = 0; i < 30; ++i) {
            runLoad(v, model);
            ASSERT_FALSE(c.Loading);
            ASSERT_FALSE(c.LoadFailed);
            ASSERT_EQ(c.Parts->getPart(0)->getDisplayList() >= 0, !buffered);
        }
        EXPECT_EQ(objectsInContext(glIsList), lists);
        EXPECT_EQ(objectsInContext(glIsBuffer), buffers);
    }
}

TEST(CTavoplexCtrlLoader, LocalZjvIsUnzippedByTheFetchAndBuiltInTheFirstPass)
{
    const std::string model = samplesFolder() + "/gear.zjv";
    if (!std::filesystem::exists(model))
        GTEST_SKIP() << "samples not found beside the sources";
    ViewerHarness v(200, 150);
    v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    runLoad(v, model);

    EXPECT_FALSE(c.Loading);
    EXPECT_FALSE(c.LoadFailed);
    EXPECT_EQ(c.LoaderCount, 5);
    ASSERT_NE(c.Parts, nullptr);
    EXPECT_GT(c.Parts->partCount(), 0u);
    // The archive is unpacked by the fetch itself, which logs both ends of its unzip step.
    const std::string expected = "    Start loading ZJV geometry.\n"
                                 "      Start LoadFileInternal (" + model + ").\n"
                                 "      Start local stream.\n"
                                 "      End local stream.\n"
                                 "      Start Unzip in memory.\n"
                                 "      End Unzip in memory.\n"
                                 "      End LoadFileInternal.\n"
                                 "    End loading ZJV geometry.\n"
                                 "    Parsing ZJV in memory.\n"
                                 "    Make List from Mesh.\n";
    EXPECT_NE(TempDir::read(v.userFile("tavoplex.log")).find(expected), std::string::npos);
}

TEST(CTavoplexCtrlLoader, LoadedGearIsPickedWhereItIsDrawnAndNotBesideIt)
{
    const std::string model = samplesFolder() + "/gear.zjv";
    if (!std::filesystem::exists(model))
        GTEST_SKIP() << "samples not found beside the sources";
    ViewerHarness v(240, 180);
    v.writeConfig(std::string(kChosenSettings));
    CTavoplexCtrl& c = v.open();
    runLoad(v, model);
    ASSERT_NE(c.Parts, nullptr);
    v.advance(3000);  // the fitted view's move ends
    v.paint();
    // The background's gradient runs from top to bottom; x = 40 is clear of the gear on both rows.
    const auto drawn = [&](int x, int y) {
        const auto p = v.pixel(x, y);
        const auto background = v.pixel(40, y);
        int d = 0;
        for (size_t k = 0; k < 3; ++k)
            d += std::abs(int(p[k]) - int(background[k]));
        return d > 30;
    };
    // (60, 90) lies one pixel outside the gear's left silhouette (61 is its blended edge): the
    // ray there passes the tooth tips by more than the mesh's half tolerance.
    const struct Case {
        int x, y;
        bool hit;
    } cases[] = {{60, 90, false}, {61, 90, true}, {140, 90, true}, {120, 60, true}, {30, 60, false}};
    for (const Case& k : cases) {
        EXPECT_EQ(drawn(k.x, k.y), k.hit) << k.x << "," << k.y;
        EXPECT_EQ(c.PickPart(Point2D(k.x, k.y), false) != nullptr, k.hit) << k.x << "," << k.y;
    }
}

TEST(CTavoplexCtrlLoader, DescriptorIsWalkedToItsArchiveAndTheEntryInside)
{
    const std::string folder = samplesFolder();
    if (!std::filesystem::exists(folder + "/assembly.xml"))
        GTEST_SKIP() << "samples not found beside the sources";
    ViewerHarness v(200, 150);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    runLoad(v, folder + "/assembly.xml");

    EXPECT_FALSE(c.LoadFailed);
    EXPECT_FALSE(c.Loading);
    EXPECT_EQ(std::string(c.ArchivePath.data()), folder + "/models.zip");
    EXPECT_EQ(std::string(c.ArchiveEntry.data()), "assembly.zip");
    ASSERT_NE(c.Parts, nullptr);
    EXPECT_EQ(c.Parts->partCount(), 4u);
    EXPECT_EQ(c.Parts->instanceCount(), 5u);
}

TEST(CTavoplexCtrlLoader, DescriptorNamesAreReadInTheirEncodingAndTakenWhereTheyPoint)
{
    // The entry's name in CP437 (0x81 u-umlaut), as archives write names not flagged as UTF-8.
    const std::string archive =
        buildZip({{"Gr\x81n.zip", buildZip({{"part.zjv", "P{N{Bracket}PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}\n"}})}});
    LoopbackHttpServer server;
    server.serve("/models/m.zip", LoopbackHttpServer::ok(archive));
    const auto descriptor = [](const std::string& declaration, const std::string& zipFile, const std::string& entry) {
        return "<?xml version=\"1.0\"" + declaration + "?>\n<ORDER><SECTION><ZIPFILE>" + zipFile +
               "</ZIPFILE><CONTENTS><PART><FILENAME>" + entry + "</FILENAME></PART></CONTENTS></SECTION></ORDER>\n";
    };
    server.serve("/d/served.xml", LoopbackHttpServer::ok(descriptor("", "/models/m.zip", "Gr\xc3\xbcn.zip")));
    // The folder of a served descriptor is its path's, whatever its query holds.
    server.serve("/models/d.xml?v=1/2", LoopbackHttpServer::ok(descriptor("", "m.zip", "Gr\xc3\xbcn.zip")));
    TempDir elsewhere;
    const std::string absolute = elsewhere.write("Z\xc3\xbcrich.zip", archive);
    const struct Case {
        std::string descriptor;  // the descriptor's text, or its address
        std::string archivePath;  // empty: Zürich.zip beside the descriptor (its name in UTF-8)
        std::string folder = "";  // of the local descriptor, in the model folder
    } cases[] = {
        // In a folder whose name holds ".zip": the descriptor is no archive for that.
        {descriptor(" encoding=\"ISO-8859-1\"", "Z\xfcrich.zip", "Gr\xfcn.zip"), "", "my.zipfiles/"},
        {descriptor("", "\n    Z\xc3\xbcrich.zip\n  ", "\n\t Gr\xc3\xbcn.zip \r\n"), ""},
        {descriptor("", absolute, "Gr\xc3\xbcn.zip"), absolute},
        {descriptor("", server.url("/models/m.zip"), "Gr\xc3\xbcn.zip"), server.url("/models/m.zip")},
        {server.url("/d/served.xml"), server.url("/models/m.zip")},
        {server.url("/models/d.xml?v=1/2#top"), server.url("/models/m.zip")},
        // A reference is a code point, whatever the encoding of the bytes around it.
        {descriptor("", "Z&#252;rich.zip", "Gr&#xFC;n.zip"), ""},
        {descriptor(" encoding=\"ISO-8859-1\"", "&#90;\xfcrich.zip", "Gr&#xfc;n.zip"), ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.descriptor);
        ViewerHarness v(120, 90);
        v.writeConfig(kChosenSettings);
        CTavoplexCtrl& c = v.open();
        const bool served = k.descriptor.rfind("http://", 0) == 0;
        std::filesystem::create_directories(v.folder().file(k.folder));
        const std::string beside = v.folder().write(k.folder + "Z\xc3\xbcrich.zip", archive);
        runLoad(v, served ? k.descriptor : v.folder().write(k.folder + "d.xml", k.descriptor));
        EXPECT_FALSE(c.LoadFailed) << c.FailureReason.data();
        EXPECT_EQ(std::string(c.ArchivePath.data()), k.archivePath.empty() ? beside : k.archivePath);
        EXPECT_EQ(std::string(c.ArchiveEntry.data()), "Gr\xc3\xbcn.zip");
        ASSERT_NE(c.Parts, nullptr);
        EXPECT_EQ(c.Parts->partCount(), 1u);
    }
    // The XML reader drops white space before a text, not after it.
    RWCString name;
    platform::ReasonText why;
    EXPECT_TRUE(DescriptorName(XMLDocumentC(), " \tZ\xc3\xbcrich.zip\r\n ", name, why) && name == "Z\xc3\xbcrich.zip") << name.data();
}

TEST(CTavoplexCtrlLoader, LoadsThatCanNeverSucceedFailAtTheFirstPassAndSayWhy)
{
    struct Case {
        const char* what;
        const char* name;
        std::string bytes;
        const char* reason;  // the end of the failure reason, after the folder
    };
    const Case cases[] = {
        {"empty ZIPFILE", "empty.xml",
         "<?xml version=\"1.0\"?><ORDER><SECTION><ZIPFILE></ZIPFILE>"
         "<CONTENTS><PART><FILENAME>a.zip</FILENAME></PART></CONTENTS></SECTION></ORDER>",
         "empty.xml\": names no archive (ORDER/SECTION/ZIPFILE is empty)"},
        {"descriptor without SECTION", "bare.xml", "<?xml version=\"1.0\"?><ORDER></ORDER>",
         "bare.xml\": names no archive (ORDER/SECTION/ZIPFILE is empty)"},
        // The reader asks for the XML header: without it the descriptor reads as empty.
        {"descriptor without its header", "headless.xml", "<ORDER><SECTION><ZIPFILE>m.zjv</ZIPFILE></SECTION></ORDER>",
         "headless.xml\": XML line 1: Missing <?xml header!"},
        {"ZIPFILE naming a descriptor", "self.xml", "<?xml version=\"1.0\"?><ORDER><SECTION><ZIPFILE>self.xml</ZIPFILE>"
         "</SECTION></ORDER>", "self.xml\": names a descriptor, not an archive (ORDER/SECTION/ZIPFILE is 'self.xml')"},
        {"names in an unknown encoding", "koi.xml", "<?xml version=\"1.0\" encoding=\"KOI8-Q\"?><ORDER><SECTION>"
         "<ZIPFILE>Z\xfcrich.zip</ZIPFILE></SECTION></ORDER>", "koi.xml\": declares the encoding 'KOI8-Q', which"},
        // Bytes the reader parses are never UTF-16: read so, the name would be other characters.
        {"names under a declaration of UTF-16", "u16.xml", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><ORDER><SECTION>"
         "<ZIPFILE>R\xfcti.zip</ZIPFILE></SECTION></ORDER>", "u16.xml\": declares the encoding 'UTF-16', which"},
        // References that stand for no character stay as they are written.
        {"references in names", "refs.xml", "<?xml version=\"1.0\"?><ORDER><SECTION><ZIPFILE>&lt;a&amp;b&gt;&quot;&apos;"
         "&#0;&#xD800;&#1114112;&#x;&no;&amp.zip</ZIPFILE></SECTION></ORDER>",
         "/<a&b>\"'&#0;&#xD800;&#1114112;&#x;&no;&amp.zip\": not found"},
        {"unknown extension", "model.obj", "v 0 0 0\n",
         "model.obj\": unknown model type '.obj' (reads .stl, .zjv, .xml and zipped models)"},
        {"zjv that is no archive", "model.zjv", "P{N{a}PL{0 0 0}}", "model.zjv\": not a ZIP archive"},
        {"empty zjv", "model.zjv", "", "model.zjv\": empty file"},
        {"zjv made of a folder", "folder.zjv", buildZip({{"parts/", ""}, {"parts/a.zjv", "P{}"}}),
         "folder.zjv\": the archive's first entry 'parts/' is a folder, not a model"},
        {"zjv whose first entry is empty", "hollow.zjv", buildZip({{"nothing", ""}, {"a.zjv", "P{}"}}),
         "hollow.zjv\": the archive's first entry 'nothing' is empty"},
        {"zip named directly, no entry", "model.zip", buildZip({{"a.zip", "PK"}}), "model.zip\": no entry to unpack: "},
        // The loader has no password to give: an encrypted model asks for one and fails.
        {"zjv whose model is encrypted", "locked.zjv", [] {
             const std::string gear = TempDir::read(samplesFolder() + "/gear.zjv");
             MemoryBlockC text;
             UnzipIndexFromMemory(gear.data(), uint32_t(gear.size()), 0, nullptr, text);
             ZipItem model{"model.zjv", std::string(text.GetData(), text.GetSize())};
             model.password = "pw";
             return buildZip({model});
         }(),
         "locked.zjv\": entry 'model.zjv' is encrypted"},
        {"stl that does not parse", "broken.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 1 2\n",
         "broken.stl\": ASCII STL line 4: expected a number but the data ends"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ViewerHarness v(120, 90);
        v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        runLoad(v, v.folder().write(k.name, k.bytes), 2000);
        EXPECT_TRUE(c.LoadFailed);
        EXPECT_FALSE(c.Loading);
        EXPECT_EQ(c.LoaderCount, 6);
        EXPECT_NE(std::string(c.FailureReason.data()).find(k.reason), std::string::npos) << c.FailureReason.data();
        if (std::string(k.name) == "empty.xml") {  // the descriptor itself was read
            EXPECT_EQ(std::string(c.ArchiveEntry.data()), "a.zip");
        }
        const std::string log = TempDir::read(v.userFile("tavoplex.log"));
        EXPECT_EQ(countOf(log, "    Initializing loader.\n"), 1u);
        EXPECT_EQ(countOf(log, "  Loader Count = 6.\n"), 1u);  // the gears fade in once
        EXPECT_EQ(c.GLLockCount, 0);
    }
    // No name is no model, though with the page's folder in front it would name that folder.
    ViewerHarness v(120, 90);
    v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    runLoad(v, "", 2000);
    EXPECT_TRUE(c.LoadFailed);
    EXPECT_FALSE(c.Loading);
    EXPECT_EQ(std::string(c.FailureReason.data()), CTavoplexCtrl::NoModelNamed);
    const std::string log = TempDir::read(v.userFile("tavoplex.log"));
    EXPECT_EQ(countOf(log, std::string("    Loading failed: ") + CTavoplexCtrl::NoModelNamed + "\n"), 1u) << log;
}

TEST(CTavoplexCtrlLoader, AnAddressIsOfItsPathsTypeAndALocalNameOfItsWholeNamesType)
{
    // Only the path and query are asked for: the fragment is not sent.
    LoopbackHttpServer server;
    server.serve("/part.stl?v=2", LoopbackHttpServer::ok(cubeStl()));
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    for (const std::string& name : {server.url("/part.stl?v=2"), server.url("/part.stl?v=2#top"),
                                    v.folder().write("a?b.stl", cubeStl()), server.url("")}) {
        SCOPED_TRACE(name);
        runLoad(v, name, 2000);
        const bool typed = name != server.url("");
        EXPECT_EQ(c.LoadFailed, !typed);
        EXPECT_EQ(c.Parts->partCount(), typed ? 1u : 0u);
        EXPECT_EQ(std::string(c.FailureReason.data()),
                  typed ? "" : "\"" + name + "\": unknown model type (no extension) (reads .stl, .zjv, .xml and zipped models)");
    }
}

TEST(CTavoplexCtrlLoader, AModelOfMorePartsThanTheLimitFailsAtTheFirstPassKeepingNone)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    EXPECT_EQ(c.PartLimit, 1000000u);
    // The failing load first: the one after it starts afresh.
    for (size_t limit : {size_t(1233), size_t(1234)}) {
        SCOPED_TRACE(limit);
        c.PartLimit = limit;
        std::string parts;
        for (int i = 0; i < 1234; ++i)
            parts += "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}\n";
        runLoad(v, v.folder().write("parts.zjv", buildZip({{"model.txt", parts}})), 2000);
        EXPECT_EQ(c.LoadFailed, limit < 1234);
        if (c.LoadFailed) {
            EXPECT_EQ(c.LoaderCount, 6);  // the first pass
        }
        EXPECT_EQ(c.Parts->partCount(), limit < 1234 ? 0u : 1234u);
        const std::string reason(c.FailureReason.data(), c.FailureReason.length());
        EXPECT_EQ(reason, limit < 1234 ? "\"" + v.folder().file("parts.zjv") + "\": the model holds more than 1,233 parts"
                                       : std::string());
    }
}

TEST(CTavoplexCtrlLoader, AModelOfMorePlacementsThanTheLimitFailsAtTheFirstPassKeepingNone)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    EXPECT_EQ(c.PlacementLimit, 1000000u);
    std::string placements = "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}\nS{";
    for (int i = 0; i < 1234; ++i)
        placements += "M{0 1 0 0 0 1 0 0 0 1 " + std::to_string(i) + " 0 0}ME{}";
    const std::string model = v.folder().write("placed.zjv", buildZip({{"model.txt", placements + "}"}}));
    // The failing load first: the one after it starts afresh.
    for (size_t limit : {size_t(1233), size_t(1234)}) {
        SCOPED_TRACE(limit);
        c.PlacementLimit = limit;
        runLoad(v, model, 2000);
        EXPECT_EQ(c.LoadFailed, limit < 1234);
        if (c.LoadFailed) {
            EXPECT_EQ(c.LoaderCount, 6);  // the first pass
        }
        EXPECT_EQ(c.Parts->partCount(), limit < 1234 ? 0u : 1u);
        EXPECT_EQ(c.Parts->instanceCount(), limit < 1234 ? 0u : 1234u);
        const std::string reason(c.FailureReason.data(), c.FailureReason.length());
        EXPECT_EQ(reason, limit < 1234 ? "\"" + model + "\": the model holds more than 1,233 placements" : std::string());
    }
}

// The lists of a model's parts are compiled under one lock, which asks the renderer's room once;
// the compile asks again every so many parts. Where the room runs out as the first list is made,
// the load ends for want of memory to draw it and no list is made after the next ask.
TEST(CTavoplexCtrlLoader, ListsStopAtTheFirstBatchTheRenderersRoomRefuses)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    constexpr size_t kParts = 3000;  // three batches and some, all with lists of their own
    ASSERT_GT(c.PartBuffers.OwnLists, kParts);
    std::string parts;
    for (size_t i = 0; i < kParts; ++i) {
        const std::string x = std::to_string(i);
        parts += "P{PL{" + x + " 0 0 " + x + ".5 0 0 " + x + " 1 0}FL3{0 1 2}}\n";
    }
    const std::string model = v.folder().write("parts.zjv", buildZip({{"model.txt", parts}}));
    // The parts compiled: with a list of their own, or (none here) in the shared buffers.
    auto listed = [](const CTavoplexCtrl& control) {
        const FEDisplayPartListC* model = control.Parts.get();
        size_t n = 0;
        for (size_t i = 0; model != nullptr && i < model->partCount(); ++i)
            n += model->getPart(i)->getDisplayList() >= 0 || control.PartBuffers.holds(*model->getPart(i)) ? 1 : 0;
        return n;
    };
    // The failing load first: the one after it starts afresh.
    for (const bool roomRunsOut : {true, false}) {
        SCOPED_TRACE(roomRunsOut ? "room runs out" : "room enough");
        c.RoomGate = [&c, listed, roomRunsOut] { return !roomRunsOut || listed(c) == 0; };
        runLoad(v, model, 2000);
        EXPECT_FALSE(c.Loading);
        EXPECT_EQ(c.LoadFailed, roomRunsOut);
        ASSERT_NE(c.Parts, nullptr);
        ASSERT_EQ(c.Parts->partCount(), kParts);
        EXPECT_EQ(listed(c), roomRunsOut ? size_t(1024) : kParts);  // one batch
        const std::string reason(c.FailureReason.data(), c.FailureReason.length());
        EXPECT_EQ(reason, roomRunsOut ? "\"" + model + "\": not enough memory to draw it" : std::string());
        EXPECT_EQ(c.GLLockCount, 0);
    }
}

TEST(CTavoplexCtrlLoader, FetchesNoRetryCanHealFailAtTheFirstPassWithTheirReason)
{
    LoopbackHttpServer server;
    server.serve("/drip.stl", LoopbackHttpServer::drip(std::string(400, 'x'), 50));
    server.serve("/loop.stl", LoopbackHttpServer::redirect("/loop.stl"));
    server.serve("/https.stl", LoopbackHttpServer::redirect(
                                   "https://127.0.0.1:" + std::to_string(server.port()) + "/model.stl"));
    // A body that keeps dripping must bring 1000 bytes a second after half a second.
    platform::net::Limits& limits = HTTPDownloadC::DefaultLimits();
    limits.rateGraceMs = 500;
    limits.minBytesPerSecond = 1000;
    const char kDescriptor[] = "<?xml version=\"1.0\"?><ORDER><SECTION><ZIPFILE>pipe.zjv</ZIPFILE>"
                               "<CONTENTS><PART><FILENAME>a</FILENAME></PART></CONTENTS></SECTION></ORDER>";
    struct Case {
        std::string name;  // an address, or a file of the model folder (made by the test)
        const char* reason;
        const char* requested;  // the address whose requests are counted
    } cases[] = {
        {server.url("/drip.stl"), "the server sends too slowly", "/drip.stl"},
        {server.url("/loop.stl"), "redirects (a redirect loop)", "/loop.stl"},
        {server.url("/https.stl"), "/model.stl\", which is not an http address", "/https.stl"},
        {"ftp://127.0.0.1/model.stl", "\"ftp://\" addresses are not fetched", nullptr},
        {"file:///etc/hostname.stl", "\"file://\" addresses are not fetched", nullptr},
        {"pipe.stl", "not a regular file", nullptr},
        {"named.xml", "pipe.zjv\": not a regular file", nullptr},  // a FIFO named by a descriptor
        {"missing.stl", "missing.stl\": not found", nullptr},
        {"gone.xml", "pipe.zjv\": not found", nullptr},  // a missing archive named by a descriptor
        {"folder.zjv", "is a folder, not a file", nullptr},
        {"large.stl", "larger than the limit of 300 bytes", nullptr},
        {"line\nfeed.stl", "line\\nfeed.stl\": larger than the limit", nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ViewerHarness v(120, 90);
        v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        c.LocalFileLimit = 300;
        std::string name = k.name;
        if (name.find("://") == std::string::npos) {
            name = v.folder().file(k.name);
            if (k.name == "pipe.stl" || k.name == "named.xml") {
                ASSERT_EQ(mkfifo(v.folder().file(k.name == "pipe.stl" ? "pipe.stl" : "pipe.zjv").c_str(), 0600), 0);
            }
            if (k.name == "named.xml" || k.name == "gone.xml")
                v.folder().write(k.name, kDescriptor);
            if (k.name == "folder.zjv")
                std::filesystem::create_directory(name);
            if (k.name == "large.stl" || k.name == "line\nfeed.stl")
                v.folder().write(k.name, cubeStl());
        }
        runLoad(v, name, 2000);
        EXPECT_TRUE(c.LoadFailed);
        EXPECT_FALSE(c.Loading);
        const std::string reason(c.FailureReason.data(), c.FailureReason.length());
        EXPECT_NE(reason.find(k.reason), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
        const std::string log = TempDir::read(v.userFile("tavoplex.log"));
        // Fetched once (the descriptor, then what it names).
        EXPECT_EQ(countOf(log, "    Start loading "), k.name.find(".xml") != std::string::npos ? 2u : 1u);
        if (k.requested) {
            EXPECT_EQ(server.requests(k.requested), k.name.find("loop") != std::string::npos ? 9 : 1);
        }
    }
    limits = platform::net::Limits();
}

TEST(CTavoplexCtrlLoader, FailingFetchIsRetriedEvery750MsAndFailsAfterThirtySeconds)
{
    // A server that refuses the connection (nothing listens on port 1 of the loopback address).
    // A local name is not retried: a missing file fails at the first pass.
    for (const char* name : {"http://127.0.0.1:1/model.stl"}) {
        SCOPED_TRACE(name);
        ViewerHarness v(120, 90);
        v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        const std::string log = v.userFile("tavoplex.log");
        const std::string model = std::string(name).find(':') != std::string::npos ? name : v.folder().file(name);
        c.SetFileName(RWCString(model.c_str()));
        c.SetParam("Start", "1");

        std::vector<uint32_t> passes;
        size_t seen = 0;
        for (int i = 0; i < 120; ++i) {
            v.advance(25);
            const size_t n = countOf(TempDir::read(log), "    Start loading STL geometry.\n");
            if (n > seen)
                passes.push_back(v.clock().now());
            seen = n;
        }
        ASSERT_GE(passes.size(), 3u);
        for (size_t i = 1; i < passes.size(); ++i)
            EXPECT_EQ(passes[i] - passes[i - 1], 775u) << "pass " << i;  // the first tick past 750 ms
        EXPECT_TRUE(c.Loading);
        EXPECT_FALSE(c.LoadFailed);

        // Thirty seconds after the load began the next pass gives up, with the last fetch's reason.
        v.clock().advance(CTavoplexCtrl::kLoadRetryLimitMs);
        v.advance(25);
        EXPECT_TRUE(c.LoadFailed);
        EXPECT_FALSE(c.Loading);
        EXPECT_EQ(c.LoaderCount, 6);
        EXPECT_EQ(std::string(c.FailureReason.data()).rfind("\"" + model + "\": cannot connect to the server (", 0), 0u)
            << c.FailureReason.data();
    }
}

TEST(CTavoplexCtrlLoader, SettingsDialogOpensOnlyWithoutAStoredChoice)
{
    const std::string model = "cube.stl";
    {
        ViewerHarness v(120, 90);
        CTavoplexCtrl& c = v.open();
        int framesDuringDialog = -1;
        v.host().setDialogAnswer([&](platform::host::Dialog& d) {
            // Frames delivered while the dialog runs wait for it.
            const int before = c.LoaderCount;
            v.paint();
            v.advance(25);
            framesDuringDialog = c.LoaderCount - before;
            d.click(211);  // normal detail
            return d.click(platform::host::DialogOk);
        });
        runLoad(v, v.folder().write(model, cubeStl()));
        ASSERT_EQ(v.host().dialogsShown().size(), 1u);
        EXPECT_EQ(framesDuringDialog, 0);
        EXPECT_FALSE(CTavoplexCtrl::SettingsDialogOpen);
        EXPECT_FALSE(c.LoadFailed);
        const std::string saved = TempDir::read(v.userFile("tavoplex.cfg"));
        EXPECT_NE(saved.find("STANDARD_SETTING=1"), std::string::npos) << saved;
        EXPECT_NE(saved.find("SHADING=2"), std::string::npos) << saved;
    }
    {
        ViewerHarness v(120, 90);
        v.writeConfig("[GFX]\nSTANDARD_SETTING=2\nSHADING=1\n");
        CTavoplexCtrl& c = v.open();
        runLoad(v, v.folder().write(model, cubeStl()));
        EXPECT_TRUE(v.host().dialogsShown().empty());
        EXPECT_EQ(c.DisplayMode, 3);  // the settings were applied all the same
    }
}

TEST(CTavoplexCtrlLoader, PassThatThrowsFailsTheLoadAndGivesTheLockBack)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    c.Animations.Add(new ModelAnimation(nullptr, true), 100000, 0, false, false);
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    EXPECT_TRUE(c.LoadFailed);
    EXPECT_FALSE(c.Loading);
    EXPECT_EQ(c.LoaderCount, 6);
    EXPECT_EQ(c.GLLockCount, 0);
    EXPECT_EQ(std::string(c.FailureReason.data()), "\"" + v.folder().file("cube.stl") + "\": reading it failed unexpectedly");
}

TEST(CTavoplexCtrlLoader, AFailureReasonDoesNotOutliveItsLoad)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    runLoad(v, v.folder().write("broken.stl", "solid x\nfacet normal 0 0 1\nouter lop\n"), 2000);
    ASSERT_TRUE(c.LoadFailed);
    ASSERT_FALSE(c.FailureReason.isNull());
    // A later load of the same control that succeeds has nothing to say.
    runLoad(v, v.folder().write("cube.stl", cubeStl()));
    EXPECT_FALSE(c.LoadFailed);
    EXPECT_TRUE(c.FailureReason.isNull()) << c.FailureReason.data();
}

TEST(CTavoplexCtrlLoader, NewLoadDropsAnimationsIntoTheOldModelAndThePendingZoom)
{
    ViewerHarness v(120, 90);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    const std::string model = v.folder().write("cube.stl", cubeStl());
    runLoad(v, model);
    ASSERT_FALSE(c.LoadFailed);

    bool deleted = false;
    auto* animation = new ModelAnimation(&deleted);
    c.Animations.Add(animation, 100000, 50000, false, false);  // still waiting for its delay
    c.ZoomPending = true;
    c.SetFileName(RWCString(model.c_str()));
    EXPECT_FALSE(c.ZoomPending);
    for (int i = 0; i < 8 && c.Loading; ++i)
        v.advance(25);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(c.Loading);
}

// Frame 1 presents a nested frame (count 2) and, applying the settings, redraws at once
// (count 3, which builds the panels); frame 4 only draws; frame 5 runs the pass that builds
// the model and turns to the isometric view, which redraws the scene at once; that first scene
// frame starts the logo panel's fade, which redraws at once again.
const char kOneLoadLog[] = R"(<-- OpenGL Locked.
  Set ViewPort for Loading screen.
    Loader Count = 1.
  Set ViewPort for Loading screen.
  Loader Count = 2.
  Draw Gears.
  Start Tool Tips.
  End Tool Tips.
 (- SwapBuffers -).
  Set ViewPort for Loading screen.
  Loader Count = 3.
  Draw Gears.
  Start Tool Tips.
  End Tool Tips.
 (- SwapBuffers -).
  Draw Gears.
  Start Tool Tips.
  End Tool Tips.
 (- SwapBuffers -).
--> OpenGL Unlocked.
<-- OpenGL Locked.
  Set ViewPort for Loading screen.
  Draw Gears.
  Start Tool Tips.
  End Tool Tips.
 (- SwapBuffers -).
--> OpenGL Unlocked.
<-- OpenGL Locked.
  Set ViewPort for Loading screen.
  Loader Count >= 5.
    Initializing loader.
    filename = MODEL
    File is _not_ XML.
    Start loading STL geometry.
      Start LoadFileInternal (MODEL).
      Start local stream.
      End local stream.
      Start Unzip in memory.
      End LoadFileInternal.
    End loading STL geometry.
    Parsing STL in Memory.
    Make List from Mesh.
  Draw Scene.
  Start without panel.
  Draw Scene.
  Init Shadow.
  Generate shadow texture.
  Draw Background.
  Draw shadow.
  Begin Draw Parts.
  Begin Draw Part Lines.
  Begin Draw Threads.
  End Draw Threads.
  End Draw Part Lines.
  End Draw Parts.
  Start Tool Tips.
  Start Part Tool Tip.
  End Part Tool Tip.
  Start Intro Tool Tip.
  Draw Intro Tool Tip.
  End Intro Tool Tip.
  End Tool Tips.
  Draw Border Transition.
  Panels.
 (- SwapBuffers -).
  Generate shadow texture.
  Draw Background.
  Draw shadow.
  Begin Draw Parts.
  Begin Draw Part Lines.
  Begin Draw Threads.
  End Draw Threads.
  End Draw Part Lines.
  End Draw Parts.
  Start Tool Tips.
  Start Part Tool Tip.
  End Part Tool Tip.
  Start Intro Tool Tip.
  Draw Intro Tool Tip.
  End Intro Tool Tip.
  End Tool Tips.
  Draw Border Transition.
  Panels.
 (- SwapBuffers -).
--> OpenGL Unlocked.
)";

TEST(CTavoplexCtrlLoader, DebugLogOfOneWholeLoadIsExact)
{
    ViewerHarness v(120, 90);
    // The panel images are cached already (empty files are never fetched again), so building
    // the panels fetches nothing.
    v.writeConfig(std::string(kChosenSettings) + "[COMMON]\nDEBUG=1\nDATA_VERSION=2\n");
    for (const char* const* image = PanelImageNames; **image; ++image)
        std::ofstream(v.userFile(*image));
    CTavoplexCtrl& c = v.open();
    const std::string model = v.folder().write("cube.stl", cubeStl());
    c.Start = 1;
    const size_t mark = TempDir::read(v.userFile("tavoplex.log")).size();
    c.SetFileName(RWCString(model.c_str()));
    for (int i = 0; i < 20 && c.Loading; ++i)
        v.advance(25);
    std::string log = TempDir::read(v.userFile("tavoplex.log")).substr(mark);
    ASSERT_NE(log.find(model), std::string::npos);
    for (size_t at = log.find(model); at != std::string::npos; at = log.find(model, at))
        log.replace(at, model.size(), "MODEL");
    EXPECT_EQ(log, kOneLoadLog);
}

TEST(CTavoplexCtrlLoader, FailedLoadShowsTheFailureTextInTheScene)
{
    ViewerHarness v(200, 160);
    v.writeConfig(kChosenSettings);
    CTavoplexCtrl& c = v.open();
    const std::string descriptor = v.folder().write(
        "empty.xml", "<?xml version=\"1.0\"?><ORDER><SECTION><ZIPFILE></ZIPFILE></SECTION></ORDER>");
    runLoad(v, descriptor);
    ASSERT_TRUE(c.LoadFailed);
    v.advance(1500);  // past the scene's fade-in: the label is fully drawn
    v.paint();
    // The label box sits a quarter of the height above the centre, filled with ColorLabel.
    // Its fill shows above and below the line of text (at y 40).
    EXPECT_TRUE(pixelNear(v.pixel(100, 21), {255, 255, 204}));
    EXPECT_TRUE(pixelNear(v.pixel(100, 57), {255, 255, 204}));
    EXPECT_FALSE(pixelNear(v.pixel(100, 100), {255, 255, 204}));
}
