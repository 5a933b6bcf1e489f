// The race tile strip: 74 tiles of 72 x 72 seen from above. The road pieces are computed from
// one straight road cross-section, moved sideways continuously through the drift pieces, so
// drifting road joins row to row without steps; the scenery blocks are drawn whole and cut.
#include <algorithm>
#include <cmath>
#include <functional>
#include <functional>

#include "tools/packbuild/canvas.hpp"
#include "tools/packbuild/packbuild.hpp"
#include "tools/packbuild/race_tiles.hpp"
#include "tools/packbuild/content.hpp"

namespace zw::packbuild {

namespace {

constexpr int T = 72;

struct TRgb {
  double R, G, B;
};

TRgb Mix(const TRgb& a, const TRgb& b, double t) {
  return TRgb{a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

uint32_t Pack(const TRgb& c) {
  auto ch = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return 0xFF000000u | (ch(c.R) << 16) | (ch(c.G) << 8) | ch(c.B);
}

// Smooth noise that repeats every tile, so ground and asphalt join seamlessly.
double TileNoise(uint32_t seed, double x, double y, int cell) {
  const int n = T / cell;
  const double fx = x / cell, fy = y / cell;
  const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  const double tx = fx - x0, ty = fy - y0;
  auto at = [&](int i, int j) { return Noise(seed, ((i % n) + n) % n, ((j % n) + n) % n); };
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}

TRgb Grass(double x, double y) {
  const double n = 0.55 * TileNoise(3, x, y, 24) + 0.3 * TileNoise(4, x, y, 8) + 0.15 * Noise(5, static_cast<int>(x), static_cast<int>(y));
  return Mix(TRgb{0.12, 0.34, 0.10}, TRgb{0.26, 0.52, 0.16}, n);
}

TRgb Asphalt(double x, double y) {
  const double n = 0.5 * TileNoise(7, x, y, 12) + 0.5 * Noise(8, static_cast<int>(x), static_cast<int>(y));
  return Mix(TRgb{0.20, 0.21, 0.24}, TRgb{0.30, 0.31, 0.34}, n);
}

// Styles of the road cross-section.
enum class Gap { Plain, HazardLeft, HazardRight };

// The colour at position u across the straight road (0..576, the eight cells) and height y.
// `variant` picks one of the barrier pictures.
TRgb Section(double u, double y, Gap gap, int leftVariant, int rightVariant, bool line) {
  // The road surface 144..432 with kerbs and white edge lines.
  if (u >= 144 && u < 432) {
    if (line) {
      const int cx = static_cast<int>(std::floor((u - 144) / 12)), cy = static_cast<int>(std::floor(y / 12));
      if (y >= 12 && y < 60) return ((cx + cy) & 1) ? TRgb{0.95, 0.95, 0.95} : TRgb{0.05, 0.05, 0.06};
    }
    const double inL = u - 144, inR = 432 - u;
    const double edge = std::min(inL, inR);
    if (edge < 8) {
      const bool red = static_cast<int>(std::floor((y + (inL < inR ? 0 : 9)) / 18)) % 2 == 0;
      return red ? TRgb{0.85, 0.12, 0.10} : TRgb{0.95, 0.95, 0.93};
    }
    if (edge >= 11 && edge < 15) return TRgb{0.93, 0.93, 0.90};
    return Asphalt(u, y);
  }
  // Hazard stripes warn of a bend on the lead-in and lead-out gaps.
  if (gap != Gap::Plain) {
    const bool left = u >= 80 && u < 136, right = u >= 440 && u < 496;
    if ((left && gap == Gap::HazardLeft) || (right && gap == Gap::HazardRight)) {
      const double d = (left ? u : -u) + y;
      const bool yellow = static_cast<int>(std::floor(d / 12)) % 2 == 0;
      const TRgb g = Grass(u, y);
      return Mix(g, yellow ? TRgb{0.95, 0.80, 0.10} : TRgb{0.10, 0.10, 0.10}, 0.8);
    }
  }
  // Barriers: left body 38..72, right body 504..539, each with a shadow on its road side.
  auto barrier = [&](double v, int variant) -> TRgb {
    // v runs 0..34 across the body from its outer side.
    const double shade = 0.75 + 0.25 * std::sin(v / 34 * M_PI);
    switch (variant % 4) {
      case 0: {  // striped steel rail
        const bool red = static_cast<int>(std::floor(y / 12)) % 2 == 0;
        const TRgb base = red ? TRgb{0.85, 0.10, 0.08} : TRgb{0.93, 0.93, 0.93};
        return TRgb{base.R * shade, base.G * shade, base.B * shade};
      }
      case 1: {  // tyre stack
        const double cy = std::fmod(y, 18) - 9, cx = v - 17;
        const double r = std::sqrt(cx * cx + cy * cy);
        if (r < 5) return TRgb{0.35, 0.35, 0.38};
        if (r < 9) return TRgb{0.08 * shade, 0.08 * shade, 0.09 * shade};
        return TRgb{0.05, 0.05, 0.06};
      }
      case 2: {  // sponsor board
        const bool band = v > 8 && v < 26;
        return band ? TRgb{1.0 * shade, 0.55 * shade, 0.05} : TRgb{0.15, 0.18, 0.40};
      }
      default: {  // concrete wall with a blue stripe
        const bool stripe = v > 14 && v < 20;
        return stripe ? TRgb{0.15, 0.30, 0.85} : TRgb{0.70 * shade, 0.70 * shade, 0.68 * shade};
      }
    }
  };
  if (u >= 38 && u < 72) return barrier(u - 38, leftVariant);
  if (u >= 504 && u < 539) return barrier(539 - u, rightVariant);
  TRgb g = Grass(u, y);
  if ((u >= 72 && u < 80) || (u >= 496 && u < 504)) g = Mix(g, TRgb{0, 0, 0}, 0.35);
  return g;
}

using TShade = std::function<TRgb(double x, double y)>;

std::vector<uint32_t> Render(const TShade& f) {
  std::vector<uint32_t> out(static_cast<size_t>(T) * T);
  // Four samples a pixel smooth the edges of lines and bodies.
  for (int y = 0; y < T; ++y)
    for (int x = 0; x < T; ++x) {
      TRgb acc{0, 0, 0};
      for (int s = 0; s < 4; ++s) {
        const TRgb c = f(x + 0.25 + 0.5 * (s & 1), y + 0.25 + 0.5 * (s >> 1));
        acc.R += c.R / 4;
        acc.G += c.G / 4;
        acc.B += c.B / 4;
      }
      out[static_cast<size_t>(y) * T + x] = Pack(acc);
    }
  return out;
}

// A straight-road cell i (0..7) of the cross-section.
std::vector<uint32_t> StraightCell(int i, Gap gap, int lv, int rv, bool line = false) {
  return Render([=](double x, double y) { return Section(i * T + x, y, gap, lv, rv, line); });
}

// A drift cell: `left` drifts towards smaller columns going up; `entry` is the lower row of the
// pair. The cross-section moves 0 at the entry row's bottom, 36 at its top, 72 at the shifted
// row's top.
std::vector<uint32_t> DriftCell(int i, bool left, bool entry) {
  return Render([=](double x, double y) {
    const double rise = (T - y) / T * 36.0;
    const double s = entry ? rise : 36.0 + rise;
    const double local = i * T + x + (entry ? 0 : (left ? -T : T));
    const double u = left ? local + s : local - s;
    return Section(u, y, Gap::Plain, 0, 0, false);
  });
}

std::vector<uint32_t> Decoration(int kind) {
  TCanvas c(T, T);
  auto grass = Render([](double x, double y) { return Grass(x, y); });
  cairo_surface_t* g = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(grass.data()),
                                                           CAIRO_FORMAT_ARGB32, T, T, T * 4);
  cairo_set_source_surface(c.Cr, g, 0, 0);
  cairo_paint(c.Cr);
  cairo_surface_destroy(g);
  cairo_t* cr = c.Cr;
  if (kind == 0) {  // flowers
    for (int i = 0; i < 14; ++i) {
      const double x = 8 + Noise(31, i, kind) * 56, y = 8 + Noise(32, i, kind) * 56;
      cairo_arc(cr, x, y, 2.2, 0, 2 * M_PI);
      const bool yellow = i % 3 == 0;
      cairo_set_source_rgb(cr, yellow ? 1.0 : 0.95, yellow ? 0.85 : 0.35, yellow ? 0.1 : 0.6);
      cairo_fill(cr);
    }
  } else if (kind == 1) {  // rocks
    for (int i = 0; i < 3; ++i) {
      const double x = 18 + i * 17 + Noise(33, i, 0) * 6, y = 24 + Noise(34, i, 0) * 26, r = 6 + Noise(35, i, 0) * 6;
      cairo_arc(cr, x + 2, y + 3, r, 0, 2 * M_PI);
      cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
      cairo_fill(cr);
      cairo_arc(cr, x, y, r, 0, 2 * M_PI);
      c.FillVertical(y - r, y + r, TColour{0.72, 0.70, 0.66}, TColour{0.38, 0.36, 0.34});
    }
  } else {  // a bush
    for (int i = 0; i < 7; ++i) {
      const double a = i * 0.9, x = 36 + 12 * std::cos(a), y = 36 + 12 * std::sin(a);
      cairo_arc(cr, x + 3, y + 4, 11, 0, 2 * M_PI);
      cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
      cairo_fill(cr);
    }
    for (int i = 0; i < 7; ++i) {
      const double a = i * 0.9, x = 36 + 12 * std::cos(a), y = 36 + 12 * std::sin(a);
      cairo_arc(cr, x, y, 11, 0, 2 * M_PI);
      c.FillVertical(y - 11, y + 11, TColour{0.30, 0.62, 0.20}, TColour{0.06, 0.26, 0.06});
    }
  }
  return c.Argb();
}

// A scenery block drawn whole on grass, w x h tiles.
std::vector<uint32_t> Block(int w, int h, const std::function<void(TCanvas&)>& draw) {
  TCanvas c(w * T, h * T);
  std::vector<uint32_t> grass(static_cast<size_t>(w) * T * h * T);
  for (int y = 0; y < h * T; ++y)
    for (int x = 0; x < w * T; ++x) grass[static_cast<size_t>(y) * w * T + x] = Pack(Grass(x % T + 0.5, y % T + 0.5));
  cairo_surface_t* g = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(grass.data()),
                                                           CAIRO_FORMAT_ARGB32, w * T, h * T, w * T * 4);
  cairo_set_source_surface(c.Cr, g, 0, 0);
  cairo_paint(c.Cr);
  cairo_surface_destroy(g);
  draw(c);
  return c.Argb();
}

std::vector<uint32_t> Cut(const std::vector<uint32_t>& whole, int wholeW, int col, int row) {
  std::vector<uint32_t> out(static_cast<size_t>(T) * T);
  for (int y = 0; y < T; ++y)
    for (int x = 0; x < T; ++x)
      out[static_cast<size_t>(y) * T + x] = whole[static_cast<size_t>(row * T + y) * wholeW + col * T + x];
  return out;
}

// A flat roof seen from above, with a shadow falling right and down.
void Roof(TCanvas& c, double x, double y, double w, double h, const TColour& top, const TColour& bottom) {
  cairo_t* cr = c.Cr;
  cairo_rectangle(cr, x + 8, y + 8, w, h);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
  cairo_fill(cr);
  cairo_rectangle(cr, x, y, w, h);
  c.FillVertical(y, y + h, top, bottom, true);
  cairo_set_line_width(cr, 3);
  c.Colour(pal::Night, 0.8);
  cairo_stroke(cr);
  cairo_rectangle(cr, x + 10, y + 10, w - 20, h - 20);
  cairo_set_line_width(cr, 1.5);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
  cairo_stroke(cr);
}

void Tree(TCanvas& c, double x, double y, double r) {
  cairo_t* cr = c.Cr;
  cairo_arc(cr, x + r * 0.35, y + r * 0.4, r, 0, 2 * M_PI);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  cairo_pattern_t* p = cairo_pattern_create_radial(x - r * 0.3, y - r * 0.3, r * 0.1, x, y, r);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.45, 0.75, 0.28);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.05, 0.28, 0.08);
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

}  // namespace

TPackPicture BuildTileStrip(const std::string&) {
  std::vector<std::vector<uint32_t>> tiles(74);
  // 0: ground.
  tiles[0] = Render([](double x, double y) { return Grass(x, y); });
  // 1..9 left barrier, 13..21 right barrier: the common form and eight rarer pictures.
  for (int v = 0; v < 9; ++v) {
    tiles[static_cast<size_t>(1 + v)] = StraightCell(0, Gap::Plain, v == 0 ? 0 : v % 3 + 1, 0);
    tiles[static_cast<size_t>(13 + v)] = StraightCell(7, Gap::Plain, 0, v == 0 ? 0 : v % 3 + 1);
  }
  tiles[10] = StraightCell(2, Gap::Plain, 0, 0);
  tiles[11] = StraightCell(3, Gap::Plain, 0, 0);
  tiles[12] = StraightCell(5, Gap::Plain, 0, 0);
  tiles[22] = StraightCell(1, Gap::HazardLeft, 0, 0);
  tiles[23] = StraightCell(6, Gap::HazardRight, 0, 0);
  tiles[24] = StraightCell(3, Gap::Plain, 0, 0, true);
  // Drift pieces: each stands for cells 0, 1, 2, 5, 6, 7 of the cross-section.
  const int cells[6] = {0, 1, 2, 5, 6, 7};
  for (int k = 0; k < 6; ++k) {
    tiles[static_cast<size_t>(25 + k)] = DriftCell(cells[k], true, false);   // drift left, shifted row
    tiles[static_cast<size_t>(31 + k)] = DriftCell(cells[k], true, true);    // drift left, entry row
    tiles[static_cast<size_t>(37 + k)] = DriftCell(cells[k], false, false);  // drift right, shifted row
    tiles[static_cast<size_t>(43 + k)] = DriftCell(cells[k], false, true);   // drift right, entry row
  }
  for (int d = 0; d < 3; ++d) tiles[static_cast<size_t>(49 + d)] = Decoration(d);
  // 52 / 53, 54: the small block, an L of trees around a ground cell at its top right.
  {
    auto whole = Block(2, 2, [](TCanvas& c) {
      Tree(c, 38, 40, 30);
      Tree(c, 36, 108, 28);
      Tree(c, 106, 106, 30);
    });
    tiles[52] = Cut(whole, 2 * T, 0, 0);
    tiles[53] = Cut(whole, 2 * T, 0, 1);
    tiles[54] = Cut(whole, 2 * T, 1, 1);
  }
  // The square block (60, 61 / 63, 64): a pit building; alone or in the large block's middle.
  auto square = Block(2, 2, [](TCanvas& c) {
    Roof(c, 10, 10, 118, 118, TColour{0.75, 0.30, 0.22}, TColour{0.45, 0.14, 0.10});
    cairo_rectangle(c.Cr, 40, 40, 58, 58);
    c.Colour(TColour{0.55, 0.58, 0.62});
    cairo_fill(c.Cr);
    for (int i = 0; i < 3; ++i) {
      cairo_arc(c.Cr, 54 + i * 15, 69, 5, 0, 2 * M_PI);
      c.Colour(TColour{0.2, 0.22, 0.26});
      cairo_fill(c.Cr);
    }
  });
  tiles[60] = Cut(square, 2 * T, 0, 0);
  tiles[61] = Cut(square, 2 * T, 1, 0);
  tiles[63] = Cut(square, 2 * T, 0, 1);
  tiles[64] = Cut(square, 2 * T, 1, 1);
  // The large block's border: a hedge that repeats along each side.
  auto hedge = [&](bool horizontal, double offset) {
    return Render([=](double x, double y) {
      const double across = horizontal ? y : x;
      const double along = horizontal ? x : y;
      const double d = std::fabs(across - offset);
      if (d < 14) {
        const double n = TileNoise(41, along, across, 9);
        const double light = 1 - d / 14;
        return Mix(TRgb{0.04, 0.20, 0.05}, TRgb{0.25, 0.55, 0.18}, 0.4 * light + 0.6 * n);
      }
      if (across > offset && d < 20) return Mix(Grass(x, y), TRgb{0, 0, 0}, 0.35);
      return Grass(x, y);
    });
  };
  tiles[55] = hedge(true, 46);   // top
  tiles[56] = hedge(false, 46);  // left
  tiles[57] = hedge(true, 26);   // bottom
  tiles[59] = hedge(false, 26);  // right
  tiles[58] = Render([](double x, double y) {  // bottom-right corner: the two hedges meet
    const double dy = std::fabs(y - 26), dx = std::fabs(x - 26);
    const bool along = (dy < 14 && x < 40) || (dx < 14 && y < 40);
    if (along) {
      const double d = std::min(x < 40 ? dy : 14.0, y < 40 ? dx : 14.0);
      return Mix(TRgb{0.04, 0.20, 0.05}, TRgb{0.25, 0.55, 0.18}, 0.4 * (1 - d / 14) + 0.6 * TileNoise(41, x + y, d, 9));
    }
    return Grass(x, y);
  });
  tiles[62] = tiles[0];  // never used on a track
  // 65..73: the 3 x 3 block, a grandstand with its crowd.
  {
    auto whole = Block(3, 3, [](TCanvas& c) {
      cairo_t* cr = c.Cr;
      Roof(c, 12, 18, 192, 120, TColour{0.82, 0.84, 0.88}, TColour{0.50, 0.54, 0.60});
      for (int r = 0; r < 5; ++r)
        for (int k = 0; k < 24; ++k) {
          const double x = 22 + k * 7.6, y = 36 + r * 18;
          cairo_arc(cr, x, y, 2.6, 0, 2 * M_PI);
          const int hue = static_cast<int>(Noise(51, k, r) * 5);
          static const TColour crowd[5] = {pal::Red, pal::Yellow, pal::Cyan, pal::White, pal::Orange};
          c.Colour(crowd[hue]);
          cairo_fill(cr);
        }
      Tree(c, 40, 176, 24);
      Tree(c, 108, 182, 20);
      Tree(c, 178, 172, 26);
    });
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < 3; ++col) tiles[static_cast<size_t>(65 + 3 * r + col)] = Cut(whole, 3 * T, col, r);
  }
  return StripPicture("Race tiles", T, T, tiles, false);
}

}  // namespace zw::packbuild
