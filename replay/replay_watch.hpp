// Watching a replay on the game's own screen: the race exactly as it was ridden, with its HUD
// and sounds, a REPLAY mark, pause, fast-forward and Esc to leave.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/surface.hpp"
#include "replay/recorder.hpp"
#include "shell/game_options.hpp"
#include "shell/high_score.hpp"
#include "shell/key_state.hpp"
#include "shell/timing.hpp"
#include "world/race_state.hpp"

namespace zw {
class TSoundItem;
}  // namespace zw

namespace zw::replay {

class TReplayWatch : public IReplayWatcher {
 public:
  // The hash of the packs this game runs with: a replay made for others is not shown.
  uint64_t Packs = 0;
  // How long the last picture stays with "END OF REPLAY" before the table comes back.
  int32_t EndHoldMs = 2500;

  bool Watch(TMForm& form, const std::string& bytes, std::string& why) override;
  bool Watching() const override { return Active; }
  void Frame(TMForm& form, int moveCount) override;
  void Event(TMForm& form, const TInputEvent& ev) override;

  // Where the watching is (for the scripted runner's state and the tests).
  bool Paused = false;
  int Speed = 1;  // 1, or 4 while fast-forwarding
  uint32_t FramePlayed() const { return Player ? Player->Frame : 0; }
  bool Ended() const { return Active && Hold >= 0; }
  // The score the watched game ended on (once it has).
  int32_t EndScore() const { return Check.Complete ? Check.Last.RaceScore : 0; }

  // Why a file cannot be watched, in one line; empty when it can.
  static std::string Refusal(const TReplay& r, uint64_t packs);

  // The race's last picture as the replay left it, before the marks go over it: shown again
  // every frame while paused or at the end (the tests paint it to check the marks).
  TSurface Picture{800, 600};

 private:
  bool Active = false;
  TReplay R;
  std::unique_ptr<TReplayPlayer> Player;
  TRecorder Check;
  IInput* RealInput = nullptr;
  IReplayHooks* SavedHooks = nullptr;
  // What a race changes in the form that outlives it, put back when the watching ends.
  TRaceState SavedRace;
  TTiming SavedTiming;
  TKeyState SavedKeys;
  TGameOptions SavedOptions;
  std::array<THighScore, 12> SavedScores{};
  std::string SavedCheck, SavedName;
  uint32_t SavedSeed = 0;
  int32_t SavedRow = 0;
  int32_t Budget = 0;
  int32_t Hold = -1;  // ms left of the end picture; -1 while the replay runs
  std::vector<TSoundItem*> Silenced;

  void Play(TMForm& form, int moveCount);
  void Leave(TMForm& form);
  void Stop(TMForm& form);
  void SetPaused(TMForm& form, bool paused);
  void DrawMarks(TMForm& form);
};

// Watches a replay file from the disk; when it cannot be shown, the high-score table comes up
// with the reason under it (and false with the reason).
bool WatchFile(TMForm& form, const std::string& path, std::string& why);

}  // namespace zw::replay
