// Line-based reading and atomic writing of the saved files.
#include "save/save_files.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace zw {

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  lines.clear();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return true;
}

bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines) {
  std::error_code ec;
  const std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = true;
  for (const std::string& l : lines) {
    ok = ok && std::fwrite(l.data(), 1, l.size(), f) == l.size();
    ok = ok && std::fwrite("\r\n", 1, 2, f) == 2;
  }
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::remove(tmp.c_str());
    return false;
  }
  std::filesystem::rename(tmp, target, ec);
  if (ec) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
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
