// SVG rasterising with librsvg and cairo, and the conversion to keyed or opaque pictures.
#include "tools/packbuild/svg.hpp"

#include <cairo.h>
#include <librsvg/rsvg.h>

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

std::vector<uint32_t> RenderSvg(const std::string& svg, int width, int height) {
  GError* err = nullptr;
  RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()),
                                                 svg.size(), &err);
  if (!handle) {
    std::string msg = err ? err->message : "unknown error";
    if (err) g_error_free(err);
    throw std::runtime_error("bad SVG: " + msg);
  }
  cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surf);
  RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
  if (!rsvg_handle_render_document(handle, cr, &viewport, &err)) {
    std::string msg = err ? err->message : "unknown error";
    if (err) g_error_free(err);
    cairo_destroy(cr);
    cairo_surface_destroy(surf);
    g_object_unref(handle);
    throw std::runtime_error("cannot render SVG: " + msg);
  }
  cairo_surface_flush(surf);
  std::vector<uint32_t> out(static_cast<size_t>(width) * height);
  const unsigned char* data = cairo_image_surface_get_data(surf);
  const int stride = cairo_image_surface_get_stride(surf);
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      uint32_t p = row[x];
      uint32_t a = p >> 24;
      uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      if (a > 0 && a < 255) {  // cairo stores premultiplied colour
        r = (r * 255 + a / 2) / a;
        g = (g * 255 + a / 2) / a;
        b = (b * 255 + a / 2) / a;
      }
      out[static_cast<size_t>(y) * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surf);
  g_object_unref(handle);
  return out;
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
    p.Rgb[i] = a < 128 ? KeyColourRgb : AvoidKey(a == 255 ? (argb[i] & 0xFFFFFF) : Blend(argb[i], edge));
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
