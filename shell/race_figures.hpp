// The race's figures as the game shows and pays them.
#pragma once

#include <cstdint>
#include <string>

namespace zw {

// The HUD clock: minutes and seconds with leading zeros, joined by " : ".
std::string ClockText(int32_t ms);
// The bonus for finishing a level in place 1..6; nothing for any other place.
int32_t PositionPrizeFor(int place);

}  // namespace zw
