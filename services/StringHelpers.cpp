// Small string helpers: stripping, yes-words and C string copies.
#include "services/StringHelpers.h"

#include <cstring>
#include <string>

RWCString stripChars(RWCString text, int mode, RWCString chars)
{
    if (mode < 1 || mode > 3 || chars.length() == 0)
        return text;
    std::string s(text.data(), text.length());
    const char* set = chars.data();
    size_t setLen = chars.length();
    if (mode & 2) {
        size_t before;
        do {
            before = s.size();
            for (size_t k = 0; k < setLen; ++k)
                while (!s.empty() && s.back() == set[k])
                    s.pop_back();
        } while (s.size() != before);
    }
    if (mode & 1) {
        size_t before, b = 0;
        do {
            before = b;
            for (size_t k = 0; k < setLen; ++k)
                while (b < s.size() && s[b] == set[k])
                    ++b;
        } while (b != before);
        s.erase(0, b);
    }
    return RWCString(s.data(), s.size());
}


bool isYes(const RWCString s)
{
    return s.compareTo("YES", RWCString::ignoreCase) == 0 || s.compareTo("JA", RWCString::ignoreCase) == 0 ||
           s.compareTo("1", RWCString::ignoreCase) == 0;
}

char* copyCString(const char* s)
{
    if (!s)
        return nullptr;
    size_t n = std::strlen(s) + 1;
    char* copy = new char[n];
    std::memcpy(copy, s, n);
    return copy;
}
