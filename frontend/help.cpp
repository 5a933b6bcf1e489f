// The help pages: five pages of fixed text, the bonus pictures and the about picture.
#include "frontend/arrow_keys.hpp"
#include "shell/form.hpp"
#include "sprites/game_sprites.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

const char* const Headings[6] = {"", "GAME OVERVIEW", "BONUSES", "CONTROLS", "CONTROLS", "ABOUT"};

const char* const Overview[10] = {"  The game \"Zap Wheely\" welcomes you to the world of",
                                  "breathtaking motor-cycle races and formidable opponents.",
                                  "Various effects, splendid graphics and many fantastic",
                                  "routes will not leave you indifferent.",
                                  "  You can choose one of the fastest superbikes and drive",
                                  "a race. Don't think it's so easy. Increasing number of",
                                  "strong opponents will stand on your way to the finish",
                                  "The obstacles will take the time, that's limited. Pick up",
                                  "bonuses and life.",
                                  "  Are you ready for a race? Go!"};

const char* const MenuHelp[6] = {"Use the cursor keys or mouse to move the menu cursor",
                                 "up and down. Press the \"Enter\" key or any mouse button",
                                 "to enter menu options. Press the \"Left Arrow\",",
                                 "\"Right Arrow\", \"Enter\" keys or any mouse button to",
                                 "change a menu option. Press \"Esc\" to back from the",
                                 "submenu to Main Menu."};

const char* const GameHelp[8] = {"Use the keys \"Arrow Left\" and \"Arrow Right\" to move the",
                                 "bike leftwards or rightwards. Use the keys \"Arrow Up\"",
                                 "and \"Arrow Down\" to speed up and reduce the speed of the",
                                 "bike. Press the \"Space\" key to use Extra brake.",
                                 "Use \"P\" to pause or resume the game.",
                                 "Use \"Escape\" key to quit the game to Main Menu.",
                                 "Use \"Alt\"+\"Enter\" keys to change screen modes.",
                                 "Use Boss key to hide the game."};

// The bonus pictures of page 2 (image list 2) and where they stand, with their captions.
struct TBonusLine {
  int Image, Y;
  const char* Caption;
};
constexpr TBonusLine BonusLines[5] = {{41, 230, "10 score"},
                                      {40, 290, "20 score"},
                                      {39, 350, "50 score"},
                                      {38, 410, "100 score"},
                                      {42, 470, "Life"}};

}  // namespace

void TMForm::ShowHelp() {
  Menu.CurrentScreen = screen::Help;
  Menu.MenuFirst = item::PreviousPage;
  Menu.MenuLast = item::HelpBack;
  Menu.MenuIndex = item::HelpBack;
  FrontEnd.HelpPage = 1;
  for (int i = 0; i < 3; ++i) {
    static constexpr int Items[3][3] = {{42, 360, 542}, {43, 513, 542}, {36, 661, 542}};
    TMenuButton* b =
        TMenuButton::Create(Engine(), 1, Items[i][0], Items[i][0], 0, 1, Items[i][1], Items[i][2]);
    b->SetZ(4);
    Menu.MenuButtons[static_cast<size_t>(item::PreviousPage + i)] = b;
  }
  for (int slot : {item::Title, item::SubTitle}) {
    const int image = slot == item::Title ? 24 : 51;
    TMenuButton* b =
        TMenuButton::Create(Engine(), 1, image, image, 0, 0, slot == item::Title ? 479 : 358,
                            slot == item::Title ? 42 : 130);
    b->SetZ(3);
    Menu.MenuButtons[static_cast<size_t>(slot)] = b;
  }
  for (int i = 0; i < 5; ++i) {
    FrontEnd.HelpPictures[static_cast<size_t>(i)] =
        TMyImageSprite::CreateCentered(Engine(), 2, BonusLines[i].Image, 398, BonusLines[i].Y, 5);
    FrontEnd.HelpPictures[static_cast<size_t>(i)]->Visible = false;
  }
  FrontEnd.HelpPictures[5] = TMyImageSprite::CreateAt(Engine(), 1, 50, 440, 300, 5);
  FrontEnd.HelpPictures[5]->Visible = false;
}

void TMForm::LeaveHelp() {
  Menu.CurrentScreen = screen::None;
  if (Race.Background) {
    Race.Background->KillOnce();
    Race.Background = nullptr;
  }
  KillMenuButtons();
  for (TMyImageSprite*& p : FrontEnd.HelpPictures) {
    if (p) p->KillOnce();
    p = nullptr;
  }
  for (int slot : {item::Title, item::SubTitle}) {
    if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(slot)]) b->KillOnce();
    Menu.MenuButtons[static_cast<size_t>(slot)] = nullptr;
  }
}

void TMForm::DrawHelpPage() {
  const int page = FrontEnd.HelpPage;
  SelectFont(font::HelpTitle);
  DrawText(Headings[page >= 1 && page <= 5 ? page : 1], 380, 160, false, true);
  SelectFont(font::SmallText);
  if (page == 1)
    for (int i = 1; i <= 10; ++i) DrawText(Overview[i - 1], 380, 170 + 30 * i, false, true);
  SelectFont(font::HelpSmall);
  for (int i = 0; i < 5; ++i) {
    if (page == 2) DrawText(BonusLines[i].Caption, 430, BonusLines[i].Y, false, true);
    if (TMyImageSprite* p = FrontEnd.HelpPictures[static_cast<size_t>(i)]) p->Visible = page == 2;
  }
  if (page == 3 || page == 4) {
    SelectFont(font::HelpSmall);
    DrawText(page == 3 ? "MENU NAVIGATIONS" : "GAME NAVIGATIONS", 380, 200, false, true);
    SelectFont(font::SmallText);
    const int lines = page == 3 ? 6 : 8;
    for (int i = 1; i <= lines; ++i)
      DrawText(page == 3 ? MenuHelp[i - 1] : GameHelp[i - 1], 380, 200 + 30 * i, false, true);
  }
  if (page == 5) {
    SelectFont(font::HelpHeading);
    DrawText("ZAP WHEELY", 550, 285, false, true);
    SelectFont(font::HelpSmall);
    DrawText("Zap Wheely developers, 2026", 542, 325, false, true);
    DrawText(ScoreHost, 540, 360, false, true);
  }
  if (TMyImageSprite* p = FrontEnd.HelpPictures[5]) p->Visible = page == 5;
}

void TMForm::HelpFrame(int moveCount) {
  HighlightMenu(true);
  int32_t& m = Menu.MenuIndex;
  // Previous, Next and Back in a row; Left past Previous pages back.
  using enum EArrow;
  static constexpr TArrowStep Steps[] = {{Left, item::PreviousPage, item::PreviousPage, true},
                                         {Left, item::NextPage, item::PreviousPage},
                                         {Left, item::HelpBack, item::NextPage},
                                         {Right, item::NextPage, item::HelpBack},
                                         {Right, item::PreviousPage, item::NextPage}};
  FollowArrows(Steps, Keys, m, [&](int32_t i) { SelectAndActivate(i); });
  if (Keys.KeyLeft || Keys.KeyRight || Keys.KeyUp || Keys.KeyDown)
    ClampFirst(m, item::PreviousPage, item::HelpBack);
  if (Keys.KeyEscape) SelectAndActivate(item::HelpBack);
  if (Menu.CurrentScreen != screen::Help) return;
  DrawHelpPage();
  MSpriteEngine.Move(moveCount);
}

}  // namespace zw
