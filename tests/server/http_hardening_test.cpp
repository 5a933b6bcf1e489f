// The score service against what a hostile client sends around the record: ranges, endless
// headers, slow and idle connections, forged proxy headers, pipelining, a full disk. A real
// zapwheely-scores on the loopback.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "server/http_server.hpp"
#include "server/service.hpp"
#include "tests/server/scores_process.hpp"

namespace zw::scores::test {
namespace {

using Clock = std::chrono::steady_clock;

class ScoresHardeningTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--db", dir.Path() + "/scores.db", "--docs",
                                     std::string(ZW_SOURCE_DIR) + "/docs"};
    args.insert(args.end(), extra.begin(), extra.end());
    service = std::make_unique<TScoresProcess>(args);
    ASSERT_TRUE(service->Started()) << service->Log();
  }
  int Port() const { return service->Port(); }
  static int Status(const std::string& reply) {
    return reply.starts_with("HTTP/1.1 ") ? std::atoi(reply.c_str() + 9) : 0;
  }

  TTempDir dir;
  std::unique_ptr<TScoresProcess> service;
};

// Asks until the answer is the expected one, for at most five seconds: the service accepts and
// closes connections on its own threads, in its own time.
template <class F>
bool Eventually(F ask) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (true) {
    if (ask()) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

TEST_F(ScoresHardeningTest, RangesAreIgnoredAndHeadMatchesGet) {
  Start({"--quiet"});
  const auto size = std::filesystem::file_size(std::string(ZW_SOURCE_DIR) + "/docs/menu.png");
  std::string ranges = "bytes=0-";
  for (int i = 0; i < 1000; ++i) ranges += ",0-";
  const THttpResult r =
      HttpRaw(Port(), "GET /docs/menu.png HTTP/1.1\r\nHost: x\r\nRange: " + ranges +
                          "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(r.Status, 200);
  EXPECT_EQ(r.Body.size(), size);
  EXPECT_EQ(r.Headers.find("multipart"), std::string::npos);

  // HEAD: the same headers and length as GET, and no body: the GET behind it on the same
  // connection starts right after the HEAD's headers.
  const std::string get = HttpGet(Port(), "/").Body;
  ASSERT_FALSE(get.empty());
  const int fd = ConnectLoopback(Port());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SendAll(fd,
                      "HEAD / HTTP/1.1\r\nHost: x\r\n\r\n"
                      "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
  const std::string both = ReadFor(fd, 5000);
  close(fd);
  EXPECT_EQ(Status(both), 200);
  EXPECT_NE(both.find("Content-Length: " + std::to_string(get.size()) + "\r\n"), std::string::npos)
      << both;
  const size_t headEnd = both.find("\r\n\r\n");
  ASSERT_NE(headEnd, std::string::npos);
  EXPECT_TRUE(both.substr(headEnd + 4).starts_with("HTTP/1.1 200")) << both;
  EXPECT_TRUE(both.ends_with("ok\n")) << both;
}

TEST_F(ScoresHardeningTest, HeadersAreBoundedAndRefusedAsSoonAsTheyPassTheBound) {
  Start();
  auto withLines = [](int n, size_t each) {
    std::string r = "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
    for (int i = 0; i < n; ++i)
      r += "X-L" + std::to_string(i) + ": " + std::string(each, 'a') + "\r\n";
    return r + "\r\n";
  };
  // 100 lines in all pass, 101 do not; 16 KiB pass, more do not.
  EXPECT_EQ(HttpRaw(Port(), withLines(98, 10)).Status, 200);
  EXPECT_EQ(HttpRaw(Port(), withLines(99, 10)).Status, 431);
  EXPECT_EQ(HttpRaw(Port(), withLines(4, 3000)).Status, 200);
  EXPECT_EQ(HttpRaw(Port(), withLines(8, 3000)).Status, 431);
  // The refusal comes while the header is still arriving, not after its end.
  const int fd = ConnectLoopback(Port());
  ASSERT_GE(fd, 0);
  std::string many = "GET / HTTP/1.1\r\n";
  for (int i = 0; i < 200; ++i) many += "X: y\r\n";
  ASSERT_TRUE(SendAll(fd, many));
  const std::string reply = ReadFor(fd, 3000);
  close(fd);
  EXPECT_EQ(Status(reply), 431) << reply;
  EXPECT_NE(service->Log().find("127.0.0.1 GET / 431"), std::string::npos) << service->Log();
}

TEST_F(ScoresHardeningTest, BodiesUpToTheBoundAreTakenLargerOnesRefused) {
  Start({"--max-body", "5000"});
  auto post = [&](const std::string& head, const std::string& body) {
    return HttpRaw(Port(), "POST /api/scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + head +
                               "\r\n" + body)
        .Status;
  };
  // Within the bound the request reaches the routes (which serve no POST here).
  EXPECT_EQ(post("Content-Length: 4000\r\n", std::string(4000, 'b')), 405);
  EXPECT_EQ(post("Content-Length: 6000\r\n", std::string(6000, 'b')), 413);
  // Refused from the length alone, without waiting for the body.
  EXPECT_EQ(post("Content-Length: 99999999\r\n", "abc"), 413);
  std::string chunked;
  for (int i = 0; i < 8; ++i) chunked += "3e8\r\n" + std::string(1000, 'c') + "\r\n";
  chunked += "0\r\n\r\n";
  EXPECT_EQ(post("Transfer-Encoding: chunked\r\n", chunked), 413);
  EXPECT_EQ(
      post("Transfer-Encoding: chunked\r\n", "3e8\r\n" + std::string(1000, 'c') + "\r\n0\r\n\r\n"),
      405);
}

TEST_F(ScoresHardeningTest, AWholeRequestHasADeadline) {
  Start({"--read-timeout", "2"});
  // One header line every half second: each read is quick, the request never ends.
  const int fd = ConnectLoopback(Port());
  ASSERT_GE(fd, 0);
  const auto start = Clock::now();
  SendAll(fd, "GET /healthz HTTP/1.1\r\n");
  std::string reply;
  for (int i = 0; i < 16 && reply.empty(); ++i) {
    SendAll(fd, "X-Slow: " + std::to_string(i) + "\r\n");
    reply = ReadFor(fd, 500);
  }
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  close(fd);
  EXPECT_EQ(Status(reply), 408) << reply;
  EXPECT_LT(s, 5.0);
  EXPECT_NE(service->Log().find("127.0.0.1 GET /healthz 408"), std::string::npos) << service->Log();
}

TEST_F(ScoresHardeningTest, ConnectionsAreBoundedPerAddressAndInAll) {
  Start({"--max-per-address", "4", "--max-connections", "8", "--quiet"});
  std::vector<int> held;
  for (int i = 0; i < 4; ++i) held.push_back(ConnectFrom(Port(), "127.0.0.2"));
  // A fifth from the same address is turned away once the four are taken; another address is
  // served. The service takes connections in its own time, so ask until it has (bounded).
  // Each refusal names its own limit, so the player (or the operator reading it) knows whether
  // to close connections or simply wait for the service.
  const std::string ownLimit = "too many connections from this address\n";
  const std::string serviceFull = "the service is holding too many connections\n";
  std::string fifthReply;
  const bool fifthRefused = Eventually([&] {
    const int fifth = ConnectFrom(Port(), "127.0.0.2");
    if (fifth < 0) return false;
    SendAll(fifth, "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    fifthReply = ReadFor(fifth, 3000);
    close(fifth);
    return Status(fifthReply) == 503;
  });
  EXPECT_TRUE(fifthRefused);
  const size_t bodyAt = fifthReply.find("\r\n\r\n");
  ASSERT_NE(bodyAt, std::string::npos) << fifthReply;
  EXPECT_EQ(fifthReply.substr(bodyAt + 4), ownLimit);
  EXPECT_EQ(HttpGet(Port(), "/healthz", 3000).Status, 200);
  for (int i = 0; i < 4; ++i) held.push_back(ConnectFrom(Port(), "127.0.0.3"));
  // Eight held in all: nobody else gets in, from an address holding none of them either.
  THttpResult full;
  EXPECT_TRUE(Eventually([&] {
    full = HttpGet(Port(), "/healthz", 3000);
    return full.Status == 503;
  }));
  EXPECT_EQ(full.Body, serviceFull);
  for (int fd : held) close(fd);
  EXPECT_TRUE(Eventually([&] { return HttpGet(Port(), "/healthz", 3000).Status == 200; }));
}

// The program's own limits when the operator sets none, as its help promises them: 30
// submissions a minute from one address, 64 connections held by one address, bodies of
// 1 MiB (1 048 576 bytes).
TEST_F(ScoresHardeningTest, TheLimitsWithoutOptionsAreTheOnesTheHelpNames) {
  const std::string help = [] {
    std::string text;
    FILE* p = popen((ScoresBinary() + " --help").c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p)) text += buf;
    if (p) pclose(p);
    return text;
  }();
  for (const char* promise : {"(default 30;", "(default 64;", "(default 1048576)"})
    EXPECT_NE(help.find(promise), std::string::npos) << promise;

  // The 31st submission of one minute is the first refused. A run that straddles a minute
  // counts in two windows, so it is repeated (at most twice more) on a fresh service.
  bool judged = false;
  for (int attempt = 0; attempt < 3 && !judged; ++attempt) {
    service.reset();  // the counts live in the running service only
    Start({"--quiet"});
    const int64_t minute = std::time(nullptr) / 60;
    std::vector<int> statuses;
    for (int i = 1; i <= 31; ++i)
      statuses.push_back(HttpGet(Port(), SubmitTarget("Ray", i, "")).Status);
    if (std::time(nullptr) / 60 != minute) continue;
    judged = true;
    for (int i = 0; i < 30; ++i) EXPECT_EQ(statuses[static_cast<size_t>(i)], 200) << i + 1;
    EXPECT_EQ(statuses[30], 429);
  }
  EXPECT_TRUE(judged);

  // Bodies: exactly 1 MiB reaches the routes (which take no POST here), one byte more does not.
  auto post = [&](size_t n) {
    return HttpRaw(Port(),
                   "POST /api/scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                   "Content-Length: " +
                       std::to_string(n) + "\r\n\r\n" + std::string(n, 'b'))
        .Status;
  };
  EXPECT_EQ(post(1048576), 405);
  EXPECT_EQ(post(1048577), 413);

  // Connections: one address holds 64, the 65th is turned away, another address is served.
  std::vector<int> held;
  for (int i = 0; i < 64; ++i) held.push_back(ConnectFrom(Port(), "127.0.0.2"));
  // The service takes connections in its own time: the 64 must all be in before the next.
  EXPECT_TRUE(Eventually([&] {
    const int probe = ConnectFrom(Port(), "127.0.0.2");
    if (probe < 0) return false;
    SendAll(probe, "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    const int status = Status(ReadFor(probe, 3000));
    close(probe);
    return status == 503;
  }));
  // Every one of the 64 is held, none refused: a refusal would have been answered and closed.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int refused = 0;
  for (int fd : held) {
    char c = 0;
    if (fd < 0 || recv(fd, &c, 1, MSG_DONTWAIT) >= 0 || errno != EAGAIN) ++refused;
  }
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(HttpGet(Port(), "/healthz", 3000).Status, 200);
  for (int fd : held) close(fd);
}

TEST_F(ScoresHardeningTest, BehindAProxyTheLastForwardedEntryCounts) {
  Start({"--rate-limit", "1", "--behind-proxy", "--max-per-address", "2"});
  auto via = [&](const std::string& lines, int score) {
    return HttpRaw(Port(), "GET " + SubmitTarget("P", score, "") +
                               " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + lines + "\r\n")
        .Status;
  };
  // A player's own line first, the proxy's last: the proxy's is the address.
  EXPECT_EQ(via("X-Forwarded-For: 1.2.3.4\r\nX-Forwarded-For: 203.0.113.7\r\n", 1), 200);
  EXPECT_EQ(via("X-Forwarded-For: 5.6.7.8\r\nX-Forwarded-For: 203.0.113.7\r\n", 2), 429);
  EXPECT_EQ(via("X-Forwarded-For: 203.0.113.7, 198.51.100.9\r\n", 3), 200);
  // Forged entries ahead of the proxy's, in one line or over several, change nothing.
  EXPECT_EQ(via("X-Forwarded-For: 192.0.2.1, 192.0.2.2, 198.51.100.9\r\n", 9), 429);
  EXPECT_EQ(via("X-Forwarded-For: 192.0.2.3\r\nX-Forwarded-For: 192.0.2.4, 192.0.2.5, "
                "198.51.100.9\r\n",
                10),
            429);
  EXPECT_EQ(via("X-Forwarded-For: 198.51.100.9, 198.51.100.9, 192.0.2.6\r\n", 11), 200);
  // An IPv6 player is one /64.
  EXPECT_EQ(via("X-Forwarded-For: 2001:db8:1:2::1\r\n", 4), 200);
  EXPECT_EQ(via("X-Forwarded-For: 2001:db8:1:2:ffff::9\r\n", 5), 429);
  EXPECT_EQ(via("X-Forwarded-For: 2001:db8:1:3::1\r\n", 6), 200);
  // Not an address: refused.
  EXPECT_EQ(via("X-Forwarded-For: " + std::string(8000, '7') + "\r\n", 7), 400);
  EXPECT_EQ(via("X-Forwarded-For: 1.2.3.4, evil\r\n", 8), 400);
  // The proxy's own connections are not held to the per-address bound.
  std::vector<int> held;
  for (int i = 0; i < 6; ++i) held.push_back(ConnectLoopback(Port()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(HttpGet(Port(), "/healthz", 3000).Status, 200);
  for (int fd : held) close(fd);
}

TEST_F(ScoresHardeningTest, PipelinedRequestsInOrderAndAHalfClosedClientGetsItsReply) {
  Start({"--rate-limit", "0"});
  const int fd = ConnectLoopback(Port());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SendAll(fd, "GET " + SubmitTarget("One", 10, "") + " HTTP/1.1\r\nHost: x\r\n\r\n" +
                              "GET /api/scores HTTP/1.1\r\nHost: x\r\n\r\n" + "GET " +
                              SubmitTarget("Two", 20, "") + " HTTP/1.1\r\nHost: x\r\n\r\n"));
  shutdown(fd, SHUT_WR);  // and half-closes: the replies must still come
  const std::string replies = ReadFor(fd, 5000);
  close(fd);
  const size_t first = replies.find("OK stored as result 1");
  const size_t list = replies.find("\"name\":\"One\"");
  const size_t third = replies.find("OK stored as result 2");
  ASSERT_NE(first, std::string::npos) << replies;
  ASSERT_NE(list, std::string::npos) << replies;
  ASSERT_NE(third, std::string::npos) << replies;
  EXPECT_LT(first, list);
  EXPECT_LT(list, third);
}

TEST_F(ScoresHardeningTest, SecurityHeadersOnEveryReplyAndAnEscapedLog) {
  Start();
  for (const std::string& request :
       {std::string("GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
        std::string("GET /cgi/version.pl?prg=ZapWheely&show&type=0 HTTP/1.1\r\nHost: x\r\n"
                    "Connection: close\r\n\r\n"),
        std::string("GET /nowhere HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
        std::string("GET / HTTP/1.1\r\nX: " + std::string(20000, 'x') + "\r\n\r\n")}) {
    const THttpResult r = HttpRaw(Port(), request);
    ASSERT_NE(r.Status, 0);
    EXPECT_NE(r.Headers.find("X-Content-Type-Options: nosniff"), std::string::npos) << r.Status;
    EXPECT_NE(r.Headers.find("X-Frame-Options: DENY"), std::string::npos) << r.Status;
    EXPECT_NE(r.Headers.find("frame-ancestors 'none'"), std::string::npos) << r.Status;
    EXPECT_NE(r.Headers.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    EXPECT_NE(r.Headers.find("Referrer-Policy: "), std::string::npos) << r.Status;
  }
  // A terminal escape in the request line reaches the log as text.
  HttpRaw(Port(), "GET /\x1b]0;owned\x07\x1b[2J HTTP/1.1\r\nHost: x\r\n\r\n", 3000);
  const std::string log = service->Log();
  EXPECT_EQ(log.find('\x1b'), std::string::npos);
  EXPECT_EQ(log.find('\x07'), std::string::npos);
  EXPECT_NE(log.find("127.0.0.1 GET /\\x1b]0;owned\\x07\\x1b[2J 400"), std::string::npos) << log;
}

TEST_F(ScoresHardeningTest, HealthFailsWhenResultsCannotBeStored) {
  // The disk fills: the file size limit stops the database from growing past its start.
  {
    TScoresProcess first({"--db", dir.Path() + "/scores.db", "--quiet"});
    ASSERT_TRUE(first.Started());
    ASSERT_EQ(HttpGet(first.Port(), SubmitTarget("Pre", 1, "")).Status, 200);
  }
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Start({"--rate-limit", "0", "--quiet"});
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(HttpGet(Port(), "/healthz").Status, 200);
  int failed = 0;
  for (int i = 0; i < 400 && failed == 0; ++i)
    if (HttpGet(Port(), SubmitTarget("Fill", i, "")).Status == 503) failed = i + 1;
  ASSERT_GT(failed, 0) << "the database never filled";
  // Both the refused result and the health check ask to be tried again in five seconds.
  const THttpResult refused = HttpGet(Port(), SubmitTarget("Late", 1, ""));
  EXPECT_EQ(refused.Status, 503);
  EXPECT_NE((refused.Headers + "\r\n").find("\r\nRetry-After: 5\r\n"), std::string::npos)
      << refused.Headers;
  const THttpResult health = HttpGet(Port(), "/healthz");
  EXPECT_EQ(health.Status, 503) << health.Body;
  EXPECT_NE((health.Headers + "\r\n").find("\r\nRetry-After: 5\r\n"), std::string::npos)
      << health.Headers;
  // The health check stays failing while nothing can be stored, even with reads answered.
  EXPECT_EQ(HttpGet(Port(), "/cgi/version.pl?prg=ZapWheely&show&type=0").Status, 200);
  EXPECT_EQ(HttpGet(Port(), "/healthz").Status, 503);

  // The operator frees the disk: the next result is stored, and the health check is well again
  // without a restart.
  ASSERT_EQ(prlimit(service->Pid(), RLIMIT_FSIZE, &old, nullptr), 0) << errno;
  const THttpResult stored = HttpGet(Port(), SubmitTarget("Freed", 5, ""));
  EXPECT_EQ(stored.Status, 200) << stored.Body;
  EXPECT_TRUE(stored.Body.starts_with("OK stored as result ")) << stored.Body;
  const THttpResult well = HttpGet(Port(), "/healthz");
  EXPECT_EQ(well.Status, 200) << well.Body;
  EXPECT_EQ(well.Body, "ok\n");
  EXPECT_EQ(service->Stop(), 0);
}

}  // namespace

TEST(ScoresHttpHelpers, ForwardedAddressAndLogEscaping) {
  std::string client;
  // The nearest proxy appends the address it saw to the last line: whatever a client wrote
  // before it, in as many entries and lines as it likes, is not the client.
  const std::pair<std::vector<std::string>, std::string> chains[] = {
      {{"1.1.1.1"}, "1.1.1.1"},
      {{"1.1.1.1, 2.2.2.2"}, "2.2.2.2"},
      {{"1.1.1.1, 2.2.2.2, 3.3.3.3"}, "3.3.3.3"},
      {{"1.1.1.1,2.2.2.2,3.3.3.3"}, "3.3.3.3"},
      {{"forged, 300.1.1.1, 3.3.3.3"}, "3.3.3.3"},
      {{"2001:db8::1, 2001:db8::2, 2001:db8::3"}, "2001:db8::3"},
      {{"1.1.1.1", "2.2.2.2, 3.3.3.3"}, "3.3.3.3"},
      {{"9.9.9.9, 8.8.8.8", "1.1.1.1, 2.2.2.2, 3.3.3.3"}, "3.3.3.3"},
      {{"1.1.1.1, 2.2.2.2, 3.3.3.3", "4.4.4.4"}, "4.4.4.4"},
      {{"1.1.1.1", "2.2.2.2", "3.3.3.3"}, "3.3.3.3"},
      {{"1.1.1.1, 2.2.2.2", ""}, "2.2.2.2"},
  };
  for (const auto& [lines, want] : chains) {
    client.clear();
    EXPECT_TRUE(ForwardedClient(lines, client)) << lines.back();
    EXPECT_EQ(client, want) << lines.back();
  }
  EXPECT_FALSE(ForwardedClient({"1.1.1.1, 2.2.2.2, evil"}, client));
  EXPECT_FALSE(ForwardedClient({"1.1.1.1, 2.2.2.2", "3.3.3.3, evil"}, client));
  EXPECT_TRUE(ForwardedClient({" 2001:db8::1 "}, client));
  EXPECT_EQ(client, "2001:db8::1");
  EXPECT_FALSE(ForwardedClient({"1.1.1.1, 300.1.1.1"}, client));
  EXPECT_FALSE(ForwardedClient({"1.1.1.1,"}, client));
  EXPECT_FALSE(ForwardedClient({}, client));
  EXPECT_EQ(LogEscape("a\x1b[1m\\\n\xc3"), "a\\x1b[1m\\x5c\\x0a\\xc3");
  EXPECT_EQ(AddressKey("2001:db8:1:2:3:4:5:6"), AddressKey("2001:db8:1:2::9"));
  EXPECT_NE(AddressKey("2001:db8:1:2::1"), AddressKey("2001:db8:1:3::1"));
  EXPECT_EQ(AddressKey("::ffff:10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(AddressKey("10.1.2.3"), "10.1.2.3");
}

TEST(ScoresHttpHelpers, RateLimiterForgetsOldMinutesAndHoldsAFlood) {
  TRateLimiter limit(2);
  // A million addresses in one minute, then the first address again: still counted.
  EXPECT_TRUE(limit.Allow("10.0.0.1", 60));
  EXPECT_TRUE(limit.Allow("10.0.0.1", 61));
  for (uint32_t i = 0; i < 1'000'000; ++i)
    limit.Allow(std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." +
                    std::to_string(i & 255) + ".9",
                62);
  EXPECT_FALSE(limit.Allow("10.0.0.1", 63));
  // The next minute everyone starts again.
  EXPECT_TRUE(limit.Allow("10.0.0.1", 120));
  EXPECT_TRUE(limit.Allow("2001:db8::1", 120));
  EXPECT_TRUE(limit.Allow("2001:db8::2", 120));
  EXPECT_FALSE(limit.Allow("2001:db8::3", 120));
}

}  // namespace zw::scores::test
