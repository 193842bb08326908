// CTavoplexCtrl: stand-ins for operations whose own files have not landed yet (frames,
// drawing, camera, fetching, panels). Each goes when the real one arrives.
#include <GL/gl.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "geometry/display/MemoryBlockC.h"
#include "platform/host/Host.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/loader/UnzipToBlock.h"

void CTavoplexCtrl::RenderFrame()
{
    if (!RenderingToBitmap)
        DeviceContext = WindowSurface.get();
    if (!LockOpenGL())
        return;
    if (!RenderingToBitmap && HostSite != nullptr) {
        WindowWidth = HostSite->clientSize().width;
        WindowHeight = HostSite->clientSize().height;
    }
    if (Start != 0 && Loading) {
        DrawLoadingFrame();
    } else {
        glClearColor(ColorFadeInValue.r(), ColorFadeInValue.g(), ColorFadeInValue.b(), 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        PresentFrame();
    }
    UnlockOpenGL();
}

void CTavoplexCtrl::SetupViewport()
{
    glViewport(0, 0, WindowWidth, WindowHeight);
    Viewport[0] = 0;
    Viewport[1] = 0;
    Viewport[2] = WindowWidth;
    Viewport[3] = WindowHeight;
}

void CTavoplexCtrl::MakeListFromMesh(const refHandle<FEDisplayPartC>&) {}
void CTavoplexCtrl::DrawGears(float) {}
void CTavoplexCtrl::ComputeBoundingBoxes(bool) {}
void CTavoplexCtrl::SetStandardView(int, bool, int, bool) {}
void CTavoplexCtrl::AnimateToRotation(const TransformMatrix&, bool, int) {}
void CTavoplexCtrl::BuildPanels() {}

int CTavoplexCtrl::LoadFileInternal(const RWCString& name, MemoryBlockC& block, bool)
{
    std::ifstream in(name.data(), std::ios::binary);
    if (!in)
        return 1;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!block.Allocate(uint32_t(bytes.size())))
        return 1;
    std::copy(bytes.begin(), bytes.end(), block.GetData());
    return 0;
}

bool UnzipIndexFromMemory(const void*, uint32_t, int, const char*, MemoryBlockC&) { return false; }
bool UnzipNamedFromMemory(const void*, uint32_t, const char*, const char*, MemoryBlockC&) { return false; }
