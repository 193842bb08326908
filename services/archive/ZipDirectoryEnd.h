// findZipDirectoryEnd: finds and checks an archive's end record; little-endian and positioned reads.
#pragma once

#include <cstdint>
#include <functional>

// Where the archive's central directory lies. prefixSize counts bytes in front of the archive
// proper (a self-extracting stub), by which every stored offset is shifted.
struct ZipDirectoryEnd {
    uint64_t recordPos = 0;       // position of the "PK\5\6" record in the file
    uint64_t directoryStart = 0;  // position of the first central directory record in the file
    uint32_t directorySize = 0;
    uint32_t directoryOffset = 0; // the stored offset, relative to the archive proper
    uint16_t entryCount = 0;
    uint64_t prefixSize = 0;
};

// Reads up to len bytes at pos into buf; the count read, or -1 on an error.
using ZipReadAt = std::function<long(uint64_t pos, void* buf, unsigned len)>;

// pread until len bytes or the end of the file: the count read, or -1 on an error.
long zipReadFully(int fd, uint64_t pos, void* buf, unsigned len);

// Searches the last 64 KiB of a file of fileSize bytes for the end record (the last one wins)
// and checks that the directory it names lies inside the file, before the record. False when
// there is no such record or it names a directory outside the file.
bool findZipDirectoryEnd(const ZipReadAt& readAt, uint64_t fileSize, ZipDirectoryEnd& out);

// Little-endian field readers over a byte buffer.
inline uint16_t zipLe16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t zipLe32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
