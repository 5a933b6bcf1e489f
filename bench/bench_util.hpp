// Shared timing for the benchmarks: medians of repeated runs, so a ratio to a baseline measured
// in the same run means something on a busy machine.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace zw::bench {

inline double MedianMicros(int rounds, const std::function<void()>& work) {
  std::vector<double> t;
  t.reserve(static_cast<size_t>(rounds));
  for (int i = 0; i < rounds; ++i) {
    const auto a = std::chrono::steady_clock::now();
    work();
    const auto b = std::chrono::steady_clock::now();
    t.push_back(std::chrono::duration<double, std::micro>(b - a).count());
  }
  std::nth_element(t.begin(), t.begin() + t.size() / 2, t.end());
  return t[t.size() / 2];
}

}  // namespace zw::bench
