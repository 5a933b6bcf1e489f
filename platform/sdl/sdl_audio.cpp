// The SDL mixer: effect voices and the tracker tune, mixed into signed 16-bit stereo.
#include "platform/sdl/sdl_audio.hpp"

#include <xmp.h>

#include <algorithm>
#include <cstring>

namespace zw {

TSdlAudio::TSdlAudio() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = &TSdlAudio::Callback;
  want.userdata = this;
  Device = SDL_OpenAudioDevice(nullptr, 0, &want, &Spec, 0);
  if (Device == 0) return;
  SDL_PauseAudioDevice(Device, 0);
}

TSdlAudio::~TSdlAudio() {
  if (Device) SDL_CloseAudioDevice(Device);
}

std::shared_ptr<const std::vector<int16_t>> TSdlAudio::Convert(const TWaveData& wave) {
  for (auto& [w, s] : Converted)
    if (w == &wave) return s;
  // Resample once to the device's rate and stereo, nearest sample.
  auto out = std::make_shared<std::vector<int16_t>>();
  const int rate = Spec.freq > 0 ? Spec.freq : 44100;
  const int frames = wave.FrameCount();
  if (frames > 0 && wave.Rate > 0) {
    const size_t outFrames = static_cast<size_t>(static_cast<int64_t>(frames) * rate / wave.Rate);
    out->resize(outFrames * 2);
    const int bytes = wave.Bits / 8;
    for (size_t i = 0; i < outFrames; ++i) {
      const size_t src =
          std::min<size_t>(static_cast<size_t>(static_cast<int64_t>(i) * wave.Rate / rate),
                           static_cast<size_t>(frames - 1));
      for (int ch = 0; ch < 2; ++ch) {
        const int sc = std::min(ch, wave.Channels - 1);
        const size_t at =
            (src * static_cast<size_t>(wave.Channels) + static_cast<size_t>(sc)) * bytes;
        int16_t v = 0;
        if (bytes == 1)
          v = static_cast<int16_t>((static_cast<int>(wave.Pcm[at]) - 128) << 8);
        else
          v = static_cast<int16_t>(wave.Pcm[at] | (wave.Pcm[at + 1] << 8));
        (*out)[2 * i + static_cast<size_t>(ch)] = v;
      }
    }
  }
  Converted.emplace_back(&wave, out);
  return out;
}

int TSdlAudio::CreateBuffer(std::shared_ptr<const TWaveData> wave) {
  Voice v;
  if (wave) v.Samples = Convert(*wave);
  Lock();
  Voices.push_back(std::move(v));
  const int id = static_cast<int>(Voices.size());
  Unlock();
  return id;
}

void TSdlAudio::PlayBuffer(int buffer, bool looped) {
  Lock();
  if (buffer >= 1 && buffer <= static_cast<int>(Voices.size())) {
    Voice& v = Voices[static_cast<size_t>(buffer - 1)];
    v.Pos = 0;
    v.Looped = looped;
    v.Playing = v.Samples && !v.Samples->empty();
  }
  Unlock();
}

void TSdlAudio::StopBuffer(int buffer) {
  Lock();
  if (buffer >= 1 && buffer <= static_cast<int>(Voices.size()))
    Voices[static_cast<size_t>(buffer - 1)].Playing = false;
  Unlock();
}

bool TSdlAudio::BufferPlaying(int buffer) {
  Lock();
  bool playing = buffer >= 1 && buffer <= static_cast<int>(Voices.size()) &&
                 Voices[static_cast<size_t>(buffer - 1)].Playing;
  // Without a device nothing ever plays to its end, so one-shot sounds count as finished.
  if (!Device && playing && !Voices[static_cast<size_t>(buffer - 1)].Looped) playing = false;
  Unlock();
  return playing;
}

void TSdlAudio::SetMusic(void* xmpContext) {
  Lock();
  Music = xmpContext;
  Unlock();
}

void TSdlAudio::Callback(void* self, Uint8* stream, int len) {
  auto* a = static_cast<TSdlAudio*>(self);
  a->Mix(reinterpret_cast<int16_t*>(stream), len / 4);
}

void TSdlAudio::Mix(int16_t* out, int frames) {
  std::vector<int32_t> acc(static_cast<size_t>(frames) * 2, 0);
  if (Music) {
    MusicBuf.resize(static_cast<size_t>(frames) * 2);
    if (xmp_play_buffer(static_cast<xmp_context>(Music), MusicBuf.data(), frames * 4, 0) == 0)
      for (size_t i = 0; i < acc.size(); ++i) acc[i] += MusicBuf[i] * 3 / 4;
  }
  for (Voice& v : Voices) {
    if (!v.Playing || !v.Samples) continue;
    const auto& s = *v.Samples;
    for (int i = 0; i < frames; ++i) {
      if (v.Pos + 1 >= s.size()) {
        if (!v.Looped) {
          v.Playing = false;
          break;
        }
        v.Pos = 0;
      }
      acc[2 * static_cast<size_t>(i)] += s[v.Pos];
      acc[2 * static_cast<size_t>(i) + 1] += s[v.Pos + 1];
      v.Pos += 2;
    }
  }
  for (size_t i = 0; i < acc.size(); ++i)
    out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
}

TSdlMusic::~TSdlMusic() {
  if (Handle) SongFree(Handle);
}

int TSdlMusic::SongLoadFromFile(const std::string& path) {
  if (Handle) SongFree(Handle);
  xmp_context ctx = xmp_create_context();
  if (!ctx) return 0;
  if (xmp_load_module(ctx, const_cast<char*>(path.c_str())) != 0) {
    xmp_free_context(ctx);
    return 0;
  }
  Context = ctx;
  Handle = NextHandle++;
  Started = false;
  return Handle;
}

void TSdlMusic::SongPlay(int handle) {
  if (handle != Handle || !Context || Started) return;
  const int rate = Audio.Open() ? Audio.Rate() : 44100;
  if (xmp_start_player(static_cast<xmp_context>(Context), rate, 0) != 0) return;
  Started = true;
  if (Audio.Open()) Audio.SetMusic(Context);
}

void TSdlMusic::SongFree(int handle) {
  if (handle != Handle || !Context) return;
  Audio.SetMusic(nullptr);
  auto ctx = static_cast<xmp_context>(Context);
  if (Started) xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
  Context = nullptr;
  Handle = 0;
  Started = false;
}

}  // namespace zw
