// The mix: headroom and the limiter, each item's rate, pan and volume, the engine loops' joins,
// and a scripted race rendered through the game's mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <utility>

#include "packs/pack_io.hpp"
#include "packs/sound_effects.hpp"
#include "platform/mix/mixer.hpp"
#include "platform/mix/xm_song.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "tools/common/sound_mix.hpp"

namespace zw {
namespace {

// A mono 16-bit wave at 44100 Hz, one value a frame.
std::shared_ptr<TWaveData> Wave(const std::vector<int16_t>& frames, int rate = 44100) {
  auto w = std::make_shared<TWaveData>();
  w->Rate = rate;
  for (int16_t v : frames) {
    w->Pcm.push_back(static_cast<uint8_t>(v & 0xFF));
    w->Pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return w;
}

int PeakOf(const std::vector<int16_t>& s) {
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

// A tune at full scale, as loud as a module can be.
class TLoudTune : public IMixSource {
 public:
  bool Render(int16_t* out, int frames) override {
    for (int i = 0; i < frames * 2; ++i) out[i] = (Phase++ / 40) % 2 ? 32767 : -32768;
    return true;
  }
  int Phase = 0;
};

TEST(Mixer, ManyFullScaleSoundsOverALoudTuneNeverReachFullScale) {
  TMixer mixer;
  TLoudTune tune;
  mixer.SetSource(&tune);
  std::vector<int16_t> square(4410);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? 32767 : -32767;
  auto w = Wave(square);
  for (int i = 0; i < 10; ++i) mixer.PlayBuffer(mixer.CreateBuffer(w), true);
  std::vector<int16_t> out(44100 * 2);
  mixer.Mix(out.data(), 44100);
  const int peak = PeakOf(out);
  EXPECT_LT(peak, 32767);
  EXPECT_LE(peak, static_cast<int>(TMixer::Ceiling * 32767) + 1);
  EXPECT_GT(peak, 24000);  // limited, not silenced
}

// A quiet tune, far from the limiter, comes through at the music's own level.
class TQuietTune : public IMixSource {
 public:
  bool Render(int16_t* out, int frames) override {
    std::fill(out, out + frames * 2, int16_t{4096});
    return true;
  }
};

TEST(Mixer, AQuietTuneComesThroughAtTheMusicLevel) {
  TMixer mixer;
  TQuietTune tune;
  mixer.SetSource(&tune);
  std::vector<int16_t> out(2 * 200);
  mixer.Mix(out.data(), 200);
  const int level = static_cast<int>(std::lround(4096.0 / 32768.0 * TMixer::MusicGain * 32767));
  EXPECT_NEAR(out[300], level, 2);
  EXPECT_NEAR(out[301], level, 2);
}

TEST(Mixer, AQuietSoundPassesAtTheEffectsLevelAndTheItemsFormatApplies) {
  TMixer mixer;
  auto w = Wave(std::vector<int16_t>(1000, 8192));  // a quarter of full scale, held
  const int b = mixer.CreateBuffer(w);
  mixer.PlayBuffer(b, false);
  std::vector<int16_t> out(200);
  mixer.Mix(out.data(), 100);
  const int plain = static_cast<int>(std::lround(0.25 * TMixer::EffectsGain * 32767));
  EXPECT_NEAR(out[100], plain, 2);
  EXPECT_NEAR(out[101], plain, 2);
  // -6 dB and hard right: the left side silent, the right at half.
  mixer.SetBufferFormat(b, 0, 10000, -602);
  mixer.PlayBuffer(b, false);
  mixer.Mix(out.data(), 100);
  EXPECT_EQ(out[100], 0);
  EXPECT_NEAR(out[101], plain / 2, 2);
  // A one-shot ends on its last frame, not one after: at twice the wave's rate its 1000 frames
  // are over after 500 of the device's, at its own rate after 1000.
  for (const auto& [rate, frames] : {std::pair{88200, 500}, std::pair{44100, 1000}}) {
    mixer.SetBufferFormat(b, rate, 0, 0);
    mixer.PlayBuffer(b, false);
    std::vector<int16_t> block(2 * static_cast<size_t>(frames));
    mixer.Mix(block.data(), frames - 1);
    EXPECT_TRUE(mixer.BufferPlaying(b)) << rate;
    mixer.Mix(block.data(), 1);
    EXPECT_FALSE(mixer.BufferPlaying(b)) << rate;
  }
  EXPECT_EQ(TMixer::VolumeGain(-10000), 0.0f);
  EXPECT_FLOAT_EQ(TMixer::VolumeGain(500), 1.0f);  // never louder than the wave
  // 8-bit sounds are unsigned around 128: 192 is half scale up, 64 half scale down.
  for (const auto& [byte, sign] : {std::pair<uint8_t, int>{192, 1}, {64, -1}}) {
    auto eight = std::make_shared<TWaveData>();
    eight->Bits = 8;
    eight->Rate = 44100;
    eight->Pcm.assign(1000, byte);
    TMixer m8;
    m8.PlayBuffer(m8.CreateBuffer(eight), false);
    m8.Mix(out.data(), 100);
    EXPECT_NEAR(out[100], sign * static_cast<int>(std::lround(0.5 * TMixer::EffectsGain * 32767)),
                2)
        << int{byte};
  }
}

// The game's tunes asked for in blocks of whatever size the sound device likes come out as one
// unbroken piece: every block filled to its end, and the same sound for big and ragged blocks.
TEST(Mixer, ATuneFillsEveryBlockWhateverItsSize) {
  for (const char* name : {"Menu", "Race"}) {
    const std::string path = std::string(ZW_RUN_DIR) + "/Data/Music/" + name + ".xm";
    auto render = [&](int block, int frames) {
      TXmSong song;
      EXPECT_TRUE(song.Load(path) && song.Start(44100)) << name;
      std::vector<int16_t> out;
      std::vector<int16_t> part;
      for (int done = 0; done < frames; done += block) {
        const int n = std::min(block, frames - done);
        part.assign(static_cast<size_t>(n) * 2, int16_t{12345});  // never a real tune's value
        EXPECT_TRUE(song.Render(part.data(), n)) << name;
        out.insert(out.end(), part.begin(), part.end());
      }
      return out;
    };
    const int frames = 44100;  // one second
    const std::vector<int16_t> big = render(8192, frames), ragged = render(733, frames);
    ASSERT_EQ(big.size(), ragged.size());
    size_t first = 0;
    while (first < big.size() && big[first] == ragged[first]) ++first;
    EXPECT_EQ(first, big.size()) << name << ": the two differ from frame " << first / 2;
    // The tune plays through every part of the second, so the comparison compared music.
    for (int q = 0; q < 8; ++q) {
      double energy = 0;
      int left = 0;
      for (size_t i = q * big.size() / 8; i < (q + 1) * big.size() / 8; ++i) {
        energy += static_cast<double>(big[i]) * big[i];
        left += big[i] == 12345;
      }
      EXPECT_GT(std::sqrt(energy / (big.size() / 8)), 100) << name << " eighth " << q;
      EXPECT_LT(left, 4) << name << " eighth " << q;
    }
  }
}

TEST(Mixer, TheLimiterCatchesAPeakInAMillisecondAndLetsGoOverASixthOfASecond) {
  TMixer mixer;
  // Four full-scale voices for a tenth of a second sum to twice full scale; a quiet sound
  // (a quarter of full scale) goes on under them and after them.
  auto burst = Wave(std::vector<int16_t>(4410, 32767));
  for (int i = 0; i < 4; ++i) mixer.PlayBuffer(mixer.CreateBuffer(burst), false);
  mixer.PlayBuffer(mixer.CreateBuffer(Wave(std::vector<int16_t>(88200, 8192))), false);
  std::vector<int16_t> out(2 * 88200);
  mixer.Mix(out.data(), 88200);
  const double quiet = 0.25 * TMixer::EffectsGain * 32767;
  // Ten milliseconds in, the peak is held at the limiter's level, below the soft clip's knee.
  EXPECT_NEAR(out[2 * 441], TMixer::Threshold * 32767, 0.02 * 32767);
  EXPECT_NEAR(out[2 * 4000], TMixer::Threshold * 32767, 0.02 * 32767);
  // Twenty milliseconds after the burst the quiet sound is still well down; a second later it
  // (one and a half) is back at its own level.
  EXPECT_LT(out[2 * (4410 + 882)], 0.6 * quiet);
  EXPECT_GT(out[2 * (4410 + 882)], 0.2 * quiet);
  EXPECT_NEAR(out[2 * (4410 + 66150)], quiet, 2);
}

TEST(Mixer, ASoundItemsRatePanAndVolumeTravelThroughThePackToTheDevice) {
  TPackSound s;
  s.Name = "Horn";
  s.Looped = true;
  s.Frequency = 11025;
  s.Pan = -2500;
  s.Volume = -1200;
  s.Wave = *Wave({1, 2, 3, 4});
  TSoundList list;
  ReadSoundPack(WriteSoundPack({s}), list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0)->Frequency, 11025);
  EXPECT_EQ(list.Item(0)->Pan, -2500);
  EXPECT_EQ(list.Item(0)->Volume, -1200);
  THeadlessClock clock;
  THeadlessAudio audio(clock);
  list.Item(0)->Play(audio);
  ASSERT_FALSE(audio.Log.empty());
  const TSoundLogEntry& e = audio.Log.back();
  EXPECT_EQ(e.Op, "format");
  EXPECT_EQ(e.Frequency, 11025);
  EXPECT_EQ(e.Pan, -2500);
  EXPECT_EQ(e.Volume, -1200);
}

// The built sound pack, as the game loads it.
TSoundList GamePack() {
  TSoundList list;
  LoadSoundPack(std::string(ZW_RUN_DIR) + "/Data/Res/Sounds.spk", list);
  return list;
}

std::vector<double> Samples(const TWaveData& w) {
  std::vector<double> s;
  for (int i = 0; i < w.FrameCount(); ++i)
    s.push_back(
        static_cast<int16_t>(w.Pcm[2 * i * w.Channels] | (w.Pcm[2 * i * w.Channels + 1] << 8)));
  return s;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

TEST(SoundPack, EveryLoopJoinsWithoutAClick) {
  const TSoundList list = GamePack();
  int loops = 0;
  for (int i = 0; i < list.Count(); ++i) {
    const TSoundItem& it = *list.Item(i);
    if (!it.Looped) continue;
    ++loops;
    const std::vector<double> s = Samples(*it.Wave);
    ASSERT_GT(s.size(), 100u) << it.Name;
    // The step and the bend of the waveform across the join, against those inside the loop:
    // a seam that clicks jumps or kinks further than the sound itself ever does.
    std::vector<double> steps, bends;
    for (size_t k = 2; k < s.size(); ++k) {
      steps.push_back(std::fabs(s[k] - s[k - 1]));
      bends.push_back(std::fabs(s[k] - 2 * s[k - 1] + s[k - 2]));
    }
    const size_t n = s.size();
    const double joinStep = std::fabs(s[0] - s[n - 1]);
    const double joinBend =
        std::max(std::fabs(s[0] - 2 * s[n - 1] + s[n - 2]), std::fabs(s[1] - 2 * s[0] + s[n - 1]));
    EXPECT_LE(joinStep, Percentile(steps, 1.0)) << it.Name;
    EXPECT_LE(joinBend, Percentile(bends, 1.0)) << it.Name;
  }
  EXPECT_EQ(loops, 10);  // the engine sounds, the squeal and the horn
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
  double e = 0;
  for (size_t i = from; i < to; ++i) e += static_cast<double>(s[i]) * s[i];
  return to > from ? std::sqrt(e / static_cast<double>(to - from)) : 0;
}

// The engine's sounds (idle to top gear, the squeal and the horn among them) go on for as long
// as the game holds them, however short their recorded sample; every other sound ends on its own.
// Each item of the built pack, played as the game plays it, is heard through the mixer and timed by
// the headless device for well past two lengths of its sample.
TEST(SoundPack, TheLoopsKeepSoundingPastTheirSampleAndTheRestEnd) {
  TSoundList list = GamePack();
  ASSERT_EQ(list.Count(), 22);
  for (int i = 0; i < list.Count(); ++i) {
    TSoundItem& it = *list.Item(i);
    const bool loops = i >= sfx::EngineIdle && i <= sfx::TopGear;
    EXPECT_EQ(it.Looped, loops) << it.Name;
    const int rate = it.Frequency > 0 ? it.Frequency : it.Wave->Rate;
    // One length of the sample in the device's frames, as the item's rate plays it.
    const size_t length = static_cast<size_t>(
        std::ceil(static_cast<double>(it.Wave->FrameCount()) * TMixer::DefaultRate / rate));
    ASSERT_GT(length, 100u) << it.Name;
    TSoundItem onHeadless = it;  // as loaded, with no buffers yet
    TMixer mixer;
    it.Play(mixer);
    ASSERT_EQ(it.Buffers().size(), 1u) << it.Name;
    std::vector<int16_t> out(2 * (5 * length / 2));
    mixer.Mix(out.data(), static_cast<int>(out.size() / 2));
    // The first length, and a whole length from halfway through the second (stereo samples).
    const double first = Rms(out, 0, 2 * length);
    const double later = Rms(out, 3 * length, 5 * length);
    if (i != sfx::Unused16) {
      ASSERT_GT(first, 30) << it.Name << " is heard at all";
    }
    if (loops) {
      EXPECT_TRUE(mixer.BufferPlaying(it.Buffers().front())) << it.Name;
      EXPECT_GT(later, 0.5 * first) << it.Name << " falls silent after one length";
    } else {
      EXPECT_FALSE(mixer.BufferPlaying(it.Buffers().front())) << it.Name;
      EXPECT_EQ(later, 0) << it.Name << " plays on past its end";
    }

    // The headless device the scripted runs play on keeps the same account.
    THeadlessClock clock;
    THeadlessAudio audio(clock);
    onHeadless.Play(audio);
    ASSERT_EQ(onHeadless.Buffers().size(), 1u);
    const uint64_t ms = static_cast<uint64_t>(it.Wave->FrameCount()) * 1000 / it.Wave->Rate;
    clock.Now = 3 * ms + 1;
    EXPECT_EQ(audio.BufferPlaying(onHeadless.Buffers().front()), loops) << it.Name;
  }
}

// The strongest period of a loop, by autocorrelation, as a note in Hz.
double Pitch(const std::vector<double>& s, int rate) {
  double best = 0;
  int bestLag = 1;
  for (int lag = rate / 400; lag < rate / 25; ++lag) {
    double c = 0;
    for (size_t k = 0; k + static_cast<size_t>(lag) < s.size(); ++k)
      c += s[k] * s[k + static_cast<size_t>(lag)];
    if (c > best) best = c, bestLag = lag;
  }
  return static_cast<double>(rate) / bestLag;
}

TEST(SoundPack, TheEngineRisesInPitchThroughTheGears) {
  const TSoundList list = GamePack();
  double last = Pitch(Samples(*list.Item(4)->Wave), 22050);  // idle
  for (int gear : {9, 10, 11, 12, 13}) {
    const double p = Pitch(Samples(*list.Item(gear)->Wave), list.Item(gear)->Wave->Rate);
    EXPECT_GT(p, last * 1.05) << list.Item(gear)->Name;
    last = p;
  }
}

TEST(SoundMix, AScriptedRaceWithTheHornCrashAndBonusesNeverReachesFullScale) {
  test::TRunDir dir;
  TScriptRunner r;
  std::string error;
  ASSERT_EQ(r.Run("seed 12\nrace 1\nframes 200\nkeydown Up\nframes 300\nkeydown H\nframes 60\n"
                  "keydown Space\nframes 30\nkeyup Space\nkeyup H\nkeydown Left\nframes 80\n"
                  "keyup Left\nframes 100\n",
                  error),
            0)
      << error;
  std::vector<TLoggedSound> log;
  ASSERT_TRUE(ParseSoundLog(SoundLogJson(r.Headless.Audio), log, error)) << error;
  // On top of what the run played, everything at once: the horn, a crash, a collision and both
  // bonuses over the engine and the race tune, the busiest moment a race can have.
  const uint64_t at = log.back().Ms - 400;
  for (int i : {8, 20, 17, 14, 15, 7, 12})
    log.insert(log.end() - 1, TLoggedSound{at, "play", i, ""});
  TSoundList sounds = GamePack();
  std::vector<int16_t> mix;
  ASSERT_TRUE(RenderSoundLog(log, sounds, 44100, mix, error)) << error;
  EXPECT_NEAR(static_cast<double>(mix.size()) / 2 / 44100, log.back().Ms / 1000.0, 0.01);
  EXPECT_LT(PeakOf(mix), 32767);
  EXPECT_GT(PeakOf(mix), 3000);  // the race was heard
  // A log that names a sound the pack lacks is refused.
  log.insert(log.begin(), TLoggedSound{0, "play", 99, ""});
  EXPECT_FALSE(RenderSoundLog(log, sounds, 44100, mix, error));
}

}  // namespace
}  // namespace zw
