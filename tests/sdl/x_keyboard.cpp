// The X server's own keyboard for the window tests, over XTEST.
#include "tests/sdl/x_keyboard.hpp"

#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace zw::test {

namespace {

::Display* X(void* d) {
  return static_cast<::Display*>(d);
}

}  // namespace

TXKeyboard::~TXKeyboard() {
  if (Display) XCloseDisplay(X(Display));
}

bool TXKeyboard::Open(std::string& why) {
  Display = XOpenDisplay(nullptr);
  if (!Display) {
    why = "no X display to type on";
    return false;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(X(Display), &event, &error, &major, &minor)) {
    why = "the X server has no XTEST extension";
    return false;
  }
  return true;
}

bool TXKeyboard::Focus(SDL_Window* window, std::string& why) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    why = "the game window is not an X window";
    return false;
  }
  XSetInputFocus(X(Display), info.info.x11.window, RevertToParent, CurrentTime);
  XSync(X(Display), False);
  return true;
}

void TXKeyboard::MovePointer(int x, int y) {
  XTestFakeMotionEvent(X(Display), -1, x, y, CurrentTime);
  XSync(X(Display), False);
}

bool TXKeyboard::Key(const char* name, bool down) {
  const KeySym sym = XStringToKeysym(name);
  if (sym == NoSymbol) return false;
  const KeyCode code = XKeysymToKeycode(X(Display), sym);
  if (code == 0) return false;
  XTestFakeKeyEvent(X(Display), code, down ? True : False, CurrentTime);
  XSync(X(Display), False);
  return true;
}

}  // namespace zw::test
