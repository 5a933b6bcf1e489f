// The SDL platform's input as the game receives it, recorded: a scripted series of keyboard,
// text, mouse, window and gamepad events (two virtual pads) goes through the real translation,
// and every game event, held key and held pad control it gives is one line of
// tests/recorded/input.transcript. Any change to what reaches the game fails and names the step.
// SDL's event and controller parts only, so it runs alike with and without an X display.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/sdl/sdl_platform.hpp"
#include "tests/record_support.hpp"
#include "tests/sdl/virtual_pad.hpp"

namespace zw {
namespace {

const char* KindName(TInputEvent::Kind k) {
  static const char* const names[] = {"KeyDown",   "KeyUp",   "Char",     "MouseMove",
                                      "Click",     "Close",   "Minimise", "Restore",
                                      "Terminate", "PadDown", "PadUp"};
  return names[k];
}

const char* PadName(int c) {
  static const char* const names[] = {"A",         "B",          "X",           "Y",
                                      "Back",      "Start",      "DpadUp",      "DpadDown",
                                      "DpadLeft",  "DpadRight",  "StickUp",     "StickDown",
                                      "StickLeft", "StickRight", "TriggerLeft", "TriggerRight"};
  return c >= 0 && c < pad::Count ? names[c] : "?";
}

class RecordedInput : public ::testing::Test {
 protected:
  TSdlInput Input;
  std::vector<std::string> Lines;
  int Step = 0;

  void SetUp() override {
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS | SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    SDL_EventState(SDL_TEXTINPUT, SDL_ENABLE);
  }
  void TearDown() override {
    Input.Gamepad.Close();
    SDL_SetModState(KMOD_NONE);
    SDL_Quit();
  }

  // Pumps, and records every game event and the pad's held controls under this step's name.
  void Record(const std::string& what) {
    Input.Pump();
    std::ostringstream s;
    s << "step " << ++Step << " " << what << ":";
    TInputEvent ev;
    int n = 0;
    while (Input.PollEvent(ev)) {
      ++n;
      s << " " << KindName(ev.Type);
      if (ev.Type == TInputEvent::PadDown || ev.Type == TInputEvent::PadUp)
        s << " " << PadName(ev.Key);
      else if (ev.Type == TInputEvent::MouseMove)
        s << " " << ev.X << "," << ev.Y;
      else if (ev.Type != TInputEvent::Close && ev.Type != TInputEvent::Minimise &&
               ev.Type != TInputEvent::Restore && ev.Type != TInputEvent::Terminate)
        s << " " << ev.Key;
      if (ev.Modifiers) s << " mod " << int(ev.Modifiers);
      s << ";";
    }
    if (n == 0) s << " nothing;";
    s << " pad " << (Input.PadConnected() ? "in" : "out");
    for (int c = 0; c < pad::Count; ++c)
      if (Input.PadHeld(c)) s << " " << PadName(c);
    Lines.push_back(s.str());
  }

  static void Key(SDL_Keycode sym, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    SDL_PushEvent(&e);
  }
  void Press(const std::string& what, SDL_Keycode sym, SDL_Keymod mods = KMOD_NONE) {
    SDL_SetModState(mods);
    Key(sym, true);
    Key(sym, false);
    Record(what);
    SDL_SetModState(KMOD_NONE);
  }
  static void Window(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    SDL_PushEvent(&e);
  }
  static void Push(Uint32 type) {
    SDL_Event e{};
    e.type = type;
    SDL_PushEvent(&e);
  }
  static void Text(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, text, sizeof(e.text.text));
    SDL_PushEvent(&e);
  }
};

// Every key the game maps and some it does not, with the modifiers, in text and in play.
TEST_F(RecordedInput, KeyboardTextMouseAndWindow) {
  const std::pair<const char*, SDL_Keycode> keys[] = {{"a", SDLK_a},
                                                      {"m", SDLK_m},
                                                      {"z", SDLK_z},
                                                      {"0", SDLK_0},
                                                      {"1", SDLK_1},
                                                      {"5", SDLK_5},
                                                      {"9", SDLK_9},
                                                      {"F1", SDLK_F1},
                                                      {"F9", SDLK_F9},
                                                      {"F10", SDLK_F10},
                                                      {"F12", SDLK_F12},
                                                      {"F13", SDLK_F13},
                                                      {"left", SDLK_LEFT},
                                                      {"right", SDLK_RIGHT},
                                                      {"up", SDLK_UP},
                                                      {"down", SDLK_DOWN},
                                                      {"space", SDLK_SPACE},
                                                      {"return", SDLK_RETURN},
                                                      {"enter", SDLK_KP_ENTER},
                                                      {"escape", SDLK_ESCAPE},
                                                      {"backspace", SDLK_BACKSPACE},
                                                      {"tab", SDLK_TAB},
                                                      {"lshift", SDLK_LSHIFT},
                                                      {"rshift", SDLK_RSHIFT},
                                                      {"lctrl", SDLK_LCTRL},
                                                      {"rctrl", SDLK_RCTRL},
                                                      {"lalt", SDLK_LALT},
                                                      {"ralt", SDLK_RALT},
                                                      {"pause", SDLK_PAUSE},
                                                      {"delete", SDLK_DELETE},
                                                      {"home", SDLK_HOME},
                                                      {"end", SDLK_END},
                                                      {"insert", SDLK_INSERT},
                                                      {"pageup", SDLK_PAGEUP},
                                                      {"lgui", SDLK_LGUI},
                                                      {"slash", SDLK_SLASH},
                                                      {"backquote", SDLK_BACKQUOTE},
                                                      {"kp4", SDLK_KP_4},
                                                      {"capslock", SDLK_CAPSLOCK}};
  for (const auto& [name, sym] : keys) Press(std::string("key ") + name, sym);
  // The modifiers reach the game with the key; Alt+Enter (full screen) types no Enter.
  Press("shift+a", SDLK_a, KMOD_LSHIFT);
  Press("ctrl+f12", SDLK_F12, KMOD_RCTRL);
  Press("alt+return", SDLK_RETURN, KMOD_LALT);
  Press("ralt+enter", SDLK_KP_ENTER, KMOD_RALT);
  Press("alt+backspace", SDLK_BACKSPACE, KMOD_LALT);
  Press("alt+escape", SDLK_ESCAPE, KMOD_LALT);
  Press("ctrl+shift+alt+b", SDLK_b, static_cast<SDL_Keymod>(KMOD_CTRL | KMOD_SHIFT | KMOD_ALT));
  Press("shift+backspace", SDLK_BACKSPACE, KMOD_RSHIFT);
  Press("capslock held+a", SDLK_a, KMOD_CAPS);
  // A key held down repeats its character.
  Key(SDLK_BACKSPACE, true);
  Key(SDLK_BACKSPACE, true);
  Key(SDLK_BACKSPACE, true);
  Key(SDLK_BACKSPACE, false);
  Record("backspace repeating");
  // Typing a name: letters, digits, a space, text of several characters at once, and the
  // editing keys between them.
  Text("J");
  Text("o");
  Record("text Jo");
  Press("text backspace", SDLK_BACKSPACE);
  Text("e 7");
  Record("text 'e 7'");
  for (const auto& [name, sym] : {std::pair<const char*, SDL_Keycode>{"delete", SDLK_DELETE},
                                  {"home", SDLK_HOME},
                                  {"end", SDLK_END},
                                  {"left", SDLK_LEFT},
                                  {"right", SDLK_RIGHT}})
    Press(std::string("text ") + name, sym);
  Text("\xc3\xa9");
  Record("text e-acute");
  Text("~{}");
  Record("text punctuation");
  // The mouse: motion across the picture and past its edges, every button, the wheel.
  for (const auto& [x, y] : {std::pair<int, int>{0, 0}, {799, 599}, {400, 300}, {-5, 700}}) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
  }
  Record("mouse moves");
  for (const auto& [name, button] : {std::pair<const char*, Uint8>{"left", SDL_BUTTON_LEFT},
                                     {"middle", SDL_BUTTON_MIDDLE},
                                     {"right", SDL_BUTTON_RIGHT},
                                     {"x1", SDL_BUTTON_X1}}) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = button;
    e.button.x = 100;
    e.button.y = 200;
    SDL_PushEvent(&e);
    e.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&e);
    Record(std::string("mouse ") + name + " button");
  }
  {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 1;
    SDL_PushEvent(&e);
    e.wheel.y = -2;
    SDL_PushEvent(&e);
    Record("mouse wheel");
  }
  // The window: focus, minimise and restore, the close box (and the quit SDL may send after
  // it), and a quit of its own.
  Window(SDL_WINDOWEVENT_FOCUS_LOST);
  Record("focus lost");
  Lines.push_back("focus lost: active " + std::to_string(Input.Active));
  Press("key a unfocused", SDLK_a);
  Window(SDL_WINDOWEVENT_FOCUS_GAINED);
  Record("focus gained");
  Lines.push_back("focus gained: active " + std::to_string(Input.Active));
  Window(SDL_WINDOWEVENT_MINIMIZED);
  Record("minimised");
  Lines.push_back("minimised: minimised " + std::to_string(Input.Minimised));
  Window(SDL_WINDOWEVENT_RESTORED);
  Record("restored");
  Lines.push_back("restored: minimised " + std::to_string(Input.Minimised));
  Window(SDL_WINDOWEVENT_MOVED);
  Window(SDL_WINDOWEVENT_RESIZED);
  Window(SDL_WINDOWEVENT_EXPOSED);
  Record("moved resized exposed");
  Window(SDL_WINDOWEVENT_CLOSE);
  Push(SDL_QUIT);
  Record("close box and its quit");
  Window(SDL_WINDOWEVENT_CLOSE);
  Record("close box alone");
  Push(SDL_QUIT);
  Record("quit");
  Push(SDL_APP_TERMINATING);
  Record("app terminating");
  test::CheckRecord("input.transcript", Lines);
}

// The keys held now, read by their places on the keyboard: each game key's place, and keys the
// game does not know, as the race reads them every frame.
TEST_F(RecordedInput, HeldKeys) {
  // SDL keeps the held keys in one table, filled by the video driver from the keyboard; with no
  // keyboard here the test sets the table's entries itself, as a key press would.
  int n = 0;
  auto* state = const_cast<Uint8*>(SDL_GetKeyboardState(&n));
  ASSERT_GT(n, int(SDL_SCANCODE_RALT));
  const std::pair<const char*, SDL_Scancode> places[] = {
      {"a", SDL_SCANCODE_A},           {"z", SDL_SCANCODE_Z},
      {"1", SDL_SCANCODE_1},           {"9", SDL_SCANCODE_9},
      {"0", SDL_SCANCODE_0},           {"F1", SDL_SCANCODE_F1},
      {"F12", SDL_SCANCODE_F12},       {"left", SDL_SCANCODE_LEFT},
      {"right", SDL_SCANCODE_RIGHT},   {"up", SDL_SCANCODE_UP},
      {"down", SDL_SCANCODE_DOWN},     {"space", SDL_SCANCODE_SPACE},
      {"return", SDL_SCANCODE_RETURN}, {"enter", SDL_SCANCODE_KP_ENTER},
      {"escape", SDL_SCANCODE_ESCAPE}, {"backspace", SDL_SCANCODE_BACKSPACE},
      {"tab", SDL_SCANCODE_TAB},       {"lshift", SDL_SCANCODE_LSHIFT},
      {"rshift", SDL_SCANCODE_RSHIFT}, {"lctrl", SDL_SCANCODE_LCTRL},
      {"rctrl", SDL_SCANCODE_RCTRL},   {"lalt", SDL_SCANCODE_LALT},
      {"ralt", SDL_SCANCODE_RALT},     {"F13", SDL_SCANCODE_F13},
      {"home", SDL_SCANCODE_HOME}};
  auto held = [&](const std::string& what) {
    std::string line = "held " + what + ":";
    for (int k = 0; k < vk::Count; ++k)
      if (Input.KeyHeld(k)) line += " " + std::to_string(k);
    Lines.push_back(line);
  };
  for (const auto& [name, scan] : places) {
    state[scan] = 1;
    held(name);
    Input.Active = false;
    held(std::string(name) + " unfocused");
    Input.Active = true;
    state[scan] = 0;
  }
  held("nothing");
  test::CheckRecord("held_keys.transcript", Lines);
}

// Two virtual pads: every button, the d-pad, the stick across its dead zone both ways on both
// axes, the triggers, the other stick, a second pad's presses, unplugging with controls held.
TEST_F(RecordedInput, Gamepads) {
  int dev1 = -1, dev2 = -1;
  SDL_Joystick* pad1 = test::PlugVirtualPad("First pad", dev1);
  ASSERT_NE(pad1, nullptr) << SDL_GetError();
  Record("first pad plugged");
  for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
    const auto button = static_cast<SDL_GameControllerButton>(b);
    SDL_JoystickSetVirtualButton(pad1, b, 1);
    Record(std::string("press ") + SDL_GameControllerGetStringForButton(button));
    SDL_JoystickSetVirtualButton(pad1, b, 0);
    Record(std::string("release ") + SDL_GameControllerGetStringForButton(button));
  }
  const int sweep[] = {0,      7999,  8000,  8001,  11999, 12000, 12001,  32767,  12000,  8001,
                       8000,   7999,  0,     -7999, -8000, -8001, -11999, -12000, -12001, -32768,
                       -12000, -8001, -8000, -7999, 0,     32767, -32768, 0};
  for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis) {
    const auto a = static_cast<SDL_GameControllerAxis>(axis);
    const bool trigger =
        a == SDL_CONTROLLER_AXIS_TRIGGERLEFT || a == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    for (int v : sweep) {
      SDL_JoystickSetVirtualAxis(pad1, axis, static_cast<Sint16>(v));
      Record(std::string("axis ") + SDL_GameControllerGetStringForAxis(a) + " " +
             std::to_string(v));
    }
    SDL_JoystickSetVirtualAxis(pad1, axis, trigger ? -32768 : 0);
    Record(std::string("axis ") + SDL_GameControllerGetStringForAxis(a) + " rest");
  }
  // Held controls read nothing while the window is not the player's.
  SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_A, 1);
  Record("hold a");
  Input.Active = false;
  Record("hold a unfocused");
  Input.Active = true;
  SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_A, 0);
  Record("let a go");
  // A removal reported with a control still down (SDL does not always let go of a leaving
  // pad's controls first): the game must not keep it held.
  SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_B, 1);
  Record("hold b");
  {
    SDL_Event e{};
    e.type = SDL_CONTROLLERDEVICEREMOVED;
    e.cdevice.which = SDL_JoystickInstanceID(pad1);
    SDL_PushEvent(&e);
  }
  Record("removal reported with b down");
  SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_B, 0);
  Record("let b go");
  // A second pad plugged in waits while the first plays.
  SDL_Joystick* pad2 = test::PlugVirtualPad("Second pad", dev2);
  ASSERT_NE(pad2, nullptr) << SDL_GetError();
  Record("second pad plugged");
  SDL_JoystickSetVirtualButton(pad2, SDL_CONTROLLER_BUTTON_B, 1);
  Record("second pad presses b");
  SDL_JoystickSetVirtualButton(pad2, SDL_CONTROLLER_BUTTON_B, 0);
  Record("second pad lets b go");
  // The first pad leaves with the stick left, the d-pad up, A and the right trigger held.
  SDL_JoystickSetVirtualAxis(pad1, SDL_CONTROLLER_AXIS_LEFTX, -30000);
  SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
  SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualAxis(pad1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  Record("first pad holds four");
  SDL_JoystickClose(pad1);
  SDL_JoystickDetachVirtual(dev1);
  Record("first pad unplugged");
  SDL_JoystickSetVirtualButton(pad2, SDL_CONTROLLER_BUTTON_X, 1);
  SDL_JoystickSetVirtualAxis(pad2, SDL_CONTROLLER_AXIS_LEFTY, 20000);
  Record("second pad plays");
  // The second pad's place in SDL's list moved up when the first left.
  const SDL_JoystickID id2 = SDL_JoystickInstanceID(pad2);
  SDL_JoystickClose(pad2);
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id2) dev2 = i;
  SDL_JoystickDetachVirtual(dev2);
  Record("second pad unplugged");
  test::CheckRecord("pads.transcript", Lines);
}

}  // namespace
}  // namespace zw
