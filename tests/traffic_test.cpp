// Tests of the opponents, the bonuses and the engine sound in real races.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "rider/player.hpp"
#include "shell/form_state.hpp"
#include "shell/level.hpp"
#include "shell/states.hpp"
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
  TFormState& F() { return R.State(); }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
};

int Racing(const TCar& c) {
  int n = 0;
  for (int i = 1; i <= 5; ++i) n += c.Opponents[i].Racing;
  return n;
}

TEST(TrafficCars, EachLevelHasItsGrid) {
  TRace g;
  TFormState& f = g.F();
  const int expected[11] = {0, 1, 2, 3, 2, 5, 5, 5, 5, 5, 5};
  for (int level = 1; level <= 10; ++level) {
    SetUpLevel(f, level);
    f.Race.Car->ResetCars();
    EXPECT_EQ(Racing(*f.Race.Car), expected[level]) << level;
  }
  SetUpLevel(f, 1);
  f.Race.Car->ResetCars();
  // Level 1: one opponent, in the left column of the last grid row beside the rider.
  EXPECT_TRUE(f.Race.Car->Opponents[1].Racing);
  EXPECT_DOUBLE_EQ(f.Race.Car->Opponents[1].Left, 23184);
  EXPECT_DOUBLE_EQ(f.Race.Car->Opponents[1].LaneOffset, -30);
}

// Every opponent model's own row of the tables, as the race uses it: its picture, the centre its
// drawn size gives, the collision box its corner radius, corner angle and the bike's corner scale
// give, and its crash picture with the second before it is put back. Worked out by hand.
TEST(TrafficCars, EveryModelHasItsOwnPictureCentreBoxAndWreck) {
  struct TModelRow {
    int Upright, Crash, Width, Height;
    double Radius, Angle, Scale;
  };
  const TModelRow models[6] = {{},
                               {5, 23, 63, 68, 37, 12, 0.92},
                               {6, 26, 60, 67, 36, 11, 0.82},
                               {7, 29, 68, 69, 38, 13, 0.78},
                               {8, 32, 60, 62, 35, 11, 0.90},
                               {9, 35, 56, 68, 35, 12, 0.80}};
  TRace g;
  TFormState& f = g.F();
  g.Run("frames 200\n");
  TCar& c = *f.Race.Car;
  TOpponent& o = c.Opponents[1];
  ASSERT_TRUE(o.Racing);
  // The grid's model draws give each opponent its model's upright picture.
  for (int i = 1; i <= 5; ++i) {
    if (c.Opponents[i].Racing) {
      EXPECT_EQ(c.Opponents[i].Image, models[c.Opponents[i].Model].Upright) << "slot " << i;
    }
  }
  for (int m = 1; m <= 5; ++m) {
    SCOPED_TRACE("model " + std::to_string(m));
    const TModelRow& row = models[m];
    o.Model = static_cast<uint8_t>(m);
    o.Wrecked = false;
    o.Heading = 0;
    o.Speed = 0;
    o.Step = 0;
    o.Decel = 0;
    o.Left = 23000;
    o.Top = 106000;
    c.Move(1);
    EXPECT_DOUBLE_EQ(o.X, 23000 + row.Width / 2.0);
    EXPECT_DOUBLE_EQ(o.Y, 106000 + row.Height / 2.0);
    const double r = row.Radius * row.Scale, a = row.Angle * 2 * M_PI / 256;
    EXPECT_NEAR(o.Corners.P[1].X - o.Corners.P[0].X, 2 * r * std::sin(a), 1e-6);
    EXPECT_NEAR(o.Corners.P[2].Y - o.Corners.P[0].Y, 2 * r * std::cos(a), 1e-6);
    EXPECT_NEAR(o.Corners.P[0].X + o.Corners.P[1].X, 2 * o.X, 1e-6);
    c.WreckCar(1);
    EXPECT_EQ(o.Image, row.Crash);
    EXPECT_EQ(o.RecoverTimer, 1000);
  }
}

TEST(TrafficBonuses, BonusesLieOnTheRoadsFourTilesWithinTheLevel) {
  for (uint32_t seed : {42u, 1234u}) {
    TRace g(seed);
    TFormState& f = g.F();
    for (int level : {1, 10}) {
      SetUpLevel(f, level);
      f.Race.Bonus->ResetBonuses();
      const TBonus& b = *f.Race.Bonus;
      const int top = 1549 - f.Track.TrackLength;
      int placed = 0;
      for (int i = 1; i <= 400; ++i) {
        if (!b.BonusActive[i]) continue;
        ASSERT_LE(i, f.Track.BonusCount) << "slot beyond the level's count";
        ++placed;
        const int row = b.BonusRow[i], col = b.BonusCol[i];
        EXPECT_GE(row, top);
        EXPECT_LE(row, 1494);
        // The left edge tile (10) is the first of the road's four tiles.
        int edge = 0;
        for (int l = 1; l <= 650; ++l)
          if (f.Track.TrackMap(row, l) == 10) edge = l;
        ASSERT_NE(edge, 0) << "a bonus on a row without road edge, row " << row;
        EXPECT_GE(col, edge) << row;
        EXPECT_LE(col, edge + 3) << row;
        EXPECT_GE(b.BonusKind[i], 1);
        EXPECT_LE(b.BonusKind[i], 5);
        EXPECT_GE(b.BonusAnimPos[i], 0.0);
        EXPECT_LE(b.BonusAnimPos[i], 3.9 + 1e-9);
      }
      EXPECT_GT(placed, f.Track.BonusCount / 3) << seed << " " << level;
    }
  }
  // Over many draws every one of the four tiles gets bonuses.
  TRace g(99);
  TFormState& f = g.F();
  int across[4] = {0, 0, 0, 0};
  for (int round = 0; round < 3; ++round) {
    SetUpLevel(f, 10);
    f.Race.Bonus->ResetBonuses();
    for (int i = 1; i <= f.Track.BonusCount; ++i) {
      if (!f.Race.Bonus->BonusActive[i]) continue;
      const int row = f.Race.Bonus->BonusRow[i];
      for (int l = 1; l <= 650; ++l)
        if (f.Track.TrackMap(row, l) == 10) across[f.Race.Bonus->BonusCol[i] - l] += 1;
    }
  }
  for (int k = 0; k < 4; ++k) EXPECT_GT(across[k], 0) << k;
}

// Puts opponent 1 in the middle of `row`'s road with `speed`, the row five ahead of kind
// `ahead`, and runs one of its frames.
void RideOneFrame(TFormState& f, int row, int ahead, double speed) {
  TCar& c = *f.Race.Car;
  f.Track.RowKind(row - 5) = static_cast<uint8_t>(ahead);
  c.Opponents[1].LookAhead = 0;
  c.Opponents[1].Wrecked = false;
  c.Opponents[1].Heading = 0;
  c.Opponents[1].Speed = speed;
  c.Opponents[1].Step = 0;
  c.Opponents[1].Decel = 0;
  c.Opponents[1].Left = f.Track.RoadCentreX(row) - CarWidth(c.Opponents[1].Model) / 2.0;
  c.Opponents[1].Top = 72.0 * row + 2;
  c.Move(1);
}

TEST(TrafficCars, OpponentsBrakeTo130BeforeAndAfterBendsAndRunFreeElsewhere) {
  TRace g(5);
  TFormState& f = g.F();
  g.Run("frames 200\n");
  TCar& c = *f.Race.Car;
  const int row = 1400;
  struct TCase {
    int Ahead;
    double Speed;
    bool Brakes;
  } cases[] = {{2, 131, true},  {5, 131, true},  {2, 150, true},  {5, 125, false},
               {2, 125, false}, {1, 131, false}, {3, 140, false}, {4, 140, false}};
  for (const TCase& k : cases) {
    RideOneFrame(f, row, k.Ahead, k.Speed);
    const int m = c.Opponents[1].Model;
    if (k.Brakes) {
      EXPECT_DOUBLE_EQ(c.Opponents[1].Decel, BrakeRate(m)) << k.Ahead << " " << k.Speed;
      EXPECT_LT(c.Opponents[1].Speed, k.Speed) << k.Ahead << " " << k.Speed;
    } else {
      EXPECT_EQ(c.Opponents[1].Decel, 0) << k.Ahead << " " << k.Speed;
      EXPECT_GT(c.Opponents[1].Speed, k.Speed) << k.Ahead << " " << k.Speed;
    }
  }
  // Above 160 x the model's power factor an opponent no longer gains speed on a straight.
  const double top = 160 * PowerFactor(c.Opponents[1].Model);
  RideOneFrame(f, row, 1, top + 0.5);
  EXPECT_DOUBLE_EQ(c.Opponents[1].Speed, top + 0.5);
  RideOneFrame(f, row, 1, top - 0.5);
  EXPECT_GT(c.Opponents[1].Speed, top - 0.5);
}

TEST(TrafficCars, OpponentsStopFiftyRowsAboveTheTrack) {
  TRace g(5);
  TFormState& f = g.F();
  g.Run("frames 200\n");
  TCar& c = *f.Race.Car;
  const double line = 72.0 * (1450 - f.Track.TrackLength);
  const double h = CarHeight(c.Opponents[1].Model) / 2.0;
  for (const auto& [centre, stops] : {std::pair<double, bool>{line - 8, true}, {line + 8, false}}) {
    c.Opponents[1].Wrecked = false;
    c.Opponents[1].Speed = 100;
    c.Opponents[1].Step = 0;
    c.Opponents[1].Top = centre - h;
    c.Move(1);
    EXPECT_EQ(c.Opponents[1].Speed == 0 && c.Opponents[1].Step == 0, stops) << centre - line;
  }
}

TEST(TrafficCars, OpponentsRideTheRoadAndKeepToTheDriftSlope) {
  TRace g(9);
  TFormState& f = g.F();
  SetUpLevel(f, 5);
  f.Race.Car->ResetCars();
  const TCar& c = *f.Race.Car;
  // Every frame, every opponent heads within 16 of its row's slope; on a drift that lets it lean
  // past 16 with the road, and riding the drifts some do.
  double steepest = 0;
  for (int frame = 0; frame < 1500; ++frame) {
    g.Run("frames 1\n");
    for (int i = 1; i <= 5; ++i) {
      const int row = static_cast<int>(c.Opponents[i].Y) / 72;
      const int kind = f.Track.RowKind(row);
      const double base = kind == 3 ? -18.89 : kind == 4 ? 18.89 : 0;
      if (!c.Opponents[i].Wrecked) {
        ASSERT_LE(std::fabs(c.Opponents[i].Heading - base), 16.0 + 1e-9) << i << " " << frame;
      }
      if (base != 0) steepest = std::max(steepest, std::fabs(c.Opponents[i].Heading));
    }
  }
  EXPECT_GT(steepest, 16.0);
  for (int i = 1; i <= 5; ++i) {
    ASSERT_TRUE(c.Opponents[i].Racing);
    EXPECT_LT(c.Opponents[i].Y, 72.0 * 1470) << i;  // well up the road
  }
}

TEST(TrafficCars, AWreckStopsThenComesBackOnTheRoad) {
  TRace g(5);
  TFormState& f = g.F();
  g.Run("frames 400\n");
  TCar& c = *f.Race.Car;
  c.WreckCar(1);
  EXPECT_TRUE(c.Opponents[1].Wrecked);
  // It slides to a stop, then stands a whole second of game time before it rides again.
  int standing = 0;
  for (int k = 0; k < 600 && c.Opponents[1].Wrecked; ++k) {
    g.Run("frames 1\n");
    standing += c.Opponents[1].Wrecked && c.Opponents[1].Speed <= 0;
  }
  EXPECT_FALSE(c.Opponents[1].Wrecked);
  const int ft = f.Timing.FrameTime;
  EXPECT_GE(standing * ft, 1000 - ft);
  EXPECT_LE(standing * ft, 1000 + 2 * ft);
  EXPECT_EQ(c.Opponents[1].RiderHits, 0);
}

TEST(TrafficCars, AWreckedOpponentOnABarrierIsNotWreckedAgain) {
  TRace g(5);
  TFormState& f = g.F();
  g.Run("frames 400\n");
  TCar& c = *f.Race.Car;
  auto crashes = [&] {
    int n = 0;
    for (const auto& e : g.R.Headless.Audio.Log) n += e.Op == "play" && e.Index == 20;
    return n;
  };
  // Stand opponent 1 still on the roadside left of the road, nearer and nearer the road, until
  // a barrier wrecks it.
  int row = static_cast<int>(c.Opponents[1].Y / 72), edge = 0;
  for (; row < 1490 && !edge; ++row)
    for (int l = 1; l <= 650 && !edge; ++l)
      if (f.Track.TrackMap(row, l) == 10) edge = l;
  --row;
  ASSERT_GT(edge, 3);
  auto standAt = [&](double x) {
    c.Opponents[1].Top = 72.0 * row + 2;
    c.Opponents[1].Speed = c.Opponents[1].Step = c.Opponents[1].Decel = 0;
    c.Opponents[1].Heading = 0;
    c.Opponents[1].Left = x - CarWidth(c.Opponents[1].Model) / 2.0;
    c.Move(1);
  };
  bool wrecked = false;
  for (double x = 72.0 * (edge - 4); x < 72.0 * edge && !wrecked; x += 12) {
    standAt(x);
    g.Run("frames 1\n");
    wrecked = c.Opponents[1].Wrecked;
  }
  ASSERT_TRUE(wrecked) << "no barrier beside the road";
  const int crashSounds = crashes();
  int32_t standing = c.Opponents[1].RecoverTimer;
  for (int k = 0; k < 10; ++k) {
    g.Run("frames 1\n");
    EXPECT_EQ(crashes(), crashSounds);
    EXPECT_LT(c.Opponents[1].RecoverTimer, standing);  // counting down, never started over
    standing = c.Opponents[1].RecoverTimer;
  }
}

TEST(TrafficBonuses, AtMostOneLifeAndTheLifeAlwaysPays) {
  // Twenty tenth levels, each laid out from a seed of its own, in one race.
  {
    TRace race;
    TFormState& f = race.F();
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      f.Rng.Seed = seed;
      SetUpLevel(f, 10);
      f.Race.Bonus->ResetBonuses();
      int lives = 0;
      for (int i = 1; i <= f.Track.BonusCount; ++i)
        lives += f.Race.Bonus->BonusActive[i] && f.Race.Bonus->BonusKind[i] == 5;
      EXPECT_LE(lives, 1) << seed;
    }
  }
  TRace g;
  TFormState& f = g.F();
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

TEST(TrafficBonuses, EveryKindRiddenOverPaysItsPointsSoundAndLife) {
  // What each kind is worth when the rider rides over it: 10, 20, 50 and 100 points with the
  // points sound; the life 50 points, the life sound and a life while fewer than 3 are left.
  const struct {
    int Kind, Points, Sound, Lives;
  } kinds[] = {{4, 100, 14, 0}, {1, 10, 14, 0}, {3, 50, 14, 0}, {5, 50, 15, 1}, {2, 20, 14, 0}};
  TRace g;
  TFormState& f = g.F();
  g.Run("frames 200\nkeydown Up\n");  // past the level banner, then full throttle up the road
  TBonus& b = *f.Race.Bonus;
  for (int i = 1; i <= 400; ++i) b.BonusActive[i] = false;
  f.Race.Lives = 2;
  auto plays = [&](int sound) {
    int n = 0;
    for (const auto& e : g.R.Headless.Audio.Log) n += e.Op == "play" && e.Index == sound;
    return n;
  };
  for (const auto& k : kinds) {
    // Laid on the road three rows ahead of the rider, in the column it rides up.
    b.BonusActive[1] = true;
    b.BonusKind[1] = static_cast<uint8_t>(k.Kind);
    b.BonusCol[1] = f.Track.ViewCol + 5;
    b.BonusRow[1] = f.Track.ViewRow + 2;
    const int32_t score = f.Race.RaceScore, lives = f.Race.Lives;
    const int sounds = plays(k.Sound);
    int frames = 0;
    for (; b.BonusActive[1] && frames < 300; ++frames) {
      g.Run("frames 1\n");
      if (b.BonusActive[1]) {
        ASSERT_EQ(f.Race.RaceScore, score) << "kind " << k.Kind;
      }
    }
    ASSERT_FALSE(b.BonusActive[1]) << "kind " << k.Kind << " never reached";
    EXPECT_GT(frames, 1) << "kind " << k.Kind << " taken before the rider reached it";
    EXPECT_EQ(f.Race.RaceScore - score, k.Points) << "kind " << k.Kind;
    EXPECT_EQ(plays(k.Sound) - sounds, 1) << "kind " << k.Kind;
    EXPECT_EQ(f.Race.Lives - lives, k.Lives) << "kind " << k.Kind;
  }
  EXPECT_EQ(f.Race.RaceScore, 230);
  EXPECT_EQ(f.Race.Lives, 3);
}

TEST(TrafficEngine, FullThrottleStepsThroughTheGears) {
  TRace g(4);
  TFormState& f = g.F();
  g.Run("frames 200\n");
  TPlayer& p = *f.Race.Player;
  p.OnRoad = true;
  p.CtlUp = true;
  // The speed a model-3 bike passes through with the throttle held, a frame's gain at a time;
  // each sound starts on the first step past its band's lower edge (scaled by the bike's power).
  constexpr double Step = 0.15;
  std::vector<int> plays;
  std::vector<double> at;
  for (p.Speed = 0.3; p.Speed < 170; p.Speed += Step) {
    const size_t before = g.R.Headless.Audio.Log.size();
    p.UpdateEngineSound();
    for (size_t i = before; i < g.R.Headless.Audio.Log.size(); ++i) {
      const auto& e = g.R.Headless.Audio.Log[i];
      if (e.Op != "play") continue;
      plays.push_back(e.Index);
      at.push_back(p.Speed);
    }
  }
  const std::vector<int> expected = {9, 5, 19, 10, 5, 11, 5, 12, 5, 12, 5, 12, 13};
  EXPECT_EQ(plays, expected);
  const std::vector<double> edges = {0, 65, 65, 67, 95, 97, 115, 116, 130, 131, 142, 143, 157};
  ASSERT_EQ(at.size(), edges.size());
  for (size_t i = 1; i < edges.size(); ++i) {
    EXPECT_GT(at[i], edges[i] * p.PowerFactor()) << i;
    EXPECT_LE(at[i], edges[i] * p.PowerFactor() + Step + 1e-9) << i;
  }
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

// The rider's sounds by their number in the sound pack, each step as the player hears it: what
// starts (idle 4 off the road and at low speed, engine braking 6, the squeal 7, the collision 17,
// gear 4's sound 12 again after a collision in any gear, the horn 8 with the pause's return) and
// what a dialog silences (the engine's nine, then the horn, the bonus sounds and the collision).
TEST(TrafficEngine, EveryRiderSoundHasItsNumber) {
  TRace g(5);
  TFormState& f = g.F();
  g.Run("frames 200\n");
  TPlayer& p = *f.Race.Player;
  auto& log = g.R.Headless.Audio.Log;
  auto calls = [&](const std::function<void()>& step, const std::string& op) {
    const size_t before = log.size();
    step();
    std::vector<int> out;
    for (size_t i = before; i < log.size(); ++i)
      if (log[i].Op == op) out.push_back(log[i].Index);
    return out;
  };
  using V = std::vector<int>;
  p.CtlUp = p.CtlDown = p.CtlBrake = false;
  p.SndIdle = p.SndCoast = p.SndBrake = p.SndAccel = p.SndShift = p.SndTopGear = false;
  p.OnRoad = false;
  p.CtlUp = true;
  p.Speed = 100;
  EXPECT_EQ(calls([&] { p.UpdateEngineSound(); }, "play"), V{4});
  p.OnRoad = true;
  p.CtlUp = false;
  EXPECT_EQ(calls([&] { p.UpdateEngineSound(); }, "play"), V{6});
  p.Speed = 40;
  EXPECT_EQ(calls([&] { p.UpdateEngineSound(); }, "play"), V{4});
  p.CtlBrake = true;
  EXPECT_EQ(calls([&] { p.UpdateEngineSound(); }, "play"), V{7});
  p.CtlBrake = false;
  // A collision in gear 2 comes back in gear 4's sound, after the collision's own.
  p.CtlUp = true;
  p.Speed = 80 * p.PowerFactor();
  p.SndAccel = false;
  p.SndCoast = p.SndIdle = false;
  EXPECT_EQ(calls([&] { p.UpdateEngineSound(); }, "play"), V{10});
  EXPECT_EQ(calls([&] { p.ScaleSpeed(true, 0.95); }, "play"), (V{12, 17}));
  const V engine = {4, 9, 10, 11, 12, 5, 6, 13, 7};
  EXPECT_EQ(calls([&] { p.StopRiderSounds(false); }, "stop"), engine);
  V everything = engine;
  for (int i : {8, 14, 15, 16, 17}) everything.push_back(i);
  EXPECT_EQ(calls([&] { p.StopRiderSounds(true); }, "stop"), everything);
  p.HornOn = true;
  p.SndAccel = false;
  p.SndCoast = true;
  EXPECT_EQ(calls([&] { p.ResumeEngineSound(true); }, "play"), (V{6, 8}));
  EXPECT_EQ(calls([&] { p.ResumeEngineSound(false); }, "play"), V{6});
}

TEST(TrafficSoak, RandomRidingAcrossRestartsStaysSound) {
  TRace g(77);
  TFormState& f = g.F();
  g.Run("frames 200\n");
  const int32_t riding = f.Engine().AllCount;
  uint32_t r = 12345;
  const char* keys[] = {"Up", "Down", "Left", "Right", "Space", "H"};
  // Random riding in steps of 25 frames, across crashes and restarts, until the lives are gone;
  // then a new game from the main menu, ridden the same way to its end (at most 50 000 frames in
  // all: riding on in the menus would check nothing).
  int games = 1, checked = 0;
  for (int chunk = 0; chunk < 2000; ++chunk) {
    r = r * 1664525u + 1013904223u;
    const char* k = keys[(r >> 16) % 6];
    g.Run(std::string((r >> 8) & 1 ? "keydown " : "keyup ") + k + "\nframes 25\n");
    // Whenever the race is riding again, it holds the sprites it started with.
    if (f.Menu.CurrentScreen == screen::Race && f.Menu.ActiveDialog == dialog::None) {
      ASSERT_EQ(f.Engine().AllCount, riding) << "game " << games << ", step " << chunk;
      ++checked;
    } else if (f.Menu.CurrentScreen == screen::MainMenu) {
      if (games == 2) break;
      ++games;
      g.Run("race 3\nframes 200\n");
    }
  }
  EXPECT_EQ(games, 2) << "the first game never ended";
  EXPECT_EQ(f.Menu.CurrentScreen, screen::MainMenu) << "the second game never ended";
  EXPECT_GE(checked, 200);
}

}  // namespace
}  // namespace zw
