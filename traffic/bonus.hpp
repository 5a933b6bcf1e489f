// TBonus: the bonuses lying on the road, as per-slot arrays inside one sprite.
#pragma once

#include "core/bounds.hpp"
#include "sprites/game_sprites.hpp"

namespace zw {

class IRaceHost;

class TBonus : public TMyImageSprite {
 public:
  // The bonuses' sprite (image list 2, picture 11, Z 5) with the level's bonuses placed.
  static TBonus* Create(TSpriteEngine& engine);
  explicit TBonus(TSpriteEngine& engine);

  TSlots<bool, 1, 400> BonusActive;
  TSlots<int32_t, 1, 400> BonusCol;
  TSlots<int32_t, 1, 400> BonusRow;
  TSlots<uint8_t, 1, 400> BonusKind;
  TSlots<double, 1, 400> BonusAnimPos;

  void ResetBonuses();
  void Draw() override;
  void Move(int moveCount) override;

 private:
  IRaceHost& Host();
  void BoxAt(int i, int& x, int& y);
};

}  // namespace zw
