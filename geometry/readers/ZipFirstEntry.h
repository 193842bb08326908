// readFirstZipEntry: the bytes of the first entry of a ZIP archive file, unpacked in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The archive file is read whole into memory and unpacked from there. False when the file is no
// regular file of at most maxFileSize bytes or cannot be read, is not an archive, has no entry, the entry cannot be opened (a password, an unknown
// method), its data is damaged (checksum) or it unpacks to more than maxSize bytes.
bool readFirstZipEntry(const char* path, std::vector<char>& out, size_t maxSize, uint64_t maxFileSize);
