// Web addresses as names of models: their scheme and their path.
#include "platform/WebAddress.h"

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

}  // namespace platform::address
