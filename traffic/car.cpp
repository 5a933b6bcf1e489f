// The opponent riders: the starting grid, their riding along the road, wrecks and recovery.
#include "traffic/car.hpp"

#include <algorithm>
#include <cmath>

#include "core/exact_math.hpp"
#include "packs/sound_effects.hpp"
#include "rider/player.hpp"
#include "world/generator.hpp"
#include "world/race_host.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

constexpr double U = 2.0 * M_PI / 256.0;

// The track's row tables, read inside the map only: rows beyond it count as never written.
int RowKindAt(TTrackState& t, int row) {
  return (row >= 1 && row <= TrackRows) ? t.RowKind(row) : 0;
}
int RoadCentreAt(TTrackState& t, int row) {
  return (row >= 1 && row <= TrackRows) ? t.RoadCentreX(row) : 0;
}

bool InQuad(const TPoint& p, const TQuad& q) {
  return PointInQuad(p, q.P);
}

}  // namespace

TCar::TCar(TSpriteEngine& engine) : TMyImageSprite(engine, 2) {}

TCar* TCar::Create(TSpriteEngine& engine) {
  auto* c = new TCar(engine);
  c->SetImageIndex(0);
  c->X = 0;
  c->Y = 0;
  c->SetZ(9);
  c->ResetCars();
  return c;
}

IRaceHost& TCar::Host() {
  return *Engine->RaceHost;
}

void TCar::ResetCars() {
  IRaceHost& f = Host();
  for (int i = 1; i <= 5; ++i) {
    CarRacing[i] = false;
    CarModel[i] = 0;
    CarImage[i] = 0;
    CarLeft[i] = CarTop[i] = CarHeading[i] = CarStep[i] = CarSpeed[i] = CarDecel[i] = 0;
    CarActive[i] = false;
    CarLean[i] = CarAnimPos[i] = 0;
    CarLeanState[i] = 0;
    CarX[i] = CarY[i] = 0;
    CarCorners[i] = TQuad{};
    CarSensors[i] = TQuad{};
    CarLaneOffset[i] = 0;
    CarTouching[i] = false;
    CarRiderHits[i] = 0;
    CarWrecked[i] = false;
    CarRecoverTimer[i] = 0;
    CarTurning[i] = false;
    CarTurnStart[i] = CarLeanHold[i] = 0;
    CarAvoiding[i] = false;
    CarAvoidTimer[i] = 0;
    CarLaneTimer[i] = 5000;
    CarLookAhead[i] = 0;
    CarPaceTimer[i] = 5000;
    CarPaceShift[i] = 0;
  }
  const int level = f.Race.Level;
  const int vc = f.Track.ViewCol, vr = f.Track.ViewRow;
  struct Grid {
    bool Races;
    double Left, Top;
  };
  const Grid grid[6] = {
      {false, 0, 0},
      {level % 2 == 1 || level >= 5, TileSizeD * (vc + 4), TileSizeD * (vr + 6) - 32},
      {level >= 2, TileSizeD * (vc + 6) - 30, TileSizeD * (vr + 4) - 50},
      {level >= 2, TileSizeD * (vc + 4), TileSizeD * (vr + 4) - 50},
      {level >= 5, TileSizeD * (vc + 6) - 30, TileSizeD * (vr + 2) - 80},
      {level >= 5, TileSizeD * (vc + 4), TileSizeD * (vr + 2) - 80}};
  for (int i = 1; i <= 5; ++i) {
    if (!grid[i].Races) continue;
    CarRacing[i] = true;
    CarModel[i] = static_cast<uint8_t>(1 + f.Random(5));
    CarImage[i] = BikeUprightImage(CarModel[i]);
    CarLeft[i] = grid[i].Left;
    CarTop[i] = grid[i].Top;
    CarActive[i] = true;
    CarLaneOffset[i] = (i % 2 == 1) ? -30 : 60;
  }
  Move(1);
}

void TCar::WreckCar(int i) {
  CarWrecked[i] = true;
  CarImage[i] = BikeCrashImage(CarModel[i]);
  CarAnimPos[i] = 0;
  CarRecoverTimer[i] = 1000;
  Host().PlaySound(sfx::Crash);
}

void TCar::ObstaclesAgainstOpponents(const TTrackState& t) {
  for (int i = 1; i <= 5; ++i) {
    if (!CarRacing[i]) continue;
    const int r = static_cast<int>(std::trunc(CarY[i] / TileSizeD));
    const int c = static_cast<int>(std::trunc(CarX[i] / TileSizeD));
    const TPoint quad[4] = {CarCorners[i].P[0], CarCorners[i].P[1], CarCorners[i].P[2],
                            CarCorners[i].P[3]};
    for (int dr = -3; dr <= 3; ++dr)
      for (int dc = -3; dc <= 3; ++dc) {
        const int s = SolidAt(t, r + dr, c + dc);
        if (s == -1) continue;
        TPoint q[4];
        for (int k = 0; k < 4; ++k)
          q[k] = TPoint{TileSizeD * (c + dc) + SolidShapeX[s][k],
                        TileSizeD * (r + dr) + SolidShapeY[s][k]};
        if (QuadsOverlap(quad, q) && !CarWrecked[i]) {
          CarRiderHits[i] = 2;
          WreckCar(i);
        }
      }
  }
}

void TCar::RecoverCar(int i) {
  IRaceHost& f = Host();
  const int m = CarModel[i];
  CarWrecked[i] = false;
  CarRiderHits[i] = 0;
  CarImage[i] = BikeUprightImage(m);
  CarAnimPos[i] = 0;
  const int r = static_cast<int>(std::trunc(CarY[i] / TileSizeD));
  for (int row = r - 1; row <= r + 1; ++row) {
    if (row < 1 || row > TrackRows) continue;
    for (int c = TrackCols - 1; c >= 1; --c) {
      const uint8_t cell = f.Track.TrackMap(row, c);
      const bool ok = (cell == 0 && f.Race.Player &&
                       f.Race.Player->IsRoadAt((c - 1) * TileSizeD, row * TileSizeD)) ||
                      cell == 23 || cell == 29 || cell == 47;
      if (!ok) continue;
      CarHeading[i] = cell == 47 ? 18.89 : cell == 29 ? -18.89 : 0;
      CarTop[i] = TileSizeD * row;
      CarLeft[i] = TileSizeD * (c - 3);
      break;
    }
  }
}

void TCar::SteerLeft(int i) {
  const double s = CarStep[i] > 0 ? 1 : CarStep[i] < 0 ? -1 : 0;
  CarHeading[i] -= s * SteerRate(CarModel[i], CarSpeed[i]) * 2 * Host().SpeedFactor();
}

void TCar::SteerRight(int i) {
  const double s = CarStep[i] > 0 ? 1 : CarStep[i] < 0 ? -1 : 0;
  CarHeading[i] += s * SteerRate(CarModel[i], CarSpeed[i]) * 2 * Host().SpeedFactor();
}

void TCar::Move(int moveCount) {
  TMyImageSprite::Move(moveCount);
  IRaceHost& f = Host();
  TTrackState& t = f.Track;
  const double sf = f.SpeedFactor();
  const int32_t ft = f.FrameTime();
  const double bx = f.Race.Background ? f.Race.Background->X : 0.0;
  const double by = f.Race.Background ? f.Race.Background->Y : 0.0;
  TPlayer* rider = f.Race.Player;
  for (int i = 1; i <= 5; ++i) {
    if (!CarRacing[i]) continue;
    const int m = CarModel[i];
    // 1. The active window around the screen.
    CarActive[i] = TileSizeD * t.ViewCol - bx <= CarLeft[i] &&
                   CarLeft[i] <= TileSizeD * (t.ViewCol + 13) - bx &&
                   TileSizeD * (t.ViewRow - 2) - by <= CarTop[i] &&
                   CarTop[i] <= TileSizeD * (t.ViewRow + 12) - by;
    // 2..5. Movement, centre, corners and probes.
    CarLeft[i] += exact::Sin(CarHeading[i] * U) * CarStep[i] * 0.5 * sf;
    CarTop[i] -= exact::Cos(CarHeading[i] * U) * CarStep[i] * 0.5 * sf;
    CarX[i] = CarLeft[i] + CarWidth(m) / 2.0;
    CarY[i] = CarTop[i] + CarHeight(m) / 2.0;
    const double r = CarCornerRadiusTable[ModelIndex(m)] * BikeCornerScale(m);
    const double a = CarCornerAngleTable[ModelIndex(m)];
    const double h = CarHeading[i];
    CarCorners[i].P[0] = PointAt(CarX[i], CarY[i], h - a, r);
    CarCorners[i].P[1] = PointAt(CarX[i], CarY[i], h + a, r);
    CarCorners[i].P[2] = PointAt(CarX[i], CarY[i], h - a + 128, r);
    CarCorners[i].P[3] = PointAt(CarX[i], CarY[i], h + a + 128, r);
    CarSensors[i].P[0] = PointAt(CarX[i], CarY[i], h - 2, 60);
    CarSensors[i].P[1] = PointAt(CarX[i], CarY[i], h + 2, 60);
    CarSensors[i].P[2] = PointAt(CarX[i], CarY[i], h - 32, 28);
    CarSensors[i].P[3] = PointAt(CarX[i], CarY[i], h + 32, 28);
    // 6. Lane timer.
    if (CarLaneTimer[i] > 0) {
      CarLaneTimer[i] -= ft;
    } else {
      CarLaneTimer[i] = 300 * f.Random(10) + 4000;
      if (!CarAvoiding[i]) {
        CarLaneOffset[i] += f.Random(100) - 50;
        CarLookAhead[i] = f.Random(3);
      }
    }
    // 7. Pace timer.
    if (CarPaceTimer[i] > 0) {
      CarPaceTimer[i] -= ft;
    } else {
      CarPaceTimer[i] = 300 * f.Random(10) + 4000;
      if (!CarAvoiding[i]) {
        if (CarPaceShift[i] > 0)
          CarSpeed[i] -= CarPaceShift[i];
        else
          CarSpeed[i] += CarPaceShift[i];
        CarPaceShift[i] = f.Random(10) - 5;
        CarSpeed[i] += CarPaceShift[i];
      }
    }
    // 8. Probing.
    bool front = false, left = false, right = false;
    if (!CarWrecked[i]) {
      if (rider) {
        TQuad riderQuad;
        const double ox = t.ViewCol * TileSizeD - bx, oy = t.ViewRow * TileSizeD - by;
        for (int k = 0; k < 4; ++k)
          riderQuad.P[k] = TPoint{rider->Corners[k + 1].X + ox, rider->Corners[k + 1].Y + oy};
        if (CarStep[i] > rider->ScrollSpeed) {
          if (InQuad(CarSensors[i].P[0], riderQuad)) front = true;
          if (InQuad(CarSensors[i].P[1], riderQuad)) front = true;
        }
        if (InQuad(CarSensors[i].P[2], riderQuad))
          left = true;
        else if (InQuad(CarSensors[i].P[3], riderQuad))
          right = true;
      }
      const double turn = front ? 3 : 1;
      const double shift = front ? 8 : 6;
      for (int j = 1; j <= 5; ++j) {
        if (j == i || !CarRacing[j] || std::fabs(CarY[j] - CarY[i]) >= 200) continue;
        if (InQuad(CarSensors[i].P[0], CarCorners[j])) front = true;
        if (InQuad(CarSensors[i].P[1], CarCorners[j]))
          front = true;
        else if (InQuad(CarSensors[i].P[2], CarCorners[j]))
          left = true;
        else if (InQuad(CarSensors[i].P[3], CarCorners[j]))
          right = true;
      }
      if (front) {
        if (CarLaneOffset[i] > 0) {
          CarHeading[i] -= turn * sf;
          CarLaneOffset[i] -= shift;
        } else {
          CarHeading[i] += turn * sf;
          CarLaneOffset[i] += shift;
        }
      } else if (left) {
        CarHeading[i] += 2 * sf;
        CarLaneOffset[i] += 6;
      }
      if (right) {
        CarHeading[i] -= 2 * sf;
        CarLaneOffset[i] -= 6;
      }
    }
    // 9. Avoiding.
    if (front || left || right) {
      CarAvoiding[i] = true;
      CarAvoidTimer[i] = 200;
    } else if (CarAvoidTimer[i] > 0) {
      CarAvoidTimer[i] -= ft;
    } else {
      CarAvoiding[i] = false;
    }
    // 10. Lane limits.
    if (CarLaneOffset[i] > 90) CarLaneOffset[i] = 60;
    if (CarLaneOffset[i] < -80) CarLaneOffset[i] = -30;
    // 11. Aim.
    const int row = static_cast<int>(std::nearbyint(CarY[i])) / TileSize;
    const int aimRow = row - 5 - CarLookAhead[i];
    // Past the top of the track the rows hold nothing this level wrote (an earlier level's road,
    // or none at all, which would steer for the map's left edge): there the opponent keeps
    // aiming the same distance ahead, at the top row's road centre.
    const int topRow = std::max(1, TrackRows - t.TrackLength);
    const int centreRow = std::max(aimRow, topRow);
    const double aim = exact::Atan((RoadCentreAt(t, centreRow) + CarLaneOffset[i] - CarX[i]) /
                                (CarY[i] - TileSizeD * aimRow)) *
                       256.0 / (2 * M_PI);
    const double diff = CarAvoiding[i] ? 0.0 : aim - CarHeading[i];
    const int aheadKind = RowKindAt(t, centreRow);
    if (aheadKind != KindStraight && aheadKind != KindLeadOut) CarLookAhead[i] = 0;
    if (!CarWrecked[i]) {
      // 12. Steering.
      if (CarStep[i] > 0) {
        if (diff > 2) {
          if (!CarTurning[i]) {
            CarTurnStart[i] = CarHeading[i];
            CarTurning[i] = true;
          }
          CarLeanHold[i] = 10;
          SteerRight(i);
        } else if (diff < -2) {
          if (!CarTurning[i]) {
            CarTurnStart[i] = CarHeading[i];
            CarTurning[i] = true;
          }
          CarLeanHold[i] = 10;
          SteerLeft(i);
        } else {
          CarTurning[i] = false;
        }
      }
      // 13. Lean.
      if (CarTurning[i]) {
        const double d = CarHeading[i] - CarTurnStart[i];
        if (d > 0) CarLean[i] += 0.6 * sf;
        if (d < 0) CarLean[i] -= 0.6 * sf;
        CarLean[i] = std::clamp(CarLean[i], -6.5, 6.5);
      } else if (CarLeanHold[i] > 0) {
        CarLeanHold[i] -= 1;
      } else if (CarLean[i] > 0) {
        CarLean[i] = std::max(0.0, CarLean[i] - 0.3 * sf);
      } else if (CarLean[i] < 0) {
        CarLean[i] = std::min(0.0, CarLean[i] + 0.3 * sf);
      }
      // 14. Picture.
      if (CarLean[i] > 1) {
        CarLeanState[i] = 1;
        CarImage[i] = BikeLeanRightImage(m);
      } else if (CarLean[i] < -1) {
        CarLeanState[i] = -1;
        CarImage[i] = BikeLeanLeftImage(m);
      } else {
        CarLeanState[i] = 0;
        CarImage[i] = BikeUprightImage(m);
      }
      CarAnimPos[i] = CarLeanState[i] != 0 ? 6.5 - std::fabs(CarLean[i]) : 0;
      // 15. Throttle: brake to 130 before and after bends, run free elsewhere.
      if (aheadKind == KindStraight || aheadKind == KindDriftLeft || aheadKind == KindDriftRight ||
          CarSpeed[i] <= 130) {
        if (CarSpeed[i] <= TopSpeed(m)) CarSpeed[i] += AccelRate(m, CarSpeed[i]) * sf;
      }
      CarDecel[i] = ((aheadKind == KindLeadIn || aheadKind == KindLeadOut) && CarSpeed[i] > 130)
                        ? BrakeRate(m)
                        : 0;
    } else {
      // 16. Wreck: slide to a stop, stand a while, then come back on the road.
      const double last = BikeCrashFrames(m) - 1;
      CarAnimPos[i] = std::min(CarAnimPos[i] + 2 * sf / ft, last);
      CarDecel[i] = 0.8;
      if (CarSpeed[i] <= 10) CarAnimPos[i] = last;
      if (CarSpeed[i] <= 0) {
        CarDecel[i] = CarSpeed[i] = CarStep[i] = 0;
        if (CarRecoverTimer[i] > 0)
          CarRecoverTimer[i] -= ft;
        else
          RecoverCar(i);
      }
    }
    // 17. Heading limits around the drift's slope.
    const int kind = RowKindAt(t, row);
    const double base = kind == KindDriftLeft ? -18.89 : kind == KindDriftRight ? 18.89 : 0.0;
    CarHeading[i] = std::clamp(CarHeading[i], base - 16, base + 16);
    // 18. Speed.
    CarSpeed[i] -= CarDecel[i] * sf;
    CarStep[i] = PowerFactor(m) * CarSpeed[i] / 8;
    // 19. Fifty rows beyond the top of the track the race is over for it.
    if (CarY[i] < TileSizeD * (TrackRows - 50 - t.TrackLength)) {
      CarSpeed[i] = 0;
      CarStep[i] = 0;
    }
  }
}

}  // namespace zw
