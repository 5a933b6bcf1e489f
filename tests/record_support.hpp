// Recorded behaviour: a test writes what a layer delivers to the game as lines of text, one line
// per entry or step ("name: what it gave"), and the lines are compared with the record kept in
// tests/recorded/. Any difference fails, naming the entries that changed. With ZW_GOLDEN_UPDATE=1
// in the environment the record is written afresh instead (look at the change before keeping it).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zw::test {

// FNV-1a over bytes: a small, fixed hash that is the same on every build and system.
class THash {
 public:
  void Add(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) H = (H ^ p[i]) * 0x100000001b3ull;
  }
  template <typename T>
  void AddAll(const std::vector<T>& v) {
    // Element by element, little-endian, so the hash does not depend on the host's byte order.
    for (const T& x : v) AddInt(static_cast<uint64_t>(x), sizeof(T));
  }
  void AddInt(uint64_t v, size_t bytes = 8) {
    for (size_t i = 0; i < bytes; ++i) {
      const uint8_t b = static_cast<uint8_t>(v >> (8 * i));
      Add(&b, 1);
    }
  }
  std::string Hex() const {
    std::ostringstream s;
    s << std::hex << std::setw(16) << std::setfill('0') << H;
    return s.str();
  }

 private:
  uint64_t H = 0xcbf29ce484222325ull;
};

template <typename T>
std::string HashOf(const std::vector<T>& v) {
  THash h;
  h.AddAll(v);
  return h.Hex();
}

// The key of a record line: the text before its first ':' (the whole line without one).
inline std::string RecordKey(const std::string& line) {
  const size_t at = line.find(':');
  return at == std::string::npos ? line : line.substr(0, at);
}

// Compares `lines` with tests/recorded/<name> in the source tree, or rewrites it when asked.
inline void CheckRecord(const std::string& name, const std::vector<std::string>& lines) {
  const std::filesystem::path path =
      std::filesystem::path(ZW_SOURCE_DIR) / "tests" / "recorded" / name;
  const char* update = std::getenv("ZW_GOLDEN_UPDATE");
  if (update && std::strcmp(update, "1") == 0) {
    std::ofstream out(path, std::ios::binary);
    for (const std::string& l : lines) out << l << '\n';
    ASSERT_TRUE(out.good()) << "could not write " << path;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in.good()) << "no record " << path
                         << " (make it with ZW_GOLDEN_UPDATE=1 and look at it before keeping it)";
  std::vector<std::string> want;
  for (std::string l; std::getline(in, l);) want.push_back(l);
  if (want == lines) return;
  // Pair the lines by key, so one changed entry is reported as itself and not as a shift.
  std::map<std::string, std::string> got;
  for (const std::string& l : lines) got.emplace(RecordKey(l), l);
  std::map<std::string, std::string> had;
  for (const std::string& l : want) had.emplace(RecordKey(l), l);
  std::ostringstream report;
  int shown = 0, differ = 0;
  auto note = [&](const std::string& what) {
    ++differ;
    if (shown++ < 8) report << what;
  };
  for (const std::string& l : want) {
    const auto g = got.find(RecordKey(l));
    if (g == got.end())
      note("  missing now: " + l + "\n");
    else if (g->second != l)
      note("  " + RecordKey(l) + "\n    expected: " + l + "\n    got:      " + g->second + "\n");
  }
  for (const std::string& l : lines)
    if (!had.count(RecordKey(l))) note("  new entry:   " + l + "\n");
  if (differ == 0) report << "  the same entries in another order\n";
  ADD_FAILURE() << name << ": " << (differ ? differ : 1)
                << " entries differ from the record (ZW_GOLDEN_UPDATE=1 rewrites it):\n"
                << report.str();
}

}  // namespace zw::test
