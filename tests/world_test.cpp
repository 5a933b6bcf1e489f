// Tests of the track generator over many seeds, every level and the map's edges, and of the
// scrolling view over the track.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "shell/form_state.hpp"
#include "shell/level.hpp"
#include "tests/test_support.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace zw {
namespace {

bool IsScenery(int c) {
  return c >= 52 && c <= 73;
}
bool IsGroundOrDecor(int c) {
  return c == 0 || (c >= 49 && c <= 51);
}
// The four road tiles: edges of straight and drift rows, lanes, the line.
bool IsRoadTile(int c) {
  return c == 10 || c == 11 || c == 12 || c == 24 || c == 27 || c == 28 || c == 33 || c == 34 ||
         c == 39 || c == 40 || c == 45 || c == 46;
}
bool IsBarrierL(int c) {
  return (c >= 1 && c <= 9) || c == 25 || c == 31 || c == 37 || c == 43;
}
bool IsBarrierR(int c) {
  return (c >= 13 && c <= 21) || c == 30 || c == 36 || c == 42 || c == 48;
}
bool IsGapL(int c) {
  return c == 0 || c == 22 || c == 26 || c == 32 || c == 38 || c == 44;
}
bool IsGapR(int c) {
  return c == 0 || c == 23 || c == 29 || c == 35 || c == 41 || c == 47;
}

// The column of a row's left barrier.
int LeftBarrierCol(const TTrackState& t, int row) {
  for (int c = 1; c <= TrackCols; ++c)
    if (IsBarrierL(t.TrackMap(row, c))) return c;
  return 0;
}

// Checks one generated map: every track row carries one whole road of eight cells (barrier,
// gap, four road tiles, gap, barrier) and nothing else but ground, decorations and scenery;
// the rows outside the track are ground and decorations; no cell is left unclaimed. Returns
// an empty string, or what is wrong first.
std::string MapFault(const TTrackState& t) {
  const int top = 1500 - t.TrackLength;
  for (int row = 1; row <= TrackRows; ++row) {
    const std::string at = " in row " + std::to_string(row);
    const bool track = row >= top && row <= 1499;
    int first = 0, tiles = 0, barriers = 0;
    for (int c = 1; c <= TrackCols; ++c) {
      const int v = t.TrackMap(row, c);
      if (v == 255) return "an unclaimed cell" + at;
      if (!track && !IsGroundOrDecor(v))
        return "a code " + std::to_string(v) + " off the track" + at;
      if (IsScenery(v) && (row == top || c < 3 || c > 648)) return "scenery outside its area" + at;
      if (IsRoadTile(v)) {
        if (!first) first = c;
        ++tiles;
      }
      barriers += IsBarrierL(v) || IsBarrierR(v);
    }
    if (!track) continue;
    if (tiles != 4 || barriers != 2) return "not one road of four tiles" + at;
    if (first < 3 || first + 5 > TrackCols) return "a road past the map's edge" + at;
    const auto cell = [&](int k) { return static_cast<int>(t.TrackMap(row, first + k)); };
    for (int k = 0; k < 4; ++k)
      if (!IsRoadTile(cell(k))) return "a broken road" + at;
    if (!IsGapL(cell(-1)) || !IsGapR(cell(4)) || !IsBarrierL(cell(-2)) || !IsBarrierR(cell(5)))
      return "a road without its gaps and barriers" + at;
    if (t.RowKind(row) < KindStraight || t.RowKind(row) > KindLeadOut)
      return "no segment kind" + at;
  }
  return {};
}

TTrackState Generated(int level, uint32_t seed, int startCol = 319) {
  TTrackState t;
  TRandom rng{seed};
  t.TrackLength = TrackLengthForLevel(level);
  GenerateTrackAt(t, rng, startCol);
  return t;
}

TEST(WorldGenerator, EachLevelSetsItsLengthClockAndBonuses) {
  const int lengths[11] = {0, 300, 500, 700, 900, 1100, 1300, 1300, 1300, 1300, 1300};
  const int seconds[11] = {0, 45, 55, 80, 100, 110, 130, 130, 130, 140, 140};
  for (int level = 1; level <= 10; ++level) {
    const TLevelParameters p = SetUpLevelParameters(level);
    EXPECT_EQ(p.Level, level);
    EXPECT_EQ(p.TrackLength, lengths[level]) << level;
    EXPECT_EQ(p.RaceClock, seconds[level] * 1000) << level;
    EXPECT_EQ(p.BonusCount, 10 * level) << level;
  }
}

TEST(WorldGenerator, TheLinesAndTheStartStretchLieWhereTheRaceExpectsThem) {
  for (int level : {1, 6, 10})
    for (uint32_t seed : {1234u, 9u, 4000000000u}) {
      const TTrackState t = Generated(level, seed);
      EXPECT_EQ(t.ViewCol, 318);
      EXPECT_EQ(t.ViewRow, 1478);
      // The start line in row 1479, the finish line fifty rows below the top track row; both
      // straight and laid across exactly the four road tiles, between the gaps.
      const int finish = 1550 - t.TrackLength;
      EXPECT_EQ(finish, level == 1 ? 1250 : 250);
      for (int row : {1479, finish}) {
        int count = 0, first = 0;
        for (int c = 1; c <= TrackCols; ++c)
          if (t.TrackMap(row, c) == 24) {
            if (!first) first = c;
            ++count;
          }
        EXPECT_EQ(count, 4) << row;
        EXPECT_EQ(t.RowKind(row), KindStraight) << row;
        EXPECT_TRUE(IsGapL(t.TrackMap(row, first - 1)) && IsGapR(t.TrackMap(row, first + 4)))
            << row;
        EXPECT_EQ(t.RoadCentreX(row), 72 * (first + 2)) << row;
      }
      EXPECT_EQ(t.TrackMap(1479, 321), 24);
      for (int row = 1452; row <= 1499; ++row) EXPECT_EQ(t.RowKind(row), KindStraight) << row;
      for (int row = 1460; row <= 1499; ++row) {
        EXPECT_EQ(t.RoadCentreX(row), 23256) << row;
        EXPECT_EQ(t.TrackMap(row, 320), 0) << row;
        EXPECT_EQ(t.TrackMap(row, 325), 0) << row;
      }
    }
}

TEST(WorldGenerator, EveryTrackRowHasOneWholeRoadOverManySeedsAndLevels) {
  for (int level = 1; level <= 10; ++level)
    for (uint32_t seed = 0; seed < 8; ++seed) {
      const TTrackState t = Generated(level, seed * 2654435761u + static_cast<uint32_t>(level));
      ASSERT_EQ(MapFault(t), "") << "level " << level << " seed " << seed;
    }
}

TEST(WorldGenerator, TheCentreLineFollowsTheRoadThroughItsDrifts) {
  bool drifted = false;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const TTrackState t = Generated(10, seed);
    for (int row = 200; row <= 1499; ++row) {
      int first = 0;
      for (int c = 1; c <= TrackCols && !first; ++c)
        if (IsRoadTile(t.TrackMap(row, c))) first = c;
      const int middle = 72 * (first + 2), kind = t.RowKind(row);
      const int left = t.TrackMap(row, first);
      // Entry rows lie 20 pixels off the middle towards the drift, shifted rows 20 against it.
      int expected = middle;
      if (left == 33) expected = middle - 20;
      if (left == 27) expected = middle + 20;
      if (left == 45) expected = middle + 20;
      if (left == 39) expected = middle - 20;
      drifted = drifted || kind == KindDriftLeft || kind == KindDriftRight;
      ASSERT_EQ(t.RoadCentreX(row), expected) << "seed " << seed << " row " << row;
      // Along the track the centre line never jumps by more than 40 pixels a row.
      if (row < 1499) {
        ASSERT_LE(std::abs(t.RoadCentreX(row) - t.RoadCentreX(row + 1)), 40) << row;
      }
    }
  }
  EXPECT_TRUE(drifted);
}

TEST(WorldGenerator, TheSameSeedGivesTheSameMapAndLeavesTheGeneratorInTheSameState) {
  TRandom ra{555}, rb{555};
  TTrackState a, b;
  a.TrackLength = b.TrackLength = TrackLengthForLevel(7);
  GenerateTrack(a, ra);
  // A second generation over an old map writes every cell again.
  b.TrackLength = TrackLengthForLevel(3);
  TRandom other{99};
  GenerateTrack(b, other);
  b.TrackLength = TrackLengthForLevel(7);
  GenerateTrack(b, rb);
  EXPECT_EQ(a.Cells, b.Cells);
  EXPECT_EQ(a.RowKindTable, b.RowKindTable);
  EXPECT_EQ(ra.Seed, rb.Seed);
  // Rows beyond the shorter track keep the longer track's centre line: only a road row sets it.
  for (int row = 200; row <= 1499; ++row) EXPECT_EQ(a.RoadCentreX(row), b.RoadCentreX(row)) << row;
  EXPECT_NE(Generated(7, 556).Cells, a.Cells);
}

// Every draw in its written order: these maps were made by a plain generator written straight
// from the rules, and the fast one must give them bit for bit, with the generator left in the
// same state.
TEST(WorldGenerator, KnownSeedsGiveTheirKnownMaps) {
  struct Case {
    int Level;
    uint64_t Hash;
    uint32_t Seed;
  };
  for (const Case& c :
       {Case{1, 0x822ee2cbc5ed5855ull, 3643755263u}, Case{6, 0x1a03e023fa2945a9ull, 3000266078u},
        Case{10, 0x3c75235d8d863b3bull, 3908330767u}}) {
    TTrackState t;
    TRandom r{4242u + static_cast<uint32_t>(c.Level)};
    t.TrackLength = TrackLengthForLevel(c.Level);
    GenerateTrack(t, r);
    uint64_t h = 1469598103934665603ull;
    for (uint8_t v : t.Cells) h = (h ^ v) * 1099511628211ull;
    for (int32_t v : t.RoadCentreXTable) h = (h ^ static_cast<uint32_t>(v)) * 1099511628211ull;
    for (uint8_t v : t.RowKindTable) h = (h ^ v) * 1099511628211ull;
    EXPECT_EQ(h, c.Hash) << c.Level;
    EXPECT_EQ(r.Seed, c.Seed) << c.Level;
  }
}

// Every level over several seeds and start columns, against maps and end states recorded from
// the generator before it was made faster: a change to the order or the number of the draws, or
// to any rule, shows in the level's digest.
TEST(WorldGenerator, EveryLevelKeepsItsRecordedMapsOverSeedsAndStartColumns) {
  static constexpr uint64_t Digests[10] = {
      0xf603ce7982980071ull, 0xe75d88af6f4972f6ull, 0x97902f3670ee7aa1ull, 0x396d4bbd93cd3206ull,
      0x95a6bdf388ce2aebull, 0x7b292742987c6683ull, 0x89becff2f48684e9ull, 0xf1a3f31c8cfbb275ull,
      0x13e95673c9bc0ef7ull, 0x520c32e08fa81c59ull,
  };
  const auto mix = [](uint64_t h, uint64_t v) { return (h ^ v) * 1099511628211ull; };
  for (int level = 1; level <= 10; ++level) {
    uint64_t all = 0;
    for (uint32_t seed : {0u, 1u, 5u, 77u, 123456789u, 4000000000u})
      for (int col : {319, 1, 200, 643}) {
        TTrackState t;
        TRandom r{seed + static_cast<uint32_t>(level)};
        t.TrackLength = TrackLengthForLevel(level);
        GenerateTrackAt(t, r, col);
        uint64_t h = 1469598103934665603ull;
        for (uint8_t v : t.Cells) h = mix(h, v);
        for (int32_t v : t.RoadCentreXTable) h = mix(h, static_cast<uint32_t>(v));
        for (uint8_t v : t.RowKindTable) h = mix(h, v);
        all = mix(all, mix(h, r.Seed));
      }
    EXPECT_EQ(all, Digests[level - 1]) << "level " << level;
  }
}

// A road started against either edge of the map keeps every row whole: a drift that would carry
// it off is turned (the accessors abort on any stray index).
TEST(WorldGenerator, ARoadAtTheMapsEdgeStaysOnTheMap) {
  int turnedAtLeft = 0, turnedAtRight = 0;
  for (int startCol : {1, 2, 4, 640, 643})
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      const TTrackState t = Generated(10, seed * 7919u, startCol);
      ASSERT_EQ(MapFault(t), "") << "start " << startCol << " seed " << seed;
      for (int row = 200; row <= 1499; ++row) {
        const int col = LeftBarrierCol(t, row);
        turnedAtLeft += col == 1;
        turnedAtRight += col + 7 == TrackCols;
      }
    }
  // The roads did ride along both edges.
  EXPECT_GT(turnedAtLeft, 0);
  EXPECT_GT(turnedAtRight, 0);
}

// Keeping the road on the map changes nothing for a road that stays on it: the same chain
// moved sideways until it just touches an edge gives the same segments and the same centre
// line; one column further and the chain has to turn.
TEST(WorldGenerator, KeepingTheRoadOnTheMapChangesNothingForRoadsThatStayOn) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    const TTrackState base = Generated(10, seed);
    int minLeft = TrackCols, maxRight = 0;
    for (int row = 200; row <= 1499; ++row) {
      minLeft = std::min(minLeft, LeftBarrierCol(base, row));
      maxRight = std::max(maxRight, LeftBarrierCol(base, row) + 7);
    }
    ASSERT_GT(minLeft, 1);
    for (const int shift : {minLeft - 1, -(TrackCols - maxRight)}) {
      const TTrackState moved = Generated(10, seed, 319 - shift);
      ASSERT_EQ(MapFault(moved), "");
      for (int row = 200; row <= 1499; ++row) {
        ASSERT_EQ(moved.RowKind(row), base.RowKind(row)) << "seed " << seed << " row " << row;
        ASSERT_EQ(moved.RoadCentreX(row), base.RoadCentreX(row) - 72 * shift) << row;
      }
    }
    if (minLeft < 319) {
      // A road that would leave by one column somewhere.
      const TTrackState over = Generated(10, seed, 319 - minLeft);
      ASSERT_EQ(MapFault(over), "");
      EXPECT_NE(over.RowKindTable, base.RowKindTable) << seed;
    }
  }
}

// A race background on a form, set on the race screen with a level's track behind it.
struct TWorldForm {
  test::TFormFixture F;
  TFormState& Form = F.State();
  TScrollBackground* Bg = nullptr;
  TWorldForm() {
    Form.Menu.CurrentScreen = 6;
    Bg = TScrollBackground::CreateRace(Form.Engine());
    Form.Race.Background = Bg;
    Form.Rng.Seed = 2024;
    SetUpLevel(Form, 2);
    Form.Timing.SpeedFactor = 1;
    // The frame's own moves and tests are left out: only the background is moved here.
    Form.Menu.CurrentScreen = 5;
  }
};

// What the rider and the cars meet in each tile code, as the track art was drawn: the barrier
// codes in their fixed order with their collision shapes, and the codes that count as road.
TEST(WorldTiles, EveryCodeIsSolidOrRoadAsTheArtIsDrawn) {
  struct TShape {
    int X[4], Y[4];
  };
  const TShape post{{38, 72, 38, 72}, {0, 0, 72, 72}}, rail{{0, 35, 0, 35}, {0, 0, 72, 72}};
  // Barrier codes in index order 1..32, each with its corners.
  const std::vector<std::pair<int, TShape>> solids = {{1, post},
                                                      {2, post},
                                                      {3, post},
                                                      {4, post},
                                                      {5, post},
                                                      {6, post},
                                                      {7, post},
                                                      {8, post},
                                                      {9, post},
                                                      {13, rail},
                                                      {14, rail},
                                                      {15, rail},
                                                      {16, rail},
                                                      {17, rail},
                                                      {18, rail},
                                                      {19, rail},
                                                      {20, rail},
                                                      {21, rail},
                                                      {25, {{38, 71, 55, 71}, {0, 0, 34, 66}}},
                                                      {26, {{2, 20, 2, 36}, {0, 35, 71, 71}}},
                                                      {29, {{71, 52, 61, 71}, {0, 10, 27, 46}}},
                                                      {30, {{8, 0, 17, 45}, {0, 48, 71, 71}}},
                                                      {31, {{2, 38, 38, 71}, {0, 0, 71, 71}}},
                                                      {35, {{71, 17, 45, 71}, {0, 9, 63, 70}}},
                                                      {36, {{0, 19, 0, 34}, {0, 38, 71, 71}}},
                                                      {37, {{35, 71, 1, 55}, {0, 48, 67, 71}}},
                                                      {38, {{0, 17, 10, 0}, {0, 0, 28, 47}}},
                                                      {41, {{69, 35, 71, 69}, {0, 67, 68, 71}}},
                                                      {42, {{0, 33, 17, 0}, {0, 0, 32, 66}}},
                                                      {43, {{71, 54, 37, 71}, {0, 34, 68, 71}}},
                                                      {44, {{0, 55, 24, 0}, {0, 8, 65, 70}}},
                                                      {48, {{33, 69, 0, 33}, {0, 0, 71, 71}}}};
  ASSERT_EQ(solids.size(), 32u);
  const std::set<int> road = {10, 11, 12, 24, 27, 28, 29, 32, 33, 34, 38, 39, 40, 45, 46, 47};
  for (int code = 0; code < 256; ++code) {
    int index = -1;
    for (size_t i = 0; i < solids.size(); ++i)
      if (solids[i].first == code) index = static_cast<int>(i) + 1;
    ASSERT_EQ(SolidIndex(code), index) << "code " << code;
    EXPECT_EQ(IsRoadCode(code), road.count(code) == 1) << "code " << code;
    if (index < 0) continue;
    const TShape& shape = solids[static_cast<size_t>(index - 1)].second;
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(SolidShapeX[index][k], shape.X[k]) << "code " << code << " corner " << k;
      EXPECT_EQ(SolidShapeY[index][k], shape.Y[k]) << "code " << code << " corner " << k;
    }
  }
  // On the map a cell answers for its code; beyond the map there is only open ground.
  TTrackState t;
  t.TrackMap(700, 650) = 48;
  t.TrackMap(1, 1) = 1;
  EXPECT_EQ(SolidAt(t, 700, 650), 32);
  EXPECT_EQ(SolidAt(t, 1, 1), 1);
  EXPECT_EQ(SolidAt(t, 700, 651), -1);
  EXPECT_EQ(SolidAt(t, 0, 1), -1);
  EXPECT_EQ(SolidAt(t, 1501, 650), -1);
}

TEST(WorldBackground, SettingUpALevelBuildsTheTrackAndShowsItsStart) {
  TWorldForm w;
  TFormState& f = w.Form;
  EXPECT_EQ(f.Race.Level, 2);
  EXPECT_EQ(f.Race.RaceClock, 55000);
  EXPECT_EQ(f.Race.RacePosition, 0);
  EXPECT_EQ(f.Race.RaceCount, 0);
  EXPECT_EQ(f.Track.TrackLength, 500);
  EXPECT_EQ(f.Track.BonusCount, 20);
  EXPECT_EQ(MapFault(f.Track), "");
  // The race background: 13 x 10 tiles of 72 pixels, under everything else.
  EXPECT_EQ(w.Bg->MapWidth, 13);
  EXPECT_EQ(w.Bg->MapHeight, 10);
  EXPECT_EQ(w.Bg->ImageListNo, 2);
  EXPECT_EQ(w.Bg->Z, 2);
  EXPECT_EQ(w.Bg->X, 0);
  EXPECT_EQ(w.Bg->Y, 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(w.Bg->GetChip(x, y), f.Track.TrackMap(1478 + y, 318 + x));
  // The start line shows in the window's second row, across chips 3..6.
  for (int x = 3; x <= 6; ++x) EXPECT_EQ(w.Bg->GetChip(x, 1), 24);
}

TEST(WorldBackground, TheViewStepsOneTileAtATimeByTheVelocitysSign) {
  TWorldForm w;
  TFormState& f = w.Form;
  TScrollBackground& bg = *w.Bg;
  f.Track.ViewRow = 1000;
  f.Track.ViewCol = 300;
  // Standing still: nothing moves and nothing wraps.
  for (int i = 0; i < 50; ++i) bg.Move(12);
  EXPECT_EQ(bg.X, 0);
  EXPECT_EQ(bg.Y, 0);
  EXPECT_EQ(f.Track.ViewRow, 1000);
  f.Race.ScrollVY = -10;
  for (int i = 0; i < 14; ++i) bg.Move(12);
  EXPECT_DOUBLE_EQ(bg.Y, -70);
  EXPECT_DOUBLE_EQ(bg.StepY, -10);
  EXPECT_EQ(f.Track.ViewRow, 1000);
  bg.Move(12);
  EXPECT_DOUBLE_EQ(bg.Y, -3);
  EXPECT_EQ(f.Track.ViewRow, 1001);
  // The speed factor scales the step.
  f.Timing.SpeedFactor = 2;
  bg.Move(12);
  EXPECT_DOUBLE_EQ(bg.Y, -13);
  f.Timing.SpeedFactor = 1;
  // A step beyond a tile in one frame still moves the view by one.
  f.Race.ScrollVY = 0;
  f.Race.ScrollVX = 400;
  bg.Move(12);
  EXPECT_DOUBLE_EQ(bg.X, 200 - 72);
  EXPECT_EQ(f.Track.ViewCol, 299);
  f.Race.ScrollVX = -400;
  bg.X = -10;
  bg.Move(12);
  EXPECT_DOUBLE_EQ(bg.X, -210 + 72);
  EXPECT_EQ(f.Track.ViewCol, 300);
  // At the map's left end the picture wraps but the view stays.
  f.Track.ViewCol = 0;
  f.Race.ScrollVX = 10;
  bg.X = 0;
  for (int i = 0; i < 20; ++i) bg.Move(12);
  EXPECT_EQ(f.Track.ViewCol, 0);
  EXPECT_DOUBLE_EQ(bg.X, 100 - 2 * 72);
  // And at the right and bottom ends the view stops with the window's last tile on the map.
  f.Race.ScrollVX = -60;
  f.Race.ScrollVY = -60;
  f.Track.ViewCol = 630;
  f.Track.ViewRow = 1480;
  for (int i = 0; i < 200; ++i) bg.Move(12);
  EXPECT_EQ(f.Track.ViewCol, TrackCols - 13);
  EXPECT_EQ(f.Track.ViewRow, TrackRows - 10);
  EXPECT_GE(bg.X, -72);
  EXPECT_LE(bg.X, 0);
}

TEST(WorldBackground, TheWindowShowsGroundBeyondTheMap) {
  TWorldForm w;
  TFormState& f = w.Form;
  f.Menu.CurrentScreen = 6;
  f.Track.ViewCol = 0;
  f.Track.ViewRow = 0;
  for (int y = 0; y <= 10; ++y)
    for (int x = 0; x <= 13; ++x) f.Track.TrackMap(std::max(y, 1), std::max(x, 1)) = 7;
  RefreshChips(f);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(w.Bg->GetChip(x, y), x == 0 || y == 0 ? 0 : 7) << x << "," << y;
  f.Track.ViewCol = TrackCols - 13;
  f.Track.ViewRow = TrackRows - 10;
  RefreshChips(f);
  EXPECT_EQ(w.Bg->GetChip(12, 9), f.Track.TrackMap(TrackRows, TrackCols));
}

}  // namespace
}  // namespace zw
