// A tracker tune over libxmp: load, play looping, free.
#include "platform/mix/xm_song.hpp"

#include <xmp.h>

namespace zw {

TXmSong::~TXmSong() {
  Free();
}

bool TXmSong::Load(const std::string& path) {
  Free();
  xmp_context ctx = xmp_create_context();
  if (!ctx) return false;
  if (xmp_load_module(ctx, path.c_str()) != 0) {
    xmp_free_context(ctx);
    return false;
  }
  Context = ctx;
  return true;
}

bool TXmSong::Start(int rate) {
  if (!Context || Playing) return Playing;
  auto ctx = static_cast<xmp_context>(Context);
  if (xmp_start_player(ctx, rate, 0) != 0) return false;
  xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_SPLINE);
  Playing = true;
  return true;
}

void TXmSong::Free() {
  if (!Context) return;
  auto ctx = static_cast<xmp_context>(Context);
  if (Playing) xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
  Context = nullptr;
  Playing = false;
}

bool TXmSong::Render(int16_t* out, int frames) {
  if (!Context || !Playing) return false;
  // A loop count of 0: the song never ends, it goes back to its restart position by itself.
  return xmp_play_buffer(static_cast<xmp_context>(Context), out, frames * 4, 0) == 0;
}

}  // namespace zw
