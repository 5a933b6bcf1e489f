// What the frame loop tells a replay recorder (or a replay checker) about a race as it runs.
#pragma once

#include "platform/platform.hpp"

namespace zw {

class TMForm;

// The form calls these at the few places where a race takes in what it reads from outside
// (events, a frame's time, the held controls) and where a level or the game ends. Nothing here
// may change the game: a recorder and a checker only watch.
class IReplayHooks {
 public:
  virtual ~IReplayHooks() = default;
  // StartRace is about to build the race: the seed, the bike and the timing are as they will
  // be used.
  virtual void RaceStarting(TMForm& form) = 0;
  // An event the race or its dialogs read, before the form handles it.
  virtual void RaceEvent(TMForm& form, const TInputEvent& ev) = 0;
  // The race is paused by the window going away (minimised, the boss key) or by the display
  // mode switching (Alt+Enter).
  virtual void RacePaused(TMForm& form, bool modeSwitch) = 0;
  // A frame of moveCount milliseconds is about to run.
  virtual void RaceFrame(TMForm& form, int moveCount) = 0;
  // A level ends: the next one, or the same again, is about to be set up.
  virtual void LevelEnding(TMForm& form) = 0;
  // The game is over: name entry or the menu comes next.
  virtual void GameEnding(TMForm& form) = 0;
};

}  // namespace zw
