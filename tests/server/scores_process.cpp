// A real score service for the tests, and a minimal HTTP client over the loopback.
#include "tests/server/scores_process.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "online/score_record.hpp"

namespace zw::scores::test {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits up to ms for the child to end; its exit status, or -1.
int WaitFor(pid_t pid, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0) return -1;
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

std::string ScoresBinary() {
  return ZW_SCORES_BIN;
}

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zw-scores-XXXXXX").string();
  if (mkdtemp(tmpl.data())) path_ = tmpl;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

TScoresProcess::TScoresProcess(const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return;
  char logTmpl[] = "/tmp/zw-scores-log-XXXXXX";
  const int logFd = mkstemp(logTmpl);
  logPath_ = logTmpl;
  std::vector<std::string> argv = {ScoresBinary(), "--listen", "127.0.0.1:0"};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    if (logFd >= 0) dup2(logFd, 2);
    close(out[0]);
    close(out[1]);
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    execv(cargv[0], cargv.data());
    _exit(127);
  }
  close(out[1]);
  if (logFd >= 0) close(logFd);
  if (pid_ < 0) {
    close(out[0]);
    return;
  }
  // The first line is the address; give a slow, shared machine ten seconds.
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, MsLeft(deadline)) <= 0) break;
    char buf[256];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  const size_t colon = line.rfind(':');
  if (line.starts_with("127.0.0.1:") && colon != std::string::npos)
    port_ = std::atoi(line.c_str() + colon + 1);
}

TScoresProcess::~TScoresProcess() {
  if (pid_ > 0) Stop();
  if (!logPath_.empty()) unlink(logPath_.c_str());
}

int TScoresProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = WaitFor(pid_, 15000);
  if (status < 0) {
    kill(pid_, SIGKILL);
    WaitFor(pid_, 5000);
  }
  pid_ = -1;
  port_ = 0;
  return status;
}

void TScoresProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  WaitFor(pid_, 5000);
  pid_ = -1;
  port_ = 0;
}

std::string TScoresProcess::Log() const {
  std::ifstream in(logPath_);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int ConnectLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int ConnectFrom(int port, const std::string& source) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &from.sin_addr);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string ReadFor(int fd, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  std::string out;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, MsLeft(deadline)) <= 0) break;
    char buf[16384];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

THttpResult HttpRaw(int port, const std::string& request, int timeoutMs) {
  THttpResult result;
  const int fd = ConnectLoopback(port);
  if (fd < 0) return result;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string reply;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, MsLeft(deadline)) <= 0) break;
    char buf[16384];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    reply.append(buf, static_cast<size_t>(n));
    // A kept-alive connection stays open: stop once the whole body is in.
    const size_t head = reply.find("\r\n\r\n");
    const size_t len = reply.find("Content-Length: ");
    if (head != std::string::npos && len != std::string::npos && len < head &&
        reply.size() >= head + 4 + std::strtoul(reply.c_str() + len + 16, nullptr, 10))
      break;
  }
  close(fd);
  const size_t end = reply.find("\r\n\r\n");
  if (!reply.starts_with("HTTP/1.") || end == std::string::npos || reply.size() < 12) return result;
  result.Status = std::atoi(reply.c_str() + 9);
  result.Headers = reply.substr(0, end);
  result.Body = reply.substr(end + 4);
  return result;
}

THttpResult HttpGet(int port, const std::string& target, int timeoutMs) {
  return HttpRaw(port,
                 "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
                 timeoutMs);
}

bool HaveChromium() {
  return std::system("command -v chromium >/dev/null 2>&1") == 0;
}

std::string DumpDom(const std::string& url, std::string* console) {
  TTempDir profile;
  const std::string logPath = profile.Path() + "/console.log";
  // A browser that hangs is ended, and killed if it does not go.
  const std::string cmd =
      "timeout -k 10 90 chromium --headless --no-sandbox --disable-gpu --disable-quic "
      "--no-first-run --disable-background-networking --disable-component-update --disable-sync "
      "--enable-logging=stderr --v=0 --user-data-dir=" +
      profile.Path() + " --dump-dom '" + url + "' 2>" + logPath;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  std::string dom;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) dom.append(buf, n);
  pclose(p);
  if (console) {
    std::ifstream in(logPath);
    std::string line;
    while (std::getline(in, line))
      if (line.find("CONSOLE") != std::string::npos || line.find("Refused") != std::string::npos)
        *console += line + "\n";
  }
  return dom;
}

std::string SubmitTarget(const std::string& name, int score, const std::string& country) {
  return "/cgi/version.pl?hs&prg=ZapWheely&inf=" +
         online::EncodeScoreRecord(online::TScoreRecord{name, score, country});
}

}  // namespace zw::scores::test
