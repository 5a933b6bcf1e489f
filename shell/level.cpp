// Setting up a level: its parameters, a new track and the background's first view of it.
#include "shell/form.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace zw {

void TMForm::SetUpLevel(int level) {
  const TLevelParameters p = SetUpLevelParameters(level);
  Race.Level = p.Level;
  Race.RacePosition = 0;
  Race.RaceCount = 0;
  Track.TrackLength = p.TrackLength;
  Race.RaceClock = p.RaceClock;
  Track.BonusCount = p.BonusCount;
  GenerateTrack(Track, Rng);
  RefreshChips();
}

void TMForm::RefreshChips() {
  TScrollBackground* bg = Race.Background;
  if (!bg || Menu.CurrentScreen != screen::Race) return;
  for (int y = 0; y <= 10; ++y)
    for (int x = 0; x <= 13; ++x) {
      const int row = Track.ViewRow + y, col = Track.ViewCol + x;
      // Beyond the map the background shows ground.
      bg->SetChip(x, y, TTrackState::InMap(row, col) ? Track.TrackMap(row, col) : 0);
    }
}

}  // namespace zw
