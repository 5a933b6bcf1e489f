// Verified online results end to end: the game sends its result and then its replay to a real
// zapwheely-scores on the loopback, which rides each replay again in a limited zapwheely-verify
// process; forged, edited and endless replays, and a flood of them.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "online/score_record.hpp"
#include "replay/recorder.hpp"
#include "shell/form_state.hpp"
#include "tests/scenario_support.hpp"
#include "tests/server/scores_process.hpp"

namespace zw {
namespace {

using scores::test::HttpGet;
using scores::test::HttpRaw;
using scores::test::SubmitTarget;
using scores::test::TScoresProcess;
using test::TGame;
using Clock = std::chrono::steady_clock;

std::string Host(const TScoresProcess& s) {
  return "127.0.0.1:" + std::to_string(s.Port());
}

std::string DbPath(const std::string& name) {
  return (std::filesystem::current_path() / name).string();
}

// Posts a replay for a record, as the game does.
scores::test::THttpResult PostReplay(int port, const std::string& name, int score,
                                     const std::string& country, const std::string& bytes) {
  const std::string target =
      "/replay?inf=" + online::EncodeScoreRecord(online::TScoreRecord{name, score, country});
  return HttpRaw(port, "POST " + target +
                           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                           "Content-Type: application/octet-stream\r\nContent-Length: " +
                           std::to_string(bytes.size()) + "\r\n\r\n" + bytes);
}

// The JSON row of a name, or "" when it is not listed.
std::string Row(int port, const std::string& name) {
  const std::string body = HttpGet(port, "/api/scores?offset=0&limit=100").Body;
  const size_t at = body.find("\"name\":\"" + name + "\"");
  if (at == std::string::npos) return "";
  const size_t start = body.rfind('{', at), end = body.find('}', at);
  return body.substr(start, end - start + 1);
}

// Waits (at most `seconds`) until the service's log has judged the result of this row.
bool WaitForVerdict(const TScoresProcess& s, const std::string& word, int count, double seconds) {
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    const std::string log = s.Log();
    int n = 0;
    for (size_t at = log.find(word); at != std::string::npos; at = log.find(word, at + 1)) ++n;
    if (n >= count) return true;
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string ToBytes(const replay::TReplay& r) {
  const std::vector<uint8_t> b = replay::Write(r);
  return std::string(b.begin(), b.end());
}

// What the verifier says, run by hand on a replay file as an operator would: its exit status and
// its one line.
std::pair<int, std::string> RunVerifier(const std::string& args) {
  FILE* out = popen((std::string(ZW_VERIFY_BIN) + " " + args + " 2>&1").c_str(), "r");
  if (!out) return {-1, "cannot run the verifier"};
  std::string text;
  char buf[256];
  while (std::fgets(buf, sizeof buf, out)) text += buf;
  const int status = pclose(out);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// A game the runner's pilot rides through the first level and into the second, then leaves by
// the exit question: about 1 500 points, enough for the local table.
void PlayAGame(TGame& g) {
  g.Run(
      "race 2\npilot 1500\npress P\nframes 90\npress P\npilot 400\npress Escape\n"
      "frames 30\npress N\n");
  // On with the pilot to the game's end (the name entry, or the menu), 12 000 frames at most;
  // nothing after the end goes into the game or its replay.
  for (int i = 0; i < 24 && g.S().Menu.CurrentScreen == screen::Race &&
                  g.S().Menu.ActiveDialog != dialog::NameEntry;
       ++i)
    g.Run("pilot 500\n");
  TFormState& f = g.S();
  if (f.Menu.ActiveDialog != 8) g.Run("press Escape\nframes 5\npress Y\nframes 5\n");
}

// The ridden game above sent, as a player sends it: name typed, Yes to the question; its score.
void PlayAndSend(TGame& g, const TScoresProcess& service, int& score) {
  g.Run("scorehost " + Host(service) + "\n");
  PlayAGame(g);
  TFormState& f = g.S();
  ASSERT_EQ(f.Menu.ActiveDialog, 8) << "the ridden game should qualify for the table";
  score = f.Race.RaceScore;
  ASSERT_TRUE(f.Replays.LastIsCurrent && !f.Replays.Last.empty())
      << "the game holds the replay of the game just ended";
  f.Dialog.PlayerName.clear();
  g.Run("type Rider One\nframes 1\npress Return\nframes 1\npress Y\nframes 3\n");
}

TEST(VerifiedScores, ARiddenGameIsVerifiedAndEveryForgeryIsNot) {
  TGame g("seed 4242\nrefresh 60\nframetime 16\n");
  TScoresProcess service({"--db", DbPath("scores.db"), "--rate-limit", "0"});
  ASSERT_TRUE(service.Started()) << service.Log();
  const int port = service.Port();
  int score = 0;
  PlayAndSend(g, service, score);
  if (HasFatalFailure()) return;
  TFormState& f = g.S();
  EXPECT_EQ(f.Menu.CurrentScreen, 4);
  const auto& requests = g.Runner.Headless.Http.Requests;
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[1].starts_with("POST http://" + Host(service) + "/replay?inf="))
      << requests[1];

  // Listed as verified within seconds, with its replay to download: the very file the game sent.
  ASSERT_TRUE(WaitForVerdict(service, " verified: verified score " + std::to_string(score), 1, 20))
      << service.Log();
  const std::string row = Row(port, "Rider One");
  EXPECT_NE(row.find("\"verified\":true"), std::string::npos) << row;
  const std::string replayPath = "/replay/1.zwr";
  EXPECT_NE(row.find("\"replay\":\"" + replayPath + "\""), std::string::npos) << row;
  const auto download = HttpGet(port, replayPath);
  ASSERT_EQ(download.Status, 200);
  EXPECT_NE(download.Headers.find("Content-Type: application/octet-stream"), std::string::npos);
  EXPECT_NE(download.Headers.find("attachment; filename=\"zapwheely-1.zwr\""), std::string::npos)
      << download.Headers;
  EXPECT_NE(download.Headers.find("X-Content-Type-Options: nosniff"), std::string::npos);
  EXPECT_EQ(download.Body, f.Replays.Last);
  const std::string page = HttpGet(port, "/cgi/version.pl?prg=ZapWheely&show&type=0").Body;
  EXPECT_NE(
      page.find("&#10004; verified</span> <a class=\"replay\" download href=\"/replay/1.zwr\""),
      std::string::npos)
      << page;
  EXPECT_NE(HttpGet(port, "/").Body.find("href=\"/replay/1.zwr\""), std::string::npos);

  replay::TReplay ridden;
  std::string why;
  ASSERT_TRUE(
      replay::Read(std::vector<uint8_t>(f.Replays.Last.begin(), f.Replays.Last.end()), ridden, why))
      << why;
  // By hand, the verifier judges the file alone, or holds it to a submitted score: the very
  // score it rides to, and not a point more or less.
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("zw-verify-" + std::to_string(getpid()) + ".zwr");
  std::ofstream(file, std::ios::binary) << f.Replays.Last;
  const std::string verified = "verified score " + std::to_string(score) + "\n";
  EXPECT_EQ(RunVerifier("'" + file.string() + "'"), std::make_pair(0, verified));
  EXPECT_EQ(RunVerifier("--score " + std::to_string(score) + " - < '" + file.string() + "'"),
            std::make_pair(0, verified));
  for (const int claimed : {score + 1, score - 1, 0})
    EXPECT_EQ(RunVerifier("--score " + std::to_string(claimed) + " '" + file.string() + "'"),
              std::make_pair(1, "rejected: rides to score " + std::to_string(score) +
                                    ", not the submitted " + std::to_string(claimed) + "\n"));
  std::filesystem::remove(file);

  int judged = 1;
  // A forged record with no replay stays unverified, and cannot take another result's replay.
  ASSERT_EQ(HttpGet(port, SubmitTarget("Forger", 900000, "Chile")).Status, 200);
  EXPECT_EQ(PostReplay(port, "Nobody", score, "_______", download.Body).Status, 404);
  EXPECT_EQ(PostReplay(port, "Rider One", score, "_______", download.Body).Status, 404)
      << "a result has one replay";
  // The score field raised to match a raised record: the ride says otherwise.
  replay::TReplay raised = ridden;
  raised.RaceScore = score + 5000;
  ASSERT_EQ(HttpGet(port, SubmitTarget("Raiser", score + 5000, "Chile")).Status, 200);
  EXPECT_EQ(PostReplay(port, "Raiser", score + 5000, "Chile", ToBytes(raised)).Status, 202);
  // The controls of riding frames changed: the ride goes elsewhere.
  replay::TReplay edited = ridden;
  for (uint32_t i = 600; i < 602; ++i) edited.Keys[i] ^= replay::held::Up;
  ASSERT_EQ(HttpGet(port, SubmitTarget("Editor", score, "Chile")).Status, 200);
  EXPECT_EQ(PostReplay(port, "Editor", score, "Chile", ToBytes(edited)).Status, 202);
  // An honest replay of a smaller game sent for a raised record: it rides true to its own
  // score, which is not the one submitted.
  ASSERT_EQ(HttpGet(port, SubmitTarget("Inflator", score + 3000, "Chile")).Status, 200);
  EXPECT_EQ(PostReplay(port, "Inflator", score + 3000, "Chile", download.Body).Status, 202);
  // Made for other packs: refused with that reason.
  replay::TReplay foreign = ridden;
  foreign.PackHash ^= 1;
  ASSERT_EQ(HttpGet(port, SubmitTarget("Modder", score, "Chile")).Status, 200);
  EXPECT_EQ(PostReplay(port, "Modder", score, "Chile", ToBytes(foreign)).Status, 202);
  judged += 4;
  ASSERT_TRUE(WaitForVerdict(service, "result ", judged, 30)) << service.Log();
  const std::string log = service.Log();
  EXPECT_NE(log.find("rejected: rides to score " + std::to_string(score) + ", the file claims " +
                     std::to_string(score + 5000)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("rejected: rides to score " + std::to_string(score) + ", not the submitted " +
                     std::to_string(score + 3000)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("rejected: made for other packs"), std::string::npos) << log;
  // Two frames' throttle in the first level: its end is another race, and the reason says so.
  EXPECT_NE(log.find("rejected: the race differs from the recording at the end of level 1"),
            std::string::npos)
      << log;
  for (const char* name : {"Forger", "Raiser", "Editor", "Inflator", "Modder"})
    EXPECT_NE(Row(port, name).find("\"verified\":false"), std::string::npos) << name;
  EXPECT_EQ(HttpGet(port, "/replay/2.zwr").Status, 404) << "only a verified ride is given out";
  const std::string editedRow = Row(port, "Editor");
  EXPECT_NE(editedRow.find("\"verified\":false"), std::string::npos) << editedRow;

  // With --require-replay the public table lists the verified ride alone.
  service.Stop();
  TScoresProcess strict({"--db", DbPath("scores.db"), "--require-replay"});
  ASSERT_TRUE(strict.Started()) << strict.Log();
  const std::string onlyVerified = HttpGet(strict.Port(), "/api/scores").Body;
  EXPECT_NE(onlyVerified.find("Rider One"), std::string::npos);
  EXPECT_EQ(onlyVerified.find("Forger"), std::string::npos) << onlyVerified;
  EXPECT_EQ(onlyVerified.find("Raiser"), std::string::npos);
}

TEST(VerifiedScores, AScoreSetByTheRunnerIsNotVerified) {
  TGame g;
  TScoresProcess service({"--db", DbPath("scores.db"), "--rate-limit", "0"});
  ASSERT_TRUE(service.Started()) << service.Log();
  g.Run("scorehost " + Host(service) + "\n");
  g.Run("race 1\nframes 200\nset Lives 1\nset RaceScore 5000\nset RaceClock 100\n");
  TFormState& f = g.S();
  for (int i = 0; i < 2000 && f.Menu.ActiveDialog != 8; ++i) g.Run("frames 1\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 8);
  f.Dialog.PlayerName.clear();
  g.Run("type Setter\nframes 1\npress Return\nframes 1\npress Y\nframes 3\n");
  ASSERT_TRUE(WaitForVerdict(service, "result 1 ", 1, 20)) << service.Log();
  // The ride cannot follow a race whose score and clock were put in place: it never even reaches
  // the game's end.
  EXPECT_NE(service.Log().find("result 1 rejected: "), std::string::npos) << service.Log();
  EXPECT_NE(Row(service.Port(), "Setter").find("\"verified\":false"), std::string::npos);
}

// The row of a name in a table as Chromium rendered it (from <tr> to </tr>), or "".
std::string DomRow(const std::string& dom, const std::string& name) {
  const size_t at = dom.find("<td>" + name + "</td>");
  if (at == std::string::npos) return "";
  const size_t start = dom.rfind("<tr>", at), end = dom.find("</tr>", at);
  if (start == std::string::npos || end == std::string::npos) return "";
  return dom.substr(start, end - start);
}

// The table page as a player's browser shows it: the mark on the ridden result only, a page that
// keeps to its security policy, and a replay link that gives a file the game rides again to the
// very score the table lists.
TEST(VerifiedScores, ChromiumShowsTheMarkAndItsReplayRidesAgain) {
  if (!scores::test::HaveChromium())
    GTEST_SKIP() << "chromium is not installed: the page was NOT checked";
  TGame g("seed 4242\nrefresh 60\nframetime 16\n");
  TScoresProcess service({"--db", DbPath("scores.db"), "--rate-limit", "0"});
  ASSERT_TRUE(service.Started()) << service.Log();
  const int port = service.Port();
  int score = 0;
  PlayAndSend(g, service, score);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(WaitForVerdict(service, " verified: verified score " + std::to_string(score), 1, 20))
      << service.Log();
  // A result sent without a replay, above the ridden one.
  ASSERT_EQ(HttpGet(port, SubmitTarget("Forger", 900000, "Chile")).Status, 200);

  std::string console;
  const std::string dom = scores::test::DumpDom(
      "http://" + Host(service) + "/cgi/version.pl?prg=ZapWheely&show&type=0", &console);
  ASSERT_NE(dom.find("<table id=\"scores\">"), std::string::npos) << dom;
  EXPECT_EQ(console, "") << "the page broke its own security policy or wrote errors";
  const std::string check = "\xE2\x9C\x94";  // the check mark, as the browser decoded it
  const std::string ridden = DomRow(dom, "Rider One");
  const std::string forged = DomRow(dom, "Forger");
  ASSERT_NE(ridden, "") << dom;
  ASSERT_NE(forged, "") << dom;
  EXPECT_NE(ridden.find("<td class=\"num\">" + std::to_string(score) + "</td>"), std::string::npos)
      << ridden;
  EXPECT_NE(ridden.find("class=\"mark verified\""), std::string::npos) << ridden;
  EXPECT_NE(ridden.find(check + " verified"), std::string::npos) << ridden;
  EXPECT_NE(forged.find("class=\"mark unverified\""), std::string::npos) << forged;
  EXPECT_EQ(forged.find(check), std::string::npos) << forged;
  EXPECT_EQ(forged.find("<a "), std::string::npos) << "no replay to give for " << forged;
  EXPECT_LT(dom.find("<td>Forger</td>"), dom.find("<td>Rider One</td>")) << "best first";

  // The link the browser made, followed as a download.
  const size_t link = ridden.find("<a class=\"replay\"");
  ASSERT_NE(link, std::string::npos) << ridden;
  const size_t hrefAt = ridden.find("href=\"", link);
  ASSERT_NE(hrefAt, std::string::npos) << ridden;
  const size_t hrefStart = hrefAt + 6;
  const std::string href = ridden.substr(hrefStart, ridden.find('"', hrefStart) - hrefStart);
  ASSERT_TRUE(href.starts_with("/replay/") && href.ends_with(".zwr")) << href;
  EXPECT_NE(ridden.substr(link, hrefAt - link).find("download"), std::string::npos) << ridden;
  const auto download = HttpGet(port, href);
  ASSERT_EQ(download.Status, 200) << download.Body;
  const std::string id = href.substr(8, href.size() - 8 - 4);
  EXPECT_NE(download.Headers.find("Content-Disposition: attachment; filename=\"zapwheely-" + id +
                                  ".zwr\""),
            std::string::npos)
      << download.Headers;

  // The downloaded file, ridden by the game's own program in a run-time folder of its own.
  test::TRunDir rideDir;
  std::ofstream("zapwheely-" + id + ".zwr", std::ios::binary) << download.Body;
  std::ofstream("ride.txt") << "ride zapwheely-" + id + ".zwr ride.json nodraw\n";
  const std::string autoplay = std::string(ZW_RUN_DIR) + "/zapwheely-autoplay";
  const int status = std::system(("timeout -k 5 60 " + autoplay + " ride.txt 2>ride.err").c_str());
  std::ifstream err("ride.err");
  ASSERT_EQ(status, 0) << std::string((std::istreambuf_iterator<char>(err)), {});
  std::ifstream in("ride.json");
  const std::string result((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(result.find("\"ended\": true"), std::string::npos) << result;
  EXPECT_NE(result.find("\"score\": " + std::to_string(score) + ","), std::string::npos) << result;
}

// The verifier processes this test's service has running now, by pid (other tests running beside
// this one have verifiers of their own).
std::vector<int> Verifiers(pid_t service) {
  std::vector<int> out;
  DIR* d = opendir("/proc");
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    const int pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!(comm >> name) || name != "zapwheely-verif") continue;
    // The parent is the fourth field of stat, after the name in parentheses.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(line.substr(close + 1));
    char state = 0;
    int parent = 0;
    if (fields >> state >> parent && parent == service) out.push_back(pid);
  }
  closedir(d);
  return out;
}

TEST(VerifiedScores, EndlessReplaysAndAFloodAreBoundedAndPlayersStillServed) {
  // A replay that never ends: the race paused (the window minimised) at once and left paused for as
  // many frames as a replay may hold.
  replay::TReplay endless;
  endless.GameVersion = replay::GameVersion();
  endless.PackHash = replay::PackHash();
  endless.Start.Seed = 99;
  endless.Start.Bike = 1;
  endless.MoveCounts.assign(replay::MaxFrames, 16);
  endless.Keys.assign(replay::MaxFrames, 0);
  endless.Events.push_back({100, replay::TEvent::WindowPause, 0, 0, 0});
  endless.Pad.assign(replay::MaxFrames, 0);
  endless.RefreshRates.assign(replay::MaxFrames, 60);
  endless.RaceScore = 2000;
  endless.Level = 1;
  const std::string bytes = ToBytes(endless);
  ASSERT_FALSE(bytes.empty());
  ASSERT_LE(bytes.size(), replay::MaxFileBytes);

  // Five: two riding, two waiting in memory, and at least one more than fits, left in the
  // database for later; each costs a CPU second, so no more than that.
  constexpr int Cpu = 1, Wall = 4, Flood = 5;
  scores::test::TTempDir dir;
  TScoresProcess service({"--db", dir.Path() + "/scores.db", "--rate-limit", "0",
                          "--verify-workers", "2", "--verify-queue", "2", "--verify-cpu",
                          std::to_string(Cpu), "--verify-wall", std::to_string(Wall)});
  ASSERT_TRUE(service.Started()) << service.Log();
  const int port = service.Port();
  int busy = 0;
  for (int i = 0; i < Flood; ++i) {
    const std::string name = "Flood " + std::to_string(i);
    ASSERT_EQ(HttpGet(port, SubmitTarget(name, 2000, "Chile")).Status, 200);
    const auto r = PostReplay(port, name, 2000, "Chile", bytes);
    ASSERT_EQ(r.Status, 202) << r.Body;
    busy += r.Body.find("busy") != std::string::npos;
  }
  EXPECT_GE(busy, 1) << "two workers and two places: the rest wait in the database";
  // Meanwhile: a player's submission is answered at once, no more verifiers run than workers,
  // and none lives past its limit.
  std::map<int, Clock::time_point> firstSeen;
  double longest = 0;
  size_t most = 0;
  double slowest = 0;
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < until) {
    const auto start = Clock::now();
    EXPECT_EQ(HttpGet(port, SubmitTarget("Player", 1500, "Chile"), 5000).Status, 200);
    slowest = std::max(slowest, std::chrono::duration<double>(Clock::now() - start).count());
    const std::vector<int> now = Verifiers(service.Pid());
    most = std::max(most, now.size());
    for (int pid : now) {
      auto [it, fresh] = firstSeen.emplace(pid, Clock::now());
      longest = std::max(longest, std::chrono::duration<double>(Clock::now() - it->second).count());
    }
    if (WaitForVerdict(service, "rejected: ", Flood, 0)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // Every one is judged and rejected: stopped by its CPU or wall-clock limit, or (paused frames
  // cost little, and on a quiet machine all its frames fit in the CPU second) at the end of its
  // frames without reaching the end of a game. The limits themselves are met head on by the
  // VerifyLimits test.
  EXPECT_TRUE(WaitForVerdict(service, "rejected: ", Flood, 1)) << service.Log();
  EXPECT_EQ(service.Log().find(" verified: "), std::string::npos);
  EXPECT_LT(slowest, 1.0);
  EXPECT_LE(most, 2u);
  // No verifier lives past the wall-clock limit (seen by polling every tenth of a second).
  EXPECT_LE(longest, Wall + 1.0);
  EXPECT_GE(firstSeen.size(), static_cast<size_t>(Flood) / 2);
  EXPECT_NE(Row(port, "Flood 0").find("\"verified\":false"), std::string::npos);
}

}  // namespace
}  // namespace zw
