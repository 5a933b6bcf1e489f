// The gamepad over SDL's game-controller API: buttons and the stick and triggers as the game's
// pad controls, plugging in and out at any time, and the rumble.
#include "platform/sdl/sdl_gamepad.hpp"

#include <algorithm>
#include <cmath>

#include "platform/common/pad_travel.hpp"

namespace zw {

namespace {

int ButtonControl(Uint8 button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_A:
      return pad::A;
    case SDL_CONTROLLER_BUTTON_B:
      return pad::B;
    case SDL_CONTROLLER_BUTTON_X:
      return pad::X;
    case SDL_CONTROLLER_BUTTON_Y:
      return pad::Y;
    case SDL_CONTROLLER_BUTTON_BACK:
      return pad::Back;
    case SDL_CONTROLLER_BUTTON_START:
      return pad::Start;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
      return pad::DpadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
      return pad::DpadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
      return pad::DpadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
      return pad::DpadRight;
    default:
      return -1;
  }
}

}  // namespace

void TSdlGamepad::Open(int deviceIndex) {
  if (Pad || !SDL_IsGameController(deviceIndex)) return;
  Pad = SDL_GameControllerOpen(deviceIndex);
  if (!Pad) return;
  Id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(Pad));
  std::fill(std::begin(State), std::end(State), false);
}

void TSdlGamepad::OpenAny() {
  for (int i = 0; i < SDL_NumJoysticks() && !Pad; ++i) Open(i);
}

void TSdlGamepad::Close() {
  if (Pad) SDL_GameControllerClose(Pad);
  Pad = nullptr;
  Id = -1;
  std::fill(std::begin(State), std::end(State), false);
}

void TSdlGamepad::Set(int control, bool on, std::deque<TInputEvent>& out) {
  if (control < 0 || control >= pad::Count || State[control] == on) return;
  State[control] = on;
  TInputEvent ev;
  ev.Type = on ? TInputEvent::PadDown : TInputEvent::PadUp;
  ev.Key = control;
  out.push_back(ev);
}

void TSdlGamepad::ReleaseAll(std::deque<TInputEvent>& out) {
  for (int c = 0; c < pad::Count; ++c) Set(c, false, out);
}

bool TSdlGamepad::Handle(const SDL_Event& e, std::deque<TInputEvent>& out) {
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      Open(e.cdevice.which);
      return true;
    case SDL_CONTROLLERDEVICEREMOVED:
      if (Pad && e.cdevice.which == Id) {
        // Whatever was held on the pad that left is let go, and the next pad plays.
        ReleaseAll(out);
        Close();
        OpenAny();
      }
      return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      if (Pad && e.cbutton.which == Id)
        Set(ButtonControl(e.cbutton.button), e.type == SDL_CONTROLLERBUTTONDOWN, out);
      return true;
    case SDL_CONTROLLERAXISMOTION: {
      if (!Pad || e.caxis.which != Id) return true;
      const int v = e.caxis.value;
      auto stick = [&](int control, int travel) {
        Set(control, TravelOn(travel, State[control], StickOnAt, StickOffAt), out);
      };
      auto trigger = [&](int control) {
        Set(control, TravelOn(v, State[control], TriggerOnAt, TriggerOffAt), out);
      };
      switch (e.caxis.axis) {
        case SDL_CONTROLLER_AXIS_LEFTX:
          stick(pad::StickLeft, -v);
          stick(pad::StickRight, v);
          break;
        case SDL_CONTROLLER_AXIS_LEFTY:
          stick(pad::StickUp, -v);
          stick(pad::StickDown, v);
          break;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
          trigger(pad::TriggerLeft);
          break;
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
          trigger(pad::TriggerRight);
          break;
        default:
          break;
      }
      return true;
    }
    default:
      return false;
  }
}

void TSdlGamepad::Rumble(double strength, int ms) {
  if (!Pad || ms <= 0) return;
  const auto level = static_cast<Uint16>(std::lround(std::clamp(strength, 0.0, 1.0) * 0xFFFF));
  // A pad without motors answers with an error, which changes nothing for the game.
  SDL_GameControllerRumble(Pad, level, level, static_cast<Uint32>(ms));
}

}  // namespace zw
