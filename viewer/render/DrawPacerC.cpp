// DrawPacerC: a fence at the end of each step, waited for kStepsInFlight steps later.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <utility>

#include "viewer/render/DrawPacerC.h"

using platform::gl::GlContext;

bool DrawPacerC::caughtUp(uint64_t limitNs) { return GlContext::finishWithin(limitNs); }

DrawPacerC::DrawPacerC(std::function<bool()> gate) : gate(std::move(gate)), haveFences(GlContext::hasFences()) {}

DrawPacerC::~DrawPacerC()
{
    for (void* fence : inFlight)
        if (fence != nullptr)
            glDeleteSync(static_cast<GLsync>(fence));
}

void DrawPacerC::add(size_t primitives)
{
    work += primitives + kWorkPerDraw;
    if (work < kWorkPerStep)
        return;
    work = 0;
    ++stepCount;
    if (!haveFences) {
        if (!caughtUp())
            throw Stalled();
        return;
    }
    void*& oldest = inFlight[stepCount % kStepsInFlight];
    if (oldest != nullptr) {
        const bool done = GlContext::fenceSignalled(oldest, kWaitLimitNs);
        glDeleteSync(static_cast<GLsync>(oldest));
        oldest = nullptr;
        if (!done)
            throw Stalled();
    }
    oldest = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
}

bool DrawPacerC::open()
{
    // Once per step: its wait let the renderer free what it had drawn.
    if (isOpen && gate && askedBefore != stepCount + 1) {
        askedBefore = stepCount + 1;
        isOpen = gate();
    }
    return isOpen;
}
