// Generating the longest track (level 10) beside a memset of the whole map.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_util.hpp"
#include "world/generator.hpp"

namespace {

using namespace zw;

void BM_GenerateTrackLevel10(benchmark::State& state) {
  TTrackState t;
  TRandom rng{1};
  t.TrackLength = TrackLengthForLevel(10);
  auto gen = [&] { GenerateTrack(t, rng); };
  for (auto _ : state) gen();
  const double ours = bench::MedianMicros(31, gen);
  const double base = bench::MedianMicros(31, [&] {
    std::memset(t.Cells.data(), 255, t.Cells.size());
    benchmark::DoNotOptimize(t.Cells.data());
  });
  state.counters["median_ms"] = ours / 1000;
  state.counters["memset_ms"] = base / 1000;
  state.counters["ratio"] = ours / base;
}
BENCHMARK(BM_GenerateTrackLevel10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
