// One row of the high-score table.
#pragma once

#include <cstdint>
#include <string>

namespace zw {

struct THighScore {
  std::string Name;
  int32_t Score = 0;
};

// The name every entry of a fresh table carries, and a result kept without a typed name.
inline constexpr const char* UnnamedPlayer = "ANONYMOUS";

}  // namespace zw
