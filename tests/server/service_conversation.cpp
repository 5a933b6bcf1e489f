// The scripted conversation with the score service. Every exchange is recorded whole: the
// request, the status, every header in the order the service gives them, and the body.
#include "tests/server/service_conversation.hpp"

#include <cstdio>
#include <fstream>
#include <vector>

#include "online/score_record.hpp"
#include "online/submission.hpp"
#include "server/service.hpp"
#include "server/validate.hpp"
#include "tests/server/scores_process.hpp"
#include "tests/server/transcript.hpp"

namespace zw::scores::test {
namespace {

using online::TScoreRecord;

// Seconds since 1970 of a day (counted by hand from 1970-01-01) and a time of that day.
constexpr int64_t Day(int64_t days, int h = 0, int m = 0, int s = 0) {
  return days * 86400 + h * 3600 + m * 60 + s;
}
// 2001-02-03: 31 years of 365 days and 8 leap days, then January's 31 and 2 more.
constexpr int64_t Feb3Of2001 = 31 * 365 + 8 + 31 + 2;
// 2021-07-25: 51 years, 13 leap days, January to June (181 days), then 24.
constexpr int64_t Jul25Of2021 = 51 * 365 + 13 + 181 + 24;
// 1999-12-31: 29 years, 7 leap days, then 364 days.
constexpr int64_t Dec31Of1999 = 29 * 365 + 7 + 364;
// 2024-02-29: 54 years, 13 leap days (1972..2020), January's 31, then 28.
constexpr int64_t Feb29Of2024 = 54 * 365 + 13 + 31 + 28;
// 2038-01-19, the day a 32-bit clock runs out.
constexpr int64_t Jan19Of2038 = 68 * 365 + 17 + 18;

// Stands in front of the real store and fails on demand, as a full disk (commits refused, the
// database answering) or a database gone away (nothing answers) would.
class TFailingStore final : public IScoreStore {
 public:
  explicit TFailingStore(IScoreStore& store) : s_(store) {}
  bool Full = false;
  bool Away = false;

  int64_t AddScore(const TNewScore& score) override {
    Gate();
    if (Full) throw TStoreUnavailable("database or disk is full");
    return s_.AddScore(score);
  }
  void AddScores(const std::vector<TNewScore>& scores) override {
    Gate();
    s_.AddScores(scores);
  }
  int64_t Count() override { return Gate(), s_.Count(); }
  std::vector<TScoreRow> Page(int64_t offset, int64_t limit) override {
    return Gate(), s_.Page(offset, limit);
  }
  std::vector<TScoreRow> VerifiedPage(int64_t offset, int64_t limit) override {
    return Gate(), s_.VerifiedPage(offset, limit);
  }
  int64_t FindAwaitingReplay(const TNewScore& r) override {
    return Gate(), s_.FindAwaitingReplay(r);
  }
  bool AttachReplay(int64_t id, const std::string& bytes, int64_t now) override {
    return Gate(), s_.AttachReplay(id, bytes, now);
  }
  std::vector<TPendingReplay> PendingReplays(int64_t limit) override {
    return Gate(), s_.PendingReplays(limit);
  }
  bool ReplayData(int64_t id, std::string& bytes) override {
    return Gate(), s_.ReplayData(id, bytes);
  }
  void SetVerdict(int64_t id, bool verified, const std::string& reason) override {
    Gate();
    s_.SetVerdict(id, verified, reason);
  }
  bool VerifyState(int64_t id, int& state, std::string& reason) override {
    return Gate(), s_.VerifyState(id, state, reason);
  }
  bool Ping() override { return !Away && s_.Ping(); }
  std::string PagePlan() override { return s_.PagePlan(); }
  void Optimize() override { s_.Optimize(); }

 private:
  void Gate() const {
    if (Away) throw TStoreUnavailable("could not connect to the database");
  }
  IScoreStore& s_;
};

// The verifier's queue as the service meets it: it takes replays until it is full. What was
// offered is part of the recording.
class TRecordingSink final : public IVerifySink {
 public:
  size_t Room = 2;
  std::string Offers;
  bool Offer(const TPendingReplay& job) override {
    const bool taken = Room > 0;
    if (taken) --Room;
    Offers += "[offered to the verifier: result " + std::to_string(job.Id) + ", score " +
              std::to_string(job.Score) + (taken ? ", taken]\n" : ", queue full]\n");
    return taken;
  }
};

class TConversation {
 public:
  TConversation(IScoreStore& store, TServiceOptions options)
      : service_(std::make_unique<TScoreService>(store, std::move(options))) {}

  // Replaces the service (new options) on the same store; the recording goes on.
  void Restart(IScoreStore& store, TServiceOptions options) {
    service_ = std::make_unique<TScoreService>(store, std::move(options));
    Note("the service starts again with other options");
  }

  void Note(const std::string& text) { out_ += "\n# " + text + "\n"; }

  void Ask(const std::string& method, const std::string& target, int64_t now,
           const std::string& body = {}, const std::string& client = "192.0.2.10") {
    THttpRequest r;
    r.Method = method;
    const size_t q = target.find('?');
    r.Path = target.substr(0, q);
    if (q != std::string::npos) r.Query = target.substr(q + 1);
    r.Client = client;
    r.Body = body;
    const THttpReply reply = service_->Handle(r, now);
    std::string shown = target.size() > 160 ? target.substr(0, 120) + "...(" +
                                                  std::to_string(target.size()) + " characters)"
                                            : target;
    out_ += "--- " + std::to_string(++n_) + ". " + method + " " + shown + "\n";
    out_ += "  from " + client + " at " + UtcText(now) + " (" + std::to_string(now) + ")\n";
    // The record a submission or replay names, as a reader would want to see it.
    if (const size_t inf = r.Query.find("inf="); inf != std::string::npos) {
      const std::string code = r.Query.substr(inf + 4, r.Query.find('&', inf) - inf - 4);
      TScoreRecord rec;
      std::string why;
      out_ += online::DecodeScoreRecord(code, rec, why)
                  ? "  record: name \"" + rec.Name + "\", score " + std::to_string(rec.Score) +
                        ", country \"" + rec.Country + "\"\n"
                  : "  record: not readable\n";
    }
    if (!body.empty())
      out_ += "  body: " + std::to_string(body.size()) + " bytes, fnv " + Fnv64(body) + "\n";
    if (sink_ && !sink_->Offers.empty()) {
      out_ += "  " + sink_->Offers;
      sink_->Offers.clear();
    }
    out_ += "< " + std::to_string(reply.Status) + "\n";
    out_ += "< Content-Type: " + reply.ContentType + "\n";
    if (reply.HeadLength >= 0)
      out_ += "< (HEAD: a GET's body is " + std::to_string(reply.HeadLength) + " bytes)\n";
    for (const auto& [k, v] : reply.Headers) out_ += "< " + k + ": " + v + "\n";
    out_ += BodyText(reply.ContentType, reply.Body);
  }
  void Get(const std::string& target, int64_t now, const std::string& client = "192.0.2.10") {
    Ask("GET", target, now, {}, client);
  }

  void Watch(TRecordingSink* sink) { sink_ = sink; }
  const std::string& Text() const { return out_; }

 private:
  std::unique_ptr<TScoreService> service_;
  TRecordingSink* sink_ = nullptr;
  std::string out_;
  int n_ = 0;
};

const std::string Table = "/cgi/version.pl?prg=ZapWheely&show&type=0";
const int64_t Noon = Day(Jul25Of2021, 12);

std::string Record(const std::string& name, int score, const std::string& country) {
  return online::EncodeScoreRecord(TScoreRecord{name, score, country});
}

std::string Zwr(size_t n) {
  return "ZWR\x1a" + std::string(n - 4, 'r');
}

void RoutesAndRefusals(IScoreStore& store, TConversation& c) {
  c.Note("an empty table: every route, and everything it refuses");
  c.Get("/", Noon);
  c.Ask("HEAD", "/", Noon);
  c.Get("/healthz", Noon);
  c.Ask("HEAD", "/healthz", Noon);
  c.Get(Table, Noon);
  c.Get("/api/scores", Noon);
  for (const char* path : {"/nowhere", "/cgi/other.pl?prg=ZapWheely&show", "/index.html",
                           "/api/scores/", "/docs/", "/docs/menu.png", "/docs/Shot.png",
                           "/docs/../CMakeLists.txt", "/docs/shot.png.txt", "/docs/missing.png"})
    c.Get(path, Noon);
  c.Get("/docs/shot.png", Noon);
  c.Ask("HEAD", "/docs/shot.png", Noon);
  c.Note("methods each address takes");
  c.Ask("POST", "/", Noon, "x");
  c.Ask("PUT", Table, Noon);
  c.Ask("DELETE", "/api/scores", Noon);
  c.Ask("OPTIONS", "/healthz", Noon);
  c.Get("/replay", Noon);
  c.Ask("HEAD", "/replay", Noon);
  c.Ask("HEAD", test::SubmitTarget("Hal", 10, "UK"), Noon);
  c.Note("the longest address taken and one character more");
  const std::string api = "/api/scores?limit=1&pad=";
  c.Get(api + std::string(4096 - api.size(), 'p'), Noon);
  c.Get(api + std::string(4097 - api.size(), 'p'), Noon);
  c.Note("the table's questions, plain, percent-encoded and odd");
  for (const char* q :
       {"/cgi/version.pl", "/cgi/version.pl?prg=Other&show", "/cgi/version.pl?prg=ZapWheely",
        "/cgi/version.pl?prg=zapwheely&show", "/cgi/version.pl?prg=Zap%57heely&show",
        "/cgi/version.pl?show&prg=ZapWheely&&&type=0", "/cgi/version.pl?prg=ZapWheely&show&type=1",
        "/cgi/version.pl?prg=ZapWheely&show&type=", "/cgi/version.pl?prg=ZapWheely&show&page=0",
        "/cgi/version.pl?prg=ZapWheely&show&page=-1", "/cgi/version.pl?prg=ZapWheely&show&page=1x",
        "/cgi/version.pl?prg=ZapWheely&show&page=%32", "/cgi/version.pl?prg=ZapWheely&show&page=02",
        "/cgi/version.pl?prg=ZapWheely&show&page=10000000",
        "/cgi/version.pl?prg=ZapWheely&show&page=10000001",
        "/cgi/version.pl?prg=ZapWheely&show=yes&page=3&page=x"})
    c.Get(q, Noon);
  c.Note("the JSON view's questions");
  for (const char* q :
       {"/api/scores?limit=0", "/api/scores?limit=1", "/api/scores?limit=1000",
        "/api/scores?limit=1001", "/api/scores?limit=abc",
        "/api/scores?limit=", "/api/scores?offset=-1", "/api/scores?offset=0",
        "/api/scores?offset=1000000000000", "/api/scores?offset=1000000000001",
        "/api/scores?offset=%31&limit=%35", "/api/scores?limit=2&limit=x", "/api/scores?other=1"})
    c.Get(q, Noon);
  c.Note("submissions refused, each for its own reason, and none stored");
  std::string damaged = Record("Max", 1200, "NL");
  damaged[damaged.size() - 3] = '-';
  for (const std::string& q :
       {std::string("/cgi/version.pl?hs&prg=ZapWheely"),
        std::string("/cgi/version.pl?hs&prg=Other&inf=") + Record("Max", 1200, "NL"),
        "/cgi/version.pl?hs&prg=ZapWheely&inf=" + damaged,
        std::string("/cgi/version.pl?hs&prg=ZapWheely&inf=Zq4W"),
        std::string("/cgi/version.pl?hs&prg=ZapWheely&inf="), test::SubmitTarget("Bob!", 10, "UK"),
        test::SubmitTarget("Ab 12 cd 34 X", 10, "UK"), test::SubmitTarget("Bob", -1, "UK"),
        test::SubmitTarget("Bob", MaxGameScore + 1, "UK"),
        test::SubmitTarget("Bob", 10, "Seventeen chars!!"),
        test::SubmitTarget("Bob", 10, "tab\there"), test::SubmitTarget("Bob", 10, "del\x7f"),
        test::SubmitTarget("Bob", 10, "x\x81")})
    c.Get(q, Noon);
  c.Note("submissions taken, at the bounds");
  c.Get(test::SubmitTarget("Ab 12 cd 34X", MaxGameScore, "Sixteen chars ok"), Noon);
  c.Get(test::SubmitTarget("", 0, ""), Noon + 1);
  c.Get(test::SubmitTarget("Zoe", 5,
                           "Espa\xf1"
                           "a \x80"),
        Noon + 2);
  c.Get("/cgi/version.pl?prg=ZapWheely&hs&inf=" + Record("Pct", 7, "") + "&extra=%zz", Noon + 3);
  c.Get(Table, Noon + 4);
  c.Get("/api/scores", Noon + 4);
  (void)store;
}

void TableDatesAndPages(IScoreStore& store, TConversation& c) {
  c.Note("results at days and times a date could be written wrong at");
  struct TAt {
    const char* Name;
    int Score;
    int64_t At;
    const char* Country;
  };
  const TAt results[] = {
      {"Late", 900, Day(Feb3Of2001, 23, 59, 59), "UK"},
      {"Early", 900, Day(Feb3Of2001 + 1), "UK"},
      {"Summer", 800, Day(Jul25Of2021, 12),
       "Espa\xf1"
       "a"},
      {"Eve", 800, Day(Jul25Of2021) - 1,
       "Fran\xe7"
       "e \x80"},
      {"Millennium", 700, Day(Dec31Of1999, 23, 59, 59), "<b>&'\"x"},
      {"Leap", 650, Day(Feb29Of2024, 6, 30), "NZ"},
      {"Epoch", 600, 0, ""},
      {"Far", 550, Day(Jan19Of2038, 3, 14, 8), "JP"},
  };
  int client = 1;
  for (const TAt& r : results)
    c.Get(test::SubmitTarget(r.Name, r.Score, r.Country), r.At,
          "192.0.2." + std::to_string(client++));
  c.Note("results stored by an operator's tool, with text no game sends");
  store.AddScore({"Back\\slash", 500, "a\\u0041\\", Day(Feb3Of2001, 12)});
  store.AddScore({"Ctl\x01\x1f\x7f", 450, "tab\there\nnew", Day(Feb3Of2001, 12)});
  store.AddScore({"Q\"<&>'", 400, "</td><script>", Day(Feb3Of2001, 12)});
  store.AddScore({"Grüße", 350, "Ελλάδα 日本", Day(Feb3Of2001, 12)});
  c.Get(Table, Noon);
  c.Get("/api/scores", Noon);
  c.Get("/api/scores?offset=1&limit=2", Noon);
  c.Get(Table + "&page=2", Noon);

  c.Note("the table filled to exactly one page");
  std::vector<TNewScore> rows;
  for (int i = 13; i <= 100; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Row %03d", i);
    rows.push_back({name, 300 - i, "", Day(Feb3Of2001 + i, 10)});
  }
  store.AddScores(rows);
  c.Get(Table, Noon);
  c.Get(Table + "&page=2", Noon);
  c.Get("/api/scores?offset=99", Noon);
  c.Get("/api/scores?offset=100", Noon);
  c.Note("one more: a second page of one row");
  c.Get(test::SubmitTarget("Last", 1, "IE"), Noon);
  c.Get(Table, Noon);
  c.Get(Table + "&page=2", Noon);
  c.Get(Table + "&page=3", Noon);
  c.Get("/api/scores?offset=99&limit=5", Noon);
  c.Get("/api/scores?limit=1000", Noon);
}

void ReplaysAndProof(IScoreStore& store, TConversation& c, TRecordingSink& sink) {
  c.Note("results, then their replays: kept, matched to their record, and refused");
  const char* names[] = {"Vera", "Rudi", "Pia", "Nell", "Otto", "Uma"};
  for (int i = 0; i < 6; ++i) c.Get(test::SubmitTarget(names[i], 600 - 100 * i, "DE"), Noon + i);
  auto replayOf = [](const std::string& name, int score) {
    return online::ReplayTarget(Record(name, score, "DE"));
  };
  c.Ask("POST", "/replay", Noon, Zwr(100));
  c.Ask("POST", "/replay?inf=", Noon, Zwr(100));
  c.Ask("POST", "/replay?inf=Zq4W", Noon, Zwr(100));
  c.Ask("POST", online::ReplayTarget(Record("Bob!", 1, "DE")), Noon, Zwr(100));
  c.Ask("POST", replayOf("Vera", 600), Noon);
  c.Ask("POST", replayOf("Vera", 600), Noon, "\x89PNG\r\n\x1a\n");
  c.Ask("POST", replayOf("Vera", 600), Noon, "ZWR");
  c.Ask("POST", replayOf("Vera", 601), Noon, Zwr(100));
  c.Ask("POST", replayOf("Vera", 600), Noon, Zwr(MaxReplayBytes + 1));
  c.Ask("POST", replayOf("Vera", 600), Noon, Zwr(MaxReplayBytes));
  c.Ask("POST", replayOf("Vera", 600), Noon, Zwr(100));
  c.Ask("POST", replayOf("Rudi", 500), Noon, Zwr(200));
  c.Ask("POST", replayOf("Pia", 400), Noon, Zwr(300));
  c.Ask("POST", replayOf("Otto", 200), Noon, Zwr(400));
  c.Ask("GET", replayOf("Otto", 200), Noon);
  c.Note("every result with a replay waits for its ride");
  c.Get(Table, Noon);
  c.Get("/", Noon);
  for (const TPendingReplay& p : store.PendingReplays(10))
    c.Note("waiting: result " + std::to_string(p.Id) + " for score " + std::to_string(p.Score));
  c.Note("the rides: Vera's and Otto's reach their score, Rudi's does not, Pia's waits still");
  store.SetVerdict(1, true, "");
  store.SetVerdict(2, false, "rides to score 12, not the submitted 500");
  store.SetVerdict(5, true, "");
  c.Get(Table, Noon);
  c.Get("/api/scores", Noon);
  c.Get("/", Noon);
  for (const char* path : {"/replay/1.zwr", "/replay/5.zwr", "/replay/2.zwr", "/replay/3.zwr",
                           "/replay/4.zwr", "/replay/99.zwr", "/replay/0.zwr", "/replay/1",
                           "/replay/01.zwr", "/replay/x.zwr", "/replay/1.zwr.zwr", "/replay/"})
    c.Get(path, Noon);
  c.Ask("HEAD", "/replay/5.zwr", Noon);

  c.Note("six verified results: the home page shows the best five");
  for (int i = 1; i <= 4; ++i) {
    const int64_t id = store.AddScore({"Ver" + std::to_string(i), 1000 - i, "", Noon});
    store.AttachReplay(id, Zwr(10 + static_cast<size_t>(i)), Noon);
    store.SetVerdict(id, true, "");
  }
  c.Get("/", Noon);

  TServiceOptions strict;
  strict.RateLimitPerMinute = 0;
  strict.RequireReplay = true;
  strict.Verifier = &sink;
  c.Restart(store, strict);
  c.Note("with --require-replay only verified results are listed");
  c.Get(Table, Noon);
  c.Get("/api/scores", Noon);
  c.Get("/api/scores?offset=5&limit=2", Noon);
  c.Get(Table + "&page=2", Noon);
  c.Get("/", Noon);
}

void LimitsAndHealth(IScoreStore& real, TConversation& c, TFailingStore& store) {
  c.Note("two submissions a minute from one address: the third waits for the next minute");
  const int64_t minute = Day(Feb3Of2001, 23, 58);  // the last minutes before midnight
  int score = 1;
  for (const int second : {0, 1, 29, 58, 59}) {
    const int64_t at = minute - 600 + 120 * score + second;
    const std::string client = "198.51.100.7";
    c.Get(test::SubmitTarget("Rita", score, "UK"), at, client);
    c.Get(test::SubmitTarget("Rita", score, "UK"), at, client);
    c.Get(test::SubmitTarget("Rita", score, "UK"), at, client);
    c.Get(test::SubmitTarget("Rita", score, "UK"), at, "198.51.100.8");
    ++score;
  }
  c.Note("over midnight: 23:59:59 is the old minute, 00:00:00 a new one");
  c.Get(test::SubmitTarget("Mid", 1, ""), Day(Feb3Of2001, 23, 59, 59), "203.0.113.1");
  c.Get(test::SubmitTarget("Mid", 2, ""), Day(Feb3Of2001, 23, 59, 59), "203.0.113.1");
  c.Get(test::SubmitTarget("Mid", 3, ""), Day(Feb3Of2001, 23, 59, 59), "203.0.113.1");
  c.Get(test::SubmitTarget("Mid", 4, ""), Day(Feb3Of2001 + 1), "203.0.113.1");
  c.Note("an IPv6 household is one /64; a refused attempt still counts");
  c.Get(test::SubmitTarget("Six", 1, ""), Noon, "2001:db8:1:2::1");
  c.Get(test::SubmitTarget("Bad!", 1, ""), Noon, "2001:db8:1:2::ffff");
  c.Get(test::SubmitTarget("Six", 2, ""), Noon, "2001:db8:1:2:aaaa::9");
  c.Get(test::SubmitTarget("Six", 3, ""), Noon, "2001:db8:1:3::1");
  c.Get(test::SubmitTarget("Six", 4, ""), Noon, "::ffff:198.51.100.7");
  c.Note("replays have their own count");
  c.Ask("POST", "/replay", Noon + 17, Zwr(100), "198.51.100.9");
  c.Ask("POST", "/replay", Noon + 17, Zwr(100), "198.51.100.9");
  c.Ask("POST", "/replay", Noon + 17, Zwr(100), "198.51.100.9");
  c.Get(test::SubmitTarget("Ray", 9, ""), Noon + 17, "198.51.100.9");
  c.Get("/api/scores", Noon);

  c.Note("the disk fills: results are refused and the health check says so");
  store.Full = true;
  c.Get(test::SubmitTarget("Full", 10, ""), Noon + 60);
  c.Get("/healthz", Noon + 61);
  c.Get(Table, Noon + 62);
  c.Note("the disk is freed: the health check stays failing until a result is stored");
  store.Full = false;
  c.Get("/healthz", Noon + 63);
  c.Get(test::SubmitTarget("Freed", 11, ""), Noon + 64);
  c.Get("/healthz", Noon + 65);
  c.Note("the database goes away, and comes back");
  store.Away = true;
  c.Get("/healthz", Noon + 120);
  c.Get(test::SubmitTarget("Away", 12, ""), Noon + 121);
  c.Get(Table, Noon + 122);
  c.Get("/api/scores", Noon + 122);
  c.Get("/", Noon + 122);
  c.Get("/replay/1.zwr", Noon + 122);
  c.Ask("POST", online::ReplayTarget(Record("Freed", 11, "")), Noon + 122, Zwr(50));
  store.Away = false;
  c.Get("/healthz", Noon + 180);
  c.Get(test::SubmitTarget("Back", 13, ""), Noon + 181);
  c.Get("/api/scores?limit=3", Noon + 182);
  (void)real;
}

}  // namespace

std::string PlayConversation(const std::string& part, IScoreStore& store) {
  // The home page's pictures: one small file of our own, so the recording holds no screenshot.
  TTempDir docs;
  std::ofstream(docs.Path() + "/shot.png", std::ios::binary) << "\x89PNG\r\n\x1a\nnot a picture";
  TServiceOptions options;
  options.RateLimitPerMinute = 0;
  options.DocsDir = docs.Path();
  TRecordingSink sink;
  if (part == "routes-and-refusals") {
    TConversation c(store, options);
    RoutesAndRefusals(store, c);
    return c.Text();
  }
  if (part == "table-dates-and-pages") {
    TConversation c(store, options);
    TableDatesAndPages(store, c);
    return c.Text();
  }
  if (part == "replays-and-proof") {
    options.Verifier = &sink;
    TConversation c(store, options);
    c.Watch(&sink);
    ReplaysAndProof(store, c, sink);
    return c.Text();
  }
  TFailingStore failing(store);
  options.RateLimitPerMinute = 2;
  TConversation c(failing, options);
  LimitsAndHealth(store, c, failing);
  return c.Text();
}

}  // namespace zw::scores::test
