// The host program end to end: every shipped sample rendered into a BMP file, the errors of
// its command line, the window host showing a model under a private Xvfb server, and the
// first start's settings dialog answered with synthetic clicks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "platform/host/X11Dialog.h"
#include "platform/host/X11Host.h"
#include "tests/support/TempDir.h"
#include "tests/support/XTestInput.h"
#include "tests/support/XvfbServer.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/TavoplexResources.h"
#include "platform/com/PropertyExchange.h"

extern char** environ;

namespace {

// However loaded the machine, a window, a program and its answers come within this. Tests wait
// for what they need and take this long only when it never comes.
constexpr int kPatienceMs = 60000;

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts the program with the arguments; the per-user folder lives in dir, which also takes
// its standard output and error; a display only when one is given. -1 when it cannot start.
pid_t startProgram(const TempDir& dir, const std::vector<std::string>& args, const std::string& display = "")
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
    // The sanitizers' settings and the renderer's switches of the test run reach the program.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS", "LP_NUM_THREADS",
                             "MESA_SHADER_CACHE_DISABLE"})
        if (const char* value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
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
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int exitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

ProgramRun outputsOf(const TempDir& dir, int status)
{
    return ProgramRun{status, TempDir::read(dir.file("stdout.txt")), TempDir::read(dir.file("stderr.txt"))};
}

// Runs the program to its end.
ProgramRun runProgram(const TempDir& dir, const std::vector<std::string>& args)
{
    const pid_t pid = startProgram(dir, args);
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return outputsOf(dir, -1);
    return outputsOf(dir, exitStatus(status));
}

// A program started in the background: ended by the test within a time bound, killed when the
// test leaves without that.
class RunningProgram {
public:
    explicit RunningProgram(pid_t pid) : pid_(pid) {}
    ~RunningProgram()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return pid_ > 0; }
    // The exit status once the program ended within limitMs; -1 while it still runs.
    int waitExit(int limitMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        for (;;) {
            int status = 0;
            if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return exitStatus(status);
            }
            if (pid_ <= 0 || std::chrono::steady_clock::now() >= end)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    pid_t pid_;
};

// Polls until the condition holds or limitMs passed; its last answer.
bool waitUntil(int limitMs, const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    return true;
}

// A per-user configuration with a stored choice, so that the program shows no first-start
// dialog.
void storeNormalDetail(const TempDir& dir)
{
    std::filesystem::create_directories(dir.path() + "/korvane/tavoplex");
    std::ofstream(dir.path() + "/korvane/tavoplex/tavoplex.cfg", std::ios::binary)
        << "[GFX]\nSTANDARD_SETTING=1\nSHADOW=1\nGEARS=1\nSHADING=2\nANTIALIASING=1\nMETALLIC=0\n";
}

int distance(std::array<uint8_t, 4> a, std::array<uint8_t, 4> b)
{
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// The window's picture once it has stayed the same for a second (animations and fades over:
// the longest runs 750 ms, and a frame late by a second still finds it at its end).
platform::gl::Frame stillPicture(const XTestInput& input, Window window)
{
    platform::gl::Frame last = input.read(window);
    auto since = std::chrono::steady_clock::now();
    waitUntil(kPatienceMs, [&] {
        platform::gl::Frame now = input.read(window);
        if (now.rgba != last.rgba) {
            last = std::move(now);
            since = std::chrono::steady_clock::now();
            return false;
        }
        return std::chrono::steady_clock::now() - since >= std::chrono::seconds(1);
    });
    return last;
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
    // The gear packed again by `zip -fz`, its sizes in ZIP64 blocks, loads as the sample does.
    TempDir packed;
    std::vector<std::string> samples = {"samples/bracket.stl", "samples/gear.zjv", "samples/assembly.xml"};
    const std::string repack = "cd '" + packed.path() + "' && unzip -q '" + TAVO_SOURCE_DIR +
                               "/samples/gear.zjv' && zip -q -fz gear64.zjv gear.zjv >/dev/null 2>&1";
    if (std::system(repack.c_str()) == 0)
        samples.push_back(packed.file("gear64.zjv"));
    for (const std::string& sample : samples) {
        SCOPED_TRACE(sample);
        TempDir dir;
        const std::string bmp = dir.file("out.bmp");
        const ProgramRun run = runProgram(dir, {"FileName=" + sample, "--output", bmp, "--size", "240x180"});
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

TEST(TavoplexProgram, AnOutputThatIsNoRegularFileIsRefusedAndLeftAsItIs)
{
    TempDir dir;
    std::vector<std::string> outputs = {dir.file("pipe.bmp")};
    ASSERT_EQ(::mkfifo(outputs[0].c_str(), 0666), 0);
    // A device of our own first (the suite runs as root; mknod may still be refused), then a
    // link to the machine's /dev/null, tried only once the program left the scratch ones alone.
    if (::mknod(dir.file("null.bmp").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        outputs.push_back(dir.file("null.bmp"));
    ASSERT_EQ(::symlink("/dev/null", dir.file("to-null.bmp").c_str()), 0);
    outputs.push_back(dir.file("to-null.bmp"));
    for (const std::string& output : outputs) {
        SCOPED_TRACE(output);
        const auto before = std::filesystem::symlink_status(output).type();
        const ProgramRun run = runProgram(dir, {"FileName=samples/bracket.stl", "--output", output, "--size", "40x30"});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
        ASSERT_EQ(std::filesystem::symlink_status(output).type(), before);
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
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
        ASSERT_TRUE(control.Loading);
        // Runs until the load, the isometric move and the scene's fade-in are over and drawn.
        auto untilSettled = [&](const platform::host::Message& m) {
            const long result = target(m);
            if (m.kind == platform::host::MessageKind::Timer && !control.Loading && control.Animations.IsEmpty())
                host->requestClose();
            return result;
        };
        EXPECT_EQ(host->run(untilSettled, kPatienceMs), 0) << "the model did not settle";
        EXPECT_FALSE(control.Loading);
        EXPECT_FALSE(control.LoadFailed);
        const platform::gl::Frame shown = host->readWindow();
        ASSERT_EQ(shown.width, 240);
        const auto corner = shown.pixel(3, 3);
        const auto centre = shown.pixel(120, 90);
        EXPECT_GT(distance(corner, centre), 30);
        host->requestClose();
        EXPECT_EQ(host->run(target, kPatienceMs), 0);
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

TEST(TavoplexProgram, PointerInTheWindowRotatesTheModelAndShiftDoubleClickCallsThePage)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    TempDir dir;
    storeNormalDetail(dir);
    RunningProgram program(startProgram(dir, {"FileName=samples/gear.zjv", "--size", "240x180"}, x.display()));
    ASSERT_TRUE(program.started());
    XTestInput input(x.display());
    ASSERT_TRUE(input.ok());
    const Window window = input.findWindow("Tavoplex", kPatienceMs);
    ASSERT_NE(window, 0u) << TempDir::read(dir.file("stderr.txt"));

    // The loaded model, fitted, covers much of the middle row (the background's gradient runs
    // from top to bottom, so a row's background is that of its left edge).
    ASSERT_TRUE(waitUntil(kPatienceMs, [&] {
        const platform::gl::Frame shown = input.read(window);
        int covered = 0;
        for (int px = 0; px < shown.width; ++px)
            covered += distance(shown.pixel(px, 90), shown.pixel(3, 90)) > 30 ? 1 : 0;
        return shown.width == 240 && covered > 80;
    })) << "the model never appeared";
    const platform::gl::Frame before = stillPicture(input, window);
    // A point well inside the gear's drawing, above its bore.
    int onPart = -1;
    for (int px = 120; px < 200 && onPart < 0; ++px) {
        bool solid = true;
        for (int d = -3; d <= 3; ++d)
            solid = solid && distance(before.pixel(px + d, 60), before.pixel(3, 60)) > 30;
        if (solid)
            onPart = px;
    }
    ASSERT_GE(onPart, 0);

    // Shift with a double click on the part: the page's function prints its call.
    input.moveTo(onPart, 60);
    input.key(XK_Shift_L, true);
    for (int i = 0; i < 2; ++i) {
        input.button(1, true);
        input.button(1, false);
    }
    input.key(XK_Shift_L, false);
    input.flush();
    const std::string call = "TavoPlex_DoubleClickPart(\"Gear\", \"gear 20T\")\n";
    EXPECT_TRUE(waitUntil(kPatienceMs, [&] { return !TempDir::read(dir.file("stdout.txt")).empty(); }));
    EXPECT_EQ(TempDir::read(dir.file("stdout.txt")), call);

    // A left drag of 100 pixels across the window turns the model.
    input.moveTo(70, 90);
    input.button(1, true);
    for (int step = 1; step <= 10; ++step)
        input.moveTo(70 + 10 * step, 90);
    input.button(1, false);
    input.flush();
    // More than a tool tip's box could account for.
    int changed = 0, points = 0;
    EXPECT_TRUE(waitUntil(kPatienceMs, [&] {
        const platform::gl::Frame after = input.read(window);
        changed = points = 0;
        for (int y = 10; y < 180 && after.width == 240; y += 5)
            for (int px = 10; px < 240; px += 5, ++points)
                changed += distance(after.pixel(px, y), before.pixel(px, y)) > 30 ? 1 : 0;
        return points > 0 && changed > points / 10;
    })) << changed << " of " << points;

    // q closes the window and the program ends cleanly.
    input.key(XK_q, true);
    input.key(XK_q, false);
    input.flush();
    EXPECT_EQ(program.waitExit(kPatienceMs), 0) << TempDir::read(dir.file("stderr.txt"));
}

TEST(TavoplexProgram, FirstStartShowsTheSettingsDialogAndLowDetailIsSaved)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    TempDir dir;
    RunningProgram program(startProgram(dir, {"FileName=samples/bracket.stl", "--size", "240x180"}, x.display()));
    ASSERT_TRUE(program.started());
    XTestInput input(x.display());
    ASSERT_TRUE(input.ok());
    const platform::host::Dialog quick = LoadDialogResource(IDD_QUICK_SETTINGS);
    const Window dialog = input.findWindow(quick.caption, kPatienceMs);
    ASSERT_NE(dialog, 0u) << "the settings dialog did not show: " << TempDir::read(dir.file("stderr.txt"));

    using platform::host::X11Dialog;
    // The title's colours and the link's blue underline are drawn (once the dialog has drawn).
    const auto title = X11Dialog::pixelRect(*quick.find(IDC_TITLE));
    const auto link = X11Dialog::pixelRect(*quick.find(IDC_LINK));
    EXPECT_TRUE(waitUntil(kPatienceMs, [&] {
        const platform::gl::Frame shown = input.read(dialog);
        const auto p = shown.width > title.x + 2 ? shown.pixel(title.x + 2, title.y + title.height / 2)
                                                 : std::array<uint8_t, 4>{};
        return p[0] == 0x9A && p[1] == 0xB5 && p[2] == 0xCA &&
               longestRun(shown, link.x, link.y, link.width, link.height, 0x0000FF) >= 40;
    }));

    const auto [dx, dy] = input.origin(dialog);
    for (int id : {IDC_RADIO_LOW, IDOK}) {
        const auto r = X11Dialog::pixelRect(*quick.find(id));
        input.click(dx + r.x + 4, dy + r.y + r.height / 2);
    }
    // The choice is saved when OK ends the dialog.
    const std::string cfg = dir.path() + "/korvane/tavoplex/tavoplex.cfg";
    std::string saved;
    waitUntil(kPatienceMs, [&] {
        saved = std::filesystem::exists(cfg) ? TempDir::read(cfg) : "";
        return saved.find("METALLIC=") != std::string::npos;
    });
    for (const char* line :
         {"STANDARD_SETTING=2\n", "SHADOW=0\n", "GEARS=0\n", "SHADING=1\n", "ANTIALIASING=0\n", "METALLIC=0\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << " missing in:\n" << saved;

    // Then q in the control's window ends the program cleanly, once the dialog is gone and
    // with it its hold on the keyboard (it may go after the choice is saved).
    ASSERT_TRUE(input.waitGone(quick.caption, kPatienceMs));
    const Window window = input.findWindow("Tavoplex", kPatienceMs);
    ASSERT_NE(window, 0u);
    input.moveTo(120, 90);
    input.key(XK_q, true);
    input.key(XK_q, false);
    input.flush();
    EXPECT_EQ(program.waitExit(kPatienceMs), 0) << TempDir::read(dir.file("stderr.txt"));
}
