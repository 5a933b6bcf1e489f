// The game's entry: opens the SDL window, starts the form and runs frames until Shutdown.
// `zapwheely --replay FILE.zwr` (or just the file, as a desktop opens it) watches a replay.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/net/game_http.hpp"
#include "platform/sdl/sdl_audio.hpp"
#include "platform/sdl/sdl_music.hpp"
#include "platform/sdl/sdl_platform.hpp"
#include "replay/recorder.hpp"
#include "replay/replay_watch.hpp"
#include "save/saved_state.hpp"
#include "shell/form.hpp"
#include "shell/runner.hpp"
#include "shell/score_host.hpp"
#ifdef _WIN32
#include "platform/win/win_folders.hpp"
#include "platform/win/win_session.hpp"
#include "platform/win/win_shell.hpp"
using TBrowser = zw::TWinShell;
#else
using TBrowser = zw::TSdlShell;
#endif

namespace {

void ShowStartupError(SDL_Window* window, const std::string& message) {
  std::fprintf(stderr, "Zap Wheely: %s\n", message.c_str());
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Zap Wheely", message.c_str(), window);
}

}  // namespace

int main(int argc, char** argv) {
  std::string replayPath;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--replay" && i + 1 < argc)
      replayPath = argv[++i];
    else if (!a.empty() && a[0] != '-')
      replayPath = a;
    else {
      std::fprintf(stderr, "usage: zapwheely [--replay FILE.zwr]\n");
      return 2;
    }
  }
#ifdef _WIN32
  // The game moves into its own folder: a replay named from where it was started is found first.
  if (!replayPath.empty()) replayPath = zw::AbsolutePath(replayPath);
  std::string folders;
  if (!zw::UseWindowsFolders(folders)) {
    ShowStartupError(nullptr, folders);
    return 1;
  }
#endif
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
  TBrowser shell;
  zw::TSdlAudio audio;  // silent where there is no sound device
  zw::TSdlMusic music(audio);
  zw::TGameHttp http;
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
    // The recorder and the watcher outlive the form that points at them.
    zw::replay::TRecorder recorder;
    zw::replay::TReplayWatch watch;
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
      // Every game is recorded; the last one and those in the table are kept with the saves.
      recorder.Packs = zw::replay::PackHash();
      recorder.Keep = true;
      form.ReplayHooks = &recorder;
      watch.Packs = recorder.Packs;
      form.Replays.Watcher = &watch;
      if (!replayPath.empty()) {
        std::string why;
        if (!zw::replay::WatchFile(form, replayPath, why))
          std::fprintf(stderr, "Zap Wheely: %s: %s\n", replayPath.c_str(), why.c_str());
      }
      display.Show();
#ifdef _WIN32
      zw::TSessionEnd session;
      session.Save = [&form] {
        if (!form.NoSavedState) SaveSavedState(form);
      };
      session.End = [&form] {
        zw::TInputEvent end;
        end.Type = zw::TInputEvent::Terminate;
        form.HandleEvent(end);
      };
      zw::WatchSessionEnd(display.Window, std::move(session));
#endif
      uint64_t last = clock.Milliseconds();
      while (!form.Terminated) {
        input.Pump();
        // The frame timer stands still while the game is minimised or in the background.
        if (input.Minimised || !input.Active) {
          zw::TInputEvent ev;
          while (input.PollEvent(ev)) zw::DeliverEvent(form, ev);
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
