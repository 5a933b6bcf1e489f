// The picture's scale in a window and on a whole screen, and the mouse mapped back through it.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/common/pad_travel.hpp"
#include "platform/common/picture_scale.hpp"
#include "shell/form.hpp"
#include "sprites/game_sprites.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

TEST(PictureScale, TheWindowIsTheLargestWholeMultipleTheDesktopHolds) {
  EXPECT_EQ(WindowScale(1024, 768), 1);
  EXPECT_EQ(WindowScale(800, 600), 1);
  EXPECT_EQ(WindowScale(640, 480), 1);  // never below the picture itself
  EXPECT_EQ(WindowScale(1920, 1200), 2);
  EXPECT_EQ(WindowScale(1920, 1170), 1);  // a panel takes the room of the second row
  EXPECT_EQ(WindowScale(3840, 2160), 3);
  EXPECT_EQ(WindowScale(5120, 1440), 2);  // the height decides on a wide desktop
}

TEST(PictureScale, FullScreenKeepsTheAspectAndWholeNumbersWhereTheyServe) {
  auto fit = [](int w, int h) { return FitPicture(w, h); };
  TViewport v = fit(800, 600);
  EXPECT_EQ(v.X, 0);
  EXPECT_EQ(v.W, 800);
  EXPECT_EQ(v.H, 600);
  v = fit(1600, 1200);
  EXPECT_EQ(v.X, 0);
  EXPECT_EQ(v.Y, 0);
  EXPECT_EQ(v.W, 1600);
  v = fit(2560, 1440);  // 2x with bars all round
  EXPECT_EQ(v.W, 1600);
  EXPECT_EQ(v.H, 1200);
  EXPECT_EQ(v.X, 480);
  EXPECT_EQ(v.Y, 120);
  v = fit(3840, 2160);
  EXPECT_EQ(v.W, 2400);
  EXPECT_EQ(v.H, 1800);
  // 1x would leave a 1080-line screen mostly black: the aspect-kept fit instead.
  v = fit(1920, 1080);
  EXPECT_EQ(v.W, 1440);
  EXPECT_EQ(v.H, 1080);
  EXPECT_EQ(v.X, 240);
  EXPECT_EQ(v.Y, 0);
  v = fit(640, 480);  // a screen smaller than the picture shrinks it
  EXPECT_EQ(v.W, 640);
  EXPECT_EQ(v.H, 480);
  v = fit(1280, 1024);  // taller than 4:3: bars above and below
  EXPECT_EQ(v.W, 1280);
  EXPECT_EQ(v.H, 960);
  EXPECT_EQ(v.Y, 32);
  v = fit(0, 0);
  EXPECT_EQ(v.W, 800);
}

TEST(PictureScale, EveryOutputPixelMapsToThePicturePixelDrawnThere) {
  for (TViewport v : {FitPicture(800, 600), FitPicture(1600, 1200), FitPicture(2560, 1440),
                      FitPicture(1920, 1080)}) {
    int x = 0, y = 0;
    OutputToPicture(v, v.X, v.Y, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    OutputToPicture(v, v.X + v.W - 1, v.Y + v.H - 1, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 599);
    OutputToPicture(v, v.X - 1, v.Y + v.H, x, y);  // the bars lie outside the picture
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, 600);
    // Monotone, and every picture column is reached.
    int last = -1;
    for (int ox = v.X; ox < v.X + v.W; ++ox) {
      OutputToPicture(v, ox, v.Y, x, y);
      ASSERT_TRUE(x == last || x == last + 1) << ox;
      last = x;
    }
    EXPECT_EQ(last, 799);
  }
}

// A click on the last pixel of a menu button hits it, and one pixel further misses, at 1x, 2x
// and on a full 2560 x 1440 screen.
TEST(PictureScale, AButtonsEdgeHitsAtEveryScale) {
  test::TRunDir dir;
  test::TFormFixture fix;
  ASSERT_TRUE(fix.Form->FormCreate());
  fix.Frames(70, 12);
  TMForm& f = *fix.Form;
  const TMenuButton* b = f.Menu.MenuButtons[2];
  ASSERT_NE(b, nullptr);
  // The last picture column that hits the button.
  const int right =
      static_cast<int>(std::floor(b->X + (b->HitWidth == -1 ? b->Width : b->HitWidth)));
  const int midY = static_cast<int>(b->Y) + b->Height / 2;
  for (TViewport v : {FitPicture(800, 600), FitPicture(1600, 1200), FitPicture(2560, 1440)}) {
    const int k = v.W / 800;
    int x = 0, y = 0;
    // The rightmost output pixel of the picture column `right`, then the first one past it.
    // The main menu keeps its choice when the pointer misses, so start from another item.
    f.Menu.MenuIndex = 1;
    OutputToPicture(v, v.X + (right + 1) * k - 1, v.Y + midY * k, x, y);
    f.MDisplayMouseMove(x, y);
    EXPECT_EQ(f.Menu.MenuIndex, 2) << "scale " << k;
    f.Menu.MenuIndex = 1;
    OutputToPicture(v, v.X + (right + 1) * k, v.Y + midY * k, x, y);
    f.MDisplayMouseMove(x, y);
    EXPECT_NE(f.Menu.MenuIndex, 2) << "scale " << k;
  }
}

TEST(PadTravel, DeadZoneAndTriggerThirdWithSlackOnTheWayBack) {
  // A stick is pushed from 12000 and let go at 8000 or less; a trigger is held from a third of
  // its travel (10923) and let go at 8500 or less. Between the two a control keeps what it was.
  struct TCase {
    int Travel;
    bool WasOn, On;
  };
  const TCase stick[] = {
      {0, false, false},    {8000, false, false}, {11999, false, false}, {12000, false, true},
      {32767, false, true}, {32767, true, true},  {12000, true, true},   {11999, true, true},
      {8001, true, true},   {8000, true, false},  {7999, true, false},   {0, true, false},
  };
  for (const TCase& c : stick)
    EXPECT_EQ(TravelOn(c.Travel, c.WasOn, StickOnAt, StickOffAt), c.On)
        << "stick at " << c.Travel << (c.WasOn ? ", pushed before" : "");
  const TCase trigger[] = {
      {0, false, false},    {8501, false, false}, {10922, false, false},
      {10923, false, true}, {32767, false, true}, {10922, true, true},
      {8501, true, true},   {8500, true, false},  {0, true, false},
  };
  for (const TCase& c : trigger)
    EXPECT_EQ(TravelOn(c.Travel, c.WasOn, TriggerOnAt, TriggerOffAt), c.On)
        << "trigger at " << c.Travel << (c.WasOn ? ", held before" : "");
}

}  // namespace
}  // namespace zw
