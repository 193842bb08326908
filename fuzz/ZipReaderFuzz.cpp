// Fuzz target: the in-memory ZIP reader over arbitrary bytes. The archive is listed, looked
// up by name, and its first items unzipped both whole and piece by piece; both ways must
// agree, and an item that comes out must have exactly its recorded size. Encrypted items are
// read with the seeds' password "secret", and once more without a password, which must never
// let one out.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "viewer/loader/UnzipToBlock.h"
#include "viewer/loader/ZipHandle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool capped = (SetMaxUnzipBytes(4u << 20), true);
    (void)capped;
    const uint32_t length = static_cast<uint32_t>(size);
    ZipHandle* h = OpenZipHandleFromMemory(data, length, "secret");
    if (!h) {
        FUZZ_CHECK(LastZipResult != 0);
        return 0;
    }
    ZipEntryInfo count;
    FUZZ_CHECK(GetZipItem(h, -1, &count) == 0);
    const int items = count.index < 8 ? count.index : 8;
    for (int i = 0; i < items; ++i) {
        ZipEntryInfo r;
        if (GetZipItem(h, i, &r) != 0)
            continue;
        FUZZ_CHECK(r.index == i && std::memchr(r.name, 0, sizeof r.name) != nullptr);
        int found = -2;
        if (FindZipItem(h, r.name, true, &found, nullptr) == 0)
            FUZZ_CHECK(found >= 0 && found < count.index);

        MemoryBlockC whole;
        const bool wholeOk = UnzipItemToBlock(h, data, length, i, "secret", whole);
        FUZZ_CHECK(whole.GetData() != nullptr && whole.GetData()[whole.GetSize()] == '\0');
        // An item is read by its own method or not at all.
        unsigned unreadMethod = 1;
        FUZZ_CHECK(h->archive->Listed(i, nullptr, &unreadMethod));
        if (wholeOk)
            FUZZ_CHECK(whole.GetSize() == r.uncompressedSize && unreadMethod == 0);

        // Piece by piece, bounded by the same cap.
        std::vector<char> piece(16384);
        std::string pieces;
        uint32_t result, n = 0;
        while ((result = UnzipZipItemToMemory(h, i, piece.data(), uint32_t(piece.size()), &n)) == 0x600u) {
            FUZZ_CHECK(n > 0 && n <= piece.size());
            pieces.append(piece.data(), n);
            if (pieces.size() > MaxUnzipBytes())
                break;
        }
        if (result == 0)
            FUZZ_CHECK(pieces.size() == r.uncompressedSize && unreadMethod == 0);
        if (wholeOk && result == 0)
            FUZZ_CHECK(pieces == std::string(whole.GetData(), whole.GetSize()));
    }
    FUZZ_CHECK(CloseZipHandle(h) == 0);

    // Without a password: an item either comes out as it did with one (it is plain) or asks
    // for the password; an encrypted item's bytes never pass as plain.
    ZipHandle* bare = OpenZipHandleFromMemory(data, length, nullptr);
    FUZZ_CHECK(bare != nullptr);
    for (int i = 0; i < items; ++i) {
        MemoryBlockC block;
        if (!UnzipItemToBlock(bare, data, length, i, nullptr, block))
            continue;
        ZipHandle* again = OpenZipHandleFromMemory(data, length, "another");
        MemoryBlockC other;
        FUZZ_CHECK(UnzipItemToBlock(again, data, length, i, "another", other));
        FUZZ_CHECK(other.GetSize() == block.GetSize() &&
                   std::memcmp(other.GetData(), block.GetData(), block.GetSize()) == 0);
        CloseZipHandle(again);
    }
    CloseZipHandle(bare);
    MemoryBlockC named;
    UnzipNamedFromMemory(data, length, "model.zjv", "", named);
    return 0;
}
