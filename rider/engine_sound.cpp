// The rider's engine: one looping sound at a time, chosen by speed band, keys and road.
#include "packs/sound_effects.hpp"
#include "rider/player.hpp"
#include "world/race_host.hpp"

namespace zw {

void TPlayer::PlayEngineSound(int n) {
  StopRiderSounds(false);
  Host().PlaySound(n);
  SndTopGear = SndAccel = SndShift = SndCoast = SndIdle = SndBrake = false;
  switch (n) {
    case sfx::TopGear:
      SndTopGear = true;
      break;
    case sfx::EngineIdle:
      SndIdle = true;
      break;
    case sfx::AccelGear1:
    case sfx::AccelGear2:
    case sfx::AccelGear3:
    case sfx::AccelGear4:
      SndAccel = true;
      break;
    case sfx::GearChange:
      SndShift = true;
      break;
    case sfx::EngineBraking:
      SndCoast = true;
      break;
    case sfx::BrakeSqueal:
      SndBrake = true;
      break;
    default:
      break;
  }
}

void TPlayer::StopRiderSounds(bool all) {
  IRaceHost& f = Host();
  for (int i : {sfx::EngineIdle, sfx::AccelGear1, sfx::AccelGear2, sfx::AccelGear3, sfx::AccelGear4,
                sfx::GearChange, sfx::EngineBraking, sfx::TopGear, sfx::BrakeSqueal})
    f.StopSound(i);
  if (all)
    for (int i : {sfx::Horn, sfx::PointsBonus, sfx::LifeBonus, sfx::Unused16, sfx::Collision})
      f.StopSound(i);
}

void TPlayer::ResumeEngineSound(bool withHorn) {
  if (SndTopGear) PlayEngineSound(sfx::TopGear);
  if (SndIdle) PlayEngineSound(sfx::EngineIdle);
  if (SndAccel) PlayEngineSound(sfx::AccelGear4);
  if (SndShift) PlayEngineSound(sfx::GearChange);
  if (SndCoast) PlayEngineSound(sfx::EngineBraking);
  if (SndBrake) PlayEngineSound(sfx::BrakeSqueal);
  if (withHorn && HornOn) Host().PlaySound(sfx::Horn);
}

void TPlayer::UpdateEngineSound() {
  GearShiftMark = false;
  if (!OnRoad) {
    if (!SndIdle) PlayEngineSound(sfx::EngineIdle);
    return;
  }
  const double p = PowerFactor();
  const double v = Speed;
  if (CtlUp && !CtlBrake && !CtlDown) {
    enum Kind { Gear, Change, Top };
    struct Band {
      double Low, High;
      int Sound;
      Kind What;
    };
    using namespace sfx;
    static constexpr Band Bands[] = {{0, 65, AccelGear1, Gear},    {65, 67, GearChange, Change},
                                     {67, 90, AccelGear2, Gear},   {95, 97, GearChange, Change},
                                     {97, 115, AccelGear3, Gear},  {115, 116, GearChange, Change},
                                     {116, 130, AccelGear4, Gear}, {130, 131, GearChange, Change},
                                     {131, 142, AccelGear4, Gear}, {142, 143, GearChange, Change},
                                     {143, 157, AccelGear4, Gear}, {157, 180, TopGear, Top}};
    for (const Band& b : Bands) {
      if (!(b.Low * p < v && v <= b.High * p)) continue;
      if (b.What == Gear && !SndAccel) PlayEngineSound(b.Sound);
      if (b.What == Top && !SndTopGear) PlayEngineSound(b.Sound);
      if (b.What == Change && !SndShift) {
        PlayEngineSound(sfx::GearChange);
        // The first change is heard with its accent and marks the road.
        if (b.Low == 65) {
          Host().PlaySound(sfx::FirstGearAccent);
          GearShiftMark = true;
        }
      }
      break;
    }
  }
  if ((!CtlUp && !CtlBrake) || (CtlUp && CtlDown)) {
    if (v > 40) {
      if (!SndCoast) PlayEngineSound(sfx::EngineBraking);
    } else if (!SndIdle) {
      PlayEngineSound(sfx::EngineIdle);
    }
  }
  if (CtlBrake && !SndBrake && v != 0) PlayEngineSound(sfx::BrakeSqueal);
  if (SndBrake && v == 0) PlayEngineSound(sfx::EngineIdle);
}

}  // namespace zw
