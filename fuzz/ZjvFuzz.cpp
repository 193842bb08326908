// Fuzz target: the ZJV model reader from memory into a part list, or merged into one mesh.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/RWxmsg.h"
#include "fuzz/FuzzCheck.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/readers/ZJVReaderC.h"

// Input: a choice byte (bit 0: merge into one mesh part; bit 1: read again under limits set to
// what the text holds, and each to one less), then the ZJV text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    ZJVReaderC reader;
    const uint32_t length = uint32_t(size - 1);
    FUZZ_CHECK(reader.buffer().Allocate(length));
    std::memcpy(reader.buffer().GetData(), data + 1, length);
    try {
        if (choice & 1) {
            FEMeshPartC part;
            reader.mergeIntoPart(&part);
        } else {
            FEDisplayPartListC list;
            reader.parse(&list);
            FUZZ_CHECK(reader.getPosition() <= length);
            if (choice & 2) {
                // The count before the build must find exactly what the build makes.
                const size_t parts = list.partCount(), placements = list.instanceCount();
                reader.setPartLimit(parts);
                reader.setPlacementLimit(placements);
                FEDisplayPartListC same;
                reader.parse(&same);
                FUZZ_CHECK(!reader.partLimitReached() && !reader.placementLimitReached());
                FUZZ_CHECK(same.partCount() == parts && same.instanceCount() == placements);
                if (parts > 0) {
                    reader.setPartLimit(parts - 1);
                    FEDisplayPartListC none;
                    reader.parse(&none);
                    FUZZ_CHECK(reader.partLimitReached() && none.partCount() == 0 && none.instanceCount() == 0);
                    reader.setPartLimit(parts);
                }
                if (placements > 0) {
                    reader.setPlacementLimit(placements - 1);
                    FEDisplayPartListC none;
                    reader.parse(&none);
                    FUZZ_CHECK(reader.placementLimitReached() && !reader.partLimitReached() &&
                               none.partCount() == 0 && none.instanceCount() == 0);
                }
            }
        }
    } catch (const RWBoundsErr&) {
        // A placement of a part that was not read, or a face colour index outside the colour
        // table, raises the collection's bounds error; what was read before it stays.
    }
    return 0;
}
