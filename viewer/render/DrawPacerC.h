// DrawPacerC: keeps the software renderer's queue of work not yet drawn short while a pass
// hands it many instances.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "platform/gl/GlContext.h"

// Mesa's software renderer gathers the draws it is given into scenes for its threads and
// queues up to 64 of them, each of up to tens of megabytes. A pass over many instances fills
// them faster than the threads draw them: a part placed a million times took 2 GB that way,
// and the frame's pixels came no sooner. So after every step of work the pacer waits until
// the renderer has drawn the steps before the last kStepsInFlight: the threads always have
// work, and a pass that keeps them busy (large surfaces) still overlaps the next one that
// keeps this thread busy (lines made into triangles). Waiting changes no pixel.
//
// Made and used with a context current (where fences are missing it waits for the renderer to
// finish).
//
// Under a memory limit each step also passes a gate (the control's RendererRoomLeft): where it
// finds the renderer's room gone, open() says so and the pass hands over nothing more.
//
// A wait is bounded (GlContext::finishWithin's bound): a renderer thread that failed (no memory
// for its work) never draws its step, and waiting for it would keep the process for ever. A step
// not drawn within the bound throws Stalled, and the renderer is not to be trusted with any
// further call.
class DrawPacerC {
public:
    struct Stalled : std::runtime_error {
        Stalled() : std::runtime_error("the renderer did not draw its work in time") {}
    };
    static constexpr uint64_t kWaitLimitNs = platform::gl::GlContext::kWaitLimitNs;
    // Waits, within the bound, until the renderer has drawn everything handed to it so far;
    // false when it has not by then. Made with a context current.
    static bool caughtUp(uint64_t limitNs = kWaitLimitNs);

    // Primitives of a step, and what one draw's own state counts as.
    static constexpr size_t kWorkPerStep = size_t(1) << 20;
    static constexpr size_t kWorkPerDraw = 64;
    static constexpr size_t kStepsInFlight = 2;

    // gate: asked before the first draw and after each step; none lets every step pass.
    explicit DrawPacerC(std::function<bool()> gate = {});
    // Forgets its fences without waiting for them.
    ~DrawPacerC();
    DrawPacerC(const DrawPacerC&) = delete;
    DrawPacerC& operator=(const DrawPacerC&) = delete;

    // One draw of about this many primitives (triangles or lines) was handed over. Throws
    // Stalled where a step before it is not drawn within kWaitLimitNs.
    void add(size_t primitives);
    // Steps ended so far (each one a wait).
    size_t steps() const { return stepCount; }
    // Whether the renderer may be handed more: false from the first step the gate refused.
    bool open();

private:
    std::function<bool()> gate;
    bool isOpen = true;
    size_t askedBefore = 0;  // the gate was last asked before this step (1 + its index)
    bool haveFences;
    void* inFlight[kStepsInFlight] = {};  // the GLsync of each step in flight, oldest next
    size_t work = 0;
    size_t stepCount = 0;
};
