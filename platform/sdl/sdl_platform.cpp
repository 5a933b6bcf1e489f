// The SDL2 window, presentation with vsync and scaling, and input translation.
#include "platform/sdl/sdl_platform.hpp"

#ifndef _WIN32
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "core/surface.hpp"
#include "platform/common/picture_scale.hpp"

namespace zw {

bool TSdlDisplay::Open(std::string& error) {
  // Hidden until the game has read its options: a game saved in full screen then opens straight
  // into full screen, with no window shown first. On a large desktop the window opens at the
  // largest whole multiple of the picture that fits.
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0) WindowedScale = WindowScale(usable.w, usable.h);
  Window = SDL_CreateWindow("Zap Wheely", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                            PictureWidth * WindowedScale, PictureHeight * WindowedScale,
                            SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!Window) {
    error = SDL_GetError();
    return false;
  }
  Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!Renderer) Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
  if (!Renderer) {
    error = SDL_GetError();
    return false;
  }
  Texture = SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                              PictureWidth, PictureHeight);
  if (!Texture) {
    error = SDL_GetError();
    return false;
  }
  // Nearest-neighbour keeps the art's pixels sharp at every scale.
  SDL_SetTextureScaleMode(Texture, SDL_ScaleModeNearest);
  // The pointer over the game is the pointing hand; where the system has none, its arrow stays.
  HandCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
  if (HandCursor) SDL_SetCursor(HandCursor);
  if (const char* log = std::getenv("ZAPWHEELY_FRAME_LOG"); log && *log) {
    FrameLog = std::fopen(log, "w");
    if (FrameLog)
      std::fprintf(FrameLog, "# refresh_hz %d window_scale %d\n", RefreshRate(), WindowedScale);
  }
  return true;
}

void TSdlDisplay::Show() {
  if (Window) SDL_ShowWindow(Window);
}

void TSdlDisplay::WindowToPicture(int wx, int wy, int& x, int& y) const {
  int ww = 0, wh = 0;
  if (Window) SDL_GetWindowSize(Window, &ww, &wh);
  // Window points become output pixels first (they differ on a high-density display).
  const int ox = ww > 0 && OutW > 0 ? static_cast<int>(static_cast<long long>(wx) * OutW / ww) : wx;
  const int oy = wh > 0 && OutH > 0 ? static_cast<int>(static_cast<long long>(wy) * OutH / wh) : wy;
  OutputToPicture(Viewport, ox, oy, x, y);
}

void TSdlDisplay::Close() {
  if (FrameLog) std::fclose(FrameLog);
  FrameLog = nullptr;
  if (HandCursor) SDL_FreeCursor(HandCursor);
  HandCursor = nullptr;
  if (Texture) SDL_DestroyTexture(Texture);
  if (Renderer) SDL_DestroyRenderer(Renderer);
  if (Window) SDL_DestroyWindow(Window);
  Texture = nullptr;
  Renderer = nullptr;
  Window = nullptr;
}

void TSdlDisplay::Present(const TSurface& frame) {
  if (!Renderer || !Texture) return;
  SDL_UpdateTexture(Texture, nullptr, frame.Pixels.data(), frame.Width * 2);
  SDL_SetRenderDrawColor(Renderer, 0, 0, 0, 255);
  SDL_RenderClear(Renderer);
  if (SDL_GetRendererOutputSize(Renderer, &OutW, &OutH) == 0) Viewport = FitPicture(OutW, OutH);
  const SDL_Rect dst{Viewport.X, Viewport.Y, Viewport.W, Viewport.H};
  SDL_RenderCopy(Renderer, Texture, nullptr, &dst);
  SDL_RenderPresent(Renderer);
  if (FrameLog) {
    const uint64_t now = SDL_GetPerformanceCounter();
    if (LastPresent)
      std::fprintf(FrameLog, "%llu\n",
                   static_cast<unsigned long long>((now - LastPresent) * 1000000 /
                                                   SDL_GetPerformanceFrequency()));
    LastPresent = now;
  }
}

int TSdlDisplay::RefreshRate() {
  SDL_DisplayMode mode;
  const int display = Window ? SDL_GetWindowDisplayIndex(Window) : 0;
  if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) != 0) return 60;
  return mode.refresh_rate <= 1 ? 60 : mode.refresh_rate;
}

void TSdlDisplay::SetFullScreen(bool on) {
  if (!Window || on == FullScreen) {
    FullScreen = on && Window;
    return;
  }
  if (on) {
    SDL_GetWindowPosition(Window, &SavedX, &SavedY);
    HaveSaved = true;
    SDL_SetWindowFullscreen(Window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(Window, 0);
    SDL_SetWindowSize(Window, PictureWidth * WindowedScale, PictureHeight * WindowedScale);
    // The window comes back where it was before it went full screen.
    if (HaveSaved)
      SDL_SetWindowPosition(Window, SavedX, SavedY);
    else
      SDL_SetWindowPosition(Window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  FullScreen = on;
}

void TSdlDisplay::Minimise() {
  if (Window) SDL_MinimizeWindow(Window);
}

void TSdlDisplay::ShowPointer(bool shown) {
  SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

namespace {

// The keys the game knows, each as SDL names it twice: its key code (the layout's symbol, for
// key events) and its scan code (the key's place, for the held-key state). A row stands for a
// run of keys from Key to Last whose codes run alike.
struct TKeyRow {
  int Key, Last;
  SDL_Keycode Code;
  SDL_Scancode Scan;
};

constexpr TKeyRow KeyTable[] = {
    {'A', 'Z', SDLK_a, SDL_SCANCODE_A},
    {'1', '9', SDLK_1, SDL_SCANCODE_1},
    // The scan codes put 0 after 9, the key codes before 1.
    {'0', '0', SDLK_0, SDL_SCANCODE_0},
    {vk::F1, vk::F12, SDLK_F1, SDL_SCANCODE_F1},
    {vk::Left, vk::Left, SDLK_LEFT, SDL_SCANCODE_LEFT},
    {vk::Right, vk::Right, SDLK_RIGHT, SDL_SCANCODE_RIGHT},
    {vk::Up, vk::Up, SDLK_UP, SDL_SCANCODE_UP},
    {vk::Down, vk::Down, SDLK_DOWN, SDL_SCANCODE_DOWN},
    {vk::Space, vk::Space, SDLK_SPACE, SDL_SCANCODE_SPACE},
    {vk::Return, vk::Return, SDLK_RETURN, SDL_SCANCODE_RETURN},
    {vk::Return, vk::Return, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER},
    {vk::Escape, vk::Escape, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE},
    {vk::Backspace, vk::Backspace, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE},
    {vk::Tab, vk::Tab, SDLK_TAB, SDL_SCANCODE_TAB},
    {vk::Shift, vk::Shift, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT},
    {vk::Shift, vk::Shift, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT},
    {vk::Control, vk::Control, SDLK_LCTRL, SDL_SCANCODE_LCTRL},
    {vk::Control, vk::Control, SDLK_RCTRL, SDL_SCANCODE_RCTRL},
    {vk::Alt, vk::Alt, SDLK_LALT, SDL_SCANCODE_LALT},
    {vk::Alt, vk::Alt, SDLK_RALT, SDL_SCANCODE_RALT},
};

}  // namespace

int VirtualKey(SDL_Keycode key) {
  for (const TKeyRow& r : KeyTable)
    if (key >= r.Code && key <= r.Code + (r.Last - r.Key)) return r.Key + (key - r.Code);
  return -1;
}

namespace {

uint8_t Modifiers() {
  const SDL_Keymod m = SDL_GetModState();
  uint8_t r = 0;
  if (m & KMOD_SHIFT) r |= mod::Shift;
  if (m & KMOD_ALT) r |= mod::Alt;
  if (m & KMOD_CTRL) r |= mod::Ctrl;
  const Uint32 b = SDL_GetMouseState(nullptr, nullptr);
  if (b & SDL_BUTTON(SDL_BUTTON_LEFT)) r |= mod::LeftButton;
  if (b & SDL_BUTTON(SDL_BUTTON_RIGHT)) r |= mod::RightButton;
  if (b & SDL_BUTTON(SDL_BUTTON_MIDDLE)) r |= mod::MiddleButton;
  return r;
}

}  // namespace

void TSdlInput::Translate(const SDL_Event& e) {
  if (Gamepad.Handle(e, Queue)) return;
  TInputEvent ev;
  const bool afterClose = LastWasClose;
  LastWasClose = e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE;
  switch (e.type) {
    case SDL_QUIT:
      // SDL's quit event comes from SIGTERM, SIGINT or the session ending. An SDL that does not
      // know the hint set at start-up also sends one right after the last window's close box:
      // that one is the close box's, already queued as a close request.
      if (afterClose) return;
      ev.Type = TInputEvent::Terminate;
      break;
    case SDL_APP_TERMINATING:
      ev.Type = TInputEvent::Terminate;
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int key = VirtualKey(e.key.keysym.sym);
      if (key < 0) return;
      ev.Type = e.type == SDL_KEYDOWN ? TInputEvent::KeyDown : TInputEvent::KeyUp;
      ev.Key = key;
      ev.Modifiers = Modifiers();
      Queue.push_back(ev);
      // Enter, Backspace and Esc type a character too (with auto-repeat), unless Alt is held.
      if (e.type == SDL_KEYDOWN && !(ev.Modifiers & mod::Alt) &&
          (key == vk::Return || key == vk::Backspace || key == vk::Escape)) {
        TInputEvent ch;
        ch.Type = TInputEvent::Char;
        ch.Key = key;
        Queue.push_back(ch);
      }
      return;
    }
    case SDL_TEXTINPUT:
      for (const char* c = e.text.text; *c; ++c) {
        TInputEvent ch;
        ch.Type = TInputEvent::Char;
        ch.Key = static_cast<unsigned char>(*c);
        Queue.push_back(ch);
      }
      return;
    case SDL_MOUSEMOTION:
      ev.Type = TInputEvent::MouseMove;
      ev.X = e.motion.x;
      ev.Y = e.motion.y;
      if (Display) Display->WindowToPicture(e.motion.x, e.motion.y, ev.X, ev.Y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) return;
      ev.Type = TInputEvent::Click;
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          ev.Type = TInputEvent::Close;
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          Minimised = true;
          ev.Type = TInputEvent::Minimise;
          break;
        case SDL_WINDOWEVENT_RESTORED:
          Minimised = false;
          ev.Type = TInputEvent::Restore;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          Active = true;
          return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          Active = false;
          return;
        default:
          return;
      }
      break;
    default:
      return;
  }
  Queue.push_back(ev);
}

TSdlInput::TSdlInput() {
  // Closing the window is a question to the game, never a quit of its own.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

void TSdlInput::Pump() {
  // Only a quit queued together with the close box can be the close box's own.
  LastWasClose = false;
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(e);
}

bool TSdlInput::PollEvent(TInputEvent& ev) {
  if (Queue.empty()) return false;
  ev = Queue.front();
  Queue.pop_front();
  return true;
}

bool TSdlInput::KeyHeld(int key) const {
  // The keyboard is read only while the game window is active.
  if (!Active) return false;
  int n = 0;
  const Uint8* state = SDL_GetKeyboardState(&n);
  auto down = [&](int s) { return s < n && state[s] != 0; };
  for (const TKeyRow& r : KeyTable)
    if (key >= r.Key && key <= r.Last && down(r.Scan + (key - r.Key))) return true;
  return false;
}

// SDL's own opener answers success once it has forked, so a desktop without xdg-open or without
// a browser went unnoticed and the player's click did nothing. Here a go-between waits a moment
// for xdg-open: it fails at once when it has nothing to open with, while a browser it keeps in
// the foreground means the page is showing.
bool TSdlShell::OpenUrl(const std::string& url) {
#ifdef _WIN32
  // Windows builds open pages through TWinShell; SDL's opener is the fallback there.
  return SDL_OpenURL(url.c_str()) == 0;
#else
  constexpr int PatienceMs = 1500, StepMs = 20;
  const pid_t between = fork();
  if (between < 0) return false;
  if (between == 0) {
    const pid_t opener = fork();
    if (opener < 0) _exit(1);
    if (opener == 0) {
      execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int waited = 0; waited < PatienceMs; waited += StepMs) {
      int status = 0;
      if (waitpid(opener, &status, WNOHANG) == opener)
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
      poll(nullptr, 0, StepMs);
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(between, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

}  // namespace zw
