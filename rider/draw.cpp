// The rider's drawing: tyre marks, the bike, the opponents, the panels and the track radar;
// and the speedometer needle.
#include <cmath>

#include "packs/panel_layout.hpp"
#include "rider/player.hpp"
#include "rider/pointer.hpp"
#include "traffic/car.hpp"
#include "world/generator.hpp"
#include "world/race_host.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {
int RoundI(double v) {
  return static_cast<int>(std::nearbyint(v));
}
int TruncI(double v) {
  return static_cast<int>(std::trunc(v));
}
}  // namespace

void TPlayer::Draw() {
  IRaceHost& f = Host();
  TSurface& s = f.MDisplay;
  const TImageList& l2 = f.MImageList2;
  // 1. Tyre marks.
  if (const TPictureItem* mark = l2.Item(10)) {
    for (int i = 1; i <= 100; ++i)
      if (Marks[i].Used)
        mark->DrawRotate(s, TruncI(Marks[i].X), TruncI(Marks[i].Y), 10, 14, 0, 0.5, 0.5,
                         Marks[i].Heading);
  }
  // 2, 3. The bike, pinned to the screen while the world scrolls.
  X = 400;
  Y = 400;
  if (Image) {
    const int w = Image->PatternWidth(), h = Image->PatternHeight();
    const int cx = Crashed ? TruncI(X + Width / 2.0) : TruncI(X + w / 2.0);
    const int cy = Crashed ? TruncI(Y) : TruncI(Y + h / 2.0);
    Image->DrawRotate(s, cx, cy, w, h, TruncI(AnimPos), 0.5, 0.5, Heading);
  }
  // 4, 5. The opponents: wrecks first, then the riders, above the bike and below the panel.
  if (const TCar* car = f.Race.Car) {
    const double bx = f.Race.Background ? f.Race.Background->X : 0.0;
    const double by = f.Race.Background ? f.Race.Background->Y : 0.0;
    const double ox = -f.Track.ViewCol * TileSizeD + bx, oy = -f.Track.ViewRow * TileSizeD + by;
    for (int pass = 0; pass < 2; ++pass) {
      const bool wrecks = pass == 0;
      for (int i = 1; i <= 5; ++i) {
        if (!car->Opponents[i].Racing || !car->Opponents[i].Active ||
            car->Opponents[i].Wrecked != wrecks)
          continue;
        const TPictureItem* pic = l2.Item(car->Opponents[i].Image);
        if (!pic) continue;
        const int m = car->Opponents[i].Model;
        if (wrecks)
          pic->DrawRotate(s, RoundI(car->Opponents[i].X + ox),
                          RoundI(car->Opponents[i].Y + oy - WreckHeight(m) / 2.0), WreckWidth(m),
                          WreckHeight(m), TruncI(car->Opponents[i].AnimPos), 0.5, 0.5, 0);
        else
          pic->DrawRotate(s, RoundI(car->Opponents[i].X + ox), RoundI(car->Opponents[i].Y + oy),
                          CarWidth(m), CarHeight(m), TruncI(car->Opponents[i].AnimPos), 0.5, 0.5,
                          TruncI(car->Opponents[i].Heading));
      }
    }
  }
  // 6. The panels. The right one stands with the rider's bike in its bay and the radar's frame
  // already laid in, when they fit on it; else they are drawn over it as the race goes.
  const TPictureItem* bike = l2.Item(BikeUprightImage(Model()));
  const TImageList& l3 = f.MImageList3;
  const TPictureItem* frameTop = l3.Item(RadarFrameTop);
  const TPictureItem* frameFoot = l3.Item(RadarFrameFoot);
  const TPictureItem* fitted = nullptr;
  if (FitRightPanel) {
    fitted = RightPanel.Get(s.Width, s.Height, l2.Item(3), 626,
                            {bike, bike ? bike->Pixels.data() : nullptr, frameTop,
                             frameTop ? frameTop->Pixels.data() : nullptr, frameFoot,
                             frameFoot ? frameFoot->Pixels.data() : nullptr},
                            [&](TSurface& d) {
                              DrawBikeInBay(d, bike);
                              DrawRadarFrame(d, frameTop, frameFoot, nullptr);
                            });
    // A panel made again may sit in the memory of the one drawn before: all of it is drawn.
    if (RightPanel.Remade()) Panels = TStandingPictures();
  }
  Panels.Draw(s, {{l2.Item(2), 0, 0}, {fitted ? fitted : l2.Item(3), 626, 0}});
  if (!fitted) DrawBikeInBay(s, bike);
  // 7.
  DrawRadar(fitted != nullptr);
}

// The rider's own bike, twice its race size, in the bay under the radar.
void TPlayer::DrawBikeInBay(TSurface& s, const TPictureItem* bike) {
  if (!bike) return;
  const panel::TBox& bay = panel::BikeBay;
  bike->DrawRotate(s, bay.X + bay.W / 2, bay.Y + bay.H / 2, 2 * bike->PatternWidth(),
                   2 * bike->PatternHeight(), 0, 0.5, 0.5, 0);
}

// The radar's frame, over its cells: the top piece with the level plate round the window, and
// the foot under it. With `only`, just where those rectangles lie.
void TPlayer::DrawRadarFrame(TSurface& s, const TPictureItem* top, const TPictureItem* foot,
                             const std::vector<TRect>* only) {
  auto draw = [&](const TPictureItem* p, int x, int y) {
    if (!p) return;
    if (!only) {
      p->DrawPattern(s, x, y, 0);
      return;
    }
    for (const TRect& r : *only) p->DrawPattern(s, x, y, 0, r);
  };
  draw(top, 626, 0);
  draw(foot, 626, 195);
}

void TPlayer::DrawRadar(bool frameStands) {
  IRaceHost& f = Host();
  const TTrackState& t = f.Track;
  for (auto& col : RadarGrid)
    for (int32_t& v : col) v = 0;
  auto cell = [&](int row, int col) -> int {
    return TTrackState::InMap(row, col) ? t.TrackMap(row, col) : 0;
  };
  for (int r = 1; r <= 12; ++r) {
    const int row = t.ViewRow + r;
    if (row > TrackRows) continue;
    for (int c = 1; c <= 16; ++c) {
      const int code = cell(row, t.ViewCol + c);
      if (code != tile::RoadLane && code != tile::Line) continue;
      if (code == tile::Line) {
        if (c < 16) RadarGrid[c + 1][r] = 7;
      } else {
        switch (cell(row, t.ViewCol + c - 1)) {
          case tile::RoadEdgeL:
            RadarGrid[c][r] = 6;
            break;
          case tile::LeftEntryEdgeL:
            if (c > 1) RadarGrid[c - 1][r] = 20;
            RadarGrid[c][r] = 10;
            break;
          case tile::LeftShiftEdgeL:
            RadarGrid[c][r] = 40;
            if (c < 16) RadarGrid[c + 1][r] = 30;
            break;
          case tile::RightEntryEdgeL:
            RadarGrid[c][r] = 1;
            if (c < 16) RadarGrid[c + 1][r] = 2;
            break;
          case tile::RightShiftEdgeL:
            if (c > 1) RadarGrid[c - 1][r] = 3;
            RadarGrid[c][r] = 4;
            break;
          default:
            break;
        }
      }
      break;
    }
  }
  const double bgY = f.Race.Background ? f.Race.Background->Y : 0.0;
  const double v = bgY / TileSizeD * 15.0;
  // Keep the road of the rider's row under the marker; with no road there, keep the last shift.
  for (int c = 1; c <= 16; ++c) {
    const int type = RadarGrid[c][6];
    if (type == 0) continue;
    double fx = 0;
    switch (type) {
      case 1:
        fx = 9 + 0.36208 * v;
        break;
      case 3:
        fx = 14 + 0.36208 * v;
        break;
      case 6:
      case 7:
        fx = 4;
        break;
      case 20:
        fx = 8 - 0.36208 * v;
        break;
      case 40:
        fx = 3 - 0.36208 * v;
        break;
      default:
        break;
    }
    RadarShift = 717 - (10.0 * (c - 1) + 631 + fx);
    break;
  }
  auto item = [](int type) {
    switch (type) {
      case 1:
        return 0;
      case 2:
        return 1;
      case 3:
        return 2;
      case 4:
        return 3;
      case 6:
        return 4;
      case 7:
        return 5;
      case 10:
        return 6;
      case 20:
        return 7;
      case 30:
        return 8;
      case 40:
        return 9;
      default:
        return -1;
    }
  };
  TSurface& s = f.MDisplay;
  const TImageList& l3 = f.MImageList3;
  const int shift = RoundI(RadarShift);
  const int vy = RoundI(v);
  // Where the cells and dots go: with the frame standing on the panel, it is drawn again only
  // there, over them; everywhere else the panel already holds the frame's pixels. A row's cells
  // make one rectangle (drawing the frame again over a little more changes nothing).
  RadarCovered.clear();
  auto cover = [&](const TPictureItem* p, int x, int y) {
    const TRect pr = p->PatternRect(0);
    const TRect r{x, y, x + pr.Width(), y + pr.Height()};
    TRect* last = RadarCovered.empty() ? nullptr : &RadarCovered.back();
    if (last && last->Top == r.Top)
      *last = TRect{std::min(last->Left, r.Left), r.Top, std::max(last->Right, r.Right),
                    std::max(last->Bottom, r.Bottom)};
    else
      RadarCovered.push_back(r);
  };
  for (int r = 1; r <= 11; ++r)
    for (int c = 1; c <= 16; ++c)
      if (const TPictureItem* p = l3.Item(item(RadarGrid[c][r]))) {
        const int x = shift + 10 * (c - 1) + 631, y = vy + 15 * (r - 1) + 46;
        p->DrawPattern(s, x, y, 0);
        cover(p, x, y);
      }
  if (const TCar* car = f.Race.Car) {
    for (int i = 1; i <= 5; ++i) {
      if (!car->Opponents[i].Racing || !car->Opponents[i].Active) continue;
      const double top = car->Opponents[i].Top;
      const int q = RoundI((top - t.ViewRow * TileSizeD) / TileSizeD * 15.0 - 14 + 32);
      const int r = q / 15;
      if (r < 1 || r > 12) continue;
      int c = 1;
      while (c <= 16 && RadarGrid[c][r] == 0) ++c;
      if (c > 16) continue;  // no road in its row: no dot
      const int type = RadarGrid[c][r];
      const int w = q % 15;
      double g = 0;
      switch (type) {
        case 1:
          g = 9 - 0.36208 * w;
          break;
        case 3:
          g = 14 - 0.36208 * w;
          break;
        case 20:
          g = 4 + 0.36208 * w;
          break;
        case 40:
          g = -1 + 0.36208 * w;
          break;
        default:
          break;
      }
      const int dotY = vy + 46 + RoundI((top - t.ViewRow * TileSizeD) / TileSizeD * 15.0 - 14);
      if (dotY <= 192)
        if (const TPictureItem* p = l3.Item(10)) {
          const int x = RoundI(10.0 * c + 631 + RadarShift - 15 + g);
          p->DrawPattern(s, x, dotY, 0);
          cover(p, x, dotY);
        }
    }
  }
  DrawRadarFrame(s, l3.Item(RadarFrameTop), l3.Item(RadarFrameFoot),
                 frameStands ? &RadarCovered : nullptr);
  if (const TPictureItem* p = l3.Item(11)) p->DrawPattern(s, 708, 116, 0);
}

TPointer::TPointer(TSpriteEngine& engine, int listNo) : TMyImageSprite(engine, listNo) {}

TPointer* TPointer::Create(TSpriteEngine& engine, int listNo, int imageIndex, double pivotX,
                           double pivotY, int x, int y) {
  auto* p = new TPointer(engine, listNo);
  p->SetImageIndex(imageIndex);
  p->X = x;
  p->Y = y;
  p->SetZ(12);
  p->PivotX = pivotX;
  p->PivotY = pivotY;
  p->BaseX = x;
  p->BaseY = y;
  return p;
}

TPointer* TPointer::Create(TSpriteEngine& engine) {
  return Create(engine, 2, 4, 0.7, 0.5, -10, 510);
}

void TPointer::Draw() {
  if (!Image || !Engine || !Engine->Surface) return;
  const int w = Image->PatternWidth(), h = Image->PatternHeight();
  Image->DrawRotate(*Engine->Surface, w + BaseX, h + BaseY, w, h, 0, PivotX, PivotY, Angle);
}

}  // namespace zw
