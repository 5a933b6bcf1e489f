// A small HTTP load client for the score service: N clients on kept-alive connections send one
// kind of request back to back for a while; prints throughput and the p50/p99 latency.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "online/score_record.hpp"

namespace {

using Clock = std::chrono::steady_clock;

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// One request on a kept-alive connection; the status, or 0 when the connection broke.
int Request(int fd, const std::string& target, std::string& buf) {
  const std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size())) return 0;
  buf.clear();
  size_t need = std::string::npos;
  for (;;) {
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return 0;
    buf.append(chunk, static_cast<size_t>(n));
    if (need == std::string::npos) {
      const size_t head = buf.find("\r\n\r\n");
      if (head == std::string::npos) continue;
      const size_t len = buf.find("Content-Length: ");
      need = head + 4 + (len < head ? std::strtoul(buf.c_str() + len + 16, nullptr, 10) : 0);
    }
    if (buf.size() >= need) return std::atoi(buf.c_str() + 9);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0, clients = 1;
  double seconds = 5;
  std::string mode = "submit";
  long rows = 1000000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--port")
      port = std::atoi(argv[i + 1]);
    else if (a == "--clients")
      clients = std::atoi(argv[i + 1]);
    else if (a == "--seconds")
      seconds = std::atof(argv[i + 1]);
    else if (a == "--mode")
      mode = argv[i + 1];
    else if (a == "--rows")
      rows = std::atol(argv[i + 1]);
  }
  if (port <= 0 || clients <= 0) {
    std::fprintf(stderr,
                 "Usage: bench_score_load --port P --clients N --seconds S "
                 "--mode submit|page|deep|health [--rows N]\n");
    return 2;
  }
  std::atomic<bool> stop{false};
  std::atomic<long> errors{0};
  std::vector<std::vector<double>> lat(static_cast<size_t>(clients));
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      std::mt19937 rng(static_cast<unsigned>(c + 1));
      int fd = Connect(port);
      std::string buf;
      long i = 0;
      while (!stop) {
        std::string target;
        if (mode == "submit") {
          target = "/cgi/version.pl?hs&prg=ZapWheely&inf=" +
                   zw::online::EncodeScoreRecord(
                       {"L" + std::to_string(c) + "n" + std::to_string(i % 100000),
                        static_cast<int32_t>(rng() % 60000), "Loadland"});
        } else if (mode == "page") {
          target = "/cgi/version.pl?prg=ZapWheely&show&type=0";
        } else if (mode == "deep") {
          // Any page of the table, the deepest included.
          const long pages = std::max<long>(1, rows / 100);
          target = "/cgi/version.pl?prg=ZapWheely&show&type=0&page=" +
                   std::to_string(1 + static_cast<long>(rng() % pages));
        } else {
          target = "/healthz";
        }
        ++i;
        const auto t0 = Clock::now();
        const int status = fd < 0 ? 0 : Request(fd, target, buf);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (status != 200) {
          ++errors;
          if (fd >= 0) close(fd);
          fd = Connect(port);
          continue;
        }
        lat[static_cast<size_t>(c)].push_back(ms);
        // The server ends a kept-alive connection after many requests: open the next one.
        if (buf.find("Connection: close") != std::string::npos) {
          close(fd);
          fd = Connect(port);
        }
      }
      if (fd >= 0) close(fd);
    });
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  for (auto& t : threads) t.join();
  std::vector<double> all;
  for (auto& v : lat) all.insert(all.end(), v.begin(), v.end());
  std::sort(all.begin(), all.end());
  auto pct = [&](double p) {
    return all.empty() ? 0.0 : all[std::min(all.size() - 1, static_cast<size_t>(p * all.size()))];
  };
  std::printf("%-7s clients %2d  %8.0f req/s  p50 %7.2f ms  p99 %7.2f ms  errors %ld\n",
              mode.c_str(), clients, static_cast<double>(all.size()) / seconds, pct(0.50),
              pct(0.99), errors.load());
  return 0;
}
