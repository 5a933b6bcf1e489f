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

}  // namespace zw::scores
