// The PostgreSQL score store: a small pool of connections, each used by one request at a time;
// a broken connection is dropped and a new one made on the next request, so the service comes
// back by itself when the database does.
#include "server/pg_store.hpp"

#include <libpq-fe.h>

#include <condition_variable>
#include <mutex>
#include <type_traits>
#include <vector>

namespace zw::scores {

namespace {

constexpr size_t MaxConnections = 16;
// The key of the advisory lock that lets only one starting instance create or upgrade the schema.
constexpr const char* SchemaLockKey = "84170001";

const char* const NearPageSql =
    "SELECT id, name, score, country, submitted FROM scores "
    "ORDER BY score DESC, id ASC LIMIT $1 OFFSET $2";
// The rows skipped on a deep page are walked in the index alone (it holds score and id); only
// the page's own rows are read from the table, each by its key ("OFFSET 0" keeps the planner
// from turning those look-ups into a hash join over the whole table).
const char* const DeepPageSql =
    "SELECT s.id, s.name, s.score, s.country, s.submitted FROM "
    "(SELECT id FROM scores ORDER BY score DESC, id ASC LIMIT $1 OFFSET $2) AS k "
    "CROSS JOIN LATERAL (SELECT id, name, score, country, submitted FROM scores AS t "
    "WHERE t.id = k.id OFFSET 0) AS s ORDER BY s.score DESC, s.id ASC";

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
    return With([&](PGconn* c) {
      const std::string l = std::to_string(limit), o = std::to_string(offset);
      const char* params[] = {l.c_str(), o.c_str()};
      TResult r(PQexecParams(c, offset < DeepPageOffset ? NearPageSql : DeepPageSql, 2, nullptr,
                             params, nullptr, nullptr, 0));
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
        rows.push_back(std::move(row));
      }
      return rows;
    });
  }

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
      Exec(c, "VACUUM ANALYZE scores");
      return 0;
    });
  }

  std::string PagePlan() override {
    return With([&](PGconn* c) {
      std::string plan;
      for (const char* page : {NearPageSql, DeepPageSql}) {
        const std::string sql = std::string("EXPLAIN ") + page;
        const char* params[] = {"101", "5000"};
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
      Exec(c, "DELETE FROM schema_version");
      Exec(c, "INSERT INTO schema_version (version) VALUES (1)");
    }
    Exec(c, "COMMIT");
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
