// The score service's requests as plain functions: a request in, a reply out, no sockets.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/store.hpp"

namespace zw::scores {

struct THttpRequest {
  std::string Method = "GET";
  std::string Path;    // as sent, before the "?"
  std::string Query;   // as sent, after the "?", not yet decoded
  std::string Client;  // the peer's address
};

struct THttpReply {
  int Status = 200;
  std::string ContentType = "text/plain; charset=utf-8";
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers;
};

// The longest request target (path and query) served; a record is about 150 characters.
inline constexpr size_t MaxTargetLength = 4096;
// Rows on a table page and the most the JSON view gives at once.
inline constexpr int64_t RowsPerPage = 100;
inline constexpr int64_t MaxApiLimit = 1000;

// Submissions each client address may make in one minute (fixed one-minute windows).
class TRateLimiter {
 public:
  explicit TRateLimiter(int perMinute) : perMinute_(perMinute) {}
  // True when one more submission from the address is allowed at time now (seconds).
  bool Allow(const std::string& client, int64_t now);

 private:
  struct TWindow {
    int64_t Minute = 0;
    int Count = 0;
  };
  int perMinute_;
  std::mutex mutex_;
  std::unordered_map<std::string, TWindow> windows_;
};

struct TServiceOptions {
  int RateLimitPerMinute = 30;
  // Where the home page's pictures are served from.
  std::string DocsDir;
};

class TScoreService {
 public:
  TScoreService(IScoreStore& store, TServiceOptions options);
  // Answers one request at time now (seconds since 1970). Never throws.
  THttpReply Handle(const THttpRequest& request, int64_t now);

 private:
  THttpReply Route(const THttpRequest& request, int64_t now);
  THttpReply Submit(const std::string& inf, const std::string& client, int64_t now);
  THttpReply TablePage(int64_t page);
  THttpReply HomePage();
  THttpReply Json(int64_t offset, int64_t limit);
  THttpReply Picture(const std::string& name);

  IScoreStore& store_;
  TServiceOptions options_;
  TRateLimiter limiter_;
};

// Helpers the pages are made with, public for testing.
std::string HtmlEscape(std::string_view text);
std::string JsonEscape(std::string_view text);
// "YYYY-MM-DD" of a time in seconds since 1970, in UTC.
std::string DateText(int64_t seconds);
// The query's keys and values in order, percent-decoded ("+" is a space). A key with no "="
// has an empty value.
std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query);

}  // namespace zw::scores
