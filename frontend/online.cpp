// The online high scores: the service's addresses and the submission of a finished game.
#include "online/score_record.hpp"
#include "shell/form.hpp"
#include "shell/score_host.hpp"

namespace zw {

std::string TMForm::HomePageAddress() const {
  return "http://" + ScoreHost + "/";
}

std::string TMForm::OnlineTableAddress() const {
  return "http://" + ScoreHost + "/cgi/version.pl?prg=ZapWheely&show&type=0";
}

std::string TMForm::SubmitAddress(const std::string& encoded) const {
  return "http://" + ScoreHost + "/cgi/version.pl?hs&prg=ZapWheely&inf=" + encoded;
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
  if (Platform.Http->Get(address, reply)) return;
  OnlineNote = LoopbackScoreHost(ScoreHost)
                   ? "Not sent: no score service on this computer (" + ScoreHost + ")"
                   : "Not sent: the score service at " + ScoreHost + " did not take it";
}

}  // namespace zw
