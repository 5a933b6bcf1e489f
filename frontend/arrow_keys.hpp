// The arrow keys on a menu whose items stand in a grid: each arrow's steps from item to item.
#pragma once

#include <cstdint>
#include <span>

namespace zw {

enum class EArrow : uint8_t { Left, Right, Up, Down };

// From item `From` the arrow moves the cursor to `To`; an arrow that pages on (the bike and help
// pages' Previous and Next) activates its item instead, where `To` is that item itself.
struct TArrowStep {
  EArrow Arrow;
  int32_t From;
  int32_t To;
  bool Activate = false;
};

// Follows every arrow held this frame (the keys' KeyLeft, KeyRight, KeyUp, KeyDown, in that
// order), each from where the one before left the cursor. An arrow with no step from the
// cursor's item leaves it.
template <class Keys, class ActivateFn>
void FollowArrows(std::span<const TArrowStep> steps, const Keys& keys, int32_t& cursor,
                  ActivateFn activate) {
  const bool held[4] = {keys.KeyLeft, keys.KeyRight, keys.KeyUp, keys.KeyDown};
  for (const EArrow arrow : {EArrow::Left, EArrow::Right, EArrow::Up, EArrow::Down}) {
    if (!held[static_cast<int>(arrow)]) continue;
    for (const TArrowStep& s : steps) {
      if (s.Arrow != arrow || s.From != cursor) continue;
      if (s.Activate)
        activate(s.To);
      else
        cursor = s.To;
      break;
    }
  }
}

}  // namespace zw
