#include "platform/win/win_http.hpp"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>

#include "platform/win/win_text.hpp"

#ifndef ZW_VERSION
#define ZW_VERSION "0"
#endif

namespace zw {

namespace {

// The reply's body is read to the end (so the service sees a whole exchange) but only a little
// of it is kept: the game never uses it.
constexpr size_t KeptBody = 64 * 1024;

// Closes a WinHTTP handle when it goes out of scope.
struct THandle {
  HINTERNET H = nullptr;
  explicit THandle(HINTERNET h) : H(h) {}
  ~THandle() {
    if (H) WinHttpCloseHandle(H);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
};

}  // namespace

TWinHttp::TWinHttp(long connectMs, long totalMs) : ConnectMs(connectMs), TotalMs(totalMs) {
  Session = WinHttpOpen(Wide(UserAgent()).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
}

TWinHttp::~TWinHttp() {
  if (Session) WinHttpCloseHandle(static_cast<HINTERNET>(Session));
}

std::string TWinHttp::UserAgent() {
  return std::string("ZapWheely/") + ZW_VERSION;
}

bool TWinHttp::Get(const std::string& url, std::string& body) {
  int status = 0;
  return Perform(url, nullptr, body, status);
}

bool TWinHttp::Post(const std::string& url, const std::string& data, std::string& body,
                    int& status) {
  return Perform(url, &data, body, status);
}

bool TWinHttp::Perform(const std::string& url, const std::string* post, std::string& body,
                       int& statusOut) {
  body.clear();
  statusOut = 0;
  if (!Session || url.rfind("http://", 0) != 0) return false;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(TotalMs);
  // Every wait is given only what is left of the whole request's time, so a reply that trickles
  // in cannot outlast it.
  auto left = [&]() -> int {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(ms, 0));
  };

  const std::wstring wide = Wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTP)
    return false;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  auto* session = static_cast<HINTERNET>(Session);
  const int connect = static_cast<int>(std::min<long>(ConnectMs, TotalMs));
  if (!WinHttpSetTimeouts(session, connect, connect, left(), left())) return false;
  THandle conn(WinHttpConnect(session, host.c_str(), parts.nPort, 0));
  if (!conn.H) return false;
  THandle req(WinHttpOpenRequest(conn.H, post ? L"POST" : L"GET", path.c_str(), nullptr,
                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!req.H) return false;
  // As the game's other HTTP client does: a redirect is an answer, not something to follow.
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(req.H, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy));
  auto timeouts = [&] {
    DWORD ms = static_cast<DWORD>(left());
    // The wait for the reply's head has a limit of its own, which WinHttpSetTimeouts leaves.
    return ms > 0 && WinHttpSetTimeouts(req.H, connect, std::min<int>(connect, ms), ms, ms) &&
           WinHttpSetOption(req.H, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &ms, sizeof(ms));
  };
  if (!timeouts()) return false;
  // WinHTTP sends no "100-continue" question: the body follows the head at once.
  const wchar_t* headers = post
                               ? L"Accept: text/html, */*\r\nContent-Type: application/octet-stream"
                               : L"Accept: text/html, */*";
  const DWORD length = post ? static_cast<DWORD>(post->size()) : 0;
  void* data = post && length ? const_cast<char*>(post->data()) : WINHTTP_NO_REQUEST_DATA;
  if (!WinHttpSendRequest(req.H, headers, static_cast<DWORD>(-1), data, length, length, 0))
    return false;
  if (!timeouts() || !WinHttpReceiveResponse(req.H, nullptr)) return false;
  DWORD status = 0, size = sizeof(status);
  if (!WinHttpQueryHeaders(req.H, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return false;
  statusOut = static_cast<int>(status);
  char chunk[16384];
  for (;;) {
    if (!timeouts()) return false;
    // Only what has arrived is read, so no read waits for a full buffer of a slow reply.
    DWORD ready = 0, got = 0;
    if (!WinHttpQueryDataAvailable(req.H, &ready)) return false;
    if (ready == 0) break;
    if (!WinHttpReadData(req.H, chunk, std::min<DWORD>(ready, sizeof(chunk)), &got)) return false;
    if (got == 0) break;
    if (body.size() < KeptBody) body.append(chunk, std::min<size_t>(got, KeptBody - body.size()));
  }
  return status >= 200 && status < 400;
}

}  // namespace zw
