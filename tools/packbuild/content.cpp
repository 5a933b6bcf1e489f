// Reading assets, and the conversion of drawings to keyed or opaque pack pictures.
#include "tools/packbuild/content.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zw::packbuild {

std::string ReadAsset(const std::string& assets, const std::string& relative) {
  std::ifstream in(assets + "/" + relative, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read asset " + relative);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

namespace {

uint32_t Blend(uint32_t argb, uint32_t bg) {
  uint32_t a = argb >> 24;
  auto ch = [&](int shift) {
    uint32_t f = (argb >> shift) & 255, b = (bg >> shift) & 255;
    return ((f * a + b * (255 - a) + 127) / 255) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

// A drawn pixel must never land on the key after the 16-bit reduction.
uint32_t AvoidKey(uint32_t rgb) {
  uint32_t r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
  if (r >= 248 && b >= 248 && g < 4) g = 4;
  return (r << 16) | (g << 8) | b;
}

}  // namespace

TPackPicture KeyedPicture(const std::string& name, int width, int height,
                          const std::vector<uint32_t>& argb, uint32_t edge) {
  TPackPicture p;
  p.Name = name;
  p.Width = width;
  p.Height = height;
  p.Transparent = true;
  p.TransparentColor = KeyColourBgr;
  p.Rgb.resize(argb.size());
  for (size_t i = 0; i < argb.size(); ++i) {
    uint32_t a = argb[i] >> 24;
    p.Rgb[i] =
        a < 128 ? KeyColourRgb : AvoidKey(a == 255 ? (argb[i] & 0xFFFFFF) : Blend(argb[i], edge));
  }
  return p;
}

TPackPicture OpaquePicture(const std::string& name, int width, int height,
                           const std::vector<uint32_t>& argb, uint32_t background) {
  TPackPicture p;
  p.Name = name;
  p.Width = width;
  p.Height = height;
  p.Transparent = false;
  p.TransparentColor = 0;
  p.Rgb.resize(argb.size());
  for (size_t i = 0; i < argb.size(); ++i) p.Rgb[i] = Blend(argb[i], background);
  return p;
}

}  // namespace zw::packbuild
