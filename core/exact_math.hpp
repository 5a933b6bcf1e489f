// The few transcendental functions the race's motion needs, computed the same to the last bit on
// every system. The C libraries do not agree on them (Linux's and Windows' sine differ in the
// last bit for many angles), and one bit is enough for a replay or a saved race to drift apart.
// Only additions, multiplications, divisions and square roots are used here: IEEE 754 gives those
// one exact answer everywhere. Accurate to an ulp or two, which is all the game needs.
#pragma once

#include <cmath>
#include <utility>

namespace zw::exact {

namespace detail {

// pi/2 in three parts; the first two have short mantissas so that k * part is exact for the
// quadrant counts the game meets.
constexpr double PiO2Hi = 1.5707963267341256;
constexpr double PiO2Mid = 6.077100506303966e-11;
constexpr double PiO2Lo = 2.0222662487959506e-21;
constexpr double TwoOverPi = 0.6366197723675814;
constexpr double PiO2 = 1.5707963267948966;
constexpr double PiO6 = 0.5235987755982989;
constexpr double Sqrt3 = 1.7320508075688772;

// sin and cos on [-pi/4, pi/4] by their Taylor series, summed from the small end.
inline double SinSmall(double r) {
  const double z = r * r;
  double p = 1.0 / 355687428096000.0;  // 1/17!
  p = -1.0 / 1307674368000.0 + z * p;  // 1/15!
  p = 1.0 / 6227020800.0 + z * p;      // 1/13!
  p = -1.0 / 39916800.0 + z * p;       // 1/11!
  p = 1.0 / 362880.0 + z * p;          // 1/9!
  p = -1.0 / 5040.0 + z * p;           // 1/7!
  p = 1.0 / 120.0 + z * p;             // 1/5!
  p = -1.0 / 6.0 + z * p;              // 1/3!
  return r + r * z * p;
}

inline double CosSmall(double r) {
  const double z = r * r;
  double p = -1.0 / 6402373705728000.0;  // 1/18!
  p = 1.0 / 20922789888000.0 + z * p;    // 1/16!
  p = -1.0 / 87178291200.0 + z * p;      // 1/14!
  p = 1.0 / 479001600.0 + z * p;         // 1/12!
  p = -1.0 / 3628800.0 + z * p;          // 1/10!
  p = 1.0 / 40320.0 + z * p;             // 1/8!
  p = -1.0 / 720.0 + z * p;              // 1/6!
  p = 1.0 / 24.0 + z * p;                // 1/4!
  return 1.0 - 0.5 * z + z * z * p;
}

// x = k pi/2 + r with |r| <= pi/4 (a little more for huge x, still fine for the series).
inline double Reduce(double x, long long& quadrant) {
  const double k = std::nearbyint(x * TwoOverPi);
  quadrant = static_cast<long long>(k);
  return ((x - k * PiO2Hi) - k * PiO2Mid) - k * PiO2Lo;
}

// atan on [0, 1].
inline double AtanUnit(double x) {
  double base = 0;
  // Above tan(pi/12), one step of atan(x) = pi/6 + atan((x sqrt3 - 1) / (x + sqrt3)).
  if (x > 0.2679491924311227) {
    base = PiO6;
    x = (x * Sqrt3 - 1.0) / (x + Sqrt3);
  }
  const double z = x * x;
  double p = 0;
  for (int n = 29; n >= 3; n -= 2) p = ((n / 2) % 2 ? -1.0 : 1.0) / n + z * p;
  return base + (x + x * z * p);
}

}  // namespace detail

inline double Sin(double x) {
  if (!std::isfinite(x)) return x - x;
  long long q = 0;
  const double r = detail::Reduce(x, q);
  switch (q & 3) {
    case 0:
      return detail::SinSmall(r);
    case 1:
      return detail::CosSmall(r);
    case 2:
      return -detail::SinSmall(r);
    default:
      return -detail::CosSmall(r);
  }
}

inline double Cos(double x) {
  if (!std::isfinite(x)) return x - x;
  long long q = 0;
  const double r = detail::Reduce(x, q);
  switch (q & 3) {
    case 0:
      return detail::CosSmall(r);
    case 1:
      return -detail::SinSmall(r);
    case 2:
      return -detail::CosSmall(r);
    default:
      return detail::SinSmall(r);
  }
}

inline double Atan(double x) {
  if (std::isnan(x)) return x;
  const bool neg = x < 0;
  const double a = neg ? -x : x;
  const double r = a > 1.0 ? detail::PiO2 - detail::AtanUnit(1.0 / a) : detail::AtanUnit(a);
  return neg ? -r : r;
}

// acos on [-1, 1] (NaN outside), from acos(c) = 2 atan(sqrt((1 - c) / (1 + c))).
inline double Acos(double c) {
  if (!(c >= -1.0 && c <= 1.0)) return std::nan("");
  if (c == -1.0) return 2.0 * detail::PiO2;
  return 2.0 * Atan(std::sqrt((1.0 - c) / (1.0 + c)));
}

// The length of (x, y), scaled by the longer side so that no square overflows or vanishes.
inline double Hypot(double x, double y) {
  double a = std::fabs(x), b = std::fabs(y);
  if (std::isinf(a) || std::isinf(b)) return HUGE_VAL;
  if (std::isnan(a) || std::isnan(b)) return a + b;
  if (a < b) std::swap(a, b);
  if (a == 0) return 0;
  const double r = b / a;
  return a * std::sqrt(1.0 + r * r);
}

}  // namespace zw::exact
