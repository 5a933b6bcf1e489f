// Image list 2: the race's tiles, bikes seen from above (upright, leaning, crashing), the two
// panels with the speedometer dial and radar window, the needle, tyre mark and bonuses.
#include <algorithm>
#include <cmath>
#include <functional>

#include "rider/bike_models.hpp"
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
const TColour Livery[6] = {pal::Black,        {0.88, 0.10, 0.10}, {0.12, 0.38, 0.95},
                           {1.0, 0.78, 0.05}, {0.10, 0.72, 0.25}, {0.98, 0.48, 0.05}};

TColour Lighter(const TColour& c, double k) {
  return TColour{std::min(1.0, c.R + k), std::min(1.0, c.G + k), std::min(1.0, c.B + k)};
}
TColour Darker(const TColour& c, double k) {
  return TColour{c.R * k, c.G * k, c.B * k};
}

// A superbike seen from above, front up, centred on (cx, cy) in a box of w x h. `lean` runs
// -1 (full left) .. 1 (full right): the bike's silhouette narrows and the rider hangs off.
void DrawBikeTop(TCanvas& c, double cx, double cy, double w, double h, int model, double lean) {
  cairo_t* cr = c.Cr;
  const TColour body = Livery[model];
  const TColour hi = Lighter(body, 0.35), lo = Darker(body, 0.45);
  const double narrow = 1.0 - 0.2 * std::fabs(lean);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  // The whole bike tilts a little into the turn.
  cairo_rotate(cr, lean * 0.10);
  const double top = -h / 2, bottom = h / 2;
  const double half = w * 0.17 * narrow;  // the fairing's half width
  // Shadow on the road, thrown to the outside of the lean.
  cairo_save(cr);
  cairo_translate(cr, 3 - lean * 5, 3);
  cairo_scale(cr, half * 1.5, h * 0.46);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  // Tyres, front and back.
  for (double ty : {top + h * 0.01, bottom - h * 0.23}) {
    c.RoundRect(-w * 0.055, ty, w * 0.11, h * 0.22, w * 0.05);
    c.FillVertical(ty, ty + h * 0.22, TColour{0.25, 0.25, 0.27}, TColour{0.03, 0.03, 0.04});
  }
  // Handlebars with grips and mirrors.
  const double barY = top + h * 0.29, bar = w * 0.30 * narrow;
  cairo_set_line_width(cr, 2.5);
  c.Colour(TColour{0.6, 0.62, 0.66});
  cairo_move_to(cr, -bar, barY + 2);
  cairo_line_to(cr, bar, barY + 2);
  cairo_stroke(cr);
  for (double sgn : {-1.0, 1.0}) {
    cairo_arc(cr, sgn * (bar - 1), barY - 3, 2.6, 0, 2 * M_PI);
    c.Colour(pal::Chrome);
    cairo_fill(cr);
  }
  // Fairing, tank and tail: long and slim.
  cairo_move_to(cr, 0, top + h * 0.08);
  cairo_curve_to(cr, half * 0.9, top + h * 0.10, half * 1.2, top + h * 0.28, half, top + h * 0.46);
  cairo_curve_to(cr, half * 0.9, top + h * 0.70, half * 0.6, bottom - h * 0.12, 0,
                 bottom - h * 0.05);
  cairo_curve_to(cr, -half * 0.6, bottom - h * 0.12, -half * 0.9, top + h * 0.70, -half,
                 top + h * 0.46);
  cairo_curve_to(cr, -half * 1.2, top + h * 0.28, -half * 0.9, top + h * 0.10, 0, top + h * 0.08);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(-half * 1.2, 0, half * 1.2, 0);
  cairo_pattern_add_color_stop_rgb(g, 0, lo.R, lo.G, lo.B);
  cairo_pattern_add_color_stop_rgb(g, 0.42 - lean * 0.2, hi.R, hi.G, hi.B);
  cairo_pattern_add_color_stop_rgb(g, 1, lo.R, lo.G, lo.B);
  cairo_set_source(cr, g);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(g);
  cairo_set_line_width(cr, 1.2);
  c.Colour(pal::Night);
  cairo_stroke(cr);
  // Windscreen, racing stripe and tail light.
  cairo_move_to(cr, -half * 0.7, top + h * 0.21);
  cairo_curve_to(cr, -half * 0.5, top + h * 0.11, half * 0.5, top + h * 0.11, half * 0.7,
                 top + h * 0.21);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0.55, 0.78, 1.0, 0.9);
  cairo_fill(cr);
  cairo_move_to(cr, 0, top + h * 0.62);
  cairo_line_to(cr, 0, bottom - h * 0.09);
  cairo_set_line_width(cr, 2);
  c.Colour(pal::White, 0.9);
  cairo_stroke(cr);
  cairo_rectangle(cr, -half * 0.35, bottom - h * 0.085, half * 0.7, 2);
  c.Colour(pal::Red);
  cairo_fill(cr);
  // The rider: back, arms to the grips, hanging off to the inside of the turn; then the helmet.
  const double shift = lean * w * 0.16;
  cairo_set_line_width(cr, 3.2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  c.Colour(TColour{0.14, 0.14, 0.18});
  for (double sgn : {-1.0, 1.0}) {
    cairo_move_to(cr, shift + sgn * w * 0.12, top + h * 0.50);
    cairo_line_to(cr, sgn * (bar - 2), barY);
    cairo_stroke(cr);
  }
  cairo_save(cr);
  cairo_translate(cr, shift, top + h * 0.56);
  cairo_scale(cr, w * 0.16, h * 0.15);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  c.FillVertical(top + h * 0.41, top + h * 0.71, TColour{0.34, 0.34, 0.40},
                 TColour{0.07, 0.07, 0.10});
  // Suit stripe in the bike's colours down the back.
  cairo_move_to(cr, shift, top + h * 0.45);
  cairo_line_to(cr, shift, top + h * 0.68);
  cairo_set_line_width(cr, 2.2);
  c.Colour(body);
  cairo_stroke(cr);
  // The inside knee slides out in a deep lean.
  if (std::fabs(lean) > 0.3) {
    const double sgn = lean > 0 ? 1 : -1;
    cairo_arc(cr, sgn * (half + 4 + 3 * std::fabs(lean)), top + h * 0.64, 3, 0, 2 * M_PI);
    c.Colour(pal::Chrome);
    cairo_fill(cr);
  }
  const double hx = shift * 1.1, hy = top + h * 0.43, hr = w * 0.095;
  cairo_pattern_t* hg = cairo_pattern_create_radial(hx - hr * 0.3, hy - hr * 0.4, 0.5, hx, hy, hr);
  cairo_pattern_add_color_stop_rgb(hg, 0, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(hg, 0.4, hi.R, hi.G, hi.B);
  cairo_pattern_add_color_stop_rgb(hg, 1, lo.R, lo.G, lo.B);
  cairo_arc(cr, hx, hy, hr, 0, 2 * M_PI);
  cairo_set_source(cr, hg);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(hg);
  cairo_set_line_width(cr, 1);
  c.Colour(pal::Night);
  cairo_stroke(cr);
  cairo_restore(cr);
}

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
    DrawBikeTop(c, w / 2.0, by, std::min<double>(BikeW[m], w), BikeH[m], m, 0);
    cairo_restore(cr);
    // The rider tumbling ahead and to the side.
    const double rx = w / 2.0 + (m % 2 ? -1 : 1) * w * 0.25 * t,
                 ry = by - BikeH[m] * 0.35 - h * 0.12 * t;
    cairo_save(cr);
    cairo_translate(cr, rx, ry);
    cairo_rotate(cr, t * 3.0);
    cairo_scale(cr, w * 0.16, h * 0.06);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    c.Colour(TColour{0.16, 0.16, 0.2});
    cairo_fill(cr);
    cairo_arc(cr, rx + std::cos(t * 3.0) * w * 0.12, ry + std::sin(t * 3.0) * w * 0.12, w * 0.09, 0,
              2 * M_PI);
    c.FillVertical(ry - w * 0.2, ry + w * 0.2, Lighter(Livery[m], 0.3), Darker(Livery[m], 0.5));
    frames.push_back(c.Argb());
  }
  return StripPicture("Bike " + std::to_string(m) + " crash", w, h, frames, true);
}

// The needle sits at (W - 10, H + 510) on screen, turning about 70 % of its width: the dial's
// centre in the left panel is therefore (W - 10, H + 510).
constexpr int NeedleW = 80, NeedleH = 10;
constexpr double DialX = NeedleW - 10, DialY = NeedleH + 510;

// The direction of the needle at a rotation in 1/256 turns: unturned it points left.
void NeedleDirection(double angle, double& dx, double& dy) {
  const double phi = angle * 2 * M_PI / 256;
  dx = -std::cos(phi);
  dy = -std::sin(phi);
}

void Metal(TCanvas& c, double x, double y, double w, double h) {
  cairo_rectangle(c.Cr, x, y, w, h);
  c.FillVertical(y, y + h, TColour{0.20, 0.23, 0.30}, TColour{0.07, 0.08, 0.12});
  // Brushed streaks.
  for (int i = 0; i < static_cast<int>(h); i += 3) {
    cairo_move_to(c.Cr, x, y + i + 0.5);
    cairo_line_to(c.Cr, x + w, y + i + 0.5);
    cairo_set_source_rgba(c.Cr, 1, 1, 1, 0.02 + 0.03 * Noise(90, i, 0));
    cairo_set_line_width(c.Cr, 1);
    cairo_stroke(c.Cr);
  }
}

void Well(TCanvas& c, double x, double y, double w, double h) {
  c.RoundRect(x, y, w, h, 8);
  cairo_set_source_rgba(c.Cr, 0.01, 0.02, 0.04, 1);
  cairo_fill_preserve(c.Cr);
  cairo_set_line_width(c.Cr, 2);
  c.Colour(pal::SteelLight);
  cairo_stroke(c.Cr);
}

TPackPicture LeftPanel() {
  TCanvas c(174, 600);
  cairo_t* cr = c.Cr;
  Metal(c, 0, 0, 174, 600);
  cairo_move_to(cr, 172, 0);
  cairo_line_to(cr, 172, 600);
  cairo_set_line_width(cr, 3);
  c.Colour(pal::Orange, 0.9);
  cairo_stroke(cr);
  // Plain wells for the numbers: clock, score, lives; captions beside them.
  Well(c, 14, 6, 146, 36);
  c.Text("TIME", 87, 56, 18, pal::Orange, pal::Night);
  c.Text("SCORE", 84, 186, 20, pal::Orange, pal::Night);
  Well(c, 14, 200, 146, 36);
  c.Text("LIVES", 50, 342, 20, pal::Orange, pal::Night);
  Well(c, 82, 324, 62, 36);
  c.Text("ZAP", 87, 100, 40, pal::Yellow, pal::Night);
  c.Text("WHEELY", 87, 132, 26, pal::Chrome, pal::Night);
  // The speedometer dial around the needle's pivot.
  const double R = 60;
  cairo_arc(cr, DialX, DialY, R + 8, 0, 2 * M_PI);
  c.FillVertical(DialY - R, DialY + R, TColour{0.35, 0.38, 0.45}, TColour{0.08, 0.09, 0.12});
  cairo_arc(cr, DialX, DialY, R + 2, 0, 2 * M_PI);
  cairo_set_source_rgb(cr, 0.02, 0.02, 0.04);
  cairo_fill(cr);
  // Marks every 20 km/h, from 0 at rest to 320; red beyond 280.
  for (int kmh = 0; kmh <= 320; kmh += 10) {
    const double a = kmh / 1.9 * 0.76875 + 28;
    double dx, dy;
    NeedleDirection(a, dx, dy);
    const bool major = kmh % 40 == 0;
    cairo_move_to(cr, DialX + dx * (R - (major ? 12 : 6)), DialY + dy * (R - (major ? 12 : 6)));
    cairo_line_to(cr, DialX + dx * (R - 1), DialY + dy * (R - 1));
    c.Colour(kmh >= 280 ? pal::Red : pal::White);
    cairo_set_line_width(cr, major ? 3 : 1.5);
    cairo_stroke(cr);
    if (major) {
      const std::string label = std::to_string(kmh);
      c.Text(label, DialX + dx * (R - 24), DialY + dy * (R - 24), 13,
             kmh >= 280 ? pal::Red : pal::Chrome, pal::Night, false);
    }
  }
  c.Text("KM/H", DialX - 26, DialY + 26, 14, pal::Orange, pal::Night);
  Well(c, 62, 562, 58, 32);
  return OpaquePicture("Left panel", 174, 600, c.Argb());
}

TPackPicture RightPanel() {
  TCanvas c(174, 600);
  cairo_t* cr = c.Cr;
  Metal(c, 0, 0, 174, 600);
  cairo_move_to(cr, 2, 0);
  cairo_line_to(cr, 2, 600);
  cairo_set_line_width(cr, 3);
  c.Colour(pal::Orange, 0.9);
  cairo_stroke(cr);
  // The radar window, dark under the cells.
  cairo_rectangle(cr, 5, 46, 160, 150);
  cairo_set_source_rgb(cr, 0.02, 0.06, 0.04);
  cairo_fill(cr);
  for (int i = 0; i < 10; ++i) {
    cairo_move_to(cr, 5, 46 + i * 15.0);
    cairo_line_to(cr, 165, 46 + i * 15.0);
    cairo_set_source_rgba(cr, 0.2, 0.9, 0.5, 0.10);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  // Below the radar: the bonus legend and a badge.
  c.Text("POSITION", 87, 250, 22, pal::Orange, pal::Night);
  Well(c, 20, 264, 134, 40);
  c.Text("FINISH FIRST", 87, 284, 18, pal::Chrome, pal::Night, false);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 8; ++j) {
      cairo_rectangle(cr, 27 + j * 15, 340 + i * 15, 15, 15);
      c.Colour(((i + j) & 1) ? pal::White : pal::Black);
      cairo_fill(cr);
    }
  }
  c.Text("ZAP", 87, 480, 48, pal::Yellow, pal::Night);
  c.Text("WHEELY", 87, 520, 30, pal::Chrome, pal::Night);
  return OpaquePicture("Right panel", 174, 600, c.Argb());
}

TPackPicture Needle() {
  TCanvas c(NeedleW, NeedleH);
  cairo_t* cr = c.Cr;
  const double px = NeedleW * 0.7, py = NeedleH / 2.0;
  cairo_move_to(cr, 1, py);
  cairo_line_to(cr, px, py - 3.5);
  cairo_line_to(cr, NeedleW - 1, py - 2);
  cairo_line_to(cr, NeedleW - 1, py + 2);
  cairo_line_to(cr, px, py + 3.5);
  cairo_close_path(cr);
  c.FillVertical(0, NeedleH, TColour{1, 0.4, 0.3}, TColour{0.7, 0.05, 0.02});
  cairo_arc(cr, px, py, 4.5, 0, 2 * M_PI);
  c.Colour(pal::Chrome);
  cairo_fill(cr);
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
