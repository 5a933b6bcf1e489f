// The saved files on Windows: wide-character paths (a player's folder may have any name), each
// write flushed to the disk, and a rename that replaces the old file in one step.
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/win_text.hpp"
#include "save/save_files.hpp"

namespace zw {

std::filesystem::path FsPath(const std::string& path) {
  return std::filesystem::path(Wide(path));
}

namespace {

class TWinFileOps : public IFileOps {
 public:
  explicit TWinFileOps(std::vector<std::string>* trace = nullptr) : trace_(trace) {}
  bool WriteFile(const std::string& path, const std::string& bytes) override {
    const std::filesystem::path target = FsPath(path);
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD wrote = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
      if (!::WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
        ok = false;
      else
        done += wrote;
    }
    if (ok) Note("write " + path);
    const bool flushed = FlushFileBuffers(file);
    if (flushed) Note("fsync " + path);
    ok = flushed && ok;
    ok = CloseHandle(file) && ok;
    return ok;
  }
  bool Rename(const std::string& from, const std::string& to) override {
    // The C library's rename refuses an existing target on Windows; this replaces it, and
    // returns only once the move is on the disk.
    if (!MoveFileExW(FsPath(from).c_str(), FsPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return false;
    Note("rename " + from + " " + to);
    return true;
  }
  bool Remove(const std::string& path) override {
    std::error_code ec;
    std::filesystem::remove(FsPath(path), ec);
    return !ec;
  }
  bool Exists(const std::string& path) override { return FileExists(path); }

 private:
  void Note(const std::string& step) {
    if (trace_) trace_->push_back(step);
  }
  std::vector<std::string>* trace_;
};

}  // namespace

IFileOps& RealFileOps() {
  static TWinFileOps ops;
  return ops;
}

std::unique_ptr<IFileOps> TracedRealFileOps(std::vector<std::string>& trace) {
  return std::make_unique<TWinFileOps>(&trace);
}

}  // namespace zw
