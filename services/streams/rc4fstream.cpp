// rc4fstream: the formatted write.
#include "services/streams/rc4fstream.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

int rc4fstream::printf(const char* format, ...)
{
    char small[2048];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    const char* text = small;
    std::unique_ptr<char[]> large;
    if (length >= int(sizeof small)) {
        // Longer texts get a buffer of their own size.
        large.reset(new char[size_t(length) + 1]);
        std::vsnprintf(large.get(), size_t(length) + 1, format, again);
        text = large.get();
    }
    va_end(again);
    if (length <= 0)
        return length < 0 ? -1 : 0;
    write(text, length);
    return good() ? length : -1;
}
