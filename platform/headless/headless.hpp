// The deterministic platform: a scripted clock and input, no window, no sound card.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace zw {

class THeadlessDisplay : public IDisplay {
 public:
  int Refresh = 85;
  bool FullScreen = false;
  bool Minimised = false;
  bool PointerShown = true;
  int Presented = 0;
  void Present(const TSurface&) override { ++Presented; }
  int RefreshRate() override { return Refresh <= 1 ? 60 : Refresh; }
  void SetFullScreen(bool on) override { FullScreen = on; }
  bool IsFullScreen() const override { return FullScreen; }
  void Minimise() override { Minimised = true; }
  void ShowPointer(bool shown) override { PointerShown = shown; }
};

class THeadlessInput : public IInput {
 public:
  std::deque<TInputEvent> Queue;
  bool Held[vk::Count] = {};
  bool PollEvent(TInputEvent& ev) override;
  bool KeyHeld(int key) const override { return key >= 0 && key < vk::Count && Held[key]; }
  // Queues a key going down or up, with the modifiers held at that moment.
  void PushKey(int key, bool down);
  void PushChar(int c);
  void PushMouseMove(int x, int y);
  void PushClick();
  uint8_t Modifiers() const;

  // A scripted gamepad: plugged in once a control is pushed, its rumbles logged.
  bool PadPlugged = false;
  bool Pad[pad::Count] = {};
  std::vector<std::pair<double, int>> Rumbles;
  bool PadConnected() const override { return PadPlugged; }
  bool PadHeld(int control) const override {
    return PadPlugged && control >= 0 && control < pad::Count && Pad[control];
  }
  void PadRumble(double strength, int ms) override { Rumbles.emplace_back(strength, ms); }
  void PushPad(int control, bool down);
  // The pad is pulled out: every control held on it goes up, then it is gone.
  void UnplugPad();
};

class THeadlessClock : public IClock {
 public:
  uint64_t Now = 0;
  uint64_t Milliseconds() override { return Now; }
  uint64_t Counter() override { return Now; }
};

// One logged sound or music call, with the frame and the scripted clock's time it came at. A
// "format" entry is the audio device's: the buffer (in Index) and how it is set to play.
struct TSoundLogEntry {
  int64_t Frame;
  uint64_t Ms;
  std::string Op;
  int Index;
  std::string Path;
  int Frequency = 0, Pan = 0, Volume = 0;
};

// Buffers "play" for their wave's length on the scripted clock; every call of the game's
// sound operations is logged with its frame.
class THeadlessAudio : public IAudio {
 public:
  explicit THeadlessAudio(THeadlessClock& clock) : Clock(clock) {}
  int CreateBuffer(std::shared_ptr<const TWaveData> wave) override;
  void PlayBuffer(int buffer, bool looped) override;
  void StopBuffer(int buffer) override;
  bool BufferPlaying(int buffer) override;
  void SetBufferFormat(int buffer, int frequency, int pan, int volume) override;
  void Trace(const std::string& op, int index, const std::string& path) override;

  const int64_t* FrameCounter = nullptr;
  std::vector<TSoundLogEntry> Log;
  uint64_t NowMs() const { return Clock.Now; }

 private:
  struct Buffer {
    std::shared_ptr<const TWaveData> Wave;
    bool Playing = false;
    bool Looped = false;
    uint64_t StartMs = 0;
  };
  THeadlessClock& Clock;
  std::vector<Buffer> Buffers;
};

class THeadlessMusic : public IMusic {
 public:
  int SongLoadFromFile(const std::string& path) override;
  void SongPlay(int handle) override { Playing = handle; }
  void SongFree(int handle) override;
  int Playing = 0;
  std::string PlayingPath;

 private:
  int NextHandle = 1;
  std::map<int, std::string> Songs;
};

class THeadlessShell : public IShell {
 public:
  std::vector<std::string> Opened;
  bool Fails = false;  // as a desktop with no browser, or without an opener, answers
  bool OpenUrl(const std::string& url) override {
    Opened.push_back(url);
    return !Fails;
  }
};

// Every request is recorded. With no real client behind it every request fails, as an
// unreachable service would; a scenario that talks to a real service hands it one.
class THeadlessHttp : public IHttp {
 public:
  std::vector<std::string> Requests;
  IHttp* Forward = nullptr;
  bool Get(const std::string& url, std::string& body) override {
    Requests.push_back(url);
    body.clear();
    return Forward ? Forward->Get(url, body) : false;
  }
  // Posts are noted as "POST url (n bytes)".
  bool Post(const std::string& url, const std::string& data, std::string& body,
            int& status) override {
    Requests.push_back("POST " + url + " (" + std::to_string(data.size()) + " bytes)");
    body.clear();
    status = 0;
    return Forward ? Forward->Post(url, data, body, status) : false;
  }
};

// All the headless parts together, wired into a TPlatform.
struct THeadlessPlatform {
  THeadlessPlatform();
  THeadlessDisplay Display;
  THeadlessInput Input;
  THeadlessClock Clock;
  THeadlessAudio Audio{Clock};
  THeadlessMusic Music;
  THeadlessShell Shell;
  THeadlessHttp Http;
  TPlatform Platform;
  std::vector<std::string> Errors;
};

}  // namespace zw
