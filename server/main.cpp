// zapwheely-scores: the online high-score service the game sends its results to.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "server/http_server.hpp"
#include "server/service.hpp"
#include "server/store.hpp"
#include "server/verify_queue.hpp"

#ifndef ZW_DEFAULT_VERIFY_DATA
#define ZW_DEFAULT_VERIFY_DATA "."
#endif
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
  int Workers = 8;
  int ReadTimeout = 10;
  int KeepAlive = 5;
  int MaxConnections = 4096;
  int MaxPerAddress = 64;
  int MaxBody = 1024 * 1024;
  bool Quiet = false;
  bool BehindProxy = false;
  bool RequireReplay = false;
  std::string Verifier;  // empty: zapwheely-verify beside this program
  std::string VerifyData = ZW_DEFAULT_VERIFY_DATA;
  int VerifyWorkers = 2;
  int VerifyQueue = 64;
  int VerifyCpu = 20;
  int VerifyMemory = 1024;
  int VerifyWall = 40;
};

// zapwheely-verify in the folder this program runs from.
std::string VerifierBesideUs() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "zapwheely-verify";
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + "zapwheely-verify";
}

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
               "  --workers N            threads answering requests from the database\n"
               "                         (default 8); connections are held apart from them\n"
               "  --read-timeout SEC     a whole request must arrive, and a reply be taken,\n"
               "                         within this time (default 10)\n"
               "  --keep-alive SEC       how long an idle connection stays open (default 5)\n"
               "  --max-connections N    most connections held at once (default 4096)\n"
               "  --max-per-address N    most connections one address (IPv6: one /64) holds\n"
               "                         at once (default 64; the proxy's own are not held to\n"
               "                         it with --behind-proxy)\n"
               "  --max-body BYTES       largest request body taken (default 1048576)\n"
               "  --behind-proxy         a reverse proxy on this machine forwards the players:\n"
               "                         take their address from the last X-Forwarded-For\n"
               "                         entry (believed only from the loopback)\n"
               "  --require-replay       list only verified results (their replay rode again to\n"
               "                         the same score); otherwise every result is listed and\n"
               "                         marked\n"
               "  --verifier PATH        the replay verifier (default: zapwheely-verify beside\n"
               "                         this program)\n"
               "  --verify-data DIR      the run-time folder whose packs replays are ridden with\n"
               "                         (default %s)\n"
               "  --verify-workers N     replays ridden at once (default 2)\n"
               "  --verify-queue N       replays waiting in memory at most (default 64); more\n"
               "                         wait in the database, answered 202 all the same\n"
               "  --verify-cpu SEC       CPU time one ride may take (default 20)\n"
               "  --verify-memory MIB    address space one ride may take (default 1024)\n"
               "  --verify-wall SEC      a ride still running after this is killed (default 40)\n"
               "  --quiet                no request log on standard error\n"
               "  --help                 this text\n",
               ZW_DEFAULT_DOCS_DIR, ZW_DEFAULT_VERIFY_DATA);
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
    } else if (a == "--require-replay") {
      o.RequireReplay = true;
    } else if (a == "--verifier") {
      if (!value(v)) return false;
      o.Verifier = v;
    } else if (a == "--verify-data") {
      if (!value(v)) return false;
      o.VerifyData = v;
    } else if (a == "--verify-workers" || a == "--verify-queue" || a == "--verify-cpu" ||
               a == "--verify-memory" || a == "--verify-wall") {
      if (!value(v)) return false;
      int* target = a == "--verify-workers"  ? &o.VerifyWorkers
                    : a == "--verify-queue"  ? &o.VerifyQueue
                    : a == "--verify-cpu"    ? &o.VerifyCpu
                    : a == "--verify-memory" ? &o.VerifyMemory
                                             : &o.VerifyWall;
      const int lo = a == "--verify-memory" ? 64 : 1;
      if (!ParseInt(v, lo, 100000, *target)) {
        std::fprintf(stderr, "zapwheely-scores: %s wants a whole number from %d\n", a.c_str(), lo);
        return false;
      }
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
               a == "--keep-alive" || a == "--max-connections" || a == "--max-per-address" ||
               a == "--max-body") {
      if (!value(v)) return false;
      int* target = a == "--rate-limit"        ? &o.RateLimit
                    : a == "--workers"         ? &o.Workers
                    : a == "--read-timeout"    ? &o.ReadTimeout
                    : a == "--keep-alive"      ? &o.KeepAlive
                    : a == "--max-connections" ? &o.MaxConnections
                    : a == "--max-per-address" ? &o.MaxPerAddress
                                               : &o.MaxBody;
      const int lo = a == "--rate-limit" || a == "--max-body" ? 0 : 1;
      const int hi = a == "--workers" ? 1024 : a == "--max-body" ? 1 << 30 : 1'000'000;
      if (!ParseInt(v, lo, hi, *target)) {
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

  // A peer that hangs up mid-reply must not end the process, nor a write past a file size
  // limit: both are errors the code handles. SIGTERM and SIGINT stop the server.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);

  // Every connection is a descriptor: allow as many as the system lets us.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  // Each worker's query scratch (SQLite's sorters, a page's text) is freed and asked for again
  // many times a second. Handing it back to the system at once made every page pay for fresh
  // zeroed pages and for the other threads' mappings to be flushed: a third of the time of a
  // deep table page. The heap keeps up to 64 MiB spare; when the last connection goes, the HTTP
  // layer trims it all back anyway.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 4 << 20);

  std::unique_ptr<IScoreStore> store;
  try {
    store = OpenScoreStore(o.Db);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zapwheely-scores: %s\n", e.what());
    return 1;
  }
  TVerifyOptions vo;
  vo.Verifier = o.Verifier.empty() ? VerifierBesideUs() : o.Verifier;
  vo.DataDir = o.VerifyData;
  vo.Workers = o.VerifyWorkers;
  vo.Capacity = static_cast<size_t>(o.VerifyQueue);
  vo.CpuSeconds = o.VerifyCpu;
  vo.MemoryBytes = int64_t{o.VerifyMemory} << 20;
  vo.WallSeconds = o.VerifyWall;
  vo.Quiet = o.Quiet;
  if (access(vo.Verifier.c_str(), X_OK) != 0)
    std::fprintf(stderr, "zapwheely-scores: no replay verifier at %s: replays are kept and wait\n",
                 vo.Verifier.c_str());
  TVerifyQueue verifier(*store, vo);
  TServiceOptions so;
  so.RateLimitPerMinute = o.RateLimit;
  so.DocsDir = o.Docs;
  so.RequireReplay = o.RequireReplay;
  so.Verifier = &verifier;
  TScoreService service(*store, so);

  THttpServerOptions ho;
  ho.Host = host;
  ho.Port = port;
  ho.Workers = o.Workers;
  ho.RequestTimeout = o.ReadTimeout;
  ho.KeepAlive = o.KeepAlive;
  ho.MaxConnections = o.MaxConnections;
  ho.MaxPerAddress = o.MaxPerAddress;
  ho.MaxBody = static_cast<size_t>(o.MaxBody);
  ho.BehindProxy = o.BehindProxy;
  ho.Quiet = o.Quiet;
  THttpServer server(service, ho);
  std::string error;
  const int bound = server.Listen(error);
  if (bound <= 0) {
    std::fprintf(stderr, "zapwheely-scores: cannot listen on %s: %s\n", o.Listen.c_str(),
                 error.c_str());
    return 1;
  }
  const bool v6 = host.find(':') != std::string::npos;
  std::printf("%s%s%s:%d\n", v6 ? "[" : "", host.c_str(), v6 ? "]" : "", bound);
  std::fflush(stdout);
  if (access(vo.Verifier.c_str(), X_OK) == 0) verifier.Start();
  const bool ok = server.Run();
  verifier.Stop();
  std::fprintf(stderr, "zapwheely-scores: stopped\n");
  return ok ? 0 : 1;
}
