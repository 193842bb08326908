// FetchFileI, the file object a fetch writes into, and MemFileC, the in-memory one.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes go to the current position and extend the file; SetLength cuts or zero-extends.
class FetchFileI {
public:
    virtual ~FetchFileI() = default;
    virtual bool Write(const void* data, size_t size) = 0;
    virtual bool Flush() = 0;
    virtual bool SeekToBegin() = 0;
    virtual bool SetLength(uint64_t length) = 0;
    virtual uint64_t GetLength() const = 0;
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

    const char* Data() const { return data; }

private:
    bool Reserve(uint64_t bytes);

    char* data = nullptr;
    uint64_t length = 0;
    uint64_t capacity = 0;
    uint64_t position = 0;
};
