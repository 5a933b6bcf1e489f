// Shared pieces of the race tile drawing: the tile palette, the ground textures and tile images.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/packbuild/canvas.hpp"

namespace zw::packbuild::tiles {

constexpr int T = 72;  // a tile's side in pixels

// Named colours read from a palette file of the assets (tiles/palette.txt, radar/palette.txt).
class TTilePalette {
 public:
  // Parses "name red green blue" lines of the file `source`; '#' starts a comment. Throws
  // std::runtime_error naming the file and line on a malformed line.
  TTilePalette(const std::string& text, const std::string& source);
  // The colour called `name`; throws std::runtime_error when the palette lacks it, so a typo
  // stops the build instead of drawing black.
  const TColour& operator[](const std::string& name) const;

 private:
  std::string Source;
  std::map<std::string, TColour> Colours;
};

TColour Mix(const TColour& a, const TColour& b, double t);
TColour Scale(const TColour& c, double f);

// Value noise in 0..1 that repeats every tile, with `cell` dividing the tile's side, so any
// texture made of it joins seamlessly with itself on every side.
double TileNoise(uint32_t seed, double x, double y, int cell);
// Per-pixel grain in 0..1 that repeats every tile.
double TileGrain(uint32_t seed, double x, double y);

// The textures are always taken at cell-local coordinates, never moved with the road, so any
// two tiles that meet show one continuous ground and one continuous asphalt.
TColour Grass(const TTilePalette& p, double x, double y);
TColour Asphalt(const TTilePalette& p, double x, double y);

// A picture of w x h tiles in linear colour, top row first.
struct TTileImage {
  int W = 1, H = 1;  // in tiles
  std::vector<TColour> Px = std::vector<TColour>(static_cast<size_t>(T) * T);
  TTileImage() = default;
  TTileImage(int w, int h) : W(w), H(h), Px(static_cast<size_t>(w) * T * h * T) {}
  int PixW() const { return W * T; }
  int PixH() const { return H * T; }
  TColour& At(int x, int y) { return Px[static_cast<size_t>(y) * PixW() + x]; }
  const TColour& At(int x, int y) const { return Px[static_cast<size_t>(y) * PixW() + x]; }
};

// Fills a picture from a colour function, four by four samples a pixel so that lines and edges
// are smooth.
using TShade = std::function<TColour(double x, double y)>;
void Shade(TTileImage& img, const TShade& f);
// A picture of plain ground.
TTileImage GroundImage(const TTilePalette& p, int w, int h);

// Cairo drawing over a picture: the picture goes into a cairo surface when the paint is made and
// comes back, drawn on, when it ends.
class TPaint {
 public:
  explicit TPaint(TTileImage& img);
  ~TPaint();
  TPaint(const TPaint&) = delete;
  TPaint& operator=(const TPaint&) = delete;
  cairo_t* Cr;
  void Colour(const TColour& c, double alpha = 1.0) const;
  // A soft shadow of the current path, `dx`, `dy` away, that keeps the path.
  void Shadow(double dx, double dy, double alpha) const;
  // Adds a rectangle with rounded corners to the path.
  void RoundedBox(double x, double y, double w, double h, double r) const;

 private:
  TTileImage& Img;
  cairo_surface_t* Surface;
};

// One 72 x 72 tile cut out of a picture of several tiles, as ARGB pixels.
std::vector<uint32_t> CutTile(const TTileImage& img, int col, int row);

// The scenery tiles: decorations 49..51 and the blocks 52..61 and 63..73, by code.
void DrawScenery(const TTilePalette& p, std::vector<std::vector<uint32_t>>& tiles);

}  // namespace zw::packbuild::tiles
