// The shared score store: PostgreSQL through libpq, for several service instances on one
// database.
#pragma once

#include <string>

#include "server/store.hpp"

namespace zw::scores {

// url is a libpq connection address ("postgresql://user@host:port/db").
std::unique_ptr<IScoreStore> OpenPostgresStore(const std::string& url);

}  // namespace zw::scores
