// The score service as a player's game and a browser meet it: a real zapwheely-scores process
// on the loopback.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "server/store.hpp"
#include "server/validate.hpp"
#include "tests/server/scores_process.hpp"
#include "tests/server/shared_checks.hpp"

namespace zw::scores::test {
namespace {

class ScoresHttpTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--db", dir.Path() + "/scores.db"};
    args.insert(args.end(), extra.begin(), extra.end());
    service = std::make_unique<TScoresProcess>(args);
    ASSERT_TRUE(service->Started()) << service->Log();
  }
  int Port() const { return service->Port(); }
  std::string Json() { return HttpGet(Port(), "/api/scores?limit=1000").Body; }

  TTempDir dir;
  std::unique_ptr<TScoresProcess> service;
};

TEST_F(ScoresHttpTest, RefusesWhatNoGameSendsAndStoresNothing) {
  Start({"--rate-limit", "0"});
  const std::string good = SubmitTarget("Max", 1200, "NL");
  // A damaged record: one character of the encoding changed to one outside the alphabet.
  std::string damaged = good;
  damaged[damaged.size() - 3] = '-';
  const THttpResult bad = HttpGet(Port(), damaged);
  EXPECT_EQ(bad.Status, 400);
  EXPECT_NE(bad.Body.find("outside the alphabet"), std::string::npos) << bad.Body;
  EXPECT_EQ(bad.Body.find('\n'), bad.Body.size() - 1);  // one line
  EXPECT_EQ(HttpGet(Port(), good.substr(0, good.size() - 8)).Status, 400);
  EXPECT_EQ(HttpGet(Port(), SubmitTarget("Max<1>", 1200, "NL")).Status, 400);
  EXPECT_EQ(HttpGet(Port(), SubmitTarget("Max", MaxGameScore + 1, "NL")).Status, 400);
  EXPECT_EQ(
      HttpGet(Port(), "/cgi/version.pl?hs&prg=ZapWheely&inf=" + std::string(5000, 'Z')).Status,
      414);
  EXPECT_EQ(Json(), "[]\n");
  const THttpResult ok = HttpGet(Port(), good);
  EXPECT_EQ(ok.Status, 200);
  EXPECT_TRUE(ok.Body.starts_with("OK")) << ok.Body;
  EXPECT_NE(Json().find("\"name\":\"Max\",\"score\":1200,\"country\":\"NL\""), std::string::npos);
  // One log line per request.
  const std::string log = service->Log();
  EXPECT_NE(log.find("127.0.0.1 GET " + good.substr(0, 100)), std::string::npos) << log;
  EXPECT_NE(log.find(" 414 "), std::string::npos) << log;
}

TEST_F(ScoresHttpTest, HtmlInTheCountryShowsAsText) {
  Start();
  ASSERT_EQ(HttpGet(Port(), SubmitTarget("Ada", 900, "<script>")).Status, 200);
  const THttpResult page = HttpGet(Port(), "/cgi/version.pl?prg=ZapWheely&show&type=0");
  ASSERT_EQ(page.Status, 200);
  EXPECT_NE(page.Headers.find("text/html"), std::string::npos);
  EXPECT_EQ(page.Body.find("<script>"), std::string::npos);
  EXPECT_NE(page.Body.find("<td>Ada</td><td class=\"num\">900</td><td class=\"country\">"
                           "&lt;script&gt;</td>"),
            std::string::npos)
      << page.Body;
}

TEST_F(ScoresHttpTest, RateLimitPerAddressAndCleanStop) {
  Start({"--rate-limit", "3"});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(HttpGet(Port(), SubmitTarget("R", i, "")).Status, 200) << i;
  const THttpResult limited = HttpGet(Port(), SubmitTarget("R", 9, ""));
  EXPECT_EQ(limited.Status, 429);
  EXPECT_NE(limited.Headers.find("Retry-After"), std::string::npos);
  // Damaged records count against the limit as well, and pages are never limited.
  EXPECT_EQ(HttpGet(Port(), "/cgi/version.pl?hs&prg=ZapWheely&inf=zz").Status, 429);
  EXPECT_EQ(HttpGet(Port(), "/healthz").Status, 200);
  EXPECT_EQ(Json().find("\"score\":9"), std::string::npos);
  EXPECT_EQ(service->Stop(), 0);
}

TEST_F(ScoresHttpTest, BehindAProxyTheLimitIsPerPlayer) {
  Start({"--rate-limit", "1", "--behind-proxy"});
  auto via = [&](const std::string& player, int score) {
    return HttpRaw(Port(), "GET " + SubmitTarget("P", score, "") +
                               " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                               "X-Forwarded-For: 6.6.6.6, " +
                               player + "\r\n\r\n")
        .Status;
  };
  EXPECT_EQ(via("203.0.113.7", 1), 200);
  EXPECT_EQ(via("198.51.100.2", 2), 200);
  EXPECT_EQ(via("203.0.113.7", 3), 429);
}

TEST_F(ScoresHttpTest, ScoresSurviveARestart) {
  Start();
  ASSERT_EQ(HttpGet(Port(), SubmitTarget("Kim", 77, "DE")).Status, 200);
  ASSERT_EQ(service->Stop(), 0);
  Start();
  EXPECT_NE(Json().find("\"name\":\"Kim\",\"score\":77"), std::string::npos);
}

TEST_F(ScoresHttpTest, NeverCrashesOnBrokenRequests) {
  Start();
  const char* junk[] = {
      "\r\n\r\n",
      "GET\r\n\r\n",
      "GET / HTTP/9.9\r\n\r\n",
      "BREW /pot HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET /cgi/version.pl?hs&prg=ZapWheely&inf=%00%ff%zz HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET /docs/..%2fCMakeLists.txt HTTP/1.1\r\nHost: x\r\n\r\n",
      "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999\r\n\r\nabc",
  };
  for (const char* j : junk) {
    const THttpResult r = HttpRaw(Port(), j, 3000);
    EXPECT_NE(r.Status, 200) << j;
  }
  EXPECT_EQ(HttpGet(Port(), "/healthz").Status, 200);
}

TEST(ScoresProgram, HelpListsEveryOptionAndBadOptionsStop) {
  const std::string cmd = ScoresBinary() + " --help";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string help;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) help.append(buf, n);
  EXPECT_EQ(pclose(p), 0);
  for (const char* opt : {"--listen", "--db", "--rate-limit", "--docs", "--workers",
                          "--read-timeout", "--keep-alive", "--max-connections",
                          "--max-per-address", "--max-body", "--behind-proxy", "--quiet", "--help"})
    EXPECT_NE(help.find(opt), std::string::npos) << opt;
  EXPECT_NE(std::system((ScoresBinary() + " --db x --rate-limit -1 2>/dev/null").c_str()), 0);
  EXPECT_NE(std::system((ScoresBinary() + " --listen nowhere --db x 2>/dev/null").c_str()), 0);
}

TEST(ScoresProgram, TheFillToolWritesExactlyTheRowsAskedForTheSameForTheSameSeed) {
  TTempDir dir;
  const std::string fill = ZW_SCORES_FILL_BIN;
  auto run = [&](const std::string& db, const std::string& rows, const std::string& seed) {
    return std::system((fill + " --db " + dir.Path() + "/" + db + " --rows " + rows + " --seed " +
                        seed + " 2>/dev/null")
                           .c_str());
  };
  ASSERT_EQ(run("a.db", "2503", "7"), 0);
  ASSERT_EQ(run("b.db", "50", "8"), 0);
  ASSERT_EQ(run("c.db", "50", "8"), 0);
  auto a = OpenScoreStore(dir.Path() + "/a.db");
  auto b = OpenScoreStore(dir.Path() + "/b.db");
  auto c = OpenScoreStore(dir.Path() + "/c.db");
  EXPECT_EQ(a->Count(), 2503);
  EXPECT_EQ(c->Count(), 50);
  const auto pa = a->Page(0, 1000), pb = b->Page(0, 50), pc = c->Page(0, 50);
  ASSERT_EQ(pb.size(), 50u);
  ASSERT_EQ(pc.size(), 50u);
  for (size_t i = 0; i < pc.size(); ++i) {
    EXPECT_EQ(pb[i].Name, pc[i].Name);
    EXPECT_EQ(pb[i].Score, pc[i].Score);
    EXPECT_EQ(pb[i].Submitted, pc[i].Submitted);
  }
  EXPECT_NE(pa[0].Name + std::to_string(pa[0].Score), pc[0].Name + std::to_string(pc[0].Score));
  // Every made-up result is one a game could send: a valid name and country, a score a game can
  // reach, in tens.
  for (const auto& rows : {pa, pc, a->Page(2000, 503)}) {
    for (const TScoreRow& r : rows) {
      online::TScoreRecord rec{r.Name, r.Score, r.Country};
      std::string name, country, why;
      EXPECT_TRUE(ValidateRecord(rec, name, country, why)) << r.Name << ": " << why;
      EXPECT_EQ(r.Score % 10, 0);
      EXPECT_GE(r.Score, 0);
    }
  }
  EXPECT_NE(std::system((fill + " --db " + dir.Path() + "/d.db 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace zw::scores::test

namespace zw::scores::test {
namespace {

TEST(ScoresSqlite, StoreRules) {
  TTempDir dir;
  auto store = OpenScoreStore(dir.Path() + "/scores.db");
  CheckStoreRules(*store);
}

TEST(ScoresSqlite, ReplayVerdicts) {
  TTempDir dir;
  auto store = OpenScoreStore(dir.Path() + "/scores.db");
  CheckReplayVerdicts(*store);
}

TEST(ScoresSqlite, EndToEnd) {
  TTempDir dir;
  CheckEndToEnd(dir.Path() + "/scores.db");
}

TEST(ScoresSqlite, AcknowledgedSurviveKill) {
  TTempDir dir;
  CheckAcknowledgedSurviveKill(dir.Path() + "/scores.db");
}

TEST_F(ScoresHttpTest, PlayersAreServedWhileIdleAndSlowConnectionsHang) {
  Start({"--quiet"});
  std::vector<int> idle;
  // From four addresses, each within the per-address bound.
  for (int i = 0; i < 200; ++i) {
    const int fd = ConnectFrom(Port(), "127.0.0." + std::to_string(2 + i % 4));
    ASSERT_GE(fd, 0) << i;
    idle.push_back(fd);
  }
  // A slow client sends its request one byte a second.
  const int slow = ConnectLoopback(Port());
  ASSERT_GE(slow, 0);
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    const std::string req = "GET /healthz HTTP/1.1\r\n";
    for (size_t i = 0; i < req.size() && !done; ++i) {
      send(slow, &req[i], 1, MSG_NOSIGNAL);
      for (int k = 0; k < 10 && !done; ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  const THttpResult r = HttpGet(Port(), SubmitTarget("Busy", 100, ""), 3000);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_EQ(r.Status, 200);
  EXPECT_LT(ms, 2000);
  EXPECT_EQ(HttpGet(Port(), "/healthz", 3000).Status, 200);
  done = true;
  trickle.join();
  close(slow);
  for (int fd : idle) close(fd);
}

}  // namespace
}  // namespace zw::scores::test
