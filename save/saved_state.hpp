// The options and the high-score table as the form saves them: read at start, written as one
// unit with the kept replays at the end and whenever the table changes.
#pragma once

#include <string>
#include <vector>

#include "shell/form_state.hpp"

namespace zw {

class IFileOps;

// Reads options, table and kept replays, first finishing or undoing a save an exit cut short; a
// table whose check string does not match the options' goes back to the defaults.
void LoadSavedState(TFormState& form);
// Writes options and high scores as one unit; false when the save failed (the old pair, or the
// whole new one, is then what the next start finds).
bool SaveSavedState(TFormState& form);
std::vector<std::string> OptionsLines(const TFormState& form);
std::vector<std::string> HighScoreLines(const TFormState& form);
// The file operations saving uses: the real ones unless a test put others in.
IFileOps& FileOps(TFormState& form);
void LoadOptions(TFormState& form);
void SaveOptions(TFormState& form);
void SetDefaultOptions(TFormState& form);
void LoadHighScores(TFormState& form);
void SaveHighScores(TFormState& form);
// The options' check string over the table's names and scores.
std::string ComputeHighScoreCheck(const TFormState& form);
bool HighScoreCheckValid(const TFormState& form);

// The table: the default entries, whether the race's score earns a place, and the order by score
// (each entry's kept replay moves with it).
void ResetHighScores(TFormState& form);
bool ScoreQualifies(const TFormState& form);
void SortHighScores(TFormState& form);

}  // namespace zw
