// The gamepad over SDL's game-controller API: the first pad plugged in plays.
#pragma once

#include <SDL2/SDL.h>

#include <deque>

#include "platform/platform.hpp"

namespace zw {

class TSdlGamepad {
 public:
  ~TSdlGamepad() { Close(); }
  // Takes a controller event (answers false for any other event) and queues the game's pad
  // events for the controls it turned on or off.
  bool Handle(const SDL_Event& e, std::deque<TInputEvent>& out);
  bool Connected() const { return Pad != nullptr; }
  bool Held(int control) const {
    return Pad && control >= 0 && control < pad::Count && State[control];
  }
  void Rumble(double strength, int ms);
  void Close();

 private:
  SDL_GameController* Pad = nullptr;
  SDL_JoystickID Id = -1;
  bool State[pad::Count] = {};
  void Open(int deviceIndex);
  void OpenAny();
  void Set(int control, bool on, std::deque<TInputEvent>& out);
  void ReleaseAll(std::deque<TInputEvent>& out);
};

}  // namespace zw
