// Guid: text form and parsing.
#include "platform/com/Guid.h"
#include "platform/HexDigit.h"

#include <cstdio>

namespace platform::com {

std::string Guid::toString() const
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(data1),
                  unsigned(data2), unsigned(data3), data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                  data4[6], data4[7]);
    return text;
}

std::optional<Guid> Guid::parse(const std::string& text)
{
    std::string t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}')
        t = t.substr(1, 36);
    if (t.size() != 36)
        return std::nullopt;
    // Hex digit groups of 8-4-4-4-12 with dashes between them.
    uint8_t bytes[16];
    size_t at = 0;
    for (int b = 0; b < 16; ++b) {
        if (at == 8 || at == 13 || at == 18 || at == 23) {
            if (t[at] != '-')
                return std::nullopt;
            ++at;
        }
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = t[at++];
            const int digit = hexDigitValue(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
        }
        bytes[b] = uint8_t(value);
    }
    Guid g;
    g.data1 = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    g.data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    g.data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.data4[i] = bytes[8 + i];
    return g;
}

}  // namespace platform::com
