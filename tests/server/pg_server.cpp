// The throw-away PostgreSQL server: scripts/pg-throwaway.sh does the work; a guard process
// removes the server when this process ends in any way, even by SIGKILL.
#include "tests/server/pg_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace zw::scores::test {

namespace {

std::string Script() {
  return std::string(ZW_SOURCE_DIR) + "/scripts/pg-throwaway.sh";
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

// Runs a command; its standard output, and whether it succeeded.
bool Run(const std::string& cmd, std::string& out) {
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return false;
  char buf[512];
  out.clear();
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  return pclose(p) == 0;
}

}  // namespace

TPgServer::TPgServer() {
  char tmpl[] = "/tmp/zw-pg-XXXXXX";
  if (!mkdtemp(tmpl)) {
    error_ = "no temporary folder";
    return;
  }
  dir_ = tmpl;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "no pipe";
    return;
  }
  guard_ = fork();
  if (guard_ == 0) {
    // The guard: waits until the test process lets go of the pipe (it ends, however it ends),
    // then removes the server.
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    close(fds[1]);
    char c;
    while (read(fds[0], &c, 1) > 0) {
    }
    const std::string cmd = "bash '" + Script() + "' clean '" + dir_ + "' >/dev/null 2>&1";
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(1);
  }
  close(fds[0]);
  guardPipe_ = fds[1];
  port_ = FreePort();
  Start();
}

TPgServer::~TPgServer() {
  if (guardPipe_ >= 0) close(guardPipe_);
  if (guard_ > 0) waitpid(guard_, nullptr, 0);
}

bool TPgServer::Start() {
  std::string out;
  if (!Run("bash '" + Script() + "' start '" + dir_ + "' " + std::to_string(port_) + " nosync",
           out)) {
    error_ = out;
    url_.clear();
    return false;
  }
  while (!out.empty() && (out.back() == '\n')) out.pop_back();
  const size_t at = out.rfind("postgresql://");
  url_ = at == std::string::npos ? std::string() : out.substr(at);
  if (url_.empty()) error_ = out;
  return !url_.empty();
}

bool TPgServer::Stop() {
  std::string out;
  return Run("bash '" + Script() + "' stop '" + dir_ + "'", out);
}

std::string TPgServer::NewDatabase() {
  if (url_.empty()) return "";
  const std::string name =
      "scores_" + std::to_string(getpid()) + "_" + std::to_string(++databases_);
  PGconn* c = PQconnectdb(url_.c_str());
  const std::string sql = "CREATE DATABASE " + name;
  PGresult* r = PQexec(c, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  PQclear(r);
  PQfinish(c);
  if (!ok) return "";
  return url_.substr(0, url_.rfind('/') + 1) + name;
}

}  // namespace zw::scores::test
