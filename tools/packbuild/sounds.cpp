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

// An engine loop: a pulse-like firing note with harmonics, a sub-octave rumble and filtered
// rasp; the length is a whole number of periods so the loop has no seam.
std::vector<double> Engine(double hz, int harmonics, double rough, uint32_t seed) {
  const int periods = std::max(1, static_cast<int>(std::lround(hz * 0.6)));
  const double period = Rate / hz;
  const size_t n = static_cast<size_t>(std::lround(periods * period));
  const double f = Rate * periods / static_cast<double>(n);  // the exact note the loop holds
  std::vector<double> out(n);
  TNoise noise{seed};
  double lp = 0;
  std::vector<double> rasp(n);
  for (size_t i = 0; i < n; ++i) {
    lp += 0.25 * (noise.Next() - lp);
    rasp[i] = lp;
  }
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / Rate;
    double v = 0;
    for (int k = 1; k <= harmonics; ++k)
      v += std::sin(2 * M_PI * f * k * t) / std::pow(k, 0.9) * (k % 2 ? 1.0 : 0.7);
    v += 0.6 * std::sin(M_PI * f * t);  // the half-speed rumble of the crank
    // The firing pulses modulate the rasp, so it stays in time with the note.
    const double pulse = 0.5 + 0.5 * std::sin(2 * M_PI * f * t);
    v = 0.55 * v + rough * 2.2 * rasp[i] * pulse;
    out[i] = std::tanh(v * 0.9);
  }
  // The rasp must also join: cross-fade its last few milliseconds into its start.
  const size_t fade = std::min<size_t>(n / 4, 200);
  for (size_t i = 0; i < fade; ++i) {
    const double a = static_cast<double>(i) / fade;
    out[n - fade + i] = out[n - fade + i] * (1 - a) + out[i] * a;
  }
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

std::vector<double> Squeal(uint32_t seed) {
  TNoise noise{seed};
  // A bright tyre screech: two close, wavering high notes over hiss; loops on whole periods.
  const size_t n = Rate / 2;
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / Rate;
    const double wob = std::sin(2 * M_PI * 6 * t) * 0.004;
    out[i] = 0.45 * std::sin(2 * M_PI * 1800 * t * (1 + wob)) +
             0.35 * std::sin(2 * M_PI * 2400 * t) + 0.25 * noise.Next();
  }
  return out;
}

std::vector<double> Horn() {
  const size_t n = Rate / 2;
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / Rate;
    out[i] = 0.5 * Square(2 * M_PI * 420 * t) + 0.4 * Square(2 * M_PI * 530 * t);
    out[i] *= 0.6;
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
      int index = 0, harmonics = 0;
      std::string name, looped;
      double hz = 0, rough = 0;
      if (!(l >> index >> name >> looped >> hz >> harmonics >> rough)) continue;
      if (index < 0 || index > 21) continue;
      set(index, "Engine " + name, looped == "yes",
          Engine(hz, harmonics, rough, static_cast<uint32_t>(100 + index)));
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
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].Wave.Pcm.empty())
      throw std::runtime_error("sound " + std::to_string(i) + " was not made");
  return items;
}

}  // namespace zw::packbuild
