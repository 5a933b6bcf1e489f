// The game's HTTP client on WinHTTP: one synchronous GET or POST at a time, bounded in time.
#pragma once

#include <string>

#include "platform/platform.hpp"

namespace zw {

class TWinHttp : public IHttp {
 public:
  // A connection must be made within `connectMs` and the whole request end within `totalMs`,
  // so a network that drops packets cannot freeze the game.
  explicit TWinHttp(long connectMs = 5000, long totalMs = 10000);
  ~TWinHttp() override;
  TWinHttp(const TWinHttp&) = delete;
  TWinHttp& operator=(const TWinHttp&) = delete;

  // GET of an absolute http address. Answers false on any failure: no network, a name that
  // does not resolve, a refused or timed-out connection, an HTTP error status, a broken reply.
  // Cookies the service sets are kept for later requests of this client (by the session).
  bool Get(const std::string& url, std::string& body) override;
  // POST of the bytes as application/octet-stream (a game's replay), under the same limits;
  // `status` is the reply's HTTP status (0 when none came), true for a 2xx or 3xx reply.
  bool Post(const std::string& url, const std::string& data, std::string& body,
            int& status) override;

  static std::string UserAgent();

 private:
  bool Perform(const std::string& url, const std::string* post, std::string& body, int& status);
  void* Session = nullptr;  // the WinHTTP session, kept so its cookies live on
  long ConnectMs, TotalMs;
};

}  // namespace zw
