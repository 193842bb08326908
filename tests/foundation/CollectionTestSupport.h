// Helpers shared by the collection tests: bounds-error capture and small element types.
#pragma once

#include <functional>
#include <string>

#include "foundation/RWxmsg.h"

// The why() text of the RWBoundsErr raised by fn, or "no error".
inline std::string boundsText(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const RWBoundsErr& e) {
        return e.why();
    }
    return "no error";
}

inline std::string indexErr(unsigned i, unsigned n)
{
    return "[INDEXERR] Illegal Index (" + std::to_string(i) + ") for collection or string with " +
           std::to_string(n) + " elements";
}

inline const std::string kNposIndex = "[NPOSINDEX] The value RW_NPOS cannot be used as an index.";

// A keyed record: equality and order by key only, so records with one key can be told apart
// by their tag. Counts its live instances.
struct Keyed {
    static inline int live = 0;
    Keyed(int k = 0, int t = 0) : key(k), tag(t) { ++live; }
    Keyed(const Keyed& o) : key(o.key), tag(o.tag) { ++live; }
    Keyed& operator=(const Keyed&) = default;
    virtual ~Keyed() { --live; }
    bool operator==(const Keyed& o) const { return key == o.key; }
    bool operator<(const Keyed& o) const { return key < o.key; }
    int key;
    int tag;
};

// An element type whose equality is never true (as some record types of the system have).
struct NeverEqual {
    int word = 0;
    bool operator==(const NeverEqual&) const { return false; }
};
