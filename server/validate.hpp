// What the score service accepts: the results a real game could have reached, and the game's
// 8-bit texts turned into UTF-8 for storing and showing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "online/score_record.hpp"

namespace zw::scores {

// The name entry takes at most 12 letters, digits and spaces; the options screen's country field
// at most 16 characters.
inline constexpr size_t MaxNameLength = 12;
inline constexpr size_t MaxCountryLength = 16;

// The best score a game can reach. One pass of the ten levels with no restart:
//   bonuses:         level L lays 10 x L bonuses of at most 100 points each,
//                    100 x 10 x (1 + 2 + ... + 10) ............................... 55 000
//   position prizes: first place on every level, 800 x 10 ........................ 8 000
//   time bonuses:    5 points per whole second left, at most the level's whole time:
//                    5 x (45+55+80+100+110+130+130+130+140+140) = 5 x 1 060 ..... 5 300
//                                                                    one pass = 68 300
// A restart after a time-out or a crash lays a fresh set of bonuses (at most 100 x 100 = 10 000
// on level 10) and costs a life, which the extra-life bonus can give back, so restarts are
// unbounded in principle. We allow a hundred restarts of the last level:
//   68 300 + 100 x 10 000 = 1 068 300.
inline constexpr int32_t MaxGameScore = 68'300 + 100 * 10'000;
static_assert(MaxGameScore == 1'068'300);

// The game's 8-bit text (Windows-1252, which is Latin-1 outside 0x80..0x9F) as UTF-8. False for
// a byte that has no character there.
bool Cp1252ToUtf8(std::string_view text, std::string& utf8);

// True when a decoded record is one the game could have sent; else false with a one-line reason.
// On success the name and country are given back in UTF-8.
bool ValidateRecord(const online::TScoreRecord& record, std::string& name, std::string& country,
                    std::string& reason);

}  // namespace zw::scores
