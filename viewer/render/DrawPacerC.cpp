// DrawPacerC: a fence at the end of each step, waited for kStepsInFlight steps later.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <utility>

#include "viewer/render/DrawPacerC.h"

namespace {

// Fences came with OpenGL 3.2.
bool fencesAvailable()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr)
        return false;
    char* end = nullptr;
    const long major = std::strtol(version, &end, 10);
    const long minor = *end == '.' ? std::strtol(end + 1, nullptr, 10) : 0;
    return major > 3 || (major == 3 && minor >= 2);
}

unsigned clientWait(void* fence, uint64_t limitNs)
{
    // Without a flush the fence might never be reached; a wait ends when it is.
    return glClientWaitSync(static_cast<GLsync>(fence), GL_SYNC_FLUSH_COMMANDS_BIT, limitNs);
}

bool signalled(unsigned status) { return status == GL_ALREADY_SIGNALED || status == GL_CONDITION_SATISFIED; }

}  // namespace

DrawPacerC::FenceWait DrawPacerC::fenceWait = clientWait;

bool DrawPacerC::caughtUp(uint64_t limitNs)
{
    if (!fencesAvailable()) {
        glFinish();  // nothing to bound it with
        return true;
    }
    GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (fence == nullptr)
        return false;
    const bool done = signalled(fenceWait(fence, limitNs));
    glDeleteSync(fence);
    return done;
}

DrawPacerC::DrawPacerC(std::function<bool()> gate) : gate(std::move(gate)), haveFences(fencesAvailable()) {}

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
        glFinish();
        return;
    }
    void*& oldest = inFlight[stepCount % kStepsInFlight];
    if (oldest != nullptr) {
        const bool done = signalled(fenceWait(oldest, kWaitLimitNs));
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
