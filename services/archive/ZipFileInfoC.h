// ZipFileInfoC: the description of an archive's current entry, as the reader reports it.
#pragma once

#include <cstdint>
#include <vector>

#include <minizip/unzip.h>

// minizip's record of the entry (methods, dates, CRC-32, sizes, attributes) with the entry's
// name, extra field and comment in buffers as long as the entry declares them (the name and
// comment NUL-terminated), and the stored offset of the entry's local header.
class ZipFileInfoC {
public:
    ZipFileInfoC() { clear(); }

    unz_file_info info;

    const char* name() const { return name_.data(); }
    unsigned nameSize() const { return unsigned(name_.size() - 1); }
    const unsigned char* extra() const { return extra_.data(); }
    unsigned extraSize() const { return unsigned(extra_.size()); }
    const char* comment() const { return comment_.data(); }
    unsigned commentSize() const { return unsigned(comment_.size() - 1); }
    uint64_t localHeaderOffset() const { return localHeaderOffset_; }

    void clear();

private:
    friend class ZipReaderC;

    std::vector<char> name_;
    std::vector<unsigned char> extra_;
    std::vector<char> comment_;
    uint64_t localHeaderOffset_ = 0;
};
