// The recorder the frame loop feeds, the player that feeds a recording back, and the hash of a
// race's whole state that proves the two rides the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "replay/replay_file.hpp"
#include "shell/replay_hooks.hpp"

namespace zw {
class TMForm;
}

namespace zw::replay {

// The game's version as a replay names it.
const char* GameVersion();
// The hash of the packs a race reads, from the run-time folder's Data/Res; 0 when one is
// missing.
uint64_t PackHash(const std::string& dataDir = "Data/Res");
// A hash of everything a race is: the race variables, the track, the rider, the opponents, the
// bonuses, the view, the generator, the frame timing, the keys as read and the dialog's state.
// The same on every machine and build (see TFnv).
uint64_t RaceStateHash(const TMForm& form);

// Records each race from StartRace to the end of the game. Also notes the state hash at every
// level end, so a ride and its re-ride can be compared level by level.
class TRecorder : public IReplayHooks {
 public:
  // The packs' hash (PackHash); when left 0 it is taken at the first race.
  uint64_t Packs = 0;
  bool Recording = false;
  // The last finished game (Complete), and the state hashes of the last race at its level ends
  // and its end (also in Last).
  TReplay Last;
  bool Complete = false;
  std::vector<TLevelEnd> LevelEnds;
  uint64_t EndHash = 0;
  // A recording that outgrew what a replay may hold is dropped.
  bool Overflowed = false;
  // Puts every finished game's replay file on the form's shelf (Replays.Last), where the
  // table, the saves and the online submission take it from. A checker leaves the shelf alone.
  bool Keep = false;

  void RaceStarting(TMForm& form) override;
  void RaceEvent(TMForm& form, const TInputEvent& ev) override;
  void RacePaused(TMForm& form, bool modeSwitch) override;
  void RaceFrame(TMForm& form, int moveCount) override;
  void LevelEnding(TMForm& form) override;
  void GameEnding(TMForm& form) override;

 private:
  TReplay Current;
  void Push(const TEvent& ev);
};

// Plays a recording back as the form's input: the held controls of the frame being played,
// its events, and its time.
class TReplayPlayer : public IInput {
 public:
  explicit TReplayPlayer(const TReplay& r) : R(r) {}
  const TReplay& R;
  uint32_t Frame = 0;      // the next frame to play
  bool Delivered = false;  // the events after the last frame are delivered

  bool PollEvent(TInputEvent&) override { return false; }
  bool KeyHeld(int key) const override;
  bool PadConnected() const override;
  bool PadHeld(int control) const override;

  // Puts the form in the state the race started from and starts it, from whatever menu screen
  // is showing.
  void Begin(TMForm& form);
  // Plays one frame (its events first); after the last frame, the events that ended the game.
  // False when nothing is left. With draw false the frame is run without drawing it.
  bool Step(TMForm& form, bool draw = true);
  // A drawn frame is presented on the display (a watcher presents its own, with its marks).
  bool Present = true;
  bool Done() const { return Delivered; }

 private:
  size_t NextEvent = 0;
  void DeliverEvents(TMForm& form, uint32_t frame);
  uint32_t Current() const { return Frame < R.FrameCount() ? Frame : R.FrameCount() - 1; }
};

// Rides a recording from start to end on a form that has finished FormCreate; answers whether
// the game came to its end, with the score it ended on and the level-end hashes.
struct TRideResult {
  bool Ended = false;
  int32_t RaceScore = 0;
  int32_t Level = 0;
  std::vector<TLevelEnd> LevelEnds;
  uint64_t EndHash = 0;
  uint32_t Frames = 0;
};
TRideResult Ride(TMForm& form, const TReplay& r, bool draw = true);

// Why a ride does not prove the recording it rode, in one line; empty when it does. A ride must
// end the game with the recording's score and, when the file holds the race state's hashes,
// make the same hash at every level end (the first that differs is named) and at the end.
std::string Disagreement(const TReplay& r, const TRideResult& res);

}  // namespace zw::replay
