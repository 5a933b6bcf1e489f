// Tests of the saved files: options, the high-score table, its check string and the sort.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "save/save_files.hpp"
#include "save/saved_replays.hpp"
#include "save/saved_state.hpp"
#include "shell/form.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

void WriteRaw(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SaveOptions, MissingFileGivesTheDefaultsAndResetsTheTable) {
  test::TRunDir dir;
  test::TFormFixture f;
  TMForm& form = *f.Form;
  // A table on disk without an options file fails the check and is replaced.
  std::string hs;
  for (int i = 1; i <= 10; ++i)
    hs += "PLAYER" + std::to_string(i) + "\r\n" + std::to_string(500 - i) + "\r\n";
  WriteRaw("Data/Save/hs", hs);
  LoadSavedState(form);
  EXPECT_FALSE(form.GameOptions.FullScreen);
  EXPECT_TRUE(form.GameOptions.Music);
  EXPECT_TRUE(form.GameOptions.Sound);
  EXPECT_EQ(form.GameOptions.Country, "_______");
  EXPECT_EQ(form.Keys.BossKeyShift, 2);
  EXPECT_EQ(form.Keys.BossKey, 120);
  EXPECT_EQ(form.HighScores[1].Name, "ANONYMOUS");
  EXPECT_EQ(form.HighScores[1].Score, 10000);
  EXPECT_EQ(form.HighScores[10].Score, 1000);
}

TEST(SaveOptions, ValuesAreReadAndWrittenAsStored) {
  test::TRunDir dir;
  test::TFormFixture f;
  TMForm& form = *f.Form;
  WriteRaw("Data/Save/options", "7\r\n0\r\n1\r\nNorway\r\n9\r\n12\r\n\r\n");
  LoadOptions(form);
  EXPECT_TRUE(form.GameOptions.FullScreen);
  EXPECT_FALSE(form.GameOptions.Music);
  EXPECT_EQ(form.GameOptions.Country, "Norway");
  EXPECT_EQ(form.Keys.BossKeyShift, 0);  // 9 is no modifier
  EXPECT_EQ(form.Keys.BossKey, 123);
  form.Keys.BossKeyShift = mod::Ctrl;
  SaveOptions(form);
  const std::string text = ReadRaw("Data/Save/options");
  EXPECT_EQ(text.substr(0, 22), "1\r\n0\r\n1\r\nNorway\r\n2\r\n12");
}

TEST(SaveOptions, ADamagedFileKeepsDefaultsForWhatCannotBeRead) {
  test::TRunDir dir;
  test::TFormFixture f;
  WriteRaw("Data/Save/options", "x\r\n0\r\n");
  LoadOptions(*f.Form);
  EXPECT_FALSE(f.Form->GameOptions.FullScreen);
  EXPECT_FALSE(f.Form->GameOptions.Music);
  EXPECT_TRUE(f.Form->GameOptions.Sound);
  EXPECT_EQ(f.Form->Keys.BossKey, 120);
}

TEST(SaveHighScores, ARoundTripKeepsTheTableAndPassesTheCheck) {
  test::TRunDir dir;
  {
    test::TFormFixture f;
    TMForm& form = *f.Form;
    ResetHighScores(form);
    form.HighScores[3] = {"Wheelie Wanda", 8500};
    SaveSavedState(form);
  }
  test::TFormFixture g;
  LoadSavedState(*g.Form);
  EXPECT_EQ(g.Form->HighScores[3].Name, "Wheelie Wanda");
  EXPECT_EQ(g.Form->HighScores[3].Score, 8500);
  EXPECT_TRUE(HighScoreCheckValid(*g.Form));
  // Editing the table outside the game fails the check next time.
  std::string hs = ReadRaw("Data/Save/hs");
  hs.replace(hs.find("8500"), 4, "9999");
  WriteRaw("Data/Save/hs", hs);
  test::TFormFixture h;
  LoadSavedState(*h.Form);
  EXPECT_EQ(h.Form->HighScores[3].Name, "ANONYMOUS");
}

TEST(SaveHighScores, TheCheckStringMixesNamesAndScores) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  for (int i = 1; i <= 10; ++i) form.HighScores[static_cast<size_t>(i)] = {"", 0};
  EXPECT_EQ(ComputeHighScoreCheck(form), "");
  form.HighScores[1] = {"a", 1};
  // ' ' + 'a' -> 161, then 161 + '1' -> 242; the other entries' "0" scores mix in after.
  std::string s(1, ' ');
  auto mix = [&](char c) {
    s[0] = static_cast<char>(
        (static_cast<unsigned char>(s[0]) + static_cast<unsigned char>(c)) % 224 + 32);
  };
  mix('a');
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 161);
  mix('1');
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 242);
  for (int i = 2; i <= 10; ++i) mix('0');
  EXPECT_EQ(ComputeHighScoreCheck(form), s);
}

TEST(SaveHighScores, ANewScoreTakesItsPlaceBelowItsEquals) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  ResetHighScores(form);
  form.Race.RaceScore = 1000;
  EXPECT_FALSE(ScoreQualifies(form));
  form.Race.RaceScore = 1001;
  EXPECT_TRUE(ScoreQualifies(form));
  // The default table is 10000, 9000, ... 1000; a new score comes in at place 11 and sorts up
  // past every lower score but stays below an equal one.
  struct TCase {
    int32_t Score;
    int Place;
  } cases[] = {{99999, 1}, {10001, 1}, {10000, 2}, {9500, 2}, {5000, 7}, {4999, 7}, {1001, 10}};
  for (const TCase& c : cases) {
    ResetHighScores(form);
    form.HighScores[11] = {"NEW", c.Score};
    SortHighScores(form);
    for (int i = 1; i <= 11; ++i) {
      if (i == c.Place) {
        EXPECT_EQ(form.HighScores[static_cast<size_t>(i)].Name, "NEW") << c.Score;
        EXPECT_EQ(form.HighScores[static_cast<size_t>(i)].Score, c.Score);
      } else {
        EXPECT_EQ(form.HighScores[static_cast<size_t>(i)].Name, "ANONYMOUS") << c.Score << " " << i;
      }
      if (i > 1) {
        EXPECT_GE(form.HighScores[static_cast<size_t>(i - 1)].Score,
                  form.HighScores[static_cast<size_t>(i)].Score);
      }
    }
  }
}

TEST(SaveHighScores, LongNamesAreReadWholeAndDamagedTablesFallBack) {
  test::TRunDir dir;
  std::string hs;
  for (int i = 1; i <= 10; ++i)
    hs += (i == 2 ? std::string("A name far longer than twelve") : "N" + std::to_string(i)) +
          "\r\n" + std::to_string(1000 - i) + "\r\n";
  WriteRaw("Data/Save/hs", hs);
  test::TFormFixture f;
  LoadHighScores(*f.Form);
  EXPECT_EQ(f.Form->HighScores[2].Name, "A name far longer than twelve");
  EXPECT_EQ(ComputeHighScoreCheck(*f.Form).size(), 29u);
  // A score that is not a number: the whole table falls back to the defaults.
  WriteRaw("Data/Save/hs", "ACE\r\nlots\r\n");
  LoadHighScores(*f.Form);
  EXPECT_EQ(f.Form->HighScores[1].Name, "ANONYMOUS");
  EXPECT_EQ(f.Form->HighScores[1].Score, 10000);
}

// Real file operations, except that operation number FailAt (counted from 1) fails or, in stop
// mode, stops the process there: a write is cut off half-way and nothing after it runs.
class TFaultyFileOps : public IFileOps {
 public:
  struct TStopped {};
  enum Mode { FailOne, FailFromThere, Stop };
  TFaultyFileOps(int failAt, Mode mode) : FailAt(failAt), How(mode) {}
  int Count = 0;
  bool Hit = false;
  bool WriteFile(const std::string& path, const std::string& bytes) override {
    if (Fault()) {
      if (How == Stop) {
        WriteRaw(path, bytes.substr(0, bytes.size() / 2));
        throw TStopped{};
      }
      return false;
    }
    return RealFileOps().WriteFile(path, bytes);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    return Fault() ? Refuse() : RealFileOps().Rename(from, to);
  }
  bool Remove(const std::string& path) override {
    return Fault() ? Refuse() : RealFileOps().Remove(path);
  }
  bool Exists(const std::string& path) override { return RealFileOps().Exists(path); }

 private:
  int FailAt;
  Mode How;
  bool Fault() {
    ++Count;
    const bool fault = How == FailFromThere ? Count >= FailAt : Count == FailAt;
    Hit = Hit || fault;
    return fault;
  }
  bool Refuse() {
    if (How == Stop) throw TStopped{};
    return false;
  }
};

// A table and options that tell the saves apart: every entry carries the tag in its name.
void FillState(TMForm& form, const std::string& tag, int32_t top) {
  for (int i = 1; i <= 10; ++i)
    form.HighScores[static_cast<size_t>(i)] = {tag + std::to_string(i), top - 100 * i};
  form.GameOptions.Country = tag + "land";
}

// "old", "new", or what else the start found.
std::string WhichPair(TMForm& form) {
  const std::string c = form.GameOptions.Country;
  for (const std::string tag : {"old", "new"}) {
    if (c != tag + "land") continue;
    bool same = true;
    for (int i = 1; i <= 10; ++i)
      same = same && form.HighScores[static_cast<size_t>(i)].Name == tag + std::to_string(i);
    return same ? tag : "a " + tag + " country with another table";
  }
  return "country " + c + ", first entry " + form.HighScores[1].Name;
}

TEST(SavePair, AnExitStoppedOrFailedAtAnyFileOperationKeepsTheOldOrTheNewPair) {
  for (const auto mode :
       {TFaultyFileOps::FailOne, TFaultyFileOps::FailFromThere, TFaultyFileOps::Stop}) {
    bool reachedTheEnd = false;
    for (int failAt = 1; failAt <= 20 && !reachedTheEnd; ++failAt) {
      SCOPED_TRACE("mode " + std::to_string(mode) + ", operation " + std::to_string(failAt));
      test::TRunDir dir;
      {
        test::TFormFixture old;
        FillState(*old.Form, "old", 5000);
        ASSERT_TRUE(SaveSavedState(*old.Form));
      }
      TFaultyFileOps ops(failAt, mode);
      {
        test::TFormFixture f;
        LoadSavedState(*f.Form);
        ASSERT_EQ(WhichPair(*f.Form), "old");
        FillState(*f.Form, "new", 9000);
        f.Form->SaveFileOps = &ops;
        try {
          f.Form->Shutdown();
          EXPECT_TRUE(f.Form->Terminated);
        } catch (const TFaultyFileOps::TStopped&) {
        }
      }
      reachedTheEnd = !ops.Hit;
      // The next start, on the real files.
      test::TFormFixture next;
      LoadSavedState(*next.Form);
      const std::string found = WhichPair(*next.Form);
      EXPECT_TRUE(found == "old" || found == "new") << found;
      if (reachedTheEnd) {
        EXPECT_EQ(found, "new");
      }
      EXPECT_TRUE(HighScoreCheckValid(*next.Form));
      // And the start after that still agrees, with nothing left over beside the pair.
      test::TFormFixture again;
      LoadSavedState(*again.Form);
      EXPECT_EQ(WhichPair(*again.Form), found);
      EXPECT_FALSE(std::filesystem::exists("Data/Save/saving"));
      EXPECT_FALSE(std::filesystem::exists("Data/Save/hs.new"));
      EXPECT_FALSE(std::filesystem::exists("Data/Save/options.new"));
    }
    EXPECT_TRUE(reachedTheEnd) << "the save never got past its faults";
  }
}

TEST(SavePair, ACompletedPairThatCouldNotBeRenamedIsReadFromItsNewFiles) {
  test::TRunDir dir;
  {
    test::TFormFixture old;
    FillState(*old.Form, "old", 5000);
    ASSERT_TRUE(SaveSavedState(*old.Form));
  }
  // Every rename refused from the first one on (after the options, the table, the replays'
  // index and the marker are written), at the exit and at the next start alike.
  TFaultyFileOps ops(5, TFaultyFileOps::FailFromThere);
  test::TFormFixture f;
  FillState(*f.Form, "new", 9000);
  f.Form->SaveFileOps = &ops;
  EXPECT_FALSE(SaveSavedState(*f.Form));
  test::TFormFixture next;
  next.Form->SaveFileOps = &ops;
  LoadSavedState(*next.Form);
  EXPECT_EQ(WhichPair(*next.Form), "new");
}

// The replays kept with a table: entries 1, 3, 5, 7 and 9 of the old one have one, and so does
// its last game; the new table keeps the old third replay's bytes (the same file) for its first
// entry, has new ones for entries 2 and 4, none elsewhere, and another last game.
std::string OldReplay(int i) {
  return i % 2 == 1 ? "old replay " + std::to_string(i) : "";
}
std::string NewReplay(int i) {
  return i == 1 ? OldReplay(3) : (i == 2 || i == 4) ? "new replay " + std::to_string(i) : "";
}

void FillReplays(TMForm& form, const std::string& tag) {
  for (int i = 1; i <= 10; ++i)
    form.Replays.Table[static_cast<size_t>(i)] = tag == "old" ? OldReplay(i) : NewReplay(i);
  form.Replays.Last = tag + " last game";
}

// The replays the start found agree with the set it found, and the folder holds just those.
void ExpectReplaysOf(TMForm& form, const std::string& tag) {
  std::set<std::string> files = {"index"};
  for (int i = 1; i <= 10; ++i) {
    const std::string want = tag == "old" ? OldReplay(i) : NewReplay(i);
    EXPECT_EQ(form.Replays.Table[static_cast<size_t>(i)], want) << tag << " entry " << i;
    if (!want.empty()) files.insert(ReplayFileName(want));
  }
  EXPECT_EQ(form.Replays.Last, tag + " last game");
  files.insert(ReplayFileName(tag + " last game"));
  std::set<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(ReplayFolder()))
    found.insert(e.path().filename().string());
  EXPECT_EQ(found, files) << tag;
}

TEST(SavePair, TheKeptReplaysAreSavedInOneUnitWithTheTableWhereverTheSaveStops) {
  for (const auto mode :
       {TFaultyFileOps::FailOne, TFaultyFileOps::FailFromThere, TFaultyFileOps::Stop}) {
    bool reachedTheEnd = false;
    for (int failAt = 1; failAt <= 40 && !reachedTheEnd; ++failAt) {
      SCOPED_TRACE("mode " + std::to_string(mode) + ", operation " + std::to_string(failAt));
      test::TRunDir dir;
      {
        test::TFormFixture old;
        FillState(*old.Form, "old", 5000);
        FillReplays(*old.Form, "old");
        ASSERT_TRUE(SaveSavedState(*old.Form));
      }
      TFaultyFileOps ops(failAt, mode);
      {
        test::TFormFixture f;
        LoadSavedState(*f.Form);
        ASSERT_EQ(WhichPair(*f.Form), "old");
        ExpectReplaysOf(*f.Form, "old");
        FillState(*f.Form, "new", 9000);
        FillReplays(*f.Form, "new");
        f.Form->SaveFileOps = &ops;
        try {
          f.Form->Shutdown();
        } catch (const TFaultyFileOps::TStopped&) {
        }
      }
      reachedTheEnd = !ops.Hit;
      test::TFormFixture next;
      LoadSavedState(*next.Form);
      const std::string found = WhichPair(*next.Form);
      ASSERT_TRUE(found == "old" || found == "new") << found;
      if (reachedTheEnd) {
        EXPECT_EQ(found, "new");
      }
      // Never a table that points at a missing replay, never a replay left of an entry gone.
      ExpectReplaysOf(*next.Form, found);
      EXPECT_FALSE(std::filesystem::exists("Data/Save/saving"));
    }
    EXPECT_TRUE(reachedTheEnd) << "the save never got past its faults";
  }
}

TEST(SavePair, AReplayLinkHoldsOnlyForItsEntryAndItsUnalteredFile) {
  test::TRunDir dir;
  {
    test::TFormFixture f;
    FillState(*f.Form, "old", 5000);
    FillReplays(*f.Form, "old");
    // A new result sorted in: its replay goes with it, the tenth entry's replay drops out.
    f.Form->HighScores[11] = {"fast", 4750};
    f.Form->Replays.Table[11] = "the fast game";
    SortHighScores(*f.Form);
    EXPECT_EQ(f.Form->Replays.Table[3], "the fast game");
    EXPECT_EQ(f.Form->Replays.Table[4], OldReplay(3));
    EXPECT_EQ(f.Form->Replays.Table[10], OldReplay(9));
    ASSERT_TRUE(SaveSavedState(*f.Form));
  }
  // One kept file altered on the disk: its entry has no replay any more, the rest keep theirs.
  const std::string altered = ReplayFolder() + "/" + ReplayFileName(OldReplay(5));
  WriteRaw(altered, "something else");
  test::TFormFixture f;
  LoadSavedState(*f.Form);
  EXPECT_EQ(f.Form->Replays.Table[3], "the fast game");
  EXPECT_EQ(f.Form->Replays.Table[6], "");
  EXPECT_EQ(f.Form->Replays.Table[8], OldReplay(7));
  EXPECT_FALSE(std::filesystem::exists(altered)) << "a file nothing names is not kept";
  // Clearing the table takes its replays; the last game's stays.
  ResetHighScores(*f.Form);
  ASSERT_TRUE(SaveSavedState(*f.Form));
  size_t left = 0;
  for (const auto& e : std::filesystem::directory_iterator(ReplayFolder()))
    left += e.path().extension() == ".zwr";
  EXPECT_EQ(left, 1u);
}

// A kept replay belongs to one entry, known by its name and its score together: an index whose
// rows do not match the table (two players of equal score in each other's rows, a score that is
// not the entry's) links no replay to an entry not its own; matching rows keep theirs, names
// with spaces included.
TEST(SavePair, AReplayLinkNeedsItsEntrysNameAndScoreBoth) {
  test::TRunDir dir;
  {
    test::TFormFixture f;
    FillState(*f.Form, "old", 5000);
    f.Form->HighScores[5].Score = f.Form->HighScores[4].Score;  // old4 and old5 share 4600
    f.Form->HighScores[8].Name = "old 8 rider";
    for (int i = 1; i <= 10; ++i)
      f.Form->Replays.Table[static_cast<size_t>(i)] = "the ride of row " + std::to_string(i);
    ASSERT_TRUE(SaveSavedState(*f.Form));
  }
  // Rows 4 and 5 trade places in the index, and row 7's score is one point off.
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadLines(ReplayIndexPath(), lines));
  int changed = 0;
  for (std::string& l : lines) {
    if (l.rfind("4 ", 0) == 0 || l.rfind("5 ", 0) == 0) {
      l[0] = l[0] == '4' ? '5' : '4';
      ++changed;
    } else if (l.rfind("7 4300 ", 0) == 0) {
      l.replace(0, 6, "7 4301");
      ++changed;
    }
  }
  ASSERT_EQ(changed, 3);
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  WriteRaw(ReplayIndexPath(), text);
  test::TFormFixture f;
  LoadSavedState(*f.Form);
  for (int i = 1; i <= 10; ++i) {
    const bool linked = i != 4 && i != 5 && i != 7;
    EXPECT_EQ(f.Form->Replays.Table[static_cast<size_t>(i)],
              linked ? "the ride of row " + std::to_string(i) : "")
        << "entry " << i << " " << f.Form->HighScores[static_cast<size_t>(i)].Name;
  }
}

TEST(SaveFiles, WritingReplacesTheFileWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no folder flush: its renames write through instead";
#endif
  test::TRunDir dir;
  std::vector<std::string> trace;
  auto ops = TracedRealFileOps(trace);
  ASSERT_TRUE(WriteLinesAtomically("Data/Save/x", {"a", "b"}, *ops));
  EXPECT_EQ(ReadRaw("Data/Save/x"), "a\r\nb\r\n");
  EXPECT_FALSE(std::filesystem::exists("Data/Save/x.tmp"));
  // The bytes reach the disk before the rename makes them the file, and the folder entry after.
  ASSERT_EQ(trace.size(), 5u);
  EXPECT_EQ(trace[0].rfind("write Data/Save/x", 0), 0u);
  EXPECT_EQ(trace[1], "fsync " + trace[0].substr(6));
  EXPECT_EQ(trace[2], "fsync-dir Data/Save");
  EXPECT_EQ(trace[3], "rename " + trace[0].substr(6) + " Data/Save/x");
  EXPECT_EQ(trace[4], "fsync-dir Data/Save");
  long long v = 0;
  EXPECT_TRUE(ParseLeadingInt("  -42 rest", v));
  EXPECT_EQ(v, -42);
  EXPECT_FALSE(ParseLeadingInt("abc", v));
  EXPECT_FALSE(ParseLeadingInt("99999999999", v));
}

TEST(SavePair, EveryFileIsOnTheDiskBeforeTheMarkerAndTheMarkerBeforeAnyRename) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no folder flush: its renames write through instead";
#endif
  test::TRunDir dir;
  std::vector<std::string> trace;
  auto ops = TracedRealFileOps(trace);
  ASSERT_TRUE(SaveFileSet({{"Data/Save/a", {"1"}}, {"Data/Save/b", {"2"}}}, "Data/Save/m", *ops));
  const std::vector<std::string> want = {
      "write Data/Save/a.new", "fsync Data/Save/a.new",
      "fsync-dir Data/Save",   "write Data/Save/b.new",
      "fsync Data/Save/b.new", "fsync-dir Data/Save",
      "write Data/Save/m",     "fsync Data/Save/m",
      "fsync-dir Data/Save",   "rename Data/Save/a.new Data/Save/a",
      "fsync-dir Data/Save",   "rename Data/Save/b.new Data/Save/b",
      "fsync-dir Data/Save"};
  EXPECT_EQ(trace, want);
  EXPECT_FALSE(std::filesystem::exists("Data/Save/m"));
  EXPECT_EQ(ReadRaw("Data/Save/b"), "2\r\n");
}

}  // namespace
}  // namespace zw
