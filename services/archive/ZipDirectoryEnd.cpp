// findZipDirectoryEnd: a backward search of the file's tail for the end records; ZIP64 extra values.
#include "services/archive/ZipDirectoryEnd.h"

#include <unistd.h>

#include <vector>

namespace {

constexpr unsigned kRecordSize = 22;   // the fixed part of the end record
constexpr unsigned kMaxComment = 65535;
constexpr unsigned kMinEntryRecord = 46;
constexpr unsigned kLocatorSize = 20;  // the ZIP64 end record locator
constexpr unsigned kRecord64Size = 56; // the fixed part of the ZIP64 end record
constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

// Takes the figures of the ZIP64 end record that the locator before the end record names;
// its position goes to record64Pos. False when there is no locator or no such record.
bool readZip64End(const ZipReadAt& readAt, ZipDirectoryEnd& end, uint64_t& record64Pos)
{
    if (end.recordPos < kLocatorSize + kRecord64Size)
        return false;
    const uint64_t locatorPos = end.recordPos - kLocatorSize;
    unsigned char locator[kLocatorSize];
    if (readAt(locatorPos, locator, kLocatorSize) != long(kLocatorSize) || zipLe32(locator) != 0x07064B50u)
        return false;
    // Writers put the record right before its locator, where a stub in front of the archive
    // does not move it; the position the locator holds counts from the archive proper, and
    // serves a record followed by extensible data.
    const uint64_t candidates[2] = {locatorPos - kRecord64Size, zipLe64(locator + 8)};
    for (const uint64_t at : candidates) {
        unsigned char r[kRecord64Size];
        if (at > locatorPos - kRecord64Size || readAt(at, r, kRecord64Size) != long(kRecord64Size) ||
            zipLe32(r) != 0x06064B50u)
            continue;
        end.entryCount = zipLe64(r + 32);
        end.directorySize = zipLe64(r + 40);
        end.directoryOffset = zipLe64(r + 48);
        end.zip64 = true;
        record64Pos = at;
        return true;
    }
    return false;
}

}  // namespace

long zipReadFully(int fd, uint64_t pos, void* buf, unsigned len)
{
    size_t done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd, static_cast<char*>(buf) + done, len - done, off_t(pos + done));
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return long(done);
}

bool findZipDirectoryEnd(const ZipReadAt& readAt, uint64_t fileSize, ZipDirectoryEnd& out)
{
    if (fileSize < kRecordSize)
        return false;
    // The record sits at the end, followed only by an archive comment of at most 64 KiB.
    const uint64_t span = fileSize < kRecordSize + kMaxComment ? fileSize : kRecordSize + kMaxComment;
    const uint64_t start = fileSize - span;
    std::vector<unsigned char> tail(span);
    if (readAt(start, tail.data(), unsigned(span)) != long(span))
        return false;
    for (size_t i = span - kRecordSize + 1; i-- > 0;) {
        const unsigned char* p = tail.data() + i;
        if (p[0] != 'P' || p[1] != 'K' || p[2] != 5 || p[3] != 6)
            continue;
        ZipDirectoryEnd end;
        end.recordPos = start + i;
        end.entryCount = zipLe16(p + 10);
        end.directorySize = zipLe32(p + 12);
        end.directoryOffset = zipLe32(p + 16);
        // The directory ends where the end records begin.
        uint64_t directoryEnd = end.recordPos;
        if (!readZip64End(readAt, end, directoryEnd) &&
            (end.directorySize == kAllOnes || end.directoryOffset == kAllOnes))
            return false;
        if (end.directoryOffset > directoryEnd || end.directorySize > directoryEnd - end.directoryOffset ||
            end.entryCount > end.directorySize / kMinEntryRecord)
            return false;
        end.prefixSize = directoryEnd - end.directoryOffset - end.directorySize;
        end.directoryStart = end.prefixSize + end.directoryOffset;
        out = end;
        return true;
    }
    return false;
}

bool zipReadZip64Extra(const unsigned char* extra, size_t extraSize, ZipEntrySizes& sizes)
{
    uint64_t* const fields[3] = {&sizes.uncompressed, &sizes.compressed, &sizes.localHeaderOffset};
    bool wanted = false;
    for (const uint64_t* f : fields)
        wanted = wanted || *f == kAllOnes;
    if (!wanted)
        return true;
    const unsigned char* p = extra;
    size_t left = extra ? extraSize : 0;
    while (left >= 4) {
        const size_t size = zipLe16(p + 2);
        if (size > left - 4)
            return false;
        if (zipLe16(p) == 1) {
            // Only the fields that overflowed have a value here, in the fields' order.
            size_t at = 4;
            for (uint64_t* f : fields) {
                if (*f != kAllOnes)
                    continue;
                if (at + 8 > size + 4)
                    return false;
                *f = zipLe64(p + at);
                at += 8;
            }
            return true;
        }
        p += 4 + size;
        left -= 4 + size;
    }
    return false;
}
