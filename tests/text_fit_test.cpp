// Every line of every dialog, screen and the race HUD, drawn by the real game in the face it
// actually uses, must land inside the window or panel it is drawn on: no glyph cut at an edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "packs/panel_layout.hpp"
#include "rider/player.hpp"
#include "shell/form.hpp"
#include "shell/text.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"

namespace zw {
namespace {

using panel::TBox;

struct TInk {
  int X0 = 1 << 20, Y0 = 1 << 20, X1 = -1, Y1 = -1;  // inclusive pixel bounds
  bool Empty() const { return X1 < X0; }
};

struct TGame {
  test::TRunDir Dir;
  TScriptRunner R;
  TGame() {
    std::string e;
    EXPECT_EQ(R.Run("seed 3\nrefresh 85\nframetime 12\n", e), 0) << e;
    EXPECT_TRUE(R.EnsureStarted(e)) << e;
  }
  TMForm& F() { return *R.Form; }
  void Run(const std::string& s) {
    std::string e;
    ASSERT_EQ(R.Run(s, e), 0) << e;
  }
  // The lines one frame draws.
  std::vector<TMForm::TDrawnText> Lines() {
    std::vector<TMForm::TDrawnText> log;
    F().TextLog = &log;
    Run("frames 1\n");
    F().TextLog = nullptr;
    return log;
  }
  // Where a line's glyphs really fall: drawn onto a roomy blank surface, so nothing is clipped.
  TInk Ink(const TMForm::TDrawnText& t) {
    constexpr int Pad = 400;
    TSurface s(800 + 2 * Pad, 600 + 2 * Pad);
    F().Fonts->Draw(s, t.Style, t.Text, t.X + Pad, t.Y + Pad);
    TInk ink;
    for (int y = 0; y < s.Height; ++y)
      for (int x = 0; x < s.Width; ++x)
        if (s.Row(y)[x] != 0) {
          ink.X0 = std::min(ink.X0, x - Pad);
          ink.X1 = std::max(ink.X1, x - Pad);
          ink.Y0 = std::min(ink.Y0, y - Pad);
          ink.Y1 = std::max(ink.Y1, y - Pad);
        }
    return ink;
  }
  // Each line drawn this frame must show ink, all of it inside the box `where` gives it.
  template <typename Where>
  void ExpectInside(const std::string& what, Where where) {
    const auto lines = Lines();
    EXPECT_FALSE(lines.empty()) << what << ": nothing drawn";
    for (const auto& t : lines) {
      const TBox b = where(t);
      const TInk ink = Ink(t);
      if (t.Text.find_first_not_of(' ') == std::string::npos) continue;
      ASSERT_FALSE(ink.Empty()) << what << ": \"" << t.Text << "\" shows nothing";
      EXPECT_TRUE(ink.X0 >= b.X && ink.Y0 >= b.Y && ink.X1 < b.X + b.W && ink.Y1 < b.Y + b.H)
          << what << ": \"" << t.Text << "\" in style " << t.Style << " covers x " << ink.X0 << ".."
          << ink.X1 << ", y " << ink.Y0 << ".." << ink.Y1 << ", its room is x " << b.X << ".."
          << b.X + b.W - 1 << ", y " << b.Y << ".." << b.Y + b.H - 1;
    }
  }
};

// The dialog panel (list 1 item 33 at (185, 219)) inside its rim.
constexpr TBox DialogRoom{185 + 8, 219 + 6, 394 - 16, 140 - 12};
// The content picture of the options and help screens, inside its rim.
constexpr TBox ContentRoom{358 + 10, 130 + 8, 440 - 20, 408 - 16};

TEST(TextFit, DialogLinesStayOnTheirPanel) {
  TGame g;
  g.Run("frames 70\n");
  for (int kind : {1, 4}) {
    g.F().OpenDialog(kind);
    g.ExpectInside("dialog " + std::to_string(kind), [](auto&) { return DialogRoom; });
    g.Run("press Escape\nframes 1\n");
    g.F().CloseDialog();
  }
  // Over the race: a long score for the name entry, the longest name the entry takes, the
  // send question, the sending line, the whole tally and the final congratulations.
  g.Run("race 1\nframes 200\nset RaceScore 9999990\n");
  for (int kind : {2, 8, 9, 10, 11, 12}) {
    g.F().OpenDialog(kind);
    if (kind == 8) g.Run("type WWWWWWWWWWWWWWWW\nframes 1\n");
    if (kind == 11) {
      g.F().Race.TallyStep = 4;
      g.F().Race.TallyStepTimer = 100000;
      g.F().Race.RacePosition = 6;
      g.F().Race.BonusPoints = 99999;
      g.F().Race.TallyTimeLeft = 999000;
      g.F().Race.TimeBonus = 99995;
    }
    if (kind == 12) g.F().Race.TallyTimeLeft = 100000;
    const int levelAndHud = 6;  // the HUD goes on being drawn under a race dialog
    g.ExpectInside("dialog " + std::to_string(kind), [&](const TMForm::TDrawnText& t) {
      return t.Style == levelAndHud || t.Style == 18 || t.Style == 24 ? TBox{0, 0, 800, 600}
                                                                      : DialogRoom;
    });
    g.F().CloseDialog();
  }
}

TEST(TextFit, BannersOverTheRaceFitTheRoadBetweenThePanels) {
  TGame g;
  g.Run("race 1\nlevel 10\nframes 200\n");
  for (int kind : {3, 5, 6, 7}) {
    g.F().OpenDialog(kind);
    g.ExpectInside("dialog " + std::to_string(kind), [](const TMForm::TDrawnText& t) {
      return t.Style == 5 ? panel::Road : TBox{0, 0, 800, 600};
    });
    g.F().CloseDialog();
  }
}

// The banners over the road carry a dark rim, so they read over a white kerb as well as over
// asphalt; the HUD's readouts sit in dark wells and need none.
TEST(TextFit, BannerLinesCarryADarkRimOverABrightRoad) {
  TGame g;
  auto darkPixels = [&](int style) {
    TSurface s(400, 120);
    for (int y = 0; y < s.Height; ++y) std::fill_n(s.Row(y), s.Width, Rgb565(255, 255, 255));
    g.F().Fonts->Draw(s, style, "Pause", 20, 20);
    int dark = 0;
    for (int y = 0; y < s.Height; ++y)
      for (int x = 0; x < s.Width; ++x) {
        uint8_t r, gg, b;
        Rgb565ToRgb(s.Row(y)[x], r, gg, b);
        if (r < 80 && gg < 80 && b < 80) ++dark;
      }
    return dark;
  };
  EXPECT_GT(darkPixels(5), 150);
  EXPECT_GT(darkPixels(9), 150);
  EXPECT_EQ(darkPixels(18), 0);
}

TEST(TextFit, HudReadoutsStayInTheirWells) {
  TGame g;
  g.Run("race 1\nlevel 10\nframes 200\nset RaceScore 9999990\nset RaceClock 3599000\n");
  g.F().Race.RacePosition = 6;
  g.F().Race.RaceCount = 6;
  g.F().Race.Player->Speed = 170;  // a push from behind: the highest reading
  g.ExpectInside("HUD", [](const TMForm::TDrawnText& t) {
    if (t.Style == 6) return t.Y < 100 ? panel::LevelPlate : panel::BikeNameWell;
    if (t.Style == 24) return panel::RadarWindow;
    if (t.Y < 100) return panel::ClockWell;
    if (t.Y < 300) return panel::ScoreWell;
    if (t.Y < 400) return panel::LivesWell;
    return panel::SpeedWell;
  });
}

TEST(TextFit, HelpOptionsAndHighScoresStayInsideTheirPictures) {
  TGame g;
  g.Run("frames 70\npress Down\nframes 1\npress Return\nframes 2\n");
  for (int page = 1; page <= 5; ++page) {
    g.F().FrontEnd.HelpPage = page;
    g.ExpectInside("help page " + std::to_string(page), [](auto&) { return ContentRoom; });
  }
  g.Run("press Escape\nframes 2\npress Down\nframes 1\npress Return\nframes 2\n");
  ASSERT_EQ(g.F().Menu.CurrentScreen, 3);
  g.F().GameOptions.Country = "WWWWWWWWWWWWWWWW";
  g.ExpectInside("options", [](const TMForm::TDrawnText& t) {
    if (t.Y > 395 && t.Y < 440) return TBox{392 + 4, 400, 376 - 8, 34};  // the country box
    if (t.Y > 475) return TBox{468 + 4, 478, 214 - 8, 32};               // the boss-key box
    return ContentRoom;
  });
  g.Run("press Escape\nframes 2\npress Down\nframes 1\npress Return\nframes 2\n");
  ASSERT_EQ(g.F().Menu.CurrentScreen, 4);
  for (int i = 1; i <= 10; ++i) {
    g.F().HighScores[static_cast<size_t>(i)].Name = "WWWWWWWWWWWW";
    g.F().HighScores[static_cast<size_t>(i)].Score = 9999990;
  }
  // Names between the rank numbers and the points; points inside the table's right rim.
  g.ExpectInside("high scores", [](const TMForm::TDrawnText& t) {
    return t.Style == 2 ? TBox{432, 130, 262, 396} : TBox{694, 130, 356 + 440 - 6 - 694, 396};
  });
}

}  // namespace
}  // namespace zw
