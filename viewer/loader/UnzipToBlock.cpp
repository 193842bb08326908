// Unzipping one item of an archive held in memory into a MemoryBlockC.
#include "viewer/loader/UnzipToBlock.h"

#include "services/archive/ZipEntryStreamC.h"

using platform::Reason;
using platform::ReasonText;
using platform::reasonText;

namespace {

uint32_t maxUnzipBytes = kDefaultMaxUnzipBytes;

// Deflate cannot expand its input more than about 1032 times; a recorded size beyond that
// (with room for stored and tiny items) is a lie, whatever the cap.
bool Plausible(uint64_t compressed, uint64_t uncompressed, uint32_t archiveLength)
{
    return compressed <= archiveLength && uncompressed <= compressed * 1100 + 4096;
}

// How a reason calls an entry: by its name, or by its place (counted from 1) when it has none
// and the place is known.
std::string EntryCalled(const std::string& name, int index)
{
    return name.empty() && index >= 0 ? "entry number " + std::to_string(index + 1) : "entry '" + name + "'";
}

// Why an item of these declared sizes is not unpacked, empty when it may be. One that may well
// be what it says but is over the cap is too large, not damaged: its archive is sound.
ReasonText SizeReason(uint64_t compressed, uint64_t uncompressed, uint32_t archiveLength, const std::string& entry,
                       int index)
{
    if (!Plausible(compressed, uncompressed, archiveLength))
        return UnzipFailureText(UnzipCorrupt, entry, false, index);
    if (uncompressed > maxUnzipBytes)
        return reasonText(Reason::EntryOverZipReader, EntryCalled(entry, index), uncompressed);
    return {};
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

bool UnzipItemToBlock(ZipHandle* handle, const void*, uint32_t length, int index, const char*, MemoryBlockC& block,
                      platform::ReasonText* why, const char* entry)
{
    // The password was given when the handle was opened.
    ZipEntryInfo record;
    UnzipArchiveC* archive = handle ? handle->archive : nullptr;
    // An item whose ZIP64 values cannot be fails somewhere on its way out; that is why.
    const ReasonText damage = archive ? archive->Damage(index) : ReasonText();
    const ReasonText damaged = damage.empty() ? ReasonText() : reasonText(Reason::Damaged, damage);
    // The directory names the item, and tells its method, even when nothing else of it can be read.
    std::string name = entry ? entry : "";
    unsigned unreadMethod = 0;
    if (archive)
        archive->Listed(index, entry ? nullptr : &name, &unreadMethod);
    const auto fail = [&](bool crcMismatch) {
        if (why)
            *why = !damaged.empty() ? damaged : UnzipFailureText(LastZipResult, name, crcMismatch, index);
        return Fail(block);
    };
    if (GetZipItem(handle, index, &record) != UnzipOk || record.index != index) {
        // An archive with no items is no damage; an item that is there but cannot be described
        // is, and so is an index past the last item (the caller's fault, told as the reader's).
        const bool none = archive && archive->ItemCount() == 0;
        if (!none)
            return fail(false);
        if (why)
            *why = !damaged.empty() ? damaged : reasonText(Reason::NoEntry);
        return Fail(block);
    }
    // A sound archive may hold an item of a method that cannot be read; its sizes need not be
    // what deflate makes either.
    if (unreadMethod != 0) {
        LastZipResult = UnzipCorrupt;
        if (why)
            *why = !damaged.empty() ? damaged
                                    : reasonText(Reason::MethodUnread, EntryCalled(name, index), zipMethodText(unreadMethod));
        return Fail(block);
    }
    // A record holds a size of 4 GiB or more as all ones; the directory has it in full.
    uint64_t compressed = record.compressedSize, uncompressed = record.uncompressedSize;
    if (uncompressed == 0xFFFFFFFFu)
        archive->DeclaredSizes(index, &compressed, &uncompressed);
    const ReasonText sizeReason = SizeReason(compressed, uncompressed, length, name, index);
    if (!sizeReason.empty()) {
        LastZipResult = UnzipCorrupt;
        if (why)
            *why = sizeReason;
        return Fail(block);
    }
    // The item is unpacked by the record's size: a ZIP64 size that passed above but differs
    // from it leaves the item's size in doubt, and the record's may be all ones.
    const uint32_t declared = record.uncompressedSize;
    if (declared != uncompressed) {
        LastZipResult = UnzipCorrupt;
        return fail(false);
    }
    if (!block.Allocate(declared)) {
        LastZipResult = UnzipNoMemory;
        return fail(false);
    }
    // The reader refuses an item that ends early, runs long or fails its CRC.
    const uint32_t result = archive->UnzipToBuffer(index, block.GetData(), declared);
    LastZipResult = result;
    return result == UnzipOk ? true : fail(archive->LastUnzipFailedCrc());
}

bool UnzipIndexFromMemory(const void* data, uint32_t length, int index, const char* password, MemoryBlockC& block,
                          platform::ReasonText* why, const char* entry)
{
    ZipHandle* handle = OpenZipHandleFromMemory(data, length, password);
    if (!handle) {
        if (why)
            *why = UnzipFailureText(LastZipResult, entry ? entry : "");
        return Fail(block);
    }
    const bool done = UnzipItemToBlock(handle, data, length, index, password, block, why, entry);
    const uint32_t result = LastZipResult;
    CloseZipHandle(handle);
    LastZipResult = done ? LastZipResult : result;
    return done;
}

bool UnzipIndexFromMemory(const void* data, uint32_t length, int index, const char* password, MemoryBlockC& block)
{
    return UnzipIndexFromMemory(data, length, index, password, block, nullptr, nullptr);
}

bool UnzipNamedFromMemory(const void* data, uint32_t length, const char* name, const char* password,
                          MemoryBlockC& block, platform::ReasonText* why)
{
    ZipHandle* handle = OpenZipHandleFromMemory(data, length, password);
    if (!handle) {
        if (why)
            *why = UnzipFailureText(LastZipResult, name ? name : "");
        return Fail(block);
    }
    int index = -1;
    bool done = false;
    if (FindZipItem(handle, name, true, &index, nullptr) == UnzipOk) {
        done = UnzipItemToBlock(handle, data, length, index, password, block, why, name);
    } else {
        block.Allocate(0);
        if (why)
            *why = UnzipFailureText(LastZipResult, name ? name : "");
    }
    const uint32_t result = LastZipResult;
    CloseZipHandle(handle);
    LastZipResult = done ? LastZipResult : result;
    return done;
}

bool UnzipNamedFromMemory(const void* data, uint32_t length, const char* name, const char* password,
                          MemoryBlockC& block)
{
    return UnzipNamedFromMemory(data, length, name, password, block, nullptr);
}

ReasonText UnzipFailureText(uint32_t code, const std::string& entry, bool crcMismatch, int index)
{
    const std::string called = EntryCalled(entry, index);
    switch (code) {
    case UnzipNoFile: return reasonText(Reason::NotZip);
    case UnzipNotFound: return reasonText(Reason::NoEntryNamed, entry);
    case UnzipCorrupt:
        if (crcMismatch)
            return reasonText(Reason::CrcMismatch, entry.empty() ? called : "'" + entry + "'");
        [[fallthrough]];
    case UnzipFlation: return reasonText(Reason::FailsCheck, called);
    case UnzipPassword: return reasonText(Reason::Encrypted, called);
    case UnzipNoMemory: return reasonText(Reason::NoMemoryToUnpack, called);
    default: break;
    }
    char text[128];
    FormatZipMessage(code, text, sizeof text);
    return reasonText(Reason::CannotUnpack, called, platform::OutsideWords(text));
}

platform::ReasonText EmptyFirstEntryReason(const void* data, uint32_t length)
{
    ZipHandle* handle = OpenZipHandleFromMemory(data, length, "");
    std::string name;
    if (handle)
        handle->archive->Listed(0, &name, nullptr);
    CloseZipHandle(handle);
    // ZIP names a folder's own entry with a trailing "/", whatever system made the archive.
    return !name.empty() && name.back() == '/' ? platform::reasonText(platform::Reason::FirstEntryIsFolder, name)
                                               : platform::reasonText(platform::Reason::FirstEntryIsEmpty, name);
}
