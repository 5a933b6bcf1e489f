// The game's mixer: resampled, panned effect voices and the tune, with headroom and a limiter.
#include "platform/mix/mixer.hpp"

#include <algorithm>
#include <cmath>

namespace zw {

namespace {

// Where the soft clip leaves the straight line: above the limiter's level, so a limited mix
// passes through untouched and only the first instant of a sudden peak is bent.
constexpr float Knee = 0.85f;

}  // namespace

TMixer::TMixer(int rate) : DeviceRate(rate > 0 ? rate : DefaultRate) {
  // The limiter pulls its gain down within about a millisecond of a peak and lets it back up
  // over about a sixth of a second, so a crash ducks the mix briefly instead of cracking it.
  AttackCoef = static_cast<float>(1.0 - std::exp(-1.0 / (0.001 * DeviceRate)));
  ReleaseCoef = static_cast<float>(1.0 - std::exp(-1.0 / (0.16 * DeviceRate)));
  Sum.resize(Block * 2);
  SourceFrames.resize(Block * 2);
}

float TMixer::VolumeGain(int volume) {
  const int v = std::clamp(volume, -10000, 0);
  if (v <= -10000) return 0.0f;
  return static_cast<float>(std::pow(10.0, v / 2000.0));
}

void TMixer::PanGains(int pan, float& left, float& right) {
  const int p = std::clamp(pan, -10000, 10000);
  // A pan turns the far side down, as a volume would; the near side stays at full level.
  left = p > 0 ? VolumeGain(-p) : 1.0f;
  right = p < 0 ? VolumeGain(p) : 1.0f;
}

float TMixer::SoftClip(float x) {
  const float a = std::fabs(x);
  if (a <= Knee) return x;
  const float room = Ceiling - Knee;
  const float y = Knee + room * std::tanh((a - Knee) / room);
  return x < 0 ? -y : y;
}

std::shared_ptr<const TMixer::TSamples> TMixer::Convert(const TWaveData& wave) {
  auto out = std::make_shared<TSamples>();
  const int frames = wave.FrameCount();
  if (frames <= 0 || wave.Rate <= 0 || wave.Channels < 1 || (wave.Bits != 8 && wave.Bits != 16))
    return out;
  const size_t bytes = static_cast<size_t>(wave.Bits / 8);
  const size_t stride = static_cast<size_t>(wave.Channels) * bytes;
  out->Channels = std::min(wave.Channels, 2);
  out->Rate = wave.Rate;
  out->Data.resize(static_cast<size_t>(frames) * static_cast<size_t>(out->Channels));
  for (size_t f = 0; f < static_cast<size_t>(frames); ++f)
    for (size_t ch = 0; ch < static_cast<size_t>(out->Channels); ++ch) {
      const size_t at = f * stride + ch * bytes;
      const float v = bytes == 1
                          ? (static_cast<int>(wave.Pcm[at]) - 128) / 128.0f
                          : static_cast<int16_t>(wave.Pcm[at] | (wave.Pcm[at + 1] << 8)) / 32768.0f;
      out->Data[f * static_cast<size_t>(out->Channels) + ch] = v;
    }
  return out;
}

int TMixer::CreateBuffer(std::shared_ptr<const TWaveData> wave) {
  TVoice v;
  if (wave) {
    // Forget waves that are gone, so a new wave at an old address is never mistaken for one.
    std::erase_if(Converted, [](const TConverted& c) { return c.Wave.expired(); });
    for (const TConverted& c : Converted)
      if (c.Wave.lock() == wave) v.Samples = c.Samples;
    if (!v.Samples) {
      v.Samples = Convert(*wave);
      Converted.push_back({wave, v.Samples});
    }
  }
  Voices.push_back(std::move(v));
  return static_cast<int>(Voices.size());
}

TMixer::TVoice* TMixer::Voice(int buffer) {
  return buffer >= 1 && buffer <= BufferCount() ? &Voices[static_cast<size_t>(buffer - 1)]
                                                : nullptr;
}

void TMixer::PlayBuffer(int buffer, bool looped) {
  TVoice* v = Voice(buffer);
  if (!v) return;
  v->Pos = 0;
  v->Looped = looped;
  v->Playing = v->Samples && v->Samples->Frames() > 0;
}

void TMixer::StopBuffer(int buffer) {
  if (TVoice* v = Voice(buffer)) v->Playing = false;
}

bool TMixer::BufferPlaying(int buffer) {
  const TVoice* v = Voice(buffer);
  return v && v->Playing;
}

void TMixer::SetBufferFormat(int buffer, int frequency, int pan, int volume) {
  TVoice* v = Voice(buffer);
  if (!v) return;
  // 0 keeps the wave's own rate; anything else is held to what a sound card would take.
  v->Frequency = frequency <= 0 ? 0 : std::clamp(frequency, 100, 200000);
  float l = 1, r = 1;
  PanGains(pan, l, r);
  const float g = VolumeGain(volume);
  v->Left = l * g;
  v->Right = r * g;
}

void TMixer::MixVoice(TVoice& v, float* sum, int frames) {
  const TSamples& s = *v.Samples;
  const size_t count = s.Frames();
  const double n = static_cast<double>(count);
  const int rate = v.Frequency > 0 ? v.Frequency : s.Rate;
  const double step = static_cast<double>(rate) / DeviceRate;
  const float gl = v.Left * EffectsGain, gr = v.Right * EffectsGain;
  const bool stereo = s.Channels == 2;
  for (int i = 0; i < frames; ++i) {
    if (v.Pos >= n) {
      if (!v.Looped) {
        v.Playing = false;
        return;
      }
      v.Pos = std::fmod(v.Pos, n);
    }
    const auto a = static_cast<size_t>(v.Pos);
    const float t = static_cast<float>(v.Pos - static_cast<double>(a));
    // The frame after the last is the first again for a loop, so the seam is interpolated like
    // any other step; a one-shot fades into silence over that last step.
    const bool wraps = a + 1 >= count;
    const size_t b = wraps ? 0 : a + 1;
    const float nextWeight = wraps && !v.Looped ? 0.0f : t;
    float l, r;
    if (stereo) {
      l = s.Data[2 * a] * (1 - t) + s.Data[2 * b] * nextWeight;
      r = s.Data[2 * a + 1] * (1 - t) + s.Data[2 * b + 1] * nextWeight;
    } else {
      l = r = s.Data[a] * (1 - t) + s.Data[b] * nextWeight;
    }
    sum[2 * i] += l * gl;
    sum[2 * i + 1] += r * gr;
    v.Pos += step;
  }
  // A one-shot that has played its last frame is over at once, so the game may reuse it.
  if (!v.Looped && v.Pos >= n) v.Playing = false;
}

void TMixer::Mix(int16_t* out, int frames) {
  while (frames > 0) {
    const int n = std::min(frames, Block);
    const size_t samples = static_cast<size_t>(n) * 2;
    std::fill_n(Sum.begin(), samples, 0.0f);
    if (Source && Source->Render(SourceFrames.data(), n))
      for (size_t k = 0; k < samples; ++k) Sum[k] += SourceFrames[k] / 32768.0f * MusicGain;
    for (TVoice& v : Voices)
      if (v.Playing && v.Samples) MixVoice(v, Sum.data(), n);
    for (size_t f = 0; f < static_cast<size_t>(n); ++f) {
      const float l = Sum[2 * f], r = Sum[2 * f + 1];
      const float peak = std::max(std::fabs(l), std::fabs(r));
      const float target = peak > Threshold ? Threshold / peak : 1.0f;
      LimiterGain += (target - LimiterGain) * (target < LimiterGain ? AttackCoef : ReleaseCoef);
      out[2 * f] = static_cast<int16_t>(std::lround(SoftClip(l * LimiterGain) * 32767.0f));
      out[2 * f + 1] = static_cast<int16_t>(std::lround(SoftClip(r * LimiterGain) * 32767.0f));
    }
    out += samples;
    frames -= n;
  }
}

}  // namespace zw
