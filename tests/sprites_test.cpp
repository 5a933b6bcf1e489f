// Tests of the sprite engine and the game sprite base.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "sprites/game_sprites.hpp"

namespace zw {
namespace {

// A sprite that records the order it is drawn and moved in.
class TProbe : public TSprite {
 public:
  TProbe(TSprite* parent, std::vector<int>* log, int id) : TSprite(parent), Log(log), Id(id) {
    Width = Height = 10;
  }
  void Draw() override { Log->push_back(Id); }
  void Move(int) override { Log->push_back(100 + Id); }
  std::vector<int>* Log;
  int Id;
};

struct TEngineFixture {
  TSurface Surface{100, 100};
  TSpriteEngine Engine;
  TEngineFixture() { Engine.SetSurface(&Surface); }
};

TEST(SpritesEngine, EqualDepthsDrawTheNewcomerUnderneath) {
  TEngineFixture f;
  std::vector<int> log;
  auto* a = new TProbe(&f.Engine, &log, 1);
  a->SetZ(3);
  auto* b = new TProbe(&f.Engine, &log, 2);
  b->SetZ(3);
  auto* c = new TProbe(&f.Engine, &log, 3);
  c->SetZ(3);
  f.Engine.DrawAll();
  EXPECT_EQ(log, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(f.Engine.DrawCount, 3);
  // Setting the depth it already has does not move it.
  log.clear();
  a->SetZ(3);
  f.Engine.DrawAll();
  EXPECT_EQ(log, (std::vector<int>{3, 2, 1}));
  // Moves go in creation order.
  log.clear();
  f.Engine.MoveAll(1);
  EXPECT_EQ(log, (std::vector<int>{101, 102, 103}));
}

// Shallow sprites are drawn first and deep ones over them, however they were made or moved;
// a newcomer still goes under the sprites of its own depth.
TEST(SpritesEngine, DeeperSpritesAreDrawnOverShallowerOnes) {
  TEngineFixture f;
  std::vector<int> log;
  const int depths[] = {7, -3, 12, 0, 7, 4, -20, 12, 1};
  std::vector<TProbe*> probes;
  for (int i = 0; i < 9; ++i) {
    probes.push_back(new TProbe(&f.Engine, &log, i + 1));
    probes.back()->SetZ(depths[i]);
  }
  f.Engine.DrawAll();
  EXPECT_EQ(log, (std::vector<int>{7, 2, 4, 9, 6, 5, 1, 8, 3}));
  // Moving sprites to new depths files them again in order: the deepest to the top, the
  // shallowest to the bottom, one into the middle among equals.
  log.clear();
  probes[6]->SetZ(50);   // 7
  probes[2]->SetZ(-50);  // 3
  probes[8]->SetZ(7);    // 9, a newcomer among 1 and 5
  f.Engine.DrawAll();
  EXPECT_EQ(log, (std::vector<int>{3, 2, 4, 6, 9, 5, 1, 8, 7}));
  // Children follow the same rule under their parent, and after it.
  log.clear();
  auto* parent = new TProbe(&f.Engine, &log, 10);
  parent->SetZ(100);
  new TProbe(parent, &log, 11);  // depth 0
  (new TProbe(parent, &log, 12))->SetZ(-1);
  (new TProbe(parent, &log, 13))->SetZ(5);
  f.Engine.DrawAll();
  const std::vector<int> tail(log.end() - 4, log.end());
  EXPECT_EQ(tail, (std::vector<int>{10, 12, 11, 13}));
}

TEST(SpritesEngine, HiddenAndStillParentsHoldBackTheirChildren) {
  TEngineFixture f;
  std::vector<int> log;
  auto* parent = new TProbe(&f.Engine, &log, 1);
  new TProbe(parent, &log, 2);
  parent->Visible = false;
  f.Engine.DrawAll();
  EXPECT_TRUE(log.empty());
  parent->Visible = true;
  parent->Moved = false;
  f.Engine.MoveAll(1);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(f.Engine.AllCount, 2);
}

TEST(SpritesEngine, KilledSpritesLiveToTheSweepAndGoOnce) {
  TEngineFixture f;
  std::vector<int> log;
  auto* a = new TProbe(&f.Engine, &log, 1);
  auto* b = new TProbe(&f.Engine, &log, 2);
  new TProbe(b, &log, 3);
  a->Kill();
  a->Kill();
  b->Kill();
  EXPECT_EQ(f.Engine.DeadList.size(), 2u);
  f.Engine.DrawAll();  // still drawn this frame
  EXPECT_EQ(log.size(), 3u);
  f.Engine.Dead();
  EXPECT_EQ(f.Engine.AllCount, 0);
  EXPECT_TRUE(f.Engine.DeadList.empty());
  EXPECT_THROW(f.Engine.Items(0), std::out_of_range);
}

TEST(SpritesEngine, GetSpriteAtFindsTheEdgesAndTheTopmost) {
  TEngineFixture f;
  std::vector<int> log;
  auto* a = new TProbe(&f.Engine, &log, 1);
  a->X = 20;
  a->Y = 20;
  auto* b = new TProbe(&f.Engine, &log, 2);
  b->X = 25;
  b->Y = 25;
  b->SetZ(5);
  EXPECT_EQ(f.Engine.GetSpriteAt(30, 21), a);  // the right edge X + Width still counts
  EXPECT_EQ(f.Engine.GetSpriteAt(27, 27), b);
  EXPECT_EQ(f.Engine.GetSpriteAt(36, 36), nullptr);
  b->Visible = false;
  EXPECT_EQ(f.Engine.GetSpriteAt(27, 27), a);
  // On equal depth the one made first stays the answer: the one moved to its depth goes under it.
  b->Visible = true;
  b->SetZ(a->Z);
  EXPECT_EQ(f.Engine.GetSpriteAt(27, 27), a);
}

TEST(SpritesEngine, AnimationLoopsOrStopsOnItsLastFrame) {
  TEngineFixture f;
  auto* s = new TImageSprite(&f.Engine);
  s->AnimCount = 4;
  s->AnimLooped = true;
  s->AnimPos = 3.7;
  s->AnimSpeed = 0.5;
  s->Move(1);
  EXPECT_NEAR(s->AnimPos, 0.2, 1e-9);
  // A one-shot of four frames: landing exactly on the end (4.0) or past it stops on frame 3;
  // reaching frame 3 itself plays on.
  struct TCase {
    double From, To, SpeedAfter;
  } cases[] = {{3.7, 3, 0}, {3.5, 3, 0}, {2.5, 3, 0.5}, {0.2, 0, 0}};
  for (const TCase& c : cases) {
    s->AnimLooped = false;
    s->AnimPos = c.From;
    s->AnimSpeed = c.From == 0.2 ? -0.5 : 0.5;
    s->Move(1);
    EXPECT_DOUBLE_EQ(s->AnimPos, c.To) << c.From;
    EXPECT_DOUBLE_EQ(s->AnimSpeed, c.SpeedAfter) << c.From;
  }
}

TPictureItem Chips() {
  // Three 4 x 4 chips side by side, each a flat colour.
  TPictureItem p;
  p.PictureWidth = 12;
  p.PictureHeight = 4;
  p.StoredPatternWidth = 4;
  p.StoredPatternHeight = 4;
  p.Transparent = false;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 12; ++x) p.Pixels.push_back(static_cast<uint16_t>(1 + x / 4));
  p.Keyed.assign(48, 0);
  p.BuildPatterns();
  return p;
}

TEST(SpritesBackground, ChipsDrawAtNegativePositions) {
  TEngineFixture f;
  TPictureItem chips = Chips();
  auto* bg = new TBackgroundSprite(&f.Engine);
  bg->SetMapSize(3, 1);
  bg->SetChip(0, 0, 0);
  bg->SetChip(1, 0, 1);
  bg->SetChip(2, 0, 2);
  bg->SetBackgroundImage(&chips);
  bg->X = -5;  // map column 1 lies at -1
  f.Engine.DrawAll();
  EXPECT_EQ(f.Surface.Pixels[0], 2);
  EXPECT_EQ(f.Surface.Pixels[3], 3);
  EXPECT_EQ(f.Surface.Pixels[7], 0);
  EXPECT_EQ(bg->GetChip(5, 0), -1);
  bg->SetMapSize(0, 5);
  EXPECT_EQ(bg->MapWidth, 0);
  EXPECT_EQ(bg->MapHeight, 0);
}

struct TGameSpriteFixture : TEngineFixture {
  TImageList List;
  int32_t FrameTime = 10;
  TGameSpriteFixture() {
    Engine.ImageLists[1] = &List;
    Engine.FrameTime = &FrameTime;
    for (int w : {25, 12}) {
      auto p = std::make_unique<TPictureItem>();
      p->PictureWidth = w * 3;
      p->PictureHeight = 8;
      p->StoredPatternWidth = w;
      p->Pixels.assign(static_cast<size_t>(w) * 3 * 8, 7);
      p->Keyed.assign(p->Pixels.size(), 0);
      p->BuildPatterns();
      List.Items.push_back(std::move(p));
    }
  }
};

TEST(SpritesGame, AnimationWrapsBeforeRoundingPastTheEnd) {
  TGameSpriteFixture f;
  auto* s = TMyImageSprite::CreateAt(f.Engine, 1, 0, 0, 0, 3);
  EXPECT_EQ(s->AnimCount, 3);
  s->AnimPos = 2.4;
  s->AnimSpeed = 0.2;
  s->Move(1);
  EXPECT_DOUBLE_EQ(s->AnimPos, 0);
  EXPECT_DOUBLE_EQ(s->PrevAnimPos, 0);
  s->AnimRate = 100;
  s->Move(1);
  EXPECT_DOUBLE_EQ(s->AnimSpeed, 0.1);
}

TEST(SpritesGame, CentredSpritesSitHalfTheirWidthLeftAndHalfTheirHeightAbove) {
  // Pictures that are not square, with odd and even sides both ways, so that a width taken for
  // a height (or the halving done in whole numbers) puts the sprite somewhere else.
  struct TCase {
    int W, H;
    double Cx, Cy, X, Y;
  } cases[] = {{25, 8, 60, 50, 47.5, 46},  {12, 7, 60, 50, 54, 46.5}, {9, 20, 40, 30, 35.5, 20},
               {14, 31, 40, 30, 33, 14.5}, {6, 41, 20, 60, 17, 39.5}, {41, 6, 50, 20, 29.5, 17}};
  for (const TCase& k : cases) {
    TGameSpriteFixture f;
    auto p = std::make_unique<TPictureItem>();
    p->PictureWidth = k.W;
    p->PictureHeight = k.H;
    p->Pixels.assign(static_cast<size_t>(k.W) * k.H, 9);
    p->Keyed.assign(p->Pixels.size(), 0);
    p->BuildPatterns();
    f.List.Items.push_back(std::move(p));
    const int index = static_cast<int>(f.List.Items.size()) - 1;
    auto* c = TMyImageSprite::CreateCentered(f.Engine, 1, index, k.Cx, k.Cy, 3);
    const std::string at = std::to_string(k.W) + "x" + std::to_string(k.H);
    ASSERT_EQ(c->Width, k.W) << at;
    ASSERT_EQ(c->Height, k.H) << at;
    EXPECT_DOUBLE_EQ(c->X, k.X) << at;
    EXPECT_DOUBLE_EQ(c->Y, k.Y) << at;
    EXPECT_EQ(c->Z, 3) << at;
    // Its centre, as the sprite keeps it, is the point it was centred on.
    c->Move(1);
    EXPECT_EQ(c->CenterX, static_cast<int>(k.Cx)) << at;
    EXPECT_EQ(c->CenterY, static_cast<int>(k.Cy)) << at;
    // On the screen the painted box sits on that point, within the half pixel the surface's whole
    // pixels leave.
    f.Engine.DrawAll();
    int left = 100, top = 100, right = -1, bottom = -1;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x)
        if (f.Surface.Row(y)[x] == 9) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    ASSERT_EQ(right - left + 1, k.W) << at;
    ASSERT_EQ(bottom - top + 1, k.H) << at;
    EXPECT_LE(std::fabs(left + k.W / 2.0 - k.Cx), 0.5) << at;
    EXPECT_LE(std::fabs(top + k.H / 2.0 - k.Cy), 0.5) << at;
  }
}

TEST(SpritesGame, TheCursorBlinksOnlyWhileBlinking) {
  TGameSpriteFixture f;
  f.FrameTime = 15;
  auto* c = TMyCursor::Create(f.Engine, 1, 1, 0, 0, 5, 600);
  for (int i = 0; i < 100; ++i) c->Move(15);
  EXPECT_FALSE(c->Visible);
  c->Blinking = true;
  c->Move(15);
  EXPECT_TRUE(c->Visible);  // shows at once
  int frames = 0;
  while (c->Visible && frames < 1000) {
    c->Move(15);
    ++frames;
  }
  EXPECT_EQ(frames, 41);  // 600 ms at 15 ms a frame
  // Editing ends (blinking stops) in either half of the blink: the cursor is off at the next
  // frame and stays off.
  for (const int lit : {1, 0}) {
    SCOPED_TRACE(lit ? "stopped while shown" : "stopped while hidden");
    c->Blinking = true;
    for (int i = 0; i < 100 && c->Visible != (lit == 1); ++i) c->Move(15);
    ASSERT_EQ(c->Visible, lit == 1);
    c->Blinking = false;
    for (int i = 0; i < 60; ++i) {
      c->Move(15);
      ASSERT_FALSE(c->Visible) << "frame " << i;
    }
  }
}

TEST(SpritesGame, ButtonsChangeLookAndDepth) {
  TGameSpriteFixture f;
  auto* b = TMenuButton::Create(f.Engine, 1, 1, 0, 0, 1, 10, 10);
  EXPECT_EQ(b->Z, 4);
  EXPECT_DOUBLE_EQ(b->AnimPos, 1);
  b->RaiseWhenSelected = true;
  b->UseOwnZ = true;
  b->Select();
  EXPECT_EQ(b->Z, 5);  // the second depth change wins
  EXPECT_EQ(b->Width, 12);
  EXPECT_DOUBLE_EQ(b->AnimPos, 0);
  b->Deselect();
  EXPECT_EQ(b->Z, 4);
  b->KillOnce();
  b->KillOnce();
  EXPECT_EQ(f.Engine.DeadList.size(), 1u);
}

TEST(SpritesGame, AnimationEndsKillOrHideAndARateOfZeroKeepsTheSpeed) {
  TGameSpriteFixture f;
  auto* k = TMyImageSprite::CreateAt(f.Engine, 1, 0, 0, 0, 3);  // 3 patterns
  auto* h = TMyImageSprite::CreateAt(f.Engine, 1, 0, 0, 0, 3);
  k->KillAtAnimEnd = true;
  h->HideAtAnimEnd = true;
  for (auto* s : {k, h}) {
    s->AnimSpeed = 0.01;  // a pattern every 100 ms
    s->Move(100);
    s->Move(100);
    EXPECT_DOUBLE_EQ(s->AnimPos, 2);
    EXPECT_DOUBLE_EQ(s->AnimSpeed, 0.01);  // AnimRate 0 does not touch it
  }
  EXPECT_TRUE(f.Engine.DeadList.empty());
  EXPECT_TRUE(h->Visible);
  f.Engine.MoveAll(100);  // both wrap round to 0
  EXPECT_EQ(f.Engine.DeadList, (std::vector<TSprite*>{k}));
  EXPECT_TRUE(k->Killed);
  EXPECT_FALSE(h->Visible);
  EXPECT_EQ(k->CenterX, 12);  // trunc(0 + 25 / 2)
  EXPECT_EQ(k->CenterY, 4);
}

TEST(SpritesGame, BlendedDrawingStretchesTheTruncatedFrameUnlessOpaque) {
  TGameSpriteFixture f;
  // Two 4 x 4 patterns: pure red, then pure blue.
  auto p = std::make_unique<TPictureItem>();
  p->PictureWidth = 8;
  p->PictureHeight = 4;
  p->StoredPatternWidth = 4;
  p->Transparent = false;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) p->Pixels.push_back(x < 4 ? 0xF800 : 0x001F);
  p->Keyed.assign(p->Pixels.size(), 0);
  p->BuildPatterns();
  f.List.Items.push_back(std::move(p));
  auto* s = TMyImageSprite::CreateAt(f.Engine, 1, 2, 10, 10, 3);
  s->Width = s->Height = 8;  // a box larger than the pattern
  s->AnimPos = 0.6;
  s->AlphaDraw = true;
  auto px = [&](int x, int y) { return f.Surface.Pixels[static_cast<size_t>(y * 100 + x)]; };

  s->Alpha = 255;  // the ordinary draw: centred, frame rounded to 1
  f.Engine.DrawAll();
  EXPECT_EQ(px(12, 12), 0x001F);
  EXPECT_EQ(px(15, 15), 0x001F);
  EXPECT_EQ(px(10, 10), 0);
  EXPECT_EQ(px(16, 16), 0);

  f.Surface.Fill(0);
  s->Alpha = 0;  // blended at weight 0: nothing
  f.Engine.DrawAll();
  EXPECT_EQ(px(12, 12), 0);

  s->Alpha = 128;  // blended: frame truncated to 0, stretched over the whole box
  f.Engine.DrawAll();
  for (auto [x, y] : {std::pair{10, 10}, std::pair{17, 17}}) {
    EXPECT_NE(px(x, y), 0);
    EXPECT_NE(px(x, y), 0xF800);      // half way to red, not red
    EXPECT_EQ(px(x, y) & 0x07FF, 0);  // no green or blue from pattern 1
  }
  EXPECT_EQ(px(18, 18), 0);
}

TEST(SpritesEngine, TheSweepFreesTheLastMarkedFirst) {
  TEngineFixture f;
  std::vector<int> freed;
  class TNoisy : public TSprite {
   public:
    TNoisy(TSprite* p, std::vector<int>* log, int id) : TSprite(p), Log(log), Id(id) {}
    ~TNoisy() override { Log->push_back(Id); }
    std::vector<int>* Log;
    int Id;
  };
  auto* a = new TNoisy(&f.Engine, &freed, 1);
  auto* b = new TNoisy(&f.Engine, &freed, 2);
  new TNoisy(b, &freed, 3);
  a->Kill();
  b->Kill();
  f.Engine.Dead();
  EXPECT_EQ(freed, (std::vector<int>{2, 3, 1}));  // b (then its child) first, a last
  bool thrown = false;
  try {
    f.Engine.Items(4);
  } catch (const std::out_of_range& e) {
    thrown = true;
    EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (4)");
  }
  EXPECT_TRUE(thrown);
}

TEST(SpritesEngine, TiledSpritesComeBackOnTheOtherEdge) {
  TEngineFixture f;  // a 100 x 100 surface
  auto* s = new TImageSprite(&f.Engine);
  s->Width = s->Height = 10;
  s->Tile = true;
  s->X = -5;
  EXPECT_EQ(s->GetBoundsRect().Left, -5);
  s->X = 105;  // past the right edge by more than its width comes in from the left
  EXPECT_EQ(s->GetBoundsRect().Left, -5);
  s->X = 250;
  EXPECT_EQ(s->GetBoundsRect().Left, 30);
}

TPictureItem Solid(int w, int h, bool hole) {
  TPictureItem p;
  p.PictureWidth = w;
  p.PictureHeight = h;
  p.Pixels.assign(static_cast<size_t>(w) * h, 1);
  p.Keyed.assign(p.Pixels.size(), 0);
  if (hole)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w / 2; ++x)
        p.Keyed[static_cast<size_t>(y * w + x)] = 1;  // left half see-through
  p.BuildPatterns();
  return p;
}

TEST(SpritesCollision, PixelsDecideWhereBoxesOverlap) {
  TEngineFixture f;
  TPictureItem half = Solid(10, 10, true), full = Solid(10, 10, false);
  auto* a = new TImageSprite(&f.Engine);
  a->SetImage(&half);
  a->PixelCheck = true;
  auto* b = new TImageSprite(&f.Engine);
  b->SetImage(&full);
  b->X = -7;  // overlaps only a's see-through left half
  EXPECT_FALSE(a->TestCollision(*b));
  b->X = 3;  // now also its drawn right half
  EXPECT_TRUE(a->TestCollision(*b));
  b->X = 20;
  EXPECT_FALSE(a->TestCollision(*b));
  a->PixelCheck = false;
  EXPECT_TRUE(a->TestCollision(*b));  // without the pixel test every pair collides
}

TEST(SpritesCollision, TheBackgroundMapTestsItsCells) {
  TEngineFixture f;
  TPictureItem chips = Solid(8, 8, false);
  auto* bg = new TBackgroundSprite(&f.Engine);
  bg->SetMapSize(4, 4);
  bg->SetBackgroundImage(&chips);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) bg->SetCollisionMapItem(x, y, 0);
  bg->SetCollisionMapItem(2, 1, 1);
  TSprite probe(&f.Engine);
  probe.Width = probe.Height = 4;
  probe.X = 1;
  probe.Y = 1;
  EXPECT_FALSE(bg->TestCollision(probe));
  probe.X = 17;
  probe.Y = 9;
  EXPECT_TRUE(bg->TestCollision(probe));
  TBackgroundSprite empty(&f.Engine);
  EXPECT_TRUE(empty.TestCollision(probe));  // no picture: always
}

}  // namespace
}  // namespace zw
