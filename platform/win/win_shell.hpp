// Opening the score service's pages in the player's own browser on Windows.
#pragma once

#include "platform/platform.hpp"

namespace zw {

class TWinShell : public IShell {
 public:
  // Only web addresses are handed to the shell: anything else could name a program to run.
  // False when no program took the address, so the game can show it for the player to type.
  bool OpenUrl(const std::string& url) override;
  static bool IsWebAddress(const std::string& url);
};

}  // namespace zw
