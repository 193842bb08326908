// rc4cipher: key scheduling, the key stream, saved states and the hexadecimal helpers.
#include "services/streams/rc4cipher.h"
#include "platform/HexDigit.h"

#include <cstring>

bool rc4cipherstate::operator==(const rc4cipherstate& o) const
{
    return i == o.i && j == o.j && std::memcmp(S, o.S, sizeof S) == 0;
}

rc4cipher::rc4cipher()
{
    reset();
}

rc4cipher::~rc4cipher()
{
    // The key must not linger in freed memory.
    volatile unsigned char* k = key_;
    for (size_t n = 0; n < keyLength_; ++n)
        k[n] = 0;
    saved_.clear();
}

bool rc4cipher::setKey(const char* bytes, size_t length)
{
    if (bytes == nullptr || length == 0 || length > maxKeyLength)
        return false;
    std::memcpy(key_, bytes, length);
    keyLength_ = length;
    reset();
    return true;
}

void rc4cipher::reset()
{
    uint32_t* S = state_.S;
    for (uint32_t n = 0; n < 256; ++n)
        S[n] = n;
    if (keyLength_ > 0) {
        uint32_t j = 0;
        for (uint32_t n = 0, k = 0; n < 256; ++n) {
            j = (j + S[n] + key_[k]) & 255;
            const uint32_t t = S[n];
            S[n] = S[j];
            S[j] = t;
            if (++k == keyLength_)
                k = 0;
        }
    }
    state_.i = 0;
    state_.j = 0;
}

void rc4cipher::crypt(char* bytes, size_t n)
{
    uint32_t* S = state_.S;
    uint32_t i = state_.i, j = state_.j;
    for (size_t k = 0; k < n; ++k) {
        i = (i + 1) & 255;
        const uint32_t si = S[i];
        j = (j + si) & 255;
        const uint32_t sj = S[j];
        S[i] = sj;
        S[j] = si;
        bytes[k] = char(static_cast<unsigned char>(bytes[k]) ^ S[(si + sj) & 255]);
    }
    state_.i = i;
    state_.j = j;
}

RWCString rc4cipher::cryptString(const RWCString& text)
{
    RWCString result = text.copy();
    if (result.length() > 0)
        crypt(&result(0), result.length());
    return result;
}

void rc4cipher::saveState(bool keep)
{
    saved_.prepend(state_);
    if (!keep)
        reset();
}

void rc4cipher::restoreState()
{
    if (!saved_.isEmpty())
        state_ = saved_.removeFirst();
}

RWCString hexEncode(const RWCString& text)
{
    static const char digits[] = "0123456789ABCDEF";
    RWCString result(RWCapacity(text.length() * 2));
    for (size_t n = 0; n < text.length(); ++n) {
        const unsigned char c = static_cast<unsigned char>(text(n));
        const char pair[2] = {digits[c >> 4], digits[c & 15]};
        result.append(pair, 2);
    }
    return result;
}

namespace {

// Keys are written in upper-case hex; any other character reads as 0.
int hexValue(char c)
{
    const int v = platform::hexDigitValue(c, platform::HexLetters::UpperOnly);
    return v < 0 ? 0 : v;
}

}  // namespace

RWCString hexDecode(const RWCString& text)
{
    RWCString result(RWCapacity(text.length() / 2));
    for (size_t n = 0; n + 1 < text.length(); n += 2)
        result.append(char(hexValue(text(n)) << 4 | hexValue(text(n + 1))), 1);
    return result;
}
