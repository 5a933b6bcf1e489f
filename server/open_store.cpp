// Choosing the back end from the --db value.
#include "server/pg_store.hpp"
#include "server/sqlite_store.hpp"
#include "server/store.hpp"

namespace zw::scores {

std::unique_ptr<IScoreStore> OpenScoreStore(const std::string& db) {
  if (db.starts_with("postgresql://") || db.starts_with("postgres://"))
    return OpenPostgresStore(db);
  if (db.empty()) throw TStoreRefused("no score database given");
  return OpenSqliteStore(db);
}

void IScoreStore::AddScoreLater(const TNewScore& score, TScoreAdded done) {
  int64_t id = 0;
  std::string error;
  try {
    id = AddScore(score);
  } catch (const std::exception& e) {
    error = e.what();
    if (error.empty()) error = "the score database refused the result";
  }
  done(id, error);
}

}  // namespace zw::scores
