// The score service's requests as plain functions: a request in, a reply out, no sockets.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/store.hpp"
#include "server/verify_queue.hpp"

namespace zw::scores {

struct THttpRequest {
  std::string Method = "GET";
  std::string Path;    // as sent, before the "?"
  std::string Query;   // as sent, after the "?", not yet decoded
  std::string Client;  // the player's address (the peer's, or the one a trusted proxy names)
  // The header fields as sent (names as the client spelled them), and the body of a POST.
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Body;
};

struct THttpReply {
  int Status = 200;
  std::string ContentType = "text/plain; charset=utf-8";
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers;
  // For a HEAD request: the length of the body a GET would have had (the body itself is empty).
  int64_t HeadLength = -1;
};

// The longest request target (path and query) served; a record is about 150 characters.
inline constexpr size_t MaxTargetLength = 4096;
// Rows on a table page and the most the JSON view gives at once.
inline constexpr int64_t RowsPerPage = 100;
inline constexpr int64_t MaxApiLimit = 1000;

// The key a client's limits are kept under: an IPv4 address as written, an IPv6 address by its
// /64 (one household or server gets a whole /64, so its single addresses are free to pick), an
// IPv4-mapped IPv6 address as its IPv4 address. Anything that is not an address is kept as is.
std::string AddressKey(const std::string& address);
// True for a plain IPv4 or IPv6 address.
bool IsIpAddress(std::string_view text);

// Submissions each client address may make in one minute (fixed one-minute windows). The counts
// live in a fixed table, so a flood of a million addresses costs the same per request as ten and
// never grows the process: a slot whose minute is past is free again. When every slot an address
// could use is taken by this minute's other addresses, the address is let through rather than
// a player refused for the flood's sake.
class TRateLimiter {
 public:
  explicit TRateLimiter(int perMinute);
  // True when one more submission from the address is allowed at time now (seconds).
  bool Allow(const std::string& client, int64_t now);

 private:
  struct TSlot {
    uint64_t Key = 0;  // 0: never used
    int64_t Minute = -1;
    int32_t Count = 0;
  };
  static constexpr size_t SlotCount = size_t{1} << 21;
  static constexpr size_t Probes = 16;
  int perMinute_;
  uint64_t seed_;
  std::mutex mutex_;
  std::vector<TSlot> slots_;
};

struct TServiceOptions {
  int RateLimitPerMinute = 30;
  // Where the home page's pictures are served from.
  std::string DocsDir;
  // The public table lists only results whose replay rode to their score.
  bool RequireReplay = false;
  // Where uploaded replays go to be ridden; none: they wait in the database.
  IVerifySink* Verifier = nullptr;
};

// The largest replay taken, as large as the game ever writes one.
inline constexpr size_t MaxReplayBytes = 1u << 20;

class TScoreService {
 public:
  TScoreService(IScoreStore& store, TServiceOptions options);
  // Answers one request at time now (seconds since 1970). Never throws.
  THttpReply Handle(const THttpRequest& request, int64_t now);
  // Answers a request without waiting on the database, when it can: a submission on a store
  // that commits on its own thread is checked here and handed over, and done gets its reply
  // once it is committed (on the store's thread), or at once when it is refused. False, with
  // done not called, for any request that must go to Handle on a thread that may wait.
  using TReplyDone = std::function<void(THttpReply)>;
  bool HandleSoon(const THttpRequest& request, int64_t now, TReplyDone done);

 private:
  THttpReply Route(const THttpRequest& request, int64_t now);
  THttpReply Submit(const std::string& inf, const std::string& client, int64_t now);
  // A submission's checks (rate limit, record, fields); the refusal, or none with score filled.
  std::optional<THttpReply> CheckSubmission(const std::string& inf, const std::string& client,
                                            int64_t now, TNewScore& score);
  // The reply to a submission the store committed (id) or could not (error).
  THttpReply Stored(int64_t id, const std::string& error);
  THttpReply UploadReplay(const THttpRequest& request, int64_t now);
  THttpReply DownloadReplay(const std::string& name);
  std::vector<TScoreRow> PublicPage(int64_t offset, int64_t limit);
  THttpReply TablePage(int64_t page);
  THttpReply HomePage();
  THttpReply Json(int64_t offset, int64_t limit);
  THttpReply Picture(const std::string& name);

  IScoreStore& store_;
  TServiceOptions options_;
  TRateLimiter limiter_;
  TRateLimiter replayLimiter_;
  // Set when the store last failed to commit a result, cleared by the next one it commits: the
  // health check reports it, as an operator watching it expects a full disk to show.
  std::atomic<bool> writeFailing_{false};
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
