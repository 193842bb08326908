// Downloading 256 MB from a loopback server into memory, beside the curl command-line tool
// fetching the same address in the same run (skipped when curl is not installed). MB/s.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <benchmark/benchmark.h>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/HTTPDownloadC.h"
#include "viewer/loader/WideText.h"

extern char** environ;

namespace {

constexpr uint64_t kBytes = 256ull << 20;

LoopbackHttpServer& server()
{
    static LoopbackHttpServer s(30u * 60u * 1000u);
    static bool served = (s.serve("/big", LoopbackHttpServer::big(kBytes)), true);
    (void)served;
    return s;
}

void BM_HTTPDownloadToMemory(benchmark::State& state)
{
    const std::wstring url = WidenText(server().url("/big"));
    HTTPDownloadC download;
    for (auto _ : state) {
        MemFileC out;
        if (download.Download(url, out, 80) != 0 || out.GetLength() != kBytes)
            state.SkipWithError("download failed");
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}

// The same download into one buffer kept across runs: the transfer without the cost of
// touching 256 MB of fresh memory, which the curl tool writing to /dev/null never pays.
void BM_HTTPDownloadReusedBuffer(benchmark::State& state)
{
    const std::wstring url = WidenText(server().url("/big"));
    HTTPDownloadC download;
    MemFileC out;
    for (auto _ : state) {
        out.SetLength(0);
        out.SeekToBegin();
        if (download.Download(url, out, 80) != 0 || out.GetLength() != kBytes)
            state.SkipWithError("download failed");
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}

// The same address through the curl tool, writing to /dev/null (arg 0: it keeps nothing) or
// to a file in the temporary folder (arg 1: it keeps the bytes, as the download does).
void BM_CurlCommandLine(benchmark::State& state)
{
    const char* curl = "/usr/bin/curl";
    if (access(curl, X_OK) != 0) {
        state.SkipWithError("curl is not installed");
        return;
    }
    const std::string url = server().url("/big");
    TempDir dir;
    const std::string target = state.range(0) ? dir.file("big") : std::string("/dev/null");
    for (auto _ : state) {
        const char* argv[] = {"curl", "-s", "-o", target.c_str(), "--noproxy", "*", url.c_str(), nullptr};
        pid_t pid;
        if (posix_spawn(&pid, curl, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            state.SkipWithError("cannot start curl");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}

}  // namespace

BENCHMARK(BM_HTTPDownloadToMemory)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_HTTPDownloadReusedBuffer)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_CurlCommandLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
