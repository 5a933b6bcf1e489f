// Scenario tests: the real game run headless from scripts, checked the way a player would see it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "rider/player.hpp"
#include "shell/form.hpp"
#include "shell/form_state.hpp"
#include "shell/race_figures.hpp"
#include "tests/scenario_support.hpp"

namespace zw {
namespace {

using test::TGame;

TEST(ScenarioMenu, StartsOnTheMainMenuWithItsFlyIn) {
  TGame g;
  EXPECT_EQ(g.S().Menu.CurrentScreen, 1);
  EXPECT_TRUE(g.S().Menu.MenuIntro);
  EXPECT_EQ(g.CountSounds("play", 0), 1);
  EXPECT_EQ(g.S().MusicHandle != 0, true);
  // A click during the fly-in only clicks.
  g.Run("click\nframes 1\n");
  EXPECT_EQ(g.CountSounds("play", 2), 1);
  EXPECT_EQ(g.S().Menu.CurrentScreen, 1);
  g.Run("frames 70\n");
  EXPECT_FALSE(g.S().Menu.MenuIntro);
  EXPECT_EQ(g.S().Menu.MenuIndex, 1);
}

TEST(ScenarioMenu, KeysMoveTheSelectionWithOneClickEach) {
  TGame g;
  g.Run("frames 70\npress Up\nframes 1\n");
  EXPECT_EQ(g.S().Menu.MenuIndex, 6);
  EXPECT_EQ(g.CountSounds("play", 1), 1);
  g.Run("press Down\nframes 1\npress Down\nframes 1\n");
  EXPECT_EQ(g.S().Menu.MenuIndex, 2);
  EXPECT_EQ(g.CountSounds("play", 1), 3);
}

TEST(ScenarioMenu, TheCloseBoxAsksAndYesEndsTheGame) {
  TGame g;
  g.Run("frames 70\nclose\nframes 1\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 1);
  EXPECT_EQ(g.S().Menu.MenuIndex, 12);  // No is preselected
  g.Run("press Return\nframes 1\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 0);
  EXPECT_FALSE(g.S().Terminated);
  g.Run("press Escape\nframes 1\npress Left\nframes 1\n");
  EXPECT_EQ(g.S().Menu.MenuIndex, 11);
  g.Run("press Return\n");
  EXPECT_TRUE(g.S().Terminated);
  EXPECT_TRUE(std::filesystem::exists("Data/Save/options"));
  EXPECT_TRUE(std::filesystem::exists("Data/Save/hs"));
}

TEST(ScenarioRace, TheLevelBannerThenRiding) {
  TGame g;
  g.Run("race 1\n");
  EXPECT_EQ(g.S().Menu.CurrentScreen, 6);
  EXPECT_EQ(g.S().Menu.ActiveDialog, 6);
  EXPECT_EQ(g.S().Race.Level, 1);
  EXPECT_EQ(g.S().Race.Lives, 3);
  EXPECT_EQ(g.S().Race.RaceClock, 45000);
  // 2000 ms at the measured frame time: the banner closes on the frame it cannot take more.
  g.Run("frames 150\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 6);
  g.Run("frames 40\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 0);
  const int32_t before = g.S().Race.RaceClock;
  g.Run("keydown Up\nframes 100\n");
  EXPECT_LT(g.S().Race.RaceClock, before);
  EXPECT_GT(g.S().Race.Player->Speed, 10);
}

TEST(ScenarioRace, PauseAndTheExitQuestion) {
  TGame g;
  g.Run("race 2\nframes 200\npress P\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 5);
  g.Run("frames 5\npress P\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 0);
  // Esc ends the pause as P does, and asks nothing more; no other key ends it.
  g.Run("frames 2\npress P\n");
  ASSERT_EQ(g.S().Menu.ActiveDialog, 5);
  for (const char* key : {"Y", "N", "Return", "Space", "Left", "Right", "Up", "Down"}) {
    g.Run(std::string("press ") + key + "\nframes 2\n");
    EXPECT_EQ(g.S().Menu.ActiveDialog, 5) << key;
  }
  g.Run("press Escape\nframes 2\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 0);
  EXPECT_EQ(g.S().Menu.CurrentScreen, 6);
  // P and Esc in one frame: only the exit question.
  g.Run("keydown P\nkeydown Escape\nframes 1\nkeyup P\nkeyup Escape\nframes 1\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 2);
  EXPECT_EQ(g.S().Menu.MenuIndex, 12);
  g.Run("press Left\npress Left\n");
  EXPECT_EQ(g.S().Menu.MenuIndex, 11);
  g.Run("press Right\n");
  EXPECT_EQ(g.S().Menu.MenuIndex, 12);
  g.Run("press Return\nframes 1\n");
  EXPECT_EQ(g.S().Menu.ActiveDialog, 0);
  EXPECT_EQ(g.S().Menu.CurrentScreen, 6);
}

// The race panel's readouts as drawn: the clock, score, lives and speed wells.
struct THudReadouts {
  std::string Level, Clock, Score, Lives, Speed;
};
THudReadouts DrawnHud(TMForm& f) {
  std::vector<TMForm::TDrawnText> log;
  f.TextLog = &log;
  f.DrawHUD();
  f.TextLog = nullptr;
  THudReadouts h;
  for (const auto& t : log) {
    if (t.Style == 6 && t.Y < 100) h.Level = t.Text;
    if (t.Style != 18) continue;
    (t.Y < 100 ? h.Clock : t.Y < 300 ? h.Score : t.Y < 400 ? h.Lives : h.Speed) = t.Text;
  }
  return h;
}

// A second game from the menu owes nothing to the first: whether the first ended in a lost
// last life through the name entry or was quit with a score too low for the table, the next
// starts at level 1 with no points, three lives and the full clock, and the panel says so.
TEST(ScenarioRace, ASecondGameStartsAfreshAfterOneThatScored) {
  for (const bool lost : {true, false}) {
    SCOPED_TRACE(lost ? "after a lost game" : "after a game quit");
    TGame g;
    TMForm& f = g.F();
    g.Run("race 1\nframes 200\nlevel 4\nset RaceScore 4100\nset RaceClock 100\n");
    if (lost) {
      g.Run("set Lives 1\n");
      for (int i = 0; i < 2000 && f.Menu.ActiveDialog != 8; ++i) g.Run("frames 1\n");
      ASSERT_EQ(f.Menu.ActiveDialog, 8) << "no name entry after the game over";
      g.Run("type ACE\npress Return\nframes 1\npress N\nframes 3\n");
      ASSERT_EQ(f.Menu.CurrentScreen, 4);
    } else {
      for (int i = 1; i <= 10; ++i) f.HighScores[static_cast<size_t>(i)].Score = 9000000;
      g.Run("set Lives 2\npress Escape\nframes 2\npress Y\nframes 3\n");
      ASSERT_EQ(f.Menu.CurrentScreen, 1) << "a score the table does not take goes to the menu";
    }
    ASSERT_EQ(f.Race.RaceScore, 4100);
    g.Run("race 2\nframes 1\n");
    EXPECT_EQ(f.Race.RaceScore, 0);
    EXPECT_EQ(f.Race.Lives, 3);
    EXPECT_EQ(f.Race.Level, 1);
    EXPECT_EQ(f.Race.RaceClock, 45000);
    const THudReadouts h = DrawnHud(f);
    EXPECT_EQ(h.Score, "0");
    EXPECT_EQ(h.Lives, "3");
    EXPECT_EQ(h.Level, "LEVEL 1 / 10");
    EXPECT_EQ(h.Clock, "00 : 45");
  }
}

// The speed well reads the bike's speed times 1.9, to the nearest whole number with halves to
// the even one, and 0 when standing or rolling back: worked out here by hand, at a standstill,
// at the halves, at each bike's top speed and beyond it under a push from behind.
TEST(ScenarioHud, TheSpeedReadoutIsTheSpeedTimesOnePointNine) {
  TGame g;
  g.Run("race 1\nframes 200\n");
  TMForm& f = g.F();
  ASSERT_NE(f.Race.Player, nullptr);
  const std::pair<double, const char*> cases[] = {{0, "0"},
                                                  {-8, "0"},
                                                  {-0.5, "0"},
                                                  {0.1, "0"},
                                                  {0.25, "0"},
                                                  {0.3, "1"},
                                                  {1, "2"},
                                                  {5, "10"},
                                                  {15, "28"},
                                                  {25, "48"},
                                                  {35, "66"},
                                                  {50, "95"},
                                                  {80, "152"},
                                                  {100, "190"},
                                                  {120, "228"},
                                                  {152.727272727, "290"},
                                                  {155.636363636, "296"},
                                                  {157.090909091, "298"},
                                                  {160, "304"},
                                                  {170, "323"}};
  for (const auto& [speed, text] : cases) {
    f.Race.Player->Speed = speed;
    EXPECT_EQ(DrawnHud(f).Speed, text) << "at speed " << speed;
  }
}

TEST(ScenarioRace, TheClockTicksInItsLastTenSecondsAndTimeOverCostsALife) {
  TGame g;
  g.Run("race 1\nframes 200\n");
  TFormState& f = g.S();
  f.Race.RaceClock = 10000 + 5 * f.Timing.FrameTime;
  const size_t logBefore = g.Runner.Headless.Audio.Log.size();
  g.Run("frames 4\n");
  int ticks = 0;
  for (size_t i = logBefore; i < g.Runner.Headless.Audio.Log.size(); ++i)
    ticks +=
        g.Runner.Headless.Audio.Log[i].Op == "play" && g.Runner.Headless.Audio.Log[i].Index == 18;
  EXPECT_EQ(ticks, 0);  // still at or above ten seconds
  // The tick sounds on the first frame that finds the clock below ten seconds.
  g.Run("frames 2\n");
  EXPECT_EQ(g.CountSounds("play", 18), 0);
  g.Run("frames 1\n");
  EXPECT_EQ(g.CountSounds("play", 18), 1);
  f.Race.RaceClock = 5;
  g.Run("frames 1\n");
  EXPECT_EQ(f.Race.RaceClock, 5);
  EXPECT_TRUE(f.Race.Player->TimeUp);
  g.Run("frames 200\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 3);
  EXPECT_EQ(f.Race.Lives, 2);
  g.Run("frames 300\n");
  EXPECT_NE(f.Menu.ActiveDialog, 3);
  EXPECT_EQ(f.Race.Level, 1);
  EXPECT_GT(f.Race.RaceClock, 40000);  // a full clock again, a new track
  EXPECT_FALSE(f.Race.Player->TimeUp);
}

// A game running at one frame a second passes a whole second every frame: the tick comes on the
// frame the clock shows exactly ten seconds.
TEST(ScenarioRace, AtOneFrameASecondTheTickComesAtTenSeconds) {
  TGame g;
  g.Run("race 1\nframes 200\nframetime 1000\nframes 3\n");
  TFormState& f = g.S();
  ASSERT_EQ(f.Timing.FrameTime, 1000);
  f.Race.RaceClock = 11000;
  g.Run("frames 1\n");
  const int ticksBefore = g.CountSounds("play", 18);
  ASSERT_EQ(f.Race.RaceClock, 10000);
  g.Run("frames 1\n");
  EXPECT_EQ(g.CountSounds("play", 18), ticksBefore + 1);
}

// Time is up once what is left is no more than one frame and a millisecond.
TEST(ScenarioRace, TimeIsUpWithAFrameAndAMillisecondLeft) {
  TGame g;
  g.Run("race 1\nframes 200\n");
  TFormState& f = g.S();
  const int32_t ft = f.Timing.FrameTime;
  f.Race.RaceClock = 2 * ft + 2;
  g.Run("frames 1\n");
  ASSERT_EQ(f.Race.RaceClock, ft + 2);
  EXPECT_FALSE(f.Race.Player->TimeUp);
  f.Race.RaceClock = 2 * ft + 1;
  g.Run("frames 1\n");
  ASSERT_EQ(f.Race.RaceClock, ft + 1);
  EXPECT_TRUE(f.Race.Player->TimeUp);
}

TEST(ScenarioRace, TimeOverWithTheLastLifeEndsTheGame) {
  TGame g;
  g.Run("race 1\nframes 200\n");
  TFormState& f = g.S();
  f.Race.Lives = 1;
  f.Race.RaceClock = 5;
  g.Run("frames 200\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 7);
  EXPECT_EQ(f.Race.Lives, 0);
  g.Run("frames 300\n");
  // Score 0 does not qualify: back to the main menu.
  EXPECT_EQ(f.Menu.CurrentScreen, 1);
  EXPECT_EQ(f.Menu.ActiveDialog, 0);
}

TEST(ScenarioRace, TheTallyCountsTheTimeLeftAndGoesOnToTheNextLevel) {
  TGame g;
  g.Run("race 1\nframes 200\n");
  TFormState& f = g.S();
  f.Race.RaceClock = 12300;
  f.Race.RacePosition = 1;
  f.Race.Player->Finished = true;
  g.Run("frames 400\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 11);
  EXPECT_EQ(f.Race.BonusPoints, 800);
  // Five lines a second apart, the time counted at ten times speed, a two-second pause.
  g.Run("frames 300\n");
  EXPECT_EQ(f.Race.TimeBonus, 60);
  EXPECT_EQ(f.Race.RaceScore, 860);
  EXPECT_EQ(f.Race.Level, 2);
  EXPECT_EQ(f.Menu.ActiveDialog, 6);
  // The next level's tally starts from nothing: its own place and its own time left are paid,
  // never the last level's bonuses again (7.4 s left: seven whole seconds, 35 points; the
  // fraction of a second is worth nothing).
  g.Run("frames 200\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 0) << "level 2 should be under way";
  f.Race.RaceClock = 7400;
  f.Race.RacePosition = 3;
  f.Race.Player->Finished = true;
  for (int i = 0; i < 400 && f.Menu.ActiveDialog != 11; ++i) g.Run("frames 1\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 11);
  EXPECT_EQ(f.Race.TimeBonus, 0);
  EXPECT_EQ(f.Race.BonusPoints, 400);
  const int32_t before = f.Race.RaceScore;
  for (int i = 0; i < 1000 && f.Menu.ActiveDialog == 11; ++i) g.Run("frames 1\n");
  EXPECT_EQ(f.Race.TimeBonus, 35);
  EXPECT_EQ(f.Race.RaceScore, before + 400 + 35);
  EXPECT_EQ(f.Race.Level, 3);
}

// Every timed step of a game, as a player counts it: how long each banner and message stays up,
// how long the bike waits standing before the tally or the time-over message, how far apart the
// tally's lines come and how long its total stands. Each is counted in frames of the measured
// frame time and must last its own time, no frame shorter and at most two longer.
TEST(ScenarioRace, EveryTimedStepLastsItsOwnTime) {
  TGame g;
  TFormState& f = g.S();
  // The milliseconds of the frames run until the condition no longer holds (each frame counts
  // the frame time it was given), at most a minute of them.
  auto lasting = [&](auto holds) {
    int ms = 0;
    while (holds() && ms < 60000) {
      ms += f.Timing.FrameTime;
      g.Run("frames 1\n");
    }
    return ms;
  };
  auto expectLasts = [&](const char* what, int ms, int counted) {
    EXPECT_GE(counted, ms) << what;
    EXPECT_LE(counted, ms + 2 * f.Timing.FrameTime) << what;
  };
  auto open = [&](int kind) { return [&f, kind] { return f.Menu.ActiveDialog == kind; }; };
  g.Run("race 1\n");
  expectLasts("level banner", 2000, lasting(open(6)));
  auto rolling = [&f] { return f.Race.Player->Speed > 0; };
  // Time up while riding: the bike rolls to a halt, waits a second, then the time-over message
  // stands for three.
  f.Race.Player->Speed = 20;
  f.Race.RaceClock = 5;
  lasting(rolling);
  ASSERT_TRUE(f.Race.Player->TimeUp);
  ASSERT_EQ(f.Menu.ActiveDialog, 0);
  expectLasts("wait after the time ran out", 1000, lasting(open(0)));
  expectLasts("time over", 3000, lasting(open(3)));
  ASSERT_EQ(f.Menu.ActiveDialog, 6);
  lasting(open(6));
  // Finished at a standstill: two seconds' wait, then the tally.
  f.Race.RaceClock = 3000;
  f.Race.RacePosition = 2;
  f.Race.Player->Finished = true;
  f.Race.Player->Speed = 20;
  lasting(rolling);
  expectLasts("wait after the finish", 2000, lasting(open(0)));
  ASSERT_EQ(f.Menu.ActiveDialog, 11);
  // The tally's lines one second apart, the first on its first frame.
  EXPECT_EQ(lasting([&f] { return f.Race.TallyStep < 1; }), f.Timing.FrameTime);
  for (int step = 2; step <= 5; ++step)
    expectLasts("a tally line", 1000, lasting([&f, step] { return f.Race.TallyStep < step; }));
  // Three seconds left count down at ten times speed from the fifth line's frame on, then the
  // total stands for two seconds.
  expectLasts("the time left counted", 300,
              f.Timing.FrameTime + lasting([&f] { return f.Race.TallyTimeLeft >= 0; }));
  EXPECT_EQ(f.Race.TimeBonus, 15);
  expectLasts("the tally's total", 2000, lasting(open(11)));
  EXPECT_EQ(f.Race.RaceScore, 600 + 15);
  EXPECT_EQ(f.Race.Level, 2);
  lasting(open(6));
  // Game over stands three seconds.
  f.Race.Lives = 1;
  f.Race.RaceClock = 5;
  lasting(open(0));
  ASSERT_EQ(f.Menu.ActiveDialog, 7);
  expectLasts("game over", 3000, lasting(open(7)));
  EXPECT_EQ(f.Menu.CurrentScreen, 1);
}

TEST(ScenarioRace, NameEntryPutsAQualifyingScoreInTheTable) {
  TGame g;
  g.Run("race 1\nframes 200\n");
  TFormState& f = g.S();
  f.Race.RaceScore = 12345;
  g.Run("press Escape\npress Left\npress Return\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 8);
  g.Run("type Ace!Rider_123456789\nframes 1\n");
  EXPECT_EQ(f.Dialog.PlayerName, "AceRider1234");
  g.Run("press Backspace\nframes 1\npress Return\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 9);
  EXPECT_EQ(f.Menu.MenuIndex, 11);  // sending is preselected
  // A new best goes to the top and pushes the old first place down.
  EXPECT_EQ(f.HighScores[1].Score, 12345);
  EXPECT_EQ(f.HighScores[1].Name, "AceRider123");
  EXPECT_EQ(f.HighScores[2].Score, 10000);
  g.Run("press N\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 4);
}

TEST(ScenarioRace, AfterTheLastLevelComeTheCongratulations) {
  TGame g;
  g.Run("race 1\nlevel 10\nframes 200\n");
  TFormState& f = g.S();
  f.Race.RaceClock = 1000;
  f.Race.Player->Finished = true;
  int frames = 0;
  while (f.Menu.ActiveDialog != 12 && frames < 3000) {
    g.Run("frames 1\n");
    ++frames;
  }
  ASSERT_EQ(f.Menu.ActiveDialog, 12);
  EXPECT_EQ(g.CountSounds("play", 21), 1);
  // 3.2 s of congratulations, then the menu (a score of a few hundred does not qualify).
  g.Run("frames 280\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 12);
  g.Run("frames 20\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 1);
}

TEST(ScenarioRace, RidingIntoTheBarrierCostsALifeAndRestartsOnTheRoad) {
  TGame g;
  g.Run("race 1\nframes 200\nkeydown Up\nframes 60\nkeydown Right\n");
  TFormState& f = g.S();
  int frames = 0;
  while (!f.Race.Player->Crashed && frames < 600) {
    g.Run("frames 1\n");
    ++frames;
  }
  ASSERT_TRUE(f.Race.Player->Crashed);
  EXPECT_EQ(f.Race.Lives, 2);
  EXPECT_EQ(g.CountSounds("play", 20), 1);
  g.Run("keyup Right\nkeyup Up\nframes 250\n");
  EXPECT_TRUE(f.Race.Player->Crashed);  // the crash lasts 3000 ms
  g.Run("frames 50\n");
  EXPECT_FALSE(f.Race.Player->Crashed);
  g.Run("frames 2\n");
  EXPECT_TRUE(f.Race.Player->OnRoad || f.Race.Player->AllCornersOnRoad());
}

TEST(ScenarioRunner, TheSameScriptGivesTheSameBytes) {
  std::string out[2][2];
  for (int run = 0; run < 2; ++run) {
    TGame g("seed 99\n");
    g.Run(
        "race 2\nframes 200\nkeydown Up\nkeydown Left\nframes 150\nshot shot.png\nstate "
        "state.json\n");
    for (int k = 0; k < 2; ++k) {
      std::ifstream in(k ? "state.json" : "shot.png", std::ios::binary);
      out[run][k] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  EXPECT_FALSE(out[0][0].empty());
  EXPECT_EQ(out[0][0], out[1][0]);
  EXPECT_EQ(out[0][1], out[1][1]);
}

TEST(ScenarioTools, ThePackToolFailsCleanlyOnABadPack) {
  test::TRunDir dir;
  std::ofstream("bad.gpk", std::ios::binary) << "not a pack at all";
  const std::string tool = std::string(ZW_RUN_DIR) + "/zapwheely-pack";
#ifdef _WIN32
  const int status = std::system((tool + " list bad.gpk 2>err.txt").c_str());  // the exit code
#else
  const int status = std::system((tool + " list bad.gpk 2>err.txt").c_str()) >> 8;
#endif
  EXPECT_EQ(status, 1);
  std::ifstream err("err.txt");
  const std::string text((std::istreambuf_iterator<char>(err)), {});
  EXPECT_NE(text.find("Invalid stream format"), std::string::npos);
  EXPECT_EQ(std::system((tool + " list Data/Res/Res2.gpk >list.txt").c_str()), 0);
  std::ifstream list("list.txt");
  std::string line;
  std::getline(list, line);
  std::getline(list, line);
  EXPECT_NE(line.find("pattern=72x72"), std::string::npos);
  EXPECT_NE(line.find("patterns=74"), std::string::npos);
}

TEST(ScenarioDisplay, MinimisingOrSwitchingModesInARaceLeavesItPaused) {
  TGame g;
  g.Run("race 1\n");
  TFormState& f = g.S();
  // During the level banner Alt+Enter switches the mode but keeps the banner.
  g.Run("keydown Alt\npress Return\nkeyup Alt\nframes 1\n");
  EXPECT_TRUE(f.GameOptions.FullScreen);
  EXPECT_TRUE(g.Runner.Headless.Display.FullScreen);
  EXPECT_EQ(f.Menu.ActiveDialog, 6);
  g.Run("frames 200\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 0);
  g.Run("keydown Alt\npress Return\nkeyup Alt\nframes 1\n");
  EXPECT_FALSE(f.GameOptions.FullScreen);
  EXPECT_EQ(f.Menu.ActiveDialog, 5);
  g.Run("press P\nframes 1\nminimise\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 5);
}

TEST(ScenarioDisplay, TheBossKeyHidesTheGameAndTheMusicWaitsForADialog) {
  TGame g;
  g.Run("frames 70\nkeydown Alt\npress F9\nkeyup Alt\nframes 1\n");
  TFormState& f = g.S();
  EXPECT_TRUE(g.Runner.Headless.Display.Minimised);
  EXPECT_EQ(f.MusicHandle, 0);
  EXPECT_TRUE(f.Keys.MusicRestartPending);
  // Moving to a sub-screen and back does not bring the tune back; a closed dialog does.
  g.Run("press Down\nframes 1\npress Escape\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 1);
  EXPECT_EQ(f.MusicHandle, 0);
  g.Run("press N\nframes 1\n");
  EXPECT_FALSE(f.Keys.MusicRestartPending);
  EXPECT_NE(f.MusicHandle, 0);
}

TEST(ScenarioHud, TheClockReadsMinutesAndSecondsAtEveryDigitBoundary) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "00 : 00"},      {999, "00 : 00"},    {1000, "00 : 01"},   {9999, "00 : 09"},
      {10000, "00 : 10"},  {59999, "00 : 59"},  {60000, "01 : 00"},  {307000, "05 : 07"},
      {599999, "09 : 59"}, {600000, "10 : 00"}, {610000, "10 : 10"}, {5999999, "99 : 59"}};
  for (const auto& [ms, text] : cases) EXPECT_EQ(ClockText(ms), text) << ms;
}

TEST(ScenarioRace, EveryPlaceHasItsPrize) {
  const int32_t prizes[8] = {0, 800, 600, 400, 300, 200, 100, 0};
  for (int place = 0; place <= 7; ++place)
    EXPECT_EQ(PositionPrizeFor(place), prizes[place]) << place;
}

TEST(ScenarioRunner, AScriptErrorNamesItsLine) {
  test::TRunDir dir;
  TScriptRunner r;
  std::string error;
  EXPECT_NE(r.Run("seed 1\nframes 2\nwobble\n", error), 0);
  EXPECT_NE(error.find("line 3"), std::string::npos);
}

}  // namespace
}  // namespace zw
