// The menu cursor every screen and dialog shares, and the mouse over the menus.
#include "packs/sound_effects.hpp"
#include "shell/form.hpp"
#include "sprites/game_sprites.hpp"

namespace zw {

bool TMForm::StepNext(int32_t& v, int32_t lo, int32_t hi) {
  if (v < lo || v >= hi) {
    v = lo;
    return true;
  }
  ++v;
  return false;
}

bool TMForm::StepPrev(int32_t& v, int32_t lo, int32_t hi) {
  if (v <= lo || v > hi) {
    v = hi;
    return true;
  }
  --v;
  return false;
}

void TMForm::StepUp(int32_t& v, int32_t hi, int32_t step) {
  if (v + step <= hi) v += step;
}

void TMForm::StepDown(int32_t& v, int32_t lo, int32_t step) {
  if (v - step >= lo) v -= step;
}

void TMForm::ClampFirst(int32_t& v, int32_t lo, int32_t hi) {
  if (v < lo || v > hi) v = lo;
}

void TMForm::ClampLast(int32_t& v, int32_t lo, int32_t hi) {
  if (v < lo || v > hi) v = hi;
}

bool TMForm::TimerTake(int32_t& v, int32_t floor, int32_t amount) {
  if (v - amount >= floor) {
    v -= amount;
    return true;
  }
  return false;
}

namespace {

// A button's mouse hit box, both ends included.
bool ButtonHit(const TMenuButton* b, int x, int y) {
  if (!b) return false;
  const int w = b->HitWidth == -1 ? b->Width : b->HitWidth;
  const int h = b->HitHeight == -1 ? b->Height : b->HitHeight;
  const double bx = b->X, by = b->Y;
  return x >= bx && x <= bx + w && y >= by && y <= by + h;
}

}  // namespace

void TMForm::MenuHitTest(bool keepIfMiss) {
  if (!keepIfMiss) Menu.MenuIndex = 0;
  for (int i = Menu.MenuFirst; i <= Menu.MenuLast; ++i) {
    if (i < 1 || i > 19) continue;
    if (ButtonHit(Menu.MenuButtons[static_cast<size_t>(i)], Menu.MouseX, Menu.MouseY)) {
      Menu.MenuIndex = i;
      return;
    }
  }
}

void TMForm::HighlightMenu(bool trackHover) {
  for (int i = Menu.MenuFirst; i <= Menu.MenuLast; ++i) {
    if (i < 1 || i > 19 || i == Menu.MenuIndex) continue;
    if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) {
      b->Deselect();
      b->Selected = false;
    }
  }
  const int32_t m = Menu.MenuIndex;
  if (m >= Menu.MenuFirst && m <= Menu.MenuLast && m >= 1 && m <= 19) {
    TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(m)];
    if (b && !b->Selected) {
      b->Select();
      b->Selected = true;
      if (Menu.CurrentScreen == screen::Options) EndOptionEdits();
    }
  }
  Menu.HoverButton = 0;
  if (trackHover) {
    for (int i = 1; i <= 6; ++i) {
      if (ButtonHit(Menu.MenuButtons[static_cast<size_t>(i)], Menu.MouseX, Menu.MouseY)) {
        Menu.HoverButton = i;
        break;
      }
    }
  }
}

void TMForm::KillMenuButtons() {
  for (int i = Menu.MenuFirst; i <= Menu.MenuLast; ++i) {
    if (i < 1 || i > 19) continue;
    if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) {
      b->KillOnce();
      Menu.MenuButtons[static_cast<size_t>(i)] = nullptr;
    }
  }
}

void TMForm::SelectAndActivate(int32_t i) {
  Menu.MenuIndex = i;
  ActivateItem();
}

void TMForm::MDisplayMouseMove(int x, int y) {
  Menu.MouseX = x;
  Menu.MouseY = y;
  const int32_t before = Menu.MenuIndex;
  MenuHitTest(Menu.CurrentScreen == screen::MainMenu);
  if (Menu.MenuIndex != before && !(Menu.CurrentScreen == screen::MainMenu && Menu.MenuIntro))
    PlaySound(sfx::CursorClick);
}

void TMForm::MDisplayClick() {
  ActivateItem();
}

void TMForm::ShowPointer(bool shown) {
  Menu.PointerShown = shown;
  if (Platform.Display) Platform.Display->ShowPointer(shown);
}

void TMForm::ShowMenu(bool intro, int32_t index, bool fresh) {
  Menu.CurrentScreen = screen::MainMenu;
  if (fresh) PlayScreenMusic();
  ShowPointer(true);
  Menu.MenuFirst = item::FirstTab;
  Menu.MenuLast = item::LastTab;
  Menu.MenuIndex = index;
  Menu.MenuIntro = intro;
  CreateMainMenuSprites(intro, fresh);
}

}  // namespace zw
