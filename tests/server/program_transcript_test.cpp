// The score service as a program: the real zapwheely-scores on the loopback spoken to in raw
// bytes, its command line, its request log, and the fill and verifier tools, against the
// recording in tests/server/transcripts/program.transcript.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "server/store.hpp"
#include "tests/server/scores_process.hpp"
#include "tests/server/transcript.hpp"

namespace zw::scores::test {
namespace {

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// Raw bytes as the recording shows them: line ends as they came, other control bytes escaped,
// and a result's date (the real clock's) as YYYY-MM-DD.
std::string Shown(std::string bytes) {
  bytes = Replace(bytes, "\r\n", "\n");
  std::string out = BodyText("text/plain", bytes);
  for (size_t i = 0; i + 10 <= out.size(); ++i) {
    auto digit = [&](size_t k) { return out[i + k] >= '0' && out[i + k] <= '9'; };
    if (digit(0) && digit(1) && digit(2) && digit(3) && out[i + 4] == '-' && digit(5) && digit(6) &&
        out[i + 7] == '-' && digit(8) && digit(9))
      out.replace(i, 10, "YYYY-MM-DD");
  }
  return out;
}

std::string FirstLine(const std::string& s) {
  const std::string line = s.substr(0, s.find_first_of("\r\n"));
  return line.size() > 100 ? line.substr(0, 80) + "...(" + std::to_string(line.size()) + ")" : line;
}

// Reads one whole reply (its head and Content-Length bytes of body) from a connection kept
// open; bounded in time.
std::string ReadOneReply(int fd) {
  std::string got;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    const size_t head = got.find("\r\n\r\n");
    if (head != std::string::npos) {
      const size_t cl = got.find("Content-Length: ");
      if (cl != std::string::npos && cl < head &&
          got.size() >= head + 4 + std::strtoull(got.c_str() + cl + 16, nullptr, 10))
        return got;
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[4096];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

class TProgramTranscript {
 public:
  void Note(const std::string& text) { out_ += "\n# " + text + "\n"; }
  // Sends the bytes on a new connection (half-closing it when asked) and records all that
  // comes back until the service closes it.
  void Raw(const std::string& what, int port, const std::string& bytes, bool halfClose = false) {
    const int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    SendAll(fd, bytes);
    if (halfClose) shutdown(fd, SHUT_WR);
    const std::string reply = ReadFor(fd, 5000);
    close(fd);
    Exchange(what, bytes, reply);
  }
  void Exchange(const std::string& what, const std::string& sent, const std::string& reply) {
    out_ += "--- " + std::to_string(++n_) + ". " + what + "\n";
    if (!sent.empty())
      out_ += "  sent " + std::to_string(sent.size()) + " bytes: " + Shown(FirstLine(sent) + "\n");
    out_ += Shown(reply.empty() ? "(no reply)" : reply);
  }
  void Line(const std::string& text) { out_ += text + "\n"; }
  const std::string& Text() const { return out_; }

 private:
  std::string out_;
  int n_ = 0;
};

const std::string Close = "Host: x\r\nConnection: close\r\n\r\n";

TEST(ScoresProgramTranscript, HttpExchangesAndTheLog) {
  TTempDir dir;
  std::ofstream(dir.Path() + "/shot.png", std::ios::binary) << "\x89PNG\r\n\x1a\nnot a picture";
  TScoresProcess service({"--db", dir.Path() + "/scores.db", "--docs", dir.Path(), "--rate-limit",
                          "0", "--max-body", "1000", "--keep-alive", "30"});
  ASSERT_TRUE(service.Started()) << service.Log();
  const int port = service.Port();
  TProgramTranscript t;
  t.Note("good requests");
  t.Raw("the home page", port, "GET / HTTP/1.1\r\n" + Close);
  t.Raw("HEAD of the home page", port, "HEAD / HTTP/1.1\r\n" + Close);
  t.Raw("HTTP/1.0 closes after its reply", port, "GET /healthz HTTP/1.0\r\n\r\n");
  t.Raw("a picture", port, "GET /docs/shot.png HTTP/1.1\r\n" + Close);
  t.Raw("a result", port, "GET " + SubmitTarget("Ann", 300, "NZ") + " HTTP/1.1\r\n" + Close);
  t.Raw("the table as JSON", port, "GET /api/scores HTTP/1.1\r\n" + Close);
  t.Raw("an unknown method", port, "BREW /pot HTTP/1.1\r\n" + Close);
  t.Raw("a chunked body", port,
        "POST /replay HTTP/1.1\r\nTransfer-Encoding: chunked\r\n" + Close +
            "4\r\nZWR\x1a\r\n0\r\n\r\n");
  t.Raw("a body the routes take no POST for, at the bound", port,
        "POST /api/scores HTTP/1.1\r\nContent-Length: 1000\r\n" + Close + std::string(1000, 'b'));
  t.Raw("a body over the bound", port,
        "POST /api/scores HTTP/1.1\r\nContent-Length: 1001\r\n" + Close + std::string(1001, 'b'));
  t.Raw(
      "Expect: 100-continue", port,
      "POST /replay HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 4\r\n" + Close + "ZWR\x1a");
  t.Note("broken and oversized requests");
  t.Raw("not a request line", port, "HELLO\r\n\r\n");
  t.Raw("HTTP/2.0", port, "GET / HTTP/2.0\r\n\r\n");
  t.Raw("a header line without a colon", port, "GET / HTTP/1.1\r\nBad Header\r\n\r\n");
  t.Raw("a bad Content-Length", port, "POST /replay HTTP/1.1\r\nContent-Length: abc\r\n\r\n");
  t.Raw("a target of 5000 characters", port,
        "GET /api/scores?pad=" + std::string(4980, 'p') + " HTTP/1.1\r\n" + Close);
  std::string lines;
  for (int i = 0; i < 101; ++i) lines += "X-" + std::to_string(i) + ": y\r\n";
  t.Raw("101 header lines", port, "GET / HTTP/1.1\r\n" + lines + Close);
  std::string hundred;
  for (int i = 0; i < 99; ++i) hundred += "X-" + std::to_string(i) + ": y\r\n";
  t.Raw("100 header lines", port, "GET /healthz HTTP/1.1\r\n" + hundred + Close);
  t.Raw("17 KiB of headers", port,
        "GET / HTTP/1.1\r\nX: " + std::string(17 * 1024, 'x') + "\r\n" + Close);
  t.Raw("a request cut off", port, "GET / HTTP/1.1\r\nHost", true);
  t.Note("keep-alive, pipelining, Connection: close");
  {
    const int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    const std::string one = "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n";
    SendAll(fd, one);
    t.Exchange("kept alive, first", one, ReadOneReply(fd));
    const std::string two = "GET /nowhere HTTP/1.1\r\nHost: x\r\n\r\n";
    SendAll(fd, two);
    t.Exchange("kept alive, second on the same connection", two, ReadOneReply(fd));
    const std::string three = "GET /healthz HTTP/1.1\r\n" + Close;
    SendAll(fd, three);
    t.Exchange("then closed by the client's word", three, ReadFor(fd, 5000));
    close(fd);
  }
  t.Raw("three pipelined, the client half-closing", port,
        "GET " + SubmitTarget("Bo", 20, "") + " HTTP/1.1\r\nHost: x\r\n\r\n" +
            "GET /api/scores HTTP/1.1\r\nHost: x\r\n\r\n" + "GET " + SubmitTarget("Cy", 30, "") +
            " HTTP/1.1\r\nHost: x\r\n\r\n",
        true);
  t.Note("--rate-limit 0: no limit");
  std::string statuses;
  for (int i = 1; i <= 35; ++i)
    statuses += " " + std::to_string(HttpGet(port, SubmitTarget("Ray", i, "")).Status);
  t.Line("35 submissions from one address:" + statuses);
  EXPECT_EQ(service.Stop(), 0);
  t.Note("the request log");
  t.Line(Shown(service.Log()));
  CheckTranscript("program.transcript", "http", t.Text());
}

// A connection held open and known to be taken: its request has been answered.
int Held(int port, const std::string& from) {
  const int fd = ConnectFrom(port, from);
  if (fd < 0) return fd;
  SendAll(fd, "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
  if (ReadOneReply(fd).find("\r\n\r\nok\n") == std::string::npos) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(ScoresProgramTranscript, ConnectionLimits) {
  TTempDir dir;
  TScoresProcess service({"--db", dir.Path() + "/scores.db", "--max-per-address", "2",
                          "--max-connections", "4", "--keep-alive", "30", "--quiet"});
  ASSERT_TRUE(service.Started()) << service.Log();
  const int port = service.Port();
  TProgramTranscript t;
  auto probe = [&](const std::string& what, const std::string& from) {
    const int fd = ConnectFrom(port, from);
    ASSERT_GE(fd, 0);
    const std::string req = "GET /healthz HTTP/1.1\r\n" + Close;
    SendAll(fd, req);
    t.Exchange(what, req, ReadFor(fd, 5000));
    close(fd);
  };
  t.Note("--max-per-address 2 --max-connections 4; each held connection has had its answer");
  const int a1 = Held(port, "127.0.0.2"), a2 = Held(port, "127.0.0.2");
  ASSERT_TRUE(a1 >= 0 && a2 >= 0);
  probe("a third from 127.0.0.2, which holds two", "127.0.0.2");
  const int b1 = Held(port, "127.0.0.3");
  const int c1 = Held(port, "127.0.0.4");
  t.Line(std::string("the fourth connection in all is served: ") + (c1 >= 0 ? "yes" : "no"));
  probe("a fifth in all, from 127.0.0.5", "127.0.0.5");
  close(c1);
  // The service lets the closed one go in its own time: ask until it has (bounded).
  std::string status;
  for (int i = 0; i < 100 && status != "200"; ++i) {
    status = std::to_string(HttpGet(port, "/healthz", 3000).Status);
    if (status != "200") std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  t.Line("once one is closed, a new one is served: " + status);
  for (int fd : {a1, a2, b1}) close(fd);
  CheckTranscript("program.transcript", "connection-limits", t.Text());
}

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

// Runs a program to its end (bounded by timeout), with its outputs in files.
TRun RunProgram(const std::string& program, const std::string& args, const std::string& dir) {
  const std::string cmd = "cd '" + dir + "' && timeout 20 '" + program + "' " + args + " >'" + dir +
                          "/out' 2>'" + dir + "/err' </dev/null";
  const int rc = std::system(cmd.c_str());
  TRun r;
  r.Status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  };
  r.Out = slurp(dir + "/out");
  r.Err = slurp(dir + "/err");
  return r;
}

TEST(ScoresProgramTranscript, CommandLinesAndTools) {
  TTempDir dir;
  const std::string scores = ScoresBinary();
  const std::string runDir = scores.substr(0, scores.rfind('/'));
  TProgramTranscript t;
  auto run = [&](const std::string& program, const std::string& args) {
    const TRun r = RunProgram(program, args, dir.Path());
    std::string shown = program.substr(program.rfind('/') + 1) + " " + args;
    std::string text = "exit " + std::to_string(r.Status) + "\n";
    if (!r.Out.empty()) text += "stdout:\n" + r.Out;
    if (!r.Err.empty()) text += "stderr:\n" + r.Err;
    for (auto* s : {&shown, &text}) {
      // The run-time folder lies inside the source folder on most machines, and its name
      // differs between builds (the sanitizer build's is another): it goes first.
      *s = Replace(*s, dir.Path(), "<tmp>");
      *s = Replace(*s, runDir, "<run>");
      *s = Replace(*s, std::string(ZW_SOURCE_DIR), "<source>");
    }
    t.Exchange(shown, "", text);
  };
  t.Note("zapwheely-scores' command line");
  for (const char* args : {"--help",
                           "-h",
                           "",
                           "--db",
                           "--listen 127.0.0.1:0",
                           "--db x.db --bogus",
                           "--db x.db --rate-limit -1",
                           "--db x.db --rate-limit x",
                           "--db x.db --rate-limit 1000001",
                           "--db x.db --rate-limit 0 --listen nowhere",
                           "--db x.db --rate-limit 1000000 --listen :1",
                           "--db x.db --workers 0",
                           "--db x.db --workers 1025",
                           "--db x.db --max-body -1",
                           "--db x.db --max-connections 0",
                           "--db x.db --max-per-address 0",
                           "--db x.db --read-timeout 0",
                           "--db x.db --keep-alive ''",
                           "--db x.db --verify-memory 63",
                           "--db x.db --verify-workers 0",
                           "--db x.db --verify-wall 100001",
                           "--db x.db --listen 999.1.1.1:0",
                           "--db x.db --listen 127.0.0.1:65536",
                           "--db /nonexistent/dir/x.db --listen 127.0.0.1:0"})
    run(scores, args);
  t.Note("zapwheely-scores-fill");
  const std::string fill = ZW_SCORES_FILL_BIN;
  run(fill, "");
  run(fill, "--db f.db");
  run(fill, "--db f.db --rows 0");
  run(fill, "--db f.db --rows 5 --seed 7");
  {
    auto store = OpenScoreStore(dir.Path() + "/f.db");
    for (const TScoreRow& r : store->Page(0, 10))
      t.Line("  row " + std::to_string(r.Rank) + ": " + r.Name + " " + std::to_string(r.Score) +
             " [" + r.Country + "]");
  }
  run(fill, "--db /nonexistent/dir/f.db --rows 1");
  t.Note("zapwheely-verify");
  const std::string verify = runDir + "/zapwheely-verify";
  std::ofstream(dir.Path() + "/junk.zwr", std::ios::binary) << "not a replay at all";
  std::ofstream(dir.Path() + "/magic.zwr", std::ios::binary) << "ZWR\x1a" << std::string(40, '\0');
  for (const char* args : {"--help", "--bogus", "--score x junk.zwr", "missing.zwr", "junk.zwr",
                           "magic.zwr", "--score 5 magic.zwr"})
    run(verify, args);
  CheckTranscript("program.transcript", "command-lines", t.Text());
}

}  // namespace
}  // namespace zw::scores::test
