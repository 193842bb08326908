// Writing an RGBA image as an uncompressed 32-bit BMP file (no colour table, rows from the
// bottom, each pixel blue, green, red, 0).
#pragma once

#include <cstdint>
#include <string>

// rgba holds width x height pixels, its first row the lowest. The file is replaced when it
// exists; on any failure no file is left behind and false is returned.
bool WriteBmpFile(const std::string& path, int width, int height, const uint8_t* rgba);
