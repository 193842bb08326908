// Builds ZIP archives in memory with minizip's writer, for tests, benchmarks and fuzz seeds.
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

struct ZipItem {
    std::string name;
    std::string bytes;
    int level = 6;                 // 0 stores
    uint32_t dosDate = 0x58a76000; // 2024-05-07 12:00:00 (date in the upper 16 bits)
    uint32_t externalAttributes = 0;
    uint32_t versionMadeBy = 0;    // host in the upper byte: 0 DOS, 3 Unix
    std::string localExtra = {};   // the local header's extra field, as is
    const char* password = nullptr;
};

// The archive's bytes. Throws when minizip refuses an item.
inline std::string buildZip(const std::vector<ZipItem>& items)
{
    TempDir dir;
    const std::string path = dir.file("built.zip");
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("cannot create the archive");
    for (const ZipItem& item : items) {
        zip_fileinfo info{};
        info.dosDate = item.dosDate;
        info.external_fa = item.externalAttributes;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(item.bytes.data()), uInt(item.bytes.size()));
        if (zipOpenNewFileInZip4_64(zip, item.name.c_str(), &info, item.localExtra.data(), uInt(item.localExtra.size()),
                                    nullptr, 0, nullptr, item.level ? Z_DEFLATED : 0, item.level, 0, -MAX_WBITS,
                                    8, Z_DEFAULT_STRATEGY, item.password, crc, item.versionMadeBy, 0, 0) != ZIP_OK ||
            zipWriteInFileInZip(zip, item.bytes.data(), unsigned(item.bytes.size())) != ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot add " + item.name);
        }
    }
    zipClose(zip, nullptr);
    return TempDir::read(path);
}

// Offsets of every record with the given signature (0x04034b50 local header, 0x02014b50
// directory entry), for tests that damage archives on purpose.
inline std::vector<size_t> zipRecordOffsets(const std::string& zip, uint32_t signature)
{
    std::vector<size_t> found;
    for (size_t i = 0; i + 4 <= zip.size(); ++i) {
        const uint32_t v = uint8_t(zip[i]) | uint8_t(zip[i + 1]) << 8 | uint8_t(zip[i + 2]) << 16 | uint32_t(uint8_t(zip[i + 3])) << 24;
        if (v == signature)
            found.push_back(i);
    }
    return found;
}

inline void putLe32(std::string& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((v >> (8 * i)) & 0xff);
}

// Rewrites the recorded uncompressed size of every item (local headers and directory).
inline std::string withRecordedSize(std::string zip, uint32_t size)
{
    for (size_t at : zipRecordOffsets(zip, 0x04034b50))
        putLe32(zip, at + 22, size);
    for (size_t at : zipRecordOffsets(zip, 0x02014b50))
        putLe32(zip, at + 24, size);
    return zip;
}

// Bytes that are the same for every run and do not compress much.
inline std::string noiseBytes(size_t n, uint32_t seed = 1)
{
    std::string s(n, '\0');
    uint32_t x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        s[i] = char(x >> 24);
    }
    return s;
}
