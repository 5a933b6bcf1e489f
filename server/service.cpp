// The score service's routes: the game's submission, the public table, the home page, the JSON
// view and the health check.
#include "server/service.hpp"

#include <arpa/inet.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

#include "online/score_record.hpp"
#include "online/submission.hpp"
#include "server/validate.hpp"

namespace zw::scores {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 &&
               HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

const std::string* Find(const std::vector<std::pair<std::string, std::string>>& q,
                        std::string_view key) {
  for (const auto& [k, v] : q)
    if (k == key) return &v;
  return nullptr;
}

// A whole number from lo to hi, written plainly; false for anything else.
bool ParseNumber(const std::string& text, int64_t lo, int64_t hi, int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
  value = v;
  return true;
}

THttpReply Text(int status, std::string body) {
  THttpReply r;
  r.Status = status;
  r.Body = std::move(body);
  if (r.Body.empty() || r.Body.back() != '\n') r.Body += '\n';
  return r;
}

THttpReply Html(std::string body) {
  THttpReply r;
  r.ContentType = "text/html; charset=utf-8";
  r.Body = std::move(body);
  return r;
}

THttpReply Unavailable() {
  THttpReply r = Text(503, "the score database is not answering; try again shortly");
  r.Headers.emplace_back("Retry-After", "5");
  return r;
}

// The page frame every HTML page shares: readable on a phone (viewport, fluid width) and on a
// desktop (a centred column).
std::string PageStart(std::string_view title) {
  std::string s;
  s += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  s += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  s += "<title>" + HtmlEscape(title) + "</title>\n";
  s += R"(<style>
body { margin: 0; font-family: system-ui, sans-serif; background: #11151c; color: #e8e8e8; }
main { max-width: 56rem; margin: 0 auto; padding: 1rem; }
h1 { color: #ffcc33; margin: 0.5rem 0 1rem; font-size: 1.8rem; }
h2 { color: #ffcc33; font-size: 1.3rem; }
a { color: #66ccff; }
table { width: 100%; border-collapse: collapse; }
th, td { padding: 0.4rem 0.5rem; text-align: left; border-bottom: 1px solid #2c3442; }
th { background: #1d2430; color: #ffcc33; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; }
tr:nth-child(even) td { background: #161b24; }
nav.pages { display: flex; justify-content: space-between; margin: 1rem 0; }
.shots { display: grid; grid-template-columns: repeat(2, 1fr); gap: 0.8rem; }
.shots img { width: 100%; height: auto; border: 1px solid #2c3442; }
pre { background: #1d2430; padding: 0.8rem; overflow-x: auto; }
td.mark { white-space: nowrap; color: #8a93a3; }
td.verified { color: #66dd88; }
td.rejected { color: #dd6666; }
@media (max-width: 36rem) {
  .date, .country { display: none; }
  h1 { font-size: 1.4rem; }
  .shots { grid-template-columns: 1fr; }
}
</style>
</head>
<body>
<main>
)";
  return s;
}

const char* const PageEnd = "</main>\n</body>\n</html>\n";

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string DateText(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return buf;
}

std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t at = 0;
  while (at <= query.size()) {
    size_t end = query.find('&', at);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view part = query.substr(at, end - at);
    if (!part.empty()) {
      const size_t eq = part.find('=');
      if (eq == std::string_view::npos)
        out.emplace_back(PercentDecode(part), std::string());
      else
        out.emplace_back(PercentDecode(part.substr(0, eq)), PercentDecode(part.substr(eq + 1)));
    }
    at = end + 1;
  }
  return out;
}

std::string AddressKey(const std::string& address) {
  in6_addr v6{};
  if (inet_pton(AF_INET6, address.c_str(), &v6) != 1) return address;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    char buf[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, v6.s6_addr + 12, buf, sizeof buf);
    return buf;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02x%02x:%02x%02x:%02x%02x:%02x%02x::/64", v6.s6_addr[0],
                v6.s6_addr[1], v6.s6_addr[2], v6.s6_addr[3], v6.s6_addr[4], v6.s6_addr[5],
                v6.s6_addr[6], v6.s6_addr[7]);
  return buf;
}

bool IsIpAddress(std::string_view text) {
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN) return false;
  const std::string s(text);
  unsigned char buf[sizeof(in6_addr)];
  return inet_pton(AF_INET, s.c_str(), buf) == 1 || inet_pton(AF_INET6, s.c_str(), buf) == 1;
}

TRateLimiter::TRateLimiter(int perMinute)
    : perMinute_(perMinute), seed_(std::random_device{}() * 0x9e3779b97f4a7c15ull) {
  // Zeroed pages cost no memory until a slot on them is used.
  if (perMinute_ > 0) slots_.resize(SlotCount);
}

bool TRateLimiter::Allow(const std::string& client, int64_t now) {
  if (perMinute_ <= 0) return true;
  const int64_t minute = now / 60;
  // Seeded, so no one can pick addresses that share a player's slots.
  uint64_t key = std::hash<std::string>{}(AddressKey(client)) ^ seed_;
  key = (key ^ (key >> 31)) * 0xbf58476d1ce4e5b9ull;
  key ^= key >> 29;
  if (key == 0) key = 1;
  std::lock_guard lock(mutex_);
  TSlot* free = nullptr;
  for (size_t i = 0; i < Probes; ++i) {
    TSlot& s = slots_[(key + i) & (SlotCount - 1)];
    if (s.Key == key) {
      if (s.Minute != minute) {
        s.Minute = minute;
        s.Count = 0;
      }
      if (s.Count >= perMinute_) return false;
      ++s.Count;
      return true;
    }
    if (!free && s.Minute != minute) free = &s;
  }
  if (!free) return true;
  free->Key = key;
  free->Minute = minute;
  free->Count = 1;
  return true;
}

TScoreService::TScoreService(IScoreStore& store, TServiceOptions options)
    : store_(store),
      options_(std::move(options)),
      limiter_(options_.RateLimitPerMinute),
      replayLimiter_(options_.RateLimitPerMinute) {}

THttpReply TScoreService::Handle(const THttpRequest& request, int64_t now) {
  try {
    THttpReply reply = Route(request, now);
    if (request.Method == "HEAD") {
      reply.HeadLength = static_cast<int64_t>(reply.Body.size());
      reply.Body.clear();
    }
    return reply;
  } catch (const TStoreUnavailable&) {
    return Unavailable();
  } catch (const std::exception&) {
    return Text(500, "internal error");
  }
}

THttpReply TScoreService::Route(const THttpRequest& request, int64_t now) {
  if (request.Path.size() + 1 + request.Query.size() > MaxTargetLength)
    return Text(414, "the address is longer than 4096 characters");
  if (request.Path == online::ReplayPage) {
    if (request.Method != "POST") {
      THttpReply r = Text(405, "replays are posted here");
      r.Headers.emplace_back("Allow", "POST");
      return r;
    }
    return UploadReplay(request, now);
  }
  if (request.Method != "GET" && request.Method != "HEAD") {
    THttpReply r = Text(405, "only GET is served");
    r.Headers.emplace_back("Allow", "GET, HEAD");
    return r;
  }
  const auto query = ParseQuery(request.Query);
  if (request.Path == "/") return HomePage();
  if (request.Path == "/healthz") {
    if (!store_.Ping()) return Unavailable();
    if (writeFailing_) {
      THttpReply r = Text(503, "the score database cannot store results (is its disk full?)");
      r.Headers.emplace_back("Retry-After", "5");
      return r;
    }
    return Text(200, "ok");
  }
  if (request.Path == "/api/scores") {
    int64_t offset = 0, limit = RowsPerPage;
    if (const std::string* v = Find(query, "offset");
        v && !ParseNumber(*v, 0, 1'000'000'000'000, offset))
      return Text(400, "offset must be a whole number from 0");
    if (const std::string* v = Find(query, "limit"); v && !ParseNumber(*v, 1, MaxApiLimit, limit))
      return Text(400, "limit must be a whole number from 1 to " + std::to_string(MaxApiLimit));
    return Json(offset, limit);
  }
  if (request.Path.starts_with("/docs/")) return Picture(request.Path.substr(6));
  if (request.Path.starts_with(std::string(online::ReplayPage) + "/"))
    return DownloadReplay(request.Path.substr(online::ReplayPage.size() + 1));
  if (request.Path != online::ScorePage) return Text(404, "no such page");

  const std::string* prg = Find(query, online::key::Program);
  if (!prg || *prg != online::ProgramName) return Text(400, "prg must be ZapWheely");
  if (Find(query, online::key::Submit)) {
    // Storing is what a GET of this address does; a HEAD (a link checker, a proxy's probe)
    // must change nothing.
    if (request.Method == "HEAD") {
      THttpReply r = Text(405, "a result is sent with GET");
      r.Headers.emplace_back("Allow", "GET");
      return r;
    }
    const std::string* inf = Find(query, online::key::Record);
    if (!inf) return Text(400, "the submission has no inf record");
    return Submit(*inf, request.Client, now);
  }
  if (Find(query, online::key::Show)) {
    if (const std::string* type = Find(query, online::key::TableType);
        type && *type != online::TableTypeScores)
      return Text(400, "only table type 0 exists");
    int64_t page = 1;
    if (const std::string* v = Find(query, online::key::Page);
        v && !ParseNumber(*v, 1, 10'000'000, page))
      return Text(400, "page must be a whole number from 1");
    return TablePage(page);
  }
  return Text(400, "ask for hs (a submission) or show (the table)");
}

bool TScoreService::HandleSoon(const THttpRequest& request, int64_t now, TReplyDone done) {
  // Only a plain submission is taken here, and only when the store commits on a thread of its
  // own; everything else (its refusals included) is Handle's, word for word.
  if (!store_.AddsInBackground() || request.Method != "GET" || request.Path != online::ScorePage ||
      request.Path.size() + 1 + request.Query.size() > MaxTargetLength)
    return false;
  try {
    const auto query = ParseQuery(request.Query);
    const std::string* prg = Find(query, online::key::Program);
    const std::string* inf = Find(query, online::key::Record);
    if (!prg || *prg != online::ProgramName || !Find(query, online::key::Submit) || !inf)
      return false;
    TNewScore score;
    if (std::optional<THttpReply> refusal = CheckSubmission(*inf, request.Client, now, score)) {
      done(std::move(*refusal));
      return true;
    }
    // The store never throws here: a failure comes back through the answer.
    store_.AddScoreLater(score,
                         [this, done = std::move(done)](int64_t id, const std::string& error) {
                           done(Stored(id, error));
                         });
  } catch (const std::exception&) {
    done(Text(500, "internal error"));
  }
  return true;
}

std::optional<THttpReply> TScoreService::CheckSubmission(const std::string& inf,
                                                         const std::string& client, int64_t now,
                                                         TNewScore& score) {
  // Every attempt counts, good or bad: a flood of damaged records is still a flood.
  if (!limiter_.Allow(client, now)) {
    THttpReply r = Text(429, "too many submissions from this address; try again in a minute");
    r.Headers.emplace_back("Retry-After", std::to_string(60 - now % 60));
    return r;
  }
  online::TScoreRecord record;
  std::string reason;
  if (!online::DecodeScoreRecord(inf, record, reason)) return Text(400, "refused: " + reason);
  if (!ValidateRecord(record, score.Name, score.Country, reason))
    return Text(400, "refused: " + reason);
  score.Score = record.Score;
  score.Submitted = now;
  return std::nullopt;
}

THttpReply TScoreService::Stored(int64_t id, const std::string& error) {
  if (!error.empty()) {
    // A database that is away shows in the health check's ping, and is healthy again once it
    // answers; one that answers but cannot commit (a full disk, a read-only file) shows only
    // here, and stays failing until a result is stored again.
    if (store_.Ping()) writeFailing_ = true;
    return Unavailable();
  }
  writeFailing_ = false;
  return Text(200, "OK stored as result " + std::to_string(id));
}

THttpReply TScoreService::Submit(const std::string& inf, const std::string& client, int64_t now) {
  TNewScore score;
  if (std::optional<THttpReply> refusal = CheckSubmission(inf, client, now, score))
    return std::move(*refusal);
  int64_t id = 0;
  try {
    id = store_.AddScore(score);
  } catch (const TStoreUnavailable& e) {
    return Stored(0, *e.what() ? e.what() : "the score database refused the result");
  } catch (...) {
    if (store_.Ping()) writeFailing_ = true;
    throw;
  }
  return Stored(id, "");
}

// The replay that proves a stored result: it must come with the same record the result was
// submitted with, and it is answered at once; the ride comes later, off the request path.
THttpReply TScoreService::UploadReplay(const THttpRequest& request, int64_t now) {
  if (!replayLimiter_.Allow(request.Client, now)) {
    THttpReply r = Text(429, "too many replays from this address; try again in a minute");
    r.Headers.emplace_back("Retry-After", std::to_string(60 - now % 60));
    return r;
  }
  const auto query = ParseQuery(request.Query);
  const std::string* inf = Find(query, online::key::Record);
  if (!inf) return Text(400, "the replay has no inf record");
  online::TScoreRecord record;
  std::string reason;
  if (!online::DecodeScoreRecord(*inf, record, reason)) return Text(400, "refused: " + reason);
  TNewScore score;
  if (!ValidateRecord(record, score.Name, score.Country, reason))
    return Text(400, "refused: " + reason);
  score.Score = record.Score;
  if (request.Body.empty()) return Text(400, "refused: the replay is empty");
  if (request.Body.size() > MaxReplayBytes) return Text(413, "refused: the replay is over 1 MiB");
  // Only the magic is looked at here; the verifier reads the rest, in its own process.
  if (request.Body.compare(0, 4, "ZWR\x1a") != 0)
    return Text(400, "refused: not a Zap Wheely replay");
  const int64_t id = store_.FindAwaitingReplay(score);
  if (id == 0) return Text(404, "refused: no stored result of this record waits for a replay");
  if (!store_.AttachReplay(id, request.Body, now))
    return Text(409, "refused: result " + std::to_string(id) + " already has its replay");
  const bool queued = options_.Verifier && options_.Verifier->Offer({id, score.Score});
  THttpReply r = Text(202, "OK replay kept for result " + std::to_string(id) +
                               (queued ? "; it will be ridden shortly"
                                       : "; the verifier is busy, it will be ridden later"));
  return r;
}

THttpReply TScoreService::DownloadReplay(const std::string& name) {
  // "ID.zwr", the id plainly written: only a verified result's replay is given out.
  int64_t id = 0;
  if (!name.ends_with(".zwr") ||
      !ParseNumber(name.substr(0, name.size() - 4), 1, 1'000'000'000'000'000, id))
    return Text(404, "no such replay");
  int state = 0;
  std::string reason, bytes;
  if (!store_.VerifyState(id, state, reason) || state != VerifyVerified ||
      !store_.ReplayData(id, bytes))
    return Text(404, "no such replay");
  THttpReply r;
  r.ContentType = "application/octet-stream";
  r.Body = std::move(bytes);
  r.Headers.emplace_back("Content-Disposition",
                         "attachment; filename=\"zapwheely-" + std::to_string(id) + ".zwr\"");
  r.Headers.emplace_back("Cache-Control", "max-age=3600");
  return r;
}

std::vector<TScoreRow> TScoreService::PublicPage(int64_t offset, int64_t limit) {
  return options_.RequireReplay ? store_.VerifiedPage(offset, limit) : store_.Page(offset, limit);
}

namespace {

// The table's mark for a result: verified ones link their replay.
std::string MarkCell(const TScoreRow& r) {
  switch (r.Verify) {
    case VerifyVerified:
      return "<td class=\"mark verified\"><span title=\"its replay rode to this score\">"
             "&#10004; verified</span> <a class=\"replay\" download href=\"/replay/" +
             std::to_string(r.Id) + ".zwr\">replay</a></td>";
    case VerifyPending:
      return "<td class=\"mark pending\">checking</td>";
    case VerifyRejected:
      return "<td class=\"mark rejected\">rejected</td>";
    default:
      return "<td class=\"mark unverified\">unverified</td>";
  }
}

}  // namespace

THttpReply TScoreService::TablePage(int64_t page) {
  const int64_t offset = (page - 1) * RowsPerPage;
  // One row more than a page tells whether a next page exists without counting the table.
  std::vector<TScoreRow> rows = PublicPage(offset, RowsPerPage + 1);
  const bool more = static_cast<int64_t>(rows.size()) > RowsPerPage;
  if (more) rows.pop_back();
  std::string s = PageStart("Zap Wheely online high scores");
  s += "<h1>Zap Wheely online high scores</h1>\n";
  s += "<p><a href=\"/\">About the game</a> &middot; page " + std::to_string(page) + "</p>\n";
  s += options_.RequireReplay
           ? "<p class=\"note\">Only results whose replay rode again to the same score are "
             "listed.</p>\n"
           : "<p class=\"note\">&#10004; verified: the result's replay rode again to the same "
             "score on our server, and can be downloaded and watched in the game.</p>\n";
  if (rows.empty()) {
    s += "<p class=\"empty\">No results on this page yet.</p>\n";
  } else {
    s += "<table id=\"scores\">\n<thead><tr><th class=\"num\">Rank</th><th>Name</th>"
         "<th class=\"num\">Score</th><th class=\"country\">Country</th>"
         "<th class=\"date\">Date</th><th>Proof</th></tr></thead>\n<tbody>\n";
    for (const TScoreRow& r : rows) {
      s += "<tr><td class=\"num\">" + std::to_string(r.Rank) + "</td><td>" + HtmlEscape(r.Name) +
           "</td><td class=\"num\">" + std::to_string(r.Score) + "</td><td class=\"country\">" +
           HtmlEscape(r.Country) + "</td><td class=\"date\">" + DateText(r.Submitted) + "</td>" +
           MarkCell(r) + "</tr>\n";
    }
    s += "</tbody>\n</table>\n";
  }
  const std::string base =
      HtmlEscape(online::TableTarget() + "&" + std::string(online::key::Page) + "=");
  s += "<nav class=\"pages\"><span>";
  if (page > 1)
    s += "<a rel=\"prev\" href=\"" + base + std::to_string(page - 1) + "\">&larr; Previous</a>";
  s += "</span><span>";
  if (more) s += "<a rel=\"next\" href=\"" + base + std::to_string(page + 1) + "\">Next &rarr;</a>";
  s += "</span></nav>\n";
  s += PageEnd;
  return Html(std::move(s));
}

THttpReply TScoreService::HomePage() {
  std::string s = PageStart("Zap Wheely");
  s += R"(<h1>Zap Wheely</h1>
<p>Zap Wheely is a single-player arcade motorbike racing game for the desktop. Pick one of five
superbikes and ride a procedurally generated road, seen from above, against up to five computer
riders, past barriers and bonuses, through ten timed levels. Finish each level before its clock
runs out: the place you reach and the time you have left earn bonus points, and a good enough
game goes into the high-score table and can be sent here.</p>
<p><a id="table-link" href="/cgi/version.pl?prg=ZapWheely&amp;show&amp;type=0">The online high-score table</a></p>
<div class="shots">
<img src="/docs/menu.png" alt="The main menu" width="800" height="600">
<img src="/docs/race-riding.png" alt="Riding a level" width="800" height="600">
<img src="/docs/race-traffic.png" alt="Opponents, a wreck and a bonus" width="800" height="600">
<img src="/docs/tally.png" alt="The level-end tally" width="800" height="600">
</div>
<h2>Verified rides</h2>
<p>Every result the game sends comes with the replay of its game. Our server rides each replay
again with the game's own code; a result marked &#10004; rode to exactly its score, and its
replay can be downloaded and watched in the game.</p>
)";
  const std::vector<TScoreRow> best = store_.VerifiedPage(0, 5);
  if (best.empty()) {
    s += "<p class=\"empty\">No verified result yet.</p>\n";
  } else {
    s += "<table id=\"verified\">\n<tbody>\n";
    for (const TScoreRow& r : best)
      s += "<tr><td>" + HtmlEscape(r.Name) + "</td><td class=\"num\">" + std::to_string(r.Score) +
           "</td>" + MarkCell(r) + "</tr>\n";
    s += "</tbody>\n</table>\n";
  }
  s += R"(<h2>Build and play</h2>
<p>On a fresh Debian 12, in the game's source folder:</p>
<pre>bash scripts/run.sh</pre>
<p>installs what is missing, builds the game and its content, and starts it. Arrow keys ride,
space brakes hard, H sounds the horn, P pauses, Esc asks to leave.</p>
<pre>bash scripts/test.sh</pre>
<p>builds everything and runs all the tests.</p>
)";
  s += PageEnd;
  return Html(std::move(s));
}

THttpReply TScoreService::Json(int64_t offset, int64_t limit) {
  const std::vector<TScoreRow> rows = PublicPage(offset, limit);
  THttpReply r;
  r.ContentType = "application/json";
  r.Body = "[";
  for (size_t i = 0; i < rows.size(); ++i) {
    const TScoreRow& row = rows[i];
    if (i) r.Body += ",";
    r.Body +=
        "\n{\"rank\":" + std::to_string(row.Rank) + ",\"name\":\"" + JsonEscape(row.Name) +
        "\",\"score\":" + std::to_string(row.Score) + ",\"country\":\"" + JsonEscape(row.Country) +
        "\",\"date\":\"" + DateText(row.Submitted) +
        "\",\"verified\":" + (row.Verify == VerifyVerified ? "true" : "false") +
        (row.Verify == VerifyVerified ? ",\"replay\":\"/replay/" + std::to_string(row.Id) + ".zwr\""
                                      : std::string()) +
        "}";
  }
  r.Body += rows.empty() ? "]\n" : "\n]\n";
  return r;
}

THttpReply TScoreService::Picture(const std::string& name) {
  // Only plain picture names, so no request can reach outside the pictures folder.
  bool plain = name.size() > 4 && name.size() <= 64 && name.ends_with(".png");
  for (size_t i = 0; plain && i + 4 < name.size(); ++i) {
    const char c = name[i];
    plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
  }
  if (!plain || options_.DocsDir.empty()) return Text(404, "no such picture");
  std::ifstream in(options_.DocsDir + "/" + name, std::ios::binary);
  if (!in) return Text(404, "no such picture");
  std::ostringstream data;
  data << in.rdbuf();
  THttpReply r;
  r.ContentType = "image/png";
  r.Body = data.str();
  r.Headers.emplace_back("Cache-Control", "max-age=3600");
  return r;
}

}  // namespace zw::scores
