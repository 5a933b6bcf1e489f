// The real platform over SDL2: the window with its scaled picture, keyboard, mouse and clock.
#pragma once

#include <SDL2/SDL.h>

#include <deque>
#include <string>

#include "platform/platform.hpp"

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
  SDL_Window* Window = nullptr;
  SDL_Cursor* HandCursor = nullptr;  // the pointer shown over the game

 private:
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  bool FullScreen = false;
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
  bool Active = true;  // the window has the keyboard
  bool Minimised = false;

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
  void OpenUrl(const std::string& url) override { SDL_OpenURL(url.c_str()); }
};

// The game's virtual-key code for an SDL key, or -1.
int VirtualKey(SDL_Keycode key);

}  // namespace zw
