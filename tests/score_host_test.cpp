// The score host a player or a system sets: what counts as a host, where it is read from and
// which setting wins.
#include "shell/score_host.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zw {
namespace {

namespace fs = std::filesystem;

TEST(ScoreHost, PlainHostsAndPortsAreTakenAndEverythingElseRefused) {
  for (const char* good : {"127.0.0.1:8417", "localhost", "scores.example.net:80",
                           "a-b.example.net", "[::1]:8417", "[2001:db8::7]", "host:65535"})
    EXPECT_TRUE(ValidScoreHost(good)) << good;
  for (const char* bad : {"",
                          "http://scores.example.net",
                          "scores.example.net/path",
                          "user@scores.example.net",
                          "scores.example.net:0",
                          "scores.example.net:65536",
                          "scores.example.net:84a7",
                          "scores.example.net:",
                          "scores.example.net:8417/",
                          "evil.net?x=",
                          "evil.net#",
                          "two words",
                          "host\\r\\nX-Injected: 1",
                          "-lead.example.net",
                          "trail-.example.net",
                          "a..b",
                          ".",
                          "[::1",
                          "[::1]x",
                          "[zz::1]:80",
                          "%41bc.net",
                          "host:80:80",
                          "scores.example.net:08417x"})
    EXPECT_FALSE(ValidScoreHost(bad)) << bad;
  EXPECT_FALSE(ValidScoreHost(std::string(254, 'a')));
  EXPECT_FALSE(ValidScoreHost(std::string(64, 'a') + ".net"));
}

TEST(ScoreHost, LoopbackIsThisComputerOnly) {
  for (const char* h : {"127.0.0.1:8417", "127.3.4.5", "localhost:1", "[::1]:8417"})
    EXPECT_TRUE(LoopbackScoreHost(h)) << h;
  for (const char* h : {"127.example.net:8417", "10.0.0.1:8417", "scores.example.net", "[::2]"})
    EXPECT_FALSE(LoopbackScoreHost(h)) << h;
}

TEST(ScoreHost, ThePlayersFileFollowsTheConfigHome) {
  EXPECT_EQ(UserScoreHostFile("/cfg", "/home/p"), "/cfg/zapwheely/score-host");
  EXPECT_EQ(UserScoreHostFile(nullptr, "/home/p"), "/home/p/.config/zapwheely/score-host");
  // A relative or empty config home is ignored, as the base-directory rules ask.
  EXPECT_EQ(UserScoreHostFile("rel", "/home/p"), "/home/p/.config/zapwheely/score-host");
  EXPECT_EQ(UserScoreHostFile("", "/home/p"), "/home/p/.config/zapwheely/score-host");
  EXPECT_EQ(UserScoreHostFile(nullptr, nullptr), "");
}

class ScoreHostFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("zw-score-host-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    User = (Dir / "user").string();
    System = (Dir / "system").string();
  }
  void TearDown() override { fs::remove_all(Dir); }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  fs::path Dir;
  std::string User, System;
};

TEST_F(ScoreHostFiles, TheFirstMeaningfulLineIsTheSetting) {
  Write(System, "# the community table\n\n   scores.example.net:8417  \r\nignored.example.net\n");
  EXPECT_EQ(ReadScoreHostFile(System), "scores.example.net:8417");
  Write(System, "# nothing but comments\n\n");
  EXPECT_EQ(ReadScoreHostFile(System), "");
  EXPECT_EQ(ReadScoreHostFile((Dir / "missing").string()), "");
  EXPECT_EQ(ReadScoreHostFile(Dir.string()), "") << "a folder is not a setting";
}

TEST_F(ScoreHostFiles, EnvironmentThenPlayerThenSystemThenTheBuild) {
  const std::string built = "127.0.0.1:8417";
  EXPECT_EQ(ChooseScoreHost(nullptr, User, System, built).Host, built);
  Write(System, "system.example.net:1\n");
  EXPECT_EQ(ChooseScoreHost(nullptr, User, System, built).Host, "system.example.net:1");
  Write(User, "player.example.net:2\n");
  EXPECT_EQ(ChooseScoreHost(nullptr, User, System, built).Host, "player.example.net:2");
  const TScoreHostChoice env = ChooseScoreHost("env.example.net:3", User, System, built);
  EXPECT_EQ(env.Host, "env.example.net:3");
  EXPECT_EQ(env.From, ScoreHostVariable);
  EXPECT_TRUE(env.Ignored.empty());
  // An empty variable counts as unset.
  EXPECT_EQ(ChooseScoreHost("", User, System, built).Host, "player.example.net:2");
}

TEST_F(ScoreHostFiles, ABadSettingFallsThroughAndIsReported) {
  const std::string built = "127.0.0.1:8417";
  Write(User, "http://player.example.net/steal?x=\n");
  Write(System, "system.example.net:1\n");
  const TScoreHostChoice c = ChooseScoreHost("file:///etc/passwd", User, System, built);
  EXPECT_EQ(c.Host, "system.example.net:1");
  EXPECT_EQ(c.From, System);
  ASSERT_EQ(c.Ignored.size(), 2u);
  EXPECT_NE(c.Ignored[0].find(ScoreHostVariable), std::string::npos);
  EXPECT_NE(c.Ignored[1].find(User), std::string::npos);
  Write(System, "also bad\n");
  EXPECT_EQ(ChooseScoreHost(nullptr, User, System, built).Host, built);
}

}  // namespace
}  // namespace zw
