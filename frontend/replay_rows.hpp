// The high-score table's rows that have a replay: choosing one and watching it.
#pragma once

namespace zw {

class TFormState;

// The row cursor, before the screen's own keys: Up and Down move over the rows that have a
// replay (and Down past the last one back to the buttons), the pointer chooses the row it is on.
void ReplayRowsFrame(TFormState& form);
// The marks of the rows that have a replay, the chosen row's frame, and why a replay asked for
// was not shown.
void DrawReplayRows(TFormState& form);
// The table's row (1..10) has a kept replay.
bool HasReplay(const TFormState& form, int row);
// The table row (1..10) at a point of the screen, 0 for none.
int ReplayRowAt(int x, int y);

}  // namespace zw
