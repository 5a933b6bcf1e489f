// The replays kept beside the high-score table, saved in one unit with the table and options.
#pragma once

#include <string>
#include <vector>

#include "save/save_files.hpp"

namespace zw {

class TFormState;

// Every kept replay lives in this folder under the hash of its bytes, so a file never changes
// once written; the index says which table entry (and which last game) each belongs to. The
// high-score file itself stays as it always was.
// Inside the save folder, wherever the platform keeps it.
std::string ReplayFolder();
std::string ReplayIndexPath();

// The name a replay is kept under: 16 hex digits of its bytes' hash and ".zwr".
std::string ReplayFileName(const std::string& bytes);
// The members a save adds to the options and the table: the index, and every replay that is not
// yet on the disk byte for byte.
void AddReplayMembers(const TFormState& form, std::vector<TSavedFile>& files, IFileOps& ops);
// The kept replays a stopped save left beside their new files, for the start's recovery.
std::vector<std::string> PendingReplayPaths();
// Reads the index and the replays it names into the form's shelf; a link whose entry (name and
// score) is no longer in the table, or whose file is missing or altered, is dropped.
void LoadReplays(TFormState& form, const std::string& marker, IFileOps& ops);
// Removes every kept replay the form no longer holds, so nothing stays behind when an entry
// falls out of the table.
void RemoveUnlistedReplays(const TFormState& form, IFileOps& ops);

}  // namespace zw
