// Sound items of the sound pack and the playing of them over the platform's audio.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace zw {

class TSoundItem {
 public:
  std::string Name;
  bool Looped = false;
  int32_t MaxPlayingCount = 0;  // 0: no limit
  // How every instance plays: rate in Hz (0: the wave's own), pan and volume in the audio
  // interface's units (see IAudio::SetBufferFormat).
  int32_t Frequency = 0;
  int32_t Pan = 0;
  int32_t Volume = 0;
  std::shared_ptr<TWaveData> Wave;
  std::vector<uint8_t> RiffData;  // the stored RIFF WAVE bytes, as read

  // Starts an instance from the beginning (see the pack's playing rules).
  void Play(IAudio& audio);
  // Stops every instance.
  void Stop(IAudio& audio);
  // The play buffers made so far, oldest first (the first is the main buffer).
  const std::vector<int>& Buffers() const { return PlayBuffers; }

 private:
  std::vector<int> PlayBuffers;
};

class TSoundList {
 public:
  std::vector<std::unique_ptr<TSoundItem>> Items;
  int Count() const { return static_cast<int>(Items.size()); }
  TSoundItem* Item(int index) const {
    return index >= 0 && index < Count() ? Items[static_cast<size_t>(index)].get() : nullptr;
  }
};

}  // namespace zw
