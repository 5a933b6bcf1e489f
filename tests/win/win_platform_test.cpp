// The Windows platform's own parts: the score requests on WinHTTP against a real listener on the
// loopback, the browser's address check, the save folder's choice and the saved files' calls.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/win_folders.hpp"
#include "platform/win/win_http.hpp"
#include "platform/win/win_session.hpp"
#include "platform/win/win_shell.hpp"
#include "save/save_files.hpp"

namespace zw {
namespace {

// A one-connection-at-a-time HTTP listener on 127.0.0.1 with a chosen behaviour.
class TLoopbackServer {
 public:
  enum Mode { Silent, Answer, Trickle };
  TLoopbackServer(Mode mode, std::string reply = {}) : How(mode), Reply(std::move(reply)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    Listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof a;
    if (bind(Listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(Listener, 8) != 0 ||
        getsockname(Listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    Port = ntohs(a.sin_port);
    if (How != Silent) Worker = std::thread([this] { Serve(); });
  }
  ~TLoopbackServer() {
    Stop = true;
    closesocket(Listener);
    if (Worker.joinable()) Worker.join();
    WSACleanup();
  }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(Mutex);
    return Seen;
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(Port) + path;
  }
  int Port = 0;

 private:
  void Serve() {
    while (!Stop) {
      SOCKET c = accept(Listener, nullptr, nullptr);
      if (c == INVALID_SOCKET) return;
      std::string req;
      char buf[4096];
      while (req.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        req.append(buf, n);
      }
      // A body announced by its length is taken whole.
      const size_t headEnd = req.find("\r\n\r\n");
      const size_t field = req.find("Content-Length: ");
      if (headEnd != std::string::npos && field != std::string::npos && field < headEnd) {
        const size_t want = headEnd + 4 + std::stoul(req.substr(field + 16));
        while (req.size() < want) {
          const int n = recv(c, buf, sizeof buf, 0);
          if (n <= 0) break;
          req.append(buf, n);
        }
      }
      {
        std::lock_guard<std::mutex> lock(Mutex);
        Seen.push_back(req);
      }
      if (How == Answer) {
        send(c, Reply.data(), static_cast<int>(Reply.size()), 0);
      } else {
        // Headers at once, then a byte of body every 100 ms for as long as the client listens.
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
        send(c, head.data(), static_cast<int>(head.size()), 0);
        for (int i = 0; i < 200 && !Stop; ++i) {
          if (send(c, "x", 1, 0) != 1) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
      }
      shutdown(c, SD_SEND);
      closesocket(c);
    }
  }
  Mode How;
  std::string Reply;
  SOCKET Listener = INVALID_SOCKET;
  std::thread Worker;
  std::atomic<bool> Stop{false};
  std::mutex Mutex;
  std::vector<std::string> Seen;
};

double Seconds(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

TEST(WinHttp, AnAnswerItsStatusAndTheCookieForTheNextRequest) {
  TLoopbackServer server(TLoopbackServer::Answer,
                         "HTTP/1.1 200 OK\r\nSet-Cookie: zw=abc; Path=/\r\nContent-Length: 5\r\n"
                         "Connection: close\r\n\r\nhello");
  ASSERT_GT(server.Port, 0);
  TWinHttp http;
  std::string body;
  EXPECT_TRUE(http.Get(server.Url("/cgi/version.pl?prg=ZapWheely&x=1"), body));
  EXPECT_EQ(body, "hello");
  EXPECT_TRUE(http.Get(server.Url("/again"), body));
  const auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("GET /cgi/version.pl?prg=ZapWheely&x=1 HTTP/1.1\r\n", 0), 0u) << seen[0];
  EXPECT_NE(seen[0].find("User-Agent: ZapWheely/"), std::string::npos) << seen[0];
  EXPECT_NE(seen[1].find("Cookie: zw=abc"), std::string::npos) << seen[1];
}

// A game's replay goes to the service as it is: every byte, NULs and all, under its own type.
TEST(WinHttp, APostCarriesTheBytesAndTellsTheStatus) {
  std::string replay("ZWR\x1a\0\x01\xff", 7);
  for (int i = 0; i < 40000; ++i) replay.push_back(static_cast<char>(i * 7));
  {
    TLoopbackServer server(TLoopbackServer::Answer,
                           "HTTP/1.1 202 Accepted\r\nContent-Length: 2\r\nConnection: close\r\n"
                           "\r\nok");
    ASSERT_GT(server.Port, 0);
    std::string body;
    int status = 0;
    EXPECT_TRUE(TWinHttp().Post(server.Url("/cgi/replay?inf=abc"), replay, body, status));
    EXPECT_EQ(status, 202);
    EXPECT_EQ(body, "ok");
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].rfind("POST /cgi/replay?inf=abc HTTP/1.1\r\n", 0), 0u) << seen[0];
    EXPECT_NE(seen[0].find("Content-Type: application/octet-stream\r\n"), std::string::npos);
    const size_t head = seen[0].find("\r\n\r\n");
    ASSERT_NE(head, std::string::npos);
    EXPECT_TRUE(seen[0].substr(head + 4) == replay) << seen[0].size() - head - 4 << " bytes came";
  }
  {
    TLoopbackServer server(
        TLoopbackServer::Answer,
        "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    std::string body;
    int status = 0;
    EXPECT_FALSE(TWinHttp().Post(server.Url("/cgi/replay"), replay, body, status));
    EXPECT_EQ(status, 404);
  }
  std::string body;
  int status = -1;
  EXPECT_FALSE(TWinHttp().Post("https://127.0.0.1:1/", replay, body, status));
  EXPECT_EQ(status, 0);
}

TEST(WinHttp, ErrorsAndRedirectsAreAnswersNotFollowed) {
  {
    TLoopbackServer server(
        TLoopbackServer::Answer,
        "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    std::string body;
    EXPECT_FALSE(TWinHttp().Get(server.Url("/missing"), body));
  }
  {
    TLoopbackServer server(TLoopbackServer::Answer,
                           "HTTP/1.1 302 Found\r\nLocation: http://192.0.2.1/\r\nContent-Length: 0"
                           "\r\nConnection: close\r\n\r\n");
    std::string body;
    EXPECT_TRUE(TWinHttp().Get(server.Url("/moved"), body));
    EXPECT_EQ(server.Requests().size(), 1u);
  }
  std::string body;
  EXPECT_FALSE(TWinHttp().Get("https://127.0.0.1:1/", body));
  EXPECT_FALSE(TWinHttp().Get("file:///C:/windows/win.ini", body));
  EXPECT_FALSE(TWinHttp().Get("not an address", body));
}

TEST(WinHttp, NobodyListeningFailsAtOnce) {
  int port = 0;
  {
    TLoopbackServer gone(TLoopbackServer::Silent);
    port = gone.Port;
  }
  std::string body;
  const double took = Seconds([&] {
    EXPECT_FALSE(TWinHttp(500, 1500).Get("http://127.0.0.1:" + std::to_string(port) + "/", body));
  });
  EXPECT_LT(took, 3.0);
}

// The whole request is bounded, whether the service never says a word or drips its answer.
TEST(WinHttp, ASilentOrTricklingServiceHoldsTheGameOnlyUntilTheLimit) {
  for (auto mode : {TLoopbackServer::Silent, TLoopbackServer::Trickle}) {
    TLoopbackServer server(mode);
    ASSERT_GT(server.Port, 0);
    std::string body;
    const double took =
        Seconds([&] { EXPECT_FALSE(TWinHttp(500, 1500).Get(server.Url("/slow"), body)); });
    EXPECT_GE(took, 1.2) << mode;
    EXPECT_LT(took, 3.5) << mode;
  }
}

TEST(WinShell, OnlyWebAddressesGoToTheBrowser) {
  EXPECT_TRUE(TWinShell::IsWebAddress("http://127.0.0.1:8417/"));
  EXPECT_TRUE(TWinShell::IsWebAddress("https://scores.example.net/cgi/version.pl?prg=ZapWheely"));
  EXPECT_FALSE(TWinShell::IsWebAddress("C:\\Windows\\System32\\calc.exe"));
  EXPECT_FALSE(TWinShell::IsWebAddress("file:///C:/Windows/win.ini"));
  EXPECT_FALSE(TWinShell::IsWebAddress("http://a/\" /c calc"));
  EXPECT_FALSE(TWinShell::IsWebAddress("HTTP://x/ y"));
}

class WinFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = std::filesystem::temp_directory_path() / L"zw-win-\u00e9t\u00e9";
    std::filesystem::remove_all(Root);
    std::filesystem::create_directories(Root);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(Root, ec);
  }
  std::string Utf8Root() const {
    const auto u8 = Root.u8string();
    return std::string(u8.begin(), u8.end());
  }
  std::filesystem::path Root;
};

TEST_F(WinFolders, APortableSaveFolderBesideTheProgramWins) {
  const std::string program = Utf8Root() + "\\Game";
  const std::string appData = Utf8Root() + "\\Roaming";
  std::filesystem::create_directories(FsPath(program));
  EXPECT_EQ(ChooseSaveFolder(program, appData), appData + "\\ZapWheely\\Data\\Save");
  EXPECT_EQ(ChooseSaveFolder(program, ""), "");
  std::filesystem::create_directories(FsPath(program + "\\Data\\Save"));
  EXPECT_EQ(ChooseSaveFolder(program, appData), "Data/Save");
}

// A player's folder may have any name, and a save replaces the files it saved before.
TEST_F(WinFolders, SavedFilesInAFolderWithAnyNameReplaceTheOldOnes) {
  const std::string folder = Utf8Root() + "\\Pl\u00e4yer \u65e5\u672c\\Data\\Save";
  const std::string options = folder + "\\options";
  ASSERT_TRUE(WriteLinesAtomically(options, {"1", "first"}));
  ASSERT_TRUE(WriteLinesAtomically(options, {"0", "second"}));
  std::vector<std::string> lines;
  ASSERT_TRUE(FileExists(options));
  ASSERT_TRUE(ReadLines(options, lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"0", "second"}));
  const std::string marker = folder + "\\saving";
  ASSERT_TRUE(SaveFileSet({{options, {"a"}}, {folder + "\\hs", {"b"}}}, marker));
  ASSERT_TRUE(ReadLines(options, lines));
  EXPECT_EQ(lines, std::vector<std::string>{"a"});
  EXPECT_FALSE(FileExists(marker));
  EXPECT_FALSE(FileExists(options + ".new"));
}

// A replay opened from a folder of the player's is still found after the game moves to its own.
TEST_F(WinFolders, AReplayNamedFromTheStartingFolderIsFoundFromAnyOther) {
  const std::filesystem::path before = std::filesystem::current_path();
  const std::string downloads = Utf8Root() + "\\Downloads \u00fc";
  std::filesystem::create_directories(FsPath(downloads));
  ASSERT_TRUE(WriteLinesAtomically(downloads + "\\ride.zwr", {"ZWR"}));
  std::filesystem::current_path(FsPath(downloads));
  const std::string whole = AbsolutePath("ride.zwr");
  const std::string given = AbsolutePath(downloads + "\\ride.zwr");
  std::filesystem::current_path(before);
  EXPECT_TRUE(FileExists(whole)) << whole;
  EXPECT_EQ(FsPath(whole), FsPath(given));
}

// Windows asks before it ends the session and may stop the game right after the end: the game
// saves at the question and stops at the end, and a session that goes on keeps the game going.
TEST(WinSession, TheGameSavesAtTheQuestionAndStopsOnlyWhenTheSessionEnds) {
  int saves = 0, ends = 0;
  TSessionEnd hooks;
  hooks.Save = [&] { ++saves; };
  hooks.End = [&] { ++ends; };
  EXPECT_FALSE(SessionMessage(WM_CLOSE, 0, hooks));
  EXPECT_TRUE(SessionMessage(WM_QUERYENDSESSION, 0, hooks));
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(SessionMessage(WM_ENDSESSION, FALSE, hooks));
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(SessionMessage(WM_QUERYENDSESSION, 0, hooks));
  EXPECT_TRUE(SessionMessage(WM_ENDSESSION, TRUE, hooks));
  EXPECT_TRUE(SessionMessage(WM_ENDSESSION, TRUE, hooks));
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace zw
