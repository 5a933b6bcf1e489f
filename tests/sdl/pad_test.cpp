// The gamepad through SDL's own game-controller layer: a virtual pad plugged into SDL drives the
// real game's menus, a whole race and the name entry, with no keyboard at all.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "platform/sdl/sdl_platform.hpp"
#include "rider/player.hpp"
#include "shell/form.hpp"
#include "tests/sdl/virtual_pad.hpp"
#include "tests/test_support.hpp"
#include "world/scroll_background.hpp"

namespace zw {
namespace {

struct TRumbleLog {
  int Calls = 0;
  Uint16 Low = 0, High = 0;
};

int SDLCALL VirtualRumble(void* userdata, Uint16 low, Uint16 high) {
  auto* log = static_cast<TRumbleLog*>(userdata);
  ++log->Calls;
  log->Low = low;
  log->High = high;
  return 0;
}

// SDL with the events and game-controller parts only, a virtual pad plugged in, and the game's
// SDL input reading it; the rest of the platform is the headless one, so frames are counted.
class SdlPad : public ::testing::Test {
 protected:
  test::TRunDir Dir;
  test::TFormFixture Fix;
  TSdlInput Input;
  SDL_Joystick* Joy = nullptr;
  int Device = -1;
  TRumbleLog Rumble;

  void SetUp() override {
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS | SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    Plug();
    Fix.Headless.Platform.Input = &Input;
    ASSERT_TRUE(Fix.Form->FormCreate());
    Frames(70);  // the fly-in
    ASSERT_TRUE(Input.PadConnected());
  }
  void TearDown() override {
    Input.Gamepad.Close();
    if (Joy) SDL_JoystickClose(Joy);
    if (Device >= 0) SDL_JoystickDetachVirtual(Device);
    SDL_Quit();
  }
  void Plug() {
    Joy = test::PlugVirtualPad("Test pad", Device, &Rumble, VirtualRumble);
    ASSERT_NE(Joy, nullptr) << SDL_GetError();
    Input.Pump();
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      Input.Pump();
      Fix.Frames(1, 12);
    }
  }
  void Button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(Joy, b, down ? 1 : 0);
  }
  void Press(SDL_GameControllerButton b) {
    Button(b, true);
    Frames(1);
    Button(b, false);
    Frames(1);
  }
  void Axis(SDL_GameControllerAxis a, int v) {
    SDL_JoystickSetVirtualAxis(Joy, a, static_cast<Sint16>(v));
  }
  TMForm& F() { return *Fix.Form; }
};

TEST_F(SdlPad, DpadAndStickMoveTheMenuAndABAreEnterAndEsc) {
  ASSERT_EQ(F().Menu.CurrentScreen, 1);
  const int start = F().Menu.MenuIndex;
  Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_EQ(F().Menu.MenuIndex, start + 1);
  // A stick inside its dead zone does nothing; past it, it steps once however long it is held.
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 7000);
  Frames(3);
  EXPECT_EQ(F().Menu.MenuIndex, start + 1);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 30000);
  Frames(5);
  EXPECT_EQ(F().Menu.MenuIndex, start + 2);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  Frames(1);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, -30000);
  Frames(1);
  EXPECT_EQ(F().Menu.MenuIndex, start + 1);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  Frames(1);
  Press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  EXPECT_EQ(F().Menu.MenuIndex, start);
  // A opens the bike selection, B goes back to the main menu.
  Press(SDL_CONTROLLER_BUTTON_A);
  Frames(2);
  EXPECT_EQ(F().Menu.CurrentScreen, 2);
  Press(SDL_CONTROLLER_BUTTON_B);
  Frames(2);
  EXPECT_EQ(F().Menu.CurrentScreen, 1);
  // B on the main menu asks to leave; No is chosen, and A answers it.
  Press(SDL_CONTROLLER_BUTTON_B);
  EXPECT_EQ(F().Menu.ActiveDialog, 1);
  Press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(F().Menu.ActiveDialog, 0);
  EXPECT_FALSE(F().Terminated);
}

// A stick counts as pushed from 12000 of its travel and, once pushed, stays so until it is back
// to 8000 or less: a thumb resting near the edge neither flickers the control nor steps a menu
// again. Walked up and down across both edges, on each of the stick's four directions.
TEST_F(SdlPad, AStickSwitchesOnPastItsEdgeAndLetsGoOnlyWellInside) {
  struct TStep {
    int Travel;
    bool Held;
  };
  const TStep walk[] = {
      {0, false},    {7999, false}, {8000, false}, {8001, false}, {11999, false}, {12000, true},
      {11999, true}, {10000, true}, {8001, true},  {8000, false}, {8001, false},  {11999, false},
      {12001, true}, {32767, true}, {7999, false}, {12000, true}, {0, false},
  };
  struct TDirection {
    SDL_GameControllerAxis Axis;
    int Sign;
    int Control;
    int Opposite;
    const char* Name;
  };
  const TDirection directions[] = {
      {SDL_CONTROLLER_AXIS_LEFTX, 1, pad::StickRight, pad::StickLeft, "right"},
      {SDL_CONTROLLER_AXIS_LEFTX, -1, pad::StickLeft, pad::StickRight, "left"},
      {SDL_CONTROLLER_AXIS_LEFTY, 1, pad::StickDown, pad::StickUp, "down"},
      {SDL_CONTROLLER_AXIS_LEFTY, -1, pad::StickUp, pad::StickDown, "up"},
  };
  for (const TDirection& d : directions)
    for (const TStep& s : walk) {
      Axis(d.Axis, d.Sign * s.Travel);
      Input.Pump();
      EXPECT_EQ(Input.PadHeld(d.Control), s.Held) << d.Name << " at " << s.Travel;
      EXPECT_FALSE(Input.PadHeld(d.Opposite)) << d.Name << " at " << s.Travel;
    }
  // On the main menu: pushed once, then wobbling between 9000 and 12500 is still one push.
  Frames(1);
  const int start = F().Menu.MenuIndex;
  for (int v : {12500, 9000, 12500, 9000, 12500}) {
    Axis(SDL_CONTROLLER_AXIS_LEFTY, v);
    Frames(1);
  }
  EXPECT_EQ(F().Menu.MenuIndex, start + 1);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  Frames(1);
}

// Controls held on a pad that is pulled out are let go, both in what the input says is held and
// as let-go events: every control reported pressed is reported released, the held ones and no
// others. SDL itself lets go of a leaving pad's buttons and sticks before it says the pad left;
// the pad lets go of whatever is still held when the notice comes without them, as a notice
// pushed here while the controls are held does.
TEST_F(SdlPad, UnpluggingLetsGoOfEverythingAndANewPadPlays) {
  const std::set<int> held = {pad::DpadDown, pad::X, pad::TriggerRight, pad::StickLeft};
  auto hold = [&] {
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    Button(SDL_CONTROLLER_BUTTON_X, true);
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    Axis(SDL_CONTROLLER_AXIS_LEFTX, -30000);
    Frames(1);
    for (int c = 0; c < pad::Count; ++c) EXPECT_EQ(Input.PadHeld(c), held.count(c) == 1) << c;
  };
  // The events read here, not by the game, to see each one.
  auto released = [&] {
    std::multiset<int> up;
    for (int i = 0; i < 3; ++i) {
      Input.Pump();
      TInputEvent ev;
      while (Input.PollEvent(ev)) {
        EXPECT_NE(ev.Type, TInputEvent::PadDown);
        if (ev.Type == TInputEvent::PadUp) up.insert(ev.Key);
      }
    }
    for (int c = 0; c < pad::Count; ++c) EXPECT_FALSE(Input.PadHeld(c)) << c;
    return up;
  };
  const std::multiset<int> all(held.begin(), held.end());
  {
    SCOPED_TRACE("the notice alone");
    hold();
    // The notice is queued ahead of the let-go the pad sends at SDL's next look at it.
    SDL_Event e{};
    e.type = SDL_CONTROLLERDEVICEREMOVED;
    e.cdevice.which = SDL_JoystickInstanceID(Joy);
    SDL_PushEvent(&e);
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
    Button(SDL_CONTROLLER_BUTTON_X, false);
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    EXPECT_EQ(released(), all);
    // The pad is still there, and plays again (found anew).
    EXPECT_TRUE(Input.PadConnected());
  }
  SCOPED_TRACE("pulled out");
  hold();
  SDL_JoystickClose(Joy);
  Joy = nullptr;
  SDL_JoystickDetachVirtual(Device);
  Device = -1;
  EXPECT_EQ(released(), all);
  Frames(2);
  EXPECT_FALSE(Input.PadConnected());
  Plug();
  Frames(1);
  EXPECT_TRUE(Input.PadConnected());
  const int index = F().Menu.MenuIndex;
  Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_NE(F().Menu.MenuIndex, index);
}

// Steers the bike with the stick towards the middle of the road a little way ahead of it.
int SteerTowardsRoad(TMForm& f) {
  TPlayer& p = *f.Race.Player;
  // The bike's centre on the map: the screen position plus the view, less the scroll.
  const double wx = p.CentreX + 72.0 * f.Track.ViewCol - f.Race.Background->X;
  const double wy = p.CentreY + 72.0 * f.Track.ViewRow - f.Race.Background->Y;
  double sum = 0;
  int n = 0;
  for (int dx = -360; dx <= 360; dx += 6)
    if (p.IsRoadAt(wx + dx, wy - 140)) sum += dx, ++n;
  const double target = n ? sum / n : 0;
  int heading = p.Heading % 256;
  if (heading > 128) heading -= 256;
  const double want = std::clamp(target / 12.0, -14.0, 14.0);
  if (heading > want + 1) return -32000;
  if (heading < want - 1) return 32000;
  return 0;
}

TEST_F(SdlPad, ARaceRiddenWithThePadToTheFinishLine) {
  Press(SDL_CONTROLLER_BUTTON_A);  // the bike selection
  Frames(2);
  Press(SDL_CONTROLLER_BUTTON_A);  // start on the chosen bike
  Frames(2);
  ASSERT_EQ(F().Menu.CurrentScreen, 6);
  Frames(250);  // the level banner
  ASSERT_EQ(F().Menu.ActiveDialog, 0);
  // The right trigger past a third of its travel accelerates.
  Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768 + 30000);
  Frames(1);
  EXPECT_TRUE(F().Race.Player->CtlUp);
  Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
  Button(SDL_CONTROLLER_BUTTON_A, true);  // A accelerates as well
  int frames = 0;
  while (F().Menu.CurrentScreen == 6 && F().Race.Player && !F().Race.Player->Finished &&
         frames < 40000) {
    if (F().Menu.ActiveDialog == 0) Axis(SDL_CONTROLLER_AXIS_LEFTX, SteerTowardsRoad(F()));
    Frames(1);
    ++frames;
  }
  ASSERT_TRUE(F().Race.Player && F().Race.Player->Finished)
      << "after " << frames << " frames, screen " << int(F().Menu.CurrentScreen) << " dialog "
      << F().Menu.ActiveDialog << " lives " << F().Race.Lives << " clock " << F().Race.RaceClock;
  Button(SDL_CONTROLLER_BUTTON_A, false);
  Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
  Frames(1200);
  // The roll-out and the tally lead to the next level.
  EXPECT_EQ(F().Race.Level, 2);
}

TEST_F(SdlPad, StartPausesAndResumesBackAsksToLeaveAndAWreckRumbles) {
  Press(SDL_CONTROLLER_BUTTON_A);
  Frames(2);
  Press(SDL_CONTROLLER_BUTTON_A);
  Frames(250);
  ASSERT_EQ(F().Menu.CurrentScreen, 6);
  Press(SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(F().Menu.ActiveDialog, 5);
  Press(SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(F().Menu.ActiveDialog, 0);
  Press(SDL_CONTROLLER_BUTTON_BACK);
  EXPECT_EQ(F().Menu.ActiveDialog, 2);
  Press(SDL_CONTROLLER_BUTTON_B);  // No: the race goes on
  EXPECT_EQ(F().Menu.ActiveDialog, 2);
  Press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  Press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(F().Menu.ActiveDialog, 0);
  EXPECT_EQ(Rumble.Calls, 0);
  F().Race.Player->HitsLeft = 1;
  F().Race.Player->TakeHit();
  Frames(1);
  EXPECT_GE(Rumble.Calls, 1);
  EXPECT_EQ(Rumble.Low, 0xFFFF);
}

TEST_F(SdlPad, ANameEnteredWithThePadAlone) {
  F().Dialog.PlayerName.clear();
  F().Race.RaceScore = 99999;
  F().OpenDialog(8);
  Frames(1);
  EXPECT_FALSE(F().PadShown());  // no pad control used yet
  // Up twice offers C; A adds it; Down from A wraps round to the space.
  Press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  Press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  EXPECT_TRUE(F().PadShown());
  Press(SDL_CONTROLLER_BUTTON_A);
  Press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);  // Right adds the same again
  EXPECT_EQ(F().Dialog.PlayerName, "CC");
  Press(SDL_CONTROLLER_BUTTON_B);  // deletes the last
  EXPECT_EQ(F().Dialog.PlayerName, "C");
  // Held, the stick steps on by itself after a moment.
  Axis(SDL_CONTROLLER_AXIS_LEFTY, -30000);
  Frames(60);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  Frames(1);
  EXPECT_GT(F().PadNameChar(), 'D');
  Press(SDL_CONTROLLER_BUTTON_A);
  const std::string name = F().Dialog.PlayerName;
  ASSERT_EQ(name.size(), 2u);
  // Twelve characters at most, as typed.
  for (int i = 0; i < 14; ++i) Press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_LE(F().Dialog.PlayerName.size(), 12u);
  while (F().Dialog.PlayerName.size() > 2) Press(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  Press(SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(F().Menu.ActiveDialog, 9);
  bool found = false;
  for (int i = 1; i <= 10; ++i) found |= F().HighScores[static_cast<size_t>(i)].Name == name;
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace zw
