// Setting up a level: its parameters, a new track and the background's first view of it.
#include <algorithm>

#include "shell/form.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace zw {

void TMForm::SetUpLevel(int level) {
  Race.Level = level;
  Race.RacePosition = 0;
  Race.RaceCount = 0;
  Track.TrackLength = TrackLengthForLevel(level);
  Race.RaceClock = 1000 * LevelTimes[std::clamp(level, 1, 10)];
  Track.BonusCount = 10 * level;
  GenerateTrack(Track, Rng);
  RefreshChips();
}

void TMForm::RefreshChips() {
  TScrollBackground* bg = Race.Background;
  if (!bg || Menu.CurrentScreen != 6) return;
  for (int y = 0; y <= 10; ++y)
    for (int x = 0; x <= 13; ++x) {
      const int row = Track.ViewRow + y, col = Track.ViewCol + x;
      // Beyond the map the background shows ground.
      bg->SetChip(x, y, TTrackState::InMap(row, col) ? Track.TrackMap(row, col) : 0);
    }
}

}  // namespace zw
