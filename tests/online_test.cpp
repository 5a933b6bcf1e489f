// The online high scores end to end: the game's submission against a real score service on the
// loopback, a service that is down, and one that accepts and never answers.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "online/score_record.hpp"
#include "platform/net/curl_http.hpp"
#include "shell/form.hpp"
#include "shell/text.hpp"
#include "sprites/game_sprites.hpp"
#include "tests/scenario_support.hpp"
#include "tests/server/scores_process.hpp"

namespace zw {
namespace {

using scores::test::HttpGet;
using scores::test::SubmitTarget;
using scores::test::TScoresProcess;
using test::TGame;

std::string Host(const TScoresProcess& s) {
  return "127.0.0.1:" + std::to_string(s.Port());
}

// Rides a game to its end with `score` points and one life, lets the clock run out, and types
// the name: the game waits at "Send the result to World's".
void PlayToTheSendQuestion(TGame& g, const std::string& name, int score) {
  g.Run("race 1\nframes 200\nset Lives 1\nset RaceScore " + std::to_string(score) +
        "\nset RaceClock 100\n");
  TMForm& f = g.F();
  for (int i = 0; i < 2000 && f.Menu.ActiveDialog != 8; ++i) g.Run("frames 1\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 8) << "no name entry after the game over";
  f.Dialog.PlayerName.clear();
  g.Run("type " + name + "\nframes 1\npress Return\nframes 1\n");
  ASSERT_EQ(f.Menu.ActiveDialog, 9);
  ASSERT_EQ(f.Menu.MenuIndex, 11);
}

// Answers Yes and runs the two frames of "Sending...": the game ends on the high-score table.
// Answers the seconds the send took.
double SendAndReachTheTable(TGame& g) {
  const auto start = std::chrono::steady_clock::now();
  g.Run("press Y\nframes 3\n");
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(g.F().Menu.CurrentScreen, 4);
  EXPECT_EQ(g.F().Menu.ActiveDialog, 0);
  return took;
}

std::string DbPath(const std::string& name) {
  return (std::filesystem::current_path() / name).string();
}

TEST(OnlineScores, AQualifyingGameIsStoredAndListedAtItsRank) {
  TGame g;
  TScoresProcess service({"--db", DbPath("scores.db"), "--rate-limit", "0"});
  ASSERT_TRUE(service.Started()) << "zapwheely-scores did not start";
  // Two players before us: one better, one worse.
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Best", 9000, "Italy")).Status, 200);
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Low", 3000, "Spain")).Status, 200);

  g.Run("scorehost " + Host(service) + "\n");
  g.F().GameOptions.Country = "Germany";
  PlayToTheSendQuestion(g, "Ace Rider 7", 5000);
  SendAndReachTheTable(g);
  EXPECT_EQ(g.F().OnlineNote, "") << "a result that arrived is not reported as lost";

  // The submission of that name, score and country went out first, then the game's replay
  // with the same record.
  const auto& requests = g.Runner.Headless.Http.Requests;
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], "http://" + Host(service) + SubmitTarget("Ace Rider 7", 5000, "Germany"));
  EXPECT_TRUE(requests[1].starts_with("POST http://" + Host(service) + "/replay?inf=" +
                                      SubmitTarget("Ace Rider 7", 5000, "Germany").substr(37)))
      << requests[1];
  const auto api = HttpGet(service.Port(), "/api/scores?offset=0&limit=10");
  ASSERT_EQ(api.Status, 200);
  const std::string& body = api.Body;
  EXPECT_NE(body.find(R"("rank":2,"name":"Ace Rider 7","score":5000,"country":"Germany")"),
            std::string::npos)
      << body;
  const auto page = HttpGet(service.Port(), "/cgi/version.pl?prg=ZapWheely&show&type=0");
  ASSERT_EQ(page.Status, 200);
  const size_t best = page.Body.find("Best"), ours = page.Body.find("Ace Rider 7"),
               low = page.Body.find("Low");
  ASSERT_NE(ours, std::string::npos) << page.Body;
  EXPECT_LT(best, ours);
  EXPECT_LT(ours, low);
}

TEST(OnlineScores, WithTheServiceStoppedTheGameGoesOnAndNothingIsStored) {
  TGame g;
  const std::string db = DbPath("stopped.db");
  std::string address;
  {
    TScoresProcess service({"--db", db});
    ASSERT_TRUE(service.Started());
    address = Host(service);
  }
  g.Run("scorehost " + address + "\n");
  PlayToTheSendQuestion(g, "Nobody Home", 4000);
  EXPECT_LT(SendAndReachTheTable(g), 5.0);
  EXPECT_EQ(g.Runner.Headless.Http.Requests.size(), 1u);
  // The table says the result stayed here, on one line inside the table's frame.
  std::vector<TMForm::TDrawnText> lines;
  g.F().TextLog = &lines;
  g.Run("frames 1\n");
  g.F().TextLog = nullptr;
  const std::string note = "Not sent: no score service on this computer (" + address + ")";
  bool shown = false;
  for (const auto& t : lines)
    if (t.Text == note) {
      shown = true;
      g.F().SelectFont(t.Style);
      EXPECT_GE(t.X, 370);
      EXPECT_LE(t.X + g.F().TextWidth(note), 786);
    }
  EXPECT_TRUE(shown) << "no line on the high-score screen says the result was not sent";
  // Leaving the table forgets it: the next visit shows the table alone.
  g.Run("press Escape\nframes 30\n");
  EXPECT_TRUE(g.F().OnlineNote.empty());
  // The local table has the game all the same.
  bool inTable = false;
  for (int i = 1; i <= 10; ++i) inTable |= g.F().HighScores[static_cast<size_t>(i)].Score == 4000;
  EXPECT_TRUE(inTable);
  TScoresProcess again({"--db", db});
  ASSERT_TRUE(again.Started());
  const auto api = HttpGet(again.Port(), "/api/scores?offset=0&limit=10");
  ASSERT_EQ(api.Status, 200);
  EXPECT_EQ(api.Body, "[]\n");
}

// A listening socket on the loopback at a port the system picks; the port stays 0 when it fails.
int ListenOnLoopback(int& port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(s, 8) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  return s;
}

// A listener that takes connections and never says a word, like a service stuck on a dead
// network path.
class TSilentListener {
 public:
  TSilentListener() { Socket = ListenOnLoopback(Port); }
  ~TSilentListener() { close(Socket); }
  int Socket = -1;
  int Port = 0;
};

TEST(OnlineScores, AServiceThatNeverAnswersHoldsTheGameOnlyUntilTheLimit) {
  TGame g;
  TSilentListener silent;
  ASSERT_GT(silent.Port, 0);
  g.Run("scorehost 127.0.0.1:" + std::to_string(silent.Port) + "\n");
  PlayToTheSendQuestion(g, "Patient", 4500);
  const double took = SendAndReachTheTable(g);
  // The whole request may take ten seconds, then the game goes on.
  EXPECT_GE(took, 9.0);
  EXPECT_LT(took, 13.0);
}

// A service on the loopback that reads each request whole and answers every one with the status
// it is set to, like a score service that refuses, redirects or takes what it is sent.
class TCannedService {
 public:
  std::atomic<int> Status{200};
  std::atomic<int> Requests{0};

  TCannedService() {
    Socket = ListenOnLoopback(Port);
    if (Port == 0) return;
    Thread = std::thread([this] { Serve(); });
  }
  ~TCannedService() {
    Stop = true;
    if (Thread.joinable()) Thread.join();
    close(Socket);
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(Port); }
  int Port = 0;

 private:
  void Serve() {
    while (!Stop) {
      pollfd p{Socket, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int c = accept(Socket, nullptr, nullptr);
      if (c < 0) continue;
      Answer(c);
      close(c);
    }
  }
  // Reads the head and as much body as it announces, then answers and closes.
  void Answer(int c) {
    std::string in;
    char buf[4096];
    size_t need = std::string::npos;
    while (in.size() < need) {
      pollfd p{c, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) return;
      const ssize_t n = read(c, buf, sizeof buf);
      if (n <= 0) return;
      in.append(buf, static_cast<size_t>(n));
      const size_t head = in.find("\r\n\r\n");
      if (need == std::string::npos && head != std::string::npos) {
        size_t body = 0;
        const size_t cl = in.find("Content-Length: ");
        if (cl != std::string::npos && cl < head) body = std::stoul(in.substr(cl + 16));
        need = head + 4 + body;
      }
    }
    ++Requests;
    const std::string reply = "HTTP/1.1 " + std::to_string(Status.load()) +
                              " Canned\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    (void)!write(c, reply.data(), reply.size());
  }
  int Socket = -1;
  std::atomic<bool> Stop{false};
  std::thread Thread;
};

// Only a success reply means the service took the result; every refusal, from 400 itself up,
// is a result that did not get there. A redirect is no refusal (the client never follows one).
// Held through the game's own client, for its GET and its POST alike.
TEST(OnlineScores, TheClientCountsOnlyStatusesBelowFourHundredAsTaken) {
  TCannedService service;
  ASSERT_GT(service.Port, 0);
  TCurlHttp http(2000, 4000);
  const std::string url = "http://" + service.Host() + "/cgi/version.pl?prg=ZapWheely";
  const struct {
    int Status;
    bool Taken;
  } table[] = {{199, false}, {200, true},  {201, true},  {204, true},  {299, true},  {300, true},
               {304, true},  {399, true},  {400, false}, {401, false}, {404, false}, {413, false},
               {429, false}, {499, false}, {500, false}, {503, false}};
  for (const auto& row : table) {
    service.Status = row.Status;
    std::string body;
    EXPECT_EQ(http.Get(url, body), row.Taken) << "GET answered " << row.Status;
    int status = -1;
    EXPECT_EQ(http.Post(url, "replay", body, status), row.Taken) << "POST answered " << row.Status;
    // An informational reply with nothing after it is no answer at all.
    EXPECT_EQ(status, row.Status < 200 ? 0 : row.Status) << "POST answered " << row.Status;
  }
  EXPECT_EQ(service.Requests, 2 * static_cast<int>(std::size(table)));
}

// What the player sees of a refusal: the table says the result was not sent, and no replay
// follows a result that did not get there. Then every answer again through the same send.
TEST(OnlineScores, ARefusedResultIsNotSentOnTheTable) {
  TCannedService service;
  ASSERT_GT(service.Port, 0);
  service.Status = 400;
  TGame g;
  g.Run("scorehost " + service.Host() + "\n");
  PlayToTheSendQuestion(g, "Refused", 4100);
  SendAndReachTheTable(g);
  auto& requests = g.Runner.Headless.Http.Requests;
  EXPECT_EQ(requests.size(), 1u);
  const std::string note = "Not sent: no score service on this computer (" + service.Host() + ")";
  std::vector<TMForm::TDrawnText> lines;
  g.F().TextLog = &lines;
  g.Run("frames 1\n");
  g.F().TextLog = nullptr;
  bool shown = false;
  for (const auto& t : lines) shown |= t.Text == note;
  EXPECT_TRUE(shown) << "a result refused with 400 is not reported on the high-score screen";

  ASSERT_TRUE(g.F().Replays.LastIsCurrent);
  for (const int status : {200, 204, 299, 400, 404, 429, 500}) {
    service.Status = status;
    requests.clear();
    g.F().SendScore();
    const bool taken = status < 300;
    EXPECT_EQ(g.F().OnlineNote, taken ? "" : note) << "answered " << status;
    // The replay goes only after a result the service took.
    EXPECT_EQ(requests.size(), taken ? 2u : 1u) << "answered " << status;
  }
}

TEST(OnlineScores, WhileSendingOnlySendingIsOnScreen) {
  TGame g;
  PlayToTheSendQuestion(g, "Clicker", 4200);
  TMForm& f = g.F();
  // A click on Yes is handled between frames: the question's buttons are killed then, and the
  // next frame, the one on screen while the request blocks, must not draw them.
  TMenuButton* yes = f.Menu.MenuButtons[11];
  ASSERT_NE(yes, nullptr);
  g.Run("mouse " + std::to_string(static_cast<int>(yes->X) + 5) + " " +
        std::to_string(static_cast<int>(yes->Y) + 5) + "\nframes 1\n");
  TInputEvent click;
  click.Type = TInputEvent::Click;
  f.HandleEvent(click);
  ASSERT_EQ(f.Menu.ActiveDialog, 10);
  TSpriteEngine& engine = f.Engine();
  int buttons = 0;
  for (int i = 0; i < engine.Count(); ++i)
    if (auto* b = dynamic_cast<TMenuButton*>(engine.Items(i)); b && b->Z == 15) {
      ++buttons;
      EXPECT_FALSE(b->Visible);
    }
  EXPECT_EQ(buttons, 2);
  g.Run("frames 2\n");
  EXPECT_EQ(f.Menu.CurrentScreen, 4);
  // No service was named: the request is recorded and fails, as with no network.
  EXPECT_EQ(g.Runner.Headless.Http.Requests.size(), 1u);
}

TEST(OnlineScores, TheWebAddressesAreTheServiceHosts) {
  TGame g;
  g.Run("scorehost scores.example.net:8080\nframes 70\n");
  TMForm& f = g.F();
  f.Menu.MenuIndex = 5;
  f.ActivateItem();
  g.Run("frames 5\n");
  f.Menu.MenuIndex = 4;
  f.ActivateItem();
  g.Run("frames 60\n");
  ASSERT_EQ(f.Menu.CurrentScreen, 4);
  f.Menu.MenuIndex = 8;
  f.ActivateItem();
  const auto& opened = g.Runner.Headless.Shell.Opened;
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], "http://scores.example.net:8080/");
  EXPECT_EQ(opened[1], "http://scores.example.net:8080/cgi/version.pl?prg=ZapWheely&show&type=0");
  EXPECT_TRUE(g.Runner.Headless.Http.Requests.empty());
}

// With no browser to open it (no opener, or none set as the default), the address stands on
// screen for a few seconds so the player can type it; an opened page leaves the screen alone.
TEST(OnlineScores, AnAddressNoBrowserOpenedIsShownForAWhile) {
  TGame g;
  g.Run("scorehost scores.example.net:8080\nframes 70\n");
  TMForm& f = g.F();
  std::vector<TMForm::TDrawnText> log;
  auto shown = [&](const std::string& text) {
    log.clear();
    f.TextLog = &log;
    g.Run("frames 1\n");
    f.TextLog = nullptr;
    for (const auto& t : log)
      if (t.Text == text && t.X >= 0 && t.Y >= 0 && t.Y < 600 &&
          t.X + f.Fonts->Width(t.Style, t.Text) <= 800)
        return true;
    return false;
  };
  const std::string home = "http://scores.example.net:8080/";
  f.Menu.MenuIndex = 5;
  f.ActivateItem();
  EXPECT_FALSE(shown(home));
  g.Runner.Headless.Shell.Fails = true;
  f.Menu.MenuIndex = 5;
  f.ActivateItem();
  EXPECT_TRUE(shown(home));
  g.Run("frames 340\n");  // four seconds at 85 frames a second
  EXPECT_TRUE(shown(home));
  g.Run("frames 250\n");
  EXPECT_FALSE(shown(home));
  EXPECT_EQ(g.Runner.Headless.Shell.Opened.size(), 2u);
}

}  // namespace
}  // namespace zw
