// Web addresses as names of models: their scheme, their path, and the password kept out of sight.
#include "platform/WebAddress.h"

#include <cstring>

namespace platform::address {

std::string schemeOf(const std::string& name)
{
    const size_t end = name.find("://");
    if (end == std::string::npos || end < 2)
        return {};
    std::string scheme = name.substr(0, end);
    for (size_t i = 0; i < end; ++i) {
        char& c = scheme[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        const bool letter = c >= 'a' && c <= 'z';
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return {};
    }
    return scheme;
}

size_t pathStart(const std::string& name)
{
    if (schemeOf(name).empty())
        return 0;
    const size_t host = name.find("://") + 3;
    const size_t start = name.find_first_of("/?#", host);
    return start == std::string::npos ? name.size() : start;
}

size_t pathEnd(const std::string& name)
{
    if (schemeOf(name).empty())
        return name.size();
    const size_t end = name.find_first_of("?#", pathStart(name));
    return end == std::string::npos ? name.size() : end;
}

namespace {

// The text with the password of every address in it shown as "***"; the user information of an
// address ends at the last "@" before the first of `ends` after its "://".
std::string starred(const std::string& text, const char* ends)
{
    std::string shown;
    size_t done = 0;
    for (size_t mark = text.find("://"); mark != std::string::npos; mark = text.find("://", mark + 3)) {
        const size_t from = mark + 3;
        size_t end = from;
        while (end < text.size() && std::strchr(ends, text[end]) == nullptr)
            ++end;
        const size_t at = end == from ? std::string::npos : text.rfind('@', end - 1);
        if (at == std::string::npos || at < from)
            continue;
        const size_t colon = text.find(':', from);
        if (colon >= at - 1)  // no password, or an empty one: nothing to hide
            continue;
        shown.append(text, done, colon + 1 - done);
        shown += "***";
        done = at;
    }
    return shown.append(text, done, std::string::npos);
}

}  // namespace

std::string withoutPasswords(const std::string& text)
{
    // In a message the address may end at a quote or a blank.
    return starred(text, "/?#\"' \t\r\n");
}

std::string withoutPassword(const std::string& name)
{
    // A name is the address whole: a password may hold a blank or a quote.
    return schemeOf(name).empty() ? name : starred(name, "/?#");
}

}  // namespace platform::address
