// Fuzz target: arbitrary bytes as a tagged record file (plain or gzip), read head by head with
// every value read, some groups skipped and a bookmark restored; the end of the data or damage
// must end the read with status 6 and a FileException (compressed data that cannot be unpacked
// already fails the open, with status 2), never a crash or a runaway allocation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzMemoryFile.h"
#include "services/streams/csrecordfile.h"

// Input: a choice byte (bit 0: skip every group; bit 1: mark at the first value and restore
// at the end), then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int choice = data[0];
    FuzzMemoryFile file(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    if (!file.ok())
        return 0;
    csrecordfile in(file.name().c_str(), false);
    // The whole file is read at the open: compressed data that cannot be unpacked (a bad
    // header, a stream cut short) or a file beyond the size cap opens with the failed status,
    // after which nothing reads.
    if (in.getStatus() != 0) {
        FUZZ_CHECK(in.getStatus() == 2);
        RWCString first, second;
        unsigned roots = 0;
        int i = 0;
        FUZZ_CHECK(!in.readHeader(first, second, roots) && !in.getInt(i));
        return 0;
    }
    const size_t length = in.text().size();
    csrecordbookmark mark;
    try {
        RWCString first, second;
        unsigned roots = 0, tag = 0, count = 0;
        FUZZ_CHECK(in.readHeader(first, second, roots));
        for (int heads = 0; heads < 100000; ++heads) {
            if (in.readRecordHead(tag, count)) {
                FUZZ_CHECK(count <= length);
                const char* text = nullptr;
                int i = 0;
                double d = 0;
                FUZZ_CHECK(in.getString(text) && in.getInt(i) && in.getDouble(d));
                if ((choice & 2) && !mark.isSet())
                    in.mark(mark);
            } else {
                FUZZ_CHECK(in.getStatus() == 0);
                if (choice & 1)
                    FUZZ_CHECK(in.skipRecord());
            }
        }
    } catch (const FileException& e) {
        FUZZ_CHECK(e.code() == 6 && in.getStatus() == 6);
        int i = 0;
        FUZZ_CHECK(!in.getInt(i) && !in.skipRecord());
    }
    in.restore(mark);
    return 0;
}
