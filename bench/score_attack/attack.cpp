// Attacks a running score service on the loopback the way a hostile client on the internet
// would, and measures whether players are still served meanwhile: connections that send a header
// line every 2 s, connections that say nothing, clients that ask and never read their replies,
// and connections that send 100 000 header lines. Attackers come from many loopback addresses
// (127.0.1.x), each within the per-address bound, so the service cannot simply refuse them all.
//
// Usage: bench_score_attack --port P --pid PID [--slow N] [--idle N] [--noread N] [--flood N]
//                           [--submissions N] [--hold SEC]
// Prints the figures and exits 1 when a bound is broken: p99 of the players' submissions
// under 1 s, the process under 150 MB during the attack (100 MB after the header flood), its
// threads and memory back down after.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "online/score_record.hpp"

namespace {

using Clock = std::chrono::steady_clock;

int port = 0;

int Connect(const std::string& source, bool smallBuffer) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (smallBuffer) {
    int size = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void Send(int fd, const std::string& s) {
  send(fd, s.data(), s.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// (kB of resident memory, threads) of the process.
std::pair<long, long> Usage(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  long rss = -1, threads = -1;
  while (std::getline(in, line)) {
    if (line.starts_with("VmRSS:")) rss = std::atol(line.c_str() + 6);
    if (line.starts_with("Threads:")) threads = std::atol(line.c_str() + 8);
  }
  return {rss, threads};
}

enum class EKind { Slow, Idle, NoRead };

struct TAttacker {
  EKind Kind;
  std::string Source;
  int Fd = -1;
  int Lines = 0;
  int Reconnects = 0;
};

void Open(TAttacker& a) {
  a.Fd = Connect(a.Source, a.Kind == EKind::NoRead);
  a.Lines = 0;
  if (a.Fd < 0) return;
  if (a.Kind == EKind::Slow) Send(a.Fd, "GET /healthz HTTP/1.1\r\nHost: x\r\n");
  if (a.Kind == EKind::NoRead) {
    std::string many;
    for (int i = 0; i < 8; ++i) many += "GET /docs/menu.png HTTP/1.1\r\nHost: x\r\n\r\n";
    Send(a.Fd, many);
  }
}

// One submission on its own connection; its time in seconds, or -1 when it failed.
double Submit(int i) {
  const std::string target =
      "/cgi/version.pl?hs&prg=ZapWheely&inf=" +
      zw::online::EncodeScoreRecord(zw::online::TScoreRecord{"Player", 1000 + i, "NL"});
  const auto start = Clock::now();
  const int fd = Connect("127.0.0.1", false);
  if (fd < 0) return -1;
  const std::string req = "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  send(fd, req.data(), req.size(), MSG_NOSIGNAL);
  std::string reply;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    char buf[4096];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    reply.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  if (!reply.starts_with("HTTP/1.1 200")) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int pid = 0, slow = 1000, idle = 1000, noread = 200, flood = 20, submissions = 100;
  double hold = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const int v = std::atoi(argv[i + 1]);
    if (a == "--port")
      port = v;
    else if (a == "--pid")
      pid = v;
    else if (a == "--slow")
      slow = v;
    else if (a == "--idle")
      idle = v;
    else if (a == "--noread")
      noread = v;
    else if (a == "--flood")
      flood = v;
    else if (a == "--submissions")
      submissions = v;
    else if (a == "--hold")
      hold = std::atof(argv[i + 1]);
  }
  if (port <= 0 || pid <= 0) {
    std::fprintf(stderr, "usage: bench_score_attack --port P --pid PID [...]\n");
    return 2;
  }
  // A service that falls to the attack can leave connects and sends waiting for minutes: the
  // bench stops itself and says so rather than hang its caller.
  signal(SIGALRM, [](int) {
    static const char why[] = "FAIL: the service did not get through the attack in time\n";
    (void)!write(2, why, sizeof why - 1);
    _exit(1);
  });
  alarm(static_cast<unsigned>(hold * 4 + 90));
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);

  const auto [rss0, threads0] = Usage(pid);
  bool ok = true;

  // 1. The header flood: 100 000 header lines on each of a few connections.
  {
    std::vector<std::thread> floods;
    for (int c = 0; c < flood; ++c)
      floods.emplace_back([c] {
        const int fd = Connect("127.0.2." + std::to_string(1 + c % 200), false);
        if (fd < 0) return;
        std::string chunk = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < 1000; ++i) chunk += "X-Flood: 0123456789\r\n";
        for (int k = 0; k < 100; ++k)
          if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) break;
        close(fd);
      });
    for (std::thread& t : floods) t.join();
    const long rss = Usage(pid).first;
    std::printf("header flood: %d connections of 100 000 lines, process %ld MB after\n", flood,
                rss / 1024);
    if (rss > 100 * 1024) ok = false;
  }

  // 2. Slow, idle and never-reading connections at once, kept up for the whole measurement.
  std::vector<TAttacker> attackers;
  int n = 0;
  auto add = [&](EKind kind, int count) {
    for (int i = 0; i < count; ++i, ++n)
      attackers.push_back({kind, "127.0.1." + std::to_string(1 + n / 40), -1, 0, 0});
  };
  add(EKind::Slow, slow);
  add(EKind::Idle, idle);
  add(EKind::NoRead, noread);
  for (TAttacker& a : attackers) Open(a);
  std::atomic<bool> stop{false};
  std::thread keeper([&] {
    auto lastLine = Clock::now();
    while (!stop) {
      std::vector<pollfd> fds;
      for (TAttacker& a : attackers) fds.push_back({a.Fd, POLLIN, 0});
      poll(fds.data(), fds.size(), 200);
      for (size_t i = 0; i < attackers.size(); ++i) {
        TAttacker& a = attackers[i];
        if (a.Fd < 0 || (fds[i].revents & (POLLHUP | POLLERR))) {
          if (a.Fd >= 0) close(a.Fd);
          ++a.Reconnects;
          Open(a);
          continue;
        }
        if (a.Kind != EKind::NoRead && (fds[i].revents & POLLIN)) {
          char buf[4096];
          if (recv(a.Fd, buf, sizeof buf, MSG_DONTWAIT) == 0) {
            close(a.Fd);
            ++a.Reconnects;
            Open(a);
          }
        }
      }
      if (Clock::now() - lastLine > std::chrono::seconds(2)) {
        lastLine = Clock::now();
        for (TAttacker& a : attackers)
          if (a.Kind == EKind::Slow && a.Fd >= 0)
            Send(a.Fd, "X-Slow-" + std::to_string(a.Lines++) + ": x\r\n");
      }
    }
  });
  std::this_thread::sleep_for(std::chrono::duration<double>(hold));
  long peakRss = 0, peakThreads = 0;
  std::vector<double> times;
  int failures = 0;
  for (int i = 0; i < submissions; ++i) {
    const double t = Submit(i);
    if (t < 0)
      ++failures;
    else
      times.push_back(t);
    const auto [rss, threads] = Usage(pid);
    peakRss = std::max(peakRss, rss);
    peakThreads = std::max(peakThreads, threads);
  }
  std::sort(times.begin(), times.end());
  auto at = [&](double q) {
    return times.empty() ? 99.0 : times[std::min(times.size() - 1, size_t(q * times.size()))];
  };
  int reconnects = 0;
  for (const TAttacker& a : attackers) reconnects += a.Reconnects;
  stop = true;
  keeper.join();
  for (TAttacker& a : attackers)
    if (a.Fd >= 0) close(a.Fd);
  std::printf(
      "under %d slow + %d idle + %d never-reading connections (%d reopened after the "
      "service closed them):\n",
      slow, idle, noread, reconnects);
  std::printf("  %d submissions: p50 %.1f ms, p99 %.1f ms, max %.1f ms, %d failed\n", submissions,
              at(0.5) * 1000, at(0.99) * 1000, times.empty() ? 0 : times.back() * 1000, failures);
  std::printf("  process: %ld MB at most (%ld MB before), %ld threads at most (%ld before)\n",
              peakRss / 1024, rss0 / 1024, peakThreads, threads0);
  if (at(0.99) >= 1.0 || failures > 0 || peakRss > 150 * 1024) ok = false;

  std::this_thread::sleep_for(std::chrono::seconds(3));
  const auto [rss1, threads1] = Usage(pid);
  std::printf("  3 s after the attackers left: %ld MB, %ld threads\n", rss1 / 1024, threads1);
  if (threads1 > threads0 || rss1 > 100 * 1024) ok = false;
  std::printf("%s\n", ok ? "PASS" : "FAIL: a bound was broken");
  return ok ? 0 : 1;
}
