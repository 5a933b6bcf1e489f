// The five bike models' rating tables, shared by the rider, the opponents and the bike selection.
#pragma once

#include "core/bounds.hpp"

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

#include <algorithm>
#include <cmath>

#include "core/exact_math.hpp"

namespace zw {

// What each model is, as the race panel names it under its picture.
constexpr const char* BikeKindNameTable[6] = {"",       "SPORT", "CRUISER",
                                              "TOURER", "NAKED", "SUPERMOTO"};
constexpr int BikeUprightImageTable[6] = {0, 5, 6, 7, 8, 9};
constexpr int BikeLeanLeftImageTable[6] = {0, 24, 27, 30, 33, 36};
constexpr int BikeLeanRightImageTable[6] = {0, 25, 28, 31, 34, 37};
constexpr int BikeCrashImageTable[6] = {0, 23, 26, 29, 32, 35};
constexpr int BikeCrashFramesTable[6] = {0, 5, 7, 5, 5, 5};
constexpr int BikeBodyWidthTable[6] = {0, 23, 28, 34, 24, 28};
constexpr double BikeCornerScaleTable[6] = {0, 0.92, 0.82, 0.78, 0.90, 0.80};

inline int ModelIndex(int model) {
  ZW_CHECK(model >= 1 && model <= 5);
  return std::clamp(model, 1, 5);
}
inline const char* BikeKindName(int m) {
  return BikeKindNameTable[ModelIndex(m)];
}
inline int BikeUprightImage(int m) {
  return BikeUprightImageTable[ModelIndex(m)];
}
inline int BikeLeanLeftImage(int m) {
  return BikeLeanLeftImageTable[ModelIndex(m)];
}
inline int BikeLeanRightImage(int m) {
  return BikeLeanRightImageTable[ModelIndex(m)];
}
inline int BikeCrashImage(int m) {
  return BikeCrashImageTable[ModelIndex(m)];
}
inline int BikeCrashFrames(int m) {
  return BikeCrashFramesTable[ModelIndex(m)];
}
inline int BikeBodyWidth(int m) {
  return BikeBodyWidthTable[ModelIndex(m)];
}
inline double BikeCornerScale(int m) {
  return BikeCornerScaleTable[ModelIndex(m)];
}

// The rate functions of a model at speed v (speed units).
inline double PowerFactor(int m) {
  return BikePower(ModelIndex(m)) / 11.0 / 10.0 + 0.9;
}
inline double AccelRate(int m, double v) {
  if (v > 0)
    return std::min(0.3, (3.0 * BikeAcceleration(ModelIndex(m)) + 80.0) / (v * std::sqrt(2.0 * v)));
  return 0.3;
}
inline double BrakeRate(int m) {
  return (11.0 - BikeBraking(ModelIndex(m))) / 40.0 + 0.25;
}
inline double SteerRate(int m, double v) {
  if (v > 0)
    return std::min(0.8, 1000.0 / (v * std::sqrt(v * (4.0 - BikeHandling(ModelIndex(m)) / 10.0))));
  return std::min(0.8, -v / 5.0);
}
inline double DragRate(int m, double v) {
  if (v > 0) return std::max(0.05, (0.3 - AccelRate(m, v)) / 2.0);
  return 0.0;
}
inline double TopSpeed(int m) {
  return 160.0 * PowerFactor(m);
}

// A point at angle a (1/256 turns, 0 up, clockwise) and distance d from (x, y).
struct TPoint {
  double X = 0, Y = 0;
};
inline TPoint PointAt(double x, double y, double angle, double d) {
  const double u = angle * 2.0 * M_PI / 256.0;
  return TPoint{x + exact::Sin(u) * d, y - exact::Cos(u) * d};
}

// Whether p lies inside the quadrilateral q (corners in order).
bool PointInQuad(const TPoint& p, const TPoint q[4]);
// The quadrilateral overlap test of contacts and obstacles.
bool QuadsOverlap(const TPoint a[4], const TPoint b[4]);

}  // namespace zw
