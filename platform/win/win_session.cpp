#include "platform/win/win_session.hpp"

#include <SDL2/SDL_syswm.h>
#include <windows.h>

namespace zw {

namespace {

WNDPROC SdlProc = nullptr;
std::function<void()> OnEnd;

LRESULT CALLBACK SessionProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_ENDSESSION && wparam && OnEnd) {
    auto end = std::move(OnEnd);
    OnEnd = nullptr;
    end();
  }
  return CallWindowProcW(SdlProc, hwnd, msg, wparam, lparam);
}

}  // namespace

void WatchSessionEnd(SDL_Window* window, std::function<void()> onEnd) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WINDOWS) return;
  OnEnd = std::move(onEnd);
  SdlProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(info.info.win.window, GWLP_WNDPROC,
                                                        reinterpret_cast<LONG_PTR>(&SessionProc)));
}

}  // namespace zw
