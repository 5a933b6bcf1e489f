// One pass of the platform's loop, shared by the real game and the scripted runner.
#pragma once

#include "shell/form.hpp"

namespace zw {

// Delivers the queued events to the form's handlers, runs one frame of moveCount
// milliseconds and presents it.
inline void RunOneFrame(TMForm& form, int moveCount) {
  TInputEvent ev;
  while (!form.Terminated && form.Platform.Input && form.Platform.Input->PollEvent(ev))
    form.HandleEvent(ev);
  if (form.Terminated) return;
  form.TimerTick(moveCount < 1 ? 1 : moveCount);
  if (form.Platform.Display) form.Platform.Display->Present(form.MDisplay);
}

}  // namespace zw
