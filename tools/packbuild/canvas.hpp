// A cairo drawing surface for the content build, with the game's palette and shading helpers.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "packs/pack_io.hpp"

namespace zw::packbuild {

// The palette every picture draws from: dark steel, chrome, hot orange and arcade yellow.
struct TColour {
  double R, G, B;
};
namespace pal {
constexpr TColour Night{0.05, 0.07, 0.12};
constexpr TColour Steel{0.16, 0.20, 0.28};
constexpr TColour SteelLight{0.34, 0.40, 0.52};
constexpr TColour Chrome{0.80, 0.84, 0.90};
constexpr TColour White{0.97, 0.97, 0.95};
constexpr TColour Orange{1.00, 0.45, 0.08};
constexpr TColour OrangeDark{0.62, 0.20, 0.02};
constexpr TColour Yellow{1.00, 0.87, 0.00};
constexpr TColour Cyan{0.26, 0.99, 0.79};
constexpr TColour Red{0.90, 0.10, 0.10};
constexpr TColour Green{0.10, 0.80, 0.30};
constexpr TColour Black{0, 0, 0};
}  // namespace pal

class TCanvas {
 public:
  TCanvas(int width, int height);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  cairo_t* Cr;
  int Width, Height;
  // Straight ARGB pixels, top row first.
  std::vector<uint32_t> Argb() const;

  void Colour(const TColour& c, double alpha = 1.0);
  void RoundRect(double x, double y, double w, double h, double r);
  // A vertical gradient fill of the current path.
  void FillVertical(double y0, double y1, const TColour& top, const TColour& bottom,
                    bool preserve = false);
  // Text centred on (cx, cy) in the display face, with a dark outline and a soft shadow.
  void Text(const std::string& s, double cx, double cy, double size, const TColour& fill,
            const TColour& outline, bool bold = true, const char* face = "Bebas Neue");
  double TextWidth(const std::string& s, double size, bool bold = true,
                   const char* face = "Bebas Neue");

 private:
  cairo_surface_t* Surface;
};

// Pictures laid side by side as one strip of equal patterns.
TPackPicture StripPicture(const std::string& name, int patternWidth, int patternHeight,
                          const std::vector<std::vector<uint32_t>>& frames, bool keyed);

// A tiny keyed filler for an item the game never draws.
TPackPicture Filler(const std::string& name);

// A deterministic noise value in 0..1 for texture work.
double Noise(uint32_t seed, int x, int y);

}  // namespace zw::packbuild
