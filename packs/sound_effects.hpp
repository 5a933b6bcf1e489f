// The sound pack's effects by their place in the pack.
#pragma once

namespace zw::sfx {

inline constexpr int MenuIntro = 0;
inline constexpr int CursorClick = 1;
inline constexpr int Activate = 2;
inline constexpr int ArrowOrTallyLine = 3;
inline constexpr int EngineIdle = 4;
inline constexpr int GearChange = 5;
inline constexpr int EngineBraking = 6;
inline constexpr int BrakeSqueal = 7;
inline constexpr int Horn = 8;
inline constexpr int AccelGear1 = 9;
inline constexpr int AccelGear2 = 10;
inline constexpr int AccelGear3 = 11;
inline constexpr int AccelGear4 = 12;
inline constexpr int TopGear = 13;
inline constexpr int PointsBonus = 14;
inline constexpr int LifeBonus = 15;
inline constexpr int Unused16 = 16;  // a filler, never played
inline constexpr int Collision = 17;
inline constexpr int ClockTick = 18;
inline constexpr int FirstGearAccent = 19;
inline constexpr int Crash = 20;
inline constexpr int Fanfare = 21;

}  // namespace zw::sfx
