// The game's one pseudo-random generator.
#pragma once

#include <cstdint>

namespace zw {

// A 32-bit linear congruential generator; Random(n) is uniform in 0..n-1.
struct TRandom {
  // Each step makes Seed * Multiplier + Increment, modulo 2^32.
  static constexpr uint32_t Multiplier = 134775813u;
  static constexpr uint32_t Increment = 1u;
  uint32_t Seed = 0;
  // Steps the seed first, then answers the high 32 bits of the 64-bit product seed x n.
  int32_t Random(int32_t n) {
    Seed = Seed * Multiplier + Increment;
    return static_cast<int32_t>((static_cast<uint64_t>(Seed) * static_cast<uint32_t>(n)) >> 32);
  }
};

}  // namespace zw
