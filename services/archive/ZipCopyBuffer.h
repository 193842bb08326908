// ZipCopyBuffer: the copy buffer of the ZIP reader and writer, made on first use.
#pragma once

#include <vector>

class ZipCopyBuffer {
public:
    static constexpr unsigned kDefaultSize = 256000;

    unsigned size() const { return size_; }

    // The block, made when missing. A requested size other than 0 and the current one replaces
    // the size, for later calls too, and drops the old block.
    char* get(unsigned requested)
    {
        if (requested != 0 && requested != size_) {
            size_ = requested;
            bytes_ = std::vector<char>();
        }
        if (bytes_.empty())
            bytes_.resize(size_);
        return bytes_.data();
    }

private:
    std::vector<char> bytes_;
    unsigned size_ = kDefaultSize;
};
