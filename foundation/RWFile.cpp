// RWFile: binary values stored in a file in a fixed little-endian record format.
#include "foundation/RWFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Values are converted in chunks so that an array of any size needs no allocation.
constexpr size_t chunkItems = 256;

template <size_t Size, typename T>
T decode(const unsigned char* b)
{
    if constexpr (std::is_same_v<T, bool>) {
        return b[0] != '0';
    } else {
        uint64_t u = 0;
        for (size_t i = 0; i < Size; ++i)
            u |= uint64_t(b[i]) << (8 * i);
        if constexpr (std::is_same_v<T, float>) {
            uint32_t w = uint32_t(u);
            float f;
            std::memcpy(&f, &w, sizeof f);
            return f;
        } else if constexpr (std::is_same_v<T, double>) {
            double d;
            std::memcpy(&d, &u, sizeof d);
            return d;
        } else {
            // Stored values narrower than the type (a long on a 64-bit machine) are
            // widened with their sign.
            if constexpr (std::is_signed_v<T> && Size < 8) {
                if ((u >> (8 * Size - 1)) & 1)
                    u |= ~uint64_t(0) << (8 * Size);
            }
            return static_cast<T>(u);
        }
    }
}

template <size_t Size, typename T>
void encode(T value, unsigned char* b)
{
    if constexpr (std::is_same_v<T, bool>) {
        b[0] = value ? '1' : '0';
    } else {
        uint64_t u;
        if constexpr (std::is_same_v<T, float>) {
            uint32_t w;
            std::memcpy(&w, &value, sizeof w);
            u = w;
        } else if constexpr (std::is_same_v<T, double>) {
            std::memcpy(&u, &value, sizeof u);
        } else {
            u = static_cast<uint64_t>(value);
        }
        for (size_t i = 0; i < Size; ++i)
            b[i] = static_cast<unsigned char>(u >> (8 * i));
    }
}

char* copyText(const char* text)
{
    size_t n = std::strlen(text);
    char* copy = new char[n + 1];
    std::memcpy(copy, text, n + 1);
    return copy;
}

} // namespace

RWFile::RWFile(const char* name, const char* mode)
{
    name_ = copyText(name ? name : "");
    const char* used = mode;
    if (name && *name) {
        if (mode) {
            fp_ = std::fopen(name, mode);
        } else {
            used = "rb+";
            fp_ = std::fopen(name, used);
            if (!fp_) {
                used = "wb+";
                fp_ = std::fopen(name, used);
            }
        }
    } else if (!mode) {
        used = "wb+";
    }
    std::strncpy(mode_, used ? used : "", sizeof mode_ - 1);
}

RWFile::~RWFile()
{
    if (fp_)
        std::fclose(fp_);
    delete[] name_;
}

bool RWFile::exists() const
{
    return ::access(name_, F_OK) == 0;
}

bool RWFile::exists(const char* path)
{
    return path && ::access(path, F_OK) == 0;
}

bool RWFile::exists(const char* path, int accessMode)
{
    return path && ::access(path, accessMode) >= 0;
}

template <size_t Size, typename T>
bool RWFile::readArray(T* values, size_t n)
{
    if (!fp_)
        return false;
    unsigned char buf[Size * chunkItems];
    size_t done = 0;
    while (done < n) {
        size_t want = std::min(chunkItems, n - done);
        size_t got = std::fread(buf, Size, want, fp_);
        for (size_t i = 0; i < got; ++i)
            values[done + i] = decode<Size, T>(buf + i * Size);
        done += got;
        if (got < want)
            break;
    }
    return done == n;
}

template <size_t Size, typename T>
bool RWFile::writeArray(const T* values, size_t n)
{
    if (!fp_)
        return false;
    unsigned char buf[Size * chunkItems];
    size_t done = 0;
    while (done < n) {
        size_t want = std::min(chunkItems, n - done);
        for (size_t i = 0; i < want; ++i)
            encode<Size, T>(values[done + i], buf + i * Size);
        size_t put = std::fwrite(buf, Size, want, fp_);
        done += put;
        if (put < want)
            break;
    }
    return done == n;
}

bool RWFile::read(bool& v) { return readArray<1>(&v, 1); }
bool RWFile::read(char& v) { return readArray<1>(&v, 1); }
bool RWFile::read(signed char& v) { return readArray<1>(&v, 1); }
bool RWFile::read(unsigned char& v) { return readArray<1>(&v, 1); }
bool RWFile::read(short& v) { return readArray<2>(&v, 1); }
bool RWFile::read(unsigned short& v) { return readArray<2>(&v, 1); }
bool RWFile::read(int& v) { return readArray<4>(&v, 1); }
bool RWFile::read(unsigned& v) { return readArray<4>(&v, 1); }
bool RWFile::read(long& v) { return readArray<4>(&v, 1); }
bool RWFile::read(unsigned long& v) { return readArray<4>(&v, 1); }
bool RWFile::read(float& v) { return readArray<4>(&v, 1); }
bool RWFile::read(double& v) { return readArray<8>(&v, 1); }

bool RWFile::read(bool* v, size_t n) { return readArray<1>(v, n); }
bool RWFile::read(char* v, size_t n) { return readArray<1>(v, n); }
bool RWFile::read(signed char* v, size_t n) { return readArray<1>(v, n); }
bool RWFile::read(unsigned char* v, size_t n) { return readArray<1>(v, n); }
bool RWFile::read(short* v, size_t n) { return readArray<2>(v, n); }
bool RWFile::read(unsigned short* v, size_t n) { return readArray<2>(v, n); }
bool RWFile::read(int* v, size_t n) { return readArray<4>(v, n); }
bool RWFile::read(unsigned* v, size_t n) { return readArray<4>(v, n); }
bool RWFile::read(long* v, size_t n) { return readArray<4>(v, n); }
bool RWFile::read(unsigned long* v, size_t n) { return readArray<4>(v, n); }
bool RWFile::read(float* v, size_t n) { return readArray<4>(v, n); }
bool RWFile::read(double* v, size_t n) { return readArray<8>(v, n); }

bool RWFile::write(bool v) { return writeArray<1>(&v, 1); }
bool RWFile::write(char v) { return writeArray<1>(&v, 1); }
bool RWFile::write(signed char v) { return writeArray<1>(&v, 1); }
bool RWFile::write(unsigned char v) { return writeArray<1>(&v, 1); }
bool RWFile::write(short v) { return writeArray<2>(&v, 1); }
bool RWFile::write(unsigned short v) { return writeArray<2>(&v, 1); }
bool RWFile::write(int v) { return writeArray<4>(&v, 1); }
bool RWFile::write(unsigned v) { return writeArray<4>(&v, 1); }
bool RWFile::write(long v) { return writeArray<4>(&v, 1); }
bool RWFile::write(unsigned long v) { return writeArray<4>(&v, 1); }
bool RWFile::write(float v) { return writeArray<4>(&v, 1); }
bool RWFile::write(double v) { return writeArray<8>(&v, 1); }

bool RWFile::write(const bool* v, size_t n) { return writeArray<1>(v, n); }
bool RWFile::write(const char* v, size_t n) { return writeArray<1>(v, n); }
bool RWFile::write(const signed char* v, size_t n) { return writeArray<1>(v, n); }
bool RWFile::write(const unsigned char* v, size_t n) { return writeArray<1>(v, n); }
bool RWFile::write(const short* v, size_t n) { return writeArray<2>(v, n); }
bool RWFile::write(const unsigned short* v, size_t n) { return writeArray<2>(v, n); }
bool RWFile::write(const int* v, size_t n) { return writeArray<4>(v, n); }
bool RWFile::write(const unsigned* v, size_t n) { return writeArray<4>(v, n); }
bool RWFile::write(const long* v, size_t n) { return writeArray<4>(v, n); }
bool RWFile::write(const unsigned long* v, size_t n) { return writeArray<4>(v, n); }
bool RWFile::write(const float* v, size_t n) { return writeArray<4>(v, n); }
bool RWFile::write(const double* v, size_t n) { return writeArray<8>(v, n); }

bool RWFile::read(char* text)
{
    if (!fp_)
        return false;
    int c;
    while ((c = std::fgetc(fp_)) != EOF && c != '\0')
        *text++ = static_cast<char>(c);
    *text = '\0';
    return true;
}

bool RWFile::readString(char* text, size_t size)
{
    if (!fp_)
        return false;
    size_t n = 0;
    bool fits = size > 0;
    int c;
    while ((c = std::fgetc(fp_)) != EOF && c != '\0') {
        if (n + 1 < size)
            text[n++] = static_cast<char>(c);
        else
            fits = false;
    }
    if (size > 0)
        text[n] = '\0';
    return fits;
}

bool RWFile::write(const char* text)
{
    if (!fp_ || !text)
        return false;
    size_t n = std::strlen(text) + 1;
    return std::fwrite(text, 1, n, fp_) == n;
}

int RWFile::flush()
{
    return fp_ ? std::fflush(fp_) : EOF;
}

void RWFile::clearErr()
{
    if (fp_)
        std::clearerr(fp_);
}

bool RWFile::eof() const
{
    return fp_ && std::feof(fp_);
}

bool RWFile::error() const
{
    return fp_ && std::ferror(fp_);
}

bool RWFile::isValid() const
{
    return fp_ && std::ftell(fp_) != -1;
}

bool RWFile::isEmpty() const
{
    if (!fp_)
        return false;
    // Written bytes still in the stream's buffer count: the size is taken after a flush.
    std::fflush(fp_);
    struct stat st;
    if (::fstat(::fileno(fp_), &st) != 0)
        return false;
    return st.st_size == 0;
}

bool RWFile::seekTo(long offset)
{
    return fp_ && std::fseek(fp_, offset, SEEK_SET) >= 0;
}

bool RWFile::seekToEnd()
{
    return fp_ && std::fseek(fp_, 0, SEEK_END) >= 0;
}

bool RWFile::erase()
{
    if (fp_) {
        // The stream is gone after fclose whatever it reports, so it is forgotten at once
        // and the destructor never closes it a second time.
        int closed = std::fclose(fp_);
        fp_ = nullptr;
        if (closed != 0)
            return false;
    }
    if (std::remove(name_) != 0)
        return false;
    fp_ = std::fopen(name_, "wb+");
    std::strncpy(mode_, "wb+", sizeof mode_ - 1);
    return fp_ != nullptr;
}
