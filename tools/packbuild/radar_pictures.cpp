// Image list 3: the track radar's road cells, the opponent dot, the rider's marker and frame.
//
// A radar row is one map row, 15 pixels high; the radar keeps one point of the road under the
// rider's marker (x 717) and expects that point at fixed places in each road cell: x 4 in a
// straight cell, and moving 0.36208 pixels sideways per pixel down the cell in a drifting pair.
// The road stripe runs through exactly those points, so the stripes of successive rows join.
#include <cmath>

#include "tools/packbuild/canvas.hpp"
#include "tools/packbuild/content.hpp"
#include "tools/packbuild/packbuild.hpp"
#include "tools/packbuild/race_tile_art.hpp"

namespace zw::packbuild {

namespace {

constexpr int CellW = 10, CellH = 15;
constexpr double Drift = 0.36208;  // sideways pixels per pixel down a drifting pair
constexpr double StripeWidth = 5.0;

uint32_t Rgb(const TColour& c) {
  auto ch = [](double v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return (ch(c.R) << 16) | (ch(c.G) << 8) | ch(c.B);
}

// The road through a cell, or a pair of cells side by side: its centre is at x `top` on the
// top edge and moves `slope` pixels sideways per pixel down. Drawn past the top and bottom
// edges so that it fills the cell's whole height.
void Stripe(const tiles::TTilePalette& p, TCanvas& c, double top, double slope) {
  cairo_t* cr = c.Cr;
  cairo_move_to(cr, top - 3 * slope, -3);
  cairo_line_to(cr, top + (CellH + 3) * slope, CellH + 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  // The stripe's width is measured across the road, which runs slanted in a drift.
  const double across = StripeWidth / std::sqrt(1 + slope * slope);
  cairo_set_line_width(cr, across);
  c.Colour(p["road_edge"]);
  cairo_stroke_preserve(cr);
  cairo_set_line_width(cr, across - 2);
  c.Colour(p["road"]);
  cairo_stroke(cr);
}

TPackPicture Cell(const std::string& name, const std::vector<uint32_t>& argb, int from, int width,
                  uint32_t edge) {
  std::vector<uint32_t> cell(static_cast<size_t>(CellW) * CellH);
  for (int y = 0; y < CellH; ++y)
    for (int x = 0; x < CellW; ++x)
      cell[static_cast<size_t>(y) * CellW + x] = argb[static_cast<size_t>(y) * width + from + x];
  return KeyedPicture(name, CellW, CellH, cell, edge);
}

// A drifting pair: the left and the right cell of one stripe 20 pixels wide.
std::pair<TPackPicture, TPackPicture> Pair(const tiles::TTilePalette& p, const std::string& left,
                                           const std::string& right, double top, double slope) {
  TCanvas c(2 * CellW, CellH);
  Stripe(p, c, top, slope);
  const auto all = c.Argb();
  const uint32_t edge = Rgb(p["window"]);
  return {Cell(left, all, 0, 2 * CellW, edge), Cell(right, all, CellW, 2 * CellW, edge)};
}

TPackPicture Straight(const tiles::TTilePalette& p, const std::string& name, bool line) {
  TCanvas c(CellW, CellH);
  Stripe(p, c, 4, 0);
  if (line)  // the start and finish line: a chequered band across the road
    for (int k = 0; k < 6; ++k) {
      cairo_rectangle(c.Cr, 1.5 + (k % 3) * 1.67, 6 + (k / 3) * 1.5, 1.67, 1.5);
      c.Colour(((k + k / 3) & 1) ? p["line_dark"] : p["line_light"]);
      cairo_fill(c.Cr);
    }
  return KeyedPicture(name, CellW, CellH, c.Argb(), Rgb(p["window"]));
}

}  // namespace

std::vector<TPackPicture> BuildRadarPictures(const std::string& assets) {
  const tiles::TTilePalette p(ReadAsset(assets, "radar/palette.txt"), "radar/palette.txt");
  std::vector<TPackPicture> items(14);
  // Drift right: entry rows (types 1, 2) and shifted rows (3, 4); drift left: 20, 10 and 40, 30.
  auto [t1, t2] = Pair(p, "Radar type 1", "Radar type 2", 9, -Drift);
  auto [t3, t4] = Pair(p, "Radar type 3", "Radar type 4", 14, -Drift);
  auto [t20, t10] = Pair(p, "Radar type 20", "Radar type 10", 8, Drift);
  auto [t40, t30] = Pair(p, "Radar type 40", "Radar type 30", 3, Drift);
  items[0] = t1;
  items[1] = t2;
  items[2] = t3;
  items[3] = t4;
  items[4] = Straight(p, "Radar straight", false);
  items[5] = Straight(p, "Radar line", true);
  items[6] = t10;
  items[7] = t20;
  items[8] = t30;
  items[9] = t40;
  {
    TCanvas c(9, 14);  // an opponent, to the scale of a bike on the radar
    c.RoundRect(1, 1, 7, 12, 3);
    c.FillVertical(0, 14, p["opponent_top"], p["opponent"]);
    items[10] = KeyedPicture("Radar opponent", 9, 14, c.Argb(), Rgb(p["window"]));
  }
  {
    TCanvas c(18, 14);  // the rider's marker: an arrow up the track, its tip over x 717
    cairo_move_to(c.Cr, 9, 0.5);
    cairo_line_to(c.Cr, 17, 13.5);
    cairo_line_to(c.Cr, 9, 10);
    cairo_line_to(c.Cr, 1, 13.5);
    cairo_close_path(c.Cr);
    c.FillVertical(0, 14, p["marker_top"], p["marker"], true);
    cairo_set_line_width(c.Cr, 1);
    c.Colour(p["marker_edge"]);
    cairo_stroke(c.Cr);
    items[11] = KeyedPicture("Radar marker", 18, 14, c.Argb(), Rgb(p["window"]));
  }
  {
    // The upper frame piece, the whole frame but its foot: the level plate, the rim, and a
    // see-through window over x 5..164, y 46..195. Cells the sideways shift carries past the
    // window's sides, and row 1 above it, are hidden under the frame.
    TCanvas c(174, 196);
    cairo_t* cr = c.Cr;
    cairo_rectangle(cr, 0, 0, 174, 196);
    cairo_rectangle(cr, 5, 46, 160, 150);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    c.FillVertical(0, 196, p["frame_top"], p["frame"]);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    c.RoundRect(8, 6, 158, 30, 8);  // the plate under "LEVEL n / 10", centred (88, 20)
    c.Colour(p["plate"]);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    c.Colour(p["frame_top"]);
    cairo_stroke(cr);
    cairo_rectangle(cr, 4, 45, 162, 152);
    cairo_set_line_width(cr, 2);
    c.Colour(p["rim"]);
    cairo_stroke(cr);
    items[12] = KeyedPicture("Radar frame top", 174, 196, c.Argb(), Rgb(p["frame"]));
  }
  {
    TCanvas c(174, 30);  // the lower frame piece, from y 195: it hides row 11 below the window
    cairo_rectangle(c.Cr, 0, 0, 174, 30);
    c.FillVertical(0, 30, p["frame_top"], p["frame"]);
    cairo_move_to(c.Cr, 4, 1);
    cairo_line_to(c.Cr, 170, 1);
    cairo_set_line_width(c.Cr, 2);
    c.Colour(p["rim"]);
    cairo_stroke(c.Cr);
    items[13] = KeyedPicture("Radar frame bottom", 174, 30, c.Argb(), Rgb(p["frame"]));
  }
  return items;
}

}  // namespace zw::packbuild
