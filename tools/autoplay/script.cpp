// The scripted runner: one command a line, '#' starts a comment.
#include "tools/autoplay/script.hpp"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "shell/form.hpp"
#include "shell/runner.hpp"
#include "tools/common/png.hpp"

namespace zw {

namespace {

int PadControl(const std::string& name) {
  static const std::map<std::string, int> named = {{"A", pad::A},
                                                   {"B", pad::B},
                                                   {"X", pad::X},
                                                   {"Y", pad::Y},
                                                   {"Back", pad::Back},
                                                   {"Start", pad::Start},
                                                   {"DpadUp", pad::DpadUp},
                                                   {"DpadDown", pad::DpadDown},
                                                   {"DpadLeft", pad::DpadLeft},
                                                   {"DpadRight", pad::DpadRight},
                                                   {"StickUp", pad::StickUp},
                                                   {"StickDown", pad::StickDown},
                                                   {"StickLeft", pad::StickLeft},
                                                   {"StickRight", pad::StickRight},
                                                   {"TriggerLeft", pad::TriggerLeft},
                                                   {"TriggerRight", pad::TriggerRight}};
  auto it = named.find(name);
  return it != named.end() ? it->second : -1;
}

int KeyCode(const std::string& name) {
  static const std::map<std::string, int> named = {
      {"Left", vk::Left},     {"Right", vk::Right},
      {"Up", vk::Up},         {"Down", vk::Down},
      {"Space", vk::Space},   {"Return", vk::Return},
      {"Escape", vk::Escape}, {"Backspace", vk::Backspace},
      {"Shift", vk::Shift},   {"Ctrl", vk::Control},
      {"Alt", vk::Alt},       {"Tab", vk::Tab},
      {"Delete", 46}};  // the desktop's virtual-key number; the game gives it no meaning
  auto it = named.find(name);
  if (it != named.end()) return it->second;
  if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') return name[0];
  if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') return name[0];
  if (name.size() >= 2 && name[0] == 'F') {
    int n = 0;
    for (size_t i = 1; i < name.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
      n = n * 10 + (name[i] - '0');
    }
    if (n >= 1 && n <= 12) return vk::F1 + n - 1;
  }
  return -1;
}

bool ParseInt(const std::string& s, long long& v) {
  if (s.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '-') {
    neg = true;
    i = 1;
  }
  if (i >= s.size()) return false;
  long long r = 0;
  for (; i < s.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    r = r * 10 + (s[i] - '0');
    if (r > 0xffffffffLL) return false;
  }
  v = neg ? -r : r;
  return true;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

TScriptRunner::TScriptRunner() {
  Headless.Display.Refresh = 85;
  Form = std::make_unique<TMForm>(Headless.Platform);
  Headless.Audio.FrameCounter = &Form->Timing.FrameNumber;
}

TScriptRunner::~TScriptRunner() = default;

TFormState& TScriptRunner::State() {
  return *Form;
}

bool TScriptRunner::EnsureStarted(std::string& error) {
  if (Started) return true;
  Started = true;
  const uint32_t seed = Form->Rng.Seed;
  const bool seeded = SeedSet;
  if (!Form->FormCreate()) {
    error = Form->StartupError;
    return false;
  }
  // A seed given before start-up wins over the clock's.
  if (seeded) Form->Rng.Seed = seed;
  Recorder.Packs = replay::PackHash();
  Recorder.Keep = true;
  Form->ReplayHooks = &Recorder;
  Watch.Packs = Recorder.Packs;
  Form->Replays.Watcher = &Watch;
  return true;
}

void TScriptRunner::Frames(int n) {
  for (int i = 0; i < n && !Form->Terminated; ++i) {
    Headless.Clock.Now += static_cast<uint64_t>(FrameTimeMs);
    RunOneFrame(*Form, FrameTimeMs);
    KeepRecording();
    if (AfterFrame) AfterFrame();
  }
}

void TScriptRunner::KeepRecording() {
  if (RecordPath.empty() || !Recorder.Complete) return;
  Recorder.Complete = false;
  std::string why;
  if (!replay::WriteFile(RecordPath, Recorder.Last, why))
    std::fprintf(stderr, "zapwheely-autoplay: %s\n", why.c_str());
}

bool TScriptRunner::Command(const std::string& raw, std::string& error) {
  std::string line = raw.substr(0, raw.find('#'));
  std::istringstream in(line);
  std::string cmd;
  if (!(in >> cmd)) return true;
  std::string arg;
  std::getline(in >> std::ws, arg);
  while (!arg.empty() && std::isspace(static_cast<unsigned char>(arg.back()))) arg.pop_back();
  long long v = 0;
  auto needInt = [&](long long lo, long long hi) {
    if (!ParseInt(arg, v) || v < lo || v > hi) {
      error =
          "'" + cmd + "' needs a number from " + std::to_string(lo) + " to " + std::to_string(hi);
      return false;
    }
    return true;
  };
  if (cmd == "seed") {
    if (!needInt(0, 0xffffffffLL)) return false;
    Form->Rng.Seed = static_cast<uint32_t>(v);
    SeedSet = true;
    return true;
  }
  if (cmd == "refresh") {
    if (!needInt(0, 1000)) return false;
    Headless.Display.Refresh = static_cast<int>(v);
    if (Started) Form->ApplyDisplayMode();
    return true;
  }
  if (cmd == "frametime") {
    if (!needInt(1, 10000)) return false;
    FrameTimeMs = static_cast<int>(v);
    return true;
  }
  if (cmd == "scorehost") {
    // host[:port] of a score service; from here on the game's requests really go out.
    if (arg.empty() || arg.find_first_of(" /?#@") != std::string::npos) {
      error = "'scorehost' needs HOST:PORT";
      return false;
    }
    Form->ScoreHost = arg;
    if (!Http) Http = std::make_unique<TGameHttp>();
    Headless.Http.Forward = Http.get();
    return true;
  }
  if (cmd == "requests") {
    // The addresses the game asked for and the ones it opened in the browser, one a line.
    std::string text;
    for (const std::string& u : Headless.Http.Requests)
      text += (u.starts_with("POST ") ? "" : "GET ") + u + "\n";
    for (const std::string& u : Headless.Shell.Opened) text += "OPEN " + u + "\n";
    if (arg.empty() || !WriteText(arg, text)) {
      error = "cannot write the requests '" + arg + "'";
      return false;
    }
    return true;
  }
  if (cmd == "quit") {
    if (!EnsureStarted(error)) return false;
    Form->Shutdown();
    Quit = true;
    return true;
  }
  if (!EnsureStarted(error)) return false;
  if (cmd == "frames") {
    if (!needInt(0, 100000000)) return false;
    Frames(static_cast<int>(v));
    return true;
  }
  if (cmd == "record") {
    if (arg.empty()) {
      error = "'record' needs a file";
      return false;
    }
    RecordPath = arg;
    Recorder.Complete = false;  // a game that ended before is not this file's
    return true;
  }
  if (cmd == "watch") {
    // watch REPLAY: plays the file on the game's screen as `zapwheely --replay` does.
    std::string why;
    if (arg.empty()) {
      error = "'watch' needs a file";
      return false;
    }
    if (!replay::WatchFile(*Form, arg, why))
      std::fprintf(stderr, "zapwheely-autoplay: %s: %s\n", arg.c_str(), why.c_str());
    return true;
  }
  if (cmd == "ride") {
    // ride REPLAY RESULT: rides a replay on this game (drawn, or not with "ride REPLAY RESULT
    // nodraw") and writes the score, the level and state hash at every level end, the hash at
    // the end, and the verdict: "" when the ride proves the file (its score and, for a file
    // that holds them, its hashes), else why not.
    std::istringstream a(arg);
    std::string path, out, mode;
    a >> path >> out >> mode;
    replay::TReplay r;
    std::string why;
    if (!replay::ReadFile(path, r, why)) {
      error = path + ": " + why;
      return false;
    }
    const replay::TRideResult res = replay::Ride(*Form, r, mode != "nodraw");
    std::string text = "{\"ended\": " + std::string(res.Ended ? "true" : "false") +
                       ", \"score\": " + std::to_string(res.RaceScore) +
                       ", \"level\": " + std::to_string(res.Level) +
                       ", \"frames\": " + std::to_string(res.Frames) + ", \"levels\": [";
    for (size_t i = 0; i < res.LevelEnds.size(); ++i)
      text += std::string(i ? ", " : "") + "{\"level\": " + std::to_string(res.LevelEnds[i].Level) +
              ", \"hash\": \"" + std::to_string(res.LevelEnds[i].Hash) + "\"}";
    text += "], \"end\": \"" + std::to_string(res.EndHash) + "\", \"verdict\": \"" +
            replay::Disagreement(r, res) + "\"}\n";
    if (out.empty() || !WriteText(out, text)) {
      error = "cannot write '" + out + "'";
      return false;
    }
    return true;
  }
  if (cmd == "pilot") {
    if (!needInt(0, 100000000)) return false;
    Pilot(static_cast<int>(v));
    return true;
  }
  if (cmd == "keydown" || cmd == "keyup" || cmd == "press") {
    const int key = KeyCode(arg);
    if (key < 0) {
      error = "unknown key '" + arg + "'";
      return false;
    }
    if (cmd != "keyup") {
      Headless.Input.PushKey(key, true);
      // Keys that type a character send it too, as a keyboard does.
      const bool alt = Headless.Input.Held[vk::Alt];
      if (!alt && (key == vk::Return || key == vk::Backspace || key == vk::Escape))
        Headless.Input.PushChar(key);
    }
    if (cmd == "press") Frames(1);
    KeepRecording();
    if (cmd != "keydown") Headless.Input.PushKey(key, false);
    return true;
  }
  if (cmd == "paddown" || cmd == "padup" || cmd == "padpress") {
    const int control = PadControl(arg);
    if (control < 0) {
      error = "unknown pad control '" + arg + "'";
      return false;
    }
    if (cmd != "padup") Headless.Input.PushPad(control, true);
    if (cmd == "padpress") Frames(1);
    if (cmd != "paddown") Headless.Input.PushPad(control, false);
    return true;
  }
  if (cmd == "padunplug") {
    // The pad is pulled out: whatever was held on it is let go, as the desktop reports it.
    Headless.Input.UnplugPad();
    return true;
  }
  if (cmd == "type") {
    for (unsigned char c : arg) Headless.Input.PushChar(c);
    return true;
  }
  if (cmd == "mouse") {
    std::istringstream a(arg);
    int x = 0, y = 0;
    if (!(a >> x >> y)) {
      error = "'mouse' needs X and Y";
      return false;
    }
    Headless.Input.PushMouseMove(x, y);
    return true;
  }
  if (cmd == "click") {
    Headless.Input.PushClick();
    return true;
  }
  if (cmd == "nobrowser") {  // the desktop opens no browser for an address
    Headless.Shell.Fails = true;
    return true;
  }
  if (cmd == "close") {
    TInputEvent ev;
    ev.Type = TInputEvent::Close;
    Headless.Input.Queue.push_back(ev);
    return true;
  }
  if (cmd == "terminate") {
    TInputEvent ev;
    ev.Type = TInputEvent::Terminate;
    Headless.Input.Queue.push_back(ev);
    return true;
  }
  if (cmd == "minimise") {
    TInputEvent ev;
    ev.Type = TInputEvent::Minimise;
    Headless.Input.Queue.push_back(ev);
    return true;
  }
  if (cmd == "shot") {
    if (arg.empty() || !WriteSurfacePng(arg, Form->MDisplay)) {
      error = "cannot write the screenshot '" + arg + "'";
      return false;
    }
    return true;
  }
  if (cmd == "state") {
    if (arg.empty() || !WriteText(arg, StateJson(*Form))) {
      error = "cannot write the state '" + arg + "'";
      return false;
    }
    return true;
  }
  if (cmd == "sounds") {
    if (arg.empty() || !WriteText(arg, SoundLogJson(Headless.Audio))) {
      error = "cannot write the sound log '" + arg + "'";
      return false;
    }
    return true;
  }
  if (ExtraCommand(cmd, arg, error)) return error.empty();
  error = "unknown command '" + cmd + "'";
  return false;
}

int TScriptRunner::Run(const std::string& script, std::string& error) {
  std::istringstream in(script);
  std::string line;
  int number = 0;
  while (!Quit && std::getline(in, line)) {
    ++number;
    std::string why;
    if (!Command(line, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return 1;
    }
  }
  return 0;
}

}  // namespace zw
