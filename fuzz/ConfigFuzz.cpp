// Fuzz target: the .cfg reader (CSConfig reading a stream), the cursors over what it read,
// and the writer, whose text must read back to the same text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"
#include "services/config/CSConfig.h"

namespace {

std::string writeOut(CSConfig& config)
{
    std::ostringstream out;
    config.writeStream(out);
    return out.str();
}

// Walks every block and item through the cursors. True when an item's line would read back
// as something else: a key that begins with a comment character (';', '*', '!', '#') reads
// back as a comment, and one that begins with '[' on a line holding a ']' as a block header.
bool walk(CSConfig& config)
{
    bool unwritable = false;
    RWCString block;
    size_t blocks = 0;
    for (bool more = config.firstBlock(block); more; more = config.nextBlock(block)) {
        FUZZ_CHECK(++blocks <= 100000);  // the block cursor ends
        config.beginItemIteration(block);
        RWCString key;
        size_t items = 0;
        for (bool moreItems = config.firstItem(key); moreItems; moreItems = config.nextItem(key)) {
            FUZZ_CHECK(++items <= 100000);
            // The cursor names items that can be found.
            FUZZ_CHECK(config.hasItem(key, block), std::string(key.data(), key.length()),
                       std::string(block.data(), block.length()));
            const char first = key.length() ? key.data()[0] : '\0';
            if (first == ';' || first == '*' || first == '!' || first == '#' || first == '[')
                unwritable = true;
        }
    }
    return unwritable;
}

// True when a written line reads back as something else: a line ending in a carriage return
// loses it (the reader strips line ends); a bare marker line "#-", "#!" or "#~" is written as
// "# ", which reads back and is written as "#"; an inactive item whose key begins with a
// comment character or '[' reads back as a comment or a header.
bool hasUnstableLine(const std::string& written)
{
    size_t start = 0;
    while (start < written.size()) {
        size_t end = written.find('\n', start);
        if (end == std::string::npos)
            end = written.size();
        const std::string line = written.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            return true;
        if (line == "# ")
            return true;
        std::string rest;
        if (line.rfind("#-", 0) == 0)
            rest = line.substr(2);
        else if (line.rfind("#:INACTIVE;", 0) == 0)
            rest = line.substr(11);
        if (!rest.empty() && std::string(";*!#[").find(rest[0]) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

// Input: a settings byte (ignore case, multiple values, read twice merging), then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    CSConfig config((flags & 1) != 0);
    config.setMultiValue((flags & 2) != 0);
    std::istringstream in(text);
    config.readStream(in, false);
    if (flags & 4) {
        std::istringstream second(text);
        config.readStream(second, true);
    }
    const bool unwritable = walk(config);
    const std::string written = writeOut(config);

    // What the writer wrote reads back into a configuration that writes the same text (NUL
    // bytes included), unless a key or a written line reads back as something else (see above).
    if (unwritable || hasUnstableLine(written))
        return 0;
    CSConfig again((flags & 1) != 0);
    again.setMultiValue((flags & 2) != 0);
    std::istringstream back(written);
    again.readStream(back, false);
    const std::string rewritten = writeOut(again);
    FUZZ_CHECK(rewritten == written, written, rewritten);
    return 0;
}
