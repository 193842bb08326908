// MemoryBlockC: an owned byte buffer with its size and a NUL after the data.
#pragma once

#include <cstddef>
#include <cstdint>

// Holds fetched files and model texts; the NUL lets text readers run off the end safely.
class MemoryBlockC {
public:
    MemoryBlockC() = default;
    ~MemoryBlockC();
    MemoryBlockC(const MemoryBlockC&) = delete;
    MemoryBlockC& operator=(const MemoryBlockC&) = delete;

    // Frees any previous data, then makes room for n bytes and a NUL after them (the n bytes
    // are not initialised). False, with the block left empty, when the memory is not there.
    bool Allocate(uint32_t n);
    // Frees the data; the block is empty afterwards.
    void Free();

    // Gives the system back the whole pages of the data before end (a point within the data;
    // anything else is ignored): for a block read from the start whose read part is not
    // needed again, which then reads as zeros. The block keeps its size and stays usable.
    void DiscardBefore(const char* end);

    char* GetData() { return data; }
    const char* GetData() const { return data; }
    uint32_t GetSize() const { return size; }
    bool IsEmpty() const { return data == nullptr; }

private:
    char* data = nullptr;
    uint32_t size = 0;
};
