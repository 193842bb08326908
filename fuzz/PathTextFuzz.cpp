// Fuzz target: path texts and command lines: splitting, cleaning, normalising, parts,
// relative paths and list tests.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"
#include "services/files/PathText.h"

// Input: a first text, a NUL, then a second text (the base of the relative forms and the
// list of the list tests).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    const std::string first = all.substr(0, nul);
    const std::string second = nul == std::string::npos ? std::string() : all.substr(nul + 1);
    const RWCString a(first.c_str());
    const RWCString b(second.c_str());

    splitPath(first.c_str());
    const int words = countCommandLineWords(first.c_str());
    RWTValOrderedVector<RWCString> argv = splitCommandLine(first.c_str());
    FUZZ_CHECK(words >= 0 && argv.entries() > 0, first);

    toBackslashPath(a);
    cleanPathText(a);
    normalizePath(a);
    combinePath(b, a, false);
    directoryPart(a, false);
    fileNamePart(a);
    fileExtensionPart(a);
    relativePath(a, b);
    listContains(a, b, RWCString::ignoreCase, RWCString(","));
    return 0;
}
