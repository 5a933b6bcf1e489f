// The rider's contacts with opponents, the push from behind, hits, crashes and restarts.
#include <algorithm>
#include <cmath>

#include "core/exact_math.hpp"
#include "packs/sound_effects.hpp"
#include "rider/player.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"
#include "world/generator.hpp"
#include "world/race_host.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

// True when P lies so far from the quadrilateral that the angle sum below cannot reach the
// threshold. Every corner lies in the circle of radius r around the bounding box's centre; seen
// from a point at distance D >= 1.6 r from that centre, the circle fills an arc of at most
// 2 asin(1 / 1.6), under 78 degrees, so the four angles between corners add up to under 312,
// far below 355 whatever the order of the corners. Only plain finite numbers take the shortcut.
bool FarOutside(const TPoint& p, const TPoint q[4]) {
  double minX = q[0].X, maxX = q[0].X, minY = q[0].Y, maxY = q[0].Y;
  for (int k = 1; k < 4; ++k) {
    minX = std::min(minX, q[k].X);
    maxX = std::max(maxX, q[k].X);
    minY = std::min(minY, q[k].Y);
    maxY = std::max(maxY, q[k].Y);
  }
  const double hw = (maxX - minX) / 2, hh = (maxY - minY) / 2;
  const double dx = p.X - (minX + hw), dy = p.Y - (minY + hh);
  const double r2 = hw * hw + hh * hh, d2 = dx * dx + dy * dy;
  if (!std::isfinite(r2) || !std::isfinite(d2)) return false;
  return d2 >= 1e-200 && d2 >= 2.56 * r2;
}

}  // namespace

// P lies inside when the angles it sees between neighbouring corners add up to a full turn.
bool PointInQuad(const TPoint& p, const TPoint q[4]) {
  // Most obstacles the rider is tested against lie well away from it: skip the cosines there.
  if (FarOutside(p, q)) return false;
  double sum = 0;
  for (int k = 0; k < 4; ++k) {
    const TPoint& a = q[k];
    const TPoint& b = q[(k + 1) % 4];
    const double ax = a.X - p.X, ay = a.Y - p.Y, bx = b.X - p.X, by = b.Y - p.Y;
    const double la = exact::Hypot(ax, ay), lb = exact::Hypot(bx, by);
    // A corner standing on the point itself: the point is on the quadrilateral.
    if (la == 0 || lb == 0) return true;
    const double c = std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0);
    sum += exact::Acos(c);
  }
  return sum * 180.0 / M_PI >= 355.0;
}

bool QuadsOverlap(const TPoint a[4], const TPoint b[4]) {
  for (int k = 3; k >= 0; --k)
    if (PointInQuad(b[k], a)) return true;
  for (int k = 3; k >= 0; --k)
    if (PointInQuad(a[k], b)) return true;
  return false;
}

void TPlayer::PushTimer() {
  if (!BoostActive) return;
  BoostTimer -= Host().FrameTime();
  if (BoostTimer <= 0) {
    AddSpeed(false, -10);
    BoostActive = false;
  }
}

void TPlayer::ScaleSpeed(bool withSound, double f) {
  Speed *= f;
  ScrollSpeed *= f;
  StopRiderSounds(false);
  ResumeEngineSound(false);
  if (withSound) Host().PlaySound(sfx::Collision);
}

// A push adds or takes ten speed units by scaling; at a standstill the scale has no meaning,
// so the units are added directly there (the same result at every other speed).
void TPlayer::AddSpeed(bool withSound, double delta) {
  if (Speed != 0) {
    ScaleSpeed(withSound, (Speed + delta) / Speed);
    return;
  }
  Speed += delta;
  ScrollSpeed = PowerFactor() * Speed / 8;
  StopRiderSounds(false);
  ResumeEngineSound(false);
  if (withSound) Host().PlaySound(sfx::Collision);
}

void TPlayer::VehicleContacts() {
  IRaceHost& f = Host();
  TCar* car = f.Race.Car;
  if (!car) return;
  const double bx = f.Race.Background ? f.Race.Background->X : 0.0;
  const double by = f.Race.Background ? f.Race.Background->Y : 0.0;
  const double ox = -f.Track.ViewCol * TileSizeD + bx, oy = -f.Track.ViewRow * TileSizeD + by;
  TPoint rider[4] = {Corners[1], Corners[2], Corners[3], Corners[4]};
  for (int i = 1; i <= 5; ++i) {
    if (!car->Opponents[i].Active) continue;
    TPoint q[4];
    for (int k = 0; k < 4; ++k)
      q[k] = TPoint{car->Opponents[i].Corners.P[k].X + ox, car->Opponents[i].Corners.P[k].Y + oy};
    if (!QuadsOverlap(rider, q)) {
      car->Opponents[i].Touching = false;
      continue;
    }
    if (!car->Opponents[i].Touching) {
      if (!Finished) TakeHits(1);
      if (car->Opponents[i].Y + oy > CentreY) {
        // Run into from behind: a short push forward.
        AddSpeed(true, 10);
        BoostActive = true;
        BoostTimer = 100;
        car->Opponents[i].Speed *= 0.95;
      } else {
        car->Opponents[i].Speed *= 1.05;
        ScaleSpeed(true, 0.95);
      }
      const double h = car->Opponents[i].Heading;
      const double d = 2 * h - Steer;
      Steer = 2 * h + d / 2;
      car->Opponents[i].Heading = h - d / 2;
      car->Opponents[i].RiderHits = static_cast<uint8_t>(car->Opponents[i].RiderHits + 1);
      if (car->Opponents[i].RiderHits >= 2 && !car->Opponents[i].Wrecked) car->WreckCar(i);
    }
    car->Opponents[i].Touching = true;
  }
}

void TPlayer::TakeHit() {
  HitsLeft -= 1;
  // A knock the player feels in the hands; the wreck below shakes harder and longer.
  Host().PadRumble(0.5, 150);
  if (HitsLeft == 0) {
    HitsLeft = 3;
    Host().Report(TRaceEvent::LifeLost);
    Crash();
  }
}

void TPlayer::TakeHits(int n) {
  for (int i = 0; i < n; ++i) TakeHit();
}

void TPlayer::ObstaclesAgainstRider(const TTrackState& t, double bgX, double bgY) {
  const TPoint rider[4] = {Corners[1], Corners[2], Corners[3], Corners[4]};
  for (int i = 1; i <= 10; ++i)
    for (int j = 1; j <= 13; ++j) {
      const int s = SolidAt(t, t.ViewRow + i, t.ViewCol + j);
      if (s == -1) continue;
      TPoint q[4];
      for (int k = 0; k < 4; ++k)
        q[k] = TPoint{std::trunc(TileSizeD * j + bgX + SolidShapeX[s][k]),
                      std::trunc(TileSizeD * i + bgY + SolidShapeY[s][k])};
      if (QuadsOverlap(rider, q) && HitsLeft > 0 && !Crashed) {
        CrashHeadingSet = false;
        TakeHits(HitsLeft);
      }
    }
}

void TPlayer::Crash() {
  Crashed = true;
  ClearStatus(true);
  Host().PlaySound(sfx::Crash);
  Host().PadRumble(1.0, 400);
  SetAnimation(BikeCrashImage(Model()), 8);
  StopRiderSounds(false);
  CrashTimer = 3000;
}

double TPlayer::RowDirection(int row) const {
  int d = 0;
  if (row >= 1 && row <= TrackRows) {
    for (int c = 1; c <= TrackCols; ++c) {
      switch (Host().Track.TrackMap(row, c)) {
        case tile::RoadEdgeL:
          d = 0;
          break;
        case tile::LeftShiftEdgeL:
        case tile::LeftEntryEdgeL:
          d = -1;
          break;
        case tile::RightShiftEdgeL:
        case tile::RightEntryEdgeL:
          d = 1;
          break;
        default:
          break;
      }
    }
  }
  return 38.0 * d - Heading;
}

void TPlayer::BrakeSpill() {
  if (Crashed) return;
  const double lean = 5.5 - AnimPos;
  const bool spill = (CtlBrake && Speed > 100 && NewestMark > 10) ||
                     (CtlBrake && lean > 2 && LeanState != 0 && NewestMark > 8) ||
                     (CtlDown && lean > 3 && LeanState != 0) ||
                     (CtlDown && lean > 2 && LeanState != 0 && Speed > 100);
  if (spill) {
    CrashHeadingSet = true;
    Crash();
  }
}

void TPlayer::CrashStep() {
  IRaceHost& f = Host();
  const double last = BikeCrashFrames(Model()) - 1;
  AnimPos = std::min(AnimPos, last);
  if (!CrashHeadingSet) {
    CrashHeadingSet = true;
    Heading = static_cast<int32_t>(RowDirection(f.Track.ViewRow + 5));
  }
  ScrollMarks();
  if (Speed > 0) {
    Speed -= 0.8 * f.SpeedFactor();
    ScrollSpeed = PowerFactor() * Speed / 8;
    if (Speed < 10) {
      AnimRate = 0;
      AnimSpeed = 0;
      AnimPos = last;
    }
  } else {
    ScrollSpeed = 0;
  }
  if (CrashTimer > 0) {
    CrashTimer -= f.FrameTime();
    return;
  }
  if (f.Race.Lives > 0) {
    FindRestartPosition();
    ResetAfterCrash();
    return;
  }
  f.Report(TRaceEvent::GameOver);
}

void TPlayer::FindRestartPosition() {
  IRaceHost& f = Host();
  TTrackState& t = f.Track;
  // So near the start the view cannot go further back and the search below would not run,
  // leaving the bike far off the road: it restarts as from the last row the search covers.
  if (t.ViewRow >= 1490) t.ViewRow = 1489;
  int row = t.ViewRow + 5;
  int offset = 0;
  bool found = false;
  // Search towards the start, never beyond the map's last row.
  while (!found && t.ViewRow < 1490 && row <= TrackRows) {
    for (int c = TrackCols - 1; c >= 1; --c) {
      const uint8_t cell = t.TrackMap(row, c);
      const bool restart =
          (cell == tile::Ground && IsRoadAt((c - 1) * TileSizeD, row * TileSizeD)) ||
          cell == tile::GapR || cell == tile::LeftShiftGapR || cell == tile::RightEntryGapR;
      if (!restart) continue;
      offset = c - 8;
      if (cell == tile::RightEntryGapR) {
        Steer = 38;
        offset -= 1;
      } else if (cell == tile::LeftShiftGapR) {
        Steer = -38;
        offset += 1;
      } else {
        Steer = 0;
      }
      Heading = static_cast<int32_t>(std::nearbyint(Steer / 2));
      found = true;
      break;
    }
    row += 1;
  }
  if (!found) {
    // No restart cell up to the map's end: stand the bike on the road centre of its own row.
    const int here = std::clamp(t.ViewRow + 5, 1, TrackRows);
    const int centreCol = t.RoadCentreX(here) / TileSize;
    Steer = 0;
    Heading = 0;
    t.ViewCol = std::clamp(centreCol - 5, 1, TrackCols - 13);
  } else {
    t.ViewCol = offset + 1;
    t.ViewRow = row - 5;
  }
  if (TScrollBackground* bg = f.Race.Background) {
    bg->X = 0;
    bg->Y = 0;
  }
}

void TPlayer::RestartLevel(bool nextLevel) {
  IRaceHost& f = Host();
  f.SetUpLevel(nextLevel ? f.Race.Level + 1 : f.Race.Level);
  TimeUp = false;
  EndSequence = false;
  Steer = 0;
  Heading = 0;
  HitsLeft = 3;
  if (TScrollBackground* bg = f.Race.Background) {
    bg->X = 0;
    bg->Y = 0;
  }
  if (f.Race.Bonus) f.Race.Bonus->ResetBonuses();
  Finished = false;
  if (f.Race.Car) f.Race.Car->ResetCars();
  f.Report(TRaceEvent::LevelReady);
  ResetAfterCrash();
  PlayEngineSound(sfx::EngineIdle);
}

}  // namespace zw
