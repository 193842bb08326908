// RWFile: binary values stored in a file in a fixed little-endian record format.
#pragma once

#include <cstddef>
#include <cstdio>
#include <type_traits>

// Values are stored with fixed sizes whatever the machine: 1 byte for the character
// types, 2 for the short types, 4 for int, unsigned, long, unsigned long and float,
// 8 for double, all little-endian; a bool is the character '1' or '0' (reading takes
// any byte other than '0' as true); a text is stored with its terminating NUL.
class RWFile {
public:
    // Opens name with mode; without a mode, an existing file is opened for update
    // ("rb+") and a missing one is created ("wb+").
    explicit RWFile(const char* name, const char* mode = nullptr);
    ~RWFile();
    RWFile(const RWFile&) = delete;
    RWFile& operator=(const RWFile&) = delete;

    // The mode the file was opened with, and its name.
    const char* mode() const { return mode_; }
    const char* name() const { return name_; }
    // The underlying stream, null when opening failed.
    FILE* stream() const { return fp_; }

    bool exists() const;
    static bool exists(const char* path);
    static bool exists(const char* path, int accessMode);

    bool read(bool& value);
    bool read(char& value);
    bool read(signed char& value);
    bool read(unsigned char& value);
    bool read(short& value);
    bool read(unsigned short& value);
    bool read(int& value);
    bool read(unsigned& value);
    bool read(long& value);
    bool read(unsigned long& value);
    bool read(float& value);
    bool read(double& value);

    // n values; true when all n were read.
    bool read(bool* values, size_t n);
    bool read(char* values, size_t n);
    bool read(signed char* values, size_t n);
    bool read(unsigned char* values, size_t n);
    bool read(short* values, size_t n);
    bool read(unsigned short* values, size_t n);
    bool read(int* values, size_t n);
    bool read(unsigned* values, size_t n);
    bool read(long* values, size_t n);
    bool read(unsigned long* values, size_t n);
    bool read(float* values, size_t n);
    bool read(double* values, size_t n);

    // A stored text up to its NUL (or the end of the file) into text, which must hold
    // all of it. Prefer readString, which knows the size of the buffer.
    bool read(char* text);
    // A stored text up to its NUL (or the end of the file); at most size - 1 characters
    // and a NUL are stored. The whole stored text is consumed either way; false when it
    // did not fit (text then holds its beginning) or when size is 0.
    bool readString(char* text, size_t size);

    bool write(bool value);
    bool write(char value);
    bool write(signed char value);
    bool write(unsigned char value);
    bool write(short value);
    bool write(unsigned short value);
    bool write(int value);
    bool write(unsigned value);
    bool write(long value);
    bool write(unsigned long value);
    bool write(float value);
    bool write(double value);

    bool write(const bool* values, size_t n);
    bool write(const char* values, size_t n);
    bool write(const signed char* values, size_t n);
    bool write(const unsigned char* values, size_t n);
    bool write(const short* values, size_t n);
    bool write(const unsigned short* values, size_t n);
    bool write(const int* values, size_t n);
    bool write(const unsigned* values, size_t n);
    bool write(const long* values, size_t n);
    bool write(const unsigned long* values, size_t n);
    bool write(const float* values, size_t n);
    bool write(const double* values, size_t n);

    // The text and its terminating NUL.
    bool write(const char* text);

    int flush();
    void clearErr();
    bool eof() const;
    bool error() const;
    bool isValid() const;
    bool isEmpty() const;
    bool seekTo(long offset);
    bool seekToEnd();
    // Closes, removes and re-creates the file ("wb+").
    bool erase();

private:
    template <size_t Size, typename T> bool readArray(T* values, size_t n);
    template <size_t Size, typename T> bool writeArray(const T* values, size_t n);

    char mode_[9] = {}; // the mode actually used, at most 8 characters
    char* name_ = nullptr;
    FILE* fp_ = nullptr;
};

// Reads one value into a newly allocated object, which the caller owns.
template <typename T>
    requires std::is_arithmetic_v<T>
RWFile& operator>>(RWFile& file, T*& p)
{
    p = new T();
    file.read(*p);
    return file;
}
