// Small records the control's state uses: a window point and a logical palette.
#pragma once

#include <cstdint>
#include <vector>

// A point in window pixels, y from the top (mouse positions).
struct ControlPoint {
    int x = 0;
    int y = 0;
};

// A logical palette for displays that need one; empty means "no palette". Entries are
// 0x00BBGGRR, as a palette entry holds them.
struct PaletteRecord {
    std::vector<uint32_t> entries;
    bool isEmpty() const { return entries.empty(); }
};
