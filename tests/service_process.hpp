// A real zapwheely-scores process for tests: started on a free loopback port, always stopped.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zw::test {

class TScoreService {
 public:
  // Starts the service with `--listen 127.0.0.1:0 --db DB` and the extra arguments, and waits
  // for the address it prints on its first line. Started() is false when it did not come up.
  explicit TScoreService(const std::string& db, const std::vector<std::string>& extra = {});
  ~TScoreService();
  TScoreService(const TScoreService&) = delete;
  TScoreService& operator=(const TScoreService&) = delete;

  bool Started() const { return Pid > 0 && !Address.empty(); }
  // Stops it with SIGTERM (SIGKILL after a few seconds); answers its exit status.
  int Stop();

  std::string Address;  // "127.0.0.1:PORT"
  pid_t Pid = -1;
};

// The path of a program built beside the tests.
std::string BuiltProgram(const std::string& name);

// A loopback port that nothing listens on (bound once, then released).
int FreeLoopbackPort();

// Plain GET over the loopback with the game's own client; answers the status (0 when no reply).
int HttpGet(const std::string& url, std::string& body, long totalMs = 5000);

}  // namespace zw::test
