// What the player hears, recorded: every sound of the built pack through the real mixer at its
// own rate and at set rates, pans and volumes, loops started and stopped, a crowd of sounds at the
// limiter, and both built tunes through the tune player under the effects. Each stretch of the
// mix is one line of tests/recorded/sound.record: its length, peak, loudness and a hash of its
// samples. The mixer works in floating point and the tunes come from libxmp, so the record lives
// with the Linux-only SDL tests, where every build uses the same libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "packs/pack_io.hpp"
#include "platform/mix/mixer.hpp"
#include "platform/mix/xm_song.hpp"
#include "tests/record_support.hpp"

namespace zw {
namespace {

constexpr int Rate = TMixer::DefaultRate;

// One stretch of stereo samples as a line: frames, peak, RMS (both whole sample values) and hash.
std::string Stretch(const std::vector<int16_t>& s) {
  int peak = 0;
  long double squares = 0;
  for (int16_t v : s) {
    peak = std::max(peak, std::abs(static_cast<int>(v)));
    squares += static_cast<long long>(v) * v;
  }
  // A sum of whole squares, then one correctly rounded square root: the same on every build.
  const long long rms =
      s.empty() ? 0 : std::llround(std::sqrt(static_cast<double>(squares / s.size())));
  return std::to_string(s.size() / 2) + " frames peak " + std::to_string(peak) + " rms " +
         std::to_string(rms) + " " + test::HashOf(s);
}

std::vector<int16_t> Mix(TMixer& m, int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  m.Mix(out.data(), frames);
  return out;
}

class RecordedSound : public ::testing::Test {
 protected:
  TSoundList Sounds;
  std::vector<std::string> Lines;
  void SetUp() override {
    LoadSoundPack(std::string("Data/Res/Sounds.spk"), Sounds);
    ASSERT_GT(Sounds.Count(), 0);
  }
  // Mixes until every effect has ended (at most `most` frames) and records it as one stretch.
  void UntilQuiet(TMixer& m, const std::string& what, int most) {
    std::vector<int16_t> all;
    while (static_cast<int>(all.size() / 2) < most) {
      bool playing = false;
      for (int b = 1; b <= m.BufferCount(); ++b) playing = playing || m.BufferPlaying(b);
      if (!playing) break;
      const std::vector<int16_t> part = Mix(m, 512);
      all.insert(all.end(), part.begin(), part.end());
    }
    Lines.push_back(what + ": " + Stretch(all));
  }
  void Blocks(TMixer& m, const std::string& what, int blocks, int frames) {
    for (int b = 0; b < blocks; ++b)
      Lines.push_back(what + " part " + std::to_string(b) + ": " + Stretch(Mix(m, frames)));
  }
};

// Each built sound on its own, as the game plays it, one-shots to their end and loops a second.
TEST_F(RecordedSound, EverySoundAsTheGamePlaysIt) {
  for (int i = 0; i < Sounds.Count(); ++i) {
    TSoundItem& s = *Sounds.Item(i);
    TMixer m;
    s.Play(m);
    UntilQuiet(m, "sound " + std::to_string(i) + " " + s.Name, s.Looped ? Rate : 4 * Rate);
  }
  test::CheckRecord("sound.record", Lines);
}

// One sound at set rates, pans and volumes; a loop started, stopped and started again; more
// instances than the sound allows; everything at once, at the limiter.
TEST_F(RecordedSound, RatesPansVolumesLoopsAndTheLimiter) {
  TSoundItem* shot = nullptr;
  TSoundItem* loop = nullptr;
  for (int i = 0; i < Sounds.Count(); ++i) {
    TSoundItem* s = Sounds.Item(i);
    if (!s->Wave) continue;
    if (s->Looped && !loop) loop = s;
    if (!s->Looped && !shot) shot = s;
  }
  ASSERT_TRUE(shot && loop);
  Lines.push_back("one-shot: " + shot->Name);
  Lines.push_back("loop: " + loop->Name);
  const std::shared_ptr<const TWaveData> wave = shot->Wave;
  struct TFormat {
    int Rate, Pan, Volume;
  };
  const TFormat formats[] = {{0, 0, 0},           {100, 0, 0},    {8000, 0, 0},  {11025, 0, 0},
                             {22050, 0, 0},       {44100, 0, 0},  {48000, 0, 0}, {96000, 0, 0},
                             {0, -10000, 0},      {0, -3000, 0},  {0, 2000, 0},  {0, 10000, 0},
                             {0, 0, -100},        {0, 0, -1000},  {0, 0, -5000}, {0, 0, -10000},
                             {22050, 1500, -700}, {0, 20000, 100}};
  for (const TFormat& f : formats) {
    TMixer m;
    const int b = m.CreateBuffer(wave);
    m.SetBufferFormat(b, f.Rate, f.Pan, f.Volume);
    m.PlayBuffer(b, false);
    UntilQuiet(m,
               "rate " + std::to_string(f.Rate) + " pan " + std::to_string(f.Pan) + " volume " +
                   std::to_string(f.Volume),
               3 * Rate);
  }
  {
    TMixer m;
    loop->Play(m);
    Blocks(m, "loop playing", 3, Rate / 10);
    loop->Stop(m);
    Blocks(m, "loop stopped", 1, Rate / 20);
    loop->Play(m);
    Blocks(m, "loop again", 2, Rate / 10);
    loop->Play(m);
    Blocks(m, "loop restarted", 1, Rate / 10);
  }
  {
    // More plays than the sound allows: the oldest starts over.
    TMixer m;
    for (int k = 0; k < 6; ++k) {
      shot->Play(m);
      Mix(m, 700);
    }
    Lines.push_back("one-shot played six times: " + std::to_string(shot->Buffers().size()) +
                    " buffers");
    Blocks(m, "one-shot crowd", 4, Rate / 10);
  }
  {
    // Every sound at once, twice over and loud: the limiter holds the sum.
    TMixer m;
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < Sounds.Count(); ++i) {
        Sounds.Item(i)->Play(m);
        Mix(m, 97);
      }
    Blocks(m, "everything at once", 8, Rate / 20);
  }
  test::CheckRecord("mix.record", Lines);
}

// Both built tunes through the tune player, alone and under effects.
TEST_F(RecordedSound, TunesUnderTheEffects) {
  for (const char* name : {"Menu", "Race"}) {
    TXmSong song;
    ASSERT_TRUE(song.Load(std::string("Data/Music/") + name + ".xm")) << name;
    ASSERT_TRUE(song.Start(Rate));
    TMixer m;
    m.SetSource(&song);
    Blocks(m, std::string("tune ") + name, 6, Rate / 2);
    for (int i = 0; i < Sounds.Count(); ++i) Sounds.Item(i)->Play(m);
    Blocks(m, std::string("tune ") + name + " under every sound", 2, Rate / 2);
  }
  test::CheckRecord("tunes.record", Lines);
}

}  // namespace
}  // namespace zw
