// The keys the game reads each frame, and the boss key.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.hpp"

namespace zw {

// The boss key a new player has: Alt+F9.
inline constexpr uint8_t DefaultBossKeyShift = mod::Alt;
inline constexpr uint16_t DefaultBossKey = vk::F9;

// Per-frame key flags and their twins (held in the previous frame).
struct TKeyState {
  bool KeyUp = false, KeyDown = false, KeyLeft = false, KeyRight = false;
  bool KeyPause = false, KeyYes = false, KeyNo = false, KeyEscape = false;
  std::array<bool, 8> Twins{};
  uint8_t BossKeyShift = DefaultBossKeyShift;  // 0 none, else one of mod::Shift, Alt, Ctrl
  uint16_t BossKey = DefaultBossKey;           // 0 none, vk::F1..vk::F12
  bool BossKeyCapture = false;
  bool MusicRestartPending = false;
  bool CountryEdit = false;
  // The boss key as it was when a capture began, put back when the capture ends with no key.
  uint8_t SavedBossKeyShift = DefaultBossKeyShift;
  uint16_t SavedBossKey = DefaultBossKey;
  // The player last used the gamepad rather than the keyboard.
  bool PadInUse = false;
};

// The boss key as the options screen shows it ("ALT+F9"), with "?" for a part not chosen.
std::string BossKeyName(const TKeyState& keys);

}  // namespace zw
