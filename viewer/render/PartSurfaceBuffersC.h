// PartSurfaceBuffersC: the surfaces of a model's many small parts, kept in a few shared vertex
// buffers instead of a display list each, and drawn from there.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry/display/FEDisplayPartC.h"
#include "services/objects/refHandle.h"

class FEDisplayCornersC;

// Mesa keeps every display list of a few hundred words in one store per share group, and
// finds room for each new one by walking that store from the first list that left room in
// it: each list costs in proportion to the lists made before it, and a model of 400,000
// one-triangle parts took over a minute for its lists alone. So only the first OwnLists parts
// of a model get lists of their own (a few milliseconds of that walk); the corners of the
// others go one after the other into buffers of a few megabytes, and each such part is drawn
// from its range: the same triangles in the same order under the same state, so the same
// pixels. A part drawn from here keeps the list name -1.
//
// The buffers live in the share group of the context current when they were filled; every call
// that touches them needs a context of that group current. Destroying the object forgets the
// buffers without deleting them: they go with the group's last context.
class PartSurfaceBuffersC {
public:
    // Parts of a model with display lists of their own before the others come here.
    size_t OwnLists = 4096;

    // Whether the next part that would take a list of its own comes here instead, and notes
    // that it does not when it does not.
    bool takesNextPart();
    // Appends the part's corners (replacing a range it had) and records its range, holding the
    // part until it is forgotten (a part freed and another made in its place never finds its
    // range). Throws std::bad_alloc when no buffer can be had; the part then has no range.
    void add(const refHandle<FEDisplayPartC>& part, const FEDisplayCornersC& corners);
    // The part no longer draws from here (its range stays unused until release).
    void forget(const FEDisplayPartC& part);
    bool holds(const FEDisplayPartC& part) const;
    // No part and no buffer.
    bool empty() const { return ranges.empty() && buffers.empty(); }
    // Draws the part's triangles when it has a range here; false when it has none.
    bool draw(const FEDisplayPartC& part) const;
    // Deletes the buffers (a context of their group current, else they are only forgotten) and
    // forgets every part; the count of own lists starts again.
    void release(bool contextCurrent);

private:
    struct Range {
        uint32_t buffer = 0;  // index into buffers
        GLint first = 0;      // corners
        GLsizei count = 0;
        refHandle<FEDisplayPartC> part;
    };
    std::vector<GLuint> buffers;
    size_t usedInLast = 0;  // bytes of the last buffer taken
    size_t lastSize = 0;    // bytes of the last buffer
    size_t ownListsGiven = 0;
    std::unordered_map<const FEDisplayPartC*, Range> ranges;
};
