// Setting up a level: its parameters, a new track and the background's first view of it.
#include "shell/level.hpp"

#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace zw {

void SetUpLevel(TFormState& form, int level) {
  const TLevelParameters p = SetUpLevelParameters(level);
  form.Race.Level = p.Level;
  form.Race.RacePosition = 0;
  form.Race.RaceCount = 0;
  form.Track.TrackLength = p.TrackLength;
  form.Race.RaceClock = p.RaceClock;
  form.Track.BonusCount = p.BonusCount;
  GenerateTrack(form.Track, form.Rng);
  RefreshChips(form);
}

void RefreshChips(TFormState& form) {
  TScrollBackground* bg = form.Race.Background;
  if (!bg || form.Menu.CurrentScreen != screen::Race) return;
  for (int y = 0; y <= 10; ++y)
    for (int x = 0; x <= 13; ++x) {
      const int row = form.Track.ViewRow + y, col = form.Track.ViewCol + x;
      // Beyond the map the background shows ground.
      bg->SetChip(x, y, TTrackState::InMap(row, col) ? form.Track.TrackMap(row, col) : 0);
    }
}

}  // namespace zw
