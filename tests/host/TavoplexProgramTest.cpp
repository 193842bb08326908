// The host program end to end: every shipped sample rendered into a BMP file, the errors of
// its command line, and the window host showing a model under a private Xvfb server.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host/X11Host.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "platform/com/PropertyExchange.h"

extern char** environ;

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program with the arguments; the per-user folder lives in dir, no display is given.
ProgramRun runProgram(const TempDir& dir, const std::vector<std::string>& args, const std::string& display = "")
{
    std::vector<std::string> all = {TAVOPLEX_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.path(), "HOME=" + dir.path(), "PATH=/usr/bin:/bin"};
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, std::string(TAVO_SOURCE_DIR).c_str());
    pid_t pid = -1;
    ProgramRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = TempDir::read(out);
    run.err = TempDir::read(err);
    return run;
}

uint32_t le32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

// RGB of a BMP pixel, y counted from the top.
std::array<int, 3> bmpPixel(const std::string& b, int x, int y)
{
    const int width = int(le32(b, 18)), height = int(le32(b, 22));
    const size_t at = 54 + (size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4;
    return {uint8_t(b[at + 2]), uint8_t(b[at + 1]), uint8_t(b[at])};
}

int distance(std::array<int, 3> a, std::array<int, 3> b)
{
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

}  // namespace

TEST(TavoplexProgram, EverySampleRendersIntoABmpWithTheModelInTheMiddle)
{
    for (const char* sample : {"samples/bracket.stl", "samples/gear.zjv", "samples/assembly.xml"}) {
        SCOPED_TRACE(sample);
        TempDir dir;
        const std::string bmp = dir.file("out.bmp");
        const ProgramRun run = runProgram(dir, {std::string("FileName=") + sample, "--output", bmp, "--size", "240x180"});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string bytes = TempDir::read(bmp);
        ASSERT_EQ(bytes.size(), 54u + 240u * 180u * 4u);
        EXPECT_EQ(le32(bytes, 18), 240u);
        EXPECT_EQ(le32(bytes, 22), 180u);
        // The fitted isometric view puts the model across the centre; the corner shows the
        // background gradient.
        const auto corner = bmpPixel(bytes, 3, 3);
        int differing = 0;
        for (auto [x, y] : {std::pair{120, 90}, {110, 90}, {130, 90}, {120, 80}, {120, 100}})
            differing += distance(bmpPixel(bytes, x, y), corner) > 30 ? 1 : 0;
        EXPECT_GE(differing, 3) << "the centre looks like the background";
    }
}

TEST(TavoplexProgram, ErrorsAreOneLineAndExitNonZero)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    TempDir dir;
    // A folder can never be read as a model: refused at once, not retried for half a minute.
    std::filesystem::create_directory(dir.file("folder.stl"));
    const Case cases[] = {
        {{"FileName=samples/bracket.stl", "--output", dir.file("a.bmp"), "--size", "0x10"}, 2, "bad size"},
        {{"FileName=samples/bracket.stl", "--output", dir.file("a.bmp"), "--size", "12"}, 2, "bad size"},
        {{"FileName=samples/none.stl", "--output", dir.file("a.bmp")}, 1, "cannot read the model"},
        {{"FileName=samples/README.md", "--output", dir.file("a.bmp")}, 1, "cannot load the model"},
        {{"FileName=" + dir.file("folder.stl"), "--output", dir.file("a.bmp")}, 1, "cannot read the model"},
        {{"FileName=samples/bracket.stl", "--output", dir.file("no/such/folder/a.bmp")}, 1, "cannot write"},
        {{"FileName=samples/bracket.stl", "Start=0", "--output", dir.file("a.bmp")}, 2, "Start is 0"},
        {{"--colour"}, 2, "unknown option"},
        {{"FileName"}, 2, "neither an option nor Name=value"},
        {{"FileName=samples/bracket.stl"}, 1, "cannot open display"},  // no display, no output
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.args.back());
        const ProgramRun run = runProgram(dir, k.args);
        EXPECT_EQ(run.status, k.status) << run.err;
        EXPECT_NE(run.err.find(k.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.bmp")));
    }
}

TEST(TavoplexProgram, WindowHostDrawsTheModelAndQuitsCleanly)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::string error;
    auto host = platform::host::X11Host::open(x.display().c_str(), 240, 180, "TavoplexProgramTest", error);
    ASSERT_TRUE(host) << error;
    host->setPageAddress("file://" + std::string(TAVO_SOURCE_DIR) + "/index.html");
    host->setDialogAnswer([](platform::host::Dialog& d) {
        d.click(211);
        return d.click(platform::host::DialogOk);
    });
    {
        CTavoplexCtrl control;
        control.AttachHost(host.get());
        platform::com::PropertyBag bag = {{"FileName", "samples/bracket.stl"}, {"Start", "1"}};
        platform::com::PropertyExchange exchange(platform::com::PropertyExchange::Mode::Load, bag);
        control.DoPropExchange(exchange);
        auto target = [&control](const platform::host::Message& m) { return control.WindowProc(m); };
        target(platform::host::Message::create());
        target(platform::host::Message::size(240, 180));
        // Load, the isometric move and the scene's fade-in all end within two seconds.
        EXPECT_EQ(host->run(target, 2500), 1);
        EXPECT_FALSE(control.Loading);
        EXPECT_FALSE(control.LoadFailed);
        const platform::gl::Frame shown = host->readWindow();
        ASSERT_EQ(shown.width, 240);
        const auto corner = shown.pixel(3, 3);
        const auto centre = shown.pixel(120, 90);
        EXPECT_GT(std::abs(int(corner[0]) - int(centre[0])) + std::abs(int(corner[1]) - int(centre[1])) +
                      std::abs(int(corner[2]) - int(centre[2])),
                  30);
        host->requestClose();
        EXPECT_EQ(host->run(target, 1000), 0);
        target(platform::host::Message::destroy());
    }
    unsetenv("XDG_CONFIG_HOME");
}

TEST(TavoplexProgram, AModuleThatCannotBeLoadedIsAOneLineErrorBeforeAnythingRuns)
{
    TempDir dir;
    const std::vector<std::string> render = {"FileName=samples/bracket.stl", "--output", dir.file("a.bmp")};
    struct Case {
        std::string module;
        const char* message;
    };
    const Case cases[] = {
        {dir.file("missing.so"), "cannot load the module"},
        // A shared library that is no module: its entry points are missing.
        {"libz.so.1", "entry point"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.module);
        std::vector<std::string> args = render;
        args.insert(args.end(), {"--module", k.module});
        const ProgramRun run = runProgram(dir, args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(k.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.bmp")));
    }
}
