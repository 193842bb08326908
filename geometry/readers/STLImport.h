// The STL reader: text or binary STL, from memory or a file, handed triangle by triangle to an importer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "geometry/mesh/stlImporterI.h"
#include "geometry/readers/ReadStop.h"
#include "services/files/RegularFile.h"

class MemoryBlockC;

// Receives the share of the data read so far while an import runs.
class stlProgressI {
public:
    virtual void reportProgress(float percent) = 0;  // 0..100

protected:
    ~stlProgressI() = default;
};

// An importer that also takes whole runs of binary facet records at once (the mesh part's own
// import, which works on many facets in parallel). Given one, the binary parser hands the complete
// records it holds in runs, in file order, instead of facet by facet; what happens at a short
// or lying count, and the result, are the same. Progress receivers get the plain, facet by facet read.
class stlFacetRunImporterI : public stlImporterI {
public:
    // `count` 50-byte records from `records`, floats in the given byte order; each stands for
    // what facetFromRecord gives. False when the importer wants to stop.
    virtual bool addFacetRecords(const unsigned char* records, size_t count, bool bigEndian) = 0;

protected:
    ~stlFacetRunImporterI() = default;
};

// A binary facet record as the reader hands it on: false when a coordinate is not a finite
// number (the facet is dropped); else the three corners in the winding the stated normal asks for.
bool facetFromRecord(const unsigned char* record, bool bigEndian, Point3D corners[3]);

// Result codes of the import functions.
enum : int {
    kSTLOk = 0,
    kSTLFormatError = -2,
    kSTLCannotOpen = 1,     // importSTLFile: the file could not be opened
    kSTLCannotReopen = -1,  // the file could not be opened again for parsing
};

// The byte source the parsers read: a memory range (not copied, must outlive the stream) or a
// file read through a 50000-byte buffer.
class STLInputStreamC {
public:
    STLInputStreamC(const char* data, size_t size);
    // A file; check isOpen().
    explicit STLInputStreamC(const char* path);
    // Nothing until open.
    STLInputStreamC() = default;
    ~STLInputStreamC();
    STLInputStreamC(const STLInputStreamC&) = delete;
    STLInputStreamC& operator=(const STLInputStreamC&) = delete;

    bool isOpen() const { return file != nullptr || memory; }
    // The end position (the size of the data in bytes).
    uint64_t size() const { return total; }
    // Bytes read since the start.
    uint64_t position() const { return bufferStart + uint64_t(cur - begin); }
    void rewind();
    // Reads a regular file of at most maxFileSize bytes from now on; anything else (a FIFO, a
    // device, a folder) does not open and nothing blocks. False when it did not open.
    bool open(const char* path, uint64_t maxFileSize = kDefaultFileSizeCap);

    // The next byte (0..255), or -1 at the end.
    int get()
    {
        if (cur == end && !refill())
            return -1;
        return *cur++;
    }
    // Copies up to n bytes; gives how many were there.
    size_t read(void* dst, size_t n);
    // The next n bytes in place when the window holds them all (and the position moves past
    // them), else null and nothing moves: read them with read().
    const unsigned char* take(size_t n)
    {
        if (size_t(end - cur) < n)
            return nullptr;
        const unsigned char* at = cur;
        cur += n;
        return at;
    }

private:
    bool refill();

    bool memory = false;
    FILE* file = nullptr;
    const unsigned char* begin = nullptr;  // the window now being read
    const unsigned char* cur = nullptr;
    const unsigned char* end = nullptr;
    uint64_t bufferStart = 0;  // data position of begin
    uint64_t total = 0;
    std::vector<unsigned char> buffer;  // file streams only
};

// Decide text or binary, then parse. Text data may hold several bodies ("solid" ... "endsolid"
// blocks, one after the other): all of them are read, in order, into the importer; a word other
// than "solid" after a block ends the read. 0 success, -2 format error; importSTLFile also 1 when the
// file cannot be opened (no regular file, or one above maxFileSize bytes) and -1 when it cannot be
// opened again for parsing. Triangles added before a failure stay with the importer. Each import
// keeps its own state: imports may run on several threads at once.
int importSTLString(const MemoryBlockC& data, stlImporterI* importer, stlProgressI* progress);
int importSTLString(const char* data, size_t size, stlImporterI* importer, stlProgressI* progress);
int importSTLFile(const char* path, stlImporterI* importer, stlProgressI* progress,
                  uint64_t maxFileSize = kDefaultFileSizeCap);
// The same, telling in *stop (when given) where a format error (-2) stopped the read: the line of
// text data, the byte offset of binary data, and what was wrong there.
int importSTLString(const MemoryBlockC& data, stlImporterI* importer, stlProgressI* progress, ReadStop* stop);
int importSTLString(const char* data, size_t size, stlImporterI* importer, stlProgressI* progress, ReadStop* stop);
int importSTLFile(const char* path, stlImporterI* importer, stlProgressI* progress, ReadStop* stop,
                  uint64_t maxFileSize = kDefaultFileSizeCap);

// The same into an importer that takes runs of binary records (see stlFacetRunImporterI).
int importSTLString(const char* data, size_t size, stlFacetRunImporterI* importer, stlProgressI* progress,
                    ReadStop* stop);
int importSTLFile(const char* path, stlFacetRunImporterI* importer, stlProgressI* progress, ReadStop* stop,
                  uint64_t maxFileSize = kDefaultFileSizeCap);

// The two parsers over a stream (read from its start); 0 or -2.
int parseAsciiSTL(STLInputStreamC& in, stlImporterI* importer);
int parseBinarySTL(STLInputStreamC& in, stlImporterI* importer);
int parseAsciiSTLString(const char* data, size_t size, stlImporterI* importer);
int parseBinarySTLString(const char* data, size_t size, stlImporterI* importer);
// -1 when the file cannot be opened.
int parseAsciiSTLFile(const char* path, stlImporterI* importer, uint64_t maxFileSize = kDefaultFileSizeCap);
int parseBinarySTLFile(const char* path, stlImporterI* importer, uint64_t maxFileSize = kDefaultFileSizeCap);
