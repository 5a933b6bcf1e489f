// The scripted runner behind zapwheely-autoplay, also used by the scenario tests.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/headless/headless.hpp"
#include "platform/net/game_http.hpp"
#include "replay/recorder.hpp"
#include "replay/replay_watch.hpp"

namespace zw {

class TMForm;
class TFormState;

class TScriptRunner {
 public:
  TScriptRunner();
  ~TScriptRunner();
  // Runs a whole script; answers 0, or non-zero with `error` naming the line.
  int Run(const std::string& script, std::string& error);
  // Runs one command line; answers false with `error` set.
  bool Command(const std::string& line, std::string& error);

  THeadlessPlatform Headless;
  // The real client, used once a script points the game at a service with `scorehost`.
  std::unique_ptr<TGameHttp> Http;
  std::unique_ptr<TMForm> Form;
  // The form's state, for what reads or sets no more than that.
  TFormState& State();
  int FrameTimeMs = 12;
  bool Started = false;
  bool Quit = false;
  bool SeedSet = false;

  // Starts the game (FormCreate) on first use.
  bool EnsureStarted(std::string& error);
  void Frames(int n);
  // Called after every frame the runner runs (frames, press, pilot, ...): the recorded-behaviour
  // tests digest each frame's picture, state and sounds here.
  std::function<void()> AfterFrame;
  // Rides by itself for n frames (the arrows only, as a player would press them).
  void Pilot(int n);
  int PilotLookAhead = 3;
  int PilotOffset = 0;
  // Every game is recorded, as in the real game; `record PATH` also writes the last one to PATH.
  replay::TRecorder Recorder;
  // Plays replays on the game's screen (`watch PATH`, or a table row chosen with the keys).
  replay::TReplayWatch Watch;
  std::string RecordPath;
  void KeepRecording();
  // The race commands (race, level, track); answers false when the command is not one of them.
  bool ExtraCommand(const std::string& cmd, const std::string& arg, std::string& error);
};

// The game's state as JSON under the game's own names.
std::string StateJson(TFormState& form);
// The headless sound log as JSON lines.
std::string SoundLogJson(const THeadlessAudio& audio);

}  // namespace zw
