// Untyped pointer array storage under every pointer vector, and the index checks of the collections.
#pragma once

#include <cstddef>

#include "foundation/RWDefs.h"
#include "foundation/RWxmsg.h"

namespace rwcoll {
// The vectors' check: any index at or beyond the count, RW_NPOS included, is INDEXERR.
inline void checkVectorIndex(size_t index, size_t count)
{
    if (index >= count)
        rwIndexError(index, count);
}

// The check of RWPtrVector and of the list cores: RW_NPOS has a text of its own (NPOSINDEX).
inline void checkIndexOrNpos(size_t index, size_t count)
{
    if (index >= count)
        rwBoundsError(index, count);
}
}  // namespace rwcoll

// A plain array of untyped pointers. The slots are raw storage for pointer values: they are
// read and written by value here, and the typed storage above views them as pointers to T.
class RWPtrVector {
public:
    // n slots, each set to fill; the array is allocated even for n == 0.
    RWPtrVector(size_t n, void* fill);
    // n slots (null pointers), or no array at all for n == 0.
    explicit RWPtrVector(size_t n = 0);
    RWPtrVector(const RWPtrVector& other);
    ~RWPtrVector();

    RWPtrVector& operator=(const RWPtrVector& other);
    // Sets every slot to p.
    RWPtrVector& operator=(void* p);

    size_t length() const { return npts_; }
    // Unchecked slot read and write.
    void* operator()(size_t i) const;
    void set(size_t i, void* p);

    // Changes the number of slots, keeping the first min(old, n) pointers in order.
    void reshape(size_t n);
    // reshape(n), then nulls every slot from the old length on.
    void resize(size_t n);
    // Raises RWBoundsErr (NPOSINDEX for RW_NPOS, else INDEXERR with the length) unless i < length.
    void boundsCheck(size_t i) const;

protected:
    static void** allocate(size_t n);
    static void release(void** array);

    size_t npts_;
    void** array_;
};
