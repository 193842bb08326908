// Builds ZIP archives in memory with minizip's writer, for tests, benchmarks and fuzz seeds.
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "services/archive/ZipCipher.h"
#include "tests/support/TempDir.h"

struct ZipItem {
    std::string name;
    std::string bytes;
    int level = 6;                 // 0 stores
    uint32_t dosDate = 0x58a76000; // 2024-05-07 12:00:00 (date in the upper 16 bits)
    uint32_t externalAttributes = 0;
    uint32_t versionMadeBy = 0;    // host in the upper byte: 0 DOS, 3 Unix
    std::string localExtra = {};   // the local header's extra field, as is
    const char* password = nullptr;  // enciphers the item (see encipherItems)
    unsigned long flags = 0;          // general purpose bits: 0x800 says the name is UTF-8
};

inline std::string encipherItems(const std::string& zip, const std::vector<ZipItem>& items);

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
                                    8, Z_DEFAULT_STRATEGY, nullptr, crc, item.versionMadeBy, item.flags, 0) != ZIP_OK ||
            zipWriteInFileInZip(zip, item.bytes.data(), unsigned(item.bytes.size())) != ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot add " + item.name);
        }
    }
    zipClose(zip, nullptr);
    return encipherItems(TempDir::read(path), items);
}

// The archive Info-ZIP's zip makes of the items (names may hold folders; level 0 stores, any
// other deflates), enciphered with `-P password`, with more options if given. Piped, zip
// writes to a pipe and so follows every entry with a data descriptor. Empty when the tool is
// missing or fails.
inline std::string zipToolArchive(const std::vector<ZipItem>& items, const std::string& password, bool piped = false,
                                  const std::string& options = "")
{
    TempDir dir;
    std::string names, stored;
    for (const ZipItem& item : items) {
        const std::filesystem::path file = std::filesystem::path(dir.file("src")) / item.name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << item.bytes;
        names += " '" + item.name + "'";
        if (item.level == 0)
            stored += (stored.empty() ? "" : ":") + item.name;
    }
    const std::string archive = dir.file("tool.zip");
    std::string command = "cd '" + dir.file("src") + "' && zip -q -X " + options + " -P '" + password + "'";
    if (!stored.empty())
        command += " -n '" + stored + "'";
    command += piped ? " -" + names + " | cat > '" + archive + "'" : " '" + archive + "'" + names;
    if (std::system((command + " 2>/dev/null").c_str()) != 0)
        return {};
    return TempDir::read(archive);
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

// The archive of buildZip with the items that have a password enciphered as a writer that knows
// each CRC before the data does it: flag bit 0, no data descriptor, and the 12-byte header
// (bytes of a fixed seed) ending in the CRC's high byte. (minizip's own writer enciphers
// nothing that a reader can decipher.)
inline std::string encipherItems(const std::string& zip, const std::vector<ZipItem>& items)
{
    const auto le16 = [&](size_t at) { return uint32_t(uint8_t(zip[at])) | uint32_t(uint8_t(zip[at + 1])) << 8; };
    const auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    std::string out;
    std::vector<uint32_t> offsets, grown;
    size_t at = 0;
    for (const ZipItem& item : items) {
        const uint32_t crc = le32(at + 14), compressed = le32(at + 18);
        const size_t head = 30 + le16(at + 26) + le16(at + 28);
        std::string local = zip.substr(at, head), body = zip.substr(at + head, compressed);
        if (item.password) {
            local[6] = char(local[6] | 1);
            putLe32(local, 18, compressed + 12);
            body = noiseBytes(11, uint32_t(offsets.size()) + 1) + char(crc >> 24) + body;
            ZipCipherKeys keys(item.password);
            keys.encrypt(reinterpret_cast<unsigned char*>(body.data()), body.size());
        }
        offsets.push_back(uint32_t(out.size()));
        grown.push_back(item.password ? 12 : 0);
        out += local + body;
        at += head + compressed;
    }
    const size_t directory = out.size();
    for (size_t i = 0; i < items.size(); ++i) {
        const size_t size = 46 + le16(at + 28) + le16(at + 30) + le16(at + 32);
        std::string record = zip.substr(at, size);
        record[8] = char(record[8] | (grown[i] ? 1 : 0));
        putLe32(record, 20, le32(at + 20) + grown[i]);
        putLe32(record, 42, offsets[i]);
        out += record;
        at += size;
    }
    std::string end = zip.substr(at);
    putLe32(end, 16, uint32_t(directory));
    return out + end;
}

// The archive with the named item's compression method replaced, in its local header and its
// directory record; its bytes stay as they are.
inline std::string withMethod(std::string zip, const std::string& name, uint16_t method)
{
    const auto le16 = [&](size_t at) { return size_t(uint8_t(zip[at])) | size_t(uint8_t(zip[at + 1])) << 8; };
    for (size_t at : zipRecordOffsets(zip, 0x02014b50)) {
        if (zip.compare(at + 46, le16(at + 28), name) != 0)
            continue;
        const size_t local = le16(at + 42) | le16(at + 44) << 16;
        zip[local + 8] = zip[at + 10] = char(method & 0xFF);
        zip[local + 9] = zip[at + 11] = char(method >> 8);
        break;
    }
    return zip;
}

// The archive with every directory record's two sizes (and, withOffset, its local header
// offset) moved into a ZIP64 extra block (the fields all ones), as writers of large archives
// leave them; unzip reads it, minizip leaves the values to the reader.
inline std::string withZip64Sizes(const std::string& zip, bool withOffset = false)
{
    const auto le16 = [&](size_t at) { return uint32_t(uint8_t(zip[at])) | uint32_t(uint8_t(zip[at + 1])) << 8; };
    const auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    const std::vector<size_t> records = zipRecordOffsets(zip, 0x02014b50);
    const size_t end = zipRecordOffsets(zip, 0x06054b50).back();
    std::string directory;
    for (size_t at : records) {
        const size_t extraAt = at + 46 + le16(at + 28) + le16(at + 30);
        const unsigned values = withOffset ? 3 : 2;
        std::string block = std::string("\1\0", 2) + char(8 * values) + '\0' + std::string(8 * values, '\0');
        putLe32(block, 4, le32(at + 24));   // uncompressed, compressed, offset, low words
        putLe32(block, 12, le32(at + 20));
        if (withOffset)
            putLe32(block, 20, le32(at + 42));
        std::string record = zip.substr(at, extraAt - at) + block + zip.substr(extraAt, le16(at + 32));
        putLe32(record, 20, 0xFFFFFFFFu);
        putLe32(record, 24, 0xFFFFFFFFu);
        if (withOffset)
            putLe32(record, 42, 0xFFFFFFFFu);
        record[30] = char((le16(at + 30) + block.size()) & 0xFF);
        record[31] = char((le16(at + 30) + block.size()) >> 8);
        directory += record;
    }
    std::string tail = zip.substr(end);
    putLe32(tail, 12, uint32_t(directory.size()));
    return zip.substr(0, records.front()) + directory + tail;
}
