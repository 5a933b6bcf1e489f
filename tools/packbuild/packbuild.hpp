// The content build: each part makes one pack or tune from the sources in assets/.
#pragma once

#include <string>
#include <vector>

#include "packs/pack_io.hpp"

namespace zw::packbuild {

// Each builder reads its sources under `assets` and answers the items in pack order.
std::vector<TPackPicture> BuildMenuPictures(const std::string& assets);   // Res1.gpk
std::vector<TPackPicture> BuildRacePictures(const std::string& assets);   // Res2.gpk
std::vector<TPackPicture> BuildRadarPictures(const std::string& assets);  // Res3.gpk
std::vector<TPackSound> BuildSounds(const std::string& assets);           // Sounds.spk
// A whole XM module made from the score `name` ("Menu" or "Race").
std::vector<uint8_t> BuildTune(const std::string& assets, const std::string& name);

}  // namespace zw::packbuild
