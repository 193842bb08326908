// Unzipping one item of an archive held in memory into a MemoryBlockC.
#pragma once

#include <cstdint>

#include "geometry/display/MemoryBlockC.h"

bool UnzipIndexFromMemory(const void* data, uint32_t length, int index, const char* password, MemoryBlockC& block);
bool UnzipNamedFromMemory(const void* data, uint32_t length, const char* name, const char* password,
                          MemoryBlockC& block);
