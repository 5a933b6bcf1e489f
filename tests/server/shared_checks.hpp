// Checks every score back end must pass, run on SQLite and on PostgreSQL.
#pragma once

#include <string>

#include "server/store.hpp"

namespace zw::scores::test {

// Ordering (best first, ties in submission order), paging, counting, many writers at once and
// the page query walking the index.
void CheckStoreRules(IScoreStore& store);
// A real service on the database: a submission is stored as sent and listed at its rank.
void CheckEndToEnd(const std::string& db);
// A stream of submissions, the service killed with SIGKILL part-way and started again: every
// submission that got an OK is in the table.
void CheckAcknowledgedSurviveKill(const std::string& db);

}  // namespace zw::scores::test
