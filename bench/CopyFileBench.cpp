// File copy: copyFile beside GNU cp on the same 256 MB file in the same run.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "services/files/CopyFile.h"

extern char** environ;

namespace {

constexpr size_t fileBytes = size_t(256) << 20;

// A private folder holding the 256 MB source, made once for both benchmarks and removed at
// exit.
class BenchFiles {
public:
    BenchFiles()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/copy-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return;
        folder_ = pattern;
        source = folder_ + "/source.bin";
        copyDestination = folder_ + "/copyFile.bin";
        cpDestination = folder_ + "/cp.bin";
        std::vector<char> block(1 << 20);
        unsigned state = 12345;
        FILE* f = std::fopen(source.c_str(), "wb");
        for (size_t written = 0; f && written < fileBytes; written += block.size()) {
            for (char& c : block) {
                state = state * 1103515245u + 12345u;
                c = static_cast<char>(state >> 24);
            }
            std::fwrite(block.data(), 1, block.size(), f);
        }
        if (f && std::fclose(f) == 0)
            ready = true;
    }
    ~BenchFiles()
    {
        if (folder_.empty())
            return;
        std::remove(source.c_str());
        std::remove(copyDestination.c_str());
        std::remove(cpDestination.c_str());
        ::rmdir(folder_.c_str());
    }

    bool ready = false;
    std::string source, copyDestination, cpDestination;

private:
    std::string folder_;
};

BenchFiles& files()
{
    static BenchFiles f;
    return f;
}

// Runs "cp source destination" (no shell); false when cp cannot be run or fails.
bool runCp(const std::string& source, const std::string& destination)
{
    const char* argv[] = {"cp", source.c_str(), destination.c_str(), nullptr};
    pid_t pid;
    if (::posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_CopyFile256MB(benchmark::State& state)
{
    BenchFiles& f = files();
    if (!f.ready) {
        state.SkipWithError("cannot make the source file");
        return;
    }
    for (auto _ : state)
        if (copyFile(f.source.c_str(), f.copyDestination.c_str(), 0, nullptr) != 1)
            state.SkipWithError("copyFile failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileBytes));
}

void BM_Cp256MB(benchmark::State& state)
{
    BenchFiles& f = files();
    if (!f.ready) {
        state.SkipWithError("cannot make the source file");
        return;
    }
    if (!runCp(f.source, f.cpDestination)) {
        state.SkipWithError("cp is not there");
        return;
    }
    for (auto _ : state)
        if (!runCp(f.source, f.cpDestination))
            state.SkipWithError("cp failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileBytes));
}

}  // namespace

// Wall-clock time (cp works in a child process); a few repetitions even out the write-back.
BENCHMARK(BM_Cp256MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(3);
BENCHMARK(BM_CopyFile256MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(3);
