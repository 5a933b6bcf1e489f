// The game's sprite base (image-list binding, rate-controlled animation, blended drawing),
// the blinking cursor and the menu button.
#pragma once

#include "sprites/engine.hpp"

namespace zw {

class TMyImageSprite : public TImageSprite {
 public:
  // An engine child bound to image list listNo (1 or 2); no image is chosen yet.
  TMyImageSprite(TSpriteEngine& engine, int listNo);
  static TMyImageSprite* CreateAt(TSpriteEngine& engine, int listNo, int imageIndex, double x,
                                  double y, int z);
  static TMyImageSprite* CreateCentered(TSpriteEngine& engine, int listNo, int imageIndex,
                                        double cx, double cy, int z);

  bool AlphaDraw = false;
  int32_t Alpha = 0;
  int32_t AnimRate = 0;
  uint8_t ImageListNo = 1;
  bool KillAtAnimEnd = false;
  bool HideAtAnimEnd = false;
  double PrevAnimPos = 0;
  double AnimPosBeforeMove = 0;
  int32_t CenterX = 0, CenterY = 0;
  bool Killed = false;

  // Takes picture n of the sprite's image list and its size; answers its pattern count.
  int SetImageIndex(int n);
  void SetAnimation(int n, int rate);
  void KillOnce();
  void Draw() override;
  void Move(int moveCount) override;

 protected:
  TSpriteEngine& Eng() const { return *Engine; }
};

class TMyCursor : public TMyImageSprite {
 public:
  TMyCursor(TSpriteEngine& engine, int listNo);
  static TMyCursor* Create(TSpriteEngine& engine, int listNo, int imageIndex, double x, double y,
                           int z, int blinkPeriod);
  int32_t BlinkPeriod = 0;
  int32_t BlinkTimer = 0;
  bool Blinking = false;
  void Move(int moveCount) override;
};

class TMenuButton : public TMyImageSprite {
 public:
  explicit TMenuButton(TSpriteEngine& engine);
  static TMenuButton* Create(TSpriteEngine& engine, int listNo, int selectedImage, int normalImage,
                             int selectedFrame, int normalFrame, double x, double y);
  int32_t SelectedImage = 0, NormalImage = 0;
  int32_t SelectedFrame = 0, NormalFrame = 0;
  int32_t HitWidth = -1, HitHeight = -1;
  bool Selected = false;
  bool RaiseWhenSelected = false;
  bool UseOwnZ = false;
  int32_t NormalZ = 4, SelectedZ = 5;
  void Select();
  void Deselect();
};

}  // namespace zw
