// Renders a scripted run's sound log through the game's own mixer, tune included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packs/sound.hpp"

namespace zw {

// One line of the scripted runner's sound log.
struct TLoggedSound {
  uint64_t Ms = 0;
  std::string Op;  // play, stop, music, stopmusic, format, end
  int Index = -1;
  std::string Path;
};

// Reads the log's lines ({"ms":..,"op":..,"index":..,"path":..} one a line); false with a
// reason for a line it cannot read or a log without times.
bool ParseSoundLog(const std::string& text, std::vector<TLoggedSound>& out, std::string& error);

// Plays the log's sound calls at their times through the mixer, the sounds from `sounds` and
// the tunes from the paths logged (relative to the working directory, as the game opens them),
// into interleaved 16-bit stereo at `rate`. The render ends at the log's "end" line, or a
// second after its last call. False with a reason for a sound the pack does not hold.
bool RenderSoundLog(const std::vector<TLoggedSound>& log, TSoundList& sounds, int rate,
                    std::vector<int16_t>& out, std::string& error);

}  // namespace zw
