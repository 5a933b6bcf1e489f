// Windows ending the player's session (log-off, shut-down, restart) while the game runs.
#pragma once

#include <SDL2/SDL.h>
#include <windows.h>

#include <functional>

namespace zw {

// What the game does when Windows ends the session. Windows first asks every window whether the
// session may end and may stop the program as soon as the last has answered the end, without the
// quit event a signal gives on Linux: both are answered only after the game has saved.
struct TSessionEnd {
  // The session may end (another program can still keep it going): save, play on.
  std::function<void()> Save;
  // The session ends: save and stop. Called once.
  std::function<void()> End;
};

// Sees to one session message for the game window; false for any other message. The answer to
// the question is always yes: the game has nothing the player could lose by then.
bool SessionMessage(UINT msg, WPARAM wparam, TSessionEnd& hooks);

// Watches the one game window's session messages, before SDL sees them.
void WatchSessionEnd(SDL_Window* window, TSessionEnd hooks);

}  // namespace zw
