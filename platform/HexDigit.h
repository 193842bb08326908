// The value of one hexadecimal digit: the one decoder under every text that carries hex digits.
#pragma once

namespace platform {

// Which letters count as digits: both cases, or the upper case only (texts that we write in
// upper case and read back by the same rule).
enum class HexLetters { AnyCase, UpperOnly };

// 0-15 for '0'-'9', 'A'-'F' and (with AnyCase) 'a'-'f'; -1 for any other character.
constexpr int hexDigitValue(char c, HexLetters letters = HexLetters::AnyCase)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (letters == HexLetters::AnyCase && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace platform
