// Tests of the menus as a player meets them: the fly-in, the mouse, the tabs and the bike choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "frontend/replay_rows.hpp"
#include "frontend/screens.hpp"
#include "sprites/game_sprites.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"

namespace zw {
namespace {

struct TMenu {
  test::TRunDir Dir;
  TScriptRunner R;
  explicit TMenu(const std::string& setup = "seed 3\nrefresh 85\nframetime 12\n") {
    std::string e;
    EXPECT_EQ(R.Run(setup, e), 0) << e;
    EXPECT_TRUE(R.EnsureStarted(e)) << e;
  }
  TFormState& F() { return R.State(); }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
  int Plays(int index) const {
    int n = 0;
    for (const auto& l : R.Headless.Audio.Log) n += l.Op == "play" && l.Index == index;
    return n;
  }
  double ButtonY(int i) { return F().Menu.MenuButtons[static_cast<size_t>(i)]->Y; }
};

TEST(FrontEndIntro, TheButtonsFlyInOneAfterTheOther) {
  TMenu g;
  TFormState& f = g.F();
  // At 85 Hz the fly-in steps 25 pixels a frame: button 3 lands first, then 2, then 1.
  int landed3 = 0, landed1 = 0, frames = 0;
  while (f.Menu.MenuIntro && frames < 200) {
    g.Run("frames 1\n");
    ++frames;
    if (!landed3 && g.ButtonY(3) == 291) landed3 = frames;
    if (!landed1 && g.ButtonY(1) == 173) landed1 = frames;
  }
  EXPECT_EQ(landed3, 17);  // moved on 16 frames, set onto its row on the next
  EXPECT_EQ(landed1, 54);
  EXPECT_EQ(frames, 54);
  EXPECT_EQ(g.ButtonY(6), 473);
  // Esc does nothing during the fly-in; afterwards it asks to leave.
  TMenu h;
  h.Run("press Escape\nframes 1\n");
  EXPECT_EQ(h.F().Menu.ActiveDialog, 0);
  h.Run("frames 60\npress Escape\nframes 1\n");
  EXPECT_EQ(h.F().Menu.ActiveDialog, 1);
}

TEST(FrontEndMouse, TheMainMenuKeepsItsChoiceOtherScreensDoNot) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\nmouse 100 260\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 2);
  EXPECT_EQ(g.Plays(1), 1);
  g.Run("mouse 600 20\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 2);  // still selected on the main menu
  g.Run("click\nframes 1\n");      // opens help
  EXPECT_EQ(f.Menu.CurrentScreen, 5);
  g.Run("mouse 700 560\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 9);  // over Back
  g.Run("mouse 600 20\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 0);  // off every item: nothing selected
  g.Run("press Return\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 5);  // Enter activates nothing
}

TEST(FrontEndTabs, DownAndUpStepThroughEveryTabAndWrapAtTheEnds) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\n");
  ASSERT_EQ(f.Menu.MenuIndex, 1);
  for (const int expected : {2, 3, 4, 5, 6, 1}) {
    g.Run("press Down\nframes 1\n");
    EXPECT_EQ(f.Menu.MenuIndex, expected);
  }
  for (const int expected : {6, 5, 4, 3, 2, 1}) {
    g.Run("press Up\nframes 1\n");
    EXPECT_EQ(f.Menu.MenuIndex, expected);
  }
}

TEST(FrontEndTabs, AnotherTabLeavesTheScreenAndOpensItsOwn) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Down\nframes 1\npress Down\nframes 1\npress Return\nframes 1\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 3);  // options
  // The options tab itself only clicks.
  g.Run("mouse 100 310\nframes 1\nclick\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 3);
  // The high-score tab leaves the options for the table, with Back selected.
  g.Run("mouse 100 370\nframes 1\nclick\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 4);
  EXPECT_EQ(f.Menu.MenuIndex, 9);
  EXPECT_TRUE(f.Menu.MenuButtons[4]->Selected);
  EXPECT_FALSE(f.Menu.MenuButtons[3]->Selected);
}

TEST(FrontEndTable, KeysStepWithoutWrapping) {
  TMenu g;
  TFormState& f = g.F();
  g.Run(
      "frames 60\npress Up\nframes 1\npress Up\nframes 1\npress Up\nframes 1\npress Return\nframes "
      "1\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 4);
  g.Run("press Right\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 9);
  g.Run("press Left\nframes 1\npress Left\nframes 1\npress Left\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 7);
  // Clearing the table asks first; Yes puts the default table back.
  f.HighScores[1] = {"ACE", 50000};
  g.Run("press Return\nframes 1\n");
  EXPECT_EQ(f.Menu.ActiveDialog, 4);
  g.Run("press Y\nframes 1\n");
  EXPECT_EQ(f.HighScores[1].Name, "ANONYMOUS");
  EXPECT_EQ(f.Menu.ActiveDialog, 0);
  g.Run("press Escape\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 1);
  EXPECT_EQ(f.Menu.MenuIndex, 4);
}

// The rows of the table that hold a replay (1, 4 and 10 here; the others have none) are chosen
// with Up and Down past the rows without one; Down below the last lights the screen's first
// button, Left and Right drop the choice for the buttons, and nothing is chosen without replays.
TEST(FrontEndTable, UpAndDownChooseTheRowsWithAReplay) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Up\nframes 1\npress Up\nframes 1\npress Up\nframes 1\npress Return\n");
  ASSERT_EQ(f.Menu.CurrentScreen, screen::HighScores);
  ASSERT_EQ(f.Menu.MenuIndex, item::HighScoresBack);
  // No replay at all: Up is the buttons' own (and they do not move on it).
  g.Run("press Up\nframes 1\n");
  EXPECT_EQ(f.Replays.ChosenRow, 0);
  EXPECT_EQ(f.Menu.MenuIndex, item::HighScoresBack);
  for (int row : {1, 4, 10}) f.Replays.Table[static_cast<size_t>(row)] = "a replay";
  struct TStep {
    const char* Key;
    int Row, Item;
  } steps[] = {
      {"Up", 10, 0},
      {"Up", 4, 0},
      {"Up", 1, 0},
      {"Up", 1, 0},  // the top row keeps the choice
      {"Down", 4, 0},
      {"Down", 10, 0},
      {"Down", 0, item::ClearTable},  // below the last one: the first button lights
      {"Up", 10, 0},
      {"Right", 0, item::OnlineTable},
      {"Up", 10, 0},
      {"Left", 0, item::ClearTable},
      {"Down", 0, item::ClearTable},
  };
  for (const TStep& s : steps) {
    SCOPED_TRACE(std::string(s.Key) + " to row " + std::to_string(s.Row));
    // Judged on the frame of the key itself: a row and a button are never lit together.
    g.Run(std::string("press ") + s.Key + "\n");
    EXPECT_EQ(f.Replays.ChosenRow, s.Row);
    EXPECT_EQ(f.Menu.MenuIndex, s.Item);
    g.Run("frames 1\n");
  }
}

// A row chosen on the table is let go when the table is left, by Esc or by its Back button: the
// table opens again with nothing chosen, so a quick second click as it opens (the pointer a
// little off the tab, over no button and no row) starts no replay of the row chosen before.
TEST(FrontEndTable, LeavingTheTableLetsGoOfTheChosenRow) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Up\nframes 1\npress Up\nframes 1\npress Up\nframes 1\npress Return\n");
  ASSERT_EQ(f.Menu.CurrentScreen, screen::HighScores);
  for (int row : {1, 4, 10}) f.Replays.Table[static_cast<size_t>(row)] = "a replay";
  // The pointer on a button's middle, as a move event.
  auto onto = [&](int item) {
    const TMenuButton* b = f.Menu.MenuButtons[static_cast<size_t>(item)];
    EXPECT_NE(b, nullptr) << item;
    if (!b) return std::string();
    return "mouse " + std::to_string(static_cast<int>(b->X) + b->Width / 2) + " " +
           std::to_string(static_cast<int>(b->Y) + b->Height / 2) + "\n";
  };
  for (const bool byEsc : {true, false}) {
    SCOPED_TRACE(byEsc ? "left by Esc" : "left by Back");
    g.Run("press Up\nframes 1\npress Up\nframes 1\n");
    ASSERT_EQ(f.Replays.ChosenRow, 4);
    // Onto Back and clicked within one frame: the row is still chosen as the table is left.
    g.Run(byEsc ? "press Escape\nframes 1\n" : onto(item::HighScoresBack) + "click\nframes 1\n");
    ASSERT_EQ(f.Menu.CurrentScreen, screen::MainMenu);
    EXPECT_EQ(f.Replays.ChosenRow, 0);
    g.Run(onto(item::HighScores) + "click\nmouse 560 150\nclick\nframes 1\n");
    EXPECT_EQ(f.Menu.CurrentScreen, screen::HighScores);
    EXPECT_EQ(f.Replays.ChosenRow, 0);
    EXPECT_EQ(f.Replays.Note, "");
    g.Run("frames 1\n");
    EXPECT_EQ(f.Replays.ChosenRow, 0);
  }
}

// The pointer chooses the row it moves over when that row has a replay, and only when it moves:
// a row chosen with the keys is not taken back by a pointer standing still.
TEST(FrontEndTable, ThePointerChoosesTheRowItMovesOver) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Up\nframes 1\npress Up\nframes 1\npress Up\nframes 1\npress Return\n");
  ASSERT_EQ(f.Menu.CurrentScreen, screen::HighScores);
  for (int row : {1, 4, 10}) f.Replays.Table[static_cast<size_t>(row)] = "a replay";
  struct TMove {
    int X, Y, Row;
  } moves[] = {{500, 196, 1}, {500, 230, 0},  {372, 281, 4}, {782, 313, 4},
               {783, 297, 0}, {600, 515, 10}, {600, 516, 0}, {371, 499, 0}};
  for (const TMove& m : moves) {
    SCOPED_TRACE(std::to_string(m.X) + "," + std::to_string(m.Y));
    g.Run("mouse " + std::to_string(m.X) + " " + std::to_string(m.Y) + "\nframes 1\n");
    EXPECT_EQ(f.Replays.ChosenRow, m.Row);
    if (m.Row != 0) {
      EXPECT_EQ(f.Menu.MenuIndex, 0);
    }
  }
  g.Run("mouse 500 297\nframes 1\npress Up\nframes 3\n");
  EXPECT_EQ(f.Replays.ChosenRow, 1);
  // Over a button the button has the selection.
  g.Run("mouse 400 545\nframes 1\n");
  EXPECT_EQ(f.Replays.ChosenRow, 0);
  EXPECT_EQ(f.Menu.MenuIndex, item::ClearTable);
}

// The band of each row on the table: 16 pixels above and below its line, between the table's
// left and right edges; rows 2 and 3, 5 and 6, and 9 and 10 touch.
TEST(FrontEndTable, ARowsBandEndsAtItsEdges) {
  const int centre[11] = {0, 196, 230, 263, 297, 331, 364, 398, 432, 466, 499};
  auto rowOf = [&](int y) {
    for (int r = 1; r <= 10; ++r)
      if (y >= centre[r] - 16 && y <= centre[r] + 16) return r;
    return 0;
  };
  EXPECT_EQ(rowOf(213), 0);
  EXPECT_EQ(rowOf(247), 3);
  for (int r = 1; r <= 10; ++r) {
    SCOPED_TRACE(r);
    for (int y : {centre[r] - 17, centre[r] - 16, centre[r], centre[r] + 16, centre[r] + 17}) {
      EXPECT_EQ(ReplayRowAt(500, y), rowOf(y)) << y;
      EXPECT_EQ(ReplayRowAt(372, y), rowOf(y)) << y;
      EXPECT_EQ(ReplayRowAt(782, y), rowOf(y)) << y;
      EXPECT_EQ(ReplayRowAt(371, y), 0) << y;
      EXPECT_EQ(ReplayRowAt(783, y), 0) << y;
    }
  }
}

TEST(FrontEndBikes, ArrowsWrapFadeAndIgnoreTheirEcho) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Return\nframes 1\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 2);
  EXPECT_EQ(f.Menu.MenuIndex, 9);
  g.Run("press Up\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 7);
  // Left on the previous arrow changes the bike at once and keeps the arrow selected.
  g.Run("press Left\nframes 1\n");
  EXPECT_EQ(f.FrontEnd.BikeFade, 1);
  EXPECT_EQ(f.FrontEnd.PendingBike, 5);  // previous from 1 wraps to 5
  EXPECT_EQ(f.Menu.MenuIndex, 7);
  EXPECT_EQ(g.Plays(3), 1);
  // A second press during the fade only clicks.
  g.Run("press Left\nframes 1\n");
  EXPECT_EQ(f.FrontEnd.PendingBike, 5);
  EXPECT_EQ(g.Plays(3), 2);
  g.Run("frames 15\n");
  EXPECT_EQ(f.FrontEnd.BikeFade, 0);
  EXPECT_EQ(f.Race.SelectedBike, 5);
  // Next from 5 wraps to 1, then steps through every bike in order; Start sets off on the
  // chosen bike.
  g.Run("press Right\nframes 1\npress Right\nframes 20\n");
  EXPECT_EQ(f.Race.SelectedBike, 1);
  // Each bike has its own picture, 28 to 32 of the menu pictures in bike order: the new one
  // fades in under the old, then stays.
  auto picture = [&](int bike) { return f.MImageList1.Item(27 + bike); };
  EXPECT_EQ(f.FrontEnd.BikePicture->Image, picture(1));
  for (int bike : {2, 3, 4, 5, 1}) {
    g.Run("press Right\nframes 1\n");
    EXPECT_EQ(f.FrontEnd.NewBikePicture->Image, picture(bike)) << "bike " << bike;
    g.Run("frames 19\n");
    EXPECT_EQ(f.Race.SelectedBike, bike);
    EXPECT_EQ(f.FrontEnd.BikePicture->Image, picture(bike)) << "bike " << bike;
  }
  for (int bike = 1; bike <= 5; ++bike)
    for (int other = 1; other < bike; ++other) ASSERT_NE(picture(bike), picture(other));
  // From the next arrow, Left then Down reach Start.
  g.Run("press Left\nframes 1\npress Down\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 9);
  g.Run("press Return\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 6);
  EXPECT_EQ(f.Race.SelectedBike, 1);
}

TEST(FrontEndBikes, TheBarsFollowTheChosenBike) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Return\nframes 1\n");
  // Power, handling, acceleration and braking of bikes 1 to 5, one square each.
  const int ratings[6][4] = {
      {}, {6, 8, 9, 7}, {11, 4, 3, 8}, {6, 6, 8, 10}, {9, 5, 10, 9}, {8, 11, 8, 9}};
  const TPictureItem* square = f.MImageList1.Item(54);
  ASSERT_NE(square, nullptr);
  const int tops[4] = {396, 424, 454, 486};
  for (int bike = 1; bike <= 5; ++bike) {
    f.Race.SelectedBike = bike;
    f.MDisplay.Fill(0);
    DrawBikeStats(f);
    // Each bar starts at x = 546 and steps 18 a square: the first n places are filled, the rest
    // and the strip before the bar are left bare.
    for (int r = 0; r < 4; ++r) {
      const uint16_t* row = f.MDisplay.Row(tops[r] + square->PatternHeight() / 2);
      std::string shown;
      for (int k = 1; k <= 13; ++k)
        shown += row[546 + 18 * (k - 1) + square->PatternWidth() / 2] != 0 ? '#' : '.';
      std::string expected(13, '.');
      expected.replace(0, static_cast<size_t>(ratings[bike][r]), ratings[bike][r], '#');
      EXPECT_EQ(shown, expected) << "bike " << bike << " bar " << r;
      EXPECT_TRUE(std::all_of(row + 500, row + 546, [](uint16_t p) { return p == 0; }))
          << "bike " << bike << " bar " << r;
    }
  }
}

TEST(FrontEndHelp, PagesTurnBothWaysAndShowTheirPictures) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Down\nframes 1\npress Return\nframes 1\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 5);
  EXPECT_EQ(f.FrontEnd.HelpPage, 1);
  EXPECT_EQ(f.Menu.MenuIndex, 9);  // it opens with Back selected
  f.Menu.MenuIndex = 0;
  g.Run("press Right\nframes 1\n");  // from nothing: item 7, no page turned
  EXPECT_EQ(f.Menu.MenuIndex, 7);
  EXPECT_EQ(f.FrontEnd.HelpPage, 1);
  g.Run("press Left\nframes 1\n");  // on 7: back a page, from 1 to 5
  EXPECT_EQ(f.FrontEnd.HelpPage, 5);
  EXPECT_EQ(f.Menu.MenuIndex, 7);
  g.Run("frames 1\n");
  EXPECT_TRUE(f.FrontEnd.HelpPictures[5]->Visible);
  EXPECT_FALSE(f.FrontEnd.HelpPictures[0]->Visible);
  g.Run("press Right\nframes 1\npress Return\nframes 1\n");  // next: from 5 to 1
  EXPECT_EQ(f.FrontEnd.HelpPage, 1);
  g.Run("press Return\nframes 2\n");
  EXPECT_EQ(f.FrontEnd.HelpPage, 2);
  EXPECT_TRUE(f.FrontEnd.HelpPictures[0]->Visible);
  EXPECT_FALSE(f.FrontEnd.HelpPictures[5]->Visible);
  // The bonus page shows each bonus's picture centred on x 398, beside its caption's row: 10,
  // 20, 50 and 100 points and the life from the top down, in race list pictures 41, 40, 39, 38
  // and 42. A picture of odd sides may land on either neighbouring whole pixel.
  const struct {
    int Image, Y;
  } bonusPictures[5] = {{41, 230}, {40, 290}, {39, 350}, {38, 410}, {42, 470}};
  for (const auto& b : bonusPictures) {
    const TPictureItem* pic = f.MImageList2.Item(b.Image);
    ASSERT_NE(pic, nullptr) << b.Image;
    const int w = pic->PatternWidth(), h = pic->PatternHeight();
    auto shownAt = [&](int left, int top) {
      int solid = 0;
      TSurface want(800, 600);
      pic->DrawPattern(want, left, top, 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          if (!pic->PatternPixelSolid(0, x, y)) continue;
          ++solid;
          if (f.MDisplay.Row(top + y)[left + x] != want.Row(top + y)[left + x]) return false;
        }
      return solid > w * h / 4;
    };
    bool shown = false;
    for (double left : {std::floor(398 - w / 2.0), std::ceil(398 - w / 2.0)})
      for (double top : {std::floor(b.Y - h / 2.0), std::ceil(b.Y - h / 2.0)})
        shown = shown || shownAt(static_cast<int>(left), static_cast<int>(top));
    EXPECT_TRUE(shown) << "picture " << b.Image << " not shown centred on (398, " << b.Y << ")";
  }
  // "Next" turns through every page in order and wraps after the fifth.
  for (int page : {3, 4, 5, 1, 2}) {
    g.Run("press Return\nframes 2\n");
    EXPECT_EQ(f.FrontEnd.HelpPage, page);
  }
  g.Run("press Right\nframes 1\n");  // 8 to Back, no page turned
  EXPECT_EQ(f.Menu.MenuIndex, 9);
  EXPECT_EQ(f.FrontEnd.HelpPage, 2);
  g.Run("press Escape\nframes 1\npress Return\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 5);
  EXPECT_EQ(f.FrontEnd.HelpPage, 1);  // reopened on page 1
}

TEST(FrontEndOptions, TheBossKeyCaptureAndTheCountryEdit) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Down\nframes 1\npress Down\nframes 1\npress Return\nframes 2\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 3);
  EXPECT_EQ(BossKeyName(f.Keys), "ALT+F9");
  // Start the capture on item 11, end it again with no key: the old key comes back.
  g.Run("press Up\nframes 1\npress Return\nframes 1\n");
  ASSERT_EQ(f.Menu.MenuIndex, 11);
  EXPECT_TRUE(f.Keys.BossKeyCapture);
  EXPECT_EQ(BossKeyName(f.Keys), "?");
  g.Run("press Return\nframes 1\n");
  EXPECT_FALSE(f.Keys.BossKeyCapture);
  EXPECT_EQ(BossKeyName(f.Keys), "ALT+F9");
  // Ctrl held and F5 pressed: the capture takes CTRL+F5 and ends.
  g.Run("press Return\nframes 1\nkeydown Ctrl\npress F5\nkeyup Ctrl\nframes 1\n");
  EXPECT_FALSE(f.Keys.BossKeyCapture);
  EXPECT_EQ(BossKeyName(f.Keys), "CTRL+F5");
  // Moving on during a capture ends it and restores the key.
  g.Run("press Return\nframes 1\npress Down\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 12);
  EXPECT_FALSE(f.Keys.BossKeyCapture);
  EXPECT_EQ(BossKeyName(f.Keys), "CTRL+F5");
  // The country: while typing, Up and Down stay; Esc ends the edit, a second Esc leaves.
  g.Run("press Up\nframes 1\npress Up\nframes 1\npress Return\nframes 1\n");
  ASSERT_EQ(f.Menu.MenuIndex, 10);
  ASSERT_TRUE(f.Keys.CountryEdit);
  g.Run("press Up\nframes 1\n");
  EXPECT_EQ(f.Menu.MenuIndex, 10);
  f.GameOptions.Country = "ABCDEFGHIJKLMNOP";
  g.Run("type Q!\nframes 1\n");
  EXPECT_EQ(f.GameOptions.Country, "ABCDEFGHIJKLMNOP");  // 16 characters is the most
  // The typing cursor blinks while the country is edited and is gone once the edit ends, even
  // when it ends with the cursor lit.
  ASSERT_NE(f.Dialog.TextCursor, nullptr);
  for (int i = 0; i < 100 && !f.Dialog.TextCursor->Visible; ++i) g.Run("frames 1\n");
  ASSERT_TRUE(f.Dialog.TextCursor->Visible);
  g.Run("press Escape\nframes 1\n");
  EXPECT_FALSE(f.Keys.CountryEdit);
  ASSERT_NE(f.Dialog.TextCursor, nullptr);
  for (int i = 0; i < 60; ++i) {
    ASSERT_FALSE(f.Dialog.TextCursor->Visible) << "frame " << i;
    g.Run("frames 1\n");
  }
  EXPECT_EQ(f.Menu.CurrentScreen, 3);
  g.Run("press Escape\nframes 1\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 1);
  EXPECT_EQ(f.Menu.MenuIndex, 3);
}

TEST(FrontEndOptions, SwitchesTakeEffectAtOnce) {
  TMenu g;
  TFormState& f = g.F();
  g.Run("frames 60\npress Down\nframes 1\npress Down\nframes 1\npress Return\nframes 2\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 3);
  g.Run("press Up\nframes 1\npress Up\nframes 1\npress Up\nframes 1\n");
  ASSERT_EQ(f.Menu.MenuIndex, 8);
  const int musicBefore = f.MusicHandle;
  g.Run("press Return\nframes 1\n");
  EXPECT_FALSE(f.GameOptions.Music);
  EXPECT_EQ(f.MusicHandle, 0);
  g.Run("press Return\nframes 1\n");
  EXPECT_TRUE(f.GameOptions.Music);
  EXPECT_NE(f.MusicHandle, 0);  // the menu tune again, from its start
  EXPECT_NE(f.MusicHandle, musicBefore);
  g.Run("press Right\nframes 1\npress Return\nframes 1\n");
  EXPECT_FALSE(f.GameOptions.Sound);
  const size_t logged = g.R.Headless.Audio.Log.size();
  g.Run("press Left\nframes 1\n");  // a silent click
  EXPECT_EQ(g.R.Headless.Audio.Log.size(), logged);
  g.Run("press Up\nframes 1\npress Return\nframes 1\n");
  EXPECT_TRUE(f.GameOptions.FullScreen);
  EXPECT_TRUE(g.R.Headless.Display.FullScreen);
}

}  // namespace
}  // namespace zw
