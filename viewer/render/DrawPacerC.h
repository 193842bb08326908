// DrawPacerC: keeps the software renderer's queue of work not yet drawn short while a pass
// hands it many instances.
#pragma once

#include <cstddef>

// Mesa's software renderer gathers the draws it is given into scenes for its threads and
// queues up to 64 of them, each of up to tens of megabytes. A pass over many instances fills
// them faster than the threads draw them: a part placed a million times took 2 GB that way,
// and the frame's pixels came no sooner. So after every step of work the pacer waits until
// the renderer has drawn the steps before the last kStepsInFlight: the threads always have
// work, and a pass that keeps them busy (large surfaces) still overlaps the next one that
// keeps this thread busy (lines made into triangles). Waiting changes no pixel.
//
// Made and used with a context current (where fences are missing it waits with glFinish).
class DrawPacerC {
public:
    // Primitives of a step, and what one draw's own state counts as.
    static constexpr size_t kWorkPerStep = size_t(1) << 20;
    static constexpr size_t kWorkPerDraw = 64;
    static constexpr size_t kStepsInFlight = 2;

    DrawPacerC();
    // Forgets its fences without waiting for them.
    ~DrawPacerC();
    DrawPacerC(const DrawPacerC&) = delete;
    DrawPacerC& operator=(const DrawPacerC&) = delete;

    // One draw of about this many primitives (triangles or lines) was handed over.
    void add(size_t primitives);
    // Steps ended so far (each one a wait).
    size_t steps() const { return stepCount; }

private:
    bool haveFences;
    void* inFlight[kStepsInFlight] = {};  // the GLsync of each step in flight, oldest next
    size_t work = 0;
    size_t stepCount = 0;
};
