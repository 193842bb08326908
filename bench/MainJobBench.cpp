// The main job as the host program does it, in one process: a 1,000,000-triangle binary STL
// loaded by the control and rendered into an 800x600 BMP; beside f3d rendering the same file
// to an image of the same size (skipped when f3d is not installed). f3d draws through GLX, so
// it runs on a private Xvfb server with Mesa's software renderer, as our off-screen context
// does. Each reports its peak resident memory.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "platform/com/PropertyExchange.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "tests/support/XvfbServer.h"
#include "viewer/control/CTavoplexCtrl.h"

extern char** environ;

namespace {

constexpr int kRings = 1000;
constexpr int kSegments = 500;  // 2 * rings * segments = 1,000,000 triangles

// The model, written once per process into a private temporary folder, removed at exit.
struct Model {
    std::string folder, path;
    Model()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavoplex-mainjob-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return;
        folder = pattern;
        path = folder + "/torus.stl";
        std::vector<float> cu(kRings), su(kRings), cv(kSegments), sv(kSegments);
        for (int i = 0; i < kRings; ++i) {
            cu[size_t(i)] = float(std::cos(2.0 * benchsupport::kPi * i / kRings));
            su[size_t(i)] = float(std::sin(2.0 * benchsupport::kPi * i / kRings));
        }
        for (int j = 0; j < kSegments; ++j) {
            cv[size_t(j)] = float(std::cos(2.0 * benchsupport::kPi * j / kSegments));
            sv[size_t(j)] = float(std::sin(2.0 * benchsupport::kPi * j / kSegments));
        }
        auto point = [&](int i, int j, float* out) {
            i %= kRings;
            j %= kSegments;
            const float r = 50.0f + 20.0f * cv[size_t(j)];
            out[0] = r * cu[size_t(i)];
            out[1] = r * su[size_t(i)];
            out[2] = 20.0f * sv[size_t(j)];
        };
        std::string bytes(80, ' ');
        const uint32_t count = 2u * kRings * kSegments;
        bytes.append(reinterpret_cast<const char*>(&count), 4);
        bytes.reserve(84 + size_t(count) * 50);
        auto triangle = [&](const float* a, const float* b, const float* c) {
            const float n[3] = {0, 0, 0};
            bytes.append(reinterpret_cast<const char*>(n), 12);
            bytes.append(reinterpret_cast<const char*>(a), 12);
            bytes.append(reinterpret_cast<const char*>(b), 12);
            bytes.append(reinterpret_cast<const char*>(c), 12);
            bytes.append(2, '\0');
        };
        for (int i = 0; i < kRings; ++i)
            for (int j = 0; j < kSegments; ++j) {
                float a[3], b[3], c[3], d[3];
                point(i, j, a);
                point(i + 1, j, b);
                point(i + 1, j + 1, c);
                point(i, j + 1, d);
                triangle(a, b, c);
                triangle(a, c, d);
            }
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
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
        // As the host program places it: in a window without area, the picture in its own context.
        platform::host::HeadlessHost host(0, 0);
        host.setDialogAnswer([](platform::host::Dialog&) { return platform::host::DialogCancel; });
        CTavoplexCtrl control;
        control.AttachHost(&host);
        platform::com::PropertyBag bag = {{"FileName", m.path}, {"Start", "1"}};
        platform::com::PropertyExchange exchange(platform::com::PropertyExchange::Mode::Load, bag);
        control.DoPropExchange(exchange);
        control.WindowProc(platform::host::Message::create());
        control.WindowProc(platform::host::Message::size(0, 0));
        const bool ok = control.LoadAndCreateBMP(RWCString(m.path.c_str()), RWCString((m.folder + "/out.bmp").c_str()),
                                                 800, 600);
        control.WindowProc(platform::host::Message::destroy());
        if (!ok) {
            state.SkipWithError("the render failed");
            return;
        }
        peak = std::max(peak, benchsupport::peakMemoryMB());
    }
    state.counters["peak_MB"] = peak;
    state.counters["triangles"] = double(2 * kRings * kSegments);
}
BENCHMARK(BM_TavoplexStlTo800x600Bmp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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

void BM_F3dStlTo800x600Png(benchmark::State& state)
{
    Model& m = model();
    if (m.path.empty() || !f3dPresent()) {
        state.SkipWithError("f3d is not installed");
        return;
    }
    static XvfbServer x;
    if (!x.available()) {
        state.SkipWithError("Xvfb is not available for f3d");
        return;
    }
    setenv("DISPLAY", x.display().c_str(), 1);
    const std::string output = m.folder + "/f3d.png";
    std::vector<std::string> args = {"f3d", m.path, "--output=" + output, "--resolution=800,600", "--dry-run"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    double peak = 0.0;
    for (auto _ : state) {
        pid_t pid = -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
        const int spawned = posix_spawnp(&pid, "f3d", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            state.SkipWithError("f3d did not start");
            return;
        }
        // The child's own high-water mark, read while it runs: the resource usage that wait
        // reports would count this (large) process too, whose memory the child shared until
        // its exec.
        int status = 0;
        double childPeak = 0.0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            childPeak = std::max(childPeak, highWaterMB(pid));
            usleep(2000);
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("f3d failed");
            return;
        }
        peak = std::max(peak, childPeak);
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_F3dStlTo800x600Png)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
