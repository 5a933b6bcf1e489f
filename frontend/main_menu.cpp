// The main menu: its backdrop, the six tab buttons with their fly-in, and the activation handler.
#include <algorithm>
#include <cmath>

#include "packs/sound_effects.hpp"
#include "shell/form.hpp"
#include "sprites/game_sprites.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

struct TTab {
  int NormalImage, SelectedImage, RestY, IntroY;
};
constexpr TTab Tabs[7] = {{0, 0, 0, 0},       {2, 8, 173, -300}, {3, 9, 232, -200},
                          {4, 10, 291, -100}, {5, 11, 351, 700}, {6, 12, 412, 800},
                          {7, 13, 473, 900}};

}  // namespace

void TMForm::CreateMainMenuSprites(bool intro, bool fresh) {
  // The backdrop: pattern 0 of image 1 as a one-cell map.
  Race.Background = TScrollBackground::CreateMenuBackground(Engine(), 1, 1);
  Race.Background->SetZ(2);
  if (fresh) {
    for (int i = 1; i <= 6; ++i) {
      const TTab& t = Tabs[i];
      TMenuButton* b =
          TMenuButton::Create(Engine(), 1, t.SelectedImage, t.NormalImage, 0, 0, 12, t.RestY);
      b->UseOwnZ = true;
      Menu.MenuButtons[static_cast<size_t>(i)] = b;
    }
  }
  for (int i = 1; i <= 6; ++i) {
    TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)];
    if (!b) continue;
    if (!intro) {
      b->AlphaDraw = false;
      b->Alpha = 255;
      b->NormalImage = Tabs[i].NormalImage;
    } else {
      b->Y = Tabs[i].IntroY;
    }
  }
  if (intro) PlaySound(sfx::MenuIntro);
}

void TMForm::MenuIntroStep() {
  const double s = 25.0 * Timing.SpeedFactor;
  auto button = [&](int i) -> TMenuButton* { return Menu.MenuButtons[static_cast<size_t>(i)]; };
  if (!button(1) || !button(6)) {
    Menu.MenuIntro = false;
    return;
  }
  // The upper three drop in one after the other, lowest first.
  for (int i = 3; i >= 1; --i) {
    TMenuButton* b = button(i);
    if (b->Y < Tabs[i].RestY) {
      b->Y += s;
      break;
    }
    b->Y = Tabs[i].RestY;
  }
  // The lower three rise in the same frame, highest first.
  for (int i = 4; i <= 6; ++i) {
    TMenuButton* b = button(i);
    if (b->Y > Tabs[i].RestY) {
      b->Y -= s;
      break;
    }
    b->Y = Tabs[i].RestY;
  }
  if (button(1)->Y == 173 && button(6)->Y == 473) {
    Menu.MenuIntro = false;
    for (int i = 1; i <= 6; ++i) button(i)->NormalImage = Tabs[i].NormalImage;
  }
}

void TMForm::MainMenuFrame() {
  if (Menu.MenuIntro) {
    MenuIntroStep();
    return;
  }
  HighlightMenu(false);
  if (Menu.MenuIndex >= item::FirstTab && Menu.MenuIndex <= item::LastTab) {
    if (Keys.KeyUp) StepPrev(Menu.MenuIndex, item::FirstTab, item::LastTab);
    if (Keys.KeyDown) StepNext(Menu.MenuIndex, item::FirstTab, item::LastTab);
  } else if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown) {
    Menu.MenuIndex = item::FirstTab;
  }
  if (Keys.KeyEscape) OpenDialog(dialog::ExitGame);
}

void TMForm::LeaveMainMenu() {
  Menu.CurrentScreen = screen::None;
  if (Race.Background) {
    Race.Background->KillOnce();
    Race.Background = nullptr;
  }
  KillMenuButtons();
}

namespace {
// How long an address no browser opened stays on screen, and the band it is shown on.
constexpr int32_t UnopenedAddressMs = 6000;
constexpr int UnopenedBandHeight = 42;
}  // namespace

void TMForm::OpenWebPage(const std::string& address) {
  if (Platform.Shell && Platform.Shell->OpenUrl(address)) return;
  FrontEnd.UnopenedAddress = address;
  FrontEnd.UnopenedTimer = UnopenedAddressMs;
}

void TMForm::DrawUnopenedAddress() {
  if (FrontEnd.UnopenedTimer <= 0) return;
  if (!TimerTake(FrontEnd.UnopenedTimer, 0, Timing.FrameTime)) {
    FrontEnd.UnopenedTimer = 0;
    return;
  }
  // A dark band across the top of the screen, above every title, with the address on it.
  MDisplay.Touch(TRect{0, 0, MDisplay.Width, UnopenedBandHeight});
  for (int y = 0; y < UnopenedBandHeight && y < MDisplay.Height; ++y)
    std::fill_n(MDisplay.Row(y), MDisplay.Width, uint16_t{0});
  SelectFont(21);
  DrawText("No web browser opened. The address is:", 400, 11, true, true);
  DrawText(FrontEnd.UnopenedAddress, 400, 31, true, true);
}

void TMForm::ActivateItem() {
  // 1. The click: every activation outside the running race is heard, even when nothing follows.
  if (!(Menu.CurrentScreen == screen::Race && Menu.ActiveDialog == dialog::None)) {
    const bool arrow = Menu.CurrentScreen == screen::BikeSelection &&
                       (Menu.MenuIndex == item::PreviousBike || Menu.MenuIndex == item::NextBike);
    PlaySound(arrow ? sfx::ArrowOrTallyLine : sfx::Activate);
  }
  // 2. An open dialog takes the answer.
  if (Menu.ActiveDialog != dialog::None) {
    ActivateDialogAnswer();
    return;
  }
  // 3. The current screen's item.
  switch (Menu.CurrentScreen) {
    case screen::MainMenu:
      if (Menu.MenuIntro) return;
      ActivateMainMenuItem(Menu.MenuIndex);
      return;
    case screen::BikeSelection:
    case screen::Options:
    case screen::HighScores:
    case screen::Help:
      ActivateSubScreenItem();
      return;
    default:
      return;
  }
}

void TMForm::ActivateMainMenuItem(int item) {
  switch (item) {
    case item::StartGame:
      ShowBikeSelection();
      break;
    case item::Help:
      ShowHelp();
      break;
    case item::Options:
      ShowOptions();
      break;
    case item::HighScores:
      ShowHighScores();
      break;
    case item::HomePage:
      OpenWebPage(HomePageAddress());
      break;
    case item::Exit:
      OpenDialog(dialog::ExitGame);
      break;
    default:
      break;
  }
}

}  // namespace zw
