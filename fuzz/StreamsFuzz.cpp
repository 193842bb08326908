// Fuzz target: arbitrary file bytes read through each file-stream layer stack (plain, RC4,
// gzip), and written through the gzip layer and read back. The bytes live in an anonymous
// memory file that the streams open by its /proc name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzMemoryFile.h"
#include "services/streams/rc4fstream.h"

namespace {

constexpr size_t kReadLimit = 8u << 20;  // compressed input can expand a thousandfold

std::string readAll(std::istream& in)
{
    std::string s;
    char block[1000];
    while (s.size() < kReadLimit && (in.read(block, sizeof block) || in.gcount() > 0))
        s.append(block, size_t(in.gcount()));
    return s;
}

void setBuffer(rc4ifstream& in, int choice, char* small)
{
    if (choice & 4)
        in.setbuf(nullptr, 0);
    else if (choice & 8)
        in.setbuf(small, 7);
}

bool startsWith(const std::string& s, const char* prefix, size_t n)
{
    return s.size() >= n && s.compare(0, n, prefix, n) == 0;
}

}  // namespace

// Input: a choice byte (bits 0-1: 0 plain, 1 RC4, 2 gzip read, 3 gzip write then read; bit 2:
// unbuffered; bit 3: a 7-byte buffer; bits 4-7: a position to seek to in plain and RC4 data),
// then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int choice = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const int stack = choice & 3;
    char small[7];

    if (stack == 3) {
        FuzzMemoryFile file("");
        if (!file.ok())
            return 0;
        {
            rc4ofstream out(file.name().c_str(), csopenmode::out | csopenmode::binary | csopenmode::compressFlag);
            FUZZ_CHECK(out.is_open());
            out.write(bytes.data(), std::streamsize(bytes.size()));
            FUZZ_CHECK(out.close());
        }
        rc4ifstream in;
        setBuffer(in, choice, small);
        in.open(file.name().c_str(), csopenmode::binary);
        const std::string got = readAll(in);
        FUZZ_CHECK(in.rdbuf()->isCompressed());
        FUZZ_CHECK(got == bytes, got, bytes);
        return 0;
    }

    FuzzMemoryFile file(bytes);
    if (!file.ok())
        return 0;
    rc4ifstream in;
    setBuffer(in, choice, small);
    in.open(file.name().c_str(), csopenmode::binary);
    FUZZ_CHECK(in.is_open());
    int header = 0;
    if (stack == 1)
        header = in.rdbuf()->readHeader("fuzz");
    const bool magic = startsWith(bytes, "CSBINF001", 9) || startsWith(bytes, "CRYPTIO01", 9);
    FUZZ_CHECK(stack != 1 || header == (magic ? 1 : 0));
    const std::string got = readAll(in);
    if (stack == 2)
        return 0;
    // What the layers below the gzip probe deliver: the bytes, or the deciphered body.
    std::string expected = bytes;
    if (header == 1) {
        rc4cipher cipher;
        const RWCString key = "fuzz" + rc4filebuf::defaultKey();
        cipher.setKey(key.data(), key.length());
        expected = bytes.substr(9);
        cipher.crypt(expected.data(), expected.size());
    }
    if (startsWith(expected, "\x1f\x8b", 2))
        return 0;
    // Plain or enciphered data: all of it, and positions and seeks agree with it.
    FUZZ_CHECK(!in.rdbuf()->isCompressed());
    FUZZ_CHECK(got == expected, got, expected);
    const int64_t target = (choice >> 4) * int64_t(got.size()) / 16;
    in.clear();
    in.seekg(target);
    FUZZ_CHECK(in.good() && in.tellg() == target);
    const std::string rest = readAll(in);
    FUZZ_CHECK(rest == got.substr(size_t(target)), rest, got.substr(size_t(target)));
    return 0;
}
