// Our keyed copy against SDL's run-length encoded colour-keyed blit, on the game's race tiles and
// bikes from the built pack and on a disc, and our rotation against SDL2_gfx's rotozoom, on the
// same pictures and the same 16-bit surface.
#include <SDL2/SDL.h>
#include <SDL2/SDL2_rotozoom.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_util.hpp"
#include "packs/pack_io.hpp"
#include "packs/picture.hpp"
#include "rider/bike_models.hpp"

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

// Our picture as an SDL surface: the same pixels, and where ours are keyed a key value that no
// drawn pixel of the picture uses (two source colours can meet in one 16-bit value).
SDL_Surface* SdlPictureOf(const TPictureItem& p) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, p.PictureWidth, p.PictureHeight, 16,
                                                  SDL_PIXELFORMAT_RGB565);
  std::vector<bool> used(65536);
  for (size_t i = 0; i < p.Pixels.size(); ++i)
    if (!p.Transparent || !p.Keyed[i]) used[p.Pixels[i]] = true;
  uint16_t key = 0xF81F;
  while (used[key]) ++key;
  for (int y = 0; y < p.PictureHeight; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < p.PictureWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * p.PictureWidth + x;
      row[x] = p.Transparent && p.Keyed[i] ? key : p.Pixels[i];
    }
  }
  if (p.Transparent) SDL_SetColorKey(s, SDL_TRUE, key);
  // The run-length encoded keyed blit: what an SDL game ships for sprites with a key.
  SDL_SetSurfaceRLE(s, 1);
  return s;
}

// One draw of a scene: a picture's pattern at a place.
struct TDraw {
  const TPictureItem* Picture;
  SDL_Surface* Sdl;
  int Pattern, X, Y;
};

struct TScene {
  std::vector<std::unique_ptr<TPictureItem>> Own;  // pictures made here (the disc)
  TImageList Lists[3];
  std::vector<SDL_Surface*> Surfaces;
  std::vector<TDraw> Draws;
  std::string Error;
  ~TScene() {
    for (SDL_Surface* s : Surfaces) SDL_FreeSurface(s);
  }
  SDL_Surface* Sdl(const TPictureItem* p) {
    Surfaces.push_back(SdlPictureOf(*p));
    return Surfaces.back();
  }
};

// A 72 x 72 picture of long opaque runs, where a wide copy pays most: a 19-pixel body down the
// middle and 43-pixel bars across it every few rows, the rest keyed.
TPictureItem LongRuns() {
  TPictureItem p;
  p.PictureWidth = p.PictureHeight = 72;
  for (int i = 0; i < 72 * 72; ++i) {
    const int x = i % 72, y = i / 72;
    const bool body = x >= 26 && x < 45;
    const bool bar = y % 6 < 3 && x >= 14 && x < 57;
    const bool key = !body && !bar;
    p.Pixels.push_back(key ? 0xF81F : static_cast<uint16_t>(i * 2654435761u >> 16 | 1));
    p.Keyed.push_back(key);
  }
  p.BuildPatterns();
  return p;
}

// Scenes: 0 the race tiles as the road is laid (a screen of 72 x 72 tiles, scrolled so the
// edges clip), 1 the bikes (upright, lean and crash frames of all five, scattered and clipped),
// 2 the disc of the first version of this benchmark, 3 the long runs, 200 draws over the screen.
void MakeScene(TScene& sc, int which) {
  if (which < 2) {
    if (!std::filesystem::exists("Data/Res/Res2.gpk")) {
      sc.Error = "run inside the build folder, which holds Data/";
      return;
    }
    LoadImagePack("Data/Res/Res2.gpk", sc.Lists[1]);
  }
  if (which == 0) {
    const TPictureItem* tiles = sc.Lists[1].Item(1);
    SDL_Surface* s = sc.Sdl(tiles);
    const int n = tiles->PatternCount();
    for (int y = -1; y <= 9; ++y)
      for (int x = -1; x <= 11; ++x)
        sc.Draws.push_back(
            TDraw{tiles, s, ((y + 1) * 13 + x + 1) * 7 % n, 72 * x + 31, 72 * y + 45});
  } else if (which == 1) {
    for (int m = 1; m <= 5; ++m)
      for (int image :
           {BikeUprightImage(m), BikeLeanLeftImage(m), BikeLeanRightImage(m), BikeCrashImage(m)}) {
        const TPictureItem* p = sc.Lists[1].Item(image);
        SDL_Surface* s = sc.Sdl(p);
        for (int k = 0; k < 3; ++k) {
          const int i = static_cast<int>(sc.Draws.size());
          sc.Draws.push_back(
              TDraw{p, s, (i * 5) % p->PatternCount(), (i * 97) % 800 - 30, (i * 53) % 600 - 30});
        }
      }
  } else if (which == 3) {
    sc.Own.push_back(std::make_unique<TPictureItem>(LongRuns()));
    SDL_Surface* s = sc.Sdl(sc.Own.back().get());
    for (int k = 0; k < 200; ++k)
      sc.Draws.push_back(
          TDraw{sc.Own.back().get(), s, 0, (k * 97) % 780 - 20, (k * 53) % 580 - 20});
  } else {
    sc.Own.push_back(std::make_unique<TPictureItem>(Picture()));
    SDL_Surface* s = sc.Sdl(sc.Own.back().get());
    for (int k = 0; k < 48; ++k)
      sc.Draws.push_back(
          TDraw{sc.Own.back().get(), s, 0, (k * 97) % 760 - 20, (k * 53) % 560 - 20});
  }
}

void BM_DrawPatternVsSdlRleBlit(benchmark::State& state) {
  TScene sc;
  MakeScene(sc, static_cast<int>(state.range(0)));
  if (!sc.Error.empty()) {
    state.SkipWithError(sc.Error.c_str());
    return;
  }
  TSurface ours;
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 16, SDL_PIXELFORMAT_RGB565);
  auto drawOurs = [&] {
    for (const TDraw& d : sc.Draws) d.Picture->DrawPattern(ours, d.X, d.Y, d.Pattern);
  };
  auto drawSdl = [&] {
    for (const TDraw& d : sc.Draws) {
      const TRect r = d.Picture->PatternRect(d.Pattern);
      SDL_Rect from{r.Left, r.Top, r.Width(), r.Height()};
      SDL_Rect at{d.X, d.Y, r.Width(), r.Height()};
      SDL_BlitSurface(d.Sdl, &from, dst, &at);
    }
  };
  // Both draw the same picture: compare once before timing.
  std::fill(ours.Pixels.begin(), ours.Pixels.end(), 0x1234);
  SDL_FillRect(dst, nullptr, 0x1234);
  drawOurs();
  drawSdl();
  for (int y = 0; y < 600; ++y)
    if (std::memcmp(ours.Row(y), static_cast<uint8_t*>(dst->pixels) + y * dst->pitch, 1600)) {
      state.SkipWithError("our keyed copy and SDL's differ");
      SDL_FreeSurface(dst);
      return;
    }
  for (auto _ : state) drawOurs();
  const auto [a, b] = bench::InterleavedMedianMicros(400, drawOurs, drawSdl);
  state.counters["draws"] = static_cast<double>(sc.Draws.size());
  state.counters["ours_us"] = a;
  state.counters["sdl_rle_us"] = b;
  state.counters["ratio"] = a / b;
  SDL_FreeSurface(dst);
}
BENCHMARK(BM_DrawPatternVsSdlRleBlit)
    ->ArgName("scene")  // 0 race tiles, 1 bikes, 2 disc, 3 long runs
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond);

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
