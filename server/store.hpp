// The score service's storage: one small interface with an SQLite and a PostgreSQL back end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zw::scores {

// A result as it is stored: texts in UTF-8, the submission time in seconds since 1970 (UTC).
struct TNewScore {
  std::string Name;
  int32_t Score = 0;
  std::string Country;
  int64_t Submitted = 0;
};

// One row of the table as it is served. Rank counts from 1 in table order.
struct TScoreRow {
  int64_t Rank = 0;
  int64_t Id = 0;
  std::string Name;
  int32_t Score = 0;
  std::string Country;
  int64_t Submitted = 0;
  // Whether its replay rode again to exactly this score (TVerify).
  int Verify = 0;
};

// Where a result stands with its proof: no replay came, one waits to be ridden, it rode to
// exactly the submitted score, or it did not (the reason is kept for the operator).
enum TVerify : int { VerifyNone = 0, VerifyPending = 1, VerifyVerified = 2, VerifyRejected = 3 };

// A replay waiting to be ridden: the result it belongs to and the score it must reach.
struct TPendingReplay {
  int64_t Id = 0;
  int32_t Score = 0;
};

// The database cannot be reached or refused the work: the request gets a 503 and the store
// tries again on the next request.
class TStoreUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The database holds a schema this program does not know (made by a newer version), or the
// address is not one the program can open: start-up stops with the message.
class TStoreRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pages from this offset on start from the row counts kept per score band and bucket, so they
// walk only the rows of one bucket, not every row above them; nearer pages are one plain walk
// of the index.
inline constexpr int64_t DeepPageOffset = 1000;

// Every score falls in one band of 4 096 points and, within it, in one bucket of 16 points
// (score >> BandShift, score >> BucketShift). The database keeps how many results each band and
// bucket holds, updated in the same transaction as the results themselves, so a deep page finds
// the bucket its first rank lies in by adding up a few hundred counts.
inline constexpr int BandShift = 12;
inline constexpr int BucketShift = 4;
inline constexpr int BucketsPerBand = 1 << (BandShift - BucketShift);

// The schema version this program creates and understands. Version 2 added the band and bucket
// counts; a version-1 database gets them filled when it is opened. Version 3 added each result's
// replay and its verification (state and reason); older results start unverified. Version 4
// made PostgreSQL's table-order index carry the columns a page shows, so a page is read from the
// index alone, and lets SQLite's writer fold a group's counts in at once (score_count_hold).
// Version 5 gave PostgreSQL a level of counts between bands and buckets (score_blocks), made
// from the buckets when an older database is opened; an SQLite file needs nothing new.
inline constexpr int ScoreSchemaVersion = 5;
// The statement that records the schema version, written by both stores once their last
// upgrade step has run.
inline std::string SchemaVersionInsertSql() {
  return "INSERT INTO schema_version (version) VALUES (" + std::to_string(ScoreSchemaVersion) + ")";
}

// Every implementation orders the table by score, best first, and between equal scores by
// submission order (the earlier first), from an index on exactly that order. Every method may
// be called from many threads at once.
class IScoreStore {
 public:
  virtual ~IScoreStore() = default;
  // Stores one result and returns only once it is committed; its id grows with submission order.
  virtual int64_t AddScore(const TNewScore& score) = 0;
  // The same without waiting for it: done runs once the result is committed (with its id and an
  // empty error) or could not be (with the reason), on whichever thread committed it, maybe
  // before this returns. Where AddsInBackground, that thread is the store's own and this only
  // queues the result, so an event loop may call it; otherwise it is AddScore then done. Never
  // throws: a failure comes through done.
  using TScoreAdded = std::function<void(int64_t id, const std::string& error)>;
  virtual void AddScoreLater(const TNewScore& score, TScoreAdded done);
  virtual bool AddsInBackground() const { return false; }
  // Many results in one transaction (for filling a large table quickly).
  virtual void AddScores(const std::vector<TNewScore>& scores) = 0;
  virtual int64_t Count() = 0;
  // Up to limit rows starting at the given offset (0 = the best) in table order.
  virtual std::vector<TScoreRow> Page(int64_t offset, int64_t limit) = 0;
  // The same over the verified results alone.
  virtual std::vector<TScoreRow> VerifiedPage(int64_t offset, int64_t limit) = 0;

  // The newest result of exactly this name, score and country that has no replay yet; 0 when
  // there is none.
  virtual int64_t FindAwaitingReplay(const TNewScore& record) = 0;
  // Keeps the replay with its result and marks it pending, in one transaction; false when the
  // result already has one (or is gone).
  virtual bool AttachReplay(int64_t id, const std::string& bytes, int64_t now) = 0;
  // The oldest pending replays, at most limit of them.
  virtual std::vector<TPendingReplay> PendingReplays(int64_t limit) = 0;
  // A result's replay file; false when it has none.
  virtual bool ReplayData(int64_t id, std::string& bytes) = 0;
  // The verdict on a pending result: verified, or rejected with the reason.
  virtual void SetVerdict(int64_t id, bool verified, const std::string& reason) = 0;
  // The state of one result and its reason (for the operator and the tests); false when no
  // such result exists.
  virtual bool VerifyState(int64_t id, int& state, std::string& reason) = 0;
  // True when the database answers.
  virtual bool Ping() = 0;
  // How the database runs the page queries (a near page and a deep one), for checking they walk
  // the index.
  virtual std::string PagePlan() = 0;
  // After a bulk fill: fresh planner statistics, and on PostgreSQL the visibility map that lets
  // the rows a deep page skips be read from the index alone.
  virtual void Optimize() = 0;
};

// Opens the store a --db value names: "postgresql://..." or "postgres://..." for PostgreSQL,
// anything else is an SQLite file (":memory:" for a private in-memory database). Creates or
// upgrades the schema; throws TStoreRefused or TStoreUnavailable.
std::unique_ptr<IScoreStore> OpenScoreStore(const std::string& db);

}  // namespace zw::scores
