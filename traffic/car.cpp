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
  for (int i = 1; i <= 5; ++i) Opponents[i] = TOpponent{};
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
    TOpponent& o = Opponents[i];
    o.Racing = true;
    o.Model = static_cast<uint8_t>(1 + f.Random(5));
    o.Image = BikeUprightImage(o.Model);
    o.Left = grid[i].Left;
    o.Top = grid[i].Top;
    o.Active = true;
    o.LaneOffset = (i % 2 == 1) ? -30 : 60;
  }
  Move(1);
}

void TCar::WreckCar(int i) {
  TOpponent& o = Opponents[i];
  o.Wrecked = true;
  o.Image = BikeCrashImage(o.Model);
  o.AnimPos = 0;
  o.RecoverTimer = 1000;
  Host().PlaySound(sfx::Crash);
}

void TCar::ObstaclesAgainstOpponents(const TTrackState& t) {
  for (int i = 1; i <= 5; ++i) {
    const TOpponent& o = Opponents[i];
    if (!o.Racing) continue;
    const int r = static_cast<int>(std::trunc(o.Y / TileSizeD));
    const int c = static_cast<int>(std::trunc(o.X / TileSizeD));
    const TPoint quad[4] = {o.Corners.P[0], o.Corners.P[1], o.Corners.P[2], o.Corners.P[3]};
    for (int dr = -3; dr <= 3; ++dr)
      for (int dc = -3; dc <= 3; ++dc) {
        const int s = SolidAt(t, r + dr, c + dc);
        if (s == -1) continue;
        TPoint q[4];
        for (int k = 0; k < 4; ++k)
          q[k] = TPoint{TileSizeD * (c + dc) + SolidShapeX[s][k],
                        TileSizeD * (r + dr) + SolidShapeY[s][k]};
        if (QuadsOverlap(quad, q) && !Opponents[i].Wrecked) {
          Opponents[i].RiderHits = 2;
          WreckCar(i);
        }
      }
  }
}

void TCar::RecoverCar(int i) {
  IRaceHost& f = Host();
  TOpponent& o = Opponents[i];
  o.Wrecked = false;
  o.RiderHits = 0;
  o.Image = BikeUprightImage(o.Model);
  o.AnimPos = 0;
  const int r = static_cast<int>(std::trunc(o.Y / TileSizeD));
  for (int row = r - 1; row <= r + 1; ++row) {
    if (row < 1 || row > TrackRows) continue;
    for (int c = TrackCols - 1; c >= 1; --c) {
      const uint8_t cell = f.Track.TrackMap(row, c);
      const bool ok = (cell == 0 && f.Race.Player &&
                       f.Race.Player->IsRoadAt((c - 1) * TileSizeD, row * TileSizeD)) ||
                      cell == 23 || cell == 29 || cell == 47;
      if (!ok) continue;
      o.Heading = cell == 47 ? 18.89 : cell == 29 ? -18.89 : 0;
      o.Top = TileSizeD * row;
      o.Left = TileSizeD * (c - 3);
      break;
    }
  }
}

void TCar::SteerLeft(int i) {
  TOpponent& o = Opponents[i];
  const double s = o.Step > 0 ? 1 : o.Step < 0 ? -1 : 0;
  o.Heading -= s * SteerRate(o.Model, o.Speed) * 2 * Host().SpeedFactor();
}

void TCar::SteerRight(int i) {
  TOpponent& o = Opponents[i];
  const double s = o.Step > 0 ? 1 : o.Step < 0 ? -1 : 0;
  o.Heading += s * SteerRate(o.Model, o.Speed) * 2 * Host().SpeedFactor();
}

namespace {

// What an opponent's probes found this frame: something ahead, or beside it on the left or right.
struct TSighting {
  bool Front = false, Left = false, Right = false;
  bool Any() const { return Front || Left || Right; }
};

// Where an opponent aims: the row it is on, the turn it wants and the kind of road ahead.
struct TAim {
  int Row = 0;
  double Diff = 0;
  int AheadKind = 0;
};

// Opponents wake inside a window a little larger than the screen.
bool NearScreen(const TOpponent& o, const TTrackState& t, double bx, double by) {
  return TileSizeD * t.ViewCol - bx <= o.Left && o.Left <= TileSizeD * (t.ViewCol + 13) - bx &&
         TileSizeD * (t.ViewRow - 2) - by <= o.Top && o.Top <= TileSizeD * (t.ViewRow + 12) - by;
}

// One frame's travel along the heading.
void RideForward(TOpponent& o, double sf) {
  o.Left += exact::Sin(o.Heading * U) * o.Step * 0.5 * sf;
  o.Top -= exact::Cos(o.Heading * U) * o.Step * 0.5 * sf;
}

// The bike's centre, its four corners and its probes, from where it now is.
void PlaceBody(TOpponent& o) {
  const int m = o.Model;
  o.X = o.Left + CarWidth(m) / 2.0;
  o.Y = o.Top + CarHeight(m) / 2.0;
  const double r = CarCornerRadiusTable[ModelIndex(m)] * BikeCornerScale(m);
  const double a = CarCornerAngleTable[ModelIndex(m)];
  const double h = o.Heading;
  o.Corners.P[0] = PointAt(o.X, o.Y, h - a, r);
  o.Corners.P[1] = PointAt(o.X, o.Y, h + a, r);
  o.Corners.P[2] = PointAt(o.X, o.Y, h - a + 128, r);
  o.Corners.P[3] = PointAt(o.X, o.Y, h + a + 128, r);
  o.Sensors.P[0] = PointAt(o.X, o.Y, h - 2, 60);
  o.Sensors.P[1] = PointAt(o.X, o.Y, h + 2, 60);
  o.Sensors.P[2] = PointAt(o.X, o.Y, h - 32, 28);
  o.Sensors.P[3] = PointAt(o.X, o.Y, h + 32, 28);
}

// A change timer: counts the frame off, and once run out starts again at four to seven seconds
// and answers true.
bool ChangeDue(int32_t& timer, IRaceHost& f, int32_t ft) {
  if (timer > 0) {
    timer -= ft;
    return false;
  }
  timer = 300 * f.Random(10) + 4000;
  return true;
}

// Every few seconds an opponent not busy avoiding picks another line and look-ahead.
void ChangeLane(TOpponent& o, IRaceHost& f, int32_t ft) {
  if (!ChangeDue(o.LaneTimer, f, ft) || o.Avoiding) return;
  o.LaneOffset += f.Random(100) - 50;
  o.LookAhead = f.Random(3);
}

// Every few seconds an opponent not busy avoiding takes back its last change of pace and picks
// another.
void ChangePace(TOpponent& o, IRaceHost& f, int32_t ft) {
  if (!ChangeDue(o.PaceTimer, f, ft) || o.Avoiding) return;
  if (o.PaceShift > 0)
    o.Speed -= o.PaceShift;
  else
    o.Speed += o.PaceShift;
  o.PaceShift = f.Random(10) - 5;
  o.Speed += o.PaceShift;
}

// The rider in the opponent's probes: ahead only when catching up, else to one side.
TSighting SightRider(const TOpponent& o, const TPlayer& rider, double ox, double oy) {
  TSighting s;
  TQuad riderQuad;
  for (int k = 0; k < 4; ++k)
    riderQuad.P[k] = TPoint{rider.Corners[k + 1].X + ox, rider.Corners[k + 1].Y + oy};
  if (o.Step > rider.ScrollSpeed) {
    if (InQuad(o.Sensors.P[0], riderQuad)) s.Front = true;
    if (InQuad(o.Sensors.P[1], riderQuad)) s.Front = true;
  }
  if (InQuad(o.Sensors.P[2], riderQuad))
    s.Left = true;
  else if (InQuad(o.Sensors.P[3], riderQuad))
    s.Right = true;
  return s;
}

// The other racing opponents near enough to matter, in opponent i's probes.
void SightOpponents(const TSlots<TOpponent, 1, 5>& all, int i, TSighting& s) {
  const TOpponent& o = all[i];
  for (int j = 1; j <= 5; ++j) {
    const TOpponent& other = all[j];
    if (j == i || !other.Racing || std::fabs(other.Y - o.Y) >= 200) continue;
    if (InQuad(o.Sensors.P[0], other.Corners)) s.Front = true;
    if (InQuad(o.Sensors.P[1], other.Corners))
      s.Front = true;
    else if (InQuad(o.Sensors.P[2], other.Corners))
      s.Left = true;
    else if (InQuad(o.Sensors.P[3], other.Corners))
      s.Right = true;
  }
}

// Swerving from what the probes found, harder when closing on the rider from behind.
void Swerve(TOpponent& o, const TSighting& s, bool behindRider, double sf) {
  const double turn = behindRider ? 3 : 1;
  const double shift = behindRider ? 8 : 6;
  if (s.Front) {
    if (o.LaneOffset > 0) {
      o.Heading -= turn * sf;
      o.LaneOffset -= shift;
    } else {
      o.Heading += turn * sf;
      o.LaneOffset += shift;
    }
  } else if (s.Left) {
    o.Heading += 2 * sf;
    o.LaneOffset += 6;
  }
  if (s.Right) {
    o.Heading -= 2 * sf;
    o.LaneOffset -= 6;
  }
}

// Avoiding lasts a moment after the probes last found something.
void KeepAvoiding(TOpponent& o, const TSighting& s, int32_t ft) {
  if (s.Any()) {
    o.Avoiding = true;
    o.AvoidTimer = 200;
  } else if (o.AvoidTimer > 0) {
    o.AvoidTimer -= ft;
  } else {
    o.Avoiding = false;
  }
}

// An opponent that drifted too far across the road comes back to its lane.
void KeepToLane(TOpponent& o) {
  if (o.LaneOffset > 90) o.LaneOffset = 60;
  if (o.LaneOffset < -80) o.LaneOffset = -30;
}

// The turn towards the road's centre a few rows ahead (none while avoiding).
TAim AimAhead(TOpponent& o, TTrackState& t) {
  TAim a;
  a.Row = static_cast<int>(std::nearbyint(o.Y)) / TileSize;
  const int aimRow = a.Row - 5 - o.LookAhead;
  // Past the top of the track the rows hold nothing this level wrote (an earlier level's road,
  // or none at all, which would steer for the map's left edge): there the opponent keeps
  // aiming the same distance ahead, at the top row's road centre.
  const int topRow = std::max(1, TrackRows - t.TrackLength);
  const int centreRow = std::max(aimRow, topRow);
  const double aim =
      exact::Atan((RoadCentreAt(t, centreRow) + o.LaneOffset - o.X) / (o.Y - TileSizeD * aimRow)) *
      256.0 / (2 * M_PI);
  a.Diff = o.Avoiding ? 0.0 : aim - o.Heading;
  a.AheadKind = RowKindAt(t, centreRow);
  if (a.AheadKind != KindStraight && a.AheadKind != KindLeadOut) o.LookAhead = 0;
  return a;
}

// Steering for the aim while moving, noting where a turn began.
void SteerForAim(TCar& car, int i, double diff) {
  TOpponent& o = car.Opponents[i];
  if (!(o.Step > 0)) return;
  if (diff > 2 || diff < -2) {
    if (!o.Turning) {
      o.TurnStart = o.Heading;
      o.Turning = true;
    }
    o.LeanHold = 10;
    if (diff > 2)
      car.SteerRight(i);
    else
      car.SteerLeft(i);
  } else {
    o.Turning = false;
  }
}

// Leaning into a turn, holding the lean a moment after it and straightening up.
void LeanIntoTurn(TOpponent& o, double sf) {
  if (o.Turning) {
    const double d = o.Heading - o.TurnStart;
    if (d > 0) o.Lean += 0.6 * sf;
    if (d < 0) o.Lean -= 0.6 * sf;
    o.Lean = std::clamp(o.Lean, -6.5, 6.5);
  } else if (o.LeanHold > 0) {
    o.LeanHold -= 1;
  } else if (o.Lean > 0) {
    o.Lean = std::max(0.0, o.Lean - 0.3 * sf);
  } else if (o.Lean < 0) {
    o.Lean = std::min(0.0, o.Lean + 0.3 * sf);
  }
}

// The picture for the lean: upright, or leaning left or right, deeper the further it leans.
void ShowLean(TOpponent& o) {
  const int m = o.Model;
  if (o.Lean > 1) {
    o.LeanState = 1;
    o.Image = BikeLeanRightImage(m);
  } else if (o.Lean < -1) {
    o.LeanState = -1;
    o.Image = BikeLeanLeftImage(m);
  } else {
    o.LeanState = 0;
    o.Image = BikeUprightImage(m);
  }
  o.AnimPos = o.LeanState != 0 ? 6.5 - std::fabs(o.Lean) : 0;
}

// Throttle: brake to 130 before and after bends, run free elsewhere.
void Throttle(TOpponent& o, int aheadKind, double sf) {
  const int m = o.Model;
  if (aheadKind == KindStraight || aheadKind == KindDriftLeft || aheadKind == KindDriftRight ||
      o.Speed <= 130) {
    if (o.Speed <= TopSpeed(m)) o.Speed += AccelRate(m, o.Speed) * sf;
  }
  o.Decel =
      ((aheadKind == KindLeadIn || aheadKind == KindLeadOut) && o.Speed > 130) ? BrakeRate(m) : 0;
}

// A wreck slides to a stop, stands a while, then comes back on the road.
void SlideWreck(TCar& car, int i, double sf, int32_t ft) {
  TOpponent& o = car.Opponents[i];
  const double last = BikeCrashFrames(o.Model) - 1;
  o.AnimPos = std::min(o.AnimPos + 2 * sf / ft, last);
  o.Decel = 0.8;
  if (o.Speed <= 10) o.AnimPos = last;
  if (o.Speed <= 0) {
    o.Decel = o.Speed = o.Step = 0;
    if (o.RecoverTimer > 0)
      o.RecoverTimer -= ft;
    else
      car.RecoverCar(i);
  }
}

// The heading stays within limits around the drift's slope.
void KeepHeadingToSlope(TOpponent& o, TTrackState& t, int row) {
  const int kind = RowKindAt(t, row);
  const double base = kind == KindDriftLeft ? -18.89 : kind == KindDriftRight ? 18.89 : 0.0;
  o.Heading = std::clamp(o.Heading, base - 16, base + 16);
}

// Braking, then the travel the speed gives; fifty rows beyond the top of the track the race is
// over for it.
void SetPace(TOpponent& o, const TTrackState& t, double sf) {
  o.Speed -= o.Decel * sf;
  o.Step = PowerFactor(o.Model) * o.Speed / 8;
  if (o.Y < TileSizeD * (TrackRows - 50 - t.TrackLength)) {
    o.Speed = 0;
    o.Step = 0;
  }
}

}  // namespace

void TCar::Move(int moveCount) {
  TMyImageSprite::Move(moveCount);
  IRaceHost& f = Host();
  TTrackState& t = f.Track;
  const double sf = f.SpeedFactor();
  const int32_t ft = f.FrameTime();
  const double bx = f.Race.Background ? f.Race.Background->X : 0.0;
  const double by = f.Race.Background ? f.Race.Background->Y : 0.0;
  const TPlayer* rider = f.Race.Player;
  for (int i = 1; i <= 5; ++i) {
    TOpponent& o = Opponents[i];
    if (!o.Racing) continue;
    o.Active = NearScreen(o, t, bx, by);
    RideForward(o, sf);
    PlaceBody(o);
    ChangeLane(o, f, ft);
    ChangePace(o, f, ft);
    TSighting seen;
    if (!o.Wrecked) {
      if (rider)
        seen = SightRider(o, *rider, t.ViewCol * TileSizeD - bx, t.ViewRow * TileSizeD - by);
      const bool behindRider = seen.Front;
      SightOpponents(Opponents, i, seen);
      Swerve(o, seen, behindRider, sf);
    }
    KeepAvoiding(o, seen, ft);
    KeepToLane(o);
    const TAim aim = AimAhead(o, t);
    if (!o.Wrecked) {
      SteerForAim(*this, i, aim.Diff);
      LeanIntoTurn(o, sf);
      ShowLean(o);
      Throttle(o, aim.AheadKind, sf);
    } else {
      SlideWreck(*this, i, sf, ft);
    }
    KeepHeadingToSlope(o, t, aim.Row);
    SetPace(o, t, sf);
  }
}

}  // namespace zw
