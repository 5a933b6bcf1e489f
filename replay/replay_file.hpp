// The replay file (.zwr): what a race read, kept so that it can be ridden again.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace zw::replay {

// Largest file the reader takes, and the most frames a recording may hold: an hour at a
// thousand frames a second, far past any game (ten levels of at most 140 s on the clock, three
// lives) with long pauses, and what the verifier's time limit is sized for.
inline constexpr size_t MaxFileBytes = 1u << 20;
inline constexpr uint32_t MaxFrames = 3600000;
inline constexpr int MaxMoveCount = 60000;  // a frame after a minute-long stall
inline constexpr uint32_t MaxEvents = 200000;
// Format 2 adds the race state's hashes at the level ends; format 1 files (without them) are
// still read and ridden, their score alone judged.
inline constexpr uint16_t FormatVersion = 2;
inline constexpr uint16_t OldestFormatVersion = 1;
// More level ends than any game has: nine finished levels and the lives the clock can take.
inline constexpr uint32_t MaxLevelEnds = 4096;

// The held controls of one frame: the keys the race and its dialogs read, and the gamepad.
namespace held {
constexpr uint16_t Up = 1 << 0, Down = 1 << 1, Left = 1 << 2, Right = 1 << 3, Pause = 1 << 4,
                   Yes = 1 << 5, No = 1 << 6, Escape = 1 << 7, Space = 1 << 8, Horn = 1 << 9;
constexpr int KeyCount = 10;
}  // namespace held
// The key codes in the order of the held bits.
extern const int HeldKeys[held::KeyCount];

// One thing that happened between two frames.
struct TEvent {
  enum Kind : uint8_t {
    Char = 1,         // a typed character (Enter answers a dialog)
    MouseMove = 2,    // the pointer at X, Y
    Click = 3,        // a click where the pointer is
    Close = 4,        // the window's close box
    PadDown = 5,      // a gamepad control pressed
    WindowPause = 6,  // minimised or the boss key: the race pauses
    ModePause = 7,    // Alt+Enter: the race pauses
    KeysAgain = 8     // a key pressed after the gamepad: the keyboard's hints come back
  };
  uint32_t Frame = 0;  // delivered before this frame runs (== frame count: after the last one)
  Kind Type = Char;
  int32_t Key = 0;  // the character or the pad control
  int32_t X = 0, Y = 0;
};

// The state a race starts from besides the seed and the bike: the frame-rate measure (every
// movement's time base) and the menu keys' memory of the previous frame.
struct TStart {
  uint32_t Seed = 0;
  uint8_t Bike = 1;
  uint16_t RefreshRate = 60;
  uint16_t FrameRate = 0;
  uint16_t TimerFrameRate = 0;
  uint16_t FrameTime = 16;  // FrameTime and SpeedFactor as the frame loop last made them
  double SpeedFactor = 85.0 / 60;
  uint32_t WindowMs = 0;
  uint16_t WindowFrames = 0;
  uint8_t Twins = 0;  // bit i: tracked key i was held in the frame before
  int16_t MouseX = 0, MouseY = 0;
};

// Where a level ended (finished, or lost to the clock): the level and the hash of the whole race
// state then (RaceStateHash).
struct TLevelEnd {
  int32_t Level = 0;
  uint64_t Hash = 0;
  bool operator==(const TLevelEnd&) const = default;
};

struct TReplay {
  std::string GameVersion;
  uint64_t PackHash = 0;
  TStart Start;
  // Per frame: its milliseconds, the held keys (held:: bits), and the gamepad (bit 16: one is
  // plugged in; bits 0..15 its pad:: controls).
  std::vector<uint16_t> MoveCounts;
  std::vector<uint16_t> Keys;
  std::vector<uint32_t> Pad;
  std::vector<uint16_t> RefreshRates;
  std::vector<TEvent> Events;
  // How the game ended.
  int32_t RaceScore = 0;
  int32_t Level = 0;
  int64_t EndTime = 0;       // seconds since 1970, UTC
  int16_t EndUtcOffset = 0;  // minutes east of UTC where it was played
  // The proof a re-ride is held to: the race state's hash at every level end and at the game's
  // end. A format 1 file has none (HasHashes false) and is written as format 1 again.
  bool HasHashes = false;
  std::vector<TLevelEnd> LevelEnds;
  uint64_t EndHash = 0;
  uint32_t FrameCount() const { return static_cast<uint32_t>(MoveCounts.size()); }
};

// The file's bytes; empty when the recording breaks a limit (too long, too many events).
std::vector<uint8_t> Write(const TReplay& r);
// Reads a file's bytes; false with a one-line reason when they are not a replay this game
// can ride.
bool Read(const std::vector<uint8_t>& bytes, TReplay& r, std::string& why);
bool ReadFile(const std::string& path, TReplay& r, std::string& why);
bool WriteFile(const std::string& path, const TReplay& r, std::string& why);

// 64-bit FNV-1a, the hash of the packs and of the race state. A value is fed as its bytes in a
// fixed order, never as it lies in memory: integers little-endian at their own width, a bool as
// one byte 0 or 1, a double as the little-endian bytes of its IEEE 754 bits. So a hash is the
// same on every machine and every build, and no padding byte or pointer can reach it (anything
// but a number is refused at compile time).
struct TFnv {
  uint64_t H = 1469598103934665603ull;
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) Byte(b[i]);
  }
  void Byte(uint8_t b) { H = (H ^ b) * 1099511628211ull; }
  template <class T>
  void Value(const T& v) {
    if constexpr (std::is_same_v<T, bool>) {
      Byte(v ? 1 : 0);
    } else if constexpr (std::is_same_v<T, double>) {
      Value(std::bit_cast<uint64_t>(v));
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
      const auto u = static_cast<std::make_unsigned_t<typename std::conditional_t<
          std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>::type>>(v);
      for (size_t i = 0; i < sizeof u; ++i) Byte(static_cast<uint8_t>(u >> (8 * i)));
    } else {
      static_assert(sizeof(T) == 0, "hash the fields one by one");
    }
  }
};

}  // namespace zw::replay
