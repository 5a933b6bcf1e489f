// One scripted conversation with the score service, the same on every store, recorded as text
// (tests/server/transcripts/service.transcript): SQLite and PostgreSQL must answer it alike.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "server/store.hpp"

namespace zw::scores::test {

// The parts of the conversation, each on a fresh, empty store.
inline constexpr const char* ConversationParts[] = {"routes-and-refusals", "table-dates-and-pages",
                                                    "replays-and-proof", "limits-and-health"};

// Plays one part against the store and returns its recording.
std::string PlayConversation(const std::string& part, IScoreStore& store);

}  // namespace zw::scores::test
