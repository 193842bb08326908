// Guid: a 128-bit class, interface or library identifier, with its registry text form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform::com {

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    friend bool operator==(const Guid& a, const Guid& b) = default;
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex digits.
    std::string toString() const;
    // The text form with or without braces, digits in either case; nothing for other text.
    static std::optional<Guid> parse(const std::string& text);
};

// The identifiers of the two interfaces every object and class factory answers to.
inline constexpr Guid IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

}  // namespace platform::com
