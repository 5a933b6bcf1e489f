// A session played in the real game window, then ridden again headless: what a player rides in
// the window is exactly what the score service's verifier rides. The window, its event queue,
// SDL's keyboard (typed on the X server through XTEST, so SDL's key state and typed text are a
// real keyboard's), a virtual gamepad through SDL's game-controller layer and the recorder the
// game keeps: through the menus, level 1 to its finish and into level 2, a pause of each kind,
// the exit question answered both ways, a wreck, and out of the game, which keeps the replay.
// The frames get a machine's uneven timing from a fixed sequence rather than the clock, so the
// session takes the same course on a busy machine.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "platform/headless/headless.hpp"
#include "platform/sdl/sdl_audio.hpp"
#include "platform/sdl/sdl_platform.hpp"
#include "replay/recorder.hpp"
#include "replay/replay_watch.hpp"
#include "rider/player.hpp"
#include "save/saved_replays.hpp"
#include "shell/form.hpp"
#include "shell/runner.hpp"
#include "tests/sdl/virtual_pad.hpp"
#include "tests/sdl/x_keyboard.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/pilot.hpp"

namespace zw {
namespace {

// Whose hands ride: the gamepad's stick and A, or the keyboard's arrows.
enum class EHands { Pad, Keys };

class WindowSession : public ::testing::Test {
 protected:
  test::TRunDir Dir;
  test::TXKeyboard Keyboard;
  TSdlDisplay Display;
  TSdlInput Input;
  TSdlClock Clock;
  TSdlShell Shell;
  std::unique_ptr<TSdlAudio> Audio;
  std::unique_ptr<TSdlMusic> Music;
  TPlatform Platform;
  // As in the game's program, the recorder and the watcher outlive the form.
  replay::TRecorder Recorder;
  replay::TReplayWatch Watch;
  std::unique_ptr<TMForm> Form;
  SDL_Joystick* Joy = nullptr;
  int Device = -1;
  bool SdlUp = false;
  uint32_t Jitter = 20;
  int FramesRun = 0;
  int Wrecks = 0;
  bool WasCrashed = false;
  TPilotControls Holding;

  void SetUp() override {
    if (!std::getenv("DISPLAY"))
      GTEST_SKIP() << "needs an X display (run under xvfb-run, as CI does)";
    std::string why;
    ASSERT_TRUE(Keyboard.Open(why)) << why;
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    // Frames as fast as the machine draws them, not at the display's pace: the session's timing
    // is its own (see NextMoveCount), so waiting for the screen would only make the test slow.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    // The pointer stays away from the window: the session is ridden with keys and the pad.
    Keyboard.MovePointer(0, 0);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER | SDL_INIT_GAMECONTROLLER),
              0)
        << SDL_GetError();
    SdlUp = true;
    ASSERT_TRUE(Display.Open(why)) << why;
    ASSERT_STRNE(SDL_GetCurrentVideoDriver(), "dummy");
    Input.Display = &Display;
    Audio = std::make_unique<TSdlAudio>();
    Music = std::make_unique<TSdlMusic>(*Audio);
    Platform.Display = &Display;
    Platform.Input = &Input;
    Platform.Clock = &Clock;
    Platform.Audio = Audio.get();
    Platform.Music = Music.get();
    Platform.Shell = &Shell;
    Form = std::make_unique<TMForm>(Platform);
    SDL_StartTextInput();
    ASSERT_TRUE(Form->FormCreate()) << Form->StartupError;
    // The game's own start-up from here on: every game recorded and kept with the saves.
    Recorder.Packs = replay::PackHash();
    ASSERT_NE(Recorder.Packs, 0u);
    Recorder.Keep = true;
    Form->ReplayHooks = &Recorder;
    Watch.Packs = Recorder.Packs;
    Form->Replays.Watcher = &Watch;
    // A track the pilot is known to get through (the seed is the clock's otherwise).
    Form->Rng.Seed = 4242;
    Display.Show();
    ASSERT_TRUE(Keyboard.Focus(Display.Window, why)) << why;
    PlugPad();
    // SDL takes the keyboard focus a moment after the X server gives it.
    for (int i = 0; i < 2000 && SDL_GetKeyboardFocus() != Display.Window; ++i) {
      Input.Pump();
      SDL_Delay(1);
    }
    ASSERT_EQ(SDL_GetKeyboardFocus(), Display.Window) << "the window never got the keyboard";
  }

  void TearDown() override {
    Form.reset();
    Music.reset();
    Audio.reset();
    Input.Gamepad.Close();
    if (Joy) SDL_JoystickClose(Joy);
    if (Device >= 0) SDL_JoystickDetachVirtual(Device);
    Display.Close();
    if (SdlUp) SDL_Quit();
  }

  void PlugPad() {
    Joy = test::PlugVirtualPad("Session pad", Device);
    ASSERT_NE(Joy, nullptr) << SDL_GetError();
    Input.Pump();
    ASSERT_TRUE(Input.PadConnected());
  }

  // A frame's milliseconds as a busy machine gives them: mostly a 60 Hz frame, now and then a
  // short one or one that came late.
  int NextMoveCount() {
    Jitter = Jitter * 1103515245u + 12345u;
    const int r = static_cast<int>((Jitter >> 16) % 100);
    if (r < 4) return 30 + 5 * r;
    if (r < 10) return 6 + r;
    return 16 + (r & 1);
  }
  // One pass of the game's loop, as its program runs it.
  void Frame() {
    Input.Pump();
    RunOneFrame(*Form, NextMoveCount());
    ++FramesRun;
    const TPlayer* p = Form->Race.Player;
    const bool crashed = Form->Menu.CurrentScreen == screen::Race && p && p->Crashed;
    if (crashed && !WasCrashed) ++Wrecks;
    WasCrashed = crashed;
  }
  void Frames(int n) {
    for (int i = 0; i < n && !Form->Terminated; ++i) Frame();
  }
  template <class Done>
  bool FramesUntil(Done done, int most) {
    for (int i = 0; i < most && !Form->Terminated && !done(); ++i) Frame();
    return done();
  }

  // A key on the X keyboard, down or up; back once SDL's key state shows it.
  void Key(const char* name, bool down) {
    ASSERT_TRUE(Keyboard.Key(name, down)) << name;
    const SDL_Scancode code = SDL_GetScancodeFromName(name);
    ASSERT_NE(code, SDL_SCANCODE_UNKNOWN) << name;
    for (int i = 0; i < 2000; ++i) {
      Input.Pump();
      if ((SDL_GetKeyboardState(nullptr)[code] != 0) == down) return;
      SDL_Delay(1);
    }
    FAIL() << "SDL never saw " << name << (down ? " pressed" : " let go");
  }
  void Press(const char* name) {
    Key(name, true);
    Frame();
    Key(name, false);
    Frame();
  }
  void PadButton(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(Joy, b, down ? 1 : 0);
  }
  void PadPress(SDL_GameControllerButton b) {
    PadButton(b, true);
    Frame();
    PadButton(b, false);
    Frame();
  }

  // What the pilot would hold, pressed with the given hands (only the changes, as fingers do).
  void Hold(const TPilotControls& c, EHands hands) {
    if (hands == EHands::Pad) {
      SDL_JoystickSetVirtualAxis(Joy, SDL_CONTROLLER_AXIS_LEFTX,
                                 static_cast<Sint16>(c.Left    ? -32000
                                                     : c.Right ? 32000
                                                               : 0));
      PadButton(SDL_CONTROLLER_BUTTON_A, c.Up);
    } else {
      if (c.Up != Holding.Up) Key("Up", c.Up);
      if (c.Left != Holding.Left) Key("Left", c.Left);
      if (c.Right != Holding.Right) Key("Right", c.Right);
    }
    Holding = hands == EHands::Keys ? c : TPilotControls{};
  }
  template <class Done>
  bool Ride(EHands hands, Done done, int most) {
    for (int i = 0; i < most && !Form->Terminated && !done(); ++i) {
      Hold(PilotControls(*Form, 3, 0), hands);
      if (::testing::Test::HasFatalFailure()) return false;
      Frame();
    }
    Hold(TPilotControls{}, hands);
    return done();
  }
  bool Riding() const {
    return Form->Menu.CurrentScreen == screen::Race && Form->Menu.ActiveDialog == dialog::None;
  }
  std::string Where() const {
    std::ostringstream s;
    s << "after " << FramesRun << " frames: screen " << int(Form->Menu.CurrentScreen) << ", dialog "
      << int(Form->Menu.ActiveDialog) << ", level " << Form->Race.Level << ", lives "
      << Form->Race.Lives << ", score " << Form->Race.RaceScore;
    return s.str();
  }
};

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The verifier's one line for a replay file and a claimed score.
std::string Verify(const std::string& file, int score) {
  const std::string command =
      std::string(ZW_VERIFY_BIN) + " --score " + std::to_string(score) + " '" + file + "' 2>&1";
  FILE* out = popen(command.c_str(), "r");
  if (!out) return "cannot run " + command;
  std::string text;
  char buf[256];
  while (std::fgets(buf, sizeof buf, out)) text += buf;
  pclose(out);
  return text;
}

TEST_F(WindowSession, APlayedGameRidesAgainHeadlessToTheSameRaceAtEveryLevelEnd) {
  Frames(70);  // the fly-in
  ASSERT_EQ(Form->Menu.CurrentScreen, screen::MainMenu);

  // The menus: the keyboard's arrows move, the pad's A opens the bike selection, where the
  // keyboard takes the next bike and the pad starts the race.
  const int32_t tab = Form->Menu.MenuIndex;
  Press("Down");
  EXPECT_EQ(Form->Menu.MenuIndex, tab + 1);
  Press("Up");
  ASSERT_EQ(Form->Menu.MenuIndex, item::StartGame);
  PadPress(SDL_CONTROLLER_BUTTON_A);
  Frames(2);
  ASSERT_EQ(Form->Menu.CurrentScreen, screen::BikeSelection);
  const int firstBike = Form->Race.SelectedBike;
  Press("Up");
  Press("Right");
  ASSERT_EQ(Form->Menu.MenuIndex, item::NextBike);
  Press("Return");
  Frames(20);  // the pictures cross-fade
  EXPECT_EQ(Form->Race.SelectedBike, firstBike % 5 + 1);
  Press("Down");
  Press("Left");
  ASSERT_EQ(Form->Menu.MenuIndex, item::StartRace);
  PadPress(SDL_CONTROLLER_BUTTON_A);
  ASSERT_EQ(Form->Menu.CurrentScreen, screen::Race) << Where();
  ASSERT_TRUE(Recorder.Recording);
  ASSERT_TRUE(FramesUntil([&] { return Riding(); }, 1000)) << Where();  // the level banner

  // Level 1 on the pad: P on the keyboard pauses and resumes, so does the pad's Start; the pad's
  // Back asks whether to leave and N on the keyboard answers no.
  Ride(
      EHands::Pad, [] { return false; }, 300);
  Press("p");
  ASSERT_EQ(Form->Menu.ActiveDialog, dialog::Pause) << Where();
  Frames(40);
  Press("p");
  ASSERT_TRUE(Riding()) << Where();
  Ride(
      EHands::Pad, [] { return false; }, 300);
  PadPress(SDL_CONTROLLER_BUTTON_START);
  ASSERT_EQ(Form->Menu.ActiveDialog, dialog::Pause) << Where();
  Frames(25);
  PadPress(SDL_CONTROLLER_BUTTON_START);
  ASSERT_TRUE(Riding()) << Where();
  PadPress(SDL_CONTROLLER_BUTTON_BACK);
  ASSERT_EQ(Form->Menu.ActiveDialog, dialog::ExitToMenu) << Where();
  Frames(10);
  Press("n");
  ASSERT_TRUE(Riding()) << Where();
  ASSERT_TRUE(Ride(
      EHands::Pad, [&] { return Form->Race.Level >= 2; }, 20000))
      << "the pad should ride level 1 to its finish, " << Where();
  ASSERT_GE(Recorder.LevelEnds.size(), 1u);
  EXPECT_EQ(Recorder.LevelEnds.back().Level, 1);
  ASSERT_TRUE(FramesUntil([&] { return Riding(); }, 1000)) << Where();

  // Level 2 on the keyboard's arrows, with a wreck: braking hard in a lean spills the bike.
  Ride(
      EHands::Keys, [] { return false; }, 300);
  if (Wrecks == 0) {
    Key("Down", true);
    Key("Left", true);
    FramesUntil([&] { return Wrecks > 0; }, 600);
    Key("Left", false);
    Key("Down", false);
  }
  ASSERT_GE(Wrecks, 1) << Where();
  // Back on the road after the wreck.
  ASSERT_TRUE(FramesUntil([&] { return Riding() && !Form->Race.Player->Crashed; }, 2000))
      << Where();
  Ride(
      EHands::Keys, [] { return false; }, 200);

  // The player leaves the race (Esc, then Y): the game is over, and its score is the result.
  Press("Escape");
  ASSERT_EQ(Form->Menu.ActiveDialog, dialog::ExitToMenu) << Where();
  Press("y");
  ASSERT_TRUE(Recorder.Complete) << Where();
  const int score = Recorder.Last.RaceScore;
  EXPECT_EQ(score, Form->Race.RaceScore);
  EXPECT_GT(score, 0);
  // Short of the table's last entry: the game over leads back to the main menu.
  ASSERT_TRUE(FramesUntil([&] { return Form->Menu.CurrentScreen == screen::MainMenu; }, 1000))
      << Where();
  // Out of the game, which saves everything on its way.
  Frames(30);
  Press("Escape");
  ASSERT_EQ(Form->Menu.ActiveDialog, dialog::ExitGame) << Where();
  Press("y");
  ASSERT_TRUE(FramesUntil([&] { return Form->Terminated; }, 600)) << Where();
  const std::string kept = Form->Replays.Last;

  // The replay the game kept with its saves, listed as the last game.
  std::string lastFile;
  {
    std::ifstream index(ReplayIndexPath());
    std::string line;
    while (std::getline(index, line)) {
      std::istringstream l(line);
      std::string key, points, file;
      l >> key >> points >> file;
      if (key == "last") lastFile = file;
    }
  }
  ASSERT_NE(lastFile, "");
  const std::string path = ReplayFolder() + "/" + lastFile;
  const std::string bytes = FileBytes(path);
  EXPECT_EQ(bytes, kept);
  replay::TReplay r;
  std::string why;
  ASSERT_TRUE(replay::Read(std::vector<uint8_t>(bytes.begin(), bytes.end()), r, why)) << why;
  EXPECT_EQ(r.RaceScore, score);
  EXPECT_EQ(r.LevelEnds, Recorder.LevelEnds);
  EXPECT_EQ(r.EndHash, Recorder.EndHash);
  // Both hands are in it: frames ridden on the pad and frames ridden on the keys.
  int padFrames = 0, keyFrames = 0;
  for (uint32_t i = 0; i < r.FrameCount(); ++i) {
    padFrames += (r.Pad[i] & 0xFFFF) != 0;
    keyFrames += (r.Keys[i] & (replay::held::Up | replay::held::Left | replay::held::Right)) != 0;
  }
  EXPECT_GT(padFrames, 100);
  EXPECT_GT(keyFrames, 100);

  // Ridden again as the verifier rides it: headless, undrawn, on a form of its own.
  {
    THeadlessPlatform headless;
    TMForm again(headless.Platform);
    again.NoSavedState = true;
    ASSERT_TRUE(again.FormCreate()) << again.StartupError;
    const replay::TRideResult res = replay::Ride(again, r, false);
    EXPECT_TRUE(res.Ended);
    EXPECT_EQ(res.Frames, r.FrameCount());
    EXPECT_EQ(res.RaceScore, score);
    ASSERT_EQ(res.LevelEnds, Recorder.LevelEnds);
    EXPECT_EQ(res.EndHash, Recorder.EndHash);
    EXPECT_EQ(replay::Disagreement(r, res), "");
  }
  // And by the verifier's own program, held to the score: the true one, and one point more.
  EXPECT_EQ(Verify(path, score), "verified score " + std::to_string(score) + "\n");
  EXPECT_EQ(Verify(path, score + 1).rfind("rejected: ", 0), 0u);
}

}  // namespace
}  // namespace zw
