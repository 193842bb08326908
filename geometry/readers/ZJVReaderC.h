// ZJVReaderC: reads ZJV model text (parts and placed instances) into a display part list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/RWCString.h"
#include "geometry/display/MemoryBlockC.h"

class FEDisplayPartC;
class FEDisplayPartListC;
class FEMeshPartC;
struct ReadStop;

// The caller fills the buffer (buffer().Allocate and a copy of the text), then calls parse once
// with a fresh part list. Malformed input yields whatever parts and instances it describes;
// nothing is reported and nothing is thrown for bad indices.
class ZJVReaderC : public MemoryBlockC {
public:
    // Result codes of nextToken.
    enum TokenCode { TokenOpen = 0, TokenClose = 1, TokenPlain = 2, TokenEnd = 3 };
    static constexpr int kEnd = -1;  // nextChar at the end of the buffer

    ZJVReaderC() = default;
    ~ZJVReaderC() = default;

    MemoryBlockC& buffer() { return *this; }

    // Reads the whole buffer into the list: one part per "P{" block, one instance per placement
    // of an "S{" block.
    void parse(FEDisplayPartListC* target);
    // The same, noting in *stop the first thing at the top level that is no part or structure
    // block, with its line: the reader passes over it, but a text that yields no part is then
    // told by what it holds instead.
    void parse(FEDisplayPartListC* target, ReadStop* stop);

    // The most parts and placed instances a parse makes: a few bytes of text make a part or a
    // placement, so a small file could ask for more than memory holds. A text over either
    // limit is counted before anything is built and yields nothing; the flag of the limit it
    // is over tells so until the next parse.
    void setPartLimit(size_t parts) { partLimit = parts; }
    bool partLimitReached() const { return partLimitHit; }
    void setPlacementLimit(size_t placements) { placementLimit = placements; }
    bool placementLimitReached() const { return placementLimitHit; }

    // The byte at the read position (0..255) and the position moves on; kEnd at the end.
    int nextChar();
    // 0 "{" (token = the block's keyword), 1 "}" with an empty token, 2 a plain token, 3 the end.
    int nextToken(RWCString& token);

    // One part block (the read position stands after "P{"). Finalises the part and smooths its
    // normals. Without a part it takes the same tokens and builds nothing. True.
    bool parsePart(FEMeshPartC* part);
    // One structure block (after "S{"). True, or false at the placement limit.
    bool parseStructure();

    // From the start of the buffer: the first part block into the given part. True.
    bool parseFirstPart(FEMeshPartC* part);
    // Reads the buffer into a list of its own and copies every placed instance, transformed by
    // its placement, into the target. False when the text places no instance.
    bool mergeIntoPart(FEMeshPartC* target);
    // The buffer := the first entry of the ZIP archive at path. False when the file is not an
    // archive or cannot be read, has no entry, its entry cannot be opened, is damaged (checksum
    // or size) or unpacks to more than the unpacked-size limit, whatever its header declares.
    bool loadFile(const char* path);
    static constexpr uint64_t kDefaultMaxUnpackedSize = uint64_t(1) << 30;
    void setMaxUnpackedSize(uint64_t bytes) { maxUnpackedSize = bytes; }
    uint64_t getMaxUnpackedSize() const { return maxUnpackedSize; }

    uint32_t getPosition() const { return position; }

private:
    // The token as a view into the buffer; the code as nextToken's.
    int nextTokenView(const char*& start, size_t& length);
    // One more token, converted (0 while counting); the codes are not looked at.
    double nextDouble();
    int nextInt();
    // Reads tokens until one that is not plain (the end of a list block).
    void skipBlock();
    // Passes over plain tokens to the next block opened inside the current one and gives its
    // keyword; false at the current block's close or at the end of the text.
    bool nextBlock(const char*& keyword, size_t& length);
    // The read position := the start of the text, past a UTF-8 byte-order mark.
    void rewind();
    // The top level from the start of the text, to the first limit passed. Counting, the part
    // and structure blocks run as in a build but build nothing: what the count finds is what
    // the build makes, and a text over a limit is known before anything is built.
    void readBlocks(bool count, ReadStop* stop);

    uint32_t position = 0;
    FEDisplayPartListC* target = nullptr;
    bool counting = false;
    // The target's parts and instances, or while counting those it would have.
    size_t partsSoFar = 0;
    size_t placementsSoFar = 0;
    uint64_t maxUnpackedSize = kDefaultMaxUnpackedSize;
    size_t partLimit = SIZE_MAX;
    size_t placementLimit = SIZE_MAX;
    bool partLimitHit = false;
    bool placementLimitHit = false;
};
