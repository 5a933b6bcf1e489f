// Image list 3: the track radar's road cells, the opponent dot, the rider's marker and frame.
#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/packbuild/canvas.hpp"
#include "tools/packbuild/packbuild.hpp"
#include "tools/packbuild/content.hpp"

namespace zw::packbuild {

namespace {

constexpr double StripeWidth = 5.0;

// A stripe of road running from x `top` at the top to x `bottom` at the bottom of a pair of
// cells (20 x 15); answers the left and right cells.
std::pair<TPackPicture, TPackPicture> StripePair(const std::string& left, const std::string& right, double top,
                                                 double bottom) {
  TCanvas c(20, 15);
  cairo_move_to(c.Cr, top, -1);
  cairo_line_to(c.Cr, bottom, 16);
  cairo_set_line_width(c.Cr, StripeWidth);
  c.Colour(TColour{0.35, 1.0, 0.55});
  cairo_stroke(c.Cr);
  const auto all = c.Argb();
  std::vector<uint32_t> l(150), r(150);
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 10; ++x) {
      l[static_cast<size_t>(y * 10 + x)] = all[static_cast<size_t>(y * 20 + x)];
      r[static_cast<size_t>(y * 10 + x)] = all[static_cast<size_t>(y * 20 + 10 + x)];
    }
  return {KeyedPicture(left, 10, 15, l, 0x103018), KeyedPicture(right, 10, 15, r, 0x103018)};
}

TPackPicture Straight(const std::string& name, bool line) {
  TCanvas c(10, 15);
  cairo_move_to(c.Cr, 4, 0);
  cairo_line_to(c.Cr, 4, 15);
  cairo_set_line_width(c.Cr, StripeWidth);
  c.Colour(TColour{0.35, 1.0, 0.55});
  cairo_stroke(c.Cr);
  if (line)
    for (int k = 0; k < 3; ++k) {
      cairo_rectangle(c.Cr, 1.5 + k * 1.7, 5, 1.7, 4);
      c.Colour((k & 1) ? pal::Black : pal::White);
      cairo_fill(c.Cr);
    }
  return KeyedPicture(name, 10, 15, c.Argb(), 0x103018);
}

}  // namespace

std::vector<TPackPicture> BuildRadarPictures(const std::string&) {
  std::vector<TPackPicture> items(14);
  // Drift right: entry rows (types 1, 2) and shifted rows (3, 4); drift left: 20, 10 and 40, 30.
  auto [t1, t2] = StripePair("Radar type 1", "Radar type 2", 9, 3.6);
  auto [t3, t4] = StripePair("Radar type 3", "Radar type 4", 14, 8.6);
  auto [t20, t10] = StripePair("Radar type 20", "Radar type 10", 8, 13.4);
  auto [t40, t30] = StripePair("Radar type 40", "Radar type 30", 3, 8.4);
  items[0] = t1;
  items[1] = t2;
  items[2] = t3;
  items[3] = t4;
  items[4] = Straight("Radar straight", false);
  items[5] = Straight("Radar line", true);
  items[6] = t10;
  items[7] = t20;
  items[8] = t30;
  items[9] = t40;
  {
    TCanvas c(9, 14);  // an opponent
    c.RoundRect(1, 1, 7, 12, 3);
    c.FillVertical(0, 14, TColour{1, 0.5, 0.4}, TColour{0.7, 0.05, 0.05});
    items[10] = KeyedPicture("Radar opponent", 9, 14, c.Argb());
  }
  {
    TCanvas c(18, 14);  // the rider's marker: an arrow up the track
    cairo_move_to(c.Cr, 9, 0.5);
    cairo_line_to(c.Cr, 17, 13.5);
    cairo_line_to(c.Cr, 9, 10);
    cairo_line_to(c.Cr, 1, 13.5);
    cairo_close_path(c.Cr);
    c.FillVertical(0, 14, pal::Yellow, pal::Orange, true);
    cairo_set_line_width(c.Cr, 1);
    c.Colour(pal::Night);
    cairo_stroke(c.Cr);
    items[11] = KeyedPicture("Radar marker", 18, 14, c.Argb());
  }
  {
    // The upper frame piece: the level plate and the radar's rim, with the window see-through.
    TCanvas c(174, 196);
    cairo_t* cr = c.Cr;
    cairo_rectangle(cr, 0, 0, 174, 196);
    cairo_rectangle(cr, 5, 46, 160, 150);  // the window stays see-through
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    c.FillVertical(0, 196, TColour{0.26, 0.29, 0.36}, TColour{0.10, 0.11, 0.15});
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    c.RoundRect(8, 6, 158, 30, 8);
    cairo_set_source_rgb(cr, 0.01, 0.02, 0.04);
    cairo_fill(cr);
    cairo_rectangle(cr, 4, 45, 162, 152);
    cairo_set_line_width(cr, 2);
    c.Colour(pal::Orange);
    cairo_stroke(cr);
    items[12] = KeyedPicture("Radar frame top", 174, 196, c.Argb());
  }
  {
    TCanvas c(174, 30);  // the lower frame piece
    cairo_rectangle(c.Cr, 0, 0, 174, 30);
    c.FillVertical(0, 30, TColour{0.22, 0.25, 0.32}, TColour{0.10, 0.11, 0.15});
    cairo_move_to(c.Cr, 4, 1);
    cairo_line_to(c.Cr, 170, 1);
    cairo_set_line_width(c.Cr, 2);
    c.Colour(pal::Orange);
    cairo_stroke(c.Cr);
    items[13] = KeyedPicture("Radar frame bottom", 174, 30, c.Argb());
  }
  return items;
}

}  // namespace zw::packbuild
