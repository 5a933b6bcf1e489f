// Tests of what must never cost the player data or put the game in a wrong place: an end ordered
// by the system, the boss key and country on the options screen, a restart by the start line,
// opponents past the top of the track, and a damaged pack at start-up.
#include <gtest/gtest.h>

#include <fstream>

#include "rider/player.hpp"
#include "save/save_files.hpp"
#include "save/saved_state.hpp"
#include "shell/form_state.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "traffic/car.hpp"

namespace zw {
namespace {

struct TGame {
  test::TRunDir Dir;
  TScriptRunner R;
  TGame() { Run("seed 5\nrefresh 85\nframetime 12\n"); }
  TFormState& F() { return R.State(); }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
  std::vector<std::string> Options() {
    std::vector<std::string> lines;
    ReadLines("Data/Save/options", lines);
    return lines;
  }
};

// From the main menu, two steps down to the options tab, and in.
const char* const ToOptions =
    "frames 60\npress Down\nframes 1\npress Down\nframes 1\n"
    "press Return\nframes 2\n";

TEST(Terminate, EndsAtOnceFromEveryScreenAndDialogAndSavesBoth) {
  struct TCase {
    const char* Name;
    const char* Setup;
    int Dialog;  // the dialog open when the end is ordered
  };
  const TCase cases[] = {
      {"main menu", "frames 60\n", 0},
      {"exit question", "frames 60\nclose\nframes 2\n", 1},
      {"options", ToOptions, 0},
      {"race", "race 2\nframes 400\n", 0},
      {"pause in a race", "race 2\nframes 400\npress P\nframes 2\n", 5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TGame g;
    g.Run(c.Setup);
    ASSERT_FALSE(g.F().Terminated);
    ASSERT_EQ(g.F().Menu.ActiveDialog, c.Dialog);
    g.F().GameOptions.Country = "Ended";
    g.Run("terminate\nframes 1\n");
    EXPECT_TRUE(g.F().Terminated);
    EXPECT_EQ(g.F().ExitCode, 0);
    const auto options = g.Options();
    ASSERT_EQ(options.size(), 7u);
    EXPECT_EQ(options[3], "Ended");
    EXPECT_TRUE(std::filesystem::exists("Data/Save/hs"));
    // The pair written passes its own check at the next start.
    test::TFormFixture next;
    LoadSavedState(next.State());
    EXPECT_TRUE(HighScoreCheckValid(next.State()));
    EXPECT_EQ(next.State().GameOptions.Country, "Ended");
  }
}

// A logout while the player types a name keeps the result with the name typed so far, and an
// empty name as the table's usual one; nothing else is offered on the way out.
TEST(Terminate, DuringNameEntryTheResultIsKept) {
  for (const std::string typed : {"AMY", ""}) {
    SCOPED_TRACE("typed \"" + typed + "\"");
    TGame g;
    g.Run(
        "race 4\nframes 200\nset RaceScore 7350\npress Escape\nframes 1\npress Left\n"
        "frames 1\npress Return\nframes 2\n");
    ASSERT_EQ(g.F().Menu.ActiveDialog, 8);
    if (!typed.empty()) g.Run("type " + typed + "\nframes 1\n");
    g.Run("terminate\nframes 1\n");
    ASSERT_TRUE(g.F().Terminated);
    test::TFormFixture next;
    LoadSavedState(next.State());
    ASSERT_TRUE(HighScoreCheckValid(next.State()));
    const auto& table = next.State().HighScores;
    EXPECT_EQ(table[4].Name, typed.empty() ? "ANONYMOUS" : typed);
    EXPECT_EQ(table[4].Score, 7350);
    EXPECT_EQ(table[5].Score, 7000);
    EXPECT_EQ(table[10].Score, 2000);
  }
}

TEST(Terminate, TheCloseBoxStillOnlyAsks) {
  TGame g;
  g.Run("frames 60\nclose\nframes 2\n");
  EXPECT_FALSE(g.F().Terminated);
  EXPECT_EQ(g.F().Menu.ActiveDialog, 1);
}

TEST(OptionsScreen, LeavingDuringACaptureKeepsTheBossKey) {
  TGame g;
  g.Run(ToOptions);
  ASSERT_EQ(g.F().Menu.CurrentScreen, 3);
  // Capture started on item 11, then Esc leaves the screen while it waits.
  g.Run("press Up\nframes 1\npress Return\nframes 1\n");
  ASSERT_TRUE(g.F().Keys.BossKeyCapture);
  g.Run("press Escape\nframes 2\n");
  ASSERT_EQ(g.F().Menu.CurrentScreen, 1);
  EXPECT_FALSE(g.F().Keys.BossKeyCapture);
  EXPECT_EQ(BossKeyName(g.F().Keys), "ALT+F9");
  // A function key on the menu is no boss key capture any more.
  g.Run("press F4\nframes 1\n");
  EXPECT_EQ(BossKeyName(g.F().Keys), "ALT+F9");
  g.Run("quit\n");
  const auto options = g.Options();
  ASSERT_EQ(options.size(), 7u);
  EXPECT_EQ(options[4], "1");  // Alt
  EXPECT_EQ(options[5], "9");  // F9
}

TEST(OptionsScreen, AnEndOrderedDuringACaptureKeepsTheBossKey) {
  TGame g;
  g.Run(ToOptions);
  g.Run("press Up\nframes 1\npress Return\nframes 1\n");
  ASSERT_TRUE(g.F().Keys.BossKeyCapture);
  g.Run("terminate\nframes 1\n");
  ASSERT_TRUE(g.F().Terminated);
  const auto options = g.Options();
  ASSERT_EQ(options.size(), 7u);
  EXPECT_EQ(options[4], "1");
  EXPECT_EQ(options[5], "9");
}

TEST(OptionsScreen, TheFirstLetterReplacesTheCountryPlaceholder) {
  TGame g;
  g.Run(ToOptions);
  ASSERT_EQ(g.F().GameOptions.Country, "_______");
  // Up twice to the country, Return starts the edit.
  g.Run("press Up\nframes 1\npress Up\nframes 1\npress Return\nframes 1\n");
  ASSERT_TRUE(g.F().Keys.CountryEdit);
  g.Run("type Germany\nframes 1\n");
  EXPECT_EQ(g.F().GameOptions.Country, "Germany");
  // A country already typed is added to, and refused characters leave the placeholder alone.
  g.Run("type East\nframes 1\n");
  EXPECT_EQ(g.F().GameOptions.Country, "GermanyEast");
  g.F().GameOptions.Country = "_______";
  g.Run("type !\nframes 1\n");
  EXPECT_EQ(g.F().GameOptions.Country, "_______");
  // Backspace touches the placeholder: what is left is the player's own.
  g.Run("press Backspace\nframes 1\ntype x\nframes 1\n");
  EXPECT_EQ(g.F().GameOptions.Country, "______x");
}

TEST(RiderRestart, NearTheStartTheBikeRestartsOnTheRoad) {
  for (const int viewRow : {1490, 1492, 1495}) {
    SCOPED_TRACE(viewRow);
    TGame g;
    g.Run("race 1\nframes 200\n");
    TFormState& f = g.F();
    TPlayer& p = *f.Race.Player;
    const int startCol = f.Track.ViewCol;
    f.Track.ViewRow = viewRow;
    p.Speed = 0;
    p.TakeHits(p.HitsLeft);
    ASSERT_TRUE(p.Crashed);
    g.Run("frames 300\n");
    ASSERT_FALSE(p.Crashed);
    // The view cannot go back past the start: it stands where the restart search ends.
    EXPECT_LE(f.Track.ViewRow, 1490);
    EXPECT_GE(f.Track.ViewRow, 1486);
    EXPECT_NEAR(f.Track.ViewCol, startCol, 3);
    EXPECT_TRUE(p.AllCornersOnRoad());
  }
}

TEST(TrafficCars, PastTheTopRowOpponentsKeepToTheTopRowsRoad) {
  TGame g;
  g.Run("race 1\nframes 200\n");  // past the level banner
  TFormState& f = g.F();
  TCar& c = *f.Race.Car;
  ASSERT_EQ(f.Menu.ActiveDialog, 0);
  const int top = 1500 - f.Track.TrackLength;
  const double centre = f.Track.RoadCentreX(top);
  // The opponent set just below the top row, riding up at speed: its aim lies past the track.
  c.Opponents[1].Left = centre - 30;
  c.Opponents[1].Top = 72.0 * (top + 2);
  c.Opponents[1].Heading = 0;
  c.Opponents[1].Speed = 120;
  // It rides on up to fifty rows above the top row and stands there: never a row beyond.
  const double line = 72.0 * (top - 50);
  for (int frame = 0; frame < 2000 && c.Opponents[1].Speed > 0; ++frame) {
    c.Opponents[1].Wrecked = false;
    g.Run("frames 1\n");
    ASSERT_GT(c.Opponents[1].Y, line - 72);
    EXPECT_NEAR(c.Opponents[1].X, centre, 120);
  }
  EXPECT_EQ(c.Opponents[1].Speed, 0);
  EXPECT_LT(c.Opponents[1].Y, line);
  g.Run("frames 50\n");
  EXPECT_GT(c.Opponents[1].Y, line - 72);
  EXPECT_GT(c.Opponents[1].Heading, -8);
}

TEST(PackStartUp, ADeeplyNestedPackStopsStartUpCleanly) {
  test::TRunDir dir;
  // A real-looking folder whose first pack nests lists sixty thousand deep.
  std::filesystem::remove_all("Data/Res");  // a link on Linux, a copy on Windows
  std::filesystem::create_directories("Data/Res");
  std::string pack = std::string("\xFF\x0A\x00PACK\x00\x30\x10\x00\x00\x00\x00TPF0", 18);
  pack += std::string("\x0ATImagePack\x00", 12) + "\x04" + "Deep";
  pack += std::string(60000, '\x01');
  pack += std::string(60000, '\x00');
  std::ofstream("Data/Res/Res1.gpk", std::ios::binary) << pack;
  TScriptRunner r;
  std::string error;
  EXPECT_FALSE(r.EnsureStarted(error));
  EXPECT_EQ(r.State().ExitCode, 1);
  EXPECT_EQ(r.State().StartupError, "Data/Res/Res1.gpk: Invalid stream format");
  EXPECT_EQ(error, r.State().StartupError);
}

}  // namespace
}  // namespace zw
