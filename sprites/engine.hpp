// The sprite engine: a tree of sprites drawn in depth order, moved each frame, freed when dead.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/surface.hpp"
#include "packs/picture.hpp"

namespace zw {

class TMForm;
class IRaceHost;
class TSpriteEngine;

class TSprite {
 public:
  // A sprite in the tree under `parent` (none only for the engine itself).
  explicit TSprite(TSprite* parent);
  virtual ~TSprite();
  TSprite(const TSprite&) = delete;
  TSprite& operator=(const TSprite&) = delete;

  TSpriteEngine* Engine = nullptr;
  TSprite* Parent = nullptr;
  std::vector<TSprite*> Children;  // in order of creation
  bool Dead = false;
  std::vector<TSprite*> DrawList;  // the children by ascending Z
  bool Collisioned = true;
  bool Moved = true;
  bool Visible = true;
  double X = 0, Y = 0;
  int32_t Z = 0;
  int32_t Width = 0, Height = 0;

  virtual void Collide() {}
  virtual void Draw() {}
  virtual void Move(int moveCount) { (void)moveCount; }
  virtual TRect GetBoundsRect() const;
  virtual bool TestCollision(TSprite& other) {
    (void)other;
    return true;
  }

  void Kill();
  void SetZ(int32_t z);
  int Count() const { return static_cast<int>(Children.size()); }
  // The i-th child in creation order; throws std::out_of_range outside the list.
  TSprite* Items(int i) const;
  double WorldX() const;
  double WorldY() const;
  // The topmost visible sprite under a point, in this sprite's coordinates; nullptr for none.
  TSprite* GetSpriteAt(double x, double y);

  // The passes the engine runs over the tree.
  void MovePass(int moveCount);
  void DrawPass();

 private:
  void InsertByZ(TSprite* child);
  void RemoveChild(TSprite* child);
  void Visit(TSprite*& best, double px, double py);
};

class TImageSprite : public TSprite {
 public:
  explicit TImageSprite(TSprite* parent);

  int32_t AnimCount = 0;
  bool AnimLooped = false;
  double AnimPos = 0;
  double AnimSpeed = 0;
  int32_t AnimStart = 0;
  const TPictureItem* Image = nullptr;
  bool PixelCheck = false;
  bool Tile = false;
  // Surface pixels the cells may change; the rest is left as it is (what is drawn over it later
  // hides it anyway).
  TRect DrawClip{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};
  bool Transparent = true;

  virtual void SetImage(const TPictureItem* image);
  int DrawFrame() const;
  TRect DrawRect() const;
  void Draw() override;
  void Move(int moveCount) override;
  TRect GetBoundsRect() const override;
  bool TestCollision(TSprite& other) override;
};

class TBackgroundSprite : public TSprite {
 public:
  explicit TBackgroundSprite(TSprite* parent);
  ~TBackgroundSprite() override;

  const TPictureItem* Image = nullptr;
  std::vector<uint8_t> CollisionMap;
  std::vector<int32_t> Chips;
  int32_t MapWidth = 0, MapHeight = 0;
  bool Tile = false;
  // Surface pixels the cells may change; the rest is left as it is (what is drawn over it later
  // hides it anyway).
  TRect DrawClip{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};

  void SetMapSize(int w, int h);
  void SetChip(int x, int y, int32_t v);
  int32_t GetChip(int x, int y) const;
  bool GetCollisionMapItem(int x, int y) const;
  void SetCollisionMapItem(int x, int y, uint8_t v);
  void SetBackgroundImage(const TPictureItem* image);
  void Draw() override;
  // True when Draw, as things stand, overwrites every surface pixel of `r` (which lies inside
  // the surface and DrawClip) with an opaque pixel of a cell, whatever lay there before.
  bool CoversOpaquely(const TRect& r) const;
  TRect GetBoundsRect() const override;
  bool TestCollision(TSprite& other) override;

 private:
  // Where Draw lays the cells: cell (cx, cy) of the ranges below stands at
  // (cx * CellW + OffX, cy * CellH + OffY).
  struct TCellLayout {
    int CellW = 0, CellH = 0, OffX = 0, OffY = 0;
    int StartX = 0, StartY = 0, SkipX = 0, SkipY = 0;
    int BeginX = 0, EndX = 0, BeginY = 0, EndY = 0;  // end exclusive
  };
  // False when nothing is drawn at all.
  bool Layout(TCellLayout& l) const;
  // The chip of cell (cx, cy) of the layout; negative for none.
  int32_t CellChip(const TCellLayout& l, int cx, int cy) const;
};

class TSpriteEngine : public TSprite {
 public:
  TSpriteEngine();
  ~TSpriteEngine() override;

  int32_t AllCount = 0;
  std::vector<TSprite*> DeadList;
  int32_t DrawCount = 0;
  TSurface* Surface = nullptr;
  TRect SurfaceRect;
  // What the game's sprites reach through the engine.
  TMForm* Form = nullptr;
  // The race's sprites reach the game through its race host alone.
  IRaceHost* RaceHost = nullptr;
  const int32_t* FrameTime = nullptr;
  TImageList* ImageLists[4] = {};

  int32_t CurrentFrameTime() const { return FrameTime ? *FrameTime : 15; }
  void SetSurface(TSurface* surface);
  void Dead();
  void DrawAll();
  void MoveAll(int moveCount);
};

// The form's engine component: owns the engine and ties it to the drawing surface.
class TSpriteEngineComponent {
 public:
  TSpriteEngineComponent() : E(std::make_unique<TSpriteEngine>()) {}
  TSpriteEngine& Engine() { return *E; }
  void Dead() { E->Dead(); }
  void Draw() {
    if (E->Surface) E->DrawAll();
  }
  void Move(int moveCount) { E->MoveAll(moveCount); }
  void SetSurface(TSurface* surface) { E->SetSurface(surface); }

 private:
  std::unique_ptr<TSpriteEngine> E;
};

}  // namespace zw
