// Tests of watching replays: a game recorded by itself and kept with its table entry, chosen on
// the high-score table and watched to its end, leaving the saved files as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "packs/sound.hpp"
#include "save/saved_replays.hpp"
#include "shell/form.hpp"
#include "tests/scenario_support.hpp"

namespace zw {
namespace {

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every saved file, by name, with its bytes.
std::map<std::string, std::string> SavedFiles() {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator("Data/Save"))
    if (e.is_regular_file()) files[e.path().generic_string()] = ReadRaw(e.path().string());
  return files;
}

bool RunScript(TScriptRunner& r, const std::string& script) {
  std::string error;
  const int status = r.Run(script, error);
  EXPECT_EQ(status, 0) << error;
  return status == 0;
}

TEST(ReplayWatch, AGameIsKeptWithItsEntryAndWatchedToItsEndWithoutChangingTheSaves) {
  test::TRunDir dir;
  int32_t score = 0;
  {
    // A short game to a qualifying score (the tenth entry is lowered so that any score is),
    // quit through the exit question, a name typed: the table gets the game with its replay.
    TScriptRunner r;
    ASSERT_TRUE(RunScript(r, "seed 99\nrefresh 60\nframetime 16\nframes 1\n"));
    r.Form->HighScores[10].Score = -1;
    ASSERT_TRUE(RunScript(r, "race 3\npilot 900\npress Escape\nframes 5\npress Y\nframes 5\n"));
    ASSERT_TRUE(r.Form->Replays.LastIsCurrent);
    ASSERT_EQ(r.Form->Menu.ActiveDialog, dialog::NameEntry);
    score = r.Form->Race.RaceScore;
    ASSERT_TRUE(RunScript(r, "type ROSA\npress Return\nframes 3\npress N\nframes 3\nquit\n"));
  }
  const auto before = SavedFiles();
  ASSERT_TRUE(before.count("Data/Save/Replays/index"));
  TScriptRunner r;
  ASSERT_TRUE(RunScript(r, "refresh 60\nframetime 16\nframes 200\n"));
  int row = 0;
  for (int i = 1; i <= 10; ++i)
    if (r.Form->HighScores[static_cast<size_t>(i)].Name == "ROSA") row = i;
  ASSERT_NE(row, 0);
  EXPECT_EQ(r.Form->HighScores[static_cast<size_t>(row)].Score, score);
  ASSERT_FALSE(r.Form->Replays.Table[static_cast<size_t>(row)].empty());
  // Only the game just played has a replay: Up from the buttons chooses its row.
  r.Form->LeaveMainMenu();
  r.Form->ShowMenu(false, item::HighScores, true);
  r.Form->ShowHighScores();
  ASSERT_TRUE(RunScript(r, "frames 2\npress Up\nframes 1\n"));
  EXPECT_EQ(r.Form->Replays.ChosenRow, row);
  EXPECT_EQ(r.Form->Menu.MenuIndex, 0);
  ASSERT_TRUE(RunScript(r, "press Return\nframes 30\n"));
  ASSERT_TRUE(r.Watch.Watching());
  EXPECT_EQ(r.Form->Menu.CurrentScreen, screen::Race);
  // Pause holds the race; fast-forward runs four frames of it for each one shown.
  ASSERT_TRUE(RunScript(r, "press P\nframes 1\n"));
  const uint32_t paused = r.Watch.FramePlayed();
  ASSERT_TRUE(RunScript(r, "frames 20\n"));
  EXPECT_EQ(r.Watch.FramePlayed(), paused);
  ASSERT_TRUE(RunScript(r, "press P\npress F\nframes 1\n"));
  const uint32_t fast = r.Watch.FramePlayed();
  ASSERT_TRUE(RunScript(r, "frames 10\n"));
  EXPECT_NEAR(static_cast<double>(r.Watch.FramePlayed() - fast), 40.0, 2.0);
  // To the end: the game over qualifies again, but no name is asked and nothing is entered.
  for (int i = 0; i < 400 && r.Watch.Watching() && !r.Watch.Ended(); ++i)
    ASSERT_TRUE(RunScript(r, "frames 10\n"));
  ASSERT_TRUE(r.Watch.Ended());
  EXPECT_EQ(r.Watch.EndScore(), score) << "the watched race is the one ridden";
  ASSERT_TRUE(RunScript(r, "frames 200\n"));
  EXPECT_FALSE(r.Watch.Watching());
  EXPECT_EQ(r.Form->Menu.CurrentScreen, screen::HighScores);
  EXPECT_EQ(r.Form->Menu.ActiveDialog, dialog::None);
  ASSERT_TRUE(RunScript(r, "quit\n"));
  EXPECT_EQ(SavedFiles(), before) << "watching changed a saved file";
}

TEST(ReplayWatch, AReplayForOtherPacksOrAnotherVersionSaysSoInsteadOfRiding) {
  test::TRunDir dir;
  TScriptRunner r;
  ASSERT_TRUE(RunScript(r,
                        "seed 5\nframes 1\nrace 1\npilot 200\npress Escape\nframes 3\npress Y\n"
                        "frames 3\n"));
  ASSERT_TRUE(r.Recorder.Complete);
  replay::TReplay other = r.Recorder.Last;
  other.PackHash ^= 1;
  std::string why;
  ASSERT_TRUE(replay::WriteFile("other.zwr", other, why)) << why;
  replay::TReplay older = r.Recorder.Last;
  older.GameVersion = "0.9.0";
  ASSERT_TRUE(replay::WriteFile("older.zwr", older, why)) << why;
  std::ofstream("broken.zwr", std::ios::binary) << "ZWR but not really";
  struct TCase {
    const char* File;
    const char* Says;
  } cases[] = {{"other.zwr", "other tracks and pictures"},
               {"older.zwr", "Zap Wheely 0.9.0"},
               {"broken.zwr", "Not a replay"},
               {"missing.zwr", "cannot open"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    ASSERT_TRUE(RunScript(r, std::string("watch ") + c.File + "\nframes 2\n"));
    EXPECT_FALSE(r.Watch.Watching());
    EXPECT_EQ(r.Form->Menu.CurrentScreen, screen::HighScores);
    EXPECT_NE(r.Form->Replays.Note.find(c.Says), std::string::npos) << r.Form->Replays.Note;
  }
}

// A short game recorded on the runner (race, a few seconds, Esc and Yes), written to `path`.
void RecordShortGame(TScriptRunner& r, const std::string& path) {
  ASSERT_TRUE(RunScript(r,
                        "seed 99\nrefresh 60\nframetime 16\nframes 1\nrace 3\npilot 300\n"
                        "press Escape\nframes 5\npress Y\nframes 5\n"));
  ASSERT_TRUE(r.Recorder.Complete);
  std::string why;
  ASSERT_TRUE(replay::WriteFile(path, r.Recorder.Last, why)) << why;
}

// The looped sounds (the engine's hum) playing now.
std::set<std::string> LoopsPlaying(TScriptRunner& r) {
  std::set<std::string> playing;
  for (const auto& item : r.Form->MSoundList.Items) {
    if (!item->Looped) continue;
    for (int b : item->Buffers())
      if (r.Headless.Audio.BufferPlaying(b)) playing.insert(item->Name);
  }
  return playing;
}

// The player's controls while a replay runs and once it has ended (its last picture held):
// every key and pad control with what it does. Once ended, only leaving is left.
TEST(ReplayWatch, EveryControlOfThePlayerWhileTheReplayRunsAndOnceItHasEnded) {
  test::TRunDir dir;
  TScriptRunner r;
  RecordShortGame(r, "short.zwr");
  enum TEffect { Leave, Pause, PauseOnly, Fast, Nothing };
  struct TControl {
    const char* Send;
    TEffect Does;
  } controls[] = {
      {"press Escape", Leave},
      {"press P", Pause},
      {"press Space", Pause},
      {"press F", Fast},
      {"press Right", Fast},
      {"press Left", Nothing},
      {"press Up", Nothing},
      {"press Return", Nothing},
      {"press N", Nothing},
      {"padpress B", Leave},
      {"padpress Back", Leave},
      {"padpress A", Pause},
      {"padpress Start", Pause},
      {"padpress X", Fast},
      {"padpress DpadRight", Fast},
      {"padpress TriggerRight", Fast},
      {"padpress StickRight", Fast},
      {"padpress Y", Nothing},
      {"padpress DpadLeft", Nothing},
      {"padpress TriggerLeft", Nothing},
      {"padpress StickLeft", Nothing},
      {"click\nframes 1", Pause},
      {"mouse 400 300\nframes 1", Nothing},
      {"type P\nframes 1", Nothing},
      {"minimise\nframes 1", PauseOnly},
      {"close\nframes 1", Leave},
  };
  TMForm& f = *r.Form;
  for (const TControl& c : controls) {
    SCOPED_TRACE(c.Send);
    // While it runs.
    ASSERT_TRUE(RunScript(r, "frametime 16\nwatch short.zwr\nframes 3\n"));
    ASSERT_TRUE(r.Watch.Watching());
    ASSERT_TRUE(RunScript(r, std::string(c.Send) + "\n"));
    const uint32_t at = r.Watch.FramePlayed();
    ASSERT_TRUE(RunScript(r, "frames 5\n"));
    const uint32_t moved = r.Watch.FramePlayed() - at;
    switch (c.Does) {
      case Leave:
        EXPECT_FALSE(r.Watch.Watching());
        EXPECT_EQ(f.Menu.CurrentScreen, screen::HighScores);
        EXPECT_EQ(f.Menu.ActiveDialog, dialog::None);
        EXPECT_FALSE(f.Terminated);
        break;
      case Pause:
      case PauseOnly:
        EXPECT_TRUE(r.Watch.Paused);
        EXPECT_EQ(moved, 0u);
        // Again: a pause goes on, a window minimised again stays paused.
        ASSERT_TRUE(RunScript(r, std::string(c.Send) + "\nframes 5\n"));
        EXPECT_EQ(r.Watch.Paused, c.Does == PauseOnly);
        EXPECT_EQ(r.Watch.FramePlayed() != at, c.Does == Pause);
        break;
      case Fast:
        EXPECT_EQ(r.Watch.Speed, 4);
        EXPECT_GE(moved, 16u);
        ASSERT_TRUE(RunScript(r, std::string(c.Send) + "\n"));
        EXPECT_EQ(r.Watch.Speed, 1) << "again: back to the race's own pace";
        break;
      case Nothing:
        EXPECT_TRUE(r.Watch.Watching());
        EXPECT_FALSE(r.Watch.Paused);
        EXPECT_EQ(r.Watch.Speed, 1);
        EXPECT_EQ(moved, 5u);
        break;
    }
    if (r.Watch.Watching()) {
      ASSERT_TRUE(RunScript(r, "press Escape\nframes 1\n"));
    }
    ASSERT_FALSE(r.Watch.Watching());
    // Once it has ended: the last picture stays for a while (long frames reach it quickly).
    ASSERT_TRUE(RunScript(r, "frametime 250\nwatch short.zwr\n"));
    for (int i = 0; i < 100 && !r.Watch.Ended(); ++i) ASSERT_TRUE(RunScript(r, "frames 1\n"));
    ASSERT_TRUE(r.Watch.Ended());
    ASSERT_TRUE(RunScript(r, std::string(c.Send) + "\n"));
    if (c.Does == Leave) {
      EXPECT_FALSE(r.Watch.Watching());
      EXPECT_EQ(f.Menu.CurrentScreen, screen::HighScores);
    } else {
      EXPECT_TRUE(r.Watch.Ended()) << "nothing but leaving is left once it has ended";
      EXPECT_FALSE(r.Watch.Paused);
      EXPECT_EQ(r.Watch.Speed, 1);
    }
    for (int i = 0; i < 100 && r.Watch.Watching(); ++i) ASSERT_TRUE(RunScript(r, "frames 1\n"));
    ASSERT_FALSE(r.Watch.Watching());
    EXPECT_EQ(f.Menu.CurrentScreen, screen::HighScores);
  }
  // The session's end while watching: the game ends as it would anywhere else.
  ASSERT_TRUE(RunScript(r, "frametime 16\nwatch short.zwr\nframes 3\nterminate\nframes 1\n"));
  EXPECT_FALSE(r.Watch.Watching());
  EXPECT_TRUE(f.Terminated);
}

// A replay paused by the pad's A holds its frame and its picture, its engine stops humming, and
// both go on where they were when it is paused again.
TEST(ReplayWatch, APausedReplayHoldsItsFrameAndItsEngineIsSilentUntilItGoesOn) {
  test::TRunDir dir;
  TScriptRunner r;
  RecordShortGame(r, "short.zwr");
  ASSERT_TRUE(RunScript(r, "watch short.zwr\nframes 220\n"));
  ASSERT_TRUE(r.Watch.Watching());
  const std::set<std::string> humming = LoopsPlaying(r);
  ASSERT_FALSE(humming.empty()) << "the race should have its engine running by now";
  ASSERT_TRUE(RunScript(r, "padpress A\n"));
  ASSERT_TRUE(r.Watch.Paused);
  const uint32_t at = r.Watch.FramePlayed();
  const std::vector<uint16_t> picture = r.Form->MDisplay.Pixels;
  ASSERT_TRUE(RunScript(r, "frames 30\n"));
  EXPECT_EQ(r.Watch.FramePlayed(), at);
  EXPECT_EQ(r.Form->MDisplay.Pixels, picture);
  EXPECT_EQ(LoopsPlaying(r), std::set<std::string>{});
  ASSERT_TRUE(RunScript(r, "padpress A\n"));
  EXPECT_FALSE(r.Watch.Paused);
  EXPECT_EQ(LoopsPlaying(r), humming);
  ASSERT_TRUE(RunScript(r, "frames 5\n"));
  EXPECT_GT(r.Watch.FramePlayed(), at);
  // Left while paused: the loops the pause stopped are not started again over the table.
  ASSERT_TRUE(RunScript(r, "click\nframes 2\npadpress B\nframes 2\n"));
  EXPECT_FALSE(r.Watch.Watching());
  EXPECT_EQ(LoopsPlaying(r), std::set<std::string>{});
}

// The dark band behind the REPLAY mark halves every channel of the picture under it on its own:
// worked out here channel by channel (red 5 bits, green 6, blue 5) from the picture the replay
// left, painted twice with colours whose lowest bit is set in every channel, where a halving
// that let one channel's low bit fall into the next would show. The mark's letters (and their
// soft edges) are left out by their box; the rest of the screen stays as it was.
TEST(ReplayWatch, TheBandBehindTheMarkHalvesEachChannelOfThePictureOnItsOwn) {
  test::TRunDir dir;
  TScriptRunner r;
  RecordShortGame(r, "short.zwr");
  ASSERT_TRUE(RunScript(r, "watch short.zwr\nframes 60\npress P\nframes 1\n"));
  ASSERT_TRUE(r.Watch.Watching());
  ASSERT_TRUE(r.Watch.Paused);
  const auto paint = [](int x, int y, int shift) {
    const int red = 2 * ((x + y + shift) % 16) + 1;
    const int green = 2 * ((3 * x + y + shift) % 32) + 1;
    const int blue = 2 * ((x + 2 * y + shift) % 16) + 1;
    return static_cast<uint16_t>(red << 11 | green << 5 | blue);
  };
  const auto half = [](uint16_t c) {
    const int red = (c >> 11) / 2, green = ((c >> 5) & 63) / 2, blue = (c & 31) / 2;
    return static_cast<uint16_t>(red << 11 | green << 5 | blue);
  };
  std::vector<uint16_t> under[2], shown[2];
  for (int k = 0; k < 2; ++k) {
    TSurface& picture = r.Watch.Picture;
    for (int y = 0; y < picture.Height; ++y)
      for (int x = 0; x < picture.Width; ++x) picture.Row(y)[x] = paint(x, y, 5 * k);
    under[k] = picture.Pixels;
    ASSERT_TRUE(RunScript(r, "frames 1\n"));
    shown[k] = r.Form->MDisplay.Pixels;
  }
  ASSERT_EQ(half(0xFFFF), 0x7BEF);
  // The mark's box with a margin for its edges, and the line under the band that says PAUSED.
  r.Form->SelectFont(font::Banner);
  const int w = r.Form->TextWidth("REPLAY") / 2 + 6, h = r.Form->TextHeight("REPLAY") / 2 + 6;
  ASSERT_LT(w, 90) << "the mark leaves no band beside it to check";
  int band = 0, letters = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const size_t i = static_cast<size_t>(y) * 800 + static_cast<size_t>(x);
      const bool mark = std::abs(x - 400) < w && std::abs(y - 26) < h;
      const bool state = y >= 44 && y < 80 && x >= 300 && x < 500;
      if (mark || state) {
        letters += shown[0][i] == shown[1][i];
        continue;
      }
      const bool inBand = y >= 8 && y < 44 && x >= 300 && x < 500;
      band += inBand;
      for (int k = 0; k < 2; ++k) {
        const uint16_t want = inBand ? half(under[k][i]) : under[k][i];
        ASSERT_EQ(shown[k][i], want) << x << "," << y << " under " << under[k][i];
      }
    }
  }
  EXPECT_GT(letters, 100) << "no REPLAY mark over the band";
  EXPECT_GT(band, 1000);
}

}  // namespace
}  // namespace zw
