// OleControl: the texts a control hands its container.
#include "platform/com/OleControl.h"

namespace platform::com {

std::string oneLineText(const std::string& text)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) {
            out += c;
            continue;
        }
        out += '\\';
        switch (c) {
        case '\n': out += 'n'; break;
        case '\r': out += 'r'; break;
        case '\t': out += 't'; break;
        default:
            out += 'x';
            out += kDigits[u >> 4];
            out += kDigits[u & 15];
        }
    }
    return out;
}

}  // namespace platform::com
