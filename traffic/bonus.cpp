// The bonuses on the road: placing them, their spin, pickup by the rider and drawing.
#include "traffic/bonus.hpp"

#include <cmath>

#include "packs/sound_effects.hpp"
#include "rider/player.hpp"
#include "world/generator.hpp"
#include "world/race_host.hpp"
#include "world/scroll_background.hpp"

namespace zw {

TBonus::TBonus(TSpriteEngine& engine) : TMyImageSprite(engine, 2) {}

TBonus* TBonus::Create(TSpriteEngine& engine) {
  auto* b = new TBonus(engine);
  b->SetImageIndex(11);
  b->X = 0;
  b->Y = 0;
  b->SetZ(5);
  b->ResetBonuses();
  return b;
}

IRaceHost& TBonus::Host() {
  return *Engine->RaceHost;
}

// The top-left corner of bonus i's box on the screen: 19 pixels into its tile.
void TBonus::BoxAt(int i, int& x, int& y) {
  const IRaceHost& f = Host();
  const double bx = f.Race.Background ? f.Race.Background->X : 0.0;
  const double by = f.Race.Background ? f.Race.Background->Y : 0.0;
  x = static_cast<int>(std::nearbyint(TileSizeD * (BonusCol[i] - f.Track.ViewCol) + bx)) + 19;
  y = static_cast<int>(std::nearbyint(TileSizeD * (BonusRow[i] - f.Track.ViewRow) + by)) + 19;
}

void TBonus::ResetBonuses() {
  IRaceHost& f = Host();
  TTrackState& t = f.Track;
  for (int i = 1; i <= 400; ++i) BonusActive[i] = false;
  const int top = 1549 - t.TrackLength;
  int lives = 0;
  const int count = std::min(t.BonusCount, 400);
  for (int i = 1; i <= count; ++i) {
    const int row = top + f.Random(1495 - top);
    if (row < 1 || row > TrackRows) continue;
    for (int l = 1; l <= TrackCols; ++l) {
      if (t.TrackMap(row, l) != tile::RoadEdgeL) continue;
      BonusActive[i] = true;
      BonusCol[i] = l + f.Random(4);
      BonusRow[i] = row;
      int kind = 1 + f.Random(5);
      // At most one extra life lies on a track.
      while (lives >= 1 && kind == 5) kind = 1 + f.Random(5);
      BonusKind[i] = static_cast<uint8_t>(kind);
      if (kind == 5) lives += 1;
      BonusAnimPos[i] = f.Random(40) / 10.0;
    }
  }
}

void TBonus::Move(int moveCount) {
  TMyImageSprite::Move(moveCount);
  IRaceHost& f = Host();
  const int count = std::min(f.Track.BonusCount, 400);
  for (int i = 1; i <= count; ++i) {
    if (!BonusActive[i]) continue;
    BonusAnimPos[i] += 0.1 * f.SpeedFactor();
    if (BonusAnimPos[i] > 4) BonusAnimPos[i] = 0;
    int x = 0, y = 0;
    BoxAt(i, x, y);
    if (x < -20 || x > 720 || y < -20 || y > 620) continue;
    bool taken = false;
    const int pts[4][2] = {{x, y}, {x + 35, y}, {x, y + 34}, {x + 35, y + 34}};
    for (const auto& p : pts) {
      if (dynamic_cast<TPlayer*>(Engine->GetSpriteAt(p[0], p[1]))) {
        taken = true;
        break;
      }
    }
    if (!taken) continue;
    BonusActive[i] = false;
    TPlayer* rider = f.Race.Player;
    static constexpr int Points[6] = {0, 10, 20, 50, 100, 50};
    const int kind = BonusKind[i];
    if (rider) rider->AddScore(Points[kind >= 1 && kind <= 5 ? kind : 1]);
    if (kind == 5) {
      if (rider) rider->AddLife(1);
      f.PlaySound(sfx::LifeBonus);
    } else {
      f.PlaySound(sfx::PointsBonus);
    }
  }
}

void TBonus::Draw() {
  IRaceHost& f = Host();
  const TTrackState& t = f.Track;
  const int count = std::min(t.BonusCount, 400);
  for (int i = 1; i <= count; ++i) {
    if (!BonusActive[i]) continue;
    if (BonusCol[i] < t.ViewCol || BonusCol[i] > t.ViewCol + 13 || BonusRow[i] < t.ViewRow ||
        BonusRow[i] > t.ViewRow + 10)
      continue;
    const TPictureItem* pic = f.MImageList2.Item(10 + BonusKind[i]);
    if (!pic) continue;
    int x = 0, y = 0;
    BoxAt(i, x, y);
    pic->DrawPattern(f.MDisplay, x, y, static_cast<int>(std::trunc(BonusAnimPos[i])));
  }
}

}  // namespace zw
