// Unzipping one item of an archive held in memory into a MemoryBlockC.
#pragma once

#include <cstdint>
#include <string>

#include "geometry/display/MemoryBlockC.h"
#include "platform/Reason.h"
#include "viewer/loader/ZipHandle.h"

// The most bytes one item may unzip to (process-wide). Archives come from the network: an
// item recorded larger, or one whose recorded size cannot come from its compressed bytes,
// is refused before a byte is unpacked. A nested archive is capped again at each level.
inline constexpr uint32_t kDefaultMaxUnzipBytes = 512u << 20;
uint32_t MaxUnzipBytes();
uint32_t SetMaxUnzipBytes(uint32_t bytes);  // returns the previous cap

// Each returns true when the item came out whole: exactly its recorded size, CRC checked.
// On failure the block is left empty (size 0 and its NUL) and LastZipResult holds the code of the
// step that failed, not that of closing the archive.
// With `why`, a failure also says there what it came to, in UnzipFailureText's words for the
// entry (`entry` when given, else the item's own name in the directory), or that the item is
// compressed with a method that cannot be read ("entry 'a.stl' is compressed with method 12
// (bzip2), ...").
bool UnzipItemToBlock(ZipHandle* handle, const void* data, uint32_t length, int index, const char* password,
                      MemoryBlockC& block, platform::ReasonText* why = nullptr, const char* entry = nullptr);
bool UnzipIndexFromMemory(const void* data, uint32_t length, int index, const char* password, MemoryBlockC& block);
bool UnzipNamedFromMemory(const void* data, uint32_t length, const char* name, const char* password,
                          MemoryBlockC& block);
bool UnzipIndexFromMemory(const void* data, uint32_t length, int index, const char* password, MemoryBlockC& block,
                          platform::ReasonText* why, const char* entry);
bool UnzipNamedFromMemory(const void* data, uint32_t length, const char* name, const char* password,
                          MemoryBlockC& block, platform::ReasonText* why);

// What a failed unzip of the entry came to, as a failure reason's text, from the result code
// the handle operations left ("no entry named 'a.zjv' in the archive"; an archive that did not
// open is "not a ZIP archive"). `crcMismatch`: the damage was a CRC that did not match. An entry
// without a name whose `index` is given is called by its place: "entry number 1".
platform::ReasonText UnzipFailureText(uint32_t code, const std::string& entry, bool crcMismatch = false, int index = -1);

// Why the first entry of the archive held in memory, unpacked to nothing, is no model, as a
// failure reason's text: "the archive's first entry 'parts/' is a folder, not a model" (an archive
// made of a folder starts with the folder's own entry), else "the archive's first entry 'a.zjv'
// is empty".
platform::ReasonText EmptyFirstEntryReason(const void* data, uint32_t length);
