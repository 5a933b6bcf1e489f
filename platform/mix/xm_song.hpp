// A tracker tune played by libxmp as a source under the mixer's effects.
#pragma once

#include <string>

#include "platform/mix/mixer.hpp"

namespace zw {

// One loaded XM song; it plays on from its own loop point for as long as it lives.
class TXmSong : public IMixSource {
 public:
  TXmSong() = default;
  ~TXmSong() override;
  TXmSong(const TXmSong&) = delete;
  TXmSong& operator=(const TXmSong&) = delete;

  // Loads a song; false (and nothing loaded) for a file libxmp cannot read.
  bool Load(const std::string& path);
  // Starts the player from the song's beginning at the mixer's rate.
  bool Start(int rate);
  void Free();
  bool Loaded() const { return Context != nullptr; }
  bool Started() const { return Playing; }

  bool Render(int16_t* out, int frames) override;

 private:
  void* Context = nullptr;  // libxmp's context
  bool Playing = false;
};

}  // namespace zw
