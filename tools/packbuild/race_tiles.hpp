// The race tile strip of image list 2.
#pragma once

#include <string>

#include "packs/pack_io.hpp"

namespace zw::packbuild {

// 74 tiles of 72 x 72, pattern n = tile code n, fully opaque.
TPackPicture BuildTileStrip(const std::string& assets);

}  // namespace zw::packbuild
