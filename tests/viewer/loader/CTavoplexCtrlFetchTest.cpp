// Tests of the control's fetching: local and HTTP fetches with their exact log lines, unzipping,
// fetching into files and the panel image cache.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "geometry/display/MemoryBlockC.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ZipBuilder.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/HTTPDownloadC.h"
#include "viewer/loader/UnzipToBlock.h"
#include "viewer/ui/PanelImages.h"

using Server = LoopbackHttpServer;

namespace {

// A control with debugging on, so that every log line can be read back.
class Fetching : public ::testing::Test {
protected:
    void SetUp() override
    {
        viewer.writeConfig("[COMMON]\nDEBUG=1\n");
        viewer.construct();
        logStart = log().size();
    }
    void TearDown() override { HTTPDownloadC::DefaultLimits() = platform::net::Limits(); }

    CTavoplexCtrl& control() { return viewer.control(); }
    std::string log() { return TempDir::read(viewer.userFile("tavoplex.log")); }
    // The log lines written since the last call.
    std::string newLog()
    {
        const std::string all = log();
        const std::string fresh = all.substr(logStart);
        logStart = all.size();
        return fresh;
    }
    struct Loaded {
        int result;
        std::string bytes;
    };
    Loaded load(const std::string& name, bool unzip)
    {
        MemoryBlockC block;
        const int r = control().LoadFileInternal(RWCString(name.c_str()), block, unzip);
        EXPECT_NE(block.GetData(), nullptr);
        EXPECT_EQ(block.GetData()[block.GetSize()], '\0');
        return {r, std::string(block.GetData(), block.GetSize())};
    }

    ViewerHarness viewer;
    TempDir files;
    size_t logStart = 0;
};

std::string linesOf(const std::string& name, std::initializer_list<const char*> inner)
{
    std::string s = "      Start LoadFileInternal (" + name + ").\n";
    for (const char* line : inner)
        s += std::string("      ") + line + "\n";
    return s + "      End LoadFileInternal.\n";
}

}  // namespace

TEST_F(Fetching, LocalFilesAreReadAndZippedOnesUnpacked)
{
    const std::string big = noiseBytes(40000);
    const std::string zjv = files.write("model.zjv", buildZip({{"model.txt", big}, {"second", "2"}}));
    const std::string empty = files.write("empty.zjv", buildZip({{"nothing", ""}}));
    const std::string text = files.write("plain.stl", "solid x\nendsolid x\n");
    std::filesystem::create_directories(files.file("dir.zjv"));
    const std::string inZjvFolder = files.write("dir.zjv/inner.stl", buildZip({{"a.stl", "solid a"}}));
    std::string damaged = buildZip({{"model.txt", big}});
    damaged[30 + 9 + 20000] ^= 0x10;
    const std::string broken = files.write("broken.zjv", damaged);
    const std::string notZip = files.write("notzip.zjv", "plain text");
    const std::string notZipWhole = files.write("notzip.zip", "plain text");
    const std::string descriptor = files.write("dir.zjv/d.xml", "<?xml version=\"1.0\"?><ORDER/>");
    const std::string fifo = files.file("pipe.stl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    struct Case {
        std::string name;
        bool unzip;
        int result;
        std::string bytes;
        std::string logged;
    } cases[] = {
        {zjv, true, 0, big,
         linesOf(zjv, {"Start local stream.", "End local stream.", "Start Unzip in memory.", "End Unzip in memory."})},
        {zjv, false, 0, TempDir::read(zjv), linesOf(zjv, {"Start local stream.", "End local stream.", "Start Unzip in memory."})},
        {empty, true, 0, "",
         linesOf(empty, {"Start local stream.", "End local stream.", "Start Unzip in memory.", "End Unzip in memory."})},
        {text, true, 0, "solid x\nendsolid x\n",
         linesOf(text, {"Start local stream.", "End local stream.", "Start Unzip in memory."})},
        // ".zjv" anywhere in the name, a folder's too, marks it zipped.
        {inZjvFolder, true, 0, "solid a",
         linesOf(inZjvFolder, {"Start local stream.", "End local stream.", "Start Unzip in memory.", "End Unzip in memory."})},
        {broken, true, CTavoplexCtrl::FetchNotUnpacked, "",
         linesOf(broken, {"Start local stream.", "End local stream.", "Start Unzip in memory.", "End Unzip in memory."})},
        // Bytes whose end holds no ZIP directory are refused before they are read.
        {notZip, true, CTavoplexCtrl::FetchRefused, "", linesOf(notZip, {"Start local stream.", "Start Unzip in memory."})},
        {notZipWhole, false, CTavoplexCtrl::FetchRefused, "", linesOf(notZipWhole, {"Start local stream.", "Start Unzip in memory."})},
        // Bytes fetched as they are, in a folder whose name marks archives, are no archive.
        {descriptor, false, 0, "<?xml version=\"1.0\"?><ORDER/>",
         linesOf(descriptor, {"Start local stream.", "End local stream.", "Start Unzip in memory."})},
        // A local name is never retried: a missing file, or one that is no regular file.
        {files.file("missing.zjv"), true, CTavoplexCtrl::FetchRefused, "", linesOf(files.file("missing.zjv"), {"Start local stream.", "Start Unzip in memory."})},
        {files.file("dir.zjv"), true, CTavoplexCtrl::FetchRefused, "", linesOf(files.file("dir.zjv"), {"Start local stream.", "Start Unzip in memory."})},
        {fifo, false, CTavoplexCtrl::FetchRefused, "", linesOf(fifo, {"Start local stream.", "Start Unzip in memory."})},
        {"/dev/zero", false, CTavoplexCtrl::FetchRefused, "", linesOf("/dev/zero", {"Start local stream.", "Start Unzip in memory."})},
        // Addresses of schemes the control does not fetch are refused before anything is read.
        {"https://127.0.0.1/x.stl", false, CTavoplexCtrl::FetchRefused, "", linesOf("https://127.0.0.1/x.stl", {})},
        {"ftp://127.0.0.1/x.stl", false, CTavoplexCtrl::FetchRefused, "", linesOf("ftp://127.0.0.1/x.stl", {})},
        {"FILE://" + text, false, CTavoplexCtrl::FetchRefused, "", linesOf("FILE://" + text, {})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + (c.unzip ? " unzipped" : ""));
        const Loaded got = load(c.name, c.unzip);
        EXPECT_EQ(got.result, c.result);
        EXPECT_TRUE(got.bytes == c.bytes) << got.bytes.size() << " bytes";
        EXPECT_EQ(newLog(), c.logged);
    }
    // A file whose stated size says nothing (as those of /proc) is still read whole.
    const Loaded stated = load("/proc/self/status", false);
    EXPECT_EQ(stated.result, 0);
    EXPECT_EQ(stated.bytes.rfind("Name:", 0), 0u);
    newLog();
    // One that states more than it holds (as those of /sys) gives just what it holds.
    const std::string online = "/sys/devices/system/cpu/online";
    struct stat facts;
    if (::stat(online.c_str(), &facts) == 0 && facts.st_size > 64) {
        const Loaded shorter = load(online, false);
        EXPECT_EQ(shorter.result, 0);
        EXPECT_EQ(shorter.bytes, TempDir::read(online));
        EXPECT_LT(shorter.bytes.size(), size_t(facts.st_size));
        newLog();
    }
    // A name with a NUL byte inside names no file: the file named by the bytes before it is
    // not read in its place.
    const std::string withNul = text + std::string(1, '\0') + ".zjv";
    MemFileC read;
    EXPECT_EQ(control().FetchToMemory(RWCString(withNul.data(), withNul.size()), read, false), CTavoplexCtrl::FetchRefused);
    EXPECT_EQ(read.GetLength(), 0u);
    newLog();
    // An empty name names no file.
    MemFileC out;
    EXPECT_EQ(control().FetchToMemory(RWCString(), out, true), CTavoplexCtrl::FetchRefused);
    EXPECT_EQ(std::string(control().FetchFailure.data()), "not found");
}

TEST_F(Fetching, LocalFilesAndUnzippedItemsOverTheCapAreRefused)
{
    const std::string text = files.write("large.stl", std::string(5000, 'x'));
    const std::string bomb = files.write("bomb.zjv", buildZip({{"zeros", std::string(3 << 20, '\0')}}));
    control().LocalFileLimit = 4000;
    EXPECT_EQ(load(text, false).result, CTavoplexCtrl::FetchRefused);
    EXPECT_EQ(std::string(control().FetchFailure.data()), "larger than the limit of 4000 bytes");
    control().LocalFileLimit = 5000;
    EXPECT_EQ(load(text, false).result, 0);
    EXPECT_EQ(CTavoplexCtrl::kDefaultLocalFileLimit, uint64_t(4) << 30);
    const uint32_t cap = SetMaxUnzipBytes(1 << 20);
    EXPECT_EQ(load(bomb, true).result, CTavoplexCtrl::FetchNotUnpacked);
    SetMaxUnzipBytes(cap);
    EXPECT_EQ(load(bomb, true).bytes.size(), 3u << 20);

    // 4 GiB passes the local limit but not the in-memory ZIP reader's 32-bit lengths: a name
    // whose bytes go through it is refused before a byte is read (the files are sparse, and a
    // read would take minutes), as is a plain file of 4 GiB, more than a block holds. Over 4 GiB
    // a plain .stl keeps the local limit.
    control().LocalFileLimit = CTavoplexCtrl::kDefaultLocalFileLimit;
    const auto sparse = [this](const std::string& name, uint64_t size) {
        const int fd = ::open(files.file(name).c_str(), O_CREAT | O_WRONLY, 0600);
        const bool sized = fd >= 0 && ::ftruncate(fd, off_t(size)) == 0;
        if (fd >= 0)
            ::close(fd);
        return sized;
    };
    ASSERT_TRUE(sparse("huge.zjv", uint64_t(4) << 30));
    ASSERT_TRUE(sparse("huge.stl", (uint64_t(4) << 30) + 1));
    ASSERT_TRUE(sparse("4GiB.stl", uint64_t(4) << 30));
    std::filesystem::create_directory(files.file("models.zip.d"));
    std::filesystem::create_hard_link(files.file("huge.zjv"), files.file("huge.zip"));
    std::filesystem::create_hard_link(files.file("huge.zjv"), files.file("models.zip.d/huge.stl"));
    const std::string tooLarge = "larger than the in-memory ZIP reader can take (4 GiB or more)";
    const struct {
        const char* name;
        bool unzip;
        std::string why;
    } refusals[] = {
        {"huge.zjv", true, tooLarge},
        {"huge.zip", false, tooLarge},  // a descriptor's archive
        {"models.zip.d/huge.stl", true, tooLarge},
        {"huge.stl", true, "larger than the limit of 4294967296 bytes"},
        {"4GiB.stl", true, "too large to be held in memory"},
        {"4GiB.stl", false, "too large to be held in memory"},
    };
    newLog();
    for (const auto& r : refusals) {
        EXPECT_EQ(load(files.file(r.name), r.unzip).result, CTavoplexCtrl::FetchRefused) << r.name;
        EXPECT_EQ(std::string(control().FetchFailure.data()), r.why) << r.name;
        // Not read: the local stream never ended.
        EXPECT_EQ(newLog(), linesOf(files.file(r.name), {"Start local stream.", "Start Unzip in memory."})) << r.name;
    }
    // Bytes that find no memory say so, whatever the failed allocation left in errno.
    struct NoRoom : MemFileC {
        char* Extend(size_t) override { return errno = ENOMEM, nullptr; }
        bool Write(const void*, size_t) override { return errno = ENOMEM, false; }
    } noRoom;
    EXPECT_EQ(control().FetchToMemory(RWCString(text.c_str()), noRoom, false), CTavoplexCtrl::FetchRefused);
    EXPECT_EQ(std::string(control().FetchFailure.data()), "cannot be held in memory");
}

TEST_F(Fetching, HttpFetchesGiveTheBodyOrFailWithNothing)
{
    Server server;
    const std::string text = "solid y\nendsolid y\n";
    server.serve("/model.zjv", Server::ok(buildZip({{"model.txt", noiseBytes(40000)}})));
    server.serve("/model.stl", Server::ok(text));
    server.serve("/notzip.zjv", Server::ok("no archive"));
    server.serve("/short.stl", Server::shortBody("solid", 100));
    server.serve("/big.stl", Server::big(100000));
    // A model a misconfigured server labels as a web page is read; a web page (here a login
    // page redirected to) is not.
    Server::Reply labelled = Server::ok(text), page = Server::ok("<html><body>Sign in</body></html>");
    labelled.headers = page.headers = "Content-Type: text/html; charset=utf-8\r\n";
    server.serve("/labelled.stl", labelled);
    server.serve("/login.stl", Server::redirect("/login"));
    server.serve("/login", page);
    // What a query says is no file's name: the path alone says whether to unzip.
    server.serve("/model.stl?from=parts.zip", Server::ok(text));
    server.serve("/model.stl?v=2&src=model.zjv", Server::ok(text));
    server.serve("/parts.zip/model.stl", Server::ok(buildZip({{"model.stl", text}})));
    HTTPDownloadC::DefaultLimits().maxBodyBytes = 50000;
    const std::string port = std::to_string(server.port());
    struct Case {
        std::string name;
        bool unzip;
        int result;
        std::string bytes;
        bool unzipped;  // "End Unzip in memory." logged
    } cases[] = {
        {server.url("/model.zjv"), true, 0, noiseBytes(40000), true},
        {server.url("/model.stl"), true, 0, text, false},
        {"HTTP://127.0.0.1:" + port + "/model.stl", false, 0, text, false},
        {server.url("/missing.stl"), false, 1, "", false},
        {server.url("/short.stl"), false, 1, "", false},  // cut off: may heal
        {server.url("/notzip.zjv"), true, CTavoplexCtrl::FetchNotUnpacked, "", false},
        {server.url("/big.stl"), false, CTavoplexCtrl::FetchRefused, "", false},
        {server.url("/labelled.stl"), false, 0, text, false},
        {server.url("/model.stl?from=parts.zip"), true, 0, text, false},
        {server.url("/model.stl?v=2&src=model.zjv"), true, 0, text, false},
        {server.url("/model.stl#parts.zip"), true, 0, text, false},
        {server.url("/parts.zip/model.stl"), true, 0, text, true},
        {server.url("/login.stl"), false, CTavoplexCtrl::FetchRefused, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded got = load(c.name, c.unzip);
        EXPECT_EQ(got.result, c.result);
        EXPECT_TRUE(got.bytes == c.bytes) << got.bytes.size() << " bytes";
        std::vector<const char*> inner = {"Start HTTP stream.", "End HTTP stream.", "Start Unzip in memory."};
        if (c.unzipped)
            inner.push_back("End Unzip in memory.");
        std::string expected = "      Start LoadFileInternal (" + c.name + ").\n";
        for (const char* line : inner)
            expected += std::string("      ") + line + "\n";
        EXPECT_EQ(newLog(), expected + "      End LoadFileInternal.\n");
    }
    EXPECT_EQ(std::string(control().FetchFailure.data()),
              "the server sent a web page (text/html) instead of a model at \"" + server.url("/login") + "\" after 1 redirect");
}

TEST_F(Fetching, FilesAreWrittenWholeOrNotAtAll)
{
    Server server;
    server.serve("/a.png", Server::ok("image a"));
    server.serve("/cut.png", Server::shortBody("imag", 7));
    const UTFilePath target(RWCString(files.file("a.png").c_str()));
    EXPECT_EQ(control().LoadFileInternalToFile(RWCString(server.url("/a.png").c_str()), target, false), 0);
    EXPECT_EQ(TempDir::read(files.file("a.png")), "image a");
    // An existing file is never fetched again.
    EXPECT_EQ(control().LoadFileInternalToFile(RWCString(server.url("/a.png").c_str()), target, false), 0);
    EXPECT_EQ(server.requests("/a.png"), 1);

    for (const char* path : {"/cut.png", "/missing.png"}) {
        SCOPED_TRACE(path);
        const UTFilePath failed(RWCString(files.file(path + 1).c_str()));
        EXPECT_EQ(control().LoadFileInternalToFile(RWCString(server.url(path).c_str()), failed, false), 1);
    }
    EXPECT_EQ(control().LoadFileInternalToFile(RWCString(server.url("/a.png").c_str()),
                                               UTFilePath(RWCString(files.file("no/such/folder/a.png").c_str())), false),
              1);
    // A name as long as a folder takes is written too: its temporary's name still fits.
    const std::string longName = std::string(251, 'n') + ".png";
    EXPECT_EQ(control().LoadFileInternalToFile(RWCString(server.url("/a.png").c_str()),
                                               UTFilePath(RWCString(files.file(longName).c_str())), false),
              0);
    EXPECT_EQ(TempDir::read(files.file(longName)), "image a");
    std::filesystem::remove(files.file(longName));
    // Nothing else was left in the folder: no failed file, no temporary one.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(files.path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"a.png"});
}

TEST_F(Fetching, ImageCacheRefreshesOnceForTheDataVersion)
{
    Server server;
    for (const char* const* image = PanelImageNames; **image; ++image)
        server.serve(std::string("/img/") + *image, Server::ok(std::string("new ") + *image));
    server.serve("/img/help.png", Server::status(500));
    control().BaseUrl = RWCString(server.url("/img").c_str());
    // A stale image from before: replaced, since the stored data version is missing.
    std::ofstream(viewer.userFile("front.png")) << "stale";

    EXPECT_TRUE(control().RefreshImageCache());
    EXPECT_NE(TempDir::read(viewer.userFile("tavoplex.cfg")).find("DATA_VERSION=2"), std::string::npos);
    int present = 0;
    for (const char* const* image = PanelImageNames; **image; ++image) {
        const std::string path = viewer.userFile(*image);
        if (std::string(*image) == "help.png") {
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        EXPECT_EQ(TempDir::read(path), std::string("new ") + *image);
        ++present;
    }
    EXPECT_EQ(present, 19);
    EXPECT_EQ(std::size(PanelImageNames), 21u);

    // Version 2 now: present images stay as they are, the missing one is tried again.
    std::ofstream(viewer.userFile("front.png")) << "kept";
    EXPECT_TRUE(control().RefreshImageCache());
    EXPECT_EQ(TempDir::read(viewer.userFile("front.png")), "kept");
    EXPECT_EQ(server.requests("/img/front.png"), 1);
    EXPECT_EQ(server.requests("/img/help.png"), 2);
}

TEST_F(Fetching, ImageRefreshAsksALostServerNoMoreAndEndsInItsTime)
{
    struct Case {
        const char* what;
        Server::Reply reply;   // every image's answer
        uint32_t stallMs;      // the downloads' stall time-out
        uint32_t refreshMs;    // the whole refresh's time
        int most;              // requests the server may see
        uint32_t totalMs = platform::net::Limits().totalTimeoutMs;  // a transfer's own bound by default
    };
    const Case cases[] = {
        // Headers, then nothing: the first image stalls and the server is asked no more.
        {"stall", Server::stall("", 100, 20000), 300, 30000, 1},
        // Every answer comes, but late: the refresh stops asking when its time is up.
        {"slow", Server::late("image", 400), 30000, 1000, 4},
        // A byte every 50 ms for minutes never stalls: the refresh's own time cuts it off, not
        // the half hour a transfer may take.
        {"drip", Server::drip(std::string(100000, 'x'), 50), 30000, 500, 1},
        // Nor does a transfer default of no bound at all leave the refresh without one.
        {"drip, transfers unbounded", Server::drip(std::string(100000, 'x'), 50), 30000, 500, 1, 0},
    };
    // Neither may a minimum pace end the drip: only the time bound is under test.
    HTTPDownloadC::DefaultLimits().minBytesPerSecond = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempDir user;
        // The server outlives a minute: a refresh that ends sooner ended by its own bounds.
        Server server(120000);
        for (const char* const* image = PanelImageNames; **image; ++image)
            server.serve(std::string("/") + *image, k.reply);
        HTTPDownloadC::DefaultLimits().stallTimeoutMs = k.stallMs;
        HTTPDownloadC::DefaultLimits().totalTimeoutMs = k.totalMs;
        control().ImageRefreshLimitMs = k.refreshMs;
        control().UserFolder = UTFilePath(RWCString(user.path().c_str()));
        control().BaseUrl = RWCString(server.url("").c_str());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(control().RefreshImageCache());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
        int asked = 0, present = 0;
        for (const char* const* image = PanelImageNames; **image; ++image) {
            asked += server.requests(std::string("/") + *image);
            present += std::filesystem::exists(user.file(*image)) ? 1 : 0;
        }
        EXPECT_GE(asked, 1);
        EXPECT_LE(asked, k.most);
        EXPECT_LE(present, asked);
        EXPECT_EQ(control().FetchLimits, nullptr);
    }
}

TEST_F(Fetching, DataVersionBelowTwoIsRaisedAndEveryImageFetchedAgain)
{
    Server server;
    for (const char* const* image = PanelImageNames; **image; ++image)
        server.serve(std::string("/") + *image, Server::ok("fresh"));
    control().Config.getValue("DATA_VERSION", "COMMON")->setInt(1);
    control().BaseUrl = RWCString(server.url("").c_str());
    for (const char* const* image = PanelImageNames; **image; ++image)
        std::ofstream(viewer.userFile(*image)) << "old";
    EXPECT_TRUE(control().RefreshImageCache());
    EXPECT_EQ(control().Config.getValue("DATA_VERSION", "COMMON")->getInt(), 2);
    for (const char* const* image = PanelImageNames; **image; ++image)
        EXPECT_EQ(TempDir::read(viewer.userFile(*image)), "fresh") << *image;
}
