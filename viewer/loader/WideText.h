// Conversions between the system's narrow texts and the wide texts of the download classes.
#pragma once

#include <cstdint>
#include <string>

// Each byte becomes the character of the same value and back, so a narrow text (an address
// or a file name, whatever its bytes) survives the trip unchanged. Wide characters above 255
// narrow to their UTF-8 bytes.
std::wstring WidenText(const std::string& text);
std::string NarrowText(const std::wstring& text);

// The UTF-8 bytes of the code point `cp` (at most U+10FFFF), appended to `out`.
void AppendUtf8(std::string& out, uint32_t cp);
