// The scrolling background: the view stepping over the map.
#include "world/scroll_background.hpp"

#include <cmath>

#include "world/generator.hpp"
#include "world/race_host.hpp"

namespace zw {

TScrollBackground::TScrollBackground(TSpriteEngine& engine, int imageListNo, int imageIndex,
                                     int mapWidth, int mapHeight)
    : TBackgroundSprite(&engine) {
  SetMapSize(mapWidth, mapHeight);
  ImageListNo = static_cast<uint8_t>(imageListNo);
  SetTileImage(imageIndex);
  X = 0;
  Y = 0;
  SetZ(2);
  Tile = false;
  StepX = StepY = 0;
  if (engine.RaceHost) {
    engine.RaceHost->Race.ScrollVX = 0;
    engine.RaceHost->Race.ScrollVY = 0;
  }
  Killed = false;
}

TScrollBackground* TScrollBackground::CreateRace(TSpriteEngine& engine) {
  auto* b = new TScrollBackground(engine, 2, 1, 13, 10);
  b->SetImageListAndTile(1, 2);
  b->X = 0;
  b->Y = 0;
  return b;
}

TScrollBackground* TScrollBackground::CreateMenuBackground(TSpriteEngine& engine, int imageListNo,
                                                           int imageIndex) {
  return new TScrollBackground(engine, imageListNo, imageIndex, 1, 1);
}

IRaceHost& TScrollBackground::Host() const {
  return *Engine->RaceHost;
}

void TScrollBackground::SetTileImage(int index) {
  if ((ImageListNo == 1 || ImageListNo == 2) && Engine && Engine->ImageLists[ImageListNo])
    SetBackgroundImage(Engine->ImageLists[ImageListNo]->Item(index));
  Width = Image ? Image->PatternWidth() : 0;
  Height = Image ? Image->PatternHeight() : 0;
}

void TScrollBackground::SetImageListAndTile(int index, int listNo) {
  ImageListNo = static_cast<uint8_t>(listNo);
  SetTileImage(index);
}

void TScrollBackground::KillOnce() {
  if (Killed) return;
  Kill();
  Killed = true;
}

void TScrollBackground::Move(int) {
  IRaceHost& f = Host();
  TTrackState& t = f.Track;
  StepX = f.Race.ScrollVX;
  StepY = f.Race.ScrollVY;
  X += StepX * 0.5 * f.SpeedFactor();
  Y += StepY * 0.5 * f.SpeedFactor();
  // The view moves one tile at most per direction and frame, by the sign of the velocity.
  auto stepCol = [&] {
    if (f.Race.ScrollVX > 0 && t.ViewCol > 0) t.ViewCol -= 1;
    if (f.Race.ScrollVX < 0 && t.ViewCol + 13 < TrackCols) t.ViewCol += 1;
  };
  auto stepRow = [&] {
    if (f.Race.ScrollVY > 0 && t.ViewRow > 0) t.ViewRow -= 1;
    if (f.Race.ScrollVY < 0 && t.ViewRow + 10 < TrackRows) t.ViewRow += 1;
  };
  if (X > 0) {
    X -= TileSize;
    stepCol();
  }
  if (X < -TileSize) {
    X += TileSize;
    stepCol();
  }
  if (Y > 0) {
    Y -= TileSize;
    stepRow();
  }
  if (Y < -TileSize) {
    Y += TileSize;
    stepRow();
  }
  if (!f.Racing()) return;
  if (Scrolled) Scrolled(*this);
}

namespace {

// True when `p` is a whole opaque picture standing at (x, 0) that covers the surface's full
// height and every column from x to `right`.
bool CoversColumns(const TPictureItem* p, int x, int right, const TSurface& s) {
  if (!p || p->Transparent || p->PatternCount() != 1) return false;
  const TRect r = p->PatternRect(0);
  return r.Left == 0 && r.Top == 0 && r.Right == p->PictureWidth && r.Bottom == p->PictureHeight &&
         p->PictureHeight >= s.Height && x + p->PictureWidth >= right &&
         p->Pixels.size() == static_cast<size_t>(p->PictureWidth) * p->PictureHeight;
}

}  // namespace

// In a race the rider's two side panels are painted over the road every frame; the road is laid
// only between them, which leaves every pixel of the finished frame as it was.
bool TScrollBackground::RaceClip(TRect& clip) const {
  const IRaceHost& f = Host();
  const TSprite* p = PanelSprite ? PanelSprite() : nullptr;
  if (f.Race.Background != this || !p || !Engine || !Engine->Surface || !p->Visible || p->Z <= Z ||
      p->Parent != Parent || !RectsOverlap(p->GetBoundsRect(), Engine->SurfaceRect))
    return false;
  const TSurface& s = *Engine->Surface;
  const TPictureItem* left = f.MImageList2.Item(2);
  const TPictureItem* right = f.MImageList2.Item(3);
  if (!CoversColumns(left, 0, 0, s) || !CoversColumns(right, 626, s.Width, s) ||
      left->PictureWidth > 626)
    return false;
  clip = TRect{left->PictureWidth, 0, 626, s.Height};
  return true;
}

void TScrollBackground::Draw() {
  DrawClip = TRect{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};
  TRect clip;
  if (RaceClip(clip)) DrawClip = clip;
  TBackgroundSprite::Draw();
}

bool TScrollBackground::CoversFrame() const {
  if (!Engine || !Engine->Surface) return false;
  // Drawn at all this frame: every sprite up to the engine shown, and on the surface.
  for (const TSprite* s = this; s; s = s->Parent)
    if (!s->Visible) return false;
  if (!RectsOverlap(GetBoundsRect(), Engine->SurfaceRect)) return false;
  TRect clip;
  if (!RaceClip(clip)) return false;
  // The panels cover everything beside the clip: the road's cells must cover all of it.
  const TSurface& s = *Engine->Surface;
  const TRect inside{std::max(clip.Left, 0), std::max(clip.Top, 0), std::min(clip.Right, s.Width),
                     std::min(clip.Bottom, s.Height)};
  return CoversOpaquely(inside);
}

}  // namespace zw
