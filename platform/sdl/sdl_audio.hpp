// Sound effects and tracker music mixed into one SDL audio stream.
#pragma once

#include <SDL2/SDL.h>

#include <memory>
#include <vector>

#include "platform/platform.hpp"

struct xmp_context_data;  // libxmp's context, opaque here

namespace zw {

class TSdlAudio : public IAudio {
 public:
  // Opens the audio device; without one every call is accepted and nothing is heard.
  TSdlAudio();
  ~TSdlAudio() override;
  TSdlAudio(const TSdlAudio&) = delete;
  TSdlAudio& operator=(const TSdlAudio&) = delete;

  int CreateBuffer(std::shared_ptr<const TWaveData> wave) override;
  void PlayBuffer(int buffer, bool looped) override;
  void StopBuffer(int buffer) override;
  bool BufferPlaying(int buffer) override;

  bool Open() const { return Device != 0; }
  int Rate() const { return Spec.freq; }
  // The music the mixer plays under the effects (owned by TSdlMusic); nullptr for none.
  void SetMusic(void* xmpContext);
  void Lock() {
    if (Device) SDL_LockAudioDevice(Device);
  }
  void Unlock() {
    if (Device) SDL_UnlockAudioDevice(Device);
  }

 private:
  struct Voice {
    std::shared_ptr<const std::vector<int16_t>> Samples;  // stereo at the device's rate
    size_t Pos = 0;
    bool Playing = false;
    bool Looped = false;
  };
  static void Callback(void* self, Uint8* stream, int len);
  void Mix(int16_t* out, int frames);
  std::shared_ptr<const std::vector<int16_t>> Convert(const TWaveData& wave);

  SDL_AudioDeviceID Device = 0;
  SDL_AudioSpec Spec{};
  std::vector<Voice> Voices;
  std::vector<std::pair<const TWaveData*, std::shared_ptr<const std::vector<int16_t>>>> Converted;
  void* Music = nullptr;
  std::vector<int16_t> MusicBuf;
};

class TSdlMusic : public IMusic {
 public:
  explicit TSdlMusic(TSdlAudio& audio) : Audio(audio) {}
  ~TSdlMusic() override;
  int SongLoadFromFile(const std::string& path) override;
  void SongPlay(int handle) override;
  void SongFree(int handle) override;

 private:
  TSdlAudio& Audio;
  void* Context = nullptr;
  int Handle = 0;
  int NextHandle = 1;
  bool Started = false;
};

}  // namespace zw
