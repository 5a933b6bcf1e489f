// Line-based reading and atomic writing of the saved files, alone or as a set.
#include "save/save_files.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace zw {

namespace {

std::string& SaveFolderSetting() {
  static std::string folder = "Data/Save";
  return folder;
}

}  // namespace

const std::string& SaveFolder() {
  return SaveFolderSetting();
}

void SetSaveFolder(const std::string& folder) {
  SaveFolderSetting() = folder;
}

// The real file operations on Windows are in platform/win/win_files.cpp.
#ifndef _WIN32
std::filesystem::path FsPath(const std::string& path) {
  return std::filesystem::path(path);
}

namespace {

// Makes a new or renamed entry of the folder itself survive a power cut.
void SyncFolderOf(const std::string& path, std::vector<std::string>* trace) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty()) dir = ".";
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  if (::fsync(fd) == 0 && trace) trace->push_back("fsync-dir " + dir.string());
  ::close(fd);
}

class TRealFileOps : public IFileOps {
 public:
  explicit TRealFileOps(std::vector<std::string>* trace = nullptr) : trace_(trace) {}
  bool WriteFile(const std::string& path, const std::string& bytes) override {
    std::error_code ec;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        ok = false;
      else
        done += static_cast<size_t>(n);
    }
    if (ok) Note("write " + path);
    ok = Flush(fd, path) && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) SyncFolderOf(path, trace_);
    return ok;
  }
  bool Rename(const std::string& from, const std::string& to) override {
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    Note("rename " + from + " " + to);
    SyncFolderOf(to, trace_);
    return true;
  }
  bool Remove(const std::string& path) override {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return !ec;
  }
  bool Exists(const std::string& path) override { return FileExists(path); }

 private:
  // Puts the file's bytes on the disk; noted only when it did.
  bool Flush(int fd, const std::string& path) {
    const bool flushed = ::fsync(fd) == 0;
    if (flushed) Note("fsync " + path);
    return flushed;
  }
  void Note(const std::string& step) {
    if (trace_) trace_->push_back(step);
  }
  std::vector<std::string>* trace_;
};

}  // namespace

IFileOps& RealFileOps() {
  static TRealFileOps ops;
  return ops;
}

std::unique_ptr<IFileOps> TracedRealFileOps(std::vector<std::string>& trace) {
  return std::make_unique<TRealFileOps>(&trace);
}
#endif

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

}  // namespace

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  std::ifstream in(FsPath(path), std::ios::binary);
  return static_cast<bool>(in);
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return false;
  lines.clear();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return true;
}

bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines,
                          IFileOps& ops) {
  const std::string tmp = path + ".tmp";
  if (!ops.WriteFile(tmp, JoinLines(lines)) || !ops.Rename(tmp, path)) {
    ops.Remove(tmp);
    return false;
  }
  return true;
}

bool SaveFileSet(const std::vector<TSavedFile>& files, const std::string& marker, IFileOps& ops) {
  auto discard = [&] {
    for (const TSavedFile& f : files) ops.Remove(f.Path + ".new");
    return false;
  };
  // A marker left by an earlier save that could not finish belongs to older new files: those
  // are about to be overwritten, so the marker must go first.
  if (ops.Exists(marker) && !ops.Remove(marker)) return false;
  for (const TSavedFile& f : files)
    if (!ops.WriteFile(f.Path + ".new", f.Binary ? f.Bytes : JoinLines(f.Lines))) return discard();
  // From here on the new set is complete on the disk and wins.
  if (!ops.WriteFile(marker, "complete\r\n")) {
    ops.Remove(marker);
    return discard();
  }
  for (const TSavedFile& f : files)
    if (!ops.Rename(f.Path + ".new", f.Path)) return false;  // the next start finishes it
  ops.Remove(marker);
  return true;
}

void RecoverFileSet(const std::vector<std::string>& paths, const std::string& marker,
                    IFileOps& ops) {
  if (!ops.Exists(marker)) {
    for (const std::string& p : paths) ops.Remove(p + ".new");
    return;
  }
  bool done = true;
  for (const std::string& p : paths)
    if (ops.Exists(p + ".new") && !ops.Rename(p + ".new", p)) done = false;
  if (done) ops.Remove(marker);
}

std::string FileSetMember(const std::string& path, const std::string& marker, IFileOps& ops) {
  if (ops.Exists(marker) && ops.Exists(path + ".new")) return path + ".new";
  return path;
}

bool ParseLeadingInt(const std::string& line, long long& value) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  bool neg = false;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) neg = line[i++] == '-';
  if (i >= line.size() || line[i] < '0' || line[i] > '9') return false;
  long long v = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    v = v * 10 + (line[i++] - '0');
    if (v > 0x7fffffffLL + 1) return false;  // beyond any 32-bit value
  }
  value = neg ? -v : v;
  return value >= -0x80000000LL && value <= 0x7fffffffLL;
}

}  // namespace zw
