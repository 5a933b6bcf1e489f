// The options file and the high-score file with its check string.
#include "save/saved_state.hpp"

#include "save/save_files.hpp"
#include "save/saved_replays.hpp"

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

IFileOps& FileOps(TFormState& form) {
  return form.SaveFileOps ? *form.SaveFileOps : RealFileOps();
}

void LoadSavedState(TFormState& form) {
  // The options carry the table's check string, so the two files only make sense together: an
  // exit stopped half-way is finished or undone before either is read.
  // The kept replays belong to the same unit: their index names the entries they go with.
  std::vector<std::string> members = {OptionsPath(), HighScorePath(), ReplayIndexPath()};
  for (const std::string& p : PendingReplayPaths()) members.push_back(p);
  RecoverFileSet(members, PairMarker(), FileOps(form));
  LoadHighScores(form);
  LoadOptions(form);
  if (!HighScoreCheckValid(form)) ResetHighScores(form);
  LoadReplays(form, PairMarker(), FileOps(form));
  // Replays of entries gone from the table (an earlier save cut off before its clean-up).
  if (!FileOps(form).Exists(PairMarker())) RemoveUnlistedReplays(form, FileOps(form));
}

bool SaveSavedState(TFormState& form) {
  std::vector<TSavedFile> files = {{OptionsPath(), OptionsLines(form)},
                                   {HighScorePath(), HighScoreLines(form)}};
  AddReplayMembers(form, files, FileOps(form));
  if (!SaveFileSet(files, PairMarker(), FileOps(form))) return false;
  // Only once the new table is in place may the replays of entries that fell out go.
  RemoveUnlistedReplays(form, FileOps(form));
  return true;
}

void SetDefaultOptions(TFormState& form) {
  form.GameOptions.FullScreen = false;
  form.GameOptions.Music = true;
  form.GameOptions.Sound = true;
  form.GameOptions.Country = CountryPlaceholder;
  form.Keys.BossKeyShift = DefaultBossKeyShift;
  form.Keys.BossKey = DefaultBossKey;
}

void LoadOptions(TFormState& form) {
  std::vector<std::string> lines;
  const std::string path = FileSetMember(OptionsPath(), PairMarker(), FileOps(form));
  if (!FileExists(path) || !ReadLines(path, lines)) {
    SetDefaultOptions(form);
    return;
  }
  // A short or damaged file keeps the defaults for whatever cannot be read.
  SetDefaultOptions(form);
  long long v = 0;
  auto line = [&](size_t n) -> const std::string* {
    return n <= lines.size() ? &lines[n - 1] : nullptr;
  };
  if (auto* l = line(1); l && ParseLeadingInt(*l, v)) form.GameOptions.FullScreen = v != 0;
  if (auto* l = line(2); l && ParseLeadingInt(*l, v)) form.GameOptions.Music = v != 0;
  if (auto* l = line(3); l && ParseLeadingInt(*l, v)) form.GameOptions.Sound = v != 0;
  if (auto* l = line(4)) form.GameOptions.Country = *l;
  if (auto* l = line(5); l && ParseLeadingInt(*l, v))
    form.Keys.BossKeyShift = v == 1 ? mod::Alt : v == 2 ? mod::Ctrl : v == 3 ? mod::Shift : 0;
  if (auto* l = line(6); l && ParseLeadingInt(*l, v))
    form.Keys.BossKey = (v >= 1 && v <= 12) ? static_cast<uint16_t>(vk::F1 - 1 + v) : 0;
  if (auto* l = line(7)) form.HighScoreCheck = *l;
}

std::vector<std::string> OptionsLines(const TFormState& form) {
  const uint8_t m = form.Keys.BossKeyShift;
  const char* modifier = (m & mod::Alt)     ? "1"
                         : (m & mod::Ctrl)  ? "2"
                         : (m & mod::Shift) ? "3"
                                            : "0";
  const int key = (form.Keys.BossKey >= vk::F1 && form.Keys.BossKey <= vk::F12)
                      ? form.Keys.BossKey - (vk::F1 - 1)
                      : 0;
  return {form.GameOptions.FullScreen ? "1" : "0",
          form.GameOptions.Music ? "1" : "0",
          form.GameOptions.Sound ? "1" : "0",
          form.GameOptions.Country,
          modifier,
          std::to_string(key),
          ComputeHighScoreCheck(form)};
}

void SaveOptions(TFormState& form) {
  WriteLinesAtomically(OptionsPath(), OptionsLines(form), FileOps(form));
}

void ResetHighScores(TFormState& form) {
  for (int i = 1; i <= 10; ++i) {
    form.HighScores[static_cast<size_t>(i)].Name = UnnamedPlayer;
    form.HighScores[static_cast<size_t>(i)].Score = 10000 - 1000 * (i - 1);
    form.Replays.Table[static_cast<size_t>(i)].clear();
  }
}

void LoadHighScores(TFormState& form) {
  std::vector<std::string> lines;
  const std::string path = FileSetMember(HighScorePath(), PairMarker(), FileOps(form));
  if (!FileExists(path) || !ReadLines(path, lines) || lines.size() < 20) {
    ResetHighScores(form);
    return;
  }
  // Every score must read as a number, or the whole table falls back to the defaults.
  std::array<THighScore, 12> read = form.HighScores;
  for (int i = 1; i <= 10; ++i) {
    long long v = 0;
    if (!ParseLeadingInt(lines[static_cast<size_t>(2 * i - 1)], v)) {
      ResetHighScores(form);
      return;
    }
    read[static_cast<size_t>(i)].Name = lines[static_cast<size_t>(2 * i - 2)];
    read[static_cast<size_t>(i)].Score = static_cast<int32_t>(v);
  }
  form.HighScores = read;
}

std::vector<std::string> HighScoreLines(const TFormState& form) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 10; ++i) {
    lines.push_back(form.HighScores[static_cast<size_t>(i)].Name);
    lines.push_back(std::to_string(form.HighScores[static_cast<size_t>(i)].Score));
  }
  return lines;
}

void SaveHighScores(TFormState& form) {
  WriteLinesAtomically(HighScorePath(), HighScoreLines(form), FileOps(form));
}

bool HighScoreCheckValid(const TFormState& form) {
  return ComputeHighScoreCheck(form) == form.HighScoreCheck;
}

std::string ComputeHighScoreCheck(const TFormState& form) {
  size_t longest = 0;
  for (int i = 1; i <= 10; ++i)
    longest = std::max(longest, form.HighScores[static_cast<size_t>(i)].Name.size());
  std::string s(longest, ' ');
  auto mix = [&](const std::string& t) {
    for (size_t j = 0; j < t.size() && j < longest; ++j) {
      const unsigned a = static_cast<unsigned char>(s[j]), b = static_cast<unsigned char>(t[j]);
      s[j] = static_cast<char>(((a + b) % 224) + 32);
    }
  };
  for (int i = 1; i <= 10; ++i) {
    mix(form.HighScores[static_cast<size_t>(i)].Name);
    mix(std::to_string(form.HighScores[static_cast<size_t>(i)].Score));
  }
  return s;
}

bool ScoreQualifies(const TFormState& form) {
  for (int i = 1; i <= 10; ++i)
    if (form.HighScores[static_cast<size_t>(i)].Score < form.Race.RaceScore) return true;
  return false;
}

void SortHighScores(TFormState& form) {
  for (int pass = 1; pass <= 10; ++pass)
    for (int a = 1; a <= 11 - pass; ++a)
      if (form.HighScores[static_cast<size_t>(a)].Score <
          form.HighScores[static_cast<size_t>(a + 1)].Score) {
        std::swap(form.HighScores[static_cast<size_t>(a)],
                  form.HighScores[static_cast<size_t>(a + 1)]);
        // An entry's replay goes where the entry goes.
        std::swap(form.Replays.Table[static_cast<size_t>(a)],
                  form.Replays.Table[static_cast<size_t>(a + 1)]);
      }
}

}  // namespace zw
