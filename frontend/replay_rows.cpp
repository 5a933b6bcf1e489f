// The high-score table's rows that have a replay: choosing one and watching it.
#include "frontend/replay_rows.hpp"

#include "shell/form_state.hpp"

namespace zw {

namespace {

constexpr int RowY[11] = {0, 196, 230, 263, 297, 331, 364, 398, 432, 466, 499};
// The band a row covers on the table picture.
constexpr int RowLeft = 372, RowRight = 782, RowHalf = 16;
constexpr uint16_t ChosenColour = 0xFEA0;  // the buttons' orange
constexpr uint16_t MarkColour = 0x5FFF;    // a pale cyan

// The next row with a replay from `from` in steps of `step`, 0 when there is none.
int NextRow(const TFormState& f, int from, int step) {
  for (int r = from; r >= 1 && r <= 10; r += step)
    if (HasReplay(f, r)) return r;
  return 0;
}

void Choose(TFormState& f, int row) {
  f.Replays.ChosenRow = row;
  if (row != 0) f.Menu.MenuIndex = 0;
}

void Plot(TSurface& s, int x, int y, uint16_t c) {
  if (x < 0 || y < 0 || x >= s.Width || y >= s.Height) return;
  s.Touch(TRect{x, y, x + 1, y + 1});
  s.Row(y)[x] = c;
}

}  // namespace

bool HasReplay(const TFormState& f, int row) {
  return row >= 1 && row <= 10 && !f.Replays.Table[static_cast<size_t>(row)].empty();
}

int ReplayRowAt(int x, int y) {
  if (x < RowLeft || x > RowRight) return 0;
  for (int r = 1; r <= 10; ++r)
    if (y >= RowY[r] - RowHalf && y < RowY[r] + RowHalf + 1) return r;
  return 0;
}

void ReplayRowsFrame(TFormState& f) {
  TReplayShelf& s = f.Replays;
  if (!HasReplay(f, s.ChosenRow)) s.ChosenRow = 0;
  // A button lit by the pointer or the keys takes the selection from the row.
  if (f.Menu.MenuIndex != 0) s.ChosenRow = 0;
  if (f.Menu.MouseX != s.SeenMouseX || f.Menu.MouseY != s.SeenMouseY) {
    s.SeenMouseX = f.Menu.MouseX;
    s.SeenMouseY = f.Menu.MouseY;
    const int under = ReplayRowAt(f.Menu.MouseX, f.Menu.MouseY);
    if (f.Menu.MenuIndex == 0) Choose(f, HasReplay(f, under) ? under : 0);
  }
  TKeyState& k = f.Keys;
  if (k.KeyUp) {
    const int r = NextRow(f, s.ChosenRow != 0 ? s.ChosenRow - 1 : 10, -1);
    if (r != 0 || s.ChosenRow != 0) {
      if (r != 0) Choose(f, r);
      k.KeyUp = false;  // taken by the rows
    }
  }
  if (k.KeyDown && s.ChosenRow != 0) {
    const int r = NextRow(f, s.ChosenRow + 1, 1);
    if (r != 0) {
      Choose(f, r);
      k.KeyDown = false;
    } else {
      s.ChosenRow = 0;  // below the last one: the screen's own keys light a button
    }
  }
  if ((k.KeyLeft || k.KeyRight) && s.ChosenRow != 0) s.ChosenRow = 0;
}

void DrawReplayRows(TFormState& f) {
  TSurface& d = f.MDisplay;
  for (int r = 1; r <= 10; ++r) {
    if (!HasReplay(f, r)) continue;
    // A small "play" triangle between the rank and the name.
    const int cx = 440, cy = RowY[r];
    for (int dx = 0; dx < 9; ++dx)
      for (int dy = -(8 - dx) / 2 - 1; dy <= (8 - dx) / 2 + 1; ++dy)
        Plot(d, cx + dx, cy + dy, MarkColour);
    if (r != f.Replays.ChosenRow) continue;
    for (int t = 0; t < 2; ++t) {
      for (int x = RowLeft; x <= RowRight; ++x) {
        Plot(d, x, cy - RowHalf + t, ChosenColour);
        Plot(d, x, cy + RowHalf - t, ChosenColour);
      }
      for (int y = cy - RowHalf; y <= cy + RowHalf; ++y) {
        Plot(d, RowLeft + t, y, ChosenColour);
        Plot(d, RowRight - t, y, ChosenColour);
      }
    }
  }
  if (!f.Replays.Note.empty()) {
    f.SelectFont(font::SmallText);
    f.DrawText(f.Replays.Note, 578, f.OnlineNote.empty() ? 164 : 148, true, true);
  }
}

}  // namespace zw
