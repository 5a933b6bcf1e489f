// The embedded score store: one SQLite file in WAL mode, the default back end.
#pragma once

#include <string>

#include "server/store.hpp"

namespace zw::scores {

std::unique_ptr<IScoreStore> OpenSqliteStore(const std::string& path);
// A setting ("synchronous", "journal_mode") of the connection that commits the scores, as SQLite
// reports it; empty when the store is not an SQLite one.
std::string SqliteWriterSetting(IScoreStore& store, const std::string& name);

}  // namespace zw::scores
