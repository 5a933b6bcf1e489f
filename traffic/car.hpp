// TCar: every opponent rider, as per-slot arrays inside one sprite.
#pragma once

#include "core/bounds.hpp"
#include "rider/bike_models.hpp"
#include "sprites/game_sprites.hpp"
#include "world/track.hpp"

namespace zw {

class IRaceHost;

constexpr int CarWidthTable[6] = {0, 63, 60, 68, 60, 56};
constexpr int CarHeightTable[6] = {0, 68, 67, 69, 62, 68};
constexpr int WreckWidthTable[6] = {0, 64, 72, 88, 86, 68};
constexpr int WreckHeightTable[6] = {0, 152, 158, 204, 154, 184};
constexpr double CarCornerRadiusTable[6] = {0, 37, 36, 38, 35, 35};
constexpr double CarCornerAngleTable[6] = {0, 12, 11, 13, 11, 12};

inline int CarWidth(int m) {
  return CarWidthTable[ModelIndex(m)];
}
inline int CarHeight(int m) {
  return CarHeightTable[ModelIndex(m)];
}
inline int WreckWidth(int m) {
  return WreckWidthTable[ModelIndex(m)];
}
inline int WreckHeight(int m) {
  return WreckHeightTable[ModelIndex(m)];
}

struct TQuad {
  TPoint P[4];  // corners 1..4 as P[0..3]
};

// One opponent rider: where it is, how it rides and what it is doing about the road ahead.
struct TOpponent {
  bool Racing = false;  // on the grid this level
  uint8_t Model = 0;
  int32_t Image = 0;
  double Left = 0, Top = 0;  // the picture's top-left corner on the track
  double Heading = 0;        // 256ths of a turn, 0 up the track
  double Step = 0;           // distance a frame at the game's pace
  double Speed = 0;
  double Decel = 0;
  bool Active = false;  // within the window around the screen
  double Lean = 0;
  double AnimPos = 0;
  int32_t LeanState = 0;  // -1 left, 0 upright, 1 right
  double X = 0, Y = 0;    // the bike's centre
  TQuad Corners{};
  // Two probes ahead and one to each side, for the rider and the other opponents.
  TQuad Sensors{};
  double LaneOffset = 0;  // where across the road's centre it rides
  bool Touching = false;
  uint8_t RiderHits = 0;
  bool Wrecked = false;
  int32_t RecoverTimer = 0;
  bool Turning = false;
  double TurnStart = 0;  // the heading the turn began at
  double LeanHold = 0;   // frames the lean stays after the turn
  bool Avoiding = false;
  int32_t AvoidTimer = 0;
  int32_t LaneTimer = 5000;
  int32_t LookAhead = 0;  // extra rows it aims ahead on a straight
  int32_t PaceTimer = 5000;
  int32_t PaceShift = 0;
};

class TCar : public TMyImageSprite {
 public:
  // The opponents' sprite at (0, 0), Z 9, with the level's grid set up.
  static TCar* Create(TSpriteEngine& engine);
  explicit TCar(TSpriteEngine& engine);

  TSlots<TOpponent, 1, 5> Opponents;

  void ResetCars();
  void WreckCar(int i);
  // The roadside obstacles around each racing opponent: one that touches wrecks it.
  void ObstaclesAgainstOpponents(const TTrackState& track);
  void RecoverCar(int i);
  void SteerLeft(int i);
  void SteerRight(int i);
  void Draw() override {}
  void Move(int moveCount) override;

 private:
  IRaceHost& Host();
};

}  // namespace zw
