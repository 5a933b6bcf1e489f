#include "platform/win/win_session.hpp"

#include <SDL2/SDL_syswm.h>

namespace zw {

namespace {

WNDPROC SdlProc = nullptr;
TSessionEnd Hooks;

LRESULT CALLBACK SessionProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  SessionMessage(msg, wparam, Hooks);
  return CallWindowProcW(SdlProc, hwnd, msg, wparam, lparam);
}

}  // namespace

bool SessionMessage(UINT msg, WPARAM wparam, TSessionEnd& hooks) {
  if (msg == WM_QUERYENDSESSION) {
    if (hooks.Save) hooks.Save();
    return true;
  }
  if (msg == WM_ENDSESSION) {
    // A session that goes on after all (wparam FALSE) keeps the game going too.
    if (wparam && hooks.End) {
      auto end = std::move(hooks.End);
      hooks.End = nullptr;
      end();
    }
    return true;
  }
  return false;
}

void WatchSessionEnd(SDL_Window* window, TSessionEnd hooks) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WINDOWS) return;
  Hooks = std::move(hooks);
  SdlProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(info.info.win.window, GWLP_WNDPROC,
                                                        reinterpret_cast<LONG_PTR>(&SessionProc)));
}

}  // namespace zw
