// Lines of text drawn again at the place they were last drawn: whatever the pixels under them,
// the surface and its record of touches end up as a renderer seeing the line for the first time
// leaves them.
#include <gtest/gtest.h>

#include <string>

#include "shell/text.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

// A surface of varied pixels, so that the blend of every glyph pixel depends on what it lies on.
TSurface Ground(int w, int h, uint32_t seed) {
  TSurface s(w, h);
  for (size_t i = 0; i < s.Pixels.size(); ++i)
    s.Pixels[i] = static_cast<uint16_t>((i + seed) * 2654435761u >> 13);
  return s;
}

// The touched spans of every row, as the side panels would read them.
std::vector<std::pair<int, int>> Spans(const TSurface& s) {
  std::vector<std::pair<int, int>> spans;
  for (int y = 0; y < s.Height; ++y)
    spans.emplace_back(s.TouchedFromColumn(y), s.TouchedToColumn(y));
  return spans;
}

// Draws with `warm` (a renderer that drew lines before) and with a fresh renderer over the same
// pixels, and compares the pixels and the touches.
void ExpectAsFresh(TFontRenderer& warm, TSurface ground, int style, const std::string& text, int x,
                   int y, const std::string& what) {
  const std::vector<uint16_t> before = ground.Pixels;
  TSurface fresh = ground;
  ground.RestartTouches();
  fresh.RestartTouches();
  warm.Draw(ground, style, text, x, y);
  TFontRenderer first;
  first.Draw(fresh, style, text, x, y);
  EXPECT_NE(fresh.Pixels, before) << what << ": the line drew nothing";
  ASSERT_EQ(ground.Pixels, fresh.Pixels) << what;
  EXPECT_EQ(Spans(ground), Spans(fresh)) << what;
}

TEST(TextDrawing, LinesDrawnAgainMatchAFirstDrawing) {
  test::TRunDir dir;
  TFontRenderer warm;
  const TSurface a = Ground(200, 90, 1);
  TSurface changed = a;
  changed.Row(40)[60] ^= 0x0821;  // one pixel under the line's glyphs
  const TSurface wider = Ground(240, 90, 1);
  for (int style : {8, 5}) {  // plain, and with a rim and a shadow
    SCOPED_TRACE(style);
    TSurface s = a;
    warm.Draw(s, style, "LEVEL 1 / 10", 20, 25);
    ExpectAsFresh(warm, a, style, "LEVEL 1 / 10", 20, 25, "the same pixels under it");
    ExpectAsFresh(warm, changed, style, "LEVEL 1 / 10", 20, 25, "one pixel under it changed");
    ExpectAsFresh(warm, a, style, "LEVEL 2 / 10", 20, 25, "another line at the place");
    ExpectAsFresh(warm, a, style, "LEVEL 1 / 10", 21, 25, "the line one pixel over");
    ExpectAsFresh(warm, wider, style, "LEVEL 1 / 10", 20, 25, "a wider surface");
    ExpectAsFresh(warm, a, style, "LEVEL 1 / 10", 150, -12, "cut at two edges");
  }
}

}  // namespace
}  // namespace zw
