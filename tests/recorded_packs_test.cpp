// Recorded pictures and packs: every picture and sound of the packs our build makes, as the game
// reads them, the pack files' bytes, a picture and a sound through the pack writer and back, a
// scripted set of draws (keyed, clipped at every edge, faded, stretched, turned) and where the
// picture lands in a window or on a screen. A change to any of it fails and names the entry.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packs/pack_io.hpp"
#include "platform/common/picture_scale.hpp"
#include "tests/record_support.hpp"

namespace zw {
namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Hex(uint32_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << std::setw(6) << std::setfill('0') << v;
  return s.str();
}

std::string PictureLine(const std::string& where, const TPictureItem& p) {
  std::ostringstream s;
  int keyed = 0;
  for (uint8_t k : p.Keyed) keyed += k;
  s << where << ": \"" << p.Name << "\" " << p.PictureWidth << "x" << p.PictureHeight << " pattern "
    << p.PatternWidth() << "x" << p.PatternHeight() << " skip " << p.SkipWidth << ","
    << p.SkipHeight << " count " << p.PatternCount() << " key "
    << (p.Transparent ? Hex(p.TransparentColor) : std::string("none")) << " keyed " << keyed
    << " pixels " << test::HashOf(p.Pixels) << " mask " << test::HashOf(p.Keyed);
  return s.str();
}

std::string SoundLine(const std::string& where, const TSoundItem& s) {
  std::ostringstream o;
  o << where << ": \"" << s.Name << "\" looped " << s.Looped << " max " << s.MaxPlayingCount
    << " rate " << s.Frequency << " pan " << s.Pan << " volume " << s.Volume;
  if (s.Wave)
    o << " wave " << s.Wave->Channels << "ch " << s.Wave->Bits << "bit " << s.Wave->Rate << "Hz "
      << s.Wave->FrameCount() << " frames pcm " << test::HashOf(s.Wave->Pcm);
  else
    o << " no wave";
  o << " riff " << test::HashOf(s.RiffData);
  return o.str();
}

// The built data the game loads: each file's bytes, each picture and sound as decoded.
TEST(RecordedPacks, BuiltPacksAsTheGameReadsThem) {
  std::vector<std::string> lines;
  const std::string run = ".";  // the tests run in the run-time folder
  for (const char* f : {"Res/Res1.gpk", "Res/Res2.gpk", "Res/Res3.gpk", "Res/Sounds.spk",
                        "Music/Menu.xm", "Music/Race.xm"}) {
    const std::vector<uint8_t> bytes = FileBytes(run + "/Data/" + f);
    ASSERT_FALSE(bytes.empty()) << "the build made no " << f;
    lines.push_back(std::string("file ") + f + ": " + std::to_string(bytes.size()) + " bytes " +
                    test::HashOf(bytes));
  }
  for (int no = 1; no <= 3; ++no) {
    TImageList list;
    const std::string name = "Res" + std::to_string(no) + ".gpk";
    LoadImagePack(run + "/Data/Res/" + name, list);
    lines.push_back(
        name + ": " + std::to_string(list.Count()) + " pictures colours " +
        test::HashOf(std::vector<uint8_t>(std::begin(list.ColorTable), std::end(list.ColorTable))));
    for (int i = 0; i < list.Count(); ++i)
      lines.push_back(PictureLine(name + " #" + std::to_string(i), *list.Item(i)));
  }
  TSoundList sounds;
  LoadSoundPack(run + "/Data/Res/Sounds.spk", sounds);
  lines.push_back("Sounds.spk: " + std::to_string(sounds.Count()) + " sounds");
  for (int i = 0; i < sounds.Count(); ++i)
    lines.push_back(SoundLine("Sounds.spk #" + std::to_string(i), *sounds.Item(i)));
  test::CheckRecord("packs.record", lines);
}

// A small picture no build makes: every pixel its own colour, so a row or column out of place
// shows; some pixels the key colour (magenta-ish, red and blue unequal) and some its mirror with
// red and blue swapped, which must stay drawn.
TPackPicture MadePicture() {
  TPackPicture p;
  p.Name = "made";
  p.Width = 26;
  p.Height = 21;
  p.PatternWidth = 8;
  p.PatternHeight = 10;
  p.SkipWidth = 1;
  p.SkipHeight = 1;
  p.Transparent = true;
  p.TransparentColor = 0x8000F8;  // 0x00BBGGRR: red F8, blue 80
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      uint32_t rgb = static_cast<uint32_t>(((x * 9) & 0xF8) << 16 | ((y * 12) & 0xFC) << 8 |
                                           (((x + y) * 5) & 0xF8));
      if ((x * 3 + y * 5) % 7 == 0) rgb = 0xF80080;  // the key colour, as 0x00RRGGBB
      if ((x + 2 * y) % 11 == 0) rgb = 0x8000F8;     // red and blue swapped: drawn
      p.Rgb.push_back(rgb);
    }
  return p;
}

TPackSound MadeSound() {
  TPackSound s;
  s.Name = "made";
  s.Looped = true;
  s.MaxPlayingCount = 3;
  s.Frequency = 11025;
  s.Pan = -2500;
  s.Volume = -600;
  s.Wave.Channels = 2;
  s.Wave.Bits = 16;
  s.Wave.Rate = 22050;
  for (int i = 0; i < 40; ++i) {
    const int v = (i * 1237) % 65536 - 32768;
    s.Wave.Pcm.push_back(static_cast<uint8_t>(v & 0xFF));
    s.Wave.Pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return s;
}

// A background that differs at every pixel, so a keyed pixel drawn over shows.
TSurface Canvas() {
  TSurface s(64, 48);
  for (int y = 0; y < s.Height; ++y)
    for (int x = 0; x < s.Width; ++x) s.Row(y)[x] = static_cast<uint16_t>(x * 31 + y * 1013);
  return s;
}

// The pack writer and reader on a picture and a sound of our own, and the draws of that picture.
TEST(RecordedPacks, WrittenPackAndDrawsOfItsPicture) {
  std::vector<std::string> lines;
  const std::vector<uint8_t> image = WriteImagePack({MadePicture()});
  lines.push_back("written image pack: " + std::to_string(image.size()) + " bytes " +
                  test::HashOf(image));
  TImageList list;
  ReadImagePack(image, list);
  ASSERT_EQ(list.Count(), 1);
  TPictureItem& p = *list.Item(0);
  p.BuildPatterns();
  lines.push_back(PictureLine("read back", p));
  const std::vector<uint8_t> sound = WriteSoundPack({MadeSound()});
  lines.push_back("written sound pack: " + std::to_string(sound.size()) + " bytes " +
                  test::HashOf(sound));
  TSoundList sounds;
  ReadSoundPack(sound, sounds);
  ASSERT_EQ(sounds.Count(), 1);
  lines.push_back(SoundLine("sound read back", *sounds.Item(0)));

  auto record = [&](const std::string& step, const TSurface& s) {
    lines.push_back("draw " + step + ": " + test::HashOf(s.Pixels));
  };
  // Plain keyed copies of two patterns at the middle, every edge and corner, and off the canvas.
  const int places[][2] = {{20, 15}, {-3, 15}, {59, 15}, {20, -4}, {20, 43}, {-5, -6},
                           {60, -7}, {-4, 44}, {58, 41}, {-8, 15}, {64, 0},  {20, -10}};
  for (int index : {0, 4})
    for (const auto& at : places) {
      TSurface s = Canvas();
      p.DrawPattern(s, at[0], at[1], index);
      record("pattern " + std::to_string(index) + " at " + std::to_string(at[0]) + "," +
                 std::to_string(at[1]),
             s);
    }
  {
    TSurface s = Canvas();
    p.DrawPattern(s, 10, 10, 1, TRect{12, 13, 16, 17});
    p.DrawPattern(s, 30, -2, 2, TRect{0, 0, 64, 5});
    record("clipped to rectangles", s);
  }
  // Faded and stretched: every strength of fade, a stretch and a shrink, and past every edge.
  const TRect boxes[] = {{10, 10, 18, 20}, {5, 5, 29, 25},   {10, 10, 14, 15}, {-3, -4, 5, 6},
                         {58, 40, 66, 50}, {-6, 20, 10, 40}, {30, -9, 46, 3}};
  for (int alpha : {1, 64, 128, 200, 255})
    for (const TRect& b : boxes) {
      TSurface s = Canvas();
      p.DrawPatternAlpha(s, b, 3, alpha);
      record("fade " + std::to_string(alpha) + " into " + std::to_string(b.Left) + "," +
                 std::to_string(b.Top) + "-" + std::to_string(b.Right) + "," +
                 std::to_string(b.Bottom),
             s);
    }
  // Turned about several pivots, at several sizes, and partly off the canvas.
  for (int angle : {0, 16, 64, 100, 128, 200, 255})
    for (int size : {1, 2}) {
      TSurface s = Canvas();
      p.DrawRotate(s, 30, 20, 8 * size, 10 * size, 5, 0.5, 0.5, angle);
      p.DrawRotate(s, 2, 1, 8 * size, 10 * size, 1, 0.25, 0.75, angle);
      p.DrawRotate(s, 62, 46, 8 * size, 10 * size, 0, 0.0, 1.0, angle);
      record("turn " + std::to_string(angle) + " size " + std::to_string(size), s);
    }
  test::CheckRecord("draws.record", lines);
}

// Where the picture goes on every common screen and window, and where the mouse lands on it.
TEST(RecordedPacks, PictureInWindowsAndScreens) {
  std::vector<std::string> lines;
  const int sizes[][2] = {{800, 600},   {1024, 768},  {1280, 720},  {1280, 1024}, {1366, 768},
                          {1600, 1200}, {1920, 1080}, {2560, 1440}, {3840, 2160}, {640, 480},
                          {799, 599},   {1599, 1199}, {1000, 600},  {800, 1000},  {2400, 1800},
                          {1067, 800},  {1066, 799},  {0, 0},       {1, 1},       {1281, 721},
                          {1367, 769},  {801, 601},   {3841, 2161}, {1025, 601}};
  for (const auto& sz : sizes) {
    const TViewport v = FitPicture(sz[0], sz[1]);
    std::ostringstream s;
    s << "screen " << sz[0] << "x" << sz[1] << ": window scale " << WindowScale(sz[0], sz[1])
      << " picture at " << v.X << "," << v.Y << " size " << v.W << "x" << v.H << " mouse";
    const int points[][2] = {{0, 0},
                             {v.X, v.Y},
                             {v.X + v.W - 1, v.Y + v.H - 1},
                             {v.X + v.W, v.Y + v.H},
                             {v.X + v.W / 2, v.Y + v.H / 3},
                             {v.X - 1, v.Y - 1},
                             {sz[0] - 1, sz[1] - 1}};
    for (const auto& pt : points) {
      int x = 0, y = 0;
      OutputToPicture(v, pt[0], pt[1], x, y);
      s << " " << x << "," << y;
    }
    lines.push_back(s.str());
  }
  test::CheckRecord("screens.record", lines);
}

}  // namespace
}  // namespace zw
