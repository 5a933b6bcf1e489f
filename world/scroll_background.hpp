// TScrollBackground: the menus' backdrop and the race's scrolling window onto the track map.
#pragma once

#include "sprites/engine.hpp"

namespace zw {

class TMForm;

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
  void Move(int moveCount) override;
  void Draw() override;

 private:
  TMForm& Form() const;
  void ObstaclesAgainstRider();
  void ObstaclesAgainstOpponents();
};

}  // namespace zw
