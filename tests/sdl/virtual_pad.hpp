// SDL's virtual game controller, plugged in as a player plugs a pad: every button and axis of a
// game controller, the triggers at rest.
#pragma once

#include <SDL2/SDL.h>

namespace zw::test {

// Answers the opened pad and its device index, or nullptr (and SDL_GetError) when SDL refuses.
inline SDL_Joystick* PlugVirtualPad(const char* name, int& device, void* userdata = nullptr,
                                    int(SDLCALL* rumble)(void*, Uint16, Uint16) = nullptr) {
  SDL_VirtualJoystickDesc d{};
  d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  d.naxes = SDL_CONTROLLER_AXIS_MAX;
  d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  d.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
  d.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  d.name = name;
  d.userdata = userdata;
  d.Rumble = rumble;
  device = SDL_JoystickAttachVirtualEx(&d);
  if (device < 0) return nullptr;
  SDL_Joystick* joy = SDL_JoystickOpen(device);
  if (!joy) return nullptr;
  // Triggers rest at their lowest value.
  SDL_JoystickSetVirtualAxis(joy, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
  SDL_JoystickSetVirtualAxis(joy, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
  return joy;
}

}  // namespace zw::test
