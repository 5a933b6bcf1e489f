// The game sprite base, the blinking cursor and the menu button.
#include "sprites/game_sprites.hpp"

#include <cmath>

namespace zw {

TMyImageSprite::TMyImageSprite(TSpriteEngine& engine, int listNo) : TImageSprite(&engine) {
  ImageListNo = static_cast<uint8_t>(listNo);
  AnimPos = 0;
  AnimSpeed = 0;
  AnimLooped = true;
  AnimRate = 0;
  if (Image) AnimCount = Image->PatternCount();
}

TMyImageSprite* TMyImageSprite::CreateAt(TSpriteEngine& engine, int listNo, int imageIndex,
                                         double x, double y, int z) {
  auto* s = new TMyImageSprite(engine, listNo);
  s->SetImageIndex(imageIndex);
  s->X = x;
  s->Y = y;
  s->SetZ(z);
  return s;
}

TMyImageSprite* TMyImageSprite::CreateCentered(TSpriteEngine& engine, int listNo, int imageIndex,
                                               double cx, double cy, int z) {
  auto* s = new TMyImageSprite(engine, listNo);
  s->SetImageIndex(imageIndex);
  s->X = cx - s->Width / 2.0;
  s->Y = cy - s->Height / 2.0;
  s->SetZ(z);
  return s;
}

int TMyImageSprite::SetImageIndex(int n) {
  if ((ImageListNo == 1 || ImageListNo == 2) && Engine && Engine->ImageLists[ImageListNo])
    SetImage(Engine->ImageLists[ImageListNo]->Item(n));
  Width = Image ? Image->PatternWidth() : 0;
  Height = Image ? Image->PatternHeight() : 0;
  AnimPos = 0;
  PrevAnimPos = 0;
  AnimPosBeforeMove = 0;
  AnimCount = Image ? Image->PatternCount() : 0;
  return AnimCount;
}

void TMyImageSprite::SetAnimation(int n, int rate) {
  SetImageIndex(n);
  AnimPos = PrevAnimPos = AnimPosBeforeMove = 0;
  AnimLooped = true;
  AnimCount = Image ? Image->PatternCount() : 0;
  AnimRate = rate;
}

void TMyImageSprite::KillOnce() {
  if (Killed) return;
  Kill();
  Killed = true;
}

void TMyImageSprite::Draw() {
  if (!Visible) return;
  if (AlphaDraw && Alpha != 255) {
    if (!Image || !Engine || !Engine->Surface) return;
    const TRect r{static_cast<int>(std::trunc(X)), static_cast<int>(std::trunc(Y)),
                  static_cast<int>(std::trunc(X + Width)),
                  static_cast<int>(std::trunc(Y + Height))};
    Image->DrawPatternAlpha(*Engine->Surface, r, static_cast<int>(std::trunc(AnimPos)), Alpha);
    return;
  }
  TImageSprite::Draw();
}

void TMyImageSprite::Move(int moveCount) {
  AnimPosBeforeMove = AnimPos;
  TImageSprite::Move(moveCount);
  // A position that would round to one past the last frame starts the cycle again.
  if (AnimPos > AnimCount - 0.5) AnimPos = 0;
  CenterX = static_cast<int32_t>(std::trunc(X + Width / 2.0));
  CenterY = static_cast<int32_t>(std::trunc(Y + Height / 2.0));
  if (KillAtAnimEnd && AnimPos < PrevAnimPos) KillOnce();
  if (HideAtAnimEnd && AnimPos < PrevAnimPos) Visible = false;
  PrevAnimPos = AnimPos;
  // A frame time of 0 (a display reporting over 1000 Hz) would make the speed infinite and the
  // frame number meaningless; the speed then stays as it was.
  const int32_t frameTime = Eng().CurrentFrameTime();
  if (AnimRate > 0 && frameTime > 0) AnimSpeed = (1.0 / frameTime) * AnimRate / 100.0;
}

TMyCursor::TMyCursor(TSpriteEngine& engine, int listNo) : TMyImageSprite(engine, listNo) {}

TMyCursor* TMyCursor::Create(TSpriteEngine& engine, int listNo, int imageIndex, double x, double y,
                             int z, int blinkPeriod) {
  auto* c = new TMyCursor(engine, listNo);
  c->SetImageIndex(imageIndex);
  c->X = x;
  c->Y = y;
  c->SetZ(z);
  c->BlinkPeriod = blinkPeriod;
  c->Blinking = false;
  c->Visible = false;
  return c;
}

void TMyCursor::Move(int moveCount) {
  TMyImageSprite::Move(moveCount);
  if (!Blinking) {
    Visible = false;
  } else if (BlinkTimer - Eng().CurrentFrameTime() >= 0) {
    BlinkTimer -= Eng().CurrentFrameTime();
  } else {
    BlinkTimer = BlinkPeriod;
    Visible = !Visible;
  }
}

TMenuButton::TMenuButton(TSpriteEngine& engine) : TMyImageSprite(engine, 1) {}

TMenuButton* TMenuButton::Create(TSpriteEngine& engine, int listNo, int selectedImage,
                                 int normalImage, int selectedFrame, int normalFrame, double x,
                                 double y) {
  auto* b = new TMenuButton(engine);
  b->ImageListNo = static_cast<uint8_t>(listNo);
  b->SelectedImage = selectedImage;
  b->NormalImage = normalImage;
  b->SelectedFrame = selectedFrame;
  b->NormalFrame = normalFrame;
  b->SetImageIndex(normalImage);
  b->AnimPos = normalFrame;
  b->X = x;
  b->Y = y;
  b->SetZ(4);
  b->HitWidth = b->HitHeight = -1;
  b->AlphaDraw = b->Selected = b->RaiseWhenSelected = b->UseOwnZ = false;
  b->NormalZ = 4;
  b->SelectedZ = 5;
  return b;
}

void TMenuButton::Select() {
  if (RaiseWhenSelected) SetZ(17);
  SetImageIndex(SelectedImage);
  AnimPos = SelectedFrame;
  if (UseOwnZ) SetZ(SelectedZ);
}

void TMenuButton::Deselect() {
  if (RaiseWhenSelected) SetZ(15);
  SetImageIndex(NormalImage);
  AnimPos = NormalFrame;
  if (UseOwnZ) SetZ(NormalZ);
}

}  // namespace zw
