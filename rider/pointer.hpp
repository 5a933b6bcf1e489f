// TPointer: the speedometer's needle, turned about its pivot by the race frame.
#pragma once

#include "sprites/game_sprites.hpp"

namespace zw {

class TPointer : public TMyImageSprite {
 public:
  // The race's needle: list 2, image 4, pivot (0.7, 0.5), offsets (-10, 510).
  static TPointer* Create(TSpriteEngine& engine);
  static TPointer* Create(TSpriteEngine& engine, int listNo, int imageIndex, double pivotX,
                          double pivotY, int x, int y);
  TPointer(TSpriteEngine& engine, int listNo);

  double PivotX = 0.5, PivotY = 0.5;
  int32_t BaseX = 0, BaseY = 0;
  int32_t Angle = 0;

  void Draw() override;
};

}  // namespace zw
