// Replays: the file's limits, and the proof that a recorded game rides again to the same race.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "replay/recorder.hpp"
#include "shell/form_state.hpp"
#include "tests/scenario_support.hpp"

namespace zw {
namespace {

replay::TReplay SmallReplay() {
  replay::TReplay r;
  r.GameVersion = "1.0.0";
  r.PackHash = 0x1234567890ABCDEFull;
  r.Start.Seed = 77;
  r.Start.Bike = 3;
  r.Start.RefreshRate = 60;
  r.Start.FrameTime = 16;
  r.Start.SpeedFactor = 85.0 / 60;
  for (int i = 0; i < 1000; ++i) {
    r.MoveCounts.push_back(static_cast<uint16_t>(i % 3 == 0 ? 16 : i == 500 ? 900 : 17));
    r.Keys.push_back(static_cast<uint16_t>(i < 300 ? replay::held::Up : replay::held::Left));
    r.Pad.push_back(i > 700 ? (1u << 16) | (1u << pad::X) : 0);
    r.RefreshRates.push_back(i < 800 ? 60 : 75);
  }
  r.Events.push_back({10, replay::TEvent::MouseMove, 0, 400, 300});
  r.Events.push_back({10, replay::TEvent::Click, 0, 0, 0});
  r.Events.push_back({500, replay::TEvent::WindowPause, 0, 0, 0});
  r.Events.push_back({1000, replay::TEvent::Char, 13, 0, 0});
  r.RaceScore = 12345;
  r.Level = 4;
  r.EndTime = 1700000000;
  r.EndUtcOffset = 60;
  return r;
}

uint32_t Crc(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

void Reseal(std::vector<uint8_t>& b) {
  const uint32_t c = Crc(b.data(), b.size() - 4);
  for (int i = 0; i < 4; ++i) b[b.size() - 4 + i] = static_cast<uint8_t>(c >> (8 * i));
}

TEST(ReplayFile, RoundTripKeepsEveryFrameAndEvent) {
  const replay::TReplay r = SmallReplay();
  const std::vector<uint8_t> bytes = replay::Write(r);
  ASSERT_FALSE(bytes.empty());
  // 1000 frames: 250 bytes of codes, a few changes, a few events.
  EXPECT_LT(bytes.size(), 400u);
  replay::TReplay back;
  std::string why;
  ASSERT_TRUE(replay::Read(bytes, back, why)) << why;
  EXPECT_EQ(back.GameVersion, r.GameVersion);
  EXPECT_EQ(back.PackHash, r.PackHash);
  EXPECT_EQ(back.Start.Seed, 77u);
  EXPECT_EQ(back.Start.Bike, 3);
  EXPECT_EQ(back.Start.SpeedFactor, 85.0 / 60);
  EXPECT_EQ(back.MoveCounts, r.MoveCounts);
  EXPECT_EQ(back.Keys, r.Keys);
  EXPECT_EQ(back.Pad, r.Pad);
  EXPECT_EQ(back.RefreshRates, r.RefreshRates);
  ASSERT_EQ(back.Events.size(), r.Events.size());
  for (size_t i = 0; i < r.Events.size(); ++i) {
    EXPECT_EQ(back.Events[i].Frame, r.Events[i].Frame);
    EXPECT_EQ(back.Events[i].Type, r.Events[i].Type);
    EXPECT_EQ(back.Events[i].Key, r.Events[i].Key);
    EXPECT_EQ(back.Events[i].X, r.Events[i].X);
  }
  EXPECT_EQ(back.RaceScore, 12345);
  EXPECT_EQ(back.Level, 4);
  EXPECT_EQ(back.EndTime, 1700000000);
  EXPECT_EQ(back.EndUtcOffset, 60);
}

TEST(ReplayFile, RefusesDamagedTruncatedForeignAndOversizedFiles) {
  const std::vector<uint8_t> good = replay::Write(SmallReplay());
  replay::TReplay r;
  std::string why;
  // Every shorter file is refused with a reason.
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_FALSE(replay::Read(cut, r, why)) << n;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(why.find('\n'), std::string::npos);
  }
  // One bit changed anywhere: damaged.
  for (size_t i = 6; i < good.size(); i += 7) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0x10;
    EXPECT_FALSE(replay::Read(bad, r, why)) << i;
  }
  std::vector<uint8_t> bad = good;
  bad[100] ^= 1;
  EXPECT_FALSE(replay::Read(bad, r, why));
  EXPECT_NE(why.find("damaged"), std::string::npos) << why;
  // Someone else's file, a newer format, a file too large.
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13};
  EXPECT_FALSE(replay::Read(png, r, why));
  EXPECT_EQ(why, "not a Zap Wheely replay");
  bad = good;
  bad[4] = 9;
  EXPECT_FALSE(replay::Read(bad, r, why));
  EXPECT_NE(why.find("format 9"), std::string::npos) << why;
  std::vector<uint8_t> huge = good;
  huge.resize(replay::MaxFileBytes + 1, 0);
  EXPECT_FALSE(replay::Read(huge, r, why));
  EXPECT_NE(why.find("1 MiB"), std::string::npos) << why;
  // A sealed file that claims more frames than any game lasts.
  const size_t nAt = 7 + 5 + 55;
  bad = good;
  const uint32_t many = replay::MaxFrames + 1;
  std::memcpy(&bad[nAt], &many, 4);
  Reseal(bad);
  EXPECT_FALSE(replay::Read(bad, r, why));
  EXPECT_EQ(why, "more frames than any game can last");
  // A sealed file with an impossible bike.
  bad = good;
  bad[7 + 5 + 12] = 6;
  Reseal(bad);
  EXPECT_FALSE(replay::Read(bad, r, why));
  EXPECT_EQ(why, "no such bike");
}

TEST(ReplayFile, AFullLengthGameStaysSmall) {
  // Seventy thousand frames of a vsync'd display (16, 17, 17 ms), the keys changing four times
  // a second: a ten-level game's worth.
  replay::TReplay r = SmallReplay();
  r.MoveCounts.clear();
  r.Keys.clear();
  r.Pad.clear();
  r.RefreshRates.clear();
  r.Events.clear();
  for (int i = 0; i < 70000; ++i) {
    r.MoveCounts.push_back(static_cast<uint16_t>(i % 3 == 0 ? 16 : 17));
    r.Keys.push_back(static_cast<uint16_t>(replay::held::Up | ((i / 15) % 4)));
    r.Pad.push_back(0);
    r.RefreshRates.push_back(60);
  }
  const std::vector<uint8_t> bytes = replay::Write(r);
  ASSERT_FALSE(bytes.empty());
  EXPECT_LT(bytes.size(), 40u * 1024);
}

// A game ridden by the runner's pilot with crashes, a pause, the exit question answered No,
// a finished level and one lost to the clock, to the game over; recorded, then ridden again.
std::string RecordedGame(replay::TRecorder& rec, uint32_t& levels) {
  test::TGame g("seed 4242\nrefresh 60\nframetime 16\n");
  rec.Packs = replay::PackHash();
  g.S().ReplayHooks = &rec;
  g.Run(
      "race 2\npilot 1500\npress P\nframes 90\npress P\npilot 400\npress Escape\n"
      "frames 30\npress N\npilot 12000\n");
  levels = static_cast<uint32_t>(g.S().Race.Level);
  if (!rec.Complete) g.Run("press Escape\nframes 5\npress Y\nframes 5\n");
  g.S().ReplayHooks = nullptr;
  EXPECT_TRUE(rec.Complete);
  const std::string path = (std::filesystem::temp_directory_path() / "zw-replay-test.zwr").string();
  std::string why;
  EXPECT_TRUE(replay::WriteFile(path, rec.Last, why)) << why;
  return path;
}

TEST(ReplayRide, ARecordedGameRidesAgainToTheSameRaceDrawnOrNot) {
  replay::TRecorder rec;
  uint32_t levels = 0;
  const std::string path = RecordedGame(rec, levels);
  // Level 1 finished, level 2 lost to the clock twice, then the game over.
  EXPECT_GE(levels, 2u) << "the pilot should get past the first level";
  ASSERT_GE(rec.LevelHashes.size(), 2u);
  replay::TReplay r;
  std::string why;
  ASSERT_TRUE(replay::ReadFile(path, r, why)) << why;
  EXPECT_EQ(r.RaceScore, rec.Last.RaceScore);
  EXPECT_GT(r.RaceScore, 0);
  for (bool draw : {true, false}) {
    test::TGame again("seed 1\nrefresh 85\nframetime 12\n");
    const replay::TRideResult res = replay::Ride(again.F(), r, draw);
    EXPECT_TRUE(res.Ended) << draw;
    EXPECT_EQ(res.Frames, r.FrameCount());
    EXPECT_EQ(res.RaceScore, r.RaceScore);
    EXPECT_EQ(res.LevelHashes, rec.LevelHashes) << draw;
    EXPECT_EQ(res.EndHash, rec.EndHash) << draw;
  }
  // The steering changed for a moment while riding: the race goes elsewhere.
  replay::TReplay edited = r;
  for (uint32_t i = 3000; i < 3040; ++i) edited.Keys[i] ^= replay::held::Left;
  test::TGame third("seed 1\n");
  const replay::TRideResult res = replay::Ride(third.F(), edited, false);
  EXPECT_FALSE(res.Ended && res.LevelHashes == rec.LevelHashes && res.EndHash == rec.EndHash);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace zw
