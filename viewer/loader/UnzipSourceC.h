// UnzipSourceC: the bytes of a ZIP archive from an open file descriptor, a named file or memory.
#pragma once

#include <cstddef>
#include <cstdint>

// Kinds of source, shared with the archive object and the handle interface.
enum UnzipSourceKind : int {
    UnzipFromHandle = 1,  // an open file descriptor, carried in the source pointer's value
    UnzipFromFile = 2,    // a file name (NUL-terminated)
    UnzipFromMemory = 3,  // the caller's bytes, neither copied nor owned
};

// The byte source that the archive's directory walk and the inflater read through. Memory
// positions are unsigned 64-bit and clamped to the data, so no seek, however wild, can make
// a read leave the caller's bytes.
class UnzipSourceC {
public:
    // A new source, or null with `result` set: 0x10000 for an unknown kind, 0x200 when a
    // named file cannot be opened or is no regular file. For descriptors, positions are relative to where the
    // descriptor stood when the source was made.
    static UnzipSourceC* Open(const void* source, uint32_t length, int kind, uint32_t* result);
    // Closes a file the source opened itself and frees the source; -1 for null.
    static int Close(UnzipSourceC* source);

    bool Error() const { return readError; }
    uint64_t Tell() const;
    // origin 0 start, 1 current, 2 end. 0 on success; a descriptor that cannot seek gives
    // 29, an unknown origin 19 (memory ignores an unknown origin).
    int Seek(uint64_t offset, int origin);
    // Reads up to size * count bytes; returns the number of whole items of `size` bytes.
    size_t Read(void* buffer, size_t size, size_t count);

    bool IsMemory() const { return !isHandle; }
    uint64_t Length() const { return length; }
    const unsigned char* Data() const { return data; }  // memory only

private:
    UnzipSourceC() = default;

    bool isHandle = false;
    bool canSeek = true;
    int handle = -1;
    bool readError = false;
    uint64_t startOffset = 0;
    bool mustClose = false;
    const unsigned char* data = nullptr;
    uint64_t length = 0;
    uint64_t position = 0;
};
