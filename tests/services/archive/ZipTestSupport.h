// Helpers of the ZIP layer's tests: archives written and read whole, entry patching, tools.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "services/archive/ZipReaderC.h"
#include "services/archive/ZipRemoverC.h"
#include "services/archive/ZipWriterC.h"
#include "tests/support/ZipBuilder.h"  // putLe32, and archives of other writers

namespace ziptest {

struct Entry {
    std::string name;
    std::string bytes;
    int level = 6;
};

using Listing = std::vector<std::pair<std::string, std::string>>;

// Writes the entries (dated modified) as a new archive; the first failing result, or 1.
inline int writeArchive(const std::string& path, const std::vector<Entry>& entries, time_t modified = 0,
                        bool append = false)
{
    ZipWriterC writer;
    int r = writer.openForWrite(path.c_str(), append);
    for (const Entry& e : entries) {
        if (r == ZipOk)
            r = writer.openNewFile(e.name.c_str(), modified, e.level);
        if (r == ZipOk && !e.bytes.empty())
            r = writer.write(e.bytes.data(), unsigned(e.bytes.size()));
        if (r == ZipOk)
            r = writer.closeFileInZip();
    }
    const int closed = writer.close();
    return r == ZipOk ? closed : r;
}

// Rewrites the archive without the named entry (keeping the old one as its backup).
inline int removeEntry(const std::string& path, const char* name)
{
    ZipRemoverC remover;
    remover.setArchive(path.c_str());
    remover.addRemoval(name);
    return remover.apply();
}

// Every entry's name and bytes in archive order; empty when any step fails.
inline Listing readArchive(const std::string& path, int* failure = nullptr, const char* password = nullptr)
{
    Listing out;
    ZipReaderC reader;
    int r = reader.open(path.c_str());
    for (r = r == ZipOk ? reader.goToFirstFile() : r; r == ZipOk; r = reader.goToNextFile()) {
        ZipFileInfoC info;
        std::ostringstream bytes;
        r = reader.getCurrentFileInfo(info);
        if (r == ZipOk)
            r = reader.openCurrentFile(password);
        if (r == ZipOk)
            r = reader.extractCurrentFile(&bytes);
        const int closed = reader.closeCurrentFile();
        if (r == ZipOk)
            r = closed;
        if (r != ZipOk)
            break;
        out.emplace_back(std::string(info.name(), info.nameSize()), bytes.str());
    }
    if (failure)
        *failure = r == ZipEndOfList ? ZipOk : r;
    if (r != ZipEndOfList)
        out.clear();
    return out;
}

// Bytes of a fixed pseudo-random mix: every third one a letter, so deflate packs them somewhat.
inline std::string noise(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s[i] = char(i % 3 == 0 ? 'a' + (seed >> 28) : seed >> 24);
    }
    return s;
}

inline Listing listing(const std::vector<Entry>& entries)
{
    Listing out;
    for (const Entry& e : entries)
        out.emplace_back(e.name, e.bytes);
    return out;
}

inline uint32_t getLe32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(bytes[at + size_t(i)]);
    return v;
}

// Position of the first central directory record and of the end record.
inline size_t directoryStart(const std::string& bytes) { return bytes.find(std::string("PK\1\2", 4)); }
inline size_t endRecord(const std::string& bytes) { return bytes.rfind(std::string("PK\5\6", 4)); }

// Whether a program is on the path.
inline bool haveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command (only on paths of the test's own temporary folder); its exit status.
inline int run(const std::string& command)
{
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ziptest
