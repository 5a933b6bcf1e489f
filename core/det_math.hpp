// The race's own sine, cosine, arctangent and hypotenuse, made of +, -, *, / and sqrt only.
#pragma once

#include <cmath>

namespace zw::dm {

// Why not the C library's: its sin, cos and atan may differ in the last bit between library
// versions, and the compiler folds calls with constant arguments at build time with its own,
// correctly rounded, arithmetic while an -O0 build calls the library at run time. One bit of a
// heading is enough to send a replay down another road. The operations used here are rounded
// exactly by IEEE 754 whatever the build, and the game is built without contracting a*b+c into
// one fused instruction (ISO C++ mode, and -ffp-contract=off), so every build gives the same bits.

inline constexpr double Pi = 3.14159265358979311600;  // the double nearest to pi
inline constexpr double HalfPi = Pi / 2;

namespace detail {
// pi/2 in three parts, each with trailing zero bits, so that k * part is exact for the
// reduction of any angle the race makes (well below 2^20 turns).
inline constexpr double HalfPi1 = 1.57079632673412561417e+00;
inline constexpr double HalfPi2 = 6.07710050650619224932e-11;
inline constexpr double HalfPi3 = 2.02226624879595063154e-21;
inline constexpr double TwoOverPi = 6.36619772367581382433e-01;

// Taylor series of sin and cos on |r| <= pi/4: the first term left out is below 1e-16 of
// the result.
inline double SinPoly(double r) {
  const double z = r * r;
  double p = -1.0 / 1307674368000.0;  // -1/15!
  p = p * z + 1.0 / 6227020800.0;     // 1/13!
  p = p * z - 1.0 / 39916800.0;       // -1/11!
  p = p * z + 1.0 / 362880.0;         // 1/9!
  p = p * z - 1.0 / 5040.0;           // -1/7!
  p = p * z + 1.0 / 120.0;            // 1/5!
  p = p * z - 1.0 / 6.0;              // -1/3!
  return r + r * z * p;
}
inline double CosPoly(double r) {
  const double z = r * r;
  double p = 1.0 / 20922789888000.0;  // 1/16!
  p = p * z - 1.0 / 87178291200.0;    // -1/14!
  p = p * z + 1.0 / 479001600.0;      // 1/12!
  p = p * z - 1.0 / 3628800.0;        // -1/10!
  p = p * z + 1.0 / 40320.0;          // 1/8!
  p = p * z - 1.0 / 720.0;            // -1/6!
  p = p * z + 1.0 / 24.0;             // 1/4!
  return 1.0 - 0.5 * z + z * z * p;
}
// x = k * pi/2 + r with |r| <= pi/4 (a little more for huge x, harmless).
inline double Reduce(double x, long& k) {
  const double kd = std::nearbyint(x * TwoOverPi);
  k = static_cast<long>(kd);
  return ((x - kd * HalfPi1) - kd * HalfPi2) - kd * HalfPi3;
}
}  // namespace detail

inline double Sin(double x) {
  long k = 0;
  const double r = detail::Reduce(x, k);
  switch (k & 3) {
    case 0:
      return detail::SinPoly(r);
    case 1:
      return detail::CosPoly(r);
    case 2:
      return -detail::SinPoly(r);
    default:
      return -detail::CosPoly(r);
  }
}

inline double Cos(double x) {
  long k = 0;
  const double r = detail::Reduce(x, k);
  switch (k & 3) {
    case 0:
      return detail::CosPoly(r);
    case 1:
      return -detail::SinPoly(r);
    case 2:
      return -detail::CosPoly(r);
    default:
      return detail::SinPoly(r);
  }
}

// Arctangent: folded onto |x| <= tan(pi/12) by atan(x) = pi/2 - atan(1/x) and
// atan(x) = pi/6 + atan((x*sqrt3 - 1) / (x + sqrt3)), then its series.
inline double Atan(double x) {
  if (x != x) return x;
  const bool negative = x < 0;
  double a = negative ? -x : x;
  double base = 0;
  bool inverted = false;
  if (a > 1) {
    a = 1 / a;
    inverted = true;
  }
  constexpr double Sqrt3 = 1.73205080756887719318;
  constexpr double Tan15 = 0.26794919243112270002;  // tan(pi/12)
  if (a > Tan15) {
    a = (a * Sqrt3 - 1) / (a + Sqrt3);
    base = Pi / 6;
  }
  const double z = a * a;
  double p = 0;
  // 1/(2n+1) with alternating signs, n = 15 .. 1; z <= 0.072, so z^16/33 is far below an ulp.
  for (int n = 15; n >= 1; --n) p = p * z + ((n & 1) ? -1.0 : 1.0) / (2 * n + 1);
  double r = base + (a + a * z * p);
  if (inverted) r = HalfPi - r;
  return negative ? -r : r;
}

// Arccosine of c in [-1, 1]: 2 atan(sqrt((1 - c) / (1 + c))).
inline double Acos(double c) {
  if (c <= -1) return Pi;
  if (c >= 1) return 0;
  return 2 * Atan(std::sqrt((1 - c) / (1 + c)));
}

// The length of (x, y), scaled by the longer side so that neither tiny nor huge coordinates
// vanish or overflow in the squares.
inline double Hypot(double x, double y) {
  double a = x < 0 ? -x : x, b = y < 0 ? -y : y;
  if (a != a || b != b) return (a == HUGE_VAL || b == HUGE_VAL) ? HUGE_VAL : a + b;
  if (a < b) {
    const double t = a;
    a = b;
    b = t;
  }
  if (a == 0 || a == HUGE_VAL) return a;
  const double r = b / a;
  return a * std::sqrt(1 + r * r);
}

}  // namespace zw::dm
