// Which screen and dialog are up, and the menu cursor every screen and dialog shares.
#pragma once

#include <array>
#include <cstdint>

#include "shell/states.hpp"

namespace zw {

class TMenuButton;

struct TMenuState {
  uint8_t CurrentScreen = screen::None;
  uint8_t ActiveDialog = dialog::None;
  int32_t MenuIndex = 0;
  int32_t MenuFirst = 0;
  int32_t MenuLast = 0;
  std::array<TMenuButton*, 20> MenuButtons{};  // used 1..19
  bool MenuIntro = false;
  int32_t HoverButton = 0;
  int32_t MouseX = 0;
  int32_t MouseY = 0;
  bool PointerShown = true;
};

}  // namespace zw
