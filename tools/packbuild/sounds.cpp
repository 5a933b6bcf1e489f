// The sound pack: 22 effects synthesised from oscillators, noise and envelopes. The engine loops
// are read from assets/sounds/engine.txt; the others are described in code below.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>

#include "tools/packbuild/content.hpp"
#include "tools/packbuild/packbuild.hpp"

namespace zw::packbuild {

namespace {

constexpr int Rate = 22050;

// A small deterministic noise source.
struct TNoise {
  uint32_t S;
  double Next() {
    S = S * 1664525u + 1013904223u;
    return ((S >> 8) & 0xFFFF) / 32768.0 - 1.0;
  }
};

TWaveData ToWave(const std::vector<double>& s) {
  TWaveData w;
  w.Channels = 1;
  w.Bits = 16;
  w.Rate = Rate;
  double peak = 1e-9;
  for (double v : s) peak = std::max(peak, std::fabs(v));
  const double gain = peak > 0.9 ? 0.9 / peak : 1.0;
  w.Pcm.reserve(s.size() * 2);
  for (double v : s) {
    const auto x = static_cast<int16_t>(std::lround(std::clamp(v * gain, -1.0, 1.0) * 32767));
    w.Pcm.push_back(static_cast<uint8_t>(x & 0xFF));
    w.Pcm.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
  }
  return w;
}

std::vector<double> Silence(double seconds) {
  return std::vector<double>(static_cast<size_t>(seconds * Rate), 0.0);
}

// A one-pole low-pass run round a loop: two passes, keeping the second, so the filter's state
// at the loop's end is the one it starts with and the loop joins as smoothly as it runs.
std::vector<double> LoopLowPass(const std::vector<double>& in, double cutoffHz) {
  const double a = 1.0 - std::exp(-2 * M_PI * cutoffHz / Rate);
  std::vector<double> out(in.size());
  double y = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 0; i < in.size(); ++i) {
      y += a * (in[i] - y);
      out[i] = y;
    }
  return out;
}

// An engine loop: an inline four heard from the exhaust. Each firing is an exhaust pulse that
// rings the pipe at its resonance; the pulses come at the firing frequency, so the sound is a
// harmonic series on that note. A four-stroke's roughness comes from its cylinders differing a
// little and from each cycle differing from the next: the pulses' strengths and times vary by
// cylinder and by cycle, which puts a lope at a quarter of the firing note under it, and a rasp
// of noise rides on the pulses. The loop holds whole cycles and every pulse, filter and noise
// is laid round it, so the loop joins without a seam.
std::vector<double> Engine(double firingHz, double rough, double resonanceHz, uint32_t seed) {
  constexpr int Cylinders = 4;
  const size_t cycle = static_cast<size_t>(std::lround(Cylinders * Rate / firingHz));
  const double firing = Cylinders * static_cast<double>(Rate) / static_cast<double>(cycle);
  const size_t cycles = std::max<size_t>(2, static_cast<size_t>(std::lround(0.8 * firing / 4)));
  const size_t n = cycles * cycle;
  const double spacing = static_cast<double>(cycle) / Cylinders;
  TNoise noise{seed};
  // Each cylinder's own strength: the same in every cycle.
  const double cylinder[Cylinders] = {1.0, 1.0 - 0.22 * rough, 1.0 - 0.08 * rough,
                                      1.0 - 0.3 * rough};
  std::vector<double> out(n, 0.0), envelope(n, 0.0);
  const double decay = 0.55 / firing;  // a pulse has mostly rung out by the next firing
  const size_t length = static_cast<size_t>(std::min<double>(static_cast<double>(n), spacing * 3));
  for (size_t j = 0; j < cycles * Cylinders; ++j) {
    const double at = static_cast<double>(j) * spacing + noise.Next() * rough * 0.05 * spacing;
    const double amp = cylinder[j % Cylinders] * (1.0 + 0.3 * rough * noise.Next());
    const double first = std::ceil(at);
    for (size_t k = 0; k < length; ++k) {
      const double tau = (first + static_cast<double>(k) - at) / Rate;
      const double env = (1.0 - std::exp(-tau / 0.0005)) * std::exp(-tau / decay);
      const double ring =
          std::sin(2 * M_PI * resonanceHz * tau) +
          0.45 * std::sin(2 * M_PI * 2.3 * resonanceHz * tau) * std::exp(-tau / (decay * 0.4));
      const auto idx = static_cast<size_t>(static_cast<long long>(first) +
                                           static_cast<long long>(k) + static_cast<long long>(n)) %
                       n;
      out[idx] += amp * env * ring;
      envelope[idx] += amp * env;
    }
  }
  // The firing note itself and its low harmonics, the weight of the crank under the pipe.
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / Rate;
    double body = 0;
    for (int k = 1; k <= 5; ++k) body += std::sin(2 * M_PI * firing * k * t + k) / k;
    out[i] += 0.45 * body + 0.25 * rough * std::sin(2 * M_PI * firing / Cylinders * t);
  }
  // The rasp: noise shaped by the pulses.
  std::vector<double> white(n);
  for (double& w : white) w = noise.Next();
  const std::vector<double> rasp = LoopLowPass(white, resonanceHz * 2.5);
  for (size_t i = 0; i < n; ++i) out[i] += rough * 2.5 * rasp[i] * envelope[i];
  // Take the top off (a pipe and a silencer) and round the peaks like a driven exhaust.
  out = LoopLowPass(out, std::max(1800.0, resonanceHz * 4));
  double mean = 0, peak = 1e-9;
  for (double v : out) mean += v / static_cast<double>(n);
  for (double& v : out) peak = std::max(peak, std::fabs(v -= mean));
  for (double& v : out) v = std::tanh(1.6 * v / peak);
  return out;
}

std::vector<double> Envelope(double seconds,
                             const std::function<double(double t, double u)>& voice) {
  const size_t n = static_cast<size_t>(seconds * Rate);
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = voice(static_cast<double>(i) / Rate, static_cast<double>(i) / n);
  return out;
}

double Square(double phase) {
  return std::sin(phase) >= 0 ? 1.0 : -1.0;
}

// The tyre screech: a high, wavering tone over a band of hiss, the rubber skipping on the
// road. Every tone and waver holds whole periods in the loop and the hiss is filtered round it,
// so the loop joins without a click.
std::vector<double> Squeal(uint32_t seed) {
  const size_t n = Rate / 2;
  TNoise noise{seed};
  std::vector<double> white(n);
  for (double& w : white) w = noise.Next();
  // A band of hiss around 2-4 kHz: the difference of two low-passes.
  const std::vector<double> lo = LoopLowPass(white, 4200), lower = LoopLowPass(white, 1800);
  std::vector<double> out(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / Rate;
    // 1400 Hz wavering by 6 and 14 Hz: whole cycles of each in half a second.
    const double f =
        1400 * (1 + 0.012 * std::sin(2 * M_PI * 6 * t) + 0.006 * std::sin(2 * M_PI * 14 * t));
    phase += 2 * M_PI * f / Rate;
    const double skip = 0.75 + 0.25 * std::sin(2 * M_PI * 22 * t);
    out[i] = skip * (0.5 * std::sin(phase) + 0.2 * std::sin(2 * phase)) + 1.4 * (lo[i] - lower[i]);
  }
  return out;
}

// The horn: two reedy notes a major third apart, band-limited so they buzz without a square
// wave's hard edge; whole periods of both in the loop.
std::vector<double> Horn() {
  const size_t n = Rate / 2;
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / Rate;
    double v = 0;
    for (int k = 1; k <= 9; ++k) {
      const double a = 1.0 / k * (k % 2 ? 1.0 : 0.55);
      v += a * std::sin(2 * M_PI * 420 * k * t) + 0.85 * a * std::sin(2 * M_PI * 530 * k * t);
    }
    out[i] = v;
  }
  return out;
}

std::vector<double> Noiseburst(double seconds, double decay, uint32_t seed, double tone) {
  TNoise noise{seed};
  double lp = 0;
  return Envelope(seconds, [&, lp](double t, double) mutable {
    lp += 0.3 * (noise.Next() - lp);
    const double body = tone > 0 ? std::sin(2 * M_PI * tone * t) * std::exp(-t * 20) : 0;
    return (lp * 1.6 + body) * std::exp(-t * decay);
  });
}

}  // namespace

std::vector<TPackSound> BuildSounds(const std::string& assets) {
  std::vector<TPackSound> items(22);
  auto set = [&](int i, const std::string& name, bool looped, const std::vector<double>& s) {
    items[static_cast<size_t>(i)].Name = name;
    items[static_cast<size_t>(i)].Looped = looped;
    items[static_cast<size_t>(i)].MaxPlayingCount = 0;
    items[static_cast<size_t>(i)].Wave = ToWave(s);
  };
  // 0: the fly-in whoosh, a noise sweep rising and falling over about 0.7 s.
  {
    TNoise noise{1};
    double lp = 0;
    set(0, "Intro whoosh", false, Envelope(0.75, [&](double t, double u) {
          const double cut = 0.05 + 0.5 * std::sin(M_PI * u);
          lp += cut * (noise.Next() - lp);
          return lp * std::sin(M_PI * u) * 1.5 +
                 0.2 * std::sin(2 * M_PI * (200 + 600 * u) * t) * std::sin(M_PI * u);
        }));
  }
  set(1, "Cursor click", false, Envelope(0.05, [](double t, double) {
        return Square(2 * M_PI * 1400 * t) * std::exp(-t * 90) * 0.6;
      }));
  set(2, "Activate", false, Envelope(0.14, [](double t, double) {
        const double f = t < 0.05 ? 660 : 990;
        return (0.6 * Square(2 * M_PI * f * t) + 0.3 * std::sin(2 * M_PI * f * 2 * t)) *
               std::exp(-t * 18);
      }));
  set(3, "Arrow and tally line", false, Envelope(0.12, [](double t, double) {
        return std::sin(2 * M_PI * (520 + 2400 * t) * t) * std::exp(-t * 22);
      }));
  // The engine loops, from the text description.
  {
    std::istringstream in(ReadAsset(assets, "sounds/engine.txt"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream l(line);
      int index = 0;
      std::string name, looped;
      double hz = 0, rough = 0, resonance = 0;
      if (!(l >> index >> name >> looped >> hz >> rough >> resonance)) continue;
      if (index < 0 || index > 21 || hz < 10 || hz > 1000 || resonance <= 0) continue;
      set(index, "Engine " + name, looped == "yes",
          Engine(hz, rough, resonance, static_cast<uint32_t>(100 + index)));
    }
  }
  set(7, "Brake squeal", true, Squeal(7));
  set(8, "Horn", true, Horn());
  set(14, "Points pickup", false, Envelope(0.25, [](double t, double) {
        const double f = t < 0.08 ? 880 : t < 0.16 ? 1320 : 1760;
        return (0.6 * Square(2 * M_PI * f * t) + 0.4 * std::sin(2 * M_PI * f * t)) *
               std::exp(-t * 8) * 0.7;
      }));
  set(15, "Extra life", false, Envelope(0.6, [](double t, double) {
        static const double notes[6] = {523, 659, 784, 1047, 784, 1047};
        const int k = std::min(5, static_cast<int>(t / 0.1));
        const double f = notes[k];
        return (0.5 * Square(2 * M_PI * f * t) + 0.5 * std::sin(2 * M_PI * f * t)) * (1 - t / 0.6) *
               0.7;
      }));
  set(16, "Unused", false, Silence(0.01));
  set(17, "Collision", false, Noiseburst(0.3, 14, 17, 90));
  set(18, "Clock tick", false, Envelope(0.06, [](double t, double) {
        return (std::sin(2 * M_PI * 2200 * t) + 0.5 * std::sin(2 * M_PI * 3300 * t)) *
               std::exp(-t * 70) * 0.7;
      }));
  set(19, "First gear accent", false, Envelope(0.25, [](double t, double) {
        return std::sin(2 * M_PI * (140 - 200 * t) * t) * std::exp(-t * 10) +
               0.3 * std::sin(2 * M_PI * 280 * t) * std::exp(-t * 25);
      }));
  set(20, "Crash", false, Noiseburst(1.1, 3.5, 20, 60));
  // 21: the final fanfare, a rising major arpeggio and a held chord.
  set(21, "Final fanfare", false, Envelope(2.4, [](double t, double) {
        static const double notes[5] = {392, 523, 659, 784, 1047};
        double v = 0;
        for (int k = 0; k < 5; ++k) {
          const double start = k * 0.18;
          if (t < start) continue;
          const double tt = t - start;
          const double env =
              std::min(1.0, tt * 40) * (k == 4 ? std::exp(-tt * 0.9) : std::exp(-tt * 2.5));
          v += env *
               (0.5 * Square(2 * M_PI * notes[k] * tt) +
                0.5 * std::sin(2 * M_PI * notes[k] * 2 * tt)) *
               0.35;
        }
        return v;
      }));
  // Each sound's level, pan and rate in the mix, from the one table that balances them.
  {
    std::istringstream in(ReadAsset(assets, "sounds/levels.txt"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream l(line);
      int index = 0, volume = 0, pan = 0, frequency = 0;
      if (!(l >> index >> volume >> pan >> frequency)) continue;
      if (index < 0 || index > 21) throw std::runtime_error("sounds/levels.txt: no sound " + line);
      TPackSound& it = items[static_cast<size_t>(index)];
      it.Volume = volume;
      it.Pan = pan;
      it.Frequency = frequency;
    }
  }
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].Wave.Pcm.empty())
      throw std::runtime_error("sound " + std::to_string(i) + " was not made");
  return items;
}

}  // namespace zw::packbuild
