// The five bike models' rating tables, shared by the rider, the opponents and the bike selection.
#pragma once

#include "shell/bounds.hpp"

namespace zw {

// Indexed by model 1..5.
constexpr int BikePowerTable[6] = {0, 6, 11, 6, 9, 8};
constexpr int BikeHandlingTable[6] = {0, 8, 4, 6, 5, 11};
constexpr int BikeAccelerationTable[6] = {0, 9, 3, 8, 10, 8};
constexpr int BikeBrakingTable[6] = {0, 7, 8, 10, 9, 9};

inline int BikePower(int model) {
  ZW_CHECK(model >= 1 && model <= 5);
  return BikePowerTable[model];
}
inline int BikeHandling(int model) {
  ZW_CHECK(model >= 1 && model <= 5);
  return BikeHandlingTable[model];
}
inline int BikeAcceleration(int model) {
  ZW_CHECK(model >= 1 && model <= 5);
  return BikeAccelerationTable[model];
}
inline int BikeBraking(int model) {
  ZW_CHECK(model >= 1 && model <= 5);
  return BikeBrakingTable[model];
}

}  // namespace zw
