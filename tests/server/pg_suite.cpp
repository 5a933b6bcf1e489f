// The score service on PostgreSQL: a throw-away server for this test program, the checks both
// back ends share, and the database going away and coming back.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "server/store.hpp"
#include "tests/server/pg_server.hpp"
#include "tests/server/scores_process.hpp"
#include "tests/server/service_conversation.hpp"
#include "tests/server/shared_checks.hpp"
#include "tests/server/transcript.hpp"

namespace zw::scores::test {
namespace {

TPgServer* Server = nullptr;

class TPgEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    server_ = std::make_unique<TPgServer>();
    if (server_->Url().empty())
      std::fprintf(stderr, "\n*** PostgreSQL could not be started; its tests are SKIPPED ***\n%s\n",
                   server_->Error().c_str());
    Server = server_.get();
  }
  void TearDown() override {
    Server = nullptr;
    server_.reset();
  }

 private:
  std::unique_ptr<TPgServer> server_;
};

// The database for one test, or a loud skip.
#define PG_DATABASE(var)                                                                    \
  if (!Server || Server->Url().empty())                                                     \
    GTEST_SKIP() << "PostgreSQL could not be started: " << (Server ? Server->Error() : ""); \
  const std::string var = Server->NewDatabase();                                            \
  ASSERT_FALSE(var.empty())

TEST(ScoresPostgres, StoreRules) {
  PG_DATABASE(db);
  auto store = OpenScoreStore(db);
  CheckStoreRules(*store);
}

TEST(ScoresPostgres, ReplayVerdicts) {
  PG_DATABASE(db);
  auto store = OpenScoreStore(db);
  CheckReplayVerdicts(*store);
}

TEST(ScoresPostgres, SchemaIsCreatedOnceAndANewerOneRefused) {
  PG_DATABASE(db);
  {
    auto a = OpenScoreStore(db);
    a->AddScore({"A", 1, "", 0});
    // A second instance on the same database finds the schema made and the row there.
    auto b = OpenScoreStore(db);
    EXPECT_EQ(b->Count(), 1);
  }
  ASSERT_EQ(std::system(("psql -q '" + db + "' -c 'UPDATE schema_version SET version = 7' " +
                         ">/dev/null 2>&1")
                            .c_str()),
            0);
  try {
    OpenScoreStore(db);
    ADD_FAILURE() << "a newer schema was opened";
  } catch (const TStoreRefused& e) {
    EXPECT_NE(std::string(e.what()).find("schema version 7"), std::string::npos) << e.what();
  }
}

// SQL straight on the database, on a connection of its own.
TRawSql RawPostgres(const std::string& url) {
  return [url](const std::string& sql) {
    PGconn* c = PQconnectdb(url.c_str());
    PGresult* r = PQstatus(c) == CONNECTION_OK ? PQexec(c, sql.c_str()) : nullptr;
    const bool ok =
        r && (PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK);
    const std::string msg = PQerrorMessage(c);
    PQclear(r);
    PQfinish(c);
    ASSERT_TRUE(ok) << msg << "\n" << sql.substr(0, 200);
  };
}

TEST(ScoresPostgres, DeepPagesGiveExactRanks) {
  PG_DATABASE(db);
  auto store = OpenScoreStore(db);
  CheckRanksMatchPlainOrder(*store, RawPostgres(db));
}

TEST(ScoresPostgres, AVersion1DatabaseGetsItsCountsAtStartUp) {
  PG_DATABASE(db);
  CheckRanksAfterUpgradeFromVersion1(
      db,
      "CREATE TABLE schema_version (version INTEGER NOT NULL); "
      "INSERT INTO schema_version VALUES (1); "
      "CREATE TABLE scores (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
      "name TEXT NOT NULL, score INTEGER NOT NULL, country TEXT NOT NULL, "
      "submitted BIGINT NOT NULL); "
      "CREATE INDEX scores_table_order ON scores (score DESC, id ASC)",
      RawPostgres(db));
}

// A version-4 database counted bands and buckets only: its blocks are made at start-up from
// what it counted, and its triggers made again to keep them.
TEST(ScoresPostgres, AVersion4DatabaseGetsItsBlockCountsAtStartUp) {
  PG_DATABASE(db);
  std::string version4Count;
  for (const auto& [table, key, shift] :
       {std::tuple{"score_bands", "band", 12}, std::tuple{"score_buckets", "bucket", 4}}) {
    version4Count += std::string("INSERT INTO ") + table + " (" + key + ", shard, n) SELECT " +
                     "score >> " + std::to_string(shift) +
                     ", (id % 8)::smallint, COUNT(*) FROM added GROUP BY 1, 2 ON CONFLICT (" + key +
                     ", shard) DO UPDATE SET n = " + table + ".n + EXCLUDED.n; ";
  }
  CheckRanksAfterUpgradeFrom(
      db,
      "DROP TABLE score_blocks; UPDATE schema_version SET version = 4; "
      "CREATE OR REPLACE FUNCTION scores_count_added() RETURNS trigger LANGUAGE plpgsql AS "
      "$fn$ BEGIN " +
          version4Count + "RETURN NULL; END $fn$",
      RawPostgres(db));
}

TEST(ScoresPostgres, EndToEnd) {
  PG_DATABASE(db);
  CheckEndToEnd(db);
}

TEST(ScoresPostgres, TwoInstancesShareOneTable) {
  PG_DATABASE(db);
  TScoresProcess a({"--db", db, "--quiet"});
  TScoresProcess b({"--db", db, "--quiet"});
  ASSERT_TRUE(a.Started() && b.Started());
  ASSERT_EQ(HttpGet(a.Port(), SubmitTarget("Ann", 300, "")).Status, 200);
  ASSERT_EQ(HttpGet(b.Port(), SubmitTarget("Bea", 300, "")).Status, 200);
  ASSERT_EQ(HttpGet(a.Port(), SubmitTarget("Cid", 400, "")).Status, 200);
  const std::string fromA = HttpGet(a.Port(), "/api/scores").Body;
  EXPECT_EQ(fromA, HttpGet(b.Port(), "/api/scores").Body);
  EXPECT_LT(fromA.find("Cid"), fromA.find("Ann"));
  EXPECT_LT(fromA.find("Ann"), fromA.find("Bea"));
}

TEST(ScoresPostgres, AcknowledgedSurviveKill) {
  PG_DATABASE(db);
  CheckAcknowledgedSurviveKill(db);
}

// The same conversation as on SQLite, against the same recording: whatever one store answers
// differently from the other shows as a difference.
TEST(ScoresPostgres, AnswersAsRecordedForSqlite) {
  for (const char* part : ConversationParts) {
    SCOPED_TRACE(part);
    PG_DATABASE(db);
    auto store = OpenScoreStore(db);
    CheckTranscript("service.transcript", part, PlayConversation(part, *store));
  }
}

// Last: it stops the server for a while.
TEST(ScoresPostgres, DatabaseAwayGives503AndTheServiceRecovers) {
  PG_DATABASE(db);
  TScoresProcess service({"--db", db, "--quiet"});
  ASSERT_TRUE(service.Started()) << service.Log();
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Before", 10, "")).Status, 200);
  ASSERT_TRUE(Server->Stop());
  const THttpResult down = HttpGet(service.Port(), SubmitTarget("During", 20, ""));
  EXPECT_EQ(down.Status, 503);
  EXPECT_NE(down.Headers.find("Retry-After"), std::string::npos);
  EXPECT_EQ(HttpGet(service.Port(), "/healthz").Status, 503);
  EXPECT_EQ(HttpGet(service.Port(), "/cgi/version.pl?prg=ZapWheely&show&type=0").Status, 503);
  ASSERT_TRUE(Server->Start()) << Server->Error();
  int status = 0;
  for (int i = 0; i < 100 && status != 200; ++i) {
    status = HttpGet(service.Port(), "/healthz").Status;
    if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(status, 200);
  EXPECT_EQ(HttpGet(service.Port(), SubmitTarget("After", 30, "")).Status, 200);
  const std::string json = HttpGet(service.Port(), "/api/scores").Body;
  EXPECT_NE(json.find("After"), std::string::npos);
  EXPECT_NE(json.find("Before"), std::string::npos);
  EXPECT_EQ(json.find("During"), std::string::npos);
}

const auto* const Env = ::testing::AddGlobalTestEnvironment(new TPgEnvironment);

}  // namespace
}  // namespace zw::scores::test
