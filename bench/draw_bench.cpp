// Our keyed copy and rotation against SDL's colour-keyed blit and SDL2_gfx's rotozoom, on the
// same pictures and the same 16-bit surface.
#include <SDL2/SDL.h>
#include <SDL2/SDL2_rotozoom.h>
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_util.hpp"
#include "packs/picture.hpp"

namespace {

using namespace zw;

constexpr int W = 96, H = 96;

TPictureItem Picture() {
  TPictureItem p;
  p.PictureWidth = W;
  p.PictureHeight = H;
  for (int i = 0; i < W * H; ++i) {
    const int x = i % W, y = i / W;
    const bool key = (x - 48) * (x - 48) + (y - 48) * (y - 48) > 44 * 44;
    p.Pixels.push_back(key ? 0xF81F : static_cast<uint16_t>(i * 2654435761u >> 16 | 1));
    p.Keyed.push_back(key);
  }
  p.BuildPatterns();
  return p;
}

SDL_Surface* SdlPicture(const TPictureItem& p) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, W, H, 16, SDL_PIXELFORMAT_RGB565);
  for (int y = 0; y < H; ++y)
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, p.Pixels.data() + y * W, W * 2);
  SDL_SetColorKey(s, SDL_TRUE, 0xF81F);
  return s;
}

void BM_DrawPatternVsSdlBlit(benchmark::State& state) {
  TPictureItem p = Picture();
  TSurface ours;
  SDL_Surface* src = SdlPicture(p);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 16, SDL_PIXELFORMAT_RGB565);
  auto drawOurs = [&] {
    for (int k = 0; k < 48; ++k) p.DrawPattern(ours, (k * 97) % 760 - 20, (k * 53) % 560 - 20, 0);
  };
  auto drawSdl = [&] {
    for (int k = 0; k < 48; ++k) {
      SDL_Rect r{(k * 97) % 760 - 20, (k * 53) % 560 - 20, W, H};
      SDL_BlitSurface(src, nullptr, dst, &r);
    }
  };
  for (auto _ : state) drawOurs();
  const double a = bench::MedianMicros(300, drawOurs), b = bench::MedianMicros(300, drawSdl);
  state.counters["ours_us"] = a;
  state.counters["sdl_us"] = b;
  state.counters["ratio"] = a / b;
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}
BENCHMARK(BM_DrawPatternVsSdlBlit)->Unit(benchmark::kMicrosecond);

void BM_DrawRotateVsRotozoom(benchmark::State& state) {
  TPictureItem p = Picture();
  TSurface ours;
  SDL_Surface* src = SdlPicture(p);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 16, SDL_PIXELFORMAT_RGB565);
  int angle = 0;
  auto drawOurs = [&] {
    for (int k = 0; k < 16; ++k)
      p.DrawRotate(ours, 100 + k * 40, 300, W, H, 0, 0.5, 0.5, angle + k * 9);
    angle += 3;
  };
  // SDL2_gfx makes a rotated copy, then it is blitted with its key: the work our one call does.
  auto drawSdl = [&] {
    for (int k = 0; k < 16; ++k) {
      SDL_Surface* r = rotozoomSurface(src, (angle + k * 9) * 360.0 / 256.0, 1.0, SMOOTHING_OFF);
      SDL_Rect at{100 + k * 40 - r->w / 2, 300 - r->h / 2, r->w, r->h};
      SDL_BlitSurface(r, nullptr, dst, &at);
      SDL_FreeSurface(r);
    }
    angle += 3;
  };
  for (auto _ : state) drawOurs();
  const double a = bench::MedianMicros(200, drawOurs), b = bench::MedianMicros(200, drawSdl);
  state.counters["ours_us"] = a;
  state.counters["sdl_gfx_us"] = b;
  state.counters["ratio"] = a / b;
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}
BENCHMARK(BM_DrawRotateVsRotozoom)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
