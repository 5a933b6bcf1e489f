// Tests of the race frame that is not cleared first: the cells' coverage against drawing itself,
// and whole races against frames that are cleared before every draw; and the side panels copied
// again only where something went over them, against panels drawn whole; and the right panel
// with its fittings laid in, against the fittings drawn over it every frame.
#include <gtest/gtest.h>

#include "packs/fitted_panel.hpp"
#include "rider/player.hpp"
#include "shell/form_state.hpp"
#include "sprites/engine.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "world/scroll_background.hpp"

namespace zw {
namespace {

constexpr uint16_t PoisonA = 0xF81F, PoisonB = 0x07E0;

// A sheet of four 8 x 6 patterns with a pixel gap between them: 0 and 1 opaque, 2 with one
// transparent pixel, 3 opaque.
TPictureItem Sheet() {
  TPictureItem p;
  p.PictureWidth = 4 * 9 - 1;
  p.PictureHeight = 6;
  p.StoredPatternWidth = 8;
  p.StoredPatternHeight = 6;
  p.SkipWidth = 1;
  for (int i = 0; i < p.PictureWidth * p.PictureHeight; ++i)
    p.Pixels.push_back(static_cast<uint16_t>(0x1000 + i));  // never a poison colour
  p.Keyed.assign(p.Pixels.size(), 0);
  p.Keyed[static_cast<size_t>(3 * p.PictureWidth + 2 * 9 + 5)] = 1;
  p.BuildPatterns();
  return p;
}

TEST(FrameCover, PatternsAreOpaqueOnlyWithoutAKeyedPixelWhenBuilt) {
  TPictureItem p = Sheet();
  ASSERT_EQ(p.PatternCount(), 4);
  EXPECT_TRUE(p.PatternOpaque(0));
  EXPECT_TRUE(p.PatternOpaque(1));
  EXPECT_FALSE(p.PatternOpaque(2));
  EXPECT_TRUE(p.PatternOpaque(3));
  EXPECT_FALSE(p.PatternOpaque(-1));
  EXPECT_FALSE(p.PatternOpaque(4));
  // Drawn without the key, the keyed pixel is drawn too.
  p.Transparent = false;
  EXPECT_TRUE(p.PatternOpaque(2));
  // A picture whose pixels do not fill it draws nothing.
  p.Pixels.pop_back();
  EXPECT_FALSE(p.PatternOpaque(0));
  TPictureItem unbuilt = Sheet();
  unbuilt.Keyed.pop_back();  // a key that does not match: a keyed picture then draws nothing
  unbuilt.BuildPatterns();
  EXPECT_FALSE(unbuilt.PatternOpaque(0));
}

// Covered exactly where drawing the cells over two different colours gives the same pixels.
bool DrawnOver(TBackgroundSprite& bg, TSurface& s, const TRect& r) {
  s.Fill(PoisonA);
  bg.Draw();
  const std::vector<uint16_t> a = s.Pixels;
  s.Fill(PoisonB);
  bg.Draw();
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (a[static_cast<size_t>(y) * s.Width + x] != s.Pixels[static_cast<size_t>(y) * s.Width + x])
        return false;
  return true;
}

TEST(FrameCover, TheCellsCoverARectangleExactlyWhenDrawingThemOverwritesIt) {
  // Pattern 2 wholly see-through here, so any of its cells that meets the rectangle leaves a hole
  // in it and the answer must be exact.
  TPictureItem sheet = Sheet();
  for (int y = 0; y < 6; ++y)
    for (int x = 18; x < 26; ++x) sheet.Keyed[static_cast<size_t>(y * sheet.PictureWidth + x)] = 1;
  sheet.BuildPatterns();
  TSurface s(60, 40);
  TSpriteEngine engine;
  engine.SetSurface(&s);
  auto* bg = new TBackgroundSprite(&engine);
  bg->SetMapSize(6, 5);
  bg->SetBackgroundImage(&sheet);
  uint32_t seed = 99;
  auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  int covered = 0, open = 0;
  for (int round = 0; round < 400; ++round) {
    bg->Tile = round % 3 == 0;
    // Mostly opaque cells, now and then a keyed one or none.
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) {
        const int k = next(40);
        bg->SetChip(x, y, k == 0 ? -1 : k == 1 ? 2 : (k % 2 ? 0 : 3));
      }
    bg->X = next(40) - 20 + (next(2) ? 0.4 : 0.0);
    bg->Y = next(30) - 15;
    const int l = next(60), t = next(40);
    const TRect r{l, t, l + 1 + next(60 - l), t + 1 + next(40 - t)};
    const bool claimed = bg->CoversOpaquely(r);
    ASSERT_EQ(claimed, DrawnOver(*bg, s, r))
        << "round " << round << " at " << bg->X << "," << bg->Y << " rect " << r.Left << ","
        << r.Top << "-" << r.Right << "," << r.Bottom;
    (claimed ? covered : open) += 1;
  }
  // Both answers were tried many times.
  EXPECT_GT(covered, 40);
  EXPECT_GT(open, 40);
  EXPECT_FALSE(bg->CoversOpaquely(TRect{5, 5, 5, 9}));  // an empty rectangle proves nothing
}

// Two games on one script: one cleared before every frame as the plain rule has it, the other
// painted over with a loud colour instead. Every finished frame must be the same.
struct TTwinRaces {
  test::TRunDir Dir;
  TScriptRunner Plain, Shortcut;
  int Frames = 0, Uncleared = 0;

  void Run(const std::string& script) {
    std::string e;
    ASSERT_EQ(Plain.Run(script, e), 0) << e;
    ASSERT_EQ(Shortcut.Run(script, e), 0) << e;
  }
  void Step(int n) {
    for (int i = 0; i < n; ++i) {
      TFormState& s = Shortcut.State();
      if (s.Race.Background && s.Race.Background->CoversFrame()) ++Uncleared;
      Plain.State().MDisplay.Fill(0);
      s.MDisplay.Fill(static_cast<uint16_t>(i % 2 ? PoisonA : PoisonB));
      Plain.Frames(1);
      Shortcut.Frames(1);
      ++Frames;
      ASSERT_EQ(Plain.State().MDisplay.Pixels, s.MDisplay.Pixels) << "frame " << Frames;
    }
  }
};

TEST(FrameCover, RacesLeaveNoPixelOfTheFrameBeforeWithoutTheClearing) {
  TTwinRaces t;
  // From the menu into a race: the banner, riding, steering into the verges, a crash, a pause.
  t.Run("seed 5\nframes 30\n");
  t.Step(10);
  t.Run("race 1\nlevel 6\n");
  t.Step(200);
  t.Run("keydown Up\n");
  t.Step(150);
  t.Run("keydown Left\n");
  t.Step(120);
  t.Run("keyup Left\nkeydown Right\n");
  t.Step(160);
  t.Run("keyup Right\npress P\n");
  t.Step(20);
  t.Run("press P\n");
  t.Step(60);
  // The rider hidden: the panels are not drawn and the frame is cleared.
  t.Shortcut.State().Race.Player->Visible = false;
  t.Plain.State().Race.Player->Visible = false;
  const int before = t.Uncleared;
  t.Step(5);
  EXPECT_EQ(t.Uncleared, before);
  t.Shortcut.State().Race.Player->Visible = true;
  t.Plain.State().Race.Player->Visible = true;
  // A hole in the road: the frame is cleared while it shows.
  t.Shortcut.State().Race.Background->SetChip(6, 4, -1);
  t.Plain.State().Race.Background->SetChip(6, 4, -1);
  EXPECT_FALSE(t.Shortcut.State().Race.Background->CoversFrame());
  t.Step(1);
  // Most riding frames were drawn without the clearing.
  EXPECT_GT(t.Uncleared, t.Frames / 2);
}

// An opaque 40 x 30 panel and a keyed 12 x 9 picture with a hole, for drawing over it.
TPictureItem Panel(int w, int h, bool keyed, uint16_t base) {
  TPictureItem p;
  p.PictureWidth = w;
  p.PictureHeight = h;
  p.Transparent = keyed;
  for (int i = 0; i < w * h; ++i) p.Pixels.push_back(static_cast<uint16_t>(base + i * 7));
  p.Keyed.assign(p.Pixels.size(), 0);
  if (keyed) p.Keyed[static_cast<size_t>(w + 3)] = 1;
  p.BuildPatterns();
  return p;
}

TEST(StandingPictures, RepaintedPanelsMatchPanelsDrawnWholeAfterEveryKindOfDrawing) {
  const TPictureItem left = Panel(40, 30, false, 0x1000), right = Panel(40, 30, false, 0x3000);
  const TPictureItem sprite = Panel(12, 9, true, 0x7000);
  TSurface s(100, 60), whole(100, 60);
  TStandingPictures panels, reference;
  const std::vector<TStandingPictures::TPlaced> placed{{&left, 0, 0}, {&right, 60, 25}};
  uint32_t seed = 99;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  int repainted = 0;
  for (int frame = 0; frame < 300; ++frame) {
    // The same drawings on both surfaces; only `whole` forgets what was drawn before.
    struct TOp {
      int Kind, X, Y, Angle;
    };
    std::vector<TOp> ops;
    for (int k = frame % 5 == 0 ? 0 : 3; k > 0; --k)
      ops.push_back(TOp{next(6), next(110) - 10, next(70) - 10, next(256)});
    for (TSurface* d : {&s, &whole})
      for (const TOp& o : ops) switch (o.Kind) {
          case 0:
            sprite.DrawPattern(*d, o.X, o.Y, 0);
            break;
          case 1:
            sprite.DrawPattern(*d, o.X, o.Y, 0, TRect{o.X + 2, o.Y + 1, o.X + 9, o.Y + 7});
            break;
          case 2:
            sprite.DrawRotate(*d, o.X, o.Y, 16, 12, 0, 0.5, 0.5, o.Angle);
            break;
          case 3:
            sprite.DrawPatternAlpha(*d, TRect{o.X, o.Y, o.X + 20, o.Y + 5}, 0, 128);
            break;
          case 4:
            // Written straight into the pixels, and reported.
            if (o.X >= 0 && o.X < d->Width && o.Y >= 0 && o.Y < d->Height) {
              d->Row(o.Y)[o.X] = 0xFFFF;
              d->Touch(TRect{o.X, o.Y, o.X + 1, o.Y + 1});
            }
            break;
          default:
            if (o.Angle < 8) d->Fill(static_cast<uint16_t>(o.Angle));  // now and then
            break;
        }
    whole.TouchAll();
    panels.Draw(s, placed);
    reference.Draw(whole, placed);
    ASSERT_EQ(s.Pixels, whole.Pixels) << "frame " << frame;
    if (panels.LastCopied() < reference.LastCopied()) ++repainted;
  }
  // Most frames copied only a part of the panels.
  EXPECT_GT(repainted, 200);
}

// Two games on one script, one forgetting before every frame what was drawn on its screen so
// its panels are drawn whole: the HUD, the radar, the bike bay, the needle, crashes, a pause and
// the menu must leave the same finished frames as panels copied again only where touched.
TEST(StandingPictures, RacesWithRepaintedPanelsMatchRacesWithWholePanels) {
  test::TRunDir dir;
  TScriptRunner repainted, whole;
  int frames = 0, partial = 0;
  auto run = [&](const std::string& script) {
    std::string e;
    ASSERT_EQ(repainted.Run(script, e), 0) << e;
    ASSERT_EQ(whole.Run(script, e), 0) << e;
  };
  auto step = [&](int n) {
    for (int i = 0; i < n; ++i) {
      whole.State().MDisplay.TouchAll();
      repainted.Frames(1);
      whole.Frames(1);
      ++frames;
      ASSERT_EQ(repainted.State().MDisplay.Pixels, whole.State().MDisplay.Pixels)
          << "frame " << frames;
      const TPlayer* p = repainted.State().Race.Player;
      const TPlayer* q = whole.State().Race.Player;
      if (p && q && p->Panels.LastCopied() < q->Panels.LastCopied()) ++partial;
    }
  };
  run("seed 7\nframes 20\n");
  step(5);
  run("race 2\nlevel 4\n");
  step(150);
  run("keydown Up\n");
  step(150);
  run("keydown Left\n");
  step(90);
  run("keyup Left\nkeydown Right\nkeydown H\n");
  step(160);
  run("keyup Right\nkeyup H\npress P\n");
  step(20);
  run("press P\nkeydown Space\n");
  step(60);
  run("keyup Space\npress Escape\n");
  step(20);
  // Most race frames copied only parts of the panels.
  EXPECT_GT(partial, frames / 2);
}

// A 30-wide panel standing at column 50 of a 100 x 60 surface, a keyed fitting drawn on it and
// a turned one: laid in, drawn as one picture, the same pixels as the panel and the fittings.
TEST(FittedPanel, HoldsThePanelAndItsFittingsAsDrawnAndOnlyFittingsInsideIt) {
  const TPictureItem panel = Panel(30, 60, false, 0x2000), fitting = Panel(12, 9, true, 0x6000);
  const TPictureItem shortPanel = Panel(30, 50, false, 0x2000);
  auto fit = [&](int x) {
    return [&fitting, x](TSurface& d) {
      fitting.DrawPattern(d, x, 10, 0);
      fitting.DrawRotate(d, 65, 40, 20, 14, 0, 0.5, 0.5, 40);
    };
  };
  TFittedPanel fitted;
  const std::vector<const void*> key{&fitting, fitting.Pixels.data()};
  const TPictureItem* p = fitted.Get(100, 60, &panel, 50, key, fit(55));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(fitted.Remade());
  EXPECT_TRUE(p->PatternOpaque(0));
  TSurface laid(100, 60), drawn(100, 60);
  laid.Fill(PoisonA);
  drawn.Fill(PoisonA);
  p->DrawPattern(laid, 50, 0, 0);
  panel.DrawPattern(drawn, 50, 0, 0);
  fit(55)(drawn);
  EXPECT_EQ(laid.Pixels, drawn.Pixels);
  // The same key: the picture already made; another key: made again.
  EXPECT_EQ(fitted.Get(100, 60, &panel, 50, key, fit(55)), p);
  EXPECT_FALSE(fitted.Remade());
  const std::vector<const void*> other{&fitting, nullptr};
  EXPECT_NE(fitted.Get(100, 60, &panel, 50, other, fit(55)), nullptr);
  EXPECT_TRUE(fitted.Remade());
  // A fitting reaching one column left of the panel, a panel short of the surface's height, a
  // fitting that clears the surface: none is laid in.
  EXPECT_EQ(fitted.Get(100, 60, &panel, 50, key, fit(49)), nullptr);
  EXPECT_EQ(fitted.Get(100, 60, &shortPanel, 50, key, fit(55)), nullptr);
  EXPECT_EQ(fitted.Get(100, 60, &panel, 50, other, [](TSurface& d) { d.Fill(0); }), nullptr);
  // Cut at the surface's right edge: the panel's columns that show.
  p = fitted.Get(70, 60, &panel, 50, key, fit(55));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->PictureWidth, 20);
}

// Two games on one script, one drawing the bike in the bay and the radar's frame over the right
// panel every frame: the radar's cells and dots moving under the frame, opponents, crashes and a
// pause must leave the same finished frames as the panel with them laid in.
TEST(FittedPanel, RacesWithTheFittedPanelMatchRacesWithTheFittingsDrawnEachFrame) {
  test::TRunDir dir;
  TScriptRunner fitted, drawn;
  int frames = 0, laidIn = 0;
  auto run = [&](const std::string& script) {
    std::string e;
    ASSERT_EQ(fitted.Run(script, e), 0) << e;
    ASSERT_EQ(drawn.Run(script, e), 0) << e;
  };
  auto step = [&](int n) {
    for (int i = 0; i < n; ++i) {
      if (TPlayer* p = drawn.State().Race.Player) p->FitRightPanel = false;
      fitted.Frames(1);
      drawn.Frames(1);
      ++frames;
      ASSERT_EQ(fitted.State().MDisplay.Pixels, drawn.State().MDisplay.Pixels)
          << "frame " << frames;
      const TPlayer* p = fitted.State().Race.Player;
      if (p && p->RightPanel.Current() && !p->RadarCovered.empty()) ++laidIn;
    }
  };
  run("seed 12\nframes 20\nrace 3\nlevel 6\n");
  step(200);
  run("keydown Up\n");
  step(200);
  run("keydown Left\n");
  step(60);
  run("keyup Left\nkeydown Right\n");
  step(100);
  run("keyup Right\npress P\n");
  step(10);
  run("press P\n");
  step(40);
  // The panel was laid in, with the radar's cells under its frame, on most frames.
  EXPECT_GT(laidIn, frames / 2);
}

}  // namespace
}  // namespace zw
