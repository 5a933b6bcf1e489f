// The replays kept beside the high-score table: their index, their files, their clean-up.
#include "save/saved_replays.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "shell/form_state.hpp"

namespace zw {

std::string ReplayFolder() {
  return SaveFolder() + "/Replays";
}

std::string ReplayIndexPath() {
  return ReplayFolder() + "/index";
}

namespace {

constexpr const char* IndexHeader = "ZWR-INDEX 1";
constexpr size_t MaxKeptBytes = 1u << 20;  // no replay is bigger; a bigger file is not one

std::string ReplayPath(const std::string& file) {
  return ReplayFolder() + "/" + file;
}

bool IsReplayFileName(const std::string& n) {
  if (n.size() != 20 || n.compare(16, 4, ".zwr") != 0) return false;
  for (size_t i = 0; i < 16; ++i)
    if (!((n[i] >= '0' && n[i] <= '9') || (n[i] >= 'a' && n[i] <= 'f'))) return false;
  return true;
}

bool ReadBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return bytes.size() <= MaxKeptBytes;
}

// "N SCORE FILE NAME" for entry N, "last SCORE FILE" for the last game; FILE is "-" for none.
std::string IndexLine(const std::string& key, int32_t score, const std::string& bytes,
                      const std::string* name) {
  std::string line = key + " " + std::to_string(score) + " " +
                     (bytes.empty() ? std::string("-") : ReplayFileName(bytes));
  if (name) line += " " + *name;
  return line;
}

}  // namespace

std::string ReplayFileName(const std::string& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return std::string(text) + ".zwr";
}

void AddReplayMembers(const TFormState& form, std::vector<TSavedFile>& files, IFileOps& ops) {
  std::vector<std::string> index = {IndexHeader};
  std::set<std::string> added;
  auto keep = [&](const std::string& bytes) {
    if (bytes.empty()) return;
    const std::string path = ReplayPath(ReplayFileName(bytes));
    if (!added.insert(path).second) return;
    std::string onDisk;
    if (ops.Exists(path) && ReadBytes(path, onDisk) && onDisk == bytes) return;
    TSavedFile f;
    f.Path = path;
    f.Bytes = bytes;
    f.Binary = true;
    files.push_back(std::move(f));
  };
  for (int i = 1; i <= 10; ++i) {
    const std::string& bytes = form.Replays.Table[static_cast<size_t>(i)];
    const THighScore& e = form.HighScores[static_cast<size_t>(i)];
    index.push_back(IndexLine(std::to_string(i), e.Score, bytes, &e.Name));
    keep(bytes);
  }
  index.push_back(IndexLine("last", 0, form.Replays.Last, nullptr));
  keep(form.Replays.Last);
  files.push_back({ReplayIndexPath(), index});
}

std::vector<std::string> PendingReplayPaths() {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(FsPath(ReplayFolder()), ec)) {
    const std::string n = e.path().filename().string();
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".new") == 0 &&
        IsReplayFileName(n.substr(0, n.size() - 4)))
      paths.push_back(ReplayPath(n.substr(0, n.size() - 4)));
  }
  return paths;
}

void LoadReplays(TFormState& form, const std::string& marker, IFileOps& ops) {
  TReplayShelf& shelf = form.Replays;
  for (std::string& r : shelf.Table) r.clear();
  shelf.Last.clear();
  shelf.LastIsCurrent = false;
  std::vector<std::string> lines;
  const std::string indexPath = FileSetMember(ReplayIndexPath(), marker, ops);
  if (!FileExists(indexPath) || !ReadLines(indexPath, lines) || lines.empty() ||
      lines[0] != IndexHeader)
    return;
  auto load = [&](const std::string& file, std::string& into) {
    if (!IsReplayFileName(file)) return;
    std::string bytes;
    const std::string path = FileSetMember(ReplayPath(file), marker, ops);
    if (ReadBytes(path, bytes) && !bytes.empty() && ReplayFileName(bytes) == file)
      into = std::move(bytes);
  };
  for (size_t n = 1; n < lines.size(); ++n) {
    std::istringstream in(lines[n]);
    std::string key, file;
    long long score = 0;
    if (!(in >> key >> score >> file)) continue;
    if (key == "last") {
      load(file, shelf.Last);
      continue;
    }
    const int i = key.size() <= 2 ? std::atoi(key.c_str()) : 0;
    if (i < 1 || i > 10) continue;
    std::string name;
    std::getline(in, name);
    if (!name.empty() && name[0] == ' ') name.erase(0, 1);
    // The link holds only while the entry it was made for is still the one in that row.
    const THighScore& e = form.HighScores[static_cast<size_t>(i)];
    if (e.Score != score || e.Name != name) continue;
    load(file, shelf.Table[static_cast<size_t>(i)]);
  }
}

void RemoveUnlistedReplays(const TFormState& form, IFileOps& ops) {
  std::set<std::string> kept;
  for (int i = 1; i <= 10; ++i)
    if (!form.Replays.Table[static_cast<size_t>(i)].empty())
      kept.insert(ReplayFileName(form.Replays.Table[static_cast<size_t>(i)]));
  if (!form.Replays.Last.empty()) kept.insert(ReplayFileName(form.Replays.Last));
  std::vector<std::string> gone;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(FsPath(ReplayFolder()), ec)) {
    const std::string n = e.path().filename().string();
    if (IsReplayFileName(n) && !kept.count(n)) gone.push_back(ReplayPath(n));
  }
  for (const std::string& p : gone) ops.Remove(p);
}

}  // namespace zw
