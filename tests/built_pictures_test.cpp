// Tests of the pictures our content build makes, read back from the packs the game loads: the
// five bikes must read as five machines, and the high-score screen's rows and buttons line up.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "packs/pack_io.hpp"
#include "rider/bike_models.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

TImageList Load(int no) {
  TImageList list;
  LoadImagePack("Data/Res/Res" + std::to_string(no) + ".gpk", list);
  return list;
}

// The opaque pixels of a pattern, as a mask on a canvas of cw x ch with the pattern's centre on
// the canvas's centre, the way the race draws every bike about its centre.
std::vector<bool> CentredMask(const TPictureItem& p, int pattern, int cw, int ch) {
  std::vector<bool> mask(static_cast<size_t>(cw * ch), false);
  const int w = p.PatternWidth(), h = p.PatternHeight();
  const int ox = (cw - w) / 2, oy = (ch - h) / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (p.PatternPixelSolid(pattern, x, y))
        mask[static_cast<size_t>((y + oy) * cw + x + ox)] = true;
  return mask;
}

double Overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
  int both = 0, either = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    both += a[i] && b[i];
    either += a[i] || b[i];
  }
  return either ? static_cast<double>(both) / either : 1.0;
}

int Area(const std::vector<bool>& m) {
  return static_cast<int>(std::count(m.begin(), m.end(), true));
}

// Five silhouettes a player tells apart without their colours: no two upright bikes share more
// than three quarters of their opaque pixels, and the most powerful bike is the biggest.
TEST(BuiltPictures, TheFiveBikesHaveTheirOwnSilhouettes) {
  test::TRunDir dir;
  const TImageList race = Load(2);
  constexpr int Canvas = 80;
  std::array<std::vector<bool>, 6> upright;
  for (int m = 1; m <= 5; ++m) {
    const TPictureItem* p = race.Item(BikeUprightImage(m));
    ASSERT_NE(p, nullptr);
    upright[static_cast<size_t>(m)] = CentredMask(*p, 0, Canvas, Canvas);
  }
  for (int a = 1; a <= 5; ++a)
    for (int b = a + 1; b <= 5; ++b)
      EXPECT_LE(Overlap(upright[static_cast<size_t>(a)], upright[static_cast<size_t>(b)]), 0.75)
          << "bikes " << a << " and " << b << " (items " << BikeUprightImage(a) << ", "
          << BikeUprightImage(b) << ")";
  int most = 1;
  for (int m = 2; m <= 5; ++m)
    if (BikePower(m) > BikePower(most)) most = m;
  for (int m = 1; m <= 5; ++m) {
    if (m == most) continue;
    EXPECT_GT(Area(upright[static_cast<size_t>(most)]), Area(upright[static_cast<size_t>(m)]))
        << "bike " << most << " has the most power, bike " << m << " looks bigger";
  }
  // The lean's least-leaned pattern is the same bike as the upright one, not another model.
  for (int m = 1; m <= 5; ++m) {
    const TPictureItem* lean = race.Item(BikeLeanLeftImage(m));
    ASSERT_NE(lean, nullptr);
    const auto least = CentredMask(*lean, 5, Canvas, Canvas);
    for (int other = 1; other <= 5; ++other) {
      if (other == m) continue;
      EXPECT_GT(Overlap(least, upright[static_cast<size_t>(m)]),
                Overlap(least, upright[static_cast<size_t>(other)]))
          << "bike " << m << "'s lean looks more like bike " << other;
    }
  }
}

// The opaque rows a pattern covers on screen when drawn with its top at y.
std::pair<int, int> OpaqueRows(const TPictureItem& p, int pattern, int y) {
  int first = 1 << 20, last = -1;
  for (int row = 0; row < p.PatternHeight(); ++row)
    for (int x = 0; x < p.PatternWidth(); ++x)
      if (p.PatternPixelSolid(pattern, x, row)) {
        first = std::min(first, row + y);
        last = std::max(last, row + y);
      }
  return {first, last};
}

// Clear and Online stand at y 532, Back at 542: their plates still share one row, in both looks,
// and all three lie inside the table picture's tray.
TEST(BuiltPictures, TheHighScoreButtonsShareARowInsideTheirPanel) {
  test::TRunDir dir;
  const TImageList menus = Load(1);
  const TPictureItem *clear = menus.Item(40), *online = menus.Item(41), *back = menus.Item(36),
                     *table = menus.Item(53);
  ASSERT_TRUE(clear && online && back && table);
  for (int look : {0, 1}) {
    const auto b = OpaqueRows(*back, look, 542);
    EXPECT_EQ(OpaqueRows(*clear, look, 532), b) << "look " << look;
    EXPECT_EQ(OpaqueRows(*online, look, 532), b) << "look " << look;
    EXPECT_LT(b.second, 130 + table->PatternHeight()) << "Back hangs below its panel";
  }
  EXPECT_LE(661 + back->PatternWidth(), 356 + table->PatternWidth());
  // The table picture lies over its buttons: nothing of it may cover one.
  const struct {
    const TPictureItem* Button;
    int X, Y;
  } placed[] = {{clear, 365, 532}, {online, 517, 532}, {back, 661, 542}};
  for (const auto& b : placed)
    for (int y = 0; y < b.Button->PatternHeight(); ++y)
      for (int x = 0; x < b.Button->PatternWidth(); ++x)
        if (b.Button->PatternPixelSolid(0, x, y) && b.Y + y - 130 < table->PatternHeight()) {
          ASSERT_FALSE(table->PatternPixelSolid(0, b.X + x - 356, b.Y + y - 130))
              << "the table covers the button at (" << b.X << ", " << b.Y << ")";
        }
}

}  // namespace
}  // namespace zw
