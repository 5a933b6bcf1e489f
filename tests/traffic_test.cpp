// Tests of the opponents, the bonuses and the engine sound in real races.
#include <gtest/gtest.h>

#include "rider/player.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"

namespace zw {
namespace {

struct TRace {
  test::TRunDir Dir;
  TScriptRunner R;
  explicit TRace(uint32_t seed = 3) {
    std::string e;
    R.Run("seed " + std::to_string(seed) + "\nrefresh 85\nframetime 12\nrace 3\n", e);
  }
  TMForm& F() { return *R.Form; }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
};

int Racing(const TCar& c) {
  int n = 0;
  for (int i = 1; i <= 5; ++i) n += c.CarRacing[i];
  return n;
}

TEST(TrafficCars, EachLevelHasItsGrid) {
  TRace g;
  TMForm& f = g.F();
  const int expected[11] = {0, 1, 2, 3, 2, 5, 5, 5, 5, 5, 5};
  for (int level = 1; level <= 10; ++level) {
    f.SetUpLevel(level);
    f.Race.Car->ResetCars();
    EXPECT_EQ(Racing(*f.Race.Car), expected[level]) << level;
  }
  f.SetUpLevel(1);
  f.Race.Car->ResetCars();
  // Level 1: one opponent, in the left column of the last grid row beside the rider.
  EXPECT_TRUE(f.Race.Car->CarRacing[1]);
  EXPECT_DOUBLE_EQ(f.Race.Car->CarLeft[1], 23184);
  EXPECT_DOUBLE_EQ(f.Race.Car->CarLaneOffset[1], -30);
}

TEST(TrafficCars, TheSameSeedGivesTheSameField) {
  TRace a(42), b(42);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(a.F().Race.Car->CarModel[i], b.F().Race.Car->CarModel[i]);
  for (int i = 1; i <= 400; ++i) {
    EXPECT_EQ(a.F().Race.Bonus->BonusRow[i], b.F().Race.Bonus->BonusRow[i]);
    EXPECT_EQ(a.F().Race.Bonus->BonusKind[i], b.F().Race.Bonus->BonusKind[i]);
  }
}

TEST(TrafficCars, OpponentsRideTheRoadAndKeepToTheDriftSlope) {
  TRace g(9);
  TMForm& f = g.F();
  f.SetUpLevel(5);
  f.Race.Car->ResetCars();
  g.Run("frames 1500\n");
  const TCar& c = *f.Race.Car;
  for (int i = 1; i <= 5; ++i) {
    ASSERT_TRUE(c.CarRacing[i]);
    EXPECT_LT(c.CarY[i], 72.0 * 1470) << i;  // well up the road
    const int row = static_cast<int>(c.CarY[i]) / 72;
    const int kind = f.Track.RowKind(row);
    const double base = kind == 3 ? -18.89 : kind == 4 ? 18.89 : 0;
    EXPECT_LE(std::fabs(c.CarHeading[i] - base), 16.0 + 1e-9) << i;
  }
}

TEST(TrafficCars, AWreckStopsThenComesBackOnTheRoad) {
  TRace g(5);
  TMForm& f = g.F();
  g.Run("frames 400\n");
  TCar& c = *f.Race.Car;
  c.WreckCar(1);
  EXPECT_TRUE(c.CarWrecked[1]);
  g.Run("frames 600\n");
  EXPECT_FALSE(c.CarWrecked[1]);
  EXPECT_EQ(c.CarRiderHits[1], 0);
}

TEST(TrafficBonuses, AtMostOneLifeAndTheLifeAlwaysPays) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    TRace g(seed);
    TMForm& f = g.F();
    f.SetUpLevel(10);
    f.Race.Bonus->ResetBonuses();
    int lives = 0;
    for (int i = 1; i <= f.Track.BonusCount; ++i)
      lives += f.Race.Bonus->BonusActive[i] && f.Race.Bonus->BonusKind[i] == 5;
    EXPECT_LE(lives, 1) << seed;
  }
  TRace g;
  TMForm& f = g.F();
  g.Run("frames 200\n");  // past the level banner
  f.Race.Lives = 3;
  f.Race.RaceScore = 0;
  // Put a life bonus under the rider.
  TBonus& b = *f.Race.Bonus;
  b.BonusActive[1] = true;
  b.BonusKind[1] = 5;
  b.BonusCol[1] = f.Track.ViewCol + 5;
  b.BonusRow[1] = f.Track.ViewRow + 5;
  g.Run("frames 1\n");
  int lifeSounds = 0;
  for (const auto& e : g.R.Headless.Audio.Log) lifeSounds += e.Op == "play" && e.Index == 15;
  EXPECT_FALSE(b.BonusActive[1]);
  EXPECT_EQ(f.Race.RaceScore, 50);
  EXPECT_EQ(f.Race.Lives, 3);
  EXPECT_EQ(lifeSounds, 1);
}

TEST(TrafficEngine, FullThrottleStepsThroughTheGears) {
  TRace g(4);
  TMForm& f = g.F();
  g.Run("frames 200\n");
  TPlayer& p = *f.Race.Player;
  p.OnRoad = true;
  p.CtlUp = true;
  const size_t from = g.R.Headless.Audio.Log.size();
  // The speed a model-3 bike passes through with the throttle held, a frame's gain at a time.
  for (p.Speed = 0.3; p.Speed < 170; p.Speed += 0.15) p.UpdateEngineSound();
  std::vector<int> plays;
  for (size_t i = from; i < g.R.Headless.Audio.Log.size(); ++i) {
    const auto& e = g.R.Headless.Audio.Log[i];
    if (e.Op == "play") plays.push_back(e.Index);
  }
  const std::vector<int> expected = {9, 5, 19, 10, 5, 11, 5, 12, 5, 12, 5, 12, 13};
  EXPECT_EQ(plays, expected);
  // Up and down together: engine braking above 40, idle below, never a gear.
  p.CtlDown = true;
  p.Speed = 60;
  p.UpdateEngineSound();
  EXPECT_TRUE(p.SndCoast);
  p.Speed = 30;
  p.UpdateEngineSound();
  EXPECT_TRUE(p.SndIdle);
  // The squeal gives way to idle at a standstill.
  p.CtlDown = false;
  p.CtlUp = false;
  p.CtlBrake = true;
  p.Speed = 20;
  p.UpdateEngineSound();
  EXPECT_TRUE(p.SndBrake);
  p.Speed = 0;
  p.UpdateEngineSound();
  EXPECT_TRUE(p.SndIdle);
}

TEST(TrafficSoak, RandomRidingAcrossRestartsStaysSound) {
  TRace g(77);
  TMForm& f = g.F();
  g.Run("frames 200\n");
  const int32_t riding = f.Engine().AllCount;
  uint32_t r = 12345;
  const char* keys[] = {"Up", "Down", "Left", "Right", "Space", "H"};
  // 100 000 frames of random riding, across crashes, restarts and new levels.
  for (int chunk = 0; chunk < 4000; ++chunk) {
    r = r * 1664525u + 1013904223u;
    const char* k = keys[(r >> 16) % 6];
    g.Run(std::string((r >> 8) & 1 ? "keydown " : "keyup ") + k + "\nframes 25\n");
    // Whenever the race is riding again, it holds the sprites it started with.
    if (f.Menu.CurrentScreen == 6 && f.Menu.ActiveDialog == 0) {
      ASSERT_EQ(f.Engine().AllCount, riding);
    }
  }
}

}  // namespace
}  // namespace zw
