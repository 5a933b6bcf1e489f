// Re-riding a recorded game headless without drawing, as the score service's verifier does: the
// CPU seconds one ride takes, beside the same ride drawn (the game as watched), and its ratio to
// the game time the ride covers.
//
// The replay is made here, by the runner's pilot riding seed 4242 on bike 2 until its game ends
// (the pilot finishes level 1 and loses level 2 to the clock and its crashes; it does not ride
// ten levels by itself). A ride's cost is per frame of game time, so the ten-level figure,
// `ten_level_cpu_s`, is the measured CPU per second of game time times the longest a game that
// finishes ten levels can last on the clock (ten levels of at most 140 s). The target for it is
// at most 2 s.
#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "platform/headless/headless.hpp"
#include "replay/recorder.hpp"
#include "shell/form.hpp"
#include "tools/autoplay/script.hpp"

namespace {

using namespace zw;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The pilot's game, recorded; false when it did not come to its end.
bool RecordGame(replay::TReplay& r) {
  TScriptRunner runner;
  std::string error;
  runner.Run("seed 4242\nrefresh 60\nframetime 16\nrace 2\npilot 40000\n", error);
  if (!runner.Recorder.Complete) runner.Run("press Escape\nframes 5\npress Y\nframes 5\n", error);
  if (!runner.Recorder.Complete) return false;
  r = runner.Recorder.Last;
  return true;
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
  if (!RecordGame(r)) {
    state.SkipWithError("the pilot's game did not end");
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
  const double perGameSecond = headless / (gameMs / 1000);
  state.counters["frames"] = r.FrameCount();
  state.counters["level_ends"] = static_cast<double>(r.LevelEnds.size());
  state.counters["game_s"] = gameMs / 1000;
  state.counters["headless_cpu_s"] = headless;
  state.counters["drawn_cpu_s"] = drawn;
  state.counters["drawn_ratio"] = drawn / headless;
  state.counters["cpu_per_game_s"] = perGameSecond;
  state.counters["ten_level_cpu_s"] = perGameSecond * 10 * 140;
}
BENCHMARK(BM_Reride)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
