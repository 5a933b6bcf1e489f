// Tests of watching replays: a game recorded by itself and kept with its table entry, chosen on
// the high-score table and watched to its end, leaving the saved files as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

}  // namespace
}  // namespace zw
