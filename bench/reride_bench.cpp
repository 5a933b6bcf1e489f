// Re-riding a recorded game headless without drawing, as the score service's verifier does: the
// CPU seconds one ride takes, beside the same ride drawn (the game as watched), its ratio to the
// game time the ride covers, and the replay file's size.
//
// The game is bench/searched_game.zwr: a whole ten-level game of seed 4242 on bike 2, won,
// ridden through the controls alone by bench_ten_levels (bench/ten_levels/search.cpp; the
// `level` counter shows 10 and `level_ends` 9, one for each tally that led on). Made again with
// `cd build && ZW_SEARCH_SECONDS=600 ./bench/bench_ten_levels ../bench/searched_game.zwr`; it is
// made for this build's packs, and after a change to them or to the race it no longer rides and
// the benchmark says so. The targets for a whole game: at most 2 s of CPU for the undrawn ride,
// a file well under 100 KiB.

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "platform/headless/headless.hpp"
#include "replay/recorder.hpp"
#include "shell/form.hpp"

namespace {

using namespace zw;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TRide {
  double Cpu = 0;
  std::string Why;
};

// One ride on a fresh game, as zapwheely-verify makes it.
TRide RideOnce(const replay::TReplay& r, bool draw) {
  THeadlessPlatform platform;
  auto form = std::make_unique<TMForm>(platform.Platform);
  form->NoSavedState = true;
  TRide out;
  if (!form->FormCreate()) {
    out.Why = form->StartupError;
    return out;
  }
  const double t0 = CpuSeconds();
  const replay::TRideResult res = replay::Ride(*form, r, draw);
  out.Cpu = CpuSeconds() - t0;
  out.Why = replay::Disagreement(r, res);
  return out;
}

void BM_Reride(benchmark::State& state) {
  if (!std::filesystem::exists("Data/Res/Res1.gpk")) {
    state.SkipWithError("run inside the build folder, which holds Data/");
    return;
  }
  replay::TReplay r;
  std::string why;
  if (!replay::ReadFile(ZW_SEARCHED_GAME, r, why)) {
    state.SkipWithError((std::string(ZW_SEARCHED_GAME) + ": " + why).c_str());
    return;
  }
  if (r.PackHash != replay::PackHash() || r.GameVersion != replay::GameVersion()) {
    state.SkipWithError(
        "bench/searched_game.zwr was made for other packs or another version: "
        "make it again with bench_ten_levels");
    return;
  }
  double gameMs = 0;
  for (uint16_t m : r.MoveCounts) gameMs += m;
  double headless = 0, drawn = 0;
  for (auto _ : state) {
    const TRide a = RideOnce(r, false);
    const TRide b = RideOnce(r, true);
    if (!a.Why.empty() || !b.Why.empty()) {
      state.SkipWithError(("the re-ride differs: " + a.Why + b.Why).c_str());
      return;
    }
    // The least of the rounds: what the ride costs when the shared machine lets it run.
    headless = headless == 0 ? a.Cpu : std::min(headless, a.Cpu);
    drawn = drawn == 0 ? b.Cpu : std::min(drawn, b.Cpu);
  }
  state.counters["frames"] = r.FrameCount();
  state.counters["level_ends"] = static_cast<double>(r.LevelEnds.size());
  state.counters["game_s"] = gameMs / 1000;
  state.counters["headless_cpu_s"] = headless;
  state.counters["drawn_cpu_s"] = drawn;
  state.counters["drawn_ratio"] = drawn / headless;
  state.counters["level"] = r.Level;
  state.counters["score"] = r.RaceScore;
  state.counters["file_kib"] =
      static_cast<double>(std::filesystem::file_size(ZW_SEARCHED_GAME)) / 1024;
  // CPU seconds per second of the game's time.
  state.counters["cpu_per_game_s"] = headless / (gameMs / 1000);
}
BENCHMARK(BM_Reride)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
