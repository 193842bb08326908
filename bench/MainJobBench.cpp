// The main job as the host program does it: a binary STL loaded by the control and rendered into
// an 800x600 BMP. In this process (once more with the control's debug log read through a pipe,
// whose stage lines give the time of each stage) for a 1,000,000-triangle torus; and as the host
// program in fresh processes beside f3d rendering the same files to images of the same size
// (f3d's side is left out when it is not installed), over tori from 32 to 4,000,000 triangles, a
// gear and a cone, in rounds whose runs come in shuffled order, printed as a table per model.
// f3d draws through GLX, so it runs on a private Xvfb server with Mesa's software renderer, as
// our off-screen context does. Each reports its peak resident memory. MAINJOB_ROUNDS sets the
// number of rounds (10 by default); MAINJOB_BASELINE names another build's host program, run in
// the same rounds, so that a change is measured against it pair by pair. The machine's load
// average is printed with the table, as it was before and after the rounds. Besides, in this
// process, ZJV models of 100,000 and 400,000 one-triangle parts side by side.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "platform/com/PropertyExchange.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "tests/support/XvfbServer.h"
#include "tests/support/ZipBuilder.h"
#include "viewer/control/CTavoplexCtrl.h"

extern char** environ;

namespace {

constexpr int kRings = 1000;
constexpr int kSegments = 500;  // 2 * rings * segments = 1,000,000 triangles

// The models of the fresh-process table: tori from 32 triangles up, a gear and a cone. Each of
// their pictures shows the model where pictureShowsTheModel looks.
struct TableModel {
    const char* name;
    uint32_t triangles;
    void (*generate)(const std::function<void(const Point3D&, const Point3D&, const Point3D&)>&);
};

const TableModel kTableModels[] = {
    {"torus", 32, [](const auto& add) { benchsupport::torusTriangles(4, 4, add); }},
    {"torus", 100000, [](const auto& add) { benchsupport::torusTriangles(250, 200, add); }},
    {"torus", 300000, [](const auto& add) { benchsupport::torusTriangles(500, 300, add); }},
    {"torus", 1000000, [](const auto& add) { benchsupport::torusTriangles(kRings, kSegments, add); }},
    {"torus", 4000000, [](const auto& add) { benchsupport::torusTriangles(2000, 1000, add); }},
    {"gear", 400000, [](const auto& add) { benchsupport::gearTriangles(100000, add); }},
    {"cone", 320000, [](const auto& add) { benchsupport::coneTriangles(320000, add); }},
};

std::string tableModelFile(const TableModel& t)
{
    return std::string(t.name) + std::to_string(t.triangles) + ".stl";
}

// The models, written once per process into a private temporary folder, removed at exit: the
// 1M torus (`path`) for the in-process jobs, the table's models on first use.
struct Model {
    std::string folder, path;
    Model()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavoplex-mainjob-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return;
        folder = pattern;
        const std::string torus = folder + "/" + tableModelFile(kTableModels[3]);
        if (benchsupport::writeBinaryStl(torus, kTableModels[3].triangles, kTableModels[3].generate))
            path = torus;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    // The table's model file; empty when it cannot be written.
    std::string table(const TableModel& t) const
    {
        const std::string file = folder + "/" + tableModelFile(t);
        std::error_code ec;
        if (std::filesystem::exists(file, ec) || benchsupport::writeBinaryStl(file, t.triangles, t.generate))
            return file;
        return "";
    }
    ~Model()
    {
        if (!folder.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    }
};

Model& model()
{
    static Model m;
    return m;
}

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Marks of one in-process job: its start, the end of LoadAndCreateBMP, of the window's
// destruction and of the control's.
struct JobMarks {
    Clock::time_point start, rendered, destroyed, released;
};

// Whether the 800x600 picture shows the grey model where the tori's upper rim, the gear's top and
// the cone's sloped side lie, a place the (blue) background alone never makes grey: a job whose
// drawing calls reach no context writes a picture of nothing, as fast as can be.
bool pictureShowsTheModel(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t bits = 54, row = 800 * 4, y = 599 - 130, x = 400;  // rows run from the bottom
    if (b.size() < bits + 600 * row)
        return false;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(b.data()) + bits + y * row + x * 4;
    const int high = std::max({p[0], p[1], p[2]}), low = std::min({p[0], p[1], p[2]});
    return high > 40 && high - low < 25;
}

// One main job as the host program runs it: the model's picture of the given size; false when
// the control wrote none.
bool runControlJob(const std::string& path, const std::string& picture, int width, int height, JobMarks& marks)
{
    marks.start = Clock::now();
    bool ok = false;
    {
        // As the host program places it: in a window without area, the picture in its own context.
        platform::host::HeadlessHost host(0, 0);
        host.setDialogAnswer([](platform::host::Dialog&) { return platform::host::DialogCancel; });
        auto control = std::make_unique<CTavoplexCtrl>();
        control->AttachHost(&host);
        platform::com::PropertyBag bag = {{"FileName", path}, {"Start", "1"}};
        platform::com::PropertyExchange exchange(platform::com::PropertyExchange::Mode::Load, bag);
        control->DoPropExchange(exchange);
        control->WindowProc(platform::host::Message::create());
        control->WindowProc(platform::host::Message::size(0, 0));
        ok = control->LoadAndCreateBMP(RWCString(path.c_str()), RWCString(picture.c_str()), width, height);
        marks.rendered = Clock::now();
        control->WindowProc(platform::host::Message::destroy());
        marks.destroyed = Clock::now();
        control.reset();
    }
    marks.released = Clock::now();
    return ok;
}

// The 1M torus's main job; false when no picture of the model was written.
bool runJob(const Model& m, JobMarks& marks)
{
    const std::string picture = m.folder + "/out.bmp";
    return runControlJob(m.path, picture, 800, 600, marks) && pictureShowsTheModel(picture);
}

void BM_TavoplexStlTo800x600Bmp(benchmark::State& state)
{
    Model& m = model();
    if (m.path.empty()) {
        state.SkipWithError("cannot write the model");
        return;
    }
    double peak = 0.0;
    for (auto _ : state) {
        benchsupport::resetPeakMemory();
        JobMarks marks;
        if (!runJob(m, marks)) {
            state.SkipWithError("no picture of the model was written");
            return;
        }
        peak = std::max(peak, benchsupport::peakMemoryMB());
    }
    state.counters["peak_MB"] = peak;
    state.counters["triangles"] = double(2 * kRings * kSegments);
}
BENCHMARK(BM_TavoplexStlTo800x600Bmp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A ZJV model of n parts of one triangle each (a ZIP archive whose first entry is the text);
// placed, each part has an instance of its own on a square grid, else none (nothing is drawn).
std::string manyPartsModel(const Model& m, size_t n, bool placed)
{
    std::string text;
    text.reserve(n * (placed ? 120 : 36));
    for (size_t i = 0; i < n; ++i)
        text += "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}";
    if (placed) {
        const size_t side = size_t(std::ceil(std::sqrt(double(n))));
        text += "S{";
        for (size_t i = 0; i < n; ++i) {
            const std::string matrix = "1 0 0 0 1 0 0 0 1 " + std::to_string(1.5 * double(i % side)) + " " +
                                       std::to_string(1.5 * double(i / side)) + " 0";
            text += "M{" + std::to_string(i) + " " + matrix + "}ME{0 " + matrix + "}";
        }
        text += "}";
    }
    const std::string path =
        m.folder + "/parts" + std::to_string(n) + (placed ? "placed" : "") + ".zjv";
    std::ofstream(path, std::ios::binary) << buildZip({{"model.txt", text}});
    return path;
}

// Models of 100,000 and 400,000 one-triangle parts side by side, each rendered to a 400x300
// picture: the larger should take about four times as long, not sixteen (Mesa's store of small
// display lists once made each part's list cost in proportion to the lists before it). Unplaced,
// as the parts alone cost; placed, with a frame that draws every one of them. The peaks are the
// process's: one after a larger model may hold what that model left with the allocator.
void BM_ManyOneTrianglePartsZjv(benchmark::State& state)
{
    Model& m = model();
    const bool placed = state.range(0) != 0;
    const size_t sizes[2] = {100000, 400000};
    std::string paths[2];
    for (int k = 0; k < 2; ++k)
        paths[k] = manyPartsModel(m, sizes[k], placed);
    double seconds[2] = {}, peak[2] = {};
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            benchsupport::resetPeakMemory();
            JobMarks marks;
            if (!runControlJob(paths[k], m.folder + "/parts.bmp", 400, 300, marks)) {
                state.SkipWithError("no picture was written");
                return;
            }
            seconds[k] = msBetween(marks.start, marks.released) / 1000.0;
            peak[k] = benchsupport::peakMemoryMB();
        }
    }
    state.counters["s_100k"] = seconds[0];
    state.counters["s_400k"] = seconds[1];
    state.counters["ratio"] = seconds[1] / seconds[0];
    state.counters["peak_MB_100k"] = peak[0];
    state.counters["peak_MB_400k"] = peak[1];
}
BENCHMARK(BM_ManyOneTrianglePartsZjv)->ArgName("placed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// One line of the control's log: when it came, and the process's peak resident size by then.
struct LogLine {
    Clock::time_point time;
    std::string text;
    double peakMB;
};

// The control's debug log, made a pipe that a thread reads: each line with the time it came.
// The reading end is open before the control opens the log, so the control never waits for a
// reader, and the reader stops once the log is closed, or when asked to if it never opened.
class LogTap {
public:
    explicit LogTap(std::string path) : path_(std::move(path))
    {
        ::unlink(path_.c_str());
        if (::mkfifo(path_.c_str(), 0600) != 0)
            return;
        fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        if (fd_ >= 0)
            reader_ = std::thread([this] { read(); });
    }
    ~LogTap()
    {
        finish();
        if (fd_ >= 0)
            ::close(fd_);
        ::unlink(path_.c_str());
    }
    bool ok() const { return reader_.joinable(); }
    // Waits for the reader to drain the closed log, then hands over its lines.
    std::vector<LogLine> finish()
    {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        return std::move(lines_);
    }

private:
    void read()
    {
        std::string pending;
        char buffer[4096];
        bool opened = false;  // the control's log has written to the pipe
        for (;;) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 20) < 0 && errno != EINTR)
                break;
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            if (n <= 0) {
                // Nothing now: the writer has closed (n 0 after it wrote), has not come yet, or
                // is quiet.
                if ((n == 0 && opened) || stop_)
                    break;
                continue;
            }
            opened = true;
            const Clock::time_point now = Clock::now();
            const double peak = benchsupport::peakMemoryMB();
            pending.append(buffer, size_t(n));
            size_t from = 0;
            for (size_t at; (at = pending.find('\n', from)) != std::string::npos; from = at + 1)
                lines_.push_back({now, pending.substr(from, at - from), peak});
            pending.erase(0, from);
        }
    }

    std::string path_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread reader_;
    std::vector<LogLine> lines_;
};

// The job's stages from its log lines, in ms: before the fetch (context, settings, panels,
// warm-up frames), the fetch, the mesh (read, finalize, smooth), the display lists, the
// picture's frames, the BMP file with the rest of the call, and the teardown; and the peak
// resident size by the end of the mesh, the lists and the picture. False when a stage line is
// missing.
bool stagesOf(const std::vector<LogLine>& lines, const JobMarks& marks,
              std::map<std::string, double>& stage, int& frames)
{
    auto find = [&](const char* text, size_t from) {
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i].text == text)
                return i;
        return lines.size();
    };
    const size_t fetch = find("    Start loading STL geometry.", 0);
    const size_t fetched = find("    End loading STL geometry.", fetch);
    const size_t parse = find("    Parsing STL in Memory.", fetched);
    const size_t lists = find("    Make List from Mesh.", parse);
    if (lists + 1 >= lines.size())
        return false;
    size_t lastSwap = lines.size();
    frames = 0;
    for (size_t i = lists + 1; i < lines.size(); ++i) {
        if (lines[i].text == "  Draw Scene.")
            ++frames;
        if (lines[i].text == " (- SwapBuffers -).")
            lastSwap = i;
    }
    if (lastSwap + 1 >= lines.size())
        return false;
    auto at = [&](size_t i) { return lines[i].time; };
    stage["0_before_ms"] = msBetween(marks.start, at(fetch));
    stage["1_fetch_ms"] = msBetween(at(fetch), at(fetched));
    stage["2_mesh_ms"] = msBetween(at(parse), at(lists));
    stage["3_lists_ms"] = msBetween(at(lists), at(lists + 1));
    stage["4_frames_ms"] = msBetween(at(lists + 1), at(lastSwap));
    stage["5_bmp_ms"] = msBetween(at(lastSwap + 1), marks.rendered);
    stage["6_teardown_ms"] = msBetween(marks.rendered, marks.released);
    // The peak by the end of each stage shows which one sets it.
    stage["peak_MB_mesh"] = lines[lists].peakMB;
    stage["peak_MB_lists"] = lines[lists + 1].peakMB;
    stage["peak_MB_picture"] = lines[lastSwap].peakMB;
    return true;
}

// The same job with the debug log on, its stages (mean of the runs) as counters.
void BM_TavoplexStagesStlTo800x600Bmp(benchmark::State& state)
{
    Model& m = model();
    if (m.path.empty()) {
        state.SkipWithError("cannot write the model");
        return;
    }
    const std::string userFolder = m.folder + "/korvane/tavoplex";
    std::error_code ec;
    std::filesystem::create_directories(userFolder, ec);
    const std::string config = userFolder + "/tavoplex.cfg";
    std::ofstream(config) << "[COMMON]\nDEBUG=1\n";
    std::map<std::string, double> total;
    double frames = 0.0;
    int runs = 0;
    for (auto _ : state) {
        benchsupport::resetPeakMemory();
        LogTap tap(userFolder + "/tavoplex.log");
        if (!tap.ok()) {
            state.SkipWithError("cannot make the log a pipe");
            break;
        }
        JobMarks marks;
        const bool ok = runJob(m, marks);
        const auto lines = tap.finish();
        std::map<std::string, double> stage;
        int count = 0;
        if (!ok || !stagesOf(lines, marks, stage, count)) {
            state.SkipWithError(ok ? "the log lacks a stage" : "no picture of the model was written");
            break;
        }
        for (const auto& [name, ms] : stage)
            total[name] += ms;
        frames += count;
        ++runs;
    }
    std::filesystem::remove(config, ec);
    for (const auto& [name, ms] : total)
        state.counters[name] = ms / std::max(runs, 1);
    state.counters["scene_frames"] = frames / std::max(runs, 1);
}
BENCHMARK(BM_TavoplexStagesStlTo800x600Bmp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// VmHWM of a running process in MB (0 when it cannot be read).
double highWaterMB(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0.0;
}

bool f3dPresent() { return std::system("command -v f3d > /dev/null 2>&1") == 0; }

// The longest a fresh-process run may take: the job takes seconds.
constexpr std::chrono::seconds kChildTimeLimit{120};

// Runs a program with its output thrown away and the given variables set on top of this
// process's; false unless it exits with 0 within the time limit. `peakMB` takes its high-water
// mark, read while it runs: the resource usage that wait reports would count this (large)
// process too, whose memory the child shared until its exec.
bool runChild(const std::string& program, std::vector<std::string> args, const std::vector<std::string>& variables,
              double& peakMB)
{
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& v : variables)
            replaced = replaced || entry.compare(0, v.find('=') + 1, v, 0, v.find('=') + 1) == 0;
        if (!replaced)
            environment.push_back(entry);
    }
    environment.insert(environment.end(), variables.begin(), variables.end());
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    peakMB = 0.0;
    const Clock::time_point deadline = Clock::now() + kChildTimeLimit;
    pid_t waited = 0;
    while ((waited = waitpid(pid, &status, WNOHANG)) == 0) {
        if (Clock::now() > deadline) {
            // A run that hangs fails instead of holding up the rest.
            ::kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        peakMB = std::max(peakMB, highWaterMB(pid));
        usleep(2000);
    }
    return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The host program built beside this benchmark (build-bench/host/tavoplex); empty when it is
// not there.
std::string hostProgram()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "";
    const std::filesystem::path program = self.parent_path().parent_path() / "host" / "tavoplex";
    return std::filesystem::exists(program, ec) ? program.string() : "";
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The rounds of the fresh-process table: MAINJOB_ROUNDS when it is a positive number.
int tableRounds()
{
    const char* text = std::getenv("MAINJOB_ROUNDS");
    const long rounds = text ? std::strtol(text, nullptr, 10) : 0;
    return rounds > 0 && rounds < 1000 ? int(rounds) : 10;
}

// One program's fresh-process runs of one model: seconds and peaks per round.
struct Runs {
    std::vector<double> seconds, peakMB;
};

// The programs of the fresh-process table.
enum class Program { Ours, F3d, Baseline };

// The host program of another build named by MAINJOB_BASELINE, or empty.
std::string baselineProgram()
{
    const char* path = std::getenv("MAINJOB_BASELINE");
    std::error_code ec;
    return path && *path && std::filesystem::exists(path, ec) ? std::string(path) : std::string();
}

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg tells them.
std::string loadAverage()
{
    std::ifstream f("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    if (!(f >> one >> five >> fifteen))
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f, %.2f, %.2f", one, five, fifteen);
    return text;
}

// The median of the ratios a / b paired round by round.
double pairedRatio(const Runs& a, const Runs& b)
{
    std::vector<double> ratios;
    for (size_t r = 0; r < a.seconds.size() && r < b.seconds.size(); ++r)
        ratios.push_back(a.seconds[r] / b.seconds[r]);
    return median(ratios);
}

// The main job as a user runs it, the host program in a fresh process, beside f3d doing the same
// with the same file, for every model of the table. Each round runs every (model, program) pair
// once in shuffled order, so that a change in the machine's load falls on both sides alike; the
// ratio column is the median of the ratios paired within each round. A first unmeasured run of
// each program warms the shader cache and the file cache.
void BM_MainJobBesideF3d(benchmark::State& state)
{
    Model& m = model();
    const std::string program = hostProgram();
    if (m.folder.empty() || program.empty()) {
        state.SkipWithError("the host program is not built");
        return;
    }
    bool withF3d = f3dPresent();
    static XvfbServer x;
    if (withF3d && !x.available())
        withF3d = false;
    constexpr size_t kModels = std::size(kTableModels);
    std::vector<std::string> files;
    for (const TableModel& t : kTableModels) {
        files.push_back(m.table(t));
        if (files.back().empty()) {
            state.SkipWithError("cannot write a model");
            return;
        }
    }
    // Its own settings folder: the host program answers the first start's dialog itself.
    const std::string settings = "XDG_CONFIG_HOME=" + m.folder + "/host";
    const std::string hostPicture = m.folder + "/host.bmp", f3dPicture = m.folder + "/f3d.png";
    const std::string baseline = baselineProgram();
    // One run; false when it failed or wrote no picture (of the model, for a host program).
    auto run = [&](size_t model, Program which, double& seconds, double& peak) {
        const std::string& host = which == Program::Baseline ? baseline : program;
        const std::string& picture = which == Program::F3d ? f3dPicture : hostPicture;
        std::error_code ec;
        std::filesystem::remove(picture, ec);
        const Clock::time_point start = Clock::now();
        const bool exited =
            which == Program::F3d
                ? runChild("f3d", {"f3d", files[model], "--output=" + picture, "--resolution=800,600", "--dry-run"},
                           {"DISPLAY=" + x.display()}, peak)
                : runChild(host, {host, "FileName=" + files[model], "--output", picture, "--size", "800x600"},
                           {settings}, peak);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!exited)
            return false;
        if (which != Program::F3d)
            return pictureShowsTheModel(picture);
        // f3d's picture is a PNG: that it was written is what is checked (on error, file_size
        // answers -1).
        const std::uintmax_t bytes = std::filesystem::file_size(picture, ec);
        return !ec && bytes > 0;
    };
    std::vector<Runs> ours(kModels), theirs(kModels), before(kModels);
    std::vector<std::pair<size_t, Program>> jobs;
    for (size_t i = 0; i < kModels; ++i) {
        jobs.push_back({i, Program::Ours});
        if (withF3d)
            jobs.push_back({i, Program::F3d});
        if (!baseline.empty())
            jobs.push_back({i, Program::Baseline});
    }
    std::mt19937 shuffle(20261207);
    const int rounds = tableRounds();
    const std::string loadBefore = loadAverage();
    for (auto _ : state) {
        double seconds = 0.0, peak = 0.0;
        if (!run(0, Program::Ours, seconds, peak) || (withF3d && !run(0, Program::F3d, seconds, peak)) ||
            (!baseline.empty() && !run(0, Program::Baseline, seconds, peak))) {
            state.SkipWithError("a warm-up run failed");
            return;
        }
        for (int round = 0; round < rounds; ++round) {
            std::shuffle(jobs.begin(), jobs.end(), shuffle);
            for (const auto& [model, which] : jobs) {
                if (!run(model, which, seconds, peak)) {
                    state.SkipWithError(which == Program::F3d ? "f3d failed" : "a host program wrote no picture of the model");
                    return;
                }
                Runs& runs = (which == Program::F3d ? theirs : which == Program::Baseline ? before : ours)[model];
                runs.seconds.push_back(seconds);
                runs.peakMB.push_back(peak);
            }
        }
    }
    std::printf("\nThe main job, fresh processes, %d rounds%s; load average %s before, %s after:\n", rounds,
                withF3d ? "" : " (f3d is not installed)", loadBefore.c_str(), loadAverage().c_str());
    // Time per triangle above the fixed cost, which the smallest model (the first) stands for.
    std::printf("| model | triangles | tavoplex median | f3d median | paired ratio | peak MB (tavoplex / f3d) "
                "| us/triangle above the fixed cost (tavoplex / f3d) |\n|---|---|---|---|---|---|---|\n");
    for (size_t i = 0; i < kModels; ++i) {
        const TableModel& t = kTableModels[i];
        const double ourMedian = median(ours[i].seconds), ourPeak = median(ours[i].peakMB);
        const double theirMedian = withF3d ? median(theirs[i].seconds) : 0.0;
        const double ourRate = 1e6 * (ourMedian - median(ours[0].seconds)) / t.triangles;
        const double theirRate = withF3d ? 1e6 * (theirMedian - median(theirs[0].seconds)) / t.triangles : 0.0;
        std::printf("| %s | %u | %.2f s ", t.name, t.triangles, ourMedian);
        if (withF3d) {
            std::printf("| %.2f s | %.2f | %.0f / %.0f ", theirMedian, pairedRatio(ours[i], theirs[i]), ourPeak,
                        median(theirs[i].peakMB));
        } else {
            std::printf("| - | - | %.0f / - ", ourPeak);
        }
        if (i == 0)
            std::printf("| - |\n");
        else if (withF3d)
            std::printf("| %.3f / %.3f |\n", ourRate, theirRate);
        else
            std::printf("| %.3f / - |\n", ourRate);
        if (t.triangles == 1000000) {
            state.counters["tavoplex_1M_s"] = ourMedian;
            if (withF3d)
                state.counters["f3d_1M_s"] = median(theirs[i].seconds);
        }
    }
    if (!baseline.empty()) {
        std::printf("\nThis build against the baseline %s, the same rounds:\n", baseline.c_str());
        std::printf("| model | triangles | this build median | baseline median | paired ratio | peak MB (this / baseline) "
                    "|\n|---|---|---|---|---|---|\n");
        for (size_t i = 0; i < kModels; ++i)
            std::printf("| %s | %u | %.3f s | %.3f s | %.3f | %.0f / %.0f |\n", kTableModels[i].name,
                        kTableModels[i].triangles, median(ours[i].seconds), median(before[i].seconds),
                        pairedRatio(ours[i], before[i]), median(ours[i].peakMB), median(before[i].peakMB));
    }
    std::fflush(stdout);
}
BENCHMARK(BM_MainJobBesideF3d)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
