// PNG writing with libpng.
#include "tools/common/png.hpp"

#include <png.h>

#include <cstdio>

namespace zw {

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& argb) {
  if (width <= 0 || height <= 0 || argb.size() != static_cast<size_t>(width) * height) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = argb[static_cast<size_t>(y) * width + x];
      row[4 * x] = static_cast<uint8_t>(p >> 16);
      row[4 * x + 1] = static_cast<uint8_t>(p >> 8);
      row[4 * x + 2] = static_cast<uint8_t>(p);
      row[4 * x + 3] = static_cast<uint8_t>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

bool WriteSurfacePng(const std::string& path, const TSurface& surface) {
  std::vector<uint32_t> argb(surface.Pixels.size());
  for (size_t i = 0; i < argb.size(); ++i) {
    uint8_t r, g, b;
    Rgb565ToRgb(surface.Pixels[i], r, g, b);
    argb[i] = 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
  }
  return WritePng(path, surface.Width, surface.Height, argb);
}

}  // namespace zw
