// The rider's engine: one looping sound at a time, chosen by speed band, keys and road.
#include "rider/player.hpp"
#include "shell/form.hpp"

namespace zw {

void TPlayer::PlayEngineSound(int n) {
  StopRiderSounds(false);
  Form().PlaySound(n);
  SndTopGear = SndAccel = SndShift = SndCoast = SndIdle = SndBrake = false;
  switch (n) {
    case 13:
      SndTopGear = true;
      break;
    case 4:
      SndIdle = true;
      break;
    case 9:
    case 10:
    case 11:
    case 12:
      SndAccel = true;
      break;
    case 5:
      SndShift = true;
      break;
    case 6:
      SndCoast = true;
      break;
    case 7:
      SndBrake = true;
      break;
    default:
      break;
  }
}

void TPlayer::StopRiderSounds(bool all) {
  TMForm& f = Form();
  for (int i : {4, 9, 10, 11, 12, 5, 6, 13, 7}) f.StopSound(i);
  if (all)
    for (int i : {8, 14, 15, 16, 17}) f.StopSound(i);
}

void TPlayer::ResumeEngineSound(bool withHorn) {
  if (SndTopGear) PlayEngineSound(13);
  if (SndIdle) PlayEngineSound(4);
  if (SndAccel) PlayEngineSound(12);
  if (SndShift) PlayEngineSound(5);
  if (SndCoast) PlayEngineSound(6);
  if (SndBrake) PlayEngineSound(7);
  if (withHorn && HornOn) Form().PlaySound(8);
}

void TPlayer::UpdateEngineSound() {
  GearShiftMark = false;
  if (!OnRoad) {
    if (!SndIdle) PlayEngineSound(4);
    return;
  }
  const double p = PowerFactor();
  const double v = Speed;
  if (CtlUp && !CtlBrake && !CtlDown) {
    struct Band {
      double Low, High;
      int Sound;
      int Kind;  // 0 gear, 1 change, 2 top gear
    };
    static constexpr Band Bands[] = {{0, 65, 9, 0},     {65, 67, 5, 1},    {67, 90, 10, 0},
                                     {95, 97, 5, 1},    {97, 115, 11, 0},  {115, 116, 5, 1},
                                     {116, 130, 12, 0}, {130, 131, 5, 1},  {131, 142, 12, 0},
                                     {142, 143, 5, 1},  {143, 157, 12, 0}, {157, 180, 13, 2}};
    for (const Band& b : Bands) {
      if (!(b.Low * p < v && v <= b.High * p)) continue;
      if (b.Kind == 0 && !SndAccel) PlayEngineSound(b.Sound);
      if (b.Kind == 2 && !SndTopGear) PlayEngineSound(b.Sound);
      if (b.Kind == 1 && !SndShift) {
        PlayEngineSound(5);
        // The first change is heard with its accent and marks the road.
        if (b.Low == 65) {
          Form().PlaySound(19);
          GearShiftMark = true;
        }
      }
      break;
    }
  }
  if ((!CtlUp && !CtlBrake) || (CtlUp && CtlDown)) {
    if (v > 40) {
      if (!SndCoast) PlayEngineSound(6);
    } else if (!SndIdle) {
      PlayEngineSound(4);
    }
  }
  if (CtlBrake && !SndBrake && v != 0) PlayEngineSound(7);
  if (SndBrake && v == 0) PlayEngineSound(4);
}

}  // namespace zw
