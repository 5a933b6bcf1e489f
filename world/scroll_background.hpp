// TScrollBackground: the menus' backdrop and the race's scrolling window onto the track map.
#pragma once

#include <functional>

#include "sprites/engine.hpp"

namespace zw {

class IRaceHost;

class TScrollBackground : public TBackgroundSprite {
 public:
  TScrollBackground(TSpriteEngine& engine, int imageListNo, int imageIndex, int mapWidth,
                    int mapHeight);
  // The race's 13 x 10 window onto the track (list 2, the tile strip).
  static TScrollBackground* CreateRace(TSpriteEngine& engine);
  // A menu backdrop: one cell showing pattern 0 of the picture.
  static TScrollBackground* CreateMenuBackground(TSpriteEngine& engine, int imageListNo,
                                                 int imageIndex);

  uint8_t ImageListNo = 1;
  double StepX = 0, StepY = 0;
  bool Killed = false;

  void SetTileImage(int index);
  void SetImageListAndTile(int index, int listNo);
  void KillOnce();
  // What the race does once its window has stepped in a race frame: the riders meet the
  // roadside obstacles where the window now shows them.
  std::function<void(const TScrollBackground&)> Scrolled;
  // The race's sprite that paints the two side panels over the road, when there is one.
  std::function<const TSprite*()> PanelSprite;

  void Move(int moveCount) override;
  void Draw() override;
  // True when this frame's drawing, as things stand before it, overwrites every pixel of the
  // surface with opaque pictures: the race's road cells between the two side panels, and the
  // panels themselves. The frame then needs no clearing first.
  bool CoversFrame() const;

 private:
  IRaceHost& Host() const;
  // The road's clip between the rider's side panels, when they are drawn over it this frame.
  bool RaceClip(TRect& clip) const;
};

}  // namespace zw
