// The embedded score store: one SQLite file in WAL mode, the default back end.
#pragma once

#include <string>

#include "server/store.hpp"

namespace zw::scores {

std::unique_ptr<IScoreStore> OpenSqliteStore(const std::string& path);

}  // namespace zw::scores
