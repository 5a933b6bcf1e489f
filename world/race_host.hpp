// What the race (world, rider, opponents) asks of the game around it, and what it tells it.
#pragma once

#include <cstdint>

#include "core/surface.hpp"
#include "packs/picture.hpp"
#include "world/race_state.hpp"
#include "world/track.hpp"

namespace zw {

// What happened in a race that the game around it answers (with a dialog, the lives, the tally).
enum class TRaceEvent {
  LevelReady,     // a level is set up and waits for its start
  LevelFinished,  // the rider crossed the finish line and has stopped
  TimeUp,         // the clock ran out before the finish: a life is spent
  LifeLost,       // the rider's hits ran out
  GameOver,       // the last life's crash has played out
};

// The game as the race sees it: its variables, the track, the pictures it draws with, and a
// few services. The shell provides one; the race never reaches past it.
class IRaceHost {
 public:
  IRaceHost(TRaceState& race, TTrackState& track, TSurface& display, const TImageList& list2,
            const TImageList& list3)
      : Race(race), Track(track), MDisplay(display), MImageList2(list2), MImageList3(list3) {}
  virtual ~IRaceHost() = default;
  IRaceHost(const IRaceHost&) = delete;
  IRaceHost& operator=(const IRaceHost&) = delete;

  TRaceState& Race;
  TTrackState& Track;
  TSurface& MDisplay;
  const TImageList& MImageList2;  // the race's pictures: tiles, panels, bonuses
  const TImageList& MImageList3;  // the bikes and the cars

  // The game's random generator.
  virtual int32_t Random(int32_t n) = 0;
  virtual void PlaySound(int i) = 0;
  virtual void StopSound(int i) = 0;
  // A shake of the gamepad, where one is in use.
  virtual void PadRumble(double strength, int ms) = 0;
  // Every movement's time base, and the last frame's length in milliseconds.
  virtual double SpeedFactor() const = 0;
  virtual int32_t FrameTime() const = 0;
  // The race screen is showing (not a menu behind a race background).
  virtual bool Racing() const = 0;
  // A steering key was held in the previous frame (its twin flag: 2 left, 3 right).
  virtual bool KeyTwin(int i) const = 0;
  // Builds the level's track and puts the view at its start.
  virtual void SetUpLevel(int level) = 0;
  virtual void Report(TRaceEvent event) = 0;
};

}  // namespace zw
