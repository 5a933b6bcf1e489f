// Tests of the built tunes as tracker modules: a valid header, several channels, over a minute
// long.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8);
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

TEST(ContentTunes, BothTunesAreModulesOfOverAMinute) {
  for (const char* name : {"Menu", "Race"}) {
    const auto b = ReadFile(std::string(ZW_RUN_DIR) + "/Data/Music/" + name + ".xm");
    ASSERT_GT(b.size(), 336u) << name;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(U16(b, 58), 0x0104u);
    const uint32_t orders = U16(b, 64), channels = U16(b, 68), patterns = U16(b, 70),
                   instruments = U16(b, 72);
    const uint32_t speed = U16(b, 76), bpm = U16(b, 78);
    EXPECT_GE(channels, 4u) << name;
    EXPECT_GE(instruments, 4u) << name;
    // Walk the patterns to find their rows and check that every order names one.
    size_t at = 60 + U32(b, 60);
    std::vector<uint32_t> rows;
    for (uint32_t p = 0; p < patterns; ++p) {
      ASSERT_LT(at + 9, b.size());
      rows.push_back(U16(b, at + 5));
      at += U32(b, at) + U16(b, at + 7);
    }
    double seconds = 0;
    for (uint32_t o = 0; o < orders; ++o) {
      const uint32_t pattern = b[80 + o];
      ASSERT_LT(pattern, patterns) << name;
      seconds += rows[pattern] * speed * 2.5 / bpm;
    }
    EXPECT_GT(seconds, 60.0) << name;
  }
}

}  // namespace
