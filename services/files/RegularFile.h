// Opening a named file for reading only when it is a regular file, reading it whole up to a cap,
// and telling whether two names reach one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The most a reader takes of one file unless its caller sets another limit: far above any real
// model or settings file, far below what would exhaust memory.
constexpr uint64_t kDefaultFileSizeCap = uint64_t(1) << 30;

// Opens path for reading without ever blocking (a FIFO with no writer, a device) and keeps it only
// when it is a regular file; the descriptor returned reads normally (blocking, close-on-exec).
// -1 when the name opens no regular file. sizeOut, when given, receives the file's size.
int openRegularFile(const char* path, uint64_t* sizeOut = nullptr);

// Reads the regular file at path whole into out. False, with out empty, when it is no regular
// file, cannot be read, or holds more than cap bytes (checked before anything is read, and again
// while reading, for files whose size says nothing, as those of /proc).
bool readRegularFile(const char* path, std::string& out, uint64_t cap = kDefaultFileSizeCap);

// The same from an open descriptor (not closed here), for callers that keep it open.
bool readRegularFile(int fd, std::string& out, uint64_t cap = kDefaultFileSizeCap);

// Writes all size bytes to fd, going on after interrupted and partial writes. False when a write
// fails or stops making progress.
bool writeAllBytes(int fd, const char* data, size_t size);

// Whether both names reach one existing file (the same device and inode, links followed).
bool isSameExistingFile(const char* a, const char* b);
