// The game's entry: opens the SDL window, starts the form and runs frames until Shutdown.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/net/curl_http.hpp"
#include "platform/sdl/sdl_audio.hpp"
#include "platform/sdl/sdl_music.hpp"
#include "platform/sdl/sdl_platform.hpp"
#include "shell/runner.hpp"
#include "shell/score_host.hpp"

namespace {

void ShowStartupError(SDL_Window* window, const std::string& message) {
  std::fprintf(stderr, "Zap Wheely: %s\n", message.c_str());
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Zap Wheely", message.c_str(), window);
}

}  // namespace

int main(int, char**) {
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER | SDL_INIT_GAMECONTROLLER) != 0) {
    std::fprintf(stderr, "Zap Wheely: %s\n", SDL_GetError());
    return 1;
  }
  zw::TSdlDisplay display;
  std::string error;
  if (!display.Open(error)) {
    ShowStartupError(nullptr, error);
    SDL_Quit();
    return 1;
  }
  zw::TSdlInput input;
  input.Display = &display;
  zw::TSdlClock clock;
  zw::TSdlShell shell;
  zw::TSdlAudio audio;  // silent where there is no sound device
  zw::TSdlMusic music(audio);
  zw::TCurlHttp http;
  zw::TPlatform platform;
  platform.Display = &display;
  platform.Input = &input;
  platform.Clock = &clock;
  platform.Audio = &audio;
  platform.Music = &music;
  platform.Shell = &shell;
  platform.Http = &http;

  int status = 0;
  {
    zw::TMForm form(platform);
    const zw::TScoreHostChoice host = zw::ChooseScoreHost(
        std::getenv(zw::ScoreHostVariable),
        zw::UserScoreHostFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
        zw::SystemScoreHostFile, zw::DefaultScoreHost());
    for (const std::string& line : host.Ignored)
      std::fprintf(stderr, "Zap Wheely: %s\n", line.c_str());
    form.ScoreHost = host.Host;
    SDL_StartTextInput();
    if (!form.FormCreate()) {
      ShowStartupError(nullptr, form.StartupError);
      status = 1;
    } else {
      display.Show();
      uint64_t last = clock.Milliseconds();
      while (!form.Terminated) {
        input.Pump();
        // The frame timer stands still while the game is minimised or in the background.
        if (input.Minimised || !input.Active) {
          zw::TInputEvent ev;
          while (input.PollEvent(ev)) form.HandleEvent(ev);
          SDL_Delay(20);
          last = clock.Milliseconds();
          continue;
        }
        const uint64_t now = clock.Milliseconds();
        int moveCount = static_cast<int>(now - last);
        if (moveCount < 1) {
          SDL_Delay(1);
          continue;
        }
        last = now;
        zw::RunOneFrame(form, moveCount);
      }
    }
  }
  input.Gamepad.Close();
  display.Close();
  SDL_Quit();
  return status;
}
