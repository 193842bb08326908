// ZIP extraction speed: every entry of a generated archive of 1,000 deflated entries (about
// 200 MB) unpacked to memory by ZipReaderC, beside Info-ZIP's `unzip -p` on the same archive;
// and one 100 MB deflated entry enciphered by `zip -P`, deciphered by ZipReaderC into a sink
// that drops it, beside `unzip -P pw -p` to /dev/null.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>

#include <benchmark/benchmark.h>

#include "services/archive/ZipReaderC.h"
#include "services/archive/ZipWriterC.h"

namespace {

constexpr int kEntries = 1000;
constexpr size_t kEntrySize = 330 * 1024;
constexpr uint64_t kEncryptedBytes = 100u << 20;

// Text of a 16-letter alphabet in words and lines: deflate packs it to about 60%.
std::string entryText(unsigned seed)
{
    std::string s(kEntrySize, ' ');
    for (size_t i = 0; i < s.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const unsigned r = seed >> 24;
        s[i] = r < 24 ? ' ' : r < 28 ? '\n' : char('a' + (r & 15));
    }
    return s;
}

// The archive, written once per process into a private temporary folder and removed at exit.
struct Archive {
    std::string folder, path;
    uint64_t archiveBytes = 0, dataBytes = 0;

    Archive()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavoplex-zipbench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return;
        folder = pattern;
        path = folder + "/bench.zip";
        ZipWriterC writer;
        int r = writer.openForWrite(path.c_str(), false);
        for (int i = 0; i < kEntries && r == ZipOk; ++i) {
            const std::string text = entryText(unsigned(i) * 7919u + 1u);
            const std::string name = "parts/part" + std::to_string(i) + ".zjv";
            r = writer.openNewFile(name.c_str(), time_t(0), 1);
            if (r == ZipOk)
                r = writer.write(text.data(), unsigned(text.size()));
            if (r == ZipOk)
                r = writer.closeFileInZip();
            dataBytes += text.size();
        }
        if (writer.close() != ZipOk || r != ZipOk)
            path.clear();
        else
            archiveBytes = std::filesystem::file_size(path);
    }
    ~Archive()
    {
        std::error_code ec;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ec);
    }
};

const Archive& archive()
{
    static Archive a;
    return a;
}

// Keeps the last entry's bytes in one reused block of memory.
class MemoryBuf : public std::streambuf {
public:
    std::string bytes;
    void reset() { bytes.clear(); }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        bytes.append(s, size_t(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            bytes.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
};

void reportSizes(benchmark::State& state, const Archive& a)
{
    state.counters["archive_MB"] = double(a.archiveBytes) / 1e6;
    state.counters["data_MB"] = double(a.dataBytes) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.dataBytes));
}

void BM_ZipReaderExtractAll(benchmark::State& state)
{
    const Archive& a = archive();
    if (a.path.empty()) {
        state.SkipWithError("archive could not be written");
        return;
    }
    MemoryBuf memory;
    memory.bytes.reserve(kEntrySize);
    std::ostream out(&memory);
    for (auto _ : state) {
        ZipReaderC reader;
        uint64_t total = 0;
        int r = reader.open(a.path.c_str());
        for (r = r == ZipOk ? reader.goToFirstFile() : r; r == ZipOk; r = reader.goToNextFile()) {
            memory.reset();
            r = reader.openCurrentFile();
            if (r == ZipOk)
                r = reader.extractCurrentFile(&out);
            const int closed = reader.closeCurrentFile();
            if (r != ZipOk || closed != ZipOk)
                break;
            total += memory.bytes.size();
        }
        if (r != ZipEndOfList || total != a.dataBytes) {
            state.SkipWithError("extraction failed");
            return;
        }
        benchmark::DoNotOptimize(memory.bytes.data());
    }
    reportSizes(state, a);
}
BENCHMARK(BM_ZipReaderExtractAll)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The peer: Info-ZIP's unzip writing every entry to a null output, run as a child process.
void BM_InfoZipUnzipP(benchmark::State& state)
{
    if (std::system("command -v unzip >/dev/null 2>&1") != 0) {
        state.SkipWithError("unzip is not installed");
        return;
    }
    const Archive& a = archive();
    if (a.path.empty()) {
        state.SkipWithError("archive could not be written");
        return;
    }
    const std::string command = "unzip -p '" + a.path + "' > /dev/null";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("unzip failed");
            return;
        }
    }
    reportSizes(state, a);
}
BENCHMARK(BM_InfoZipUnzipP)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One 100 MB text entry, deflated and enciphered by the zip tool with the password "pw".
struct EncryptedArchive {
    std::string folder, path;
    uint64_t dataBytes = 0;

    EncryptedArchive()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavoplex-zipbench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return;
        folder = pattern;
        {
            std::ofstream text(folder + "/model.zjv", std::ios::binary);
            for (unsigned i = 0; dataBytes < kEncryptedBytes; ++i) {
                const std::string piece = entryText(i * 104729u + 3u);
                text.write(piece.data(), std::streamsize(piece.size()));
                dataBytes += piece.size();
            }
        }
        const std::string command = "cd '" + folder + "' && zip -q -P pw enc.zip model.zjv && rm model.zjv";
        if (std::system(command.c_str()) == 0)
            path = folder + "/enc.zip";
    }
    ~EncryptedArchive()
    {
        std::error_code ec;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ec);
    }
};

const EncryptedArchive& encryptedArchive()
{
    static EncryptedArchive a;
    return a;
}

// Counts what is written and keeps nothing, as /dev/null does.
class NullBuf : public std::streambuf {
public:
    uint64_t count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        count += uint64_t(n);
        return n;
    }
    int_type overflow(int_type c) override
    {
        ++count;
        return traits_type::not_eof(c);
    }
};

void BM_ZipReaderEncryptedEntry(benchmark::State& state)
{
    const EncryptedArchive& a = encryptedArchive();
    if (a.path.empty()) {
        state.SkipWithError("the zip tool could not write the archive");
        return;
    }
    for (auto _ : state) {
        NullBuf sink;
        std::ostream out(&sink);
        ZipReaderC reader;
        int r = reader.open(a.path.c_str());
        if (r == ZipOk)
            r = reader.goToFirstFile();
        if (r == ZipOk)
            r = reader.openCurrentFile("pw");
        if (r == ZipOk)
            r = reader.extractCurrentFile(&out);
        if (r != ZipOk || reader.closeCurrentFile() != ZipOk || sink.count != a.dataBytes) {
            state.SkipWithError("deciphering failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.dataBytes));
}
BENCHMARK(BM_ZipReaderEncryptedEntry)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_InfoZipUnzipEncryptedP(benchmark::State& state)
{
    const EncryptedArchive& a = encryptedArchive();
    if (a.path.empty() || std::system("command -v unzip >/dev/null 2>&1") != 0) {
        state.SkipWithError("no archive or no unzip");
        return;
    }
    const std::string command = "unzip -P pw -p '" + a.path + "' > /dev/null";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("unzip failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.dataBytes));
}
BENCHMARK(BM_InfoZipUnzipEncryptedP)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
