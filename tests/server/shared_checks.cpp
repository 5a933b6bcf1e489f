// The checks both back ends share.
#include "tests/server/shared_checks.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "server/validate.hpp"
#include "tests/server/scores_process.hpp"

namespace zw::scores::test {

void CheckReplayVerdicts(IScoreStore& store) {
  const int64_t older = store.AddScore({"Rae", 4200, "Chile", 10});
  const int64_t newer = store.AddScore({"Rae", 4200, "Chile", 20});
  const int64_t other = store.AddScore({"Rae", 4300, "Chile", 30});
  const int64_t forged = store.AddScore({"Fox", 9999, "Chile", 40});
  // The newest result of the record is the one a replay sent just after it belongs to.
  EXPECT_EQ(store.FindAwaitingReplay({"Rae", 4200, "Chile", 0}), newer);
  EXPECT_EQ(store.FindAwaitingReplay({"Rae", 4200, "Peru", 0}), 0);
  // Every byte value survives, the zero byte too.
  std::string bytes = "ZWR\x1a";
  for (int i = 0; i < 3000; ++i) bytes += static_cast<char>((i * 7) & 255);
  ASSERT_TRUE(store.AttachReplay(newer, bytes, 100));
  EXPECT_FALSE(store.AttachReplay(newer, "ZWR\x1a again", 101)) << "one replay per result";
  EXPECT_EQ(store.FindAwaitingReplay({"Rae", 4200, "Chile", 0}), older);
  ASSERT_TRUE(store.AttachReplay(other, bytes.substr(0, 50), 102));
  std::string back;
  ASSERT_TRUE(store.ReplayData(newer, back));
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(store.ReplayData(forged, back));
  const std::vector<TPendingReplay> pending = store.PendingReplays(10);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].Id, newer);
  EXPECT_EQ(pending[0].Score, 4200);
  store.SetVerdict(newer, true, "verified score 4200");
  store.SetVerdict(other, false, "rides to score 1450, not the submitted 4300");
  // A verdict is given once: a second one for the same result changes nothing.
  store.SetVerdict(other, true, "late");
  EXPECT_TRUE(store.PendingReplays(10).empty());
  int state = -1;
  std::string reason;
  ASSERT_TRUE(store.VerifyState(other, state, reason));
  EXPECT_EQ(state, VerifyRejected);
  EXPECT_EQ(reason, "rides to score 1450, not the submitted 4300");
  ASSERT_TRUE(store.VerifyState(forged, state, reason));
  EXPECT_EQ(state, VerifyNone);
  EXPECT_FALSE(store.VerifyState(forged + 1000, state, reason));
  // The whole table carries every state; the verified page only the verified result.
  const std::vector<TScoreRow> all = store.Page(0, 10);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].Id, forged);
  EXPECT_EQ(all[0].Verify, VerifyNone);
  EXPECT_EQ(all[1].Verify, VerifyRejected);
  EXPECT_EQ(all[2].Id, older);
  EXPECT_EQ(all[2].Verify, VerifyNone);
  EXPECT_EQ(all[3].Verify, VerifyVerified);
  const std::vector<TScoreRow> verified = store.VerifiedPage(0, 10);
  ASSERT_EQ(verified.size(), 1u);
  EXPECT_EQ(verified[0].Id, newer);
  EXPECT_EQ(verified[0].Rank, 1);
}

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

namespace {

// A result as the table must list it: by score, best first, then by the order it was sent in.
struct TExpected {
  int32_t Score = 0;
  int64_t Order = 0;
  std::string Name;
};

void SortAsTable(std::vector<TExpected>& rows) {
  std::sort(rows.begin(), rows.end(), [](const TExpected& a, const TExpected& b) {
    return a.Score != b.Score ? a.Score > b.Score : a.Order < b.Order;
  });
}

// Heavy ties (a third of all results scored 0, many on both sides of a band, a block and a
// bucket edge),
// the rest spread over every band up to the best possible score.
std::vector<TNewScore> TieHeavyScores(size_t n, unsigned seed, const std::string& prefix) {
  const int32_t edges[] = {15, 16, 17, 31, 32, 255, 256, 257, 511, 4095, 4096, 4097, 8191, 8192};
  std::mt19937 rng(seed);
  std::vector<TNewScore> rows;
  for (size_t i = 0; i < n; ++i) {
    const unsigned kind = rng() % 10;
    int32_t score = 0;
    if (kind >= 3 && kind < 6)
      score = edges[rng() % std::size(edges)];
    else if (kind >= 6)
      score = static_cast<int32_t>(rng() % (MaxGameScore + 1));
    rows.push_back({prefix + std::to_string(i), score, "C", 1000});
  }
  rows.push_back({prefix + "best", MaxGameScore, "C", 1000});
  return rows;
}

// Pages at random offsets and sizes, and at every rank where the bucket changes, each row
// checked against the expected order; offsets past the end give empty pages.
void CheckPages(IScoreStore& store, std::vector<TExpected> expected, unsigned seed) {
  SortAsTable(expected);
  const int64_t n = static_cast<int64_t>(expected.size());
  ASSERT_EQ(store.Count(), n);
  std::mt19937 rng(seed);
  std::vector<std::pair<int64_t, int64_t>> asks;  // offset, limit
  for (int i = 0; i < 150; ++i)
    asks.emplace_back(static_cast<int64_t>(rng() % static_cast<uint32_t>(n + 20)),
                      1 + static_cast<int64_t>(rng() % 300));
  std::vector<int64_t> edges;
  for (int64_t i = 1; i < n; ++i)
    if ((expected[i].Score >> BucketShift) != (expected[i - 1].Score >> BucketShift))
      edges.push_back(i);
  std::shuffle(edges.begin(), edges.end(), rng);
  edges.resize(std::min<size_t>(edges.size(), 100));
  for (const int64_t i : edges) {
    asks.emplace_back(i - 1, 2);
    asks.emplace_back(i, 1 + static_cast<int64_t>(rng() % 101));
  }
  asks.emplace_back(n - 1, 101);
  asks.emplace_back(n, 101);
  asks.emplace_back(DeepPageOffset - 1, 3);
  asks.emplace_back(DeepPageOffset, 3);
  int wrong = 0;
  for (const auto& [offset, limit] : asks) {
    const std::vector<TScoreRow> page = store.Page(offset, limit);
    const int64_t want = std::clamp<int64_t>(n - offset, 0, limit);
    if (static_cast<int64_t>(page.size()) != want) {
      ADD_FAILURE() << "page at " << offset << " of " << limit << ": " << page.size()
                    << " rows, expected " << want;
      ++wrong;
      continue;
    }
    for (int64_t j = 0; j < want && wrong < 10; ++j) {
      const TScoreRow& got = page[static_cast<size_t>(j)];
      const TExpected& e = expected[static_cast<size_t>(offset + j)];
      if (got.Rank != offset + j + 1 || got.Name != e.Name || got.Score != e.Score) {
        ADD_FAILURE() << "rank " << offset + j + 1 << ": got " << got.Rank << " " << got.Name << " "
                      << got.Score << ", expected " << e.Name << " " << e.Score << " (page at "
                      << offset << ")";
        ++wrong;
        break;
      }
    }
    if (wrong >= 10) break;
  }
}

std::vector<TExpected> InOrder(const std::vector<TNewScore>& sent, int64_t first) {
  std::vector<TExpected> rows;
  for (size_t i = 0; i < sent.size(); ++i)
    rows.push_back({sent[i].Score, first + static_cast<int64_t>(i), sent[i].Name});
  return rows;
}

}  // namespace

void CheckRanksMatchPlainOrder(IScoreStore& store, const TRawSql& raw) {
  const std::vector<TNewScore> bulk = TieHeavyScores(24000, 7, "b");
  store.AddScores(bulk);
  std::vector<TExpected> expected = InOrder(bulk, 0);
  // Players sending at once: the order between them is the order of the ids they were given.
  std::mutex m;
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&, t] {
      const std::vector<TNewScore> mine = TieHeavyScores(40, 100 + t, "s" + std::to_string(t));
      for (const TNewScore& s : mine) {
        const int64_t id = store.AddScore(s);
        std::lock_guard lock(m);
        expected.push_back({s.Score, 1'000'000'000 + id, s.Name});
      }
    });
  }
  for (auto& s : senders) s.join();
  CheckPages(store, expected, 1);
  if (::testing::Test::HasFailure()) return;

  // An operator adds a result by hand, removes a cheater's and corrects others.
  raw("INSERT INTO scores (name, score, country, submitted) VALUES ('hand', 77, '', 0)");
  expected.push_back({77, 2'000'000'000, "hand"});
  raw("DELETE FROM scores WHERE name LIKE 'b1%'");
  raw("UPDATE scores SET score = score + 4000 WHERE name LIKE 'b2%' AND score < 100000");
  std::erase_if(expected, [](const TExpected& e) { return e.Name.starts_with("b1"); });
  for (TExpected& e : expected)
    if (e.Name.starts_with("b2") && e.Score < 100000) e.Score += 4000;
  CheckPages(store, expected, 2);
}

void CheckRanksAfterUpgradeFromVersion1(const std::string& db, const std::string& version1Schema,
                                        const TRawSql& raw) {
  raw(version1Schema);
  const std::vector<TNewScore> old = TieHeavyScores(6000, 11, "v");
  std::vector<TExpected> expected = InOrder(old, 0);
  for (size_t at = 0; at < old.size(); at += 1000) {
    std::string sql = "INSERT INTO scores (name, score, country, submitted) VALUES ";
    for (size_t i = at; i < std::min(old.size(), at + 1000); ++i) {
      sql += (i > at ? ", ('" : "('") + old[i].Name + "', " + std::to_string(old[i].Score) +
             ", 'C', 1000)";
    }
    raw(sql);
  }
  auto store = OpenScoreStore(db);
  CheckPages(*store, expected, 3);
  // The results from before replays start unverified, and can take one.
  EXPECT_EQ(store->Page(0, 1).at(0).Verify, VerifyNone);
  EXPECT_TRUE(store->VerifiedPage(0, 10).empty());
  const TScoreRow best = store->Page(0, 1).at(0);
  ASSERT_TRUE(store->AttachReplay(best.Id, "ZWR\x1a", 2000));
  EXPECT_EQ(store->PendingReplays(5).size(), 1u);
  // Results sent after the upgrade are counted as they come.
  const std::vector<TNewScore> later = TieHeavyScores(50, 12, "w");
  for (const TNewScore& s : later) expected.push_back({s.Score, store->AddScore(s), s.Name});
  CheckPages(*store, expected, 4);
  // Counts that no longer add up (a tool cleared them) are made again at the next start.
  store.reset();
  raw("DELETE FROM score_buckets");
  store = OpenScoreStore(db);
  CheckPages(*store, expected, 5);
}

void CheckRanksAfterUpgradeFrom(const std::string& db, const std::string& makeOlder,
                                const TRawSql& raw) {
  const std::vector<TNewScore> first = TieHeavyScores(5000, 21, "f");
  std::vector<TExpected> expected = InOrder(first, 0);
  OpenScoreStore(db)->AddScores(first);
  raw(makeOlder);
  // Results an instance of the older version stored, counted its way.
  const std::vector<TNewScore> old = TieHeavyScores(600, 22, "o");
  std::string sql = "INSERT INTO scores (name, score, country, submitted) VALUES ";
  for (size_t i = 0; i < old.size(); ++i)
    sql += (i ? ", ('" : "('") + old[i].Name + "', " + std::to_string(old[i].Score) + ", 'C', 1)";
  raw(sql);
  for (size_t i = 0; i < old.size(); ++i)
    expected.push_back({old[i].Score, 1'000'000 + static_cast<int64_t>(i), old[i].Name});
  auto store = OpenScoreStore(db);
  CheckPages(*store, expected, 6);
  if (::testing::Test::HasFailure()) return;
  // After the upgrade, the service's own results and an operator's changes are counted too.
  for (const TNewScore& s : TieHeavyScores(60, 23, "n"))
    expected.push_back({s.Score, 2'000'000 + store->AddScore(s), s.Name});
  raw("DELETE FROM scores WHERE name LIKE 'f1%'");
  raw("UPDATE scores SET score = score + 250 WHERE name LIKE 'o2%' AND score < 100000");
  std::erase_if(expected, [](const TExpected& e) { return e.Name.starts_with("f1"); });
  for (TExpected& e : expected)
    if (e.Name.starts_with("o2") && e.Score < 100000) e.Score += 250;
  CheckPages(*store, expected, 7);
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
