// Tests of the track generator over many seeds and every level, and of the scrolling view.
#include <gtest/gtest.h>

#include "tests/test_support.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace zw {
namespace {

bool IsScenery(int c) { return c >= 52 && c <= 73; }

TEST(WorldGenerator, LevelOneLaysItsLinesWhereTheRaceExpectsThem) {
  TTrackState t;
  TRandom rng{1234};
  t.TrackLength = TrackLengthForLevel(1);
  GenerateTrack(t, rng);
  EXPECT_EQ(t.TrackLength, 300);
  EXPECT_EQ(t.ViewCol, 318);
  EXPECT_EQ(t.ViewRow, 1478);
  // The start line in row 1479 and the finish line in row 1250, each across the four road tiles.
  for (int row : {1479, 1250}) {
    int count = 0, first = 0;
    for (int c = 1; c <= TrackCols; ++c)
      if (t.TrackMap(row, c) == 24) {
        if (!first) first = c;
        ++count;
      }
    EXPECT_EQ(count, 4) << row;
    EXPECT_EQ(t.RowKind(row), KindStraight) << row;
    EXPECT_TRUE(t.TrackMap(row, first - 1) == 0 || t.TrackMap(row, first - 1) == 22) << row;
  }
  for (int row = 1452; row <= 1459; ++row) EXPECT_EQ(t.RowKind(row), KindStraight) << row;
  for (int row = 1460; row <= 1499; ++row) EXPECT_EQ(t.RoadCentreX(row), 23256) << row;
  EXPECT_EQ(TrackLengthForLevel(5), 1100);
  for (int level = 6; level <= 10; ++level) EXPECT_EQ(TrackLengthForLevel(level), 1300);
}

TEST(WorldGenerator, EveryTrackRowHasOneRoadFourTilesWide) {
  for (int level = 1; level <= 10; ++level)
    for (uint32_t seed : {1u, 77u, 90210u}) {
      TTrackState t;
      TRandom rng{seed * 31 + static_cast<uint32_t>(level)};
      t.TrackLength = TrackLengthForLevel(level);
      GenerateTrack(t, rng);
      for (int row = 1500 - t.TrackLength; row <= 1499; ++row) {
        int road = 0, runs = 0;
        bool in = false;
        for (int c = 1; c <= TrackCols; ++c) {
          const int v = t.TrackMap(row, c);
          ASSERT_NE(v, 255);
          // Lanes and edges of straight and drift rows, and the line.
          const bool surface = v == 10 || v == 11 || v == 12 || v == 24 || v == 27 || v == 28 || v == 33 ||
                               v == 34 || v == 39 || v == 40 || v == 45 || v == 46;
          road += surface;
          if (surface && !in) ++runs;
          in = surface;
        }
        ASSERT_EQ(road, 4) << "level " << level << " seed " << seed << " row " << row;
        ASSERT_EQ(runs, 1) << "level " << level << " row " << row;
      }
      // Outside the track's rows: only ground and decorations.
      for (int c = 1; c <= TrackCols; ++c) {
        const int v = t.TrackMap(1500, c);
        ASSERT_TRUE(v == 0 || (v >= 49 && v <= 51));
      }
    }
}

TEST(WorldGenerator, SceneryNeverCoversTheRoadAndTheSameSeedGivesTheSameMap) {
  TTrackState a, b;
  TRandom ra{555}, rb{555};
  a.TrackLength = b.TrackLength = TrackLengthForLevel(7);
  GenerateTrack(a, ra);
  GenerateTrack(b, rb);
  EXPECT_EQ(a.Cells, b.Cells);
  EXPECT_EQ(a.RoadCentreXTable, b.RoadCentreXTable);
  for (int row = 1; row <= TrackRows; ++row)
    for (int c = 1; c <= TrackCols; ++c) {
      const int v = a.TrackMap(row, c);
      if (!IsScenery(v)) continue;
      ASSERT_GE(row, 1501 - a.TrackLength);
      ASSERT_LE(row, 1499);
      ASSERT_GE(c, 3);
      ASSERT_LE(c, 648);
    }
}

TEST(WorldGenerator, ARoadDriftingTowardsTheEdgeIsTurnedBack) {
  // Start the road near the left edge by shifting the start stretch: generate, then check a long
  // run over many seeds never writes outside (the accessors abort on any stray index).
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    TTrackState t;
    TRandom rng{seed};
    t.TrackLength = 1300;
    GenerateTrack(t, rng);
    for (int row = 200; row <= 1499; ++row) {
      EXPECT_GT(t.RoadCentreX(row), 72 * 10);
      EXPECT_LT(t.RoadCentreX(row), 72 * 640);
    }
  }
}

// Every draw in its written order: these maps were made by the generator in its first, plain
// form, and the faster one must give them bit for bit, with the generator left in the same state.
TEST(WorldGenerator, KnownSeedsGiveTheirKnownMaps) {
  struct Case {
    int Level;
    uint64_t Hash;
    uint32_t Seed;
  };
  for (const Case& c : {Case{1, 0x822ee2cbc5ed5855ull, 3643755263u}, Case{6, 0x1a03e023fa2945a9ull, 3000266078u},
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

TEST(WorldBackground, TheViewStepsOneTileAtATime) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  form.Menu.CurrentScreen = 5;  // not the race: no obstacle tests
  auto* bg = TScrollBackground::CreateRace(form.Engine());
  form.Race.Background = bg;
  form.Track.ViewRow = 1000;
  form.Track.ViewCol = 300;
  form.Timing.SpeedFactor = 1;
  form.Race.ScrollVY = -10;
  for (int i = 0; i < 14; ++i) bg->Move(12);
  EXPECT_DOUBLE_EQ(bg->Y, -70);
  EXPECT_EQ(form.Track.ViewRow, 1000);
  bg->Move(12);
  EXPECT_DOUBLE_EQ(bg->Y, -3);
  EXPECT_EQ(form.Track.ViewRow, 1001);
  // A step beyond a tile in one frame still moves the view by one.
  form.Race.ScrollVY = 0;
  form.Race.ScrollVX = 400;
  bg->Move(12);
  EXPECT_EQ(form.Track.ViewCol, 299);
  // At the map's left end the picture wraps but the view stays.
  form.Track.ViewCol = 0;
  form.Race.ScrollVX = 10;
  for (int i = 0; i < 20; ++i) bg->Move(12);
  EXPECT_EQ(form.Track.ViewCol, 0);
}

}  // namespace
}  // namespace zw
