// Reading and writing the small saved text files.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zw {

// The file operations that saving is made of, one call each, so that a test can fail or stop
// the save at any one of them. The real ones flush every write to the disk.
class IFileOps {
 public:
  virtual ~IFileOps() = default;
  // Creates or truncates the file, writes the bytes and flushes them to the disk.
  virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
  // Replaces `to` by `from` in one step.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // True also when there was nothing to remove.
  virtual bool Remove(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
};

// The operations on the real file system.
IFileOps& RealFileOps();
// The same operations on the real file system, each step that reached the disk noted in order
// ("write P", "fsync P", "rename A B", "fsync-dir D") so that durability can be checked.
std::unique_ptr<IFileOps> TracedRealFileOps(std::vector<std::string>& trace);

// The folder the options and the high-score table are kept in, without a closing separator:
// Data/Save of the folder the game runs in unless the platform chose another at start-up.
const std::string& SaveFolder();
void SetSaveFolder(const std::string& folder);

// A UTF-8 path as the file system takes it (Windows needs it converted to its wide form).
std::filesystem::path FsPath(const std::string& path);

// True when the path is not empty and the file can be opened for reading.
bool FileExists(const std::string& path);
// The file's lines without their line ends (CR LF or LF); false when it cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);
// Writes the lines, each ended by CR LF, to a temporary file beside the target and renames it
// over the target, so a crash or a full disk never leaves a half-written file.
bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines,
                          IFileOps& ops = RealFileOps());
// A decimal integer after leading blanks, ignoring the rest of the line; false when none.
bool ParseLeadingInt(const std::string& line, long long& value);

// Files that belong together and are replaced as one unit: after a failure or a stop at any
// point of the save, the next start finds either every old file or every new one.
struct TSavedFile {
  std::string Path;
  std::vector<std::string> Lines;
  // A binary member (a replay) is written as these bytes instead of lines.
  std::string Bytes{};
  bool Binary = false;
};
// Writes each file beside its target as PATH.new, then the marker that says the new set is
// complete, then renames the new files over the old ones and removes the marker. False when
// any step failed; a failure before the marker leaves the old set untouched, one after it is
// completed by the next start.
bool SaveFileSet(const std::vector<TSavedFile>& files, const std::string& marker,
                 IFileOps& ops = RealFileOps());
// At start-up: completes a set whose marker was written (the save got that far) or throws away
// the new files of one that never got its marker.
void RecoverFileSet(const std::vector<std::string>& paths, const std::string& marker,
                    IFileOps& ops = RealFileOps());
// Where a member of the set is to be read from: its new file while a completed set could not
// yet be renamed into place, else the file itself.
std::string FileSetMember(const std::string& path, const std::string& marker,
                          IFileOps& ops = RealFileOps());

}  // namespace zw
