// A throw-away PostgreSQL server for the tests, stopped and removed whatever happens to the test.
#pragma once

#include <sys/types.h>

#include <string>

namespace zw::scores::test {

class TPgServer {
 public:
  // Starts a fresh server on a free loopback port; Url() is empty (and Error() says why) when
  // it cannot start.
  TPgServer();
  ~TPgServer();
  TPgServer(const TPgServer&) = delete;
  TPgServer& operator=(const TPgServer&) = delete;

  const std::string& Url() const { return url_; }
  const std::string& Error() const { return error_; }
  // A new empty database on the server, as a connection address.
  std::string NewDatabase();
  // The database going away and coming back, on the same port with the same data.
  bool Stop();
  bool Start();

 private:
  std::string dir_;
  int port_ = 0;
  std::string url_;
  std::string error_;
  int guardPipe_ = -1;
  pid_t guard_ = -1;
  int databases_ = 0;
};

}  // namespace zw::scores::test
