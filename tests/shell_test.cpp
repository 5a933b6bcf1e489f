// Tests of the game shell's rules: the menu cursor, timers, frame timing, the generator and text
// entry.
#include <gtest/gtest.h>

#include "core/random.hpp"
#include "shell/form.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

TEST(ShellCursor, StepNextAndPrevWrapAtTheEnds) {
  int32_t v = 6;
  EXPECT_TRUE(TMForm::StepNext(v, 1, 6));
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(TMForm::StepNext(v, 1, 6));
  EXPECT_EQ(v, 2);
  v = 0;  // nothing selected jumps to the first
  EXPECT_TRUE(TMForm::StepNext(v, 1, 6));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(TMForm::StepPrev(v, 1, 6));
  EXPECT_EQ(v, 6);
  EXPECT_FALSE(TMForm::StepPrev(v, 1, 6));
  EXPECT_EQ(v, 5);
  v = 9;
  EXPECT_TRUE(TMForm::StepPrev(v, 1, 6));
  EXPECT_EQ(v, 6);
}

TEST(ShellCursor, StepsAndClampsStayInRange) {
  int32_t v = 11;
  TMForm::StepDown(v, 11, 1);
  EXPECT_EQ(v, 11);
  TMForm::StepUp(v, 12, 1);
  EXPECT_EQ(v, 12);
  TMForm::StepUp(v, 12, 1);
  EXPECT_EQ(v, 12);
  v = 0;
  TMForm::ClampFirst(v, 11, 12);
  EXPECT_EQ(v, 11);
  v = 0;
  TMForm::ClampLast(v, 11, 12);
  EXPECT_EQ(v, 12);
  v = 11;
  TMForm::ClampLast(v, 11, 12);
  EXPECT_EQ(v, 11);
}

TEST(ShellCursor, TimerTakeFiresOnTheFirstFrameItCannotTake) {
  int32_t t = 2000;
  int frames = 0;
  while (TMForm::TimerTake(t, 0, 16)) ++frames;
  EXPECT_EQ(frames, 125);  // 125 x 16 = 2000 exactly reaches 0
  EXPECT_EQ(t, 0);
  t = 5;
  EXPECT_FALSE(TMForm::TimerTake(t, 0, 16));
  EXPECT_EQ(t, 5);
}

// Runs frames of `ms` until the timer has measured a rate, then reports the timing.
void Settle(test::TFormFixture& f, int refresh, int ms) {
  f.Headless.Display.Refresh = refresh;
  f.Form->ApplyDisplayMode();
  f.Frames(3000 / ms + 1, ms);
}

TEST(ShellTiming, BeforeTheFirstMeasureTheRefreshRateRules) {
  test::TFormFixture f;
  f.Headless.Display.Refresh = 60;
  f.Form->ApplyDisplayMode();
  EXPECT_EQ(f.Form->Timing.FrameTime, 15);
  EXPECT_DOUBLE_EQ(f.Form->Timing.SpeedFactor, 1.0);
  f.Frames(1, 10);
  EXPECT_EQ(f.Form->Timing.FrameRate, 0);
  EXPECT_EQ(f.Form->Timing.FrameTime, 16);
  EXPECT_DOUBLE_EQ(f.Form->Timing.SpeedFactor, 85.0 / 60);
}

TEST(ShellTiming, MeasuredRatesNearTheRefreshCountAsTheRefresh) {
  struct Case {
    int Ms, Rate, FrameTime;
    double Speed;
  };
  // At 60 Hz: 100 fps counts as 60; 59 (17 ms) as 60; 50 stays 50.
  for (const Case& c :
       {Case{10, 100, 16, 85.0 / 60}, Case{17, 59, 16, 85.0 / 60}, Case{20, 50, 20, 1.7}}) {
    test::TFormFixture f;
    Settle(f, 60, c.Ms);
    EXPECT_EQ(f.Form->Timing.FrameRate, c.Rate) << c.Ms;
    EXPECT_EQ(f.Form->Timing.FrameTime, c.FrameTime) << c.Ms;
    EXPECT_DOUBLE_EQ(f.Form->Timing.SpeedFactor, c.Speed) << c.Ms;
  }
}

TEST(ShellTiming, TheRuleTableAtSixtyHertz) {
  // The measured rate is injected straight into the timer's last measure.
  struct Case {
    int Rate, Used;
  };
  for (const Case& c : {Case{58, 60}, Case{61, 61}, Case{62, 62}, Case{63, 60}, Case{50, 50}}) {
    test::TFormFixture f;
    f.Headless.Display.Refresh = 60;
    f.Form->ApplyDisplayMode();
    f.Form->Timing.TimerFrameRate = c.Rate;
    f.Form->MTimerTimer(16);
    EXPECT_EQ(f.Form->Timing.FrameTime, 1000 / c.Used) << c.Rate;
    EXPECT_DOUBLE_EQ(f.Form->Timing.SpeedFactor, 85.0 / c.Used) << c.Rate;
  }
}

TEST(ShellTiming, ADisplayThatDoesNotKnowItsRateCountsAsSixty) {
  test::TFormFixture f;
  f.Headless.Display.Refresh = 1;
  f.Form->ApplyDisplayMode();
  EXPECT_EQ(f.Form->Timing.RefreshRate, 60);
}

TEST(ShellRandom, FirstOutputsOfAKnownSeed) {
  TRandom r{12345};
  EXPECT_EQ(r.Random(100), 38);
  EXPECT_EQ(r.Random(1000), 289);
  EXPECT_EQ(r.Random(5), 0);
  EXPECT_EQ(r.Random(2147483647), 1188868577);
  TRandom z{0};
  z.Random(10);
  EXPECT_EQ(z.Seed, 1u);
  z.Random(10);
  EXPECT_EQ(z.Seed, 134775814u);
}

TEST(ShellText, NameCharactersAndTheirLimits) {
  EXPECT_TRUE(TMForm::IsNameChar('a'));
  EXPECT_TRUE(TMForm::IsNameChar('Z'));
  EXPECT_TRUE(TMForm::IsNameChar('7'));
  EXPECT_TRUE(TMForm::IsNameChar(' '));
  EXPECT_FALSE(TMForm::IsNameChar('!'));
  EXPECT_FALSE(TMForm::IsNameChar('_'));
  EXPECT_FALSE(TMForm::IsNameChar(200));
  std::string s = "ABCDEFGHIJKL";
  TMForm::AppendChar(s, 'M', 12);
  EXPECT_EQ(s, "ABCDEFGHIJKL");
  std::string e;
  TMForm::DeleteLastChar(e);
  EXPECT_EQ(e, "");
}

TEST(ShellBossKey, OnlyTheExactModifiersFire) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  form.FormKeyDown(vk::F1 + 8, 0);  // F9 alone
  EXPECT_FALSE(f.Headless.Display.Minimised);
  form.FormKeyDown(vk::F1 + 8, mod::Alt | mod::Ctrl);
  EXPECT_FALSE(f.Headless.Display.Minimised);
  form.FormKeyDown(vk::F1 + 8, mod::Alt);
  EXPECT_TRUE(f.Headless.Display.Minimised);
  EXPECT_TRUE(form.Keys.MusicRestartPending);
  f.Headless.Display.Minimised = false;
  form.Keys.BossKey = 0;
  form.Keys.BossKeyShift = 0;
  form.FormKeyDown(0, 0);
  EXPECT_FALSE(f.Headless.Display.Minimised);
}

TEST(ShellBossKey, TheCaptureTakesAFunctionKeyWithItsModifier) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  form.ToggleBossKeyCapture();
  form.FormKeyDown(vk::Alt, mod::Alt);  // a modifier alone only changes the modifier
  EXPECT_TRUE(form.Keys.BossKeyCapture);
  EXPECT_EQ(form.Keys.BossKeyShift, 2);
  EXPECT_EQ(form.Keys.BossKey, 0);
  form.FormKeyDown(vk::F1 + 4, mod::Alt);
  EXPECT_FALSE(form.Keys.BossKeyCapture);
  EXPECT_EQ(form.Keys.BossKey, vk::F1 + 4);
  EXPECT_EQ(form.Keys.BossKeyShift, 2);
  EXPECT_FALSE(f.Headless.Display.Minimised);
}

}  // namespace
}  // namespace zw
