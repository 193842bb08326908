// Basic definitions shared by the whole foundation library: the no-position value.
#pragma once

#include <cstddef>

// The result of every search that finds nothing and the start of a null substring view.
inline constexpr size_t RW_NPOS = static_cast<size_t>(-1);
