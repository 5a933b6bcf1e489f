// The score service's rules without sockets: what is accepted, how the table is ordered and
// paged, and how its pages show stored text.
#include "server/service.hpp"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "online/score_record.hpp"
#include "online/submission.hpp"
#include "server/sqlite_store.hpp"
#include "server/store.hpp"
#include "server/validate.hpp"
#include "tests/server/scores_process.hpp"
#include "tests/server/shared_checks.hpp"

namespace zw::scores {
namespace {

using online::TScoreRecord;

THttpRequest Get(const std::string& target, const std::string& client = "10.0.0.1") {
  THttpRequest r;
  const size_t q = target.find('?');
  r.Path = target.substr(0, q);
  if (q != std::string::npos) r.Query = target.substr(q + 1);
  r.Client = client;
  return r;
}

bool Valid(const TScoreRecord& rec, std::string* reason = nullptr) {
  std::string name, country, why;
  const bool ok = ValidateRecord(rec, name, country, why);
  if (reason) *reason = why;
  return ok;
}

TEST(ScoreValidation, NameScoreAndCountryBounds) {
  EXPECT_TRUE(Valid({"", 0, "_______"}));
  EXPECT_FALSE(Valid({"Ab 12 cd 34 X", 1, ""}));  // 13 characters
  EXPECT_TRUE(Valid({"Ab 12 cd 34X", MaxGameScore, "Sixteen chars ok"}));
  std::string reason;
  EXPECT_FALSE(Valid({"Bob!", 10, "UK"}, &reason));
  EXPECT_NE(reason.find("letters, digits and spaces"), std::string::npos);
  EXPECT_FALSE(Valid({"Bob", MaxGameScore + 1, "UK"}, &reason));
  EXPECT_NE(reason.find("above"), std::string::npos);
  EXPECT_FALSE(Valid({"Bob", -1, "UK"}));
  EXPECT_FALSE(Valid({"Bob", 10, "Seventeen chars!!"}));
  EXPECT_FALSE(Valid({"Bob", 10, "tab\there"}));
  EXPECT_FALSE(Valid({"Bob", 10, std::string("del\x7f")}));
}

TEST(ScoreValidation, CountryBecomesUtf8FromTheGamesCodePage) {
  std::string name, country, reason;
  ASSERT_TRUE(ValidateRecord({"Zoe", 5,
                              "Espa\xf1"
                              "a \x80"},
                             name, country, reason));
  EXPECT_EQ(country,
            "Espa\xc3\xb1"
            "a \xe2\x82\xac");
  // 0x81 has no character in Windows-1252.
  EXPECT_FALSE(ValidateRecord({"Zoe", 5, "x\x81"}, name, country, reason));

  // Every byte the code page sets apart from Latin-1, as the characters a player typed; the
  // five it leaves empty are refused.
  const char* const special[32] = {"€",     nullptr, "‚", "ƒ", "„", "…",     "†", "‡",
                                   "ˆ",     "‰",     "Š", "‹", "Œ", nullptr, "Ž", nullptr,
                                   nullptr, "‘",     "’", "“", "”", "•",     "–", "—",
                                   "˜",     "™",     "š", "›", "œ", nullptr, "ž", "Ÿ"};
  for (int b = 0x80; b <= 0x9F; ++b) {
    std::string utf8 = "unchanged";
    const bool ok = Cp1252ToUtf8(std::string{'<', static_cast<char>(b), '>'}, utf8);
    const char* want = special[b - 0x80];
    if (want) {
      EXPECT_TRUE(ok) << std::hex << b;
      EXPECT_EQ(utf8, "<" + std::string(want) + ">") << std::hex << b;
    } else {
      EXPECT_FALSE(ok) << std::hex << b;
      EXPECT_EQ(utf8, "unchanged") << std::hex << b;
    }
  }
  // Around them the code page is Latin-1.
  std::string latin;
  ASSERT_TRUE(Cp1252ToUtf8("~\x7f\xa0\xbf\xc0\xd7\xff", latin));
  EXPECT_EQ(latin, "~\x7f\u00a0¿À×ÿ");
}

TEST(ScoreQuery, KeysWithoutValuesAndPercentDecoding) {
  const auto q = ParseQuery("hs&prg=Zap%57heely&inf=a+b&&x=%zz&=v");
  ASSERT_EQ(q.size(), 5u);
  EXPECT_EQ(q[0], (std::pair<std::string, std::string>{"hs", ""}));
  EXPECT_EQ(q[1].second, "ZapWheely");
  EXPECT_EQ(q[2].second, "a b");
  EXPECT_EQ(q[3].second, "%zz");
  EXPECT_EQ(q[4].first, "");

  // An escape decodes wherever it stands: first, inside and last in a value or a key, and last
  // in the whole query; a cut-off one stays as sent. A decoded "%" or "+" is taken literally.
  using TPairs = std::vector<std::pair<std::string, std::string>>;
  const TPairs edges = ParseQuery("a=%41bc&b=x%42y&c=xy%43&%44k=1&k%45=2&d=%2541&e=%2B+%2b&f=%e9%");
  EXPECT_EQ(edges, (TPairs{{"a", "Abc"},
                           {"b", "xBy"},
                           {"c", "xyC"},
                           {"Dk", "1"},
                           {"kE", "2"},
                           {"d", "%41"},
                           {"e", "+ +"},
                           {"f", "\xe9%"}}));
  EXPECT_EQ(ParseQuery("only=%5A"), (TPairs{{"only", "Z"}}));
  EXPECT_EQ(ParseQuery("k=ab%4"), (TPairs{{"k", "ab%4"}}));
  EXPECT_EQ(ParseQuery("k=%4&j=%"), (TPairs{{"k", "%4"}, {"j", "%"}}));
  EXPECT_EQ(ParseQuery("k=%g1%1g"), (TPairs{{"k", "%g1%1g"}}));
  EXPECT_EQ(ParseQuery("%5A"), (TPairs{{"Z", ""}}));
}

TEST(ScoreRateLimit, FixedMinuteWindowsPerAddress) {
  TRateLimiter limit(2);
  EXPECT_TRUE(limit.Allow("a", 120));
  EXPECT_TRUE(limit.Allow("a", 150));
  EXPECT_FALSE(limit.Allow("a", 179));
  EXPECT_TRUE(limit.Allow("b", 179));
  EXPECT_TRUE(limit.Allow("a", 180));
  TRateLimiter none(0);
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(none.Allow("a", 1));
}

class ScoreServiceTest : public ::testing::Test {
 protected:
  std::unique_ptr<IScoreStore> store = OpenScoreStore(":memory:");
  TScoreService service{*store, TServiceOptions{0, ""}};

  THttpReply Submit(const std::string& name, int score, const std::string& country,
                    int64_t now = 1'800'000'000) {
    return service.Handle(Get(test::SubmitTarget(name, score, country)), now);
  }
};

// A refused submission or replay says how many seconds remain until its address's minute is
// over, and that is just when the next one is taken: one second sooner is still refused.
TEST(ScoreRateLimit, RetryAfterIsTheWaitUntilTheNextMinute) {
  auto store = OpenScoreStore(":memory:");
  TScoreService service(*store, TServiceOptions{1, ""});
  auto retryAfter = [](const THttpReply& r) {
    for (const auto& [key, value] : r.Headers)
      if (key == "Retry-After") return std::stoll(value);
    return -1ll;
  };
  THttpRequest replay = Get("/replay");  // no record: refused, but counted all the same
  replay.Method = "POST";
  const int64_t minute = 1'800'000'000 / 60;
  int n = 0;
  for (const bool isReplay : {false, true}) {
    for (const int second : {0, 1, 29, 58, 59}) {
      // Each case in a minute of its own, so the counts of one never reach the next.
      const int64_t now = (minute + 10 * ++n) * 60 + second;
      auto ask = [&](int64_t at) {
        return isReplay ? service.Handle(replay, at)
                        : service.Handle(Get(test::SubmitTarget("Rita", n, "UK")), at);
      };
      SCOPED_TRACE(std::string(isReplay ? "replay" : "submission") + " at second " +
                   std::to_string(second));
      ASSERT_NE(ask(now).Status, 429);
      const THttpReply refused = ask(now);
      ASSERT_EQ(refused.Status, 429);
      const int64_t wait = retryAfter(refused);
      EXPECT_EQ(wait, 60 - second);
      ASSERT_TRUE(wait >= 1 && wait <= 60) << wait;
      if (wait > 1) {
        EXPECT_EQ(ask(now + wait - 1).Status, 429);
      }
      EXPECT_NE(ask(now + wait).Status, 429);
    }
  }
}

TEST_F(ScoreServiceTest, RefusalsStoreNothing) {
  EXPECT_EQ(service.Handle(Get("/cgi/version.pl?hs&prg=ZapWheely&inf=Zq4W"), 0).Status, 400);
  EXPECT_EQ(service.Handle(Get("/cgi/version.pl?hs&prg=ZapWheely"), 0).Status, 400);
  EXPECT_EQ(service.Handle(Get("/cgi/version.pl?hs&prg=Other&inf=x"), 0).Status, 400);
  EXPECT_EQ(Submit("Bob.", 10, "UK").Status, 400);
  EXPECT_EQ(Submit("Bob", MaxGameScore + 1, "UK").Status, 400);
  EXPECT_EQ(service.Handle(Get("/" + std::string(5000, 'a')), 0).Status, 414);
  THttpRequest post = Get("/");
  post.Method = "POST";
  EXPECT_EQ(service.Handle(post, 0).Status, 405);
  EXPECT_EQ(service.Handle(Get("/docs/../CMakeLists.txt"), 0).Status, 404);
  // A HEAD asks what a GET would answer: it must not store the result it names.
  THttpRequest head = Get(test::SubmitTarget("Bob", 10, "UK"));
  head.Method = "HEAD";
  EXPECT_EQ(service.Handle(head, 0).Status, 405);
  EXPECT_EQ(store->Count(), 0);
  const THttpReply ok = Submit("Bob", MaxGameScore, "UK");
  EXPECT_EQ(ok.Status, 200);
  EXPECT_TRUE(ok.Body.starts_with("OK")) << ok.Body;
  EXPECT_EQ(store->Count(), 1);
}

// The event loop's way in answers a submission exactly as Handle would, and leaves every other
// request (the HEAD of a submission included) to Handle.
TEST(ScoreServiceSoon, SubmissionsAnsweredAsHandleWouldAndEverythingElseLeftToIt) {
  test::TTempDir dir;
  auto store = OpenScoreStore(dir.Path() + "/s.db");
  TScoreService soon(*store, TServiceOptions{2, ""});
  auto ask = [&](const THttpRequest& r) -> std::optional<THttpReply> {
    auto promise = std::make_shared<std::promise<THttpReply>>();
    std::future<THttpReply> reply = promise->get_future();
    if (!soon.HandleSoon(r, 1'800'000'000,
                         [promise](THttpReply rep) { promise->set_value(std::move(rep)); }))
      return std::nullopt;
    if (reply.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return THttpReply{};
    return reply.get();
  };
  const auto ok = ask(Get(test::SubmitTarget("Ann", 500, "UK")));
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->Status, 200);
  EXPECT_EQ(ok->Body, "OK stored as result 1\n");
  EXPECT_EQ(store->Count(), 1);
  // Refusals come from the same checks: a damaged record, a score past the game's best.
  EXPECT_EQ(ask(Get("/cgi/version.pl?hs&prg=ZapWheely&inf=Zq4W"))->Status, 400);
  // The rate limit counts both ways in alike (two a minute here: one left, then none).
  const auto second = ask(Get(test::SubmitTarget("Ann", 501, "UK")));
  ASSERT_TRUE(second);
  EXPECT_EQ(second->Status, 429);
  EXPECT_EQ(soon.Handle(Get(test::SubmitTarget("Ann", 502, "UK")), 1'800'000'000).Status, 429);
  EXPECT_EQ(ask(Get(test::SubmitTarget("Bea", MaxGameScore + 1, "UK"), "10.0.0.2"))->Status, 400);
  EXPECT_EQ(store->Count(), 1);
  // Not submissions, or not ones this way takes: Handle answers them.
  THttpRequest head = Get(test::SubmitTarget("Cy", 10, "UK"), "10.0.0.3");
  head.Method = "HEAD";
  EXPECT_FALSE(ask(head));
  EXPECT_FALSE(ask(Get("/cgi/version.pl?prg=ZapWheely&show&type=0")));
  EXPECT_FALSE(ask(Get("/healthz")));
  EXPECT_FALSE(ask(Get("/cgi/version.pl?hs&prg=Other&inf=x")));
  EXPECT_FALSE(ask(Get("/cgi/version.pl?hs&prg=ZapWheely")));
  EXPECT_FALSE(ask(Get("/cgi/version.pl?hs&prg=ZapWheely&inf=" + std::string(5000, 'a'))));
  EXPECT_EQ(store->Count(), 1);
}

TEST_F(ScoreServiceTest, TableIsBestFirstTiesInSubmissionOrderAndPaged) {
  // 300 results, three exactly full pages: scores 0..149 twice each, the second of each pair
  // sent later.
  std::vector<TNewScore> fill;
  for (int round = 0; round < 2; ++round)
    for (int s = 0; s < 150; ++s)
      fill.push_back({"P" + std::to_string(round) + "x" + std::to_string(s), s, "C", 1000});
  store->AddScores(fill);
  const auto top = store->Page(0, 4);
  ASSERT_EQ(top.size(), 4u);
  EXPECT_EQ(top[0].Name, "P0x149");
  EXPECT_EQ(top[1].Name, "P1x149");
  EXPECT_EQ(top[2].Name, "P0x148");
  EXPECT_EQ(top[3].Rank, 4);

  const THttpReply page1 = service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&type=0"), 0);
  ASSERT_EQ(page1.Status, 200);
  EXPECT_NE(page1.Body.find("rel=\"next\""), std::string::npos);
  EXPECT_EQ(page1.Body.find("rel=\"prev\""), std::string::npos);
  const THttpReply page3 =
      service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&type=0&page=3"), 0);
  ASSERT_EQ(page3.Status, 200);
  EXPECT_EQ(page3.Body.find("rel=\"next\""), std::string::npos);
  EXPECT_NE(page3.Body.find("page=2\">&larr; Previous"), std::string::npos);
  // The last page is exactly full: ranks 201 (score 49, first of its pair) to 300 (the last
  // row, score 0 sent second), and no "Next" to an empty page.
  EXPECT_NE(page3.Body.find("<td class=\"num\">201</td><td>P0x49</td>"), std::string::npos);
  EXPECT_NE(page3.Body.find("<td class=\"num\">300</td><td>P1x0</td>"), std::string::npos);
  size_t rows = 0;
  for (size_t at = page3.Body.find("<tr><td"); at != std::string::npos;
       at = page3.Body.find("<tr><td", at + 1))
    ++rows;
  EXPECT_EQ(rows, 100u);
  EXPECT_EQ(service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&page=0"), 0).Status, 400);
  EXPECT_EQ(service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&type=1"), 0).Status, 400);
}

TEST_F(ScoreServiceTest, JsonViewEscapesAndPages) {
  ASSERT_EQ(Submit("Ann", 300, "a\"b\\c", 86400 * 365).Status, 200);
  ASSERT_EQ(Submit("Ben", 200, "<b>", 86400 * 365).Status, 200);
  const THttpReply all = service.Handle(Get("/api/scores?offset=0&limit=10"), 0);
  EXPECT_EQ(all.ContentType, "application/json");
  EXPECT_EQ(all.Body,
            "[\n{\"rank\":1,\"name\":\"Ann\",\"score\":300,\"country\":\"a\\\"b\\\\c\","
            "\"date\":\"1971-01-01\",\"verified\":false},\n{\"rank\":2,\"name\":\"Ben\","
            "\"score\":200,\"country\":\"<b>\",\"date\":\"1971-01-01\",\"verified\":false}\n]\n");
  const THttpReply second = service.Handle(Get("/api/scores?offset=1&limit=1"), 0);
  EXPECT_NE(second.Body.find("\"rank\":2,\"name\":\"Ben\""), std::string::npos);
  EXPECT_EQ(service.Handle(Get("/api/scores?offset=5"), 0).Body, "[]\n");
  EXPECT_EQ(service.Handle(Get("/api/scores?limit=1001"), 0).Status, 400);
  EXPECT_EQ(service.Handle(Get("/api/scores?offset=-1"), 0).Status, 400);
}

// A result's date reads year-month-day on the table page and in the JSON view, in UTC. The
// instants are counted here by hand in days since 1970-01-01, so a day and month swapped, a
// local clock or an off-by-one day all show.
TEST_F(ScoreServiceTest, DatesReadYearMonthDayInUtc) {
  // 2001-02-03: 31 years of 365 days, 8 leap days (1972..2000), January's 31, then 2 days.
  const int64_t feb3 = (31 * 365 + 8 + 31 + 2) * int64_t{86400};
  // 2021-07-25: 51 years, 13 leap days (1972..2020), January to June (181 days), then 24.
  const int64_t jul25 = (51 * 365 + 13 + 181 + 24) * int64_t{86400};
  struct TCase {
    const char* Name;
    int Score;
    int64_t At;
    const char* Date;
  };
  const TCase cases[] = {
      {"Day", 900, feb3, "2001-02-03"},              // day and month both 12 or less
      {"Late", 800, feb3 + 86399, "2001-02-03"},     // the last second of that day
      {"Next", 700, feb3 + 86400, "2001-02-04"},     // the first of the next
      {"Summer", 600, jul25 + 43200, "2021-07-25"},  // a day above 12
      {"Eve", 500, jul25 - 1, "2021-07-24"},         // a second before it
  };
  for (const TCase& c : cases) ASSERT_EQ(Submit(c.Name, c.Score, "", c.At).Status, 200);
  const std::string json = service.Handle(Get("/api/scores"), 0).Body;
  const std::string table =
      service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&type=0"), 0).Body;
  for (const TCase& c : cases) {
    EXPECT_NE(json.find("\"name\":\"" + std::string(c.Name) + "\",\"score\":" +
                        std::to_string(c.Score) + ",\"country\":\"\",\"date\":\"" + c.Date + "\""),
              std::string::npos)
        << c.Name << "\n"
        << json;
    EXPECT_NE(table.find("<td>" + std::string(c.Name) + "</td><td class=\"num\">" +
                         std::to_string(c.Score) +
                         "</td><td class=\"country\"></td><td class=\"date\">" + c.Date + "</td>"),
              std::string::npos)
        << c.Name << "\n"
        << table;
  }
}

TEST_F(ScoreServiceTest, OnlyAVerifiedResultsReplayIsGivenOut) {
  // One result in each state, every one but the first with its replay kept.
  const int64_t none = store->AddScore({"None", 10, "", 0});
  const int64_t pending = store->AddScore({"Pending", 20, "", 0});
  const int64_t verified = store->AddScore({"Verified", 30, "", 0});
  const int64_t rejected = store->AddScore({"Rejected", 40, "", 0});
  for (int64_t id : {pending, verified, rejected})
    ASSERT_TRUE(store->AttachReplay(id, "ZWRP ride " + std::to_string(id), 0));
  store->SetVerdict(verified, true, "");
  store->SetVerdict(rejected, false, "rides to score 12");
  const std::pair<int64_t, int> states[] = {{none, VerifyNone},
                                            {pending, VerifyPending},
                                            {verified, VerifyVerified},
                                            {rejected, VerifyRejected}};
  for (const auto& [id, state] : states) {
    int stored = -1;
    std::string reason;
    ASSERT_TRUE(store->VerifyState(id, stored, reason));
    ASSERT_EQ(stored, state) << id;
    const THttpReply r = service.Handle(Get("/replay/" + std::to_string(id) + ".zwr"), 0);
    if (state == VerifyVerified) {
      EXPECT_EQ(r.Status, 200);
      EXPECT_EQ(r.Body, "ZWRP ride " + std::to_string(id));
    } else {
      EXPECT_EQ(r.Status, 404) << "state " << state;
      EXPECT_EQ(r.Body.find("ride"), std::string::npos) << r.Body;
    }
  }
  EXPECT_EQ(service.Handle(Get("/replay/99.zwr"), 0).Status, 404);
  EXPECT_EQ(service.Handle(Get("/replay/" + std::to_string(verified)), 0).Status, 404);
}

TEST_F(ScoreServiceTest, StoredTextIsEscapedOnThePage) {
  ASSERT_EQ(Submit("Eve", 50, "<script>&'\"").Status, 200);
  const std::string page = service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&type=0"), 0).Body;
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;&amp;&#39;&quot;"), std::string::npos);
}

// Every answer a client or an operator meets, as a table: the request, its status and the one
// header it must carry with its exact value, on both sides of every bound. The rows run in
// order over one store holding a single result that waits for its replay.
TEST_F(ScoreServiceTest, EveryAnswersStatusAndHeaderAsATable) {
  ASSERT_EQ(Submit("Wes", 700, "NZ").Status, 200);
  auto ask = [](const std::string& method, const std::string& target, std::string body = {}) {
    THttpRequest r = Get(target);
    r.Method = method;
    r.Body = std::move(body);
    return r;
  };
  // A replay file of exactly n bytes: the magic, then filler.
  auto zwr = [](size_t n) { return "ZWR\x1a" + std::string(n - 4, 'r'); };
  const std::string replayOfWes =
      online::ReplayTarget(online::EncodeScoreRecord(TScoreRecord{"Wes", 700, "NZ"}));
  const std::string replayOfNobody =
      online::ReplayTarget(online::EncodeScoreRecord(TScoreRecord{"Nobody", 700, "NZ"}));
  // "/api/scores?" is 12 characters: a query of 4084 makes the whole target 4096.
  auto apiOf = [](size_t length) {
    const std::string head = "/api/scores?limit=1&pad=";
    return head + std::string(length - head.size(), 'p');
  };
  const std::string table = "/cgi/version.pl?prg=ZapWheely&show";
  struct TRow {
    THttpRequest Request;
    int Status;
    const char* Header;  // "" for none to check
    const char* Value;
  };
  const TRow rows[] = {
      {ask("GET", "/"), 200, "", ""},
      {ask("GET", "/healthz"), 200, "", ""},
      {ask("POST", "/"), 405, "Allow", "GET, HEAD"},
      {ask("PUT", table), 405, "Allow", "GET, HEAD"},
      {ask("GET", "/replay"), 405, "Allow", "POST"},
      {ask("HEAD", test::SubmitTarget("Wes", 700, "NZ")), 405, "Allow", "GET"},
      {ask("GET", apiOf(4096)), 200, "", ""},
      {ask("GET", apiOf(4097)), 414, "", ""},
      {ask("GET", "/api/scores?limit=1"), 200, "", ""},
      {ask("GET", "/api/scores?limit=1000"), 200, "", ""},
      {ask("GET", "/api/scores?limit=1001"), 400, "", ""},
      {ask("GET", "/api/scores?limit=0"), 400, "", ""},
      {ask("GET", "/api/scores?offset=0"), 200, "", ""},
      {ask("GET", "/api/scores?offset=-1"), 400, "", ""},
      {ask("GET", table + "&page=1"), 200, "", ""},
      {ask("GET", table + "&page=0"), 400, "", ""},
      {ask("GET", table + "&type=0"), 200, "", ""},
      {ask("GET", table + "&type=1"), 400, "", ""},
      {ask("GET", "/cgi/version.pl?prg=ZapWheely"), 400, "", ""},
      {ask("GET", "/cgi/version.pl?prg=Other&show"), 400, "", ""},
      {ask("GET", "/cgi/other.pl?prg=ZapWheely&show"), 404, "", ""},
      {ask("GET", "/replay/1.zwr"), 404, "", ""},  // not verified
      {ask("POST", "/replay", zwr(100)), 400, "", ""},
      {ask("POST", replayOfWes), 400, "", ""},
      {ask("POST", replayOfWes, "\x89PNG\r\n\x1a\n"), 400, "", ""},
      {ask("POST", replayOfNobody, zwr(100)), 404, "", ""},
      {ask("POST", replayOfWes, zwr(1024 * 1024 + 1)), 413, "", ""},
      {ask("POST", replayOfWes, zwr(1024 * 1024)), 202, "", ""},
      // Its result has its replay now: nothing of this record waits for one any more.
      {ask("POST", replayOfWes, zwr(100)), 404, "", ""},
  };
  for (const TRow& row : rows) {
    const THttpReply r = service.Handle(row.Request, 1'800'000'000);
    SCOPED_TRACE(row.Request.Method + " " + row.Request.Path.substr(0, 60) + "?" +
                 row.Request.Query.substr(0, 60));
    EXPECT_EQ(r.Status, row.Status) << r.Body;
    if (*row.Header) {
      std::string value = "(none)";
      for (const auto& [key, v] : r.Headers)
        if (key == row.Header) value = v;
      EXPECT_EQ(value, row.Value) << row.Header;
    }
  }
  int state = 0;
  std::string reason, bytes;
  ASSERT_TRUE(store->VerifyState(1, state, reason));
  EXPECT_EQ(state, VerifyPending);
  ASSERT_TRUE(store->ReplayData(1, bytes));
  EXPECT_EQ(bytes.size(), 1024u * 1024u) << "the first replay in is the one kept";
}

// What the pages say about each result, as a table over the four states a result's proof can
// be in, and the home page's short list of the five best verified results.
TEST_F(ScoreServiceTest, EachProofStateShowsItsOwnMarkAndOnlyVerifiedOnesLinkTheirReplay) {
  struct TRow {
    const char* Name;
    int Score;
    int State;
    const char* Mark;  // the words in the Proof cell
    bool Replay;       // whether the cell links the replay
  };
  const TRow rows[] = {{"Nora", 400, VerifyNone, "unverified", false},
                       {"Pat", 300, VerifyPending, "checking", false},
                       {"Vic", 200, VerifyVerified, "verified", true},
                       {"Rex", 100, VerifyRejected, "rejected", false}};
  for (const TRow& row : rows) {
    const int64_t id = store->AddScore({row.Name, row.Score, "", 0});
    if (row.State == VerifyNone) continue;
    ASSERT_TRUE(store->AttachReplay(id, "ZWR\x1a", 0));
    if (row.State != VerifyPending) store->SetVerdict(id, row.State == VerifyVerified, "why");
  }
  const std::string page = service.Handle(Get("/cgi/version.pl?prg=ZapWheely&show&type=0"), 0).Body;
  const std::string json = service.Handle(Get("/api/scores"), 0).Body;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const TRow& row = rows[i];
    SCOPED_TRACE(row.Name);
    const size_t at = page.find("<td>" + std::string(row.Name) + "</td>");
    ASSERT_NE(at, std::string::npos) << page;
    const std::string line = page.substr(at, page.find("</tr>", at) - at);
    const std::string cell = line.substr(line.find("<td class=\"mark"));
    // The words as a reader sees them, tags left out.
    std::string words;
    bool inTag = false;
    for (char c : cell) {
      if (c == '<') inTag = true;
      if (!inTag) words += c;
      if (c == '>') inTag = false;
    }
    const std::string link = "href=\"/replay/" + std::to_string(i + 1) + ".zwr\"";
    if (row.Replay) {
      EXPECT_EQ(words, "&#10004; verified replay");
      EXPECT_NE(cell.find(link), std::string::npos) << cell;
      EXPECT_NE(
          json.find("\"verified\":true,\"replay\":\"/replay/" + std::to_string(i + 1) + ".zwr\"}"),
          std::string::npos)
          << json;
    } else {
      EXPECT_EQ(words, row.Mark);
      EXPECT_EQ(cell.find("href"), std::string::npos) << cell;
    }
    EXPECT_NE(json.find("\"name\":\"" + std::string(row.Name) +
                        "\",\"score\":" + std::to_string(row.Score)),
              std::string::npos);
  }
  // A verified result's replay comes as a download named after it, cached for an hour.
  const THttpReply download = service.Handle(Get("/replay/3.zwr"), 0);
  ASSERT_EQ(download.Status, 200);
  EXPECT_EQ(download.ContentType, "application/octet-stream");
  const std::vector<std::pair<std::string, std::string>> headers = {
      {"Content-Disposition", "attachment; filename=\"zapwheely-3.zwr\""},
      {"Cache-Control", "max-age=3600"}};
  EXPECT_EQ(download.Headers, headers);

  // The home page lists the five best verified results and no more: with six, the sixth best
  // is left out, and a rejected or unverified one never shows.
  EXPECT_EQ(service.Handle(Get("/"), 0).Body.find("No verified result yet."), std::string::npos);
  for (int i = 1; i <= 5; ++i) {
    const int64_t id = store->AddScore({"Ver" + std::to_string(i), 1000 - i, "", 0});
    ASSERT_TRUE(store->AttachReplay(id, "ZWR\x1a", 0));
    store->SetVerdict(id, true, "");
  }
  const std::string home = service.Handle(Get("/"), 0).Body;
  for (const char* shown : {"Ver1", "Ver2", "Ver3", "Ver4", "Ver5"})
    EXPECT_NE(home.find(std::string("<td>") + shown + "</td>"), std::string::npos) << shown;
  for (const char* left : {"Vic", "Nora", "Pat", "Rex"})
    EXPECT_EQ(home.find(std::string("<td>") + left + "</td>"), std::string::npos) << left;
  EXPECT_NE(home.find("href=\"/cgi/version.pl?prg=ZapWheely&amp;show&amp;type=0\""),
            std::string::npos);
}

TEST(ScoreStore, ConcurrentSubmissionsAreAllCommittedWithDistinctIds) {
  test::TTempDir dir;
  auto store = OpenScoreStore(dir.Path() + "/s.db");
  std::vector<std::thread> threads;
  std::vector<std::vector<int64_t>> ids(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 40; ++i) ids[t].push_back(store->AddScore({"T", t * 100 + i, "", 0}));
    });
  }
  for (auto& th : threads) th.join();
  std::set<int64_t> all;
  for (const auto& v : ids) {
    for (size_t i = 1; i < v.size(); ++i) EXPECT_LT(v[i - 1], v[i]);
    all.insert(v.begin(), v.end());
  }
  EXPECT_EQ(all.size(), 320u);
  EXPECT_EQ(store->Count(), 320);
}

// Results handed over without waiting (the event loop's way in) share groups with waiting
// callers; each is answered exactly once, only once it can be read back, and a store closed
// with some still queued commits them before it goes.
TEST(ScoreStore, HandedOverResultsAreAnsweredOnceCommittedAndKeptWhenTheStoreCloses) {
  test::TTempDir dir;
  const std::string path = dir.Path() + "/s.db";
  std::mutex mutex;
  std::vector<int64_t> answered;
  int unreadable = 0, failed = 0;
  {
    auto store = OpenScoreStore(path);
    ASSERT_TRUE(store->AddsInBackground());
    IScoreStore* s = store.get();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < 50; ++i) {
          s->AddScoreLater({"Later", t * 100 + i, "", 0}, [&, s](int64_t id, const std::string& e) {
            int state = 0;
            std::string reason;
            const bool readable = s->VerifyState(id, state, reason);
            std::lock_guard lock(mutex);
            answered.push_back(id);
            unreadable += !readable;
            failed += !e.empty();
          });
        }
      });
    }
    std::vector<int64_t> waited;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 20; ++i) {
          const int64_t id = s->AddScore({"Wait", i, "", 0});
          std::lock_guard lock(mutex);
          waited.push_back(id);
        }
      });
    }
    for (auto& th : threads) th.join();
    std::lock_guard lock(mutex);
    answered.insert(answered.end(), waited.begin(), waited.end());
  }
  std::set<int64_t> distinct(answered.begin(), answered.end());
  EXPECT_EQ(answered.size(), 240u);
  EXPECT_EQ(distinct.size(), 240u);
  EXPECT_EQ(unreadable, 0);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(OpenScoreStore(path)->Count(), 240);

  // Another connection holds the write lock while results queue and the store is closed
  // meanwhile: the queued results are committed and answered before it goes.
  auto store = OpenScoreStore(path);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::atomic<int> late{0};
  for (int i = 0; i < 30; ++i)
    store->AddScoreLater({"Late", i, "", 0}, [&](int64_t, const std::string& e) {
      if (e.empty()) ++late;
    });
  std::thread closing([&] { store.reset(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(late.load(), 0);
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  closing.join();
  EXPECT_EQ(late.load(), 30);
  EXPECT_EQ(OpenScoreStore(path)->Count(), 270);
}

TEST(ScoreStore, PageWalksTheIndexAndANewerSchemaIsRefused) {
  test::TTempDir dir;
  const std::string path = dir.Path() + "/s.db";
  {
    auto store = OpenScoreStore(path);
    // A commit is on the disk when the game gets its OK (2 is FULL), readers run beside it.
    EXPECT_EQ(SqliteWriterSetting(*store, "synchronous"), "2");
    EXPECT_EQ(SqliteWriterSetting(*store, "journal_mode"), "wal");
    const std::string plan = store->PagePlan();
    // A deep page walks the index only from the bucket its first rank lies in.
    EXPECT_NE(plan.find("SEARCH scores USING COVERING INDEX scores_table_order (score<?)"),
              std::string::npos)
        << plan;
  }
  // Opening again keeps the data and the schema as they are.
  {
    auto store = OpenScoreStore(path);
    store->AddScore({"A", 1, "", 0});
  }
  {
    auto store = OpenScoreStore(path);
    EXPECT_EQ(store->Count(), 1);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE schema_version SET version = 99", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  try {
    OpenScoreStore(path);
    ADD_FAILURE() << "a newer schema was opened";
  } catch (const TStoreRefused& e) {
    EXPECT_NE(std::string(e.what()).find("schema version 99"), std::string::npos) << e.what();
  }
}

// SQL straight on an SQLite file, beside the store's own connections.
test::TRawSql RawSqlite(const std::string& path) {
  return [path](const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    const std::string msg = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << msg << "\n" << sql.substr(0, 200);
  };
}

TEST(ScoreStore, DeepPagesGiveExactRanks) {
  test::TTempDir dir;
  const std::string path = dir.Path() + "/s.db";
  auto store = OpenScoreStore(path);
  test::CheckRanksMatchPlainOrder(*store, RawSqlite(path));
}

TEST(ScoreStore, AVersion1DatabaseGetsItsCountsAtStartUp) {
  test::TTempDir dir;
  const std::string path = dir.Path() + "/s.db";
  test::CheckRanksAfterUpgradeFromVersion1(
      path,
      "CREATE TABLE schema_version (version INTEGER NOT NULL); "
      "INSERT INTO schema_version VALUES (1); "
      "CREATE TABLE scores (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, "
      "score INTEGER NOT NULL, country TEXT NOT NULL, submitted INTEGER NOT NULL); "
      "CREATE INDEX scores_table_order ON scores (score DESC, id ASC)",
      RawSqlite(path));
}

// A version-3 file's insert trigger counted every row itself; left as it was, the writer's own
// folding of a group's counts would count each new result twice.
TEST(ScoreStore, AVersion3FileKeepsExactRanksAfterItsUpgrade) {
  test::TTempDir dir;
  const std::string path = dir.Path() + "/s.db";
  OpenScoreStore(path)->AddScore({"early", 5, "", 0});
  RawSqlite(path)(
      "DROP TABLE score_count_hold; DROP TRIGGER scores_count_insert; "
      "CREATE TRIGGER scores_count_insert AFTER INSERT ON scores BEGIN "
      "INSERT INTO score_bands (band, n) VALUES (NEW.score >> 12, 1) "
      "ON CONFLICT (band) DO UPDATE SET n = n + 1; "
      "INSERT INTO score_buckets (bucket, n) VALUES (NEW.score >> 4, 1) "
      "ON CONFLICT (bucket) DO UPDATE SET n = n + 1; END; "
      "UPDATE schema_version SET version = 3");
  auto store = OpenScoreStore(path);
  RawSqlite(path)("DELETE FROM scores");
  test::CheckRanksMatchPlainOrder(*store, RawSqlite(path));
}

}  // namespace
}  // namespace zw::scores
