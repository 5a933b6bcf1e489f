// The SQLite score store: one writer connection that commits submissions in groups, and a pool of
// reader connections that WAL mode lets read while the writer commits.
#include "server/sqlite_store.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <unordered_map>

namespace zw::scores {

namespace {

// Busy or failing database: the request is answered 503 and may be sent again.
[[noreturn]] void Fail(sqlite3* db, const char* what) {
  throw TStoreUnavailable(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw TStoreUnavailable(std::string("sqlite: ") + msg);
  }
}

// A prepared statement that is finalised whatever happens.
class TStatement {
 public:
  TStatement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) Fail(db, "prepare");
  }
  // A statement the connection keeps prepared (see TConnection): reset, not finalised, at the end.
  TStatement(sqlite3* db, sqlite3_stmt* kept) : db_(db), st_(kept), kept_(true) {}
  ~TStatement() {
    if (kept_) {
      sqlite3_reset(st_);
      sqlite3_clear_bindings(st_);
    } else {
      sqlite3_finalize(st_);
    }
  }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;
  sqlite3_stmt* get() const { return st_; }
  // True while there is a row; false when done.
  bool Step() {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(db_, "step");
  }
  void Reset() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
  bool kept_ = false;
};

// A connection with the statements it runs again and again kept prepared: the deep-page query is
// a long one, and preparing it afresh for every page cost more than running it.
struct TConnection {
  explicit TConnection(sqlite3* db) : Db(db) {}
  ~TConnection() {
    for (auto& [sql, st] : Kept) sqlite3_finalize(st);
    sqlite3_close(Db);
  }
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  // The statement for one of the store's fixed texts; `sql` must outlive the connection.
  TStatement Statement(const char* sql) {
    sqlite3_stmt*& st = Kept[sql];
    if (!st &&
        sqlite3_prepare_v3(Db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
      sqlite3_finalize(st);
      st = nullptr;
      Kept.erase(sql);
      Fail(Db, "prepare");
    }
    return TStatement(Db, st);
  }

  sqlite3* Db;
  std::unordered_map<const char*, sqlite3_stmt*> Kept;
};

std::string Text(sqlite3_stmt* st, int col) {
  const auto* p = sqlite3_column_text(st, col);
  return p ? std::string(reinterpret_cast<const char*>(p),
                         static_cast<size_t>(sqlite3_column_bytes(st, col)))
           : std::string();
}

sqlite3* OpenConnection(const std::string& path, bool create) {
  // SQLite's memory statistics take one lock shared by every connection on every allocation; the
  // readers of sixteen players' table pages queued on it. Set once, before SQLite starts.
  static std::once_flag quiet;
  std::call_once(quiet, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw TStoreRefused("cannot open the score database " + path + ": " + msg);
  }
  // A reader may meet the writer's checkpoint; wait for it rather than fail at once.
  sqlite3_busy_timeout(db, 5000);
  // Table pages far down the order read rows scattered over the file: mapped, every connection
  // reads them from the one copy the system keeps, with no copy into each connection's cache.
  sqlite3_exec(db, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
  return db;
}

const char* const NearPageSql =
    "SELECT id, name, score, country, submitted, verify FROM scores "
    "ORDER BY score DESC, id ASC LIMIT ? OFFSET ?";
// The verified results walk their own partial index; they are few next to the whole table.
const char* const VerifiedPageSql =
    "SELECT id, name, score, country, submitted, verify FROM scores WHERE verify = 2 "
    "ORDER BY score DESC, id ASC LIMIT ? OFFSET ?";
// A deep page first adds up the band counts from the best band down to find the band holding
// its first rank, then the bucket counts within that band to find the bucket; the rows of the
// table are then walked only from that bucket's best score on, skipping the rows of the bucket
// that rank above the page. The page may run on into the buckets below. One statement, so the
// counts and the rows come from one snapshot of the database. ?1 is the limit, ?2 the offset.
// The skipped rows are walked in the index alone (it holds score and id); only the page's own
// rows are read from the table.
const std::string DeepPageSql =
    "WITH band AS (SELECT band, upto - n AS above FROM "
    "(SELECT band, n, SUM(n) OVER (ORDER BY band DESC) AS upto FROM score_bands) "
    "WHERE upto > ?2 ORDER BY band DESC LIMIT 1), "
    "start AS (SELECT bucket, (SELECT above FROM band) + upto - n AS above FROM "
    "(SELECT bucket, n, SUM(n) OVER (ORDER BY bucket DESC) AS upto FROM score_buckets "
    "WHERE bucket BETWEEN (SELECT band FROM band) * " +
    std::to_string(BucketsPerBand) + " AND (SELECT band FROM band) * " +
    std::to_string(BucketsPerBand) + " + " + std::to_string(BucketsPerBand - 1) +
    ") WHERE (SELECT above FROM band) + upto > ?2 ORDER BY bucket DESC LIMIT 1) "
    "SELECT s.id, s.name, s.score, s.country, s.submitted, s.verify FROM "
    "(SELECT id FROM scores WHERE score <= "
    "COALESCE((SELECT bucket * " +
    std::to_string(1 << BucketShift) + " + " + std::to_string((1 << BucketShift) - 1) +
    " FROM start), -2147483649) "
    "ORDER BY score DESC, id ASC LIMIT ?1 OFFSET COALESCE(?2 - (SELECT above FROM start), 0)) "
    "AS k JOIN scores AS s ON s.id = k.id ORDER BY s.score DESC, s.id ASC";

// Keeps the band and bucket counts right whoever changes the table: this program, an older one
// still running on the same file, or an operator removing a result by hand.
std::string CountTriggersSql() {
  const std::string band = "score >> " + std::to_string(BandShift);
  const std::string bucket = "score >> " + std::to_string(BucketShift);
  auto add = [&](const char* row) {
    return std::string("INSERT INTO score_bands (band, n) VALUES (") + row + "." + band +
           ", 1) ON CONFLICT (band) DO UPDATE SET n = n + 1; "
           "INSERT INTO score_buckets (bucket, n) VALUES (" +
           row + "." + bucket + ", 1) ON CONFLICT (bucket) DO UPDATE SET n = n + 1; ";
  };
  auto take = [&](const char* row) {
    return std::string("UPDATE score_bands SET n = n - 1 WHERE band = ") + row + "." + band +
           "; UPDATE score_buckets SET n = n - 1 WHERE bucket = " + row + "." + bucket + "; ";
  };
  // This program's writer adds a whole group of results at once and folds their counts in
  // itself (see TCountFold), holding the insert trigger off for that transaction only: two
  // count updates per row were a third of the cost of a submission. Anyone else's insert
  // finds score_count_hold empty and counts as before.
  return "CREATE TRIGGER scores_count_insert AFTER INSERT ON scores "
         "WHEN NOT EXISTS (SELECT 1 FROM score_count_hold) BEGIN " +
         add("NEW") +
         "END; "
         "CREATE TRIGGER scores_count_delete AFTER DELETE ON scores BEGIN " +
         take("OLD") +
         "END; "
         "CREATE TRIGGER scores_count_update AFTER UPDATE OF score ON scores BEGIN " +
         take("OLD") + add("NEW") + "END;";
}

// The counts made afresh from the table, for a database that had none or whose counts no
// longer add up to its rows.
std::string RecountSql() {
  return "DELETE FROM score_bands; DELETE FROM score_buckets; "
         "INSERT INTO score_bands (band, n) SELECT score >> " +
         std::to_string(BandShift) +
         ", COUNT(*) FROM scores GROUP BY 1; "
         "INSERT INTO score_buckets (bucket, n) SELECT score >> " +
         std::to_string(BucketShift) + ", COUNT(*) FROM scores GROUP BY 1;";
}

// The band and bucket counts of a group of new results, added up here and folded into the
// count tables with one statement per band and bucket rather than two per row.
class TCountFold {
 public:
  void Add(int32_t score) {
    ++bands_[score >> BandShift];
    ++buckets_[score >> BucketShift];
  }
  void Write(TConnection& c) const {
    for (const auto& [sql, counts] :
         {std::pair{BandSql, &bands_}, std::pair{BucketSql, &buckets_}}) {
      TStatement st = c.Statement(sql);
      for (const auto& [key, n] : *counts) {
        sqlite3_bind_int64(st.get(), 1, key);
        sqlite3_bind_int64(st.get(), 2, n);
        st.Step();
        st.Reset();
      }
    }
  }

 private:
  static constexpr const char* BandSql =
      "INSERT INTO score_bands (band, n) VALUES (?, ?) "
      "ON CONFLICT (band) DO UPDATE SET n = n + excluded.n";
  static constexpr const char* BucketSql =
      "INSERT INTO score_buckets (bucket, n) VALUES (?, ?) "
      "ON CONFLICT (bucket) DO UPDATE SET n = n + excluded.n";
  std::map<int64_t, int64_t> bands_, buckets_;
};

class TSqliteStore final : public IScoreStore {
 public:
  explicit TSqliteStore(const std::string& path) : path_(path), memory_(path == ":memory:") {
    writer_ = OpenConnection(path, true);
    try {
      // WAL lets the readers run beside the writer; FULL makes a commit durable once it returns,
      // so the OK a player's game gets is never for a row a power cut can take away.
      if (!memory_) Exec(writer_, "PRAGMA journal_mode=WAL");
      Exec(writer_, "PRAGMA synchronous=FULL");
      // A result removed by hand takes its replay with it.
      Exec(writer_, "PRAGMA foreign_keys=ON");
      Migrate();
    } catch (...) {
      sqlite3_close(writer_);
      throw;
    }
    writerConnection_ = std::make_unique<TConnection>(writer_);
    writerThread_ = std::thread([this] { WriterLoop(); });
  }

  ~TSqliteStore() override {
    {
      std::lock_guard lock(queueMutex_);
      stopping_ = true;
      writerWake_.notify_one();
    }
    if (writerThread_.joinable()) writerThread_.join();
    readers_.clear();
    writerConnection_.reset();
  }

  int64_t AddScore(const TNewScore& score) override {
    // Group commit: whoever finds nobody writing commits everything queued so far in one
    // transaction, so sixteen players at once cost one disk flush, not sixteen.
    TPending mine;
    mine.Score = &score;
    std::unique_lock lock(queueMutex_);
    queue_.push_back(&mine);
    while (!mine.Done) {
      if (!writing_)
        CommitQueued(lock);
      else
        queueDone_.wait(lock);
    }
    if (!mine.Error.empty()) throw TStoreUnavailable(mine.Error);
    return mine.Id;
  }

  // The event loop's way in: the result joins the queue and the store's own writer thread
  // commits it with the next group and answers it, so no thread waits on the disk for it and
  // the loop never hands it to a thread that would.
  void AddScoreLater(const TNewScore& score, TScoreAdded done) override {
    auto mine = std::make_unique<TPending>();
    mine->Owned = score;
    mine->Score = &mine->Owned;
    mine->Then = std::move(done);
    std::lock_guard lock(queueMutex_);
    queue_.push_back(mine.release());
    ++laterQueued_;
    // A gathering writer wakes only once its group is whole.
    if (!writing_ && (!gathering_ || queue_.size() >= gatherTarget_)) writerWake_.notify_one();
  }

  bool AddsInBackground() const override { return true; }

  void AddScores(const std::vector<TNewScore>& scores) override {
    std::lock_guard lock(writerMutex_);
    Exec(writer_, "BEGIN IMMEDIATE");
    try {
      HoldCounts();
      TCountFold fold;
      TStatement ins = writerConnection_->Statement(InsertSql);
      for (const TNewScore& s : scores) {
        Bind(ins.get(), s);
        ins.Step();
        ins.Reset();
        fold.Add(s.Score);
      }
      ReleaseCounts(fold);
      Exec(writer_, "COMMIT");
    } catch (...) {
      sqlite3_exec(writer_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  int64_t Count() override {
    return WithReader([](TConnection& c) {
      TStatement st = c.Statement("SELECT COUNT(*) FROM scores");
      return st.Step() ? static_cast<int64_t>(sqlite3_column_int64(st.get(), 0)) : int64_t{0};
    });
  }

  std::vector<TScoreRow> Page(int64_t offset, int64_t limit) override {
    return Rows(offset < DeepPageOffset ? NearPageSql : DeepPageSql.c_str(), offset, limit);
  }

  std::vector<TScoreRow> VerifiedPage(int64_t offset, int64_t limit) override {
    return Rows(VerifiedPageSql, offset, limit);
  }

  int64_t FindAwaitingReplay(const TNewScore& s) override {
    return WithReader([&](TConnection& c) {
      TStatement st = c.Statement(
          "SELECT id FROM scores WHERE score = ? AND name = ? AND country = ? "
          "AND verify = 0 ORDER BY id DESC LIMIT 1");
      sqlite3_bind_int(st.get(), 1, s.Score);
      sqlite3_bind_text(st.get(), 2, s.Name.data(), static_cast<int>(s.Name.size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_text(st.get(), 3, s.Country.data(), static_cast<int>(s.Country.size()),
                        SQLITE_TRANSIENT);
      return st.Step() ? static_cast<int64_t>(sqlite3_column_int64(st.get(), 0)) : int64_t{0};
    });
  }

  bool AttachReplay(int64_t id, const std::string& bytes, int64_t now) override {
    std::lock_guard lock(writerMutex_);
    Exec(writer_, "BEGIN IMMEDIATE");
    try {
      TStatement mark(writer_, "UPDATE scores SET verify = 1 WHERE id = ? AND verify = 0");
      sqlite3_bind_int64(mark.get(), 1, id);
      mark.Step();
      if (sqlite3_changes(writer_) != 1) {
        Exec(writer_, "ROLLBACK");
        return false;
      }
      TStatement ins(writer_,
                     "INSERT OR REPLACE INTO replays (score_id, data, received) VALUES (?, ?, ?)");
      sqlite3_bind_int64(ins.get(), 1, id);
      sqlite3_bind_blob(ins.get(), 2, bytes.data(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_int64(ins.get(), 3, now);
      ins.Step();
      Exec(writer_, "COMMIT");
      return true;
    } catch (...) {
      sqlite3_exec(writer_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::vector<TPendingReplay> PendingReplays(int64_t limit) override {
    return WithReader([&](TConnection& c) {
      std::vector<TPendingReplay> out;
      TStatement st =
          c.Statement("SELECT id, score FROM scores WHERE verify = 1 ORDER BY id LIMIT ?");
      sqlite3_bind_int64(st.get(), 1, limit);
      while (st.Step())
        out.push_back({sqlite3_column_int64(st.get(), 0), sqlite3_column_int(st.get(), 1)});
      return out;
    });
  }

  bool ReplayData(int64_t id, std::string& bytes) override {
    return WithReader([&](TConnection& c) {
      TStatement st = c.Statement("SELECT data FROM replays WHERE score_id = ?");
      sqlite3_bind_int64(st.get(), 1, id);
      if (!st.Step()) return false;
      const void* p = sqlite3_column_blob(st.get(), 0);
      bytes.assign(static_cast<const char*>(p),
                   static_cast<size_t>(sqlite3_column_bytes(st.get(), 0)));
      return true;
    });
  }

  void SetVerdict(int64_t id, bool verified, const std::string& reason) override {
    std::lock_guard lock(writerMutex_);
    TStatement st(writer_,
                  "UPDATE scores SET verify = ?, verify_reason = ? WHERE id = ? AND verify = 1");
    sqlite3_bind_int(st.get(), 1, verified ? VerifyVerified : VerifyRejected);
    sqlite3_bind_text(st.get(), 2, reason.data(), static_cast<int>(reason.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.get(), 3, id);
    st.Step();
  }

  bool VerifyState(int64_t id, int& state, std::string& reason) override {
    return WithReader([&](TConnection& c) {
      TStatement st = c.Statement("SELECT verify, verify_reason FROM scores WHERE id = ?");
      sqlite3_bind_int64(st.get(), 1, id);
      if (!st.Step()) return false;
      state = sqlite3_column_int(st.get(), 0);
      reason = Text(st.get(), 1);
      return true;
    });
  }

 private:
  std::vector<TScoreRow> Rows(const char* sql, int64_t offset, int64_t limit) {
    return WithReader([&](TConnection& c) {
      std::vector<TScoreRow> rows;
      TStatement st = c.Statement(sql);
      sqlite3_bind_int64(st.get(), 1, limit);
      sqlite3_bind_int64(st.get(), 2, offset);
      while (st.Step()) {
        TScoreRow r;
        r.Rank = offset + static_cast<int64_t>(rows.size()) + 1;
        r.Id = sqlite3_column_int64(st.get(), 0);
        r.Name = Text(st.get(), 1);
        r.Score = sqlite3_column_int(st.get(), 2);
        r.Country = Text(st.get(), 3);
        r.Submitted = sqlite3_column_int64(st.get(), 4);
        r.Verify = sqlite3_column_int(st.get(), 5);
        rows.push_back(std::move(r));
      }
      return rows;
    });
  }

 public:
  bool Ping() override {
    try {
      return WithReader([](TConnection& c) {
        TStatement st = c.Statement("SELECT 1");
        return st.Step();
      });
    } catch (const std::exception&) {
      return false;
    }
  }

  void Optimize() override {
    std::lock_guard lock(writerMutex_);
    Exec(writer_, "ANALYZE");
  }

  std::string PagePlan() override {
    return WithReader([](TConnection& c) {
      std::string plan;
      for (const char* sql : {NearPageSql, DeepPageSql.c_str()}) {
        TStatement st(c.Db, (std::string("EXPLAIN QUERY PLAN ") + sql).c_str());
        while (st.Step()) plan += Text(st.get(), 3) + "\n";
      }
      return plan;
    });
  }

 private:
  static constexpr const char* InsertSql =
      "INSERT INTO scores (name, score, country, submitted) VALUES (?, ?, ?, ?)";

  // A result waiting for its group: a caller of AddScore waits for Done on its own stack; one
  // handed over with AddScoreLater is owned by the queue and answered through Then.
  struct TPending {
    const TNewScore* Score = nullptr;
    bool Done = false;
    int64_t Id = 0;
    std::string Error;
    TNewScore Owned;
    TScoreAdded Then;
  };

  // Commits everything queued as one group. Called with the queue locked and nobody writing;
  // returns with it locked again.
  void CommitQueued(std::unique_lock<std::mutex>& lock) {
    writing_ = true;
    std::deque<TPending*> batch;
    batch.swap(queue_);
    laterQueued_ = 0;
    lock.unlock();
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    try {
      WriteBatch(batch);
    } catch (const std::exception& e) {
      error = e.what();
      if (error.empty()) error = "the score database refused the group";
    }
    // The handed-over results are answered by this thread at once, before the waiting callers
    // wake: their replies are on their way while the next group is gathered.
    for (TPending*& p : batch) {
      if (!p->Then) continue;
      std::unique_ptr<TPending> later(p);
      p = nullptr;
      try {
        later->Then(later->Id, error);
      } catch (...) {
        // An answer that cannot be given is the caller's loss; the group is committed.
      }
    }
    lock.lock();
    for (TPending* p : batch) {
      if (!p) continue;
      p->Done = true;
      p->Error = error;
    }
    lastCommitEnd_ = std::chrono::steady_clock::now();
    gatherFor_ = std::min<std::chrono::steady_clock::duration>(lastCommitEnd_ - start,
                                                               std::chrono::milliseconds(2));
    gatherTarget_ = batch.size() + queue_.size();
    writing_ = false;
    queueDone_.notify_all();
    if (laterQueued_ > 0) writerWake_.notify_one();
  }

  // The writer thread: commits handed-over results whenever there are some and nobody else is
  // writing; on the way out it commits what is left. Right after a commit it may gather for a
  // moment first (see Gathered).
  void WriterLoop() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
      writerWake_.wait(lock, [this] { return stopping_ || (!writing_ && laterQueued_ > 0); });
      if (writing_) {
        queueDone_.wait(lock, [this] { return !writing_; });
        continue;
      }
      if (laterQueued_ == 0) {
        if (stopping_) return;
        continue;
      }
      if (!Gathered(lock)) continue;
      CommitQueued(lock);
    }
  }

  // The players a commit has just answered mostly send their next result straight away, while
  // the next group is already being written: two half groups would then take turns, each
  // waiting out the other's disk flush. So right after a commit the writer waits until as many
  // results are queued as the last group and those queued behind it, or for at most as long as
  // that commit took (2 ms at most). After a quiet spell it commits at once. False when someone
  // else began writing meanwhile.
  bool Gathered(std::unique_lock<std::mutex>& lock) {
    const auto until = lastCommitEnd_ + gatherFor_;
    gathering_ = true;
    while (!stopping_ && !writing_ && queue_.size() < gatherTarget_ &&
           std::chrono::steady_clock::now() < until)
      writerWake_.wait_until(lock, until);
    gathering_ = false;
    return !writing_ && laterQueued_ > 0;
  }
  static void Bind(sqlite3_stmt* st, const TNewScore& s) {
    sqlite3_bind_text(st, 1, s.Name.data(), static_cast<int>(s.Name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 2, s.Score);
    sqlite3_bind_text(st, 3, s.Country.data(), static_cast<int>(s.Country.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 4, s.Submitted);
  }

  void WriteBatch(std::deque<TPending*>& batch) {
    std::lock_guard lock(writerMutex_);
    Exec(writer_, "BEGIN IMMEDIATE");
    try {
      HoldCounts();
      TCountFold fold;
      TStatement ins = writerConnection_->Statement(InsertSql);
      for (TPending* p : batch) {
        Bind(ins.get(), *p->Score);
        ins.Step();
        ins.Reset();
        p->Id = sqlite3_last_insert_rowid(writer_);
        fold.Add(p->Score->Score);
      }
      ReleaseCounts(fold);
      Exec(writer_, "COMMIT");
    } catch (...) {
      sqlite3_exec(writer_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  // Inside the writer's transaction: the insert trigger stands aside until ReleaseCounts folds
  // the group's counts in. Both in one transaction, so no reader ever sees rows without counts.
  void HoldCounts() {
    writerConnection_->Statement("INSERT INTO score_count_hold DEFAULT VALUES").Step();
  }
  void ReleaseCounts(const TCountFold& fold) {
    fold.Write(*writerConnection_);
    writerConnection_->Statement("DELETE FROM score_count_hold").Step();
  }

  void Migrate() {
    Exec(writer_, "BEGIN IMMEDIATE");
    try {
      Exec(writer_, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
      int version = 0;
      {
        TStatement st(writer_, "SELECT MAX(version) FROM schema_version");
        if (st.Step()) version = sqlite3_column_int(st.get(), 0);
      }
      if (version > ScoreSchemaVersion) {
        throw TStoreRefused("the score database " + path_ + " has schema version " +
                            std::to_string(version) + "; this program knows up to " +
                            std::to_string(ScoreSchemaVersion));
      }
      if (version < 1) {
        // AUTOINCREMENT: an id is never handed out twice, so ids keep submission order even
        // after the newest rows are deleted.
        Exec(writer_,
             "CREATE TABLE scores (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, "
             "score INTEGER NOT NULL, country TEXT NOT NULL, submitted INTEGER NOT NULL)");
        Exec(writer_, "CREATE INDEX scores_table_order ON scores (score DESC, id ASC)");
      }
      if (version < 4) {
        // Never holds a row outside this program's own write transactions (see HoldCounts).
        Exec(writer_, "CREATE TABLE score_count_hold (held INTEGER PRIMARY KEY)");
      }
      if (version < 2) {
        Exec(writer_,
             "CREATE TABLE score_bands (band INTEGER PRIMARY KEY, n INTEGER NOT NULL); "
             "CREATE TABLE score_buckets (bucket INTEGER PRIMARY KEY, n INTEGER NOT NULL)");
        Exec(writer_, RecountSql().c_str());
        Exec(writer_, CountTriggersSql().c_str());
      } else {
        RecountIfWrong(version < 4);
      }
      if (version < 3) {
        // The replays live apart from the rows the pages read, so a page never drags a
        // megabyte of replay through the cache.
        Exec(writer_,
             "ALTER TABLE scores ADD COLUMN verify INTEGER NOT NULL DEFAULT 0; "
             "ALTER TABLE scores ADD COLUMN verify_reason TEXT NOT NULL DEFAULT ''; "
             "CREATE TABLE replays (score_id INTEGER PRIMARY KEY REFERENCES scores (id) "
             "ON DELETE CASCADE, data BLOB NOT NULL, received INTEGER NOT NULL); "
             "CREATE INDEX scores_verified_order ON scores (score DESC, id ASC) "
             "WHERE verify = 2; "
             "CREATE INDEX scores_verify_pending ON scores (id) WHERE verify = 1");
      }
      if (version < ScoreSchemaVersion) {
        Exec(writer_, "DELETE FROM schema_version");
        Exec(writer_, SchemaVersionInsertSql().c_str());
      }
      Exec(writer_, "COMMIT");
    } catch (...) {
      sqlite3_exec(writer_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  // The counts are kept by triggers, but a copy of the file restored from elsewhere or a tool
  // that dropped them could leave them off: when they do not add up to the rows, make them
  // again (a full count is cheap next to serving wrong ranks).
  // A version-3 file's insert trigger counts every row; it is made again to stand aside while
  // this program's writer folds the counts in (`newTriggers`).
  void RecountIfWrong(bool newTriggers) {
    TStatement st(writer_,
                  "SELECT (SELECT COUNT(*) FROM scores), "
                  "(SELECT COALESCE(SUM(n), 0) FROM score_bands), "
                  "(SELECT COALESCE(SUM(n), 0) FROM score_buckets), "
                  "(SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' "
                  "AND name LIKE 'scores_count_%')");
    if (!st.Step()) return;
    const int64_t rows = sqlite3_column_int64(st.get(), 0);
    const bool right = sqlite3_column_int64(st.get(), 1) == rows &&
                       sqlite3_column_int64(st.get(), 2) == rows &&
                       sqlite3_column_int64(st.get(), 3) == 3;
    st.Reset();
    if (right && !newTriggers) return;
    Exec(writer_,
         "DROP TRIGGER IF EXISTS scores_count_insert; DROP TRIGGER IF EXISTS scores_count_delete; "
         "DROP TRIGGER IF EXISTS scores_count_update");
    Exec(writer_, RecountSql().c_str());
    Exec(writer_, CountTriggersSql().c_str());
  }

  // Runs a read on a pooled connection; an in-memory database exists only on the writer's.
  template <typename F>
  std::invoke_result_t<F, TConnection&> WithReader(F&& f) {
    if (memory_) {
      std::lock_guard lock(writerMutex_);
      return f(*writerConnection_);
    }
    std::unique_ptr<TConnection> c;
    {
      std::lock_guard lock(readersMutex_);
      if (!readers_.empty()) {
        c = std::move(readers_.back());
        readers_.pop_back();
      }
    }
    if (!c) {
      try {
        c = std::make_unique<TConnection>(OpenConnection(path_, false));
      } catch (const TStoreRefused& e) {
        throw TStoreUnavailable(e.what());
      }
    }
    struct TGiveBack {
      TSqliteStore* self;
      std::unique_ptr<TConnection>& c;
      ~TGiveBack() {
        std::lock_guard lock(self->readersMutex_);
        self->readers_.push_back(std::move(c));
      }
    } giveBack{this, c};
    return f(*c);
  }

 public:
  // A setting of the writing connection as SQLite reports it now.
  std::string WriterSetting(const std::string& name) {
    std::lock_guard lock(writerMutex_);
    sqlite3_stmt* st = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(writer_, ("PRAGMA " + name).c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(st, 0);
      value = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(st);
    return value;
  }

 private:
  std::string path_;
  bool memory_;
  sqlite3* writer_ = nullptr;
  // Owns writer_ once the store is open, with its kept statements.
  std::unique_ptr<TConnection> writerConnection_;
  std::mutex writerMutex_;
  std::mutex queueMutex_;
  std::condition_variable queueDone_;
  std::deque<TPending*> queue_;
  bool writing_ = false;
  // Handed-over results in the queue, and the thread that commits them.
  size_t laterQueued_ = 0;
  bool stopping_ = false;
  // What the writer gathers for after a commit (see Gathered).
  bool gathering_ = false;
  size_t gatherTarget_ = 0;
  std::chrono::steady_clock::time_point lastCommitEnd_;
  std::chrono::steady_clock::duration gatherFor_{};
  std::condition_variable writerWake_;
  std::thread writerThread_;
  std::mutex readersMutex_;
  std::vector<std::unique_ptr<TConnection>> readers_;
};

}  // namespace

std::unique_ptr<IScoreStore> OpenSqliteStore(const std::string& path) {
  return std::make_unique<TSqliteStore>(path);
}

std::string SqliteWriterSetting(IScoreStore& store, const std::string& name) {
  auto* sqlite = dynamic_cast<TSqliteStore*>(&store);
  return sqlite ? sqlite->WriterSetting(name) : "";
}

}  // namespace zw::scores
