// The saved options.
#pragma once

#include <string>

namespace zw {

// The country a player has not yet typed: seven underscores.
inline constexpr const char* CountryPlaceholder = "_______";

struct TGameOptions {
  bool FullScreen = false;
  bool Music = true;
  bool Sound = true;
  std::string Country;
};

}  // namespace zw
