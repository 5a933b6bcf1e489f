// The sprite tree: creation and freeing, depth order, the move and draw passes, hit tests.
#include "sprites/engine.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace zw {

namespace {

int RoundI(double v) {
  return static_cast<int>(std::nearbyint(v));
}

// The non-negative remainder of a by m (m > 0).
int PosMod(int a, int m) {
  const int r = a % m;
  return r < 0 ? r + m : r;
}

}  // namespace

// --- TSprite ---

TSprite::TSprite(TSprite* parent) : Parent(parent) {
  if (parent) {
    parent->Children.push_back(this);
    parent->InsertByZ(this);
    auto* engine = dynamic_cast<TSpriteEngine*>(parent);
    Engine = engine ? engine : parent->Engine;
    if (Engine) Engine->AllCount += 1;
  }
  Collisioned = Moved = Visible = true;
}

TSprite::~TSprite() {
  // Children go first, the last created first.
  while (!Children.empty()) delete Children.back();
  if (Parent) {
    if (Engine) {
      Engine->AllCount -= 1;
      auto& dl = Engine->DeadList;
      dl.erase(std::remove(dl.begin(), dl.end(), this), dl.end());
    }
    Parent->RemoveChild(this);
  }
}

void TSprite::RemoveChild(TSprite* child) {
  Children.erase(std::remove(Children.begin(), Children.end(), child), Children.end());
  DrawList.erase(std::remove(DrawList.begin(), DrawList.end(), child), DrawList.end());
  if (Children.empty()) {
    Children.shrink_to_fit();
    DrawList.shrink_to_fit();
  }
}

// A newcomer goes before every sibling of equal depth, so it is drawn under them.
void TSprite::InsertByZ(TSprite* child) {
  int low = 0, high = static_cast<int>(DrawList.size()) - 1;
  while (low <= high) {
    const int mid = (low + high) / 2;
    if (DrawList[static_cast<size_t>(mid)]->Z - child->Z < 0)
      low = mid + 1;
    else
      high = mid - 1;
  }
  DrawList.insert(DrawList.begin() + low, child);
}

void TSprite::Kill() {
  if (!Engine || Dead) return;
  Dead = true;
  Engine->DeadList.push_back(this);
}

void TSprite::SetZ(int32_t z) {
  if (z == Z) return;
  Z = z;
  if (Parent) {
    auto& dl = Parent->DrawList;
    dl.erase(std::remove(dl.begin(), dl.end(), this), dl.end());
    Parent->InsertByZ(this);
  }
}

TSprite* TSprite::Items(int i) const {
  if (Children.empty() || i < 0 || i >= Count())
    throw std::out_of_range("Index of the list exceeds the range. (" + std::to_string(i) + ")");
  return Children[static_cast<size_t>(i)];
}

double TSprite::WorldX() const {
  return Parent ? X + Parent->WorldX() : X;
}
double TSprite::WorldY() const {
  return Parent ? Y + Parent->WorldY() : Y;
}

TRect TSprite::GetBoundsRect() const {
  const int l = RoundI(WorldX()), t = RoundI(WorldY());
  return TRect{l, t, l + Width, t + Height};
}

void TSprite::Visit(TSprite*& best, double px, double py) {
  if (Visible) {
    const int x = RoundI(px), y = RoundI(py);
    const int l = RoundI(X), t = RoundI(Y);
    if (x >= l && x <= l + Width && y >= t && y <= t + Height && (!best || best->Z < Z))
      best = this;
  }
  for (TSprite* c : Children) c->Visit(best, px - X, py - Y);
}

TSprite* TSprite::GetSpriteAt(double x, double y) {
  TSprite* best = nullptr;
  for (TSprite* c : Children) c->Visit(best, x - X, y - Y);
  return best;
}

void TSprite::MovePass(int moveCount) {
  if (!Moved) return;
  Move(moveCount);
  // Children made during the pass wait for the next one.
  const int n = Count();
  for (int i = 0; i < n && i < Count(); ++i) Children[static_cast<size_t>(i)]->MovePass(moveCount);
}

void TSprite::DrawPass() {
  if (!Visible) return;
  if (Engine) {
    if (RectsOverlap(GetBoundsRect(), Engine->SurfaceRect)) {
      Draw();
      Engine->DrawCount += 1;
    }
  }
  // A copy, so a sprite that changes its depth while drawing cannot upset the walk.
  const std::vector<TSprite*> order = DrawList;
  for (TSprite* c : order) c->DrawPass();
}

// --- TImageSprite ---

TImageSprite::TImageSprite(TSprite* parent) : TSprite(parent) {
  Transparent = true;
}

void TImageSprite::SetImage(const TPictureItem* image) {
  Image = image;
  Width = image ? image->PatternWidth() : 0;
  Height = image ? image->PatternHeight() : 0;
}

int TImageSprite::DrawFrame() const {
  return AnimStart + RoundI(AnimPos);
}

TRect TImageSprite::DrawRect() const {
  TRect r = GetBoundsRect();
  if (!Image) return r;
  const int dx = (Width - Image->PatternWidth()) / 2;
  const int dy = (Height - Image->PatternHeight()) / 2;
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

void TImageSprite::Draw() {
  if (!Image || !Engine || !Engine->Surface) return;
  const TRect r = DrawRect();
  Image->DrawPattern(*Engine->Surface, r.Left, r.Top, DrawFrame());
}

void TImageSprite::Move(int moveCount) {
  AnimPos += AnimSpeed * moveCount;
  if (AnimLooped) {
    if (AnimCount > 0) {
      AnimPos -= std::nearbyint(AnimPos / AnimCount) * AnimCount;
      if (AnimPos < 0) AnimPos += AnimCount;
    } else {
      AnimPos = 0;
    }
  } else {
    if (AnimPos >= AnimCount) {
      AnimPos = AnimCount - 1;
      AnimSpeed = 0;
    }
    if (AnimPos < 0) {
      AnimPos = 0;
      AnimSpeed = 0;
    }
  }
}

TRect TImageSprite::GetBoundsRect() const {
  if (!Tile || !Engine) return TSprite::GetBoundsRect();
  // A tiled sprite comes back in on the opposite edge.
  const TRect& s = Engine->SurfaceRect;
  const int mx = s.Right + Width, my = s.Bottom + Height;
  int x = mx > 0 ? PosMod(RoundI(WorldX()), mx) : 0;
  if (x > s.Right) x -= mx;
  int y = my > 0 ? PosMod(RoundI(WorldY()), my) : 0;
  if (y > s.Bottom) y -= my;
  return TRect{x, y, x + Width, y + Height};
}

bool TImageSprite::TestCollision(TSprite& other) {
  auto* img = dynamic_cast<TImageSprite*>(&other);
  if (!img || !PixelCheck) return true;
  if (!Image || !img->Image) return false;
  const TRect a = DrawRect(), b = img->DrawRect();
  const TRect o{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom)};
  if (o.Empty()) return false;
  const int fa = DrawFrame(), fb = img->DrawFrame();
  for (int y = o.Top; y < o.Bottom; ++y)
    for (int x = o.Left; x < o.Right; ++x)
      if (Image->PatternPixelSolid(fa, x - a.Left, y - a.Top) &&
          img->Image->PatternPixelSolid(fb, x - b.Left, y - b.Top))
        return true;
  return false;
}

// --- TBackgroundSprite ---

TBackgroundSprite::TBackgroundSprite(TSprite* parent) : TSprite(parent) {
  Collisioned = false;
}

TBackgroundSprite::~TBackgroundSprite() {
  SetMapSize(0, 0);
}

void TBackgroundSprite::SetMapSize(int w, int h) {
  if (w == MapWidth && h == MapHeight) return;
  if (w <= 0 || h <= 0) {
    w = 0;
    h = 0;
  }
  MapWidth = w;
  MapHeight = h;
  Chips.assign(static_cast<size_t>(w) * h, 0);
  CollisionMap.assign(static_cast<size_t>(w) * h, 1);
}

void TBackgroundSprite::SetChip(int x, int y, int32_t v) {
  if (x < 0 || y < 0 || x >= MapWidth || y >= MapHeight) return;
  Chips[static_cast<size_t>(x) + static_cast<size_t>(y) * MapWidth] = v;
}

int32_t TBackgroundSprite::GetChip(int x, int y) const {
  if (x < 0 || y < 0 || x >= MapWidth || y >= MapHeight) return -1;
  return Chips[static_cast<size_t>(x) + static_cast<size_t>(y) * MapWidth];
}

bool TBackgroundSprite::GetCollisionMapItem(int x, int y) const {
  if (x < 0 || y < 0 || x >= MapWidth || y >= MapHeight) return false;
  return CollisionMap[static_cast<size_t>(x) + static_cast<size_t>(y) * MapWidth] != 0;
}

void TBackgroundSprite::SetCollisionMapItem(int x, int y, uint8_t v) {
  if (x < 0 || y < 0 || x >= MapWidth || y >= MapHeight) return;
  CollisionMap[static_cast<size_t>(x) + static_cast<size_t>(y) * MapWidth] = v;
}

void TBackgroundSprite::SetBackgroundImage(const TPictureItem* image) {
  Image = image;
  Width = image ? image->PatternWidth() * MapWidth : 0;
  Height = image ? image->PatternHeight() * MapHeight : 0;
}

TRect TBackgroundSprite::GetBoundsRect() const {
  if (Tile && Engine) return Engine->SurfaceRect;
  if (!Image) return TRect{};
  const int l = RoundI(WorldX()), t = RoundI(WorldY());
  return TRect{l, t, l + Image->PatternWidth() * MapWidth, t + Image->PatternHeight() * MapHeight};
}

bool TBackgroundSprite::Layout(TCellLayout& l) const {
  if (!Image || MapWidth <= 0 || MapHeight <= 0 || !Engine || !Engine->Surface) return false;
  const TRect p0 = Image->PatternRect(0);
  l.CellW = p0.Width();
  l.CellH = p0.Height();
  if (l.CellW <= 0 || l.CellH <= 0) return false;
  const TRect& s = Engine->SurfaceRect;
  const int dw = (s.Right + l.CellW) / l.CellW + 1, dh = (s.Bottom + l.CellH) / l.CellH + 1;
  const int px = RoundI(WorldX()), py = RoundI(WorldY());
  l.OffX = px % l.CellW;
  l.OffY = py % l.CellH;
  l.StartX = px / l.CellW;
  l.StartY = py / l.CellH;
  l.SkipX = l.SkipY = 0;
  if (l.StartX < 0) {
    l.SkipX = -l.StartX;
    l.StartX = 0;
  }
  if (l.StartY < 0) {
    l.SkipY = -l.StartY;
    l.StartY = 0;
  }
  if (!Tile) {
    l.BeginX = l.StartX;
    l.BeginY = l.StartY;
    l.EndX = std::min(l.StartX + MapWidth - l.SkipX, dw);
    l.EndY = std::min(l.StartY + MapHeight - l.SkipY, dh);
  } else {
    l.BeginX = l.BeginY = -1;
    l.EndX = dw + 1;
    l.EndY = dh + 1;
  }
  return true;
}

int32_t TBackgroundSprite::CellChip(const TCellLayout& l, int cx, int cy) const {
  if (!Tile) return GetChip(cx + l.SkipX - l.StartX, cy + l.SkipY - l.StartY);
  const int mx = PosMod(cx + l.SkipX - l.StartX, MapWidth);
  const int my = PosMod(cy + l.SkipY - l.StartY, MapHeight);
  return Chips[static_cast<size_t>(mx) + static_cast<size_t>(my) * MapWidth];
}

void TBackgroundSprite::Draw() {
  TCellLayout l;
  if (!Layout(l)) return;
  TSurface& dest = *Engine->Surface;
  for (int cy = l.BeginY; cy < l.EndY; ++cy)
    for (int cx = l.BeginX; cx < l.EndX; ++cx) {
      const int32_t c = CellChip(l, cx, cy);
      if (c >= 0)
        Image->DrawPattern(dest, cx * l.CellW + l.OffX, cy * l.CellH + l.OffY, c, DrawClip);
    }
}

namespace {

int FloorDiv(int a, int b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

bool TBackgroundSprite::CoversOpaquely(const TRect& r) const {
  TCellLayout l;
  if (!Layout(l) || r.Empty()) return false;
  // The cells' slots tile the plane; each slot that meets `r` must hold a drawn cell whose
  // pattern is opaque and at least as large as the slot.
  const int x0 = FloorDiv(r.Left - l.OffX, l.CellW), x1 = FloorDiv(r.Right - 1 - l.OffX, l.CellW);
  const int y0 = FloorDiv(r.Top - l.OffY, l.CellH), y1 = FloorDiv(r.Bottom - 1 - l.OffY, l.CellH);
  if (x0 < l.BeginX || x1 >= l.EndX || y0 < l.BeginY || y1 >= l.EndY) return false;
  for (int cy = y0; cy <= y1; ++cy)
    for (int cx = x0; cx <= x1; ++cx) {
      const int32_t c = CellChip(l, cx, cy);
      if (c < 0 || !Image->PatternOpaque(c)) return false;
      const TRect pr = Image->PatternRect(c);
      if (pr.Width() < l.CellW || pr.Height() < l.CellH) return false;
    }
  return true;
}

bool TBackgroundSprite::TestCollision(TSprite& other) {
  if (!Image || MapWidth <= 0 || MapHeight <= 0) return true;
  const TRect me = GetBoundsRect(), them = other.GetBoundsRect();
  const TRect o{std::max(me.Left, them.Left), std::max(me.Top, them.Top),
                std::min(me.Right, them.Right), std::min(me.Bottom, them.Bottom)};
  if (o.Empty()) return false;
  const int cw = Image->PatternWidth(), ch = Image->PatternHeight();
  if (cw <= 0 || ch <= 0) return false;
  const int x0 = (o.Left - me.Left) / cw, x1 = (o.Right - 1 - me.Left) / cw;
  const int y0 = (o.Top - me.Top) / ch, y1 = (o.Bottom - 1 - me.Top) / ch;
  for (int cy = y0; cy <= y1; ++cy)
    for (int cx = x0; cx <= x1; ++cx) {
      if (!GetCollisionMapItem(PosMod(cx, MapWidth), PosMod(cy, MapHeight))) continue;
      const TRect cell{me.Left + cx * cw, me.Top + cy * ch, me.Left + (cx + 1) * cw,
                       me.Top + (cy + 1) * ch};
      if (RectsOverlap(cell, them)) return true;
    }
  return false;
}

// --- TSpriteEngine ---

TSpriteEngine::TSpriteEngine() : TSprite(nullptr) {}

TSpriteEngine::~TSpriteEngine() {
  while (!Children.empty()) delete Children.back();
  DeadList.clear();
}

void TSpriteEngine::SetSurface(TSurface* surface) {
  Surface = surface;
  if (surface) {
    SurfaceRect = surface->ClientRect();
    Width = surface->Width;
    Height = surface->Height;
  }
}

void TSpriteEngine::Dead() {
  // The last marked goes first, each with its subtree.
  while (!DeadList.empty()) delete DeadList.back();
}

void TSpriteEngine::DrawAll() {
  DrawCount = 0;
  DrawPass();
}

void TSpriteEngine::MoveAll(int moveCount) {
  MovePass(moveCount);
}

}  // namespace zw
