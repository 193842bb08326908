// MemFileC and BlockFileC: the in-memory files of a fetch.
#include "viewer/loader/FetchFile.h"

#include "geometry/display/MemoryBlockC.h"
#include "platform/Parallel.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// More threads than this fill memory no faster: they wait on each other for fresh pages.
constexpr size_t kMostReadPieces = 4;

// False when the bytes at these places of the file are still on the disk: reading them in
// several places at once would make a disk seek to and fro, where one reader streams.
bool InMemory(int fd, std::initializer_list<uint64_t> places)
{
    for (uint64_t place : places) {
        char byte = 0;
        iovec one{&byte, 1};
        if (::preadv2(fd, &one, 1, off_t(place), RWF_NOWAIT) < 0 && errno == EAGAIN)
            return false;
    }
    return true;
}

}  // namespace

bool ReadFileStart(int fd, char* room, uint64_t size, uint64_t& got, uint64_t pieceBytes)
{
    got = 0;
    size_t pieces = pieceBytes == 0 ? 1 : size_t(std::clamp<uint64_t>(size / pieceBytes, 1, kMostReadPieces));
    if (pieces > 1 && !InMemory(fd, {size / 2, size - 1}))
        pieces = 1;
    struct Piece {
        uint64_t reached = 0, end = 0;
    };
    std::vector<Piece> done(pieces);
    std::atomic<int> error{0};
    platform::sys::runInPieces(size_t(size), pieces, [&](size_t piece, size_t begin, size_t end) {
        uint64_t at = begin;
        while (at < end && error.load(std::memory_order_relaxed) == 0) {
            const ssize_t n = ::pread(fd, room + at, size_t(std::min<uint64_t>(end - at, SSIZE_MAX)), off_t(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                error.store(errno, std::memory_order_relaxed);
            if (n <= 0)
                break;  // the end of the file: the file is shorter than it said
            at += uint64_t(n);
        }
        done[piece] = {at, end};
    });
    if (const int e = error.load(); e != 0) {
        errno = e;
        return false;
    }
    // The bytes count from the beginning up to the first piece that came short: a later piece
    // that found bytes again (the file shrank and grew while it was read) leaves a gap behind.
    for (const Piece& piece : done) {
        got = piece.reached;
        if (piece.reached < piece.end)
            break;
    }
    return ::lseek(fd, off_t(got), SEEK_SET) >= 0;
}

MemFileC::~MemFileC() { std::free(data); }

bool MemFileC::Reserve(uint64_t bytes)
{
    if (bytes <= capacity)
        return true;
    uint64_t grown = capacity < 1024 ? 1024 : capacity;
    while (grown < bytes) {
        if (grown > SIZE_MAX / 2)
            return false;  // doubling would wrap: no memory holds that much anyway
        grown *= 2;
    }
    char* moved = static_cast<char*>(std::realloc(data, static_cast<size_t>(grown)));
    if (!moved)
        return false;
    data = moved;
    capacity = grown;
    return true;
}

bool MemFileC::Write(const void* bytes, size_t size)
{
    if (size == 0)
        return true;
    char* at = Extend(size);
    if (!at)
        return false;
    std::memcpy(at, bytes, size);
    return true;
}

char* MemFileC::Extend(size_t size)
{
    const uint64_t end = position + size;
    if (end < position || !Reserve(end))
        return nullptr;
    if (position > length)
        std::memset(data + length, 0, static_cast<size_t>(position - length));
    char* at = data + position;
    position = end;
    if (end > length)
        length = end;
    return at;
}

bool MemFileC::SeekToBegin()
{
    position = 0;
    return true;
}

bool MemFileC::SetLength(uint64_t newLength)
{
    if (!Reserve(newLength))
        return false;
    if (newLength > length)
        std::memset(data + length, 0, static_cast<size_t>(newLength - length));
    length = newLength;
    if (position > length)
        position = length;
    return true;
}

bool BlockFileC::Spill()
{
    if (!direct)
        return true;
    direct = false;
    const bool ok = gathered.Write(block.GetData(), block.GetSize()) && (position != 0 || gathered.SeekToBegin());
    block.Free();
    return ok;
}

bool BlockFileC::Write(const void* data, size_t size) { return Spill() && gathered.Write(data, size); }

bool BlockFileC::SeekToBegin()
{
    position = 0;
    return gathered.SeekToBegin();
}

bool BlockFileC::SetLength(uint64_t length)
{
    if (direct && length == block.GetSize())
        return true;
    if (direct && length == 0) {  // a failed read gives back its room: nothing to keep
        direct = false;
        block.Free();
    }
    return Spill() && gathered.SetLength(length);
}

uint64_t BlockFileC::GetLength() const { return direct ? block.GetSize() : gathered.GetLength(); }

char* BlockFileC::Extend(size_t size)
{
    // A block holds less than 4 GB: larger files are gathered, and refused by Finish.
    if (!direct && gathered.GetLength() == 0 && size > 0 && size <= kMostBlockBytes) {
        if (!block.Allocate(static_cast<uint32_t>(size)))
            return nullptr;
        direct = true;
        position = size;
        return block.GetData();
    }
    return Spill() ? gathered.Extend(size) : nullptr;
}

bool BlockFileC::Finish()
{
    if (direct)
        return true;
    const uint64_t length = gathered.GetLength();
    if (length > kMostBlockBytes || !block.Allocate(static_cast<uint32_t>(length))) {
        block.Allocate(0);
        return false;
    }
    if (length)
        std::memcpy(block.GetData(), gathered.Data(), static_cast<size_t>(length));
    return true;
}
