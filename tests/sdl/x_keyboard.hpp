// The X server's own keyboard for the window tests: keys pressed through the XTEST extension
// reach SDL exactly as a player's do (SDL's key state, its key events and its typed text),
// which events pushed into SDL's queue never do. Kept apart from the game's headers, whose
// names X's macros would clash with.
#pragma once

#include <SDL2/SDL.h>

#include <string>

namespace zw::test {

class TXKeyboard {
 public:
  TXKeyboard() = default;
  TXKeyboard(const TXKeyboard&) = delete;
  TXKeyboard& operator=(const TXKeyboard&) = delete;
  ~TXKeyboard();
  // Connects to the display SDL uses; false with the reason when there is none or it has no
  // XTEST.
  bool Open(std::string& why);
  // Gives the window the keyboard focus, as a click on it would.
  bool Focus(SDL_Window* window, std::string& why);
  // Moves the pointer to a screen position.
  void MovePointer(int x, int y);
  // Presses or lets go of the key with this X key name ("Up", "Return", "p"); answers false
  // for a name the keyboard map lacks. The server has taken the key when this returns.
  bool Key(const char* name, bool down);

 private:
  void* Display = nullptr;  // an X Display*
};

}  // namespace zw::test
