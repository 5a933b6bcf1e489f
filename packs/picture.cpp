// Pattern geometry of a picture and its drawing operations on the 16-bit surface.
#include "packs/picture.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "core/exact_math.hpp"

namespace zw {

int TPictureItem::PatternWidth() const {
  return StoredPatternWidth <= 0 ? PictureWidth : StoredPatternWidth;
}

int TPictureItem::PatternHeight() const {
  return StoredPatternHeight <= 0 ? PictureHeight : StoredPatternHeight;
}

namespace {

// How many patterns fit along one side before the patterns are built.
// Worked in 64 bits: a damaged pack may give sizes and gaps near the ends of an int.
int FitCount(int size, int pattern, int skip) {
  const int64_t step = int64_t{pattern} + skip;
  if (step <= 0) return 0;
  int64_t n = size / step;
  if (size - n * step == pattern) n += 1;
  return static_cast<int>(n);
}

}  // namespace

int TPictureItem::PatternCount() const {
  if (Built) return static_cast<int>(Patterns.size());
  return FitCount(PictureWidth, PatternWidth(), SkipWidth) *
         FitCount(PictureHeight, PatternHeight(), SkipHeight);
}

namespace {

// The part of a pattern that lies inside the picture (a damaged pack may describe more).
TRect InsidePicture(const TRect& r, int w, int h) {
  return TRect{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, w),
               std::min(r.Bottom, h)};
}

}  // namespace

void TPictureItem::BuildPatterns() {
  Patterns.clear();
  PatternUnkeyed.clear();
  Built = true;
  BuildGrid();
  BuildRuns();
  BuildMasks();
  BuildSheet();
  const size_t area = static_cast<size_t>(std::max(PictureWidth, 0)) * std::max(PictureHeight, 0);
  if (area == 0 || Keyed.size() != area) return;
  for (const TRect& r : Patterns) {
    bool unkeyed =
        r.Left >= 0 && r.Top >= 0 && r.Right <= PictureWidth && r.Bottom <= PictureHeight;
    for (int y = r.Top; unkeyed && y < r.Bottom; ++y) {
      const uint8_t* k = Keyed.data() + static_cast<size_t>(y) * PictureWidth;
      unkeyed = std::none_of(k + r.Left, k + r.Right, [](uint8_t v) { return v != 0; });
    }
    PatternUnkeyed.push_back(unkeyed ? 1 : 0);
  }
}

void TPictureItem::BuildSheet() {
  SheetPixels.clear();
  SheetStart.clear();
  const size_t area = static_cast<size_t>(std::max(PictureWidth, 0)) * std::max(PictureHeight, 0);
  if (Transparent || Patterns.size() < 2 || Pixels.size() != area || area > (1u << 30)) return;
  SheetPixels.reserve(area);
  for (const TRect& pr : Patterns) {
    SheetStart.push_back(static_cast<uint32_t>(SheetPixels.size()));
    const TRect r = InsidePicture(pr, PictureWidth, PictureHeight);
    for (int y = r.Top; y < r.Bottom; ++y) {
      const auto row = Pixels.begin() + static_cast<ptrdiff_t>(y) * PictureWidth;
      SheetPixels.insert(SheetPixels.end(), row + r.Left, row + r.Right);
    }
  }
}

bool TPictureItem::PatternOpaque(int index) const {
  if (!Built || index < 0 || index >= static_cast<int>(Patterns.size())) return false;
  const TRect& r = Patterns[static_cast<size_t>(index)];
  if (r.Empty() || r.Left < 0 || r.Top < 0 || r.Right > PictureWidth || r.Bottom > PictureHeight ||
      Pixels.size() != static_cast<size_t>(PictureWidth) * PictureHeight)
    return false;
  if (!Transparent) return true;
  return static_cast<size_t>(index) < PatternUnkeyed.size() &&
         PatternUnkeyed[static_cast<size_t>(index)] != 0;
}

namespace {

// The pattern grid a picture's stored sizes and gaps make, worked in 64 bits: a damaged pack's
// gaps may be near the ends of an int. No rows or columns when a step or a size is not positive.
struct TGrid {
  int64_t StepX = 0, StepY = 0, Rows = 0, Cols = 0;
};

TGrid GridOf(int w, int h, int pw, int ph, int skipWidth, int skipHeight) {
  TGrid g;
  g.StepX = int64_t{pw} + skipWidth;
  g.StepY = int64_t{ph} + skipHeight;
  if (g.StepX <= 0 || g.StepY <= 0 || pw <= 0 || ph <= 0) return g;
  g.Rows = std::max<int64_t>(0, (int64_t{h} + skipHeight) / g.StepY);
  g.Cols = std::max<int64_t>(0, (int64_t{w} + skipWidth) / g.StepX);
  return g;
}

}  // namespace

bool TPictureItem::PatternGridFits() const {
  const int w = std::max(PictureWidth, 0), h = std::max(PictureHeight, 0);
  const int pw = PatternWidth(), ph = PatternHeight();
  if (pw == PictureWidth && ph == PictureHeight) return true;
  const TGrid g = GridOf(PictureWidth, PictureHeight, pw, ph, SkipWidth, SkipHeight);
  // Each side counted separately keeps the products inside 64 bits.
  return g.Cols * std::min<int64_t>(pw, w) <= w && g.Rows * std::min<int64_t>(ph, h) <= h;
}

void TPictureItem::BuildGrid() {
  const int w = PictureWidth, h = PictureHeight;
  const int pw = PatternWidth(), ph = PatternHeight();
  if (pw == w && ph == h) {
    Patterns.push_back(TRect{0, 0, w, h});
    return;
  }
  if (!PatternGridFits()) return;
  // Every pattern that comes out starts inside the picture, so its corners fit an int again.
  const TGrid g = GridOf(w, h, pw, ph, SkipWidth, SkipHeight);
  for (int64_t r = 0; r < g.Rows; ++r)
    for (int64_t c = 0; c < g.Cols; ++c)
      Patterns.push_back(TRect{static_cast<int>(c * g.StepX), static_cast<int>(r * g.StepY),
                               static_cast<int>(c * g.StepX + pw),
                               static_cast<int>(r * g.StepY + ph)});
}

TRect TPictureItem::PatternRect(int index) const {
  if (Built) {
    if (index < 0 || index >= static_cast<int>(Patterns.size())) return TRect{};
    return Patterns[static_cast<size_t>(index)];
  }
  if (index < 0 || index >= PatternCount()) return TRect{};
  const int pw = PatternWidth(), ph = PatternHeight();
  if (pw == PictureWidth && ph == PictureHeight) return TRect{0, 0, pw, ph};
  const int64_t cols = std::max<int64_t>(
      1, (int64_t{PictureWidth} + SkipWidth) / std::max<int64_t>(1, int64_t{pw} + SkipWidth));
  const int64_t c = index % cols, r = index / cols;
  const int64_t x = c * (int64_t{pw} + SkipWidth), y = r * (int64_t{ph} + SkipHeight);
  return TRect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + pw),
               static_cast<int>(y + ph)};
}

void TPictureItem::BuildRuns() {
  Runs.clear();
  RowRuns.clear();
  PatternRowFirst.clear();
  if (PictureWidth <= 0 || PictureHeight <= 0 || PictureWidth > 65535) return;
  const size_t area = static_cast<size_t>(PictureWidth) * PictureHeight;
  if (Keyed.size() != area || Pixels.size() != area) return;
  for (const TRect& pr : Patterns) {
    PatternRowFirst.push_back(static_cast<uint32_t>(RowRuns.size()));
    const TRect r = InsidePicture(pr, PictureWidth, PictureHeight);
    for (int y = r.Top; y < r.Bottom; ++y) {
      RowRuns.push_back(static_cast<uint32_t>(Runs.size()));
      const size_t rowStart = static_cast<size_t>(y) * PictureWidth;
      const uint8_t* k = Keyed.data() + rowStart;
      int x = r.Left;
      while (x < r.Right) {
        while (x < r.Right && k[x]) ++x;
        const int start = x;
        while (x < r.Right && !k[x]) ++x;
        if (x > start)
          Runs.push_back(TRun{static_cast<uint32_t>(rowStart + start),
                              static_cast<uint16_t>(start - r.Left),
                              static_cast<uint16_t>(x - start)});
      }
    }
    RowRuns.push_back(static_cast<uint32_t>(Runs.size()));
  }
}

void TPictureItem::BuildMasks() {
  MaskedPixels.clear();
  MaskedKeep.clear();
  MaskedStart.clear();
  if (PatternRowFirst.size() != Patterns.size()) return;  // no runs: nothing keyed is drawn
  for (size_t p = 0; p < Patterns.size(); ++p) {
    const TRect r = InsidePicture(Patterns[p], PictureWidth, PictureHeight);
    const size_t area = r.Width() > 0 && r.Height() > 0 ? size_t{1} * r.Width() * r.Height() : 0;
    // A masked chunk costs about what a run's copy does: masks pay where a row holds at least
    // half as many runs again as chunks. Pictures of long runs (the bikes, round shapes, the
    // radar's frame) copy twice as fast run by run and keep their runs.
    bool masked = r.Width() >= 16 && area > 0 && MaskedPixels.size() + area < (1u << 30);
    if (masked) {
      const uint32_t* rows = RowRuns.data() + PatternRowFirst[p];
      const int64_t runs = rows[r.Height()] - rows[0];
      const int64_t chunks = int64_t{r.Height()} * ((r.Width() + 15) / 16);
      masked = 2 * runs >= 3 * chunks;
    }
    if (!masked) {
      MaskedStart.push_back(NoMask);
      continue;
    }
    MaskedStart.push_back(static_cast<uint32_t>(MaskedPixels.size()));
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const size_t i = static_cast<size_t>(y) * PictureWidth + x;
        const bool drawn = !Keyed[i];
        MaskedPixels.push_back(drawn ? Pixels[i] : 0);
        MaskedKeep.push_back(drawn ? 0xFFFF : 0);
      }
  }
}

namespace {

// Copies n pixels (n >= 1) in moves of up to 32 bytes, the last move ending at the run's end and
// overlapping the one before it, so no run is finished pixel by pixel and no call is made: a run
// of 5 pixels is two 8-byte moves, one of 72 is five 32-byte moves. A pixel written twice gets
// the same value both times, since the picture never overlaps the surface it is drawn on.
inline void CopyPixels(uint16_t* d, const uint16_t* s, int n) {
  if (n < 8) {
    if (n >= 4) {
      std::memcpy(d, s, 8);
      std::memcpy(d + n - 4, s + n - 4, 8);
    } else if (n >= 2) {
      std::memcpy(d, s, 4);
      std::memcpy(d + n - 2, s + n - 2, 4);
    } else {
      *d = *s;
    }
  } else if (n < 16) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 8, s + n - 8, 16);
  } else {
    for (int i = 0; i < n - 16; i += 16) std::memcpy(d + i, s + i, 32);
    std::memcpy(d + n - 16, s + n - 16, 32);
  }
}

// The copying loops of a draw, built twice: once for any x86-64 and once for processors with
// 32-byte moves, picked when the program starts (the ELF loader's feature; Windows builds keep
// the one for any x86-64). A move only copies pixels, so both draw the same picture.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__ELF__)
#define ZW_WIDE_MOVES __attribute__((target_clones("avx2", "default")))
#else
#define ZW_WIDE_MOVES
#endif

#if defined(__GNUC__)
#define ZW_ALIGNED_32(p) static_cast<uint16_t*>(__builtin_assume_aligned(p, 32))
#else
#define ZW_ALIGNED_32(p) (p)
#endif

// A row of at least 32 pixels. A 32-byte store that straddles two cache lines costs about two,
// and the surface's rows start anywhere in a line: one unaligned move brings the destination to
// a 32-byte boundary, whole aligned moves follow, and an unaligned one ends at the row's end
// (the overlaps write the same pixels again).
inline void CopyLongRow(uint16_t* d, const uint16_t* s, int n) {
  std::memcpy(d, s, 32);
  int i = static_cast<int>((32 - (reinterpret_cast<uintptr_t>(d) & 31)) / 2);
  for (; i < n - 16; i += 16) std::memcpy(ZW_ALIGNED_32(d + i), s + i, 32);
  std::memcpy(d + n - 16, s + n - 16, 32);
}

// h rows of w pixels from a picture of the given width.
ZW_WIDE_MOVES void CopyRows(uint16_t* d, int pitch, const uint16_t* s, int width, int w, int h) {
  if (w >= 32) {
    for (int row = 0; row < h; ++row, d += pitch, s += width) CopyLongRow(d, s, w);
    return;
  }
  for (int row = 0; row < h; ++row, d += pitch, s += width) CopyPixels(d, s, w);
}

#if defined(__GNUC__)
typedef uint16_t TLanes16 __attribute__((vector_size(32)));
typedef uint16_t TLanes8 __attribute__((vector_size(16)));

// Lays one chunk of lanes (8 or 16 pixels) over the surface: the drawn pixels of s where keep is
// set, the surface's own where it is clear (s holds 0 there).
template <typename TLanes>
inline void MaskChunk(uint16_t* d, const uint16_t* s, const uint16_t* keep) {
  TLanes dv, sv, kv;
  std::memcpy(&dv, d, sizeof dv);
  std::memcpy(&sv, s, sizeof sv);
  std::memcpy(&kv, keep, sizeof kv);
  dv = sv | (dv & ~kv);
  std::memcpy(d, &dv, sizeof dv);
}
#endif

// h rows of w pixels of a masked pattern whose rows lie `width` apart. Like the run copies, the
// last chunk of a row ends at the row's end and overlaps the one before: a pixel laid twice
// takes the same value both times.
ZW_WIDE_MOVES void CopyMasked(uint16_t* d, int pitch, const uint16_t* s, const uint16_t* keep,
                              int width, int w, int h) {
  for (int row = 0; row < h; ++row, d += pitch, s += width, keep += width) {
#if defined(__GNUC__)
    if (w >= 16) {
      for (int i = 0; i < w - 16; i += 16) MaskChunk<TLanes16>(d + i, s + i, keep + i);
      MaskChunk<TLanes16>(d + w - 16, s + w - 16, keep + w - 16);
      continue;
    }
    if (w >= 8) {
      MaskChunk<TLanes8>(d, s, keep);
      MaskChunk<TLanes8>(d + w - 8, s + w - 8, keep + w - 8);
      continue;
    }
#endif
    for (int i = 0; i < w; ++i) d[i] = static_cast<uint16_t>(s[i] | (d[i] & ~keep[i]));
  }
}

// h rows of whole runs; d is the destination of the runs' column 0.
ZW_WIDE_MOVES void CopyRuns(uint16_t* d, int pitch, const uint32_t* rowRuns,
                            const TPictureItem::TRun* runs, const uint16_t* pixels, int h) {
  for (int row = 0; row < h; ++row, d += pitch)
    for (uint32_t i = rowRuns[row], e = rowRuns[row + 1]; i < e; ++i)
      CopyPixels(d + runs[i].X, pixels + runs[i].Source, runs[i].Length);
}

// h rows of runs cut to the columns [lo, hi); d is the destination of column lo.
ZW_WIDE_MOVES void CopyRunsClipped(uint16_t* d, int pitch, const uint32_t* rowRuns,
                                   const TPictureItem::TRun* runs, const uint16_t* pixels, int h,
                                   int lo, int hi) {
  for (int row = 0; row < h; ++row, d += pitch)
    for (uint32_t i = rowRuns[row], e = rowRuns[row + 1]; i < e; ++i) {
      const int a = std::max<int>(runs[i].X, lo), b = std::min(runs[i].X + runs[i].Length, hi);
      if (a < b) CopyPixels(d + (a - lo), pixels + runs[i].Source + (a - runs[i].X), b - a);
    }
}

}  // namespace

bool TPictureItem::PatternPixelSolid(int index, int x, int y) const {
  const TRect r = PatternRect(index);
  if (x < 0 || y < 0 || x >= r.Width() || y >= r.Height()) return false;
  const int px = r.Left + x, py = r.Top + y;
  if (px < 0 || py < 0 || px >= PictureWidth || py >= PictureHeight) return false;
  return !(Transparent && Keyed[static_cast<size_t>(py) * PictureWidth + px]);
}

void TPictureItem::DrawPattern(TSurface& dest, int x, int y, int index) const {
  DrawPattern(dest, x, y, index, dest.ClientRect());
}

void TPictureItem::DrawPattern(TSurface& dest, int x, int y, int index, const TRect& clip) const {
  if (Pixels.empty()) return;
  const TRect pr = PatternRect(index);
  if (pr.Empty()) return;
  const TRect src = InsidePicture(pr, PictureWidth, PictureHeight);
  // Clip the destination to the surface and the clip rectangle.
  const int cl = std::max(clip.Left, 0), ct = std::max(clip.Top, 0);
  const int cr = std::min(clip.Right, dest.Width), cb = std::min(clip.Bottom, dest.Height);
  int sx = src.Left, sy = src.Top;
  int dx = x + (src.Left - pr.Left), dy = y + (src.Top - pr.Top);
  int w = src.Width(), h = src.Height();
  if (dx < cl) {
    sx += cl - dx;
    w -= cl - dx;
    dx = cl;
  }
  if (dy < ct) {
    sy += ct - dy;
    h -= ct - dy;
    dy = ct;
  }
  w = std::min(w, cr - dx);
  h = std::min(h, cb - dy);
  if (w <= 0 || h <= 0) return;
  if (Pixels.size() != static_cast<size_t>(PictureWidth) * PictureHeight) return;
  dest.Touch(TRect{dx, dy, dx + w, dy + h});
  if (!Transparent) {
    if (Built && SheetStart.size() == Patterns.size()) {
      // The pattern's own copy: rows src.Width() apart.
      const size_t at = SheetStart[static_cast<size_t>(index)] +
                        static_cast<size_t>(sy - src.Top) * src.Width() + (sx - src.Left);
      CopyRows(dest.Row(dy) + dx, dest.Width, SheetPixels.data() + at, src.Width(), w, h);
      return;
    }
    CopyRows(dest.Row(dy) + dx, dest.Width,
             Pixels.data() + static_cast<size_t>(sy) * PictureWidth + sx, PictureWidth, w, h);
    return;
  }
  if (PatternRowFirst.size() != Patterns.size() || !Built) {
    // Patterns not built yet (or a key that does not match): test the key pixel by pixel.
    if (Keyed.size() != Pixels.size()) return;
    for (int row = 0; row < h; ++row) {
      const size_t srcOff = static_cast<size_t>(sy + row) * PictureWidth + sx;
      const uint16_t* s = Pixels.data() + srcOff;
      const uint8_t* k = Keyed.data() + srcOff;
      uint16_t* d = dest.Row(dy + row) + dx;
      for (int col = 0; col < w; ++col)
        if (!k[col]) d[col] = s[col];
    }
    return;
  }
  if (static_cast<size_t>(index) < MaskedStart.size() &&
      MaskedStart[static_cast<size_t>(index)] != NoMask) {
    const size_t at = MaskedStart[static_cast<size_t>(index)] +
                      static_cast<size_t>(sy - src.Top) * src.Width() + (sx - src.Left);
    CopyMasked(dest.Row(dy) + dx, dest.Width, MaskedPixels.data() + at, MaskedKeep.data() + at,
               src.Width(), w, h);
    return;
  }
  // The pattern's own runs, rows sy - src.Top onwards, columns counted from src.Left.
  const TRun* runs = Runs.data();
  const uint16_t* pixels = Pixels.data();
  const uint32_t* rowRuns = RowRuns.data() + PatternRowFirst[static_cast<size_t>(index)] +
                            static_cast<size_t>(sy - src.Top);
  uint16_t* d = dest.Row(dy) + dx;  // destination of the part's column sx - src.Left
  if (w == src.Width())
    CopyRuns(d, dest.Width, rowRuns, runs, pixels, h);  // unclipped across: every run whole
  else
    CopyRunsClipped(d, dest.Width, rowRuns, runs, pixels, h, sx - src.Left, sx - src.Left + w);
}

namespace {

uint16_t Blend565(uint16_t src, uint16_t dst, int alpha) {
  const int inv = 255 - alpha;
  const int r = (((src >> 11) & 31) * alpha + ((dst >> 11) & 31) * inv + 127) / 255;
  const int g = (((src >> 5) & 63) * alpha + ((dst >> 5) & 63) * inv + 127) / 255;
  const int b = ((src & 31) * alpha + (dst & 31) * inv + 127) / 255;
  return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

}  // namespace

void TPictureItem::DrawPatternAlpha(TSurface& dest, const TRect& destRect, int index,
                                    int alpha) const {
  if (alpha <= 0 || Pixels.empty()) return;
  if (alpha > 255) alpha = 255;
  const TRect pr = PatternRect(index);
  if (pr.Empty() || destRect.Empty()) return;
  const int dw = destRect.Width(), dh = destRect.Height();
  const int x0 = std::max(destRect.Left, 0), x1 = std::min(destRect.Right, dest.Width);
  const int y0 = std::max(destRect.Top, 0), y1 = std::min(destRect.Bottom, dest.Height);
  dest.Touch(TRect{x0, y0, x1, y1});
  for (int y = y0; y < y1; ++y) {
    const int sy =
        pr.Top + static_cast<int>(static_cast<int64_t>(y - destRect.Top) * pr.Height() / dh);
    if (sy < 0 || sy >= PictureHeight) continue;
    uint16_t* d = dest.Row(y);
    for (int x = x0; x < x1; ++x) {
      const int sx =
          pr.Left + static_cast<int>(static_cast<int64_t>(x - destRect.Left) * pr.Width() / dw);
      if (sx < 0 || sx >= PictureWidth) continue;
      const size_t i = static_cast<size_t>(sy) * PictureWidth + sx;
      if (Transparent && Keyed[i]) continue;
      d[x] = alpha == 255 ? Pixels[i] : Blend565(Pixels[i], d[x], alpha);
    }
  }
}

namespace {

// One table of 256 cosines in 16.16 fixed point; sine(a) is entry (a + 192) mod 256.
const std::array<int32_t, 256>& CosTable() {
  static const std::array<int32_t, 256> table = [] {
    std::array<int32_t, 256> t{};
    for (int i = 0; i < 256; ++i)
      t[static_cast<size_t>(i)] =
          static_cast<int32_t>(std::lround(exact::Cos(i * 2.0 * M_PI / 256.0) * 65536.0));
    return t;
  }();
  return table;
}

}  // namespace

namespace {

// The first sample position whose pixel, (pos * scale) >> 32, reaches `limit`: positions in
// [0, SampleEnd) sample pixels 0 .. limit - 1.
int64_t SampleEnd(int limit, int64_t scale) {
  if (scale <= 0) return INT64_MAX;  // every sample is pixel 0
  const int64_t l = static_cast<int64_t>(limit) << 32;
  return l / scale + (l % scale != 0);
}

int64_t FloorDiv64(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Narrows [k0, k1) to the steps k where 0 <= start + k * step < end.
void StepsWithin(int64_t start, int64_t step, int64_t end, int& k0, int& k1) {
  int64_t lo, hi;  // the steps inside, hi exclusive
  if (step == 0) {
    if (start >= 0 && start < end) return;
    k1 = k0;
    return;
  }
  if (step > 0) {
    lo = -FloorDiv64(start, step);  // ceil(-start / step)
    hi = end == INT64_MAX ? INT64_MAX : FloorDiv64(end - 1 - start, step) + 1;
  } else {
    const int64_t t = -step;
    hi = FloorDiv64(start, t) + 1;
    lo = end == INT64_MAX ? INT64_MIN : FloorDiv64(start - end, t) + 1;
  }
  if (lo > k0) k0 = static_cast<int>(std::min<int64_t>(lo, k1));
  if (hi < k1) k1 = static_cast<int>(std::max<int64_t>(hi, k0));
}

}  // namespace

void TPictureItem::DrawRotate(TSurface& dest, int x, int y, int width, int height, int index,
                              double centerX, double centerY, int angle) const {
  if (Pixels.empty() || width <= 0 || height <= 0) return;
  const TRect pr = PatternRect(index);
  if (pr.Empty()) return;
  const auto& cosT = CosTable();
  const int a = angle & 255;
  const int64_t c = cosT[static_cast<size_t>(a)];
  const int64_t s = cosT[static_cast<size_t>((a + 192) & 255)];
  // The pivot, in the scaled pattern's own pixels.
  const double pivotX = width * centerX, pivotY = height * centerY;
  // The rotated box around the pivot, for the destination span.
  const double cs = c / 65536.0, sn = s / 65536.0;
  double minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18;
  const double cornersX[4] = {-pivotX, width - pivotX, width - pivotX, -pivotX};
  const double cornersY[4] = {-pivotY, -pivotY, height - pivotY, height - pivotY};
  for (int k = 0; k < 4; ++k) {
    const double rx = cornersX[k] * cs - cornersY[k] * sn;
    const double ry = cornersX[k] * sn + cornersY[k] * cs;
    minX = std::min(minX, rx);
    maxX = std::max(maxX, rx);
    minY = std::min(minY, ry);
    maxY = std::max(maxY, ry);
  }
  const int x0 = std::max(0, static_cast<int>(std::floor(x + minX)));
  const int x1 = std::min(dest.Width, static_cast<int>(std::ceil(x + maxX)) + 1);
  const int y0 = std::max(0, static_cast<int>(std::floor(y + minY)));
  const int y1 = std::min(dest.Height, static_cast<int>(std::ceil(y + maxY)) + 1);
  if (x0 >= x1 || y0 >= y1) return;
  // Source steps per destination pixel, scaled from the drawn size to the pattern, in 16.16.
  const int64_t scaleX = (static_cast<int64_t>(pr.Width()) << 16) / width;
  const int64_t scaleY = (static_cast<int64_t>(pr.Height()) << 16) / height;
  const int64_t pivX = static_cast<int64_t>(std::llround(pivotX * 65536.0));
  const int64_t pivY = static_cast<int64_t>(std::llround(pivotY * 65536.0));
  // Only pattern pixels that lie inside the picture are drawn.
  const int limX = std::min(pr.Width(), PictureWidth - pr.Left);
  const int limY = std::min(pr.Height(), PictureHeight - pr.Top);
  if (limX <= 0 || limY <= 0 || pr.Left < 0 || pr.Top < 0) return;
  const size_t area = static_cast<size_t>(PictureWidth) * PictureHeight;
  if (Pixels.size() != area || (Transparent && Keyed.size() != area)) return;
  // The sample lands inside the pattern exactly while 0 <= u < endU and 0 <= v < endV.
  const int64_t endU = SampleEnd(limX, scaleX), endV = SampleEnd(limY, scaleY);
  const uint16_t* pixels = Pixels.data() + static_cast<size_t>(pr.Top) * PictureWidth + pr.Left;
  const uint8_t* keyed =
      Transparent ? Keyed.data() + static_cast<size_t>(pr.Top) * PictureWidth + pr.Left : nullptr;
  const int n = x1 - x0;
  dest.Touch(TRect{x0, y0, x1, y1});
  if (c == 65536 && s == 0 &&
      DrawUpright(dest, x, y, x0, y0, y1, n, index, pivX, pivY, scaleX, scaleY, endU, endV))
    return;
  for (int dy = y0; dy < y1; ++dy) {
    uint16_t* d = dest.Row(dy) + x0;
    // Sample at pixel centres: offsets from the pivot in 16.16.
    const int64_t ry = ((static_cast<int64_t>(dy - y) << 16) + 32768);
    const int64_t rx = ((static_cast<int64_t>(x0 - x) << 16) + 32768);
    // Inverse rotation: u = rx cos + ry sin, v = -rx sin + ry cos (in the scaled pattern).
    const int64_t u0 = ((rx * c + ry * s) >> 16) + pivX;
    const int64_t v0 = ((-rx * s + ry * c) >> 16) + pivY;
    // Only the columns whose samples fall inside the pattern are walked.
    int k0 = 0, k1 = n;
    StepsWithin(u0, c, endU, k0, k1);
    StepsWithin(v0, -s, endV, k0, k1);
    int64_t u = u0 + k0 * c, v = v0 - k0 * s;
    if (keyed) {
      for (int k = k0; k < k1; ++k, u += c, v -= s) {
        const size_t i = static_cast<size_t>((v * scaleY) >> 32) * PictureWidth +
                         static_cast<size_t>((u * scaleX) >> 32);
        if (!keyed[i]) d[k] = pixels[i];
      }
    } else {
      for (int k = k0; k < k1; ++k, u += c, v -= s)
        d[k] = pixels[static_cast<size_t>((v * scaleY) >> 32) * PictureWidth +
                      static_cast<size_t>((u * scaleX) >> 32)];
    }
  }
}

// Unturned, a destination row samples one pattern row, and every row the same columns: the
// columns' samples are worked out once, and each of the pattern row's runs of drawn pixels
// lands on one run of destination columns (the samples only ever move right), copied whole.
// At the pattern's own size a run is copied straight from the picture; scaled, its samples are
// gathered once per pattern row and copied into every row that samples it (twice each at twice
// the size). The same samples as the turning loop, so the same pixels; false when the runs are
// not built or the rows are too wide for the scratch rows, and the turning loop draws them.
bool TPictureItem::DrawUpright(TSurface& dest, int x, int y, int x0, int y0, int y1, int n,
                               int index, int64_t pivX, int64_t pivY, int64_t scaleX,
                               int64_t scaleY, int64_t endU, int64_t endV) const {
  constexpr int MaxWidth = 1024;
  const TRect pr = PatternRect(index);
  const int limX = std::min(pr.Width(), PictureWidth - pr.Left);
  if (n > MaxWidth || limX > MaxWidth || !Built || PatternRowFirst.size() != Patterns.size())
    return false;
  // At angle 0 the sample of column k is u0 + k steps of one pixel, whatever the row.
  const int64_t u0 = (static_cast<int64_t>(x0 - x) << 16) + 32768 + pivX;
  int k0 = 0, k1 = n;
  StepsWithin(u0, 65536, endU, k0, k1);
  if (k0 >= k1) return true;
  uint32_t sourceX[MaxWidth];
  for (int k = k0; k < k1; ++k)
    sourceX[k] = static_cast<uint32_t>(((u0 + static_cast<int64_t>(k) * 65536) * scaleX) >> 32);
  // firstColumn[p]: the first column whose sample is pattern pixel p or one right of it.
  uint16_t firstColumn[MaxWidth + 1];
  for (int p = 0, k = k0; p <= limX; ++p) {
    while (k < k1 && sourceX[k] < static_cast<uint32_t>(p)) ++k;
    firstColumn[p] = static_cast<uint16_t>(k);
  }
  const bool unscaled = scaleX == 65536;
  uint16_t gathered[MaxWidth];
  int64_t gatheredRow = -1;
  for (int dy = y0; dy < y1; ++dy) {
    const int64_t v = (static_cast<int64_t>(dy - y) << 16) + 32768 + pivY;
    if (v < 0 || v >= endV) continue;
    const int64_t sy = (v * scaleY) >> 32;
    // The pattern row's pixels, and its runs; an opaque picture's row is one run.
    const uint16_t* p = Pixels.data() + static_cast<size_t>(pr.Top + sy) * PictureWidth + pr.Left;
    const TRun whole{0, 0, static_cast<uint16_t>(limX)};
    const TRun* run = &whole;
    const TRun* last = run + 1;
    if (Transparent) {
      const uint32_t* rowRuns =
          RowRuns.data() + PatternRowFirst[static_cast<size_t>(index)] + static_cast<size_t>(sy);
      run = Runs.data() + rowRuns[0];
      last = Runs.data() + rowRuns[1];
    }
    uint16_t* d = dest.Row(dy) + x0;
    const bool gather = !unscaled && sy != gatheredRow;
    gatheredRow = sy;
    for (; run != last; ++run) {
      const int a = firstColumn[run->X], b = firstColumn[run->X + run->Length];
      if (a >= b) continue;
      if (unscaled) {
        CopyPixels(d + a, p + sourceX[a], b - a);
        continue;
      }
      if (gather)
        for (int k = a; k < b; ++k) gathered[k] = p[sourceX[k]];
      CopyPixels(d + a, gathered + a, b - a);
    }
  }
  return true;
}

void TStandingPictures::Draw(TSurface& dest, const std::vector<TPlaced>& pictures) {
  std::vector<const uint16_t*> pixels;
  pixels.reserve(pictures.size());
  bool opaque = true;
  for (const TPlaced& p : pictures) {
    pixels.push_back(p.Picture ? p.Picture->Pixels.data() : nullptr);
    opaque = opaque && p.Picture && p.Picture->PatternOpaque(0);
  }
  // Only where the same opaque pictures were drawn at the same places on this surface, and
  // everything drawn on it since is known row by row, is the rest of them still in place.
  const bool repaint = opaque && Surface == &dest && Last == pictures && LastPixels == pixels &&
                       dest.TouchesKnownSince(Record);
  Copied = 0;
  if (!repaint) {
    for (const TPlaced& p : pictures)
      if (p.Picture) {
        p.Picture->DrawPattern(dest, p.X, p.Y, 0);
        const TRect r = p.Picture->PatternRect(0);
        Copied += int64_t{r.Width()} * r.Height();
      }
  } else {
    // The touched spans are read before anything is copied, since the copies touch too.
    Parts.clear();
    const TRect s = dest.ClientRect();
    for (size_t i = 0; i < pictures.size(); ++i) {
      const TPlaced& p = pictures[i];
      const TRect pr = p.Picture->PatternRect(0);
      const TRect at{std::max(p.X, s.Left), std::max(p.Y, s.Top),
                     std::min(p.X + pr.Width(), s.Right), std::min(p.Y + pr.Height(), s.Bottom)};
      // Every row of a band shares the band's span: the rows are walked a band at a time.
      for (int y = at.Top, next; y < at.Bottom; y = next) {
        next = std::min((y / TSurface::TouchBand + 1) * TSurface::TouchBand, at.Bottom);
        const int from = std::max(dest.TouchedFromColumn(y), at.Left);
        const int to = std::min(dest.TouchedToColumn(y), at.Right);
        if (from >= to) continue;
        // Bands in a row with the same span make one copy.
        if (!Parts.empty() && Parts.back().Picture == i && Parts.back().Clip.Bottom == y &&
            Parts.back().Clip.Left == from && Parts.back().Clip.Right == to)
          Parts.back().Clip.Bottom = next;
        else
          Parts.push_back(TPart{i, TRect{from, y, to, next}});
      }
    }
    for (const TPart& part : Parts) {
      const TPlaced& p = pictures[part.Picture];
      p.Picture->DrawPattern(dest, p.X, p.Y, 0, part.Clip);
      Copied += int64_t{part.Clip.Width()} * part.Clip.Height();
    }
  }
  Surface = &dest;
  Last = pictures;
  LastPixels = std::move(pixels);
  Record = opaque ? dest.RestartTouches() : 0;
}

}  // namespace zw
