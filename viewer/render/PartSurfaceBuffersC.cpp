// PartSurfaceBuffersC: small parts' corners appended to shared vertex buffers, and drawn by range.
// For the buffer objects of OpenGL 1.5, which the libraries export.
#define GL_GLEXT_PROTOTYPES 1
#include "viewer/render/PartSurfaceBuffersC.h"

#include <GL/glext.h>

#include <algorithm>
#include <limits>
#include <new>

#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FEDisplayPartC.h"

namespace {

constexpr size_t kBytesPerCorner = FEDisplayCornersC::kFloatsPerCorner * sizeof(float);
// Corners of one buffer (3 MB): a few dozen buffers for the largest models of small parts, and
// little left unused at the end of each. A part of more corners has a buffer of its own.
constexpr size_t kCornersPerBuffer = size_t(1) << 17;

}  // namespace

bool PartSurfaceBuffersC::takesNextPart()
{
    if (ownListsGiven < OwnLists) {
        ++ownListsGiven;
        return false;
    }
    return true;
}

void PartSurfaceBuffersC::add(const refHandle<FEDisplayPartC>& part, const FEDisplayCornersC& corners)
{
    forget(*part);
    const size_t count = 3 * corners.triangles();
    const size_t bytes = count * kBytesPerCorner;
    if (count > size_t(std::numeric_limits<GLsizei>::max()))
        throw std::bad_alloc();
    // Taken before the buffer is filled: a part either has its range or none.
    Range& range = ranges[part.get()];
    try {
        if (bytes > 0 && (buffers.empty() || lastSize - usedInLast < bytes)) {
            const size_t size = std::max(count, kCornersPerBuffer) * kBytesPerCorner;
            buffers.reserve(buffers.size() + 1);
            GLuint name = 0;
            glGenBuffers(1, &name);
            if (name == 0)
                throw std::bad_alloc();
            // Errors left by earlier commands would pass for this buffer's.
            for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
            }
            glBindBuffer(GL_ARRAY_BUFFER, name);
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size), nullptr, GL_STATIC_DRAW);
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            if (glGetError() == GL_OUT_OF_MEMORY) {
                glDeleteBuffers(1, &name);
                throw std::bad_alloc();
            }
            buffers.push_back(name);
            usedInLast = 0;
            lastSize = size;
        }
    } catch (...) {
        ranges.erase(part.get());
        throw;
    }
    range.buffer = buffers.empty() ? 0 : uint32_t(buffers.size() - 1);
    range.first = GLint(usedInLast / kBytesPerCorner);
    range.count = GLsizei(count);
    range.part = part;
    if (bytes > 0) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers.back());
        glBufferSubData(GL_ARRAY_BUFFER, GLintptr(usedInLast), GLsizeiptr(bytes), corners.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    usedInLast += bytes;
}

void PartSurfaceBuffersC::forget(const FEDisplayPartC& part) { ranges.erase(&part); }

bool PartSurfaceBuffersC::holds(const FEDisplayPartC& part) const { return ranges.count(&part) != 0; }

bool PartSurfaceBuffersC::draw(const FEDisplayPartC& part) const
{
    const auto found = ranges.find(&part);
    if (found == ranges.end())
        return false;
    const Range& range = found->second;
    if (range.count == 0)
        return true;
    // The array state is the client's: it is set for this draw only, as a list's compile did.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[range.buffer]);
    glInterleavedArrays(GL_N3F_V3F, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDrawArrays(GL_TRIANGLES, range.first, range.count);
    glPopClientAttrib();
    return true;
}

void PartSurfaceBuffersC::release(bool contextCurrent)
{
    if (contextCurrent && !buffers.empty())
        glDeleteBuffers(GLsizei(buffers.size()), buffers.data());
    buffers.clear();
    buffers.shrink_to_fit();
    usedInLast = lastSize = 0;
    ownListsGiven = 0;
    ranges.clear();
    ranges.rehash(0);
}
