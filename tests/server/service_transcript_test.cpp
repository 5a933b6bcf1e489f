// The score service's every answer on SQLite, against the recording both stores share.
#include <gtest/gtest.h>

#include "tests/server/scores_process.hpp"
#include "tests/server/service_conversation.hpp"
#include "tests/server/transcript.hpp"

namespace zw::scores::test {
namespace {

class ScoresTranscriptSqlite : public ::testing::TestWithParam<const char*> {};

TEST_P(ScoresTranscriptSqlite, AnswersAsRecorded) {
  TTempDir dir;
  auto store = OpenScoreStore(dir.Path() + "/scores.db");
  CheckTranscript("service.transcript", GetParam(), PlayConversation(GetParam(), *store));
}

INSTANTIATE_TEST_SUITE_P(Parts, ScoresTranscriptSqlite, ::testing::ValuesIn(ConversationParts),
                         [](const ::testing::TestParamInfo<const char*>& part) {
                           std::string name = part.param;
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace zw::scores::test
