// DrawPacerC: a fence at the end of each step, waited for kStepsInFlight steps later.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>

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

}  // namespace

DrawPacerC::DrawPacerC() : haveFences(fencesAvailable()) {}

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
        // Without a flush the fence might never be reached; a step's wait ends when it is.
        glClientWaitSync(static_cast<GLsync>(oldest), GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
        glDeleteSync(static_cast<GLsync>(oldest));
    }
    oldest = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
}
