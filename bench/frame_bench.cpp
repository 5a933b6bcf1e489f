// A frame of the sprite engine drawing a full screen of pictures, and a whole race frame, each
// beside the baseline of one frame's memset and memcpy of an 800 x 600 16-bit picture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

#include "bench/bench_util.hpp"
#include "packs/pack_io.hpp"
#include "rider/player.hpp"
#include "shell/form_state.hpp"
#include "sprites/game_sprites.hpp"
#include "tools/autoplay/script.hpp"
#include "world/scroll_background.hpp"

namespace {

using namespace zw;

double BaselineMicros() {
  static std::vector<uint16_t> a(800 * 600), b(800 * 600);
  return bench::MedianMicros(200, [] {
    std::memset(a.data(), 0, a.size() * 2);
    std::memcpy(b.data(), a.data(), a.size() * 2);
    benchmark::DoNotOptimize(b.data());
  });
}

TPictureItem Tile() {
  TPictureItem p;
  p.PictureWidth = p.PictureHeight = 72;
  for (int i = 0; i < 72 * 72; ++i) {
    p.Pixels.push_back(static_cast<uint16_t>(i * 2654435761u >> 16));
    p.Keyed.push_back(i % 7 == 0);  // a keyed picture, as the game's sprites are
  }
  p.BuildPatterns();
  return p;
}

void BM_SpriteFrame(benchmark::State& state) {
  TSurface surface;
  TSpriteEngine engine;
  engine.SetSurface(&surface);
  TPictureItem tile = Tile();
  // 12 x 9 pictures cover the screen.
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      auto* s = new TImageSprite(&engine);
      s->SetImage(&tile);
      s->X = x * 72;
      s->Y = y * 72;
    }
  auto frame = [&] {
    surface.Fill(0);
    engine.DrawAll();
    engine.MoveAll(12);
    engine.Dead();
  };
  for (auto _ : state) frame();
  const double ours = bench::MedianMicros(200, frame);
  state.counters["frame_us"] = ours;
  state.counters["baseline_us"] = BaselineMicros();
  state.counters["ratio"] = ours / state.counters["baseline_us"];
}
BENCHMARK(BM_SpriteFrame)->Unit(benchmark::kMicrosecond);

// The whole race frame, with the rider riding, in the build's run-time folder.
void BM_RaceFrame(benchmark::State& state) {
  if (!std::filesystem::exists("Data/Res/Res1.gpk")) {
    state.SkipWithError("run inside the build folder, which holds Data/");
    return;
  }
  TScriptRunner runner;
  std::string error;
  // Riding up the straight start stretch: the median is taken while the bike is on the road.
  runner.Run("seed 5\nrace 1\nframes 200\nkeydown Up\nframes 60\n", error);
  auto frame = [&] { runner.Frames(1); };
  const double ours = bench::MedianMicros(300, frame);
  state.counters["on_road"] = runner.State().Race.Player && runner.State().Race.Player->OnRoad;
  // 1 when the road and the panels cover the frame, so the frame is not cleared first.
  state.counters["uncleared"] =
      runner.State().Race.Background && runner.State().Race.Background->CoversFrame();
  for (auto _ : state) frame();
  state.counters["frame_us"] = ours;
  state.counters["baseline_us"] = BaselineMicros();
  state.counters["ratio"] = ours / state.counters["baseline_us"];
}
BENCHMARK(BM_RaceFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
