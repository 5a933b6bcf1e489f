// libFuzzer target: any bytes given to the pack readers end in a loaded pack or a clean error.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "packs/pack_io.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  try {
    zw::TImageList images;
    zw::ReadImagePack(bytes, images);
    // Draw every pattern of what loaded, so a damaged geometry is exercised too.
    zw::TSurface surface(64, 48);
    for (int i = 0; i < images.Count(); ++i) {
      const zw::TPictureItem* p = images.Item(i);
      for (int k = 0; k < p->PatternCount() && k < 8; ++k) {
        p->DrawPattern(surface, -3, -3, k);
        p->DrawPatternAlpha(surface, zw::TRect{1, 1, 30, 20}, k, 128);
        p->DrawRotate(surface, 32, 24, 20, 20, k, 0.5, 0.5, 37);
      }
    }
  } catch (const zw::TPackError&) {
  }
  try {
    zw::TSoundList sounds;
    zw::ReadSoundPack(bytes, sounds);
  } catch (const zw::TPackError&) {
  }
  return 0;
}
