// findZipDirectoryEnd: a backward search of the file's tail for the end record.
#include "services/archive/ZipDirectoryEnd.h"

#include <unistd.h>

#include <vector>

namespace {

constexpr unsigned kRecordSize = 22;   // the fixed part of the end record
constexpr unsigned kMaxComment = 65535;
constexpr unsigned kMinEntryRecord = 46;

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
        if (end.directorySize == 0xFFFFFFFFu || end.directoryOffset == 0xFFFFFFFFu || end.entryCount == 0xFFFF) {
            // A 64-bit archive: its real figures are in another record, which minizip reads.
            end.directoryStart = end.directoryOffset;
            out = end;
            return true;
        }
        const uint64_t stored = uint64_t(end.directoryOffset) + end.directorySize;
        if (stored > end.recordPos || uint64_t(end.entryCount) * kMinEntryRecord > end.directorySize)
            return false;
        end.prefixSize = end.recordPos - stored;
        end.directoryStart = end.prefixSize + end.directoryOffset;
        out = end;
        return true;
    }
    return false;
}
