// The race's variables and its sprites: level, score, lives, clock, the tally's counters.
#pragma once

#include <cstdint>

namespace zw {

class TScrollBackground;
class TBonus;
class TCar;
class TPointer;
class TPlayer;

// The race variables and the race sprites.
struct TRaceState {
  int32_t Level = 1;
  int32_t RaceScore = 0;
  int32_t Lives = 0;
  int32_t RaceClock = 0;
  uint8_t RacePosition = 0;
  uint8_t RaceCount = 0;
  int32_t TallyTimeLeft = 0;
  int32_t TallyStepTimer = 0;
  int32_t TallyStep = 0;
  int32_t TimeBonus = 0;
  int32_t BonusPoints = 0;
  int32_t TallyPause = 0;
  double ScrollVX = 0;
  double ScrollVY = 0;
  int32_t SelectedBike = 1;
  TScrollBackground* Background = nullptr;
  TBonus* Bonus = nullptr;
  TCar* Car = nullptr;
  TPointer* Pointer = nullptr;
  TPlayer* Player = nullptr;
};

}  // namespace zw
