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

class TCar : public TMyImageSprite {
 public:
  // The opponents' sprite at (0, 0), Z 9, with the level's grid set up.
  static TCar* Create(TSpriteEngine& engine);
  explicit TCar(TSpriteEngine& engine);

  TSlots<bool, 1, 5> CarRacing;
  TSlots<uint8_t, 1, 5> CarModel;
  TSlots<int32_t, 1, 5> CarImage;
  TSlots<double, 1, 5> CarLeft, CarTop;
  TSlots<double, 1, 5> CarHeading;
  TSlots<double, 1, 5> CarStep;
  TSlots<double, 1, 5> CarSpeed;
  TSlots<double, 1, 5> CarDecel;
  TSlots<bool, 1, 5> CarActive;
  TSlots<double, 1, 5> CarLean;
  TSlots<double, 1, 5> CarAnimPos;
  TSlots<int32_t, 1, 5> CarLeanState;
  TSlots<double, 1, 5> CarX, CarY;
  TSlots<TQuad, 1, 5> CarCorners;
  TSlots<TQuad, 1, 5> CarSensors;
  TSlots<double, 1, 5> CarLaneOffset;
  TSlots<bool, 1, 5> CarTouching;
  TSlots<uint8_t, 1, 5> CarRiderHits;
  TSlots<bool, 1, 5> CarWrecked;
  TSlots<int32_t, 1, 5> CarRecoverTimer;
  TSlots<bool, 1, 5> CarTurning;
  TSlots<double, 1, 5> CarTurnStart;
  TSlots<double, 1, 5> CarLeanHold;
  TSlots<bool, 1, 5> CarAvoiding;
  TSlots<int32_t, 1, 5> CarAvoidTimer;
  TSlots<int32_t, 1, 5> CarLaneTimer;
  TSlots<int32_t, 1, 5> CarLookAhead;
  TSlots<int32_t, 1, 5> CarPaceTimer;
  TSlots<int32_t, 1, 5> CarPaceShift;

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
