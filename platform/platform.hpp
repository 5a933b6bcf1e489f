// The narrow interfaces through which the game talks to the outside world.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zw {

class TSurface;

// Key codes the game uses, numbered like the virtual-key codes the game's settings store
// (F1..F12 are 112..123, the boss key is saved with these numbers).
namespace vk {
constexpr int Backspace = 8;
constexpr int Tab = 9;
constexpr int Return = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Alt = 18;
constexpr int Pause = 19;
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Digit0 = 48;   // '0'..'9' are 48..57
constexpr int LetterA = 65;  // 'A'..'Z' are 65..90
constexpr int F1 = 112;      // F1..F12 are 112..123
constexpr int F9 = 120;
constexpr int F12 = 123;
constexpr int Count = 256;
}  // namespace vk

// Modifier flags as the game's boss-key setting stores them.
namespace mod {
constexpr uint8_t Shift = 1;
constexpr uint8_t Alt = 2;
constexpr uint8_t Ctrl = 4;
constexpr uint8_t LeftButton = 8;
constexpr uint8_t RightButton = 16;
constexpr uint8_t MiddleButton = 32;
}  // namespace mod

// The gamepad's controls as the game sees them: the buttons, and the left stick and the
// triggers already turned into on/off states (stick past its dead zone, trigger past a third).
namespace pad {
enum Button {
  A,
  B,
  X,
  Y,
  Back,
  Start,
  DpadUp,
  DpadDown,
  DpadLeft,
  DpadRight,
  StickUp,
  StickDown,
  StickLeft,
  StickRight,
  TriggerLeft,
  TriggerRight,
  Count
};
}  // namespace pad

// One input event from the window system, delivered between frames. Close is the window's
// close box (the game asks before it ends); Terminate is the system telling the game to end now
// (a signal, a logout), which it obeys at once after saving.
struct TInputEvent {
  enum Kind {
    KeyDown,
    KeyUp,
    Char,
    MouseMove,
    Click,
    Close,
    Minimise,
    Restore,
    Terminate,
    PadDown,
    PadUp
  };
  Kind Type = KeyDown;
  // virtual-key code for KeyDown/KeyUp, character code for Char, pad:: control for PadDown/PadUp
  int Key = 0;
  uint8_t Modifiers = 0;  // mod:: flags held with the key
  int X = 0, Y = 0;       // surface pixels for mouse events
};

// The window and its 800 x 600 16-bit picture.
class IDisplay {
 public:
  virtual ~IDisplay() = default;
  // Shows a finished frame; waits for the vertical blank where the display can.
  virtual void Present(const TSurface& frame) = 0;
  // The display's refresh rate in Hz (60 where the display does not know it).
  virtual int RefreshRate() = 0;
  virtual void SetFullScreen(bool on) = 0;
  virtual bool IsFullScreen() const = 0;
  virtual void Minimise() = 0;
  // The system mouse pointer over the window.
  virtual void ShowPointer(bool shown) = 0;
  // True while the drawing surface can be drawn on.
  virtual bool CanDraw() const { return true; }
};

// Input: events queued since the last call, and the keys held right now.
class IInput {
 public:
  virtual ~IInput() = default;
  virtual bool PollEvent(TInputEvent& ev) = 0;
  // Whether a key (vk code) is held now; only while the window is active.
  virtual bool KeyHeld(int key) const = 0;
  // A gamepad is plugged in and plays.
  virtual bool PadConnected() const { return false; }
  // Whether a control of the playing gamepad (pad:: control) is held now; false with no pad.
  virtual bool PadHeld(int control) const {
    (void)control;
    return false;
  }
  // A short rumble of the playing gamepad, strength 0..1, where the pad has a motor.
  virtual void PadRumble(double strength, int ms) { (void)strength, (void)ms; }
};

// A milliseconds clock.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual uint64_t Milliseconds() = 0;
  // A high-resolution counter used once, to seed the game's generator.
  virtual uint64_t Counter() = 0;
};

// PCM sound data as a sound item holds it.
struct TWaveData {
  int Channels = 1;
  int Bits = 16;
  int Rate = 22050;
  std::vector<uint8_t> Pcm;  // interleaved little-endian samples
  int FrameCount() const {
    int bytes = Channels * (Bits / 8);
    return bytes > 0 ? static_cast<int>(Pcm.size() / bytes) : 0;
  }
};

// Sound effects: play buffers, each an instance sharing one wave.
class IAudio {
 public:
  virtual ~IAudio() = default;
  virtual int CreateBuffer(std::shared_ptr<const TWaveData> wave) = 0;
  virtual void PlayBuffer(int buffer, bool looped) = 0;  // from the start
  virtual void StopBuffer(int buffer) = 0;
  virtual bool BufferPlaying(int buffer) = 0;
  // The playing rate in Hz (0: the wave's own), the pan (-10000 left only .. 10000 right only)
  // and the volume (hundredths of a decibel, 0 full .. -10000 silent) of a buffer, as a sound
  // item stores them; they hold for the buffer's following plays.
  virtual void SetBufferFormat(int buffer, int frequency, int pan, int volume) = 0;
  // The game's own sound and music calls, for the scripted runner's log.
  virtual void Trace(const std::string& op, int index, const std::string& path) {
    (void)op, (void)index, (void)path;
  }
};

// The tracker-music player: one song at a time, looping.
class IMusic {
 public:
  virtual ~IMusic() = default;
  // Loads a song; answers 0 when it cannot be loaded, else a handle.
  virtual int SongLoadFromFile(const std::string& path) = 0;
  virtual void SongPlay(int handle) = 0;
  virtual void SongFree(int handle) = 0;
};

// Opening a web address in the system's browser.
class IShell {
 public:
  virtual ~IShell() = default;
  // Answers false when no browser could be started for it (no opener, or no browser set).
  virtual bool OpenUrl(const std::string& url) = 0;
};

// One synchronous HTTP GET or POST; answers false on any failure.
class IHttp {
 public:
  virtual ~IHttp() = default;
  virtual bool Get(const std::string& url, std::string& body) = 0;
  // POST of `data` (sent as application/octet-stream); `status` is the reply's HTTP status
  // (0 when none came). A client that cannot post answers false.
  virtual bool Post(const std::string& url, const std::string& data, std::string& body,
                    int& status) {
    (void)url;
    (void)data;
    body.clear();
    status = 0;
    return false;
  }
};

// Everything the platform gives the game, owned by the platform's runner.
struct TPlatform {
  IDisplay* Display = nullptr;
  IInput* Input = nullptr;
  IClock* Clock = nullptr;
  IAudio* Audio = nullptr;
  IMusic* Music = nullptr;
  IShell* Shell = nullptr;
  IHttp* Http = nullptr;
  // Shows a start-up failure to the player (a message box where there is a desktop).
  void (*ShowError)(const std::string& message) = nullptr;
};

}  // namespace zw
