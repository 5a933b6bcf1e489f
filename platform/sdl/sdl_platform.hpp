// The real platform over SDL2: the window with its scaled picture, keyboard, mouse and clock.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

#include "platform/common/picture_scale.hpp"
#include "platform/platform.hpp"
#include "platform/sdl/sdl_gamepad.hpp"

namespace zw {

class TSdlDisplay : public IDisplay {
 public:
  // Opens the window, hidden; answers false with the reason when it cannot.
  bool Open(std::string& error);
  // Shows the window in the mode the game has set by then.
  void Show();
  void Close();
  void Present(const TSurface& frame) override;
  int RefreshRate() override;
  void SetFullScreen(bool on) override;
  bool IsFullScreen() const override { return FullScreen; }
  void Minimise() override;
  void ShowPointer(bool shown) override;
  // The picture pixel under a mouse position given in window coordinates.
  void WindowToPicture(int wx, int wy, int& x, int& y) const;
  SDL_Window* Window = nullptr;
  SDL_Cursor* HandCursor = nullptr;  // the pointer shown over the game
  int WindowedScale = 1;             // the window is this many times 800 x 600

 private:
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  bool FullScreen = false;
  TViewport Viewport;  // where the last frame went, for the mouse
  int OutW = 0, OutH = 0;
  // Where the time between presented frames goes, one line of microseconds per frame, when the
  // variable ZAPWHEELY_FRAME_LOG names a file: for measuring smoothness as a player sees it. It
  // only watches the window; the game never reads it.
  std::FILE* FrameLog = nullptr;
  uint64_t LastPresent = 0;
  int SavedX = SDL_WINDOWPOS_CENTERED, SavedY = SDL_WINDOWPOS_CENTERED;
  bool HaveSaved = false;
};

class TSdlInput : public IInput {
 public:
  TSdlInput();
  // Turns the SDL events waiting now into the game's events.
  void Pump();
  bool PollEvent(TInputEvent& ev) override;
  bool KeyHeld(int key) const override;
  bool PadConnected() const override { return Gamepad.Connected(); }
  bool PadHeld(int control) const override { return Active && Gamepad.Held(control); }
  void PadRumble(double strength, int ms) override { Gamepad.Rumble(strength, ms); }
  bool Active = true;  // the window has the keyboard
  bool Minimised = false;
  const TSdlDisplay* Display = nullptr;  // maps the mouse through the picture's scale
  TSdlGamepad Gamepad;

 private:
  std::deque<TInputEvent> Queue;
  bool LastWasClose = false;  // the previous SDL event of this pump was the close box
  void Translate(const SDL_Event& e);
};

class TSdlClock : public IClock {
 public:
  uint64_t Milliseconds() override { return SDL_GetTicks64(); }
  uint64_t Counter() override { return SDL_GetPerformanceCounter(); }
};

class TSdlShell : public IShell {
 public:
  bool OpenUrl(const std::string& url) override;
};

// The game's virtual-key code for an SDL key, or -1.
int VirtualKey(SDL_Keycode key);

}  // namespace zw
