// findZipDirectoryEnd: finds and checks an archive's end records; ZIP64 extra values;
// little-endian and positioned reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Where the archive's central directory lies. prefixSize counts bytes in front of the archive
// proper (a self-extracting stub), by which every stored offset is shifted.
struct ZipDirectoryEnd {
    uint64_t recordPos = 0;       // position of the "PK\5\6" record in the file
    uint64_t directoryStart = 0;  // position of the first central directory record in the file
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0; // the stored offset, relative to the archive proper
    uint64_t entryCount = 0;
    uint64_t prefixSize = 0;
    bool zip64 = false;           // the figures came from a ZIP64 end record
};

// Reads up to len bytes at pos into buf; the count read, or -1 on an error.
using ZipReadAt = std::function<long(uint64_t pos, void* buf, unsigned len)>;

// pread until len bytes or the end of the file: the count read, or -1 on an error.
long zipReadFully(int fd, uint64_t pos, void* buf, unsigned len);

// Searches the last 64 KiB of a file of fileSize bytes for the end record (the last one wins)
// and checks that the directory it names lies inside the file, before the record. When a ZIP64
// locator precedes the end record, the ZIP64 end record right before the locator (else where
// the locator points) gives the figures, and the prefix is what lies before the directory it
// names, as unzip and Python's zipfile reckon it. False when there is no such record or it
// names a directory outside the file.
bool findZipDirectoryEnd(const ZipReadAt& readAt, uint64_t fileSize, ZipDirectoryEnd& out);

// The 64-bit values of a directory record's fields, in the order a ZIP64 extra block keeps
// them. On entry each holds the 32-bit field as stored; each that is all ones takes the next
// value of the extra field's first ZIP64 block. False when such a value is missing.
struct ZipEntrySizes {
    uint64_t uncompressed = 0;
    uint64_t compressed = 0;
    uint64_t localHeaderOffset = 0;
};
bool zipReadZip64Extra(const unsigned char* extra, size_t extraSize, ZipEntrySizes& sizes);

// Little-endian field readers over a byte buffer.
inline uint16_t zipLe16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t zipLe32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t zipLe64(const unsigned char* p) { return zipLe32(p) | (uint64_t(zipLe32(p + 4)) << 32); }
