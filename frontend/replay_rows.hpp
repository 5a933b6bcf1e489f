// The high-score table's rows that have a replay: choosing one and watching it.
#pragma once

namespace zw {

class TMForm;

// The row cursor, before the screen's own keys: Up and Down move over the rows that have a
// replay (and Down past the last one back to the buttons), the pointer chooses the row it is on.
void ReplayRowsFrame(TMForm& form);
// The marks of the rows that have a replay, the chosen row's frame, and why a replay asked for
// was not shown.
void DrawReplayRows(TMForm& form);
// Enter, a click or the pad's A on a chosen row: watch its replay. False when no row is chosen.
bool WatchChosenRow(TMForm& form);
// The table row (1..10) at a point of the screen, 0 for none.
int ReplayRowAt(int x, int y);

}  // namespace zw
