// libFuzzer target: the replay reader takes any bytes and either refuses them with a reason or
// gives a replay that writes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "replay/replay_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  zw::replay::TReplay r;
  std::string why;
  if (!zw::replay::Read(bytes, r, why)) {
    // A refusal always says why, on one line.
    if (why.empty() || why.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  // What the reader accepts, the writer writes again, and reads again alike.
  const std::vector<uint8_t> again = zw::replay::Write(r);
  zw::replay::TReplay back;
  if (again.empty() || !zw::replay::Read(again, back, why)) std::abort();
  if (back.FrameCount() != r.FrameCount() || back.Events.size() != r.Events.size() ||
      back.RaceScore != r.RaceScore || back.MoveCounts != r.MoveCounts || back.Keys != r.Keys ||
      back.HasHashes != r.HasHashes || back.LevelEnds != r.LevelEnds || back.EndHash != r.EndHash)
    std::abort();
  return 0;
}
