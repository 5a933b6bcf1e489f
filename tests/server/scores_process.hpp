// Test support for the score service: a real zapwheely-scores process on the loopback, stopped
// whatever happens, and a plain HTTP client that sends exactly the bytes it is given.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zw::scores::test {

// The service program the build made.
std::string ScoresBinary();
// A fresh empty folder that is removed with the object.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Starts zapwheely-scores --listen 127.0.0.1:0 with the extra arguments and reads the address
// it prints. The destructor stops it (SIGTERM, then SIGKILL after a grace time).
class TScoresProcess {
 public:
  explicit TScoresProcess(const std::vector<std::string>& args);
  ~TScoresProcess();
  TScoresProcess(const TScoresProcess&) = delete;
  TScoresProcess& operator=(const TScoresProcess&) = delete;

  bool Started() const { return port_ > 0; }
  int Port() const { return port_; }
  // The service's process, whose children are its verifiers.
  pid_t Pid() const { return pid_; }
  // SIGTERM and wait; the exit status (or -1 when it had to be killed or did not exit).
  int Stop();
  // SIGKILL and reap: the crash a power cut or the OOM killer would cause.
  void Kill();
  // What it wrote on standard error so far.
  std::string Log() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string logPath_;
};

struct THttpResult {
  int Status = 0;  // 0: no reply
  std::string Headers;
  std::string Body;
};

// One GET of target on 127.0.0.1:port on its own connection, waiting at most timeoutMs.
THttpResult HttpGet(int port, const std::string& target, int timeoutMs = 10000);
// Sends raw bytes and reads the reply until the peer closes or the time runs out.
THttpResult HttpRaw(int port, const std::string& request, int timeoutMs = 10000);
// A connected socket to 127.0.0.1:port (or -1).
int ConnectLoopback(int port);
// The same from another loopback address (127.0.0.2 and so on), as a second player would be.
int ConnectFrom(int port, const std::string& source);
// Sends all of data; false when the peer is gone.
bool SendAll(int fd, const std::string& data);
// Reads what arrives on fd until it closes or ms pass.
std::string ReadFor(int fd, int ms);

// Whether headless Chromium is installed.
bool HaveChromium();
// The DOM headless Chromium (a fresh profile, bounded in time) made of the page at url, or "" when
// it did not run; console gets what the page wrote to its console (a refusal by the page's
// security policy shows there).
std::string DumpDom(const std::string& url, std::string* console = nullptr);

// The submission address of a result as the game builds it.
std::string SubmitTarget(const std::string& name, int score, const std::string& country);

}  // namespace zw::scores::test
