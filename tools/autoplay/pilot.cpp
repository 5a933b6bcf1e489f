// The runner's pilot: rides the race by itself, pressing only the keys a player would, so that
// tests and benchmarks get real games (crashes and all) that a replay can record.
#include "tools/autoplay/pilot.hpp"

#include <algorithm>
#include <cmath>

#include "rider/player.hpp"
#include "shell/form_state.hpp"
#include "tools/autoplay/script.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace zw {

TPilotControls PilotControls(const TFormState& f, int lookAhead, int offset) {
  TPilotControls c;
  const TPlayer* p = f.Race.Player;
  // Hands off once the clock has run out or the line is crossed, as a player lets the bike roll
  // to its stop (held, the throttle would keep it rolling).
  if (f.Menu.CurrentScreen != screen::Race || f.Menu.ActiveDialog != dialog::None || !p ||
      !f.Race.Background || p->TimeUp || p->Finished)
    return c;
  const TScrollBackground& bg = *f.Race.Background;
  const double x = f.Track.ViewCol * TileSizeD - bg.X + p->CentreX;
  const double y = f.Track.ViewRow * TileSizeD - bg.Y + p->CentreY;
  // Aim at the road's middle a few rows ahead; hold the throttle unless the aim is far off.
  const int row = std::clamp(static_cast<int>(y / TileSizeD) - lookAhead, 1, TrackRows);
  // The middle of the row's drivable cells.
  int first = 0, last = 0;
  for (int col = 1; col <= TrackCols; ++col) {
    if (IsRoadCode(f.Track.TrackMap(row, col))) {
      if (!first) first = col;
      last = col;
    }
  }
  const double mid = first ? TileSizeD / 2 * (first + last + 1) : x;
  const double dx = mid + offset - x;
  const double want = std::atan2(dx, TileSizeD * lookAhead) * 128.0 / M_PI;
  const double err = want - p->Heading;
  c.Left = err < -1.5;
  c.Right = err > 1.5;
  c.Up = std::fabs(err) < 24 || p->Speed < 40;
  return c;
}

void TScriptRunner::Pilot(int frames) {
  TFormState& f = State();
  THeadlessInput& in = Headless.Input;
  for (int i = 0; i < frames && !f.Terminated; ++i) {
    const TPilotControls c = PilotControls(f, PilotLookAhead, PilotOffset);
    in.Held[vk::Up] = c.Up;
    in.Held[vk::Left] = c.Left;
    in.Held[vk::Right] = c.Right;
    Frames(1);
  }
  in.Held[vk::Up] = in.Held[vk::Left] = in.Held[vk::Right] = false;
}

}  // namespace zw
