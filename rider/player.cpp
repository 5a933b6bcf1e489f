// The rider: its model, handling and movement, the road test, tyre marks and race place.
#include "rider/player.hpp"

#include <algorithm>
#include <cmath>

#include "core/exact_math.hpp"
#include "packs/sound_effects.hpp"
#include "traffic/car.hpp"
#include "world/generator.hpp"
#include "world/race_host.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {
double Round(double v) {
  return std::nearbyint(v);
}
}  // namespace

TPlayer* TPlayer::Create(TSpriteEngine& engine, double x, double y) {
  return new TPlayer(engine, x, y);
}

IRaceHost& TPlayer::Host() const {
  return *Engine->RaceHost;
}

int TPlayer::Model() const {
  return std::clamp(Engine->RaceHost->Race.SelectedBike, 1, 5);
}

TPlayer::TPlayer(TSpriteEngine& engine, double x, double y) : TMyImageSprite(engine, 2) {
  const int b = Model();
  SetImageIndex(BikeUprightImage(b));
  X = x;
  Y = y;
  SetZ(12);
  HitsLeft = 3;
  TimeUp = false;
  for (int i = 1; i <= 100; ++i) Marks[i] = TTyreMark{};
  NewestMark = 1;
  const double hw = Width / 2.0, hh = Height / 2.0;
  RearRadius = std::sqrt(hh * hh + hw * hw) - 25;
  CentreX = X + Width / 2.0;
  CentreY = Y + Height / 2.0;
  const double w = BikeBodyWidth(b);
  CornerRadius = std::sqrt(hh * hh + (w / 2) * (w / 2));
  CornerAngle = exact::Atan((w / 2) / hh) * 256.0 / (2.0 * M_PI);
}

void TPlayer::ExtraBrake() {
  if (Speed > 0)
    Decel = 0.6;
  else if (Speed < 0)
    Decel = -0.6;
}

void TPlayer::Accelerate() {
  if (Speed <= 160.0 * PowerFactor())
    Speed += AccelRate() * Host().SpeedFactor();
  else
    Coast();
}

void TPlayer::ClampSteer() {
  Steer = std::clamp(Steer, -128.0, 128.0);
}

// Steering follows the direction of travel: reversed rolling backwards, none at a standstill.
void TPlayer::SteerLeft() {
  const double s = ScrollSpeed > 0 ? 1 : ScrollSpeed < 0 ? -1 : 0;
  Steer -= s * SteerRate() * Host().SpeedFactor();
  ClampSteer();
}

void TPlayer::SteerRight() {
  const double s = ScrollSpeed > 0 ? 1 : ScrollSpeed < 0 ? -1 : 0;
  Steer += s * SteerRate() * Host().SpeedFactor();
  ClampSteer();
}

void TPlayer::LeanLeft() {
  if (LeanState == -1) return;
  SetImageIndex(BikeLeanLeftImage(Model()));
  AnimPos = 5.5;
  LeanState = -1;
}

void TPlayer::LeanRight() {
  if (LeanState == 1) return;
  SetImageIndex(BikeLeanRightImage(Model()));
  AnimPos = 5.5;
  LeanState = 1;
}

void TPlayer::StandUp() {
  if (LeanState == 0) return;
  SetImageIndex(BikeUprightImage(Model()));
  AnimPos = 0;
  LeanState = 0;
}

void TPlayer::AddScore(int points) {
  Host().Race.RaceScore += points;
}

void TPlayer::AddLife(int kind) {
  if (kind == 1 && Host().Race.Lives < 3) Host().Race.Lives += 1;
}

void TPlayer::ResetAfterCrash() {
  TimeUp = Crashed = EndSequence = false;
  ScrollSpeed = 0;
  Speed = 0;
  SetAnimation(BikeUprightImage(Model()), 0);
  StandUp();
  AnimSpeed = 0;
}

void TPlayer::ClearStatus(bool crashed) {
  Crashed = crashed;
  SndTopGear = SndAccel = SndShift = SndCoast = SndIdle = SndBrake = false;
  HornOn = false;
}

void TPlayer::ComputeCorners() {
  const double r = CornerRadius * BikeCornerScale(Model());
  Corners[1] = PointAt(CentreX, CentreY, Heading - CornerAngle, r);
  Corners[2] = PointAt(CentreX, CentreY, Heading + CornerAngle, r);
  Corners[3] = PointAt(CentreX, CentreY, Heading + 128 - CornerAngle, r);
  Corners[4] = PointAt(CentreX, CentreY, Heading + 128 + CornerAngle, r);
}

void TPlayer::Move(int moveCount) {
  IRaceHost& f = Host();
  TMyImageSprite::Move(moveCount);
  if (!Crashed) UpdateLean();
  const double bgY = f.Race.Background ? f.Race.Background->Y : 0.0;
  // The finish row's top edge has passed below the top of the bike.
  if ((FinishRowBase - f.Track.TrackLength - f.Track.ViewRow) * TileSizeD + bgY > Y)
    Finished = true;
  if (!Finished) UpdateRacePosition();
  ComputeCorners();
  PushTimer();
  if (!Crashed) VehicleContacts();
  if (Crashed) {
    CrashStep();
    return;
  }
  if (!Finished) ApplyControls();
  Heading = static_cast<int32_t>(Round(Steer / 2));
  if (Finished || TimeUp) {
    RollOut();
    return;
  }
  OnRoad = AllCornersOnRoad();
  UpdateEngineSound();
  ScrollMarks();
  const double cx = X + Width / 2.0, cy = Y + Height / 2.0;
  MarkA = PointAt(cx, cy, Heading - 128, RearRadius);
  MarkB = PointAt(cx, cy, Heading - 124, RearRadius);
  if ((CtlBrake && std::fabs(ScrollSpeed) > 0.1) || GearShiftMark) {
    const TTyreMark& newest = Marks[NewestMark];
    const double d = exact::Hypot(MarkB.X - newest.X, MarkB.Y - newest.Y);
    if (d >= 12 - ScrollSpeed * 0.5 * f.SpeedFactor()) AddMark(MarkA.X, MarkA.Y);
    GearShiftMark = false;
  }
  DropOffscreenMarks();
  BrakeSpill();
  ApplyDecel();
  if (f.Track.ViewRow == 1490 && Speed < 0) {
    Speed = 0;
    ScrollSpeed = 0;
  }
}

void TPlayer::UpdateLean() {
  IRaceHost& f = Host();
  const double sf = f.SpeedFactor();
  auto raise = [&](double r) {
    AnimPos += r * sf * 0.5;
    if (AnimPos > 5.5) AnimPos = 5.5;
  };
  auto deepen = [&](double limit, double r) {
    const double floor = std::max(0.0, 5.5 - limit);
    AnimPos -= r * sf * 0.5;
    if (AnimPos < floor) AnimPos = floor;
  };
  // The held states of this frame's key sample.
  const bool leftHeld = f.KeyTwin(2);
  const bool rightHeld = f.KeyTwin(3);
  if (Finished) {
    raise(0.2);
    if (AnimPos == 5.5) StandUp();
    const double step = 1.0 * sf;
    if (Steer > 0)
      Steer = std::max(0.0, Steer - step);
    else if (Steer < 0)
      Steer = std::min(0.0, Steer + step);
    Heading = static_cast<int32_t>(Round(Steer / 2));
  } else if (Speed < 5) {
    StandUp();
  } else if (leftHeld && LeanState != 1) {
    if (!PrevLeft) LeanStartHeading = Heading;
    LeanLeft();
    if (std::fabs(Heading - LeanStartHeading) > 5) deepen(Speed / 35, 0.15);
  } else if (rightHeld && LeanState != -1) {
    if (!PrevRight) LeanStartHeading = Heading;
    LeanRight();
    if (std::fabs(Heading - LeanStartHeading) > 5) deepen(Speed / 35, 0.15);
  } else if (AnimPos == 5.5) {
    StandUp();
  } else if (LeanState != 0) {
    raise(0.2);
  }
  PrevLeft = CtlLeft;
  PrevRight = CtlRight;
}

void TPlayer::ApplyControls() {
  IRaceHost& f = Host();
  if (CtlHorn) {
    if (!HornOn) {
      HornOn = true;
      f.PlaySound(sfx::Horn);
    }
  } else {
    HornOn = false;
    f.StopSound(sfx::Horn);
  }
  if (!CtlBrake) {
    if (CtlLeft) SteerLeft();
    if (CtlRight) SteerRight();
  }
  if (CtlDown)
    Brake();
  else
    NoDecel();
  if (!CtlUp && !CtlDown) Coast();
  if (CtlBrake) ExtraBrake();
  if (CtlUp && !CtlDown) Accelerate();
  if (!OnRoad && Speed > 80) Decel = 0.5;
}

void TPlayer::ApplyDecel() {
  Speed -= Decel * Host().SpeedFactor();
  if (Speed > 0 && Speed < 0.1) Speed = 0;
  if (Speed < -8) Speed = -8;
  if (CtlBrake && Speed > -1 && Speed < 1) Speed = 0;
  ScrollSpeed = PowerFactor() * Speed / 8;
}

bool TPlayer::IsRoadAt(double x, double y) const {
  const int col = static_cast<int>(std::trunc(x / TileSizeD));
  const int row = static_cast<int>(std::trunc(y / TileSizeD));
  if (col == 0 || row == 0) return false;
  // Beyond the map there is no road.
  if (!TTrackState::InMap(row, col)) return false;
  return IsRoadCode(Host().Track.TrackMap(row, col));
}

bool TPlayer::AllCornersOnRoad() const {
  const IRaceHost& f = Host();
  const double bx = f.Race.Background ? f.Race.Background->X : 0.0;
  const double by = f.Race.Background ? f.Race.Background->Y : 0.0;
  for (int k = 1; k <= 4; ++k) {
    const double wx = Round(f.Track.ViewCol * TileSizeD - Round(bx) + Corners[k].X);
    const double wy = Round(f.Track.ViewRow * TileSizeD - Round(by) + Corners[k].Y);
    if (!IsRoadAt(wx, wy)) return false;
  }
  return true;
}

void TPlayer::ScrollMarks() {
  const IRaceHost& f = Host();
  const double k = 0.5 * f.SpeedFactor();
  for (int i = 1; i <= 100; ++i) {
    Marks[i].X += f.Race.ScrollVX * k;
    Marks[i].Y += f.Race.ScrollVY * k;
  }
}

void TPlayer::AddMark(double x, double y) {
  for (int i = 1; i <= 100; ++i) {
    if (!Marks[i].Used) {
      Marks[i] = TTyreMark{x, y, Heading, true};
      NewestMark = i;
      return;
    }
  }
}

void TPlayer::RemoveMark(int i) {
  Marks[i] = TTyreMark{};
}

void TPlayer::DropOffscreenMarks() {
  for (int i = 1; i <= 100; ++i) {
    const TTyreMark& m = Marks[i];
    if (m.Used && (m.X < 0 || m.X > 700 || m.Y + 14 < 0 || m.Y > 600)) RemoveMark(i);
  }
}

void TPlayer::UpdateRacePosition() {
  IRaceHost& f = Host();
  TRaceState& r = f.Race;
  double y[5];
  int count = 0;
  for (int i = 1; i <= 5; ++i) {
    if (r.Car && r.Car->Opponents[i].Racing) {
      y[i - 1] = r.Car->Opponents[i].Y;
      ++count;
    } else {
      y[i - 1] = 108000;
    }
  }
  std::sort(y, y + 5);
  const double bgY = r.Background ? r.Background->Y : 0.0;
  const double p = f.Track.ViewRow * TileSizeD + CentreY - bgY;
  if (p < y[0]) {
    r.RacePosition = 1;
  } else {
    for (int k = 1; k <= count - 1; ++k) {
      if (y[k - 1] < p && p < y[k]) {
        r.RacePosition = static_cast<uint8_t>(k + 1);
        break;
      }
    }
    if (count >= 1 && p > y[count - 1]) r.RacePosition = static_cast<uint8_t>(count + 1);
  }
  r.RaceCount = static_cast<uint8_t>(count + 1);
}

void TPlayer::RollOut() {
  IRaceHost& f = Host();
  TRaceState& r = f.Race;
  ScrollMarks();
  if (!EndSequence) {
    EndSequence = true;
    ClearStatus(false);
    StopRiderSounds(true);
    PlayEngineSound(sfx::EngineIdle);
  }
  if (Speed > 0) {
    Speed -= 0.8 * f.SpeedFactor();
    ScrollSpeed = PowerFactor() * Speed / 8;
    const double bgY = r.Background ? r.Background->Y : 0.0;
    const int row = static_cast<int>(Round(f.Track.ViewRow * TileSizeD + CentreY - bgY)) / TileSize;
    // Rows beyond the map count as straight.
    const int kind = (row >= 1 && row <= TrackRows) ? f.Track.RowKind(row) : 0;
    Steer = kind == 3 ? -37.78 : kind == 4 ? 37.78 : 0.0;
    r.TallyTimeLeft = Finished ? 2000 : 1000;
  }
  if (Speed <= 0) {
    Speed = 0;
    ScrollSpeed = 0;
  }
  if (Speed > 0) return;
  if (r.TallyTimeLeft > 0) {
    r.TallyTimeLeft -= f.FrameTime();
    return;
  }
  if (Finished) {
    StopRiderSounds(true);
    f.Report(TRaceEvent::LevelFinished);
  } else {
    if (r.Lives >= 1) HitsLeft = 3;
    f.Report(TRaceEvent::TimeUp);
  }
}

}  // namespace zw
