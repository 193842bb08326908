// walkChainsAbreast: a walk over the chains of a vertex hash, several chains side by side.
#pragma once

#include <algorithm>
#include <cstddef>

#include "geometry/mesh/FEMeshVertexHashC.h"

// The most chains a walk over the hash takes side by side.
constexpr unsigned kChainsAbreast = 8;

// Visits the vertices of the chains of buckets [begin, end): visit(slot, v) for each, every chain
// in its order. The chains are taken in groups of up to `width` (at most kChainsAbreast), in
// bucket order, and walked side by side (a vertex from each in turn), so that waiting for one
// chain's next vertex overlaps waiting for the others'; `slot` is the chain's place in its
// group. After each group groupDone(n) is called with the group's size, and the walk stops when
// it returns false.
template <class Visit, class GroupDone>
void walkChainsAbreast(const FEMeshVertexHashC& hash, size_t begin, size_t end, unsigned width, Visit&& visit,
                       GroupDone&& groupDone)
{
    width = std::clamp(width, 1u, kChainsAbreast);
    for (int b = hash.nextBucket(int(begin) - 1); b < int(end);) {
        FEMeshVertexC* at[kChainsAbreast];
        unsigned n = 0;
        for (; n < width && b < int(end); b = hash.nextBucket(b))
            at[n++] = hash.getBucketHead(b);
        for (bool any = true; any;) {
            any = false;
            for (unsigned k = 0; k < n; ++k)
                if (FEMeshVertexC* v = at[k]) {
                    at[k] = v->getHashLink();
                    visit(k, v);
                    any = true;
                }
        }
        if (!groupDone(n))
            return;
    }
}
