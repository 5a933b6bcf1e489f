// What the frame loop tells a replay recorder (or a replay checker) about a race as it runs, the
// watcher that plays a replay on the game's own screen, and the replays the form keeps.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// Plays a replay on the game's screen in place of the game's own frames, and gives the game
// back as it found it.
class IReplayWatcher {
 public:
  virtual ~IReplayWatcher() = default;
  // Starts watching the replay file's bytes; false with a one-line reason (shown under the
  // high-score table) when it cannot be shown as it was ridden.
  virtual bool Watch(TMForm& form, const std::string& bytes, std::string& why) = 0;
  virtual bool Watching() const = 0;
  // One frame of the platform's loop while watching: the player's own keys, then the replay's
  // frames, then the picture.
  virtual void Frame(TMForm& form, int moveCount) = 0;
  // An event of the player's while watching (the replay has its own).
  virtual void Event(TMForm& form, const TInputEvent& ev) = 0;
};

// The replays the game keeps: one for each entry of the high-score table that has one, and
// the last game's. Each is a whole replay file (.zwr bytes); empty where there is none.
struct TReplayShelf {
  // Beside HighScores[1..11]: entry 11 carries the new result's replay into the sort.
  std::array<std::string, 12> Table{};
  // The replay of the last game that came to its end, from StartRace to the last dialog before
  // name entry or the menu. LastIsCurrent: it is the game that ended last (a game cut short
  // leaves an older replay here with this false).
  std::string Last;
  bool LastIsCurrent = false;
  // Plays replays on screen; none where the program watches nothing.
  IReplayWatcher* Watcher = nullptr;
  // The table row chosen to be watched (1..10), 0 when a button has the selection.
  int32_t ChosenRow = 0;
  // Where the pointer was when the rows last looked: a row follows the pointer only when it moves.
  int32_t SeenMouseX = -1, SeenMouseY = -1;
  // Why the last replay asked for could not be shown, under the high-score table.
  std::string Note;
};

}  // namespace zw
