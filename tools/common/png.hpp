// Writing PNG pictures: screenshots of the 16-bit surface and exported pack pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/surface.hpp"

namespace zw {

// ARGB pixels (0xAARRGGBB), top row first.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& argb);
// The surface with every 16-bit colour expanded back to 8 bits a channel.
bool WriteSurfacePng(const std::string& path, const TSurface& surface);

}  // namespace zw
