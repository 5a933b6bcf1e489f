// Tests of the rider's numbers: rates, controls, rolling back, tyre marks, race place, hits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "rider/player.hpp"
#include "rider/pointer.hpp"
#include "shell/form_state.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "traffic/car.hpp"
#include "world/scroll_background.hpp"

namespace zw {
namespace {

TEST(RiderModel, RatesOfModelOneAtTwoSpeeds) {
  EXPECT_NEAR(AccelRate(1, 100), 0.0757, 5e-5);
  EXPECT_NEAR(SteerRate(1, 100), 0.559, 5e-4);
  EXPECT_NEAR(DragRate(1, 100), 0.1122, 5e-5);
  EXPECT_NEAR(AccelRate(1, 150), 0.0412, 5e-5);
  EXPECT_NEAR(SteerRate(1, 150), 0.3043, 5e-5);
  EXPECT_NEAR(DragRate(1, 150), 0.1294, 5e-5);
  // At rest: full acceleration, no steering, no drag; rolling back the steering is 0.8.
  EXPECT_DOUBLE_EQ(AccelRate(1, 0), 0.3);
  EXPECT_DOUBLE_EQ(SteerRate(1, 0), 0);
  EXPECT_DOUBLE_EQ(DragRate(1, 0), 0);
  EXPECT_DOUBLE_EQ(SteerRate(1, -8), 0.8);
  EXPECT_DOUBLE_EQ(BrakeRate(3), 0.275);
  EXPECT_DOUBLE_EQ(BrakeRate(1), 0.35);
  EXPECT_NEAR(TopSpeed(2), 160, 1e-9);
  EXPECT_NEAR(TopSpeed(1), 152.727, 1e-3);
}

// Every bike's own row of the model tables, as the rider shows it: its upright, leaning and
// crash pictures, the collision box its body width and corner scale give, how far its crash
// animation runs, its braking and its top speed. Worked out by hand from the bikes' sheet.
TEST(RiderModel, EveryBikeRidesWithItsOwnPicturesBoxAndRates) {
  struct TBikeRow {
    int Upright, LeanLeft, LeanRight, Crash, CrashFrames, BodyWidth;
    double CornerScale, Brake, Top;
  };
  const TBikeRow bikes[6] = {{},
                             {5, 24, 25, 23, 5, 23, 0.92, 0.35, 152.727},
                             {6, 27, 28, 26, 7, 28, 0.82, 0.325, 160.0},
                             {7, 30, 31, 29, 5, 34, 0.78, 0.275, 152.727},
                             {8, 33, 34, 32, 5, 24, 0.90, 0.30, 157.091},
                             {9, 36, 37, 35, 5, 28, 0.80, 0.30, 155.636}};
  for (int bike = 1; bike <= 5; ++bike) {
    SCOPED_TRACE("bike " + std::to_string(bike));
    const TBikeRow& b = bikes[bike];
    test::TRunDir dir;
    TScriptRunner r;
    std::string e;
    ASSERT_EQ(
        r.Run("seed 11\nrefresh 85\nframetime 12\nrace " + std::to_string(bike) + "\nframes 200\n",
              e),
        0)
        << e;
    TFormState& f = r.State();
    TPlayer& p = *f.Race.Player;
    const TPictureItem* upright = f.MImageList2.Item(b.Upright);
    ASSERT_NE(upright, nullptr);
    EXPECT_EQ(p.Image, upright);
    p.LeanLeft();
    EXPECT_EQ(p.Image, f.MImageList2.Item(b.LeanLeft));
    p.LeanRight();
    EXPECT_EQ(p.Image, f.MImageList2.Item(b.LeanRight));
    p.StandUp();
    EXPECT_EQ(p.Image, upright);
    // Upright and heading straight up the box is the body's width by the picture's height, both
    // shrunk by the corner scale, and centred on the bike.
    p.Steer = 0;
    p.Heading = 0;
    p.ComputeCorners();
    const double h = upright->PatternHeight();
    EXPECT_NEAR(p.Corners[2].X - p.Corners[1].X, b.BodyWidth * b.CornerScale, 1e-6);
    EXPECT_NEAR(p.Corners[3].X - p.Corners[4].X, b.BodyWidth * b.CornerScale, 1e-6);
    EXPECT_NEAR(p.Corners[4].Y - p.Corners[1].Y, h * b.CornerScale, 1e-6);
    EXPECT_NEAR((p.Corners[1].X + p.Corners[3].X) / 2, p.CentreX, 1e-6);
    EXPECT_NEAR(BrakeRate(bike), b.Brake, 1e-12);
    EXPECT_NEAR(TopSpeed(bike), b.Top, 1e-3);
    // A crash at speed 30.4 shows the bike's crash picture and slides 0.8 a frame: the animation
    // is held on its last frame on the first frame below 10 (the 26th), not before.
    p.Speed = 30.4;
    p.Crash();
    EXPECT_EQ(p.Image, f.MImageList2.Item(b.Crash));
    ASSERT_EQ(r.Run("frames 25\n", e), 0) << e;
    EXPECT_NEAR(p.Speed, 10.4, 1e-9);
    EXPECT_NE(p.AnimRate, 0);
    EXPECT_LE(p.AnimPos, b.CrashFrames - 1);
    ASSERT_EQ(r.Run("frames 1\n", e), 0) << e;
    EXPECT_EQ(p.AnimRate, 0);
    EXPECT_EQ(p.AnimPos, b.CrashFrames - 1);
    // The crash lasts 3000 ms from the crash: the bike is still down on the frame that takes the
    // last of them and rides on at the next.
    const int ft = f.Timing.FrameTime;
    ASSERT_GT(ft, 0);
    const int down = (3000 + ft - 1) / ft;
    ASSERT_EQ(r.Run("frames " + std::to_string(down - 26) + "\n", e), 0) << e;
    EXPECT_TRUE(p.Crashed);
    ASSERT_EQ(r.Run("frames 1\n", e), 0) << e;
    EXPECT_FALSE(p.Crashed);
    EXPECT_EQ(p.Image, upright);
  }
}

TEST(RiderModel, QuadsOverlapByCornersInside) {
  const TPoint a[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const TPoint inside[4] = {{5, 5}, {20, 5}, {20, 20}, {5, 20}};
  const TPoint apart[4] = {{11, 0}, {20, 0}, {20, 10}, {11, 10}};
  EXPECT_TRUE(QuadsOverlap(a, inside));
  EXPECT_FALSE(QuadsOverlap(a, apart));
  EXPECT_TRUE(PointInQuad(TPoint{1, 1}, a));
  EXPECT_FALSE(PointInQuad(TPoint{-1, 1}, a));
}

// The angle-sum rule exactly as it stood before the far-away shortcut, to hold the fast one to.
bool PointInQuadByAnglesOnly(const TPoint& p, const TPoint q[4]) {
  double sum = 0;
  for (int k = 0; k < 4; ++k) {
    const TPoint& a = q[k];
    const TPoint& b = q[(k + 1) % 4];
    const double ax = a.X - p.X, ay = a.Y - p.Y, bx = b.X - p.X, by = b.Y - p.Y;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    if (la == 0 || lb == 0) return true;
    const double c = std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0);
    sum += std::acos(c);
  }
  return sum * 180.0 / M_PI >= 355.0;
}

// Convex, crossed, flat and collapsed quadrilaterals at many scales, with points all around them
// (on corners, on edges, just outside, at the shortcut's own distance), and the odd numbers a
// damaged state could carry: both rules must agree on every one.
TEST(RiderModel, PointInQuadAgreesWithTheAngleSumEverywhere) {
  std::mt19937_64 rng(20261210);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double scales[] = {1e-3, 0.5, 1, 36, 72, 1000, 1e6};
  const double odd[] = {0.0,
                        -0.0,
                        1e-310,
                        1e300,
                        -1e300,
                        std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN()};
  int disagreements = 0, inside = 0, tested = 0;
  auto check = [&](const TPoint& p, const TPoint q[4]) {
    const bool want = PointInQuadByAnglesOnly(p, q), got = PointInQuad(p, q);
    disagreements += want != got;
    inside += want;
    ++tested;
    if (want != got && disagreements <= 5)
      ADD_FAILURE() << "point (" << p.X << ", " << p.Y << ") quad (" << q[0].X << "," << q[0].Y
                    << ") (" << q[1].X << "," << q[1].Y << ") (" << q[2].X << "," << q[2].Y << ") ("
                    << q[3].X << "," << q[3].Y << ")";
  };
  for (int n = 0; n < 40000; ++n) {
    const double s = scales[n % 7];
    const double cx = unit(rng) * 800, cy = unit(rng) * 600;
    TPoint q[4];
    const int kind = n % 6;
    for (int k = 0; k < 4; ++k) {
      if (kind == 0) {  // a rotated rectangle, like a bike's or a car's corners
        const double a = unit(rng) * M_PI, w = (1 + unit(rng)) * s, h = (1 + unit(rng)) * s;
        const double ux = (k == 1 || k == 2) ? w : -w, uy = k >= 2 ? h : -h;
        q[k] = TPoint{cx + ux * std::cos(a) - uy * std::sin(a),
                      cy + ux * std::sin(a) + uy * std::cos(a)};
      } else if (kind == 1) {  // whole pixels, as the obstacle shapes are placed
        q[k] = TPoint{std::trunc(cx + unit(rng) * s), std::trunc(cy + unit(rng) * s)};
      } else if (kind == 2) {  // all on one line
        const double t = unit(rng);
        q[k] = TPoint{cx + t * s, cy + 0.5 * t * s};
      } else if (kind == 3) {  // collapsed onto one or two points
        q[k] = k < 2 ? TPoint{cx, cy} : TPoint{cx + s * (k - 2), cy};
      } else {  // anything, crossed or not
        q[k] = TPoint{cx + unit(rng) * s, cy + unit(rng) * s};
      }
    }
    // Points: corners, edge points, points around the box at many distances.
    for (int k = 0; k < 4; ++k) {
      check(q[k], q);
      const TPoint& b = q[(k + 1) % 4];
      const double t = (1 + unit(rng)) / 2;
      check(TPoint{q[k].X + (b.X - q[k].X) * t, q[k].Y + (b.Y - q[k].Y) * t}, q);
    }
    for (int m = 0; m < 12; ++m) {
      const double reach = s * std::pow(10.0, unit(rng) * 1.5);
      check(TPoint{cx + unit(rng) * reach, cy + unit(rng) * reach}, q);
    }
    // Right around the shortcut's threshold distance from the box's centre.
    double minX = q[0].X, maxX = q[0].X, minY = q[0].Y, maxY = q[0].Y;
    for (const TPoint& c : q) {
      minX = std::min(minX, c.X), maxX = std::max(maxX, c.X);
      minY = std::min(minY, c.Y), maxY = std::max(maxY, c.Y);
    }
    const double r = std::hypot(maxX - minX, maxY - minY) / 2, a = unit(rng) * M_PI;
    for (double f : {1.0, 1.59, 1.6, 1.61, 2.0})
      check(
          TPoint{(minX + maxX) / 2 + f * r * std::cos(a), (minY + maxY) / 2 + f * r * std::sin(a)},
          q);
  }
  // Odd numbers in the point and in a corner.
  const TPoint box[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  for (double v : odd)
    for (double w : odd) {
      check(TPoint{v, w}, box);
      check(TPoint{v, 5}, box);
      TPoint q[4] = {box[0], box[1], box[2], box[3]};
      q[2] = TPoint{v, w};
      check(TPoint{5, 5}, q);
      check(TPoint{-50, 5}, q);
      check(TPoint{v, -w}, q);
    }
  EXPECT_EQ(disagreements, 0) << "of " << tested;
  EXPECT_GT(inside, tested / 20);  // the cases reach the inside answer as well
}

// A race in its riding state on a scratch folder.
struct TRiding {
  test::TRunDir Dir;
  TScriptRunner R;
  TRiding() {
    std::string e;
    R.Run("seed 11\nrefresh 85\nframetime 12\nrace 1\nframes 200\n", e);
  }
  TFormState& F() { return R.State(); }
  TPlayer& P() { return *R.State().Race.Player; }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
};

TEST(RiderHandling, HoldingDownRollsBackToMinusEightWithSteeringReversed) {
  TRiding g;
  ASSERT_EQ(g.F().Menu.ActiveDialog, 0);
  // Rolling back the needle rests on its mark: speed below nought shows as none.
  bool rolledBack = false;
  g.Run("keydown Down\n");
  for (int i = 0; i < 150; ++i) {
    g.Run("frames 1\n");
    rolledBack |= g.P().Speed < -1;
    if (g.P().Speed < 0) {
      ASSERT_EQ(g.F().Race.Pointer->Angle, 28 - (g.P().SndShift ? 1 : 0)) << g.P().Speed;
    }
  }
  EXPECT_TRUE(rolledBack);
  EXPECT_DOUBLE_EQ(g.P().Speed, -8);
  const double steer = g.P().Steer;
  g.Run("keydown Left\nframes 5\n");
  EXPECT_GT(g.P().Steer, steer);  // left while rolling back turns the other way
  // The space bar stops the bike dead below a speed of 1.
  g.Run("keyup Down\nkeyup Left\nkeydown Space\nframes 30\n");
  EXPECT_DOUBLE_EQ(g.P().Speed, 0);
}

// Each bike's throttle lifts it up to 160 times its power and no further: just under its top
// speed the throttle still adds, just over it the bike coasts back.
TEST(RiderHandling, TheThrottleLiftsEachBikeToItsOwnTopSpeedAndNoFurther) {
  for (int bike = 1; bike <= 5; ++bike) {
    test::TRunDir dir;
    TScriptRunner r;
    std::string e;
    ASSERT_EQ(r.Run("seed 11\nrefresh 85\nframetime 12\nrace " + std::to_string(bike) +
                        "\nframes 200\nkeydown Up\nframes 1\n",
                    e),
              0)
        << e;
    TPlayer& p = *r.State().Race.Player;
    const double top = TopSpeed(bike);
    for (double start : {top - 0.05, top + 0.05}) {
      p.Speed = start;
      ASSERT_EQ(r.Run("frames 1\n", e), 0) << e;
      if (start < top)
        EXPECT_GT(p.Speed, start) << "bike " << bike << " just under its top speed " << top;
      else
        EXPECT_LT(p.Speed, start) << "bike " << bike << " just over its top speed " << top;
    }
  }
}

TEST(RiderHandling, TheThrottleRaisesTheSpeedAndTheNeedleFollows) {
  TRiding g;
  g.Run("keydown Up\nframes 300\n");
  EXPECT_GT(g.P().Speed, 40);
  EXPECT_LE(g.P().Speed, TopSpeed(1) + 1);
  EXPECT_GE(g.F().Race.Pointer->Angle, 28);
  // Frame by frame the needle stands at 28 plus 0.76875 of a degree per unit of speed (a
  // notch back while the gear changes).
  for (int i = 0; i < 120; ++i) {
    g.Run("frames 1\n");
    const int expected =
        std::max(28, static_cast<int>(std::nearbyint(g.P().Speed * 0.76875 + 28))) -
        (g.P().SndShift ? 1 : 0);
    ASSERT_EQ(g.F().Race.Pointer->Angle, expected) << g.P().Speed;
  }
  // Off the road above 80 the bike slows at 0.5 whatever keys are held.
  g.P().OnRoad = false;
  g.P().Speed = 120;
  g.P().ApplyControls();
  EXPECT_DOUBLE_EQ(g.P().Decel, 0.5);
  g.P().Speed = 79;  // still at or below 80 after this frame's throttle
  g.P().ApplyControls();
  EXPECT_NE(g.P().Decel, 0.5);
}

TEST(RiderHandling, TyreMarksLieCloserAtSpeed) {
  TRiding g;
  TPlayer& p = g.P();
  p.Heading = 0;
  p.AddMark(100, 100);
  EXPECT_EQ(p.NewestMark, 1);
  p.AddMark(100, 110);
  EXPECT_EQ(p.NewestMark, 2);
  p.RemoveMark(1);
  p.AddMark(0, 0);
  EXPECT_EQ(p.NewestMark, 1);  // the lowest free slot
  for (int i = 0; i < 120; ++i) p.AddMark(5, 5);
  EXPECT_TRUE(p.Marks[100].Used);
  p.DropOffscreenMarks();
  EXPECT_TRUE(p.Marks[2].Used);
  p.Marks[2].X = 701;
  p.DropOffscreenMarks();
  EXPECT_FALSE(p.Marks[2].Used);
}

TEST(RiderDrawing, TheNeedleAndATyreMarkAreDrawnWhereAndAsTheyTurn) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  const TPictureItem* needle = f.MImageList2.Item(4);
  const TPictureItem* mark = f.MImageList2.Item(10);
  ASSERT_NE(needle, nullptr);
  ASSERT_NE(mark, nullptr);
  // The needle turns about 70 % across and half down its picture, that point lying at
  // (width - 10, height + 510).
  for (int angle : {28, 64, 151}) {
    f.Race.Pointer->Angle = angle;
    TSurface want(800, 600);
    const int w = needle->PatternWidth(), h = needle->PatternHeight();
    needle->DrawRotate(want, w - 10, h + 510, w, h, 0, 0.7, 0.5, angle);
    f.MDisplay.Fill(0);
    f.Race.Pointer->Draw();
    EXPECT_EQ(f.MDisplay.Pixels, want.Pixels) << angle;
  }
  // A tyre mark: 10 x 14, centred on its truncated position, turned by its heading.
  for (int i = 1; i <= 100; ++i) p.Marks[i].Used = false;
  f.MDisplay.Fill(0);
  p.Draw();
  const std::vector<uint16_t> without = f.MDisplay.Pixels;
  p.Marks[7].Used = true;
  p.Marks[7].X = 300.9;
  p.Marks[7].Y = 200.6;
  p.Marks[7].Heading = -19;
  f.MDisplay.Fill(0);
  p.Draw();
  TSurface want(800, 600);
  mark->DrawRotate(want, 300, 200, 10, 14, 0, 0.5, 0.5, -19);
  int drawn = 0;
  for (int y = 180; y < 220; ++y)
    for (int x = 280; x < 320; ++x) {
      const size_t k = static_cast<size_t>(y * 800 + x);
      ASSERT_EQ(without[k], 0) << "something else drawn where the mark goes";
      EXPECT_EQ(f.MDisplay.Pixels[k], want.Pixels[k]) << x << "," << y;
      drawn += want.Pixels[k] != 0;
    }
  EXPECT_GT(drawn, 20);
}

TEST(RiderRace, EqualPositionsKeepTheLastPlace) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  TCar& car = *f.Race.Car;
  const double riderY = f.Track.ViewRow * 72.0 + p.CentreY - f.Race.Background->Y;
  car.Opponents[1].Y = riderY - 10;  // ahead
  f.Race.RacePosition = 1;
  p.UpdateRacePosition();
  EXPECT_EQ(f.Race.RacePosition, 2);
  EXPECT_EQ(f.Race.RaceCount, 2);
  car.Opponents[1].Y = riderY;  // level: the place stays
  p.UpdateRacePosition();
  EXPECT_EQ(f.Race.RacePosition, 2);
  car.Opponents[1].Y = riderY + 10;
  p.UpdateRacePosition();
  EXPECT_EQ(f.Race.RacePosition, 1);
}

TEST(RiderCrash, AnObstacleCostsALifeAndTheBikeRestarts) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  p.HitsLeft = 2;
  p.TakeHits(p.HitsLeft);
  EXPECT_TRUE(p.Crashed);
  EXPECT_EQ(p.HitsLeft, 3);
  EXPECT_EQ(f.Race.Lives, 2);
  g.Run("frames 300\n");
  EXPECT_FALSE(p.Crashed);
  EXPECT_TRUE(p.AllCornersOnRoad() || p.Speed == 0);
  // A brake spill crashes without a life.
  p.CtlBrake = true;
  p.Speed = 120;
  p.NewestMark = 20;
  p.BrakeSpill();
  EXPECT_TRUE(p.Crashed);
  EXPECT_EQ(f.Race.Lives, 2);
}

// The brake spill's four ways down, each on both sides of every one of its edges: a long skid
// (over 100 with the newest mark past slot 10), braking in a lean deeper than 2 with the newest
// mark past slot 8, pushing down in a lean deeper than 3, or deeper than 2 above 100. The lean's
// depth is 5.5 less the picture's pattern position.
TEST(RiderCrash, TheBrakeSpillsEdgesOnBothSides) {
  struct TSpillCase {
    bool Brake, Down;
    double Speed, Depth;
    int Lean, Mark;
    bool Spills;
  };
  const TSpillCase cases[] = {
      // The long skid, upright.
      {true, false, 100.5, 0, 0, 11, true},
      {true, false, 100.0, 0, 0, 11, false},
      {true, false, 100.5, 0, 0, 10, false},
      {false, false, 100.5, 0, 0, 11, false},
      // Braking in a lean.
      {true, false, 50, 2.5, -1, 9, true},
      {true, false, 50, 2.5, 1, 9, true},
      {true, false, 50, 2.0, -1, 9, false},
      {true, false, 50, 2.5, -1, 8, false},
      {true, false, 50, 2.5, 0, 9, false},
      // Pushing down in a deep lean, at any speed.
      {false, true, 20, 3.5, 1, 1, true},
      {false, true, 20, 3.0, 1, 1, false},
      {false, true, 20, 3.5, 0, 1, false},
      // Pushing down in a lean above 100.
      {false, true, 100.5, 2.5, -1, 1, true},
      {false, true, 100.0, 2.5, -1, 1, false},
      {false, true, 100.5, 2.0, -1, 1, false},
      {false, true, 100.5, 2.5, 0, 1, false},
      {false, false, 100.5, 3.5, -1, 1, false},
  };
  TRiding g;
  TPlayer& p = g.P();
  for (const TSpillCase& c : cases) {
    p.Crashed = p.CrashHeadingSet = false;
    p.CtlBrake = c.Brake;
    p.CtlDown = c.Down;
    p.Speed = c.Speed;
    p.AnimPos = 5.5 - c.Depth;
    p.LeanState = c.Lean;
    p.NewestMark = c.Mark;
    p.BrakeSpill();
    EXPECT_EQ(p.Crashed, c.Spills)
        << "brake " << c.Brake << " down " << c.Down << " speed " << c.Speed << " depth " << c.Depth
        << " lean " << c.Lean << " mark " << c.Mark;
    if (c.Spills) {
      EXPECT_TRUE(p.CrashHeadingSet);
      EXPECT_EQ(g.F().Race.Lives, 3);
      EXPECT_EQ(p.HitsLeft, 3);
    }
  }
}

TEST(RiderCrash, APushAtAStandstillAddsTenDirectly) {
  TRiding g;
  TPlayer& p = g.P();
  p.Speed = 0;
  p.AddSpeed(false, 10);
  EXPECT_DOUBLE_EQ(p.Speed, 10);
  p.AddSpeed(false, -10);
  EXPECT_DOUBLE_EQ(p.Speed, 0);
  p.Speed = 50;
  p.AddSpeed(false, 10);
  EXPECT_DOUBLE_EQ(p.Speed, 60);
}

TEST(RiderCrash, AnOpponentCountsOneHitPerContactAndIsWreckedAtTheSecond) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  TCar& car = *f.Race.Car;
  ASSERT_TRUE(car.Opponents[1].Active);
  const double ox = -f.Track.ViewCol * 72.0 + f.Race.Background->X;
  const double oy = -f.Track.ViewRow * 72.0 + f.Race.Background->Y;
  // Opponent 1's corners laid over the rider's own (touching) or far to the side (apart), in
  // world pixels; its centre ahead of the bike.
  auto place = [&](bool touching) {
    double cx = 0, cy = 0;
    for (int k = 1; k <= 4; ++k) cx += p.Corners[k].X / 4, cy += p.Corners[k].Y / 4;
    for (int k = 0; k < 4; ++k)
      car.Opponents[1].Corners.P[k] =
          TPoint{cx + (p.Corners[k + 1].X - cx) / 2 - ox + (touching ? 0 : 400),
                 cy + (p.Corners[k + 1].Y - cy) / 2 - oy};
    car.Opponents[1].Y = p.CentreY - oy - 30;
  };
  p.HitsLeft = 3;
  place(true);
  p.VehicleContacts();
  EXPECT_EQ(car.Opponents[1].RiderHits, 1);
  EXPECT_EQ(p.HitsLeft, 2);
  EXPECT_FALSE(car.Opponents[1].Wrecked);
  p.VehicleContacts();  // still touching: the same contact
  EXPECT_EQ(car.Opponents[1].RiderHits, 1);
  EXPECT_EQ(p.HitsLeft, 2);
  place(false);
  p.VehicleContacts();
  EXPECT_FALSE(car.Opponents[1].Touching);
  place(true);
  p.VehicleContacts();
  EXPECT_EQ(car.Opponents[1].RiderHits, 2);
  EXPECT_EQ(p.HitsLeft, 1);
  EXPECT_TRUE(car.Opponents[1].Wrecked);
  EXPECT_FALSE(p.Crashed);
}

// A new contact with a car moves both by their shares: run into from behind, the bike gains ten
// speed units for a push of 100 ms and the car loses a twentieth of its speed; running into a car
// ahead, the car gains a twentieth and the bike loses one. The push then runs out after 100 ms of
// frames and takes its ten units back.
TEST(RiderCrash, ACarContactPushesBothByTheirShares) {
  struct TPushCase {
    bool Behind;
    double RiderAfter, CarAfter;
    bool Boost;
  };
  for (const TPushCase& c : {TPushCase{true, 110, 47.5, true}, TPushCase{false, 95, 52.5, false}}) {
    TRiding g;
    TFormState& f = g.F();
    TPlayer& p = g.P();
    TCar& car = *f.Race.Car;
    const double ox = -f.Track.ViewCol * 72.0 + f.Race.Background->X;
    const double oy = -f.Track.ViewRow * 72.0 + f.Race.Background->Y;
    double cx = 0, cy = 0;
    for (int k = 1; k <= 4; ++k) cx += p.Corners[k].X / 4, cy += p.Corners[k].Y / 4;
    for (int k = 0; k < 4; ++k)
      car.Opponents[1].Corners.P[k] =
          TPoint{cx + (p.Corners[k + 1].X - cx) / 2 - ox, cy + (p.Corners[k + 1].Y - cy) / 2 - oy};
    car.Opponents[1].Y = p.CentreY - oy + (c.Behind ? 1 : -1);
    car.Opponents[1].Touching = false;
    for (int i = 2; i <= 5; ++i) car.Opponents[i].Active = false;
    p.Speed = 100;
    p.BoostActive = false;
    p.BoostTimer = 0;
    car.Opponents[1].Speed = 50;
    p.VehicleContacts();
    EXPECT_NEAR(p.Speed, c.RiderAfter, 1e-9) << c.Behind;
    EXPECT_NEAR(car.Opponents[1].Speed, c.CarAfter, 1e-9) << c.Behind;
    EXPECT_EQ(p.BoostActive, c.Boost) << c.Behind;
    if (!c.Boost) continue;
    EXPECT_EQ(p.BoostTimer, 100);
    // The push lasts while any of its 100 ms is left.
    f.Timing.FrameTime = 99;
    p.PushTimer();
    EXPECT_TRUE(p.BoostActive);
    EXPECT_NEAR(p.Speed, 110, 1e-9);
    f.Timing.FrameTime = 1;
    p.PushTimer();
    EXPECT_FALSE(p.BoostActive);
    EXPECT_NEAR(p.Speed, 100, 1e-9);
  }
}

// Where a crash sends the bike: it slides on mirrored about the road's direction in the row five
// below the view, 38 heading units to a column of drift; the last road piece in the row decides.
TEST(RiderCrash, TheCrashHeadingMirrorsTheHeadingAboutTheRoadsDirection) {
  struct TRowCase {
    std::vector<std::pair<int, uint8_t>> Cells;  // column, code
    int Direction;                               // -1 drifting left, 1 right, 0 straight
  };
  const TRowCase cases[] = {
      {{}, 0},
      {{{300, 10}}, 0},
      {{{300, 27}}, -1},
      {{{300, 33}}, -1},
      {{{300, 39}}, 1},
      {{{300, 45}}, 1},
      {{{300, 45}, {310, 10}}, 0},
      {{{300, 10}, {310, 33}}, -1},
      {{{1, 27}, {650, 39}}, 1},
      // Lanes, the line and the drifts' far edges are no sign of the road's direction.
      {{{300, 11}, {301, 24}, {302, 28}, {303, 34}, {304, 40}, {305, 46}, {306, 12}}, 0},
  };
  TRiding g;
  TPlayer& p = g.P();
  TTrackState& t = g.F().Track;
  const int row = 1000;
  for (const TRowCase& c : cases)
    for (int heading : {0, 7, -12}) {
      for (int col = 1; col <= TrackCols; ++col) t.TrackMap(row, col) = 0;
      for (const auto& [col, code] : c.Cells) t.TrackMap(row, col) = code;
      p.Heading = heading;
      EXPECT_DOUBLE_EQ(p.RowDirection(row), 38.0 * c.Direction - heading)
          << "direction " << c.Direction << " heading " << heading;
    }
}

// After a crash the bike stands again where the first row at or below it offers a place at the
// road's right side: the right gap or the ground right of a road tile stands it straight, a drift
// piece turns it along the drift (38 steering, 19 heading), and the view is moved so that the
// bike is on the road four rows above the place found.
TEST(RiderCrash, TheRestartStandsTheBikeAlongTheRoadItFinds) {
  struct TRestartCase {
    uint8_t Cell, Left;  // the place found, and the cell left of it
    double Steer;
    int Heading, ViewCol;  // with the place in column 300
  };
  const TRestartCase cases[] = {
      {23, 0, 0, 0, 293},    {0, 11, 0, 0, 293},      {0, 12, 0, 0, 293},
      {47, 49, 38, 19, 292}, {29, 49, -38, -19, 294},
  };
  TRiding g;
  TPlayer& p = g.P();
  TTrackState& t = g.F().Track;
  for (const TRestartCase& c : cases) {
    // Row 1000 lies above the first level's track: only the planted place is in it, and the
    // rows above it hold nothing to stand on.
    for (int row = 995; row <= 1000; ++row)
      for (int col = 1; col <= TrackCols; ++col) t.TrackMap(row, col) = 49;
    t.TrackMap(1000, 299) = c.Left;
    t.TrackMap(1000, 300) = c.Cell;
    t.ViewRow = 995;
    t.ViewCol = 100;
    p.Steer = 50;
    p.Heading = 25;
    p.FindRestartPosition();
    EXPECT_DOUBLE_EQ(p.Steer, c.Steer) << int(c.Cell);
    EXPECT_EQ(p.Heading, c.Heading) << int(c.Cell);
    EXPECT_EQ(t.ViewCol, c.ViewCol) << int(c.Cell);
    EXPECT_EQ(t.ViewRow, 996) << int(c.Cell);
  }
}

// The space bar's extra brake: 0.6 against the way the bike rolls, nothing at a standstill.
TEST(RiderHandling, TheExtraBrakeWorksAgainstTheRoll) {
  TRiding g;
  TPlayer& p = g.P();
  const std::pair<double, double> cases[] = {{80, 0.6}, {0.01, 0.6}, {-0.01, -0.6}, {-8, -0.6}};
  for (const auto& [speed, decel] : cases) {
    p.Speed = speed;
    p.Decel = 0.25;
    p.ExtraBrake();
    EXPECT_DOUBLE_EQ(p.Decel, decel) << speed;
  }
  p.Speed = 0;
  p.Decel = 0.25;
  p.ExtraBrake();
  EXPECT_DOUBLE_EQ(p.Decel, 0.25);
}

// The lean: below speed 5 the bike stands up whatever is held; from 5 up a held side keeps its
// lean, which only starts to deepen once the heading has turned more than 5 units since the key
// went down.
TEST(RiderHandling, TheLeanDeepensPastFiveUnitsOfTurnAndStandsUpBelowSpeedFive) {
  struct TLeanCase {
    int Side;  // -1 left, 1 right
    double Speed;
    int Turn;  // heading units since the key went down
    int LeanAfter;
    bool Deeper;
  };
  const TLeanCase cases[] = {
      {-1, 60, 5, -1, false}, {-1, 60, 6, -1, true},   {-1, 60, -6, -1, true},
      {1, 60, -5, 1, false},  {1, 60, -6, 1, true},    {1, 60, 6, 1, true},
      {-1, 5, 6, -1, true},   {-1, 4.99, 6, 0, false}, {1, 4.99, 0, 0, false},
  };
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  for (const TLeanCase& c : cases) {
    f.Keys.Twins[2] = c.Side < 0;
    f.Keys.Twins[3] = c.Side > 0;
    p.CtlLeft = c.Side < 0;
    p.CtlRight = c.Side > 0;
    p.PrevLeft = c.Side < 0;
    p.PrevRight = c.Side > 0;
    p.Finished = false;
    if (c.Side < 0)
      p.LeanLeft();
    else
      p.LeanRight();
    p.Speed = c.Speed;
    p.LeanStartHeading = 20;
    p.Heading = 20 + c.Turn;
    p.UpdateLean();
    EXPECT_EQ(p.LeanState, c.LeanAfter) << c.Side << " " << c.Speed << " " << c.Turn;
    if (c.LeanAfter != 0) {
      if (c.Deeper) {
        EXPECT_LT(p.AnimPos, 5.5) << c.Side << " " << c.Speed << " " << c.Turn;
      } else {
        EXPECT_DOUBLE_EQ(p.AnimPos, 5.5) << c.Side << " " << c.Speed << " " << c.Turn;
      }
    }
  }
}

TEST(RiderLives, AnExtraLifeNeverGoesAboveThree) {
  TRiding g;
  TFormState& f = g.F();
  f.Race.Lives = 3;
  g.P().AddLife(1);
  EXPECT_EQ(f.Race.Lives, 3);
  f.Race.Lives = 2;
  g.P().AddLife(2);
  EXPECT_EQ(f.Race.Lives, 2);
  g.P().AddLife(1);
  EXPECT_EQ(f.Race.Lives, 3);
}

}  // namespace
}  // namespace zw
