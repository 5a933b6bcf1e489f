// The content build's cairo canvas and picture helpers.
#include "tools/packbuild/canvas.hpp"

#include <algorithm>
#include <cmath>

#include "tools/packbuild/content.hpp"

namespace zw::packbuild {

TCanvas::TCanvas(int width, int height) : Width(width), Height(height) {
  Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  Cr = cairo_create(Surface);
  cairo_set_antialias(Cr, CAIRO_ANTIALIAS_GOOD);
}

TCanvas::~TCanvas() {
  cairo_destroy(Cr);
  cairo_surface_destroy(Surface);
}

std::vector<uint32_t> TCanvas::Argb() const {
  cairo_surface_flush(Surface);
  std::vector<uint32_t> out(static_cast<size_t>(Width) * Height);
  const unsigned char* data = cairo_image_surface_get_data(Surface);
  const int stride = cairo_image_surface_get_stride(Surface);
  for (int y = 0; y < Height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < Width; ++x) {
      const uint32_t p = row[x];
      const uint32_t a = p >> 24;
      uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      if (a > 0 && a < 255) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
      }
      out[static_cast<size_t>(y) * Width + x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return out;
}

void TCanvas::Colour(const TColour& c, double alpha) {
  cairo_set_source_rgba(Cr, c.R, c.G, c.B, alpha);
}

void TCanvas::RoundRect(double x, double y, double w, double h, double r) {
  cairo_new_sub_path(Cr);
  cairo_arc(Cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(Cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(Cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(Cr, x + r, y + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(Cr);
}

void TCanvas::FillVertical(double y0, double y1, const TColour& top, const TColour& bottom,
                           bool preserve) {
  cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(g, 0, top.R, top.G, top.B);
  cairo_pattern_add_color_stop_rgb(g, 1, bottom.R, bottom.G, bottom.B);
  cairo_set_source(Cr, g);
  if (preserve)
    cairo_fill_preserve(Cr);
  else
    cairo_fill(Cr);
  cairo_pattern_destroy(g);
}

double TCanvas::TextWidth(const std::string& s, double size, bool bold, const char* face) {
  cairo_select_font_face(Cr, face, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(Cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(Cr, s.c_str(), &e);
  return e.x_advance;
}

void TCanvas::Text(const std::string& s, double cx, double cy, double size, const TColour& fill,
                   const TColour& outline, bool bold, const char* face) {
  cairo_select_font_face(Cr, face, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(Cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(Cr, s.c_str(), &e);
  const double x = cx - e.width / 2 - e.x_bearing, y = cy - e.height / 2 - e.y_bearing;
  // Shadow, outline, then a gradient face with a light top.
  cairo_move_to(Cr, x + 2, y + 2);
  cairo_text_path(Cr, s.c_str());
  cairo_set_source_rgba(Cr, 0, 0, 0, 0.55);
  cairo_fill(Cr);
  cairo_move_to(Cr, x, y);
  cairo_text_path(Cr, s.c_str());
  Colour(outline);
  cairo_set_line_width(Cr, std::max(2.0, size / 12));
  cairo_set_line_join(Cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(Cr);
  cairo_pattern_t* g =
      cairo_pattern_create_linear(0, y + e.y_bearing, 0, y + e.y_bearing + e.height);
  cairo_pattern_add_color_stop_rgb(g, 0, std::min(1.0, fill.R + 0.35), std::min(1.0, fill.G + 0.35),
                                   std::min(1.0, fill.B + 0.35));
  cairo_pattern_add_color_stop_rgb(g, 0.5, fill.R, fill.G, fill.B);
  cairo_pattern_add_color_stop_rgb(g, 1, fill.R * 0.7, fill.G * 0.7, fill.B * 0.7);
  cairo_set_source(Cr, g);
  cairo_fill(Cr);
  cairo_pattern_destroy(g);
}

TPackPicture StripPicture(const std::string& name, int pw, int ph,
                          const std::vector<std::vector<uint32_t>>& frames, bool keyed) {
  const int n = static_cast<int>(frames.size());
  std::vector<uint32_t> argb(static_cast<size_t>(pw) * n * ph, 0);
  for (int f = 0; f < n; ++f)
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x)
        argb[static_cast<size_t>(y) * pw * n + static_cast<size_t>(f) * pw + x] =
            frames[static_cast<size_t>(f)][static_cast<size_t>(y) * pw + x];
  TPackPicture p =
      keyed ? KeyedPicture(name, pw * n, ph, argb) : OpaquePicture(name, pw * n, ph, argb);
  p.PatternWidth = pw;
  p.PatternHeight = ph;
  return p;
}

TPackPicture Filler(const std::string& name) {
  return KeyedPicture(name, 1, 1, std::vector<uint32_t>(1, 0));
}

double Noise(uint32_t seed, int x, int y) {
  uint32_t h = seed * 374761393u + static_cast<uint32_t>(x) * 668265263u +
               static_cast<uint32_t>(y) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / 16777215.0;
}

}  // namespace zw::packbuild
