// The PostgreSQL score store: a small pool of connections, each used by one request at a time;
// a broken connection is dropped and a new one made on the next request, so the service comes
// back by itself when the database does.
#include "server/pg_store.hpp"

#include <libpq-fe.h>

#include <condition_variable>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace zw::scores {

namespace {

constexpr size_t MaxConnections = 16;
// The key of the advisory lock that lets only one starting instance create or upgrade the schema.
constexpr const char* SchemaLockKey = "84170001";

const char* const NearPageSql =
    "SELECT id, name, score, country, submitted, verify FROM scores "
    "ORDER BY score DESC, id ASC LIMIT $1 OFFSET $2";
// The verified results walk their own partial index; they are few next to the whole table.
const char* const VerifiedPageSql =
    "SELECT id, name, score, country, submitted, verify FROM scores WHERE verify = 2 "
    "ORDER BY score DESC, id ASC LIMIT $1 OFFSET $2";
// Each count is kept in several rows, one chosen by the result's id, so players submitting at
// once into the same (crowded, low) bucket seldom wait for each other's row lock; a read adds
// them up.
constexpr int CountShards = 8;

// Between a band and its buckets sits a block of 16 buckets (score >> BlockShift): a deep page
// adds up the 16 blocks of its band and then the 16 buckets of its block, every one of them
// split over the shards, instead of all 256 buckets of the band.
constexpr int BlockShift = 8;
static_assert(BucketShift < BlockShift && BlockShift < BandShift);

// The levels of counts, coarsest first.
struct TCountLevel {
  const char* Table;
  const char* Key;
  int Shift;
};
constexpr TCountLevel CountLevels[] = {{"score_bands", "band", BandShift},
                                       {"score_blocks", "block", BlockShift},
                                       {"score_buckets", "bucket", BucketShift}};

// A deep page first adds up the band counts from the best band down to find the band holding
// its first rank, then the block counts within that band to find the block, then the bucket
// counts within that block to find the bucket; the rows of the table are then walked only from
// that bucket's best score on, skipping the rows of the bucket that rank above the page. The
// page may run on into the buckets below. One statement, so the counts and the rows come from
// one snapshot, whatever other instances commit meanwhile. The index holds every column a page
// shows, so neither the skipped rows nor the page's own are read from the table. $1 is the
// limit, $2 the offset.
std::string MakeDeepPageSql() {
  // Each level gives "<key>_sums" (its counts, shards added up, within the chosen entry of the
  // level above) and "<key>_at" (the entry holding the first rank: k, and above = how many
  // results rank above the entry).
  std::string sql = "WITH ";
  const TCountLevel* upper = nullptr;
  for (const TCountLevel& level : CountLevels) {
    const std::string key = level.Key, sums = key + "_sums", at = key + "_at";
    const std::string above = upper ? "p.above" : "0";
    const std::string parent = upper ? std::string(upper->Key) + "_at AS p, " : "";
    sql += sums + " AS (SELECT c." + key + ", SUM(c.n)::bigint AS n FROM " + parent + level.Table +
           " AS c ";
    if (upper) {
      const int per = 1 << (upper->Shift - level.Shift);
      sql += "WHERE c." + key + " BETWEEN p.k * " + std::to_string(per) + " AND p.k * " +
             std::to_string(per) + " + " + std::to_string(per - 1) + " ";
    }
    sql += "GROUP BY c." + key + "), " + at + " AS (SELECT r." + key + " AS k, " + above +
           " + r.upto - r.n AS above FROM " + parent + "(SELECT " + key + ", n, SUM(n) OVER " +
           "(ORDER BY " + key + " DESC)::bigint AS upto FROM " + sums + ") AS r WHERE " + above +
           " + r.upto > $2::bigint ORDER BY r." + key + " DESC LIMIT 1)";
    sql += &level == &std::end(CountLevels)[-1] ? " " : ", ";
    upper = &level;
  }
  return sql +
         "SELECT id, name, score, country, submitted, verify FROM scores WHERE score <= "
         "COALESCE((SELECT k * " +
         std::to_string(1 << BucketShift) + " + " + std::to_string((1 << BucketShift) - 1) +
         " FROM bucket_at), -2147483649) "
         "ORDER BY score DESC, id ASC LIMIT $1::bigint "
         "OFFSET COALESCE($2::bigint - (SELECT above FROM bucket_at), 0)";
}
const std::string DeepPageSql = MakeDeepPageSql();

// The change of the counts for the rows a statement added (or removed: d = -1), folded into
// the count rows in key order so that two large statements never lock each other's rows the
// other way round.
std::string FoldCountsSql(const std::string& changes) {
  std::string sql;
  for (const TCountLevel& level : CountLevels) {
    const std::string table = level.Table, key = level.Key;
    sql += "INSERT INTO " + table + " (" + key + ", shard, n) SELECT score >> " +
           std::to_string(level.Shift) + ", (id % " + std::to_string(CountShards) +
           ")::smallint, SUM(d) FROM (" + changes +
           ") AS c GROUP BY 1, 2 HAVING SUM(d) <> 0 ORDER BY 1, 2 ON CONFLICT (" + key +
           ", shard) DO UPDATE SET n = " + table + ".n + EXCLUDED.n; ";
  }
  return sql;
}

// Empties every level of counts.
std::string ClearCountsSql() {
  std::string sql;
  for (const TCountLevel& level : CountLevels)
    sql += std::string("DELETE FROM ") + level.Table + "; ";
  return sql;
}

// Keeps the counts right whoever changes the table: any instance of this program, an older
// one still running, COPY, or an operator removing a result by hand. Statement triggers see all
// the rows a statement changed at once, so a bulk load adds to each count row once.
std::string CountTriggersSql() {
  const std::string added = "SELECT score, id, 1 AS d FROM added";
  const std::string removed = "SELECT score, id, -1 AS d FROM removed";
  auto function = [](const char* name, const std::string& body) {
    return std::string("CREATE OR REPLACE FUNCTION ") + name +
           "() RETURNS trigger LANGUAGE plpgsql AS $fn$ BEGIN " + body + "RETURN NULL; END $fn$; ";
  };
  return function("scores_count_added", FoldCountsSql(added)) +
         function("scores_count_removed", FoldCountsSql(removed)) +
         function("scores_count_changed", FoldCountsSql(added + " UNION ALL " + removed)) +
         function("scores_count_emptied", ClearCountsSql()) +
         "DROP TRIGGER IF EXISTS scores_count_insert ON scores; "
         "DROP TRIGGER IF EXISTS scores_count_delete ON scores; "
         "DROP TRIGGER IF EXISTS scores_count_update ON scores; "
         "DROP TRIGGER IF EXISTS scores_count_truncate ON scores; "
         "CREATE TRIGGER scores_count_insert AFTER INSERT ON scores REFERENCING NEW TABLE AS "
         "added FOR EACH STATEMENT EXECUTE FUNCTION scores_count_added(); "
         "CREATE TRIGGER scores_count_delete AFTER DELETE ON scores REFERENCING OLD TABLE AS "
         "removed FOR EACH STATEMENT EXECUTE FUNCTION scores_count_removed(); "
         "CREATE TRIGGER scores_count_update AFTER UPDATE ON scores REFERENCING OLD TABLE AS "
         "removed NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION scores_count_changed(); "
         "CREATE TRIGGER scores_count_truncate AFTER TRUNCATE ON scores FOR EACH STATEMENT "
         "EXECUTE FUNCTION scores_count_emptied();";
}

// The counts made afresh from the table.
std::string RecountSql() {
  return ClearCountsSql() + FoldCountsSql("SELECT score, id, 1 AS d FROM scores");
}

// A query result that is cleared whatever happens.
class TResult {
 public:
  explicit TResult(PGresult* r) : r_(r) {}
  ~TResult() { PQclear(r_); }
  TResult(const TResult&) = delete;
  TResult& operator=(const TResult&) = delete;
  PGresult* get() const { return r_; }
  bool Ok() const {
    const ExecStatusType s = PQresultStatus(r_);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_COPY_IN;
  }
  std::string Text(int row, int col) const {
    return std::string(PQgetvalue(r_, row, col), static_cast<size_t>(PQgetlength(r_, row, col)));
  }
  int64_t Int(int row, int col) const { return std::stoll(PQgetvalue(r_, row, col)); }

 private:
  PGresult* r_;
};

class TPostgresStore final : public IScoreStore {
 public:
  explicit TPostgresStore(const std::string& url) : url_(url) {
    PGconn* c = Connect();
    try {
      Migrate(c);
    } catch (...) {
      PQfinish(c);
      throw;
    }
    Release(c, true);
  }

  ~TPostgresStore() override {
    for (PGconn* c : idle_) PQfinish(c);
  }

  int64_t AddScore(const TNewScore& s) override {
    return With([&](PGconn* c) {
      const std::string score = std::to_string(s.Score), when = std::to_string(s.Submitted);
      const char* params[] = {s.Name.c_str(), score.c_str(), s.Country.c_str(), when.c_str()};
      // One statement, its own transaction: the reply goes out once the commit is on disk.
      TResult r(PQexecParams(c,
                             "INSERT INTO scores (name, score, country, submitted) "
                             "VALUES ($1, $2, $3, $4) RETURNING id",
                             4, nullptr, params, nullptr, nullptr, 0));
      Check(c, r, "insert");
      return r.Int(0, 0);
    });
  }

  void AddScores(const std::vector<TNewScore>& scores) override {
    With([&](PGconn* c) {
      Exec(c, "BEGIN");
      TResult copy(PQexec(c, "COPY scores (name, score, country, submitted) FROM STDIN"));
      Check(c, copy, "copy");
      std::string chunk;
      for (const TNewScore& s : scores) {
        AppendCopyText(chunk, s.Name);
        chunk += '\t';
        chunk += std::to_string(s.Score);
        chunk += '\t';
        AppendCopyText(chunk, s.Country);
        chunk += '\t';
        chunk += std::to_string(s.Submitted);
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
          if (PQputCopyData(c, chunk.data(), static_cast<int>(chunk.size())) != 1)
            Broken(c, "copy");
          chunk.clear();
        }
      }
      if (!chunk.empty() && PQputCopyData(c, chunk.data(), static_cast<int>(chunk.size())) != 1)
        Broken(c, "copy");
      if (PQputCopyEnd(c, nullptr) != 1) Broken(c, "copy");
      TResult end(PQgetResult(c));
      Check(c, end, "copy");
      while (PGresult* extra = PQgetResult(c)) PQclear(extra);
      Exec(c, "COMMIT");
      return 0;
    });
  }

  int64_t Count() override {
    return With([&](PGconn* c) {
      TResult r(PQexec(c, "SELECT COUNT(*) FROM scores"));
      Check(c, r, "count");
      return r.Int(0, 0);
    });
  }

  std::vector<TScoreRow> Page(int64_t offset, int64_t limit) override {
    return offset < DeepPageOffset ? Rows("zw_near_page", NearPageSql, offset, limit)
                                   : Rows("zw_deep_page", DeepPageSql.c_str(), offset, limit);
  }

  std::vector<TScoreRow> VerifiedPage(int64_t offset, int64_t limit) override {
    return Rows("zw_verified_page", VerifiedPageSql, offset, limit);
  }

  int64_t FindAwaitingReplay(const TNewScore& s) override {
    return With([&](PGconn* c) {
      const std::string score = std::to_string(s.Score);
      const char* params[] = {score.c_str(), s.Name.c_str(), s.Country.c_str()};
      TResult r(PQexecParams(c,
                             "SELECT id FROM scores WHERE score = $1 AND name = $2 AND "
                             "country = $3 AND verify = 0 ORDER BY id DESC LIMIT 1",
                             3, nullptr, params, nullptr, nullptr, 0));
      Check(c, r, "find result");
      return PQntuples(r.get()) ? r.Int(0, 0) : int64_t{0};
    });
  }

  bool AttachReplay(int64_t id, const std::string& bytes, int64_t now) override {
    return With([&](PGconn* c) {
      const std::string idText = std::to_string(id), when = std::to_string(now);
      const char* params[] = {idText.c_str(), bytes.data(), when.c_str()};
      const int lengths[] = {0, static_cast<int>(bytes.size()), 0};
      const int formats[] = {0, 1, 0};
      // One statement: the mark and the replay are committed together or not at all.
      TResult r(PQexecParams(c,
                             "WITH marked AS (UPDATE scores SET verify = 1 WHERE id = $1 AND "
                             "verify = 0 RETURNING id) INSERT INTO replays (score_id, data, "
                             "received) SELECT id, $2, $3 FROM marked "
                             "ON CONFLICT (score_id) DO UPDATE SET data = EXCLUDED.data, "
                             "received = EXCLUDED.received RETURNING score_id",
                             3, nullptr, params, lengths, formats, 0));
      Check(c, r, "keep replay");
      return PQntuples(r.get()) == 1;
    });
  }

  std::vector<TPendingReplay> PendingReplays(int64_t limit) override {
    return With([&](PGconn* c) {
      const std::string l = std::to_string(limit);
      const char* params[] = {l.c_str()};
      TResult r(PQexecParams(c,
                             "SELECT id, score FROM scores WHERE verify = 1 ORDER BY id LIMIT $1",
                             1, nullptr, params, nullptr, nullptr, 0));
      Check(c, r, "pending replays");
      std::vector<TPendingReplay> out;
      for (int i = 0; i < PQntuples(r.get()); ++i)
        out.push_back({r.Int(i, 0), static_cast<int32_t>(r.Int(i, 1))});
      return out;
    });
  }

  bool ReplayData(int64_t id, std::string& bytes) override {
    return With([&](PGconn* c) {
      const std::string idText = std::to_string(id);
      const char* params[] = {idText.c_str()};
      // Asked for in binary, the bytes come as they are, with no escaping to undo.
      TResult r(PQexecParams(c, "SELECT data FROM replays WHERE score_id = $1", 1, nullptr, params,
                             nullptr, nullptr, 1));
      Check(c, r, "replay");
      if (PQntuples(r.get()) != 1) return false;
      bytes = r.Text(0, 0);
      return true;
    });
  }

  void SetVerdict(int64_t id, bool verified, const std::string& reason) override {
    With([&](PGconn* c) {
      const std::string idText = std::to_string(id),
                        state = std::to_string(verified ? VerifyVerified : VerifyRejected);
      const char* params[] = {state.c_str(), reason.c_str(), idText.c_str()};
      TResult r(PQexecParams(c,
                             "UPDATE scores SET verify = $1, verify_reason = $2 WHERE id = $3 "
                             "AND verify = 1",
                             3, nullptr, params, nullptr, nullptr, 0));
      Check(c, r, "verdict");
      return 0;
    });
  }

  bool VerifyState(int64_t id, int& state, std::string& reason) override {
    return With([&](PGconn* c) {
      const std::string idText = std::to_string(id);
      const char* params[] = {idText.c_str()};
      TResult r(PQexecParams(c, "SELECT verify, verify_reason FROM scores WHERE id = $1", 1,
                             nullptr, params, nullptr, nullptr, 0));
      Check(c, r, "verify state");
      if (PQntuples(r.get()) != 1) return false;
      state = static_cast<int>(r.Int(0, 0));
      reason = r.Text(0, 1);
      return true;
    });
  }

 private:
  // The table's pages run as statements each connection prepares once, on first use: planning
  // the deep-page query took longer than running it. An autocommit statement, so the miss that
  // finds the statement not yet prepared harms nothing.
  static PGresult* ExecKept(PGconn* c, const char* name, const char* sql, int n,
                            const char* const* params) {
    PGresult* r = PQexecPrepared(c, name, n, params, nullptr, nullptr, 0);
    const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    if (PQresultStatus(r) != PGRES_FATAL_ERROR || !state || std::string_view(state) != "26000")
      return r;  // "26000": no prepared statement of that name on this connection yet
    PQclear(r);
    r = PQprepare(c, name, sql, n, nullptr);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) return r;  // the caller reports its error
    PQclear(r);
    return PQexecPrepared(c, name, n, params, nullptr, nullptr, 0);
  }

  std::vector<TScoreRow> Rows(const char* name, const char* sql, int64_t offset, int64_t limit) {
    return With([&](PGconn* c) {
      const std::string l = std::to_string(limit), o = std::to_string(offset);
      const char* params[] = {l.c_str(), o.c_str()};
      TResult r(ExecKept(c, name, sql, 2, params));
      Check(c, r, "page");
      std::vector<TScoreRow> rows;
      for (int i = 0; i < PQntuples(r.get()); ++i) {
        TScoreRow row;
        row.Rank = offset + i + 1;
        row.Id = r.Int(i, 0);
        row.Name = r.Text(i, 1);
        row.Score = static_cast<int32_t>(r.Int(i, 2));
        row.Country = r.Text(i, 3);
        row.Submitted = r.Int(i, 4);
        row.Verify = static_cast<int>(r.Int(i, 5));
        rows.push_back(std::move(row));
      }
      return rows;
    });
  }

 public:
  bool Ping() override {
    try {
      return With([&](PGconn* c) {
        TResult r(PQexec(c, "SELECT 1"));
        Check(c, r, "ping");
        return true;
      });
    } catch (const TStoreUnavailable&) {
      return false;
    }
  }

  void Optimize() override {
    With([&](PGconn* c) {
      // The counts too: a fill in several transactions leaves dead versions of their rows,
      // which every deep page would step over until the next autovacuum.
      Exec(c, "VACUUM ANALYZE scores, score_bands, score_blocks, score_buckets");
      return 0;
    });
  }

  std::string PagePlan() override {
    return With([&](PGconn* c) {
      std::string plan;
      // Each query at an offset it serves: the near one only ever runs above DeepPageOffset.
      const std::string nearOffset = std::to_string(DeepPageOffset - 100);
      for (const auto& [page, offset] :
           {std::pair{NearPageSql, nearOffset.c_str()}, std::pair{DeepPageSql.c_str(), "5000"}}) {
        const std::string sql = std::string("EXPLAIN ") + page;
        const char* params[] = {"101", offset};
        TResult r(PQexecParams(c, sql.c_str(), 2, nullptr, params, nullptr, nullptr, 0));
        Check(c, r, "explain");
        for (int i = 0; i < PQntuples(r.get()); ++i) plan += r.Text(i, 0) + "\n";
      }
      return plan;
    });
  }

 private:
  static void AppendCopyText(std::string& out, const std::string& text) {
    for (char ch : text) {
      if (ch == '\\')
        out += "\\\\";
      else if (ch == '\t')
        out += "\\t";
      else if (ch == '\n')
        out += "\\n";
      else if (ch == '\r')
        out += "\\r";
      else
        out += ch;
    }
  }

  PGconn* Connect() {
    PGconn* c = PQconnectdb(url_.c_str());
    if (!c || PQstatus(c) != CONNECTION_OK) {
      std::string msg = c ? PQerrorMessage(c) : "out of memory";
      PQfinish(c);
      while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' ')) msg.pop_back();
      throw TStoreUnavailable("cannot reach the score database: " + msg);
    }
    PQsetClientEncoding(c, "UTF8");
    // "relation already exists, skipping" and the like are no news to an operator.
    PQsetNoticeProcessor(
        c, [](void*, const char*) {}, nullptr);
    return c;
  }

  // A connection in a bad state is closed rather than handed back.
  [[noreturn]] void Broken(PGconn* c, const char* what) {
    throw TStoreUnavailable(std::string(what) + ": " + PQerrorMessage(c));
  }

  void Check(PGconn* c, const TResult& r, const char* what) {
    if (!r.Ok()) Broken(c, what);
  }

  void Exec(PGconn* c, const char* sql) {
    TResult r(PQexec(c, sql));
    Check(c, r, sql);
  }

  PGconn* Acquire() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return !idle_.empty() || open_ < MaxConnections; });
    if (!idle_.empty()) {
      PGconn* c = idle_.back();
      idle_.pop_back();
      return c;
    }
    ++open_;
    lock.unlock();
    try {
      return Connect();
    } catch (...) {
      lock.lock();
      --open_;
      freed_.notify_one();
      throw;
    }
  }

  void Release(PGconn* c, bool keep) {
    std::lock_guard lock(mutex_);
    if (keep && PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) == PQTRANS_IDLE) {
      idle_.push_back(c);
    } else {
      PQfinish(c);
      if (open_ > 0) --open_;
    }
    freed_.notify_one();
  }

  template <typename F>
  std::invoke_result_t<F, PGconn*> With(F&& f) {
    PGconn* c = Acquire();
    try {
      auto result = f(c);
      Release(c, true);
      return result;
    } catch (...) {
      // An error may leave a transaction open or the link broken: start afresh next time.
      Release(c, false);
      throw;
    }
  }

  void Migrate(PGconn* c) {
    Exec(c, "BEGIN");
    {
      TResult lock(
          PQexec(c, (std::string("SELECT pg_advisory_xact_lock(") + SchemaLockKey + ")").c_str()));
      Check(c, lock, "schema lock");
    }
    Exec(c, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    TResult v(PQexec(c, "SELECT COALESCE(MAX(version), 0) FROM schema_version"));
    Check(c, v, "schema version");
    const int64_t version = v.Int(0, 0);
    if (version > ScoreSchemaVersion) {
      TResult rb(PQexec(c, "ROLLBACK"));
      throw TStoreRefused("the score database has schema version " + std::to_string(version) +
                          "; this program knows up to " + std::to_string(ScoreSchemaVersion));
    }
    if (version < 1) {
      Exec(c,
           "CREATE TABLE scores (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
           "name TEXT NOT NULL, score INTEGER NOT NULL, country TEXT NOT NULL, "
           "submitted BIGINT NOT NULL)");
      Exec(c, "CREATE INDEX scores_table_order ON scores (score DESC, id ASC)");
    }
    // No instance (of this version or an older one) adds a result while the counts are made
    // and checked: they must match the rows exactly.
    Exec(c, "LOCK TABLE scores IN SHARE ROW EXCLUSIVE MODE");
    if (version < 2) {
      Exec(c,
           "CREATE TABLE score_bands (band INTEGER NOT NULL, shard SMALLINT NOT NULL, "
           "n BIGINT NOT NULL, PRIMARY KEY (band, shard)); "
           "CREATE TABLE score_buckets (bucket INTEGER NOT NULL, shard SMALLINT NOT NULL, "
           "n BIGINT NOT NULL, PRIMARY KEY (bucket, shard))");
    }
    if (version < 5) {
      // The blocks between bands and buckets: each is the sum of its 16 buckets, shard by shard
      // (a result's shard is the same at every level), so they are made from the buckets
      // without reading the results. The triggers are made again to keep them too.
      Exec(c, ("CREATE TABLE score_blocks (block INTEGER NOT NULL, shard SMALLINT NOT NULL, "
               "n BIGINT NOT NULL, PRIMARY KEY (block, shard)); "
               "INSERT INTO score_blocks (block, shard, n) SELECT bucket >> " +
               std::to_string(BlockShift - BucketShift) +
               ", shard, SUM(n) FROM score_buckets GROUP BY 1, 2 HAVING SUM(n) <> 0")
                  .c_str());
      Exec(c, CountTriggersSql().c_str());
    }
    if (version < 2)
      Exec(c, RecountSql().c_str());
    else
      RecountIfWrong(c);
    if (version < 3) {
      // The replays live apart from the rows the pages read. The new columns have constant
      // defaults, so adding them rewrites no row of a large table.
      Exec(c,
           "ALTER TABLE scores ADD COLUMN verify SMALLINT NOT NULL DEFAULT 0; "
           "ALTER TABLE scores ADD COLUMN verify_reason TEXT NOT NULL DEFAULT ''; "
           "CREATE TABLE replays (score_id BIGINT PRIMARY KEY REFERENCES scores (id) "
           "ON DELETE CASCADE, data BYTEA NOT NULL, received BIGINT NOT NULL); "
           "CREATE INDEX scores_verified_order ON scores (score DESC, id ASC) "
           "WHERE verify = 2; "
           "CREATE INDEX scores_verify_pending ON scores (id) WHERE verify = 1");
    }
    if (version < 4) {
      // Looking up each of a page's rows in the table cost more than finding them; the page now
      // comes from the index alone. Made afresh under the same name and order.
      Exec(c,
           "DROP INDEX scores_table_order; "
           "CREATE INDEX scores_table_order ON scores (score DESC, id ASC) "
           "INCLUDE (name, country, submitted, verify)");
    }
    if (version < ScoreSchemaVersion) {
      Exec(c, "DELETE FROM schema_version");
      Exec(c, SchemaVersionInsertSql().c_str());
    }
    Exec(c, "COMMIT");
  }

  // The triggers keep the counts, but a bulk load with triggers switched off (replication
  // role "replica") or a dropped trigger would leave them off: when they do not add up to the
  // rows, make them again.
  void RecountIfWrong(PGconn* c) {
    TResult r(PQexec(c,
                     "WITH total AS (SELECT COUNT(*) AS n FROM scores) SELECT "
                     "(SELECT COALESCE(SUM(n), 0) FROM score_bands) = total.n AND "
                     "(SELECT COALESCE(SUM(n), 0) FROM score_blocks) = total.n AND "
                     "(SELECT COALESCE(SUM(n), 0) FROM score_buckets) = total.n AND "
                     "(SELECT COUNT(*) FROM pg_trigger WHERE tgrelid = 'scores'::regclass AND "
                     "tgname LIKE 'scores_count_%' AND tgenabled <> 'D') = 4 FROM total"));
    Check(c, r, "check the counts");
    if (r.Text(0, 0) == "t") return;
    Exec(c, RecountSql().c_str());
    Exec(c, CountTriggersSql().c_str());
  }

  std::string url_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<PGconn*> idle_;
  size_t open_ = 0;
};

}  // namespace

std::unique_ptr<IScoreStore> OpenPostgresStore(const std::string& url) {
  return std::make_unique<TPostgresStore>(url);
}

}  // namespace zw::scores
