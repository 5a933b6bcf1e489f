// The land beside the race road: ground decorations and the scenery blocks, drawn whole and cut
// into their tiles. Everything keeps clear of a block's outer edges, so a block meets plain
// ground, decorations or other blocks without a seam.
#include <cmath>

#include "tools/packbuild/race_tile_art.hpp"

namespace zw::packbuild::tiles {

namespace {

void SetRgb(cairo_pattern_t* g, double at, const TColour& c) {
  cairo_pattern_add_color_stop_rgb(g, at, c.R, c.G, c.B);
}

// A leafy crown: overlapping rounded clumps lit from the top left, with a shadow down-right.
void Crown(const TTilePalette& p, const TPaint& paint, double x, double y, double r,
           uint32_t seed) {
  cairo_t* cr = paint.Cr;
  const int clumps = 7;
  auto clump = [&](int k, double& cx, double& cy, double& cr2) {
    const double a = k * 2 * M_PI / clumps + Noise(seed, k, 1);
    const double d = r * (0.38 + 0.12 * Noise(seed, k, 2));
    cx = x + std::cos(a) * d;
    cy = y + std::sin(a) * d;
    cr2 = r * (0.52 + 0.1 * Noise(seed, k, 3));
  };
  for (int k = 0; k < clumps; ++k) {
    double cx, cy, rr;
    clump(k, cx, cy, rr);
    cairo_arc(cr, cx + r * 0.22, cy + r * 0.28, rr, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
    cairo_fill(cr);
  }
  for (int k = -1; k < clumps; ++k) {
    double cx = x, cy = y, rr = r * 0.55;
    if (k >= 0) clump(k, cx, cy, rr);
    cairo_pattern_t* g =
        cairo_pattern_create_radial(cx - rr * 0.4, cy - rr * 0.45, rr * 0.1, cx, cy, rr);
    SetRgb(g, 0, p["leaf_light"]);
    SetRgb(g, 1, p["leaf_dark"]);
    cairo_arc(cr, cx, cy, rr, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  }
  // Speckles of light on the leaves.
  for (int k = 0; k < static_cast<int>(r); ++k) {
    const double a = Noise(seed, k, 7) * 2 * M_PI, d = Noise(seed, k, 8) * r * 0.8;
    cairo_arc(cr, x + std::cos(a) * d - r * 0.15, y + std::sin(a) * d - r * 0.15, 1.1, 0, 2 * M_PI);
    paint.Colour(p["leaf_light"], 0.55);
    cairo_fill(cr);
  }
}

void Flowers(const TTilePalette& p, const TPaint& paint) {
  cairo_t* cr = paint.Cr;
  const TColour heads[3] = {TColour{0.98, 0.86, 0.12}, TColour{0.95, 0.42, 0.62},
                            TColour{0.96, 0.96, 0.94}};
  for (int k = 0; k < 16; ++k) {  // leaves first
    const double a = Noise(40, k, 0) * 2 * M_PI, d = 6 + Noise(40, k, 1) * 16;
    const double x = 36 + std::cos(a) * d, y = 36 + std::sin(a) * d;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, a);
    cairo_scale(cr, 4, 1.8);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    paint.Colour(Scale(p["leaf_dark"], 1.2));
    cairo_fill(cr);
  }
  for (int k = 0; k < 13; ++k) {
    const double a = Noise(41, k, 0) * 2 * M_PI, d = Noise(41, k, 1) * 19;
    const double x = 36 + std::cos(a) * d, y = 36 + std::sin(a) * d;
    const TColour& c = heads[k % 3];
    for (int petal = 0; petal < 5; ++petal) {
      const double pa = petal * 2 * M_PI / 5 + a;
      cairo_arc(cr, x + std::cos(pa) * 1.9, y + std::sin(pa) * 1.9, 1.6, 0, 2 * M_PI);
      paint.Colour(c);
      cairo_fill(cr);
    }
    cairo_arc(cr, x, y, 1.1, 0, 2 * M_PI);
    paint.Colour(TColour{0.95, 0.6, 0.1});
    cairo_fill(cr);
  }
}

void Post(const TTilePalette& p, const TPaint& paint, double x, double y) {
  cairo_t* cr = paint.Cr;
  cairo_rectangle(cr, x - 2, y - 2, 4, 4);
  paint.Shadow(1, 1.5, 0.35);
  paint.Colour(p["wood"]);
  cairo_fill(cr);
  cairo_rectangle(cr, x - 1, y - 1, 2, 2);
  paint.Colour(Scale(p["wood"], 1.5));
  cairo_fill(cr);
}

void Rocks(const TTilePalette& p, const TPaint& paint) {
  cairo_t* cr = paint.Cr;
  const double spots[3][3] = {{28, 30, 11}, {46, 40, 8}, {30, 50, 6}};
  for (int k = 0; k < 3; ++k) {
    const double x = spots[k][0], y = spots[k][1], r = spots[k][2];
    auto outline = [&](double dx, double dy) {
      for (int i = 0; i < 9; ++i) {
        const double a = i * 2 * M_PI / 9, rr = r * (0.8 + 0.3 * Noise(42, k, i));
        if (i == 0)
          cairo_move_to(cr, x + dx + std::cos(a) * rr, y + dy + std::sin(a) * rr * 0.85);
        else
          cairo_line_to(cr, x + dx + std::cos(a) * rr, y + dy + std::sin(a) * rr * 0.85);
      }
      cairo_close_path(cr);
    };
    outline(r * 0.3, r * 0.35);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    outline(0, 0);
    cairo_pattern_t* g =
        cairo_pattern_create_radial(x - r * 0.4, y - r * 0.4, r * 0.1, x, y, r * 1.1);
    SetRgb(g, 0, Scale(p["concrete_light"], 1.05));
    SetRgb(g, 1, Scale(p["concrete_dark"], 0.75));
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_stroke(cr);
  }
}

// The small block: an L-shaped farmhouse under a tiled gable roof (the top-right cell stays
// plain ground).
void Farmhouse(const TTilePalette& p, TTileImage& img) {
  TPaint paint(img);
  cairo_t* cr = paint.Cr;
  auto ell = [&](double d) {
    cairo_move_to(cr, 12 + d, 12 + d);
    cairo_line_to(cr, 64 + d, 12 + d);
    cairo_line_to(cr, 64 + d, 80 + d);
    cairo_line_to(cr, 132 + d, 80 + d);
    cairo_line_to(cr, 132 + d, 132 + d);
    cairo_line_to(cr, 12 + d, 132 + d);
    cairo_close_path(cr);
  };
  ell(6);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
  cairo_fill(cr);
  const TColour roof = p["roof_red"];
  struct TFace {
    double Pts[4][2];
    double Light;
    bool AlongY;  // the tiles' courses run across y (true) or across x
  };
  const TFace faces[4] = {{{{12, 12}, {38, 12}, {38, 106}, {12, 132}}, 1.12, true},
                          {{{38, 12}, {64, 12}, {64, 80}, {38, 106}}, 0.78, true},
                          {{{64, 80}, {132, 80}, {132, 106}, {38, 106}}, 1.0, false},
                          {{{38, 106}, {132, 106}, {132, 132}, {12, 132}}, 0.66, false}};
  for (const TFace& f : faces) {
    cairo_move_to(cr, f.Pts[0][0], f.Pts[0][1]);
    for (int k = 1; k < 4; ++k) cairo_line_to(cr, f.Pts[k][0], f.Pts[k][1]);
    cairo_close_path(cr);
    paint.Colour(Scale(roof, f.Light));
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_set_line_width(cr, 0.9);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
    for (double s = 0; s < 130; s += 4.5) {  // the courses of tiles, parallel to the ridge
      if (f.AlongY) {
        cairo_move_to(cr, 12 + s, 12);
        cairo_line_to(cr, 12 + s, 132);
      } else {
        cairo_move_to(cr, 12, 80 + s);
        cairo_line_to(cr, 132, 80 + s);
      }
    }
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  // Ridges, hip and valley.
  cairo_set_line_width(cr, 1.6);
  paint.Colour(Scale(roof, 1.35));
  cairo_move_to(cr, 38, 12);
  cairo_line_to(cr, 38, 106);
  cairo_line_to(cr, 132, 106);
  cairo_move_to(cr, 38, 106);
  cairo_line_to(cr, 12, 132);
  cairo_stroke(cr);
  cairo_set_line_width(cr, 1.2);
  paint.Colour(Scale(roof, 0.45));
  cairo_move_to(cr, 64, 80);
  cairo_line_to(cr, 38, 106);
  cairo_stroke(cr);
  ell(0);
  cairo_set_line_width(cr, 1.5);
  paint.Colour(Scale(roof, 0.4));
  cairo_stroke(cr);
  // A chimney with its shadow.
  cairo_rectangle(cr, 48, 40, 8, 9);
  paint.Shadow(4, 4, 0.35);
  paint.Colour(p["wall_cream"]);
  cairo_fill(cr);
  cairo_rectangle(cr, 50, 42, 4, 5);
  paint.Colour(Scale(p["tyre"], 1.2));
  cairo_fill(cr);
}

// The square block: a pond with a sandy shore, lily pads and reeds.
void Pond(const TTilePalette& p, TTileImage& img) {
  TPaint paint(img);
  cairo_t* cr = paint.Cr;
  auto shore = [&](double grow) {
    for (int i = 0; i <= 48; ++i) {
      const double a = i * 2 * M_PI / 48;
      const double r = 52 + 4 * std::sin(3 * a + 0.7) + 3 * std::cos(5 * a) + grow;
      const double x = 72 + std::cos(a) * r, y = 72 + std::sin(a) * r * 0.92;
      if (i == 0)
        cairo_move_to(cr, x, y);
      else
        cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
  };
  shore(6);
  paint.Colour(p["sand"]);
  cairo_fill(cr);
  shore(2);
  paint.Colour(Scale(p["sand"], 0.8));
  cairo_fill(cr);
  shore(0);
  cairo_pattern_t* g = cairo_pattern_create_radial(66, 66, 6, 72, 72, 58);
  SetRgb(g, 0, p["water_deep"]);
  SetRgb(g, 0.75, Mix(p["water_deep"], p["water_light"], 0.55));
  SetRgb(g, 1, p["water_light"]);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  // Ripples catching the light.
  cairo_set_line_width(cr, 1.2);
  for (int k = 0; k < 5; ++k) {
    const double x = 50 + Noise(50, k, 0) * 44, y = 46 + Noise(50, k, 1) * 50;
    cairo_arc(cr, x, y, 5 + 3 * Noise(50, k, 2), M_PI * 1.1, M_PI * 1.6);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.45);
    cairo_stroke(cr);
  }
  // Lily pads, each with its notch.
  const double pads[4][3] = {{40, 92, 6}, {50, 102, 4.5}, {98, 48, 5.5}, {104, 60, 4}};
  for (const auto& pad : pads) {
    cairo_move_to(cr, pad[0], pad[1]);
    cairo_arc(cr, pad[0], pad[1], pad[2], 0.35, 2 * M_PI - 0.1);
    cairo_close_path(cr);
    paint.Colour(Scale(p["leaf_light"], 0.85));
    cairo_fill(cr);
  }
  cairo_arc(cr, 98, 48, 1.8, 0, 2 * M_PI);
  paint.Colour(TColour{0.98, 0.75, 0.85});
  cairo_fill(cr);
  // Reeds on two banks.
  const double tufts[2][2] = {{26, 58}, {112, 108}};
  cairo_set_line_width(cr, 1.3);
  for (int t = 0; t < 2; ++t)
    for (int k = 0; k < 9; ++k) {
      const double a = -M_PI / 2 + (k - 4) * 0.22;
      const double len = 8 + 4 * Noise(51, t, k);
      cairo_move_to(cr, tufts[t][0] + (k - 4) * 1.2, tufts[t][1] + 4);
      cairo_line_to(cr, tufts[t][0] + (k - 4) * 1.2 + std::cos(a) * len,
                    tufts[t][1] + 4 + std::sin(a) * len);
      paint.Colour(k & 1 ? p["leaf_dark"] : Scale(p["leaf_light"], 0.8));
      cairo_stroke(cr);
    }
}

// A paddock fence along a cell at `at` across it: white rails between wooden posts near both
// ends and in the middle. Nothing reaches the cell's sides, so a fence may end at any cell; where
// two fence cells meet their end posts stand side by side.
void Fence(const TTilePalette& p, const TPaint& paint, bool horizontal, double at) {
  cairo_t* cr = paint.Cr;
  const double posts[3] = {4, 36, 68};
  auto point = [&](double along, double dx, double dy) {
    return std::pair<double, double>{(horizontal ? along : at) + dx,
                                     (horizontal ? at : along) + dy};
  };
  cairo_set_line_width(cr, 2.2);
  for (int pass = 0; pass < 2; ++pass) {
    const double dx = pass ? 0 : 1, dy = pass ? 0 : 1.5;
    const auto [x0, y0] = point(posts[0], dx, dy);
    const auto [x1, y1] = point(posts[2], dx, dy);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    if (pass)
      paint.Colour(p["fence_white"]);
    else
      cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_stroke(cr);
  }
  for (double post : posts) Post(p, paint, horizontal ? post : at, horizontal ? at : post);
}

// The 3 x 3 block: a grandstand full of spectators, with a car park in front of it.
void Grandstand(const TTilePalette& p, TTileImage& img) {
  TPaint paint(img);
  cairo_t* cr = paint.Cr;
  cairo_rectangle(cr, 12, 14, 192, 106);
  paint.Shadow(8, 8, 0.42);
  cairo_new_path(cr);
  // Terraces of seats, row by row, filled with people.
  const TColour shirts[6] = {pal::Red,   pal::Yellow, pal::Cyan,
                             pal::White, pal::Orange, TColour{0.3, 0.45, 0.95}};
  for (int row = 0; row < 7; ++row) {
    const double y = 56 + row * 9;
    cairo_rectangle(cr, 12, y, 192, 9);
    paint.Colour(Scale(p["crowd_seat"], 0.8 + row * 0.05));
    cairo_fill(cr);
    cairo_rectangle(cr, 12, y + 7.5, 192, 1.5);
    paint.Colour(p["concrete_light"], 0.5);
    cairo_fill(cr);
    for (int k = 0; k < 40; ++k) {
      const double x = 16 + k * 4.7 + 1.5 * Noise(60, k, row);
      if (std::fabs(x - 78) < 5 || std::fabs(x - 138) < 5) continue;  // the aisles
      if (Noise(61, k, row) < 0.12) continue;                         // an empty seat
      const TColour& c = shirts[static_cast<int>(Noise(62, k, row) * 6) % 6];
      cairo_arc(cr, x, y + 4.5, 2.1, 0, 2 * M_PI);
      paint.Colour(c);
      cairo_fill(cr);
      cairo_arc(cr, x - 0.4, y + 3.4, 1.1, 0, 2 * M_PI);
      paint.Colour(TColour{0.85, 0.66, 0.5});  // a head
      cairo_fill(cr);
    }
  }
  for (double aisle : {78.0, 138.0}) {
    cairo_rectangle(cr, aisle - 3.5, 56, 7, 63);
    paint.Colour(p["concrete_light"]);
    cairo_fill(cr);
    for (double s = 58; s < 119; s += 4.5) {
      cairo_rectangle(cr, aisle - 3.5, s, 7, 0.8);
      paint.Colour(p["concrete_dark"]);
      cairo_fill(cr);
    }
  }
  // The front wall with its advertising panels.
  cairo_rectangle(cr, 12, 119, 192, 5);
  paint.Colour(p["concrete_light"]);
  cairo_fill(cr);
  for (int k = 0; k < 6; ++k) {
    cairo_rectangle(cr, 16 + k * 31.5, 120, 26, 3);
    paint.Colour(k & 1 ? p["board_yellow"] : p["board_blue"]);
    cairo_fill(cr);
  }
  // The roof over the back rows: corrugated sheet with a shadow on the seats below.
  cairo_rectangle(cr, 8, 12, 200, 46);
  paint.Shadow(0, 6, 0.35);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 12, 0, 58);
  SetRgb(g, 0, p["steel_light"]);
  SetRgb(g, 1, p["steel_dark"]);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_set_line_width(cr, 1);
  for (double x = 10; x < 208; x += 4) {
    cairo_move_to(cr, x, 12);
    cairo_line_to(cr, x, 58);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_stroke(cr);
  }
  cairo_rectangle(cr, 8, 12, 200, 46);
  cairo_set_line_width(cr, 2);
  paint.Colour(Scale(p["steel_dark"], 0.6));
  cairo_stroke(cr);
  for (double x : {16.0, 200.0}) {  // flags on the roof's corners
    cairo_move_to(cr, x, 18);
    cairo_line_to(cr, x + 12, 21);
    cairo_line_to(cr, x, 25);
    cairo_close_path(cr);
    paint.Colour(pal::Orange);
    cairo_fill(cr);
  }
  // The car park.
  cairo_rectangle(cr, 20, 138, 176, 64);
  paint.Colour(p["asphalt_dark"]);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1.2);
  paint.Colour(p["road_line"], 0.8);
  for (int k = 0; k <= 11; ++k) {
    cairo_move_to(cr, 20 + k * 16, 140);
    cairo_line_to(cr, 20 + k * 16, 166);
    cairo_move_to(cr, 20 + k * 16, 174);
    cairo_line_to(cr, 20 + k * 16, 200);
  }
  cairo_stroke(cr);
  const TColour cars[5] = {pal::Red, TColour{0.2, 0.35, 0.85}, pal::White, pal::Yellow,
                           TColour{0.15, 0.15, 0.18}};
  for (int k = 0; k < 22; ++k) {
    if (Noise(63, k, 0) < 0.3) continue;
    // A car seen from above, nose towards the aisle between the rows.
    const double x = 23 + (k % 11) * 16, y = k < 11 ? 142 : 176;
    const bool noseDown = k < 11;
    const TColour& body = cars[static_cast<int>(Noise(64, k, 0) * 5) % 5];
    paint.RoundedBox(x, y, 10, 21, 3);
    paint.Shadow(2, 2, 0.4);
    paint.Colour(body);
    cairo_fill(cr);
    const double front = noseDown ? y + 12 : y + 4, back = noseDown ? y + 3.5 : y + 14.5;
    paint.RoundedBox(x + 1.5, front, 7, 4.5, 1.2);  // windscreen
    paint.Colour(TColour{0.12, 0.16, 0.24});
    cairo_fill(cr);
    paint.RoundedBox(x + 2, back, 6, 3, 1);  // rear window
    paint.Colour(TColour{0.12, 0.16, 0.24});
    cairo_fill(cr);
    cairo_rectangle(cr, x + 2, noseDown ? y + 7.5 : y + 8.5, 6, 4);  // the roof's sheen
    paint.Colour(TColour{1, 1, 1}, 0.18);
    cairo_fill(cr);
  }
}

}  // namespace

void DrawScenery(const TTilePalette& p, std::vector<std::vector<uint32_t>>& tiles) {
  auto single = [&](int code, const std::function<void(const TPaint&)>& draw) {
    TTileImage img = GroundImage(p, 1, 1);
    {
      TPaint paint(img);
      draw(paint);
    }
    tiles[static_cast<size_t>(code)] = CutTile(img, 0, 0);
  };
  single(49, [&](const TPaint& paint) { Flowers(p, paint); });
  single(50, [&](const TPaint& paint) { Rocks(p, paint); });
  single(51, [&](const TPaint& paint) { Crown(p, paint, 34, 33, 19, 70); });
  {
    TTileImage img = GroundImage(p, 2, 2);
    Farmhouse(p, img);
    tiles[52] = CutTile(img, 0, 0);
    tiles[53] = CutTile(img, 0, 1);
    tiles[54] = CutTile(img, 1, 1);
  }
  {
    TTileImage img = GroundImage(p, 2, 2);
    Pond(p, img);
    tiles[60] = CutTile(img, 0, 0);
    tiles[61] = CutTile(img, 1, 0);
    tiles[63] = CutTile(img, 0, 1);
    tiles[64] = CutTile(img, 1, 1);
  }
  // The large block is a paddock round the square block: its fence runs along the top (55, which
  // also takes the top-right corner), down the left (56, also the bottom-left corner), along the
  // bottom (57) and down the right (59); 58 holds the corner post where bottom and right meet.
  single(55, [&](const TPaint& paint) { Fence(p, paint, true, 67); });
  single(56, [&](const TPaint& paint) { Fence(p, paint, false, 67); });
  single(57, [&](const TPaint& paint) { Fence(p, paint, true, 5); });
  single(59, [&](const TPaint& paint) { Fence(p, paint, false, 5); });
  single(58, [&](const TPaint& paint) { Post(p, paint, 4, 4); });
  {
    TTileImage img = GroundImage(p, 3, 3);
    Grandstand(p, img);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) tiles[static_cast<size_t>(65 + 3 * r + c)] = CutTile(img, c, r);
  }
}

}  // namespace zw::packbuild::tiles
