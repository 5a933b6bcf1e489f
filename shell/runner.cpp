// One pass of the platform's loop, shared by the real game and the scripted runner.
#include "shell/runner.hpp"

#include "shell/form.hpp"

namespace zw {

// Delivers the queued events to the form's handlers, runs one frame of moveCount
// milliseconds and presents it.
// While a replay is watched the watcher runs the frame instead: the replay's own controls ride
// the race, and the player's keys only pause, hurry or end the watching.
void RunOneFrame(TMForm& form, int moveCount) {
  IReplayWatcher* watcher = form.Replays.Watcher;
  if (watcher && watcher->Watching()) {
    watcher->Frame(form, moveCount < 1 ? 1 : moveCount);
    return;
  }
  TInputEvent ev;
  while (!form.Terminated && form.Platform.Input && form.Platform.Input->PollEvent(ev)) {
    form.HandleEvent(ev);
    // An event that began watching: the rest of the player's events go to the watcher.
    if (watcher && watcher->Watching()) {
      watcher->Frame(form, moveCount < 1 ? 1 : moveCount);
      return;
    }
  }
  if (form.Terminated) return;
  form.TimerTick(moveCount < 1 ? 1 : moveCount);
  if (form.Platform.Display) form.Platform.Display->Present(form.MDisplay);
}

// An event of the platform's delivered outside a frame (while the window is minimised).
void DeliverEvent(TMForm& form, const TInputEvent& ev) {
  IReplayWatcher* watcher = form.Replays.Watcher;
  if (watcher && watcher->Watching())
    watcher->Event(form, ev);
  else
    form.HandleEvent(ev);
}

}  // namespace zw
