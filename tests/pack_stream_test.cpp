// Tests of the pack stream's less common forms: every value tag, named colours, the plain bitmap
// class, unknown picture classes, run-length bitmaps, and blended drawing.
#include <gtest/gtest.h>

#include <cmath>

#include "packs/pack_io.hpp"
#include "platform/headless/headless.hpp"

namespace zw {
namespace {

// Builds a pack by hand, property by property.
class TPackBytes {
 public:
  std::vector<uint8_t> B;
  TPackBytes() {
    B = {0xFF, 10, 0};
    for (char c : std::string("TEST")) B.push_back(static_cast<uint8_t>(c));
    B.insert(B.end(), {0, 0x30, 0x10, 0, 0, 0, 0});
    for (char c : std::string("TPF0")) B.push_back(static_cast<uint8_t>(c));
    Short("TImagePack");
    Short("");
  }
  void Short(const std::string& s) {
    B.push_back(static_cast<uint8_t>(s.size()));
    B.insert(B.end(), s.begin(), s.end());
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) B.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Block(const std::vector<uint8_t>& data) {
    B.push_back(10);
    U32(static_cast<uint32_t>(data.size()));
    B.insert(B.end(), data.begin(), data.end());
  }
  void BeginList() {
    Short("List");
    B.push_back(14);
  }
  void BeginItem() { B.push_back(1); }
  void End() { B.push_back(0); }
  void Finish() { B.insert(B.end(), {0, 0}); }
};

// A DIB with the 40-byte header, 8 bits, run-length coded: width 6, height 2.
std::vector<uint8_t> Rle8Dib() {
  std::vector<uint8_t> d;
  auto u16 = [&](uint32_t v) { d.push_back(v & 255), d.push_back((v >> 8) & 255); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  u32(40), u32(6), u32(2), u16(1), u16(8), u32(1), u32(0), u32(0), u32(0), u32(3), u32(0);
  // Palette: black, red, green.
  d.insert(d.end(), {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0});
  // Bottom row: three red, an absolute run of green, black, green; top row: six green.
  d.insert(d.end(), {3, 1, 0, 3, 2, 0, 2, 0, 0, 0, 6, 2, 0, 1});
  return d;
}

TEST(PackStream, EveryValueTagIsReadOrSkipped) {
  TPackBytes p;
  // Unknown properties of every kind at the root, skipped by their tags.
  const std::vector<std::vector<uint8_t>> values = {{2, 5},
                                                    {3, 1, 0},
                                                    {4, 1, 2, 3, 4},
                                                    {5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                    {6, 1, 'a'},
                                                    {7, 1, 'b'},
                                                    {8},
                                                    {9},
                                                    {10, 1, 0, 0, 0, 7},
                                                    {11, 1, 'x', 0},
                                                    {12, 1, 0, 0, 0, 'c'},
                                                    {13},
                                                    {15, 0, 0, 0, 0},
                                                    {16, 0, 0, 0, 0, 0, 0, 0, 0},
                                                    {17, 0, 0, 0, 0, 0, 0, 0, 0},
                                                    {18, 1, 0, 0, 0, 'd', 0},
                                                    {19, 0, 0, 0, 0, 0, 0, 0, 0},
                                                    {20, 1, 0, 0, 0, 'e'},
                                                    {1, 2, 7, 6, 1, 'q', 0}};
  int k = 0;
  for (const auto& v : values) {
    p.Short("Unknown" + std::to_string(k++));
    p.B.insert(p.B.end(), v.begin(), v.end());
  }
  p.BeginList();
  p.B.push_back(2);  // an order value before the item, read and ignored
  p.B.push_back(0);
  p.BeginItem();
  p.Short("Name");
  p.B.insert(p.B.end(), {18, 3, 0, 0, 0, 'W', 0, 'i', 0, 'd', 0});  // wide text
  p.Short("TransparentColor");
  p.B.push_back(7);
  p.Short("clFuchsia");
  p.Short("PatternWidth");
  p.B.insert(p.B.end(), {3, 2, 0});
  p.Short("Picture.Data");
  std::vector<uint8_t> data = {9};
  for (char c : std::string("TDIBitmap")) data.push_back(static_cast<uint8_t>(c));
  const auto dib = Rle8Dib();
  data.insert(data.end(), dib.begin(), dib.end());
  p.Block(data);
  p.End();
  p.End();
  p.Finish();
  TImageList list;
  ASSERT_NO_THROW(ReadImagePack(p.B, list));
  ASSERT_EQ(list.Count(), 1);
  const TPictureItem& item = *list.Item(0);
  EXPECT_EQ(item.Name, "Wid");
  EXPECT_EQ(item.TransparentColor, 0xFF00FFu);
  EXPECT_EQ(item.PatternWidth(), 2);
  EXPECT_EQ(item.PatternCount(), 3);
  ASSERT_EQ(item.PictureWidth, 6);
  // The bottom row of the file is the picture's second row.
  const uint16_t red = Rgb565(255, 0, 0), green = Rgb565(0, 255, 0);
  EXPECT_EQ(item.Pixels[6], red);
  EXPECT_EQ(item.Pixels[8], red);
  EXPECT_EQ(item.Pixels[9], green);
  EXPECT_EQ(item.Pixels[10], 0);
  EXPECT_EQ(item.Pixels[11], green);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(item.Pixels[static_cast<size_t>(x)], green);
}

TEST(PackStream, PictureClassesAndWrongValues) {
  auto pack = [](const std::string& cls, const std::vector<uint8_t>& body, bool badWidth) {
    TPackBytes p;
    p.BeginList();
    p.BeginItem();
    if (badWidth) {
      p.Short("PatternWidth");
      p.B.insert(p.B.end(), {6, 1, 'x'});
    }
    p.Short("Picture.Data");
    std::vector<uint8_t> data = {static_cast<uint8_t>(cls.size())};
    data.insert(data.end(), cls.begin(), cls.end());
    data.insert(data.end(), body.begin(), body.end());
    p.Block(data);
    p.End();
    p.End();
    p.Finish();
    return p.B;
  };
  TImageList list;
  ReadImagePack(pack("TBitmap", {0, 0, 0, 0}, false), list);  // length 0: an empty picture
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0)->PictureWidth, 0);
  ReadImagePack(pack("TJPEGImage", {1, 2, 3}, false), list);  // not a class packs use
  ASSERT_EQ(list.Count(), 1);
  EXPECT_TRUE(list.Item(0)->Pixels.empty());
  TSurface s(10, 10);
  list.Item(0)->DrawPattern(s, 0, 0, 0);  // draws nothing, and no harm
  try {
    ReadImagePack(pack("TBitmap", {0, 0, 0, 0}, true), list);
    FAIL() << "a text where a number belongs was accepted";
  } catch (const TPackError& e) {
    EXPECT_STREQ(e.what(), "Invalid property value");
  }
}

// A pack whose one unknown root property is `depth` lists (tag 1) or collections (tag 14)
// nested inside each other.
std::vector<uint8_t> NestedPack(int depth, uint8_t tag) {
  TPackBytes p;
  p.Short("Deep");
  for (int i = 0; i < depth; ++i) {
    p.B.push_back(tag);
    if (tag == 14) {
      p.BeginItem();
      p.Short("V");
    }
  }
  p.B.push_back(13);  // nil, innermost
  for (int i = 0; i < depth; ++i) {
    if (tag == 14)
      p.B.insert(p.B.end(), {0, 0});  // the item's properties, then the collection
    else
      p.End();
  }
  p.BeginList();
  p.End();
  p.Finish();
  return p.B;
}

TEST(PackStream, DeepNestingIsRefusedWithoutRunningOutOfStack) {
  for (const uint8_t tag : {uint8_t{1}, uint8_t{14}}) {
    SCOPED_TRACE(static_cast<int>(tag));
    TImageList images;
    // Nesting as deep as a sane writer could ever make still reads.
    EXPECT_NO_THROW(ReadImagePack(NestedPack(200, tag), images));
    // Some sixty thousand levels once overflowed the stack; now they are a malformed stream.
    for (const int depth : {257, 60000, 200000}) {
      try {
        ReadImagePack(NestedPack(depth, tag), images);
        ADD_FAILURE() << depth << " levels were accepted";
      } catch (const TPackError& e) {
        EXPECT_STREQ(e.what(), "Invalid stream format");
      }
      TSoundList sounds;
      EXPECT_THROW(ReadSoundPack(NestedPack(depth, tag), sounds), TPackError);
    }
  }
}

TEST(PackStream, DeepPicturesSkipTheirDeclaredColourTable) {
  // 2 x 1 pictures of 16, 24 and 32 bits that each declare a colour table of three entries: the
  // pixels follow the table, at every depth.
  for (const int bits : {16, 24, 32}) {
    SCOPED_TRACE(bits);
    std::vector<uint8_t> d;
    auto u16 = [&](uint32_t v) { d.push_back(v & 255), d.push_back((v >> 8) & 255); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    u32(40), u32(2), u32(1), u16(1), u16(static_cast<uint32_t>(bits)), u32(0), u32(0), u32(0);
    u32(0), u32(3), u32(0);
    for (int i = 0; i < 3; ++i) d.insert(d.end(), {0x11, 0x22, 0x33, 0});  // the table
    // Pixels: pure red, then pure blue; each row padded to four bytes.
    if (bits == 16) d.insert(d.end(), {0x00, 0x7C, 0x1F, 0x00});
    if (bits == 24) d.insert(d.end(), {0, 0, 255, 255, 0, 0, 0, 0});
    if (bits == 32) d.insert(d.end(), {0, 0, 255, 0, 255, 0, 0, 0});
    TPackBytes p;
    p.BeginList();
    p.BeginItem();
    p.Short("Picture.Data");
    std::vector<uint8_t> data = {9};
    for (char c : std::string("TDIBitmap")) data.push_back(static_cast<uint8_t>(c));
    data.insert(data.end(), d.begin(), d.end());
    p.Block(data);
    p.End();
    p.End();
    p.Finish();
    TImageList list;
    ASSERT_NO_THROW(ReadImagePack(p.B, list));
    ASSERT_EQ(list.Count(), 1);
    ASSERT_EQ(list.Item(0)->Pixels.size(), 2u);
    EXPECT_EQ(list.Item(0)->Pixels[0], Rgb565(255, 0, 0));
    EXPECT_EQ(list.Item(0)->Pixels[1], Rgb565(0, 0, 255));
  }
}

// A see-through picture weighs each of its channels against the surface's at its full depth
// (five bits of red and blue, six of green), rounding to the nearest step.
TEST(PackStream, BlendedDrawingWeighsOldAndNew) {
  struct TCase {
    int R, G, B;     // the picture's fields: red and blue 0..31, green 0..63
    int DR, DG, DB;  // the surface's
  };
  const TCase cases[] = {{31, 0, 0, 0, 0, 31},
                         {31, 63, 31, 0, 0, 0},
                         {5, 60, 17, 26, 8, 2},
                         {0, 33, 31, 31, 62, 0},
                         {12, 47, 9, 19, 32, 30}};
  auto field = [](int a, int b, int alpha) {  // worked out in real numbers, then rounded
    return static_cast<int>(std::lround((a * alpha + b * (255.0 - alpha)) / 255.0));
  };
  for (const TCase& c : cases)
    for (int alpha : {1, 64, 128, 200, 254, 255}) {
      TPictureItem p;
      p.PictureWidth = p.PictureHeight = 2;
      p.Pixels.assign(4, static_cast<uint16_t>((c.R << 11) | (c.G << 5) | c.B));
      p.Keyed = {0, 0, 0, 1};
      p.BuildPatterns();
      TSurface s(4, 4);
      const uint16_t under = static_cast<uint16_t>((c.DR << 11) | (c.DG << 5) | c.DB);
      s.Fill(under);
      p.DrawPatternAlpha(s, TRect{0, 0, 2, 2}, 0, alpha);
      const uint16_t got = s.Pixels[0];
      EXPECT_EQ(got >> 11, field(c.R, c.DR, alpha)) << c.R << " over " << c.DR << " at " << alpha;
      EXPECT_EQ((got >> 5) & 63, field(c.G, c.DG, alpha))
          << c.G << " over " << c.DG << " at " << alpha;
      EXPECT_EQ(got & 31, field(c.B, c.DB, alpha)) << c.B << " over " << c.DB << " at " << alpha;
      EXPECT_EQ(s.Pixels[1], got);    // the whole pattern, not just its corner
      EXPECT_EQ(s.Pixels[5], under);  // the keyed corner leaves the surface alone
    }
}

// Screenshots and pack sheets widen the game's 16-bit colours to 8 bits a channel: black and
// full stay black and full, every level lands within a step of its true share of 255, and
// packing a widened colour again gives back the colour it came from.
TEST(PackStream, EveryColourWidensEvenlyAndPacksBackUnchanged) {
  int wrong = 0;
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    uint8_t r, g, b;
    Rgb565ToRgb(static_cast<uint16_t>(c), r, g, b);
    const double tr = ((c >> 11) & 31) * 255.0 / 31, tg = ((c >> 5) & 63) * 255.0 / 63,
                 tb = (c & 31) * 255.0 / 31;
    const bool even = std::abs(r - tr) < 1 && std::abs(g - tg) < 1 && std::abs(b - tb) < 1;
    if (!even || Rgb565(r, g, b) != c) {
      if (++wrong <= 5)
        ADD_FAILURE() << std::hex << c << " widens to " << std::dec << int{r} << ", " << int{g}
                      << ", " << int{b};
    }
  }
  EXPECT_EQ(wrong, 0);
  uint8_t r, g, b;
  Rgb565ToRgb(0xFFFF, r, g, b);
  EXPECT_EQ(r + g + b, 3 * 255);
  Rgb565ToRgb(0, r, g, b);
  EXPECT_EQ(r + g + b, 0);
}

TEST(PackStream, HeadlessBuffersPlayForTheirLength) {
  THeadlessPlatform h;
  auto wave = std::make_shared<TWaveData>();
  wave->Rate = 1000;
  wave->Pcm.assign(200, 0);  // 100 frames of 16-bit mono: 100 ms
  const int b = h.Audio.CreateBuffer(wave);
  h.Audio.PlayBuffer(b, false);
  h.Clock.Now += 99;
  EXPECT_TRUE(h.Audio.BufferPlaying(b));
  h.Clock.Now += 1;
  EXPECT_FALSE(h.Audio.BufferPlaying(b));
  h.Audio.PlayBuffer(b, true);
  h.Clock.Now += 100000;
  EXPECT_TRUE(h.Audio.BufferPlaying(b));
}

}  // namespace
}  // namespace zw
