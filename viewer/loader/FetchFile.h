// FetchFileI, the file object a fetch writes into; MemFileC, the in-memory one; BlockFileC, the
// one that fills a MemoryBlockC.
#pragma once

#include <cstddef>
#include <cstdint>

class MemoryBlockC;

// Reads the bytes [0, size) of the open file fd into room, in consecutive pieces of at least
// pieceBytes read side by side on several threads when the file is large (fresh memory takes
// most of the time of a large read, and several threads fill it faster than one); the file's
// position is left at the end of what was read. `got` is the count of bytes read from the
// beginning without a gap: less than size when the file ended sooner (it shrank since its size
// was asked). False when a read failed, with errno telling why.
bool ReadFileStart(int fd, char* room, uint64_t size, uint64_t& got, uint64_t pieceBytes = uint64_t(8) << 20);

// Writes go to the current position and extend the file; SetLength cuts or zero-extends.
class FetchFileI {
public:
    virtual ~FetchFileI() = default;
    virtual bool Write(const void* data, size_t size) = 0;
    virtual bool Flush() = 0;
    virtual bool SeekToBegin() = 0;
    virtual bool SetLength(uint64_t length) = 0;
    virtual uint64_t GetLength() const = 0;
    // Makes room for size (> 0) bytes at the position and moves past them, so that a reader can
    // put them there itself without a copy; null when the memory is not there. Room the caller
    // does not fill must be cut off again with SetLength.
    virtual char* Extend(size_t size) = 0;
    // The most bytes the file can end up holding: a larger fetch is refused before it is made.
    virtual uint64_t MostLength() const { return UINT64_MAX; }
};

// A growing buffer. It grows geometrically (through realloc, which moves large blocks by
// remapping pages), so filling it with a large download costs no repeated copies.
class MemFileC : public FetchFileI {
public:
    MemFileC() = default;
    ~MemFileC() override;
    MemFileC(const MemFileC&) = delete;
    MemFileC& operator=(const MemFileC&) = delete;

    bool Write(const void* data, size_t size) override;
    bool Flush() override { return true; }
    bool SeekToBegin() override;
    bool SetLength(uint64_t length) override;
    uint64_t GetLength() const override { return length; }
    char* Extend(size_t size) override;

    const char* Data() const { return data; }

private:
    bool Reserve(uint64_t bytes);

    char* data = nullptr;
    uint64_t length = 0;
    uint64_t capacity = 0;
    uint64_t position = 0;
};

// Fills a MemoryBlockC. A file whose first act is to take room for its whole size (a local file
// of known size) goes straight into a block of that size, with no copy between; anything else is
// gathered in memory and copied into the block by Finish.
class BlockFileC : public FetchFileI {
public:
    explicit BlockFileC(MemoryBlockC& block) : block(block) {}
    BlockFileC(const BlockFileC&) = delete;
    BlockFileC& operator=(const BlockFileC&) = delete;

    bool Write(const void* data, size_t size) override;
    bool Flush() override { return true; }
    bool SeekToBegin() override;
    bool SetLength(uint64_t length) override;
    uint64_t GetLength() const override;
    char* Extend(size_t size) override;
    uint64_t MostLength() const override { return kMostBlockBytes; }

    // Leaves the block holding exactly the file's bytes (and its NUL). False, with the block
    // emptied, when they are more than a block holds or the memory is not there.
    bool Finish();

private:
    // A block counts its bytes and the NUL after them in 32 bits.
    static constexpr uint64_t kMostBlockBytes = 0xfffffffeu;

    // Moves what the block holds so far into the gathering file.
    bool Spill();

    MemoryBlockC& block;
    bool direct = false;  // the bytes are in block, and fill it whole
    uint64_t position = 0;
    MemFileC gathered;
};
