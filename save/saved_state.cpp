// The options file and the high-score file with its check string.
#include "save/save_files.hpp"
#include "save/saved_replays.hpp"
#include "shell/form.hpp"

namespace zw {

namespace {
// In the save folder (Data/Save of the run-time folder, or where the platform puts saves).
std::string OptionsPath() {
  return SaveFolder() + "/options";
}
std::string HighScorePath() {
  return SaveFolder() + "/hs";
}
// Present while a saved pair is complete in its new files but not yet renamed into place.
std::string PairMarker() {
  return SaveFolder() + "/saving";
}
}  // namespace

IFileOps& TMForm::FileOps() {
  return SaveFileOps ? *SaveFileOps : RealFileOps();
}

void TMForm::LoadSavedState() {
  // The options carry the table's check string, so the two files only make sense together: an
  // exit stopped half-way is finished or undone before either is read.
  // The kept replays belong to the same unit: their index names the entries they go with.
  std::vector<std::string> members = {OptionsPath(), HighScorePath(), ReplayIndexPath()};
  for (const std::string& p : PendingReplayPaths()) members.push_back(p);
  RecoverFileSet(members, PairMarker(), FileOps());
  LoadHighScores();
  LoadOptions();
  if (!HighScoreCheckValid()) ResetHighScores();
  LoadReplays(*this, PairMarker(), FileOps());
  // Replays of entries gone from the table (an earlier save cut off before its clean-up).
  if (!FileOps().Exists(PairMarker())) RemoveUnlistedReplays(*this, FileOps());
}

bool TMForm::SaveSavedState() {
  std::vector<TSavedFile> files = {{OptionsPath(), OptionsLines()},
                                   {HighScorePath(), HighScoreLines()}};
  AddReplayMembers(*this, files, FileOps());
  if (!SaveFileSet(files, PairMarker(), FileOps())) return false;
  // Only once the new table is in place may the replays of entries that fell out go.
  RemoveUnlistedReplays(*this, FileOps());
  return true;
}

void TMForm::SetDefaultOptions() {
  GameOptions.FullScreen = false;
  GameOptions.Music = true;
  GameOptions.Sound = true;
  GameOptions.Country = CountryPlaceholder;
  Keys.BossKeyShift = DefaultBossKeyShift;
  Keys.BossKey = DefaultBossKey;
}

void TMForm::LoadOptions() {
  std::vector<std::string> lines;
  const std::string path = FileSetMember(OptionsPath(), PairMarker(), FileOps());
  if (!FileExists(path) || !ReadLines(path, lines)) {
    SetDefaultOptions();
    return;
  }
  // A short or damaged file keeps the defaults for whatever cannot be read.
  SetDefaultOptions();
  long long v = 0;
  auto line = [&](size_t n) -> const std::string* {
    return n <= lines.size() ? &lines[n - 1] : nullptr;
  };
  if (auto* l = line(1); l && ParseLeadingInt(*l, v)) GameOptions.FullScreen = v != 0;
  if (auto* l = line(2); l && ParseLeadingInt(*l, v)) GameOptions.Music = v != 0;
  if (auto* l = line(3); l && ParseLeadingInt(*l, v)) GameOptions.Sound = v != 0;
  if (auto* l = line(4)) GameOptions.Country = *l;
  if (auto* l = line(5); l && ParseLeadingInt(*l, v))
    Keys.BossKeyShift = v == 1 ? mod::Alt : v == 2 ? mod::Ctrl : v == 3 ? mod::Shift : 0;
  if (auto* l = line(6); l && ParseLeadingInt(*l, v))
    Keys.BossKey = (v >= 1 && v <= 12) ? static_cast<uint16_t>(vk::F1 - 1 + v) : 0;
  if (auto* l = line(7)) HighScoreCheck = *l;
}

std::vector<std::string> TMForm::OptionsLines() const {
  const uint8_t m = Keys.BossKeyShift;
  const char* modifier = (m & mod::Alt)     ? "1"
                         : (m & mod::Ctrl)  ? "2"
                         : (m & mod::Shift) ? "3"
                                            : "0";
  const int key =
      (Keys.BossKey >= vk::F1 && Keys.BossKey <= vk::F12) ? Keys.BossKey - (vk::F1 - 1) : 0;
  return {GameOptions.FullScreen ? "1" : "0",
          GameOptions.Music ? "1" : "0",
          GameOptions.Sound ? "1" : "0",
          GameOptions.Country,
          modifier,
          std::to_string(key),
          ComputeHighScoreCheck()};
}

void TMForm::SaveOptions() {
  WriteLinesAtomically(OptionsPath(), OptionsLines(), FileOps());
}

void TMForm::ResetHighScores() {
  for (int i = 1; i <= 10; ++i) {
    HighScores[static_cast<size_t>(i)].Name = UnnamedPlayer;
    HighScores[static_cast<size_t>(i)].Score = 10000 - 1000 * (i - 1);
    Replays.Table[static_cast<size_t>(i)].clear();
  }
}

void TMForm::LoadHighScores() {
  std::vector<std::string> lines;
  const std::string path = FileSetMember(HighScorePath(), PairMarker(), FileOps());
  if (!FileExists(path) || !ReadLines(path, lines) || lines.size() < 20) {
    ResetHighScores();
    return;
  }
  // Every score must read as a number, or the whole table falls back to the defaults.
  std::array<THighScore, 12> read = HighScores;
  for (int i = 1; i <= 10; ++i) {
    long long v = 0;
    if (!ParseLeadingInt(lines[static_cast<size_t>(2 * i - 1)], v)) {
      ResetHighScores();
      return;
    }
    read[static_cast<size_t>(i)].Name = lines[static_cast<size_t>(2 * i - 2)];
    read[static_cast<size_t>(i)].Score = static_cast<int32_t>(v);
  }
  HighScores = read;
}

std::vector<std::string> TMForm::HighScoreLines() const {
  std::vector<std::string> lines;
  for (int i = 1; i <= 10; ++i) {
    lines.push_back(HighScores[static_cast<size_t>(i)].Name);
    lines.push_back(std::to_string(HighScores[static_cast<size_t>(i)].Score));
  }
  return lines;
}

void TMForm::SaveHighScores() {
  WriteLinesAtomically(HighScorePath(), HighScoreLines(), FileOps());
}

std::string TMForm::ComputeHighScoreCheck() const {
  size_t longest = 0;
  for (int i = 1; i <= 10; ++i)
    longest = std::max(longest, HighScores[static_cast<size_t>(i)].Name.size());
  std::string s(longest, ' ');
  auto mix = [&](const std::string& t) {
    for (size_t j = 0; j < t.size() && j < longest; ++j) {
      const unsigned a = static_cast<unsigned char>(s[j]), b = static_cast<unsigned char>(t[j]);
      s[j] = static_cast<char>(((a + b) % 224) + 32);
    }
  };
  for (int i = 1; i <= 10; ++i) {
    mix(HighScores[static_cast<size_t>(i)].Name);
    mix(std::to_string(HighScores[static_cast<size_t>(i)].Score));
  }
  return s;
}

bool TMForm::ScoreQualifies() const {
  for (int i = 1; i <= 10; ++i)
    if (HighScores[static_cast<size_t>(i)].Score < Race.RaceScore) return true;
  return false;
}

void TMForm::SortHighScores() {
  for (int pass = 1; pass <= 10; ++pass)
    for (int a = 1; a <= 11 - pass; ++a)
      if (HighScores[static_cast<size_t>(a)].Score < HighScores[static_cast<size_t>(a + 1)].Score) {
        std::swap(HighScores[static_cast<size_t>(a)], HighScores[static_cast<size_t>(a + 1)]);
        // An entry's replay goes where the entry goes.
        std::swap(Replays.Table[static_cast<size_t>(a)], Replays.Table[static_cast<size_t>(a + 1)]);
      }
}

}  // namespace zw
