// Fuzz target: the XML reader (XMLDocumentC::parseString and parse from a stream), then the
// writer on whatever was read, and a second read of what the writer wrote.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "foundation/RWCString.h"
#include "services/xml/XMLDocumentC.h"

// The first byte picks the reader's settings and entry point; the rest is the document.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    XMLDocumentC doc;
    doc.setRequireHeader((flags & 1) != 0);
    doc.setAutoCreate((flags & 2) != 0);
    doc.setEntityFlags((flags >> 2) & 3);
    bool ok = false;
    switch ((flags >> 4) & 3) {
    case 0:
        ok = doc.parseString(RWCString(text, length));
        break;
    case 1: {
        // The C-string entry point reads up to the first NUL.
        std::string copy(text, length);
        ok = doc.parseString(copy.c_str());
        break;
    }
    default: {
        std::istringstream in(std::string(text, length));
        ok = doc.parse(in);
        break;
    }
    }
    if (ok == doc.hasError())
        std::abort();  // the result and the recorded failure disagree
    if (!ok)
        return 0;

    // With full entity handling the writer's text must read back to the same document.
    RWCString written;
    const bool compact = (flags & 0x40) != 0;
    doc.writeString(written, compact);
    if (doc.getEntityFlags() == 3) {
        XMLDocumentC again;
        again.setRequireHeader(false);
        if (!again.parseString(written))
            std::abort();
        RWCString rewritten;
        again.writeString(rewritten, compact);
        if (rewritten != written)
            std::abort();
    }
    return 0;
}
