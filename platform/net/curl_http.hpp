// The game's HTTP client on libcurl: one synchronous GET at a time, bounded in time.
#pragma once

#include <string>

#include "platform/platform.hpp"

namespace zw {

class TCurlHttp : public IHttp {
 public:
  // How long the game may stand still for a request: a connection must be made within
  // `connectMs` and the whole request end within `totalMs`, so a network that drops packets
  // cannot freeze the game.
  explicit TCurlHttp(long connectMs = 5000, long totalMs = 10000);
  ~TCurlHttp() override;
  TCurlHttp(const TCurlHttp&) = delete;
  TCurlHttp& operator=(const TCurlHttp&) = delete;

  // GET of an absolute http address. Answers false on any failure: no network, a name that
  // does not resolve, a refused or timed-out connection, an HTTP error status, a broken reply.
  // Cookies the service sets are kept for later requests of this client.
  bool Get(const std::string& url, std::string& body) override;
  // POST of the bytes as application/octet-stream, under the same time limits; true for a
  // 2xx or 3xx reply.
  bool Post(const std::string& url, const std::string& data, std::string& body,
            int& status) override;

  // The identification header the game sends.
  static std::string UserAgent();

 private:
  bool Perform(const std::string& url, const std::string* post, std::string& body, int& status);
  void* Handle = nullptr;  // the CURL easy handle, kept so its cookies live on
  long ConnectMs, TotalMs;
};

}  // namespace zw
