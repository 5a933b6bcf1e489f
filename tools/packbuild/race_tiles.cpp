// The race tile strip: 74 tiles of 72 x 72 seen from above, the road, its barriers and the land.
//
// Every road piece is cut from one straight cross-section of the eight-cell road row (barrier,
// gap, edge, lane, lane, edge, gap, barrier), and the drift pieces move that cross-section
// sideways continuously: by nothing at an entry row's bottom edge, half a tile at its top edge
// and a whole tile at the shifted row's top edge. So a drifting road joins row to row without
// a step, and every barrier body lies where the game makes it solid. The textures (grass,
// asphalt) never move with the road: they are taken at the cell's own coordinates and repeat
// every tile, so any two tiles that meet show one continuous ground.
#include "tools/packbuild/race_tiles.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "tools/packbuild/content.hpp"
#include "tools/packbuild/race_tile_art.hpp"

namespace zw::packbuild {

namespace tiles {

TTilePalette::TTilePalette(const std::string& text, const std::string& source) : Source(source) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string name;
    if (!(words >> name)) continue;
    int r = -1, g = -1, b = -1;
    std::string extra;
    if (!(words >> r >> g >> b) || (words >> extra) || r < 0 || r > 255 || g < 0 || g > 255 ||
        b < 0 || b > 255)
      throw std::runtime_error(Source + " line " + std::to_string(number) +
                               ": expected a name and three values 0..255");
    Colours[name] = TColour{r / 255.0, g / 255.0, b / 255.0};
  }
}

const TColour& TTilePalette::operator[](const std::string& name) const {
  auto it = Colours.find(name);
  if (it == Colours.end()) throw std::runtime_error(Source + " has no colour " + name);
  return it->second;
}

TColour Mix(const TColour& a, const TColour& b, double t) {
  return TColour{a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

TColour Scale(const TColour& c, double f) {
  return TColour{c.R * f, c.G * f, c.B * f};
}

namespace {

int Wrap(int v, int n) {
  return ((v % n) + n) % n;
}

double Smooth(double t) {
  return t * t * (3 - 2 * t);
}

double Clamp01(double t) {
  return std::clamp(t, 0.0, 1.0);
}

}  // namespace

double TileNoise(uint32_t seed, double x, double y, int cell) {
  const int n = T / cell;
  const double fx = x / cell, fy = y / cell;
  const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  const double sx = Smooth(fx - x0), sy = Smooth(fy - y0);
  auto at = [&](int i, int j) { return Noise(seed, Wrap(i, n), Wrap(j, n)); };
  const double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}

double TileGrain(uint32_t seed, double x, double y) {
  return Noise(seed, Wrap(static_cast<int>(std::floor(x)), T),
               Wrap(static_cast<int>(std::floor(y)), T));
}

TColour Grass(const TTilePalette& p, double x, double y) {
  const double n =
      0.45 * TileNoise(3, x, y, 24) + 0.3 * TileNoise(4, x, y, 8) + 0.25 * TileNoise(5, x, y, 3);
  TColour c = Mix(p["grass_dark"], p["grass_light"], 0.15 + 0.7 * n);
  // Mown bands across the track: they show the speed as the ground rolls by.
  const double band = 0.5 + 0.5 * std::cos(2 * M_PI * std::fmod(y + 9, 36) / 36);
  c = Scale(c, 0.955 + 0.09 * Smooth(band));
  // Blades: a few darker and lighter pixels.
  const double g = TileGrain(6, x, y);
  if (g < 0.12) c = Scale(c, 0.82);
  if (g > 0.93) c = Mix(c, p["grass_light"], 0.45);
  return c;
}

TColour Asphalt(const TTilePalette& p, double x, double y) {
  const double n =
      0.35 * TileNoise(7, x, y, 24) + 0.25 * TileNoise(8, x, y, 6) + 0.4 * TileGrain(9, x, y);
  TColour c = Mix(p["asphalt_dark"], p["asphalt_light"], n);
  const double g = TileGrain(10, x, y);
  if (g > 0.975) c = Mix(c, p["concrete_light"], 0.35);  // a stone of the aggregate
  if (g < 0.03) c = Scale(c, 0.75);
  return c;
}

void Shade(TTileImage& img, const TShade& f) {
  for (int y = 0; y < img.PixH(); ++y)
    for (int x = 0; x < img.PixW(); ++x) {
      TColour acc{0, 0, 0};
      for (int s = 0; s < 16; ++s) {
        const TColour c = f(x + 0.125 + 0.25 * (s & 3), y + 0.125 + 0.25 * (s >> 2));
        acc.R += c.R / 16;
        acc.G += c.G / 16;
        acc.B += c.B / 16;
      }
      img.At(x, y) = acc;
    }
}

TTileImage GroundImage(const TTilePalette& p, int w, int h) {
  TTileImage img(w, h);
  Shade(img, [&](double x, double y) { return Grass(p, std::fmod(x, T), std::fmod(y, T)); });
  return img;
}

namespace {

uint32_t ToArgb(const TColour& c) {
  auto ch = [](double v) { return static_cast<uint32_t>(std::lround(Clamp01(v) * 255)); };
  return 0xFF000000u | (ch(c.R) << 16) | (ch(c.G) << 8) | ch(c.B);
}

}  // namespace

TPaint::TPaint(TTileImage& img) : Img(img) {
  Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, img.PixW(), img.PixH());
  unsigned char* data = cairo_image_surface_get_data(Surface);
  const int stride = cairo_image_surface_get_stride(Surface);
  for (int y = 0; y < img.PixH(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < img.PixW(); ++x) row[x] = ToArgb(img.At(x, y));
  }
  cairo_surface_mark_dirty(Surface);
  Cr = cairo_create(Surface);
  cairo_set_antialias(Cr, CAIRO_ANTIALIAS_GOOD);
}

TPaint::~TPaint() {
  cairo_destroy(Cr);
  cairo_surface_flush(Surface);
  const unsigned char* data = cairo_image_surface_get_data(Surface);
  const int stride = cairo_image_surface_get_stride(Surface);
  for (int y = 0; y < Img.PixH(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < Img.PixW(); ++x) {
      const uint32_t v = row[x];
      Img.At(x, y) =
          TColour{((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
    }
  }
  cairo_surface_destroy(Surface);
}

void TPaint::Colour(const TColour& c, double alpha) const {
  cairo_set_source_rgba(Cr, c.R, c.G, c.B, alpha);
}

void TPaint::Shadow(double dx, double dy, double alpha) const {
  cairo_save(Cr);
  cairo_translate(Cr, dx, dy);
  cairo_set_source_rgba(Cr, 0, 0, 0, alpha);
  cairo_fill_preserve(Cr);
  cairo_restore(Cr);
}

void TPaint::RoundedBox(double x, double y, double w, double h, double r) const {
  cairo_new_sub_path(Cr);
  cairo_arc(Cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(Cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(Cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(Cr, x + r, y + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(Cr);
}

std::vector<uint32_t> CutTile(const TTileImage& img, int col, int row) {
  std::vector<uint32_t> out(static_cast<size_t>(T) * T);
  for (int y = 0; y < T; ++y)
    for (int x = 0; x < T; ++x)
      out[static_cast<size_t>(y) * T + x] = ToArgb(img.At(col * T + x, row * T + y));
  return out;
}

namespace {

// The straight cross-section, in pixels across the eight cells (0..576).
constexpr double BarrierLOuter = 38, BarrierLInner = 72;  // the left barrier's body
constexpr double BarrierRInner = 504, BarrierROuter = 539;
constexpr double RoadLeft = 144, RoadRight = 432;
constexpr double KerbWidth = 10, LineFrom = 14, LineTo = 17.5;
constexpr double ShadowWidth = 12;  // the barriers' shade on the ground outside them

struct TSectionStyle {
  int LeftVariant = 0, RightVariant = 0;  // barrier pictures: 0 the common one, 1..8 rare ones
  double ShadeScale = 1;                  // how much of the barriers' shade falls here (0..1)
};

// A barrier body seen from above: `v` runs across it from its outer face (0) to its road face
// (`w`), `y` along it in the cell. Every picture keeps the same concrete rim and the same joint
// at the cell's top and bottom, so any barrier cell may stand above any other.
TColour Barrier(const TTilePalette& p, int variant, double v, double w, double y) {
  const double g = TileGrain(20 + variant, v, y);
  if (v < 2 || v > w - 2) {
    const double edge = v < 2 ? v / 2 : (w - v) / 2;
    return Scale(p["concrete_dark"], 0.7 + 0.3 * edge);
  }
  if (y < 2.5 || y > T - 2.5) {
    const bool lip = y < 1 || y > T - 1;
    return Scale(p["concrete_light"], lip ? 0.72 : 0.9 + 0.05 * g);
  }
  const double round = 0.8 + 0.2 * std::sin(M_PI * v / w);  // the rounded top of the wall
  switch (variant) {
    case 1: {  // a wall of tyres, two abreast
      const double col = v < w / 2 ? w * 0.28 : w * 0.72;
      const double k = std::floor((y - 2.5) / 13.4);
      const double row = 2.5 + 6.7 + 13.4 * std::clamp(k, 0.0, 4.0);
      const double r = std::hypot(v - col, y - row);
      if (r < 2.4) return Scale(p["tyre"], 0.6);
      if (r < 3.8) return Scale(p["tyre_light"], 0.9 + 0.1 * g);
      if (r < 6.4)
        return Scale(Mix(p["tyre"], p["tyre_light"], 0.25 * (1 - r / 6.4)), 0.8 + 0.4 * g);
      return Scale(p["concrete_dark"], 0.45);
    }
    case 2: {  // steel rails on a concrete sill, with posts
      const bool rail = (v > 3 && v < 10) || (v > w - 10 && v < w - 3);
      if (rail) {
        const double across = std::fmod(v - 3, 7) / 7;  // three corrugations
        const double ridge = 0.5 + 0.5 * std::cos(across * 6 * M_PI);
        return Mix(p["steel_dark"], p["steel_light"], 0.25 + 0.6 * ridge);
      }
      const double post = std::fmod(y + 12, 24);
      if (v > 12 && v < w - 12 && post > 9 && post < 15) return Scale(p["steel_dark"], 0.8);
      return Scale(p["concrete_light"], 0.7 + 0.08 * g);
    }
    case 3: {  // an advertising board: yellow chevrons pointing up the track
      const double c = std::fmod(y + 2 * std::fabs(v - w / 2) + 240, 24);
      const TColour base = c < 9 ? p["board_yellow"] : p["board_blue"];
      return Scale(base, round);
    }
    case 4: {  // straw bales tied with twine
      const double along = std::fmod(y - 2.5, 22.33);
      if (along < 1.2 || along > 21.1) return Scale(p["straw_dark"], 0.55);
      if (std::fabs(along - 7.4) < 0.8 || std::fabs(along - 14.9) < 0.8)
        return Scale(p["wood"], 0.8);
      const double fibre = TileNoise(30, v * 4, y, 4);
      return Scale(Mix(p["straw_dark"], p["straw_light"], 0.3 + 0.6 * fibre), round);
    }
    case 5: {  // water-filled plastic blocks, red and white
      const double along = std::fmod(y - 2.5, 22.33);
      const int k = static_cast<int>(std::floor((y - 2.5) / 22.33));
      if (along < 1.5) return Scale(p["concrete_dark"], 0.5);
      const TColour base = (k & 1) ? p["plastic_white"] : p["plastic_red"];
      const double ribs = std::fabs(v - w / 2) < 3 ? 1.08 : 1.0;
      return Scale(base, round * ribs * (0.95 + 0.05 * g));
    }
    case 6: {  // a chequered wall
      const int cx = static_cast<int>(std::floor((v - 2) / ((w - 4) / 4)));
      const int cy = static_cast<int>(std::floor((y - 2.5) / (67.0 / 6)));
      return Scale((cx + cy) & 1 ? p["chequer_light"] : p["chequer_dark"], round);
    }
    case 7: {  // concrete with blue and white hazard stripes
      const bool blue = std::fmod(y + v, 16) < 8;
      return Scale(blue ? p["board_blue"] : p["plastic_white"], round);
    }
    case 8: {  // a marshal's post: a booth under an orange roof
      const double cy = T / 2.0;
      const TColour roof = Mix(p["kerb_red"], p["board_yellow"], 0.45);
      if (std::fabs(y - cy) < 16) {
        const bool ridge = std::fabs(v - w / 2) < 1;
        const double side = v < w / 2 ? 1.05 : 0.8;
        return Scale(roof, ridge ? 1.2 : side);
      }
      if (std::fabs(y - cy) < 19) return Scale(roof, 0.5);
      return Scale(Mix(p["concrete_dark"], p["concrete_light"], 0.5), round);
    }
    default: {  // the common barrier: a wall painted red and white
      const bool red = static_cast<int>(std::floor((y - 2.5) / 16.75)) % 2 == 0;
      TColour c = red ? p["kerb_red"] : p["kerb_white"];
      if (std::fabs(v - w * 0.3) < 1.5) c = Mix(c, p["kerb_white"], 0.35);  // the sheen
      return Scale(c, round * (0.96 + 0.04 * g));
    }
  }
}

// The colour at `u` across the straight cross-section, at cell-local (x, y).
TColour Section(const TTilePalette& p, double u, double x, double y, const TSectionStyle& s) {
  if (u >= RoadLeft && u < RoadRight) {
    const bool left = u - RoadLeft < RoadRight - u;
    const double e = left ? u - RoadLeft : RoadRight - u;
    if (e < KerbWidth) {
      // Blocks of 18 change colour mid-block at the cell edges, never on them.
      const bool red = static_cast<int>(std::floor((y + 9) / 18)) % 2 == 0;
      TColour c = red ? p["kerb_red"] : p["kerb_white"];
      if (e < 1.5)
        c = Scale(c, 0.7);  // the kerb's outer lip
      else if (e < 3.5)
        c = Scale(c, 1.06);
      else if (e > KerbWidth - 1.5)
        c = Scale(c, 0.82);
      return c;
    }
    const TColour a = Asphalt(p, x, y);
    if (e >= LineFrom && e < LineTo)
      return Mix(a, p["road_line"], 0.85 + 0.15 * TileGrain(14, x, y));
    return a;
  }
  if (u >= BarrierLOuter && u < BarrierLInner)
    return Barrier(p, s.LeftVariant, u - BarrierLOuter, BarrierLInner - BarrierLOuter, y);
  if (u >= BarrierRInner && u < BarrierROuter)
    return Barrier(p, s.RightVariant, BarrierROuter - u, BarrierROuter - BarrierRInner, y);
  TColour g = Grass(p, x, y);
  // The barriers' shade on the ground outside them.
  double shade = 0;
  if (u < BarrierLOuter && u > BarrierLOuter - ShadowWidth)
    shade = 1 - (BarrierLOuter - u) / ShadowWidth;
  if (u >= BarrierROuter && u < BarrierROuter + ShadowWidth)
    shade = 1 - (u - BarrierROuter) / ShadowWidth;
  if (shade > 0) g = Scale(g, 1 - 0.5 * shade * shade * s.ShadeScale);
  return g;
}

TTileImage StraightCell(const TTilePalette& p, int index, const TSectionStyle& s) {
  TTileImage img;
  Shade(img, [&](double x, double y) { return Section(p, index * T + x, x, y, s); });
  return img;
}

// ---- Drift pieces ----

// A drift goes in pairs of rows. In the pair's frame the shifted row is Y 0..71 and the entry
// row Y 72..143; the entry row's cell `i` (0..7 across the road row) is column i, the shifted
// row's cell i is column i - 1 for a drift to the left and i + 1 for one to the right.
constexpr int FrameCols = 10;  // columns -1..8
constexpr int FrameX0 = -T;    // the frame's first pixel column
constexpr int FrameW = FrameCols * T, FrameH = 2 * T;

struct TDriftCode {
  int Code;
  bool Entry;
  int Index;
};

constexpr int DriftCodes[2][2][8] = {
    // left: shifted, entry
    {{25, 26, 27, 11, 11, 28, 29, 30}, {31, 32, 33, 11, 11, 34, 35, 36}},
    // right: shifted, entry
    {{37, 38, 39, 11, 11, 40, 41, 42}, {43, 44, 45, 11, 11, 46, 47, 48}}};

// Where a drift cell's pixel lies across the straight cross-section.
double DriftU(bool left, bool entry, int index, double x, double y) {
  if (left) return entry ? T * index + x + (T - y) / 2 : T * index + x - y / 2;
  return entry ? T * index + x - (T - y) / 2 : T * index + x + y / 2;
}

int FrameColumn(bool left, bool entry, int index) {
  return entry ? index : index + (left ? -1 : 1);
}

// How far a point of the frame lies from the cells beside the road row, which may hold any
// ground or scenery: the barriers' shade fades out before it reaches them. Below the entry row
// and above the shifted row the road continues in the same columns, so the distance carries on
// there unchanged and the shade joins the straight barriers' and the next pair's.
double FreeDistance(bool left, double x, double y) {
  const double lowerLeft = 0, upperLeft = left ? -T : T;  // the first cell of each row
  const double lowerRight = 8 * T, upperRight = left ? 7 * T : 9 * T;
  auto gap = [](double a, double b) { return std::hypot(std::max(0.0, a), std::max(0.0, b)); };
  return std::min({gap(x - lowerLeft, T - y), gap(x - upperLeft, y - T), gap(lowerRight - x, T - y),
                   gap(upperRight - x, y - T)});
}

// The collision shapes of the solid drift pieces, corner by corner as the game stores them.
struct TShape {
  int Code;
  int X[4], Y[4];
};
constexpr TShape DriftShapes[] = {
    {25, {38, 71, 55, 71}, {0, 0, 34, 66}},  {26, {2, 20, 2, 36}, {0, 35, 71, 71}},
    {29, {71, 52, 61, 71}, {0, 10, 27, 46}}, {30, {8, 0, 17, 45}, {0, 48, 71, 71}},
    {31, {2, 38, 38, 71}, {0, 0, 71, 71}},   {35, {71, 17, 45, 71}, {0, 9, 63, 70}},
    {36, {0, 19, 0, 34}, {0, 38, 71, 71}},   {37, {35, 71, 1, 55}, {0, 48, 67, 71}},
    {38, {0, 17, 10, 0}, {0, 0, 28, 47}},    {41, {69, 35, 71, 69}, {0, 67, 68, 71}},
    {42, {0, 33, 17, 0}, {0, 0, 32, 66}},    {43, {71, 54, 37, 71}, {0, 34, 68, 71}},
    {44, {0, 55, 24, 0}, {0, 8, 65, 70}},    {48, {33, 69, 0, 33}, {0, 0, 71, 71}}};

// The game's inside test: the angles a point sees between successive corners add up to a full
// turn (at least 355 degrees).
bool InsideShape(const TShape& s, double px, double py) {
  double sum = 0;
  for (int k = 0; k < 4; ++k) {
    const double ax = s.X[k] - px, ay = s.Y[k] - py;
    const double bx = s.X[(k + 1) % 4] - px, by = s.Y[(k + 1) % 4] - py;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    if (la == 0 || lb == 0) return true;
    sum += std::acos(std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0));
  }
  return sum * 180 / M_PI >= 355;
}

const TShape* ShapeOf(int code) {
  for (const TShape& s : DriftShapes)
    if (s.Code == code) return &s;
  return nullptr;
}

constexpr double RimGrowth = 2.5;  // how far a wall's rim may widen over its solid shape

struct TTyre {
  double X, Y;  // in the pair's frame
};
constexpr double TyreRadius = 6.5;

// Where the game's collision shapes reach past the barrier body (on the outer side of a bend
// they lie nearer the road than the wall), a stack of tyres stands in front of the wall so the
// rider sees what he would hit. The stacks are chosen greedily to cover those parts, never on
// the road, never across the pair's top and bottom edges (a straight barrier may meet them
// there) and never into a lane or a cell beside the road row.
std::vector<TTyre> PlaceTyres(bool left) {
  enum : uint8_t { Outside, Road, Wall, Ground };
  std::vector<uint8_t> kind(static_cast<size_t>(FrameW) * FrameH, Outside);
  std::vector<uint8_t> open(kind.size(), 0);  // 1 = inside a shape but not under the wall
  auto at = [&](int x, int y) { return static_cast<size_t>(y) * FrameW + x; };
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 8; ++i) {
      const bool entry = row == 1;
      const int code = DriftCodes[left ? 0 : 1][row][i];
      if (code == 11) continue;
      const TShape* shape = ShapeOf(code);
      const int cx = (FrameColumn(left, entry, i) + 1) * T, cy = row * T;
      for (int y = 0; y < T; ++y)
        for (int x = 0; x < T; ++x) {
          const double u = DriftU(left, entry, i, x + 0.5, y + 0.5);
          auto nearWall = [&](double by) {
            return (u >= BarrierLOuter - by && u < BarrierLInner + by) ||
                   (u >= BarrierRInner - by && u < BarrierROuter + by);
          };
          const bool inside = shape && InsideShape(*shape, x + 0.5, y + 0.5);
          const uint8_t k = u >= RoadLeft && u < RoadRight ? Road : nearWall(1) ? Wall : Ground;
          // A sliver along the wall's face is covered by its rim, not by tyres.
          if (inside && !nearWall(RimGrowth)) open[at(cx + x, cy + y)] = 1;
          kind[at(cx + x, cy + y)] = k;
        }
    }
  std::vector<TTyre> tyres;
  const int reach = static_cast<int>(std::ceil(TyreRadius));
  const int margin = reach + 3;  // room for the tyre's shadow, down and to the right
  const int marginUp = reach + 2;
  for (;;) {
    double best = 4;
    int bx = -1, by = -1;
    for (int y = marginUp; y < FrameH - margin; ++y)
      for (int x = margin; x < FrameW - margin; ++x) {
        // A tyre goes only where there is something to cover near its middle.
        if (!open[at(x, y)] && !(x > 2 && open[at(x - 3, y)]) &&
            !(x + 3 < FrameW && open[at(x + 3, y)]))
          continue;
        double score = 0;
        bool allowed = true;
        for (int dy = -marginUp; dy <= margin && allowed; ++dy)
          for (int dx = -margin; dx <= margin; ++dx) {
            const uint8_t k = kind[at(x + dx, y + dy)];
            if (k == Outside) {
              allowed = false;
              break;
            }
            if (dx * dx + dy * dy > TyreRadius * TyreRadius) continue;
            if (open[at(x + dx, y + dy)])
              score += 1;
            else if (k == Road)
              score -= 3;
            else if (k == Ground)
              score -= 0.6;
          }
        if (allowed && score > best) {
          best = score;
          bx = x;
          by = y;
        }
      }
    if (bx < 0) break;
    tyres.push_back(TTyre{bx + 0.5 + FrameX0, by + 0.5});
    for (int dy = -reach; dy <= reach; ++dy)
      for (int dx = -reach; dx <= reach; ++dx)
        if (dx * dx + dy * dy <= TyreRadius * TyreRadius) open[at(bx + dx, by + dy)] = 0;
  }
  // Lower stacks are drawn last, over the ones behind them.
  std::stable_sort(tyres.begin(), tyres.end(),
                   [](const TTyre& a, const TTyre& b) { return a.Y < b.Y; });
  return tyres;
}

// The dark bed a stack of tyres stands in, which closes the gaps between neighbouring stacks.
void DrawTyreBed(const TTilePalette& p, const TPaint& paint, const TTyre& t) {
  cairo_t* cr = paint.Cr;
  cairo_arc(cr, t.X + 1.5, t.Y + 2, TyreRadius + 1, 0, 2 * M_PI);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
  cairo_fill(cr);
  cairo_arc(cr, t.X, t.Y, TyreRadius + 1.8, 0, 2 * M_PI);
  paint.Colour(Scale(p["tyre"], 0.8));
  cairo_fill(cr);
}

void DrawTyre(const TTilePalette& p, const TPaint& paint, const TTyre& t) {
  cairo_t* cr = paint.Cr;
  cairo_pattern_t* g = cairo_pattern_create_radial(t.X - 2, t.Y - 2, 0.5, t.X, t.Y, TyreRadius);
  const TColour a = p["tyre_light"], b = p["tyre"];
  cairo_pattern_add_color_stop_rgb(g, 0, a.R, a.G, a.B);
  cairo_pattern_add_color_stop_rgb(g, 0.6, b.R * 1.4, b.G * 1.4, b.B * 1.4);
  cairo_pattern_add_color_stop_rgb(g, 1, b.R * 0.7, b.G * 0.7, b.B * 0.7);
  cairo_arc(cr, t.X, t.Y, TyreRadius, 0, 2 * M_PI);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_arc(cr, t.X, t.Y, 2.6, 0, 2 * M_PI);
  paint.Colour(Scale(p["tyre"], 0.5));
  cairo_fill(cr);
  cairo_arc(cr, t.X, t.Y, 3.6, 0, 2 * M_PI);
  cairo_set_line_width(cr, 0.8);
  paint.Colour(p["tyre_light"], 0.7);
  cairo_stroke(cr);
}

void DriftPieces(const TTilePalette& p, bool left, std::vector<std::vector<uint32_t>>& tiles) {
  const std::vector<TTyre> tyres = PlaceTyres(left);
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 8; ++i) {
      const int code = DriftCodes[left ? 0 : 1][row][i];
      if (code == 11) continue;
      const bool entry = row == 1;
      const TShape* shape = ShapeOf(code);
      TTileImage img;
      Shade(img, [&](double x, double y) {
        const double u = DriftU(left, entry, i, x, y);
        // Where the solid shape reaches a little past a wall's face, the wall's concrete rim
        // widens over it.
        const bool rim = (u > BarrierLOuter - RimGrowth && u < BarrierLOuter) ||
                         (u >= BarrierLInner && u < BarrierLInner + RimGrowth) ||
                         (u > BarrierRInner - RimGrowth && u < BarrierRInner) ||
                         (u >= BarrierROuter && u < BarrierROuter + RimGrowth);
        if (rim && shape && InsideShape(*shape, x, y)) return Scale(p["concrete_dark"], 0.75);
        TSectionStyle s;
        s.ShadeScale = std::clamp(
            FreeDistance(left, FrameColumn(left, entry, i) * T + x, row * T + y) / 10, 0.0, 1.0);
        return Section(p, u, x, y, s);
      });
      {
        TPaint paint(img);
        cairo_translate(paint.Cr, -(FrameColumn(left, entry, i) * T), -(row * T));
        for (const TTyre& t : tyres) DrawTyreBed(p, paint, t);
        for (const TTyre& t : tyres) DrawTyre(p, paint, t);
      }
      tiles[static_cast<size_t>(code)] = CutTile(img, 0, 0);
    }
}

// The start and finish line: a chequered band right across the road. It fills the whole cell,
// so where it interrupts the kerbs and edge lines it does so along a straight edge.
TTileImage LineCell(const TTilePalette& p) {
  TTileImage img;
  Shade(img, [&](double x, double y) {
    const int cx = static_cast<int>(std::floor(x / 12)), cy = static_cast<int>(std::floor(y / 12));
    const TColour c = (cx + cy) & 1 ? p["chequer_dark"] : p["chequer_light"];
    return Scale(c, 0.93 + 0.07 * TileGrain(15, x, y));  // paint on asphalt
  });
  return img;
}

// The approach to a bend: traffic cones down the middle of the verge, two to a cell.
void Cones(const TTilePalette& p, TTileImage& img) {
  TPaint paint(img);
  cairo_t* cr = paint.Cr;
  for (double y : {18.0, 54.0}) {
    const double x = T / 2.0;
    cairo_arc(cr, x + 4, y + 4.5, 6.5, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    paint.Colour(Scale(p["kerb_red"], 0.45));  // the square foot
    cairo_rectangle(cr, x - 6.5, y - 6.5, 13, 13);
    cairo_fill(cr);
    cairo_pattern_t* g = cairo_pattern_create_radial(x - 2, y - 2, 0.5, x, y, 5.5);
    cairo_pattern_add_color_stop_rgb(g, 0, 1.0, 0.7, 0.3);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.85, 0.3, 0.02);
    cairo_arc(cr, x, y, 5.5, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_arc(cr, x, y, 3.2, 0, 2 * M_PI);
    cairo_set_line_width(cr, 1.4);
    paint.Colour(p["plastic_white"]);
    cairo_stroke(cr);
    cairo_arc(cr, x - 0.3, y - 0.3, 1.2, 0, 2 * M_PI);
    paint.Colour(TColour{1, 0.75, 0.4});
    cairo_fill(cr);
  }
}

}  // namespace

}  // namespace tiles

TPackPicture BuildTileStrip(const std::string& assets) {
  using namespace tiles;
  const TTilePalette p(ReadAsset(assets, "tiles/palette.txt"), "tiles/palette.txt");
  std::vector<std::vector<uint32_t>> strip(74);
  auto put = [&](int code, const TTileImage& img) {
    strip[static_cast<size_t>(code)] = CutTile(img, 0, 0);
  };
  const TTileImage ground = GroundImage(p, 1, 1);
  put(0, ground);
  put(62, ground);  // never placed
  // 1..9 and 13..21: the common barrier and eight rarer pictures, mirrored on the right.
  for (int v = 0; v < 9; ++v) {
    TSectionStyle s;
    s.LeftVariant = s.RightVariant = v;
    put(1 + v, StraightCell(p, 0, s));
    put(13 + v, StraightCell(p, 7, s));
  }
  put(10, StraightCell(p, 2, {}));
  put(11, StraightCell(p, 3, {}));
  put(12, StraightCell(p, 5, {}));
  for (int code : {22, 23}) {
    TTileImage img = StraightCell(p, code == 22 ? 1 : 6, {});
    Cones(p, img);
    put(code, img);
  }
  put(24, LineCell(p));
  DriftPieces(p, true, strip);
  DriftPieces(p, false, strip);
  DrawScenery(p, strip);
  for (size_t i = 0; i < strip.size(); ++i)
    if (strip[i].size() != static_cast<size_t>(T) * T)
      throw std::runtime_error("race tile " + std::to_string(i) + " was not drawn");
  return StripPicture("Race tiles", T, T, strip, false);
}

}  // namespace zw::packbuild
