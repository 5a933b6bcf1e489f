// An image item of a pack: a picture cut into equal patterns, drawn onto the 16-bit surface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/surface.hpp"

namespace zw {

class TPictureItem {
 public:
  // Stored item properties, as the pack holds them.
  std::string Name;
  int StoredPatternWidth = 0;  // 0 or less: the whole picture
  int StoredPatternHeight = 0;
  int SkipWidth = 0;
  int SkipHeight = 0;
  bool Transparent = true;
  uint32_t TransparentColor = 0;  // 0x00BBGGRR
  bool SystemMemory = false;

  // The decoded picture: RGB565 pixels and, per pixel, whether it is the transparent colour
  // (compared in the picture's own colours before the 16-bit conversion).
  int PictureWidth = 0;
  int PictureHeight = 0;
  std::vector<uint16_t> Pixels;
  std::vector<uint8_t> Keyed;  // 1 = transparent colour

  int PatternWidth() const;
  int PatternHeight() const;
  // The number of patterns: built ones once BuildPatterns has run, else computed from the
  // stored values.
  int PatternCount() const;
  TRect PatternRect(int index) const;
  void BuildPatterns();
  bool PatternsBuilt() const { return Built; }
  // False when the stored sizes and gaps make patterns overlap so far that together they
  // cover more than the picture itself (only a damaged pack does: the gaps went negative).
  // BuildPatterns makes no patterns then, rather than spending minutes on them.
  bool PatternGridFits() const;

  // True where pattern `index` has a drawn (not transparent) pixel at (x, y) inside it.
  bool PatternPixelSolid(int index, int x, int y) const;
  // True when drawing pattern `index` overwrites every pixel of its rectangle whatever lay under
  // it: patterns built, the pattern wholly inside the picture, no transparent pixel in it.
  bool PatternOpaque(int index) const;

  void DrawPattern(TSurface& dest, int x, int y, int index) const;
  // The same copy, leaving every pixel outside `clip` (in surface pixels) untouched.
  void DrawPattern(TSurface& dest, int x, int y, int index, const TRect& clip) const;
  void DrawPatternAlpha(TSurface& dest, const TRect& destRect, int index, int alpha) const;
  void DrawRotate(TSurface& dest, int x, int y, int width, int height, int index, double centerX,
                  double centerY, int angle) const;

  // One run of drawn pixels of a pattern row (see Runs below).
  struct TRun {
    uint32_t Source;  // index in Pixels of the run's first pixel
    uint16_t X;       // column in the pattern's part inside the picture
    uint16_t Length;
  };

 private:
  bool Built = false;
  std::vector<TRect> Patterns;
  // Per built pattern: 1 when none of its pixels is the transparent colour.
  std::vector<uint8_t> PatternUnkeyed;
  // The runs of drawn pixels of every built pattern, made once with the patterns so a keyed copy
  // moves whole runs instead of testing every pixel, and walks a pattern's own runs without
  // searching the rows of a pattern sheet. A run is a span of one row of the pattern's part
  // inside the picture: its column from that part's left edge, its length, and where its pixels
  // start in Pixels. Pattern p's row y holds runs RowRuns[PatternRowFirst[p] + y] ..
  // RowRuns[PatternRowFirst[p] + y + 1] - 1. Empty when the key does not match the picture,
  // which then draws nothing keyed.
  std::vector<TRun> Runs;
  std::vector<uint32_t> RowRuns;          // per pattern row, the first run; one more per pattern
  std::vector<uint32_t> PatternRowFirst;  // per pattern, its first entry in RowRuns
  // A sheet of several opaque patterns side by side (the race's tile strip) copied once more,
  // pattern after pattern, each pattern's part inside the picture row after row: a cell of the
  // road is then read from one short stretch of memory instead of 72 rows a whole sheet apart.
  // Pattern p starts at SheetPixels[SheetStart[p]]; empty for other pictures. Like the runs it
  // is made from the pixels BuildPatterns saw.
  std::vector<uint16_t> SheetPixels;
  std::vector<uint32_t> SheetStart;
  // A pattern whose rows are many short runs (a speckled picture) is copied in chunks of 16
  // pixels instead, each chunk laid over the surface through a mask: one wide move a chunk
  // rather than two short ones a run. Pattern p's part inside the picture starts at
  // MaskedPixels[MaskedStart[p]], row after row, its keyed pixels cleared to 0, and its mask at
  // the same place of MaskedKeep (0xFFFF where a pixel is drawn, 0 where it is keyed);
  // MaskedStart[p] is NoMask for a pattern copied run by run. Made from the runs.
  static constexpr uint32_t NoMask = 0xFFFFFFFFu;
  std::vector<uint16_t> MaskedPixels;
  std::vector<uint16_t> MaskedKeep;
  std::vector<uint32_t> MaskedStart;
  void BuildMasks();
  void BuildSheet();
  void BuildRuns();
  void BuildGrid();
  bool DrawUpright(TSurface& dest, int x, int y, int x0, int y0, int y1, int n, int index,
                   int64_t pivX, int64_t pivY, int64_t scaleX, int64_t scaleY, int64_t endU,
                   int64_t endV) const;
};

// Opaque pictures drawn whole at the same places every frame (the race's side panels). Between
// two frames everything else leaves most of their pixels alone; the surface's record of touches
// says which rows' spans it did not, and only those are copied again. The surface holds the
// same pixels afterwards as drawing every picture whole would leave.
class TStandingPictures {
 public:
  struct TPlaced {
    const TPictureItem* Picture = nullptr;  // pattern 0 is drawn; none: nothing
    int X = 0, Y = 0;
    bool operator==(const TPlaced&) const = default;
  };
  // Draws the pictures in order, each as DrawPattern(dest, X, Y, 0) would.
  void Draw(TSurface& dest, const std::vector<TPlaced>& pictures);
  // How many pixels the last Draw copied (the whole pictures, or the parts repainted).
  int64_t LastCopied() const { return Copied; }

 private:
  struct TPart {
    size_t Picture;
    TRect Clip;
  };
  const TSurface* Surface = nullptr;
  std::vector<TPlaced> Last;
  std::vector<const uint16_t*> LastPixels;
  uint64_t Record = 0;
  int64_t Copied = 0;
  std::vector<TPart> Parts;
};

class TImageList {
 public:
  std::vector<std::unique_ptr<TPictureItem>> Items;
  uint8_t ColorTable[1024] = {};
  int Count() const { return static_cast<int>(Items.size()); }
  // The item at a 0-based index, or nullptr outside the list.
  TPictureItem* Item(int index) const {
    return index >= 0 && index < Count() ? Items[static_cast<size_t>(index)].get() : nullptr;
  }
};

}  // namespace zw
