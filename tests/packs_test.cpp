// Tests of the pack format, picture geometry and drawing, and the playing of sound items.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "packs/pack_io.hpp"

namespace zw {
namespace {

TPackPicture Gradient(const std::string& name, int w, int h) {
  TPackPicture p;
  p.Name = name;
  p.Width = w;
  p.Height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.Rgb.push_back(
          static_cast<uint32_t>((x * 37 % 256) << 16 | (y * 53 % 256) << 8 | ((x + y) * 11 % 256)));
  return p;
}

TEST(PacksFormat, PicturesAndSoundsReadBackAsWritten) {
  TPackPicture a = Gradient("A", 13, 7);
  a.PatternWidth = 5;
  a.SkipWidth = 1;
  a.TransparentColor = 0x00FF00FF;
  a.Rgb[3] = 0xFF00FF;  // one keyed pixel
  TPackPicture b = Gradient("Opaque", 4, 3);
  b.Transparent = false;
  // A key whose bytes read differently in either order: the pack keeps it blue first.
  TPackPicture c = Gradient("Keyed", 4, 3);
  c.TransparentColor = 0x00563412;
  c.Rgb[0] = 0x123456;
  c.Rgb[1] = 0x563412;
  TImageList list;
  ReadImagePack(WriteImagePack({a, b, c}), list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.Item(2)->Keyed[0]);
  EXPECT_FALSE(list.Item(2)->Keyed[1]);
  const TPictureItem& pa = *list.Item(0);
  EXPECT_EQ(pa.Name, "A");
  EXPECT_EQ(pa.PictureWidth, 13);
  EXPECT_EQ(pa.PictureHeight, 7);
  EXPECT_EQ(pa.PatternWidth(), 5);
  EXPECT_EQ(pa.PatternCount(), 2);  // (13 + 1) div 6
  EXPECT_TRUE(pa.Keyed[3]);
  EXPECT_FALSE(pa.Keyed[4]);
  for (size_t i = 0; i < a.Rgb.size(); ++i) {
    const uint32_t rgb = a.Rgb[i];
    EXPECT_EQ(pa.Pixels[i], Rgb565(rgb >> 16, (rgb >> 8) & 255, rgb & 255)) << i;
  }
  EXPECT_FALSE(list.Item(1)->Transparent);

  TPackSound s;
  s.Name = "Beep";
  s.Looped = true;
  s.MaxPlayingCount = 3;
  s.Wave.Channels = 2;
  s.Wave.Bits = 8;
  s.Wave.Rate = 11025;
  s.Wave.Pcm = {1, 2, 3, 4, 5, 6};
  TSoundList sounds;
  ReadSoundPack(WriteSoundPack({s}), sounds);
  ASSERT_EQ(sounds.Count(), 1);
  EXPECT_EQ(sounds.Item(0)->Name, "Beep");
  EXPECT_TRUE(sounds.Item(0)->Looped);
  EXPECT_EQ(sounds.Item(0)->MaxPlayingCount, 3);
  EXPECT_EQ(sounds.Item(0)->Wave->Pcm, s.Wave.Pcm);
  EXPECT_EQ(sounds.Item(0)->Wave->Rate, 11025);
  // The writer is deterministic.
  EXPECT_EQ(WriteImagePack({a, b}), WriteImagePack({a, b}));
}

// Packs made by other tools store small integers in one or two bytes, signed: a pan to the left
// is negative. Our writer always uses four, so the narrow forms are made here by hand.
TEST(PacksFormat, NarrowIntegersKeepTheirSign) {
  TPackSound s;
  s.Name = "Pan";
  s.Wave.Channels = 1;
  s.Wave.Bits = 8;
  s.Wave.Rate = 11025;
  s.Wave.Pcm = {1, 2};
  for (const auto& [narrow, bytes] :
       {std::pair{tag::Int8, std::vector<uint8_t>{0xF6}},            // -10
        std::pair{tag::Int16, std::vector<uint8_t>{0x0C, 0xFE}}}) {  // -500
    s.Pan = 7;
    std::vector<uint8_t> pack = WriteSoundPack({s});
    const std::vector<uint8_t> wide = {3, 'P', 'a', 'n', tag::Int32, 7, 0, 0, 0};
    auto at = std::search(pack.begin(), pack.end(), wide.begin(), wide.end());
    ASSERT_NE(at, pack.end());
    at += 4;
    *at = narrow;
    at = pack.erase(at + 1, at + 5);
    pack.insert(at, bytes.begin(), bytes.end());
    // The stream's size in the resource header follows the shorter property.
    const size_t headerEnd = 19;
    const uint32_t size = static_cast<uint32_t>(pack.size() - headerEnd);
    for (int i = 0; i < 4; ++i) pack[headerEnd - 4 + i] = static_cast<uint8_t>(size >> (8 * i));
    TSoundList sounds;
    ReadSoundPack(pack, sounds);
    ASSERT_EQ(sounds.Count(), 1);
    EXPECT_EQ(sounds.Item(0)->Pan, narrow == tag::Int8 ? -10 : -500);
  }
}

TEST(PacksFormat, DamagedPacksFailWithTheirReasons) {
  const std::vector<uint8_t> good = WriteImagePack({Gradient("A", 8, 8)});
  TImageList list;
  auto why = [&](std::vector<uint8_t> bytes) {
    try {
      ReadImagePack(bytes, list);
    } catch (const TPackError& e) {
      return std::string(e.what());
    }
    return std::string("loaded");
  };
  std::vector<uint8_t> bad = good;
  bad[0] = 0xFE;
  EXPECT_EQ(why(bad), "Invalid stream format");
  // Every truncation fails cleanly.
  for (size_t n = 0; n < good.size(); n += 7)
    EXPECT_NE(why(std::vector<uint8_t>(good.begin(), good.begin() + n)), "loaded") << n;
  // A bitmap header of a size no bitmap has.
  // The bitmap's header follows its class name.
  const std::string dibClass = "TDIBitmap";
  const size_t dib =
      static_cast<size_t>(std::search(good.begin(), good.end(), dibClass.begin(), dibClass.end()) -
                          good.begin()) +
      dibClass.size();
  ASSERT_LT(dib + 12, good.size());
  bad = good;
  bad[dib] = 41;
  EXPECT_EQ(why(bad), "DIB is invalid");
  // A height of the most negative number, which has no positive counterpart to turn into.
  bad = good;
  for (int k = 0; k < 4; ++k) bad[dib + 8 + static_cast<size_t>(k)] = k == 3 ? 0x80 : 0;
  EXPECT_EQ(why(bad), "DIB is invalid");
  // No pixels wide but 40 000 rows high: no area to speak of, still refused by its height.
  bad = good;
  for (int k = 0; k < 4; ++k) bad[dib + 4 + static_cast<size_t>(k)] = 0;
  for (int k = 0; k < 4; ++k)
    bad[dib + 8 + static_cast<size_t>(k)] = static_cast<uint8_t>(40000 >> (8 * k));
  EXPECT_EQ(why(bad), "DIB is invalid");
  // Random bytes after a good header never crash.
  uint32_t seed = 99;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> r(good.begin(), good.begin() + 30);
    for (int i = 0; i < 200; ++i) {
      seed = seed * 1103515245u + 12345u;
      r.push_back(static_cast<uint8_t>(seed >> 16));
    }
    why(r);
  }
  EXPECT_THROW(LoadImagePack("no/such/pack.gpk", list), TPackError);
  // Gaps gone negative make patterns one pixel apart: 151 patterns of 50 over 200 pixels would
  // cover the picture many times over. Such a pack is refused, not cut up for minutes; the
  // same picture with a one-pixel gap loads.
  for (const auto& [skip, verdict] :
       {std::pair{-49, "Invalid property value"}, std::pair{1, "loaded"}}) {
    TPackPicture tiled = Gradient("Tiled", 200, 8);
    tiled.PatternWidth = 50;
    tiled.SkipWidth = skip;
    EXPECT_EQ(why(WriteImagePack({tiled})), verdict) << skip;
  }
  // The resource name in the header: 63 characters are read, 64 are not.
  const size_t nameEnd =
      static_cast<size_t>(std::find(good.begin() + 3, good.end(), 0) - good.begin());
  for (size_t n : {size_t{63}, size_t{64}}) {
    std::vector<uint8_t> named(good.begin(), good.begin() + 3);
    named.insert(named.end(), n, 'N');
    named.insert(named.end(), good.begin() + static_cast<long>(nameEnd), good.end());
    EXPECT_EQ(why(named), n == 63 ? "loaded" : "Invalid stream format") << n;
  }
}

TEST(PacksGeometry, PatternCountsBeforeAndAfterBuilding) {
  TPictureItem p;
  p.PictureWidth = 100;
  p.PictureHeight = 20;
  p.StoredPatternWidth = 30;
  p.SkipWidth = 5;
  EXPECT_EQ(p.PatternCount(), 3);  // 100 div 35 = 2, remainder 30 = the pattern width
  p.BuildPatterns();
  EXPECT_EQ(p.PatternCount(), 3);
  EXPECT_EQ(p.PatternRect(2), (TRect{70, 0, 100, 20}));
  EXPECT_EQ(p.PatternRect(3), TRect{});
  EXPECT_EQ(p.PatternRect(-1), TRect{});
  TPictureItem whole;
  whole.PictureWidth = 9;
  whole.PictureHeight = 4;
  whole.BuildPatterns();
  EXPECT_EQ(whole.PatternCount(), 1);
  EXPECT_EQ(whole.PatternRect(0), (TRect{0, 0, 9, 4}));
  // Down as well as across: three columns of two rows before the patterns exist.
  TPictureItem grid;
  grid.PictureWidth = 100;
  grid.PictureHeight = 20;
  grid.StoredPatternWidth = 30;
  grid.SkipWidth = 5;
  grid.StoredPatternHeight = 8;
  grid.SkipHeight = 2;
  EXPECT_EQ(grid.PatternCount(), 6);  // 20 div 10 = 2, remainder 0 (no further row)
  grid.PictureHeight = 28;
  EXPECT_EQ(grid.PatternCount(), 9);  // remainder 8 = the pattern height: a third row
  grid.PictureHeight = 29;
  EXPECT_EQ(grid.PatternCount(), 6);  // remainder 9: only an exact fit makes a row
  // A damaged pack's gap near the end of an int: one pattern still fits at the left edge,
  // nothing wraps round to a negative step.
  TPictureItem wide;
  wide.PictureWidth = 100;
  wide.PictureHeight = 20;
  wide.StoredPatternWidth = 30;
  wide.SkipWidth = std::numeric_limits<int>::max() - 10;
  wide.SkipHeight = std::numeric_limits<int>::max();
  EXPECT_EQ(wide.PatternCount(), 0);  // 100 div (2^31 + 19) = 0, remainder 100: no exact fit
  wide.BuildPatterns();
  EXPECT_EQ(wide.PatternCount(), 1);
  EXPECT_EQ(wide.PatternRect(0), (TRect{0, 0, 30, 20}));
  // Patterns that overlap past the picture's own area are not built at all.
  TPictureItem overlapping;
  overlapping.PictureWidth = overlapping.PictureHeight = 100;
  overlapping.StoredPatternWidth = overlapping.StoredPatternHeight = 50;
  overlapping.SkipWidth = -49;
  EXPECT_FALSE(overlapping.PatternGridFits());
  overlapping.BuildPatterns();
  EXPECT_EQ(overlapping.PatternCount(), 0);
  overlapping.SkipWidth = -10;  // two columns of 50, forty apart: a little overlap is built
  EXPECT_TRUE(overlapping.PatternGridFits());
  overlapping.BuildPatterns();
  EXPECT_EQ(overlapping.PatternCount(), 4);
  EXPECT_EQ(overlapping.PatternRect(3), (TRect{40, 50, 90, 100}));
  EXPECT_TRUE(grid.PatternGridFits());
}

TPictureItem Arrow() {
  // A 5 x 5 picture: a vertical bar in the middle column, the rest keyed.
  TPictureItem p;
  p.PictureWidth = p.PictureHeight = 5;
  p.Pixels.assign(25, 0xFFFF);
  p.Keyed.assign(25, 1);
  for (int y = 0; y < 5; ++y) p.Keyed[static_cast<size_t>(y * 5 + 2)] = 0;
  p.Keyed[2] = 0;
  p.BuildPatterns();
  return p;
}

int CountLit(const TSurface& s) {
  int n = 0;
  for (uint16_t v : s.Pixels) n += v != 0;
  return n;
}

TEST(PacksDrawing, KeyedCopiesClipAtEveryEdge) {
  TPictureItem p = Arrow();
  TSurface s(20, 10);
  p.DrawPattern(s, -2, -3, 0);
  EXPECT_EQ(CountLit(s), 2);
  s.Fill(0);
  p.DrawPattern(s, 16, 8, 0);
  EXPECT_EQ(CountLit(s), 2);
  s.Fill(0);
  p.DrawPattern(s, 3, 3, 1);  // no such pattern
  p.DrawPattern(s, 300, 300, 0);
  EXPECT_EQ(CountLit(s), 0);
  p.DrawPatternAlpha(s, TRect{0, 0, 10, 10}, 0, 0);
  EXPECT_EQ(CountLit(s), 0);
  p.DrawPatternAlpha(s, TRect{0, 0, 10, 10}, 0, 255);
  EXPECT_EQ(CountLit(s), 20);  // the bar, stretched twice as wide and high
}

// The keyed copy as the rule states it: every drawn pixel of the pattern, tested one by one.
void DrawPatternPixelByPixel(const TPictureItem& p, TSurface& dest, int x, int y, int index) {
  const TRect r = p.PatternRect(index);
  for (int py = 0; py < r.Height(); ++py)
    for (int px = 0; px < r.Width(); ++px) {
      const int dx = x + px, dy = y + py;
      if (dx < 0 || dy < 0 || dx >= dest.Width || dy >= dest.Height) continue;
      if (!p.PatternPixelSolid(index, px, py)) continue;
      dest.Row(dy)[dx] = p.Pixels[static_cast<size_t>(r.Top + py) * p.PictureWidth + (r.Left + px)];
    }
}

// Pattern sheets with skips, keyed and not, and the game's own pictures, drawn at places that
// clip them on every side: the run copy leaves the surface exactly as the pixel rule does.
TEST(PacksDrawing, RunCopiesMatchThePixelRuleOnSheetsAndGamePictures) {
  std::vector<std::unique_ptr<TPictureItem>> pictures;
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 134775813u + 1, seed >> 8; };
  for (int n = 0; n < 12; ++n) {
    auto p = std::make_unique<TPictureItem>();
    p->PictureWidth = 5 + static_cast<int>(next() % 90);
    p->PictureHeight = 3 + static_cast<int>(next() % 50);
    p->StoredPatternWidth = n % 3 == 0 ? 0 : 1 + static_cast<int>(next() % p->PictureWidth);
    p->StoredPatternHeight = n % 3 == 0 ? 0 : 1 + static_cast<int>(next() % p->PictureHeight);
    p->SkipWidth = n % 4 == 1 ? 1 : 0;
    p->SkipHeight = n % 5 == 2 ? 2 : 0;
    p->Transparent = n % 6 != 5;
    const int density = static_cast<int>(next() % 4);  // from nearly all keyed to none
    for (int i = 0; i < p->PictureWidth * p->PictureHeight; ++i) {
      const bool key = density < 3 && static_cast<int>(next() % 4) <= density;
      p->Pixels.push_back(static_cast<uint16_t>(next() | 1));
      p->Keyed.push_back(key);
    }
    p->BuildPatterns();
    pictures.push_back(std::move(p));
  }
  const std::filesystem::path res = std::filesystem::path(ZW_RUN_DIR) / "Data" / "Res";
  std::vector<TImageList> lists(3);
  for (int n = 1; n <= 3; ++n)
    LoadImagePack((res / ("Res" + std::to_string(n) + ".gpk")).string(), lists[n - 1]);
  std::vector<const TPictureItem*> all;
  for (auto& p : pictures) all.push_back(p.get());
  for (auto& l : lists)
    for (auto& p : l.Items) all.push_back(p.get());
  ASSERT_GT(all.size(), 40u);
  TSurface ours(160, 120), rule(160, 120);
  int compared = 0;
  for (const TPictureItem* p : all) {
    const int patterns = p->PatternCount();
    for (int k = 0; k < std::min(patterns, 6) + 1; ++k) {
      const int index = k < std::min(patterns, 6) ? (k * 7919) % std::max(patterns, 1) : patterns;
      for (int place = 0; place < 5; ++place) {
        const TRect r = p->PatternRect(index);
        const int x = place == 0   ? -r.Width() / 2
                      : place == 1 ? 160 - r.Width() / 3
                                   : static_cast<int>(next() % 200) - 40;
        const int y = place == 2   ? -r.Height() / 2
                      : place == 3 ? 120 - r.Height() / 3
                                   : static_cast<int>(next() % 160) - 40;
        for (size_t i = 0; i < ours.Pixels.size(); ++i) ours.Pixels[i] = rule.Pixels[i] = 0x0841;
        p->DrawPattern(ours, x, y, index);
        DrawPatternPixelByPixel(*p, rule, x, y, index);
        ASSERT_EQ(ours.Pixels, rule.Pixels)
            << p->Name << " pattern " << index << " at " << x << ", " << y;
        // Within a clip rectangle: the same pixels inside it, nothing outside.
        for (uint16_t& v : ours.Pixels) v = 0x0841;
        const TRect clip{20, 10, 120, 100};
        p->DrawPattern(ours, x, y, index, clip);
        for (int cy = 0; cy < 120; ++cy)
          for (int cx = 0; cx < 160; ++cx)
            if (cx < clip.Left || cx >= clip.Right || cy < clip.Top || cy >= clip.Bottom)
              rule.Row(cy)[cx] = 0x0841;
        ASSERT_EQ(ours.Pixels, rule.Pixels) << p->Name << " clipped, pattern " << index;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 500);
}

// Speckled pictures (a key every few pixels, so rows of many short runs) are laid in masked
// chunks: sheets of patterns 16 to 45 pixels wide, keyed pixels holding colours the surface must
// never see, drawn over a surface of varied pixels so a keyed place must keep its own, and
// slid past each edge so every visible width from 1 up is met (one chunk, overlapping chunks,
// the narrow tails).
TEST(PacksDrawing, SpeckledPatternsMatchThePixelRuleAtEveryVisibleWidth) {
  uint32_t seed = 4242;
  auto next = [&] { return seed = seed * 134775813u + 1, seed >> 8; };
  TSurface ours(64, 40), rule(64, 40);
  auto ground = [](TSurface& s) {
    for (size_t i = 0; i < s.Pixels.size(); ++i) s.Pixels[i] = static_cast<uint16_t>(i * 40503u);
  };
  int compared = 0;
  for (int pw : {16, 17, 23, 31, 32, 33, 45}) {
    TPictureItem p;
    p.StoredPatternWidth = pw;
    p.StoredPatternHeight = 6;
    p.SkipWidth = pw % 2;
    p.PictureWidth = 2 * (pw + p.SkipWidth);
    p.PictureHeight = 12;
    for (int i = 0; i < p.PictureWidth * p.PictureHeight; ++i) {
      const bool key = next() % 3 == 0;
      p.Pixels.push_back(static_cast<uint16_t>(key ? 0xFFFF : next() | 1));
      p.Keyed.push_back(key);
    }
    p.BuildPatterns();
    ASSERT_EQ(p.PatternCount(), 4);
    for (int index = 0; index < 4; ++index)
      for (int x = -pw; x <= 64; ++x) {
        const int y = x % 9 - 3;
        ground(ours);
        ground(rule);
        p.DrawPattern(ours, x, y, index);
        DrawPatternPixelByPixel(p, rule, x, y, index);
        ASSERT_EQ(ours.Pixels, rule.Pixels) << pw << " wide, pattern " << index << " at " << x;
        ++compared;
      }
  }
  EXPECT_GT(compared, 2000);
}

// The rotation's rule, pixel by pixel over the whole rotated box: each destination pixel centre,
// turned back by the angle and scaled to the pattern, takes the pattern pixel it lands on.
void DrawRotatePixelByPixel(const TPictureItem& p, TSurface& dest, int x, int y, int width,
                            int height, int index, double centerX, double centerY, int angle) {
  const TRect pr = p.PatternRect(index);
  if (pr.Empty() || width <= 0 || height <= 0) return;
  auto cosine = [](int i) {
    return static_cast<int64_t>(std::lround(std::cos((i & 255) * 2.0 * M_PI / 256.0) * 65536.0));
  };
  const int64_t c = cosine(angle), s = cosine(angle + 192);
  const double pivotX = width * centerX, pivotY = height * centerY;
  const int64_t scaleX = (static_cast<int64_t>(pr.Width()) << 16) / width;
  const int64_t scaleY = (static_cast<int64_t>(pr.Height()) << 16) / height;
  const int64_t pivX = std::llround(pivotX * 65536.0), pivY = std::llround(pivotY * 65536.0);
  const int reach = 2 * (width + height) + 2;
  for (int dy = std::max(0, y - reach); dy < std::min(dest.Height, y + reach); ++dy)
    for (int dx = std::max(0, x - reach); dx < std::min(dest.Width, x + reach); ++dx) {
      const int64_t rx = (static_cast<int64_t>(dx - x) << 16) + 32768;
      const int64_t ry = (static_cast<int64_t>(dy - y) << 16) + 32768;
      const int64_t u = ((rx * c + ry * s) >> 16) + pivX;
      const int64_t v = ((-rx * s + ry * c) >> 16) + pivY;
      if (u < 0 || v < 0) continue;
      const int64_t px = (u * scaleX) >> 32, py = (v * scaleY) >> 32;
      if (px >= pr.Width() || py >= pr.Height()) continue;
      const int64_t sx = pr.Left + px, sy = pr.Top + py;
      if (sx >= p.PictureWidth || sy >= p.PictureHeight) continue;
      const size_t i = static_cast<size_t>(sy * p.PictureWidth + sx);
      if (p.Transparent && p.Keyed[i]) continue;
      dest.Row(dy)[dx] = p.Pixels[i];
    }
}

// Turned and scaled pictures, keyed and not, whole and clipped at every edge: the walk over only
// the columns that land inside the pattern leaves the surface as the pixel rule does.
TEST(PacksDrawing, RotationMatchesThePixelRule) {
  uint32_t seed = 777;
  auto next = [&] { return seed = seed * 134775813u + 1, seed >> 8; };
  TSurface ours(90, 70), rule(90, 70);
  int drawn = 0;
  for (int n = 0; n < 40; ++n) {
    TPictureItem p;
    p.PictureWidth = 2 + static_cast<int>(next() % 40);
    p.PictureHeight = 2 + static_cast<int>(next() % 40);
    p.StoredPatternWidth = n % 2 ? 0 : 1 + static_cast<int>(next() % p.PictureWidth);
    p.StoredPatternHeight = n % 2 ? 0 : 1 + static_cast<int>(next() % p.PictureHeight);
    p.Transparent = n % 5 != 4;
    for (int i = 0; i < p.PictureWidth * p.PictureHeight; ++i) {
      p.Pixels.push_back(static_cast<uint16_t>(next() | 1));
      p.Keyed.push_back(next() % 3 == 0);
    }
    p.BuildPatterns();
    for (int k = 0; k < 60; ++k) {
      const int index = static_cast<int>(next() % static_cast<uint32_t>(p.PatternCount()));
      const int w = 1 + static_cast<int>(next() % 50), h = 1 + static_cast<int>(next() % 50);
      const int x = static_cast<int>(next() % 130) - 20, y = static_cast<int>(next() % 110) - 20;
      const int angle = static_cast<int>(next() % 300);
      const double cx = k % 3 ? 0.5 : (next() % 100) / 100.0;
      const double cy = k % 3 ? 0.5 : (next() % 100) / 100.0;
      ours.Fill(0x0841);
      rule.Fill(0x0841);
      p.DrawRotate(ours, x, y, w, h, index, cx, cy, angle);
      DrawRotatePixelByPixel(p, rule, x, y, w, h, index, cx, cy, angle);
      ASSERT_EQ(ours.Pixels, rule.Pixels) << "picture " << n << " draw " << k << ": " << w << "x"
                                          << h << " at " << x << "," << y << " angle " << angle;
      drawn += ours.Pixels != std::vector<uint16_t>(ours.Pixels.size(), 0x0841);
    }
  }
  EXPECT_GT(drawn, 1000);
  // A keyed picture whose key does not cover it draws nothing, as the keyed copy does, and reads
  // nothing past the key.
  TPictureItem torn = Arrow();
  torn.Keyed.resize(torn.Keyed.size() / 2);
  ours.Fill(0x0841);
  torn.DrawRotate(ours, 40, 30, 10, 10, 0, 0.5, 0.5, 17);
  EXPECT_EQ(ours.Pixels, std::vector<uint16_t>(ours.Pixels.size(), 0x0841));
}

TEST(PacksDrawing, RotationUsesOnlyTheLowEightBits) {
  TPictureItem p = Arrow();
  TSurface a(40, 40), b(40, 40), q(40, 40);
  p.DrawRotate(a, 20, 20, 10, 10, 0, 0.5, 0.5, 0);
  p.DrawRotate(b, 20, 20, 10, 10, 0, 0.5, 0.5, 256);
  EXPECT_EQ(a.Pixels, b.Pixels);
  // A quarter turn lays the upright bar on its side.
  p.DrawRotate(q, 20, 20, 10, 10, 0, 0.5, 0.5, 64);
  int minX = 99, maxX = -1, minY = 99, maxY = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      if (q.Pixels[static_cast<size_t>(y * 40 + x)]) {
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y),
        maxY = std::max(maxY, y);
      }
  EXPECT_GE(maxX - minX, 8);
  EXPECT_LE(maxY - minY, 2);
}

// A 23 x 11 bitmap file: 16-bit 5-6-5 or 32-bit bit fields, or 24-bit stored top-down.
std::vector<uint8_t> HandBitmap(const std::string& kind) {
  const int w = 23, h = 11;
  const int bits = kind == "hand:16" ? 16 : kind == "hand:32" ? 32 : 24;
  const bool fields = bits != 24;
  const size_t stride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
  std::vector<uint8_t> f;
  auto u16 = [&](uint32_t v) { f.push_back(v & 255), f.push_back((v >> 8) & 255); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  const uint32_t off = 14 + 40 + (fields ? 12 : 0);
  f.push_back('B'), f.push_back('M');
  u32(off + static_cast<uint32_t>(stride * h)), u32(0), u32(off);
  u32(40), u32(w), u32(kind == "hand:top-down" ? static_cast<uint32_t>(-h) : h), u16(1), u16(bits);
  u32(fields ? 3 : 0), u32(static_cast<uint32_t>(stride * h)), u32(2835), u32(2835), u32(0), u32(0);
  if (bits == 16) u32(0xF800), u32(0x07E0), u32(0x001F);
  if (bits == 32) u32(0x00FF0000), u32(0x0000FF00), u32(0x000000FF);
  for (int y = 0; y < h; ++y) {
    size_t n = 0;
    for (int x = 0; x < w; ++x) {
      const uint32_t v = static_cast<uint32_t>(x * 2654435761u + y * 40503u);
      if (bits == 16)
        u16(v & 0xFFFF), n += 2;
      else if (bits == 32)
        u32(v & 0x00FFFFFF), n += 4;
      else
        f.push_back(v & 255), f.push_back((v >> 8) & 255), f.push_back((v >> 16) & 255), n += 3;
    }
    for (; n < stride; ++n) f.push_back(0);
  }
  return f;
}

// A pack by hand: the writer's header, then one picture of the plain bitmap class holding the
// bitmap file.
std::vector<uint8_t> BitmapPack(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> pack = WriteImagePack({});
  pack.resize(pack.size() - 3);  // drop the empty collection's end and the root's two ends
  pack.push_back(1);
  auto shortstr = [&](const std::string& s) {
    pack.push_back(static_cast<uint8_t>(s.size()));
    pack.insert(pack.end(), s.begin(), s.end());
  };
  shortstr("Picture.Data");
  pack.push_back(10);
  const uint32_t len = static_cast<uint32_t>(1 + 7 + 4 + file.size());
  for (int i = 0; i < 4; ++i) pack.push_back(static_cast<uint8_t>(len >> (8 * i)));
  shortstr("TBitmap");
  for (int i = 0; i < 4; ++i) pack.push_back(static_cast<uint8_t>(file.size() >> (8 * i)));
  pack.insert(pack.end(), file.begin(), file.end());
  pack.insert(pack.end(), {0, 0, 0, 0});  // the item's, the collection's and the root's ends
  return pack;
}

TEST(PacksFormat, FourBitRunLengthBitmapsDecodeRunsAbsoluteRunsAndJumps) {
  // 7 x 3 pixels, 16 colours, written byte by byte: rows are stored bottom first.
  const std::vector<uint8_t> rle = {2,    0x12,  // bottom row: a run of 1 2,
                                    0,    5,    0x34, 0x56,
                                    0x70, 0,  // then 3 to 7 as an absolute run, padded
                                    0,    0,  // end of the row
                                    5,    0x89, 2,    0xAB,  // middle row: runs 8 9 8 9 8 and 10 11
                                    0,    0,                 // end of the row
                                    0,    2,    3,    0,     // top row: jump three pixels right,
                                    4,    0xCD,              // then 12 13 12 13
                                    0,    1};                // end of the bitmap
  std::vector<uint8_t> f;
  auto u16 = [&](uint32_t v) { f.push_back(v & 255), f.push_back((v >> 8) & 255); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  const uint32_t off = 14 + 40 + 64;
  f.push_back('B'), f.push_back('M');
  u32(off + static_cast<uint32_t>(rle.size())), u32(0), u32(off);
  u32(40), u32(7), u32(3), u16(1), u16(4);
  u32(2), u32(static_cast<uint32_t>(rle.size())), u32(2835), u32(2835), u32(16), u32(0);
  auto colour = [](int i) {
    return static_cast<uint32_t>((i * 16 + 8) << 16 | (255 - i * 8) << 8 | (i * 3 + 7));
  };
  for (int i = 0; i < 16; ++i) {
    const uint32_t c = colour(i);
    f.push_back(c & 255), f.push_back((c >> 8) & 255), f.push_back((c >> 16) & 255), f.push_back(0);
  }
  f.insert(f.end(), rle.begin(), rle.end());
  TImageList list;
  ASSERT_NO_THROW(ReadImagePack(BitmapPack(f), list));
  const TPictureItem& p = *list.Item(0);
  ASSERT_EQ(p.PictureWidth, 7);
  ASSERT_EQ(p.PictureHeight, 3);
  const int want[3][7] = {
      {-1, -1, -1, 12, 13, 12, 13}, {8, 9, 8, 9, 8, 10, 11}, {1, 2, 3, 4, 5, 6, 7}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) {
      const uint32_t c = want[y][x] < 0 ? 0 : colour(want[y][x]);  // skipped pixels stay black
      EXPECT_EQ(p.Pixels[static_cast<size_t>(y * 7 + x)], Rgb565(c >> 16, (c >> 8) & 255, c & 255))
          << x << "," << y;
    }
}

// Independent decoding: the same bitmap files as ImageMagick sees them. CI installs ImageMagick,
// so its absence is a failure, not a skip.
TEST(PacksFormat, BitmapsOfEveryDepthMatchAnIndependentDecoder) {
#ifdef _WIN32
  GTEST_SKIP() << "ImageMagick runs on the build machine, not beside the Windows build";
#endif
  ASSERT_EQ(std::system("command -v convert >/dev/null 2>&1"), 0)
      << "ImageMagick's convert is needed (scripts/install-deps.sh installs it)";
  const auto dir =
      std::filesystem::temp_directory_path() / ("zw-bmp-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  struct Case {
    const char* Args;
  };
  const Case cases[] = {{"-type palette -depth 8 BMP3:"},
                        {"-type palette -colors 16 BMP3:"},
                        {"-type bilevel BMP3:"},
                        {"-depth 8 BMP3:"},
                        {"-define bmp:format=bmp2 BMP2:"},
                        {"-compress RLE -type palette -colors 200 BMP3:"},
                        {"hand:16"},
                        {"hand:32"},
                        {"hand:top-down"}};
  int k = 0;
  for (const Case& c : cases) {
    const std::string bmp = (dir / ("c" + std::to_string(k) + ".bmp")).string();
    const std::string ppm = (dir / ("c" + std::to_string(k) + ".ppm")).string();
    ++k;
    const std::string args = c.Args;
    if (args.rfind("hand:", 0) == 0) {
      // Bit-field and top-down bitmaps, written by hand with the 40-byte header.
      std::ofstream(bmp, std::ios::binary)
          .write(reinterpret_cast<const char*>(HandBitmap(args).data()),
                 static_cast<std::streamsize>(HandBitmap(args).size()));
    } else if (std::system(("convert -seed 5 -size 23x11 plasma: " + args + bmp + " 2>/dev/null")
                               .c_str()) != 0) {
      ADD_FAILURE() << "convert could not write " << args;
      continue;
    }
    if (std::system(("convert " + bmp + " -alpha off -depth 8 " + ppm + " 2>/dev/null").c_str()) !=
        0) {
      ADD_FAILURE() << "convert could not read " << args;
      continue;
    }
    // Wrap the file as a picture of the plain bitmap class.
    std::ifstream in(bmp, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    std::ifstream pin(ppm, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxv = 0;
    pin >> magic >> w >> h >> maxv;
    pin.get();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    pin.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    const std::vector<uint8_t> pack = BitmapPack(file);
    TImageList list;
    ASSERT_NO_THROW(ReadImagePack(pack, list)) << c.Args;
    ASSERT_EQ(list.Count(), 1);
    const TPictureItem& p = *list.Item(0);
    ASSERT_EQ(p.PictureWidth, w) << c.Args;
    ASSERT_EQ(p.PictureHeight, h) << c.Args;
    int wrong = 0;
    for (int i = 0; i < w * h; ++i)
      wrong +=
          p.Pixels[static_cast<size_t>(i)] != Rgb565(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    EXPECT_EQ(wrong, 0) << c.Args;
  }
  std::filesystem::remove_all(dir);
}

// A sound device that only counts.
class TCountingAudio : public IAudio {
 public:
  std::vector<bool> Playing;
  std::vector<int> Plays;
  int CreateBuffer(std::shared_ptr<const TWaveData>) override {
    Playing.push_back(false);
    Plays.push_back(0);
    return static_cast<int>(Playing.size());
  }
  void PlayBuffer(int b, bool) override {
    Playing[static_cast<size_t>(b - 1)] = true;
    Plays[static_cast<size_t>(b - 1)] += 1;
  }
  void StopBuffer(int b) override { Playing[static_cast<size_t>(b - 1)] = false; }
  bool BufferPlaying(int b) override { return Playing[static_cast<size_t>(b - 1)]; }
  void SetBufferFormat(int, int, int, int) override {}
};

TEST(PacksSound, TheOldestInstanceRestartsAtTheLimit) {
  TCountingAudio audio;
  TSoundItem item;
  item.Wave = std::make_shared<TWaveData>();
  item.MaxPlayingCount = 2;
  item.Play(audio);
  item.Play(audio);
  item.Play(audio);
  EXPECT_EQ(audio.Playing.size(), 2u);
  EXPECT_EQ(audio.Plays[0], 2);  // the first, oldest, played again
  EXPECT_EQ(item.Buffers().front(), 2);
  TSoundItem looped;
  looped.Wave = item.Wave;
  looped.Looped = true;
  looped.Play(audio);
  looped.Play(audio);
  EXPECT_EQ(looped.Buffers().size(), 1u);
  looped.Stop(audio);
  EXPECT_FALSE(audio.Playing.back());
}

}  // namespace
}  // namespace zw
