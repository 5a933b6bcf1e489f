// Shared pieces of the content build: reading asset files and turning drawings into pack pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packs/pack_io.hpp"

namespace zw::packbuild {

// The whole text of a file under the assets folder; throws std::runtime_error when missing.
std::string ReadAsset(const std::string& assets, const std::string& relative);

// The colour key every keyed picture uses: a magenta no drawing uses (0x00BBGGRR form).
constexpr uint32_t KeyColourBgr = 0x00FF00FF;
constexpr uint32_t KeyColourRgb = 0x00FF00FF;

// Turns ARGB pixels into a keyed pack picture: pixels under half coverage become the key,
// the others keep their colour. Edge pixels are blended over `edge` (0xRRGGBB) so
// anti-aliased rims sit well on the usual background.
TPackPicture KeyedPicture(const std::string& name, int width, int height,
                          const std::vector<uint32_t>& argb, uint32_t edge = 0x101018);
// An opaque picture: every pixel blended over `background` (0xRRGGBB), Transparent off.
TPackPicture OpaquePicture(const std::string& name, int width, int height,
                           const std::vector<uint32_t>& argb, uint32_t background = 0x000000);

}  // namespace zw::packbuild
