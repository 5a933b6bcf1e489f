// The sub-screens' shared layout (title, second picture, Back), their activation and tab switch,
// and the bike selection.
#include "frontend/screens.hpp"

#include "frontend/arrow_keys.hpp"
#include "frontend/replay_rows.hpp"
#include "rider/bike_models.hpp"
#include "shell/form.hpp"
#include "sprites/game_sprites.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

constexpr int BikePictureImage[6] = {0, 28, 29, 30, 31, 32};

// Enter, a click or the pad's A on a chosen row of the high-score table: watch its replay. False
// when no row is chosen.
bool WatchChosenRow(TMForm& f) {
  const int row = f.Replays.ChosenRow;
  if (!HasReplay(f, row)) return false;
  std::string why;
  if (!f.Replays.Watcher)
    f.Replays.Note = "Replays cannot be watched here";
  else if (f.Replays.Watcher->Watch(f, f.Replays.Table[static_cast<size_t>(row)], why))
    f.Replays.Note.clear();
  else
    f.Replays.Note = why;
  return true;
}

// The tab (main-menu item) that opens each sub-screen.
int TabOfScreen(int current) {
  switch (current) {
    case screen::BikeSelection:
      return item::StartGame;
    case screen::Help:
      return item::Help;
    case screen::Options:
      return item::Options;
    case screen::HighScores:
      return item::HighScores;
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
  KillSlot(f, item::Title);
  KillSlot(f, item::SubTitle);
  f.Menu.CurrentScreen = screen::None;
}

}  // namespace

void TMForm::ShowBikeSelection() {
  Menu.CurrentScreen = screen::BikeSelection;
  FrontEnd.BikeFade = 0;
  Menu.MenuFirst = item::PreviousBike;
  Menu.MenuLast = item::BikesBack;
  Menu.MenuIndex = item::StartRace;
  MakeItem(*this, item::PreviousBike, 37, 378, 180, 5);
  MakeItem(*this, item::NextBike, 38, 712, 180, 5);
  MakeItem(*this, item::StartRace, 39, 366, 542, 5);
  MakeItem(*this, item::BikesBack, 36, 661, 542, 5);
  MakePicture(*this, item::Title, 25, 312, 42, 4);
  MakePicture(*this, item::SubTitle, 52, 358, 130, 3);
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

void DrawBikeStats(TFormState& form) {
  const TPictureItem* square = form.MImageList1.Item(54);
  if (!square) return;
  const int bike = form.Race.SelectedBike;
  const int rows[4] = {BikePower(bike), BikeHandling(bike), BikeAcceleration(bike),
                       BikeBraking(bike)};
  const int tops[4] = {396, 424, 454, 486};
  for (int r = 0; r < 4; ++r)
    for (int k = 1; k <= rows[r]; ++k)
      square->DrawPattern(form.MDisplay, 546 + 18 * (k - 1), tops[r], 0);
}

void TMForm::BikeSelectionFrame(int) {
  HighlightMenu(true);
  int32_t& m = Menu.MenuIndex;
  // Previous and Next over Start and Back; the arrows past Previous and Next page the bikes.
  using enum EArrow;
  static constexpr TArrowStep Steps[] = {{Left, item::PreviousBike, item::PreviousBike, true},
                                         {Left, item::NextBike, item::PreviousBike},
                                         {Left, item::BikesBack, item::StartRace},
                                         {Right, item::NextBike, item::NextBike, true},
                                         {Right, item::PreviousBike, item::NextBike},
                                         {Right, item::StartRace, item::BikesBack},
                                         {Up, item::StartRace, item::PreviousBike},
                                         {Up, item::BikesBack, item::NextBike},
                                         {Down, item::PreviousBike, item::StartRace},
                                         {Down, item::NextBike, item::BikesBack}};
  FollowArrows(Steps, Keys, m, [&](int32_t i) { SelectAndActivate(i); });
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown)
    ClampFirst(m, item::PreviousBike, item::BikesBack);
  if (Keys.KeyEscape) SelectAndActivate(item::BikesBack);
  if (Menu.CurrentScreen != screen::BikeSelection) return;
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
  DrawBikeStats(*this);
}

void TMForm::ShowOptions() {
  Menu.CurrentScreen = screen::Options;
  Menu.MenuFirst = item::Display;
  Menu.MenuLast = item::OptionsBack;
  Menu.MenuIndex = item::OptionsBack;
  MakePicture(*this, item::Title, 26, 406, 42, 3);
  MakePicture(*this, item::SubTitle, 51, 358, 130, 3);
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
    Menu.MenuButtons[static_cast<size_t>(item::Display + i)] = b;
  }
  MakeItem(*this, item::OptionsBack, 36, 661, 542, 4);
  MakePicture(*this, item::DisplayValue, GameOptions.FullScreen ? 15 : 14, 456, 192, 4);
  MakePicture(*this, item::MusicValue, GameOptions.Music ? 16 : 17, 444, 296, 4);
  MakePicture(*this, item::SoundValue, GameOptions.Sound ? 18 : 19, 590, 296, 4);
  Dialog.TextCursor = TMyCursor::Create(Engine(), 1, 22, 392, 406, 5, 600);
  Keys.CountryEdit = false;
  Keys.BossKeyCapture = false;
}

void TMForm::LeaveOptions() {
  // A capture still waiting for its key ends as it does when another item is lit: the key set
  // before it comes back, so leaving never loses the boss key.
  if (Keys.BossKeyCapture) ToggleBossKeyCapture();
  LeaveSubScreen(*this);
  for (int slot = item::DisplayValue; slot <= item::SoundValue; ++slot) KillSlot(*this, slot);
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

void TMForm::DrawOptions() {
  struct TLabel {
    int Item;
    const char* Text;
    int X, Y;
  };
  static constexpr TLabel Labels[5] = {{item::Display, "Display:", 574, 168},
                                       {item::Music, "Music:", 504, 272},
                                       {item::Sound, "Sound:", 646, 272},
                                       {item::Country, "Country:", 575, 380},
                                       {item::BossKey, "Boss Key:", 570, 458}};
  for (const TLabel& l : Labels) {
    SelectFont(l.Item == Menu.MenuIndex ? font::OptionLabelSelected : font::OptionLabel);
    DrawText(l.Text, l.X, l.Y, true, true);
  }
  SelectFont(font::OptionValue);
  DrawText(GameOptions.Country, 580, 417, true, true);
  DrawText(BossKeyName(Keys), 575, 494, true, true);
  auto look = [&](int slot, int image) {
    if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(slot)]) b->SetImageIndex(image);
  };
  look(item::DisplayValue, GameOptions.FullScreen ? 15 : 14);
  look(item::MusicValue, GameOptions.Music ? 16 : 17);
  look(item::SoundValue, GameOptions.Sound ? 18 : 19);
}

void TMForm::OptionsFrame(int moveCount) {
  HighlightMenu(true);
  int32_t& m = Menu.MenuIndex;
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown)
    ClampFirst(m, item::Display, item::OptionsBack);
  if (!Keys.CountryEdit) {
    if (Keys.KeyUp)
      m = (m == item::Music || m == item::Sound) ? item::Display
          : m == item::Country                   ? item::Music
          : m == item::BossKey                   ? item::Country
          : m == item::OptionsBack               ? item::BossKey
                                                 : m;
    else if (Keys.KeyDown)
      m = m == item::Display                       ? item::Music
          : (m == item::Music || m == item::Sound) ? item::Country
          : m == item::Country                     ? item::BossKey
          : m == item::BossKey                     ? item::OptionsBack
                                                   : m;
    else if (Keys.KeyLeft && m == item::Sound)
      m = item::Music;
    else if (Keys.KeyRight && m == item::Music)
      m = item::Sound;
  }
  if (Keys.KeyEscape) SelectAndActivate(Keys.CountryEdit ? item::Country : item::OptionsBack);
  if (Menu.CurrentScreen != screen::Options) return;
  MSpriteEngine.Move(moveCount);
  DrawOptions();
  if (Dialog.TextCursor) Dialog.TextCursor->X = TextWidth(GameOptions.Country) / 2.0 + 580 + 2;
}

void TMForm::ShowHighScores() {
  Menu.CurrentScreen = screen::HighScores;
  Menu.MenuFirst = item::ClearTable;
  Menu.MenuLast = item::HighScoresBack;
  Menu.MenuIndex = item::HighScoresBack;
  MakeItem(*this, item::ClearTable, 40, 365, 532, 4);
  MakeItem(*this, item::OnlineTable, 41, 517, 532, 4);
  MakeItem(*this, item::HighScoresBack, 36, 661, 542, 4);
  MakePicture(*this, item::Title, 27, 323, 42, 3);
  MakePicture(*this, item::SubTitle, 53, 356, 130, 5);
}

void TMForm::LeaveHighScores() {
  OnlineNote.clear();
  Replays.Note.clear();
  Replays.ChosenRow = 0;
  LeaveSubScreen(*this);
}

// A newly lit item of the options screen ends a running capture or edit.
void TMForm::EndOptionEdits() {
  if (Keys.BossKeyCapture) ToggleBossKeyCapture();
  if (Keys.CountryEdit) ToggleCountryEdit();
}

void TMForm::LeaveCurrentSubScreen() {
  switch (Menu.CurrentScreen) {
    case screen::BikeSelection:
      LeaveBikeSelection();
      break;
    case screen::Options:
      LeaveOptions();
      break;
    case screen::HighScores:
      LeaveHighScores();
      break;
    case screen::Help:
      LeaveHelp();
      break;
    default:
      break;
  }
}

void TMForm::HighScoresFrame(int moveCount) {
  HighlightMenu(true);
  ReplayRowsFrame(*this);
  int32_t& m = Menu.MenuIndex;
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown)
    ClampFirst(m, item::ClearTable, item::HighScoresBack);
  if (Keys.KeyLeft) StepDown(m, item::ClearTable, 1);
  if (Keys.KeyRight) StepUp(m, item::HighScoresBack, 1);
  if (Keys.KeyEscape) SelectAndActivate(item::HighScoresBack);
  if (Menu.CurrentScreen != screen::HighScores) return;
  MSpriteEngine.Move(moveCount);
  DrawHighScores();
}

void TMForm::DrawHighScores() {
  static constexpr int Rows[11] = {0, 196, 230, 263, 297, 331, 364, 398, 432, 466, 499};
  for (int i = 1; i <= 10; ++i) {
    SelectFont(font::HighScoreName);
    DrawText(HighScores[static_cast<size_t>(i)].Name, 578, Rows[i], true, true);
    SelectFont(font::HighScorePoints);
    DrawText(std::to_string(HighScores[static_cast<size_t>(i)].Score), 732, Rows[i], true, true);
  }
  DrawReplayRows(*this);
  // Above the first row, inside the table's frame.
  if (!OnlineNote.empty()) {
    SelectFont(20);
    DrawText(OnlineNote, 578, 164, true, true);
  }
}

void TMForm::ActivateSubScreenItem() {
  const int current = Menu.CurrentScreen;
  const int chosen = Menu.MenuIndex;
  if (current == screen::BikeSelection && FrontEnd.BikeFade != 0) return;
  switch (current) {
    case screen::BikeSelection:
      if (chosen == item::PreviousBike)
        PreviousBike();
      else if (chosen == item::NextBike)
        NextBike();
      else if (chosen == item::StartRace) {
        LeaveBikeSelection();
        ShowMenu(false, item::StartGame, false);
        LeaveMainMenu();
        StartRace();
        return;
      } else if (chosen == item::BikesBack) {
        LeaveBikeSelection();
        ShowMenu(false, item::StartGame, false);
        return;
      }
      break;
    case screen::Options:
      if (chosen == item::Display) {
        GameOptions.FullScreen = !GameOptions.FullScreen;
        ApplyDisplayMode();
      } else if (chosen == item::Music) {
        GameOptions.Music = !GameOptions.Music;
        StopMusic();
        PlayScreenMusic();
      } else if (chosen == item::Sound) {
        GameOptions.Sound = !GameOptions.Sound;
      } else if (chosen == item::Country) {
        ToggleCountryEdit();
      } else if (chosen == item::BossKey) {
        ToggleBossKeyCapture();
      } else if (chosen == item::OptionsBack) {
        LeaveOptions();
        ShowMenu(false, item::Options, false);
        return;
      }
      break;
    case screen::HighScores:
      if (chosen == 0 && WatchChosenRow(*this)) return;
      if (chosen == item::ClearTable)
        OpenDialog(dialog::ClearHighScores);
      else if (chosen == item::OnlineTable)
        OpenWebPage(OnlineTableAddress());
      else if (chosen == item::HighScoresBack) {
        LeaveHighScores();
        ShowMenu(false, item::HighScores, false);
        return;
      }
      break;
    case screen::Help:
      if (chosen == item::PreviousPage) {
        StepPrev(FrontEnd.HelpPage, 1, 5);
      } else if (chosen == item::NextPage) {
        StepNext(FrontEnd.HelpPage, 1, 5);
      } else if (chosen == item::HelpBack) {
        LeaveHelp();
        ShowMenu(false, item::Help, false);
        return;
      }
      break;
    default:
      break;
  }
  // The tab switch: a click on another main-menu tab while no item of the screen is selected.
  if (Menu.HoverButton != 0 && Menu.MenuIndex == 0) {
    const int t = TabOfScreen(current);
    if (Menu.HoverButton == t) return;
    const int hover = Menu.HoverButton;
    LeaveCurrentSubScreen();
    ShowMenu(false, item::StartGame, false);
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
