// CTavoplexCtrl: stand-ins for operations whose own files have not landed yet (fetching,
// panels). Each goes when the real one arrives.
#include <fstream>
#include <iterator>
#include <vector>

#include "geometry/display/MemoryBlockC.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/loader/UnzipToBlock.h"

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
