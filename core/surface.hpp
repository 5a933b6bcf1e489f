// The game's own 16-bit (RGB565) drawing surface and the rectangle type used by drawing.
#pragma once

#include <algorithm>
#include <atomic>
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

// The 16-bit picture the game draws its frames on. Besides the pixels it keeps a record of
// where they were drawn on: per row, one span of columns holding every pixel changed since the
// record was started. Every drawing reports what it may change through Touch (code that writes
// Pixels itself must too), so a picture drawn at the same place every frame (the race's side
// panels) need only be copied again where something went over it since its last draw.
class TSurface {
 public:
  explicit TSurface(int width = 800, int height = 600)
      : Width(width),
        Height(height),
        Pixels(static_cast<size_t>(width) * height, 0),
        TouchedFrom(Bands(height), 0),
        TouchedTo(Bands(height), 0) {}
  int Width, Height;
  std::vector<uint16_t> Pixels;  // row-major, Width per row

  uint16_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * Width; }
  const uint16_t* Row(int y) const { return Pixels.data() + static_cast<size_t>(y) * Width; }
  void Fill(uint16_t colour) {
    std::fill(Pixels.begin(), Pixels.end(), colour);
    TouchAll();
  }
  TRect ClientRect() const { return TRect{0, 0, Width, Height}; }

  // Notes that the pixels of `r` (clipped to the surface) may have changed.
  void Touch(const TRect& r) {
    if (TouchedEverything) return;
    const int l = std::max(r.Left, 0), t = std::max(r.Top, 0);
    const int rt = std::min(r.Right, Width), b = std::min(r.Bottom, Height);
    if (l >= rt || t >= b) return;
    for (int y = t / TouchBand, e = (b - 1) / TouchBand; y <= e; ++y) {
      int32_t& from = TouchedFrom[static_cast<size_t>(y)];
      int32_t& to = TouchedTo[static_cast<size_t>(y)];
      if (from >= to) {
        from = l;
        to = rt;
      } else {
        from = std::min(from, l);
        to = std::max(to, rt);
      }
    }
  }
  void TouchAll() { TouchedEverything = true; }
  // Starts a new record with nothing touched; answers its number (never 0).
  uint64_t RestartTouches() {
    std::fill(TouchedFrom.begin(), TouchedFrom.end(), 0);
    std::fill(TouchedTo.begin(), TouchedTo.end(), 0);
    TouchedEverything = TouchedFrom.size() != Bands(Height);
    TouchRecord = NextTouchRecord().fetch_add(1) + 1;
    return TouchRecord;
  }
  // True when the record RestartTouches answered `record` still runs and holds spans of rows
  // only: no other record started since and nothing counted as touching everything.
  bool TouchesKnownSince(uint64_t record) const {
    return record != 0 && record == TouchRecord && !TouchedEverything;
  }
  // The record keeps one span for each band of TouchBand rows: fewer to note for a tall drawing.
  static constexpr int TouchBand = 8;
  // The columns touched since the record started in row y's band: [from, to), empty when
  // from >= to.
  int TouchedFromColumn(int y) const { return TouchedFrom[static_cast<size_t>(y / TouchBand)]; }
  int TouchedToColumn(int y) const { return TouchedTo[static_cast<size_t>(y / TouchBand)]; }

 private:
  static size_t Bands(int height) {
    return static_cast<size_t>((std::max(height, 0) + TouchBand - 1) / TouchBand);
  }
  std::vector<int32_t> TouchedFrom, TouchedTo;
  bool TouchedEverything = true;  // a new surface's pixels are not known to anyone
  uint64_t TouchRecord = 0;
  static std::atomic<uint64_t>& NextTouchRecord() {
    static std::atomic<uint64_t> next{0};
    return next;
  }
};

}  // namespace zw
