// Windows ending the player's session (log-off, shut-down, restart) while the game runs.
#pragma once

#include <SDL2/SDL.h>

#include <functional>

namespace zw {

// Windows tells the window that the session ends and may stop the program as soon as the window
// has answered, without the quit event a signal gives on Linux: `onEnd` is called right there,
// before the answer, so the game saves in time. For the one game window.
void WatchSessionEnd(SDL_Window* window, std::function<void()> onEnd);

}  // namespace zw
