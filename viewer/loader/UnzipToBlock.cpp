// Unzipping one item of an archive held in memory into a MemoryBlockC.
#include "viewer/loader/UnzipToBlock.h"


namespace {

uint32_t maxUnzipBytes = kDefaultMaxUnzipBytes;

// Deflate cannot expand its input more than about 1032 times; a recorded size beyond that
// (with room for stored and tiny items) is a lie, whatever the cap.
bool Plausible(const ZipEntryInfo& record, uint32_t archiveLength)
{
    if (record.compressedSize > archiveLength)
        return false;
    return record.uncompressedSize <= uint64_t(record.compressedSize) * 1100 + 4096;
}

bool Fail(MemoryBlockC& block)
{
    block.Allocate(0);
    return false;
}

}  // namespace

uint32_t MaxUnzipBytes() { return maxUnzipBytes; }

uint32_t SetMaxUnzipBytes(uint32_t bytes)
{
    const uint32_t previous = maxUnzipBytes;
    maxUnzipBytes = bytes;
    return previous;
}

bool UnzipItemToBlock(ZipHandle* handle, const void*, uint32_t length, int index, const char*, MemoryBlockC& block)
{
    // The password was given when the handle was opened.
    ZipEntryInfo record;
    if (GetZipItem(handle, index, &record) != UnzipOk || record.index != index)
        return Fail(block);
    const uint32_t declared = record.uncompressedSize;
    if (declared > maxUnzipBytes || !Plausible(record, length)) {
        LastZipResult = UnzipCorrupt;
        return Fail(block);
    }
    if (!block.Allocate(declared)) {
        LastZipResult = UnzipNoMemory;
        return Fail(block);
    }
    // The reader refuses an item that ends early, runs long or fails its CRC.
    const uint32_t result = handle->archive->UnzipToBuffer(index, block.GetData(), declared);
    LastZipResult = result;
    return result == UnzipOk ? true : Fail(block);
}

bool UnzipIndexFromMemory(const void* data, uint32_t length, int index, const char* password, MemoryBlockC& block)
{
    ZipHandle* handle = OpenZipHandleFromMemory(data, length, password);
    if (!handle)
        return Fail(block);
    const bool done = UnzipItemToBlock(handle, data, length, index, password, block);
    const uint32_t result = LastZipResult;
    CloseZipHandle(handle);
    LastZipResult = done ? LastZipResult : result;
    return done;
}

bool UnzipNamedFromMemory(const void* data, uint32_t length, const char* name, const char* password,
                          MemoryBlockC& block)
{
    ZipHandle* handle = OpenZipHandleFromMemory(data, length, password);
    if (!handle)
        return Fail(block);
    int index = -1;
    bool done = false;
    if (FindZipItem(handle, name, true, &index, nullptr) == UnzipOk)
        done = UnzipItemToBlock(handle, data, length, index, password, block);
    else
        block.Allocate(0);
    const uint32_t result = LastZipResult;
    CloseZipHandle(handle);
    LastZipResult = done ? LastZipResult : result;
    return done;
}

std::string UnzipFailureText(uint32_t code, const std::string& entry)
{
    const std::string quoted = "'" + entry + "'";
    switch (code) {
    case UnzipNoFile: return "not a ZIP archive";
    case UnzipNotFound: return "no entry named " + quoted + " in the archive";
    case UnzipCorrupt:
    case UnzipFlation: return "damaged ZIP archive (entry " + quoted + " fails its size or CRC check)";
    case UnzipPassword: return "entry " + quoted + " is encrypted";
    case UnzipNoMemory: return "not enough memory to unpack entry " + quoted;
    default: break;
    }
    char text[128];
    FormatZipMessage(code, text, sizeof text);
    return "cannot unpack entry " + quoted + " (" + text + ")";
}
