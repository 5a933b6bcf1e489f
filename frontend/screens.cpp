// The sub-screens' shared layout (title, second picture, Back), their activation and tab switch,
// and the bike selection.
#include "rider/bike_models.hpp"
#include "shell/form.hpp"
#include "sprites/game_sprites.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

constexpr int BikePictureImage[6] = {0, 28, 29, 30, 31, 32};

// The tab (main-menu item) that opens each sub-screen.
int TabOfScreen(int screen) {
  switch (screen) {
    case 2:
      return 1;
    case 5:
      return 2;
    case 3:
      return 3;
    case 4:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

namespace {

TMenuButton* MakeItem(TMForm& f, int slot, int image, int x, int y, int z) {
  TMenuButton* b = TMenuButton::Create(f.Engine(), 1, image, image, 0, 1, x, y);
  b->SetZ(z);
  f.Menu.MenuButtons[static_cast<size_t>(slot)] = b;
  return b;
}

// The title pictures sit in the item slots 16 and 17, which are never selectable.
void MakePicture(TMForm& f, int slot, int image, int x, int y, int z) {
  TMenuButton* b = TMenuButton::Create(f.Engine(), 1, image, image, 0, 0, x, y);
  b->SetZ(z);
  f.Menu.MenuButtons[static_cast<size_t>(slot)] = b;
}

void KillSlot(TMForm& f, int slot) {
  if (auto* s = f.Menu.MenuButtons[static_cast<size_t>(slot)]) {
    s->KillOnce();
    f.Menu.MenuButtons[static_cast<size_t>(slot)] = nullptr;
  }
}

// Every sub-screen's leave: the items, the backdrop and the two title pictures.
void LeaveSubScreen(TMForm& f) {
  f.KillMenuButtons();
  if (f.Race.Background) {
    f.Race.Background->KillOnce();
    f.Race.Background = nullptr;
  }
  KillSlot(f, 16);
  KillSlot(f, 17);
  f.Menu.CurrentScreen = 0;
}

}  // namespace

void TMForm::ShowBikeSelection() {
  Menu.CurrentScreen = 2;
  FrontEnd.BikeFade = 0;
  Menu.MenuFirst = 7;
  Menu.MenuLast = 10;
  Menu.MenuIndex = 9;
  MakeItem(*this, 7, 37, 378, 180, 5);
  MakeItem(*this, 8, 38, 712, 180, 5);
  MakeItem(*this, 9, 39, 366, 542, 5);
  MakeItem(*this, 10, 36, 661, 542, 5);
  MakePicture(*this, 16, 25, 312, 42, 4);
  MakePicture(*this, 17, 52, 358, 130, 3);
  const int img = BikePictureImage[Race.SelectedBike];
  FrontEnd.BikePicture = TMyImageSprite::CreateAt(Engine(), 1, img, 456, 180, 4);
  FrontEnd.NewBikePicture = TMyImageSprite::CreateAt(Engine(), 1, img, 456, 180, 4);
  FrontEnd.NewBikePicture->Visible = false;
}

void TMForm::LeaveBikeSelection() {
  LeaveSubScreen(*this);
  if (FrontEnd.BikePicture) FrontEnd.BikePicture->KillOnce();
  if (FrontEnd.NewBikePicture) FrontEnd.NewBikePicture->KillOnce();
  FrontEnd.BikePicture = FrontEnd.NewBikePicture = nullptr;
}

void TMForm::PreviousBike() {
  FrontEnd.BikeFade = 1;
  FrontEnd.PendingBike = Race.SelectedBike;
  StepPrev(FrontEnd.PendingBike, 1, 5);
  FrontEnd.NewBikePicture->SetImageIndex(BikePictureImage[FrontEnd.PendingBike]);
  FrontEnd.NewBikePicture->Visible = true;
}

void TMForm::NextBike() {
  FrontEnd.BikeFade = 1;
  FrontEnd.PendingBike = Race.SelectedBike;
  StepNext(FrontEnd.PendingBike, 1, 5);
  FrontEnd.NewBikePicture->SetImageIndex(BikePictureImage[FrontEnd.PendingBike]);
  FrontEnd.NewBikePicture->Visible = true;
}

void TMForm::DrawBikeStats() {
  const TPictureItem* square = MImageList1.Item(54);
  if (!square) return;
  const int rows[4] = {BikePower(Race.SelectedBike), BikeHandling(Race.SelectedBike),
                       BikeAcceleration(Race.SelectedBike), BikeBraking(Race.SelectedBike)};
  const int tops[4] = {396, 424, 454, 486};
  for (int r = 0; r < 4; ++r)
    for (int k = 1; k <= rows[r]; ++k)
      square->DrawPattern(MDisplay, 546 + 18 * (k - 1), tops[r], 0);
}

void TMForm::BikeSelectionFrame(int) {
  HighlightMenu(true);
  int32_t& m = Menu.MenuIndex;
  if (Keys.KeyLeft) {
    if (m == 7)
      SelectAndActivate(7);
    else if (m == 8)
      m = 7;
    else if (m == 10)
      m = 9;
  }
  if (Keys.KeyRight) {
    if (m == 8)
      SelectAndActivate(8);
    else if (m == 7)
      m = 8;
    else if (m == 9)
      m = 10;
  }
  if (Keys.KeyUp) {
    if (m == 9)
      m = 7;
    else if (m == 10)
      m = 8;
  }
  if (Keys.KeyDown) {
    if (m == 7)
      m = 9;
    else if (m == 8)
      m = 10;
  }
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown) ClampFirst(m, 7, 10);
  if (Keys.KeyEscape) SelectAndActivate(10);
  if (Menu.CurrentScreen != 2) return;
  TMyImageSprite* oldPic = FrontEnd.BikePicture;
  TMyImageSprite* newPic = FrontEnd.NewBikePicture;
  if (oldPic && newPic) {
    if (FrontEnd.BikeFade == 0) {
      oldPic->AlphaDraw = newPic->AlphaDraw = false;
      oldPic->Alpha = newPic->Alpha = 255;
      oldPic->Visible = true;
      newPic->Visible = false;
    } else {
      oldPic->AlphaDraw = newPic->AlphaDraw = true;
      oldPic->Alpha -= 20;
      if (oldPic->Alpha <= 0) {
        oldPic->SetImageIndex(BikePictureImage[FrontEnd.PendingBike]);
        FrontEnd.BikeFade = 0;
        Race.SelectedBike = FrontEnd.PendingBike;
      }
    }
  }
  DrawBikeStats();
}

void TMForm::ShowOptions() {
  Menu.CurrentScreen = 3;
  Menu.MenuFirst = 7;
  Menu.MenuLast = 12;
  Menu.MenuIndex = 12;
  MakePicture(*this, 16, 26, 406, 42, 3);
  MakePicture(*this, 17, 51, 358, 130, 3);
  FrontEnd.CountryBox = TMyImageSprite::CreateAt(Engine(), 1, 20, 392, 400, 4);
  FrontEnd.BossKeyBox = TMyImageSprite::CreateAt(Engine(), 1, 21, 468, 478, 4);
  // Items 7..11 are hit areas only: their labels show the selection.
  const int hit[5][4] = {{530, 154, 94, 70},
                         {459, 257, 84, 70},
                         {604, 257, 84, 70},
                         {486, 365, 170, 70},
                         {510, 441, 120, 70}};
  for (int i = 0; i < 5; ++i) {
    TMenuButton* b = TMenuButton::Create(Engine(), 1, 0, 0, 0, 0, hit[i][0], hit[i][1]);
    b->HitWidth = hit[i][2];
    b->HitHeight = hit[i][3];
    Menu.MenuButtons[static_cast<size_t>(7 + i)] = b;
  }
  MakeItem(*this, 12, 36, 661, 542, 4);
  MakePicture(*this, 13, GameOptions.FullScreen ? 15 : 14, 456, 192, 4);
  MakePicture(*this, 14, GameOptions.Music ? 16 : 17, 444, 296, 4);
  MakePicture(*this, 15, GameOptions.Sound ? 18 : 19, 590, 296, 4);
  Dialog.TextCursor = TMyCursor::Create(Engine(), 1, 22, 392, 406, 5, 600);
  Keys.CountryEdit = false;
  Keys.BossKeyCapture = false;
}

void TMForm::LeaveOptions() {
  // A capture still waiting for its key ends as it does when another item is lit: the key set
  // before it comes back, so leaving never loses the boss key.
  if (Keys.BossKeyCapture) ToggleBossKeyCapture();
  LeaveSubScreen(*this);
  for (int slot = 13; slot <= 15; ++slot) KillSlot(*this, slot);
  for (TMyImageSprite** s : {&FrontEnd.CountryBox, &FrontEnd.BossKeyBox}) {
    if (*s) (*s)->KillOnce();
    *s = nullptr;
  }
  if (Dialog.TextCursor) Dialog.TextCursor->KillOnce();
  Dialog.TextCursor = nullptr;
}

void TMForm::ToggleCountryEdit() {
  Keys.CountryEdit = !Keys.CountryEdit;
  if (Dialog.TextCursor) Dialog.TextCursor->Blinking = !Dialog.TextCursor->Blinking;
}

std::string TMForm::BossKeyName() const {
  std::string name;
  const uint8_t m = Keys.BossKeyShift;
  if (m & mod::Alt)
    name = "ALT+";
  else if (m & mod::Ctrl)
    name = "CTRL+";
  else if (m & mod::Shift)
    name = "SHIFT+";
  if (Keys.BossKey >= 112 && Keys.BossKey <= 123) name += "F" + std::to_string(Keys.BossKey - 111);
  if (name.empty() || name.back() == '+') name += "?";
  return name;
}

void TMForm::DrawOptions() {
  struct TLabel {
    int Item;
    const char* Text;
    int X, Y;
  };
  static constexpr TLabel Labels[5] = {{7, "Display:", 574, 168},
                                       {8, "Music:", 504, 272},
                                       {9, "Sound:", 646, 272},
                                       {10, "Country:", 575, 380},
                                       {11, "Boss Key:", 570, 458}};
  for (const TLabel& l : Labels) {
    SelectFont(l.Item == Menu.MenuIndex ? 16 : 12);
    DrawText(l.Text, l.X, l.Y, true, true);
  }
  SelectFont(13);
  DrawText(GameOptions.Country, 580, 417, true, true);
  DrawText(BossKeyName(), 575, 494, true, true);
  auto look = [&](int slot, int image) {
    if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(slot)]) b->SetImageIndex(image);
  };
  look(13, GameOptions.FullScreen ? 15 : 14);
  look(14, GameOptions.Music ? 16 : 17);
  look(15, GameOptions.Sound ? 18 : 19);
}

void TMForm::OptionsFrame(int moveCount) {
  HighlightMenu(true);
  int32_t& m = Menu.MenuIndex;
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown) ClampFirst(m, 7, 12);
  if (!Keys.CountryEdit) {
    if (Keys.KeyUp)
      m = (m == 8 || m == 9) ? 7 : m == 10 ? 8 : m == 11 ? 10 : m == 12 ? 11 : m;
    else if (Keys.KeyDown)
      m = m == 7 ? 8 : (m == 8 || m == 9) ? 10 : m == 10 ? 11 : m == 11 ? 12 : m;
    else if (Keys.KeyLeft && m == 9)
      m = 8;
    else if (Keys.KeyRight && m == 8)
      m = 9;
  }
  if (Keys.KeyEscape) SelectAndActivate(Keys.CountryEdit ? 10 : 12);
  if (Menu.CurrentScreen != 3) return;
  MSpriteEngine.Move(moveCount);
  DrawOptions();
  if (Dialog.TextCursor) Dialog.TextCursor->X = TextWidth(GameOptions.Country) / 2.0 + 580 + 2;
}

void TMForm::ShowHighScores() {
  Menu.CurrentScreen = 4;
  Menu.MenuFirst = 7;
  Menu.MenuLast = 9;
  Menu.MenuIndex = 9;
  MakeItem(*this, 7, 40, 365, 532, 4);
  MakeItem(*this, 8, 41, 517, 532, 4);
  MakeItem(*this, 9, 36, 661, 542, 4);
  MakePicture(*this, 16, 27, 323, 42, 3);
  MakePicture(*this, 17, 53, 356, 130, 5);
}

void TMForm::LeaveHighScores() {
  OnlineNote.clear();
  LeaveSubScreen(*this);
}

// A newly lit item of the options screen ends a running capture or edit.
void TMForm::EndOptionEdits() {
  if (Keys.BossKeyCapture) ToggleBossKeyCapture();
  if (Keys.CountryEdit) ToggleCountryEdit();
}

void TMForm::LeaveCurrentSubScreen() {
  switch (Menu.CurrentScreen) {
    case 2:
      LeaveBikeSelection();
      break;
    case 3:
      LeaveOptions();
      break;
    case 4:
      LeaveHighScores();
      break;
    case 5:
      LeaveHelp();
      break;
    default:
      break;
  }
}

void TMForm::HighScoresFrame(int moveCount) {
  HighlightMenu(true);
  int32_t& m = Menu.MenuIndex;
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown) ClampFirst(m, 7, 9);
  if (Keys.KeyLeft) StepDown(m, 7, 1);
  if (Keys.KeyRight) StepUp(m, 9, 1);
  if (Keys.KeyEscape) SelectAndActivate(9);
  if (Menu.CurrentScreen != 4) return;
  MSpriteEngine.Move(moveCount);
  DrawHighScores();
}

void TMForm::DrawHighScores() {
  static constexpr int Rows[11] = {0, 196, 230, 263, 297, 331, 364, 398, 432, 466, 499};
  for (int i = 1; i <= 10; ++i) {
    SelectFont(2);
    DrawText(HighScores[static_cast<size_t>(i)].Name, 578, Rows[i], true, true);
    SelectFont(17);
    DrawText(std::to_string(HighScores[static_cast<size_t>(i)].Score), 732, Rows[i], true, true);
  }
  // Above the first row, inside the table's frame.
  if (!OnlineNote.empty()) {
    SelectFont(20);
    DrawText(OnlineNote, 578, 164, true, true);
  }
}

void TMForm::ActivateSubScreenItem() {
  const int screen = Menu.CurrentScreen;
  const int item = Menu.MenuIndex;
  if (screen == 2 && FrontEnd.BikeFade != 0) return;
  switch (screen) {
    case 2:
      if (item == 7)
        PreviousBike();
      else if (item == 8)
        NextBike();
      else if (item == 9) {
        LeaveBikeSelection();
        ShowMenu(false, 1, false);
        LeaveMainMenu();
        StartRace();
        return;
      } else if (item == 10) {
        LeaveBikeSelection();
        ShowMenu(false, 1, false);
        return;
      }
      break;
    case 3:
      if (item == 7) {
        GameOptions.FullScreen = !GameOptions.FullScreen;
        ApplyDisplayMode();
      } else if (item == 8) {
        GameOptions.Music = !GameOptions.Music;
        StopMusic();
        PlayScreenMusic();
      } else if (item == 9) {
        GameOptions.Sound = !GameOptions.Sound;
      } else if (item == 10) {
        ToggleCountryEdit();
      } else if (item == 11) {
        ToggleBossKeyCapture();
      } else if (item == 12) {
        LeaveOptions();
        ShowMenu(false, 3, false);
        return;
      }
      break;
    case 4:
      if (item == 7)
        OpenDialog(4);
      else if (item == 8)
        OpenWebPage(OnlineTableAddress());
      else if (item == 9) {
        LeaveHighScores();
        ShowMenu(false, 4, false);
        return;
      }
      break;
    case 5:
      if (item == 7) {
        StepPrev(FrontEnd.HelpPage, 1, 5);
      } else if (item == 8) {
        StepNext(FrontEnd.HelpPage, 1, 5);
      } else if (item == 9) {
        LeaveHelp();
        ShowMenu(false, 2, false);
        return;
      }
      break;
    default:
      break;
  }
  // The tab switch: a click on another main-menu tab while no item of the screen is selected.
  if (Menu.HoverButton != 0 && Menu.MenuIndex == 0) {
    const int t = TabOfScreen(screen);
    if (Menu.HoverButton == t) return;
    const int hover = Menu.HoverButton;
    LeaveCurrentSubScreen();
    ShowMenu(false, 1, false);
    if (auto* b = Menu.MenuButtons[static_cast<size_t>(t)]) {
      b->Deselect();
      b->Selected = false;
    }
    if (auto* b = Menu.MenuButtons[static_cast<size_t>(hover)]) {
      b->Select();
      b->Selected = true;
    }
    ActivateMainMenuItem(hover);
  }
}

}  // namespace zw
