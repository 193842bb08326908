// Failure report of the fuzz targets: what went wrong and the texts involved, then abort so
// that libFuzzer (or the replay driver) stops on the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

inline void fuzzPrintText(const char* label, const std::string& text)
{
    std::fprintf(stderr, "%s (%zu bytes): \"", label, text.size());
    for (unsigned char c : text) {
        if (c == '\\' || c == '"')
            std::fprintf(stderr, "\\%c", c);
        else if (c >= 0x20 && c < 0x7F)
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x", c);
    }
    std::fprintf(stderr, "\"\n");
}

[[noreturn]] inline void fuzzFailure(const char* what, const std::string& first = std::string(),
                                     const std::string& second = std::string())
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    if (!first.empty())
        fuzzPrintText("first", first);
    if (!second.empty())
        fuzzPrintText("second", second);
    std::abort();
}

#define FUZZ_CHECK(cond, ...) \
    do { \
        if (!(cond)) \
            fuzzFailure(#cond __VA_OPT__(, ) __VA_ARGS__); \
    } while (0)
