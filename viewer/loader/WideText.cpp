// Conversions between narrow and wide texts.
#include "viewer/loader/WideText.h"

std::wstring WidenText(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (unsigned char c : text)
        out += static_cast<wchar_t>(c);
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | ((cp >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

std::string NarrowText(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        const auto cp = static_cast<uint32_t>(w);
        if (cp < 0x100)
            out += static_cast<char>(cp);
        else
            AppendUtf8(out, cp);
    }
    return out;
}
