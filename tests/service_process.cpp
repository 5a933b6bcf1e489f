// Starting and stopping a real score service for tests.
#include "tests/service_process.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace zw::test {

std::string BuiltProgram(const std::string& name) {
  return std::string(ZW_RUN_DIR) + "/" + name;
}

TScoreService::TScoreService(const std::string& db, const std::vector<std::string>& extra) {
  int out[2];
  if (pipe(out) != 0) return;
  const std::string program = BuiltProgram("zapwheely-scores");
  std::vector<std::string> args = {program, "--listen", "127.0.0.1:0", "--db", db};
  args.insert(args.end(), extra.begin(), extra.end());
  Pid = fork();
  if (Pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  if (Pid < 0) {
    close(out[0]);
    return;
  }
  // The first line is the address; give it ten seconds at most.
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(out[0], &c, 1) != 1) break;
    if (c == '\n') {
      Address = line;
      break;
    }
    line += c;
  }
  close(out[0]);
}

TScoreService::~TScoreService() {
  Stop();
}

int TScoreService::Stop() {
  if (Pid <= 0) return -1;
  kill(Pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 50; ++i) {
    if (waitpid(Pid, &status, WNOHANG) == Pid) {
      Pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(Pid, SIGKILL);
  waitpid(Pid, &status, 0);
  Pid = -1;
  return 128 + SIGKILL;
}

int FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(s);
  return port;
}

namespace {
size_t Append(char* data, size_t size, size_t n, void* user) {
  static_cast<std::string*>(user)->append(data, size * n);
  return size * n;
}
}  // namespace

int HttpGet(const std::string& url, std::string& body, long totalMs) {
  body.clear();
  CURL* c = curl_easy_init();
  if (!c) return 0;
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalMs);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
  long status = 0;
  if (curl_easy_perform(c) == CURLE_OK) curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(c);
  return static_cast<int>(status);
}

}  // namespace zw::test
