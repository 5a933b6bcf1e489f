// The runner's pilot's judgement, on its own: what a player would hold for the next frame to
// keep the bike on the road. The runner presses it on the headless keyboard; the real window's
// session test presses it on the X keyboard and the gamepad.
#pragma once

namespace zw {

class TFormState;

struct TPilotControls {
  bool Up = false, Left = false, Right = false;
};

// Aims at the middle of the road lookAhead rows ahead (offset pixels to its right) and holds the
// throttle unless the aim is far off. Nothing is held outside a race that is being ridden (a
// dialog, the clock run out, the line crossed).
TPilotControls PilotControls(const TFormState& f, int lookAhead, int offset);

}  // namespace zw
