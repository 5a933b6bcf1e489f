// The checks both back ends share.
#include "tests/server/shared_checks.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "tests/server/scores_process.hpp"

namespace zw::scores::test {

void CheckStoreRules(IScoreStore& store) {
  ASSERT_EQ(store.Count(), 0);
  // 20 000 rows: scores 0..9 999 twice; the second of each pair sent later.
  std::vector<TNewScore> fill;
  for (int round = 0; round < 2; ++round)
    for (int s = 0; s < 10000; ++s)
      fill.push_back({"R" + std::to_string(round), s, round ? "\\tab\t" : "C", 1000 + round});
  store.AddScores(fill);
  EXPECT_EQ(store.Count(), 20000);
  const auto top = store.Page(0, 3);
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0].Score, 9999);
  EXPECT_EQ(top[0].Name, "R0");
  EXPECT_EQ(top[1].Name, "R1");
  EXPECT_EQ(top[1].Country, "\\tab\t");
  EXPECT_EQ(top[2].Score, 9998);
  EXPECT_LT(top[0].Id, top[1].Id);
  const auto deep = store.Page(19998, 10);
  ASSERT_EQ(deep.size(), 2u);
  EXPECT_EQ(deep[0].Rank, 19999);
  EXPECT_EQ(deep[0].Score, 0);
  EXPECT_EQ(deep[0].Name, "R0");
  EXPECT_TRUE(store.Ping());
  const std::string plan = store.PagePlan();
  // The skipped rows come from the index, never a scan and sort of the whole table (only the
  // page's own rows are put in order at the end).
  EXPECT_NE(plan.find("scores_table_order"), std::string::npos) << plan;
  EXPECT_EQ(plan.find("Seq Scan on scores"), std::string::npos) << plan;
  EXPECT_EQ(plan.find("SCAN scores\n"), std::string::npos) << plan;

  // Eight writers at once: every row committed, ids rising within each writer.
  std::vector<std::thread> writers;
  std::atomic<int> bad{0};
  for (int t = 0; t < 8; ++t) {
    writers.emplace_back([&, t] {
      int64_t last = 0;
      for (int i = 0; i < 25; ++i) {
        const int64_t id = store.AddScore({"W", 20000 + t, "", 0});
        if (id <= last) ++bad;
        last = id;
      }
    });
  }
  for (auto& w : writers) w.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(store.Count(), 20200);
  // Equal scores from one writer come out in its order: by id.
  const auto same = store.Page(0, 25);
  for (size_t i = 1; i < same.size(); ++i) {
    EXPECT_GE(same[i - 1].Score, same[i].Score);
    if (same[i - 1].Score == same[i].Score) {
      EXPECT_LT(same[i - 1].Id, same[i].Id);
    }
  }
}

void CheckEndToEnd(const std::string& db) {
  TScoresProcess service({"--db", db, "--quiet"});
  ASSERT_TRUE(service.Started()) << service.Log();
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Sam", 500,
                                                 "Fran\xe7"
                                                 "a"))
                .Status,
            200);
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Ivy", 800, "Ireland")).Status, 200);
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Ola", 500, "Norway")).Status, 200);
  const std::string page =
      HttpGet(service.Port(), "/cgi/version.pl?prg=ZapWheely&show&type=0").Body;
  EXPECT_NE(page.find("<td class=\"num\">1</td><td>Ivy</td>"), std::string::npos) << page;
  EXPECT_NE(page.find("<td class=\"num\">2</td><td>Sam</td><td class=\"num\">500</td>"
                      "<td class=\"country\">Fran\xc3\xa7"
                      "a</td>"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("<td class=\"num\">3</td><td>Ola</td>"), std::string::npos);
  const std::string json = HttpGet(service.Port(), "/api/scores?offset=1&limit=1").Body;
  EXPECT_NE(json.find("{\"rank\":2,\"name\":\"Sam\",\"score\":500"), std::string::npos) << json;
  EXPECT_EQ(HttpGet(service.Port(), "/healthz").Status, 200);
}

void CheckAcknowledgedSurviveKill(const std::string& db) {
  auto service = std::make_unique<TScoresProcess>(
      std::vector<std::string>{"--db", db, "--quiet", "--rate-limit", "0"});
  ASSERT_TRUE(service->Started()) << service->Log();
  const int port = service->Port();
  std::mutex m;
  std::set<std::string> acked;
  std::atomic<bool> stop{false};
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < 3000 && !stop; ++i) {
        const std::string name = "K" + std::to_string(t) + "n" + std::to_string(i);
        const THttpResult r = HttpGet(port, SubmitTarget(name, 1000 + i, "X"), 3000);
        if (r.Status == 200 && r.Body.starts_with("OK")) {
          std::lock_guard lock(m);
          acked.insert(name);
        }
      }
    });
  }
  // Kill once a good number of results has been acknowledged (or after a few seconds).
  for (int i = 0; i < 500; ++i) {
    {
      std::lock_guard lock(m);
      if (acked.size() >= 300) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  service->Kill();
  stop = true;
  for (auto& s : senders) s.join();
  ASSERT_GT(acked.size(), 0u);
  service = std::make_unique<TScoresProcess>(std::vector<std::string>{"--db", db, "--quiet"});
  ASSERT_TRUE(service->Started()) << service->Log();
  std::set<std::string> stored;
  for (int offset = 0;; offset += 1000) {
    const std::string json =
        HttpGet(service->Port(), "/api/scores?limit=1000&offset=" + std::to_string(offset)).Body;
    size_t at = 0, found = 0;
    while ((at = json.find("\"name\":\"", at)) != std::string::npos) {
      at += 8;
      stored.insert(json.substr(at, json.find('"', at) - at));
      ++found;
    }
    if (found < 1000) break;
  }
  size_t missing = 0;
  for (const std::string& name : acked) missing += stored.count(name) == 0;
  EXPECT_EQ(missing, 0u) << "of " << acked.size() << " acknowledged";
}

}  // namespace zw::scores::test
