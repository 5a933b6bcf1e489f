// The race's own sine, cosine, arc tangent and arc cosine: as accurate as the C library's, and
// the same bits on every system the game is built for.
#include "core/exact_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace zw {
namespace {

// Measured against the C library's extended precision, which is more exact than either
// system's double results.
TEST(ExactMath, AgreesWithTheLibraryToAnUlpOrTwo) {
  for (int i = 0; i <= 200000; ++i) {
    const long double x = -60.0 + 120.0 * i / 200000;  // headings well past a few turns
    ASSERT_NEAR(exact::Sin(double(x)), std::sin(x), 4.5e-16) << double(x);
    ASSERT_NEAR(exact::Cos(double(x)), std::cos(x), 4.5e-16) << double(x);
    const long double a = std::atan(x);
    ASSERT_NEAR(exact::Atan(double(x)), a, 4.5e-16 * std::fabs(a) + 1e-300) << double(x);
    const long double c = -1.0 + 2.0 * i / 200000;
    ASSERT_NEAR(exact::Acos(double(c)), std::acos(c), 1e-15) << double(c);
  }
}

TEST(ExactMath, TheEdgesOfEveryFunction) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(exact::Sin(0.0), 0.0);
  EXPECT_EQ(exact::Cos(0.0), 1.0);
  EXPECT_EQ(exact::Atan(0.0), 0.0);
  EXPECT_EQ(exact::Atan(inf), 1.5707963267948966);
  EXPECT_EQ(exact::Atan(-inf), -1.5707963267948966);
  EXPECT_NEAR(exact::Atan(1.0), M_PI / 4, 1e-16);
  EXPECT_EQ(exact::Acos(1.0), 0.0);
  EXPECT_EQ(exact::Acos(-1.0), M_PI);
  EXPECT_NEAR(exact::Acos(0.0), M_PI / 2, 2.3e-16);
  // Rounding just outside the range gives no answer rather than a wrong angle.
  EXPECT_TRUE(std::isnan(exact::Acos(1.0000000000000002)));
  EXPECT_TRUE(std::isnan(exact::Sin(inf)));
  EXPECT_TRUE(std::isnan(exact::Cos(std::nan(""))));
  EXPECT_EQ(exact::Hypot(3.0, 4.0), 5.0);
  for (double x : {0.1, 1.0, 2.5, 10.0})
    EXPECT_NEAR(exact::Sin(x) * exact::Sin(x) + exact::Cos(x) * exact::Cos(x), 1.0, 4.5e-16);
}

// The bits of a long sweep, as the Linux build computes them: a Windows (or any other) build
// that gets one of them differently would ride a different race from the same input.
TEST(ExactMath, TheSameBitsOnEverySystem) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](double v) {
    uint64_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    h = (h ^ u) * 1099511628211ull;
  };
  for (int i = 0; i < 100000; ++i) {
    const double x = -30.0 + 60.0 * i / 100000;
    mix(exact::Sin(x));
    mix(exact::Cos(x));
    mix(exact::Atan(x));
    mix(exact::Acos(-1.0 + 2.0 * i / 100000));
  }
  EXPECT_EQ(h, 15747567817782302262ull);
}

}  // namespace
}  // namespace zw
