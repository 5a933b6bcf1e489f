// The score service's HTTP layer: a small, fixed set of threads serving every connection from
// event loops (Boost.Beast on Asio), with the service's own work on a bounded pool beside them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/service.hpp"

namespace zw::scores {

// The most header lines (after the request line) and header bytes a request may have.
inline constexpr size_t MaxHeaderLines = 100;
inline constexpr size_t MaxHeaderBytes = 16 * 1024;

struct THttpServerOptions {
  std::string Host = "127.0.0.1";
  int Port = 8417;  // 0 picks a free port
  // Threads that run the service (and so wait on the database); the event loops never do.
  int Workers = 8;
  // Threads running the event loops (0: one per hardware thread, at most 4).
  int IoThreads = 0;
  // A whole request must arrive, and a whole reply be taken, within this many seconds.
  int RequestTimeout = 10;
  // How long a connection may wait idle for its next request.
  int KeepAlive = 5;
  int MaxConnections = 4096;
  // Connections one address (an IPv6 client: its /64) may hold at once.
  int MaxPerAddress = 64;
  size_t MaxBody = 1024 * 1024;
  // A proxy on this machine forwards the players: their address is the last X-Forwarded-For
  // entry, and the proxy's own connections are not held to the per-address bound.
  bool BehindProxy = false;
  bool Quiet = false;
};

class THttpServer {
 public:
  THttpServer(TScoreService& service, THttpServerOptions options);
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Binds and listens; the bound port, or -1 with the reason in error.
  int Listen(std::string& error);
  // Serves until SIGTERM or SIGINT (or Stop); true when it stopped cleanly.
  bool Run();
  void Stop();

  struct TImpl;  // the event loop, the workers and the connection counts

 private:
  std::unique_ptr<TImpl> impl_;
};

// Control bytes, backslashes and bytes outside ASCII as \xNN, so no log line carries a
// terminal escape sequence or breaks in two.
std::string LogEscape(std::string_view text);

// The player's address behind a trusted proxy: the last entry over all X-Forwarded-For lines,
// which is the one the proxy itself added. False when that entry is not an IP address (or there
// is none).
bool ForwardedClient(const std::vector<std::string>& forwardedLines, std::string& client);

}  // namespace zw::scores
