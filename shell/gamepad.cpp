// The gamepad: its controls stand for the keys the game already knows, chosen by where the
// player is (riding, name entry, or the menus and dialogs), and the name entry without keys.
#include <cstring>

#include "shell/form.hpp"

namespace zw {

namespace {

// The characters a name can hold, in the order Up steps through them.
constexpr char PadNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ";
constexpr int PadNameCharCount = sizeof(PadNameChars) - 1;

// Up or Down held in name entry steps again after this long, then at the shorter interval.
constexpr int32_t PadRepeatDelay = 400;
constexpr int32_t PadRepeatInterval = 90;

enum class TPadMode { Menus, Riding, NameEntry };

bool AnyHeld(const IInput& in, std::initializer_list<int> controls) {
  for (int c : controls)
    if (in.PadHeld(c)) return true;
  return false;
}

}  // namespace

bool TMForm::Held(int key) const {
  const IInput* in = Platform.Input;
  if (!in) return false;
  if (in->KeyHeld(key)) return true;
  if (!in->PadConnected()) return false;
  const TPadMode mode = Menu.ActiveDialog == dialog::NameEntry ? TPadMode::NameEntry
                        : Menu.CurrentScreen == screen::Race && Menu.ActiveDialog == dialog::None
                            ? TPadMode::Riding
                            : TPadMode::Menus;
  switch (mode) {
    case TPadMode::NameEntry:
      // The name entry reads the pad's presses alone; nothing stands for a held key there.
      return false;
    case TPadMode::Riding:
      switch (key) {
        case vk::Left:
          return AnyHeld(*in, {pad::DpadLeft, pad::StickLeft});
        case vk::Right:
          return AnyHeld(*in, {pad::DpadRight, pad::StickRight});
        case vk::Up:
          return AnyHeld(*in, {pad::A, pad::TriggerRight, pad::DpadUp});
        case vk::Down:
          return AnyHeld(*in, {pad::B, pad::TriggerLeft, pad::DpadDown});
        case vk::Space:
          return in->PadHeld(pad::X);
        case 'H':
          return in->PadHeld(pad::Y);
        case 'P':
          return in->PadHeld(pad::Start);
        case vk::Escape:
          return in->PadHeld(pad::Back);
        default:
          return false;
      }
    case TPadMode::Menus:
      switch (key) {
        case vk::Left:
          return AnyHeld(*in, {pad::DpadLeft, pad::StickLeft});
        case vk::Right:
          return AnyHeld(*in, {pad::DpadRight, pad::StickRight});
        case vk::Up:
          return AnyHeld(*in, {pad::DpadUp, pad::StickUp});
        case vk::Down:
          return AnyHeld(*in, {pad::DpadDown, pad::StickDown});
        case vk::Escape:
          return AnyHeld(*in, {pad::B, pad::Back});
        case 'P':
          // Start ends the pause as P does.
          return in->PadHeld(pad::Start);
        default:
          return false;
      }
  }
  return false;
}

void TMForm::FormPadDown(int control) {
  Keys.PadInUse = true;
  if (Menu.ActiveDialog == dialog::NameEntry) {
    switch (control) {
      case pad::DpadUp:
      case pad::StickUp:
        StepPadChar(1);
        Dialog.PadRepeatTimer = 0;
        break;
      case pad::DpadDown:
      case pad::StickDown:
        StepPadChar(-1);
        Dialog.PadRepeatTimer = 0;
        break;
      case pad::A:
      case pad::DpadRight:
      case pad::StickRight:
        // The same rules as a typed character: the width before it, and twelve at most.
        if (TextWidthInFont(Dialog.PlayerName, font::TypedName) <= 240)
          AppendChar(Dialog.PlayerName, PadNameChar(), 12);
        break;
      case pad::B:
      case pad::DpadLeft:
      case pad::StickLeft:
        DeleteLastChar(Dialog.PlayerName);
        break;
      case pad::Start:
        FormKeyPress(vk::Return);
        break;
      default:
        break;
    }
    return;
  }
  if (Menu.CurrentScreen == screen::Race &&
      (Menu.ActiveDialog == dialog::None || Menu.ActiveDialog == dialog::Pause))
    return;
  // In the menus and the dialogs A and Start are Enter: they activate the selected item.
  if (control == pad::A || control == pad::Start) FormKeyPress(vk::Return);
}

bool TMForm::PadShown() const {
  return Keys.PadInUse && Platform.Input && Platform.Input->PadConnected();
}

char TMForm::PadNameChar() const {
  const int i = Dialog.PadChar;
  return PadNameChars[i >= 0 && i < PadNameCharCount ? i : 0];
}

void TMForm::StepPadChar(int step) {
  Dialog.PadChar =
      ((Dialog.PadChar + step) % PadNameCharCount + PadNameCharCount) % PadNameCharCount;
}

void TMForm::PadNameRepeat(int moveCount) {
  const IInput* in = Platform.Input;
  if (!in || !in->PadConnected()) return;
  const bool up = AnyHeld(*in, {pad::DpadUp, pad::StickUp});
  const bool down = AnyHeld(*in, {pad::DpadDown, pad::StickDown});
  if (up == down) {
    Dialog.PadRepeatTimer = 0;
    return;
  }
  const int32_t before = Dialog.PadRepeatTimer;
  Dialog.PadRepeatTimer += moveCount;
  if (Dialog.PadRepeatTimer < PadRepeatDelay) return;
  // One step for each interval passed since the delay ran out, however long the frame.
  const int32_t was = before < PadRepeatDelay ? -1 : (before - PadRepeatDelay) / PadRepeatInterval;
  const int32_t now = (Dialog.PadRepeatTimer - PadRepeatDelay) / PadRepeatInterval;
  for (int32_t k = was; k < now; ++k) StepPadChar(up ? 1 : -1);
  if (Dialog.PadRepeatTimer > 60000) Dialog.PadRepeatTimer = PadRepeatDelay;
}

void TMForm::PadRumble(double strength, int ms) {
  if (Platform.Input) Platform.Input->PadRumble(strength, ms);
}

}  // namespace zw
