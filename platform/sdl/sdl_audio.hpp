// Sound effects and the tracker tune mixed into one SDL audio stream by the game's mixer.
#pragma once

#include <SDL2/SDL.h>

#include <memory>
#include <string>

#include "platform/mix/mixer.hpp"
#include "platform/mix/xm_song.hpp"
#include "platform/platform.hpp"

namespace zw {

// The effects over the default SDL audio device. Without a device (no sound card, no audio
// driver) every call is still answered and nothing is heard.
class TSdlAudio : public IAudio {
 public:
  TSdlAudio();
  ~TSdlAudio() override;
  TSdlAudio(const TSdlAudio&) = delete;
  TSdlAudio& operator=(const TSdlAudio&) = delete;

  int CreateBuffer(std::shared_ptr<const TWaveData> wave) override;
  void PlayBuffer(int buffer, bool looped) override;
  void StopBuffer(int buffer) override;
  bool BufferPlaying(int buffer) override;
  void SetBufferFormat(int buffer, int frequency, int pan, int volume) override;

  bool Open() const { return Device != 0; }
  int Rate() const { return Mixer.Rate(); }
  // The tune under the effects; nullptr for none. Once it returns, the audio thread no longer
  // reads the old source.
  void SetMusic(IMixSource* source);

 private:
  static void Callback(void* self, Uint8* stream, int len);
  void Lock() const;
  void Unlock() const;

  SDL_AudioDeviceID Device = 0;
  bool Subsystem = false;
  TMixer Mixer{TMixer::DefaultRate};
};

class TSdlMusic : public IMusic {
 public:
  explicit TSdlMusic(TSdlAudio& audio) : Audio(audio) {}
  ~TSdlMusic() override;
  TSdlMusic(const TSdlMusic&) = delete;
  TSdlMusic& operator=(const TSdlMusic&) = delete;
  int SongLoadFromFile(const std::string& path) override;
  void SongPlay(int handle) override;
  void SongFree(int handle) override;

 private:
  TSdlAudio& Audio;
  std::unique_ptr<TXmSong> Song;
  int Handle = 0;
  int NextHandle = 1;
};

}  // namespace zw
