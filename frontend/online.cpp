// The online high scores: the service's addresses and the submission of a finished game.
#include "online/score_record.hpp"
#include "online/submission.hpp"
#include "shell/form.hpp"
#include "shell/score_host.hpp"

// The build sets the host for this file alone; a build without it sends to the local service.
#ifndef ZW_SCORE_HOST
#define ZW_SCORE_HOST "127.0.0.1:8417"
#endif

namespace zw {

const char* DefaultScoreHost() {
  return ZW_SCORE_HOST;
}

std::string TMForm::HomePageAddress() const {
  return "http://" + ScoreHost + "/";
}

std::string TMForm::OnlineTableAddress() const {
  return "http://" + ScoreHost + online::TableTarget();
}

std::string TMForm::SubmitAddress(const std::string& encoded) const {
  return "http://" + ScoreHost + online::SubmitTarget(encoded);
}

// Where the replay of a submitted result goes: the same record names the result it proves.
std::string ReplayUploadAddress(const std::string& host, const std::string& encoded) {
  return "http://" + host + online::ReplayTarget(encoded);
}

// One request with the name, score and country; whatever the service answers, or if it never
// answers, the game goes on to the high-score table the same way, and the table says when the
// result did not get there, so a player without a service does not wait for it to show online.
void TMForm::SendScore() {
  const online::TScoreRecord record{Dialog.PlayerName, Race.RaceScore, GameOptions.Country};
  const std::string address = SubmitAddress(online::EncodeScoreRecord(record));
  OnlineNote.clear();
  if (!Platform.Http) return;
  std::string reply;
  if (Platform.Http->Get(address, reply)) {
    // Then the proof: the replay of the game just ended. The service answers at once and
    // rides it later; one that knows no replays (404), or any failure, changes nothing here.
    if (Replays.LastIsCurrent && !Replays.Last.empty()) {
      int status = 0;
      Platform.Http->Post(ReplayUploadAddress(ScoreHost, online::EncodeScoreRecord(record)),
                          Replays.Last, reply, status);
    }
    return;
  }
  OnlineNote = LoopbackScoreHost(ScoreHost)
                   ? "Not sent: no score service on this computer (" + ScoreHost + ")"
                   : "Not sent: the score service at " + ScoreHost + " did not take it";
}

}  // namespace zw
