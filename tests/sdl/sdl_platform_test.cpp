// Tests of the real SDL platform's event mapping and window, on SDL's dummy video driver (or the
// X display, where one is given): a signal ends the game through its shutdown, the close box
// only asks.
#include "platform/sdl/sdl_platform.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/sdl/sdl_audio.hpp"
#include "save/save_files.hpp"
#include "shell/form.hpp"
#include "shell/runner.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

// Every key the game knows comes through under its own name, both of a pair (the two Shifts,
// Return and the keypad's Enter) under one, the ends of each run of keys included.
TEST(SdlKeys, KeyCodesMapToTheGamesKeys) {
  EXPECT_EQ(VirtualKey(SDLK_a), 'A');
  EXPECT_EQ(VirtualKey(SDLK_z), 'Z');
  EXPECT_EQ(VirtualKey(SDLK_0), '0');
  EXPECT_EQ(VirtualKey(SDLK_1), '1');
  EXPECT_EQ(VirtualKey(SDLK_9), '9');
  EXPECT_EQ(VirtualKey(SDLK_F1), vk::F1);
  EXPECT_EQ(VirtualKey(SDLK_F9), vk::F9);
  EXPECT_EQ(VirtualKey(SDLK_F12), vk::F12);
  EXPECT_EQ(VirtualKey(SDLK_LEFT), vk::Left);
  EXPECT_EQ(VirtualKey(SDLK_DOWN), vk::Down);
  EXPECT_EQ(VirtualKey(SDLK_SPACE), vk::Space);
  EXPECT_EQ(VirtualKey(SDLK_RETURN), vk::Return);
  EXPECT_EQ(VirtualKey(SDLK_KP_ENTER), vk::Return);
  EXPECT_EQ(VirtualKey(SDLK_ESCAPE), vk::Escape);
  EXPECT_EQ(VirtualKey(SDLK_BACKSPACE), vk::Backspace);
  EXPECT_EQ(VirtualKey(SDLK_TAB), vk::Tab);
  EXPECT_EQ(VirtualKey(SDLK_RSHIFT), vk::Shift);
  EXPECT_EQ(VirtualKey(SDLK_LCTRL), vk::Control);
  EXPECT_EQ(VirtualKey(SDLK_RALT), vk::Alt);
  // Keys the game has no use for, and those just past a run's end.
  EXPECT_EQ(VirtualKey(SDLK_F13), -1);
  EXPECT_EQ(VirtualKey(SDLK_LGUI), -1);
  EXPECT_EQ(VirtualKey(SDLK_SLASH), -1);
  EXPECT_EQ(VirtualKey(SDLK_BACKQUOTE), -1);
  EXPECT_EQ(VirtualKey(SDLK_LEFTBRACKET), -1);
}

class SdlPlatform : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "dummy", 1);
    // A run started in the background (nohup, `cmd &` in a script) inherits Ctrl+C ignored, and
    // SDL rightly leaves an ignored signal alone: the signal tests want the player's terminal.
    std::signal(SIGINT, SIG_DFL);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
  }
  void TearDown() override { SDL_Quit(); }
  // The kinds of the events the input gives after one pump.
  static std::vector<TInputEvent::Kind> Pumped(TSdlInput& in) {
    in.Pump();
    std::vector<TInputEvent::Kind> kinds;
    TInputEvent ev;
    while (in.PollEvent(ev)) kinds.push_back(ev.Type);
    return kinds;
  }
  static void PushWindowEvent(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    SDL_PushEvent(&e);
  }
};

using Kinds = std::vector<TInputEvent::Kind>;

TEST_F(SdlPlatform, SignalsAreTerminateRequestsAndTheCloseBoxIsNot) {
  TSdlInput in;
  for (const int sig : {SIGTERM, SIGINT}) {
    std::raise(sig);
    EXPECT_EQ(Pumped(in), Kinds{TInputEvent::Terminate}) << sig;
  }
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(Pumped(in), Kinds{TInputEvent::Close});
  // An SDL that quits on the last window's close sends its quit right after the close box.
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(Pumped(in), Kinds{TInputEvent::Close});
  // The same quit on its own is the session ending.
  SDL_PushEvent(&quit);
  EXPECT_EQ(Pumped(in), Kinds{TInputEvent::Terminate});
}

// Enter (both of them), Backspace and Esc type their character as well as pressing their key:
// the name and the country are edited, and the menus and dialogs answered, by those characters.
// With Alt held they are keys only (Alt+Enter switches the display, it types no Enter). Other keys
// type nothing of their own: letters come as text, from the keyboard's layout.
TEST_F(SdlPlatform, TheEditingKeysTypeTheirCharacterUnlessAltIsHeld) {
  TSdlInput in;
  struct TKey {
    SDL_Keycode Code;
    int Key;
    bool Types;
  };
  const TKey keys[] = {
      {SDLK_RETURN, vk::Return, true},
      {SDLK_KP_ENTER, vk::Return, true},
      {SDLK_BACKSPACE, vk::Backspace, true},
      {SDLK_ESCAPE, vk::Escape, true},
      {SDLK_a, 'A', false},
      {SDLK_SPACE, vk::Space, false},
      {SDLK_TAB, vk::Tab, false},
      {SDLK_F1, vk::F1, false},
  };
  for (const bool alt : {false, true}) {
    SDL_SetModState(alt ? KMOD_LALT : KMOD_NONE);
    for (const TKey& k : keys) {
      SCOPED_TRACE(std::string(SDL_GetKeyName(k.Code)) + (alt ? " with Alt" : ""));
      for (const Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.sym = k.Code;
        SDL_PushEvent(&e);
      }
      in.Pump();
      std::vector<std::pair<TInputEvent::Kind, int>> got;
      TInputEvent ev;
      while (in.PollEvent(ev)) got.emplace_back(ev.Type, ev.Key);
      std::vector<std::pair<TInputEvent::Kind, int>> want = {{TInputEvent::KeyDown, k.Key}};
      if (k.Types && !alt) want.emplace_back(TInputEvent::Char, k.Key);
      want.emplace_back(TInputEvent::KeyUp, k.Key);
      EXPECT_EQ(got, want);
    }
  }
  SDL_SetModState(KMOD_NONE);
}

// A name typed into the high-score table and mended with Backspace, through the real SDL input.
TEST_F(SdlPlatform, BackspaceDeletesTheLastLetterOfATypedName) {
  test::TRunDir dir;
  TSdlInput in;
  test::TFormFixture f;
  f.Headless.Platform.Input = &in;
  ASSERT_TRUE(f.Form->FormCreate()) << f.Form->StartupError;
  auto frames = [&](int n) {
    for (int i = 0; i < n; ++i) {
      in.Pump();
      RunOneFrame(*f.Form, 12);
    }
  };
  frames(2);
  f.Form->Dialog.PlayerName.clear();
  f.Form->Race.RaceScore = 99999;
  f.Form->OpenDialog(dialog::NameEntry);
  frames(1);
  auto text = [](const char* s) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, s, sizeof e.text.text);
    SDL_PushEvent(&e);
  };
  auto key = [](SDL_Keycode code) {
    for (const Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
      SDL_Event e{};
      e.type = type;
      e.key.keysym.sym = code;
      SDL_PushEvent(&e);
    }
  };
  text("Abc");
  frames(1);
  EXPECT_EQ(f.Form->Dialog.PlayerName, "Abc");
  key(SDLK_BACKSPACE);
  frames(1);
  EXPECT_EQ(f.Form->Dialog.PlayerName, "Ab");
  key(SDLK_BACKSPACE);
  key(SDLK_BACKSPACE);
  frames(1);
  EXPECT_EQ(f.Form->Dialog.PlayerName, "");
  key(SDLK_BACKSPACE);  // nothing left to delete
  text("Z");
  frames(1);
  EXPECT_EQ(f.Form->Dialog.PlayerName, "Z");
  EXPECT_EQ(f.Form->Menu.ActiveDialog, dialog::NameEntry);
}

TEST_F(SdlPlatform, ASignalEndsTheRealGameFromADialogWithBothFilesSaved) {
  test::TRunDir dir;
  TSdlInput in;
  test::TFormFixture f;
  f.Headless.Platform.Input = &in;
  ASSERT_TRUE(f.Form->FormCreate()) << f.Form->StartupError;
  auto frames = [&](int n) {
    for (int i = 0; i < n && !f.Form->Terminated; ++i) {
      in.Pump();
      RunOneFrame(*f.Form, 12);
    }
  };
  frames(60);
  // The close box asks "Exit the game?" and does not end the game.
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  frames(2);
  ASSERT_EQ(f.Form->Menu.ActiveDialog, 1);
  EXPECT_FALSE(f.Form->Terminated);
  EXPECT_FALSE(std::filesystem::exists("Data/Save/options"));
  // SIGTERM with the dialog open: the game ends at once through its shutdown.
  f.Form->GameOptions.Country = "Signalled";
  std::raise(SIGTERM);
  frames(1);
  EXPECT_TRUE(f.Form->Terminated);
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadLines("Data/Save/options", lines));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[3], "Signalled");
  EXPECT_TRUE(std::filesystem::exists("Data/Save/hs"));
}

TEST_F(SdlPlatform, TheWindowOpensHiddenWithTheHandPointer) {
  TSdlDisplay display;
  std::string error;
  ASSERT_TRUE(display.Open(error)) << error;
  // Nothing is shown before the game has set the saved mode.
  EXPECT_TRUE(SDL_GetWindowFlags(display.Window) & SDL_WINDOW_HIDDEN);
  display.SetFullScreen(true);
  display.Show();
  EXPECT_TRUE(SDL_GetWindowFlags(display.Window) & SDL_WINDOW_SHOWN);
  EXPECT_TRUE(display.IsFullScreen());
  if (std::string(SDL_GetCurrentVideoDriver()) == "dummy") {
    display.Close();
    GTEST_SKIP() << "the dummy video driver has no system pointers";
  }
  ASSERT_NE(display.HandCursor, nullptr) << SDL_GetCurrentVideoDriver() << ": " << SDL_GetError();
  EXPECT_EQ(SDL_GetCursor(), display.HandCursor);
  display.Close();
}

// A window twice the picture's size shows each of the picture's pixels as a sharp 2 x 2 block:
// a checkerboard of single black and white pixels comes out in those two colours only.
TEST_F(SdlPlatform, TheScaledPictureKeepsItsPixelsSharp) {
  // The software renderer keeps the presented frame readable (a GPU's back buffer need not).
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  TSdlDisplay display;
  std::string error;
  ASSERT_TRUE(display.Open(error)) << error;
  display.Show();
  display.WindowedScale = 2;
  display.SetFullScreen(true);
  display.SetFullScreen(false);
  TSurface frame;
  for (int y = 0; y < frame.Height; ++y)
    for (int x = 0; x < frame.Width; ++x) frame.Row(y)[x] = (x + y) % 2 ? 0xFFFF : 0;
  display.Present(frame);
  SDL_Renderer* renderer = SDL_GetRenderer(display.Window);
  int w = 0, h = 0;
  ASSERT_EQ(SDL_GetRendererOutputSize(renderer, &w, &h), 0) << SDL_GetError();
  ASSERT_EQ(w, 1600);
  ASSERT_EQ(h, 1200);
  // Read from the picture's middle, well inside it.
  const SDL_Rect middle{600, 400, 400, 400};
  std::vector<uint32_t> out(static_cast<size_t>(middle.w) * middle.h);
  ASSERT_EQ(
      SDL_RenderReadPixels(renderer, &middle, SDL_PIXELFORMAT_ARGB8888, out.data(), middle.w * 4),
      0)
      << SDL_GetError();
  int blended = 0, white = 0;
  for (uint32_t p : out) {
    const uint32_t rgb = p & 0xFFFFFF;
    white += rgb == 0xFFFFFF;
    blended += rgb != 0xFFFFFF && rgb != 0;
  }
  EXPECT_EQ(blended, 0) << "pixels between black and white: the picture was smoothed";
  EXPECT_EQ(white, static_cast<int>(out.size()) / 2);
  display.Close();
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "");
}

// Leaving full screen gives the window back at the whole-number scale the desktop allows (the
// desktop's size chose it at start-up; here it is set as a bigger desktop would).
TEST_F(SdlPlatform, LeavingFullScreenGivesTheWindowItsWholeNumberScale) {
  TSdlDisplay display;
  std::string error;
  ASSERT_TRUE(display.Open(error)) << error;
  display.Show();
  for (int scale : {2, 1, 3}) {
    display.WindowedScale = scale;
    display.SetFullScreen(true);
    display.SetFullScreen(false);
    int w = 0, h = 0;
    SDL_GetWindowSize(display.Window, &w, &h);
    EXPECT_EQ(w, 800 * scale) << scale;
    EXPECT_EQ(h, 600 * scale) << scale;
  }
  display.Close();
}

}  // namespace
}  // namespace zw

namespace zw {
namespace {

// The real audio back end on SDL's disk driver, which writes what the device would play to a
// file: a held quarter-scale sound comes out at the effects' level, in 16-bit stereo, and a
// one-shot is over once played.
TEST(SdlAudio, TheMixReachesTheDeviceAndAOneShotEnds) {
  const std::string out = (std::filesystem::temp_directory_path() /
                           ("zw-sdl-audio-" + std::to_string(::getpid()) + ".raw"))
                              .string();
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  auto wave = std::make_shared<TWaveData>();
  wave->Rate = 22050;
  for (int i = 0; i < 2205; ++i) wave->Pcm.push_back(0), wave->Pcm.push_back(0x20);  // 8192
  int buffer = 0;
  {
    TSdlAudio audio;
    ASSERT_TRUE(audio.Open()) << SDL_GetError();
    buffer = audio.CreateBuffer(wave);
    audio.PlayBuffer(buffer, false);
    EXPECT_TRUE(audio.BufferPlaying(buffer));
    for (int k = 0; k < 200 && audio.BufferPlaying(buffer); ++k) SDL_Delay(10);
    EXPECT_FALSE(audio.BufferPlaying(buffer));
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::vector<char> bytes;
  {
    std::ifstream in(out, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::remove(out);
  ASSERT_GE(bytes.size(), 4u * 4410);
  const int16_t* s = reinterpret_cast<const int16_t*>(bytes.data());
  const size_t n = bytes.size() / 2;
  // A tenth of a second of the sound at 22050 Hz is 4410 frames at the device's 44100 Hz.
  const int level = static_cast<int>(std::lround(0.25 * TMixer::EffectsGain * 32767));
  size_t loud = 0, first = n, last = 0;
  for (size_t i = 0; i + 1 < n; i += 2) {
    if (std::abs(s[i] - level) <= 2 && std::abs(s[i + 1] - level) <= 2) {
      ++loud;
      first = std::min(first, i / 2);
      last = i / 2;
    }
  }
  // In one piece: every buffer the device asked for was filled whole.
  EXPECT_NEAR(static_cast<double>(last + 1 - first), 4410, 10);
  EXPECT_NEAR(static_cast<double>(loud), 4410, 10);
}

}  // namespace
}  // namespace zw
