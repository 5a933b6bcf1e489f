// Checks every score back end must pass, run on SQLite and on PostgreSQL.
#pragma once

#include <functional>
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

// A result's replay and its verdict: matched to the newest result of its record that has none,
// kept byte for byte, one per result, listed while pending, and judged once; only verified
// results make the verified page.
void CheckReplayVerdicts(IScoreStore& store);

// Runs SQL straight on the store's database, as an operator's tool (or an older version of the
// service) would.
using TRawSql = std::function<void(const std::string& sql)>;

// Deep and near pages over tie-heavy random data, compared rank by rank with the plain table
// order, also after results are removed and changed behind the service's back.
void CheckRanksMatchPlainOrder(IScoreStore& store, const TRawSql& raw);
// A version-1 database (made with the given statements through raw, then filled) opened by this
// version: its counts are made at start-up and every page is exact.
void CheckRanksAfterUpgradeFromVersion1(const std::string& db, const std::string& version1Schema,
                                        const TRawSql& raw);
// A database filled by this version, turned back into an older version's (the given statements
// through raw) and given more results the way that version counted them, then opened again:
// every page is exact, also after later results, removals and changes.
void CheckRanksAfterUpgradeFrom(const std::string& db, const std::string& makeOlder,
                                const TRawSql& raw);

}  // namespace zw::scores::test
