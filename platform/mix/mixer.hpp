// The game's mixer: effect buffers and the tune summed with headroom and a soft limiter. It knows
// no sound device, so the SDL back end, the mix tool and the tests all hear the same mix.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.hpp"

namespace zw {

// Something that plays under the effects, filling stereo frames at the mixer's rate: the tune.
class IMixSource {
 public:
  virtual ~IMixSource() = default;
  // Fills `frames` interleaved signed 16-bit stereo frames; false when it has nothing to play.
  virtual bool Render(int16_t* out, int frames) = 0;
};

// The mixer as the game's sound device. It does not lock: the SDL back end holds the device's
// lock around every call, so the game thread and the audio thread never touch it at once.
class TMixer : public IAudio {
 public:
  static constexpr int DefaultRate = 44100;
  // Headroom: every effect and the tune are scaled down before they are summed, so that an
  // engine, a horn and a crash over the tune meet the limiter only in the busiest moments.
  static constexpr float EffectsGain = 0.5f;
  static constexpr float MusicGain = 0.55f;
  // The limiter holds the sum's peaks near this level; the soft clip after it never reaches
  // `Ceiling`, so no sample of the mix is ever at full scale.
  static constexpr float Threshold = 0.8f;
  static constexpr float Ceiling = 0.97f;

  explicit TMixer(int rate = DefaultRate);
  int Rate() const { return DeviceRate; }

  int CreateBuffer(std::shared_ptr<const TWaveData> wave) override;
  void PlayBuffer(int buffer, bool looped) override;
  void StopBuffer(int buffer) override;
  bool BufferPlaying(int buffer) override;
  void SetBufferFormat(int buffer, int frequency, int pan, int volume) override;

  void SetSource(IMixSource* source) { Source = source; }
  // Mixes the next `frames` stereo frames of everything playing into `out`.
  void Mix(int16_t* out, int frames);

  int BufferCount() const { return static_cast<int>(Voices.size()); }
  // The gain of a volume in hundredths of a decibel (0 full, -10000 silent) and the two sides'
  // gains of a pan (-10000 left only .. 10000 right only), as the sound items store them.
  static float VolumeGain(int volume);
  static void PanGains(int pan, float& left, float& right);
  // The soft clip applied after the limiter: straight below the knee, bending towards `Ceiling`.
  static float SoftClip(float x);

 private:
  struct TSamples {
    int Channels = 1;
    int Rate = 0;
    std::vector<float> Data;  // interleaved, -1..1
    size_t Frames() const { return Channels > 0 ? Data.size() / static_cast<size_t>(Channels) : 0; }
  };
  struct TVoice {
    std::shared_ptr<const TSamples> Samples;
    double Pos = 0;  // in the wave's own frames
    bool Playing = false;
    bool Looped = false;
    int Frequency = 0;  // 0: the wave's own rate
    float Left = 1, Right = 1;
  };
  struct TConverted {
    std::weak_ptr<const TWaveData> Wave;
    std::shared_ptr<const TSamples> Samples;
  };
  TVoice* Voice(int buffer);
  static std::shared_ptr<const TSamples> Convert(const TWaveData& wave);
  void MixVoice(TVoice& v, float* sum, int frames);

  static constexpr int Block = 256;
  int DeviceRate;
  std::vector<TVoice> Voices;
  std::vector<TConverted> Converted;
  IMixSource* Source = nullptr;
  float LimiterGain = 1.0f;
  float AttackCoef = 0, ReleaseCoef = 0;
  std::vector<float> Sum;
  std::vector<int16_t> SourceFrames;
};

}  // namespace zw
