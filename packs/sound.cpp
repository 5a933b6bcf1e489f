// Playing a sound item: one buffer per simultaneous instance, within the item's limit.
#include "packs/sound.hpp"

#include <algorithm>

namespace zw {

void TSoundItem::Play(IAudio& audio) {
  if (!Wave) return;
  int buffer = 0;
  if (Looped) {
    // A looped sound has exactly one instance, restarted from the top.
    if (PlayBuffers.empty()) PlayBuffers.push_back(audio.CreateBuffer(Wave));
    buffer = PlayBuffers.front();
    audio.StopBuffer(buffer);
    audio.SetBufferFormat(buffer, Frequency, Pan, Volume);
    audio.PlayBuffer(buffer, true);
    return;
  }
  for (int b : PlayBuffers)
    if (!audio.BufferPlaying(b)) {
      buffer = b;
      break;
    }
  if (buffer == 0) {
    if (MaxPlayingCount == 0 || static_cast<int>(PlayBuffers.size()) < MaxPlayingCount) {
      buffer = audio.CreateBuffer(Wave);
      PlayBuffers.push_back(buffer);
    } else {
      // The oldest instance starts again and becomes the newest.
      buffer = PlayBuffers.front();
      PlayBuffers.erase(PlayBuffers.begin());
      PlayBuffers.push_back(buffer);
    }
  }
  audio.StopBuffer(buffer);
  audio.SetBufferFormat(buffer, Frequency, Pan, Volume);
  audio.PlayBuffer(buffer, false);
}

void TSoundItem::Stop(IAudio& audio) {
  for (int b : PlayBuffers) audio.StopBuffer(b);
}

}  // namespace zw
