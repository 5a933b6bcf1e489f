// zapwheely-scores: the online high-score service the game sends its results to.
#include <httplib.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "server/service.hpp"
#include "server/store.hpp"
#include "server/task_queue.hpp"

#ifndef ZW_DEFAULT_DOCS_DIR
#define ZW_DEFAULT_DOCS_DIR "docs"
#endif

namespace {

using namespace zw::scores;

struct TOptions {
  std::string Listen = "127.0.0.1:8417";
  std::string Db;
  int RateLimit = 30;
  std::string Docs = ZW_DEFAULT_DOCS_DIR;
  int Workers = 512;
  int ReadTimeout = 5;
  int KeepAlive = 5;
  bool Quiet = false;
  bool BehindProxy = false;
};

void Usage(FILE* out) {
  std::fprintf(out,
               "Usage: zapwheely-scores --db PATH|postgresql://... [options]\n"
               "The Zap Wheely online high-score service.\n\n"
               "  --listen ADDR:PORT     where to listen (default 127.0.0.1:8417); port 0 picks a\n"
               "                         free port; the address is printed as the first line\n"
               "  --db PATH              the SQLite file to keep the scores in (made if missing),\n"
               "                         or a postgresql:// connection address\n"
               "  --rate-limit N         submissions each client address may make a minute\n"
               "                         (default 30; 0 for no limit)\n"
               "  --docs DIR             where the home page's pictures are (default\n"
               "                         %s)\n"
               "  --workers N            most connections served at once (default 512)\n"
               "  --read-timeout SEC     longest wait for a client's next bytes (default 5)\n"
               "  --keep-alive SEC       how long an idle connection stays open (default 5)\n"
               "  --behind-proxy         a reverse proxy on this machine forwards the players:\n"
               "                         take their address from its X-Forwarded-For header\n"
               "  --quiet                no request log on standard error\n"
               "  --help                 this text\n",
               ZW_DEFAULT_DOCS_DIR);
}

bool ParseInt(const char* text, int lo, int hi, int& value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  value = static_cast<int>(v);
  return true;
}

// False (with a message) for a bad command line; sets help for --help.
bool ParseArgs(int argc, char** argv, TOptions& o, bool& help) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char*& v) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zapwheely-scores: %s needs a value\n", a.c_str());
        return false;
      }
      v = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      help = true;
      return true;
    } else if (a == "--quiet") {
      o.Quiet = true;
    } else if (a == "--behind-proxy") {
      o.BehindProxy = true;
    } else if (a == "--listen") {
      if (!value(v)) return false;
      o.Listen = v;
    } else if (a == "--db") {
      if (!value(v)) return false;
      o.Db = v;
    } else if (a == "--docs") {
      if (!value(v)) return false;
      o.Docs = v;
    } else if (a == "--rate-limit" || a == "--workers" || a == "--read-timeout" ||
               a == "--keep-alive") {
      if (!value(v)) return false;
      int* target = a == "--rate-limit"     ? &o.RateLimit
                    : a == "--workers"      ? &o.Workers
                    : a == "--read-timeout" ? &o.ReadTimeout
                                            : &o.KeepAlive;
      const int lo = a == "--rate-limit" ? 0 : 1;
      if (!ParseInt(v, lo, 1'000'000, *target)) {
        std::fprintf(stderr, "zapwheely-scores: %s wants a whole number from %d\n", a.c_str(), lo);
        return false;
      }
    } else {
      std::fprintf(stderr, "zapwheely-scores: unknown option %s (see --help)\n", a.c_str());
      return false;
    }
  }
  if (o.Db.empty()) {
    std::fprintf(stderr, "zapwheely-scores: --db is required (see --help)\n");
    return false;
  }
  return true;
}

// "host:port" or "[v6]:port".
bool SplitListen(const std::string& listen, std::string& host, int& port) {
  const size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  return ParseInt(listen.substr(colon + 1).c_str(), 0, 65535, port);
}

// The HTTP library listens with a backlog of five, fixed when it was compiled: a burst of
// players connecting at once would then wait a second or more for a retried handshake. Listening
// again on the same socket only raises the backlog.
void RaiseBacklog(int port) {
  for (int fd = 3; fd < 4096; ++fd) {
    int listening = 0;
    socklen_t len = sizeof listening;
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) != 0 || !listening) continue;
    sockaddr_storage addr{};
    socklen_t alen = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &alen) != 0) continue;
    const int p = addr.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port)
                  : addr.ss_family == AF_INET6
                      ? ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port)
                      : -1;
    if (p == port) listen(fd, SOMAXCONN);
  }
}

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  bool help = false;
  if (!ParseArgs(argc, argv, o, help)) return 2;
  if (help) {
    Usage(stdout);
    return 0;
  }
  std::string host;
  int port = 0;
  if (!SplitListen(o.Listen, host, port)) {
    std::fprintf(stderr, "zapwheely-scores: --listen wants ADDR:PORT, not %s\n", o.Listen.c_str());
    return 2;
  }

  // SIGTERM and SIGINT are taken by one thread that stops the server; every other thread has
  // them blocked. A peer that hangs up mid-reply must not end the process.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  // Every connection is a descriptor: allow as many as the system lets us.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  std::unique_ptr<IScoreStore> store;
  try {
    store = OpenScoreStore(o.Db);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zapwheely-scores: %s\n", e.what());
    return 1;
  }
  TServiceOptions so;
  so.RateLimitPerMinute = o.RateLimit;
  so.DocsDir = o.Docs;
  TScoreService service(*store, so);

  httplib::Server server;
  const size_t workers = static_cast<size_t>(o.Workers);
  server.new_task_queue = [workers] { return new TGrowingPool(workers); };
  server.set_read_timeout(o.ReadTimeout, 0);
  server.set_write_timeout(o.ReadTimeout, 0);
  server.set_keep_alive_timeout(o.KeepAlive);
  server.set_keep_alive_max_count(1000);
  // Replies are small and whole: send them at once rather than wait for the client's ACK.
  server.set_tcp_nodelay(true);
  server.set_payload_max_length(4096);

  const bool behindProxy = o.BehindProxy;
  auto serve = [&service, behindProxy](const httplib::Request& req, httplib::Response& res) {
    THttpRequest r;
    r.Method = req.method;
    const size_t q = req.target.find('?');
    r.Path = req.target.substr(0, q);
    if (q != std::string::npos) r.Query = req.target.substr(q + 1);
    r.Client = req.remote_addr;
    // Behind a proxy every player arrives from the proxy's address; the per-address limit needs
    // theirs, which the proxy appends as the last X-Forwarded-For entry. Only a proxy on this
    // machine is believed.
    if (behindProxy && (r.Client == "127.0.0.1" || r.Client == "::1") &&
        req.has_header("X-Forwarded-For")) {
      std::string fwd = req.get_header_value("X-Forwarded-For");
      const size_t comma = fwd.rfind(',');
      if (comma != std::string::npos) fwd = fwd.substr(comma + 1);
      const size_t b = fwd.find_first_not_of(' '), e = fwd.find_last_not_of(' ');
      if (b != std::string::npos) r.Client = fwd.substr(b, e - b + 1);
    }
    THttpReply reply = service.Handle(r, Now());
    res.status = reply.Status;
    for (const auto& [k, v] : reply.Headers) res.set_header(k, v);
    res.set_content(std::move(reply.Body), reply.ContentType);
  };
  // Every path goes to the service, which knows its own routes and refusals.
  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    serve(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("internal error\n", "text/plain");
      });
  if (!o.Quiet) {
    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
      // One write per line, so lines from many workers never interleave.
      std::string line = req.remote_addr + " " + req.method + " " + req.target.substr(0, 200) +
                         " " + std::to_string(res.status) + " " + std::to_string(res.body.size()) +
                         "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
    });
  }

  int bound = port;
  if (port == 0) {
    bound = server.bind_to_any_port(host);
  } else if (!server.bind_to_port(host, port)) {
    bound = -1;
  }
  if (bound <= 0) {
    std::fprintf(stderr, "zapwheely-scores: cannot listen on %s\n", o.Listen.c_str());
    return 1;
  }
  RaiseBacklog(bound);
  const bool v6 = host.find(':') != std::string::npos;
  std::printf("%s%s%s:%d\n", v6 ? "[" : "", host.c_str(), v6 ? "]" : "", bound);
  std::fflush(stdout);

  std::thread stopper([&server, stopSignals] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    server.stop();
  });
  const bool ok = server.listen_after_bind();
  // Stopped by a signal, or the listener failed: in the second case wake the stopper ourselves.
  if (stopper.joinable()) {
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
  }
  std::fprintf(stderr, "zapwheely-scores: stopped\n");
  return ok ? 0 : 1;
}
