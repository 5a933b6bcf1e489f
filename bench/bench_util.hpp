// Shared timing for the benchmarks: medians of repeated runs, so a ratio to a baseline measured
// in the same run means something on a busy machine.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>
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

// Two pieces of work timed in alternating rounds, so a change of load on the shared machine falls
// on both alike; answers both medians.
inline std::pair<double, double> InterleavedMedianMicros(int rounds, const std::function<void()>& a,
                                                         const std::function<void()>& b) {
  std::vector<double> ta, tb;
  ta.reserve(static_cast<size_t>(rounds));
  tb.reserve(static_cast<size_t>(rounds));
  auto time = [](const std::function<void()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  };
  for (int i = 0; i < rounds; ++i) {
    ta.push_back(time(a));
    tb.push_back(time(b));
  }
  std::nth_element(ta.begin(), ta.begin() + ta.size() / 2, ta.end());
  std::nth_element(tb.begin(), tb.begin() + tb.size() / 2, tb.end());
  return {ta[ta.size() / 2], tb[tb.size() / 2]};
}

}  // namespace zw::bench
