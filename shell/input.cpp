// Keyboard and mouse: the per-frame key flags, the form's key handlers, text entry and the boss
// key.
#include <algorithm>

#include "save/saved_state.hpp"
#include "shell/form.hpp"
#include "shell/replay_hooks.hpp"

namespace zw {

void TMForm::ReadInput() {
  // The eight tracked keys, each true on exactly one frame per press.
  static constexpr int Tracked[8] = {vk::Up, vk::Down, vk::Left, vk::Right,
                                     'P',    'Y',      'N',      vk::Escape};
  bool* flags[8] = {&Keys.KeyUp,    &Keys.KeyDown, &Keys.KeyLeft, &Keys.KeyRight,
                    &Keys.KeyPause, &Keys.KeyYes,  &Keys.KeyNo,   &Keys.KeyEscape};
  for (int i = 0; i < 8; ++i) {
    const bool held = Held(Tracked[i]);
    *flags[i] = !Keys.Twins[static_cast<size_t>(i)] && held;
    Keys.Twins[static_cast<size_t>(i)] = held;
  }
}

void TMForm::FormKeyDown(int key, uint8_t shift) {
  if (Keys.BossKeyCapture) {
    BossKeyCaptureKey(key, shift, true);
  } else if (shift == Keys.BossKeyShift && key == Keys.BossKey && Keys.BossKey != 0) {
    BossKeyAction();
  }
  if ((shift & mod::Alt) && key == vk::Return) {
    GameOptions.FullScreen = !GameOptions.FullScreen;
    PauseForModeSwitch();
    ApplyDisplayMode();
  }
}

void TMForm::FormKeyUp(int key, uint8_t shift) {
  if (Keys.BossKeyCapture) BossKeyCaptureKey(key, shift, false);
}

void TMForm::ToggleBossKeyCapture() {
  if (!Keys.BossKeyCapture) {
    // The name shows "?" while the next key combination is awaited.
    Keys.SavedBossKeyShift = Keys.BossKeyShift;
    Keys.SavedBossKey = Keys.BossKey;
    Keys.BossKeyShift = 0;
    Keys.BossKey = 0;
  } else if (Keys.BossKey == 0) {
    Keys.BossKeyShift = Keys.SavedBossKeyShift;
    Keys.BossKey = Keys.SavedBossKey;
  }
  Keys.BossKeyCapture = !Keys.BossKeyCapture;
}

void TMForm::BossKeyCaptureKey(int key, uint8_t shift, bool down) {
  if (shift & mod::Alt)
    Keys.BossKeyShift = mod::Alt;
  else if (shift & mod::Ctrl)
    Keys.BossKeyShift = mod::Ctrl;
  else if (shift & mod::Shift)
    Keys.BossKeyShift = mod::Shift;
  else
    Keys.BossKeyShift = 0;
  const bool function = key >= vk::F1 && key <= vk::F12;
  if (down) {
    Keys.BossKey = function ? static_cast<uint16_t>(key) : 0;
    if (Keys.BossKey != 0) ToggleBossKeyCapture();
  } else if (function) {
    Keys.BossKey = 0;
  }
}

void TMForm::BossKeyAction() {
  StopMusic();
  // In a race the boss key pauses exactly as minimising the window does.
  WMSysCommandMinimise();
  Keys.MusicRestartPending = true;
  if (GameOptions.FullScreen) {
    GameOptions.FullScreen = false;
    EnterWindowed();
  }
  if (Platform.Display) Platform.Display->Minimise();
}

std::string BossKeyName(const TKeyState& keys) {
  std::string name;
  const uint8_t m = keys.BossKeyShift;
  if (m & mod::Alt)
    name = "ALT+";
  else if (m & mod::Ctrl)
    name = "CTRL+";
  else if (m & mod::Shift)
    name = "SHIFT+";
  if (keys.BossKey >= vk::F1 && keys.BossKey <= vk::F12)
    name += "F" + std::to_string(keys.BossKey - (vk::F1 - 1));
  if (name.empty() || name.back() == '+') name += "?";
  return name;
}

bool TMForm::IsNameChar(int c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
}

void TMForm::AppendChar(std::string& s, int c, size_t max) {
  if (s.size() < max) s.push_back(static_cast<char>(c));
}

void TMForm::DeleteLastChar(std::string& s) {
  if (!s.empty()) s.pop_back();
}

void TMForm::FormKeyPress(int key) {
  if (Menu.ActiveDialog == dialog::NameEntry) Dialog.TypedKey = key;
  if (Menu.CurrentScreen == screen::Options && Keys.CountryEdit) {
    if (key == vk::Backspace)
      DeleteLastChar(GameOptions.Country);
    else if (IsNameChar(key) && GameOptions.Country == CountryPlaceholder)
      // The untouched placeholder is no part of a country's name: the first letter replaces it.
      GameOptions.Country = std::string(1, static_cast<char>(key));
    else if (IsNameChar(key) && TextWidthInFont(GameOptions.Country, font::CountryMeasure) <= 345)
      AppendChar(GameOptions.Country, key, 16);
  }
  if (Menu.ActiveDialog == dialog::NameEntry) {
    if (key == vk::Backspace)
      DeleteLastChar(Dialog.PlayerName);
    else if (IsNameChar(key) && TextWidthInFont(Dialog.PlayerName, font::TypedName) <= 240)
      AppendChar(Dialog.PlayerName, key, 12);
  }
  if (key == vk::Return) SelectAndActivate(Menu.MenuIndex);
}

void TMForm::HandleEvent(const TInputEvent& ev) {
  if (ReplayHooks) ReplayHooks->RaceEvent(*this, ev);
  switch (ev.Type) {
    case TInputEvent::KeyDown:
      Keys.PadInUse = false;
      FormKeyDown(ev.Key, ev.Modifiers);
      break;
    case TInputEvent::KeyUp:
      FormKeyUp(ev.Key, ev.Modifiers);
      break;
    case TInputEvent::Char:
      FormKeyPress(ev.Key);
      break;
    case TInputEvent::MouseMove:
      // A pointer off the picture (over a full screen's side bars) is held at the edges a
      // replay can keep, so that a recorded race rides again with the pointer where it was.
      MDisplayMouseMove(std::clamp(ev.X, 0, 4095), std::clamp(ev.Y, 0, 4095));
      break;
    case TInputEvent::Click:
      MDisplayClick();
      break;
    case TInputEvent::Close:
      FormCloseQuery();
      break;
    case TInputEvent::Minimise:
      WMSysCommandMinimise();
      break;
    case TInputEvent::Restore:
      WMSysCommandRestore();
      break;
    case TInputEvent::Terminate:
      // Whatever screen or dialog is open, the session's options and scores are kept; a name
      // being typed goes into the table as far as it got, as Enter would have put it there.
      if (!Terminated) {
        if (Menu.ActiveDialog == dialog::NameEntry) {
          HighScores[11] =
              THighScore{Dialog.PlayerName.empty() ? std::string(UnnamedPlayer) : Dialog.PlayerName,
                         Race.RaceScore};
          Replays.Table[11] = Replays.LastIsCurrent ? Replays.Last : std::string();
          SortHighScores(*this);
        }
        Shutdown();
      }
      break;
    case TInputEvent::PadDown:
      FormPadDown(ev.Key);
      break;
    case TInputEvent::PadUp:
      break;
  }
}

}  // namespace zw
