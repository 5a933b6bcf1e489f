#include "platform/win/win_shell.hpp"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "platform/win/win_text.hpp"

namespace zw {

bool TWinShell::IsWebAddress(const std::string& url) {
  auto starts = [&](const char* p) { return url.rfind(p, 0) == 0; };
  if (!starts("http://") && !starts("https://")) return false;
  for (unsigned char c : url)
    if (c <= ' ' || c == '"' || c == 0x7f) return false;
  return true;
}

bool TWinShell::OpenUrl(const std::string& url) {
  if (!IsWebAddress(url)) return false;
  // ShellExecute answers a value above 32 when a program took the address.
  const auto result = reinterpret_cast<intptr_t>(
      ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace zw
