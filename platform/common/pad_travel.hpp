// How far a stick or trigger must travel to count as pressed, with a little slack on the way
// back so that a thumb resting at the edge does not flicker the control on and off.
#pragma once

namespace zw {

// Stick travel runs -32768..32767 from its centre; a quarter of it is dead zone.
constexpr int StickOnAt = 12000;
constexpr int StickOffAt = 8000;
// Trigger travel runs 0..32767; a trigger counts as held past about a third.
constexpr int TriggerOnAt = 10923;
constexpr int TriggerOffAt = 8500;

// Whether a control travelled this far is on, given whether it was on before.
constexpr bool TravelOn(int travel, bool wasOn, int onAt, int offAt) {
  return wasOn ? travel > offAt : travel >= onAt;
}

}  // namespace zw
