// One pass of the platform's loop, shared by the real game and the scripted runner.
#pragma once

namespace zw {

class TMForm;
struct TInputEvent;

// Delivers the queued events to the form's handlers, runs one frame of moveCount
// milliseconds and presents it.
// While a replay is watched the watcher runs the frame instead: the replay's own controls ride
// the race, and the player's keys only pause, hurry or end the watching.
void RunOneFrame(TMForm& form, int moveCount);

// An event of the platform's delivered outside a frame (while the window is minimised).
void DeliverEvent(TMForm& form, const TInputEvent& ev);

}  // namespace zw
