// Image list 2: the race's tiles, bikes seen from above (upright, leaning, crashing), the two
// panels with the speedometer dial and radar window, the needle, tyre mark and bonuses.
#include <algorithm>
#include <cmath>
#include <functional>

#include "packs/panel_layout.hpp"
#include "rider/bike_models.hpp"
#include "tools/packbuild/bike_art.hpp"
#include "tools/packbuild/canvas.hpp"
#include "tools/packbuild/content.hpp"
#include "tools/packbuild/packbuild.hpp"
#include "tools/packbuild/race_tiles.hpp"

namespace zw::packbuild {

namespace {

// Bike sizes of the five models (upright picture) and of their crash pictures.
constexpr int BikeW[6] = {0, 63, 60, 68, 60, 56};
constexpr int BikeH[6] = {0, 68, 67, 69, 62, 68};
constexpr int WreckW[6] = {0, 64, 72, 88, 86, 68};
constexpr int WreckH[6] = {0, 152, 158, 204, 154, 184};
TPackPicture Upright(int m) {
  TCanvas c(BikeW[m], BikeH[m]);
  DrawBikeTop(c, BikeW[m] / 2.0, BikeH[m] / 2.0, BikeW[m], BikeH[m], m, 0);
  return KeyedPicture("Bike " + std::to_string(m), BikeW[m], BikeH[m], c.Argb());
}

// Six patterns: 5 the least lean, 0 the deepest.
TPackPicture Lean(int m, bool left) {
  std::vector<std::vector<uint32_t>> frames;
  for (int p = 0; p < 6; ++p) {
    const double depth = (5.5 - p) / 5.5;
    TCanvas c(BikeW[m], BikeH[m]);
    DrawBikeTop(c, BikeW[m] / 2.0, BikeH[m] / 2.0, BikeW[m], BikeH[m], m, left ? -depth : depth);
    frames.push_back(c.Argb());
  }
  return StripPicture(
      std::string("Bike ") + std::to_string(m) + (left ? " lean left" : " lean right"), BikeW[m],
      BikeH[m], frames, true);
}

// The crash: the bike slides up the tall picture, spinning, the rider tumbling beside it;
// the last frame, held, shows both down.
TPackPicture Crash(int m) {
  const int n = BikeCrashFrames(m), w = WreckW[m], h = WreckH[m];
  std::vector<std::vector<uint32_t>> frames;
  for (int k = 0; k < n; ++k) {
    const double t = n > 1 ? k / (n - 1.0) : 1.0;
    TCanvas c(w, h);
    cairo_t* cr = c.Cr;
    const double by = h * (0.72 - 0.45 * t);
    // Scrape marks behind the sliding bike.
    cairo_set_line_width(cr, 2);
    cairo_set_source_rgba(cr, 0.1, 0.1, 0.1, 0.6);
    cairo_move_to(cr, w / 2.0 - 4, h * 0.95);
    cairo_line_to(cr, w / 2.0 - 4, by);
    cairo_move_to(cr, w / 2.0 + 4, h * 0.95);
    cairo_line_to(cr, w / 2.0 + 4, by + 6);
    cairo_stroke(cr);
    // Sparks.
    for (int s = 0; s < 8; ++s) {
      const double sx = w / 2.0 + (Noise(60 + m, s, k) - 0.5) * w * 0.8,
                   sy = by + BikeH[m] * 0.4 + Noise(70 + m, s, k) * 20;
      cairo_arc(cr, sx, sy, 1.3, 0, 2 * M_PI);
      cairo_set_source_rgba(cr, 1, 0.8, 0.2, 0.9 * (1 - t * 0.7));
      cairo_fill(cr);
    }
    cairo_save(cr);
    cairo_translate(cr, w / 2.0, by);
    cairo_rotate(cr, t * 1.5 * M_PI * (m % 2 ? 1 : -1));
    cairo_translate(cr, -w / 2.0, -by);
    DrawBikeTop(c, w / 2.0, by, std::min<double>(BikeW[m], w), BikeH[m], m, 0, false);
    cairo_restore(cr);
    // The rider thrown ahead and to the side, rolling over and over: flung out as he leaves
    // the bike, curled as he rolls, sprawled where he comes to rest.
    const double size = std::min(w * 0.62, BikeH[m] * 0.62);
    const double rx = w / 2.0 + (m % 2 ? -1 : 1) * w * 0.18 * t,
                 ry = std::max(size * 0.55, by - BikeH[m] * 0.45 - h * 0.06 * t);
    const double spin = (m % 2 ? -1 : 1) * (t * 2.6 * M_PI + 0.4);
    const double pose =
        t < 0.15 ? 1.0 - t / 0.15 * 0.8 : (t < 0.8 ? 0.2 + 0.3 * std::fabs(std::sin(t * 9)) : 0.9);
    DrawTumblingRider(c, rx, ry, size, spin, pose, m);
    frames.push_back(c.Argb());
  }
  return StripPicture("Bike " + std::to_string(m) + " crash", w, h, frames, true);
}

// The needle sits at (W - 10, H + 510) on screen, turning about 70 % of its width: the dial's
// centre in the left panel is therefore (W - 10, H + 510).
constexpr int NeedleW = 80, NeedleH = 10;
constexpr double DialX = NeedleW - 10, DialY = NeedleH + 510;
// How far the needle's tip reaches from the pivot: to the tick ring, short of the numbers.
constexpr double NeedleReach = 38;
static_assert(DialX == panel::DialCentreX && DialY == panel::DialCentreY,
              "the dial is drawn around the needle's pivot");

// The direction of the needle at a rotation in 1/256 turns: unturned it points left.
void NeedleDirection(double angle, double& dx, double& dy) {
  const double phi = angle * 2 * M_PI / 256;
  dx = -std::cos(phi);
  dy = -std::sin(phi);
}

void Well(TCanvas& c, const panel::TBox& b, int panelX) {
  c.RoundRect(b.X - panelX, b.Y, b.W, b.H, 8);
  cairo_set_source_rgba(c.Cr, 0.01, 0.02, 0.04, 1);
  cairo_fill_preserve(c.Cr);
  cairo_set_line_width(c.Cr, 2);
  c.Colour(pal::SteelLight);
  cairo_stroke(c.Cr);
  // A thin inner shadow along the top, so the well reads as sunk into the plate.
  cairo_move_to(c.Cr, b.X - panelX + 6, b.Y + 2.5);
  cairo_line_to(c.Cr, b.X - panelX + b.W - 6, b.Y + 2.5);
  cairo_set_source_rgba(c.Cr, 0, 0, 0, 0.6);
  cairo_set_line_width(c.Cr, 2);
  cairo_stroke(c.Cr);
}

// A screw head sunk into the plate.
void Rivet(TCanvas& c, double x, double y) {
  cairo_arc(c.Cr, x, y, 3, 0, 2 * M_PI);
  c.FillVertical(y - 3, y + 3, pal::Chrome, pal::Steel);
  cairo_move_to(c.Cr, x - 2, y - 2);
  cairo_line_to(c.Cr, x + 2, y + 2);
  cairo_set_source_rgba(c.Cr, 0, 0, 0, 0.6);
  cairo_set_line_width(c.Cr, 1);
  cairo_stroke(c.Cr);
}

// The panel's skin between the readouts: a dark carbon weave, a material and not a fitting, so
// the eye finds nothing on it but the readouts themselves.
void Carbon(TCanvas& c, double x, double y, double w, double h) {
  cairo_t* cr = c.Cr;
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  // A flat base: a long gradient would band in 16 bits.
  cairo_rectangle(cr, x, y, w, h);
  c.Colour(TColour{0.07, 0.08, 0.10});
  cairo_fill(cr);
  constexpr int Cell = 4;
  for (int j = 0; j * Cell < h; ++j)
    for (int i = 0; i * Cell < w; ++i) {
      const bool across = (i + j) % 2 == 0;
      const double cx = x + i * Cell, cy = y + j * Cell;
      cairo_pattern_t* g = across ? cairo_pattern_create_linear(cx, 0, cx + Cell, 0)
                                  : cairo_pattern_create_linear(0, cy, 0, cy + Cell);
      cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 1, 0.00);
      cairo_pattern_add_color_stop_rgba(g, 0.5, 1, 1, 1, 0.07);
      cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 1, 0.00);
      cairo_rectangle(cr, cx, cy, Cell, Cell);
      cairo_set_source(cr, g);
      cairo_fill(cr);
      cairo_pattern_destroy(g);
    }
  cairo_restore(cr);
}

// A raised steel housing around one readout and its caption, so the two read as one instrument.
void Housing(TCanvas& c, double x, double y, double w, double h) {
  cairo_t* cr = c.Cr;
  c.RoundRect(x + 2, y + 3, w, h, 10);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_fill(cr);
  c.RoundRect(x, y, w, h, 10);
  c.FillVertical(y, y + h, TColour{0.30, 0.34, 0.42}, TColour{0.12, 0.14, 0.19});
  c.RoundRect(x + 1.5, y + 1.5, w - 3, h - 3, 9);
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
  cairo_stroke(cr);
  for (double rx : {x + 6.0, x + w - 6.0})
    for (double ry : {y + 6.0, y + h - 6.0}) Rivet(c, rx, ry);
}

// The caption of a readout: dark capitals on an orange tab that joins the readout's well, the
// only words the panel carries, each naming the number the race draws beside it.
void CaptionTab(TCanvas& c, const std::string& s, double x, double y, double w, double h) {
  cairo_t* cr = c.Cr;
  c.RoundRect(x, y, w, h, 5);
  c.FillVertical(y, y + h, TColour{1.0, 0.62, 0.22}, pal::OrangeDark);
  cairo_set_line_width(cr, 1);
  c.Colour(pal::Night, 0.8);
  cairo_stroke(cr);
  cairo_select_font_face(cr, "Bebas Neue", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  const double size = std::min(h * 0.82, 18.0);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  cairo_move_to(cr, x + w / 2 - e.width / 2 - e.x_bearing, y + h / 2 - e.height / 2 - e.y_bearing);
  c.Colour(pal::Night);
  cairo_show_text(cr, s.c_str());
}

// The orange edge that faces the road.
void RoadEdge(TCanvas& c, double x) {
  cairo_t* cr = c.Cr;
  cairo_move_to(cr, x, 0);
  cairo_line_to(cr, x, 600);
  cairo_set_line_width(cr, 3);
  c.Colour(pal::Orange, 0.9);
  cairo_stroke(cr);
}

// The speedometer around the needle's pivot. The needle reaches the tick ring and no further;
// the numbers stand outside the ring, every 80 km/h, so the needle never covers one and each has
// room; ticks every 20, longer every 40, red from 280 up.
void Speedometer(TCanvas& c) {
  cairo_t* cr = c.Cr;
  const double R = panel::DialRim - 6;
  cairo_arc(cr, DialX + 2, DialY + 3, R + 6, 0, 2 * M_PI);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_fill(cr);
  cairo_arc(cr, DialX, DialY, R + 6, 0, 2 * M_PI);
  c.FillVertical(DialY - R, DialY + R, TColour{0.78, 0.82, 0.88}, TColour{0.20, 0.22, 0.28});
  cairo_arc(cr, DialX, DialY, R + 1, 0, 2 * M_PI);
  cairo_pattern_t* face = cairo_pattern_create_radial(DialX, DialY - 20, 5, DialX, DialY, R + 1);
  cairo_pattern_add_color_stop_rgb(face, 0, 0.12, 0.14, 0.19);
  cairo_pattern_add_color_stop_rgb(face, 1, 0.02, 0.02, 0.04);
  cairo_set_source(cr, face);
  cairo_fill(cr);
  cairo_pattern_destroy(face);
  const double tickOut = NeedleReach + 2;
  for (int kmh = 0; kmh <= 320; kmh += 20) {
    const double a = kmh / 1.9 * 0.76875 + 28;
    double dx, dy;
    NeedleDirection(a, dx, dy);
    const bool major = kmh % 40 == 0;
    const double tickIn = tickOut - (major ? 9 : 5);
    cairo_move_to(cr, DialX + dx * tickIn, DialY + dy * tickIn);
    cairo_line_to(cr, DialX + dx * tickOut, DialY + dy * tickOut);
    c.Colour(kmh >= 280 ? pal::Red : pal::White);
    cairo_set_line_width(cr, major ? 2.5 : 1.2);
    cairo_stroke(cr);
    if (kmh % 80 == 0)
      c.Text(std::to_string(kmh), DialX + dx * (R - 9), DialY + dy * (R - 9), 10,
             kmh >= 280 ? pal::Red : pal::Chrome, pal::Night, false);
  }
  c.Text("KM/H", DialX - 20, DialY + 24, 12, pal::Orange, pal::Night);
}

TPackPicture LeftPanel() {
  TCanvas c(174, 600);
  Carbon(c, 0, 0, 174, 600);
  RoadEdge(c, 172);
  // The clock: the well at the top, its caption hanging under it.
  Housing(c, 6, 0, 162, 70);
  Well(c, panel::ClockWell, 0);
  CaptionTab(c, "TIME", 54, 46, 66, 19);
  // The score: likewise, its caption under the well.
  Housing(c, 6, 194, 162, 70);
  Well(c, panel::ScoreWell, 0);
  CaptionTab(c, "SCORE", 50, 240, 74, 19);
  // The lives: the caption to the left of the well, on the readout's own line.
  Housing(c, 6, 316, 162, 52);
  CaptionTab(c, "LIVES", 16, 332, 58, 20);
  Well(c, panel::LivesWell, 0);
  Speedometer(c);
  Well(c, panel::SpeedWell, 0);
  return OpaquePicture("Left panel", 174, 600, c.Argb());
}

TPackPicture RightPanel() {
  TCanvas c(174, 600);
  cairo_t* cr = c.Cr;
  constexpr int X0 = 626;
  Carbon(c, 0, 0, 174, 600);
  RoadEdge(c, 2);
  // The radar window, dark under the cells; the radar frame is drawn over its rim.
  const panel::TBox& w = panel::RadarWindow;
  cairo_rectangle(cr, w.X - X0, w.Y, w.W, w.H);
  cairo_set_source_rgb(cr, 0.02, 0.06, 0.04);
  cairo_fill(cr);
  for (int i = 0; i < 10; ++i) {
    cairo_move_to(cr, w.X - X0, w.Y + i * 15.0);
    cairo_line_to(cr, w.X - X0 + w.W, w.Y + i * 15.0);
    cairo_set_source_rgba(cr, 0.2, 0.9, 0.5, 0.10);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  // Under the radar: a bay where the race shows the rider's own bike, its kind named in a well
  // below it, all in one housing.
  Housing(c, 6, 244, 162, 244);
  const panel::TBox& bay = panel::BikeBay;
  c.RoundRect(bay.X - X0, bay.Y, bay.W, bay.H, 10);
  cairo_pattern_t* pool =
      cairo_pattern_create_radial(bay.X - X0 + bay.W / 2.0, bay.Y + bay.H / 2.0, 6,
                                  bay.X - X0 + bay.W / 2.0, bay.Y + bay.H / 2.0, bay.H / 2.0);
  cairo_pattern_add_color_stop_rgb(pool, 0, 0.30, 0.32, 0.38);
  cairo_pattern_add_color_stop_rgb(pool, 1, 0.06, 0.07, 0.10);
  cairo_set_source(cr, pool);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(pool);
  cairo_set_line_width(cr, 2);
  c.Colour(pal::SteelLight);
  cairo_stroke(cr);
  CaptionTab(c, "YOUR BIKE", bay.X - X0 + 36, 246, 74, 14);
  Well(c, panel::BikeNameWell, X0);
  // The radar frame's shadow on the weave.
  cairo_rectangle(cr, 0, 225, 174, 10);
  cairo_pattern_t* sh = cairo_pattern_create_linear(0, 225, 0, 235);
  cairo_pattern_add_color_stop_rgba(sh, 0, 0, 0, 0, 0.6);
  cairo_pattern_add_color_stop_rgba(sh, 1, 0, 0, 0, 0);
  cairo_set_source(cr, sh);
  cairo_fill(cr);
  cairo_pattern_destroy(sh);
  return OpaquePicture("Right panel", 174, 600, c.Argb());
}

TPackPicture Needle() {
  TCanvas c(NeedleW, NeedleH);
  cairo_t* cr = c.Cr;
  const double px = NeedleW * 0.7, py = NeedleH / 2.0, tip = px - NeedleReach, tail = px + 14;
  cairo_move_to(cr, tip, py);
  cairo_line_to(cr, px, py - 3.5);
  cairo_line_to(cr, tail, py - 2);
  cairo_line_to(cr, tail, py + 2);
  cairo_line_to(cr, px, py + 3.5);
  cairo_close_path(cr);
  c.FillVertical(0, NeedleH, TColour{1, 0.4, 0.3}, TColour{0.7, 0.05, 0.02});
  cairo_arc(cr, px, py, 4.5, 0, 2 * M_PI);
  c.FillVertical(py - 4.5, py + 4.5, pal::White, pal::Steel);
  return KeyedPicture("Speed needle", NeedleW, NeedleH, c.Argb());
}

TPackPicture TyreMark() {
  TCanvas c(10, 14);
  c.RoundRect(1, 0, 8, 14, 3);
  cairo_set_source_rgba(c.Cr, 0.05, 0.05, 0.05, 1);
  cairo_fill(c.Cr);
  return KeyedPicture("Tyre mark", 10, 14, c.Argb(), 0x202020);
}

// A spinning token: kinds 1..4 coins with their points, 5 the extra life.
void Token(TCanvas& c, double cx, double cy, double r, double squash, int kind) {
  cairo_t* cr = c.Cr;
  const bool life = kind == 5;
  const TColour face = life ? TColour{0.95, 0.15, 0.25}
                            : (kind == 4   ? pal::Cyan
                               : kind == 3 ? pal::Orange
                                           : pal::Yellow);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, std::max(0.12, squash), 1);
  cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
  c.FillVertical(-r, r, Lighter(face, 0.3), Darker(face, 0.5), true);
  cairo_set_line_width(cr, 2.5);
  c.Colour(pal::Night);
  cairo_stroke(cr);
  cairo_arc(cr, 0, 0, r * 0.72, 0, 2 * M_PI);
  cairo_set_line_width(cr, 1.5);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
  cairo_stroke(cr);
  cairo_restore(cr);
  if (squash > 0.45) {
    static const char* labels[6] = {"", "10", "20", "50", "100", "+1"};
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, squash, 1);
    c.Text(labels[kind], 0, 1, r * (kind == 4 ? 0.85 : 1.05), pal::White, pal::Night);
    cairo_restore(cr);
  }
}

TPackPicture Bonus(int kind) {
  std::vector<std::vector<uint32_t>> frames;
  // Four turns of the spin; the fifth pattern (shown almost never) repeats the first.
  for (int f = 0; f < 5; ++f) {
    TCanvas c(35, 34);
    const double squash = std::fabs(std::cos((f % 4) * M_PI / 4));
    Token(c, 17.5, 17, 15, std::max(squash, 0.25), kind);
    frames.push_back(c.Argb());
  }
  static const char* names[6] = {"", "Bonus 10", "Bonus 20", "Bonus 50", "Bonus 100", "Bonus life"};
  return StripPicture(names[kind], 35, 34, frames, true);
}

TPackPicture HelpBonus(int kind) {
  TCanvas c(48, 48);
  Token(c, 24, 24, 21, 1, kind);
  return KeyedPicture("Help bonus", 48, 48, c.Argb());
}

}  // namespace

std::vector<TPackPicture> BuildRacePictures(const std::string& assets) {
  std::vector<TPackPicture> items(43);
  items[0] = Filler("Opponents' sprite");
  items[1] = BuildTileStrip(assets);
  items[2] = LeftPanel();
  items[3] = RightPanel();
  items[4] = Needle();
  for (int m = 1; m <= 5; ++m) {
    items[static_cast<size_t>(4 + m)] = Upright(m);
    items[static_cast<size_t>(20 + 3 * m)] = Crash(m);
    items[static_cast<size_t>(21 + 3 * m)] = Lean(m, true);
    items[static_cast<size_t>(22 + 3 * m)] = Lean(m, false);
  }
  items[10] = TyreMark();
  for (int k = 1; k <= 5; ++k) items[static_cast<size_t>(10 + k)] = Bonus(k);
  for (int i = 16; i <= 22; ++i)
    items[static_cast<size_t>(i)] = Filler("Unused " + std::to_string(i));
  // The help page's pictures run 100, 50, 20, 10 points, then the life.
  const int helpKinds[5] = {4, 3, 2, 1, 5};
  for (int i = 0; i < 5; ++i) items[static_cast<size_t>(38 + i)] = HelpBonus(helpKinds[i]);
  return items;
}

}  // namespace zw::packbuild
