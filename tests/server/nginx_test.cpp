// The score service behind a real nginx, with TLS, configured exactly as the README says: the
// test takes the README's nginx block, points it at a throw-away certificate and ports on the
// loopback, and starts nginx from a temporary prefix (stopped whatever happens).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/server/scores_process.hpp"

namespace zw::scores::test {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Output(const std::string& cmd) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  std::string out;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  pclose(p);
  return out;
}

int FreePort() {
  const std::string out = Output(
      "python3 -c 'import socket; s=socket.socket(); s.bind((\"127.0.0.1\",0)); "
      "print(s.getsockname()[1])'");
  return std::atoi(out.c_str());
}

void Replace(std::string& s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  s.replace(at, from.size(), to);
}

class TNginx {
 public:
  ~TNginx() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void Start(const std::string& prefix, const std::string& conf) {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string log = prefix + "/stderr.log";
      if (!freopen(log.c_str(), "w", stderr)) _exit(127);
      execlp("nginx", "nginx", "-p", prefix.c_str(), "-c", conf.c_str(), "-g", "daemon off;",
             nullptr);
      _exit(127);
    }
  }

 private:
  pid_t pid_ = -1;
};

TEST(ScoresNginx, SubmissionsTableAndLimitThroughTheReadmeConfiguration) {
  if (std::system("command -v nginx >/dev/null 2>&1 && command -v curl >/dev/null 2>&1 && "
                  "command -v openssl >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "nginx, curl or openssl is not installed: the proxy was NOT checked";
  TTempDir dir;
  const std::string d = dir.Path();
  TScoresProcess service({"--db", d + "/scores.db", "--behind-proxy", "--rate-limit", "2"});
  ASSERT_TRUE(service.Started()) << service.Log();

  ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                         "-keyout " +
                         d + "/key.pem -out " + d + "/cert.pem 2>/dev/null")
                            .c_str()),
            0);
  const std::string readme = ReadText(std::string(ZW_SOURCE_DIR) + "/README.md");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(readme, m, std::regex("```nginx\n([^`]*)```")));
  std::string block = m[1];
  const int port = FreePort();
  Replace(block, "listen 443 ssl", "listen 127.0.0.1:" + std::to_string(port) + " ssl");
  Replace(block, "/etc/ssl/zapwheely/fullchain.pem", d + "/cert.pem");
  Replace(block, "/etc/ssl/zapwheely/privkey.pem", d + "/key.pem");
  Replace(block, "127.0.0.1:8417", "127.0.0.1:" + std::to_string(service.Port()));
  std::string conf = "pid " + d + "/nginx.pid;\nerror_log " + d + "/error.log;\n" +
                     "worker_processes 1;\nevents {}\nhttp {\naccess_log " + d +
                     "/access.log;\nclient_body_temp_path " + d + "/tmp;\nproxy_temp_path " + d +
                     "/tmp;\nfastcgi_temp_path " + d + "/tmp;\n" + block + "}\n";
  { std::ofstream(d + "/nginx.conf") << conf; }
  std::system(("mkdir -p " + d + "/tmp && chmod 1777 " + d + "/tmp && chmod 755 " + d).c_str());
  TNginx nginx;
  nginx.Start(d, d + "/nginx.conf");
  const std::string base = "https://127.0.0.1:" + std::to_string(port);
  auto curl = [&](const std::string& args, const std::string& target) {
    return Output("curl -sk --max-time 10 -o /dev/null -w '%{http_code}' " + args + " '" + base +
                  target + "'");
  };
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = curl("", "/healthz") == "200";
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(up) << ReadText(d + "/stderr.log") << ReadText(d + "/error.log");

  // Two submissions a minute for each player; a header the player forges changes nothing.
  EXPECT_EQ(curl("", SubmitTarget("Via", 500, "NL")), "200");
  EXPECT_EQ(curl("-H 'X-Forwarded-For: 9.9.9.9'", SubmitTarget("Via", 501, "NL")), "200");
  EXPECT_EQ(curl("-H 'X-Forwarded-For: 9.9.9.8'", SubmitTarget("Via", 502, "NL")), "429");
  // Another player, from another address, is not held back by the first.
  EXPECT_EQ(curl("--interface 127.0.0.2", SubmitTarget("Other", 700, "SE")), "200");
  const std::string table =
      Output("curl -sk --max-time 10 '" + base + "/cgi/version.pl?prg=ZapWheely&show&type=0'");
  EXPECT_NE(table.find("<td>Other</td><td class=\"num\">700</td>"), std::string::npos) << table;
  EXPECT_NE(table.find("<td>Via</td><td class=\"num\">501</td>"), std::string::npos) << table;
  const std::string log = service.Log();
  EXPECT_NE(log.find("127.0.0.2 GET /cgi/version.pl?hs"), std::string::npos) << log;
  EXPECT_EQ(log.find("9.9.9.9"), std::string::npos) << log;
}

}  // namespace
}  // namespace zw::scores::test
