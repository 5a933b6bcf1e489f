// Tests of the race's finer rules: the pause key, the finish and the roll-out, the lean, the radar
// and the bonuses at the screen's edge.
#include <gtest/gtest.h>

#include "rider/player.hpp"
#include "shell/form_state.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"
#include "world/scroll_background.hpp"

namespace zw {
namespace {

struct TRiding {
  test::TRunDir Dir;
  TScriptRunner R;
  explicit TRiding(int bike = 1) {
    std::string e;
    EXPECT_EQ(
        R.Run("seed 31\nrefresh 85\nframetime 12\nrace " + std::to_string(bike) + "\nframes 200\n",
              e),
        0)
        << e;
  }
  TFormState& F() { return R.State(); }
  TPlayer& P() { return *R.State().Race.Player; }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
};

TEST(RaceDialogs, HoldingPauseDoesNotCloseItAgain) {
  TRiding g;
  TFormState& f = g.F();
  g.Run("keydown P\nframes 30\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 5);
  g.Run("keyup P\nframes 2\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 5);
  g.Run("press P\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 0);
  // While paused the world stands still and the clock does not run.
  g.Run("press P\n");
  const int32_t clock = f.Race.RaceClock;
  const int32_t row = f.Track.ViewRow;
  g.Run("frames 100\n");
  EXPECT_EQ(f.Race.RaceClock, clock);
  EXPECT_EQ(f.Track.ViewRow, row);
}

TEST(RaceDialogs, TheExitQuestionWithNothingSelected) {
  TRiding g;
  TFormState& f = g.F();
  g.Run("press Escape\nframes 1\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 2);
  f.Menu.MenuIndex = 0;  // the mouse moved off both buttons
  g.Run("press Left\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 11);
  f.Menu.MenuIndex = 0;
  g.Run("press Right\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 12);
  // No: the race goes on, and the engine starts again.
  g.Run("press N\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 0);
  EXPECT_EQ(f.Menu.CurrentScreen, 6);
}

TEST(RaceDialogs, AnEmptyNameIsStoredEmpty) {
  TRiding g;
  TFormState& f = g.F();
  f.Race.RaceScore = 9500;
  f.Dialog.PlayerName.clear();
  g.Run("press Escape\nframes 1\npress Y\nframes 1\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 8);
  g.Run("press Backspace\nframes 1\npress Return\nframes 2\n");
  EXPECT_EQ(f.HighScores[2].Name, "");
  EXPECT_EQ(f.HighScores[2].Score, 9500);
  EXPECT_EQ(f.Menu.ActiveDialog, 9);
}

TEST(RaceFinish, CrossingTheLineRollsOutThenTallies) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  p.Speed = 100;
  p.Finished = true;
  // The roll-out: 0.8 a frame unit off the speed, the steering straight on a straight row.
  g.Run("frames 1\n");
  EXPECT_TRUE(p.EndSequence);
  EXPECT_TRUE(p.SndIdle);
  EXPECT_NEAR(p.Speed, 100 - 0.8 * f.Timing.SpeedFactor, 1e-9);
  g.Run("frames 200\n");
  EXPECT_DOUBLE_EQ(p.Speed, 0);
  // Standing, it waits two seconds before the tally.
  EXPECT_EQ(f.Menu.ActiveDialog, 0);
  int frames = 0;
  while (f.Menu.ActiveDialog != 11 && frames < 400) {
    g.Run("frames 1\n");
    ++frames;
  }
  EXPECT_EQ(f.Menu.ActiveDialog, 11);
  EXPECT_GT(frames, 60);
  EXPECT_EQ(f.Race.TallyTimeLeft, f.Race.RaceClock);  // the time left goes into the tally
}

TEST(RaceFinish, TheFinishRowPassingBelowTheBikeSetsFinished) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  // Put the finish row just above the bike, then let the world scroll it under.
  f.Track.ViewRow = 1550 - f.Track.TrackLength - 5;
  f.Race.Background->Y = -10;
  g.Run("frames 1\n");
  EXPECT_FALSE(p.Finished);
  f.Track.ViewRow -= 1;
  g.Run("frames 1\n");
  EXPECT_TRUE(p.Finished);
}

TEST(RaceLean, TheLeanDeepensWithSpeedAndNeverSwitchesSides) {
  TRiding g;
  TPlayer& p = g.P();
  g.Run("keydown Up\nframes 400\nkeydown Left\nframes 60\n");
  EXPECT_EQ(p.LeanState, -1);
  EXPECT_LT(p.AnimPos, 5.5);
  EXPECT_GE(p.AnimPos, std::max(0.0, 5.5 - p.Speed / 35) - 1e-9);
  // Right while leaning left: first back upright, then over to the right.
  g.Run("keyup Left\nkeydown Right\nframes 1\n");
  EXPECT_EQ(p.LeanState, -1);
  int frames = 0;
  while (p.LeanState != 1 && frames < 300) {
    g.Run("frames 1\n");
    ++frames;
  }
  EXPECT_EQ(p.LeanState, 1);
  EXPECT_GT(frames, 5);
}

TEST(RaceRadar, StraightRoadAndTheLines) {
  TRiding g;
  TFormState& f = g.F();
  TPlayer& p = g.P();
  // At the start view the radar rows show the straight road and the start line.
  f.Track.ViewRow = 1470;
  f.Track.ViewCol = 318;
  p.DrawRadar();
  for (int r = 1; r <= 12; ++r) {
    int cells = 0, sixes = 0, sevens = 0;
    for (int c = 1; c <= 16; ++c) {
      cells += p.RadarGrid[c][r] != 0;
      sixes += p.RadarGrid[c][r] == 6;
      sevens += p.RadarGrid[c][r] == 7;
    }
    const int row = f.Track.ViewRow + r;
    if (row == 1479) {
      EXPECT_EQ(sevens, 1) << row;
      // One column to the right of the line's first cell.
      EXPECT_EQ(p.RadarGrid[321 - 318 + 1][r], 7);
    } else if (row <= 1499) {
      EXPECT_EQ(cells, 1) << row;
      EXPECT_EQ(sixes, 1) << row;
    } else {
      EXPECT_EQ(cells, 0) << row;  // beyond the map's last row
    }
  }
}

TEST(RaceBonuses, PartlyOffTheScreenCanBeTakenFurtherOffCannot) {
  TRiding g;
  TFormState& f = g.F();
  TBonus& b = *f.Race.Bonus;
  for (int i = 1; i <= 400; ++i) b.BonusActive[i] = false;
  // The rider's sprite covers x 400..463: a box at x -15 is partly off the screen and far from
  // the rider, so it stays; the point test finds only the rider.
  b.BonusActive[1] = true;
  b.BonusKind[1] = 1;
  b.BonusCol[1] = f.Track.ViewCol - 1;  // box at 72 x -1 + 19 = -53: beyond -20, never tested
  b.BonusRow[1] = f.Track.ViewRow + 5;
  b.BonusActive[2] = true;
  b.BonusKind[2] = 4;
  b.BonusCol[2] = f.Track.ViewCol + 5;
  b.BonusRow[2] = f.Track.ViewRow + 5;
  f.Race.RaceScore = 0;
  g.Run("frames 1\n");
  EXPECT_TRUE(b.BonusActive[1]);
  EXPECT_FALSE(b.BonusActive[2]);
  EXPECT_EQ(f.Race.RaceScore, 100);
  // An opponent over a bonus does not take it.
  TCar& car = *f.Race.Car;
  b.BonusActive[3] = true;
  b.BonusKind[3] = 2;
  b.BonusCol[3] = f.Track.ViewCol + 2;
  b.BonusRow[3] = f.Track.ViewRow + 1;
  car.Opponents[1].Left = 72.0 * (f.Track.ViewCol + 2) + 10;
  car.Opponents[1].Top = 72.0 * (f.Track.ViewRow + 1) + 5;
  g.Run("frames 1\n");
  EXPECT_TRUE(b.BonusActive[3]);
}

TEST(RaceOpponents, LaneOffsetsSnapBackInsideTheRoad) {
  TRiding g;
  TFormState& f = g.F();
  TCar& car = *f.Race.Car;
  car.Opponents[1].LaneOffset = 95;
  g.Run("frames 1\n");
  EXPECT_LE(car.Opponents[1].LaneOffset, 90);
  car.Opponents[1].LaneOffset = -85;
  g.Run("frames 1\n");
  EXPECT_GE(car.Opponents[1].LaneOffset, -80);
  // Beyond the line fifty rows above the track the opponents stand still.
  car.Opponents[1].Top = 72.0 * (1450 - f.Track.TrackLength) - 200;
  car.Opponents[1].Speed = 120;
  g.Run("frames 1\n");
  EXPECT_DOUBLE_EQ(car.Opponents[1].Speed, 0);
  EXPECT_DOUBLE_EQ(car.Opponents[1].Step, 0);
}

}  // namespace
}  // namespace zw
