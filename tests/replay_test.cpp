// Replays: the file's limits, and the proof that a recorded game rides again to the same race.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "replay/recorder.hpp"
#include "shell/form.hpp"
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
  r.Events.push_back({600, replay::TEvent::KeysAgain, 0, 0, 0});
  r.Events.push_back({1000, replay::TEvent::Char, 13, 0, 0});
  r.RaceScore = 12345;
  r.Level = 4;
  r.EndTime = 1700000000;
  r.EndUtcOffset = 60;
  r.HasHashes = true;
  r.LevelEnds = {{1, 0x1111222233334444ull}, {2, 0x8000000000000001ull}, {2, 7}};
  r.EndHash = 0xFEDCBA9876543210ull;
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
  // 1000 frames: 250 bytes of codes, a few changes, a few events, three level ends' hashes.
  EXPECT_LT(bytes.size(), 450u);
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
  EXPECT_TRUE(back.HasHashes);
  EXPECT_EQ(back.LevelEnds, r.LevelEnds);
  EXPECT_EQ(back.EndHash, r.EndHash);
  EXPECT_EQ(bytes[4], 2) << "a file with the hashes is format 2";
}

// A small replay as the first format's writer made it (before the race state's hashes).
const std::vector<uint8_t> FormatOneFile = {
    0x5a, 0x57, 0x52, 0x1a, 0x01, 0x00, 0x05, 0x31, 0x2e, 0x30, 0x2e, 0x30, 0xef, 0xcd, 0xab, 0x89,
    0x67, 0x45, 0x23, 0x01, 0x92, 0x10, 0x00, 0x00, 0x02, 0x3c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
    0x00, 0xab, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xf6, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x81,
    0x90, 0x01, 0xfd, 0xff, 0xaa, 0x05, 0x00, 0x00, 0x02, 0x00, 0xf1, 0x53, 0x65, 0x00, 0x00, 0x00,
    0x00, 0xd4, 0xfe, 0x28, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0x87,
    0x61, 0x18, 0x86, 0x61, 0x1f, 0x86, 0x61, 0x18, 0x86, 0x10, 0xac, 0x02, 0x10, 0x0d, 0x00, 0x00,
    0x00, 0x00, 0x07, 0x01, 0x00, 0x3c, 0x19, 0x01, 0x05, 0x05, 0x02, 0x81, 0x80, 0x04, 0x06, 0x00,
    0x00, 0x00, 0x0c, 0x01, 0x50, 0x1c, 0x01, 0x0d, 0xc8, 0xa3, 0xf2, 0xd5};

TEST(ReplayFile, AFormatOneFileStillLoadsAndIsWrittenAlike) {
  replay::TReplay r;
  std::string why;
  ASSERT_TRUE(replay::Read(FormatOneFile, r, why)) << why;
  EXPECT_FALSE(r.HasHashes);
  EXPECT_TRUE(r.LevelEnds.empty());
  EXPECT_EQ(r.PackHash, 0x0123456789ABCDEFull);
  EXPECT_EQ(r.Start.Seed, 4242u);
  EXPECT_EQ(r.Start.Bike, 2);
  EXPECT_EQ(r.Start.Twins, 0x81);
  EXPECT_EQ(r.Start.MouseY, -3);
  ASSERT_EQ(r.FrameCount(), 40u);
  EXPECT_EQ(r.MoveCounts[20], 300);
  EXPECT_EQ(r.Keys[30], replay::held::Up | replay::held::Left);
  EXPECT_EQ(r.Pad[30], (1u << 16) | (1u << pad::A));
  ASSERT_EQ(r.Events.size(), 2u);
  EXPECT_EQ(r.Events[1].Frame, 40u);
  EXPECT_EQ(r.RaceScore, 1450);
  EXPECT_EQ(r.EndUtcOffset, -300);
  // Without hashes it is written as it came: the first format, byte for byte.
  EXPECT_EQ(replay::Write(r), FormatOneFile);
}

TEST(ReplayFile, RefusesBadStateHashes) {
  replay::TReplay r;
  std::string why;
  // A level that no game has, and more level ends than the block holds. The first and the
  // tenth level end like any other.
  for (int level : {0, 1, 10, 11}) {
    replay::TReplay ended = SmallReplay();
    ended.LevelEnds[1].Level = level;
    const std::vector<uint8_t> file = replay::Write(ended);
    EXPECT_EQ(file.empty(), level < 1 || level > 10) << level;
    if (file.empty()) continue;
    ASSERT_TRUE(replay::Read(file, r, why)) << level << ": " << why;
    EXPECT_EQ(r.LevelEnds, ended.LevelEnds) << level;
  }
  std::vector<uint8_t> b = replay::Write(SmallReplay());
  // The hashes' block is last before the checksum: 4 + 1 + 3 * 9 + 8 bytes.
  const size_t k = b.size() - 4 - 8 - 3 * 9 - 1;
  ASSERT_EQ(b[k], 3);
  b[k] = 4;
  Reseal(b);
  EXPECT_FALSE(replay::Read(b, r, why));
  EXPECT_EQ(why, "bad state hashes");
  b[k] = 3;
  for (uint8_t level : {0, 11}) {
    b[k + 1 + 9] = level;  // the second level end's level
    Reseal(b);
    EXPECT_FALSE(replay::Read(b, r, why)) << int{level};
    EXPECT_EQ(why, "bad state hashes");
  }
}

TEST(ReplayFile, TheStateHashFeedsValuesInAFixedByteOrder) {
  // The same value gives the same bytes whatever the machine: integers little-endian at their
  // width, bools as one byte, doubles as their IEEE 754 bits.
  auto bytes = [](std::initializer_list<uint8_t> b) {
    replay::TFnv h;
    for (uint8_t v : b) h.Byte(v);
    return h.H;
  };
  auto of = [](auto v) {
    replay::TFnv h;
    h.Value(v);
    return h.H;
  };
  EXPECT_EQ(of(int32_t{0x01020304}), bytes({4, 3, 2, 1}));
  EXPECT_EQ(of(int32_t{-2}), bytes({0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(of(uint8_t{7}), bytes({7}));
  EXPECT_EQ(of(true), bytes({1}));
  EXPECT_EQ(of(int64_t{1} << 40), bytes({0, 0, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(of(1.5), bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
  EXPECT_NE(of(0.0), of(-0.0));
  EXPECT_NE(of(int32_t{1}), of(int64_t{1})) << "each value at its own width";
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
  // The five bikes ride back, each as itself; a bike on either side of them does not exist.
  for (int bike = 0; bike <= 6; ++bike) {
    replay::TReplay ridden = SmallReplay();
    ridden.Start.Bike = static_cast<uint8_t>(bike);
    const std::vector<uint8_t> file = replay::Write(ridden);
    ASSERT_FALSE(file.empty()) << bike;
    why.clear();
    const bool read = replay::Read(file, r, why);
    if (bike >= 1 && bike <= 5) {
      EXPECT_TRUE(read) << "bike " << bike << ": " << why;
      EXPECT_EQ(r.Start.Bike, bike);
    } else {
      EXPECT_FALSE(read) << "bike " << bike;
      EXPECT_EQ(why, "no such bike") << "bike " << bike;
    }
  }
  // A game ends on one of its ten levels: each is written in its own byte and read back as
  // itself, the first and the tenth included; a level on either side of them does not exist.
  const size_t levelAt = 7 + 5 + 44;
  for (int level = 0; level <= 11; ++level) {
    replay::TReplay ridden = SmallReplay();
    ridden.Level = level;
    const std::vector<uint8_t> file = replay::Write(ridden);
    ASSERT_GT(file.size(), levelAt) << level;
    EXPECT_EQ(file[levelAt], level);
    why.clear();
    const bool read = replay::Read(file, r, why);
    if (level >= 1 && level <= 10) {
      EXPECT_TRUE(read) << "level " << level << ": " << why;
      EXPECT_EQ(r.Level, level);
    } else {
      EXPECT_FALSE(read) << "level " << level;
      EXPECT_EQ(why, "no such level") << "level " << level;
    }
  }
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
      "frames 30\npress N\n");
  // On with the pilot to the game's end (the name entry, or the menu), 12 000 frames at most;
  // nothing after the end goes into the game or its replay.
  for (int i = 0; i < 24 && g.S().Menu.CurrentScreen == screen::Race &&
                  g.S().Menu.ActiveDialog != dialog::NameEntry;
       ++i)
    g.Run("pilot 500\n");
  levels = static_cast<uint32_t>(g.S().Race.Level);
  if (!rec.Complete) g.Run("press Escape\nframes 5\npress Y\nframes 5\n");
  g.S().ReplayHooks = nullptr;
  EXPECT_TRUE(rec.Complete);
  const std::string path = (std::filesystem::temp_directory_path() / "zw-replay-test.zwr").string();
  std::string why;
  EXPECT_TRUE(replay::WriteFile(path, rec.Last, why)) << why;
  return path;
}

// The pad pauses and resumes the race, then the keyboard takes over: the key that went down
// puts the keyboard's hints back, and the ride must reach that too (the game's end is judged by
// the whole state, hints and all).
TEST(ReplayRide, TheKeyboardAfterThePadRidesToTheSameEnd) {
  replay::TRecorder rec;
  test::TGame g("seed 4242\nrefresh 60\nframetime 16\n");
  rec.Packs = replay::PackHash();
  g.S().ReplayHooks = &rec;
  g.Run("race 1\nframes 300\npadpress Start\nframes 20\npadpress Start\npilot 200\n");
  ASSERT_TRUE(g.S().Keys.PadInUse);
  g.Run("press Escape\nframes 5\npress N\npilot 100\npress Escape\nframes 5\npress Y\nframes 5\n");
  ASSERT_TRUE(rec.Complete);
  EXPECT_FALSE(g.S().Keys.PadInUse);
  g.S().ReplayHooks = nullptr;
  size_t returns = 0;
  for (const replay::TEvent& e : rec.Last.Events) returns += e.Type == replay::TEvent::KeysAgain;
  EXPECT_EQ(returns, 1u) << "only the change is kept";
  test::TGame again("seed 1\n");
  const replay::TRideResult res = replay::Ride(again.F(), rec.Last, false);
  EXPECT_EQ(res.EndHash, rec.EndHash);
  EXPECT_EQ(replay::Disagreement(rec.Last, res), "");
}

TEST(ReplayRide, ARecordedGameRidesAgainToTheSameRaceDrawnOrNot) {
  replay::TRecorder rec;
  uint32_t levels = 0;
  const std::string path = RecordedGame(rec, levels);
  // Level 1 finished, level 2 lost to the clock twice, then the game over.
  EXPECT_GE(levels, 2u) << "the pilot should get past the first level";
  ASSERT_GE(rec.LevelEnds.size(), 2u);
  EXPECT_EQ(rec.LevelEnds[0].Level, 1);
  EXPECT_NE(rec.LevelEnds[0].Hash, rec.LevelEnds[1].Hash);
  replay::TReplay r;
  std::string why;
  ASSERT_TRUE(replay::ReadFile(path, r, why)) << why;
  EXPECT_EQ(r.RaceScore, rec.Last.RaceScore);
  EXPECT_GT(r.RaceScore, 0);
  // The file carries the hashes the recording made.
  EXPECT_TRUE(r.HasHashes);
  EXPECT_EQ(r.LevelEnds, rec.LevelEnds);
  EXPECT_EQ(r.EndHash, rec.EndHash);
  for (bool draw : {true, false}) {
    test::TGame again("seed 1\nrefresh 85\nframetime 12\n");
    const replay::TRideResult res = replay::Ride(again.F(), r, draw);
    EXPECT_TRUE(res.Ended) << draw;
    EXPECT_EQ(res.Frames, r.FrameCount());
    EXPECT_EQ(res.RaceScore, r.RaceScore);
    EXPECT_EQ(res.LevelEnds, rec.LevelEnds) << draw;
    EXPECT_EQ(res.EndHash, rec.EndHash) << draw;
    EXPECT_EQ(replay::Disagreement(r, res), "") << draw;
  }
  // The throttle let go for one frame while riding the first level: its end is another race,
  // and the ride is rejected there.
  ASSERT_TRUE(r.Keys[1000] & replay::held::Up);
  replay::TReplay edited = r;
  edited.Keys[1000] ^= replay::held::Up;
  test::TGame third("seed 1\n");
  const replay::TRideResult res = replay::Ride(third.F(), edited, false);
  ASSERT_FALSE(res.LevelEnds.empty());
  EXPECT_NE(res.LevelEnds[0], rec.LevelEnds[0]);
  EXPECT_EQ(replay::Disagreement(edited, res),
            "the race differs from the recording at the end of level 1");
  // Judged by its score alone when the file has no hashes (the first format): the true one
  // passes, a raised score does not, and a ride that stops short is never proof.
  replay::TReplay old = r;
  old.HasHashes = false;
  old.LevelEnds.clear();
  replay::TReplay back;
  ASSERT_TRUE(replay::Read(replay::Write(old), back, why)) << why;
  EXPECT_FALSE(back.HasHashes);
  test::TGame fourth("seed 1\n");
  const replay::TRideResult oldRes = replay::Ride(fourth.F(), back, false);
  EXPECT_EQ(replay::Disagreement(back, oldRes), "");
  back.RaceScore += 100;
  EXPECT_EQ(replay::Disagreement(back, oldRes).rfind("rides to score ", 0), 0u);
  replay::TRideResult cut = oldRes;
  cut.Ended = false;
  EXPECT_EQ(replay::Disagreement(r, cut).rfind("the ride never reaches the end of a game", 0), 0u);
  // A ride with a level end fewer or more than the recording's names the level.
  cut = oldRes;
  cut.LevelEnds.pop_back();
  EXPECT_NE(replay::Disagreement(r, cut).find("never reaches the end of level"), std::string::npos);
  cut.LevelEnds = rec.LevelEnds;
  cut.LevelEnds.push_back({5, 1});
  EXPECT_EQ(replay::Disagreement(r, cut), "the ride ends level 5 where the recording rides on");
  cut.LevelEnds = rec.LevelEnds;
  cut.EndHash ^= 1;
  EXPECT_NE(replay::Disagreement(r, cut).find("at the end of the game"), std::string::npos);
  std::filesystem::remove(path);
}

// Two games one after the other in one session, each past the first level, through the game's
// own recorder: the second game's kept replay (the bytes the table would save) holds only its
// own level end, not the first game's before it, and rides to as many ends and its own score.
// (Scores the table does not take: no name entry between the games.)
TEST(ReplayRide, TheSecondGameOfASessionKeepsOnlyItsOwnLevelEnds) {
  test::TGame g("seed 4242\nrefresh 60\nframetime 16\n");
  TMForm& f = g.F();
  replay::TRecorder& rec = g.Runner.Recorder;
  std::vector<replay::TLevelEnd> firstEnds;
  for (int i = 1; i <= 10; ++i) f.HighScores[static_cast<size_t>(i)].Score = 9000000;
  for (const char* bike : {"3", "2"}) {
    SCOPED_TRACE(bike);
    g.Run(std::string("race ") + bike + "\n");
    for (int i = 0; i < 40 && f.Race.Level < 2; ++i) g.Run("pilot 500\n");
    ASSERT_EQ(f.Race.Level, 2) << "the pilot should get past the first level";
    g.Run("pilot 200\npress Escape\nframes 5\npress Y\nframes 5\n");
    ASSERT_TRUE(rec.Complete);
    ASSERT_TRUE(f.Replays.LastIsCurrent);
    ASSERT_EQ(f.Menu.ActiveDialog, dialog::None);
    replay::TReplay r;
    std::string why;
    ASSERT_TRUE(
        replay::Read(std::vector<uint8_t>(f.Replays.Last.begin(), f.Replays.Last.end()), r, why))
        << why;
    ASSERT_EQ(r.LevelEnds, rec.Last.LevelEnds);
    ASSERT_EQ(r.LevelEnds.size(), 1u) << "one level ended in this game";
    EXPECT_EQ(r.LevelEnds[0].Level, 1);
    EXPECT_EQ(r.RaceScore, f.Race.RaceScore);
    const bool first = firstEnds.empty();
    if (first) {
      firstEnds = r.LevelEnds;
    } else {
      EXPECT_NE(r.LevelEnds[0], firstEnds[0]) << "another bike rides another race";
    }
    test::TGame again("seed 1\n");
    const replay::TRideResult res = replay::Ride(again.F(), r, false);
    ASSERT_EQ(res.LevelEnds.size(), r.LevelEnds.size());
    EXPECT_EQ(res.LevelEnds[0].Level, r.LevelEnds[0].Level);
    EXPECT_TRUE(res.Ended);
    EXPECT_EQ(res.RaceScore, r.RaceScore);
    // Each game rides again to its own race at every level end: nothing the game before left
    // on the map stands in the second one.
    EXPECT_EQ(replay::Disagreement(r, res), "");
  }
}

// Rides a recording the way Ride does, with a recorder of its own on the form: what a faithful
// ride reads from outside is the recording again.
replay::TReplay RecordedAgain(TMForm& f, const replay::TReplay& r) {
  replay::TRecorder again;
  again.Packs = r.PackHash;
  IInput* input = f.Platform.Input;
  replay::TReplayPlayer player(r);
  f.Platform.Input = &player;
  f.ReplayHooks = &again;
  player.Begin(f);
  while (!again.Complete && !player.Done()) player.Step(f, false);
  f.ReplayHooks = nullptr;
  f.Platform.Input = input;
  EXPECT_TRUE(again.Complete);
  return again.Last;
}

// A race played with more than the keys: the window minimised during the level's banner, Alt+Enter,
// the pad's Start and A, the close box, the pointer moved over the exit question's buttons (twice
// in one frame, and off the picture), clicks and Esc typed. It rides again to the same race, and a
// ride recorded again is the same recording, event for event.
TEST(ReplayRide, ARaceRiddenWithThePointerThePadAndTheWindowRidesAgainAlike) {
  replay::TRecorder rec;
  test::TGame g("seed 4242\nrefresh 60\nframetime 16\n");
  rec.Packs = 1;
  g.S().ReplayHooks = &rec;
  g.Run("race 1\nframes 2\nminimise\nframes 1\n");
  ASSERT_EQ(g.S().Menu.ActiveDialog, dialog::Pause);
  g.Run("press P\npilot 300\nkeydown Alt\npress Return\nkeyup Alt\nframes 1\n");
  ASSERT_EQ(g.S().Menu.ActiveDialog, dialog::Pause);
  g.Run("padpress Start\nframes 3\npilot 200\nclose\nframes 1\n");
  ASSERT_EQ(g.S().Menu.ActiveDialog, dialog::ExitToMenu);
  // Over the top-left corner, then off the picture, in the same frame: only the last counts.
  g.Run("mouse 100 100\nmouse -40 5000\nframes 1\nmouse 390 320\nframes 1\nclick\nframes 3\n");
  ASSERT_EQ(g.S().Menu.ActiveDialog, dialog::None) << "the click on No goes back to the race";
  g.Run("pilot 100\npress Escape\nframes 2\npadpress A\nframes 2\n");
  ASSERT_EQ(g.S().Menu.ActiveDialog, dialog::None) << "the pad's A answers No";
  g.Run("pilot 100\nclose\nframes 1\nmouse 260 320\nframes 1\nclick\nframes 3\n");
  ASSERT_TRUE(rec.Complete);
  g.S().ReplayHooks = nullptr;
  const replay::TReplay& r = rec.Last;
  std::set<int> kinds;
  for (const replay::TEvent& e : r.Events) kinds.insert(e.Type);
  EXPECT_EQ(kinds, (std::set<int>{replay::TEvent::Char, replay::TEvent::MouseMove,
                                  replay::TEvent::Click, replay::TEvent::Close,
                                  replay::TEvent::PadDown, replay::TEvent::WindowPause,
                                  replay::TEvent::ModePause, replay::TEvent::KeysAgain}));
  std::vector<std::array<int32_t, 3>> moves;
  for (const replay::TEvent& e : r.Events)
    if (e.Type == replay::TEvent::MouseMove)
      moves.push_back({static_cast<int32_t>(e.Frame), e.X, e.Y});
  ASSERT_EQ(moves.size(), 3u) << "one move a frame";
  EXPECT_EQ(moves[0][1], 0);
  EXPECT_EQ(moves[0][2], 4095);
  EXPECT_EQ(moves[1][0], moves[0][0] + 1);
  EXPECT_EQ(moves[1][1], 390);
  EXPECT_EQ(moves[2][1], 260);
  test::TGame again("seed 1\n");
  const replay::TRideResult res = replay::Ride(again.F(), r, false);
  EXPECT_EQ(res.EndHash, rec.EndHash);
  EXPECT_EQ(replay::Disagreement(r, res), "");
  // The pointer off the picture during the race: the race read it where the ride puts it.
  test::TGame edge("seed 4242\nrefresh 60\nframetime 16\n");
  replay::TRecorder edgeRec;
  edgeRec.Packs = 1;
  edge.S().ReplayHooks = &edgeRec;
  edge.Run(
      "race 1\npilot 300\nmouse -40 5000\nframes 1\npress Escape\nframes 2\npress Y\nframes 2\n");
  edge.S().ReplayHooks = nullptr;
  ASSERT_TRUE(edgeRec.Complete);
  test::TGame edgeRide("seed 1\n");
  EXPECT_EQ(replay::Disagreement(edgeRec.Last, replay::Ride(edgeRide.F(), edgeRec.Last, false)),
            "");
  // Recorded again while ridden: the same events at the same frames.
  test::TGame third("seed 1\n");
  // (The keyboard's return is put back as the race had it, not as a key: no key goes down.)
  const replay::TReplay back = RecordedAgain(third.F(), r);
  std::vector<replay::TEvent> want;
  for (const replay::TEvent& e : r.Events)
    if (e.Type != replay::TEvent::KeysAgain) want.push_back(e);
  ASSERT_EQ(back.Events.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.Events[i].Frame, want[i].Frame);
    EXPECT_EQ(back.Events[i].Type, want[i].Type);
    EXPECT_EQ(back.Events[i].Key, want[i].Key);
    EXPECT_EQ(back.Events[i].X, want[i].X);
    EXPECT_EQ(back.Events[i].Y, want[i].Y);
  }
  EXPECT_EQ(back.Keys, r.Keys);
  EXPECT_EQ(back.Pad, r.Pad);
  EXPECT_EQ(back.EndHash, r.EndHash);
}

// What each event of the platform leaves in a recording: characters and pad controls only within
// what the file holds, the pointer held to the file's range and only its last place between two
// frames, a key only as the keyboard coming back after the pad.
TEST(ReplayRecord, EachEventIsKeptWithinWhatAReplayHolds) {
  test::TGame g;
  TMForm& f = g.F();
  auto in = [](TInputEvent::Kind kind, int key = 0, int x = 0, int y = 0) {
    TInputEvent ev;
    ev.Type = kind;
    ev.Key = key;
    ev.X = x;
    ev.Y = y;
    return ev;
  };
  using E = replay::TEvent;
  struct TCase {
    const char* Name;
    std::vector<TInputEvent> Events;  // the first on frame 0, the rest on frame 1
    bool PadInUse;
    std::vector<std::array<int, 5>> Kept;  // frame, type, key, x, y
  } cases[] = {
      {"characters",
       {in(TInputEvent::Char, 0), in(TInputEvent::Char, 255), in(TInputEvent::Char, 256),
        in(TInputEvent::Char, -1)},
       false,
       {{0, E::Char, 0, 0, 0}, {1, E::Char, 255, 0, 0}}},
      {"pad controls",
       {in(TInputEvent::PadDown, 0), in(TInputEvent::PadDown, pad::Count - 1),
        in(TInputEvent::PadDown, pad::Count), in(TInputEvent::PadDown, -1),
        in(TInputEvent::PadUp, pad::A)},
       false,
       {{0, E::PadDown, 0, 0, 0}, {1, E::PadDown, pad::Count - 1, 0, 0}}},
      {"the pointer held to the file's range",
       {in(TInputEvent::MouseMove, 0, -1, 4096), in(TInputEvent::MouseMove, 0, 4096, -1)},
       false,
       {{0, E::MouseMove, 0, 0, 4095}, {1, E::MouseMove, 0, 4095, 0}}},
      {"the pointer's last place a frame",
       {in(TInputEvent::MouseMove, 0, 10, 20), in(TInputEvent::MouseMove, 0, 4095, 0),
        in(TInputEvent::MouseMove, 0, 30, 40), in(TInputEvent::MouseMove, 0, 50, 60)},
       false,
       {{0, E::MouseMove, 0, 10, 20}, {1, E::MouseMove, 0, 50, 60}}},
      {"a click between two moves",
       {in(TInputEvent::Close), in(TInputEvent::MouseMove, 0, 1, 2), in(TInputEvent::Click),
        in(TInputEvent::MouseMove, 0, 3, 4)},
       false,
       {{0, E::Close, 0, 0, 0},
        {1, E::MouseMove, 0, 1, 2},
        {1, E::Click, 0, 0, 0},
        {1, E::MouseMove, 0, 3, 4}}},
      {"keys after the pad",
       {in(TInputEvent::KeyDown, vk::Up), in(TInputEvent::KeyUp, vk::Up), in(TInputEvent::Minimise),
        in(TInputEvent::Restore)},
       true,
       {{0, E::KeysAgain, 0, 0, 0}}},
      {"keys without the pad",
       {in(TInputEvent::KeyDown, vk::Up), in(TInputEvent::KeyDown, 'P')},
       false,
       {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    replay::TRecorder rec;
    rec.Packs = 1;
    rec.RaceStarting(f);
    f.Keys.PadInUse = c.PadInUse;
    for (size_t i = 0; i < c.Events.size(); ++i) {
      if (i == 1) rec.RaceFrame(f, 16);
      rec.RaceEvent(f, c.Events[i]);
    }
    rec.RaceFrame(f, 16);
    rec.GameEnding(f);
    ASSERT_TRUE(rec.Complete);
    std::vector<std::array<int, 5>> kept;
    for (const E& e : rec.Last.Events)
      kept.push_back({static_cast<int>(e.Frame), e.Type, e.Key, e.X, e.Y});
    EXPECT_EQ(kept, c.Kept);
    EXPECT_FALSE(replay::Write(rec.Last).empty()) << "a recording the file cannot hold";
  }
  f.Keys.PadInUse = false;
}

// A game longer than a replay may hold, in events, in frames or in level ends: the recording
// stops at the limit and the game is kept without a replay (an older game's stays where it is,
// not taken for this one's); the next game is recorded afresh.
TEST(ReplayRecord, ARecordingThatOutgrowsAReplayIsDroppedAndTheNextIsKept) {
  test::TGame g;
  TMForm& f = g.F();
  TInputEvent click;
  click.Type = TInputEvent::Click;
  struct TLimit {
    const char* Name;
    size_t Limit;
    std::function<void(replay::TRecorder&)> One;
  } limits[] = {
      {"events", replay::MaxEvents, [&](replay::TRecorder& r) { r.RaceEvent(f, click); }},
      // Without the input the frame keeps no held controls: the limit is on the frames alone.
      {"frames", replay::MaxFrames - 1, [&](replay::TRecorder& r) { r.RaceFrame(f, 16); }},
      {"level ends", replay::MaxLevelEnds, [&](replay::TRecorder& r) { r.LevelEnding(f); }},
  };
  IInput* input = f.Platform.Input;
  // The race state's hash of every level end goes over the whole track: an empty one keeps
  // four thousand of them quick.
  std::vector<uint8_t> cells;
  cells.swap(f.Track.Cells);
  for (const TLimit& l : limits) {
    SCOPED_TRACE(l.Name);
    replay::TRecorder rec;
    rec.Packs = 1;
    rec.Keep = true;
    f.Replays.Last = "an older game";
    f.Replays.LastIsCurrent = true;
    rec.RaceStarting(f);
    EXPECT_FALSE(f.Replays.LastIsCurrent);
    f.Platform.Input = nullptr;
    rec.RaceFrame(f, 16);
    for (size_t i = 0; i < l.Limit; ++i) l.One(rec);
    EXPECT_TRUE(rec.Recording) << "up to the limit a replay holds it all";
    EXPECT_FALSE(rec.Overflowed);
    l.One(rec);
    EXPECT_FALSE(rec.Recording);
    EXPECT_TRUE(rec.Overflowed);
    l.One(rec);
    rec.RaceFrame(f, 16);
    f.Platform.Input = input;
    rec.GameEnding(f);
    EXPECT_FALSE(rec.Complete);
    EXPECT_EQ(f.Replays.Last, "an older game");
    EXPECT_FALSE(f.Replays.LastIsCurrent) << "the table would take the older game as this one's";
    // The next game starts a recording of its own.
    rec.RaceStarting(f);
    EXPECT_TRUE(rec.Recording);
    EXPECT_FALSE(rec.Overflowed);
    rec.RaceFrame(f, 16);
    rec.GameEnding(f);
    EXPECT_TRUE(rec.Complete);
    EXPECT_EQ(rec.Last.FrameCount(), 1u);
    EXPECT_TRUE(f.Replays.LastIsCurrent);
  }
  cells.swap(f.Track.Cells);
}

// A high score from a game that kept no replay (its recording outgrew a replay) goes into the
// table without one: the last replay kept is an older game's, which has its own row and keeps
// it. Both ways a name goes in: Enter, and the window closed while it is being typed.
TEST(ReplayRecord, ANewEntryFromAGameThatKeptNoReplayGetsNone) {
  for (const bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "closed while typing" : "Enter");
    test::TGame g;
    TMForm& f = g.F();
    // The race under way ends on its last life with this score.
    const auto playToNameEntry = [&](int score) {
      g.Run("set Lives 1\nset RaceScore " + std::to_string(score) + "\nset RaceClock 100\n");
      for (int i = 0; i < 2000 && f.Menu.ActiveDialog != dialog::NameEntry; ++i)
        g.Run("frames 1\n");
      ASSERT_EQ(f.Menu.ActiveDialog, dialog::NameEntry);
      f.Dialog.PlayerName.clear();
    };
    const auto rowOf = [&](const std::string& name) {
      for (size_t i = 1; i <= 10; ++i)
        if (f.HighScores[i].Name == name) return i;
      return size_t{0};
    };
    g.Run("race 1\nframes 200\n");
    playToNameEntry(5000);
    ASSERT_TRUE(f.Replays.LastIsCurrent);
    const std::string older = f.Replays.Last;
    ASSERT_FALSE(older.empty());
    g.Run("type OLDER\npress Return\nframes 1\npress N\nframes 3\n");
    ASSERT_NE(rowOf("OLDER"), 0u);
    ASSERT_EQ(f.Replays.Table[rowOf("OLDER")], older);

    // The next game's recording takes more events than a replay holds, and is dropped.
    g.Run("race 2\nframes 200\n");
    replay::TRecorder& rec = g.Runner.Recorder;
    ASSERT_TRUE(rec.Recording);
    TInputEvent click;
    click.Type = TInputEvent::Click;
    for (uint32_t i = 0; i <= replay::MaxEvents; ++i) rec.RaceEvent(f, click);
    ASSERT_TRUE(rec.Overflowed);
    playToNameEntry(6000);
    ASSERT_FALSE(f.Replays.LastIsCurrent);
    ASSERT_EQ(f.Replays.Last, older) << "the older game's replay is still the last one kept";
    g.Run(closed ? "type NEWER\nterminate\nframes 1\n" : "type NEWER\npress Return\nframes 1\n");
    const size_t newer = rowOf("NEWER");
    ASSERT_NE(newer, 0u);
    EXPECT_EQ(f.HighScores[newer].Score, 6000);
    EXPECT_EQ(f.Replays.Table[newer], "") << "the new entry took the older game's replay";
    ASSERT_NE(rowOf("OLDER"), 0u);
    EXPECT_EQ(f.Replays.Table[rowOf("OLDER")], older);
    int withReplay = 0;
    for (size_t i = 1; i <= 10; ++i) withReplay += !f.Replays.Table[i].empty();
    EXPECT_EQ(withReplay, 1) << "one game played with a replay, one row with one";
  }
}

}  // namespace
}  // namespace zw
