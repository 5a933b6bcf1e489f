// The game's own 16-bit (RGB565) drawing surface and the rectangle type used by drawing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zw {

// A rectangle as (Left, Top, Right, Bottom); Right and Bottom lie just outside.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

// Strict overlap, as the draw pass tests sprites against the surface.
inline bool RectsOverlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

inline uint16_t Rgb565(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
// Expands a 16-bit colour to 8 bits a channel, repeating the high bits into the low ones.
inline void Rgb565ToRgb(uint16_t c, uint8_t& r, uint8_t& g, uint8_t& b) {
  uint8_t r5 = (c >> 11) & 31, g6 = (c >> 5) & 63, b5 = c & 31;
  r = static_cast<uint8_t>((r5 << 3) | (r5 >> 2));
  g = static_cast<uint8_t>((g6 << 2) | (g6 >> 4));
  b = static_cast<uint8_t>((b5 << 3) | (b5 >> 2));
}

class TSurface {
 public:
  explicit TSurface(int width = 800, int height = 600)
      : Width(width), Height(height), Pixels(static_cast<size_t>(width) * height, 0) {}
  int Width, Height;
  std::vector<uint16_t> Pixels;  // row-major, Width per row

  uint16_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * Width; }
  const uint16_t* Row(int y) const { return Pixels.data() + static_cast<size_t>(y) * Width; }
  void Fill(uint16_t colour) { std::fill(Pixels.begin(), Pixels.end(), colour); }
  TRect ClientRect() const { return TRect{0, 0, Width, Height}; }
};

}  // namespace zw
