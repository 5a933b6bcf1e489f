// Tests of the race tile strip and the radar pictures as the content build leaves them in Data/Res.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "packs/pack_io.hpp"
#include "rider/bike_models.hpp"
#include "world/generator.hpp"

namespace zw {
namespace {

struct TRgb8 {
  int R, G, B;
};

TRgb8 Expand(uint16_t c) {
  const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return TRgb8{(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

int Diff(const TRgb8& a, const TRgb8& b) {
  return std::abs(a.R - b.R) + std::abs(a.G - b.G) + std::abs(a.B - b.B);
}

// The packs as the build made them, loaded once.
class TilesPacks : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadImagePack(std::string(ZW_RUN_DIR) + "/Data/Res/Res2.gpk", Race);
    LoadImagePack(std::string(ZW_RUN_DIR) + "/Data/Res/Res3.gpk", Radar);
  }
  static TImageList Race, Radar;

  static const TPictureItem& Strip() { return *Race.Item(1); }
  static TRgb8 Tile(int code, int x, int y) {
    const TRect r = Strip().PatternRect(code);
    return Expand(
        Strip().Pixels[static_cast<size_t>(r.Top + y) * Strip().PictureWidth + r.Left + x]);
  }
};
TImageList TilesPacks::Race;
TImageList TilesPacks::Radar;

// Every pair of codes that lie side by side, and one above the other, on generated tracks.
struct TNeighbours {
  std::set<std::pair<int, int>> Across, Down;  // (left, right), (above, below)
};

const TNeighbours& TrackNeighbours() {
  static const TNeighbours n = [] {
    TNeighbours out;
    for (int level = 1; level <= 10; ++level)
      for (uint32_t seed = 1; seed <= 3; ++seed) {
        TTrackState t;
        TRandom rng{seed * 7919 + static_cast<uint32_t>(level)};
        t.TrackLength = TrackLengthForLevel(level);
        GenerateTrack(t, rng);
        // The rows of the track; its far and near ends, where the road stops, are left out.
        for (int row = 1500 - t.TrackLength; row < TrackRows; ++row)
          for (int col = 1; col < TrackCols; ++col) {
            out.Across.insert({t.TrackMap(row, col), t.TrackMap(row, col + 1)});
            if (row + 1 < TrackRows)
              out.Down.insert({t.TrackMap(row, col), t.TrackMap(row + 1, col)});
          }
      }
    return out;
  }();
  return n;
}

TEST_F(TilesPacks, TheStripHoldsEveryCodeOpaque) {
  const TPictureItem& s = Strip();
  EXPECT_FALSE(s.Transparent);
  ASSERT_EQ(s.PatternCount(), 74);
  for (int code = 0; code < 74; ++code) {
    const TRect r = s.PatternRect(code);
    EXPECT_EQ(r.Width(), 72);
    EXPECT_EQ(r.Height(), 72);
  }
}

// Along a join, each pixel either continues the picture across it (the change is no bigger than
// the texture's own change beside the join) or it breaks. A clean join breaks nowhere but at a
// few single pixels (where a round shape touches the join), or almost everywhere where a tile's
// edge is also the edge of what it shows (the kerb beside the verge). A run of broken pixels is
// a step in a line, a cut shadow or a cut-off stack of tyres.
TEST_F(TilesPacks, TilesThatMeetOnATrackJoinWithoutASeam) {
  std::ostringstream bad;
  auto check = [&](int a, int b, bool down) {
    int broken = 0, run = 0, longest = 0;
    for (int k = 0; k < 72; ++k) {
      auto pa = [&](int i) { return down ? Tile(a, k, 71 - i) : Tile(a, 71 - i, k); };
      auto pb = [&](int i) { return down ? Tile(b, k, i) : Tile(b, i, k); };
      const bool breaks =
          Diff(pa(0), pb(0)) > std::max(Diff(pa(0), pa(1)), Diff(pb(0), pb(1))) + 45;
      broken += breaks;
      run = breaks ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    if (longest > 4 && broken < 56)
      bad << (down ? " above/below " : " left/right ") << a << "/" << b << " (" << longest << ")";
  };
  const TNeighbours& n = TrackNeighbours();
  // The tracks hold every placed code, so every tile's joins are checked.
  std::set<int> seen;
  for (const auto& [a, b] : n.Down) seen.insert({a, b});
  for (int code = 0; code < 74; ++code) {
    if (code != 62) {
      EXPECT_TRUE(seen.count(code)) << code;
    }
  }
  for (const auto& [a, b] : n.Across) check(a, b, false);
  for (const auto& [a, b] : n.Down) check(a, b, true);
  // Any barrier picture may follow any other on its side, whether a track happened to show it.
  for (int a = 0; a < 9; ++a)
    for (int b = 0; b < 9; ++b) {
      check(1 + a, 1 + b, true);
      check(13 + a, 13 + b, true);
    }
  EXPECT_EQ(bad.str(), "");
}

// Where the game makes a tile solid the rider must see an obstacle: neither ground nor plain
// asphalt may show through the inside of a collision shape. The shape's outer two pixels are
// left out: the art is anti-aliased and a pixel or two is more than a rider can judge.
TEST_F(TilesPacks, SolidTilesShowWhatTheRiderHits) {
  std::ostringstream bad;
  auto asphalt = [&](int code, int x, int y) {  // plain lane asphalt here and at the next pixels
    for (int k = 0; k < 3; ++k) {
      const int px = std::min(71, x + (k & 1)), py = std::min(71, y + (k >> 1));
      if (Diff(Tile(code, px, py), Tile(11, px, py)) > 12) return false;
    }
    return true;
  };
  for (int code = 0; code < 74; ++code) {
    const int s = SolidIndex(code);
    if (s < 0) continue;
    TPoint q[4];
    for (int k = 0; k < 4; ++k) q[k] = TPoint{double(SolidShapeX[s][k]), double(SolidShapeY[s][k])};
    int inside = 0, shown = 0;
    for (int y = 0; y < 72; ++y)
      for (int x = 0; x < 72; ++x) {
        bool deep = true;
        for (int c = 0; c < 5 && deep; ++c) {
          const double px = x + 0.5 + (c == 4 ? 0 : (c & 1) ? 2 : -2);
          const double py = y + 0.5 + (c == 4 ? 0 : (c & 2) ? 2 : -2);
          deep = PointInQuad(TPoint{px, py}, q);
        }
        if (!deep) continue;
        ++inside;
        const TRgb8 p = Tile(code, x, y);
        const bool grass = p.G - std::max(p.R, p.B) >= 15;
        if (!grass && !asphalt(code, x, y)) ++shown;
      }
    if (inside == 0 || shown < inside * 0.96)
      bad << " " << code << " (" << shown << " of " << inside << ")";
  }
  EXPECT_EQ(bad.str(), "");
}

// The road of a radar row must lie where the radar's shift expects it, row by row, so the stripes
// of successive rows join and the road in the middle row stays under the rider's marker.
TEST_F(TilesPacks, RadarStripesRunWhereTheShiftExpectsThem) {
  ASSERT_EQ(Radar.Count(), 14);
  struct TCase {
    int Left, Right;  // items of the left and right cell (-1: a single cell)
    double Top, Slope;
  };
  const double k = 0.36208;
  const TCase cases[] = {{0, 1, 9, -k}, {2, 3, 14, -k}, {7, 6, 8, k},
                         {9, 8, 3, k},  {4, -1, 4, 0},  {5, -1, 4, 0}};
  for (const TCase& c : cases) {
    for (int item : {c.Left, c.Right})
      if (item >= 0) {
        const TPictureItem& p = *Radar.Item(item);
        EXPECT_TRUE(p.Transparent);
        EXPECT_EQ(p.PatternWidth(), 10);
        EXPECT_EQ(p.PatternHeight(), 15);
      }
    for (int y = 0; y < 15; ++y) {
      double sum = 0, count = 0;
      for (int x = 0; x < 20; ++x) {
        const int item = x < 10 ? c.Left : c.Right;
        if (item < 0) continue;
        if (Radar.Item(item)->PatternPixelSolid(0, x % 10, y)) {
          sum += x + 0.5;
          count += 1;
        }
      }
      ASSERT_GT(count, 0) << "item " << c.Left << " row " << y;
      EXPECT_NEAR(sum / count, c.Top + c.Slope * (y + 0.5), 0.8)
          << "item " << c.Left << " row " << y;
    }
  }
}

TEST_F(TilesPacks, TheRadarFrameCoversTheRowsOutsideTheWindow) {
  // The marker is centred on the point the radar keeps the road under (x 717, drawn from 708).
  const TPictureItem& marker = *Radar.Item(11);
  double sum = 0, count = 0;
  for (int y = 0; y < marker.PatternHeight(); ++y)
    for (int x = 0; x < marker.PatternWidth(); ++x)
      if (marker.PatternPixelSolid(0, x, y)) {
        sum += x + 0.5;
        count += 1;
      }
  ASSERT_GT(count, 0);
  EXPECT_NEAR(708 + sum / count, 717, 1.0);
  // The upper piece, drawn at (626, 0), hides row 1 above y 46 (cells start as high as y 31);
  // the lower piece, at (626, 195), hides row 11 below y 195 down to y 211; the window between
  // shows the cells.
  const TPictureItem& top = *Radar.Item(12);
  const TPictureItem& bottom = *Radar.Item(13);
  EXPECT_EQ(top.PatternWidth(), 174);
  EXPECT_EQ(bottom.PatternWidth(), 174);
  ASSERT_GE(top.PatternHeight(), 46);
  ASSERT_GE(bottom.PatternHeight(), 17);
  for (int x = 631 - 626; x < 791 - 626; ++x) {
    for (int y = 31; y < 46; ++y) EXPECT_TRUE(top.PatternPixelSolid(0, x, y)) << x << "," << y;
    for (int y = 0; y < 17; ++y) EXPECT_TRUE(bottom.PatternPixelSolid(0, x, y)) << x << "," << y;
    for (int y = 50; y < std::min(top.PatternHeight(), 190); ++y)
      EXPECT_FALSE(top.PatternPixelSolid(0, x, y)) << x << "," << y;
  }
}

// The content build is a Linux tool: the Windows build takes its packs from it.
#ifndef _WIN32
// The content build run afresh, in a scratch folder, from a copy of the assets or the real ones.
class TilesBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() /
          ("zw-tiles-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }
  // Runs packbuild; answers its exit status and leaves its messages in Errors.
  int Build(const std::filesystem::path& assets) {
    const std::string cmd = std::string(ZW_RUN_DIR) + "/packbuild " + assets.string() + " " +
                            (Dir / "Data").string() + " 2>" + (Dir / "err.txt").string();
    const int status = std::system(cmd.c_str());
    std::ifstream err(Dir / "err.txt");
    Errors.assign(std::istreambuf_iterator<char>(err), {});
    return WEXITSTATUS(status);
  }
  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path Dir;
  std::string Errors;
};

TEST_F(TilesBuild, TheTilesAndTheRadarComeOutTheSameEveryTime) {
  ASSERT_EQ(Build(std::filesystem::path(ZW_SOURCE_DIR) / "assets"), 0) << Errors;
  for (const char* pack : {"Res2.gpk", "Res3.gpk"}) {
    const std::string made = Read(Dir / "Data" / "Res" / pack);
    EXPECT_FALSE(made.empty());
    EXPECT_TRUE(made == Read(std::filesystem::path(ZW_RUN_DIR) / "Data" / "Res" / pack)) << pack;
  }
}

// A palette with a mistake stops the build with a message naming the file, rather than drawing
// with a colour nobody chose.
TEST_F(TilesBuild, APaletteMistakeStopsTheBuildAndSaysWhere) {
  const std::filesystem::path assets = Dir / "assets";
  std::filesystem::copy(std::filesystem::path(ZW_SOURCE_DIR) / "assets", assets,
                        std::filesystem::copy_options::recursive);
  const std::string tiles = Read(assets / "tiles" / "palette.txt");
  const std::string radar = Read(assets / "radar" / "palette.txt");
  std::ofstream(assets / "tiles" / "palette.txt") << tiles << "grass_dark 12 300 4\n";
  EXPECT_EQ(Build(assets), 1);
  EXPECT_NE(Errors.find("tiles/palette.txt line"), std::string::npos) << Errors;

  std::string without = tiles;
  without.replace(without.find("kerb_red"), 8, "kerb_rot");
  std::ofstream(assets / "tiles" / "palette.txt") << without;
  EXPECT_EQ(Build(assets), 1);
  EXPECT_NE(Errors.find("tiles/palette.txt has no colour kerb_red"), std::string::npos) << Errors;

  std::ofstream(assets / "tiles" / "palette.txt") << tiles;
  std::ofstream(assets / "radar" / "palette.txt") << "road 90 255\n" << radar;
  EXPECT_EQ(Build(assets), 1);
  EXPECT_NE(Errors.find("radar/palette.txt line 1"), std::string::npos) << Errors;
}

#endif

}  // namespace
}  // namespace zw
